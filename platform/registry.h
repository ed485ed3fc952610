// The registry access layer: every read and write of the program goes through these. Each call opens
// its own key and closes it again; nothing is cached and nothing is reported to the user.
#pragma once
#include <windows.h>
#include <stdlib.h>

// Process-wide access masks for opens (they pick the registry view of a 32-bit copy on 64-bit
// Windows) and the 64-bit Windows flag. A stretch that switches the masks puts them back before it returns.
extern DWORD RegReadAccess;
extern DWORD RegWriteAccess;
extern int RunningOnWow64;

DWORD RegReadString(HKEY root, const char* subkey, const char* name, char* out, DWORD maxLength);
DWORD RegReadDword(HKEY root, const char* subkey, const char* name);
DWORD RegProbeDword(HKEY root, const char* subkey, const char* name);  // 0xFFFFFFFF when missing
DWORD RegQueryType(HKEY root, const char* subkey, const char* name);
DWORD RegWriteString(HKEY root, const char* subkey, const char* name, const char* text);
DWORD RegWriteDword(HKEY root, const char* subkey, const char* name, const DWORD* value);
// A value exactly as stored, any type: for moving entries without changing a byte. Return the size
// read (0 when missing or larger than `capacity`) / 1 when written.
DWORD RegReadRaw(HKEY root, const char* subkey, const char* name, BYTE* data, DWORD capacity, DWORD* type);
DWORD RegWriteRaw(HKEY root, const char* subkey, const char* name, DWORD type, const BYTE* data, DWORD size);

// A whole value on the heap, whatever its size (up to the registry's own limits), for moves that
// must never cut: `data` holds `size` bytes followed by two zero bytes, so text can be read in place.
struct RegValueCopy {
  BYTE* data = nullptr;
  DWORD size = 0;
  DWORD type = 0;
  RegValueCopy() = default;
  RegValueCopy(const RegValueCopy&) = delete;
  RegValueCopy& operator=(const RegValueCopy&) = delete;
  ~RegValueCopy() { free(data); }
};
// 1 with the whole value; 0 when the key or value is missing or cannot be read whole.
int RegReadWhole(HKEY root, const char* subkey, const char* name, RegValueCopy* out);
int RegSameValue(const RegValueCopy* a, const RegValueCopy* b);  // same type and bytes
// Deletes a value outright, a key's default value too (which RegRemoveValue only blanks): 1 when the
// value is gone afterwards (also when it was never there), 0 when it could not be deleted.
DWORD RegEraseValue(HKEY root, const char* subkey, const char* name);
DWORD RegRemoveValue(HKEY root, const char* subkey, const char* name);
DWORD RegEnsureKey(HKEY root, const char* subkey);
// Creates a key (and missing parents) in the view of the caller's masks, which RegEnsureKey, taking
// no view, cannot: 1 when the key exists there afterwards.
DWORD RegEnsureKeyInView(HKEY root, const char* subkey);
// Removes a key and everything below it in the caller's view. A symbolic link (at the top or below)
// is never followed: the removal refuses (0) and the key it points at stays as it is.
DWORD RegRemoveKeyTree(HKEY root, const char* subkey);
int RegIsLink(HKEY root, const char* subkey);  // 1 when the key is a symbolic link to another key
DWORD RegDeleteKeyInView(HKEY root, const char* subkey, DWORD viewFlag);  // Win32 status, 0 = deleted
DWORD RegSelectView(int on);  // the layer's bare switch; the program uses the guards below

// Enumeration: open a key for reading with RegReadAccess (null when it cannot be opened; the caller
// closes it with RegCloseKey), then read entries by index.
HKEY RegOpenForReading(HKEY root, const char* subkey);
DWORD RegValueCount(HKEY key);  // 0 when unknown
// The value at `index`: ERROR_SUCCESS, ERROR_NO_MORE_ITEMS, or ERROR_MORE_DATA when it does not fit.
// Text data is always terminated (data needs one byte more than dataCapacity says).
LONG RegValueAt(HKEY key, DWORD index, char* name, DWORD nameCapacity, BYTE* data, DWORD dataCapacity,
                DWORD* dataSize, DWORD* type);
// The value at `index` whole, whatever its size: the name into `name` (kRegNameCapacity holds any
// registry name) and the data into `value`. ERROR_SUCCESS, ERROR_NO_MORE_ITEMS or another error.
enum { kRegNameCapacity = 16384 };
LONG RegWholeValueAt(HKEY key, DWORD index, char* name, RegValueCopy* value);
LONG RegSubkeyAt(HKEY key, DWORD index, char* name, DWORD nameCapacity);
DWORD SetFsRedirection(int restore, void** state);

// The one way to work in a registry view. A guard sets both masks for its view and puts the caller's
// masks back when it ends, on every path, so no stretch can leave a view switched:
// - DefaultRegView: the default view, where the product's own keys live (KEY_READ / KEY_ALL_ACCESS);
// - RegView64: the view 64-bit Windows itself uses for the machine's startup places, services and
//   the Run keys (the KEY_WOW64_64KEY masks on 64-bit Windows; the default view elsewhere).
struct RegViewGuard {
  DWORD savedRead, savedWrite;
  explicit RegViewGuard(int view64);
  ~RegViewGuard();
  RegViewGuard(const RegViewGuard&) = delete;
  RegViewGuard& operator=(const RegViewGuard&) = delete;
};
struct DefaultRegView : RegViewGuard {
  DefaultRegView() : RegViewGuard(0) {}
};
struct RegView64 : RegViewGuard {
  RegView64() : RegViewGuard(1) {}
};

// Turns file-system redirection off for the life of the object (64-bit Windows only).
struct RedirectionOff {
  void* state = nullptr;
  bool on = false;
  RedirectionOff() { on = RunningOnWow64 && SetFsRedirection(0, &state); }
  ~RedirectionOff() { Restore(); }
  void Restore() {
    if (on) SetFsRedirection(1, &state);
    on = false;
  }
};

const DWORD kKeyRead64 = KEY_READ | KEY_WOW64_64KEY;
const DWORD kKeyWrite64 = KEY_WRITE | KEY_WOW64_64KEY;
