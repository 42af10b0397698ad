// The Windows Installer example, built for x64 by wixl, installed silently by
// msiexec as a deployment tool would: it puts prnuninst.exe under Program
// Files and runs it there as a deferred custom action. msiexec's status is 0,
// model 4 is gone and its neighbours are kept. Runs under code page 949.
#include "e2e.h"

void TestWindowsInstaller()
{
    InstallPrograms({});
    const std::wstring package = L"\"" + InstallersFolder() + L"\\x64.msi\"";

    // An installed package skips the action (NOT Installed): start from one
    // that is not installed, whatever ran on this prefix before.
    RunCommandLine(L"msiexec /x " + package + L" /qn");
    SeedMachine();
    verify_run(RunCommandLine(L"msiexec /i " + package + L" /qn"), {});
    verify_machine(RemovedBy('4'));
}
