// RemoveModel: the exact platform calls, with their arguments and order, for
// every selector, for selectors that match nothing, for a spooler DLL that
// cannot be reached and for a failed open.
#include <gtest/gtest.h>

#include "case_name.h"
#include "recorder.h"
#include "removal/removal.h"

namespace {

// Paths are composed here from their parts so that a typo in the program's
// whole literals does not repeat itself in the expectations.
const std::string kPrinters = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
const std::string kDrivers =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT X86\\Drivers\\Version-2\\";
const std::string kBanto = "\xB9\xDD\xC5\xE4 ";  // the Hangul word in code page 949, then a blank

std::string Delete(const std::string& path)
{
    return "RegDeleteKeyA(80000002, " + path + ")";
}

// The three keys of a driver set with a queue: data key, queue key, driver key.
std::vector<std::string> QueueSet(const std::string& name)
{
    return {Delete(kPrinters + name + "\\PrinterDriverData"), Delete(kPrinters + name), Delete(kDrivers + name)};
}

// WINSPOOL.DRV by its full path in the system folder, then its three calls.
std::vector<std::string> LoadSpooler(const std::string& folder = recorder::kSystemDirectory)
{
    return {"GetSystemDirectoryA(260)", "LoadLibraryExA(" + folder + "\\winspool.drv, 0, 8)",
            "GetProcAddress(winspool.drv, OpenPrinterA)", "GetProcAddress(winspool.drv, DeletePrinter)",
            "GetProcAddress(winspool.drv, ClosePrinter)"};
}

std::vector<std::string> Spooler(const std::string& printer)
{
    std::vector<std::string> calls = LoadSpooler();
    calls.insert(calls.end(), {"OpenPrinterA(" + printer + ", RAW, no devmode, 10004)", "DeletePrinter(4711)",
                               "ClosePrinter(4711)"});
    return calls;
}

std::vector<std::string> First(size_t count, const std::vector<std::string>& calls)
{
    return {calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(count)};
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

struct SelectorCase {
    const char* name;
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

INSTANTIATE_TEST_SUITE_P(
    EachSelector, RemoveModelCalls,
    testing::Values(
        SelectorCase{"Model1", '1', Join({{Delete(kDrivers + kBanto + "QX-71KG PCL5e")}, Spooler(kBanto + "QX-4400A PCL5e")})},
        SelectorCase{"Model2", '2',
                     Join({QueueSet("Korvel Lumaset R9mx PCL 5e"), QueueSet("Korvel Lumaset R9mx PCL 6"),
                           Spooler("Korvel Lumaset R9mx PCL 5e")})},
        SelectorCase{"Model3", '3', Join({QueueSet(kBanto + "QX-7100 PCL5e"), Spooler(kBanto + "QX-7150 PCL5e")})},
        SelectorCase{"Model4", '4', Join({QueueSet("Pelnora 7100 PCL5e"), Spooler("Pelnora 7100 PCL5e")})},
        // No model: no key, and never an open that could reach the print server.
        SelectorCase{"Nul", '\0', {}}, SelectorCase{"Zero", '0', {}}, SelectorCase{"Five", '5', {}},
        SelectorCase{"Nine", '9', {}}, SelectorCase{"Letter", 'a', {}}, SelectorCase{"Slash", '/', {}},
        SelectorCase{"HighByte", '\xB9', {}}, SelectorCase{"HighDigitAlias", static_cast<char>(0x31 | 0x80), {}}),
    CaseName());

// Wherever the way to the spooler fails, the spooler step stops there: the
// keys are gone before it, and the follow-on still starts after it.
struct UnreachableCase {
    const char* name;
    std::string systemDirectory;
    const char* withheld;     // a DLL or export that is missing, or nullptr
    bool openSucceeds;
    size_t spoolerCalls;      // how many calls of Spooler() are made
};

void PrintTo(const UnreachableCase& row, std::ostream* out) { *out << row.name; }

class SpoolerUnreachable : public testing::TestWithParam<UnreachableCase> {};

TEST_P(SpoolerUnreachable, KeysStillGoAndTheCommandStillStarts)
{
    const UnreachableCase& c = GetParam();
    recorder::Reset(recorder::CodePage::SingleByte, c.openSucceeds);
    recorder::SetSystemDirectory(c.systemDirectory);
    if (c.withheld != nullptr) {
        recorder::Withhold(c.withheld);
    }
    std::string tail = "/f4next.exe";
    EXPECT_EQ(WinMain(nullptr, nullptr, tail.data(), 0), 0);
    EXPECT_EQ(recorder::Recorded(), Join({QueueSet("Pelnora 7100 PCL5e"),
                                          First(c.spoolerCalls, Spooler("Pelnora 7100 PCL5e")),
                                          {"WinExec(next.exe, 5)"}}));
}

// 247 bytes: with "\winspool.drv" and the NUL, one byte over MAX_PATH.
const std::string kLongFolder = "C:\\" + std::string(244, 'x');

INSTANTIATE_TEST_SUITE_P(
    EachFailure, SpoolerUnreachable,
    testing::Values(UnreachableCase{"NoSystemFolder", "", nullptr, true, 1},
                    UnreachableCase{"PathOneOverMaxPath", kLongFolder, nullptr, true, 1},
                    UnreachableCase{"DllDoesNotLoad", recorder::kSystemDirectory, "winspool.drv", true, 2},
                    UnreachableCase{"NoOpenPrinterA", recorder::kSystemDirectory, "OpenPrinterA", true, 5},
                    UnreachableCase{"NoDeletePrinter", recorder::kSystemDirectory, "DeletePrinter", true, 5},
                    UnreachableCase{"NoClosePrinter", recorder::kSystemDirectory, "ClosePrinter", true, 5},
                    UnreachableCase{"OpenFails", recorder::kSystemDirectory, nullptr, false, 6}),
    CaseName());

TEST(RemoveModel, LoadsFromTheLongestFolderThatFits)
{
    const std::string folder = kLongFolder.substr(1);  // the full path is 259 bytes and the NUL
    recorder::Reset();
    recorder::SetSystemDirectory(folder);
    RemoveModel('4');
    ASSERT_GT(recorder::Recorded().size(), 4u);
    EXPECT_EQ(recorder::Recorded()[4], LoadSpooler(folder)[1]);  // after the three keys and the folder
}

TEST(FindModel, EveryByteOutsideOneToFourMatchesNothing)
{
    for (int byte = 0; byte < 256; ++byte) {
        const ModelEntry* model = FindModel(static_cast<char>(byte));
        if (byte >= '1' && byte <= '4') {
            ASSERT_NE(model, nullptr) << byte;
            EXPECT_EQ(model->selector, static_cast<char>(byte));
        } else {
            EXPECT_EQ(model, nullptr) << byte;
        }
    }
}

}  // namespace
