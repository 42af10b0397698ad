// What the command line selects and starts, as a caller writes it. Runs under
// code page 949.
#include <cstdio>

#include "e2e.h"

namespace {

const std::wstring kUtility = L"C:\\e2e\\prnuninst.exe";
const std::wstring F = kFollowOn;

struct Case {
    const char* name;
    std::wstring commandLine;
    char model;                        // '\0': nothing removed
    std::vector<std::wstring> started;  // what the follow-on program recorded
};

}  // namespace

void TestCommandLine()
{
    InstallPrograms({L"dir with blanks", L"반토 설치"});
    const Case cases[] = {
        {"no slash", kUtility + L" " + F, '\0', {}},
        {"empty tail", kUtility, '\0', {}},
        {"blanks only", kUtility + L"   ", '\0', {}},
        {"bare /f", kUtility + L" /f", '\0', {}},
        {"selector then end", kUtility + L" /f3", '3', {}},
        {"unknown selector", kUtility + L" /f9" + F, '\0', {F}},
        {"capital F", kUtility + L" /F4" + F, '4', {F}},
        {"arguments kept as written", kUtility + L" /f4" + F + L" a  \"b c\"", '4', {F + L" a  \"b c\""}},
        // A double-byte character is one selector: the command starts after both bytes.
        {"double-byte selector", kUtility + L" /f반" + F, '\0', {F}},
        {"double-byte after slash", kUtility + L" /반f4" + F, '\0', {}},
        // The command keeps its leading blank, and Wine starts no command that
        // begins with one.
        {"leading blank kept", kUtility + L" /F2 " + F + L" b", '2', {}},
        {"tab after program name", kUtility + L"\t/f4" + F, '4', {F}},
        {"quoted path with blanks", L"\"C:\\e2e\\dir with blanks\\prnuninst.exe\" /f4" + F, '4', {F}},
        {"quoted double-byte path glued to tail", L"\"C:\\e2e\\반토 설치\\prnuninst.exe\"/f1" + F, '1', {F}},
    };
    for (const Case& c : cases) {
        std::printf("  %s\n", c.name);
        SeedMachine();
        Run run = RunCommandLine(c.commandLine);
        verify_run(run, c.started);
        verify_machine(RemovedBy(c.model));
    }

    // After "/" and a letter other than "f" the whole tail, "/" included, is
    // the command. Wine starts a Unix path, which begins with "/": one outside
    // the checkout, so that the case runs wherever the checkout lives.
    std::printf("  slash and another letter: the whole tail\n");
    // The folder is this run's own (CreateDirectoryW fails on one that
    // exists), so that suites of two checkouts can run at once.
    std::wstring name;
    for (DWORD n = GetTickCount(), tries = 0; name.empty() && tries < 100; ++n, ++tries) {
        const std::wstring candidate = L"prnuninst-e2e-" + std::to_wstring(n);
        if (CreateDirectoryW((L"Z:\\tmp\\" + candidate).c_str(), nullptr) != 0) {
            name = candidate;
        }
    }
    ok(!name.empty(), "cannot make a folder of its own under /tmp");
    const std::wstring unixPath = L"/tmp/" + name + L"/followon.exe";
    const std::wstring copy = L"Z:\\tmp\\" + name + L"\\followon.exe";
    ok(CopyFileW(kFollowOn, copy.c_str(), FALSE) != 0, "cannot copy the follow-on to /tmp/%ls", name.c_str());
    SeedMachine();
    verify_run(RunTail(unixPath), {unixPath});
    verify_machine({});
    DeleteFileW(copy.c_str());
    RemoveDirectoryW((L"Z:\\tmp\\" + name).c_str());
}
