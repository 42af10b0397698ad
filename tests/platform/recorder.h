// The host build's platform layer: records every registry, spooler and launch
// call in order, and steps characters as a chosen ANSI code page would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace recorder {

enum class CodePage { SingleByte, Korean949 };

// One call as text, e.g. "RegDeleteKeyA(80000002, SYSTEM\...)"; byte strings
// are kept byte for byte.
using Calls = std::vector<std::string>;

// Clears the log and sets the code page and what OpenPrinterA will return;
// the system folder is kSystemDirectory again and nothing is withheld.
void Reset(CodePage page = CodePage::SingleByte, bool openSucceeds = true);

// What GetSystemDirectoryA reports; with "" it fails.
constexpr const char* kSystemDirectory = "C:\\Windows\\system32";
void SetSystemDirectory(const std::string& folder);
// Makes LoadLibraryExA fail for a DLL of this file name ("winspool.drv"), or
// GetProcAddress find no export of this name ("DeletePrinter").
void Withhold(const std::string& name);
const Calls& Recorded();

// The command WinExec was last given, as the pointer itself (nullptr when it
// was not called), so that callers can tell where in their input it points.
const char* LastWinExecCommand();

// The handle a successful OpenPrinterA hands out.
constexpr unsigned long kPrinterHandle = 0x4711;

// The spooler, keeping the rules Windows' spooler documents (MS-RPRN, the
// print system protocol it serves, and the API pages) where the removal
// meets them:
// - a queue deleted while it has jobs, or while a handle to it is open, is
//   Delete Pending (3.1.4.2.4): out of EnumPrinters and OpenPrinter, it goes
//   with its last job and its last handle (RpcClosePrinter, 3.1.4.2.9);
// - SetPrinter's PRINTER_CONTROL_PURGE deletes the jobs, _RESUME ends a hold
//   (RpcSetPrinter, 3.1.4.2.5); a paused queue with jobs refuses DeletePrinter
//   with ERROR_ACCESS_DENIED (DeletePrinter's page);
// - a driver is in use, and its deletion refused with
//   ERROR_PRINTER_DRIVER_IN_USE, while any queue uses it, Delete Pending ones
//   included (RpcDeletePrinterDriver 3.1.4.4.5, RpcDeletePrinterDriverEx
//   3.1.4.4.7);
// - a driver package is refused while an installed driver comes from it
//   (DeletePrinterDriverPackage's page), and takes every model it holds;
// - a local printer name may be the share name of a queue (2.2.4.14): an
//   open by it reaches that queue, and GetPrinter (level 4) names it;
// - an open asking for a datatype that the queue's print processor lacks
//   fails with ERROR_INVALID_DATATYPE (ReactOS's spooler; Microsoft's pages
//   are silent).
// Queues use the driver of kMachineEnvironment, as on 64-bit Windows (what
// IsWow64Process2 and GetNativeSystemInfo say). The
// program holds one printer handle at a time; an open of a name the spooler
// does not hold succeeds (kPrinterHandle) for the tests that model no queue.
// `expected` is what a test expects of the item (a queue or driver removed,
// a package deleted); the recorder does not read it.
constexpr const char* kMachineEnvironment = "Windows x64";
constexpr uint32_t kForever = ~0u;
struct Queue {
    Queue(std::string queueName, std::string driverName, bool removed)
        : name(std::move(queueName)), driver(std::move(driverName)), expected(removed)
    {
    }
    std::string name;
    std::string driver;
    bool expected;
    unsigned jobs = 0;           // waiting; a purge deletes them
    bool printing = false;       // a job being printed on a paused queue: it outlives a purge, ends on resume
    bool paused = false;
    uint32_t heldOpen = 0;       // ms (of Sleep) until another process closes its handle; kForever
    bool rawless = false;        // its print processor lacks "RAW"
    uint32_t attributes = 0;     // PRINTER_INFO_2's, e.g. PRINTER_ATTRIBUTE_NETWORK
    std::string server;          // pServerName: "" for a queue of this machine
    std::string share;           // its share name, which opens it too (MS-RPRN 2.2.4.14); "" for none
    bool pending = false;        // (the recorder's) Delete Pending
};
struct Driver {
    std::string environment;
    std::string name;
    std::string infPath;  // "" gives a null pszInfPath, as before Vista
    bool expected;
    uint64_t version = 0;  // dwlDriverVersion (levels 6 and 8); 0, none recorded, as Wine reports every one
};
// A package in the driver store: those of the drivers, and one that only
// holds models that are staged, not installed.
struct Package {
    std::string infPath;
    bool expected;
};
void SetQueues(const std::vector<Queue>& queues);
void SetDrivers(const std::vector<Driver>& drivers);
void SetPackages(const std::vector<Package>& packages);
// What the spooler holds now: the queues (Delete Pending ones with
// `pending`), drivers and packages that are left.
const std::vector<Queue>& Queues();
const std::vector<Driver>& Drivers();
const std::vector<Package>& Packages();
// What GetACP says: after Reset, 949 for CodePage::Korean949, else 1252.
void SetAnsiCodePage(unsigned codePage);
// Milliseconds that Sleep has let pass since Reset.
uint32_t Elapsed();
// Whether standard output and error are a console (not after Reset), and
// what was written to one (STD_OUTPUT_HANDLE, STD_ERROR_HANDLE) as UTF-8,
// each write to a console marked "[console]".
void SetConsole(bool console);
std::string Written(uint32_t which);
std::string Utf8(uint32_t character);
// Every later call of the function fails, with this error for GetLastError.
void Fail(const std::string& function, uint32_t error);
// The enumerations' lists grow this many times between a call that asked for
// a buffer and the next.
void GrowLists(unsigned times);
// Where GetModuleFileNameW says the program is (kModulePath after Reset;
// one of MAX_PATH characters or more is cut short as Windows does), and a
// file that GetFileAttributesW then finds (e.g. kModulePath + ".local").
constexpr const char* kModulePath = "C:\\e2e\\prnuninst.exe";
void SetModulePath(const std::string& path);
void PlantFile(const std::string& path);
// VirtualAlloc blocks not yet released.
size_t Outstanding();

}  // namespace recorder
