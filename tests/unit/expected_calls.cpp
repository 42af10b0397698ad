// What the recorder's spooler holds for a case, and the calls a removal of
// a model with drivers must make on it.
#include "expected_calls.h"

#include <algorithm>

void Install(const SpoolerState& state)
{
    std::vector<recorder::Queue> queues;
    for (const SpoolerQueue& entry : state.queues) {
        queues.push_back(entry.queue);
    }
    std::vector<recorder::Driver> drivers;
    for (const SpoolerDriver& entry : state.drivers) {
        drivers.push_back(entry.driver);
    }
    recorder::SetQueues(queues);
    recorder::SetDrivers(drivers);
    for (const std::string& name : state.withheld) {
        recorder::Withhold(name);
    }
    for (const auto& [function, error] : state.fails) {
        recorder::Fail(function, error);
    }
    recorder::GrowLists(state.growth);
}

namespace {

std::string Lower(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return text;
}

}  // namespace

// The neighbours that must stay: a driver whose name extends the model's or
// is cut short, a queue named like the model's with another driver, another
// driver that shares a package, and a driver listed without an INF path.
SpoolerState Machine(const TableModel& model)
{
    SpoolerState state;
    state.queues.push_back({{model.queue + " Copy", "Microsoft IPP Class Driver"}, false});
    state.queues.push_back({{"Reception", "Another maker PCL6"}, false});
    for (size_t i = 0; i < model.drivers.size(); ++i) {
        const std::string& d = model.drivers[i];
        const std::string n = std::to_string(i);
        state.queues.push_back({{d + " (Copy 2)", d + "0"}, false});
        state.queues.push_back({{"Back office " + n, d.substr(0, d.size() - 1)}, false});
        state.queues.push_back({{d + " (Copy 1)", d}, true});
        state.queues.push_back({{"Front desk " + n, Lower(d)}, true});
        for (const char* environment : {"Windows x64", "Windows NT x86"}) {
            const std::string inf = "C:\\Windows\\System32\\DriverStore\\FileRepository\\prn" + n + ".inf";
            state.drivers.push_back({{environment, Lower(d), inf}, true});
            state.drivers.push_back({{environment, d + "0", "C:\\other.inf"}, false});
            state.drivers.push_back({{environment, "Another maker PCL6", inf}, false});
        }
        state.drivers.push_back({{"Windows ARM64", d, ""}, false});
    }
    return state;
}

namespace {

bool Has(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

uint32_t ErrorOf(const SpoolerState& state, const std::string& function)
{
    for (const auto& [name, error] : state.fails) {
        if (name == function) {
            return error;
        }
    }
    return 0;
}

// An enumeration: asked with no buffer, then with the size it named, once
// more each time the list grew; a list that is empty or fails takes one call.
CallList Enumeration(const std::string& call, bool listed, bool fails, unsigned* growth)
{
    CallList calls = {call + "0)"};
    if (listed && !fails) {
        calls.push_back(call + "asked)");
        for (; *growth > 0; --*growth) {
            calls.push_back(call + "asked)");
        }
    }
    return calls;
}

}  // namespace

CallList DriverCalls(const TableModel& model, const SpoolerState& state)
{
    if (model.drivers.empty()) {
        return {};
    }
    CallList calls;
    const auto lookUp = [&](std::initializer_list<const char*> names) {
        for (const char* name : names) {
            calls.push_back(std::string("GetProcAddress(winspool.drv, ") + name + ")");
        }
    };
    unsigned growth = state.growth;
    lookUp({"EnumPrintersA", "OpenPrinterA", "SetPrinterA", "DeletePrinter", "ClosePrinter"});
    const auto& w = state.withheld;
    if (!Has(w, "EnumPrintersA") && !Has(w, "OpenPrinterA") && !Has(w, "DeletePrinter") && !Has(w, "ClosePrinter")) {
        const bool fails = ErrorOf(state, "EnumPrintersA") != 0;
        calls = Join({calls, Enumeration("EnumPrintersA(2, (null), 2, ", !state.queues.empty(), fails, &growth)});
        for (const SpoolerQueue& entry : state.queues) {
            if (fails || !entry.removed) {
                continue;
            }
            calls.push_back("OpenPrinterA(" + entry.queue.name + ", RAW, no devmode, 10004)");
            if (ErrorOf(state, "OpenPrinterA " + entry.queue.name) != 0) {
                continue;
            }
            if (!Has(w, "SetPrinterA")) {
                calls.push_back("SetPrinterA(4711, 0, (null), 3)");
            }
            calls = Join({calls, {"DeletePrinter(4711)", "ClosePrinter(4711)"}});
        }
    }

    lookUp({"DeletePrinterDriverExA", "DeletePrinterDriverA", "EnumPrinterDriversA"});
    const bool listsDrivers = !Has(w, "EnumPrinterDriversA");
    const bool driversFail = ErrorOf(state, "EnumPrinterDriversA") != 0;
    for (const std::string& environment : Environments()) {
        if (listsDrivers) {
            bool listed = false;
            for (const SpoolerDriver& entry : state.drivers) {
                listed = listed || entry.driver.environment == environment;
            }
            calls = Join({calls, Enumeration("EnumPrinterDriversA((null), " + environment + ", 8, ", listed,
                                             driversFail, &growth)});
        }
        for (const std::string& driver : model.drivers) {
            const std::string where = "(null), " + environment + ", " + driver;
            if (Has(w, "DeletePrinterDriverExA")) {
                if (!Has(w, "DeletePrinterDriverA")) {
                    calls.push_back("DeletePrinterDriverA(" + where + ")");
                }
                continue;
            }
            calls.push_back("DeletePrinterDriverExA(" + where + ", 1, 0)");
            if (ErrorOf(state, "DeletePrinterDriverExA") == 87) {
                calls.push_back("DeletePrinterDriverExA(" + where + ", 0, 0)");
            }
        }
    }
    lookUp({"DeletePrinterDriverPackageA"});
    if (listsDrivers && !driversFail && !Has(w, "DeletePrinterDriverPackageA")) {
        for (const std::string& environment : Environments()) {
            for (const SpoolerDriver& entry : state.drivers) {
                if (entry.packaged && entry.driver.environment == environment) {
                    calls.push_back("DeletePrinterDriverPackageA((null), " + entry.driver.infPath + ", " +
                                    environment + ")");
                }
            }
        }
    }
    return calls;
}

