// What the lists and reports show about a program file, the lookups from a class id or a program name
// to a file, and the small text helpers for names, paths and commands.
#pragma once
#include <windows.h>
#include <stddef.h>

#include "platform/text.h"

// Version fields: five texts of 1024 characters, in this order.
enum { VF_ProductName, VF_ProductVersion, VF_CompanyName, VF_FileDescription, VF_LegalCopyright, VF_COUNT };
struct VersionFields {
  char field[VF_COUNT][1024];
};

struct FileFacts {
  char created[24];
  char accessed[24];
  char modified[24];
  char firstDetected[24];
  char sizeText[24];
  unsigned long long size;
};

int GetVersionFields(const char* file, VersionFields* out);
int ShowFileVersionBox(const char* file, UINT titleId, char* out);  // out: 1024
int ClassServerOf(const char* classId, char* name, char* path);      // both out: 260
int AppPathOf(const char* program, char* version, char* path);       // both out: 260
int FileExists(char* path);
// A file counts as present when its short path resolves and it opens for reading.
int OpensByShortPath(const char* path, char* shortPath, size_t cap);                                          // may rewrite path (260)
BOOL DeleteFileForced(const char* path);
BOOL RemoveFolderForced(const char* path);
int GetFileFacts(const char* file, int areaCode, FileFacts* out);
int FileCreatedText(const char* file, char* out);                  // out: 256
int FileDateAndSize(const char* file, char* date, char* size);     // both out: 256
HGLOBAL ReadTextFile(const char* file, DWORD* size, int crlf);
void OpenHostsFile();
int HostsFilePath(char* out);  // out: 260

// Looks up the first-detected date of a file in an area; set by the first-detected records when they
// are present, so file facts stay free of them.
typedef int (*FirstDetectedLookup)(const char* file, int areaCode, char* out);
extern FirstDetectedLookup FirstDetectedHook;

DWORD LongPathOf(char* out, const char* path);  // out: 260
