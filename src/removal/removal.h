// Printer model removal: the fixed table of models and the procedure that
// removes one of them from the machine.
#pragma once

#include <windows.h>

#include "model_limits.h"

// One removable printer model. Every string is a byte string in the model
// table's code page, handed unchanged to the "A" platform calls.
struct ModelEntry {
    CHAR selector;            // command-line byte: an ASCII letter or digit
    unsigned keyCount;        // 1 to kMaxModelKeys (0 for a model with drivers)
    LPCSTR keys[kMaxModelKeys];  // paths under HKEY_LOCAL_MACHINE, in deletion order
    LPCSTR printerName;       // queue name handed to the spooler; nullptr: found by drivers alone
#if PRNUNINST_MODEL_DRIVERS
    unsigned driverCount;     // 0 to kMaxModelDrivers
    // Removed through the spooler, with every queue that uses one; read in the
    // ANSI code page, as an "A" call's name would be, for the "W" calls.
    LPCSTR drivers[kMaxModelDrivers];
#if PRNUNINST_DRIVER_BOUNDS
    // For each driver, the version it is the model's below, as the spooler
    // reports one (DRIVER_INFO_6's dwlDriverVersion); 0: every version is.
    DWORDLONG below[kMaxModelDrivers];
    // Whether one of them has a bound: then the versions decide which of its
    // drivers and queues are the model's, its named queue included.
    bool bounded;
#endif
    unsigned packageCount;    // 0 to kMaxModelPackages: 0 deletes no package
    // INF file names: a driver package of the model's drivers is deleted only
    // when its INF is one of these, since one package often holds other models.
    LPCSTR packages[kMaxModelPackages];
#endif
};

// Whether the model names a queue for the spooler. One found by its drivers
// alone names none: a printer opened with no name is the print server itself.
inline bool NamesQueue(const ModelEntry& model)
{
#if PRNUNINST_MODEL_DRIVERS
    return model.printerName != nullptr;
#else
    static_cast<void>(model);
    return true;
#endif
}

// The entry whose selector equals the byte exactly, or nullptr.
const ModelEntry* FindModel(CHAR selector);

// Deletes the selected model's keys in table order, then has the spooler
// delete its queue, if it names one and the name opens that queue itself,
// its jobs purged first. A selector that matches no model does nothing at
// all.
void RemoveModel(CHAR selector);

// Deletes the queue open on `printer`, jobs first, when it is the queue
// named `name` itself, and closes the handle.
void DeleteQueue(HMODULE spooler, HANDLE printer, LPCWSTR name);

#if PRNUNINST_MODEL_DRIVERS

// After the named queue: every local queue of the model's drivers, then the
// drivers in every environment, then their driver packages, through the
// spooler DLL `spooler`. Missing exports skip their step; nothing is reported.
void RemoveDrivers(const ModelEntry& model, HMODULE spooler);
#endif
