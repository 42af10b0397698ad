// WinMain over any command tail, in both code-page modes, with the printer
// open succeeding or failing, against the recording platform layer.
#include <string>

#include "fuzz_input.h"
#include "model_cases.h"
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
    const bool openSucceeds = size == 0 || (data[0] & 2) == 0;

    FUZZ_ASSERT(WinMain(nullptr, nullptr, tail, 0) == 0);
    FUZZ_ASSERT(before == std::string(tail));  // read in place, never changed

    // Blanks are single-byte in every code page, so byte steps find the same "/".
    size_t slash = 0;
    while (tail[slash] == ' ') {
        ++slash;
    }
    const bool launches = tail[slash] == '/';
    const bool letter = launches && (tail[slash + 1] == 'f' || tail[slash + 1] == 'F');
    // The expected keys come from models.txt, not from the program's own rows.
    FUZZ_ASSERT(!BuiltModelTable().models.empty());
    const TableModel* model = letter ? BuiltModelTable().Find(tail[slash + 2]) : nullptr;

    const recorder::Calls& calls = recorder::Recorded();
    size_t next = 0;
    if (model != nullptr) {
        // Exactly the selected model's keys, in the table's order.
        for (const std::string& key : model->keys) {
            FUZZ_ASSERT(next < calls.size());
            FUZZ_ASSERT(calls[next++] == "RegDeleteKeyA(80000002, " + key + ")");
        }
        // WINSPOOL.DRV by its full path and its three calls, then one open;
        // delete and close only on the handle a successful open gave.
        for (const char* step : {"GetSystemDirectoryA(", "LoadLibraryExA(", "GetProcAddress(", "GetProcAddress(",
                                 "GetProcAddress("}) {
            FUZZ_ASSERT(next < calls.size() && StartsWith(calls[next++], step));
        }
        FUZZ_ASSERT(next < calls.size() && StartsWith(calls[next++], ("OpenPrinterA(" + model->queue + ", ").c_str()));
        if (openSucceeds) {
            FUZZ_ASSERT(next < calls.size() && calls[next++] == "DeletePrinter(4711)");
            FUZZ_ASSERT(next < calls.size() && calls[next++] == "ClosePrinter(4711)");
        }
    }
    // WinExec, last, exactly when the tail (after blanks) begins with "/", and
    // with a suffix of the tail.
    const char* command = recorder::LastWinExecCommand();
    if (launches) {
        FUZZ_ASSERT(next + 1 == calls.size() && StartsWith(calls[next], "WinExec("));
        FUZZ_ASSERT(command >= tail && command <= tail + input.length);
        if (!letter) {
            FUZZ_ASSERT(command == tail);
        }
    } else {
        FUZZ_ASSERT(calls.empty() && command == nullptr);
    }
    return 0;
}
