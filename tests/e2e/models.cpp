// Each model removed in full: its keys, in a seeded machine whose other models
// and neighbours must stay as they were. Runs under code page 949.
#include "e2e.h"

namespace {

void test_each_model()
{
    for (int model = 1; model <= 4; ++model) {
        SeedMachine();
        Run run = RunTail(L"/f" + std::to_wstring(model) + kFollowOn);
        verify_run(run, {kFollowOn});
        verify_machine(RemovedBy(model));
    }
}

// Under Wine the spooler acts only on a queue whose key outlives the registry
// step: with another subkey each, both model-2 queue keys survive, and only
// the "PCL 5e" queue is then deleted, through the spooler.
void test_model2_spooler_deletes_only_the_5e_queue()
{
    SeedMachine();
    AddSubkey(QueueKey(L"Korvel Lumaset R9mx PCL 5e"), L"Extra");
    AddSubkey(QueueKey(L"Korvel Lumaset R9mx PCL 6"), L"Extra");
    Run run = RunTail(std::wstring(L"/f2") + kFollowOn);
    verify_run(run, {kFollowOn});
    std::vector<std::wstring> gone = RemovedBy(2);
    gone.erase(gone.begin() + 4);  // the "PCL 6" queue key stays
    verify_machine(gone);
    verify_key_gone(QueueKey(L"Korvel Lumaset R9mx PCL 5e") + L"\\Extra");
    verify_key(QueueKey(L"Korvel Lumaset R9mx PCL 6") + L"\\Extra");
}

}  // namespace

void TestModels()
{
    InstallPrograms({});
    test_each_model();
    test_model2_spooler_deletes_only_the_5e_queue();
}
