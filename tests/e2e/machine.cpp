// The seeded machine, the checks and the runs shared by every group of cases.
#include <cstdarg>
#include <cstdio>

#include "e2e.h"
#include "model_cases.h"

namespace {

int checks = 0;
int failures = 0;

const std::wstring kPrint = L"SYSTEM\\CurrentControlSet\\Control\\Print\\";
const wchar_t* const kDirectory = L"C:\\e2e";
const wchar_t* const kLog = L"C:\\e2e\\followon.log";

}  // namespace

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

namespace {

const std::wstring kPrinters = kPrint + L"Printers";

std::wstring Parent(const std::wstring& key)
{
    const size_t cut = key.rfind(L'\\');
    return cut == std::wstring::npos ? std::wstring() : key.substr(0, cut);
}

// Registry names do not depend on case.
std::wstring Folded(const std::wstring& key)
{
    std::wstring folded = key;
    CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

bool Within(const std::wstring& key, const std::wstring& ancestor)  // the key itself or below it
{
    const std::wstring k = Folded(key), a = Folded(ancestor);
    return k == a || (k.size() > a.size() && k.compare(0, a.size(), a) == 0 && k[a.size()] == L'\\');
}

// Whether the list names the key, in any case.
bool Contains(const std::vector<std::wstring>& list, const std::wstring& item)
{
    for (const std::wstring& entry : list) {
        if (Folded(entry) == Folded(item)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool IsQueue(const std::wstring& key) { return Folded(Parent(key)) == Folded(kPrinters); }

namespace {

// The same driver name in another environment is another driver.
std::wstring OtherEnvironment(const std::wstring& key)
{
    const std::wstring x86 = L"Environments\\Windows NT X86\\Drivers\\Version-2\\";
    const std::wstring x64 = L"Environments\\Windows x64\\Drivers\\Version-3\\";
    for (const auto& [from, to] : {std::pair{x86, x64}, std::pair{x64, x86}}) {
        if (Folded(key).rfind(Folded(kPrint + from), 0) == 0 && key.find(L'\\', (kPrint + from).size()) == std::wstring::npos) {
            return kPrint + to + key.substr((kPrint + from).size());
        }
    }
    return {};
}

// The same key in the other registry view, as a 64-bit program names it.
std::wstring OtherView(const std::wstring& key)
{
    const std::wstring software = L"SOFTWARE\\", wow = software + L"WOW6432Node\\";
    if (Folded(key).rfind(Folded(wow), 0) == 0) {
        return software + key.substr(wow.size());
    }
    return Folded(key).rfind(Folded(software), 0) == 0 ? wow + key.substr(software.size()) : std::wstring();
}

// The environments a driver of a model is installed in here: those of 64-bit
// Windows, of Windows 9x clients and of Windows RT. Its key there as Wine's
// spooler keeps it ("Windows 4.0" drivers are Version-0).
const wchar_t* const kDriverEnvironments[] = {L"Windows x64", L"Windows NT x86", L"Windows 4.0", L"Windows ARM"};
std::wstring InstalledDriverKey(const std::wstring& environment, const std::wstring& driver)
{
    return kPrint + L"Environments\\" + environment + L"\\Drivers\\Version-" +
           (environment == L"Windows 4.0" ? L"0\\" : L"3\\") + driver;
}

// Queues that use a model's driver under names of their own, with the driver
// each names ("Printer Driver"); every other seeded queue names a driver of
// its own name.
std::vector<std::pair<std::wstring, std::wstring>> DriverQueues()
{
    std::vector<std::pair<std::wstring, std::wstring>> queues;
    for (const TableModel& model : Table().models) {
        for (size_t i = 0; i < model.driverTexts.size(); ++i) {
            const std::wstring driver = Wide(model.driverTexts[i]);
            std::wstring upper = driver;
            CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
            const std::wstring n = std::wstring(1, static_cast<wchar_t>(model.selector)) + std::to_wstring(i);
            queues.push_back({QueueKey(driver + L" (Front desk)"), driver});
            queues.push_back({QueueKey(L"Reception " + n), upper});
            // A name the ANSI code page 1252 cannot hold.
            queues.push_back({QueueKey(L"Reception \u30C4" + n), driver});
        }
    }
    return queues;
}

std::wstring DriverOf(const std::wstring& queue)
{
    for (const auto& [key, driver] : DriverQueues()) {
        if (Folded(key) == Folded(queue)) {
            return driver;
        }
    }
    return queue.substr(Parent(queue).size() + 1);
}

// Every key the table names: the models' keys, and each queue the spooler is
// asked to delete, with its data key; for a model with drivers, the drivers
// in both environments and queues of theirs under other names.
std::vector<std::wstring> TableKeys()
{
    std::vector<std::wstring> keys;
    for (const TableModel& model : Table().models) {
        for (const std::string& key : model.keyTexts) {
            keys.push_back(Wide(key));
        }
        if (!model.queueText.empty()) {
            keys.insert(keys.end(), {QueueKey(Wide(model.queueText)), DataKey(Wide(model.queueText))});
        }
        for (const std::string& driver : model.driverTexts) {
            for (const wchar_t* environment : kDriverEnvironments) {
                keys.push_back(InstalledDriverKey(environment, Wide(driver)));
            }
        }
    }
    for (const auto& [queue, driver] : DriverQueues()) {
        keys.push_back(queue);
        keys.push_back(queue + L"\\PrinterDriverData");
    }
    return keys;
}

// Neighbours made from the table's names, beside every key whose folder the
// removal leaves: a sibling with a suffix, a name one character longer and
// one shorter, the same driver in another environment, the same key in the
// other registry view. A removal that matches too much, by prefix, or in the
// wrong place shows on them.
std::vector<std::wstring> Neighbours(const std::vector<std::wstring>& table)
{
    std::vector<std::wstring> neighbours;
    for (const std::wstring& key : table) {
        const std::wstring parent = Parent(key);
        bool kept = true;
        for (const std::wstring& other : table) {
            kept = kept && !Within(parent, other);
        }
        if (!kept) {
            continue;
        }
        const std::wstring name = key.substr(parent.size() + 1);
        for (const std::wstring& candidate :
             {key + L" (Copy 1)", key + L"0", name.size() > 1 ? key.substr(0, key.size() - 1) : std::wstring(),
              OtherEnvironment(key), OtherView(key)}) {
            bool clash = candidate.empty();
            for (const std::wstring& other : table) {
                clash = clash || Within(candidate, other) || Within(other, candidate);
            }
            if (!clash && !Contains(neighbours, candidate)) {
                neighbours.push_back(candidate);
            }
        }
    }
    return neighbours;
}

// The text as it comes back from the ANSI code page.
std::wstring ThroughCodePage(const std::wstring& text)
{
    std::string bytes(text.size() * 2 + 1, '\0');
    bytes.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                                         bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                                         nullptr)));
    std::wstring back(bytes.size() + 1, L'\0');
    back.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                        back.data(), static_cast<int>(back.size()))));
    return back;
}

// Every seeded key, the table's and the neighbours', with a data key for each
// queue; then the subkeys a case added.
std::vector<std::wstring> seeded;
std::vector<std::wstring> added;

std::vector<std::wstring> SeededKeys()
{
    if (seeded.empty()) {
        const std::vector<std::wstring> table = TableKeys();
        const std::vector<std::wstring> neighbours = Neighbours(table);
        for (const std::wstring& key : table) {
            if (!Contains(seeded, key)) {
                seeded.push_back(key);
            }
        }
        for (const std::wstring& key : neighbours) {
            seeded.push_back(key);
            if (IsQueue(key)) {
                seeded.push_back(key + L"\\PrinterDriverData");
            }
        }
        // Each driver queue's name as the ANSI code page hands it out ("?" or
        // a look-alike for what it lacks), as another driver's queue: a removal
        // that went by the ANSI list would delete that one instead.
        for (const auto& [queue, driver] : DriverQueues()) {
            const std::wstring lossy = ThroughCodePage(queue);
            if (lossy != queue && !Contains(seeded, lossy)) {
                seeded.push_back(lossy);
                seeded.push_back(lossy + L"\\PrinterDriverData");
            }
        }
    }
    std::vector<std::wstring> keys = seeded;
    keys.insert(keys.end(), added.begin(), added.end());
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

// A queue as the spooler keeps it: Wine's opens one only with "Port",
// "Print Processor" and "Datatype", and "Name" keeps its start-up set-up from
// writing one. Other keys hold a value of their own besides the marker.
void Install(const std::wstring& path)
{
    HKEY key = CreateKey(path);
    const std::wstring name = path.substr(Parent(path).size() + 1);
    if (IsQueue(path)) {
        SetString(key, L"Name", name);
        SetString(key, L"Port", L"FILE:");
        SetString(key, L"Print Processor", L"winprint");
        SetString(key, L"Datatype", L"RAW");
        SetString(key, L"Printer Driver", DriverOf(path));
        SetDword(key, L"Attributes", 0x40);
    } else {
        SetString(key, L"Driver", L"UNIDRV.DLL");
        SetString(key, L"Dependent Files", std::wstring(L"UNIRES.DLL") + L'\0' + L"STDNAMES.GPD" + L'\0', REG_MULTI_SZ);
        const size_t version = path.find(L"\\Version-");
        SetDword(key, L"Version", version != std::wstring::npos ? path[version + 9] - L'0' : 2);
    }
    RegCloseKey(key);
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

const ModelTable& Table()
{
    static const ModelTable table = ReadModelTable(Utf8(BuiltFile(L"..\\generated\\models.txt")));
    return table;
}

void SeedMachine()
{
    ok(!Table().models.empty(), "no model table beside the driver: ..\\generated\\models.txt");
    std::vector<std::wstring> keys = SeededKeys();
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, key->c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, key->c_str());
    }
    added.clear();
    for (const std::wstring& key : SeededKeys()) {
        Install(key);
    }
}

void AddSubkey(const std::wstring& key, const wchar_t* name)
{
    added.push_back(key + L"\\" + name);
    RegCloseKey(CreateKey(added.back()));
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

// The program's bytes name this key only where the ANSI code page reads them
// as the table's text: elsewhere they name another key, which is not there.
bool Reachable(const std::string& bytes, const std::string& text)
{
    std::wstring read(bytes.size() + 1, L'\0');
    read.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                        read.data(), static_cast<int>(read.size()))));
    return read == Wide(text);
}

// The model's drivers whose names the ANSI code page reads as the table's.
std::vector<std::wstring> ReachableDrivers(const TableModel& model)
{
    std::vector<std::wstring> drivers;
    for (size_t i = 0; i < model.drivers.size(); ++i) {
        if (Reachable(model.drivers[i], model.driverTexts[i])) {
            drivers.push_back(Wide(model.driverTexts[i]));
        }
    }
    return drivers;
}

std::vector<std::wstring> RemovedBy(char selector, bool spooler)
{
    const TableModel* model = Table().Find(selector);
    if (model == nullptr) {
        return {};
    }
    // The registry deletes a key that is there and has no subkey left, in
    // the table's order; then Wine's spooler deletes a queue it can open, whole.
    std::vector<std::wstring> present = SeededKeys(), gone;
    const auto remove = [&](const std::wstring& root, bool tree) {
        bool subkeys = false;
        for (const std::wstring& key : present) {
            subkeys = subkeys || (Within(key, root) && Folded(key) != Folded(root));
        }
        if (!Contains(present, root) || (subkeys && !tree)) {
            return;
        }
        for (auto key = present.begin(); key != present.end();) {
            if (Within(*key, root)) {
                gone.push_back(*key);
                key = present.erase(key);
            } else {
                ++key;
            }
        }
    };
    for (size_t i = 0; i < model->keys.size(); ++i) {
        if (Reachable(model->keys[i], model->keyTexts[i])) {
            remove(Wide(model->keyTexts[i]), false);
        }
    }
    if (!spooler) {
        return gone;
    }
    if (!model->queue.empty() && Reachable(model->queue, model->queueText)) {
        remove(QueueKey(Wide(model->queueText)), true);
    }
    // Then every queue of the model's drivers, whole, and the drivers in each
    // environment, whole (Wine's spooler keeps no files of its own for them).
    const std::vector<std::wstring> drivers = ReachableDrivers(*model);
    const std::vector<std::wstring> queues = present;
    for (const std::wstring& queue : queues) {
        if (IsQueue(queue) && Contains(drivers, DriverOf(queue))) {
            remove(queue, true);
        }
    }
    for (const std::wstring& driver : drivers) {
        for (const wchar_t* environment : kDriverEnvironments) {
            remove(InstalledDriverKey(environment, driver), true);
        }
    }
    return gone;
}

std::vector<std::wstring> FoundBy(char selector)
{
    const TableModel* model = Table().Find(selector);
    std::vector<std::wstring> lines;
    if (model == nullptr) {
        return lines;
    }
    const std::vector<std::wstring> present = SeededKeys();
    for (size_t i = 0; i < model->keys.size(); ++i) {
        if (Reachable(model->keys[i], model->keyTexts[i]) && Contains(present, Wide(model->keyTexts[i]))) {
            lines.push_back(L"key HKLM\\" + Wide(model->keyTexts[i]));
        }
    }
    // A model found by its drivers alone names no queue.
    const std::wstring named = model->queueText.empty() ? std::wstring() : QueueKey(Wide(model->queueText));
    if (!named.empty() && Reachable(model->queue, model->queueText) && Contains(present, named)) {
        lines.push_back(L"queue " + Wide(model->queueText));
    }
    const std::vector<std::wstring> drivers = ReachableDrivers(*model);
    for (const std::wstring& queue : present) {
        if (IsQueue(queue) && Folded(queue) != Folded(named) && Contains(drivers, DriverOf(queue))) {
            lines.push_back(L"queue " + queue.substr(Parent(queue).size() + 1));
        }
    }
    // With a bound, each driver's version: Wine reports 0 for every one.
    for (const wchar_t* environment : kDriverEnvironments) {
        for (const std::wstring& driver : drivers) {
            lines.push_back(L"driver " + driver + (model->Bounded() ? L" 0.0.0.0" : L"") + L" (" + environment + L")");
        }
    }
    return lines;
}

std::wstring Shown(const std::wstring& key)
{
    return key.rfind(kPrint, 0) == 0 ? key.substr(kPrint.size()) : L"HKLM\\" + key;
}

void PrintMachine()
{
    std::printf("  %-8s HKLM\\%s...\n", "", Utf8(kPrint).c_str());
    for (const std::wstring& key : SeededKeys()) {
        std::wstring marker;
        std::printf("  %-8s   %s\n", KeyExists(key, &marker) ? "present" : "REMOVED",
                    Utf8(Shown(key)).c_str());
    }
}

void PrintRemoval(char model)
{
    const std::vector<std::wstring> gone = RemovedBy(model);
    std::printf("  %-11s HKLM\\%s...\n", "", Utf8(kPrint).c_str());
    for (const std::wstring& key : gone) {
        std::wstring marker;
        std::printf("  %-11s   %s\n", KeyExists(key, &marker) ? "STILL THERE" : "removed",
                    Utf8(Shown(key)).c_str());
    }
    int unchanged = 0;
    for (const std::wstring& key : SeededKeys()) {
        if (Contains(gone, key)) {
            continue;
        }
        if (Untouched(key)) {
            ++unchanged;
        } else {
            std::printf("  %-11s   %s\n", "CHANGED", Utf8(Shown(key)).c_str());
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
    const std::wstring check = BuiltFile(L"..\\prncheck.exe");
    ok(CopyFileW(check.c_str(), (std::wstring(kDirectory) + L"\\prncheck.exe").c_str(), FALSE) != 0,
       "copying %s failed", Utf8(check).c_str());
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

Run RunCheck(const std::wstring& tail)
{
    return RunCommandLine(std::wstring(kDirectory) + L"\\prncheck.exe " + tail, true);
}

namespace {

// A file the started program inherits as its standard output or error.
HANDLE Capture(const wchar_t* path)
{
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    return CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, nullptr);
}

}  // namespace

std::string ReadAll(const wchar_t* path)
{
    std::string text;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        text.resize(65536);
        DWORD read = 0;
        ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
        text.resize(read);
        CloseHandle(file);
    }
    return text;
}

Run RunCommandLine(const std::wstring& commandLine, bool capture)
{
    Run run{~0u, {}, {}, {}};
    DeleteFileW(kLog);
    SetEnvironmentVariableW(L"PRNUNINST_FOLLOWON_LOG", kLog);

    // The follow-on program may outlive the utility: a job holds both, and
    // the run is over when the job is empty.
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    const wchar_t* const outPath = L"C:\\e2e\\stdout.txt";
    const wchar_t* const errPath = L"C:\\e2e\\stderr.txt";
    if (capture) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = Capture(outPath);
        startup.hStdError = Capture(errPath);
    }
    PROCESS_INFORMATION process = {};
    std::wstring line = commandLine;  // CreateProcessW may write to its buffer
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, capture, CREATE_SUSPENDED, nullptr,
                                        kDirectory, &startup, &process);
    if (capture) {
        CloseHandle(startup.hStdOutput);
        CloseHandle(startup.hStdError);
    }
    if (!started) {
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

    ReadLines(kLog, &run.started);
    if (capture) {
        run.out = ReadAll(outPath);
        run.err = ReadAll(errPath);
    }
    return run;
}

bool ReadLines(const std::wstring& path, std::vector<std::wstring>* lines)
{
    HANDLE log = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             0, nullptr);
    if (log == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::string text(65536, '\0');
    DWORD read = 0;
    ReadFile(log, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(log);
    text.resize(read);
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines->push_back(Wide(text.substr(start, end - start)));
    }
    return true;
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
