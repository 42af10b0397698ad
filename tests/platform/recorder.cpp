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
    std::string systemDirectory = recorder::kSystemDirectory;
    std::vector<std::string> withheld;
};

// The modules the stand-in hands out, told apart by their handles.
HMODULE const kSpooler = reinterpret_cast<HMODULE>(uintptr_t{0x5000});
HMODULE const kKernel32 = reinterpret_cast<HMODULE>(uintptr_t{0x7000});

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

bool Withheld(const std::string& name)
{
    for (const std::string& entry : TheState().withheld) {
        if (entry == name) {
            return true;
        }
    }
    return false;
}

template <typename Function>
FARPROC Address(Function function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

BOOL WINAPI SetDefaultDllDirectories(DWORD flags)
{
    TheState().calls.push_back("SetDefaultDllDirectories(" + Hex(flags) + ")");
    return 1;
}

}  // namespace

namespace recorder {

void Reset(CodePage page, bool openSucceeds)
{
    TheState() = State{};
    TheState().page = page;
    TheState().openSucceeds = openSucceeds;
}

void SetSystemDirectory(const std::string& folder)
{
    TheState().systemDirectory = folder;
}

void Withhold(const std::string& name)
{
    TheState().withheld.push_back(name);
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

// As documented: the length without the NUL, or, when the buffer is too
// small, the size it needs; 0 on failure.
UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size)
{
    TheState().calls.push_back("GetSystemDirectoryA(" + std::to_string(size) + ")");
    const std::string& folder = TheState().systemDirectory;
    if (folder.size() >= size) {
        return folder.empty() ? 0 : static_cast<UINT>(folder.size() + 1);
    }
    folder.copy(buffer, folder.size());
    buffer[folder.size()] = '\0';
    return static_cast<UINT>(folder.size());
}

HMODULE WINAPI LoadLibraryExA(LPCSTR fileName, HANDLE file, DWORD flags)
{
    const std::string path = Text(fileName);
    TheState().calls.push_back("LoadLibraryExA(" + path + ", " + Hex(reinterpret_cast<uintptr_t>(file)) + ", " +
                               Hex(flags) + ")");
    const std::string name = path.substr(path.find_last_of('\\') + 1);
    return name != "winspool.drv" || Withheld(name) ? nullptr : kSpooler;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName)
{
    TheState().calls.push_back("GetModuleHandleA(" + Text(moduleName) + ")");
    return Text(moduleName) == "kernel32.dll" ? kKernel32 : nullptr;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name)
{
    const std::string function = Text(name);
    TheState().calls.push_back(std::string("GetProcAddress(") +
                               (module == kSpooler ? "winspool.drv" : module == kKernel32 ? "kernel32.dll" : "?") +
                               ", " + function + ")");
    if (Withheld(function)) {
        return nullptr;
    }
    if (module == kSpooler) {
        return function == "OpenPrinterA"    ? Address(&OpenPrinterA)
               : function == "DeletePrinter" ? Address(&DeletePrinter)
               : function == "ClosePrinter"  ? Address(&ClosePrinter)
                                             : nullptr;
    }
    return module == kKernel32 && function == "SetDefaultDllDirectories" ? Address(&SetDefaultDllDirectories)
                                                                         : nullptr;
}

}  // extern "C"
