// The calls RemoveModel must make, built from the table as models.txt gives
// it (names as bytes, apart from the program's C++ literals, so that a wrong
// escape or split in those shows).
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "model_cases.h"
#include "recorder.h"

using CallList = std::vector<std::string>;

inline CallList Join(std::initializer_list<CallList> parts)
{
    CallList all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// The first `count` calls, or all of them.
inline CallList First(size_t count, const CallList& calls)
{
    return {calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(std::min(count, calls.size()))};
}

// No "<program>.local" beside the program, then WINSPOOL.DRV by its full path
// in the system folder, then its three calls.
inline CallList LoadSpooler(const std::string& folder = recorder::kSystemDirectory)
{
    return {"GetModuleFileNameW(0, 260)", "GetFileAttributesW(" + std::string(recorder::kModulePath) + ".local)",
            "GetSystemDirectoryA(260)", "LoadLibraryExA(" + folder + "\\winspool.drv, 0, 8)",
            "GetProcAddress(winspool.drv, OpenPrinterA)", "GetProcAddress(winspool.drv, DeletePrinter)",
            "GetProcAddress(winspool.drv, ClosePrinter)"};
}

// Each key of the model deleted in the table's order, in the 64-bit view
// where the table asks for it.
inline CallList Deletions(const ModelTable& table, const TableModel& model)
{
    CallList calls;
    if (table.registryView == 64) {
        calls = {"GetModuleHandleA(advapi32.dll)", "GetProcAddress(advapi32.dll, RegDeleteKeyExA)"};
    }
    for (const std::string& key : model.keys) {
        calls.push_back(table.registryView == 64 ? "RegDeleteKeyExA(80000002, " + key + ", 100, 0)"
                                                 : "RegDeleteKeyA(80000002, " + key + ")");
    }
    return calls;
}

// Where the drivers of a model may be installed, in the order they are tried.
inline const std::vector<std::string>& Environments()
{
    static const std::vector<std::string> environments = {"Windows x64",  "Windows NT x86", "Windows ARM64",
                                                          "Windows IA64", "Windows 4.0",    "Windows ARM"};
    return environments;
}

// What the spooler holds for a case, each item with what it must come to (a
// queue or driver removed, a package deleted), and what fails in it.
struct SpoolerState {
    std::vector<recorder::Queue> queues;
    std::vector<recorder::Driver> drivers;
    std::vector<recorder::Package> packages;
    std::vector<std::string> withheld;                    // exports that are missing
    std::vector<std::pair<std::string, uint32_t>> fails;  // functions that fail, with their error
    unsigned growth = 0;                                  // times the lists grow under the caller
    unsigned codePage = 0;                                // GetACP's answer; 0: the table's
};

// ASCII letters in lower case, as the tests' names are ASCII.
std::string Lower(std::string text);

// A machine with the model's drivers in both environments of 64-bit Windows,
// queues of theirs under other names and in another case, and neighbours
// that must stay (see expected_calls.cpp).
SpoolerState Machine(const TableModel& model);
// Puts the state into the recorder.
void Install(const SpoolerState& state);
// A queue's deletion once it is open: asked which queue it is, its jobs
// purged first (and resumed when still refused); *deleted: whether it went.
CallList QueueDeletion(const SpoolerState& state, bool* deleted = nullptr);
// The calls after the named queue for a model with drivers ({} without).
CallList DriverCalls(const TableModel& model, const SpoolerState& state);

// Whether a model of the built table names drivers: then every queue is
// purged first, and none asked for a datatype.
bool DriversBuilt();

// The queue a model opens by its name: none for a model with a bound, whose
// named queue goes, if at all, among the queues of its drivers.
inline std::string OpenedByName(const TableModel& model) { return model.Bounded() ? "" : model.queue; }

// The named queue through the spooler: loaded, opened, and deleted where it
// opens. A model with no queue ("") opens none: the DLL is for its drivers.
inline CallList Spooler(const std::string& printer, bool opens = true, const SpoolerState& state = {})
{
    const bool named = !printer.empty();
    const std::string open = "OpenPrinterA(" + printer + (DriversBuilt() ? ", (null)" : ", RAW") + ", no devmode, 1000c)";
    return Join({LoadSpooler(), named ? CallList{open} : CallList{}, opens && named ? QueueDeletion(state) : CallList{}});
}
