#include "recorder.h"

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

struct State {
    recorder::CodePage page = recorder::CodePage::SingleByte;
    bool openSucceeds = true;
    recorder::Calls calls;
    const char* winExecCommand = nullptr;
    std::string systemDirectory = recorder::kSystemDirectory;
    std::vector<std::string> withheld;
    std::vector<recorder::Queue> queues;
    std::vector<recorder::Driver> drivers;
    std::vector<recorder::Package> packages;
    int open = -1;  // the queue the program's handle is open on; -1: one the spooler does not hold
    std::string opened;  // the name that handle was opened by
    DWORD access = 0;    // and the rights it was opened with
    unsigned ansiCodePage = 1252;
    uint32_t now = 0;
    bool console = false;
    std::map<uintptr_t, std::string> written;
    std::map<std::string, DWORD> failing;
    unsigned growth = 0;
    DWORD lastError = 0;
    DWORD asked = 0;  // what the last enumeration said it needs
    size_t outstanding = 0;
    std::string modulePath = recorder::kModulePath;
    std::vector<std::string> files;
};

// The modules the stand-in hands out, told apart by their handles.
HMODULE const kSpooler = reinterpret_cast<HMODULE>(uintptr_t{0x5000});
HMODULE const kKernel32 = reinterpret_cast<HMODULE>(uintptr_t{0x7000});
HMODULE const kAdvapi32 = reinterpret_cast<HMODULE>(uintptr_t{0x7100});

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

// A UTF-16 string of the tests' characters as the bytes of their codes.
std::string Narrow(const WCHAR* text)
{
    if (text == nullptr) {
        return "(null)";
    }
    std::string narrow;
    for (; *text != L'\0'; ++text) {
        narrow.push_back(static_cast<char>(*text));
    }
    return narrow;
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

// Logs "Function(argument, ...)".
void Record(const char* function, std::initializer_list<std::string> arguments)
{
    std::string call = std::string(function) + "(";
    const char* separator = "";
    for (const std::string& argument : arguments) {
        call += separator + argument;
        separator = ", ";
    }
    TheState().calls.push_back(call + ")");
}

std::string Handle(const void* handle) { return Hex(reinterpret_cast<uintptr_t>(handle)); }

template <typename Function>
FARPROC Address(Function function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

// Whether the function is set to fail; then GetLastError gives its error.
bool Fails(const std::string& function)
{
    const auto found = TheState().failing.find(function);
    if (found == TheState().failing.end()) {
        return false;
    }
    TheState().lastError = found->second;
    return true;
}

std::string Size(DWORD size)
{
    return size == 0 ? "0" : size == TheState().asked ? "asked" : std::to_string(size);
}

bool SameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// A Delete Pending queue goes once it has no job and no open handle: ours,
// or another process's, held until the clock reaches `heldOpen`.
void Settle()
{
    State& state = TheState();
    for (size_t i = state.queues.size(); i-- > 0;) {
        const recorder::Queue& q = state.queues[i];
        if (q.pending && q.jobs == 0 && !q.printing && state.now >= q.heldOpen && state.open != static_cast<int>(i)) {
            state.queues.erase(state.queues.begin() + static_cast<std::ptrdiff_t>(i));
            state.open -= state.open > static_cast<int>(i) ? 1 : 0;
        }
    }
}

recorder::Queue* OpenQueue()
{
    State& state = TheState();
    return state.open < 0 ? nullptr : &state.queues[static_cast<size_t>(state.open)];
}

BOOL Failed(DWORD error)
{
    TheState().lastError = error;
    return 0;
}

// Deletes the drivers of this name in this environment, unless a queue of
// this machine still uses it.
BOOL DeleteDriver(const std::string& environment, const std::string& name)
{
    State& state = TheState();
    if (environment == recorder::kMachineEnvironment) {
        for (const recorder::Queue& queue : state.queues) {
            if (SameText(queue.driver, name)) {
                return Failed(ERROR_PRINTER_DRIVER_IN_USE);
            }
        }
    }
    const size_t before = state.drivers.size();
    state.drivers.erase(std::remove_if(state.drivers.begin(), state.drivers.end(),
                                       [&](const recorder::Driver& driver) {
                                           return driver.environment == environment && SameText(driver.name, name);
                                       }),
                        state.drivers.end());
    return state.drivers.size() < before ? 1 : Failed(1797);  // ERROR_UNKNOWN_PRINTER_DRIVER
}

// Fills an enumeration's buffer as the spooler does: the records first, the
// strings after them. Fails with ERROR_INSUFFICIENT_BUFFER and the size
// needed when they do not fit (or when the list is set to grow).
template <typename Record, typename Fill>
BOOL Enumerate(const std::vector<std::vector<std::string>>& rows, Fill fill, LPBYTE buffer, DWORD size,
               LPDWORD needed, LPDWORD returned)
{
    State& state = TheState();
    DWORD total = static_cast<DWORD>(rows.size() * sizeof(Record));
    for (const auto& row : rows) {
        for (const std::string& text : row) {
            total += static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR));
        }
    }
    if (size >= total && size != 0 && state.growth > 0) {
        --state.growth;
        total = size + 64;
    }
    *returned = 0;
    if (size < total) {
        *needed = state.asked = total;
        state.lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    auto* records = reinterpret_cast<Record*>(buffer);
    auto* strings = reinterpret_cast<WCHAR*>(buffer + rows.size() * sizeof(Record));
    for (size_t r = 0; r < rows.size(); ++r) {
        WCHAR* fields[6] = {};
        for (size_t f = 0; f < rows[r].size(); ++f) {
            fields[f] = strings;
            for (const char c : rows[r][f]) {
                *strings++ = static_cast<WCHAR>(static_cast<unsigned char>(c));
            }
            *strings++ = L'\0';
        }
        records[r] = Record{};
        fill(&records[r], fields, r);
    }
    *returned = static_cast<DWORD>(rows.size());
    return 1;
}

// Both OpenPrinter forms: kPrinterHandle, unless opens fail (Reset) or this
// one does (Fail("OpenPrinterW <name>")), or the spooler's rules refuse it.
BOOL Open(const char* function, const std::string& name, const std::string& datatype, bool devmode, DWORD access,
          LPHANDLE printer)
{
    Record(function, {name, datatype, devmode ? "devmode" : "no devmode", Hex(access)});
    Settle();
    State& state = TheState();
    if (!state.openSucceeds || Fails(function + (" " + name)) || Fails(function)) {
        return 0;
    }
    state.open = -1;
    state.opened = name;
    state.access = access == 0 ? PRINTER_ACCESS_USE : access;  // the default: to print
    // A queue's own name first; share names after.
    for (size_t i = 0; i < state.queues.size() * 2 && state.open < 0; ++i) {
        const recorder::Queue& queue = state.queues[i % state.queues.size()];
        if (!SameText(i < state.queues.size() ? queue.name : queue.share, name)) {
            continue;
        }
        if (queue.pending) {
            return Failed(1801);  // ERROR_INVALID_PRINTER_NAME
        }
        if (queue.rawless && datatype == "RAW") {
            return Failed(ERROR_INVALID_DATATYPE);
        }
        state.open = static_cast<int>(i % state.queues.size());
    }
    *printer = reinterpret_cast<HANDLE>(recorder::kPrinterHandle);
    return 1;
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
    TheState().ansiCodePage = page == CodePage::Korean949 ? 949 : 1252;
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

void SetQueues(const std::vector<Queue>& queues) { TheState().queues = queues; }
void SetDrivers(const std::vector<Driver>& drivers) { TheState().drivers = drivers; }
void SetPackages(const std::vector<Package>& packages) { TheState().packages = packages; }
const std::vector<Queue>& Queues() { return TheState().queues; }
const std::vector<Driver>& Drivers() { return TheState().drivers; }
const std::vector<Package>& Packages() { return TheState().packages; }
void SetAnsiCodePage(unsigned codePage) { TheState().ansiCodePage = codePage; }
uint32_t Elapsed() { return TheState().now; }
void SetConsole(bool console) { TheState().console = console; }
std::string Written(uint32_t which) { return TheState().written[0u - which]; }

std::string Utf8(uint32_t c)
{
    std::string bytes;
    if (c < 0x80) {
        bytes += static_cast<char>(c);
    } else if (c < 0x800) {
        bytes += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    } else {
        bytes += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                  static_cast<char>(0x80 | (c & 0x3F))};
    }
    return bytes;
}
void Fail(const std::string& function, uint32_t error) { TheState().failing[function] = error; }
void GrowLists(unsigned times) { TheState().growth = times; }
size_t Outstanding() { return TheState().outstanding; }
void SetModulePath(const std::string& path) { TheState().modulePath = path; }
void PlantFile(const std::string& path) { TheState().files.push_back(path); }

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

LONG WINAPI RegDeleteKeyExA(HKEY key, LPCSTR subKey, REGSAM view, DWORD reserved)
{
    Record("RegDeleteKeyExA", {Handle(key), Text(subKey), Hex(view), Hex(reserved)});
    return 0;
}

// One character, given as the pointer's low word, and ASCII only: the
// tests' names in other cases are ASCII.
LPWSTR WINAPI CharUpperW(LPWSTR character)
{
    const auto c = reinterpret_cast<uintptr_t>(character);
    if ((c >> 16) != 0) {
        std::abort();  // only single characters are asked for
    }
    return reinterpret_cast<LPWSTR>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

// Each byte as the character of that code (the tests' names are ASCII), as
// documented: with -1 the NUL too; 0 when the buffer is too small.
int WINAPI MultiByteToWideChar(UINT /*codePage*/, DWORD /*flags*/, LPCSTR text, int length, LPWSTR wide, int size)
{
    const size_t count = length < 0 ? std::strlen(text) + 1 : static_cast<size_t>(length);
    if (count > static_cast<size_t>(size)) {
        return 0;
    }
    for (size_t i = 0; i < count; ++i) {
        wide[i] = static_cast<WCHAR>(static_cast<unsigned char>(text[i]));
    }
    return static_cast<int>(count);
}

DWORD WINAPI GetLastError() { return TheState().lastError; }

// As documented: the length without the NUL, or, when the path does not fit,
// the size given, the path cut short (without a NUL on Windows XP).
DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size)
{
    Record("GetModuleFileNameW", {Handle(module), std::to_string(size)});
    const std::string& path = TheState().modulePath;
    const size_t copied = path.size() < size ? path.size() : size;
    for (size_t i = 0; i < copied; ++i) {
        buffer[i] = static_cast<WCHAR>(static_cast<unsigned char>(path[i]));
    }
    if (copied < size) {
        buffer[copied] = L'\0';
    }
    return static_cast<DWORD>(copied);
}

DWORD WINAPI GetFileAttributesW(LPCWSTR path)
{
    const std::string narrow = Narrow(path);
    Record("GetFileAttributesW", {narrow});
    for (const std::string& file : TheState().files) {
        if (file == narrow) {
            return 0x10;  // a folder
        }
    }
    return INVALID_FILE_ATTRIBUTES;
}

// Counted, so that a test sees a buffer that is never released; a use
// other than committed read-write memory, released whole, is logged.
LPVOID WINAPI VirtualAlloc(LPVOID /*address*/, SIZE_T size, DWORD type, DWORD protection)
{
    if (type != (MEM_COMMIT | MEM_RESERVE) || protection != PAGE_READWRITE || size == 0) {
        Record("VirtualAlloc", {std::to_string(size), Hex(type), Hex(protection)});
        return nullptr;
    }
    ++TheState().outstanding;
    return std::calloc(1, size);
}

BOOL WINAPI VirtualFree(LPVOID address, SIZE_T size, DWORD type)
{
    if (address == nullptr || size != 0 || type != MEM_RELEASE) {
        Record("VirtualFree", {std::to_string(size), Hex(type)});
        return 0;
    }
    --TheState().outstanding;
    std::free(address);
    return 1;
}

BOOL WINAPI EnumPrintersW(DWORD flags, LPWSTR name, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                          LPDWORD returned)
{
    Record("EnumPrintersW", {Hex(flags), Narrow(name), std::to_string(level), Size(size)});
    Settle();
    if (Fails("EnumPrintersW")) {
        return 0;
    }
    std::vector<std::vector<std::string>> rows;
    std::vector<uint32_t> attributes;
    for (const recorder::Queue& queue : TheState().queues) {
        if (!queue.pending) {
            rows.push_back({queue.name, queue.driver, queue.server});
            attributes.push_back(queue.attributes);
        }
    }
    return Enumerate<PRINTER_INFO_2W>(
        rows,
        [&attributes](PRINTER_INFO_2W* record, WCHAR** fields, size_t row) {
            record->pPrinterName = fields[0];
            record->pDriverName = fields[1];
            record->pServerName = fields[2][0] == L'\0' ? nullptr : fields[2];
            record->Attributes = attributes[row];
        },
        buffer, size, needed, returned);
}

BOOL WINAPI EnumPrinterDriversW(LPWSTR name, LPWSTR environment, DWORD level, LPBYTE buffer, DWORD size,
                                LPDWORD needed, LPDWORD returned)
{
    Record("EnumPrinterDriversW", {Narrow(name), Narrow(environment), std::to_string(level), Size(size)});
    if (Fails("EnumPrinterDriversW")) {
        return 0;
    }
    std::vector<std::vector<std::string>> rows;
    std::vector<uint64_t> versions;
    for (const recorder::Driver& driver : TheState().drivers) {
        if (driver.environment == Narrow(environment)) {
            rows.push_back({driver.name, driver.environment, driver.infPath});
            versions.push_back(driver.version);
        }
    }
    // Level 6 (and 8) with the version.
    const auto fill = [&versions](auto* record, WCHAR** fields, size_t row) {
        record->pName = fields[0];
        record->pEnvironment = fields[1];
        record->dwlDriverVersion = versions[row];
    };
    if (level == 6) {
        return Enumerate<DRIVER_INFO_6W>(rows, fill, buffer, size, needed, returned);
    }
    if (level == 2) {
        return Enumerate<DRIVER_INFO_2W>(
            rows,
            [](DRIVER_INFO_2W* record, WCHAR** fields, size_t /*row*/) {
                record->pName = fields[0];
                record->pEnvironment = fields[1];
            },
            buffer, size, needed, returned);
    }
    return Enumerate<DRIVER_INFO_8W>(
        rows,
        [&fill](DRIVER_INFO_8W* record, WCHAR** fields, size_t row) {
            fill(record, fields, row);
            record->pszInfPath = fields[2][0] == L'\0' ? nullptr : fields[2];
        },
        buffer, size, needed, returned);
}

// Every key is there, unless Fail("RegOpenKeyExA", error) says otherwise.
LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, HKEY* opened)
{
    Record("RegOpenKeyExA", {Handle(key), Text(subKey), Hex(options), Hex(access)});
    if (Fails("RegOpenKeyExA")) {
        return static_cast<LONG>(TheState().lastError);
    }
    *opened = reinterpret_cast<HKEY>(uintptr_t{0x6000});
    return 0;
}

LONG WINAPI RegCloseKey(HKEY key)
{
    Record("RegCloseKey", {Handle(key)});
    return 0;
}

// Standard output and error: a console (SetConsole) or a file; what is
// written to each is kept as UTF-8, with how it was written.
HANDLE WINAPI GetStdHandle(DWORD which) { return reinterpret_cast<HANDLE>(uintptr_t{0u - which}); }

BOOL WINAPI GetConsoleMode(HANDLE /*console*/, LPDWORD mode)
{
    *mode = 3;
    return TheState().console ? 1 : 0;
}

BOOL WINAPI WriteConsoleW(HANDLE console, const void* text, DWORD length, LPDWORD written, void* /*reserved*/)
{
    const auto* wide = static_cast<const WCHAR*>(text);
    std::string utf8;
    for (DWORD i = 0; i < length; ++i) {
        utf8 += recorder::Utf8(static_cast<uint32_t>(wide[i]));
    }
    TheState().written[reinterpret_cast<uintptr_t>(console)] += "[console]" + utf8;
    *written = length;
    return 1;
}

BOOL WINAPI WriteFile(HANDLE file, const void* data, DWORD size, LPDWORD written, void* /*overlapped*/)
{
    TheState().written[reinterpret_cast<uintptr_t>(file)].append(static_cast<const char*>(data), size);
    *written = size;
    return 1;
}

// UTF-8 only, as the program asks for it; the tests' text has no surrogates.
int WINAPI WideCharToMultiByte(UINT codePage, DWORD /*flags*/, LPCWSTR text, int length, LPSTR bytes, int size,
                               LPCSTR /*fallback*/, BOOL* /*used*/)
{
    std::string utf8;
    for (int i = 0; i < length; ++i) {
        utf8 += codePage == CP_UTF8 ? recorder::Utf8(static_cast<uint32_t>(text[i])) : "?";
    }
    if (utf8.size() > static_cast<size_t>(size)) {
        return 0;
    }
    utf8.copy(bytes, utf8.size());
    return static_cast<int>(utf8.size());
}

HANDLE WINAPI GetCurrentProcess() { return reinterpret_cast<HANDLE>(~uintptr_t{0}); }

// A 32-bit process on 64-bit Windows (x64).
BOOL WINAPI IsWow64Process(HANDLE /*process*/, BOOL* wow64)
{
    *wow64 = 1;
    return 1;
}
BOOL WINAPI IsWow64Process2(HANDLE /*process*/, USHORT* process, USHORT* machine)
{
    return *process = 0x014C, *machine = 0x8664, 1;
}
void WINAPI GetNativeSystemInfo(SYSTEM_INFO* system) { system->wProcessorArchitecture = 9; }

BOOL WINAPI SetPrinterW(HANDLE printer, DWORD level, LPBYTE info, DWORD command)
{
    Record("SetPrinterW", {Handle(printer), std::to_string(level), info == nullptr ? "(null)" : "info",
                           std::to_string(command)});
    Settle();
    if (Fails("SetPrinterW")) {
        return 0;
    }
    if (recorder::Queue* queue = OpenQueue()) {
        if (command == PRINTER_CONTROL_PURGE) {
            queue->jobs = 0;
        } else if (command == PRINTER_CONTROL_RESUME) {
            queue->paused = false;
            queue->printing = false;
        }
    }
    return 1;
}

BOOL WINAPI DeletePrinterDriverExW(LPWSTR name, LPWSTR environment, LPWSTR driver, DWORD flags, DWORD version)
{
    Record("DeletePrinterDriverExW", {Narrow(name), Narrow(environment), Narrow(driver), Hex(flags), Hex(version)});
    Settle();
    // A spooler that refuses the flag (as Wine's does) takes the call without it.
    const auto refused = TheState().failing.find("DeletePrinterDriverExW");
    if (refused != TheState().failing.end() && !(flags == 0 && refused->second == ERROR_INVALID_PARAMETER)) {
        return Failed(refused->second);
    }
    return DeleteDriver(Narrow(environment), Narrow(driver));
}

BOOL WINAPI DeletePrinterDriverW(LPWSTR name, LPWSTR environment, LPWSTR driver)
{
    Record("DeletePrinterDriverW", {Narrow(name), Narrow(environment), Narrow(driver)});
    Settle();
    return Fails("DeletePrinterDriverW") ? 0 : DeleteDriver(Narrow(environment), Narrow(driver));
}

HRESULT WINAPI DeletePrinterDriverPackageW(LPCWSTR server, LPCWSTR infPath, LPCWSTR environment)
{
    Record("DeletePrinterDriverPackageW", {Narrow(server), Narrow(infPath), Narrow(environment)});
    Settle();
    if (Fails("DeletePrinterDriverPackageW")) {
        return static_cast<HRESULT>(0x80070005u);  // E_ACCESSDENIED, as for a package Windows ships
    }
    State& state = TheState();
    const std::string inf = Narrow(infPath);
    for (const recorder::Driver& driver : state.drivers) {
        if (SameText(driver.infPath, inf)) {
            return static_cast<HRESULT>(0x80070BC7u);  // ERROR_PRINTER_DRIVER_PACKAGE_IN_USE
        }
    }
    const auto found = std::find_if(state.packages.begin(), state.packages.end(),
                                    [&](const recorder::Package& package) { return SameText(package.infPath, inf); });
    if (found == state.packages.end()) {
        return static_cast<HRESULT>(0x80070002u);  // ERROR_FILE_NOT_FOUND
    }
    state.packages.erase(found);
    return 0;
}

BOOL WINAPI OpenPrinterA(LPSTR printerName, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults)
{
    if (defaults == nullptr) {
        return Open("OpenPrinterA", Text(printerName), "no defaults", false, 0, printer);
    }
    return Open("OpenPrinterA", Text(printerName), Text(defaults->pDatatype), defaults->pDevMode != nullptr,
                defaults->DesiredAccess, printer);
}

BOOL WINAPI OpenPrinterW(LPWSTR printerName, LPHANDLE printer, PRINTER_DEFAULTSW* defaults)
{
    return Open("OpenPrinterW", Narrow(printerName), Narrow(defaults->pDatatype), defaults->pDevMode != nullptr,
                defaults->DesiredAccess, printer);
}

BOOL WINAPI DeletePrinter(HANDLE printer)
{
    TheState().calls.push_back("DeletePrinter(" + Hex(reinterpret_cast<uintptr_t>(printer)) + ")");
    Settle();
    if (Fails("DeletePrinter")) {
        return 0;
    }
    if (recorder::Queue* queue = OpenQueue()) {
        if (queue->paused && (queue->jobs != 0 || queue->printing)) {
            return Failed(ERROR_ACCESS_DENIED);
        }
        queue->pending = true;
    }
    return 1;
}

BOOL WINAPI ClosePrinter(HANDLE printer)
{
    TheState().calls.push_back("ClosePrinter(" + Hex(reinterpret_cast<uintptr_t>(printer)) + ")");
    TheState().open = -1;
    Settle();
    return 1;
}

// Level 4: the name of the queue the handle is open on (a queue the spooler
// does not hold answers with the name it was opened by), its string after
// the record.
BOOL WINAPI GetPrinterW(HANDLE printer, DWORD level, LPBYTE info, DWORD size, LPDWORD needed)
{
    Record("GetPrinterW", {Handle(printer), std::to_string(level)});
    Settle();
    if (Fails("GetPrinterW")) {
        return 0;
    }
    // Reading a queue is printing's right (PRINTER_READ holds it).
    if ((TheState().access & PRINTER_ACCESS_USE) == 0) {
        return Failed(ERROR_ACCESS_DENIED);
    }
    const recorder::Queue* queue = OpenQueue();
    const std::string name = queue != nullptr ? queue->name : TheState().opened;
    *needed = static_cast<DWORD>(sizeof(PRINTER_INFO_4W) + (name.size() + 1) * sizeof(WCHAR));
    if (level != 4 || size < *needed) {
        return Failed(level != 4 ? ERROR_INVALID_LEVEL : ERROR_INSUFFICIENT_BUFFER);
    }
    auto* const record = reinterpret_cast<PRINTER_INFO_4W*>(info);
    auto* text = reinterpret_cast<WCHAR*>(info + sizeof(PRINTER_INFO_4W));
    *record = {text, nullptr, 0};
    for (const char c : name) {
        *text++ = static_cast<WCHAR>(static_cast<unsigned char>(c));
    }
    *text = L'\0';
    return 1;
}

UINT WINAPI GetACP() { return TheState().ansiCodePage; }

DWORD WINAPI GetTickCount() { return TheState().now; }

void WINAPI Sleep(DWORD milliseconds)
{
    Record("Sleep", {std::to_string(milliseconds)});
    TheState().now += milliseconds;
    Settle();
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
    return Text(moduleName) == "kernel32.dll" ? kKernel32 : Text(moduleName) == "advapi32.dll" ? kAdvapi32 : nullptr;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name)
{
    const std::string function = Text(name);
    TheState().calls.push_back(std::string("GetProcAddress(") +
                               (module == kSpooler    ? "winspool.drv"
                                : module == kKernel32 ? "kernel32.dll"
                                : module == kAdvapi32 ? "advapi32.dll"
                                                      : "?") +
                               ", " + function + ")");
    if (Withheld(function)) {
        return nullptr;
    }
    if (module == kSpooler) {
        const std::pair<const char*, FARPROC> spooler[] = {
            {"OpenPrinterA", Address(&OpenPrinterA)},
            {"DeletePrinter", Address(&DeletePrinter)},
            {"ClosePrinter", Address(&ClosePrinter)},
            {"EnumPrintersW", Address(&EnumPrintersW)},
            {"OpenPrinterW", Address(&OpenPrinterW)},
            {"SetPrinterW", Address(&SetPrinterW)},
            {"GetPrinterW", Address(&GetPrinterW)},
            {"EnumPrinterDriversW", Address(&EnumPrinterDriversW)},
            {"DeletePrinterDriverExW", Address(&DeletePrinterDriverExW)},
            {"DeletePrinterDriverW", Address(&DeletePrinterDriverW)},
            {"DeletePrinterDriverPackageW", Address(&DeletePrinterDriverPackageW)},
        };
        for (const auto& [exported, address] : spooler) {
            if (function == exported) {
                return address;
            }
        }
        return nullptr;
    }
    if (module == kAdvapi32) {
        return function == "RegDeleteKeyExA" ? Address(&RegDeleteKeyExA) : nullptr;
    }
    if (module == kKernel32 && function == "IsWow64Process") {
        return Address(&IsWow64Process);
    }
    if (module == kKernel32 && (function == "IsWow64Process2" || function == "GetNativeSystemInfo")) {
        return function == "IsWow64Process2" ? Address(&IsWow64Process2) : Address(&GetNativeSystemInfo);
    }
    return module == kKernel32 && function == "SetDefaultDllDirectories" ? Address(&SetDefaultDllDirectories)
                                                                         : nullptr;
}

}  // extern "C"
