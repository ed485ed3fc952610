// The settings export (the product's own registry keys saved as a .reg file the user can double-click
// to put them back) and the silent repair import of temp.reg.
#pragma once
#include <windows.h>
#include <stddef.h>

#include "records/reg_export.h"

// ProgramFolder\<user>-Vandrelix.reg, then a message with its path. 1 when written, 0 when the file
// could not be created or written (no message then).
int ExportSettings();
// The two product keys into a .reg file at `path`, nothing shown; 1 when written whole.
int ExportSettingsTo(const char* path);
// A key line with its values, then every subkey below it the same way, into `out`. Returns the
// number of subkeys written.
int ExportKey(RegText* out, HKEY root, const char* keyPath);
// The values of one key, each in the Registry Editor's form for its type; the number written.
int ExportValues(RegText* out, HKEY root, const char* keyPath);
// Starts the Registry Editor on DataFolder\temp.reg, silently. 1 when there was nothing to do or it
// started, 0 when it could not be started.
int ImportRepairFile();
// The key path as a .reg file names it for the registry view the program reads: on 64-bit Windows a
// machine key under SOFTWARE is named through Wow6432Node, so any Registry Editor puts it back where
// this 32-bit program finds it. 0 when it does not fit in `cap` (`out` then holds a cut path).
int ExportedKeyPath(HKEY root, const char* keyPath, int wow64, char* out, size_t cap = 600);
