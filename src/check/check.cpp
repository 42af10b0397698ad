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

// What one model's check has written. Under /a each line, and each reason
// on standard error, begins with the model's selector.
struct Report {
    Output output;
    bool found;
    CHAR selector;  // '\0': none, as under /f
    bool named;     // the named queue is reported already
};

#if PRNUNINST_DRIVER_BOUNDS
void Line(Report& report, LPCSTR kind, LPCWSTR name, LPCSTR ansiName = nullptr, LPCWSTR environment = nullptr,
          const DWORDLONG* version = nullptr)
#else
void Line(Report& report, LPCSTR kind, LPCWSTR name, LPCSTR ansiName = nullptr, LPCWSTR environment = nullptr)
#endif
{
    if (report.selector != '\0') {
        const CHAR prefix[] = {report.selector, ' ', '\0'};
        WriteAnsi(report.output, prefix);
    }
    WriteAnsi(report.output, kind);
    if (ansiName != nullptr) {
        WriteAnsi(report.output, ansiName);
    } else if (name != nullptr) {
        Write(report.output, name);
    }
#if PRNUNINST_DRIVER_BOUNDS
    // As DriverVer writes it: four 16-bit parts, most significant first.
    if (version != nullptr) {
        CHAR text[4 * 6 + 1];
        CHAR* first = text + sizeof text - 1;
        *first = '\0';
        DWORDLONG rest = *version;
        for (unsigned n = 0; n < 4; ++n, rest >>= 16) {
            auto part = static_cast<unsigned>(rest & 0xFFFF);
            do {
                *--first = static_cast<CHAR>('0' + part % 10);
                part /= 10;
            } while (part != 0);
            *--first = n == 3 ? ' ' : '.';
        }
        WriteAnsi(report.output, first);
    }
#endif
    if (environment != nullptr) {
        WriteAnsi(report.output, " (");
        Write(report.output, environment);
        WriteAnsi(report.output, ")");
    }
    WriteAnsi(report.output, "\r\n");
    report.found = true;
}

// Reading, in the view prnuninst.exe's key paths reach: a 32-bit process on
// 64-bit Windows must ask for the 64-bit view. IsWow64Process exists from XP
// SP2 on; where it is missing, or says no, there is one view.
REGSAM KeyAccess()
{
#if PRNUNINST_REGISTRY_VIEW_64
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64 =
        SystemExport<IsWow64ProcessFunction>(GetModuleHandleA("kernel32.dll"), "IsWow64Process");
    BOOL wow64 = 0;
    if (isWow64 != nullptr && isWow64(GetCurrentProcess(), &wow64) != 0 && wow64 != 0) {
        return KEY_READ | KEY_WOW64_64KEY;
    }
#endif
    return KEY_READ;
}

#if PRNUNINST_MODEL_DRIVERS
#if PRNUNINST_DRIVER_BOUNDS
int DriverList(const Report& report, EnumDriversFunction enumDrivers, LPCWSTR environment, DWORD level, BYTE** list,
               DWORD* count);
#endif

// Every local queue of the model's drivers but the named queue, when that
// is reported already; with a bound, only those whose driver on this
// machine, the one they use, is the model's. 0 when the lists were read
// whole.
#if PRNUNINST_DRIVER_BOUNDS
int CheckQueues(Report& report, const ModelEntry& model, EnumPrintersFunction enumPrinters,
                EnumDriversFunction enumDrivers)
#else
int CheckQueues(Report& report, const ModelEntry& model, EnumPrintersFunction enumPrinters)
#endif
{
    BYTE* list = nullptr;
    DWORD count = 0;
    const DWORD error = Enumerated(enumPrinters, nullptr, nullptr, 2, &list, &count);
    if (error != ERROR_SUCCESS) {
        return CannotTell(report.selector, "cannot read the spooler's list of queues whole", error);
    }
    const auto* const printers = reinterpret_cast<PRINTER_INFO_2W*>(list);
#if PRNUNINST_DRIVER_BOUNDS
    bool passed[kMaxModelDrivers] = {};
    if (model.bounded) {
        BYTE* drivers = nullptr;
        DWORD listed = 0;
        if (DriverList(report, enumDrivers, kEnvironments[MachineEnvironment()], 6, &drivers, &listed) != 0) {
            Release(list);
            return kCannotTell;
        }
        MarkSuccessors(model, drivers, listed, passed);
        Release(drivers);
    }
#endif
    for (DWORD i = 0; i < count; ++i) {
        const bool named = report.named && Listed(&model.printerName, 1, printers[i].pPrinterName);
#if PRNUNINST_DRIVER_BOUNDS
        if (IsModelQueue(model, printers[i]) && !named && !OfSuccessor(model, printers[i].pDriverName, passed)) {
#else
        if (IsModelQueue(model, printers[i]) && !named) {
#endif
            Line(report, "queue ", printers[i].pPrinterName);
        }
    }
    Release(list);
    return 0;
}

// One environment's list at `level`, whole; an environment the spooler does
// not support holds no driver, and one without the level (level 8 before
// Vista) no package. 0 when it was read, else what was written.
int DriverList(const Report& report, EnumDriversFunction enumDrivers, LPCWSTR environment, DWORD level, BYTE** list,
               DWORD* count)
{
    const DWORD error = Enumerated(nullptr, enumDrivers, const_cast<LPWSTR>(environment), level, list, count);
    if (error == ERROR_INVALID_ENVIRONMENT || (level == 8 && error == ERROR_INVALID_LEVEL)) {
        *count = 0;
        return 0;
    }
#if PRNUNINST_DRIVER_BOUNDS
    // Level 6 (Windows 2000 on) gives the versions that a bound needs.
    if (level == 6 && error != ERROR_SUCCESS) {
        return CannotTell(report.selector, "cannot read the versions of the spooler's drivers (level 6)", error);
    }
#endif
    return error == ERROR_SUCCESS ? 0 : CannotTell(report.selector, "cannot read the spooler's list of drivers whole", error);
}

// Each of the model's drivers in one environment (level 2 names them on
// every Windows; with a bound, level 6, from Windows 2000 on, gives their
// versions too), and the packages the table names (level 8, from Vista on):
// each once, however many versions or drivers list it.
int CheckEnvironment(Report& report, const ModelEntry& model, EnumDriversFunction enumDrivers, LPCWSTR environment)
{
    BYTE* list = nullptr;
    DWORD count = 0;
#if PRNUNINST_DRIVER_BOUNDS
    if (DriverList(report, enumDrivers, environment, model.bounded ? 6 : 2, &list, &count) != 0) {
#else
    if (DriverList(report, enumDrivers, environment, 2, &list, &count) != 0) {
#endif
        return kCannotTell;
    }
    const auto* const drivers = reinterpret_cast<DRIVER_INFO_2W*>(list);
    for (unsigned d = 0; d < model.driverCount; ++d) {
#if PRNUNINST_DRIVER_BOUNDS
        // A successor's version is not the model's; the lines name the version.
        DWORDLONG version = 0;
        if (model.bounded) {
            if (Matches(model, d, list, count, &version)) {
                Line(report, "driver ", nullptr, model.drivers[d], environment, &version);
            }
            continue;
        }
#endif
        DWORD i = 0;
        while (i < count && !Listed(&model.drivers[d], 1, drivers[i].pName)) {
            ++i;
        }
        if (i < count) {
            Line(report, "driver ", nullptr, model.drivers[d], environment);
        }
    }
    Release(list);
    if (model.packageCount == 0 || DriverList(report, enumDrivers, environment, 8, &list, &count) != 0) {
        return model.packageCount == 0 ? 0 : kCannotTell;
    }
    const auto* const packaged = reinterpret_cast<DRIVER_INFO_8W*>(list);
    for (unsigned p = 0; p < model.packageCount; ++p) {
        DWORD i = 0;
        while (i < count && !IsModelPackage(model, packaged[i], &model.packages[p], 1)) {
            ++i;
        }
        if (i < count) {
            Line(report, "package ", packaged[i].pszInfPath);
        }
    }
    Release(list);
    return 0;
}

// What a table with drivers adds. 0 when each list was read whole.
int CheckDrivers(Report& report, const ModelEntry& model, HMODULE spooler)
{
    const auto enumPrinters = SystemExport<EnumPrintersFunction>(spooler, "EnumPrintersW");
    const auto enumDrivers = SystemExport<EnumDriversFunction>(spooler, "EnumPrinterDriversW");
    if (enumPrinters == nullptr || enumDrivers == nullptr) {
        return CannotTell(report.selector, "the spooler lacks EnumPrintersW or EnumPrinterDriversW");
    }
#if PRNUNINST_DRIVER_BOUNDS
    if (CheckQueues(report, model, enumPrinters, enumDrivers) != 0) {
#else
    if (CheckQueues(report, model, enumPrinters) != 0) {
#endif
        return kCannotTell;
    }
    for (const LPCWSTR environment : kEnvironments) {
        if (CheckEnvironment(report, model, enumDrivers, environment) != 0) {
            return kCannotTell;
        }
    }
    return 0;
}
#endif

// The selector after "/f" (or "/F"), with nothing but blanks after it, as
// prnuninst.exe reads it; '\0' when the tail is not of that form. *every:
// the tail is "/a" (or "/A"), every model of the table.
CHAR SelectorOf(LPSTR commandTail, bool* every)
{
    LPSTR cursor = commandTail;
    while (*cursor == ' ') {
        cursor = CharNextA(cursor);
    }
    if (*cursor != '/') {
        return '\0';
    }
    cursor = CharNextA(cursor);
    *every = *cursor == 'a' || *cursor == 'A';  // and no more than blanks after it, below
    if (*cursor != 'f' && *cursor != 'F' && !*every) {
        return '\0';
    }
    CHAR selector = '\0';
    if (!*every) {
        cursor = CharNextA(cursor);
        selector = *cursor;
    }
    cursor = CharNextA(cursor);
    while (*cursor == ' ') {
        cursor = CharNextA(cursor);
    }
    *every = *every && *cursor == '\0';
    return *cursor == '\0' ? selector : '\0';
}

// Whether a name of the model is outside ASCII: bytes of the table's code page.
bool HasForeignNames(CHAR selector)
{
    const CHAR* model = kCodePageModels;
    while (*model != '\0' && *model != selector) {
        ++model;
    }
    return *model != '\0';
}

// Each key that is there; a key is absent only when the registry says so.
int CheckKeys(Report& report, const ModelEntry& model)
{
    const REGSAM access = KeyAccess();
    for (unsigned i = 0; i < model.keyCount; ++i) {
        HKEY key = nullptr;
        const LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, model.keys[i], 0, access, &key);
        if (status == ERROR_SUCCESS) {
            RegCloseKey(key);
            Line(report, "key HKLM\\", nullptr, model.keys[i]);
        } else if (status != ERROR_FILE_NOT_FOUND) {
            return CannotTell(report.selector, "cannot read a key of the model (run it as an administrator)",
                              static_cast<DWORD>(status));
        }
    }
    return 0;
}

// One model's answer, its lines and any reason marked with `selector`
// unless that is '\0'.
int CheckOne(const ModelEntry& model, CHAR selector)
{
    // Names outside ASCII are the table's code page's bytes: under another
    // code page they name other keys and queues than the model's, and
    // "absent" would be no answer.
    const UINT codePage = GetACP();
    if (codePage != kTableCodePage && HasForeignNames(model.selector)) {
        return CannotTell(selector, "the model's names are in code page " PRNUNINST_CODE_PAGE_TEXT
                          ": run it where that is the ANSI code page", codePage, "this Windows' is");
    }
    Report report = {StandardOutput(STD_OUTPUT_HANDLE), false, selector, false};
    if (CheckKeys(report, model) != 0) {
        return kCannotTell;
    }

    if (DllRedirected()) {
        return CannotTell(selector, "a file or folder prncheck.exe.local beside it would redirect its DLLs (or its own "
                          "path is too long to tell): remove it, or run it from a shorter path");
    }
    const HMODULE spooler = LoadSpooler();
    if (spooler == nullptr) {
        return CannotTell(selector, "cannot load the spooler's winspool.drv from the system folder", GetLastError());
    }
    const auto openPrinter = SystemExport<decltype(&OpenPrinterA)>(spooler, "OpenPrinterA");
    const auto closePrinter = SystemExport<decltype(&ClosePrinter)>(spooler, "ClosePrinter");
    if (openPrinter == nullptr || closePrinter == nullptr) {
        return CannotTell(selector, "the spooler lacks OpenPrinterA or ClosePrinter");
    }
    // The default access: enough to tell whether the queue is there, and
    // which queue its name opens.
    HANDLE printer = nullptr;
    Name name;
    if (!NamesQueue(model) || !ToWide(model.printerName, name)) {
        // Its queues are found by their drivers.
    } else if (openPrinter(const_cast<LPSTR>(model.printerName), &printer, nullptr) != 0) {
        const Opened opened = OpenedQueue(spooler, printer, name);
        const DWORD error = GetLastError();
        closePrinter(printer);
        if (opened == Opened::Unknown) {
            return CannotTell(selector, "cannot tell which queue the model's queue name opens", error);
        }
        report.named = opened == Opened::Named;
#if PRNUNINST_DRIVER_BOUNDS
        // A model with a bound has its named queue only where that uses one
        // of its drivers that is the model's: the list of queues tells.
        report.named = report.named && !model.bounded;
#endif
        if (report.named) {
            Line(report, "queue ", nullptr, model.printerName);
        }
    } else if (GetLastError() != ERROR_INVALID_PRINTER_NAME) {
        return CannotTell(selector, "cannot open the model's queue (is the spooler running?)", GetLastError());
    }
#if PRNUNINST_MODEL_DRIVERS
    if (model.driverCount != 0 && CheckDrivers(report, model, spooler) != 0) {
        return kCannotTell;
    }
#endif
    return report.found ? kSomethingLeft : kNothingLeft;
}

}  // namespace

int CheckModel(LPSTR commandTail)
{
    bool every = false;
    // No "/f" gives the selector '\0', which no model has.
    const ModelEntry* const model = FindModel(SelectorOf(commandTail, &every));
    if (model != nullptr) {
        return CheckOne(*model, '\0');
    }
    if (!every) {
        return CannotTell('\0', "usage: prncheck.exe /f<selector> or /a, with the selector of a model of this build's "
                          "table (the one prnuninst.exe of the same table takes), and nothing after it");
    }
    // Selectors are ASCII letters and digits: in that order. A model that
    // cannot be told does not keep the others from being checked.
    int answer = kNothingLeft;
    for (CHAR selector = '0'; selector <= 'z'; ++selector) {
        const ModelEntry* const each = FindModel(selector);
        const int status = each != nullptr ? CheckOne(*each, selector) : kNothingLeft;
        answer = status > answer ? status : answer;
    }
    return answer;
}
