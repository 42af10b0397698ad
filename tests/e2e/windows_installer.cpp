// The Windows Installer example, built for x64 by wixl, installed silently by
// msiexec as a deployment tool would: it puts prnuninst.exe under Program
// Files and runs it there as a deferred custom action. msiexec's status is 0,
// model 4 is gone and its neighbours are kept. Runs under code page 949.
#include "e2e.h"

void TestWindowsInstaller()
{
    InstallPrograms({});
    wchar_t folder[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"PRNUNINST_INSTALLERS", folder, MAX_PATH);
    ok(length > 0 && length < MAX_PATH, "PRNUNINST_INSTALLERS names no folder");
    std::wstring package = L"\"Z:" + std::wstring(folder, length < MAX_PATH ? length : 0) + L"/x64.msi\"";
    for (wchar_t& c : package) {
        c = c == L'/' ? L'\\' : c;
    }

    // An installed package skips the action (NOT Installed): start from one
    // that is not installed, whatever ran on this prefix before.
    RunCommandLine(L"msiexec /x " + package + L" /qn");
    SeedMachine();
    verify_run(RunCommandLine(L"msiexec /i " + package + L" /qn"), {});
    verify_machine(RemovedBy(4));
}
