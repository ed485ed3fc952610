#include "platform/paths.h"

#include <shlwapi.h>
#include <stdio.h>
#include <string.h>

#include "platform/file_facts.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"

namespace {

int WindowsFolder(char* out, size_t cap) {
  char folder[MAX_PATH];
  UINT n = GetWindowsDirectoryA(folder, sizeof folder);
  if (n == 0 || n >= sizeof folder) folder[0] = 0;
  return (int)CopyText(out, cap, folder);
}

int GetVersionInfo(OSVERSIONINFOA* info) {
  memset(info, 0, sizeof *info);
  info->dwOSVersionInfoSize = sizeof *info;  // 148 bytes
  return GetVersionExA(info) ? 1 : 0;
}

// Text of `text` after a leading, case-insensitive `prefix` (an optional opening quote is passed
// over), or null when the text does not begin with it.
const char* AfterLeading(const char* text, const char* prefix) {
  if (text[0] == '"') ++text;
  size_t n = strlen(prefix);
  if (strlen(text) < n || CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, text, (int)n, prefix, (int)n) != CSTR_EQUAL)
    return nullptr;
  return text + n;
}

// Replaces a leading system-root form by the Windows folder: the \SystemRoot\ of driver paths and an
// unexpanded %SystemRoot%. Returns 1 when replaced.
int ReplaceSystemRoot(const char* command, char* out, size_t cap) {
  const char* rest = AfterLeading(command, "\\SystemRoot\\");
  if (rest) rest -= 1;  // keep the backslash
  if (!rest) rest = AfterLeading(command, "%SystemRoot%");
  if (!rest) return 0;
  WindowsFolder(out, cap);
  AppendText(out, cap, rest);
  return 1;
}

}  // namespace

int ProgramFolder(char* out) {
  RedirectionOff redirection;
  char file[480];
  DWORD n = GetModuleFileNameA(nullptr, file, sizeof file);
  if (n == 0 || n >= sizeof file) return 0;
  int cut = 0;
  for (int i = (int)n - 1; i > 0; --i) {
    if (file[i] == '\\') {
      cut = i;
      break;
    }
  }
  if (cut == 0) return 0;
  file[cut] = 0;
  if (cut >= 260) file[0] = 0;
  return (int)CopyText(out, 260, file);
}

int DataFolder(char* out) {
  char appData[260];
  if (RegReadString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                    "AppData", appData, sizeof appData) > 0 &&
      strlen(appData) + sizeof "\\Vandrelix" <= 260) {
    char folder[260];
    FormatText(folder, sizeof folder, "%s\\Vandrelix", appData);
    if (CreateDirectoryA(folder, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) {
      CopyText(out, 260, folder);
      return 1;
    }
  }
  out[0] = 0;
  return ProgramFolder(out);
}

int VersionText(char* out) {
  out[0] = 0;
  char folder[260];
  if (!ProgramFolder(folder)) return 0;
  static VersionFields fields;  // 5 KB: kept off the stack
  char file[260];

  FormatText(file, sizeof file, "%s\\Vandrelix.exe", folder);
  GetVersionFields(file, &fields);
  CopyText(out, 1024, fields.field[VF_ProductVersion]);
  int last = (int)strlen(fields.field[VF_ProductVersion]);

  FormatText(file, sizeof file, "%s\\VandrelixEx.exe", folder);
  if (FileExists(file)) {
    GetVersionFields(file, &fields);
    AppendText(out, 1024, ":");
    AppendText(out, 1024, fields.field[VF_ProductVersion]);
    last = (int)strlen(fields.field[VF_ProductVersion]);
  }

  char own[480];
  DWORD n = GetModuleFileNameA(nullptr, own, sizeof own);
  if (n > 0 && n < sizeof own) {
    FormatText(file, sizeof file, "%s\\%s", folder, own + FileNamePos(own));
    if (FileExists(file)) {
      GetVersionFields(file, &fields);
      CopyText(out, 1024, fields.field[VF_ProductVersion]);
      last = (int)strlen(fields.field[VF_ProductVersion]);
    }
  }
  return last;
}

int FolderOf(const char* path, char* out) {
  char copy[260];
  CopyText(copy, path);
  int cut = 0;
  for (int i = (int)strlen(copy) - 1; i > 0; --i) {
    if (copy[i] == '\\') {
      cut = i;
      break;
    }
  }
  if (cut > 0) {
    if (cut >= 3) {
      copy[cut] = 0;
    } else {
      copy[cut + 1] = 0;  // a drive root keeps its backslash
    }
    return (int)CopyText(out, 260, copy);
  }
  if (strlen(copy) >= 32) return 0;
  char windows[260], system[260], wow[260];
  WindowsFolder(windows, sizeof windows);
  UINT n = GetSystemDirectoryA(system, sizeof system);
  if (n == 0 || n >= sizeof system) system[0] = 0;
  FormatText(wow, sizeof wow, "%s\\SysWOW64\\", windows);
  char candidate[520];
  FormatText(candidate, sizeof candidate, "%s\\%s", windows, copy);
  if (OpensByShortPath(candidate, nullptr, 0)) return (int)CopyText(out, 260, windows);
  FormatText(candidate, sizeof candidate, "%s\\%s", system, copy);
  if (system[0] && OpensByShortPath(candidate, nullptr, 0)) return (int)CopyText(out, 260, system);
  FormatText(candidate, sizeof candidate, "%s%s", wow, copy);
  if (OpensByShortPath(candidate, nullptr, 0)) return (int)CopyText(out, 260, wow);
  return 0;
}

int UserNameFromProfile(char* out) {
  char profile[128];
  DWORD n = GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
  if (n == 0 || n >= sizeof profile) return 0;
  const char* slash = strrchr(profile, '\\');
  if (!slash) return 0;
  CopyText(out, 128, slash + 1);
  return 1;
}

int StartMenuFolder(char* out) {
  char folder[512];
  if (RegReadString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                    "Start Menu", folder, sizeof folder) > 0) {
    AppendText(folder, "\\");
  } else {
    WindowsFolder(folder, sizeof folder);
    AppendText(folder, "\\Start Menu\\");
  }
  return (int)CopyText(out, 512, folder);
}

// Calls `piece` for every non-empty piece of a ";" list, with its start and length.
template <typename Fn> static void ForEachListPiece(const char* list, Fn piece) {
  for (const char* part = list;;) {
    const char* end = strchr(part, ';');
    size_t n = end ? (size_t)(end - part) : strlen(part);
    if (n) piece(part, n);
    if (!end) break;
    part = end + 1;
  }
}

static int SamePiece(const char* part, size_t n, const char* entry) {
  return strlen(entry) == n && _strnicmp(part, entry, n) == 0;
}

int WinIniRemoveFromList(const char* list, const char* entry, char* out, size_t cap) {
  out[0] = 0;
  size_t need = 1;
  ForEachListPiece(list, [&](const char* part, size_t n) {
    if (SamePiece(part, n, entry)) return;
    need += n + 1;
    size_t o = strlen(out);
    CopyTextN(out + o, cap - o, part, n);
    AppendText(out, cap, ";");
  });
  return need <= cap;
}

int WinIniListWith(const char* list, const char* entry, char* out, size_t cap) {
  out[0] = 0;
  size_t need = 1;
  int first = 1;
  ForEachListPiece(list, [&](const char* part, size_t n) {
    if (!first) AppendText(out, cap, ";");
    first = 0;
    need += n + 1;
    size_t o = strlen(out);
    CopyTextN(out + o, cap - o, part, n);
  });
  need += strlen(entry) + 1;
  AppendText(out, cap, ";");
  AppendText(out, cap, entry);
  return need <= cap;
}

// On NT the [windows] lines of win.ini are kept in this key of the user's registry (the system's
// IniFileMapping). A list kept there as anything but plain text reads as empty or in part.
static int MappedListIsPlainText(const char* key) {
  if (!IsNtPlatform()) return 1;
  RegValueCopy value;
  if (!RegReadWhole(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", key, &value))
    return 1;
  if (value.type != REG_SZ) return 0;
  for (DWORD i = (DWORD)strlen((const char*)value.data); i < value.size; ++i)
    if (value.data[i]) return 0;  // more text after a zero byte
  return 1;
}

int WinIniReadList(const char* key, char* out, size_t cap) {
  if (cap < 3) return 0;
  // A list cut at the buffer's end comes back as cap - 1 characters: only a shorter one is whole.
  DWORD n = GetProfileStringA("windows", key, "", out, (DWORD)cap);
  return n + 1 < cap && MappedListIsPlainText(key);
}

static BOOL WriteWinIniList(const char* key, const char* value) {
  char winIni[MAX_PATH];
  WindowsFolder(winIni, sizeof winIni);
  AppendText(winIni, "\\win.ini");
  DWORD attributes = GetFileAttributesA(winIni);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(winIni, attributes & ~FILE_ATTRIBUTE_READONLY);
  return WriteProfileStringA("windows", key, value);
}

BOOL WinIniRemoveEntry(const char* key, const char* entry) {
  static char list[kWinIniListCapacity], rebuilt[kWinIniListCapacity];
  if (!WinIniReadList(key, list, sizeof list)) return FALSE;  // never write back part of a list
  if (!WinIniRemoveFromList(list, entry, rebuilt, sizeof rebuilt)) return FALSE;
  return WriteWinIniList(key, rebuilt);
}

BOOL WinIniAppendEntry(const char* key, const char* entry) {
  static char list[kWinIniListCapacity], rebuilt[kWinIniListCapacity];
  if (!WinIniReadList(key, list, sizeof list)) return FALSE;
  if (!WinIniListWith(list, entry, rebuilt, sizeof rebuilt)) return FALSE;
  return WriteWinIniList(key, rebuilt);
}

int ReduceCommandText(const char* text, const char* letters, char* out, size_t* scanned) {
  char copy[1024];
  size_t o = 0, start = 0, i = 0;
  for (; text[i] && o + 1 < sizeof copy; ++i) {
    if (text[i] == '.' && text[i + 1] && text[i + 2] && strchr(letters, UpperChar(text[i + 2]))) {
      // The extension ends the program's path: copy the dot and three letters, then stop.
      for (size_t k = 0; k < 4 && text[i] && o + 1 < sizeof copy; ++k, ++i) copy[o++] = UpperChar(text[i]);
      break;
    }
    if (text[i] == ':' && o > 0) start = o - 1;  // the drive letter starts the path
    copy[o++] = UpperChar(text[i]);
  }
  copy[o] = 0;
  if (scanned) *scanned = i;
  return (int)CopyText(out, 260, copy + start);
}

// The native Program Files folder and its 32-bit counterpart, as 64-bit Windows names them.
static void NativeProgramFolders(char* native, char* x86) {
  const char* key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  RegView64 view;
  if (!RegReadString(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir", native, 260)) {
    char windows[MAX_PATH];
    WindowsFolder(windows, sizeof windows);
    FormatText(native, 260, "%.2s\\Program Files", windows[0] ? windows : "C:");
  }
  if (!RegReadString(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir (x86)", x86, 260))
    FormatText(x86, 260, "%s (x86)", native);
}

int ExeFromCommand(const char* command, char* out) {
  if (!command) command = "";
  char text[1024];
  {
    RedirectionOff redirection;
    const char* rest;
    char folder[260];
    if (ReplaceSystemRoot(command, text, sizeof text)) {
    } else if ((rest = AfterLeading(command, "%PROGRAMFILES%")) != nullptr) {
      if (!RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", folder,
                         sizeof folder))
        CopyText(folder, "C:\\Program Files");
      FormatText(text, sizeof text, "%s%s", folder, rest);
    } else if ((rest = AfterLeading(command, "%PROGRAMFILES(X86)%")) != nullptr) {
      if (!RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir (x86)",
                         folder, sizeof folder))
        CopyText(folder, "C:\\Program Files (x86)");
      FormatText(text, sizeof text, "%s%s", folder, rest);
    } else {
      CopyText(text, command);
    }
    ReduceCommandText(text, "XL", out, nullptr);
  }
  if (out[0] && ContainsNoCase(out, "(x86)")) {
    // A 64-bit program named through the 32-bit folder: the same path below the native folder, on
    // whatever drive Windows has them.
    char native[260], x86[260];
    NativeProgramFolders(native, x86);
    const char* rest = AfterLeading(out, x86);
    if (rest && rest[0] == '\\') {
      char probe[260];
      CopyText(probe, out);
      if (!FileExists(probe)) {
        char candidate[260];
        FormatText(candidate, sizeof candidate, "%s%s", native, rest);
        CopyText(probe, candidate);
        if (FileExists(probe)) CopyText(out, 260, candidate);
      }
    }
  }
  return (int)strlen(out);
}

int SplitCommand(const char* command, char* path, char* arguments) {
  if (!command) command = "";
  char text[1024];
  if (!ReplaceSystemRoot(command, text, sizeof text)) CopyText(text, command);
  char reduced[260];
  size_t scanned = 0;
  int copied = ReduceCommandText(text, "XLP", reduced, &scanned);
  LongPathOf(path, reduced);
  CopyText(arguments, 260, text + scanned);
  return copied;
}

int IsNtPlatform() {
  OSVERSIONINFOA info;
  return GetVersionInfo(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

int IsVistaOrLater() {
  OSVERSIONINFOA info;
  return GetVersionInfo(&info) && info.dwMajorVersion > 5;
}

int IsWindows8() {
  OSVERSIONINFOA info;
  return GetVersionInfo(&info) && info.dwMajorVersion == 6 && info.dwMinorVersion == 2;
}

int IsWow64() {
  typedef BOOL(WINAPI * IsWow64Fn)(HANDLE, PBOOL);
  HMODULE kernel = GetModuleHandleA("kernel32");
  IsWow64Fn isWow64 = kernel ? (IsWow64Fn)(void*)GetProcAddress(kernel, "IsWow64Process") : nullptr;
  BOOL wow = FALSE;
  if (!isWow64 || !isWow64(GetCurrentProcess(), &wow)) return 0;
  return wow ? 1 : 0;
}

int UacEnabled() {
  return RegReadDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                      "EnableLUA") != 0;
}

DWORD DllVersionOf(const char* library) {
  HMODULE module = LoadLibraryA(library);
  if (!module) return 0;
  DWORD result = 0;
  DLLGETVERSIONPROC getVersion = (DLLGETVERSIONPROC)(void*)GetProcAddress(module, "DllGetVersion");
  if (getVersion) {
    DLLVERSIONINFO info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;  // 20 bytes
    if (SUCCEEDED(getVersion(&info))) result = (info.dwMajorVersion << 16) | (info.dwMinorVersion & 0xFFFF);
  }
  FreeLibrary(module);
  return result;
}

int DescribeOs(const OsFacts* facts, char* out) {
  const OSVERSIONINFOEXA& v = facts->version;
  char text[512] = "";
  const char* csd = v.szCSDVersion;
  switch (v.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
      CopyText(text, "Microsoft Win32s");
      break;
    case VER_PLATFORM_WIN32_WINDOWS:
      if (v.dwMajorVersion == 4 && v.dwMinorVersion == 0) {
        CopyText(text, "Microsoft Windows 95 ");
        if (csd[0] && (csd[1] == 'C' || csd[1] == 'B')) AppendText(text, "OSR2 ");
      } else if (v.dwMajorVersion == 4 && v.dwMinorVersion == 10) {
        CopyText(text, "Microsoft Windows 98 ");
        if (csd[0] && csd[1] == 'A') AppendText(text, "SE ");
      } else if (v.dwMajorVersion == 4 && v.dwMinorVersion == 90) {
        CopyText(text, "Microsoft Windows Millennium Edition");
      }
      break;
    case VER_PLATFORM_WIN32_NT: {
      if (v.dwMajorVersion < 5) {
        CopyText(text, "Windows NT ");
      } else if (v.dwMajorVersion == 5) {
        CopyText(text, "Windows XP ");
      } else if (v.dwMajorVersion == 6) {
        CopyText(text, v.dwMinorVersion == 1 ? "Windows 7 " : v.dwMinorVersion == 2 ? "Windows 8 " : "Windows Vista ");
      }
      if (facts->extended && v.wServicePackMajor >= 1 && v.wServicePackMajor <= 3) {
        char sp[8];
        FormatText(sp, sizeof sp, "SP%u ", (unsigned)v.wServicePackMajor);
        AppendText(text, sp);
      } else {
        AppendText(text, " ");
      }
      if (v.dwMajorVersion == 6) {
        int workstation = v.wProductType == VER_NT_WORKSTATION;
        if (v.dwMinorVersion == 0) CopyText(text, workstation ? "Windows Vista " : "Windows Server 2008 ");
        if (v.dwMinorVersion == 1) CopyText(text, workstation ? "Windows 7 " : "Windows Server 2008 R2 ");
        if (v.dwMinorVersion == 2 && workstation) CopyText(text, "Windows 8 ");
      }
      if (facts->tablet) AppendText(text, "Tablet PC Edition ");
      char trace[256];
      FormatText(trace, sizeof trace, "Major = %d  Minor= %d   CSD=%s   Build=%d Product Type %d ", (int)v.dwMajorVersion,
                 (int)v.dwMinorVersion, csd, (int)v.dwBuildNumber, (int)v.wProductType);
      TraceLine("Version", trace);
      if (!facts->extended) {
        if (!facts->productOptionsRead) return 0;
        const char* type = facts->productOptions;
        if (lstrcmpiA(type, "WINNT") == 0) AppendText(text, "Workstation ");
        if (lstrcmpiA(type, "LANMANNT") == 0) AppendText(text, "Server ");
        if (lstrcmpiA(type, "SERVERNT") == 0) AppendText(text, "Advanced Server ");
        char numbers[32];
        FormatText(numbers, sizeof numbers, "%d.%d ", (int)v.dwMajorVersion, (int)v.dwMinorVersion);
        AppendText(text, numbers);
      } else if (v.wProductType == VER_NT_WORKSTATION) {
        if (v.dwMajorVersion == 4) {
          AppendText(text, "Workstation 4.0 ");
        } else if (v.wSuiteMask & VER_SUITE_PERSONAL) {
          AppendText(text, "Home Edition ");
        }
      } else if (v.wProductType == VER_NT_SERVER || v.wProductType == VER_NT_DOMAIN_CONTROLLER) {
        if (v.dwMajorVersion == 5 && v.dwMinorVersion == 2) {
          if (v.wSuiteMask & VER_SUITE_DATACENTER) AppendText(text, "Datacenter Edition ");
          else if (v.wSuiteMask & VER_SUITE_ENTERPRISE) AppendText(text, "Enterprise Edition ");
          else if (v.wSuiteMask == VER_SUITE_BLADE) AppendText(text, "Web Edition ");
          else AppendText(text, "Standard Edition ");
        } else if (v.dwMajorVersion == 5 && v.dwMinorVersion == 0) {
          if (v.wSuiteMask & VER_SUITE_DATACENTER) AppendText(text, "Datacenter Server ");
          else if (v.wSuiteMask & VER_SUITE_ENTERPRISE) AppendText(text, "Advanced Server ");
          else AppendText(text, "Server ");
        } else if (v.dwMajorVersion == 4) {
          // The NT 4 names only: the server names of 6.x were set above.
          AppendText(text, (v.wSuiteMask & VER_SUITE_ENTERPRISE) ? "Server 4.0, Enterprise Edition " : "Server 4.0 ");
        }
      }
      char build[320];
      if (v.dwMajorVersion == 4 && lstrcmpiA(csd, "Service Pack 6") == 0 && facts->hotfixQ246009) {
        FormatText(build, sizeof build, "Service Pack 6a (Build %d)", (int)(v.dwBuildNumber & 0xFFFF));
      } else {
        FormatText(build, sizeof build, "%s (Build %d)", csd, (int)(v.dwBuildNumber & 0xFFFF));
      }
      AppendText(text, build);
      break;
    }
    default:
      break;
  }
  return (int)CopyText(out, 512, text);
}

int OsDescription(char* out) {
  static OsFacts facts;
  memset(&facts, 0, sizeof facts);
  facts.version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);  // 156 bytes
  facts.extended = 1;
  if (!GetVersionExA((OSVERSIONINFOA*)&facts.version)) {
    facts.extended = 0;
    memset(&facts.version, 0, sizeof facts.version);
    facts.version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!GetVersionExA((OSVERSIONINFOA*)&facts.version)) return 0;
  }
  facts.tablet = GetSystemMetrics(SM_TABLETPC) != 0;
  if (!facts.extended) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", 0, KEY_QUERY_VALUE,
                      &key) == ERROR_SUCCESS) {
      DWORD size = 256;
      if (RegQueryValueExA(key, "ProductType", nullptr, nullptr, (BYTE*)facts.productOptions, &size) == ERROR_SUCCESS &&
          size <= 256) {
        facts.productOptions[size] = 0;
        facts.productOptionsRead = 1;
      }
      RegCloseKey(key);
    }
  }
  if (facts.version.dwMajorVersion == 4) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009", 0,
                      KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
      facts.hotfixQ246009 = 1;
      RegCloseKey(key);
    }
  }
  return DescribeOs(&facts, out);
}

void FormatDateTimeWith(const SYSTEMTIME* t, const char* datePattern, const char* timePattern, char* out) {
  static const char* const kDatePatterns[] = {"M/d/yyyy", "M/d/yy", "MM/dd/yy", "MM/dd/yyyy",
                                              "yy/MM/dd", "yyyy-MM-dd", "dd-MMM-yy"};
  static const char* const kTimePatterns[] = {"h:mm:ss tt", "hh:mm:ss tt", "H:mm:ss", "HH:mm:ss"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int date = 0, time = 0;
  for (int i = 0; i < 7; ++i)
    if (datePattern && lstrcmpiA(datePattern, kDatePatterns[i]) == 0) date = i;
  for (int i = 0; i < 4; ++i)
    if (timePattern && lstrcmpiA(timePattern, kTimePatterns[i]) == 0) time = i;
  int year = t->wYear, month = t->wMonth, day = t->wDay, hour = t->wHour, minute = t->wMinute;
  char dateText[24];
  switch (date) {
    case 4:
      FormatText(dateText, sizeof dateText, "%02d/%02d/%02d", year, month, day);
      break;
    case 5:
      FormatText(dateText, sizeof dateText, "%04d-%02d-%02d", year, month, day);
      break;
    case 6:
      FormatText(dateText, sizeof dateText, "%02d-%s-%02d", day, (month >= 1 && month <= 12) ? kMonths[month - 1] : "",
                 year);
      break;
    case 1:
    case 2:
      FormatText(dateText, sizeof dateText, "%02d/%02d/%02d", month, day, year);
      break;
    default:
      FormatText(dateText, sizeof dateText, "%02d/%02d/%04d", month, day, year);
      break;
  }
  char timeText[24];
  const char* half = hour <= 12 ? "AM" : "PM";
  int hour12 = hour <= 12 ? hour : hour - 12;
  switch (time) {
    case 1:
      FormatText(timeText, sizeof timeText, "%02d:%02d %s", hour12, minute, half);
      break;
    case 2:
      FormatText(timeText, sizeof timeText, "%d:%02d", hour, minute);
      break;
    case 3:
      FormatText(timeText, sizeof timeText, "%02d:%02d", hour, minute);
      break;
    default:
      FormatText(timeText, sizeof timeText, "%d:%02d %s", hour12, minute, half);
      break;
  }
  FormatText(out, 24, "%s %s", dateText, timeText);
}

int FormatDateTime(const SYSTEMTIME* time, char* out) {
  const char* key = "Control Panel\\International";
  char datePattern[24], timePattern[24];
  RegReadString(HKEY_CURRENT_USER, key, "sShortDate", datePattern, sizeof datePattern);
  RegReadString(HKEY_CURRENT_USER, key, "sTimeFormat", timePattern, sizeof timePattern);
  FormatDateTimeWith(time, datePattern, timePattern, out);
  return 1;
}
