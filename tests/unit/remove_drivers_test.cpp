// RemoveModel for the table's models with drivers: after the named queue,
// every queue of their drivers and no other, the drivers in each environment,
// then their packages, on spoolers of every Windows generation, with each
// step failing in turn and with lists that grow under the caller.
#include <gtest/gtest.h>

#include <algorithm>

#include "expected_calls.h"
#include "removal/removal.h"
#include "winspool.h"


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

std::string Describe(const recorder::Queue& q) { return "queue " + q.name; }
std::string Describe(const recorder::Driver& d) { return "driver " + d.name + " (" + d.environment + ")"; }
std::string Describe(const recorder::Package& p) { return "package " + p.infPath; }

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
        EXPECT_EQ(recorder::Recorded(), Join({Deletions(table, model), Spooler(OpenedByName(model), true, state),
                                              DriverCalls(model, state)}));
        EXPECT_EQ(recorder::Outstanding(), 0u) << "an enumeration's buffer was not released";
    }
    if (!any) {
        GTEST_SKIP() << "no model of " << PRNUNINST_MODEL_CASES << " has drivers";
    }
}

INSTANTIATE_TEST_SUITE_P(EachSpooler, RemoveDriversCalls, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SpoolerCase>& row) { return std::string(row.param.name); });

// Each rule of the recorder's spooler met by one case, on the machine of
// every model with drivers changed as the case says: whatever is marked
// expected goes, the rest stays, and the run waits only as long as it must.
enum class Wait { None, Some, Cap };
struct RuleCase {
    const char* name;
    void (*change)(const TableModel&, SpoolerState&);
    Wait wait;
    bool resumes;  // a paused queue is resumed
};

// The queue " (Copy 1)" of the model's first driver, and that driver on this machine.
recorder::Queue& FirstQueue(const TableModel& model, SpoolerState& state)
{
    return *std::find_if(state.queues.begin(), state.queues.end(),
                         [&](const recorder::Queue& q) { return q.name == model.drivers[0] + " (Copy 1)"; });
}

// A queue left keeps its driver in use on this machine: that driver stays.
void KeptInUse(SpoolerState& state, const std::string& name)
{
    for (recorder::Driver& driver : state.drivers) {
        driver.expected &= !(driver.environment == recorder::kMachineEnvironment && Lower(driver.name) == Lower(name));
    }
}

// A successor that kept the model's driver names: each in "Windows x64" and
// "Windows NT x86" at its bound plus `step` (kZero: version 0), going or
// staying as the row says where it has a bound (every version goes where it
// has none), its queues with the x64 one, the named queue (on the first
// driver) among them.
constexpr int64_t kZero = INT64_MIN;
struct Version { int64_t step; bool goes; };
void Versions(const TableModel& m, SpoolerState& s, Version x64, Version x86)
{
    if (!m.queue.empty()) {
        s.queues.emplace_back(m.queue, m.drivers[0], true);
    }
    for (size_t d = 0; d < m.drivers.size(); ++d) {
        const uint64_t bound = m.below[d] != 0 ? m.below[d] : 0x0006000300000000;
        for (recorder::Driver& driver : s.drivers) {
            const bool onX64 = driver.environment == recorder::kMachineEnvironment;
            if (Lower(driver.name) == Lower(m.drivers[d]) && (onX64 || driver.environment == "Windows NT x86")) {
                const Version& v = onX64 ? x64 : x86;
                driver.version = v.step == kZero ? 0 : bound + static_cast<uint64_t>(v.step);
                driver.expected = m.below[d] == 0 || v.goes;
            }
        }
        for (recorder::Queue& queue : s.queues) {
            queue.expected &= Lower(queue.driver) != Lower(m.drivers[d]) || m.below[d] == 0 || x64.goes;
        }
    }
}

const RuleCase kRules[] = {
    {"OldVersionGoesANewerX86OneStays",
     [](const TableModel& m, SpoolerState& s) { Versions(m, s, {-1, true}, {1, false}); }, Wait::None, false},
    // Every version of a name goes at once: one at the bound keeps the others.
    {"AVersionAtTheBoundKeepsAnOldOne",
     [](const TableModel& m, SpoolerState& s) {
         Versions(m, s, {-1, false}, {-1, true});
         for (size_t d = 0; d < m.drivers.size(); ++d) {
             s.drivers.push_back({recorder::kMachineEnvironment, m.drivers[d], "", m.below[d] == 0, m.below[d]});
         }
     },
     Wait::None, false},
    // And this machine's environment from GetNativeSystemInfo.
    {"SuccessorAtTheBoundStaysZeroGoes",
     [](const TableModel& m, SpoolerState& s) {
         Versions(m, s, {0, false}, {kZero, true});
         s.withheld = {"IsWow64Process2"};
     },
     Wait::None, false},
    {"NamedQueueWithJobs",
     [](const TableModel& m, SpoolerState& s) {
         if (!m.queue.empty()) {
             s.queues.emplace_back(m.queue, m.drivers[0], true);
             s.queues.back().jobs = 3;
         }
     },
     Wait::None, false},
    {"QueueHeldOpenForAWhile", [](const TableModel& m, SpoolerState& s) { FirstQueue(m, s).heldOpen = 1200; },
     Wait::Some, false},
    {"QueueHeldOpenForEver",
     [](const TableModel& m, SpoolerState& s) {
         recorder::Queue& held = FirstQueue(m, s);
         held.heldOpen = recorder::kForever;
         held.expected = false;
         KeptInUse(s, held.driver);
     },
     Wait::Cap, false},
    {"ConnectionsListed",
     [](const TableModel& m, SpoolerState& s) {
         for (int form = 0; form < 3; ++form) {
             s.queues.emplace_back(form == 2 ? "\\\\server\\" + m.queue : m.queue + " on server", m.drivers[0], false);
             s.queues.back().attributes = form == 0 ? PRINTER_ATTRIBUTE_NETWORK : 0;
             s.queues.back().server = form == 1 ? "\\\\server" : "";
         }
         // Their server's queues keep the driver in use here too.
         KeptInUse(s, m.drivers[0]);
     },
     Wait::Cap, false},
    {"PausedQueueWithJobs",
     [](const TableModel& m, SpoolerState& s) {
         FirstQueue(m, s).paused = true;
         FirstQueue(m, s).jobs = 2;
     },
     Wait::None, false},
    {"PausedQueuePrinting",
     [](const TableModel& m, SpoolerState& s) {
         FirstQueue(m, s).paused = true;
         FirstQueue(m, s).printing = true;
     },
     Wait::None, true},
    {"ProcessorWithoutRaw", [](const TableModel& m, SpoolerState& s) { FirstQueue(m, s).rawless = true; }, Wait::None,
     false},
    // No other installed driver uses the packages, which hold a second model
    // that is only staged: deleted where the table names the INF, kept where not.
    {"PackageHoldsAnotherModel",
     [](const TableModel& m, SpoolerState& s) {
         s.drivers.erase(std::remove_if(s.drivers.begin(), s.drivers.end(),
                                        [](const recorder::Driver& d) { return d.name == "Another maker PCL6"; }),
                         s.drivers.end());
         for (recorder::Package& package : s.packages) {
             package.expected = !m.packages.empty();
         }
     },
     Wait::None, false},
};

void PrintTo(const RuleCase& row, std::ostream* out) { *out << row.name; }

class SpoolerRules : public testing::TestWithParam<RuleCase> {};

template <typename Item, typename Same>
void ExpectLeft(const std::vector<Item>& before, const std::vector<Item>& after, Same same)
{
    for (const Item& item : before) {
        const bool left = std::any_of(after.begin(), after.end(), [&](const Item& a) { return same(a, item); });
        EXPECT_EQ(left, !item.expected) << testing::PrintToString(item.expected ? "removed: " : "kept: ") << Describe(item);
    }
}

TEST_P(SpoolerRules, WhatTheModelHoldsGoesAndNothingElse)
{
    for (const TableModel& model : BuiltModelTable().models) {
        if (model.drivers.empty()) {
            continue;
        }
        SCOPED_TRACE(std::string("model ") + model.selector);
        SpoolerState state = Machine(model);
        GetParam().change(model, state);
        recorder::Reset();
        Install(state);
        RemoveModel(model.selector);
        EXPECT_EQ(recorder::Outstanding(), 0u) << "an enumeration's buffer was not released";
        ExpectLeft(state.queues, recorder::Queues(), [](const auto& a, const auto& b) { return a.name == b.name; });
        ExpectLeft(state.drivers, recorder::Drivers(), [](const auto& a, const auto& b) {
            return a.environment == b.environment && a.name == b.name;
        });
        ExpectLeft(state.packages, recorder::Packages(),
                   [](const auto& a, const auto& b) { return a.infPath == b.infPath; });
        const uint32_t waited = recorder::Elapsed();
        EXPECT_TRUE(GetParam().wait == Wait::None   ? waited == 0
                    : GetParam().wait == Wait::Some ? waited > 0 && waited < 10000
                                                    : waited > 9500 && waited <= 10000)
            << waited << " ms";
        const auto& calls = recorder::Recorded();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "SetPrinterW(4711, 0, (null), 2)") != 0, GetParam().resumes);
    }
}

INSTANTIATE_TEST_SUITE_P(EachRule, SpoolerRules, testing::ValuesIn(kRules),
                         [](const testing::TestParamInfo<RuleCase>& row) { return std::string(row.param.name); });

}  // namespace
