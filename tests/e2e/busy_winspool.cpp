// A spooler whose drivers are always in use, as when another program holds a
// queue of theirs open for ever: every deletion of a driver fails with
// ERROR_PRINTER_DRIVER_IN_USE, and there are no queues. Put in place of the
// prefix's winspool.drv, it shows the removal's wait for such a driver on a
// real clock. windows.h would declare the real functions.
#include <windef.h>
#include <winbase.h>

extern "C" {

__declspec(dllexport) BOOL WINAPI OpenPrinterA(LPSTR /*name*/, HANDLE* /*printer*/, void* /*defaults*/)
{
    SetLastError(1801);  // ERROR_INVALID_PRINTER_NAME
    return FALSE;
}

__declspec(dllexport) BOOL WINAPI OpenPrinterW(LPWSTR /*name*/, HANDLE* /*printer*/, void* /*defaults*/)
{
    SetLastError(1801);
    return FALSE;
}

__declspec(dllexport) BOOL WINAPI DeletePrinter(HANDLE /*printer*/) { return FALSE; }
__declspec(dllexport) BOOL WINAPI ClosePrinter(HANDLE /*printer*/) { return TRUE; }
__declspec(dllexport) BOOL WINAPI SetPrinterW(HANDLE /*printer*/, DWORD /*level*/, BYTE* /*info*/, DWORD /*command*/)
{
    return FALSE;
}

// Empty lists, read whole.
__declspec(dllexport) BOOL WINAPI EnumPrintersW(DWORD /*flags*/, LPWSTR /*name*/, DWORD /*level*/, BYTE* /*buffer*/,
                                                DWORD /*size*/, DWORD* needed, DWORD* returned)
{
    *needed = 0;
    *returned = 0;
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI EnumPrinterDriversW(LPWSTR /*name*/, LPWSTR /*environment*/, DWORD /*level*/,
                                                      BYTE* /*buffer*/, DWORD /*size*/, DWORD* needed,
                                                      DWORD* returned)
{
    *needed = 0;
    *returned = 0;
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI DeletePrinterDriverExW(LPWSTR /*name*/, LPWSTR /*environment*/, LPWSTR /*driver*/,
                                                         DWORD /*flags*/, DWORD /*version*/)
{
    SetLastError(3001);  // ERROR_PRINTER_DRIVER_IN_USE
    return FALSE;
}

__declspec(dllexport) BOOL WINAPI DeletePrinterDriverW(LPWSTR /*name*/, LPWSTR /*environment*/, LPWSTR /*driver*/)
{
    SetLastError(3001);
    return FALSE;
}

}  // extern "C"
