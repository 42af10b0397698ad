// Host stand-in for the print spooler declarations the program uses.
#pragma once

#include <windows.h>

#define PRINTER_ACCESS_ADMINISTER 0x00000004u

struct DEVMODEA;
using LPDEVMODEA = DEVMODEA*;

struct PRINTER_DEFAULTSA {
    LPSTR pDatatype;
    LPDEVMODEA pDevMode;
    ACCESS_MASK DesiredAccess;
};
using LPPRINTER_DEFAULTSA = PRINTER_DEFAULTSA*;

extern "C" {
BOOL WINAPI OpenPrinterA(LPSTR printerName, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults);
BOOL WINAPI DeletePrinter(HANDLE printer);
BOOL WINAPI ClosePrinter(HANDLE printer);
}
