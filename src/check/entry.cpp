// prncheck's process entry, in place of the C runtime's start-up, as
// prnuninst.exe's.
#include <windows.h>

#include "../front/command_tail.h"
#include "../front/dll_search.h"
#include "check.h"

extern "C" [[noreturn]] void WINAPI ProgramEntry()
{
    // Before anything could load a DLL by name.
    RestrictDllSearch();
    ExitProcess(static_cast<UINT>(CheckModel(CommandTailOf(GetCommandLineA()))));
}
