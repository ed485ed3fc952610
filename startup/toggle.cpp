#include "startup/toggle.h"

#include <objbase.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/history.h"
#include "records/net_reports.h"
#include "startup/items.h"
#include "startup/scan.h"

const char kKnownRunList[] = "Software\\Orvenn Studios\\Vandrelix\\Run";

namespace {

const char kWinlogon[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const char kNotify[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify";
const char kWindowsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const char kDelayLoad[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
const char kTaskScheduler[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
const char kExecuteHooks[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Registry views: live startup places are seen as 64-bit Windows sees them; the product's own keys
// stay in the default view. Each object puts the caller's masks back when it ends.
struct ViewScope {
  RegMasks saved = SaveRegMasks();
  ~ViewScope() { RestoreRegMasks(saved); }
};
void UseLiveView() {
  RegReadAccess = kKeyRead64;
  RegWriteAccess = kKeyWrite64;
}
void UseOwnView() {
  RegReadAccess = KEY_READ;
  RegWriteAccess = KEY_ALL_ACCESS;
}

struct RawValue {
  BYTE data[4096];
  DWORD size;
  DWORD type;
};

int ReadValue(HKEY root, const char* key, const char* name, RawValue* value) {
  value->type = 0;
  value->size = RegReadRaw(root, key, name, value->data, sizeof value->data - 2, &value->type);
  value->data[value->size] = value->data[value->size + 1] = 0;
  return value->size > 0;
}

int MarkerPresent(const char* name) {
  ViewScope scope;
  UseOwnView();
  char text[256];
  return RegReadString(HKEY_LOCAL_MACHINE, kDisabledRoot, name, text, sizeof text) > 0;
}

void WriteKnown(const char* name, int code) {
  char text[16];
  FormatText(text, sizeof text, "%d", code);
  RegWriteString(HKEY_CURRENT_USER, kKnownRunList, name, text);
}

// The piece of a win.ini list that an item's display text came from (the item keeps a long,
// unquoted form of it). Returns 1 with the piece as written.
int FindWinIniPiece(const char* key, const char* data, char* piece) {
  char list[1024];
  GetProfileStringA("windows", key, "", list, sizeof list);
  for (char* part = list; part;) {
    char* end = strchr(part, ';');
    if (end) *end = 0;
    if (part[0]) {
      char plain[260], longForm[260];
      StripQuotes(part, plain);
      LongPathOf(longForm, plain);
      if (lstrcmpiA(part, data) == 0 || lstrcmpiA(plain, data) == 0 || lstrcmpiA(longForm, data) == 0) {
        CopyText(piece, 260, part);
        return 1;
      }
    }
    part = end ? end + 1 : nullptr;
  }
  CopyText(piece, 260, data);
  return 0;
}

int ToggleRunValue(const char* name, const char* data, int code, int enable) {
  ViewScope scope;
  const char* live = RunKeyPathOf(code);
  HKEY root = RunRootOf(code);
  const char* store = DisabledStoreOf(code);
  if (!store) return 0;
  static RawValue value;
  if (enable) {
    UseOwnView();
    int stored = ReadValue(HKEY_LOCAL_MACHINE, store, name, &value);
    UseLiveView();
    DWORD written = stored ? RegWriteRaw(root, live, name, value.type, value.data, value.size)
                           : RegWriteString(root, live, name, data);
    if (!written) return 0;  // keep the disabled copy when it cannot go back
    UseOwnView();
    RegRemoveValue(HKEY_LOCAL_MACHINE, store, name);
    return (int)RegRemoveValue(HKEY_LOCAL_MACHINE, kDisabledRoot, name);
  }
  UseLiveView();
  int found = ReadValue(root, live, name, &value);
  UseOwnView();
  RegEnsureKey(HKEY_LOCAL_MACHINE, store);
  DWORD kept = found ? RegWriteRaw(HKEY_LOCAL_MACHINE, store, name, value.type, value.data, value.size)
                     : RegWriteString(HKEY_LOCAL_MACHINE, store, name, data);
  if (!kept) return 0;  // never delete what could not be put away
  UseLiveView();
  RegRemoveValue(root, live, name);
  return WriteDisabledMarker(name, code);
}

int ToggleWinIni(const char* name, const char* data, int code, int enable) {
  const char* key = code == 100 ? "load" : "run";
  const char* store = DisabledStoreOf(code);
  ViewScope scope;
  UseOwnView();
  if (enable) {
    char piece[260];
    if (!RegReadString(HKEY_LOCAL_MACHINE, store, name, piece, sizeof piece)) CopyText(piece, data);
    WinIniAppendEntry(key, piece);
    DeleteDisabledMarker(name);
    RegRemoveValue(HKEY_LOCAL_MACHINE, store, name);
    return 1;
  }
  char piece[260];
  FindWinIniPiece(key, data, piece);
  RegEnsureKey(HKEY_LOCAL_MACHINE, store);
  if (!RegWriteString(HKEY_LOCAL_MACHINE, store, name, piece)) return 0;
  WinIniRemoveEntry(key, piece);
  WriteDisabledMarker(name, code);
  return 1;
}

int StartupFolder(char* out) {
  if (RegReadString(HKEY_CURRENT_USER, kShellFolders, "Startup", out, 260)) return 1;
  if (RegReadString(HKEY_LOCAL_MACHINE, kShellFolders, "Startup", out, 260)) return 1;
  return RegReadString(HKEY_LOCAL_MACHINE, kShellFolders, "Common Startup", out, 260) > 0;
}

int ToggleFolderFile(const char* name, const char* data, const char* command, int enable) {
  // A plain file (a .pif and the like) has no command: the file itself is the entry.
  const char* file = command[0] ? command : data;
  char fileName[260];
  if (!FileNameOf(file, fileName)) return 0;
  char disabled[260];
  if (!DisabledFilesFolder(disabled, 1)) return 0;
  char parked[520];
  FormatText(parked, sizeof parked, "%s\\%s", disabled, fileName);
  if (enable) {
    char folder[260];
    if (!StartupFolder(folder)) return 0;
    char back[520];
    FormatText(back, sizeof back, "%s\\%s", folder, fileName);
    if (!MoveFileA(parked, back)) return 0;
    DeleteDisabledMarker(name);
    return 1;
  }
  if (!MoveFileA(file, parked)) return 0;  // a file of that name already parked stays untouched
  WriteDisabledMarker(name, 200);
  return 1;
}

int ToggleNotify(const char* name, const char* data, int enable) {
  const char* store = DisabledStoreOf(256);
  ViewScope scope;
  UseOwnView();
  if (enable) {
    EnableNotifyEntry(name);
    DeleteDisabledMarker(name);
    return (int)RegRemoveValue(HKEY_LOCAL_MACHINE, store, name);
  }
  RegEnsureKey(HKEY_LOCAL_MACHINE, store);
  RegWriteString(HKEY_LOCAL_MACHINE, store, name, data);
  WriteDisabledMarker(name, 256);
  WriteKnown(data, 256);
  DisableNotifyEntry(name);
  return 1;
}

// Text of a registry value as a history line can hold it (what a restore writes back).
void ValueText(const RawValue& value, const char* fallback, char* out) {
  if (value.size && (value.type == REG_SZ || value.type == REG_EXPAND_SZ)) {
    CopyText(out, 260, (const char*)value.data);
  } else {
    CopyText(out, 260, fallback);
  }
}

// The program and arguments of a shortcut, as one command line for the history.
void ShortcutCommandLine(const char* link, char* out) {
  out[0] = 0;
  CoInitialize(nullptr);
  IShellLinkA* shellLink = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&shellLink))) {
    IPersistFile* file = nullptr;
    WCHAR wide[MAX_PATH];
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, (void**)&file)) &&
        MultiByteToWideChar(CP_ACP, 0, link, -1, wide, MAX_PATH) && SUCCEEDED(file->Load(wide, STGM_READ))) {
      char target[MAX_PATH] = "", arguments[MAX_PATH] = "";
      shellLink->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
      shellLink->GetArguments(arguments, MAX_PATH);
      if (arguments[0]) {
        FormatText(out, 260, "\"%s\" %s", target, arguments);
      } else {
        CopyText(out, 260, target);
      }
    }
    if (file) file->Release();
    shellLink->Release();
  }
  CoUninitialize();
}

}  // namespace

int DisabledFilesFolder(char* out, int create) {
  char folder[260];
  if (!ProgramFolder(folder)) return 0;
  FormatText(out, 260, "%s\\Disabled", folder);
  if (create) CreateDirectoryA(out, nullptr);
  return 1;
}

int ToggleStartupItem(const char* name, const char* data, const char* command, int code) {
  if (!name) return 0;
  int enable = MarkerPresent(name);
  // The marker is shared by name: one that belongs to another place is not this entry's to use.
  if (enable && ReadDisabledMarker(name) != code) return 0;
  if (IsRunFamilyCode(code) && code != 26 && code != 27) return ToggleRunValue(name, data, code, enable);
  if (code == 100 || code == 101) return ToggleWinIni(name, data, code, enable);
  if (code == 200) return ToggleFolderFile(name, data, command ? command : "", enable);
  if (code == 256) return ToggleNotify(name, data, enable);
  return 0;
}

void RedisableReturnedValue(const char* name, int code) {
  const char* store = DisabledStoreOf(code);
  if (!store) return;
  ViewScope scope;
  static RawValue value;
  UseLiveView();
  if (!ReadValue(RunRootOf(code), RunKeyPathOf(code), name, &value)) return;
  UseOwnView();
  RegEnsureKey(HKEY_LOCAL_MACHINE, store);
  // The value as it came back replaces the older disabled copy.
  if (!RegWriteRaw(HKEY_LOCAL_MACHINE, store, name, value.type, value.data, value.size)) return;
  UseLiveView();
  RegRemoveValue(RunRootOf(code), RunKeyPathOf(code), name);
  WriteDisabledMarker(name, code);
}

int RemoveStartupItem(const char* name, const char* data, const char* command, int code) {
  if (code >= 250 && code <= 255) return RemoveAdvancedItem(MainWindow, name, data, command, code);
  DWORD result = 0;
  char original[260];
  CopyText(original, data);
  if (IsRunFamilyCode(code) && code != 26 && code != 27) {
    ViewScope scope;
    static RawValue value;
    const char* store = DisabledStoreOf(code);
    if (ReadDisabledMarker(name) == code) {
      UseOwnView();
      ReadValue(HKEY_LOCAL_MACHINE, store, name, &value);
      ValueText(value, data, original);
      result = RegRemoveValue(HKEY_LOCAL_MACHINE, store, name);
      DeleteDisabledMarker(name);
    } else {
      UseLiveView();
      ReadValue(RunRootOf(code), RunKeyPathOf(code), name, &value);
      ValueText(value, data, original);
      result = RegRemoveValue(RunRootOf(code), RunKeyPathOf(code), name);
    }
  } else if (code == 100 || code == 101) {
    const char* key = code == 100 ? "load" : "run";
    ViewScope scope;
    UseOwnView();
    if (ReadDisabledMarker(name) == code) {
      RegReadString(HKEY_LOCAL_MACHINE, DisabledStoreOf(code), name, original, sizeof original);
      DeleteDisabledMarker(name);
      RegRemoveValue(HKEY_LOCAL_MACHINE, DisabledStoreOf(code), name);
    } else {
      FindWinIniPiece(key, data, original);
    }
    result = WinIniRemoveEntry(key, original);
  } else if (code == 200) {
    if (ReadDisabledMarker(name) == 200) DeleteDisabledMarker(name);
    char file[260];
    CopyText(file, command ? command : "");
    char probe[260];
    CopyText(probe, file);
    if (file[0] && FileExists(probe)) {
      // A shortcut: remember what it started, then delete the link only, never its program.
      if (lstrlenA(file) > 4 && lstrcmpiA(file + lstrlenA(file) - 4, ".lnk") == 0) {
        char line[260];
        ShortcutCommandLine(file, line);
        if (line[0]) CopyText(original, line);
      }
      result = DeleteFileForced(file);
    } else if (!file[0]) {
      result = DeleteFileForced(data);
    }
  }
  if (!ContainsNoCase(original, "Vandrelix") && !ContainsNoCase(data, "Vandrelix")) {
    RecordHistoryEvent(name, original, command ? command : "", code, 0);
    ReportRemovalToCloud(name, original);
  }
  RegRemoveValue(HKEY_CURRENT_USER, kKnownRunList, data);
  RegRemoveValue(HKEY_CURRENT_USER, kKnownRunList, name);
  return (int)result;
}

int RemoveAdvancedItem(HWND owner, const char* title, const char* file, const char* command, int code) {
  int action = -1;
  if (code == 250) {
    ResetWinlogonUserinit();
    action = 21;
  } else if (code == 251) {
    ResetWinlogonShell();
    action = 22;
  } else if (code >= 252 && code <= 255) {
    if (RemovalWarningDialog(owner, title, file) != IDYES) return 1;
    RegRemoveValue(HKEY_CURRENT_USER, kKnownRunList, file);
    ViewScope scope;
    UseLiveView();
    if (code == 252) {
      RegRemoveValue(HKEY_LOCAL_MACHINE, kDelayLoad, title);
      action = 24;
    } else if (code == 253) {
      RegRemoveValue(HKEY_LOCAL_MACHINE, kTaskScheduler, command);
      action = 23;
    } else if (code == 254) {
      RegRemoveValue(HKEY_LOCAL_MACHINE, kExecuteHooks, command);
      action = 25;
    } else {
      RemoveAppInitDll(file);
      action = 0;
    }
  }
  if (action >= 0) RecordHistoryEvent(title, file, command, code, action);
  return 1;
}

int RestoreStartupItem(const char* name, const char* data, const char* command, int code) {
  ViewScope scope;
  if (IsRunFamilyCode(code)) {
    UseLiveView();
    // A command that names environment variables is stored the way Windows expands it.
    const char* first = strchr(data, '%');
    DWORD type = (first && strchr(first + 1, '%')) ? REG_EXPAND_SZ : REG_SZ;
    if (!RegWriteRaw(RunRootOf(code), RunKeyPathOf(code), name, type, (const BYTE*)data, (DWORD)strlen(data) + 1))
      return 0;
  } else if (code == 100 || code == 101) {
    WinIniAppendEntry(code == 100 ? "load" : "run", data);
  } else if (code == 200) {
    char target[260], arguments[260];
    if (data[0] == '"') {
      const char* close = strchr(data + 1, '"');
      CopyTextN(target, sizeof target, data + 1, close ? (size_t)(close - data - 1) : strlen(data + 1));
      CopyText(arguments, close ? close + 1 + (close[1] == ' ') : "");
    } else {
      CopyText(target, data);
      arguments[0] = 0;
    }
    if (!command[0] || !CreateShortcut(command, target, arguments, name)) return 0;
  } else if (code >= 252 && code <= 254) {
    UseLiveView();
    if (code == 252) RegWriteString(HKEY_LOCAL_MACHINE, kDelayLoad, name, command);
    if (code == 253) RegWriteString(HKEY_LOCAL_MACHINE, kTaskScheduler, command, name);
    if (code == 254) RegWriteString(HKEY_LOCAL_MACHINE, kExecuteHooks, command, name);
  } else if (code == 255) {
    AddAppInitDll(data);
  } else if (code == 256) {
    EnableNotifyEntry(name);
    return 0;
  } else {
    return 0;
  }
  RestoreRegMasks(scope.saved);
  WriteKnown(data, code);
  return 1;
}

void DisableNotifyEntry(const char* name) {
  ViewScope scope;
  UseLiveView();
  char key[400], dll[260];
  FormatText(key, sizeof key, "%s\\%s", kNotify, name);
  RegReadString(HKEY_LOCAL_MACHINE, key, "DLLName", dll, sizeof dll);
  RegWriteString(HKEY_LOCAL_MACHINE, key, "OldName", dll);
  RegWriteString(HKEY_LOCAL_MACHINE, key, "DLLName", "");
}

void EnableNotifyEntry(const char* name) {
  ViewScope scope;
  UseLiveView();
  char key[400], dll[260];
  FormatText(key, sizeof key, "%s\\%s", kNotify, name);
  RegReadString(HKEY_LOCAL_MACHINE, key, "OldName", dll, sizeof dll);
  RegWriteString(HKEY_LOCAL_MACHINE, key, "DLLName", dll);
  RegWriteString(HKEY_LOCAL_MACHINE, key, "OldName", "");
}

void AppInitListWithout(const char* list, const char* path, char* out, size_t cap) {
  out[0] = 0;
  char pieces[64][256];
  int count = 0;
  for (const char* p = list; count < 64;) {
    const char* end = strpbrk(p, ", ");
    size_t n = end ? (size_t)(end - p) : strlen(p);
    CopyTextN(pieces[count++], sizeof pieces[0], p, n);
    if (!end) break;
    p = end + 1;
  }
  if (count == 1 && !pieces[0][0]) return;  // an empty list stays empty
  for (int i = 0; i < count; ++i) {
    char longForm[260];
    LongPathOf(longForm, pieces[i]);
    bool removed = pieces[i][0] && (lstrcmpiA(longForm, path) == 0 || lstrcmpiA(pieces[i], path) == 0);
    bool last = i == count - 1;
    if (removed) {
      size_t n = strlen(out);
      if (last && n > 0 && out[n - 1] == ',') out[n - 1] = 0;
      continue;
    }
    AppendText(out, cap, pieces[i]);
    if (!last) AppendText(out, cap, ",");
  }
}

void RemoveAppInitDll(const char* path) {
  ViewScope scope;
  UseLiveView();
  char list[256], rebuilt[512];
  RegReadString(HKEY_LOCAL_MACHINE, kWindowsKey, "AppInit_Dlls", list, sizeof list);
  AppInitListWithout(list, path, rebuilt, sizeof rebuilt);
  RegWriteString(HKEY_LOCAL_MACHINE, kWindowsKey, "AppInit_Dlls", rebuilt);
}

void AddAppInitDll(const char* path) {
  ViewScope scope;
  UseLiveView();
  char list[256], brief[260];
  RegReadString(HKEY_LOCAL_MACHINE, kWindowsKey, "AppInit_Dlls", list, sizeof list);
  DWORD n = GetShortPathNameA(path, brief, sizeof brief);
  if (n == 0 || n >= sizeof brief) CopyText(brief, path);
  char rebuilt[600];
  FormatText(rebuilt, sizeof rebuilt, "%s%s%s", list, list[0] ? "," : "", brief);
  RegWriteString(HKEY_LOCAL_MACHINE, kWindowsKey, "AppInit_Dlls", rebuilt);
}

void ResetWinlogonUserinit() {
  char system[MAX_PATH];
  UINT n = GetSystemDirectoryA(system, sizeof system);
  if (n == 0 || n >= sizeof system) return;
  char value[300];
  FormatText(value, sizeof value, "%s\\Userinit.exe,", system);
  ViewScope scope;
  UseLiveView();
  RegWriteString(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit", value);
  UseOwnView();
  RegWriteString(HKEY_LOCAL_MACHINE, kKnownRunList, value, "250");
}

void ResetWinlogonShell() {
  ViewScope scope;
  UseLiveView();
  RegWriteString(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", "Explorer.exe");
  UseOwnView();
  RegWriteString(HKEY_LOCAL_MACHINE, kKnownRunList, "Explorer.exe", "251");
}

int ReregisterDll(const char* path) {
  char command[300];
  FormatText(command, sizeof command, "regsvr32 /s %s", path);
  WinExec(command, SW_SHOW);
  return 0;
}

void WininitWithDelete(const char* text, const char* shortPath, char* out, size_t cap) {
  char line[300];
  FormatText(line, sizeof line, "NUL=%s\r\n", shortPath);
  const char* section = nullptr;
  for (const char* p = text; *p; p = strchr(p, '\n') ? strchr(p, '\n') + 1 : p + strlen(p)) {
    if (_strnicmp(p, "[rename]", 8) == 0) {
      section = p;
      break;
    }
  }
  out[0] = 0;
  if (!section) {
    // No [rename] section yet: keep the file as it is and add one at its end.
    AppendText(out, cap, text);
    size_t n = strlen(out);
    if (n && out[n - 1] != '\n') AppendText(out, cap, "\r\n");
    AppendText(out, cap, "[rename]\r\n");
    AppendText(out, cap, line);
    return;
  }
  // The new line goes right below the section header; every other line stays as it was.
  const char* after = strchr(section, '\n');
  size_t head = after ? (size_t)(after + 1 - text) : strlen(text);
  CopyTextN(out, cap, text, head);
  if (!after) AppendText(out, cap, "\r\n");
  AppendText(out, cap, line);
  AppendText(out, cap, text + head);
}

int DeleteOnRestart(const char* path) {
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  if (IsNtPlatform()) {
    if (!MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return 0;
    ReportRemovalToCloud("", path);
    return 1;
  }
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, sizeof windows);
  char file[MAX_PATH + 16];
  FormatText(file, sizeof file, "%s\\wininit.ini", windows);
  char brief[260];
  DWORD n = GetShortPathNameA(path, brief, sizeof brief);
  if (n == 0 || n >= sizeof brief) CopyText(brief, path);
  static char text[16384], rebuilt[16384 + 400];
  text[0] = 0;
  HANDLE handle = CreateFileA(file, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  DWORD got = 0;
  if (!ReadFile(handle, text, sizeof text - 1, &got, nullptr)) got = 0;
  text[got] = 0;
  if (GetFileSize(handle, nullptr) >= sizeof text - 1) {
    CloseHandle(handle);  // too large to rewrite safely: leave it alone
    return 0;
  }
  WininitWithDelete(text, brief, rebuilt, sizeof rebuilt);
  DWORD put = 0;
  SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
  BOOL ok = WriteFile(handle, rebuilt, (DWORD)strlen(rebuilt), &put, nullptr);
  SetEndOfFile(handle);
  CloseHandle(handle);
  return ok ? 1 : 0;
}

int CreateShortcut(const char* link, const char* target, const char* arguments, const char* description) {
  HRESULT init = CoInitialize(nullptr);
  int result = 0;
  IShellLinkA* shellLink = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&shellLink))) {
    char folder[260];
    if (!FolderOf(target, folder)) folder[0] = 0;
    shellLink->SetPath(target);
    if (arguments && arguments[0]) shellLink->SetArguments(arguments);
    shellLink->SetWorkingDirectory(folder);
    shellLink->SetDescription(description);
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, (void**)&file))) {
      WCHAR wide[MAX_PATH];
      if (MultiByteToWideChar(CP_ACP, 0, link, -1, wide, MAX_PATH) && SUCCEEDED(file->Save(wide, TRUE))) result = 1;
      file->Release();
    }
    shellLink->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return result;
}

static INT_PTR CALLBACK RestartCommandsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      PlaceDialog(dialog, nullptr);
      {
        char caption[128];
        LoadText(30, caption, sizeof caption);
        SetWindowTextA(dialog, caption);
      }
      SetDlgItemTextA(dialog, IDC_RESTART_TEXT, (const char*)lParam);
      SetItemTextFromId(dialog, 614, IDC_RESTART_DELETE);
      SetItemTextFromId(dialog, 304, IDCANCEL);
      SetItemTextFromId(dialog, 702, IDC_RESTART_NOTE);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_RESTART_DELETE) {
        char windows[MAX_PATH], file[MAX_PATH + 16];
        GetWindowsDirectoryA(windows, sizeof windows);
        FormatText(file, sizeof file, "%s\\wininit.ini", windows);
        DeleteFileForced(file);
        EndDialog(dialog, IDC_RESTART_DELETE);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      break;
  }
  return FALSE;
}

int ShowRestartCommands(int quiet) {
  char windows[MAX_PATH], file[MAX_PATH + 16], program[MAX_PATH + 16];
  GetWindowsDirectoryA(windows, sizeof windows);
  FormatText(file, sizeof file, "%s\\wininit.ini", windows);
  FormatText(program, sizeof program, "%s\\wininit.exe", windows);
  int pending = 0;
  HGLOBAL block = nullptr;
  DWORD size = 16384;
  if (GetFileAttributesA(program) != INVALID_FILE_ATTRIBUTES) {
    block = ReadTextFile(file, &size, 1);
    pending = block != nullptr;
  }
  if (!pending) {
    if (!quiet) {
      char text[256];
      LoadText(59, text, sizeof text);
      MessageBoxExA(MainWindow, text, ApplicationTitle, MB_ICONINFORMATION | MB_TOPMOST, UiLanguage);
    }
    return 0;
  }
  if (!quiet) {
    const char* text = (const char*)GlobalLock(block);
    DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_RESTART_COMMANDS), MainWindow, RestartCommandsProc, (LPARAM)text);
    GlobalUnlock(block);
  }
  GlobalFree(block);
  return 1;
}

struct WarningArgs {
  const char* title;
  const char* file;
};

static const char* const kWarningPlace[4] = {"xDefaultWarning", "yDefaultWarning", "dxDefaultWarning",
                                             "dyDefaultWarning"};

static INT_PTR CALLBACK RemovalWarningProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      PlaceDialog(dialog, kWarningPlace);
      const WarningArgs* args = (const WarningArgs*)lParam;
      char caption[128];
      LoadText(972, caption, sizeof caption);
      SetWindowTextA(dialog, caption);
      SetDlgItemTextA(dialog, IDC_WARNING_FILE, args->file);
      SetItemTextFromId(dialog, 907, IDC_WARNING_TEXT);
      SetItemTextFromId(dialog, 906, IDC_WARNING_CONFIRM);
      static VersionFields fields;
      GetVersionFields(args->file, &fields);
      char text[512];
      if (ContainsNoCase(fields.field[VF_LegalCopyright], "Microsoft")) {
        char pattern[256];
        LoadText(909, pattern, sizeof pattern);
        FillTemplate(text, sizeof text, pattern, args->title);
      } else {
        CopyText(text, args->title);
      }
      SetDlgItemTextA(dialog, IDC_WARNING_TITLE, text);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        KeepDialogPlace(dialog, kWarningPlace);
        EndDialog(dialog, IsDlgButtonChecked(dialog, IDC_WARNING_CONFIRM) == BST_CHECKED ? IDYES : IDNO);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        KeepDialogPlace(dialog, kWarningPlace);
        EndDialog(dialog, IDNO);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

INT_PTR RemovalWarningDialog(HWND owner, const char* title, const char* file) {
  WarningArgs args = {title, file};
  return DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_REMOVAL_WARNING), owner, RemovalWarningProc, (LPARAM)&args);
}
