// A winspool.drv planted in the program's own folder is not loaded, and the
// spooler step still reaches the system's. With a "prnuninst.exe.local" file
// or folder beside the program, which on Windows would redirect even the
// full-path load, the spooler is not loaded at all: the keys still go, the
// queue stays, the follow-on starts. Wine prefers its builtin DLLs and has no
// DLL redirection: this group runs with WINEDLLOVERRIDES asking for native
// ones first, as Windows has it. Runs under code page 949.
#include "e2e.h"

void TestPlantedDll()
{
    InstallPrograms({L"planted"});
    const std::wstring built = BuiltFile(L"winspool.drv");
    const wchar_t* const log = L"C:\\e2e\\planted.log";
    SetEnvironmentVariableW(L"PRNUNINST_PLANTED_LOG", log);
    DeleteFileW(log);

    // Under a name Wine has no builtin for, the DLL loads and records it.
    ok(CopyFileW(built.c_str(), L"C:\\e2e\\control.dll", FALSE) != 0, "cannot copy %ls", built.c_str());
    FreeLibrary(LoadLibraryW(L"C:\\e2e\\control.dll"));
    ok(DeleteFileW(log) != 0, "the planted DLL records no load: the case below would prove nothing");

    wchar_t overrides[512] = {};
    GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 512);
    ok(std::wstring(overrides).find(L"winspool.drv=n,b") != std::wstring::npos,
       "this group needs winspool.drv=n,b in WINEDLLOVERRIDES, not [%ls]", overrides);
    ok(CopyFileW(built.c_str(), L"C:\\e2e\\planted\\winspool.drv", FALSE) != 0, "cannot plant winspool.drv");
    SeedMachine();
    Run run = RunCommandLine(L"C:\\e2e\\planted\\prnuninst.exe /f3" + std::wstring(kFollowOn));

    verify_run(run, {kFollowOn});
    // Model 3's second queue goes only through the real spooler.
    verify_machine(RemovedBy('3'));
    ok(GetFileAttributesW(log) == INVALID_FILE_ATTRIBUTES, "the planted winspool.drv was loaded");

    const std::wstring local = L"C:\\e2e\\planted\\prnuninst.exe.local";
    for (const bool folder : {true, false}) {
        ok(folder ? CreateDirectoryW(local.c_str(), nullptr) != 0
                  : CopyFileW(built.c_str(), local.c_str(), FALSE) != 0,
           "cannot make %ls", local.c_str());
        if (folder) {
            CopyFileW(built.c_str(), (local + L"\\winspool.drv").c_str(), FALSE);
        }
        SeedMachine();
        verify_run(RunCommandLine(L"C:\\e2e\\planted\\prnuninst.exe /f3" + std::wstring(kFollowOn)), {kFollowOn});
        verify_machine(RemovedBy('3', false));
        ok(GetFileAttributesW(log) == INVALID_FILE_ATTRIBUTES, "a DLL of the .local %s was loaded",
           folder ? "folder" : "file");
        DeleteFileW((local + L"\\winspool.drv").c_str());
        RemoveDirectoryW(local.c_str());
        DeleteFileW(local.c_str());
    }
}
