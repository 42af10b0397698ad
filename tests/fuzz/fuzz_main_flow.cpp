// WinMain over any command tail, in both code-page modes, with the printer
// open succeeding or failing, on an empty spooler or one holding the model's
// drivers and queues (and with lists that grow, a spooler that refuses the
// driver flag, or no Ex function), against the recording platform layer.
#include <string>

#include "expected_calls.h"
#include "fuzz_input.h"
#include "removal/removal.h"

namespace {

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input = PrepareFuzzInput(data, size);
    char* const tail = input.text.get();
    const std::string before(tail, input.length);
    const uint8_t mode = size == 0 ? 0 : data[0];
    const bool openSucceeds = (mode & 2) == 0;

    // Blanks are single-byte in every code page, so byte steps find the same "/".
    size_t slash = 0;
    while (tail[slash] == ' ') {
        ++slash;
    }
    const bool launches = tail[slash] == '/';
    const bool letter = launches && (tail[slash + 1] == 'f' || tail[slash + 1] == 'F');
    // The expected calls come from models.txt, not from the program's own rows.
    const ModelTable& table = BuiltModelTable();
    FUZZ_ASSERT(!table.models.empty());
    const TableModel* model = letter ? table.Find(tail[slash + 2]) : nullptr;

    // What the spooler holds and refuses; the queues only where opens succeed.
    SpoolerState state;
    if (model != nullptr && openSucceeds && (mode & 4) != 0) {
        state = Machine(*model);
    }
    state.growth = (mode & 8) != 0 ? 2 : 0;
    if ((mode & 16) != 0) {
        state.fails.push_back({"DeletePrinterDriverExW", 87});
    }
    if ((mode & 32) != 0) {
        state.withheld = {"DeletePrinterDriverExW", "DeletePrinterDriverPackageW"};
    }
    Install(state);

    FUZZ_ASSERT(WinMain(nullptr, nullptr, tail, 0) == 0);
    FUZZ_ASSERT(before == std::string(tail));  // read in place, never changed
    FUZZ_ASSERT(recorder::Outstanding() == 0);

    // Exactly the selected model's keys in the table's order, WINSPOOL.DRV by
    // its full path, one open (delete and close only on the handle it gave),
    // then the drivers' steps; WinExec last, exactly when the tail (after
    // blanks) begins with "/", with a suffix of the tail.
    CallList expected;
    if (model != nullptr) {
        expected = Join({Deletions(table, *model), Spooler(model->queue, openSucceeds, state), DriverCalls(*model, state)});
    }
    const recorder::Calls& calls = recorder::Recorded();
    const char* command = recorder::LastWinExecCommand();
    if (launches) {
        FUZZ_ASSERT(calls.size() == expected.size() + 1);
        FUZZ_ASSERT(CallList(calls.begin(), calls.end() - 1) == expected);
        FUZZ_ASSERT(StartsWith(calls.back(), "WinExec("));
        FUZZ_ASSERT(command >= tail && command <= tail + input.length);
        if (!letter) {
            FUZZ_ASSERT(command == tail);
        }
    } else {
        FUZZ_ASSERT(calls.empty() && command == nullptr);
    }
    return 0;
}
