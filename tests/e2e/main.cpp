// The end-to-end driver, run under wine64:
//   e2e_tests run GROUP   run one group of cases (models, refused, codepage1252, command_line,
//                         installer, planted, windows_installer, check)
//   e2e_tests seed        install the table's models and their neighbours, and
//                         copy the programs to C:\e2e
//   e2e_tests expect S    check that exactly the keys of the model with selector S
//                         are gone ("none": no model)
//   e2e_tests table       print every seeded key and whether it is there
//   e2e_tests removal S   print model S's keys as removed or not, and the rest in one line
//   e2e_tests found S FILE  check that FILE holds exactly what prncheck.exe must report of
//                         model S on the seeded machine
// Exits 0 when every check passed.
#include <cstdio>
#include <cstring>

#include "e2e.h"

namespace {

struct Group {
    const char* name;
    void (*run)();
};
const Group kGroups[] = {
    {"models", TestModels},
    {"refused", TestRefusedDeletion},
    {"codepage1252", TestCodePage1252},
    {"command_line", TestCommandLine},
    {"installer", TestInstaller},
    {"planted", TestPlantedDll},
    {"windows_installer", TestWindowsInstaller},
    {"check", TestCheck},
};

// One character; anything else (such as "none") selects no model.
char Selector(const char* argument)
{
    return std::strlen(argument) == 1 ? argument[0] : '\0';
}

int Usage()
{
    std::fprintf(stderr, "usage: e2e_tests run GROUP | seed | expect N | table | removal N | found N FILE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "run") == 0) {
        for (const Group& group : kGroups) {
            if (std::strcmp(group.name, argv[2]) == 0) {
                group.run();
                std::printf("e2e %s: %d checks, %d failures (code page %u)\n", group.name, Checks(), Failures(),
                            GetACP());
                return Failures() == 0 ? 0 : 1;
            }
        }
        return Usage();
    }
    if (argc == 2 && std::strcmp(argv[1], "seed") == 0) {
        InstallPrograms({});
        SeedMachine();
    } else if (argc == 3 && std::strcmp(argv[1], "expect") == 0) {
        verify_machine(RemovedBy(Selector(argv[2])));
    } else if (argc == 2 && std::strcmp(argv[1], "table") == 0) {
        PrintMachine();
    } else if (argc == 3 && std::strcmp(argv[1], "removal") == 0) {
        ok(Table().Find(Selector(argv[2])) != nullptr, "no model has the selector %s", argv[2]);
        PrintRemoval(Selector(argv[2]));
    } else if (argc == 4 && std::strcmp(argv[1], "found") == 0) {
        VerifyFound(Selector(argv[2]), ReadAll(Wide(argv[3]).c_str()));
    } else {
        return Usage();
    }
    return Failures() == 0 ? 0 : 1;
}
