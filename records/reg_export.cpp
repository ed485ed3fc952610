#include "records/reg_export.h"

#include <stdio.h>
#include <string.h>

const char kRegFileHeader[] = "REGEDIT4";

namespace {

struct RootName {
  HKEY root;
  const char* name;
};
const RootName kRoots[] = {
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

// Appends text quoted for a .reg line: " and \ take a backslash before them.
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

const char* SkipBlanks(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

// Reads a quoted text from just after its opening quote up to the closing one, undoing the escapes
// regedit writes (and \n, \r, which Wine's regedit writes too). `out` has room for the whole line.
// Returns the position after the closing quote, or null when there is none.
const char* Unquote(const char* p, char* out, size_t* length) {
  size_t o = 0;
  for (; *p; ++p) {
    if (*p == '"') {
      out[o] = 0;
      *length = o;
      return p + 1;
    }
    if (*p == '\\') {
      ++p;
      if (*p == 'n') {
        out[o++] = '\n';
      } else if (*p == 'r') {
        out[o++] = '\r';
      } else if (*p == '0' || *p == 0) {
        return nullptr;
      } else {
        out[o++] = *p;
      }
    } else {
      out[o++] = *p;
    }
  }
  return nullptr;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The end of the data: the rest must be blanks or a comment.
int AtEnd(const char* p) {
  p = SkipBlanks(p);
  return *p == 0 || *p == ';';
}

// Comma-separated hex bytes up to the end of the line; 0 when the text is not exactly that.
int ParseHexBytes(const char* p, RegValueRecord* out) {
  size_t room = strlen(p) / 2 + 1;
  out->data = (BYTE*)malloc(room + 2);
  if (!out->data) return 0;
  out->size = 0;
  p = SkipBlanks(p);
  if (AtEnd(p)) return 1;
  for (;;) {
    p = SkipBlanks(p);
    unsigned value = 0;
    int digits = 0;
    for (int d; (d = HexDigit(*p)) >= 0; ++p, ++digits) value = value * 16 + (unsigned)d;
    // One or two digits a byte: more could wrap around to a small number and pass for one.
    if (digits == 0 || digits > 2 || out->size >= room) return 0;
    out->data[out->size++] = (BYTE)value;
    p = SkipBlanks(p);
    if (*p == ',') {
      ++p;
      continue;
    }
    return AtEnd(p);
  }
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

HKEY RegRootFromName(const char* name, size_t length) {
  for (const auto& entry : kRoots)
    if (strlen(entry.name) == length && _strnicmp(entry.name, name, length) == 0) return entry.root;
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

int NextRegLine(const char* text, size_t length, size_t* pos, RegText* line) {
  ClearRegText(line);
  if (*pos >= length) return 0;
  bool joining = false;
  for (;;) {
    size_t start = *pos, end = start;
    while (end < length && text[end] != '\r' && text[end] != '\n') ++end;
    *pos = end;
    if (*pos < length && text[*pos] == '\r') ++*pos;
    if (*pos < length && text[*pos] == '\n') ++*pos;
    const char* segment = text + start;
    size_t n = end - start;
    if (joining) {
      while (n && (*segment == ' ' || *segment == '\t')) ++segment, --n;
      // Blank and comment lines inside a continued value are passed over, as regedit does.
      if ((n == 0 || *segment == ';') && *pos < length) continue;
    }
    AppendRegText(line, segment, n);
    if (line->failed) return 0;
    const char* first = SkipBlanks(line->text);
    bool isValue = *first == '"' || *first == '@';
    size_t used = line->length;
    while (used && (line->text[used - 1] == ' ' || line->text[used - 1] == '\t')) --used;
    if (!isValue || used == 0 || line->text[used - 1] != '\\' || *pos >= length) return 1;
    line->length = used - 1;  // the continuation mark goes; the next line carries on the bytes
    line->text[line->length] = 0;
    joining = true;
  }
}

int ParseRegValueLine(const char* line, RegValueRecord* out) {
  free(out->name);
  free(out->data);
  out->name = nullptr;
  out->data = nullptr;
  out->size = out->type = 0;
  size_t room = strlen(line) + 1;
  out->name = (char*)malloc(room);
  if (!out->name) return 0;
  const char* p = SkipBlanks(line);
  size_t nameLength = 0;
  if (*p == '@') {
    out->name[0] = 0;
    ++p;
  } else if (*p == '"') {
    p = Unquote(p + 1, out->name, &nameLength);
    if (!p) return 0;
  } else {
    return 0;
  }
  p = SkipBlanks(p);
  if (*p != '=') return 0;
  p = SkipBlanks(p + 1);
  if (*p == '"') {
    out->data = (BYTE*)malloc(room + 2);
    if (!out->data) return 0;
    size_t textLength = 0;
    p = Unquote(p + 1, (char*)out->data, &textLength);
    if (!p || !AtEnd(p)) return 0;
    out->type = REG_SZ;
    out->size = (DWORD)textLength + 1;
    out->data[out->size] = out->data[out->size + 1] = 0;
    return 1;
  }
  if (_strnicmp(p, "dword:", 6) == 0) {
    p = SkipBlanks(p + 6);
    DWORD value = 0;
    int digits = 0;
    for (int d; (d = HexDigit(*p)) >= 0; ++p, ++digits) value = value * 16 + (DWORD)d;
    if (digits == 0 || digits > 8 || !AtEnd(p)) return 0;
    out->data = (BYTE*)calloc(1, 6);
    if (!out->data) return 0;
    memcpy(out->data, &value, 4);
    out->size = 4;
    out->type = REG_DWORD;
    return 1;
  }
  if (_strnicmp(p, "hex:", 4) == 0) {
    out->type = REG_BINARY;
    p += 4;
  } else if (_strnicmp(p, "hex(", 4) == 0) {
    p += 4;
    DWORD type = 0;
    int digits = 0;
    for (int d; (d = HexDigit(*p)) >= 0; ++p, ++digits) type = type * 16 + (DWORD)d;
    if (digits == 0 || digits > 8 || p[0] != ')' || p[1] != ':') return 0;
    out->type = type;
    p += 2;
  } else {
    return 0;
  }
  if (!ParseHexBytes(p, out)) return 0;
  out->data[out->size] = out->data[out->size + 1] = 0;
  return 1;
}

int ParseRegKeyLine(const char* line, HKEY* root, RegText* path) {
  // Nothing is changed unless the line is a key line.
  const char* p = SkipBlanks(line);
  if (*p != '[' || p[1] == '-') return 0;
  ++p;
  const char* close = strrchr(p, ']');
  if (!close) return 0;
  const char* slash = (const char*)memchr(p, '\\', (size_t)(close - p));
  const char* rootEnd = slash ? slash : close;
  HKEY found = RegRootFromName(p, (size_t)(rootEnd - p));
  if (!found) return 0;
  *root = found;
  ClearRegText(path);
  if (slash) AppendRegText(path, slash + 1, (size_t)(close - slash - 1));
  else AppendRegText(path, "", 0);
  return !path->failed;
}
