// Registry values in the Registry Editor's text form (.reg files): written as regedit writes them and
// read back exactly.
//
// The files are "REGEDIT4" files in the ANSI code page. That is the one form that both Windows' regedit
// and Wine's `regedit /s` import byte for byte as this ANSI program reads the values: an 8-bit file is
// read as ANSI text by both, and in a REGEDIT4 file the bytes of hex(1), hex(2) and hex(7) are ANSI
// text too. An 8-bit "Windows Registry Editor Version 5.00" file would not round-trip: Windows takes
// its hex(2)/hex(7) bytes as UTF-16, Wine takes them as ANSI, so one of the two imports garbage.
#pragma once
#include <windows.h>
#include <stddef.h>
#include <stdlib.h>

extern const char kRegFileHeader[];  // "REGEDIT4"

// A growing text the writers append to (always terminated). `failed` is set when memory ran out: the
// text is then incomplete and must not be used.
struct RegText {
  char* text = nullptr;
  size_t length = 0;
  size_t capacity = 0;
  bool failed = false;
  RegText() = default;
  RegText(const RegText&) = delete;
  RegText& operator=(const RegText&) = delete;
  ~RegText() { free(text); }
};
int AppendRegText(RegText* out, const char* text, size_t length);  // 1, or 0 when memory ran out
int AppendRegText(RegText* out, const char* text);
void ClearRegText(RegText* out);  // empty again; keeps the memory

const char* RegRootName(HKEY root);                     // "HKEY_LOCAL_MACHINE"...; null for other handles
HKEY RegRootFromName(const char* name, size_t length);  // null when not a root's full name

// The key line "[HKEY_...\path]" and CR LF. 0 when the path cannot be written (a line break in it).
int WriteRegKeyLine(RegText* out, HKEY root, const char* path);

// One value as regedit writes it, ending in CR LF: the name quoted ("name"=, with " and \ escaped) or @=
// for the default value, then
// - "text" for a REG_SZ that is plain text and its terminator (" and \ escaped),
// - dword:%08x for a REG_DWORD of four bytes,
// - hex: for REG_BINARY, hex(N): (N in hex) for every other type and for a REG_SZ that a quoted string
//   cannot carry exactly (a line break, bytes after the terminator, no terminator),
// the hex bytes wrapped like regedit's: after the comma that brings a line to column 77 or beyond, a "\"
// ends the line and the next starts with two blanks.
// 0 when the value cannot be written exactly (a line break in its name).
int WriteRegValue(RegText* out, const char* name, DWORD type, const BYTE* data, DWORD size);

// Reading back. The next logical line of a .reg text, from *pos on, without its line end; the
// continuation lines of a value ("\" at the end) are joined to it. 0 at the end of the text.
int NextRegLine(const char* text, size_t length, size_t* pos, RegText* line);

// A value as parsed from its line.
struct RegValueRecord {
  char* name = nullptr;  // "" for the default value
  BYTE* data = nullptr;  // `size` bytes, followed by two zero bytes
  DWORD size = 0;
  DWORD type = 0;
  RegValueRecord() = default;
  RegValueRecord(const RegValueRecord&) = delete;
  RegValueRecord& operator=(const RegValueRecord&) = delete;
  ~RegValueRecord() {
    free(name);
    free(data);
  }
};
// 1 when `line` is a value line in one of the forms above, with its exact name, type and bytes; 0 for
// anything else (a comment, a key line, a deletion, text that is not exactly one of those forms).
int ParseRegValueLine(const char* line, RegValueRecord* out);
// 1 when `line` is a key line of a known root: the root and the path (into `path`); for any other
// line 0, and both are left as they were.
int ParseRegKeyLine(const char* line, HKEY* root, RegText* path);
