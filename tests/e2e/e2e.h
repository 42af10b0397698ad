// Helpers of the end-to-end tests, in the manner of Wine's programs/reg/tests:
// every case seeds the registry, runs the built utility as a real process and
// checks its exit status, the registry and what it started.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "model_cases.h"

// --- checks: counted; a failure prints file:line and its message -----------
void Check(const char* file, int line, bool condition, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
#define ok(condition, ...) Check(__FILE__, __LINE__, (condition), __VA_ARGS__)
int Failures();
int Checks();

// UTF-8 and UTF-16, as the model table's text and the registry's names.
std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& text);

// --- the machine: every key the tests seed, under HKLM --------------------
// Key paths are UTF-16, so seeding and checking do not depend on the code
// page the utility runs under.
std::wstring QueueKey(const std::wstring& queue);         // ...\Print\Printers\<queue>
std::wstring DataKey(const std::wstring& queue);          // <queue key>\PrinterDriverData
std::wstring DriverKey(const std::wstring& driver);       // ...\Windows NT X86\Drivers\Version-2\<driver>
bool IsQueue(const std::wstring& key);                    // a key right under ...\Print\Printers

// The model table the utility beside the driver was built from (its
// models.txt, in ..\generated).
const ModelTable& Table();
// Removes every seeded key, then installs every key and queue the table names
// and neighbours made from their names.
void SeedMachine();
// Gives a seeded key one more subkey, so that the registry refuses to delete
// it; the subkey is checked like the seeded keys until the next SeedMachine.
void AddSubkey(const std::wstring& key, const wchar_t* name);

// Every seeded key with whether it exists; "gone" lists what a run may have
// deleted: each of those must be absent and every other seeded key must be
// present with the value it was seeded with.
#define verify_machine(...) VerifyMachine(__FILE__, __LINE__, __VA_ARGS__)
void VerifyMachine(const char* file, int line, const std::vector<std::wstring>& gone);
#define verify_key(key) VerifyKey(__FILE__, __LINE__, (key), true)
#define verify_key_gone(key) VerifyKey(__FILE__, __LINE__, (key), false)
void VerifyKey(const char* file, int line, const std::wstring& key, bool present);

// What removing the model deletes on the machine as seeded (and given
// subkeys), under this process's code page: its keys in order, each one that
// is there and has no subkey left, then its queue, whole, if it is still
// there, then every queue of its drivers and the drivers. A key whose bytes
// the code page reads as another name is not found. Without `spooler`, only
// the keys: what a run that skips the spooler step deletes.
std::vector<std::wstring> RemovedBy(char selector, bool spooler = true);
// What prncheck.exe must report of the model on the machine as seeded, under
// this process's code page, one line each: its keys, its queue, every queue
// of its drivers and the drivers in each environment.
std::vector<std::wstring> FoundBy(char selector);
// Checks prncheck.exe's standard output against FoundBy, in any order.
void VerifyFound(char selector, const std::string& out);
// The keys of the seeded machine and whether they are there, as a table.
void PrintMachine();
// What removing the model should have deleted, each as removed or not, and
// how many of the other seeded keys are unchanged (any other is listed).
void PrintRemoval(char selector);

// --- running the utility ---------------------------------------------------
extern const wchar_t* const kFollowOn;  // C:\e2e\followon.exe: records its command line
struct Run {
    DWORD exitCode;
    std::vector<std::wstring> started;  // command lines the follow-on program recorded
    std::string out, err;               // its standard output and error, when captured
};
// Copies the built programs to C:\e2e\ (the utility also under the given
// subdirectory names), so that cases can run them from chosen paths.
void InstallPrograms(const std::vector<std::wstring>& utilityDirectories);
// The file of that name that the win64 build put beside the driver.
std::wstring BuiltFile(const std::wstring& name);
// The folder makensis and wixl wrote the installers to (PRNUNINST_INSTALLERS,
// a Unix path), as drive Z: reaches it.
std::wstring InstallersFolder();
// Runs "C:\e2e\prnuninst.exe <tail>" and waits for it and all it started.
Run RunTail(const std::wstring& tail);
// Runs the given whole command line the same way; with `capture`, its
// standard output and error go to files read back into the Run.
Run RunCommandLine(const std::wstring& commandLine, bool capture = false);
// Runs "C:\e2e\prncheck.exe <tail>", its output captured.
Run RunCheck(const std::wstring& tail);
// Checks a run of prncheck.exe /a: each model's FoundBy after its selector,
// or, for a model whose names this code page cannot read, its reason; the
// first `removed` models of the table are gone.
void VerifyEvery(const Run& run, size_t removed = 0);
// A file's bytes (the first 64 KiB), "" when there is no such file.
std::string ReadAll(const wchar_t* path);
// Appends each UTF-8 line of a file the follow-on program wrote; false when
// there is no such file.
bool ReadLines(const std::wstring& path, std::vector<std::wstring>* lines);
#define verify_run(run, ...) VerifyRun(__FILE__, __LINE__, (run), __VA_ARGS__)
void VerifyRun(const char* file, int line, const Run& run, const std::vector<std::wstring>& started);

// --- groups of cases, one file each ----------------------------------------
void TestModels();
void TestRefusedDeletion();
void TestCodePage1252();
void TestCommandLine();
void TestInstaller();
void TestPlantedDll();
void TestWindowsInstaller();
void TestCheck();
