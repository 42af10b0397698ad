#include "dll_search.h"

#include <windows.h>

#include "../removal/system_dll.h"

void RestrictDllSearch()
{
    // A load by bare name looks in the program's folder first, which is the
    // folder an installer unpacked it to. SetDefaultDllDirectories exists on
    // Windows 8 and later, and on Vista and 7 with KB2533623; it is looked
    // up, not imported, so that the program still starts without it.
    // KERNEL32 is loaded in every process.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories =
        SystemExport<SetDefaultDllDirectoriesFunction>(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    if (setDefaultDllDirectories != nullptr) {
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}
