// Bounded text helpers and the pure text operations the lists use.
// Every copy into a fixed buffer goes through CopyText/AppendText/FormatText: `cap` is the buffer's
// size in bytes (terminator included); results are always terminated and cut at the buffer's end.
#pragma once
#include <stddef.h>

size_t CopyText(char* out, size_t cap, const char* text);
size_t CopyTextN(char* out, size_t cap, const char* text, size_t count);  // at most `count` chars of text
size_t AppendText(char* out, size_t cap, const char* text);               // returns the new length
// printf-style into a fixed buffer. The format is always a literal of this program: text read from the
// registry, files or the network is passed as an argument, never as the format.
size_t FormatText(char* out, size_t cap, const char* format, ...) __attribute__((format(printf, 3, 4)));

// Fills a text that may come from outside the program (a translated string) with one text argument:
// "%s" takes the argument once, "%%" gives "%", anything else is copied as it stands.
size_t FillTemplate(char* out, size_t cap, const char* pattern, const char* argument);

template <size_t N> inline size_t CopyText(char (&out)[N], const char* text) { return CopyText(out, N, text); }
template <size_t N> inline size_t AppendText(char (&out)[N], const char* text) { return AppendText(out, N, text); }

char UpperChar(char c);  // the ANSI code page's upper case of one character

// A hash of a text that ignores letter case (for look-ups of registry names and paths).
unsigned HashNoCase(const char* text);

// Case-insensitive containment, sliding a window over the text (texts of 773 characters or more: 0).
int ContainsNoCase(const char* text, const char* part);

// Helpers over names, paths and commands (out buffers are 260 characters unless said).
int RundllTarget(const char* command, char* out);  // the text after "RUNDLL32.EXE " when there is one
int FileNameOf(const char* path, char* out);
int FileNamePos(const char* path);
int SkipBlanks(const char* text, char* out);
int ExtensionOf(const char* text, char* out);
void ColonForEquals(const char* text, char* out);
int StripQuotes(const char* text, char* out);
int AddBackslash(char* path);  // path: 260
int TrimBackslash(char* path, int keepRoot);
// Sizes as unsigned 64-bit numbers: files of 2 GB, 4 GB and more show their whole size.
void GroupThousands(char* out, size_t capacity, unsigned long long value);
void DecimalText(char* out, size_t capacity, unsigned long long value);
int CommasToBlanks(const char* text, char* out, int limit);  // out: limit + 1; returns the whole length
// blank -> %20, & -> +, and % # + " as %XX; returns the length less one
int EscapeForUrl(char* out, size_t capacity, const char* text);
