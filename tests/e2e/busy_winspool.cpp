// A spooler whose drivers are always in use, as when another program holds a
// queue of theirs open for ever: every deletion of a driver fails with
// ERROR_PRINTER_DRIVER_IN_USE (3001), there are no queues (an open fails with
// ERROR_INVALID_PRINTER_NAME, 1801) and the lists are empty. Put in place of
// the prefix's winspool.drv, it shows the removal's wait on a real clock.
// windows.h would declare the real functions.
#include <windef.h>
#include <winbase.h>

namespace {

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

BOOL Empty(DWORD* needed, DWORD* returned)
{
    *needed = *returned = 0;
    return TRUE;
}

}  // namespace

extern "C" {
__declspec(dllexport) BOOL WINAPI OpenPrinterA(LPSTR, HANDLE*, void*) { return Fail(1801); }
__declspec(dllexport) BOOL WINAPI OpenPrinterW(LPWSTR, HANDLE*, void*) { return Fail(1801); }
__declspec(dllexport) BOOL WINAPI DeletePrinter(HANDLE) { return FALSE; }
__declspec(dllexport) BOOL WINAPI ClosePrinter(HANDLE) { return TRUE; }
__declspec(dllexport) BOOL WINAPI SetPrinterW(HANDLE, DWORD, BYTE*, DWORD) { return FALSE; }
__declspec(dllexport) BOOL WINAPI EnumPrintersW(DWORD, LPWSTR, DWORD, BYTE*, DWORD, DWORD* needed, DWORD* returned)
{
    return Empty(needed, returned);
}
__declspec(dllexport) BOOL WINAPI EnumPrinterDriversW(LPWSTR, LPWSTR, DWORD, BYTE*, DWORD, DWORD* needed,
                                                      DWORD* returned)
{
    return Empty(needed, returned);
}
__declspec(dllexport) BOOL WINAPI DeletePrinterDriverExW(LPWSTR, LPWSTR, LPWSTR, DWORD, DWORD) { return Fail(3001); }
__declspec(dllexport) BOOL WINAPI DeletePrinterDriverW(LPWSTR, LPWSTR, LPWSTR) { return Fail(3001); }
}
