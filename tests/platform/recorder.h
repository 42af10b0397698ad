// The host build's platform layer: records every registry, spooler and launch
// call in order, and steps characters as a chosen ANSI code page would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
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

// The spooler's lists, which EnumPrintersA (level 2) and EnumPrinterDriversA
// (level 8, by environment) hand out. Empty after Reset.
// `expected` is what a test expects of the item (a queue removed, a driver's
// package handed on); the recorder does not read it.
struct Queue {
    std::string name;
    std::string driver;
    bool expected;
};
struct Driver {
    std::string environment;
    std::string name;
    std::string infPath;  // "" gives a null pszInfPath, as before Vista
    bool expected;
};
void SetQueues(const std::vector<Queue>& queues);
void SetDrivers(const std::vector<Driver>& drivers);
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
