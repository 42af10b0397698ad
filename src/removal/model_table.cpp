#include "removal.h"

namespace {

// The rows come from the model table file (models/*.toml) through
// cmake/models.py, which checks it and writes every name as whole literals of
// the table's code-page bytes, so that the compiler's character sets cannot
// alter them.
constexpr ModelEntry kModels[] = {
#include "model_table.inc"
};

}  // namespace

const ModelEntry* FindModel(CHAR selector)
{
    for (const ModelEntry& model : kModels) {
        if (model.selector == selector) {
            return &model;
        }
    }
    return nullptr;
}
