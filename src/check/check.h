// prncheck.exe: whether anything that prnuninst.exe /f<selector> removes is
// still on the machine, read only, from the same table and by the same rules.
#pragma once

#include <windows.h>

// Exit statuses: the answer, or why there is none.
constexpr int kNothingLeft = 0;
constexpr int kSomethingLeft = 1;
constexpr int kCannotTell = 2;

// The whole run, for the model of "/f<selector>" or, with "/a", for every
// model: one line on standard output for each thing still there (under /a
// after the model's selector and a blank), or one line on standard error
// that says why a model's question has no answer.
int CheckModel(LPSTR commandTail);

// Standard output or error, and whether it is a console.
struct Output {
    HANDLE handle;
    bool console;
};
Output StandardOutput(DWORD which);
// On a console as UTF-16; to a file or a pipe as UTF-8.
void Write(const Output& output, LPCWSTR text);
// A string of the table, or our own ASCII, in the ANSI code page.
void WriteAnsi(const Output& output, LPCSTR text);
// "prncheck: model <selector>: <reason> (<label> <number>)" on standard
// error, without "model <selector>: " when the selector is '\0' and without
// the parenthesis when `number` is 0; returns kCannotTell.
int CannotTell(CHAR selector, LPCSTR reason, DWORD number = 0, LPCSTR label = "error");
