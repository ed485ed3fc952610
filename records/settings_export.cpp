#include "records/settings_export.h"

#include <stdlib.h>
#include <string.h>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"

namespace {

const char kMachineKey[] = "SOFTWARE\\Orvenn Studios";

// The export is a UTF-16 "Windows Registry Editor Version 5.00" file. It is the one form that every
// reader imports exactly: Windows' regedit takes the hex(2), hex(7) and hex(1) bytes of a version 5
// file as UTF-16 (its native form of those types), Wine's regedit does the same for a UTF-16 file
// (an 8-bit one it reads as ANSI), and offline hive editors store them as given. A REGEDIT4 file
// keeps them ANSI, which hive editors do not accept. So those values' bytes are written in UTF-16,
// and the whole text is turned into UTF-16 when the file is written.
const char kExportHeader[] = "Windows Registry Editor Version 5.00";

// Values the .reg writer writes as hex bytes of text: the string types, except a REG_SZ that a quoted
// string carries (one terminator at its end, no line break).
int IsHexText(DWORD type, const BYTE* data, DWORD size) {
  if (type == REG_EXPAND_SZ || type == REG_MULTI_SZ) return 1;
  if (type != REG_SZ) return 0;
  if (size == 0 || data[size - 1] != 0 || memchr(data, 0, size - 1)) return 1;
  return memchr(data, '\r', size) || memchr(data, '\n', size);
}

// Writes one value, with text-typed hex bytes in UTF-16.
int WriteValue(RegText* out, const char* name, DWORD type, const BYTE* data, DWORD size) {
  if (!IsHexText(type, data, size) || size == 0) return WriteRegValue(out, name, type, data, size);
  int wide = MultiByteToWideChar(CP_ACP, 0, (const char*)data, (int)size, nullptr, 0);
  wchar_t* text = (wchar_t*)malloc(((size_t)wide + 1) * sizeof(wchar_t));
  if (!text) {
    out->failed = true;
    return 0;
  }
  MultiByteToWideChar(CP_ACP, 0, (const char*)data, (int)size, text, wide);
  int written = WriteRegValue(out, name, type, (const BYTE*)text, (DWORD)wide * sizeof(wchar_t));
  free(text);
  return written;
}

// Deeper than this, a tree is not followed (a key cycle cannot occur, but a hostile depth can).
const int kMaxDepth = 16;

int ExportTree(RegText* out, HKEY root, const char* keyPath, int depth) {
  HKEY key = RegOpenForReading(root, keyPath);
  if (!key) return 0;
  DWORD maxName = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &maxName, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr) != ERROR_SUCCESS)
    maxName = 255;
  int written = 0;
  char* name = (char*)malloc(maxName + 2);
  for (DWORD i = 0; name; ++i) {
    DWORD length = maxName + 1;
    LONG rc = RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    size_t pathLength = strlen(keyPath) + 1 + length + 1;
    char* sub = (char*)malloc(pathLength);
    if (!sub) break;
    FormatText(sub, pathLength, "%s\\%s", keyPath, name);
    // A key line that cannot be written leaves its values and subkeys out: under the key line
    // before them they would be imported into another key.
    size_t exportedLength = pathLength + 16;
    char* exported = (char*)malloc(exportedLength);
    if (exported && ExportedKeyPath(root, sub, RunningOnWow64, exported, exportedLength)) {
      AppendRegText(out, "\r\n");
      if (WriteRegKeyLine(out, root, exported)) {
        ExportValues(out, root, sub);
        ++written;
        if (depth < kMaxDepth) written += ExportTree(out, root, sub, depth + 1);
      }
    }
    free(exported);
    free(sub);
  }
  free(name);
  RegCloseKey(key);
  return written;
}

}  // namespace

int ExportedKeyPath(HKEY root, const char* keyPath, int wow64, char* out, size_t cap) {
  size_t need = strlen(keyPath);
  if (wow64 && root == HKEY_LOCAL_MACHINE && _strnicmp(keyPath, "SOFTWARE\\", 9) == 0 &&
      _strnicmp(keyPath + 9, "Wow6432Node", 11) != 0) {
    need += 12;
    FormatText(out, cap, "%.8s\\Wow6432Node\\%s", keyPath, keyPath + 9);
  } else {
    CopyText(out, cap, keyPath);
  }
  return need < cap;  // a cut path would name another key
}

int ExportValues(RegText* out, HKEY root, const char* keyPath) {
  HKEY key = RegOpenForReading(root, keyPath);
  if (!key) return 0;
  DWORD maxName = 0, maxData = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData, nullptr,
                       nullptr) != ERROR_SUCCESS) {
    RegCloseKey(key);
    return 0;
  }
  // Sized from the key itself: every value is written whole, whatever its length.
  char* name = (char*)malloc(maxName + 2);
  BYTE* data = (BYTE*)malloc(maxData + 2);
  int written = 0;
  for (DWORD i = 0; name && data; ++i) {
    DWORD nameLength = maxName + 1, size = maxData + 1, type = 0;
    LONG rc = RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    if (WriteValue(out, name, type, data, size)) ++written;
  }
  free(name);
  free(data);
  RegCloseKey(key);
  return written;
}

int ExportKey(RegText* out, HKEY root, const char* keyPath) {
  char exported[600];
  if (!ExportedKeyPath(root, keyPath, RunningOnWow64, exported, sizeof exported) ||
      !WriteRegKeyLine(out, root, exported))
    return 0;
  ExportValues(out, root, keyPath);
  return ExportTree(out, root, keyPath, 1);
}

int ExportSettingsTo(const char* path) {
  RegText text;
  AppendRegText(&text, kExportHeader);
  AppendRegText(&text, "\r\n\r\n");
  {
    DefaultRegView view;  // the product's machine keys live in the default view
    ExportKey(&text, HKEY_CURRENT_USER, kProductKey);
    AppendRegText(&text, "\r\n");
    ExportKey(&text, HKEY_LOCAL_MACHINE, kMachineKey);
  }
  AppendRegText(&text, "\r\n");
  if (text.failed) return 0;
  int wide = MultiByteToWideChar(CP_ACP, 0, text.text, (int)text.length, nullptr, 0);
  wchar_t* unicode = (wchar_t*)malloc(((size_t)wide + 1) * sizeof(wchar_t));
  if (!unicode) return 0;
  unicode[0] = 0xFEFF;  // the byte order mark of a UTF-16 .reg file
  MultiByteToWideChar(CP_ACP, 0, text.text, (int)text.length, unicode + 1, wide);
  DWORD bytes = (DWORD)(wide + 1) * sizeof(wchar_t);
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    free(unicode);
    return 0;
  }
  DWORD written = 0;
  BOOL ok = WriteFile(file, unicode, bytes, &written, nullptr) && written == bytes;
  free(unicode);
  if (!CloseHandle(file)) ok = FALSE;
  if (!ok) DeleteFileA(path);  // a cut backup would restore only part of the settings
  return ok ? 1 : 0;
}

int ExportSettings() {
  char folder[260], user[228];
  ProgramFolder(folder);
  DWORD length = sizeof user;
  if (!GetUserNameA(user, &length)) user[0] = 0;
  char path[520];
  FormatText(path, sizeof path, "%s\\%s-Vandrelix.reg", folder, user);
  if (!ExportSettingsTo(path)) return 0;
  char shown[260], pattern[1024], message[1400];
  LongPathOf(shown, path);
  LoadText(854, pattern, sizeof pattern);
  FillTemplate(message, sizeof message, pattern, shown);
  MessageBoxA(nullptr, message, ApplicationTitle, MB_ICONINFORMATION | MB_TOPMOST);
  return 1;
}

int ImportRepairFile() {
  char path[260];
  DataFolder(path);
  if (AppendText(path, "\\temp.reg") >= sizeof path - 1) return 1;
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return 1;
  // Quoted: the data folder usually lies below a profile folder with blanks in its name.
  char command[300];
  FormatText(command, sizeof command, "regedit /s \"%s\"", path);
  return WinExec(command, SW_SHOWNORMAL) >= 32 ? 1 : 0;
}
