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
DWORD RegRemoveValue(HKEY root, const char* subkey, const char* name);
DWORD RegEnsureKey(HKEY root, const char* subkey);
DWORD RegRemoveKeyTree(HKEY root, const char* subkey);
DWORD RegDeleteKeyInView(HKEY root, const char* subkey, DWORD viewFlag);  // Win32 status, 0 = deleted
DWORD RegSelectView(int on);
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
