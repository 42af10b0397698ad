// Turns a fuzzer input into what the targets need: the first byte picks the
// code page and whether OpenPrinterA succeeds; the rest, up to its first NUL,
// is copied into an allocation of exactly that length plus the NUL, so that
// any read past the NUL trips AddressSanitizer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "recorder.h"

struct FuzzInput {
    std::unique_ptr<char[]> text;
    size_t length;
};

inline FuzzInput PrepareFuzzInput(const uint8_t* data, size_t size)
{
    const uint8_t mode = size > 0 ? data[0] : 0;
    recorder::Reset((mode & 1) != 0 ? recorder::CodePage::Korean949 : recorder::CodePage::SingleByte,
                    (mode & 2) == 0);
    const char* bytes = size > 0 ? reinterpret_cast<const char*>(data + 1) : "";
    const size_t available = size > 0 ? size - 1 : 0;
    const void* nul = std::memchr(bytes, '\0', available);
    const size_t length = nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - bytes) : available;
    FuzzInput input{std::make_unique<char[]>(length + 1), length};
    std::memcpy(input.text.get(), bytes, length);
    input.text[length] = '\0';
    return input;
}

// Stops the run at once, so that libFuzzer keeps the input as a crash.
#define FUZZ_ASSERT(condition)                                                                        \
    do {                                                                                              \
        if (!(condition)) {                                                                           \
            std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__);    \
            __builtin_trap();                                                                         \
        }                                                                                             \
    } while (false)
