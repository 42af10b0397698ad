// The start-up's first step: where later loads of DLLs by bare name look.
#pragma once

// Makes every later load by bare name (what system DLLs do for their own
// helpers) search System32 only, where the system offers that; elsewhere
// changes nothing.
void RestrictDllSearch();
