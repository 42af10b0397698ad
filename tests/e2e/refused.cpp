// A key the registry refuses to delete (one that still holds another subkey)
// stops neither the keys after it nor the spooler step. For each model of the
// table, the key in the middle of its list is refused.
#include "e2e.h"

void TestRefusedDeletion()
{
    InstallPrograms({});
    for (const TableModel& model : Table().models) {
        if (model.keyTexts.empty()) {
            continue;
        }
        SeedMachine();
        AddSubkey(Wide(model.keyTexts[model.keyTexts.size() / 2]), L"Extra");
        verify_run(RunTail(L"/f" + std::wstring(1, static_cast<wchar_t>(model.selector)) + kFollowOn), {kFollowOn});
        verify_machine(RemovedBy(model.selector));
    }
}
