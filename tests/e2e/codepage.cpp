// Under code page 1252, a table's names outside ASCII are other names there:
// they are not found and nothing of theirs is touched, while names in ASCII
// are removed as anywhere; the run still succeeds.
#include "e2e.h"

void TestCodePage1252()
{
    InstallPrograms({});
    ok(GetACP() == 1252, "this group needs code page 1252, not %u", GetACP());
    for (const TableModel& model : Table().models) {
        SeedMachine();
        verify_run(RunTail(L"/f" + std::wstring(1, static_cast<wchar_t>(model.selector)) + kFollowOn), {kFollowOn});
        verify_machine(RemovedBy(model.selector));
    }
}
