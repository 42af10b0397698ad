#include "model_cases.h"

#include <fstream>
#include <sstream>

namespace {

std::string FromHex(const std::string& hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

}  // namespace

const TableModel* ModelTable::Find(char selector) const
{
    for (const TableModel& model : models) {
        if (model.selector == selector) {
            return &model;
        }
    }
    return nullptr;
}

ModelTable ReadModelTable(const std::string& path)
{
    ModelTable table;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string kind, bytes, text;
        uint64_t below = 0;  // a driver's "w.x.y.z" bound, if it has one
        fields >> kind >> bytes >> text;
        for (unsigned part; fields >> part; fields.ignore()) {
            below = below << 16 | part;
        }
        if (kind == "code_page") {
            table.codePage = static_cast<unsigned>(std::stoul(bytes));
        } else if (kind == "model") {
            table.models.push_back({bytes.at(0), {}, {}, {}, {}, {}, {}, {}, {}});
        } else if (kind == "registry_view") {
            table.registryView = static_cast<unsigned>(std::stoul(bytes));
        } else if (kind == "driver") {
            table.models.back().drivers.push_back(FromHex(bytes));
            table.models.back().driverTexts.push_back(FromHex(text));
            table.models.back().below.push_back(below);
        } else if (kind == "package") {
            table.models.back().packages.push_back(FromHex(bytes));
        } else if (kind == "key") {
            table.models.back().keys.push_back(FromHex(bytes));
            table.models.back().keyTexts.push_back(FromHex(text));
        } else if (kind == "queue") {
            table.models.back().queue = FromHex(bytes);
            table.models.back().queueText = FromHex(text);
        }
    }
    return table;
}
