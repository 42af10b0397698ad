// RemoveModel for the table's models with drivers: after the named queue,
// every queue of their drivers and no other, the drivers in each environment,
// then their packages, on spoolers of every Windows generation, with each
// step failing in turn and with lists that grow under the caller.
#include <gtest/gtest.h>

#include "expected_calls.h"
#include "removal/removal.h"


namespace {

std::string Lower(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return text;
}

// A machine with the model's drivers in both environments of 64-bit Windows,
// queues of theirs under other names and in another case, and neighbours
// that must stay: a driver whose name extends the model's or is cut short, a
// queue named like the model's with another driver, another driver that
// shares a package, and a driver listed without an INF path.
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

struct SpoolerCase {
    const char* name;
    std::vector<std::string> withheld;
    std::vector<std::pair<std::string, uint32_t>> fails;
    unsigned growth;
};

// Windows' error codes: access denied, invalid parameter (Wine's answer to
// the flag), invalid level (no level 8 before Vista), driver in use.
constexpr uint32_t kDenied = 5, kInvalidParameter = 87, kInvalidLevel = 124, kInUse = 3001;

const SpoolerCase kCases[] = {
    {"WholeSequence", {}, {}, 0},
    {"ListsGrowUnderTheCaller", {}, {}, 3},
    {"WindowsNT4", {"DeletePrinterDriverExA", "DeletePrinterDriverPackageA"}, {{"EnumPrinterDriversA", kInvalidLevel}}, 0},
    {"Windows2000ToServer2003", {"DeletePrinterDriverPackageA"}, {{"EnumPrinterDriversA", kInvalidLevel}}, 0},
    {"WineRefusesTheFlag", {"DeletePrinterDriverPackageA"}, {{"DeletePrinterDriverExA", kInvalidParameter}}, 0},
    {"QueueListFails", {}, {{"EnumPrintersA", kDenied}}, 0},
    {"OneQueueDoesNotOpen", {}, {{"OpenPrinterA Front desk 0", kDenied}}, 0},
    {"PurgeFails", {}, {{"SetPrinterA", kDenied}}, 0},
    {"NoPurge", {"SetPrinterA"}, {}, 0},
    {"DeleteFails", {}, {{"DeletePrinter", kDenied}}, 0},
    {"NoQueueList", {"EnumPrintersA"}, {}, 0},
    {"DriverInUse", {}, {{"DeletePrinterDriverExA", kInUse}}, 0},
    {"NoDriverList", {"EnumPrinterDriversA"}, {}, 0},
    {"PackageRefused", {}, {{"DeletePrinterDriverPackageA", kDenied}}, 0},
};

void PrintTo(const SpoolerCase& row, std::ostream* out) { *out << row.name; }

class RemoveDriversCalls : public testing::TestWithParam<SpoolerCase> {};

TEST_P(RemoveDriversCalls, EveryStepForEveryModelWithDrivers)
{
    const ModelTable& table = BuiltModelTable();
    bool any = false;
    for (const TableModel& model : table.models) {
        if (model.drivers.empty()) {
            continue;
        }
        any = true;
        SCOPED_TRACE(std::string("model ") + model.selector);
        SpoolerState state = Machine(model);
        state.withheld = GetParam().withheld;
        state.fails = GetParam().fails;
        state.growth = GetParam().growth;
        recorder::Reset();
        Install(state);
        RemoveModel(model.selector);
        EXPECT_EQ(recorder::Recorded(), Join({Deletions(table, model), Spooler(model.queue), DriverCalls(model, state)}));
        EXPECT_EQ(recorder::Outstanding(), 0u) << "an enumeration's buffer was not released";
    }
    if (!any) {
        GTEST_SKIP() << "no model of " << PRNUNINST_MODEL_CASES << " has drivers";
    }
}

INSTANTIATE_TEST_SUITE_P(EachSpooler, RemoveDriversCalls, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SpoolerCase>& row) { return std::string(row.param.name); });

}  // namespace
