// The removal of a model's drivers, built only into a program whose table
// names some: a table without drivers builds the program it always did.
//
// The spooler's lists are read in UTF-16. Their ANSI forms hand out names
// converted to the code page, where a character outside it becomes "?" or a
// look-alike: a queue of the model's driver named "Front desk ツ" would come
// back as "Front desk ?", and opening that name could delete another maker's
// queue of that name while the model's stayed.
#include "removal.h"

#if PRNUNINST_MODEL_DRIVERS

#include <winspool.h>

#include "system_dll.h"

namespace {

// Every environment a driver of the model may be installed in. A 32-bit
// process on 64-bit Windows must name "Windows x64" itself: what no
// environment means there is not documented.
constexpr LPCWSTR kEnvironments[] = {L"Windows x64", L"Windows NT x86", L"Windows ARM64", L"Windows IA64"};
constexpr unsigned kEnvironmentCount = sizeof kEnvironments / sizeof kEnvironments[0];

// A list that keeps growing between two calls is given up after this many,
// rather than cut short or waited on for ever.
constexpr unsigned kEnumerationAttempts = 8;

// How often a driver still in use is tried again, and the most the whole
// run waits for it, in milliseconds.
constexpr DWORD kRetryInterval = 500;
constexpr DWORD kRetryLimit = 10000;

// A table's driver name in UTF-16 as the ANSI code page reads it, the way the
// spooler reads the name of an "A" call: every character of the code pages
// Windows runs with is one UTF-16 unit, so as many units as bytes suffice.
using DriverName = WCHAR[kMaxDriverNameBytes + 1];
bool ToWide(LPCSTR name, DriverName wide)
{
    return MultiByteToWideChar(CP_ACP, 0, name, -1, wide, kMaxDriverNameBytes + 1) > 1;
}

DWORD Length(LPCWSTR text)
{
    DWORD length = 0;
    while (text[length] != L'\0') {
        ++length;
    }
    return length;
}

void Release(BYTE* buffer)
{
    if (buffer != nullptr) {
        VirtualFree(buffer, 0, MEM_RELEASE);
    }
}

using EnumPrintersFunction = decltype(&EnumPrintersW);
using EnumDriversFunction = decltype(&EnumPrinterDriversW);

// One of the spooler's enumerations, whole: the local queues (level 2) when
// `printers` is given, else the drivers of `environment` (level 8), called
// with the buffer it last asked for until the list fits. nullptr with *count
// 0 when the call fails or the list is empty; the caller releases the buffer.
BYTE* Enumerated(EnumPrintersFunction printers, EnumDriversFunction drivers, LPWSTR environment, DWORD* count)
{
    BYTE* buffer = nullptr;
    DWORD size = 0;
    for (unsigned attempt = 0; attempt < kEnumerationAttempts; ++attempt) {
        DWORD needed = 0;
        *count = 0;
        const BOOL done = printers != nullptr
                              ? printers(PRINTER_ENUM_LOCAL, nullptr, 2, buffer, size, &needed, count)
                              : drivers(nullptr, environment, 8, buffer, size, &needed, count);
        if (done != 0) {
            if (buffer == nullptr) {
                *count = 0;
            }
            return buffer;
        }
        const DWORD error = GetLastError();
        Release(buffer);
        buffer = nullptr;
        if (error != ERROR_INSUFFICIENT_BUFFER || needed <= size) {
            break;
        }
        buffer = static_cast<BYTE*>(VirtualAlloc(nullptr, needed, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (buffer == nullptr) {
            break;
        }
        size = needed;
    }
    Release(buffer);
    *count = 0;
    return nullptr;
}

// Whether `listed` is one of the table's `count` names, compared as the
// registry compares the names of the drivers' keys: case by case, never
// linguistically (lstrcmpi would take "æ" for "ae" and pass over a soft
// hyphen). A name longer than every name of the table is none of them.
bool Listed(const LPCSTR* names, unsigned count, LPCWSTR listed)
{
    if (listed == nullptr) {
        return false;
    }
    const DWORD length = Length(listed);
    if (length > kMaxDriverNameBytes) {
        return false;
    }
    DriverName upper;
    for (DWORD i = 0; i <= length; ++i) {
        upper[i] = listed[i];
    }
    CharUpperBuffW(upper, length);
    for (unsigned n = 0; n < count; ++n) {
        DriverName wanted;
        if (!ToWide(names[n], wanted) || Length(wanted) != length) {
            continue;
        }
        CharUpperBuffW(wanted, length);
        bool same = true;
        for (DWORD i = 0; i < length && same; ++i) {
            same = wanted[i] == upper[i];
        }
        if (same) {
            return true;
        }
    }
    return false;
}

// A queue of the model's drivers that lives on this machine. A printer
// connection (a queue of another machine, which a spooler may list even
// though only local queues were asked for) is never the model's: deleting
// through it would delete the server's queue for all its users.
bool IsModelQueue(const ModelEntry& model, const PRINTER_INFO_2W& queue)
{
    const WCHAR* const name = queue.pPrinterName;
    // No name would open the print server itself.
    if (name == nullptr || name[0] == L'\0' || (name[0] == L'\\' && name[1] == L'\\') ||
        (queue.Attributes & PRINTER_ATTRIBUTE_NETWORK) != 0 ||
        (queue.pServerName != nullptr && queue.pServerName[0] != L'\0')) {
        return false;
    }
    return Listed(model.drivers, model.driverCount, queue.pDriverName);
}

// Every local queue of the model's drivers, under any name: a driver cannot
// be deleted while a queue uses it.
void RemoveQueues(const ModelEntry& model, HMODULE spooler)
{
    const auto enumPrinters = SystemExport<EnumPrintersFunction>(spooler, "EnumPrintersW");
    const auto openPrinter = SystemExport<decltype(&OpenPrinterW)>(spooler, "OpenPrinterW");
    if (enumPrinters == nullptr || openPrinter == nullptr) {
        return;
    }
    DWORD count = 0;
    BYTE* const list = Enumerated(enumPrinters, nullptr, nullptr, &count);
    auto* const printers = reinterpret_cast<PRINTER_INFO_2W*>(list);
    for (DWORD i = 0; i < count; ++i) {
        if (!IsModelQueue(model, printers[i])) {
            continue;
        }
        // The named queue's rights, and no datatype: a spooler may refuse one
        // that the queue's print processor lacks, and deleting needs none.
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, DELETE | PRINTER_ACCESS_ADMINISTER};
        HANDLE printer = nullptr;
        if (openPrinter(printers[i].pPrinterName, &printer, &defaults) != 0) {
            DeleteQueue(spooler, printer);
        }
    }
    Release(list);
}

using DeleteDriverExFunction = decltype(&DeletePrinterDriverExW);
using DeleteDriverFunction = decltype(&DeletePrinterDriverW);

// One driver in one environment, with the files no other driver uses. A
// spooler that refuses the flag (Wine's) still removes the registration
// without it; NT 4.0 has only DeletePrinterDriver, which removes just that.
// True while a queue still uses the driver: one that another process holds
// open is deleted only when its last handle closes.
bool DriverInUse(DeleteDriverExFunction deleteDriverEx, DeleteDriverFunction deleteDriver, LPWSTR environment,
                 LPCSTR driver)
{
    DriverName name;
    // Some spoolers (Wine's) take an empty name for every driver.
    if (!ToWide(driver, name)) {
        return false;
    }
    BOOL deleted = 0;
    if (deleteDriverEx != nullptr) {
        deleted = deleteDriverEx(nullptr, environment, name, DPD_DELETE_UNUSED_FILES, 0);
        if (deleted == 0 && GetLastError() == ERROR_INVALID_PARAMETER) {
            deleted = deleteDriverEx(nullptr, environment, name, 0, 0);
        }
    } else if (deleteDriver != nullptr) {
        deleted = deleteDriver(nullptr, environment, name);
    } else {
        return false;
    }
    return deleted == 0 && GetLastError() == ERROR_PRINTER_DRIVER_IN_USE;
}

using DeletePackageFunction = HRESULT(WINAPI*)(LPCWSTR, LPCWSTR, LPCWSTR);

// The packages of the model's drivers in one environment's list whose INF
// the table names: one package often holds other models too, and Windows
// protects only those that are installed, not those merely staged. Windows
// also refuses one it ships, or one another installed driver still uses.
void DeletePackages(const ModelEntry& model, DeletePackageFunction deletePackage, LPCWSTR environment, BYTE* list,
                    DWORD count)
{
    auto* const drivers = reinterpret_cast<DRIVER_INFO_8W*>(list);
    for (DWORD i = 0; i < count && deletePackage != nullptr; ++i) {
        const LPCWSTR inf = drivers[i].pszInfPath;
        if (inf == nullptr || !Listed(model.drivers, model.driverCount, drivers[i].pName)) {
            continue;
        }
        // The driver store keeps "...\FileRepository\<inf>_<arch>_<hash>\<inf>".
        LPCWSTR file = inf;
        for (LPCWSTR c = inf; *c != L'\0'; ++c) {
            if (*c == L'\\') {
                file = c + 1;
            }
        }
        if (file[0] != L'\0' && Listed(model.packages, model.packageCount, file)) {
            deletePackage(nullptr, inf, environment);
        }
    }
}

}  // namespace

void DeleteQueue(HMODULE spooler, HANDLE printer)
{
    const auto setPrinter = SystemExport<decltype(&SetPrinterW)>(spooler, "SetPrinterW");
    const auto deletePrinter = SystemExport<decltype(&DeletePrinter)>(spooler, "DeletePrinter");
    const auto closePrinter = SystemExport<decltype(&ClosePrinter)>(spooler, "ClosePrinter");
    if (deletePrinter == nullptr || closePrinter == nullptr) {
        return;
    }
    // Jobs first: a queue deleted with jobs is only marked Delete Pending,
    // and from then on no list shows it and no open reaches it, so its
    // driver would stay in use until the jobs ended.
    if (setPrinter != nullptr) {
        setPrinter(printer, 0, nullptr, PRINTER_CONTROL_PURGE);
    }
    // A paused queue with a job that outlived the purge (one printing)
    // refuses; resumed, it deletes. A paused queue without jobs deletes as
    // it is, so it is resumed only when refused.
    if (deletePrinter(printer) == 0 && GetLastError() == ERROR_ACCESS_DENIED && setPrinter != nullptr &&
        setPrinter(printer, 0, nullptr, PRINTER_CONTROL_RESUME) != 0) {
        deletePrinter(printer);
    }
    closePrinter(printer);
}

void RemoveDrivers(const ModelEntry& model, HMODULE spooler)
{
    if (model.driverCount == 0) {
        return;
    }
    RemoveQueues(model, spooler);

    const auto deleteDriverEx = SystemExport<DeleteDriverExFunction>(spooler, "DeletePrinterDriverExW");
    const auto deleteDriver = SystemExport<DeleteDriverFunction>(spooler, "DeletePrinterDriverW");
    // Level 8 (Vista on) names each driver's package in the driver store, read
    // before the driver goes; never GetPrinterDriver, which installs a driver
    // that is missing. Only a model that names packages needs it.
    const auto enumDrivers =
        model.packageCount != 0 ? SystemExport<EnumDriversFunction>(spooler, "EnumPrinterDriversW") : nullptr;
    BYTE* installed[kEnvironmentCount] = {};
    DWORD installedCount[kEnvironmentCount] = {};
    bool inUse[kEnvironmentCount][kMaxModelDrivers] = {};
    bool waiting = false;
    const DWORD started = GetTickCount();
    for (unsigned e = 0; e < kEnvironmentCount; ++e) {
        auto* const environment = const_cast<LPWSTR>(kEnvironments[e]);
        if (enumDrivers != nullptr) {
            installed[e] = Enumerated(nullptr, enumDrivers, environment, &installedCount[e]);
        }
        for (unsigned d = 0; d < model.driverCount; ++d) {
            inUse[e][d] = DriverInUse(deleteDriverEx, deleteDriver, environment, model.drivers[d]);
            waiting = waiting || inUse[e][d];
        }
    }
    // A queue that another process holds open (a print dialog, a queue
    // window) goes when its last handle closes; until then its driver is in
    // use. Give such handles a bounded time, never more, and none when no
    // driver is in use.
    while (waiting && GetTickCount() - started + kRetryInterval <= kRetryLimit) {
        Sleep(kRetryInterval);
        waiting = false;
        for (unsigned e = 0; e < kEnvironmentCount; ++e) {
            for (unsigned d = 0; d < model.driverCount; ++d) {
                if (inUse[e][d]) {
                    inUse[e][d] = DriverInUse(deleteDriverEx, deleteDriver, const_cast<LPWSTR>(kEnvironments[e]),
                                              model.drivers[d]);
                    waiting = waiting || inUse[e][d];
                }
            }
        }
    }

    // The packages last, once no driver of theirs is installed (Vista on).
    const auto deletePackage = enumDrivers != nullptr
                                   ? SystemExport<DeletePackageFunction>(spooler, "DeletePrinterDriverPackageW")
                                   : nullptr;
    for (unsigned e = 0; e < kEnvironmentCount; ++e) {
        DeletePackages(model, deletePackage, kEnvironments[e], installed[e], installedCount[e]);
        Release(installed[e]);
    }
}

#endif
