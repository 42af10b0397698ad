// The removal of a model's drivers, built only into a program whose table
// names some: a table without drivers builds the program it always did.
#include "removal.h"

#if PRNUNINST_MODEL_DRIVERS

#include <winspool.h>

#include "system_dll.h"

namespace {

// Every environment a driver of the model may be installed in. A 32-bit
// process on 64-bit Windows must name "Windows x64" itself: what no
// environment means there is not documented.
constexpr LPCSTR kEnvironments[] = {"Windows x64", "Windows NT x86", "Windows ARM64", "Windows IA64"};
constexpr unsigned kEnvironmentCount = sizeof kEnvironments / sizeof kEnvironments[0];

// A list that keeps growing between two calls is given up after this many,
// rather than cut short or waited on for ever.
constexpr unsigned kEnumerationAttempts = 8;

void Release(BYTE* buffer)
{
    if (buffer != nullptr) {
        VirtualFree(buffer, 0, MEM_RELEASE);
    }
}

using EnumPrintersFunction = decltype(&EnumPrintersA);
using EnumDriversFunction = decltype(&EnumPrinterDriversA);

// One of the spooler's enumerations, whole: the local queues (level 2) when
// `printers` is given, else the drivers of `environment` (level 8), called
// with the buffer it last asked for until the list fits. nullptr with *count
// 0 when the call fails or the list is empty; the caller releases the buffer.
BYTE* Enumerated(EnumPrintersFunction printers, EnumDriversFunction drivers, LPSTR environment, DWORD* count)
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
// case by case, never linguistically (lstrcmpiA would take "æ" for "ae" and
// pass over a soft hyphen). Upper-cases `listed` in place.
bool IsModelDriver(const ModelEntry& model, LPSTR listed)
{
    if (listed == nullptr) {
        return false;
    }
    DWORD length = 0;
    while (listed[length] != '\0') {
        ++length;
    }
    CharUpperBuffA(listed, length);
    for (unsigned d = 0; d < model.driverCount; ++d) {
        CHAR wanted[kMaxDriverNameBytes + 1];
        DWORD i = 0;
        for (; i < kMaxDriverNameBytes && model.drivers[d][i] != '\0'; ++i) {
            wanted[i] = model.drivers[d][i];
        }
        if (i != length) {
            continue;
        }
        CharUpperBuffA(wanted, i);
        bool same = true;
        for (DWORD j = 0; j < length && same; ++j) {
            same = wanted[j] == listed[j];
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
    const auto enumPrinters = SystemExport<EnumPrintersFunction>(spooler, "EnumPrintersA");
    const auto openPrinter = SystemExport<decltype(&OpenPrinterA)>(spooler, "OpenPrinterA");
    const auto setPrinter = SystemExport<decltype(&SetPrinterA)>(spooler, "SetPrinterA");
    const auto deletePrinter = SystemExport<decltype(&DeletePrinter)>(spooler, "DeletePrinter");
    const auto closePrinter = SystemExport<decltype(&ClosePrinter)>(spooler, "ClosePrinter");
    if (enumPrinters == nullptr || openPrinter == nullptr || deletePrinter == nullptr || closePrinter == nullptr) {
        return;
    }
    DWORD count = 0;
    BYTE* const list = Enumerated(enumPrinters, nullptr, nullptr, &count);
    auto* const printers = reinterpret_cast<PRINTER_INFO_2A*>(list);
    for (DWORD i = 0; i < count; ++i) {
        if (!IsModelDriver(model, printers[i].pDriverName)) {
            continue;
        }
        // The rights the named queue is opened with.
        CHAR datatype[] = "RAW";
        PRINTER_DEFAULTSA defaults = {datatype, nullptr, DELETE | PRINTER_ACCESS_ADMINISTER};
        HANDLE printer = nullptr;
        if (openPrinter(printers[i].pPrinterName, &printer, &defaults) != 0) {
            if (setPrinter != nullptr) {
                setPrinter(printer, 0, nullptr, PRINTER_CONTROL_PURGE);
            }
            deletePrinter(printer);
            closePrinter(printer);
        }
    }
    Release(list);
}

using DeleteDriverExFunction = decltype(&DeletePrinterDriverExA);
using DeleteDriverFunction = decltype(&DeletePrinterDriverA);

// One driver in one environment, with the files no other driver uses. A
// spooler that refuses the flag (Wine's) still removes the registration
// without it; NT 4.0 has only DeletePrinterDriverA, which removes just that.
void DeleteDriver(DeleteDriverExFunction deleteDriverEx, DeleteDriverFunction deleteDriver, LPSTR environment,
                  LPSTR name)
{
    // Some spoolers (Wine's) take an empty name for every driver.
    if (name[0] == '\0') {
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

// The packages of the model's drivers in one environment's list. Windows
// refuses one it ships, or one that another installed driver still uses.
using DeletePackageFunction = HRESULT(WINAPI*)(LPCSTR, LPCSTR, LPCSTR);

void DeletePackages(const ModelEntry& model, DeletePackageFunction deletePackage, LPCSTR environment, BYTE* list,
                    DWORD count)
{
    auto* const drivers = reinterpret_cast<DRIVER_INFO_8A*>(list);
    for (DWORD i = 0; i < count && deletePackage != nullptr; ++i) {
        const LPCSTR inf = drivers[i].pszInfPath;
        if (inf != nullptr && inf[0] != '\0' && IsModelDriver(model, drivers[i].pName)) {
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

    const auto deleteDriverEx = SystemExport<DeleteDriverExFunction>(spooler, "DeletePrinterDriverExA");
    const auto deleteDriver = SystemExport<DeleteDriverFunction>(spooler, "DeletePrinterDriverA");
    // Level 8 (Vista on) names each driver's package in the driver store, read
    // before the driver goes; never GetPrinterDriver, which installs a driver
    // that is missing.
    const auto enumDrivers = SystemExport<EnumDriversFunction>(spooler, "EnumPrinterDriversA");
    BYTE* installed[kEnvironmentCount] = {};
    DWORD installedCount[kEnvironmentCount] = {};
    for (unsigned e = 0; e < kEnvironmentCount; ++e) {
        auto* const environment = const_cast<LPSTR>(kEnvironments[e]);
        if (enumDrivers != nullptr) {
            installed[e] = Enumerated(nullptr, enumDrivers, environment, &installedCount[e]);
        }
        for (unsigned d = 0; d < model.driverCount; ++d) {
            DeleteDriver(deleteDriverEx, deleteDriver, environment, const_cast<LPSTR>(model.drivers[d]));
        }
    }

    // The packages last, once no driver of theirs is installed (Vista on).
    const auto deletePackage = SystemExport<DeletePackageFunction>(spooler, "DeletePrinterDriverPackageA");
    for (unsigned e = 0; e < kEnvironmentCount; ++e) {
        DeletePackages(model, deletePackage, kEnvironments[e], installed[e], installedCount[e]);
        Release(installed[e]);
    }
}

#endif
