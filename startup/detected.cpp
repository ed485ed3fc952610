#include "startup/detected.h"

#include <stdlib.h>
#include <string.h>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "startup/items.h"

const char kDetectedRoot[] = "Software\\Orvenn Studios\\Detected";

const char* DetectedAreaOf(int code) {
  if (code < 300) return "Startup";
  switch (code) {
    case 370: case 1030: return "Hidden";
    case 400: return "FileTypes";
    case 600: case 1010: return "ActiveTasks";
    case 700: case 701: case 1060: return "Services";
    case 800: case 1050: return "Tasks";
    case 900: case 901: case 902: case 1040: return "IEHelper";
    case 1020: case 1200: return "ActiveX";
    case 1070: return "Startup";
    default: return nullptr;
  }
}

int GetFirstDetected(const char* itemKey, int code, char* out) {
  out[0] = 0;
  const char* area = DetectedAreaOf(code);
  if (!area || !itemKey) return 0;
  char key[96];
  FormatText(key, sizeof key, "%s\\%s", kDetectedRoot, area);
  return (int)RegReadString(HKEY_CURRENT_USER, key, itemKey, out, 24);
}

int RecordFirstDetected(const char*, const char*) {
  // This edition keeps no first-detected dates of its own; the resident monitor writes them.
  return 0;
}

int FirstDetectedOfFile(const char* file, int code, char* out) {
  char key[260];
  ExeFromCommand(file, key);
  return GetFirstDetected(key, code, out);
}

void CleanDetectedArea(const char* areaKeyPath) {
  ClearStartupItems();  // the pages rebuild their lists afterwards
  HKEY key = RegOpenForReading(HKEY_CURRENT_USER, areaKeyPath);
  if (!key) return;
  DWORD count = RegValueCount(key);
  // The names are kept exactly as stored: each one is deleted by that name.
  char (*gone)[255] = (char (*)[255])calloc(count ? count : 1, 255);
  DWORD goneCount = 0;
  for (DWORD index = 0, read = 0; gone && read < count; ++index) {
    char name[255];
    BYTE data[256];
    LONG rc = RegValueAt(key, index, name, sizeof name, data, sizeof data - 1, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ++read;
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) continue;
    if (rc == ERROR_MORE_DATA) {
      // Only the name matters here; read it alone when the data did not fit.
      DWORD length = sizeof name;
      if (RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) continue;
    }
    char probe[260];
    CopyText(probe, name);
    if (!name[0] || FileExists(probe)) continue;
    CopyText(gone[goneCount++], 255, name);
  }
  RegCloseKey(key);
  for (DWORD i = 0; i < goneCount; ++i) RegRemoveValue(HKEY_CURRENT_USER, areaKeyPath, gone[i]);
  free(gone);
  ClearStartupItems();
}

int NoteFilePath(const char* itemFile, char* out) {
  char program[260], colons[260], name[260];
  ExeFromCommand(itemFile, program);
  ColonForEquals(program, colons);
  if (!FileNameOf(colons, name)) CopyText(name, colons);
  // A forward slash separates folders as well: the name stays one file directly in the folder.
  const char* slash = strrchr(name, '/');
  if (slash) memmove(name, slash + 1, strlen(slash + 1) + 1);
  size_t n = strlen(name);
  name[n >= 4 ? n - 4 : 0] = 0;
  char folder[260];
  ProgramFolder(folder);
  FormatText(out, 260, "%s\\note_%s.txt", folder, name);
  if (GetFileAttributesA(out) == INVALID_FILE_ATTRIBUTES) {
    DataFolder(folder);
    FormatText(out, 260, "%s\\note_%s.txt", folder, name);
  }
  return (int)strlen(out);
}
