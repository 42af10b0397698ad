// A winspool.drv planted in the program's own folder is not loaded, and the
// spooler step still reaches the system's. Wine prefers its builtin DLLs: this
// group runs with WINEDLLOVERRIDES asking for native ones first, as Windows
// has it. Runs under code page 949.
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
}
