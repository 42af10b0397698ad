// What the recorder's spooler holds for a case, and the calls a removal of
// a model with drivers must make on it.
#include "expected_calls.h"

#include <algorithm>

void Install(const SpoolerState& state)
{
    recorder::SetQueues(state.queues);
    recorder::SetDrivers(state.drivers);
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
    state.queues.push_back({model.queue + " Copy", "Microsoft IPP Class Driver", false});
    state.queues.push_back({"Reception", "Another maker PCL6", false});
    for (size_t i = 0; i < model.drivers.size(); ++i) {
        const std::string& d = model.drivers[i];
        const std::string n = std::to_string(i);
        state.queues.push_back({d + " (Copy 2)", d + "0", false});
        state.queues.push_back({"Back office " + n, d.substr(0, d.size() - 1), false});
        state.queues.push_back({d + " (Copy 1)", d, true});
        state.queues.push_back({"Front desk " + n, Lower(d), true});
        for (const char* environment : {"Windows x64", "Windows NT x86"}) {
            const std::string inf = "C:\\Windows\\System32\\DriverStore\\FileRepository\\prn" + n + ".inf";
            state.drivers.push_back({environment, Lower(d), inf, true});
            state.drivers.push_back({environment, d + "0", "C:\\other.inf", false});
            state.drivers.push_back({environment, "Another maker PCL6", inf, false});
        }
        state.drivers.push_back({"Windows ARM64", d, "", false});
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
// more each time the list grew, eight calls at most; a list that is empty or
// fails takes one call. *obtained: whether the list came back.
CallList Enumeration(const std::string& call, bool listed, bool fails, unsigned* growth, bool* obtained)
{
    CallList calls = {call + "0)"};
    *obtained = !fails;
    if (!listed || fails) {
        return calls;
    }
    while (calls.size() < 8) {
        calls.push_back(call + "asked)");
        if (*growth == 0) {
            return calls;
        }
        --*growth;
    }
    *obtained = false;
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
    bool obtained = false;
    lookUp({"EnumPrintersW", "OpenPrinterW", "SetPrinterW", "DeletePrinter", "ClosePrinter"});
    const auto& w = state.withheld;
    if (!Has(w, "EnumPrintersW") && !Has(w, "OpenPrinterW") && !Has(w, "DeletePrinter") && !Has(w, "ClosePrinter")) {
        calls = Join({calls, Enumeration("EnumPrintersW(2, (null), 2, ", !state.queues.empty(),
                                         ErrorOf(state, "EnumPrintersW") != 0, &growth, &obtained)});
        for (const recorder::Queue& queue : state.queues) {
            if (!obtained || !queue.expected) {
                continue;
            }
            calls.push_back("OpenPrinterW(" + queue.name + ", RAW, no devmode, 10004)");
            if (ErrorOf(state, "OpenPrinterW " + queue.name) != 0) {
                continue;
            }
            if (!Has(w, "SetPrinterW")) {
                calls.push_back("SetPrinterW(4711, 0, (null), 3)");
            }
            calls = Join({calls, {"DeletePrinter(4711)", "ClosePrinter(4711)"}});
        }
    }

    lookUp({"DeletePrinterDriverExW", "DeletePrinterDriverW", "EnumPrinterDriversW"});
    std::vector<std::string> packaged;  // the environments whose list came back
    for (const std::string& environment : Environments()) {
        if (!Has(w, "EnumPrinterDriversW")) {
            bool listed = false;
            for (const recorder::Driver& driver : state.drivers) {
                listed = listed || driver.environment == environment;
            }
            calls = Join({calls, Enumeration("EnumPrinterDriversW((null), " + environment + ", 8, ", listed,
                                             ErrorOf(state, "EnumPrinterDriversW") != 0, &growth, &obtained)});
            if (obtained) {
                packaged.push_back(environment);
            }
        }
        for (const std::string& driver : model.drivers) {
            const std::string where = "(null), " + environment + ", " + driver;
            if (Has(w, "DeletePrinterDriverExW")) {
                if (!Has(w, "DeletePrinterDriverW")) {
                    calls.push_back("DeletePrinterDriverW(" + where + ")");
                }
                continue;
            }
            calls.push_back("DeletePrinterDriverExW(" + where + ", 1, 0)");
            if (ErrorOf(state, "DeletePrinterDriverExW") == 87) {
                calls.push_back("DeletePrinterDriverExW(" + where + ", 0, 0)");
            }
        }
    }
    lookUp({"DeletePrinterDriverPackageW"});
    for (const std::string& environment : Has(w, "DeletePrinterDriverPackageW") ? CallList{} : packaged) {
        for (const recorder::Driver& driver : state.drivers) {
            if (driver.expected && driver.environment == environment) {
                calls.push_back("DeletePrinterDriverPackageW((null), " + driver.infPath + ", " + environment +
                                ")");
            }
        }
    }
    return calls;
}
