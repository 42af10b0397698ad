// Under code page 1252 the Korean models' byte strings name other keys: they
// are not found, nothing of theirs is touched, and the run still succeeds.
#include "e2e.h"

void TestCodePage1252()
{
    InstallPrograms({});
    ok(GetACP() == 1252, "this group needs code page 1252, not %u", GetACP());
    for (const wchar_t* selector : {L"/f1", L"/f3"}) {
        SeedMachine();
        Run run = RunTail(selector + std::wstring(kFollowOn));
        verify_run(run, {kFollowOn});
        verify_machine({});
    }
    // The ASCII models do not depend on the code page.
    SeedMachine();
    Run run = RunTail(std::wstring(L"/f4") + kFollowOn);
    verify_run(run, {kFollowOn});
    verify_machine(RemovedBy(4));
}
