// The calls RemoveModel must make, built from the table as models.txt gives
// it (names as bytes, apart from the program's C++ literals, so that a wrong
// escape or split in those shows).
#pragma once

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

inline CallList First(size_t count, const CallList& calls)
{
    return {calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(count)};
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

inline CallList OpenDeleteClose(const std::string& printer)
{
    return {"OpenPrinterA(" + printer + ", RAW, no devmode, 10004)", "DeletePrinter(4711)", "ClosePrinter(4711)"};
}

inline CallList Spooler(const std::string& printer) { return Join({LoadSpooler(), OpenDeleteClose(printer)}); }

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
    static const std::vector<std::string> environments = {"Windows x64", "Windows NT x86", "Windows ARM64",
                                                          "Windows IA64"};
    return environments;
}

// What the spooler holds for a case, each item with what it must come to: a
// queue of the model's drivers purged, deleted and closed; a driver of the
// model with an INF path, its package handed on.
struct SpoolerState {
    std::vector<recorder::Queue> queues;
    std::vector<recorder::Driver> drivers;
    std::vector<std::string> withheld;                    // exports that are missing
    std::vector<std::pair<std::string, uint32_t>> fails;  // functions that fail, with their error
    unsigned growth = 0;                                  // times the lists grow under the caller
};

// A machine with the model's drivers in both environments of 64-bit Windows,
// queues of theirs under other names and in another case, and neighbours
// that must stay (see expected_calls.cpp).
SpoolerState Machine(const TableModel& model);
// Puts the state into the recorder.
void Install(const SpoolerState& state);
// The calls after the named queue for a model with drivers ({} without).
CallList DriverCalls(const TableModel& model, const SpoolerState& state);
