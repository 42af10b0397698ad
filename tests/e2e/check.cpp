// prncheck.exe on the seeded machine, for each model of the table: status 1
// and a line for each thing of the model that is there, none for the
// neighbours, the machine unchanged; after prnuninst.exe, status 0 and no
// output. /a: every model's lines after its selector, until each is removed.
// No model, or no /f, gives status 2 and a line on standard error.
#include <algorithm>

#include "e2e.h"

namespace {

std::vector<std::wstring> Sorted(const std::string& out)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = out.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(Wide(out.substr(start, end - start)));
    }
    if (start != out.size()) {
        lines.push_back(L"(no line end) " + Wide(out.substr(start)));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string Listed(const std::vector<std::wstring>& lines)
{
    std::string text;
    for (const std::wstring& line : lines) {
        text += "\n    " + Utf8(line);
    }
    return text.empty() ? " nothing" : text;
}

void test_each_model()
{
    ok(GetACP() == Table().codePage, "this group needs code page %u, not %u", Table().codePage, GetACP());
    for (const TableModel& model : Table().models) {
        const std::wstring selector = L"/f" + std::wstring(1, static_cast<wchar_t>(model.selector));
        SeedMachine();
        Run run = RunCheck(selector);
        ok(run.exitCode == 1, "%s: exit status %lu, expected 1", Utf8(selector).c_str(), run.exitCode);
        VerifyFound(model.selector, run.out);
        ok(run.err.empty(), "%s wrote to standard error: %s", Utf8(selector).c_str(), run.err.c_str());
        verify_machine({});

        verify_run(RunTail(selector + kFollowOn), {kFollowOn});
        run = RunCheck(selector);
        ok(run.exitCode == 0 && run.out.empty() && run.err.empty(), "%s after the removal: status %lu, found:%s%s",
           Utf8(selector).c_str(), run.exitCode, Listed(Sorted(run.out)).c_str(), run.err.c_str());
    }
}

void test_no_answer()
{
    std::wstring unknown = L"/f";
    for (const wchar_t c : std::wstring(L"90Zz")) {
        if (Table().Find(static_cast<char>(c)) == nullptr) {
            unknown += c;
            break;
        }
    }
    for (const std::wstring& tail : {std::wstring(), std::wstring(L"/x"), unknown, unknown.substr(0, 2)}) {
        const Run run = RunCheck(tail);
        const size_t end = run.err.find("\r\n");
        ok(run.exitCode == 2 && run.out.empty() && run.err.rfind("prncheck: ", 0) == 0 && end + 2 == run.err.size(),
           "[%s]: status %lu, expected 2 with one line on standard error, got [%s] and [%s]", Utf8(tail).c_str(),
           run.exitCode, run.out.c_str(), run.err.c_str());
    }
}

// /a on the seeded machine, then after each model's removal in turn.
void test_every_model()
{
    SeedMachine();
    VerifyEvery(RunCheck(L"/a"));
    for (size_t removed = 1; removed <= Table().models.size(); ++removed) {
        const std::wstring selector(1, static_cast<wchar_t>(Table().models[removed - 1].selector));
        verify_run(RunTail(L"/f" + selector + kFollowOn), {kFollowOn});
        VerifyEvery(RunCheck(L"/a"), removed);
    }
}

}  // namespace

void VerifyEvery(const Run& run, size_t removed)
{
    std::vector<std::wstring> expected;
    std::vector<std::string> reasons;
    int status = 0;
    for (const TableModel& model : Table().models) {
        if (&model - Table().models.data() < static_cast<std::ptrdiff_t>(removed)) {
            continue;
        }
        const std::wstring selector(1, static_cast<wchar_t>(model.selector));
        if (!Ascii(model) && GetACP() != Table().codePage) {
            reasons.push_back("prncheck: model " + Utf8(selector) + ": ");
            status = 2;
            continue;
        }
        for (const std::wstring& line : FoundBy(model.selector)) {
            expected.push_back(selector + L" " + line);
            status = std::max(status, 1);
        }
    }
    std::sort(expected.begin(), expected.end());
    // Each reason is one line, after the model's selector: its first 19 bytes.
    std::vector<std::string> said;
    for (size_t start = 0, end; (end = run.err.find("\r\n", start)) != std::string::npos; start = end + 2) {
        said.push_back(run.err.substr(start, std::min<size_t>(19, end - start)));
    }
    std::sort(said.begin(), said.end());
    std::sort(reasons.begin(), reasons.end());
    ok(run.exitCode == static_cast<DWORD>(status) && Sorted(run.out) == expected && said == reasons,
       "/a: status %lu, expected %d; found:%s\n  expected:%s\n  standard error: %s", run.exitCode, status,
       Listed(Sorted(run.out)).c_str(), Listed(expected).c_str(), run.err.c_str());
}

void VerifyFound(char selector, const std::string& out)
{
    std::vector<std::wstring> expected = FoundBy(selector);
    std::sort(expected.begin(), expected.end());
    ok(Sorted(out) == expected, "/f%c: found:%s\n  expected:%s", selector, Listed(Sorted(out)).c_str(),
       Listed(expected).c_str());
}

void TestCheck()
{
    InstallPrograms({});
    test_each_model();
    test_every_model();
    test_no_answer();
}
