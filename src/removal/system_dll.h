// Functions of system DLLs that the program finds at run time rather than
// importing by name.
#pragma once

#include <windows.h>

// The export `name` of `module` as a `Function`, or nullptr. GetProcAddress's
// own type fits no export: the cast goes through the generic function pointer
// type, which converts to any other.
template <typename Function>
Function SystemExport(HMODULE module, LPCSTR name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
