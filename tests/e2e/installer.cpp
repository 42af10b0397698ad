// The NSIS example, built for amd64 by makensis, run silently as an installer
// author ships it: it unpacks prnuninst.exe into a folder under Program Files
// and runs it there, in the recommended form and chained. Either way the model
// is removed, the setup starts with exactly the line the script gives it, the
// installer sees status 0 and the folder is gone afterwards. Chained, the
// setup's parent shows where prnuninst.exe ran from. Runs under code page 949.
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
    wchar_t programFiles[MAX_PATH] = {};
    GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH);
    const std::wstring unpacked = std::wstring(programFiles) + L"\\Remove printer model";
    const wchar_t* const parents = L"C:\\e2e\\parents.log";
    SetEnvironmentVariableW(L"PRNUNINST_FOLLOWON_PARENT_LOG", parents);
    for (const wchar_t* form : {L"recommended", L"chained"}) {
        SeedMachine();
        DeleteFileW(parents);
        Run run = RunCommandLine(L"\"" + installers + L"\\amd64-unicode-" + form + L".exe\" /S");
        verify_run(run, {L"\"" + setup + L"\" /quiet"});
        verify_machine(RemovedBy('4'));
        ok(GetFileAttributesW(unpacked.c_str()) == INVALID_FILE_ATTRIBUTES, "%ls is still there", unpacked.c_str());
    }
    // The chained setup's parent is prnuninst.exe, unpacked under Program Files.
    std::vector<std::wstring> ran;
    ok(ReadLines(parents, &ran) && ran.size() == 1 && ran[0] == unpacked + L"\\prnuninst.exe",
       "prnuninst.exe ran from [%ls], expected %ls", ran.empty() ? L"" : ran[0].c_str(), unpacked.c_str());
    SetEnvironmentVariableW(L"PRNUNINST_FOLLOWON_PARENT_LOG", nullptr);
    DeleteFileW(planted.c_str());
}
