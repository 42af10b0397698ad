// Each model of the table removed in full, in a seeded machine whose other
// models and neighbours must stay as they were, and a second run on the
// cleaned machine changing nothing. Runs under the table's code page.
#include "e2e.h"

namespace {

std::wstring Tail(const TableModel& model)
{
    return L"/f" + std::wstring(1, static_cast<wchar_t>(model.selector)) + kFollowOn;
}

void test_each_model()
{
    ok(GetACP() == Table().codePage, "this group needs code page %u, not %u", Table().codePage, GetACP());
    for (const TableModel& model : Table().models) {
        SeedMachine();
        verify_run(RunTail(Tail(model)), {kFollowOn});
        verify_machine(RemovedBy(model.selector));
        verify_run(RunTail(Tail(model)), {kFollowOn});
        verify_machine(RemovedBy(model.selector));
    }
}

// Under Wine the spooler acts only on a queue whose key outlives the registry
// step: with another subkey each, the model's queue keys survive it, and the
// spooler then deletes only the model's own queue.
void test_spooler_deletes_only_the_models_queue()
{
    for (const TableModel& model : Table().models) {
        SeedMachine();
        bool queues = false;
        for (const std::string& key : model.keyTexts) {
            if (IsQueue(Wide(key))) {
                AddSubkey(Wide(key), L"Extra");
                queues = true;
            }
        }
        if (queues) {
            verify_run(RunTail(Tail(model)), {kFollowOn});
            verify_machine(RemovedBy(model.selector));
        }
    }
}

}  // namespace

void TestModels()
{
    InstallPrograms({});
    test_each_model();
    test_spooler_deletes_only_the_models_queue();
}
