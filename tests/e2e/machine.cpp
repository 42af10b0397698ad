// The seeded machine, the checks and the runs shared by every group of cases.
#include <cstdarg>
#include <cstdio>

#include "e2e.h"

namespace {

int checks = 0;
int failures = 0;

const std::wstring kPrint = L"SYSTEM\\CurrentControlSet\\Control\\Print\\";
const wchar_t* const kDirectory = L"C:\\e2e";
const wchar_t* const kLog = L"C:\\e2e\\followon.log";

std::string Utf8(const std::wstring& text)
{
    std::string out(static_cast<size_t>(text.size()) * 4 + 1, '\0');
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(),
                                           static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(static_cast<size_t>(length > 0 ? length : 0));
    return out;
}

std::wstring Wide(const std::string& text)
{
    std::wstring out(text.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(),
                                           static_cast<int>(out.size()));
    out.resize(static_cast<size_t>(length > 0 ? length : 0));
    return out;
}

// What the four models and their neighbours install. Neighbours share a
// family, a prefix or a suffix with a model's names, so that a removal that
// matches too much or the wrong way shows.
struct Queue {
    const wchar_t* name;
    const wchar_t* driver;
};
const Queue kQueues[] = {
    {L"반토 QX-4400A PCL5e", L"반토 QX-71KG PCL5e"},           // model 1: a queue named apart from its driver
    {L"Korvel Lumaset R9mx PCL 5e", L"Korvel Lumaset R9mx PCL 5e"},  // model 2
    {L"Korvel Lumaset R9mx PCL 6", L"Korvel Lumaset R9mx PCL 6"},    // model 2
    {L"반토 QX-7100 PCL5e", L"반토 QX-7100 PCL5e"},            // model 3
    {L"반토 QX-7150 PCL5e", L"반토 QX-7100 PCL5e"},            // model 3's spooler queue
    {L"Pelnora 7100 PCL5e", L"Pelnora 7100 PCL5e"},            // model 4
    {L"Pelnora 7100 PCL5e (Copy 1)", L"Pelnora 7100 PCL5e"},   // neighbours from here on
    {L"Pelnora 7200 PCL5e", L"Pelnora 7200 PCL5e"},
    {L"Korvel Lumaset R9mx PCL 5", L"Korvel Lumaset R9mx PCL 5"},
    {L"반토 QX-4400A PCL6", L"반토 QX-71KG PCL6"},
};
const wchar_t* const kDrivers[] = {
    L"반토 QX-71KG PCL5e",  L"Korvel Lumaset R9mx PCL 5e", L"Korvel Lumaset R9mx PCL 6",
    L"반토 QX-7100 PCL5e",  L"Pelnora 7100 PCL5e",         L"Pelnora 7200 PCL5e",
    L"Pelnora 7100 PCL6",  L"Korvel Lumaset R9mx PCL 5",  L"반토 QX-71KG PCL6",
};
// The same driver name in the 64-bit environment is another driver.
const std::wstring kOtherEnvironmentDriver =
    kPrint + L"Environments\\Windows x64\\Drivers\\Version-3\\Pelnora 7100 PCL5e";

// Every seeded key, parents before children.
std::vector<std::wstring> SeededKeys()
{
    std::vector<std::wstring> keys;
    for (const wchar_t* driver : kDrivers) {
        keys.push_back(DriverKey(driver));
    }
    keys.push_back(kOtherEnvironmentDriver);
    for (const Queue& queue : kQueues) {
        keys.push_back(QueueKey(queue.name));
        keys.push_back(DataKey(queue.name));
    }
    return keys;
}

// Each seeded key holds "Seeded" = its own path, to tell it from a key that
// was deleted and made again.
const wchar_t* const kMarker = L"Seeded";

void SetString(HKEY key, const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ)
{
    const LSTATUS status = RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ok(status == ERROR_SUCCESS, "setting %s failed: %ld", Utf8(name).c_str(), static_cast<long>(status));
}

void SetDword(HKEY key, const wchar_t* name, DWORD value)
{
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

HKEY CreateKey(const std::wstring& path)
{
    HKEY key = nullptr;
    const LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr);
    ok(status == ERROR_SUCCESS, "creating %s failed: %ld", Utf8(path).c_str(), static_cast<long>(status));
    SetString(key, kMarker, path);
    return key;
}

void InstallDriver(const std::wstring& path)
{
    HKEY key = CreateKey(path);
    SetString(key, L"Driver", L"UNIDRV.DLL");
    SetString(key, L"Configuration File", L"UNIDRVUI.DLL");
    SetString(key, L"Data File", L"MODEL.GPD");
    SetString(key, L"Help File", L"UNIDRV.HLP");
    SetString(key, L"Dependent Files", std::wstring(L"UNIRES.DLL") + L'\0' + L"STDNAMES.GPD" + L'\0', REG_MULTI_SZ);
    SetString(key, L"Datatype", L"RAW");
    SetDword(key, L"Version", 2);
    RegCloseKey(key);
}

void InstallQueue(const Queue& queue)
{
    // Wine's spooler opens a queue only with these values; "Name" keeps its
    // start-up set-up from writing one.
    HKEY key = CreateKey(QueueKey(queue.name));
    SetString(key, L"Name", queue.name);
    SetString(key, L"Port", L"FILE:");
    SetString(key, L"Print Processor", L"winprint");
    SetString(key, L"Datatype", L"RAW");
    SetString(key, L"Printer Driver", queue.driver);
    SetDword(key, L"Attributes", 0x40);
    SetDword(key, L"Priority", 1);
    RegCloseKey(key);
    HKEY data = CreateKey(DataKey(queue.name));
    SetDword(data, L"FreeMem", 0x2000);
    SetString(data, L"Model", queue.driver);
    RegCloseKey(data);
}

bool KeyExists(const std::wstring& path, std::wstring* marker)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    wchar_t value[512] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegQueryValueExW(key, kMarker, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS) {
        *marker = value;
    }
    RegCloseKey(key);
    return true;
}

// There, and with the value it was seeded with: not deleted and made again.
bool Untouched(const std::wstring& key)
{
    std::wstring marker;
    return KeyExists(key, &marker) && marker == key;
}

bool Contains(const std::vector<std::wstring>& list, const std::wstring& item)
{
    for (const std::wstring& entry : list) {
        if (entry == item) {
            return true;
        }
    }
    return false;
}

}  // namespace

void Check(const char* file, int line, bool condition, const char* format, ...)
{
    ++checks;
    if (condition) {
        return;
    }
    ++failures;
    std::printf("%s:%d: Test failed: ", file, line);
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::printf("\n");
}

int Failures() { return failures; }
int Checks() { return checks; }

std::wstring QueueKey(const std::wstring& queue) { return kPrint + L"Printers\\" + queue; }
std::wstring DataKey(const std::wstring& queue) { return QueueKey(queue) + L"\\PrinterDriverData"; }
std::wstring DriverKey(const std::wstring& driver)
{
    return kPrint + L"Environments\\Windows NT X86\\Drivers\\Version-2\\" + driver;
}

void SeedMachine()
{
    for (const std::wstring& key : SeededKeys()) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
    }
    for (const wchar_t* driver : kDrivers) {
        InstallDriver(DriverKey(driver));
    }
    InstallDriver(kOtherEnvironmentDriver);
    for (const Queue& queue : kQueues) {
        InstallQueue(queue);
    }
}

void AddSubkey(const std::wstring& key, const wchar_t* name)
{
    RegCloseKey(CreateKey(key + L"\\" + name));
}

void VerifyKey(const char* file, int line, const std::wstring& key, bool present)
{
    std::wstring marker;
    Check(file, line, KeyExists(key, &marker) == present, "%s should %s", Utf8(key).c_str(),
          present ? "exist" : "be gone");
}

void VerifyMachine(const char* file, int line, const std::vector<std::wstring>& gone)
{
    for (const std::wstring& key : SeededKeys()) {
        std::wstring marker;
        if (Contains(gone, key)) {
            Check(file, line, !KeyExists(key, &marker), "%s should be gone", Utf8(key).c_str());
        } else {
            Check(file, line, Untouched(key), "%s should be untouched, with its values", Utf8(key).c_str());
        }
    }
}

std::vector<std::wstring> RemovedBy(int model)
{
    const auto set = [](const std::wstring& name) {
        return std::vector<std::wstring>{DataKey(name), QueueKey(name), DriverKey(name)};
    };
    switch (model) {
    case 1:  // driver by the registry, queue by the spooler
        return {DriverKey(L"반토 QX-71KG PCL5e"), QueueKey(L"반토 QX-4400A PCL5e"), DataKey(L"반토 QX-4400A PCL5e")};
    case 2: {
        std::vector<std::wstring> keys = set(L"Korvel Lumaset R9mx PCL 5e");
        for (const std::wstring& key : set(L"Korvel Lumaset R9mx PCL 6")) {
            keys.push_back(key);
        }
        return keys;
    }
    case 3: {
        std::vector<std::wstring> keys = set(L"반토 QX-7100 PCL5e");
        keys.push_back(QueueKey(L"반토 QX-7150 PCL5e"));
        keys.push_back(DataKey(L"반토 QX-7150 PCL5e"));
        return keys;
    }
    case 4:
        return set(L"Pelnora 7100 PCL5e");
    default:
        return {};
    }
}

void PrintMachine()
{
    std::printf("  %-8s HKLM\\%s...\n", "", Utf8(kPrint).c_str());
    for (const std::wstring& key : SeededKeys()) {
        std::wstring marker;
        std::printf("  %-8s   %s\n", KeyExists(key, &marker) ? "present" : "REMOVED",
                    Utf8(key.substr(kPrint.size())).c_str());
    }
}

void PrintRemoval(int model)
{
    const std::vector<std::wstring> gone = RemovedBy(model);
    std::printf("  %-11s HKLM\\%s...\n", "", Utf8(kPrint).c_str());
    for (const std::wstring& key : gone) {
        std::wstring marker;
        std::printf("  %-11s   %s\n", KeyExists(key, &marker) ? "STILL THERE" : "removed",
                    Utf8(key.substr(kPrint.size())).c_str());
    }
    int unchanged = 0;
    for (const std::wstring& key : SeededKeys()) {
        if (Contains(gone, key)) {
            continue;
        }
        if (Untouched(key)) {
            ++unchanged;
        } else {
            std::printf("  %-11s   %s\n", "CHANGED", Utf8(key.substr(kPrint.size())).c_str());
        }
    }
    std::printf("  %d other keys and queues: unchanged\n", unchanged);
}

// --- running -----------------------------------------------------------------

const wchar_t* const kFollowOn = L"C:\\e2e\\followon.exe";

std::wstring BuiltFile(const std::wstring& name)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring built = self;
    built.resize(built.find_last_of(L'\\'));  // ...\build\win64\e2e
    return built + L"\\" + name;
}

std::wstring InstallersFolder()
{
    wchar_t folder[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"PRNUNINST_INSTALLERS", folder, MAX_PATH);
    ok(length > 0 && length < MAX_PATH, "PRNUNINST_INSTALLERS names no folder");
    std::wstring installers = L"Z:" + std::wstring(folder, length < MAX_PATH ? length : 0);
    for (wchar_t& c : installers) {
        c = c == L'/' ? L'\\' : c;
    }
    return installers;
}

void InstallPrograms(const std::vector<std::wstring>& utilityDirectories)
{
    // The first GUI process on a Wine desktop starts the desktop's own process,
    // which lingers for a second after its last client. Started here, outside
    // the runs' jobs, it no longer makes every run wait for it.
    GetDesktopWindow();

    const std::wstring followOn = BuiltFile(L"followon.exe");
    const std::wstring utility = BuiltFile(L"..\\prnuninst.exe");

    CreateDirectoryW(kDirectory, nullptr);
    ok(CopyFileW(followOn.c_str(), kFollowOn, FALSE) != 0, "copying %s failed", Utf8(followOn).c_str());
    const std::wstring target = std::wstring(kDirectory) + L"\\prnuninst.exe";
    ok(CopyFileW(utility.c_str(), target.c_str(), FALSE) != 0, "copying %s failed", Utf8(utility).c_str());
    for (const std::wstring& directory : utilityDirectories) {
        const std::wstring path = std::wstring(kDirectory) + L"\\" + directory;
        CreateDirectoryW(path.c_str(), nullptr);
        ok(CopyFileW(utility.c_str(), (path + L"\\prnuninst.exe").c_str(), FALSE) != 0, "copying to %s failed",
           Utf8(path).c_str());
    }
}

Run RunTail(const std::wstring& tail)
{
    return RunCommandLine(std::wstring(kDirectory) + L"\\prnuninst.exe " + tail);
}

Run RunCommandLine(const std::wstring& commandLine)
{
    Run run{~0u, {}};
    DeleteFileW(kLog);
    SetEnvironmentVariableW(L"PRNUNINST_FOLLOWON_LOG", kLog);

    // The follow-on program may outlive the utility: a job holds both, and
    // the run is over when the job is empty.
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::wstring line = commandLine;  // CreateProcessW may write to its buffer
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, kDirectory, &startup,
                        &process)) {
        ok(false, "cannot start %s: error %lu", Utf8(commandLine).c_str(), GetLastError());
        CloseHandle(job);
        return run;
    }
    AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    ok(WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0, "%s did not end within 60 s",
       Utf8(commandLine).c_str());
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    const DWORD deadline = GetTickCount() + 30000;
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    while (QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                     nullptr) &&
           accounting.ActiveProcesses > 0 && GetTickCount() < deadline) {
        Sleep(10);
    }
    ok(accounting.ActiveProcesses == 0, "a program started by %s was still running after 30 s",
       Utf8(commandLine).c_str());
    CloseHandle(job);

    HANDLE log = CreateFileW(kLog, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (log != INVALID_HANDLE_VALUE) {
        std::string text(65536, '\0');
        DWORD read = 0;
        ReadFile(log, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
        CloseHandle(log);
        text.resize(read);
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            run.started.push_back(Wide(text.substr(start, end - start)));
        }
    }
    return run;
}

void VerifyRun(const char* file, int line, const Run& run, const std::vector<std::wstring>& started)
{
    Check(file, line, run.exitCode == 0, "exit status %lu, expected 0", run.exitCode);
    std::string seen;
    for (const std::wstring& command : run.started) {
        seen += " [" + Utf8(command) + "]";
    }
    std::string expected;
    for (const std::wstring& command : started) {
        expected += " [" + Utf8(command) + "]";
    }
    Check(file, line, run.started == started, "started:%s; expected:%s", seen.empty() ? " nothing" : seen.c_str(),
          expected.empty() ? " nothing" : expected.c_str());
}
