#include "recorder.h"

#include <windows.h>
#include <winspool.h>

#include <cstdio>

namespace {

struct State {
    recorder::CodePage page = recorder::CodePage::SingleByte;
    bool openSucceeds = true;
    recorder::Calls calls;
    const char* winExecCommand = nullptr;
};

State& TheState()
{
    static State state;
    return state;
}

std::string Hex(unsigned long value)
{
    char text[24];
    std::snprintf(text, sizeof text, "%lx", value);
    return text;
}

std::string Text(const char* text)
{
    return text == nullptr ? std::string("(null)") : std::string(text);
}

}  // namespace

namespace recorder {

void Reset(CodePage page, bool openSucceeds)
{
    TheState() = State{page, openSucceeds, {}, nullptr};
}

const Calls& Recorded()
{
    return TheState().calls;
}

const char* LastWinExecCommand()
{
    return TheState().winExecCommand;
}

}  // namespace recorder

extern "C" {

BOOL WINAPI IsDBCSLeadByte(BYTE leadByte)
{
    return TheState().page == recorder::CodePage::Korean949 && leadByte >= 0x81 && leadByte <= 0xFE;
}

// As documented for the "A" form: one byte on, two for a double-byte
// character, and at a NUL (or a lead byte before the NUL) no further than it.
LPSTR WINAPI CharNextA(LPCSTR position)
{
    if (*position == '\0') {
        return const_cast<LPSTR>(position);
    }
    if (IsDBCSLeadByte(static_cast<BYTE>(position[0])) && position[1] != '\0') {
        return const_cast<LPSTR>(position + 2);
    }
    return const_cast<LPSTR>(position + 1);
}

LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey)
{
    TheState().calls.push_back("RegDeleteKeyA(" + Hex(reinterpret_cast<uintptr_t>(key)) + ", " + Text(subKey) + ")");
    return 0;
}

BOOL WINAPI OpenPrinterA(LPSTR printerName, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults)
{
    std::string call = "OpenPrinterA(" + Text(printerName) + ", ";
    if (defaults == nullptr) {
        call += "no defaults)";
    } else {
        call += Text(defaults->pDatatype) + ", " + (defaults->pDevMode == nullptr ? "no devmode" : "devmode") +
                ", " + Hex(defaults->DesiredAccess) + ")";
    }
    TheState().calls.push_back(call);
    if (!TheState().openSucceeds) {
        return 0;
    }
    *printer = reinterpret_cast<HANDLE>(recorder::kPrinterHandle);
    return 1;
}

BOOL WINAPI DeletePrinter(HANDLE printer)
{
    TheState().calls.push_back("DeletePrinter(" + Hex(reinterpret_cast<uintptr_t>(printer)) + ")");
    return 1;
}

BOOL WINAPI ClosePrinter(HANDLE printer)
{
    TheState().calls.push_back("ClosePrinter(" + Hex(reinterpret_cast<uintptr_t>(printer)) + ")");
    return 1;
}

UINT WINAPI WinExec(LPCSTR commandLine, UINT show)
{
    TheState().calls.push_back("WinExec(" + Text(commandLine) + ", " + std::to_string(show) + ")");
    TheState().winExecCommand = commandLine;
    return 33;
}

}  // extern "C"
