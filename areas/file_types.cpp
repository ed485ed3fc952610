#include "areas/file_types.h"

#include <windows.h>
#include <string.h>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "startup/items.h"

const char kWatchedListKey[] = "Software\\Orvenn Studios\\Vandrelix\\Class";

namespace {

const char kClasses[] = "Software\\Classes";
const char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

// Lists one association of an extension; the title from the class's description, else from the
// program's version strings (and then the program's description goes where the class name was).
void AddAssociation(const char* extension, const char* className, const char* command, int kind) {
  char key[600];
  FormatText(key, sizeof key, "%s\\%s", kClasses, className);
  char title[1024];
  RegReadString(HKEY_LOCAL_MACHINE, key, "", title, sizeof title);
  char second[260];
  CopyText(second, className);
  if (!title[0]) {
    char program[260];
    ExeFromCommand(command, program);
    static VersionFields fields;
    GetVersionFields(program, &fields);
    CopyText(title, fields.field[VF_ProductName]);
    CopyText(second, fields.field[VF_FileDescription]);
    if (!title[0]) {
      // Without a product name the program's own file name says most.
      char longPath[260];
      LongPathOf(longPath, program);
      if (!FileNameOf(longPath, title)) CopyText(title, longPath);
    }
  }
  char file[260], description[260];
  CopyText(file, command);
  CopyText(description, extension);
  AddStartupItem(title, file, second, description, kCodeFileType, kind);
}

}  // namespace

int GetAssociation(const char* extension, char* className, char* command, int kind) {
  if (!extension || !extension[0]) return 0;
  char dotted[260];
  FormatText(dotted, sizeof dotted, extension[0] == '.' ? "%s" : ".%s", extension);
  char name[260] = "", key[600];
  HKEY root = HKEY_CLASSES_ROOT;
  switch (kind) {
    case kAssocSystem:
      FormatText(key, sizeof key, "%s\\%s", kClasses, dotted);
      RegReadString(HKEY_LOCAL_MACHINE, key, "", name, sizeof name);
      if (!name[0]) return 0;
      root = HKEY_LOCAL_MACHINE;
      FormatText(key, sizeof key, "%s\\%s\\shell\\open\\command", kClasses, name);
      break;
    case kAssocApplication:
    case kAssocProgId:
      FormatText(key, sizeof key, "%s\\%s", kFileExts, dotted);
      RegReadString(HKEY_CURRENT_USER, key, kind == kAssocApplication ? "Application" : "ProgID", name, sizeof name);
      if (!name[0]) return 0;
      FormatText(key, sizeof key, kind == kAssocApplication ? "Applications\\%s\\shell\\open\\command" : "%s\\shell\\open\\command",
                 name);
      break;
    default:
      return 0;
  }
  char open[260];
  if (!RegReadString(root, key, "", open, sizeof open)) return 0;
  CopyText(className, 260, name);
  CopyText(command, 260, open);
  return 1;
}

int EnumerateFileTypes() {
  ClearStartupItems();
  char list[1024];
  if (!RegReadString(HKEY_CURRENT_USER, kWatchedListKey, "", list, sizeof list)) return 0;
  for (const char* piece = list; *piece;) {
    const char* end = strchr(piece, ';');
    size_t length = end ? (size_t)(end - piece) : strlen(piece);
    if (length > 0 && length < 256) {
      char extension[260] = ".";
      CopyTextN(extension + 1, sizeof extension - 1, piece, length);
      for (int kind = kAssocSystem; kind <= kAssocProgId; ++kind) {
        char className[260], command[260];
        if (GetAssociation(extension, className, command, kind) && className[0])
          AddAssociation(extension, className, command, kind);
      }
    }
    piece += length;
    if (*piece == ';') ++piece;
  }
  return StartupItemCount;
}

const char* AssociationKindText(int kind) {
  return kind == kAssocSystem ? "System" : (kind == kAssocApplication || kind == kAssocProgId) ? "Explorer" : "";
}
