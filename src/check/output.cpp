// prncheck's lines. A console takes UTF-16 whole; a file or a pipe gets
// UTF-8, which every reader can be told to read, whatever the code pages of
// the machine and of the reader.
#include "check.h"

#include "../removal/spooler.h"

Output StandardOutput(DWORD which)
{
    HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    return {handle, GetConsoleMode(handle, &mode) != 0};
}

void Write(const Output& output, LPCWSTR text)
{
    DWORD length = 0;
    while (text[length] != L'\0') {
        ++length;
    }
    DWORD written = 0;
    if (output.console) {
        WriteConsoleW(output.handle, text, length, &written, nullptr);
        return;
    }
    // In pieces that fit the buffer (three bytes at most for each unit),
    // never between the two halves of a surrogate pair.
    constexpr DWORD kPiece = 256;
    CHAR bytes[kPiece * 3];
    while (length > 0) {
        DWORD piece = length;
        if (length > kPiece) {
            const bool highSurrogate = text[kPiece - 1] >= 0xD800 && text[kPiece - 1] <= 0xDBFF;
            piece = highSurrogate ? kPiece - 1 : kPiece;
        }
        const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(piece), bytes,
                                             static_cast<int>(sizeof bytes), nullptr, nullptr);
        WriteFile(output.handle, bytes, static_cast<DWORD>(size), &written, nullptr);
        text += piece;
        length -= piece;
    }
}

void WriteAnsi(const Output& output, LPCSTR text)
{
    // A table's names are at most 255 characters, key paths included, and so
    // are our own messages; a longer text would be left out.
    WCHAR wide[256];
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 256) > 0) {
        Write(output, wide);
    }
}

int CannotTell(CHAR selector, LPCSTR reason, DWORD number, LPCSTR label)
{
    const Output output = StandardOutput(STD_ERROR_HANDLE);
    WriteAnsi(output, "prncheck: ");
    if (selector != '\0') {
        const CHAR model[] = {'m', 'o', 'd', 'e', 'l', ' ', selector, ':', ' ', '\0'};
        WriteAnsi(output, model);
    }
    WriteAnsi(output, reason);
    if (number != 0) {
        CHAR digits[16];
        CHAR* first = digits + 15;
        *first = '\0';
        do {
            *--first = static_cast<CHAR>('0' + number % 10);
            number /= 10;
        } while (number != 0);
        WriteAnsi(output, " (");
        WriteAnsi(output, label);
        WriteAnsi(output, " ");
        WriteAnsi(output, first);
        WriteAnsi(output, ")");
    }
    WriteAnsi(output, "\r\n");
    return kCannotTell;
}
