// The NSIS example, built for amd64 by makensis, run silently as an installer
// author ships it: it unpacks prnuninst.exe into its own temporary folder and
// runs it there, in the recommended form and chained. Either way the model is
// removed, the setup starts with exactly the line the script gives it, and
// the installer sees status 0. Runs under code page 949.
#include "e2e.h"

void TestInstaller()
{
    InstallPrograms({L"dir with blanks"});
    const std::wstring setup = L"C:\\e2e\\dir with blanks\\followon.exe";
    // Where an unquoted path would lead first, as C:\Program.exe does on
    // Windows. (Wine quotes an unquoted path with blanks that it finds whole.)
    const std::wstring planted = L"C:\\e2e\\dir.exe";
    for (const std::wstring& copy : {setup, planted}) {
        ok(CopyFileW(kFollowOn, copy.c_str(), FALSE) != 0, "cannot copy the follow-on program: error %lu", GetLastError());
    }

    const std::wstring installers = InstallersFolder();
    for (const wchar_t* form : {L"recommended", L"chained"}) {
        SeedMachine();
        Run run = RunCommandLine(L"\"" + installers + L"\\amd64-unicode-" + form + L".exe\" /S");
        verify_run(run, {L"\"" + setup + L"\" /quiet"});
        verify_machine(RemovedBy('4'));
    }
    DeleteFileW(planted.c_str());
}
