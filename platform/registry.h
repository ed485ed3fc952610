// The registry access layer: every read and write of the program goes through these. Each call opens
// its own key and closes it again; nothing is cached and nothing is reported to the user.
#pragma once
#include <windows.h>

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
DWORD RegRemoveValue(HKEY root, const char* subkey, const char* name);
DWORD RegEnsureKey(HKEY root, const char* subkey);
DWORD RegRemoveKeyTree(HKEY root, const char* subkey);
DWORD RegDeleteKeyInView(HKEY root, const char* subkey, DWORD viewFlag);  // Win32 status, 0 = deleted
DWORD RegSelectView(int on);

// Enumeration: open a key for reading with RegReadAccess (null when it cannot be opened; the caller
// closes it with RegCloseKey), then read entries by index.
HKEY RegOpenForReading(HKEY root, const char* subkey);
DWORD RegValueCount(HKEY key);  // 0 when unknown
// The value at `index`: ERROR_SUCCESS, ERROR_NO_MORE_ITEMS, or ERROR_MORE_DATA when it does not fit.
// Text data is always terminated (data needs one byte more than dataCapacity says).
LONG RegValueAt(HKEY key, DWORD index, char* name, DWORD nameCapacity, BYTE* data, DWORD dataCapacity,
                DWORD* dataSize, DWORD* type);
LONG RegSubkeyAt(HKEY key, DWORD index, char* name, DWORD nameCapacity);
DWORD SetFsRedirection(int restore, void** state);

// Saves and restores both masks around a stretch that selects another view.
struct RegMasks {
  DWORD read, write;
};
inline RegMasks SaveRegMasks() { return RegMasks{RegReadAccess, RegWriteAccess}; }
inline void RestoreRegMasks(RegMasks saved) {
  RegReadAccess = saved.read;
  RegWriteAccess = saved.write;
}

// Runs with the default view's masks, where the product's own machine keys live; puts the caller's back.
struct DefaultRegView {
  RegMasks saved = SaveRegMasks();
  DefaultRegView() {
    RegReadAccess = KEY_READ;
    RegWriteAccess = KEY_ALL_ACCESS;
  }
  ~DefaultRegView() { RestoreRegMasks(saved); }
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
