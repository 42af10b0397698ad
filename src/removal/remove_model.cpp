#include "removal.h"

#include <winspool.h>

#include "system_dll.h"

namespace {

// A file or folder "<this program>.local" beside a program without a
// manifest, such as this one, makes the loader take DLLs from the program's
// folder first, even one loaded by its full path: whoever could plant one
// there would have their winspool.drv run with our rights. With one there
// (or when the program's path cannot be read whole) the spooler is not
// loaded at all. The path is read in UTF-16: in the ANSI code page a folder
// name outside it reads as "?" and would name no file.
bool DllRedirected()
{
    constexpr WCHAR kSuffix[] = L".local";
    WCHAR path[MAX_PATH + sizeof kSuffix / sizeof kSuffix[0]];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    // 0 is a failure; MAX_PATH means the path was cut short.
    if (length == 0 || length >= MAX_PATH) {
        return true;
    }
    for (DWORD i = 0; i < sizeof kSuffix / sizeof kSuffix[0]; ++i) {
        path[length + i] = kSuffix[i];
    }
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// WINSPOOL.DRV is no KnownDLL: imported by name, it would be looked for in
// the program's own folder first on every Windows before 10 1607, so a copy
// planted there by whoever can write that folder would run with our rights.
// Loaded by its full path it comes from the system folder only, and
// LOAD_WITH_ALTERED_SEARCH_PATH (on every NT version) looks up its own
// dependencies beside it there. Under WOW64 "System32" is what
// GetSystemDirectoryA says, and the file-system redirector maps it to
// SysWOW64 for a 32-bit process: the 32-bit DLL. It stays loaded until the
// process ends, as an import would. nullptr when any step fails, a system
// folder whose name the ANSI code page cannot hold included (the load fails).
HMODULE LoadSpooler()
{
    if (DllRedirected()) {
        return nullptr;
    }
    constexpr CHAR kName[] = "\\winspool.drv";
    CHAR path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    // 0 is a failure; a folder too long for the buffer returns the size it needs.
    if (length == 0 || length + sizeof kName > MAX_PATH) {
        return nullptr;
    }
    for (UINT i = 0; i < sizeof kName; ++i) {
        path[length + i] = kName[i];
    }
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

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
    // A model found by its drivers alone names no queue: a printer opened
    // with no name would be the print server itself.
    const bool named = model->printerName != nullptr;
#else
    constexpr bool named = true;
#endif
    CHAR datatype[] = "RAW";
    PRINTER_DEFAULTSA defaults = {datatype, nullptr, DELETE | PRINTER_ACCESS_ADMINISTER};
    HANDLE printer = nullptr;
    // The API takes a writable name but never writes through it.
    if (named && openPrinter(const_cast<LPSTR>(model->printerName), &printer, &defaults) != 0) {
#if PRNUNINST_MODEL_DRIVERS
        DeleteQueue(spooler, printer);
#else
        deletePrinter(printer);
        closePrinter(printer);
#endif
    }
#if PRNUNINST_MODEL_DRIVERS
    RemoveDrivers(*model, spooler);
#endif
}
