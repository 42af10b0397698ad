// The load-configuration record, which the C runtime would otherwise supply.
// Its one non-zero field makes Windows 10 1607 and later take the DLLs this
// image depends on from System32 only, never from the folder the program was
// unpacked to: a further guard beside loading WINSPOOL.DRV by its full path
// and the start-up's SetDefaultDllDirectories, for what system DLLs load.
#include <stddef.h>  // NOLINT(modernize-deprecated-headers): no C++ library in this build
#include <windows.h>

namespace {

constexpr IMAGE_LOAD_CONFIG_DIRECTORY Record()
{
    IMAGE_LOAD_CONFIG_DIRECTORY record{};
    // i386: 64 bytes, the size Windows XP and earlier require of x86 images;
    // it ends before the SEH handler table, which a NO_SEH image has no use
    // for. x86-64: the whole record.
    record.Size = static_cast<DWORD>(sizeof(void*) == 4 ? offsetof(IMAGE_LOAD_CONFIG_DIRECTORY, SEHandlerTable)
                                                        : sizeof record);
    // DependentLoadFlags, in the place these headers still call Reserved1.
    record.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;
    return record;
}

}  // namespace

// The linker looks the record up by this name.
extern "C" constexpr IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = Record();  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
