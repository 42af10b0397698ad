#include "command_tail.h"

LPSTR CommandTailOf(LPSTR commandLine)
{
    LPSTR cursor = commandLine;
    if (*cursor == '"') {
        // CharNextA takes a lead byte's trail byte along, except a NUL, so a
        // trail byte of 0x22 inside a double-byte name never closes the quote.
        cursor = CharNextA(cursor);
        while (*cursor != '\0' && *cursor != '"') {
            cursor = CharNextA(cursor);
        }
        if (*cursor == '"') {
            ++cursor;
        }
    } else {
        while (static_cast<BYTE>(*cursor) > ' ') {
            ++cursor;
        }
    }
    while (*cursor != '\0' && static_cast<BYTE>(*cursor) <= ' ') {
        ++cursor;
    }
    return cursor;
}
