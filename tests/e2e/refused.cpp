// A key the registry refuses to delete (a queue key that still holds another
// subkey) stops neither the keys after it nor the spooler step.
#include "e2e.h"

namespace {

void test_refused_queue_key(int model, const std::wstring& queue)
{
    SeedMachine();
    AddSubkey(QueueKey(queue), L"Extra");
    Run run = RunTail(L"/f" + std::to_wstring(model) + kFollowOn);
    verify_run(run, {kFollowOn});
    std::vector<std::wstring> gone;
    for (const std::wstring& key : RemovedBy(model)) {
        if (key != QueueKey(queue)) {
            gone.push_back(key);
        }
    }
    verify_machine(gone);
    verify_key(QueueKey(queue) + L"\\Extra");
}

}  // namespace

void TestRefusedDeletion()
{
    InstallPrograms({});
    // Model 3's spooler queue has another name, so the refused key stays while
    // the driver key after it and the spooler's queue go.
    test_refused_queue_key(3, L"반토 QX-7100 PCL5e");
    // Model 2's fifth key refused: the sixth, the "PCL 6" driver, still goes.
    test_refused_queue_key(2, L"Korvel Lumaset R9mx PCL 6");

    // Model 4's refused queue key is then deleted by the spooler, whole.
    SeedMachine();
    AddSubkey(QueueKey(L"Pelnora 7100 PCL5e"), L"Extra");
    Run run = RunTail(std::wstring(L"/f4") + kFollowOn);
    verify_run(run, {kFollowOn});
    verify_machine(RemovedBy(4));
    verify_key_gone(QueueKey(L"Pelnora 7100 PCL5e") + L"\\Extra");
}
