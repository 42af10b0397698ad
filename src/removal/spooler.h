// What both programs need of the spooler: its DLL, loaded safely; which
// queue a name opened, its name compared as the spooler compares names; and
// for a table with drivers its lists, read whole, and the rules that say
// which of their queues, drivers and packages are the model's. Inline, so
// that a program that uses none of it builds as if it were not there.
//
// The spooler's lists are read in UTF-16. Their ANSI forms hand out names
// converted to the code page, where a character outside it becomes "?" or a
// look-alike: a queue of the model's driver named "Front desk ツ" would come
// back as "Front desk ?", and opening that name could delete another maker's
// queue of that name while the model's stayed.
#pragma once

#include <windows.h>
#include <winspool.h>

#include "removal.h"
#include "system_dll.h"

// A file or folder "<this program>.local" beside a program without a
// manifest, such as this one, makes the loader take DLLs from the program's
// folder first, even one loaded by its full path: whoever could plant one
// there would have their winspool.drv run with our rights. With one there
// (or when the program's path cannot be read whole) the spooler is not
// loaded at all. The path is read in UTF-16: in the ANSI code page a folder
// name outside it reads as "?" and would name no file.
inline bool DllRedirected()
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
inline HMODULE LoadSpooler()
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

// The longest name a table holds, in UTF-16 units: a driver or an INF file
// name (255), a queue (220).
inline constexpr unsigned kMaxNameUnits = 255;

// A table's name in UTF-16 as the ANSI code page reads it, the way the
// spooler reads the name of an "A" call. False for one longer than a name
// can be.
using Name = WCHAR[kMaxNameUnits + 1];
inline bool ToWide(LPCSTR name, Name wide)
{
    return MultiByteToWideChar(CP_ACP, 0, name, -1, wide, kMaxNameUnits + 1) > 1;
}

// One UTF-16 unit in upper case, as CharUpperBuffW would give it: given a
// single character (a pointer-sized value whose high word is 0), CharUpperW
// returns it converted.
inline UINT_PTR Upper(WCHAR unit)
{
    return reinterpret_cast<UINT_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(unit))));
}

// Whether two names are the same without regard to case, one UTF-16 unit at
// a time as the registry compares key names, never linguistically (lstrcmpi
// would take "æ" for "ae" and pass over a soft hyphen).
[[gnu::noinline]] inline bool SameName(LPCWSTR a, LPCWSTR b)
{
    if (a == nullptr || b == nullptr) {
        return false;
    }
    for (;; ++a, ++b) {
        if (Upper(*a) != Upper(*b)) {
            return false;
        }
        if (*a == L'\0') {
            return true;
        }
    }
}

// The rights a queue is opened with for its deletion: to delete it, to purge
// and resume it, and to read its name (GetPrinter); whoever may manage a
// printer has all three.
inline constexpr ACCESS_MASK kDeleteAccess = DELETE | PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE;

// Which queue the handle `printer` is open on: the one named `name`, or
// another. A local name may also be another queue's share name (MS-RPRN
// 2.2.4.14): a successor shared under an old model's queue name would open by
// it, and must be neither deleted nor reported. A queue whose own name does
// not fit the buffer is longer than any a table holds; a spooler that cannot
// say (no level 4, no name) leaves it Unknown, which is never acted on.
enum class Opened { Named, Other, Unknown };
[[gnu::noinline]] inline Opened OpenedQueue(HMODULE spooler, HANDLE printer, LPCWSTR name)
{
    const auto getPrinter = SystemExport<decltype(&GetPrinterW)>(spooler, "GetPrinterW");
    alignas(PRINTER_INFO_4W) BYTE info[sizeof(PRINTER_INFO_4W) + 2 * sizeof(Name)];
    const auto* const queue = reinterpret_cast<const PRINTER_INFO_4W*>(info);
    DWORD needed = 0;
    if (getPrinter == nullptr) {
        return Opened::Unknown;
    }
    if (getPrinter(printer, 4, info, sizeof info, &needed) == 0) {
        return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? Opened::Other : Opened::Unknown;
    }
    if (queue->pPrinterName == nullptr) {
        return Opened::Unknown;
    }
    return SameName(queue->pPrinterName, name) ? Opened::Named : Opened::Other;
}

#if PRNUNINST_MODEL_DRIVERS

// Every environment a driver of the model may be installed in: Windows 9x
// drivers that NT 4.0 to Server 2003 serve their clients ("Windows 4.0") and
// Windows RT's ("Windows ARM") included. A 32-bit process on 64-bit Windows
// must name "Windows x64" itself: what no environment means there is not
// documented.
inline constexpr LPCWSTR kEnvironments[] = {L"Windows x64",  L"Windows NT x86", L"Windows ARM64",
                                            L"Windows IA64", L"Windows 4.0",    L"Windows ARM"};
inline constexpr unsigned kEnvironmentCount = sizeof kEnvironments / sizeof kEnvironments[0];

// A list that keeps growing between two calls is given up after this many,
// rather than cut short or waited on for ever.
inline constexpr unsigned kEnumerationAttempts = 8;

inline void Release(BYTE* buffer)
{
    if (buffer != nullptr) {
        VirtualFree(buffer, 0, MEM_RELEASE);
    }
}

using EnumPrintersFunction = decltype(&EnumPrintersW);
using EnumDriversFunction = decltype(&EnumPrinterDriversW);

// One of the spooler's enumerations, whole: the local queues (level 2) when
// `printers` is given, else the drivers of `environment` at `level`, called
// with the buffer it last asked for until the list fits. ERROR_SUCCESS with
// the list in *list and its length in *count (nullptr, or a buffer with no
// record, when empty; the caller releases it), or the
// error that kept it from being read whole, with *list nullptr and *count 0.
[[gnu::noinline]] inline DWORD Enumerated(EnumPrintersFunction printers, EnumDriversFunction drivers, LPWSTR environment, DWORD level,
                        BYTE** list, DWORD* count)
{
    BYTE* buffer = nullptr;
    DWORD size = 0;
    DWORD error = ERROR_INSUFFICIENT_BUFFER;
    for (unsigned attempt = 0; attempt < kEnumerationAttempts; ++attempt) {
        DWORD needed = 0;
        *count = 0;
        const BOOL done = printers != nullptr
                              ? printers(PRINTER_ENUM_LOCAL, nullptr, 2, buffer, size, &needed, count)
                              : drivers(nullptr, environment, level, buffer, size, &needed, count);
        if (done != 0) {
            if (buffer == nullptr) {
                *count = 0;
            }
            *list = buffer;
            return ERROR_SUCCESS;
        }
        error = GetLastError();
        Release(buffer);
        buffer = nullptr;
        // A list that asks for no more than it was given would never fit.
        if (error != ERROR_INSUFFICIENT_BUFFER || needed <= size) {
            error = error == ERROR_SUCCESS ? ERROR_INSUFFICIENT_BUFFER : error;
            break;
        }
        buffer = static_cast<BYTE*>(VirtualAlloc(nullptr, needed, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (buffer == nullptr) {
            error = ERROR_NOT_ENOUGH_MEMORY;
            break;
        }
        size = needed;
    }
    Release(buffer);
    *count = 0;
    *list = nullptr;
    return error;
}

// Whether `listed` is one of the table's `count` names, as the spooler
// reads them from an "A" call.
[[gnu::noinline]] inline bool Listed(const LPCSTR* names, unsigned count, LPCWSTR listed)
{
    for (unsigned n = 0; n < count; ++n) {
        Name wanted;
        if (ToWide(names[n], wanted) && SameName(listed, wanted)) {
            return true;
        }
    }
    return false;
}

// A queue of the model's drivers that lives on this machine. A printer
// connection (a queue of another machine, which a spooler may list even
// though only local queues were asked for) is never the model's: deleting
// through it would delete the server's queue for all its users.
inline bool IsModelQueue(const ModelEntry& model, const PRINTER_INFO_2W& queue)
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

#if PRNUNINST_DRIVER_BOUNDS

// Whether `version` of the model's driver `d` is the model's: below its
// bound, or any version where it has none. A version of 0 is below every
// bound: the spooler records none for a driver added at another level than 6
// (nor, by our reading, did installs older than the driver store).
inline bool Below(const ModelEntry& model, unsigned d, DWORDLONG version)
{
    return model.below[d] == 0 || version < model.below[d];
}

// Whether the model's driver `d` is the model's in one environment's list at
// level 6: listed, and each version listed below its bound, since the
// spooler deletes every version of a name at once. *version: the one listed
// last.
[[gnu::noinline]] inline bool Matches(const ModelEntry& model, unsigned d, const BYTE* list, DWORD count,
                                      DWORDLONG* version)
{
    const auto* const drivers = reinterpret_cast<const DRIVER_INFO_6W*>(list);
    bool listed = false;
    for (DWORD i = 0; i < count; ++i) {
        if (Listed(&model.drivers[d], 1, drivers[i].pName)) {
            *version = drivers[i].dwlDriverVersion;
            if (!Below(model, d, *version)) {
                return false;
            }
            listed = true;
        }
    }
    return listed;
}

// Marks each driver with a bound that is not the model's in one
// environment's list at level 6 (nullptr when it could not be read: a
// version that cannot be read is never taken for the model's).
inline void MarkSuccessors(const ModelEntry& model, const BYTE* list, DWORD count, bool* passed)
{
    for (unsigned d = 0; d < model.driverCount; ++d) {
        DWORDLONG version = 0;
        passed[d] = model.below[d] != 0 && !Matches(model, d, list, count, &version);
    }
}

// Which of the model's drivers `driver` is, or driverCount for none.
[[gnu::noinline]] inline unsigned DriverIndex(const ModelEntry& model, LPCWSTR driver)
{
    unsigned d = 0;
    while (d < model.driverCount && !Listed(&model.drivers[d], 1, driver)) {
        ++d;
    }
    return d;
}

// Whether a queue uses one of the model's drivers that `passed` marks.
inline bool OfSuccessor(const ModelEntry& model, LPCWSTR driver, const bool* passed)
{
    const unsigned d = DriverIndex(model, driver);
    return d < model.driverCount && passed[d];
}

// This machine's own environment, whose drivers its queues use, as an index
// of kEnvironments: a 32-bit program on 64-bit Windows must find it itself.
// IsWow64Process2 (Windows 10 1709 on) names it even to a program emulated
// on ARM64, to which GetNativeSystemInfo (XP on) says x86; before XP,
// Windows is x86 alone.
[[gnu::noinline]] inline unsigned MachineEnvironment()
{
    // The IMAGE_FILE_MACHINE_ and PROCESSOR_ARCHITECTURE_ values of the first
    // four environments.
    constexpr WORD kMachines[][2] = {{0x8664, 9}, {0x014C, 0}, {0xAA64, 12}, {0x0200, 6}};
    using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    using NativeSystemInfoFunction = void(WINAPI*)(SYSTEM_INFO*);
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    const auto isWow64Process2 = SystemExport<IsWow64Process2Function>(kernel32, "IsWow64Process2");
    USHORT process = 0;
    USHORT machine = 0;
    unsigned column = 0;
    if (isWow64Process2 != nullptr) {
        isWow64Process2(GetCurrentProcess(), &process, &machine);
    } else {
        const auto nativeSystemInfo = SystemExport<NativeSystemInfoFunction>(kernel32, "GetNativeSystemInfo");
        column = 1;
        if (nativeSystemInfo != nullptr) {
            SYSTEM_INFO system;
            nativeSystemInfo(&system);
            machine = system.wProcessorArchitecture;
        }
    }
    for (unsigned e = 0; e < sizeof kMachines / sizeof kMachines[0]; ++e) {
        if (kMachines[e][column] == machine) {
            return e;
        }
    }
    return 1;
}
#endif

// The part of a path after its last "\\".
inline LPCWSTR FileName(LPCWSTR path)
{
    LPCWSTR file = path;
    for (LPCWSTR c = path; *c != L'\0'; ++c) {
        if (*c == L'\\') {
            file = c + 1;
        }
    }
    return file;
}

// Whether a driver's package is one of the `count` the table names: the
// driver is one of the model's, and the file name of its INF (the driver
// store keeps "...\FileRepository\<inf>_<arch>_<hash>\<inf>") is one of
// `packages`. One package often holds other models too. An empty name is
// none of them.
inline bool IsModelPackage(const ModelEntry& model, const DRIVER_INFO_8W& driver, const LPCSTR* packages,
                           unsigned count)
{
#if PRNUNINST_DRIVER_BOUNDS
    // Only through a driver that is the model's: a successor's of the same
    // name may come from the same INF.
    const unsigned d = DriverIndex(model, driver.pName);
    if (d < model.driverCount && !Below(model, d, driver.dwlDriverVersion)) {
        return false;
    }
#endif
    return driver.pszInfPath != nullptr && Listed(model.drivers, model.driverCount, driver.pName) &&
           Listed(packages, count, FileName(driver.pszInfPath));
}

#endif
