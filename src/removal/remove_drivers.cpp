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

// Whether `listed`, a name in a buffer of ours, names one of the model's
// drivers, compared as the registry compares the names of the drivers' keys:
// case by case, never linguistically (lstrcmpi would take "æ" for "ae" and
// pass over a soft hyphen). Upper-cases `listed` in place.
bool IsModelDriver(const ModelEntry& model, LPWSTR listed)
{
    if (listed == nullptr) {
        return false;
    }
    const DWORD length = Length(listed);
    CharUpperBuffW(listed, length);
    for (unsigned d = 0; d < model.driverCount; ++d) {
        DriverName wanted;
        if (!ToWide(model.drivers[d], wanted) || Length(wanted) != length) {
            continue;
        }
        CharUpperBuffW(wanted, length);
        bool same = true;
        for (DWORD i = 0; i < length && same; ++i) {
            same = wanted[i] == listed[i];
        }
        if (same) {
            return true;
        }
    }
    return false;
}

// Every local queue of the model's drivers, under any name: a driver cannot
// be deleted while a queue uses it. Its jobs go first, or the deletion would
// wait for them.
void RemoveQueues(const ModelEntry& model, HMODULE spooler)
{
    const auto enumPrinters = SystemExport<EnumPrintersFunction>(spooler, "EnumPrintersW");
    const auto openPrinter = SystemExport<decltype(&OpenPrinterW)>(spooler, "OpenPrinterW");
    const auto setPrinter = SystemExport<decltype(&SetPrinterW)>(spooler, "SetPrinterW");
    const auto deletePrinter = SystemExport<decltype(&DeletePrinter)>(spooler, "DeletePrinter");
    const auto closePrinter = SystemExport<decltype(&ClosePrinter)>(spooler, "ClosePrinter");
    if (enumPrinters == nullptr || openPrinter == nullptr || deletePrinter == nullptr || closePrinter == nullptr) {
        return;
    }
    DWORD count = 0;
    BYTE* const list = Enumerated(enumPrinters, nullptr, nullptr, &count);
    auto* const printers = reinterpret_cast<PRINTER_INFO_2W*>(list);
    for (DWORD i = 0; i < count; ++i) {
        // No name would open the print server itself.
        WCHAR* const name = printers[i].pPrinterName;
        if (name == nullptr || name[0] == L'\0' || !IsModelDriver(model, printers[i].pDriverName)) {
            continue;
        }
        // The rights the named queue is opened with.
        WCHAR datatype[] = L"RAW";
        PRINTER_DEFAULTSW defaults = {datatype, nullptr, DELETE | PRINTER_ACCESS_ADMINISTER};
        HANDLE printer = nullptr;
        if (openPrinter(name, &printer, &defaults) != 0) {
            if (setPrinter != nullptr) {
                setPrinter(printer, 0, nullptr, PRINTER_CONTROL_PURGE);
            }
            deletePrinter(printer);
            closePrinter(printer);
        }
    }
    Release(list);
}

using DeleteDriverExFunction = decltype(&DeletePrinterDriverExW);
using DeleteDriverFunction = decltype(&DeletePrinterDriverW);

// One driver in one environment, with the files no other driver uses. A
// spooler that refuses the flag (Wine's) still removes the registration
// without it; NT 4.0 has only DeletePrinterDriver, which removes just that.
void DeleteDriver(DeleteDriverExFunction deleteDriverEx, DeleteDriverFunction deleteDriver, LPWSTR environment,
                  LPCSTR driver)
{
    DriverName name;
    // Some spoolers (Wine's) take an empty name for every driver.
    if (!ToWide(driver, name)) {
        return;
    }
    if (deleteDriverEx == nullptr) {
        if (deleteDriver != nullptr) {
            deleteDriver(nullptr, environment, name);
        }
        return;
    }
    if (deleteDriverEx(nullptr, environment, name, DPD_DELETE_UNUSED_FILES, 0) == 0 &&
        GetLastError() == ERROR_INVALID_PARAMETER) {
        deleteDriverEx(nullptr, environment, name, 0, 0);
    }
}

using DeletePackageFunction = HRESULT(WINAPI*)(LPCWSTR, LPCWSTR, LPCWSTR);

// The packages of the model's drivers in one environment's list. Windows
// refuses one it ships, or one that another installed driver still uses.
void DeletePackages(const ModelEntry& model, DeletePackageFunction deletePackage, LPCWSTR environment, BYTE* list,
                    DWORD count)
{
    auto* const drivers = reinterpret_cast<DRIVER_INFO_8W*>(list);
    for (DWORD i = 0; i < count && deletePackage != nullptr; ++i) {
        const LPCWSTR inf = drivers[i].pszInfPath;
        if (inf != nullptr && inf[0] != L'\0' && IsModelDriver(model, drivers[i].pName)) {
            deletePackage(nullptr, inf, environment);
        }
    }
}

}  // namespace

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
    // that is missing.
    const auto enumDrivers = SystemExport<EnumDriversFunction>(spooler, "EnumPrinterDriversW");
    BYTE* installed[kEnvironmentCount] = {};
    DWORD installedCount[kEnvironmentCount] = {};
    for (unsigned e = 0; e < kEnvironmentCount; ++e) {
        auto* const environment = const_cast<LPWSTR>(kEnvironments[e]);
        if (enumDrivers != nullptr) {
            installed[e] = Enumerated(nullptr, enumDrivers, environment, &installedCount[e]);
        }
        for (unsigned d = 0; d < model.driverCount; ++d) {
            DeleteDriver(deleteDriverEx, deleteDriver, environment, model.drivers[d]);
        }
    }

    // The packages last, once no driver of theirs is installed (Vista on).
    const auto deletePackage = SystemExport<DeletePackageFunction>(spooler, "DeletePrinterDriverPackageW");
    for (unsigned e = 0; e < kEnvironmentCount; ++e) {
        DeletePackages(model, deletePackage, kEnvironments[e], installed[e], installedCount[e]);
        Release(installed[e]);
    }
}

#endif
