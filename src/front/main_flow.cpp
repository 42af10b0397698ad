#include <windows.h>

#include "../removal/removal.h"

// Every step goes through CharNextA so that a double-byte character is never
// split and its trail byte is never read as "/", "f" or a selector.
int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR commandTail, int /*show*/)
{
    LPSTR cursor = commandTail;
    while (*cursor == ' ') {
        cursor = CharNextA(cursor);
    }
    if (*cursor != '/') {
        return 0;
    }
    cursor = CharNextA(cursor);

    // A NUL selector matches no model, so "/x..." removes nothing.
    CHAR selector = '\0';
    LPSTR followOn = commandTail;
    if (*cursor == 'f' || *cursor == 'F') {
        cursor = CharNextA(cursor);
        selector = *cursor;
        followOn = CharNextA(cursor);
    }

    RemoveModel(selector);
    // Installers chain the next step here and rely on status 0 whatever the
    // removal and the launch did.
    WinExec(followOn, SW_SHOW);
    return 0;
}
