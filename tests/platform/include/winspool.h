// Host stand-in for the print spooler declarations the program uses.
#pragma once

#include <windows.h>

#define PRINTER_ACCESS_ADMINISTER 0x00000004u
#define PRINTER_ENUM_LOCAL 0x00000002u
#define PRINTER_CONTROL_PURGE 3u
#define DPD_DELETE_UNUSED_FILES 0x00000001u

struct DEVMODEA;
using LPDEVMODEA = DEVMODEA*;

struct PRINTER_DEFAULTSA {
    LPSTR pDatatype;
    LPDEVMODEA pDevMode;
    ACCESS_MASK DesiredAccess;
};
using LPPRINTER_DEFAULTSA = PRINTER_DEFAULTSA*;

// Only the fields the program reads, in the order Windows has them.
struct PRINTER_INFO_2A {
    LPSTR pServerName;
    LPSTR pPrinterName;
    LPSTR pShareName;
    LPSTR pPortName;
    LPSTR pDriverName;
};
struct DRIVER_INFO_8A {
    DWORD cVersion;
    LPSTR pName;
    LPSTR pEnvironment;
    LPSTR pszInfPath;
};

extern "C" {
BOOL WINAPI OpenPrinterA(LPSTR printerName, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults);
BOOL WINAPI DeletePrinter(HANDLE printer);
BOOL WINAPI ClosePrinter(HANDLE printer);
BOOL WINAPI EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                          LPDWORD returned);
BOOL WINAPI SetPrinterA(HANDLE printer, DWORD level, LPBYTE info, DWORD command);
BOOL WINAPI EnumPrinterDriversA(LPSTR name, LPSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                LPDWORD needed, LPDWORD returned);
BOOL WINAPI DeletePrinterDriverExA(LPSTR name, LPSTR environment, LPSTR driver, DWORD flags, DWORD version);
BOOL WINAPI DeletePrinterDriverA(LPSTR name, LPSTR environment, LPSTR driver);
}
