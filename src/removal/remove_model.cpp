#include "removal.h"

#include <winspool.h>

#include "spooler.h"
#include "system_dll.h"

void DeleteQueue(HMODULE spooler, HANDLE printer, LPCWSTR name)
{
    const auto setPrinter = SystemExport<decltype(&SetPrinterW)>(spooler, "SetPrinterW");
    const auto deletePrinter = SystemExport<decltype(&DeletePrinter)>(spooler, "DeletePrinter");
    const auto closePrinter = SystemExport<decltype(&ClosePrinter)>(spooler, "ClosePrinter");
    if (deletePrinter == nullptr || closePrinter == nullptr) {
        return;
    }
    if (OpenedQueue(spooler, printer, name) == Opened::Named) {
        // Jobs first: a queue deleted with jobs is only marked Delete
        // Pending, and from then on no list shows it and no open reaches it,
        // so it (and its driver) could stay for as long as the jobs do.
        if (setPrinter != nullptr) {
            setPrinter(printer, 0, nullptr, PRINTER_CONTROL_PURGE);
        }
        // A paused queue with a job that outlived the purge (one printing)
        // refuses; resumed, it deletes. A paused queue without jobs deletes
        // as it is, so it is resumed only when refused.
        if (deletePrinter(printer) == 0 && GetLastError() == ERROR_ACCESS_DENIED && setPrinter != nullptr &&
            setPrinter(printer, 0, nullptr, PRINTER_CONTROL_RESUME) != 0) {
            deletePrinter(printer);
        }
    }
    closePrinter(printer);
}

void RemoveModel(CHAR selector)
{
    const ModelEntry* model = FindModel(selector);
    if (model == nullptr) {
        // Without a model there is no queue name, and opening a printer with
        // no name opens the print server itself: never delete through that.
        return;
    }

#if PRNUNINST_REGISTRY_VIEW_64
    // A 32-bit program's SOFTWARE paths reach SOFTWARE\WOW6432Node on 64-bit
    // Windows; this table's name the 64-bit view. RegDeleteKeyExA exists from
    // XP x64 and Server 2003 SP1 on; where it is missing (NT 4.0, 2000, 32-bit
    // XP) there is only one view, which RegDeleteKeyA reaches.
    using RegDeleteKeyExFunction = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    const auto deleteKeyEx =
        SystemExport<RegDeleteKeyExFunction>(GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExA");
#endif
    // Results are ignored on purpose: a key that is gone or refused must not
    // stop the rest, and the queue is still handed to the spooler.
    for (unsigned i = 0; i < model->keyCount; ++i) {
#if PRNUNINST_REGISTRY_VIEW_64
        if (deleteKeyEx != nullptr) {
            deleteKeyEx(HKEY_LOCAL_MACHINE, model->keys[i], KEY_WOW64_64KEY, 0);
            continue;
        }
#endif
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, model->keys[i]);
    }

    // Without the spooler's DLL, or with one that lacks a call, the spooler
    // step is skipped, as when the queue cannot be opened.
    const HMODULE spooler = LoadSpooler();
    if (spooler == nullptr) {
        return;
    }
    const auto openPrinter = SystemExport<decltype(&OpenPrinterA)>(spooler, "OpenPrinterA");
    const auto deletePrinter = SystemExport<decltype(&DeletePrinter)>(spooler, "DeletePrinter");
    const auto closePrinter = SystemExport<decltype(&ClosePrinter)>(spooler, "ClosePrinter");
    if (openPrinter == nullptr || deletePrinter == nullptr || closePrinter == nullptr) {
        return;
    }

#if PRNUNINST_MODEL_DRIVERS
    // No datatype, as for the drivers' queues: a spooler may refuse one that
    // the queue's print processor lacks, and deleting needs none.
    PRINTER_DEFAULTSA defaults = {nullptr, nullptr, kDeleteAccess};
#else
    CHAR datatype[] = "RAW";
    PRINTER_DEFAULTSA defaults = {datatype, nullptr, kDeleteAccess};
#endif
    HANDLE printer = nullptr;
    Name name;
    // The API takes a writable name but never writes through it. A model
    // with a bound has its named queue only where that uses one of its
    // drivers below the bound: RemoveDrivers finds it among their queues.
    if (NamesQueue(*model) &&
#if PRNUNINST_DRIVER_BOUNDS
        !model->bounded &&
#endif
        ToWide(model->printerName, name) &&
        openPrinter(const_cast<LPSTR>(model->printerName), &printer, &defaults) != 0) {
        DeleteQueue(spooler, printer, name);
    }
#if PRNUNINST_MODEL_DRIVERS
    RemoveDrivers(*model, spooler);
#endif
}
