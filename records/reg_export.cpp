#include "records/reg_export.h"

#include <stdio.h>
#include <string.h>

const char kRegFileHeader[] = "REGEDIT4";

namespace {

const struct {
  HKEY root;
  const char* name;
} kRoots[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"}, {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"}, {HKEY_USERS, "HKEY_USERS"},
    {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
};

// regedit ends a hex line after the comma that brings it to this column or beyond.
const size_t kHexLineEnd = 77;

int HasLineBreak(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (text[i] == '\r' || text[i] == '\n') return 1;
  return 0;
}

// Quoted for a .reg line: " and \ take a backslash before them.
void AppendQuoted(RegText* out, const char* text, size_t length) {
  AppendRegText(out, "\"", 1);
  size_t from = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == '"' || text[i] == '\\') {
      AppendRegText(out, text + from, i - from);
      AppendRegText(out, "\\", 1);
      from = i;
    }
  }
  AppendRegText(out, text + from, length - from);
  AppendRegText(out, "\"", 1);
}

// A REG_SZ that a quoted string carries exactly: text, one terminator at the end, no line break.
int IsPlainText(const BYTE* data, DWORD size) {
  if (size == 0 || data[size - 1] != 0) return 0;
  if (memchr(data, 0, size - 1)) return 0;
  return !HasLineBreak((const char*)data, size - 1);
}

}  // namespace

int AppendRegText(RegText* out, const char* text, size_t length) {
  if (out->failed) return 0;
  if (out->length + length + 1 > out->capacity) {
    size_t capacity = out->capacity ? out->capacity : 256;
    while (capacity < out->length + length + 1) capacity *= 2;
    char* grown = (char*)realloc(out->text, capacity);
    if (!grown) {
      out->failed = true;
      return 0;
    }
    out->text = grown;
    out->capacity = capacity;
  }
  if (length) memcpy(out->text + out->length, text, length);
  out->length += length;
  out->text[out->length] = 0;
  return 1;
}

int AppendRegText(RegText* out, const char* text) { return AppendRegText(out, text, strlen(text)); }

void ClearRegText(RegText* out) {
  out->length = 0;
  out->failed = false;
  if (out->text) out->text[0] = 0;
}

const char* RegRootName(HKEY root) {
  for (const auto& entry : kRoots)
    if (entry.root == root) return entry.name;
  return nullptr;
}

int WriteRegKeyLine(RegText* out, HKEY root, const char* path) {
  const char* rootName = RegRootName(root);
  if (!rootName || HasLineBreak(path, strlen(path))) return 0;
  AppendRegText(out, "[");
  AppendRegText(out, rootName);
  if (path[0]) {
    AppendRegText(out, "\\");
    AppendRegText(out, path);
  }
  AppendRegText(out, "]\r\n");
  return !out->failed;
}

int WriteRegValue(RegText* out, const char* name, DWORD type, const BYTE* data, DWORD size) {
  if (!name) name = "";
  size_t nameLength = strlen(name);
  if (HasLineBreak(name, nameLength)) return 0;
  size_t lineStart = out->length;
  if (nameLength) {
    AppendQuoted(out, name, nameLength);
    AppendRegText(out, "=");
  } else {
    AppendRegText(out, "@=");
  }
  if (type == REG_SZ && IsPlainText(data, size)) {
    AppendQuoted(out, (const char*)data, size - 1);
  } else if (type == REG_DWORD && size == 4) {
    DWORD value;
    memcpy(&value, data, 4);
    char text[16];
    snprintf(text, sizeof text, "dword:%08lx", (unsigned long)value);
    AppendRegText(out, text);
  } else {
    char prefix[24];
    if (type == REG_BINARY) {
      snprintf(prefix, sizeof prefix, "hex:");
    } else {
      snprintf(prefix, sizeof prefix, "hex(%lx):", (unsigned long)type);
    }
    AppendRegText(out, prefix);
    size_t column = out->length - lineStart;
    for (DWORD i = 0; i < size; ++i) {
      char byte[4];
      snprintf(byte, sizeof byte, "%02x", data[i]);
      AppendRegText(out, byte, 2);
      if (i + 1 == size) break;
      AppendRegText(out, ",", 1);
      column += 3;
      if (column >= kHexLineEnd) {
        AppendRegText(out, "\\\r\n  ");
        column = 2;
      }
    }
  }
  AppendRegText(out, "\r\n");
  return !out->failed;
}
