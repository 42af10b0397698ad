// RemoveModel for the table's models with drivers: after the named queue,
// every queue of their drivers and no other, the drivers in each environment,
// then their packages, on spoolers of every Windows generation, with each
// step failing in turn and with lists that grow under the caller.
#include <gtest/gtest.h>

#include "expected_calls.h"
#include "removal/removal.h"


namespace {

struct SpoolerCase {
    const char* name;
    std::vector<std::string> withheld;
    std::vector<std::pair<std::string, uint32_t>> fails;
    unsigned growth;
};

// Windows' error codes: access denied, invalid parameter (Wine's answer to
// the flag), a buffer too small (here with no larger size asked for), invalid
// level (no level 8 before Vista), driver in use.
constexpr uint32_t kDenied = 5, kInvalidParameter = 87, kInsufficientBuffer = 122, kInvalidLevel = 124, kInUse = 3001;

const SpoolerCase kCases[] = {
    {"WholeSequence", {}, {}, 0},
    {"ListsGrowUnderTheCaller", {}, {}, 3},
    {"ListsKeepGrowing", {}, {}, 9},
    {"ListAsksForNoMore", {}, {{"EnumPrintersW", kInsufficientBuffer}, {"EnumPrinterDriversW", kInsufficientBuffer}}, 0},
    {"WindowsNT4", {"DeletePrinterDriverExW", "DeletePrinterDriverPackageW"}, {{"EnumPrinterDriversW", kInvalidLevel}}, 0},
    {"Windows2000ToServer2003", {"DeletePrinterDriverPackageW"}, {{"EnumPrinterDriversW", kInvalidLevel}}, 0},
    {"WineRefusesTheFlag", {"DeletePrinterDriverPackageW"}, {{"DeletePrinterDriverExW", kInvalidParameter}}, 0},
    {"QueueListFails", {}, {{"EnumPrintersW", kDenied}}, 0},
    {"OneQueueDoesNotOpen", {}, {{"OpenPrinterW Front desk 0", kDenied}}, 0},
    {"PurgeFails", {}, {{"SetPrinterW", kDenied}}, 0},
    {"NoPurge", {"SetPrinterW"}, {}, 0},
    {"DeleteFails", {}, {{"DeletePrinter", kDenied}}, 0},
    {"NoQueueList", {"EnumPrintersW"}, {}, 0},
    {"DriverInUse", {}, {{"DeletePrinterDriverExW", kInUse}}, 0},
    {"NoDriverList", {"EnumPrinterDriversW"}, {}, 0},
    {"PackageRefused", {}, {{"DeletePrinterDriverPackageW", kDenied}}, 0},
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
