// The removal of a model's drivers, built only into a program whose table
// names some: a table without drivers builds the program it always did.
#include "removal.h"

#if PRNUNINST_MODEL_DRIVERS

#include <winspool.h>

#include "spooler.h"
#include "system_dll.h"

namespace {

// How often a driver still in use is tried again, and the most the whole
// run waits for it, in milliseconds.
constexpr DWORD kRetryInterval = 500;
constexpr DWORD kRetryLimit = 10000;

// Every local queue of the model's drivers, under any name: a driver cannot
// be deleted while a queue uses it. With a bound, only those whose driver on
// this machine is the model's: not one that `passed` marks.
#if PRNUNINST_DRIVER_BOUNDS
void RemoveQueues(const ModelEntry& model, HMODULE spooler, const bool* passed)
#else
void RemoveQueues(const ModelEntry& model, HMODULE spooler)
#endif
{
    const auto enumPrinters = SystemExport<EnumPrintersFunction>(spooler, "EnumPrintersW");
    const auto openPrinter = SystemExport<decltype(&OpenPrinterW)>(spooler, "OpenPrinterW");
    if (enumPrinters == nullptr || openPrinter == nullptr) {
        return;
    }
    DWORD count = 0;
    BYTE* list = nullptr;
    Enumerated(enumPrinters, nullptr, nullptr, 2, &list, &count);
    auto* const printers = reinterpret_cast<PRINTER_INFO_2W*>(list);
    for (DWORD i = 0; i < count; ++i) {
        if (!IsModelQueue(model, printers[i])) {
            continue;
        }
#if PRNUNINST_DRIVER_BOUNDS
        if (OfSuccessor(model, printers[i].pDriverName, passed)) {
            continue;
        }
#endif
        // The named queue's rights, and no datatype: a spooler may refuse one
        // that the queue's print processor lacks, and deleting needs none.
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, kDeleteAccess};
        HANDLE printer = nullptr;
        if (openPrinter(printers[i].pPrinterName, &printer, &defaults) != 0) {
            DeleteQueue(spooler, printer, printers[i].pPrinterName);
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
    Name name;
    // Some spoolers (Wine's) take an empty name for every driver.
    if (!ToWide(driver, name)) {
        return false;
    }
    BOOL deleted = 1;
    if (deleteDriverEx != nullptr) {
        deleted = deleteDriverEx(nullptr, environment, name, DPD_DELETE_UNUSED_FILES, 0);
        if (deleted == 0 && GetLastError() == ERROR_INVALID_PARAMETER) {
            deleted = deleteDriverEx(nullptr, environment, name, 0, 0);
        }
    } else if (deleteDriver != nullptr) {
        deleted = deleteDriver(nullptr, environment, name);
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
        if (IsModelPackage(model, drivers[i], model.packages, model.packageCount)) {
            deletePackage(nullptr, drivers[i].pszInfPath, environment);
        }
    }
}

#if PRNUNINST_DRIVER_BOUNDS
// Marks as done, in each environment, every driver with a bound that is not
// the model's there (a successor's newer version, or one whose version
// cannot be read): it is never deleted. The x86 client driver goes by its
// own version. Returns the marks of this machine's own environment, whose
// drivers its queues use.
const bool* PassSuccessors(const ModelEntry& model, HMODULE spooler, bool (*passed)[kMaxModelDrivers])
{
    if (!model.bounded) {
        return passed[0];
    }
    const auto enumDrivers = SystemExport<EnumDriversFunction>(spooler, "EnumPrinterDriversW");
    for (unsigned e = 0; e < kEnvironmentCount; ++e) {
        BYTE* list = nullptr;
        DWORD count = 0;
        if (enumDrivers != nullptr) {
            Enumerated(nullptr, enumDrivers, const_cast<LPWSTR>(kEnvironments[e]), 6, &list, &count);
        }
        MarkSuccessors(model, list, count, passed[e]);
        Release(list);
    }
    return passed[MachineEnvironment()];
}
#endif

}  // namespace

void RemoveDrivers(const ModelEntry& model, HMODULE spooler)
{
    if (model.driverCount == 0) {
        return;
    }
#if PRNUNINST_DRIVER_BOUNDS
    // A driver that is not the model's counts as deleted from the start.
    bool deleted[kEnvironmentCount][kMaxModelDrivers] = {};
    RemoveQueues(model, spooler, PassSuccessors(model, spooler, deleted));
#else
    RemoveQueues(model, spooler);
#endif

    const auto deleteDriverEx = SystemExport<DeleteDriverExFunction>(spooler, "DeletePrinterDriverExW");
    const auto deleteDriver = SystemExport<DeleteDriverFunction>(spooler, "DeletePrinterDriverW");
    // Level 8 (Vista on) names each driver's package in the driver store, read
    // before the driver goes; never GetPrinterDriver, which installs a driver
    // that is missing. Only a model that names packages needs it.
    const auto enumDrivers =
        model.packageCount != 0 ? SystemExport<EnumDriversFunction>(spooler, "EnumPrinterDriversW") : nullptr;
    BYTE* installed[kEnvironmentCount] = {};
    DWORD installedCount[kEnvironmentCount] = {};
    // A queue that another process holds open (a print dialog, a queue
    // window) goes when its last handle closes; until then its driver is in
    // use. Such a driver is tried again for a bounded time, never more, and
    // none at all when no driver is in use.
#if !PRNUNINST_DRIVER_BOUNDS
    bool deleted[kEnvironmentCount][kMaxModelDrivers] = {};
#endif
    const DWORD started = GetTickCount();
    for (unsigned pass = 0;; ++pass) {
        bool waiting = false;
        for (unsigned e = 0; e < kEnvironmentCount; ++e) {
            auto* const environment = const_cast<LPWSTR>(kEnvironments[e]);
            if (pass == 0 && enumDrivers != nullptr) {
                Enumerated(nullptr, enumDrivers, environment, 8, &installed[e], &installedCount[e]);
            }
            for (unsigned d = 0; d < model.driverCount; ++d) {
                if (!deleted[e][d]) {
                    deleted[e][d] = !DriverInUse(deleteDriverEx, deleteDriver, environment, model.drivers[d]);
                    waiting = waiting || !deleted[e][d];
                }
            }
        }
        if (!waiting || GetTickCount() - started + kRetryInterval > kRetryLimit) {
            break;
        }
        Sleep(kRetryInterval);
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
