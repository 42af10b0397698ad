// The process entry, in place of the C runtime's start-up: the program needs
// none of the runtime, and a clean Windows has no libgcc DLL to load.
#include <windows.h>

#include "command_tail.h"
#include "dll_search.h"

extern "C" [[noreturn]] void WINAPI ProgramEntry()
{
    // Before anything could load a DLL by name.
    RestrictDllSearch();

    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    startup.dwFlags = 0;
    GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;

    // The image base is the instance handle, no call needed. The name is the
    // linker's own.
    extern IMAGE_DOS_HEADER __ImageBase;  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
    auto* const instance = reinterpret_cast<HINSTANCE>(&__ImageBase);

    // Returning from the entry would end only this thread.
    ExitProcess(static_cast<UINT>(WinMain(instance, nullptr, CommandTailOf(GetCommandLineA()), show)));
}
