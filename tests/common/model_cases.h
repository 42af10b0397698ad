// The model table as the tests know it: models.txt, which cmake/models.py
// writes beside the program's rows, holds each name as code-page bytes and as
// the text the table gives, in hex, apart from the C++ literals it checks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

struct TableModel {
    char selector;
    std::vector<std::string> keys;      // code-page bytes, as the program hands them on
    std::string queue;
    std::vector<std::string> keyTexts;  // UTF-8, as the table writes them
    std::string queueText;
    std::vector<std::string> drivers;      // code-page bytes, removed through the spooler
    std::vector<std::string> driverTexts;  // UTF-8
    std::vector<std::string> packages;     // INF file names, code-page bytes
    std::vector<uint64_t> below;           // each driver's bound, as the spooler's versions (0: none)
    bool Bounded() const { return std::any_of(below.begin(), below.end(), [](uint64_t b) { return b != 0; }); }
};

// Whether every name of the model is ASCII, the same bytes in every code page.
inline bool Ascii(const TableModel& model)
{
    std::string all = model.queue;
    for (const auto* names : {&model.keys, &model.drivers, &model.packages}) {
        for (const std::string& name : *names) {
            all += name;
        }
    }
    return std::all_of(all.begin(), all.end(), [](char c) { return (c & 0x80) == 0; });
}

struct ModelTable {
    unsigned codePage = 0;  // 0: the file could not be read
    unsigned registryView = 0;  // 64: keys name the 64-bit view; 0: a 32-bit program's
    std::vector<TableModel> models;

    const TableModel* Find(char selector) const;
};

ModelTable ReadModelTable(const std::string& path);

#ifdef PRNUNINST_MODEL_CASES
// The table the host build was made from, read once.
inline const ModelTable& BuiltModelTable()
{
    static const ModelTable table = ReadModelTable(PRNUNINST_MODEL_CASES);
    return table;
}
#endif
