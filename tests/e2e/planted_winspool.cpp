// A winspool.drv as an attacker would plant it beside the program: on load it
// appends a line to the file that PRNUNINST_PLANTED_LOG names, and its three
// spooler calls fail. windows.h would declare the real ones.
#include <windef.h>
#include <winbase.h>

extern "C" {

__declspec(dllexport) BOOL WINAPI OpenPrinterA(LPSTR /*name*/, HANDLE* /*printer*/, void* /*defaults*/)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

__declspec(dllexport) BOOL WINAPI DeletePrinter(HANDLE /*printer*/) { return FALSE; }

__declspec(dllexport) BOOL WINAPI ClosePrinter(HANDLE /*printer*/) { return FALSE; }

BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD reason, LPVOID /*reserved*/)
{
    char path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("PRNUNINST_PLANTED_LOG", path, MAX_PATH);
    if (reason == DLL_PROCESS_ATTACH && length > 0 && length < MAX_PATH) {
        HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(log, "loaded\n", 7, &written, nullptr);
            CloseHandle(log);
        }
    }
    return TRUE;
}

}  // extern "C"
