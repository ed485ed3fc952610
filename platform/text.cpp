#include "platform/text.h"

#include <windows.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "platform/settings.h"


size_t CopyTextN(char* out, size_t cap, const char* text, size_t count) {
  if (!out || cap == 0) return 0;
  size_t n = 0;
  if (text) {
    while (n < count && n + 1 < cap && text[n]) {
      out[n] = text[n];
      ++n;
    }
  }
  out[n] = 0;
  return n;
}

size_t CopyText(char* out, size_t cap, const char* text) { return CopyTextN(out, cap, text, (size_t)-1); }

size_t AppendText(char* out, size_t cap, const char* text) {
  if (!out || cap == 0) return 0;
  size_t len = strnlen(out, cap);
  if (len >= cap) {  // unterminated buffer: terminate at its end
    out[cap - 1] = 0;
    return cap - 1;
  }
  return len + CopyText(out + len, cap - len, text);
}

size_t FormatText(char* out, size_t cap, const char* format, ...) {
  if (!out || cap == 0) return 0;
  va_list args;
  va_start(args, format);
  // msvcrt's vsnprintf neither terminates nor reports the length on truncation; terminate ourselves.
  int n = vsnprintf(out, cap, format, args);
  va_end(args);
  out[cap - 1] = 0;
  if (n < 0 || (size_t)n >= cap) return strlen(out);
  return (size_t)n;
}

size_t FillTemplate(char* out, size_t cap, const char* pattern, const char* argument) {
  if (!out || cap == 0) return 0;
  out[0] = 0;
  size_t o = 0;
  int used = 0;
  for (const char* p = pattern ? pattern : ""; *p && o + 1 < cap; ++p) {
    if (p[0] == '%' && p[1] == 's' && !used) {
      o = AppendText(out, cap, argument ? argument : "");
      used = 1;
      ++p;
      continue;
    }
    if (p[0] == '%' && p[1] == '%') ++p;
    out[o++] = *p;
    out[o] = 0;
  }
  return o;
}

char UpperChar(char c) { return (char)(UINT_PTR)CharUpperA((LPSTR)(UINT_PTR)(BYTE)c); }

// Upper case of every byte in the ANSI code page, made once: folding a byte is then a table look-up.
static const BYTE* UpperTable() {
  static BYTE table[256];
  static int made = 0;
  if (!made) {
    for (int i = 0; i < 256; ++i) table[i] = (BYTE)UpperChar((char)i);
    made = 1;
  }
  return table;
}

unsigned HashNoCase(const char* text) {
  const BYTE* upper = UpperTable();
  unsigned hash = 2166136261u;
  for (const BYTE* p = (const BYTE*)(text ? text : ""); *p; ++p) hash = (hash ^ upper[*p]) * 16777619u;
  return hash;
}

int ContainsNoCase(const char* text, const char* part) {
  if (!text || !part) return 0;
  size_t textLen = strnlen(text, 773);
  if (textLen >= 773) {
    TraceLine("INMYSTRINGOVERFLOW!!!!", part);
    return 0;
  }
  size_t partLen = strlen(part);
  if (partLen > textLen) return 0;
  const BYTE* upper = UpperTable();
  const BYTE* t = (const BYTE*)text;
  const BYTE* p = (const BYTE*)part;
  for (size_t pos = 0; pos + partLen <= textLen; ++pos) {
    size_t k = 0;
    while (k < partLen && upper[t[pos + k]] == upper[p[k]]) ++k;
    if (k == partLen) return 1;
  }
  return 0;
}

int RundllTarget(const char* command, char* out) {
  if (!ContainsNoCase(command, "RUNDLL32.EXE")) {
    CopyText(out, 260, command);
    return 0;
  }
  size_t length = strlen(command);
  for (size_t i = 0; i + 6 < length; ++i) {
    if (UpperChar(command[i]) == 'R' && UpperChar(command[i + 2]) == 'N' &&
        UpperChar(command[i + 4]) == 'L' && command[i + 6] == '3') {
      CopyText(out, 260, i + 13 <= length ? command + i + 13 : "");
      return 1;
    }
  }
  // Contains the word but not in the checked letter pattern: leave the command as it is.
  CopyText(out, 260, command);
  return 0;
}

int FileNameOf(const char* path, char* out) {
  int pos = FileNamePos(path);
  if (pos == 0) return 0;
  return (int)CopyText(out, 260, path + pos);
}

int FileNamePos(const char* path) {
  if (!path) return 0;
  for (int i = (int)strlen(path) - 1; i >= 1; --i)
    if (path[i] == '\\') return i + 1;
  return 0;
}

int SkipBlanks(const char* text, char* out) {
  size_t i = 0;
  while (text[i] == ' ') ++i;
  if (text[i] == 0) return (int)i;  // blanks only: out stays as it was
  return (int)CopyText(out, 260, text + i);
}

int ExtensionOf(const char* text, char* out) {
  const char* dot = strchr(text, '.');
  if (!dot) return 0;
  CopyText(out, 260, dot + 1);
  return 1;
}

void ColonForEquals(const char* text, char* out) {
  size_t n = CopyText(out, 260, text);
  for (size_t i = 0; i < n; ++i)
    if (out[i] == '=') out[i] = ':';
}

int StripQuotes(const char* text, char* out) {
  size_t o = 0;
  for (size_t i = 0; text[i] && o + 1 < 260; ++i)
    if (text[i] != '"') out[o++] = text[i];
  out[o] = 0;
  return (int)o;
}

int AddBackslash(char* path) {
  size_t n = strlen(path);
  if (n == 0 || path[n - 1] != '\\') n = AppendText(path, 260, "\\");
  return (int)n;
}

int TrimBackslash(char* path, int keepRoot) {
  size_t n = strlen(path);
  if (n == 0 || path[n - 1] != '\\') return (int)n;
  if (keepRoot && n >= 2 && path[n - 2] == ':') return (int)n;
  path[--n] = 0;
  return (int)n;
}

void DecimalText(char* out, size_t capacity, unsigned long long value) {
  char digits[24];
  size_t n = 0;
  do {
    digits[n++] = (char)('0' + value % 10);
    value /= 10;
  } while (value);
  char text[24];
  for (size_t i = 0; i < n; ++i) text[i] = digits[n - 1 - i];
  text[n] = 0;
  CopyText(out, capacity, text);
}

void GroupThousands(char* out, size_t capacity, unsigned long long value) {
  char digits[24];
  DecimalText(digits, sizeof digits, value);
  char grouped[32];
  size_t count = strlen(digits), o = 0;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0 && (count - i) % 3 == 0) grouped[o++] = ',';
    grouped[o++] = digits[i];
  }
  grouped[o] = 0;
  CopyText(out, capacity, grouped);
}

int CommasToBlanks(const char* text, char* out, int limit) {
  int length = (int)strlen(text);
  int i = 0;
  for (; i < limit && text[i]; ++i) out[i] = text[i] == ',' ? ' ' : text[i];
  if (limit >= 0) out[i] = 0;
  return length;
}

int EscapeForUrl(char* out, size_t capacity, const char* text) {
  if (!out || capacity == 0) return -1;
  size_t o = 0;
  for (size_t i = 0; text[i]; ++i) {
    // Beyond blanks and ampersands: the characters that would end the query (#), start a false
    // escape (%), read as a blank (+) or end a quoted command line (") are escaped too.
    const char* piece = text[i] == ' '   ? "%20"
                        : text[i] == '&' ? "+"
                        : text[i] == '%' ? "%25"
                        : text[i] == '#' ? "%23"
                        : text[i] == '+' ? "%2B"
                        : text[i] == '"' ? "%22"
                                         : nullptr;
    size_t need = piece ? strlen(piece) : 1;
    if (o + need + 1 > capacity) break;  // never split an escape at the buffer's end
    if (piece) {
      memcpy(out + o, piece, need);
    } else {
      out[o] = text[i];
    }
    o += need;
  }
  out[o] = 0;
  return (int)o - 1;
}
