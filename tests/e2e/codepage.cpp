// Under code page 1252, a table's names outside ASCII are other names there:
// they are not found and nothing of theirs is touched, while names in ASCII
// are removed as anywhere; the run still succeeds. prncheck.exe says it
// cannot tell for a model with such names, rather than "gone".
#include "e2e.h"

void TestCodePage1252()
{
    InstallPrograms({});
    ok(GetACP() == 1252, "this group needs code page 1252, not %u", GetACP());
    SeedMachine();
    VerifyEvery(RunCheck(L"/a"));
    for (const TableModel& model : Table().models) {
        SeedMachine();
        const std::wstring selector = L"/f" + std::wstring(1, static_cast<wchar_t>(model.selector));
        const Run check = RunCheck(selector);
        ok(Ascii(model) || (check.exitCode == 2 && check.out.empty() && check.err.find("code page") != std::string::npos),
           "%s: status %lu, expected 2 and the code page on standard error, got [%s]", Utf8(selector).c_str(),
           check.exitCode, check.err.c_str());
        verify_run(RunTail(L"/f" + std::wstring(1, static_cast<wchar_t>(model.selector)) + kFollowOn), {kFollowOn});
        verify_machine(RemovedBy(model.selector));
    }
}
