// The start-up's command tail: the full command line without the program name
// and the control bytes and blanks after it.
#include <gtest/gtest.h>

#include "case_name.h"
#include "front/command_tail.h"
#include "recorder.h"

namespace {

using recorder::CodePage;

struct LineCase {
    const char* name;
    CodePage page;
    const char* line;
    const char* tail;
};

// Keeps the row name, not its bytes, in test names and messages.
void PrintTo(const LineCase& row, std::ostream* out) { *out << row.name; }

class CommandTail : public testing::TestWithParam<LineCase> {};

TEST_P(CommandTail, IsTheSuffixAfterTheProgramName)
{
    const LineCase& c = GetParam();
    recorder::Reset(c.page);
    std::string line = c.line;
    LPSTR tail = CommandTailOf(line.data());
    ASSERT_GE(tail, line.data());
    ASSERT_LE(tail, line.data() + line.size());
    EXPECT_EQ(std::string(tail), c.tail);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandTail,
    testing::Values(
        LineCase{"Empty", CodePage::SingleByte, "", ""},
        LineCase{"NameOnly", CodePage::SingleByte, "prnuninst.exe", ""},
        LineCase{"Plain", CodePage::SingleByte, "prnuninst.exe /f4setup.exe", "/f4setup.exe"},
        LineCase{"BlanksAfterNameSkipped", CodePage::SingleByte, "prnuninst.exe   /f4 a b", "/f4 a b"},
        LineCase{"TabsAndControlBytesSkipped", CodePage::SingleByte, "p.exe\t\x01\x1f /f1", "/f1"},
        LineCase{"TabEndsUnquotedName", CodePage::SingleByte, "p.exe\t/f2x", "/f2x"},
        LineCase{"ControlByteEndsUnquotedName", CodePage::SingleByte, "p.exe\x05/f2x", "/f2x"},
        LineCase{"Quoted", CodePage::SingleByte, "\"C:\\Program Files\\p.exe\" /f4x", "/f4x"},
        LineCase{"QuotedGluedToTail", CodePage::SingleByte, "\"p.exe\"/f4x", "/f4x"},
        LineCase{"QuotedEmptyName", CodePage::SingleByte, "\"\" /f3", "/f3"},
        LineCase{"MissingClosingQuote", CodePage::SingleByte, "\"C:\\a b\\p.exe /f4x", ""},
        // In 949 the pair 0x81 0x22 is one character: its trail byte is not the closing quote.
        LineCase{"TrailByteIsQuote949", CodePage::Korean949, "\"C:\\\x81\"x\\p.exe\" /f4x", "/f4x"},
        // In a single-byte page the same 0x22 does close the name.
        LineCase{"TrailByteIsQuoteSingleByte", CodePage::SingleByte, "\"C:\\\x81\"x\\p.exe\" /f4x", "x\\p.exe\" /f4x"},
        // A lead byte right before the NUL must not carry the cursor past the end.
        LineCase{"LeadByteBeforeNul", CodePage::Korean949, "\"p\xB9", ""},
        LineCase{"HighBytesInUnquotedName", CodePage::Korean949, "\xB9\xDD.exe /f1", "/f1"},
        LineCase{"ByteAbove0x20NotSkipped", CodePage::SingleByte, "p.exe \x7f/f1", "\x7f/f1"}),
    CaseName());

}  // namespace
