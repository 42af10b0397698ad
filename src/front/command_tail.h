// What the start-up hands to WinMain: the full command line without the
// program name and the blanks after it.
#pragma once

#include <windows.h>

// Returns a position inside `commandLine` (never a copy), possibly its NUL.
LPSTR CommandTailOf(LPSTR commandLine);
