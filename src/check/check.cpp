// What prnuninst.exe would remove, looked for without changing anything:
// the keys in the table's registry view, the named queue, and for a table
// with drivers every local queue of the model's drivers, the drivers in every
// environment and the packages the table names. Absent means absent and
// nothing else: any other failure is no answer.
#include "check.h"

#include <winspool.h>

#include "../removal/removal.h"
#include "../removal/spooler.h"
#include "../removal/system_dll.h"

namespace {

struct Report {
    Output output;
    bool found;
};

void Line(Report& report, LPCSTR kind, LPCWSTR name, LPCSTR ansiName = nullptr, LPCWSTR environment = nullptr)
{
    WriteAnsi(report.output, kind);
    if (ansiName != nullptr) {
        WriteAnsi(report.output, ansiName);
    } else {
        Write(report.output, name);
    }
    if (environment != nullptr) {
        WriteAnsi(report.output, " (");
        Write(report.output, environment);
        WriteAnsi(report.output, ")");
    }
    WriteAnsi(report.output, "\r\n");
    report.found = true;
}

int Usage()
{
    return CannotTell("usage: prncheck.exe /f<selector>, with the selector that prnuninst.exe of the same table "
                      "takes");
}

// The key paths reach the 64-bit view, as prnuninst.exe's do: a 32-bit
// process on 64-bit Windows must ask for it. IsWow64Process exists from XP
// SP2 on; where it is missing, or says no, there is one view.
REGSAM RegistryView()
{
#if PRNUNINST_REGISTRY_VIEW_64
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64 =
        SystemExport<IsWow64ProcessFunction>(GetModuleHandleA("kernel32.dll"), "IsWow64Process");
    BOOL wow64 = 0;
    if (isWow64 != nullptr && isWow64(GetCurrentProcess(), &wow64) != 0 && wow64 != 0) {
        return KEY_WOW64_64KEY;
    }
#endif
    return 0;
}

#if PRNUNINST_MODEL_DRIVERS
// Every local queue of the model's drivers that is not the named queue (seen
// already), each driver in each environment, and the packages the table
// names. 0 when each list was read whole, else the error.
int CheckDrivers(Report& report, const ModelEntry& model, HMODULE spooler)
{
    const auto enumPrinters = SystemExport<EnumPrintersFunction>(spooler, "EnumPrintersW");
    const auto enumDrivers = SystemExport<EnumDriversFunction>(spooler, "EnumPrinterDriversW");
    if (enumPrinters == nullptr || enumDrivers == nullptr) {
        return CannotTell("the spooler lacks EnumPrintersW or EnumPrinterDriversW");
    }
    BYTE* list = nullptr;
    DWORD count = 0;
    DWORD error = Enumerated(enumPrinters, nullptr, nullptr, 2, &list, &count);
    if (error != ERROR_SUCCESS) {
        return CannotTell("cannot read the spooler's list of queues whole", error);
    }
    const auto* const printers = reinterpret_cast<PRINTER_INFO_2W*>(list);
    for (DWORD i = 0; i < count; ++i) {
        if (IsModelQueue(model, printers[i]) &&
            !(NamesQueue(model) && Listed(&model.printerName, 1, printers[i].pPrinterName))) {
            Line(report, "queue ", printers[i].pPrinterName);
        }
    }
    Release(list);

    for (const LPCWSTR environment : kEnvironments) {
        // Level 2 names the drivers on every Windows. An environment the
        // spooler does not support holds none.
        error = Enumerated(nullptr, enumDrivers, const_cast<LPWSTR>(environment), 2, &list, &count);
        if (error == ERROR_INVALID_ENVIRONMENT) {
            continue;
        }
        if (error != ERROR_SUCCESS) {
            return CannotTell("cannot read the spooler's list of drivers whole", error);
        }
        const auto* const drivers = reinterpret_cast<DRIVER_INFO_2W*>(list);
        for (unsigned d = 0; d < model.driverCount; ++d) {
            for (DWORD i = 0; i < count; ++i) {
                if (Listed(&model.drivers[d], 1, drivers[i].pName)) {
                    Line(report, "driver ", nullptr, model.drivers[d], environment);
                    break;
                }
            }
        }
        Release(list);
        if (model.packageCount == 0) {
            continue;
        }
        // Level 8, from Vista on, names their packages; before, there are none.
        error = Enumerated(nullptr, enumDrivers, const_cast<LPWSTR>(environment), 8, &list, &count);
        if (error == ERROR_INVALID_LEVEL) {
            continue;
        }
        if (error != ERROR_SUCCESS) {
            return CannotTell("cannot read the spooler's list of driver packages whole", error);
        }
        const auto* const packaged = reinterpret_cast<DRIVER_INFO_8W*>(list);
        for (unsigned p = 0; p < model.packageCount; ++p) {
            for (DWORD i = 0; i < count; ++i) {
                if (IsModelPackage(model, packaged[i], &model.packages[p], 1)) {
                    Line(report, "package ", packaged[i].pszInfPath);
                    break;
                }
            }
        }
        Release(list);
    }
    return 0;
}
#endif

}  // namespace

int CheckModel(LPSTR commandTail)
{
    LPSTR cursor = commandTail;
    while (*cursor == ' ') {
        cursor = CharNextA(cursor);
    }
    if (*cursor != '/') {
        return Usage();
    }
    cursor = CharNextA(cursor);
    if (*cursor != 'f' && *cursor != 'F') {
        return Usage();
    }
    cursor = CharNextA(cursor);
    const CHAR selector = *cursor;
    cursor = CharNextA(cursor);
    while (*cursor == ' ') {
        cursor = CharNextA(cursor);
    }
    const ModelEntry* const model = FindModel(selector);
    if (*cursor != '\0' || model == nullptr) {
        return CannotTell("no model of this build's table has that selector: give /f and the selector that "
                          "prnuninst.exe of the same table takes, and nothing after it");
    }

    Report report = {StandardOutput(STD_OUTPUT_HANDLE), false};
    const REGSAM view = RegistryView();
    for (unsigned i = 0; i < model->keyCount; ++i) {
        HKEY key = nullptr;
        const LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, model->keys[i], 0, KEY_READ | view, &key);
        if (status == ERROR_SUCCESS) {
            RegCloseKey(key);
            Line(report, "key HKLM\\", nullptr, model->keys[i]);
        } else if (status != ERROR_FILE_NOT_FOUND) {
            return CannotTell("cannot read a key of the model (run it as an administrator)",
                              static_cast<DWORD>(status));
        }
    }

    if (DllRedirected()) {
        return CannotTell("a file or folder prncheck.exe.local beside it would redirect its DLLs: remove it");
    }
    const HMODULE spooler = LoadSpooler();
    const auto openPrinter = SystemExport<decltype(&OpenPrinterA)>(spooler, "OpenPrinterA");
    const auto closePrinter = SystemExport<decltype(&ClosePrinter)>(spooler, "ClosePrinter");
    if (spooler == nullptr || openPrinter == nullptr || closePrinter == nullptr) {
        return CannotTell("cannot load the spooler's winspool.drv from the system folder", GetLastError());
    }
    // The default access: enough to tell whether the queue is there.
    HANDLE printer = nullptr;
    if (!NamesQueue(*model)) {
        // Its queues are found by their drivers.
    } else if (openPrinter(const_cast<LPSTR>(model->printerName), &printer, nullptr) != 0) {
        closePrinter(printer);
        Line(report, "queue ", nullptr, model->printerName);
    } else if (GetLastError() != ERROR_INVALID_PRINTER_NAME) {
        return CannotTell("cannot open the model's queue (is the spooler running?)", GetLastError());
    }
#if PRNUNINST_MODEL_DRIVERS
    if (model->driverCount != 0 && CheckDrivers(report, *model, spooler) != 0) {
        return kCannotTell;
    }
#endif
    return report.found ? kSomethingLeft : kNothingLeft;
}
