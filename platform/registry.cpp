#include "platform/registry.h"

#include <string.h>

#include "platform/settings.h"
#include "platform/text.h"

DWORD RegReadAccess = KEY_READ;
DWORD RegWriteAccess = KEY_WRITE;
int RunningOnWow64 = 0;

namespace {

const DWORD kQueryBytes = 1024;

// Queries a value into a 1024-byte buffer (one spare byte keeps it terminated).
// Returns 1 with the type; 0 when the key or value is missing or the value is larger.
int QueryValue(HKEY root, const char* subkey, const char* name, char* data, DWORD* type) {
  HKEY key;
  if (RegOpenKeyExA(root, subkey, 0, RegReadAccess, &key) != ERROR_SUCCESS) return 0;
  DWORD size = kQueryBytes;
  LONG rc = RegQueryValueExA(key, name, nullptr, type, (BYTE*)data, &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return 0;
  data[size < kQueryBytes ? size : kQueryBytes] = 0;
  return 1;
}

}  // namespace

DWORD RegReadString(HKEY root, const char* subkey, const char* name, char* out, DWORD maxLength) {
  if (out && maxLength) out[0] = 0;
  char data[kQueryBytes + 1];
  DWORD type = 0;
  if (!QueryValue(root, subkey, name, data, &type)) return 0;

  if (type == REG_EXPAND_SZ) {
    // Expanded with redirection off, so system-folder variables name the real folders.
    RedirectionOff redirection;
    char expanded[kQueryBytes];
    DWORD need = ExpandEnvironmentStringsA(data, expanded, kQueryBytes - 1);
    redirection.Restore();
    if (need == 0 || need > kQueryBytes - 1) {
      TraceLine("Registry Error #1023: String can not be expanded", data);
    } else {
      CopyText(data, sizeof data, expanded);
    }
  }
  if (type == REG_DWORD) data[0] = 0;

  size_t length = strlen(data);
  if (!out || length + 1 > maxLength) {
    if (out && maxLength) out[0] = 0;
    return 0;
  }
  memcpy(out, data, length + 1);
  return (DWORD)length;
}

static DWORD QueryDword(HKEY root, const char* subkey, const char* name, DWORD failure) {
  HKEY key;
  if (RegOpenKeyExA(root, subkey, 0, RegReadAccess, &key) != ERROR_SUCCESS) return failure;
  DWORD value = 0, size = sizeof value;
  LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, (BYTE*)&value, &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? value : failure;
}

DWORD RegReadDword(HKEY root, const char* subkey, const char* name) { return QueryDword(root, subkey, name, 0); }

DWORD RegProbeDword(HKEY root, const char* subkey, const char* name) {
  return QueryDword(root, subkey, name, 0xFFFFFFFF);
}

DWORD RegQueryType(HKEY root, const char* subkey, const char* name) {
  char data[kQueryBytes + 1];
  DWORD type = 0;
  return QueryValue(root, subkey, name, data, &type) ? type : 0;
}

static DWORD WriteValue(HKEY root, const char* subkey, const char* name, DWORD type, const BYTE* data,
                        DWORD size) {
  HKEY key;
  if (RegOpenKeyExA(root, subkey, 0, RegWriteAccess, &key) != ERROR_SUCCESS) {
    if (!RegEnsureKey(root, subkey)) return 0;
    if (RegOpenKeyExA(root, subkey, 0, RegWriteAccess, &key) != ERROR_SUCCESS) return 0;
  }
  LONG rc = RegSetValueExA(key, name, 0, type, data, size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? 1 : 0;
}

DWORD RegWriteString(HKEY root, const char* subkey, const char* name, const char* text) {
  if (!text) text = "";
  return WriteValue(root, subkey, name, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
}

DWORD RegWriteDword(HKEY root, const char* subkey, const char* name, const DWORD* value) {
  if (!value) return 0;
  return WriteValue(root, subkey, name, REG_DWORD, (const BYTE*)value, sizeof *value);
}

DWORD RegReadRaw(HKEY root, const char* subkey, const char* name, BYTE* data, DWORD capacity, DWORD* type) {
  HKEY key;
  if (RegOpenKeyExA(root, subkey, 0, RegReadAccess, &key) != ERROR_SUCCESS) return 0;
  DWORD size = capacity;
  LONG rc = RegQueryValueExA(key, name, nullptr, type, data, &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? size : 0;
}

DWORD RegWriteRaw(HKEY root, const char* subkey, const char* name, DWORD type, const BYTE* data, DWORD size) {
  return WriteValue(root, subkey, name, type, data, size);
}

int RegReadWhole(HKEY root, const char* subkey, const char* name, RegValueCopy* out) {
  free(out->data);
  out->data = nullptr;
  out->size = out->type = 0;
  HKEY key;
  if (RegOpenKeyExA(root, subkey, 0, RegReadAccess, &key) != ERROR_SUCCESS) return 0;
  int result = 0;
  DWORD size = 0, type = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  // The size asked first may be short of what comes (a value changed meanwhile): ask again then.
  for (int attempt = 0; rc == ERROR_SUCCESS && attempt < 4 && !result; ++attempt) {
    BYTE* data = (BYTE*)malloc((size_t)size + 2);
    if (!data) break;
    DWORD got = size;
    rc = RegQueryValueExA(key, name, nullptr, &type, data, &got);
    if (rc == ERROR_SUCCESS) {
      data[got] = data[got + 1] = 0;
      out->data = data;
      out->size = got;
      out->type = type;
      result = 1;
    } else {
      free(data);
      if (rc == ERROR_MORE_DATA) {
        size = got > size ? got : size * 2 + 16;
        rc = ERROR_SUCCESS;
      }
    }
  }
  RegCloseKey(key);
  return result;
}

int RegSameValue(const RegValueCopy* a, const RegValueCopy* b) {
  return a->type == b->type && a->size == b->size && (a->size == 0 || memcmp(a->data, b->data, a->size) == 0);
}

DWORD RegEraseValue(HKEY root, const char* subkey, const char* name) {
  HKEY key;
  LONG rc = RegOpenKeyExA(root, subkey, 0, RegWriteAccess, &key);
  if (rc == ERROR_FILE_NOT_FOUND) return 1;
  if (rc != ERROR_SUCCESS) return 0;
  rc = RegDeleteValueA(key, name ? name : "");
  RegCloseKey(key);
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? 1 : 0;
}

DWORD RegRemoveValue(HKEY root, const char* subkey, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(root, subkey, 0, RegWriteAccess, &key) != ERROR_SUCCESS) return 0;
  DWORD result;
  if (name && name[0]) {
    result = RegDeleteValueA(key, name) == ERROR_SUCCESS ? 1 : 0;
  } else {
    // The default value cannot be deleted by name: it is blanked instead.
    RegSetValueExA(key, nullptr, 0, REG_SZ, (const BYTE*)"", 1);
    result = 1;
  }
  RegCloseKey(key);
  return result;
}

DWORD RegEnsureKey(HKEY root, const char* subkey) {
  HKEY key;
  if (RegCreateKeyA(root, subkey, &key) != ERROR_SUCCESS) {
    TraceLine("ERROR RegCreateKey", subkey);
    return 0;
  }
  RegCloseKey(key);
  return 1;
}

DWORD RegEnsureKeyInView(HKEY root, const char* subkey) {
  HKEY key;
  if (RegCreateKeyExA(root, subkey, 0, nullptr, 0, RegWriteAccess, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    TraceLine("ERROR RegCreateKey", subkey);
    return 0;
  }
  RegCloseKey(key);
  return 1;
}

DWORD RegDeleteKeyInView(HKEY root, const char* subkey, DWORD viewFlag) {
  if (!RunningOnWow64) return 1;
  typedef LONG(WINAPI * DeleteKeyEx)(HKEY, LPCSTR, REGSAM, DWORD);
  HMODULE advapi = LoadLibraryA("Advapi32.dll");
  if (!advapi) return ERROR_CALL_NOT_IMPLEMENTED;
  DeleteKeyEx deleteKeyEx = (DeleteKeyEx)(void*)GetProcAddress(advapi, "RegDeleteKeyExA");
  DWORD status = deleteKeyEx ? (DWORD)deleteKeyEx(root, subkey, viewFlag, 0) : ERROR_CALL_NOT_IMPLEMENTED;
  FreeLibrary(advapi);
  return status;
}

namespace {

// The caller's view as the flag of the calls that take one; 0 where Windows has a single view.
DWORD CallerViewFlag() {
  if (!RunningOnWow64) return 0;
  return (RegReadAccess & KEY_WOW64_64KEY) ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

LONG DeleteChildKey(HKEY parent, const WCHAR* name, DWORD view) {
  if (view) {
    typedef LONG(WINAPI * DeleteKeyExW)(HKEY, LPCWSTR, REGSAM, DWORD);
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    DeleteKeyExW deleteKeyEx = advapi ? (DeleteKeyExW)(void*)GetProcAddress(advapi, "RegDeleteKeyExW") : nullptr;
    if (deleteKeyEx) return deleteKeyEx(parent, name, view, 0);
  }
  return RegDeleteKeyW(parent, name);
}

// A symbolic link (a key made with REG_OPTION_CREATE_LINK) opened as itself: 1 when it is one.
int IsLinkKey(HKEY key) {
  DWORD type = 0;
  return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
         type == REG_LINK;
}

int IsLinkW(HKEY parent, const WCHAR* name, DWORD view) {
  HKEY key;
  if (RegOpenKeyExW(parent, name, REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) return 0;
  int link = IsLinkKey(key);
  RegCloseKey(key);
  return link;
}

// Removes everything below an open key, deepest first, in one view. Names are enumerated in UTF-16,
// so a name outside the ANSI code page still opens; a name that comes back after its removal ends
// the walk with a failure, so a key that cannot be emptied never keeps the loop going.
int EmptyKey(HKEY key, DWORD view, int depth) {
  if (depth > 512) return 0;  // deeper than the registry allows: something is wrong
  WCHAR previous[256] = L"";
  for (;;) {
    WCHAR name[256];
    DWORD length = 256;
    LONG rc = RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return 1;
    if (rc != ERROR_SUCCESS) return 0;
    if (previous[0] && lstrcmpW(previous, name) == 0) return 0;
    lstrcpynW(previous, name, 256);
    // A link is neither followed nor deleted: both would reach the key it points at, anywhere.
    if (IsLinkW(key, name, view)) return 0;
    HKEY child;
    rc = RegOpenKeyExW(key, name, 0, KEY_READ | view, &child);
    if (rc == ERROR_SUCCESS) {
      int emptied = EmptyKey(child, view, depth + 1);
      RegCloseKey(child);
      if (!emptied) return 0;
    } else if (rc != ERROR_FILE_NOT_FOUND) {
      return 0;
    }
    rc = DeleteChildKey(key, name, view);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return 0;
  }
}

// Deletes one key without subkeys in the caller's view.
int DeleteOneKey(HKEY root, const char* subkey, DWORD view) {
  if (view) return RegDeleteKeyInView(root, subkey, view) == ERROR_SUCCESS;
  return RegDeleteKeyA(root, subkey) == ERROR_SUCCESS;
}

}  // namespace

int RegIsLink(HKEY root, const char* subkey) {
  HKEY key;
  if (RegOpenKeyExA(root, subkey, REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | CallerViewFlag(), &key) != ERROR_SUCCESS)
    return 0;
  int link = IsLinkKey(key);
  RegCloseKey(key);
  return link;
}

DWORD RegRemoveKeyTree(HKEY root, const char* subkey) {
  if (!subkey || strlen(subkey) > 520) return 0;
  // Only the caller's view: the key of the same name in the other view is another key.
  DWORD view = CallerViewFlag();
  if (RegIsLink(root, subkey)) return 0;
  if (DeleteOneKey(root, subkey, view)) return 1;  // no subkeys (or Windows 9x, which deletes trees)
  HKEY key;
  LONG rc = RegOpenKeyExA(root, subkey, 0, KEY_READ | view, &key);
  if (rc == ERROR_FILE_NOT_FOUND) return 1;
  if (rc != ERROR_SUCCESS) return 0;
  int emptied = EmptyKey(key, view, 1);
  RegCloseKey(key);
  return emptied && DeleteOneKey(root, subkey, view) ? 1 : 0;
}

HKEY RegOpenForReading(HKEY root, const char* subkey) {
  HKEY key;
  return RegOpenKeyExA(root, subkey, 0, RegReadAccess, &key) == ERROR_SUCCESS ? key : nullptr;
}

DWORD RegValueCount(HKEY key) {
  DWORD values = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                       nullptr) != ERROR_SUCCESS)
    return 0;
  return values;
}

LONG RegValueAt(HKEY key, DWORD index, char* name, DWORD nameCapacity, BYTE* data, DWORD dataCapacity,
                DWORD* dataSize, DWORD* type) {
  DWORD nameLength = nameCapacity;
  DWORD size = dataCapacity;
  name[0] = 0;
  LONG rc = RegEnumValueA(key, index, name, &nameLength, nullptr, type, data, &size);
  if (rc == ERROR_SUCCESS) {
    data[size < dataCapacity ? size : dataCapacity] = 0;
    if (dataSize) *dataSize = size;
  }
  return rc;
}

LONG RegWholeValueAt(HKEY key, DWORD index, char* name, RegValueCopy* value) {
  free(value->data);
  value->data = nullptr;
  value->size = value->type = 0;
  name[0] = 0;
  // Most names and values fit the first buffers (a large name buffer costs every call under Wine);
  // when one does not, the value is read again with room for any name and the size reported.
  DWORD nameCapacity = 512, capacity = 1024;
  for (int attempt = 0; attempt < 4; ++attempt) {
    BYTE* data = (BYTE*)malloc((size_t)capacity + 2);
    if (!data) return ERROR_NOT_ENOUGH_MEMORY;
    DWORD nameLength = nameCapacity, size = capacity, type = 0;
    LONG rc = RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &size);
    if (rc == ERROR_SUCCESS) {
      data[size] = data[size + 1] = 0;
      value->data = data;
      value->size = size;
      value->type = type;
      return rc;
    }
    free(data);
    name[0] = 0;
    if (rc != ERROR_MORE_DATA) return rc;
    nameCapacity = kRegNameCapacity;
    if (size > capacity) capacity = size + 16;
  }
  return ERROR_MORE_DATA;
}

LONG RegSubkeyAt(HKEY key, DWORD index, char* name, DWORD nameCapacity) {
  DWORD length = nameCapacity;
  name[0] = 0;
  return RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
}

RegViewGuard::RegViewGuard(int view64) : savedRead(RegReadAccess), savedWrite(RegWriteAccess) {
  if (view64 && RunningOnWow64) {
    RegReadAccess = kKeyRead64;
    RegWriteAccess = kKeyWrite64;
  } else {
    RegReadAccess = KEY_READ;
    RegWriteAccess = KEY_ALL_ACCESS;
  }
}

RegViewGuard::~RegViewGuard() {
  RegReadAccess = savedRead;
  RegWriteAccess = savedWrite;
}

DWORD RegSelectView(int on) {
  if (!RunningOnWow64) return 0;
  RegReadAccess = on ? kKeyRead64 : KEY_READ;
  RegWriteAccess = on ? kKeyWrite64 : KEY_WRITE;
  return 1;
}

DWORD SetFsRedirection(int restore, void** state) {
  if (!RunningOnWow64) return 1;
  HMODULE kernel = LoadLibraryA("KERNEL32.DLL");
  if (!kernel) return 1;
  typedef BOOL(WINAPI * Disable)(PVOID*);
  typedef BOOL(WINAPI * Revert)(PVOID);
  DWORD result = 1;
  if (!restore) {
    Disable disable = (Disable)(void*)GetProcAddress(kernel, "Wow64DisableWow64FsRedirection");
    if (disable) result = disable(state);
  } else {
    Revert revert = (Revert)(void*)GetProcAddress(kernel, "Wow64RevertWow64FsRedirection");
    if (revert) result = revert(state ? *state : nullptr);
  }
  FreeLibrary(kernel);
  return result;
}
