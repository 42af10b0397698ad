// The follow-on program of the end-to-end tests: appends its own command line,
// as one UTF-8 line, to the file named by PRNUNINST_FOLLOWON_LOG, then exits.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"PRNUNINST_FOLLOWON_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return 1;
    }
    HANDLE log = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) {
        return 1;
    }
    char line[4096];
    int size = WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, line, sizeof line - 1, nullptr, nullptr);
    size = size > 0 ? size - 1 : 0;  // without the NUL
    line[size] = '\n';
    DWORD written = 0;
    WriteFile(log, line, static_cast<DWORD>(size + 1), &written, nullptr);
    CloseHandle(log);
    return 0;
}
