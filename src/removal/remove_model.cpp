#include "removal.h"

#include <winspool.h>

void RemoveModel(CHAR selector)
{
    const ModelEntry* model = FindModel(selector);
    if (model == nullptr) {
        // Without a model there is no queue name, and opening a printer with
        // no name opens the print server itself: never delete through that.
        return;
    }

    // Results are ignored on purpose: a key that is gone or refused must not
    // stop the rest, and the queue is still handed to the spooler.
    for (unsigned i = 0; i < model->keyCount; ++i) {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, model->keys[i]);
    }

    CHAR datatype[] = "RAW";
    PRINTER_DEFAULTSA defaults = {datatype, nullptr, DELETE | PRINTER_ACCESS_ADMINISTER};
    HANDLE printer = nullptr;
    // The API takes a writable name but never writes through it.
    if (OpenPrinterA(const_cast<LPSTR>(model->printerName), &printer, &defaults) != 0) {
        DeletePrinter(printer);
        ClosePrinter(printer);
    }
}
