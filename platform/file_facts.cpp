#include "platform/file_facts.h"

#include <shellapi.h>
#include <string.h>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"

FirstDetectedLookup FirstDetectedHook = nullptr;

namespace {

HANDLE OpenForReading(const char* path) {
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

// The whole size of an open file; 0 when it cannot be read.
int SizeOfOpenFile(HANDLE file, unsigned long long* size) {
  DWORD high = 0;
  SetLastError(NO_ERROR);
  DWORD low = GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
  *size = ((unsigned long long)high << 32) | low;
  return 1;
}

int Opens(const char* path) {
  HANDLE file = OpenForReading(path);
  if (file == INVALID_HANDLE_VALUE) return 0;
  CloseHandle(file);
  return 1;
}

}  // namespace

int OpensByShortPath(const char* path, char* shortPath, size_t cap) {
  char brief[MAX_PATH];
  DWORD n = GetShortPathNameA(path, brief, sizeof brief);
  if (n == 0 || n >= sizeof brief || !Opens(brief)) return 0;
  if (shortPath) CopyText(shortPath, cap, brief);
  return 1;
}

namespace {

const char* const kFieldNames[VF_COUNT] = {"ProductName", "ProductVersion", "CompanyName", "FileDescription",
                                           "LegalCopyright"};

}  // namespace

int GetVersionFields(const char* file, VersionFields* out) {
  for (int i = 0; i < VF_COUNT; ++i) out->field[i][0] = 0;
  RedirectionOff redirection;
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(file, &handle);
  if (size == 0 || size >= 8192) return 0;
  static BYTE data[8192];
  if (!GetFileVersionInfoA(file, 0, sizeof data, data)) return 0;
  struct Translation {
    WORD language, codePage;
  }* table = nullptr;
  UINT tableBytes = 0;
  if (!VerQueryValueA(data, "\\VarFileInfo\\Translation", (void**)&table, &tableBytes) || !table) return 0;
  for (UINT t = 0; t < tableBytes / sizeof(Translation); ++t) {
    for (int f = 0; f < VF_COUNT; ++f) {
      char query[96];
      FormatText(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", table[t].language, table[t].codePage,
                 kFieldNames[f]);
      char* value = nullptr;
      UINT length = 0;
      // A later translation replaces an earlier one, an empty field included.
      if (VerQueryValueA(data, query, (void**)&value, &length) && value && strnlen(value, 128) < 128) {
        CopyText(out->field[f], sizeof out->field[f], value);
      } else {
        out->field[f][0] = 0;
      }
    }
  }
  if (ContainsNoCase(out->field[VF_ProductName], "Operating System"))
    CopyText(out->field[VF_ProductName], out->field[VF_FileDescription]);
  return out->field[VF_ProductName][0] != 0;
}

int ShowFileVersionBox(const char* file, UINT titleId, char* out) {
  static VersionFields fields;
  GetVersionFields(file, &fields);
  if (titleId == 0) {
    CopyText(out, 1024, fields.field[VF_FileDescription]);
    return 0;
  }
  char title[256];
  LoadText(titleId, title, sizeof title);
  char text[772];
  if (!fields.field[VF_FileDescription][0]) {
    char notFound[256];
    LoadText(56, notFound, sizeof notFound);
    FormatText(text, sizeof text, "%s  \n%s  \n\n%s     ", title, file, notFound);
  } else {
    FormatText(text, sizeof text, "%s\n\n%s\n\n%s   \n%s   \n\n\n%s   %s   \n%s   ", title, file,
               fields.field[VF_FileDescription], fields.field[VF_LegalCopyright], fields.field[VF_ProductName],
               fields.field[VF_ProductVersion], fields.field[VF_CompanyName]);
  }
  UINT style = (titleId == 7 ? (MB_YESNO | MB_ICONEXCLAMATION) : MB_ICONINFORMATION) | MB_TOPMOST;
  return MessageBoxExA(nullptr, text, ApplicationTitle, style, UiLanguage);
}

int ClassServerOf(const char* classId, char* name, char* path) {
  char key[300];
  FormatText(key, sizeof key, classId[0] == '{' ? "CLSID\\%s" : "CLSID\\{%s}", classId);
  char server[320];
  FormatText(server, sizeof server, "%s\\InprocServer32", key);
  name[0] = 0;
  path[0] = 0;
  char found[512];
  if (!RegReadString(HKEY_CLASSES_ROOT, key, "", found, sizeof found)) {
    if (!RunningOnWow64) return 0;
    // A class registered only for 64-bit programs.
    RegView64 view;
    if (!RegReadString(HKEY_CLASSES_ROOT, key, "", found, sizeof found)) return 0;
    CopyText(name, 260, found);
    RegReadString(HKEY_CLASSES_ROOT, server, "", path, 260);
    return path[0] != 0;
  }
  CopyText(name, 260, found);
  char value[260];
  if (!RegReadString(HKEY_CLASSES_ROOT, server, "", value, sizeof value)) return 0;
  LongPathOf(path, value);
  return 1;
}

int AppPathOf(const char* program, char* version, char* path) {
  version[0] = 0;
  path[0] = 0;
  if (strlen(program) >= 260) return 0;
  char key[360];
  FormatText(key, sizeof key, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\%s", program);
  char file[260];
  if (!RegReadString(HKEY_LOCAL_MACHINE, key, "", file, sizeof file)) return 0;
  char probe[260];
  CopyText(probe, file);
  if (!FileExists(probe)) return 0;
  static VersionFields fields;
  GetVersionFields(file, &fields);
  RegReadString(HKEY_LOCAL_MACHINE, key, "Path", path, 260);
  CopyText(version, 260, fields.field[VF_ProductVersion]);
  return 1;
}

int FileExists(char* path) {
  {
    RedirectionOff redirection;
    if (RunningOnWow64 && path[0] && Opens(path)) return 1;
  }
  if (!path[0]) return 0;
  if (OpensByShortPath(path, nullptr, 0)) return 1;
  size_t length = strlen(path);
  char folder[MAX_PATH], candidate[MAX_PATH * 2];
  if (length < 32) {
    UINT n = GetWindowsDirectoryA(folder, sizeof folder);
    if (n > 0 && n < sizeof folder) {
      FormatText(candidate, sizeof candidate, "%s\\%s", folder, path);
      if (OpensByShortPath(candidate, nullptr, 0)) return 1;
    }
  }
  if (length >= 32) return 0;
  UINT n = GetSystemDirectoryA(folder, sizeof folder);
  if (n == 0 || n >= sizeof folder) return 0;
  FormatText(candidate, sizeof candidate, "%s\\%s", folder, path);
  char found[260];
  if (!OpensByShortPath(candidate, found, sizeof found)) return 0;
  CopyText(path, 260, found);
  return 1;
}

BOOL DeleteFileForced(const char* path) {
  RedirectionOff redirection;
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  return DeleteFileA(path);
}

BOOL RemoveFolderForced(const char* path) {
  RedirectionOff redirection;
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  return RemoveDirectoryA(path);
}

static int LocalText(const FILETIME* time, char* out) {
  FILETIME local;
  SYSTEMTIME parts;
  if (!FileTimeToLocalFileTime(time, &local) || !FileTimeToSystemTime(&local, &parts)) return 0;
  FormatDateTime(&parts, out);
  return 1;
}

int GetFileFacts(const char* file, int areaCode, FileFacts* out) {
  RedirectionOff redirection;
  HANDLE handle = OpenForReading(file);
  if (handle == INVALID_HANDLE_VALUE) {
    TraceLine("Failure to Create GetMyFileTime", file);
    return 0;
  }
  FILETIME created, accessed, written;
  if (!GetFileTime(handle, &created, &accessed, &written)) {
    CloseHandle(handle);
    TraceLine("Failure GetFileTime", file);
    return 0;
  }
  out->size = 0;
  int sizeKnown = SizeOfOpenFile(handle, &out->size);
  CloseHandle(handle);
  if (!sizeKnown) {
    LoadText(923, out->sizeText, sizeof out->sizeText);
  } else {
    GroupThousands(out->sizeText, sizeof out->sizeText, out->size);
  }
  LocalText(&created, out->created);
  LocalText(&accessed, out->accessed);
  LocalText(&written, out->modified);
  char detected[24];
  if (FirstDetectedHook && FirstDetectedHook(file, areaCode, detected)) CopyText(out->firstDetected, detected);
  return 1;
}

int FileCreatedText(const char* file, char* out) {
  out[0] = 0;
  RedirectionOff redirection;
  HANDLE handle = OpenForReading(file);
  if (handle == INVALID_HANDLE_VALUE) return 1;
  FILETIME created;
  BOOL ok = GetFileTime(handle, &created, nullptr, nullptr);
  CloseHandle(handle);
  if (!ok) return 1;
  FILETIME local;
  SYSTEMTIME t;
  if (!FileTimeToLocalFileTime(&created, &local) || !FileTimeToSystemTime(&local, &t)) return 0;
  FormatText(out, 256, "%04d/%02d/%02d %02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
  return 1;
}

int FileDateAndSize(const char* file, char* date, char* size) {
  HANDLE handle = OpenForReading(file);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  FILETIME created, accessed, written;
  BOOL ok = GetFileTime(handle, &created, &accessed, &written);
  unsigned long long bytes = 0;
  if (!SizeOfOpenFile(handle, &bytes)) ok = FALSE;
  CloseHandle(handle);
  if (!ok) return 0;
  char text[24];
  if (!LocalText(&written, text)) return 0;
  DecimalText(size, 256, bytes);
  return (int)CopyText(date, 256, text);
}

HGLOBAL ReadTextFile(const char* file, DWORD* size, int crlf) {
  HANDLE handle = OpenForReading(file);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  // Never more than the file holds, and never so much that the blocks' sizes below (the text, 32 bytes
  // more, and twice the text with doubled line ends) would wrap around.
  DWORD want = *size;
  unsigned long long held = 0;
  if (SizeOfOpenFile(handle, &held) && held < want) want = (DWORD)held;
  if (want > (0xFFFFFFFFu - 32) / 2) {
    CloseHandle(handle);
    return nullptr;
  }
  HGLOBAL first = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (SIZE_T)want + 32);
  if (!first) {
    CloseHandle(handle);
    return nullptr;
  }
  char* text = (char*)GlobalLock(first);
  DWORD got = 0;
  BOOL ok = ReadFile(handle, text, want, &got, nullptr);
  CloseHandle(handle);
  if (!ok || got == 0) {
    GlobalUnlock(first);
    GlobalFree(first);
    return nullptr;
  }
  text[got] = 0;
  DWORD feeds = 0;
  for (DWORD i = 0; i < got; ++i)
    if (text[i] == '\n') ++feeds;
  DWORD resultBytes = got + (crlf ? feeds : 0);
  HGLOBAL second = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (SIZE_T)resultBytes + 32);
  if (!second) {
    *size = got - 1;
    GlobalUnlock(first);
    return first;
  }
  char* result = (char*)GlobalLock(second);
  DWORD o = 0;
  for (DWORD i = 0; i < got; ++i) {
    if (crlf && text[i] == '\n') result[o++] = '\r';
    result[o++] = text[i];
  }
  result[o] = 0;
  *size = o - 1;
  GlobalUnlock(second);
  GlobalUnlock(first);
  GlobalFree(first);
  return second;
}

int HostsFilePath(char* out) {
  char folder[MAX_PATH];
  UINT n = IsNtPlatform() ? GetSystemDirectoryA(folder, sizeof folder) : GetWindowsDirectoryA(folder, sizeof folder);
  if (n == 0 || n >= sizeof folder) return 0;
  return (int)FormatText(out, 260, IsNtPlatform() ? "%s\\drivers\\etc\\HOSTS" : "%s\\HOSTS", folder);
}

void OpenHostsFile() {
  char hosts[260];
  HostsFilePath(hosts);
  char probe[260];
  CopyText(probe, hosts);
  if (hosts[0] && FileExists(probe)) {
    char folder[260];
    CopyTextN(folder, sizeof folder, hosts, strlen(hosts) - 6);
    ShellExecuteA(nullptr, "open", "notepad.exe", hosts, folder, SW_SHOWNORMAL);
    return;
  }
  char text[1024];
  LoadText(736, text, sizeof text);
  MessageBoxA(nullptr, text, ApplicationTitle, MB_ICONINFORMATION | MB_TOPMOST);
}

DWORD LongPathOf(char* out, const char* path) {
  typedef DWORD(WINAPI * LongPathFn)(LPCSTR, LPSTR, DWORD);
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  LongPathFn longPath = kernel ? (LongPathFn)(void*)GetProcAddress(kernel, "GetLongPathNameA") : nullptr;
  char converted[260];
  DWORD n = longPath ? longPath(path, converted, sizeof converted) : 0;
  if (n > 0 && n < sizeof converted) {
    CopyText(out, 260, converted);
    return n;
  }
  CopyText(out, 260, path);
  return 0;
}
