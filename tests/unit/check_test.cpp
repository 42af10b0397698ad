// prncheck's answer where the e2e cannot reach: lists that grow or never
// stop growing, exports and DLLs that are missing, failures that are no
// answer, and its lines on a console against a file, for every model.
#include <gtest/gtest.h>

#include "check/check.h"
#include "expected_calls.h"

namespace {

struct CheckCase {
    const char* name;
    void (*change)(SpoolerState&);
    int status;             // -1: 1 where the model holds anything, as on the machine of every case
    const char* error;      // what standard error must hold ("": nothing)
    bool drivers;           // only for a model with drivers
};

constexpr uint32_t kAbsent = 2, kDenied = 5, kNoPrinter = 1801, kNoServer = 1722, kNoEnvironment = 1805;

void SetVersions(SpoolerState& s, uint64_t version) { for (auto& d : s.drivers) { d.version = version; } }

// A table's name as the recorder writes it: each byte as the character of its code.
std::string Shown(const std::string& name)
{
    std::string text;
    for (const char c : name) {
        text += recorder::Utf8(static_cast<unsigned char>(c));
    }
    return text;
}

const CheckCase kCases[] = {
    {"ListsGrowAndAreReadWhole", [](SpoolerState& s) { s.growth = 3; }, -1, "", false},
    {"ListsKeepGrowing", [](SpoolerState& s) { s.growth = 9; }, 2, "list of queues whole", true},
    {"NoDriverList", [](SpoolerState& s) { s.withheld = {"EnumPrinterDriversW"}; }, 2, "lacks", true},
    {"DriverListDenied", [](SpoolerState& s) { s.fails = {{"EnumPrinterDriversW", kDenied}}; }, 2, "(error 5)", true},
    {"NoEnvironmentHoldsNoDriver",
     [](SpoolerState& s) { s.fails = {{"EnumPrinterDriversW", kNoEnvironment}, {"RegOpenKeyExA", kAbsent}}; }, -1, "",
     true},
    {"NothingLeft",
     [](SpoolerState& s) {
         s = {};
         s.fails = {{"RegOpenKeyExA", kAbsent}, {"OpenPrinterA", kNoPrinter}};
     },
     0, "", false},
    {"NoSpooler", [](SpoolerState& s) { s.withheld = {"winspool.drv"}; }, 2, "cannot load the spooler", false},
    {"NoOpenPrinterA", [](SpoolerState& s) { s.withheld = {"OpenPrinterA"}; }, 2, "lacks OpenPrinterA", false},
    {"KeyDenied", [](SpoolerState& s) { s.fails = {{"RegOpenKeyExA", kDenied}}; }, -1, "", false},
    {"SpoolerStopped", [](SpoolerState& s) { s.fails = {{"OpenPrinterA", kNoServer}}; }, -1, "", false},
    // Windows' "Beta: Use Unicode UTF-8": a table's bytes outside ASCII name
    // other things there, so a model with such names has no answer.
    {"AnotherCodePage", [](SpoolerState& s) { s.codePage = 65001; }, -1, "code page", false},
    // A successor shared under the model's queue name is not the model's.
    {"SuccessorSharedUnderTheName",
     [](SpoolerState& s) {
         s.queues.push_back({"Successor", "Another maker PCL6", false});
         s.queues.back().share = "=";  // the model's queue name
         s.fails.emplace_back("RegOpenKeyExA", kAbsent);
     },
     -1, "", false},
    {"NotAskedWhichQueue", [](SpoolerState& s) { s.fails = {{"GetPrinterW", kDenied}}; }, -1, "", false},
    // Drivers with bounds: lines with the version; a successor that kept the
    // names, at any version from the bound on, is not the model's, nor are
    // its queues (the named one on it included); no level 6, no answer.
    {"LinesNameTheVersion", [](SpoolerState& s) { SetVersions(s, 0x0006000100000003); }, -1, "", true},
    {"OnlyTheSuccessorLeft",
     [](SpoolerState& s) {
         SetVersions(s, ~0ull);
         // The named queue, on the first driver (that of "<driver> (Copy 1)").
         const auto first = std::find_if(s.queues.begin(), s.queues.end(), [](auto& q) { return q.expected; });
         s.queues.push_back({"=", first->driver, false});
         s.fails.emplace_back("RegOpenKeyExA", kAbsent);
     },
     -1, "", true},
    {"NoVersions", [](SpoolerState& s) { s.fails = {{"EnumPrinterDriversW", 124}}; }, 2, "(error 124)", true},
};

void PrintTo(const CheckCase& row, std::ostream* out) { *out << row.name; }

class CheckAnswers : public testing::TestWithParam<CheckCase> {};

int Check(char selector)
{
    std::string tail = std::string("/f") + selector;
    return CheckModel(tail.data());
}

TEST_P(CheckAnswers, EveryModel)
{
    for (const TableModel& model : BuiltModelTable().models) {
        if (GetParam().drivers && model.drivers.empty()) {
            continue;
        }
        SCOPED_TRACE(std::string("model ") + model.selector);
        SpoolerState state = model.drivers.empty() ? SpoolerState{} : Machine(model);
        GetParam().change(state);
        for (recorder::Queue& queue : state.queues) {
            queue.share = queue.share == "=" ? model.queue : queue.share;
            queue.name = queue.name == "=" ? model.queue : queue.name;
        }
        recorder::Reset();
        Install(state);
        const int status = Check(model.selector);
        const std::string error = recorder::Written(STD_ERROR_HANDLE);
        // A key that cannot be read, or a named queue that does not open for
        // another reason than that it is not there, is no answer, where the
        // model has one.
        const std::string name = GetParam().name;
        const bool denied = (name == "KeyDenied" && !model.keys.empty()) ||
                            ((name == "SpoolerStopped" || name == "NotAskedWhichQueue") && !model.queue.empty());
        const bool foreign = name == "AnotherCodePage" && !Ascii(model);
        const bool allBounded = std::count(model.below.begin(), model.below.end(), 0u) == 0;
        const bool nothing = (name == "SuccessorSharedUnderTheName" && model.drivers.empty()) ||
                             ((name == "OnlyTheSuccessorLeft" || name == "NoEnvironmentHoldsNoDriver") && allBounded);
        EXPECT_EQ(status, denied || foreign ? 2 : nothing ? 0 : GetParam().status < 0 ? 1 : GetParam().status);
        const std::string out = recorder::Written(STD_OUTPUT_HANDLE);
        if (name == "LinesNameTheVersion") {
            const std::string version = model.Bounded() ? " 6.1.0.3" : "";
            EXPECT_NE(out.find("\ndriver " + Shown(model.drivers.back()) + version + " (Windows x64)\r\n"), out.npos)
                << out;
        }
        const bool successor = name == "OnlyTheSuccessorLeft" && model.Bounded() && model.below[0] != 0;
        EXPECT_TRUE(!successor || out.find(Shown(model.drivers[0])) == out.npos) << out;
        EXPECT_TRUE(name != "NoVersions" || !model.Bounded() || error.find("versions") != error.npos) << error;
        if (name == "SuccessorSharedUnderTheName") {
            EXPECT_EQ(recorder::Written(STD_OUTPUT_HANDLE).find("queue " + model.queue + "\r"), std::string::npos)
                << "another queue reported as the model's";
        }
        if (status == 2) {
            EXPECT_EQ(recorder::Written(STD_OUTPUT_HANDLE).find("prncheck"), std::string::npos);
            EXPECT_EQ(error.rfind("prncheck: ", 0), 0u) << error;
            EXPECT_NE(error.find(denied ? "(error " : GetParam().error), std::string::npos) << error;
            EXPECT_EQ(error.find("\r\n"), error.size() - 2) << "one line";
        } else {
            EXPECT_EQ(error, "");
        }
        EXPECT_EQ(recorder::Outstanding(), 0u) << "an enumeration's buffer was not released";
    }
}

INSTANTIATE_TEST_SUITE_P(EachSpooler, CheckAnswers, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CheckCase>& row) { return std::string(row.param.name); });

// A console gets UTF-16, a file or a pipe UTF-8: the same text either way,
// each byte of the table's names as the code page reads it (the recorder's
// is Latin-1).
TEST(CheckOutput, ConsoleAndFileAgree)
{
    for (const TableModel& model : BuiltModelTable().models) {
        SCOPED_TRACE(std::string("model ") + model.selector);
        std::string written[2];
        for (const bool console : {true, false}) {
            recorder::Reset();
            recorder::SetConsole(console);
            Install(model.drivers.empty() ? SpoolerState{} : Machine(model));
            EXPECT_EQ(Check(model.selector), 1);
            written[console] = recorder::Written(STD_OUTPUT_HANDLE);
        }
        std::string text;
        for (const std::string& key : model.keys) {
            text += "key HKLM\\";
            for (const char c : key) {
                text += recorder::Utf8(static_cast<unsigned char>(c));
            }
            text += "\r\n";
        }
        EXPECT_EQ(written[false].rfind(text, 0), 0u) << written[false];
        std::string console = written[true];
        for (size_t at; (at = console.find("[console]")) != std::string::npos;) {
            console.erase(at, 9);
        }
        EXPECT_EQ(console, written[false]);
        EXPECT_EQ(written[false].find("[console]"), std::string::npos);
    }
}

TEST(CheckOutput, NoSelectorNoAnswer)
{
    for (const char* tail : {"", "/x", "/f", "/f\x01", "/fP extra", "/a x", "/ab"}) {
        recorder::Reset();
        std::string text = tail;
        EXPECT_EQ(CheckModel(text.data()), 2) << tail;
        EXPECT_EQ(recorder::Written(STD_OUTPUT_HANDLE), "");
        EXPECT_EQ(recorder::Recorded(), recorder::Calls{}) << "looked before it knew the model: " << tail;
    }
}

}  // namespace
