// The start-up's command tail over any command line, in both code-page modes.
#include "front/command_tail.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input = PrepareFuzzInput(data, size);
    char* const line = input.text.get();
    const char* const end = line + input.length;

    const char* tail = CommandTailOf(line);

    // A suffix of the line, never a position past its NUL.
    FUZZ_ASSERT(tail >= line && tail <= end);
    // Nothing the start-up skips is left at its front.
    FUZZ_ASSERT(*tail == '\0' || static_cast<unsigned char>(*tail) > ' ');
    // The program name is not part of the tail: an unquoted name reaches to
    // the first byte of 0x20 or less, a quoted one at least past the quote.
    if (line[0] == '"') {
        FUZZ_ASSERT(tail > line);
    } else {
        const char* nameEnd = line;
        while (static_cast<unsigned char>(*nameEnd) > ' ') {
            ++nameEnd;
        }
        FUZZ_ASSERT(tail >= nameEnd);
    }
    return 0;
}
