// WinMain: which model is removed and which command is started, for command
// tails as callers write them, in a single-byte code page and in 949.
#include <gtest/gtest.h>

#include "case_name.h"
#include "recorder.h"
#include "front/dll_search.h"
#include "removal/removal.h"

namespace {

using recorder::CodePage;

constexpr const char* kNothing = nullptr;  // no WinExec call expected

struct TailCase {
    const char* name;
    CodePage page;
    const char* tail;
    char model;           // '\0': no registry or spooler call
    const char* command;  // what WinExec gets, or kNothing
};

// Keeps the row name, not its bytes, in test names and messages.
void PrintTo(const TailCase& row, std::ostream* out) { *out << row.name; }

class MainFlow : public testing::TestWithParam<TailCase> {};

// Everything but WinExec, as RemoveModel records it for the expected model.
recorder::Calls RemovalCalls(char model)
{
    recorder::Reset();
    if (model != '\0') {
        RemoveModel(model);
    }
    return recorder::Recorded();
}

TEST_P(MainFlow, RemovesTheSelectedModelThenStartsTheCommand)
{
    const TailCase& c = GetParam();
    recorder::Calls expected = RemovalCalls(c.model);
    if (c.command != kNothing) {
        expected.push_back(std::string("WinExec(") + c.command + ", 5)");
    }

    std::string tail = c.tail;
    recorder::Reset(c.page);
    EXPECT_EQ(WinMain(nullptr, nullptr, tail.data(), 0), 0);
    EXPECT_EQ(recorder::Recorded(), expected);
    EXPECT_EQ(tail, c.tail) << "the tail must be read, never changed";
}

INSTANTIATE_TEST_SUITE_P(
    Tails, MainFlow,
    testing::Values(
        TailCase{"Empty", CodePage::SingleByte, "", '\0', kNothing},
        TailCase{"BlanksOnly", CodePage::SingleByte, "   ", '\0', kNothing},
        TailCase{"NoSlash", CodePage::SingleByte, "setup.exe", '\0', kNothing},
        TailCase{"TabIsNotSkipped", CodePage::SingleByte, "\t/f4setup.exe", '\0', kNothing},
        TailCase{"Model4", CodePage::SingleByte, "/f4setup.exe", '4', "setup.exe"},
        TailCase{"Model1", CodePage::SingleByte, "/f1setup.exe", '1', "setup.exe"},
        TailCase{"Model3", CodePage::Korean949, "/f3setup.exe", '3', "setup.exe"},
        TailCase{"CapitalFKeepsLeadingBlank", CodePage::SingleByte, "/F2 a.exe b", '2', " a.exe b"},
        TailCase{"LeadingBlanksSkipped", CodePage::SingleByte, "   /f4x.exe", '4', "x.exe"},
        TailCase{"SelectorThenEnd", CodePage::SingleByte, "/f3", '3', ""},
        TailCase{"BareF", CodePage::SingleByte, "/f", '\0', ""},
        TailCase{"BareSlash", CodePage::SingleByte, "/", '\0', "/"},
        TailCase{"UnknownSelector", CodePage::SingleByte, "/f9x.exe", '\0', "x.exe"},
        TailCase{"OtherLetterStartsWholeTail", CodePage::SingleByte, "  /g4x.exe", '\0', "  /g4x.exe"},
        TailCase{"DigitAfterSlash", CodePage::SingleByte, "/4x.exe", '\0', "/4x.exe"},
        // A double-byte character after "f" is one selector character: its
        // lead byte selects nothing and the command starts after both bytes.
        TailCase{"DoubleByteSelector", CodePage::Korean949, "/f\xB9" "4x.exe", '\0', "x.exe"},
        // The same bytes in a single-byte page: 0xB9 is one character, "4" follows.
        TailCase{"HighByteSelectorSingleByte", CodePage::SingleByte, "/f\xB9" "4x.exe", '\0', "4x.exe"},
        // A trail byte equal to "f" after the slash is not the letter.
        TailCase{"DoubleByteAfterSlash", CodePage::Korean949, "/\x81" "f4x.exe", '\0', "/\x81" "f4x.exe"},
        // A lead byte right before the NUL is the selector, and the cursor stays on the NUL.
        TailCase{"LeadByteAtEnd", CodePage::Korean949, "/f\xB9", '\0', ""}),
    CaseName());

// Before WinMain, the start-up restricts later loads by bare name to
// System32 where the system can, and goes on where it cannot.
TEST(StartUp, RestrictsDllSearchWhereTheSystemCan)
{
    const recorder::Calls lookUp = {"GetModuleHandleA(kernel32.dll)",
                                    "GetProcAddress(kernel32.dll, SetDefaultDllDirectories)"};
    recorder::Reset();
    RestrictDllSearch();
    recorder::Calls expected = lookUp;
    expected.emplace_back("SetDefaultDllDirectories(800)");
    EXPECT_EQ(recorder::Recorded(), expected);

    recorder::Reset();
    recorder::Withhold("SetDefaultDllDirectories");  // XP, or Vista and 7 without KB2533623
    RestrictDllSearch();
    EXPECT_EQ(recorder::Recorded(), lookUp);
}

}  // namespace
