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

// Deletes one key without subkeys. When the masks name a view, in that view only: a key of the
// same name in the other view is another key. Otherwise on 64-bit Windows in the 64-bit view, then
// in the 32-bit view (a key of the redirected view is otherwise left behind once it has been emptied).
static int DeleteOneKey(HKEY root, const char* subkey) {
  if (!RunningOnWow64) return RegDeleteKeyA(root, subkey) == ERROR_SUCCESS;
  DWORD view = RegReadAccess & (KEY_WOW64_64KEY | KEY_WOW64_32KEY);
  if (view == KEY_WOW64_64KEY || view == KEY_WOW64_32KEY)
    return RegDeleteKeyInView(root, subkey, view) == ERROR_SUCCESS;
  if (RegDeleteKeyInView(root, subkey, KEY_WOW64_64KEY) == ERROR_SUCCESS) return 1;
  return RegDeleteKeyInView(root, subkey, KEY_WOW64_32KEY) == ERROR_SUCCESS;
}

static int RemoveTreeAt(HKEY root, char* path, size_t cap) {
  if (DeleteOneKey(root, path)) return 1;
  HKEY key;
  LONG rc = RegOpenKeyExA(root, path, 0, RegReadAccess, &key);
  if (rc == ERROR_FILE_NOT_FOUND) return 1;
  if (rc != ERROR_SUCCESS) return 0;

  size_t entry = strlen(path);
  if (entry == 0 || path[entry - 1] != '\\') AppendText(path, cap, "\\");
  size_t base = strlen(path);
  for (;;) {
    char name[260];
    DWORD nameLength = sizeof name;
    if (RegEnumKeyExA(key, 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    path[base] = 0;
    if (base + strlen(name) + 1 > cap) break;  // a deeper path would not fit the working buffer
    AppendText(path, cap, name);
    if (!RemoveTreeAt(root, path, cap)) break;
  }
  path[entry] = 0;
  RegCloseKey(key);
  return DeleteOneKey(root, path);
}

DWORD RegRemoveKeyTree(HKEY root, const char* subkey) {
  if (!subkey || strlen(subkey) > 520) return 0;
  char path[522];
  CopyText(path, subkey);
  return RemoveTreeAt(root, path, sizeof path) ? 1 : 0;
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

LONG RegSubkeyAt(HKEY key, DWORD index, char* name, DWORD nameCapacity) {
  DWORD length = nameCapacity;
  name[0] = 0;
  return RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
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
