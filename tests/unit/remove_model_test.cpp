// RemoveModel: the exact platform calls, with their arguments and order, for
// every model of the table, for selectors that match nothing, for a spooler
// DLL that cannot be reached and for a failed open.
#include <gtest/gtest.h>

#include "case_name.h"
#include "expected_calls.h"
#include "removal/removal.h"

namespace {

const ModelTable& Table() { return BuiltModelTable(); }

CallList Deletions(const TableModel& model) { return Deletions(Table(), model); }

struct SelectorCase {
    std::string name;
    char selector;
    std::vector<std::string> calls;
};

// Keeps the row name, not its bytes, in test names and messages.
void PrintTo(const SelectorCase& row, std::ostream* out) { *out << row.name; }

class RemoveModelCalls : public testing::TestWithParam<SelectorCase> {};

TEST_P(RemoveModelCalls, MakesExactlyTheseCallsInOrder)
{
    recorder::Reset();
    RemoveModel(GetParam().selector);
    EXPECT_EQ(recorder::Recorded(), GetParam().calls);
}

// Every model of the table, and bytes that select none: no key, and never
// an open that could reach the print server.
std::vector<SelectorCase> SelectorCases()
{
    std::vector<SelectorCase> cases;
    for (const TableModel& model : Table().models) {
        cases.push_back({"Model_" + std::string(1, model.selector), model.selector,
                         Join({Deletions(model), Spooler(OpenedByName(model)), DriverCalls(model, {})})});
    }
    const std::pair<const char*, char> none[] = {
        {"Nul", '\0'},   {"Zero", '0'},       {"Five", '5'},       {"Nine", '9'},
        {"Letter", 'a'}, {"Slash", '/'},      {"Blank", ' '},      {"HighByte", '\xB9'},
        {"HighDigitAlias", static_cast<char>('1' | 0x80)}};
    for (const auto& [name, byte] : none) {
        if (Table().Find(byte) == nullptr) {
            cases.push_back({name, byte, {}});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EachSelector, RemoveModelCalls, testing::ValuesIn(SelectorCases()), CaseName());

// Wherever the way to the spooler fails, or a "<program>.local" beside the
// program could redirect it, the spooler step stops there: the keys are gone
// before it, and the follow-on still starts after it.
struct UnreachableCase {
    const char* name;
    std::string systemDirectory;
    const char* withheld;     // a DLL or export that is missing, or nullptr
    std::string modulePath;   // where the program runs from
    std::string planted;      // a file beside it, or ""
    bool openSucceeds;
    size_t spoolerCalls;      // how many calls of Spooler() are made (kAll: every one)
    bool driversFollow;       // the drivers' steps still run after it
};

void PrintTo(const UnreachableCase& row, std::ostream* out) { *out << row.name; }

class SpoolerUnreachable : public testing::TestWithParam<UnreachableCase> {};

TEST_P(SpoolerUnreachable, KeysStillGoAndTheCommandStillStarts)
{
    const UnreachableCase& c = GetParam();
    const TableModel& model = Table().models.at(0);
    recorder::Reset(recorder::CodePage::SingleByte, c.openSucceeds);
    recorder::SetSystemDirectory(c.systemDirectory);
    recorder::SetModulePath(c.modulePath);
    if (c.withheld != nullptr) {
        recorder::Withhold(c.withheld);
    }
    if (!c.planted.empty()) {
        recorder::PlantFile(c.planted);
    }
    std::string tail = std::string("/f") + model.selector + "next.exe";
    EXPECT_EQ(WinMain(nullptr, nullptr, tail.data(), 0), 0);
    EXPECT_EQ(recorder::Recorded(),
              Join({Deletions(model), First(c.spoolerCalls, Spooler(OpenedByName(model))),
                    c.driversFollow ? DriverCalls(model, {}) : CallList{}, {"WinExec(next.exe, 5)"}}));
}

// 247 bytes: with "\winspool.drv" and the NUL, one byte over MAX_PATH.
const std::string kLongFolder = "C:\\" + std::string(244, 'x');
const std::string kDir = recorder::kSystemDirectory;
const std::string kExe = recorder::kModulePath;
const std::string kDotLocal = kExe + ".local";
// MAX_PATH characters: GetModuleFileNameW cuts it short.
constexpr size_t kAll = ~size_t{0};
const std::string kLongExe = "C:\\" + std::string(253, 'x') + ".exe";

INSTANTIATE_TEST_SUITE_P(
    EachFailure, SpoolerUnreachable,
    testing::Values(
        UnreachableCase{"DotLocalFolderBeside", kDir, nullptr, kExe, kDotLocal, true, 2, false},
        UnreachableCase{"ProgramPathCutShort", kDir, nullptr, kLongExe, "", true, 1, false},
        UnreachableCase{"DotLocalOfAnotherProgram", kDir, nullptr, kExe, "C:\\e2e\\setup.exe.local", true, kAll, true},
        UnreachableCase{"NoSystemFolder", "", nullptr, kExe, "", true, 3, false},
        UnreachableCase{"PathOneOverMaxPath", kLongFolder, nullptr, kExe, "", true, 3, false},
        UnreachableCase{"DllDoesNotLoad", kDir, "winspool.drv", kExe, "", true, 4, false},
        UnreachableCase{"NoOpenPrinterA", kDir, "OpenPrinterA", kExe, "", true, 7, false},
        UnreachableCase{"NoDeletePrinter", kDir, "DeletePrinter", kExe, "", true, 7, false},
        UnreachableCase{"NoClosePrinter", kDir, "ClosePrinter", kExe, "", true, 7, false},
        UnreachableCase{"OpenFails", kDir, nullptr, kExe, "", false, 8, true}),
    CaseName());

// Which queue the model's name opened decides, in every table: only the
// queue of that name itself goes, its jobs purged first (a queue deleted with
// jobs would stay, Delete Pending), never one shared under it or one the
// spooler cannot name.
TEST(RemoveModel, DeletesOnlyTheQueueOfTheName)
{
    const struct {
        const char* what;
        const char* queue;  // "=": the model's queue name, "^": in upper case
        const char* share;
        const char* failing;  // GetPrinterW fails with access denied, or is missing
        bool removed;
        unsigned jobs = 0;
    } cases[] = {{"its own queue, in another case", "^", "", "", true},
                 {"its own queue with jobs", "=", "", "", true, 3},
                 {"a successor shared under its name", "Successor", "=", "", false},
                 {"a spooler that does not say", "=", "", "GetPrinterW", false},
                 {"a spooler without GetPrinterW", "=", "", "-GetPrinterW", false}};
    for (const TableModel& model : Table().models) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(1, model.selector) + ": " + c.what);
            const auto named = [&](const std::string& text) {
                return text == "=" ? model.queue : text == "^" ? Lower(model.queue) : text;
            };
            recorder::Queue queue(named(c.queue), "Old model PCL5e", c.removed);
            queue.share = named(c.share);
            queue.jobs = c.jobs;
            SpoolerState state{{queue}, {}, {}, {}, {}, 0, 0};
            if (*c.failing == '-') {
                state.withheld = {c.failing + 1};
            } else if (*c.failing != '\0') {
                state.fails = {{c.failing, 5}};
            }
            recorder::Reset();
            Install(state);
            RemoveModel(model.selector);
            // A model with a bound keeps it: it uses none of the model's drivers.
            EXPECT_EQ(recorder::Queues().empty(), c.removed && !model.queue.empty() && !model.Bounded());
        }
    }
}

TEST(RemoveModel, LoadsFromTheLongestFolderThatFits)
{
    const std::string folder = kLongFolder.substr(1);  // the full path is 259 bytes and the NUL
    const TableModel& model = Table().models.at(0);
    recorder::Reset();
    recorder::SetSystemDirectory(folder);
    RemoveModel(model.selector);
    const size_t load = Deletions(model).size() + 3;  // after the keys, the .local check and the folder
    ASSERT_GT(recorder::Recorded().size(), load);
    EXPECT_EQ(recorder::Recorded()[load], LoadSpooler(folder)[3]);
}

TEST(FindModel, EveryByteOutsideTheTableMatchesNothing)
{
    ASSERT_FALSE(Table().models.empty()) << "no model in " << PRNUNINST_MODEL_CASES;
    for (int byte = 0; byte < 256; ++byte) {
        const ModelEntry* model = FindModel(static_cast<char>(byte));
        if (Table().Find(static_cast<char>(byte)) != nullptr) {
            ASSERT_NE(model, nullptr) << byte;
            EXPECT_EQ(model->selector, static_cast<char>(byte));
        } else {
            EXPECT_EQ(model, nullptr) << byte;
        }
    }
}

}  // namespace
