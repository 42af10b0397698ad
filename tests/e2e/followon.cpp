// The follow-on program of the end-to-end tests: appends its own command line,
// as one UTF-8 line, to the file named by PRNUNINST_FOLLOWON_LOG, then exits.
// Where PRNUNINST_FOLLOWON_PARENT_LOG names a file, it also appends the path
// of the program that started it there, to tell where that one ran from.
// PRNUNINST_FOLLOWON_STATUS, when set, is its exit status (a stand-in that
// crashes, for the fleet scripts).
#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>

namespace {

void AppendLine(const wchar_t* variable, const wchar_t* text)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(variable, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    HANDLE log = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) {
        return;
    }
    char line[4096];
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, line, sizeof line - 1, nullptr, nullptr);
    size = size > 0 ? size - 1 : 0;  // without the NUL
    line[size] = '\n';
    DWORD written = 0;
    WriteFile(log, line, static_cast<DWORD>(size + 1), &written, nullptr);
    CloseHandle(log);
}

// The starting program waits for this one to be idle or gone, so it is
// still there to be asked.
void AppendParent()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    DWORD parent = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        parent = entry.th32ProcessID == GetCurrentProcessId() ? entry.th32ParentProcessID : parent;
    }
    CloseHandle(snapshot);
    wchar_t image[MAX_PATH] = L"(unknown)";
    DWORD size = MAX_PATH;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent);
    if (process != nullptr) {
        QueryFullProcessImageNameW(process, 0, image, &size);
        CloseHandle(process);
    }
    AppendLine(L"PRNUNINST_FOLLOWON_PARENT_LOG", image);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    AppendLine(L"PRNUNINST_FOLLOWON_LOG", GetCommandLineW());
    AppendParent();
    wchar_t status[16];
    const DWORD length = GetEnvironmentVariableW(L"PRNUNINST_FOLLOWON_STATUS", status, 16);
    return length > 0 && length < 16 ? static_cast<int>(std::wcstol(status, nullptr, 10)) : 0;
}
