#include "removal.h"

namespace {

// The Hangul word is written as its code page 949 bytes B9 DD C5 E4 so that
// the compiler's source and execution character sets cannot alter it.
constexpr ModelEntry kModels[] = {
    {'1', 1,
     {"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT X86\\Drivers\\Version-2\\\xB9\xDD\xC5\xE4 QX-71KG PCL5e"},
     "\xB9\xDD\xC5\xE4 QX-4400A PCL5e"},
    {'2', 6,
     {"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Korvel Lumaset R9mx PCL 5e\\PrinterDriverData",
      "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Korvel Lumaset R9mx PCL 5e",
      "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT X86\\Drivers\\Version-2\\Korvel Lumaset R9mx PCL 5e",
      "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Korvel Lumaset R9mx PCL 6\\PrinterDriverData",
      "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Korvel Lumaset R9mx PCL 6",
      "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT X86\\Drivers\\Version-2\\Korvel Lumaset R9mx PCL 6"},
     "Korvel Lumaset R9mx PCL 5e"},
    {'3', 3,
     {"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\\xB9\xDD\xC5\xE4 QX-7100 PCL5e\\PrinterDriverData",
      "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\\xB9\xDD\xC5\xE4 QX-7100 PCL5e",
      "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT X86\\Drivers\\Version-2\\\xB9\xDD\xC5\xE4 QX-7100 PCL5e"},
     "\xB9\xDD\xC5\xE4 QX-7150 PCL5e"},
    {'4', 3,
     {"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Pelnora 7100 PCL5e\\PrinterDriverData",
      "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Pelnora 7100 PCL5e",
      "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT X86\\Drivers\\Version-2\\Pelnora 7100 PCL5e"},
     "Pelnora 7100 PCL5e"},
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
