// What the recorder's spooler holds for a case, and the calls a removal of
// a model with drivers must make on it.
#include "expected_calls.h"

#include <algorithm>

void Install(const SpoolerState& state)
{
    recorder::SetQueues(state.queues);
    recorder::SetDrivers(state.drivers);
    recorder::SetPackages(state.packages);
    for (const std::string& name : state.withheld) {
        recorder::Withhold(name);
    }
    for (const auto& [function, error] : state.fails) {
        recorder::Fail(function, error);
    }
    recorder::GrowLists(state.growth);
    recorder::SetAnsiCodePage(state.codePage != 0 ? state.codePage : BuiltModelTable().codePage);
}

std::string Lower(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return text;
}

// A driver package's INF as the driver store keeps it.
std::string StoredInf(const std::string& file)
{
    return "C:\\Windows\\System32\\DriverStore\\FileRepository\\" + file + "_amd64_1f2e\\" + file;
}

// The neighbours that must stay: a driver whose name extends the model's or
// is cut short, a queue named like the model's with another driver, another
// driver that shares the model's package (so that the package stays), a
// driver listed without an INF path, and one from a package the table does
// not name.
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
        const std::string inf =
            StoredInf(model.packages.empty() ? "prn" + n + ".inf" : model.packages[i % model.packages.size()]);
        for (const char* environment : {"Windows x64", "Windows NT x86"}) {
            state.drivers.push_back({environment, Lower(d), inf, true});
            state.drivers.push_back({environment, d + "0", StoredInf("other.inf"), false});
            state.drivers.push_back({environment, "Another maker PCL6", inf, false});
        }
        state.drivers.push_back({"Windows ARM64", d, "", true});
        state.drivers.push_back({"Windows 4.0", d, "", true});
        state.drivers.push_back({"Windows ARM", d, StoredInf("unnamed" + n + ".inf"), true});
        state.drivers.push_back({"Windows IA64", d, StoredInf("unnamed" + n + ".inf"), true});
        if (std::none_of(state.packages.begin(), state.packages.end(),
                         [&](const recorder::Package& p) { return p.infPath == inf; })) {
            state.packages.push_back({inf, false});
        }
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

bool DriversBuilt()
{
    const ModelTable& table = BuiltModelTable();
    return std::any_of(table.models.begin(), table.models.end(), [](const TableModel& m) { return !m.drivers.empty(); });
}

CallList QueueDeletion(const SpoolerState& state, bool* deleted)
{
    const auto& w = state.withheld;
    const uint32_t refused = ErrorOf(state, "DeletePrinter");
    if (deleted != nullptr) {
        *deleted = refused == 0 && !Has(w, "DeletePrinter") && !Has(w, "ClosePrinter");
    }
    CallList calls = {"GetProcAddress(winspool.drv, SetPrinterW)", "GetProcAddress(winspool.drv, DeletePrinter)",
                      "GetProcAddress(winspool.drv, ClosePrinter)"};
    if (Has(w, "DeletePrinter") || Has(w, "ClosePrinter")) {
        return calls;
    }
    // Which queue the name opened: only the queue of that name goes.
    calls.push_back("GetProcAddress(winspool.drv, GetPrinterW)");
    calls.push_back("GetPrinterW(4711, 4)");
    const bool purges = !Has(w, "SetPrinterW");
    if (purges) {
        calls.push_back("SetPrinterW(4711, 0, (null), 3)");
    }
    calls.push_back("DeletePrinter(4711)");
    if (refused == 5 && purges) {
        calls.push_back("SetPrinterW(4711, 0, (null), 2)");
        if (ErrorOf(state, "SetPrinterW") == 0) {
            calls.push_back("DeletePrinter(4711)");
        }
    }
    calls.push_back("ClosePrinter(4711)");
    return calls;
}

namespace {

// The file name at the end of an INF path, in lower case.
std::string InfFile(const std::string& path) { return Lower(path.substr(path.find_last_of('\\') + 1)); }

bool OfModel(const std::vector<std::string>& names, const std::string& name)
{
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return Lower(n) == Lower(name); });
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
    const auto& w = state.withheld;
    // With a bound, each environment's list at level 6 first. These cases' machines hold every driver of the
    // model in every environment at version 0, below every bound, or nothing: a driver with a bound is passed
    // over where no list came back or the machine holds nothing, and so are its queues (on this machine's
    // environment, the recorder's x64).
    std::vector<std::string> passed;  // "<environment>/<driver>" in lower case
    if (model.Bounded()) {
        lookUp({"EnumPrinterDriversW"});
        for (const std::string& environment : Environments()) {
            obtained = false;
            if (!Has(w, "EnumPrinterDriversW")) {
                calls = Join({calls, Enumeration("EnumPrinterDriversW((null), " + environment + ", 6, ",
                                                 !state.drivers.empty(), ErrorOf(state, "EnumPrinterDriversW") != 0,
                                                 &growth, &obtained)});
            }
            for (size_t d = 0; d < model.drivers.size(); ++d) {
                if (model.below[d] != 0 && (!obtained || state.drivers.empty())) {
                    passed.push_back(Lower(environment + "/" + model.drivers[d]));
                }
            }
        }
        calls = Join({calls, {"GetModuleHandleA(kernel32.dll)", "GetProcAddress(kernel32.dll, IsWow64Process2)"}});
        obtained = false;
    }
    lookUp({"EnumPrintersW", "OpenPrinterW"});
    if (!Has(w, "EnumPrintersW") && !Has(w, "OpenPrinterW")) {
        calls = Join({calls, Enumeration("EnumPrintersW(2, (null), 2, ", !state.queues.empty(),
                                         ErrorOf(state, "EnumPrintersW") != 0, &growth, &obtained)});
    }
    std::vector<std::string> used;  // drivers a queue of the model still uses
    for (const recorder::Queue& queue : state.queues) {
        if (!queue.expected || Has(passed, Lower(std::string(recorder::kMachineEnvironment) + "/" + queue.driver))) {
            continue;
        }
        bool deleted = false;
        if (obtained) {
            calls.push_back("OpenPrinterW(" + queue.name + ", (null), no devmode, 1000c)");
            if (ErrorOf(state, "OpenPrinterW " + queue.name) == 0) {
                calls = Join({calls, QueueDeletion(state, &deleted)});
            }
        }
        if (!deleted) {
            used.push_back(Lower(queue.driver));
        }
    }

    // One driver's deletion in one environment; *inUse: refused for a queue.
    const bool ex = !Has(w, "DeletePrinterDriverExW");
    const uint32_t injected = ErrorOf(state, ex ? "DeletePrinterDriverExW" : "DeletePrinterDriverW");
    const auto deletion = [&](const std::string& environment, const std::string& driver, bool* inUse) {
        const std::string where = "(null), " + environment + ", " + driver;
        *inUse = false;
        if (!ex && Has(w, "DeletePrinterDriverW")) {
            return CallList{};
        }
        *inUse = injected == 3001 ||
                 ((injected == 0 || injected == 87) && environment == recorder::kMachineEnvironment &&
                  Has(used, Lower(driver)));
        if (!ex) {
            return CallList{"DeletePrinterDriverW(" + where + ")"};
        }
        return injected == 87 ? CallList{"DeletePrinterDriverExW(" + where + ", 1, 0)",
                                         "DeletePrinterDriverExW(" + where + ", 0, 0)"}
                              : CallList{"DeletePrinterDriverExW(" + where + ", 1, 0)"};
    };
    lookUp({"DeletePrinterDriverExW", "DeletePrinterDriverW"});
    const bool packages = !model.packages.empty();
    if (packages) {
        lookUp({"EnumPrinterDriversW"});
    }
    std::vector<std::string> packaged;  // the environments whose list came back
    std::vector<std::pair<std::string, std::string>> stuck;
    for (const std::string& environment : Environments()) {
        if (packages && !Has(w, "EnumPrinterDriversW")) {
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
            bool inUse = false;
            if (Has(passed, Lower(environment + "/" + driver))) {
                continue;
            }
            calls = Join({calls, deletion(environment, driver, &inUse)});
            if (inUse) {
                stuck.emplace_back(environment, driver);
            }
        }
    }
    // Every 500 ms for at most 10 s, while a driver is in use.
    for (int poll = 0; poll < 20 && !stuck.empty(); ++poll) {
        calls.push_back("Sleep(500)");
        for (const auto& [environment, driver] : stuck) {
            bool inUse = false;
            calls = Join({calls, deletion(environment, driver, &inUse)});
        }
    }
    if (packages && !Has(w, "EnumPrinterDriversW")) {
        lookUp({"DeletePrinterDriverPackageW"});
    }
    for (const std::string& environment : Has(w, "DeletePrinterDriverPackageW") ? CallList{} : packaged) {
        for (const recorder::Driver& driver : state.drivers) {
            if (driver.environment == environment && !driver.infPath.empty() && OfModel(model.drivers, driver.name) &&
                OfModel(model.packages, InfFile(driver.infPath))) {
                calls.push_back("DeletePrinterDriverPackageW((null), " + driver.infPath + ", " + environment +
                                ")");
            }
        }
    }
    return calls;
}
