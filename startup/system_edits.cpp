// The edits of the less obvious startup places (Winlogon values, AppInit_DLLs, Notify packages), the
// restart-time deletes and the dialogs that belong to them.
#include <objbase.h>
#include <shlobj.h>
#include <stdlib.h>
#include <string.h>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/net_reports.h"
#include "startup/toggle.h"

namespace {

const char kWinlogon[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const char kNotify[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify";
const char kWindowsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

void NotifyKey(const char* name, char* out) { FormatText(out, 400, "%s\\%s", kNotify, name); }

// Moves one value of a key to another name of the same key, whole (type and bytes), then empties or
// deletes the source. Refuses when the target holds anything but an empty text or the same value (a
// move cut short between its two steps, which this one finishes).
int MoveNotifyValue(const char* key, const char* from, const char* to, int blankSource) {
  RegView64 view;
  RegValueCopy value, target;
  if (!RegReadWhole(HKEY_LOCAL_MACHINE, key, from, &value) || value.size == 0 || !value.data[0]) return 0;
  if (RegReadWhole(HKEY_LOCAL_MACHINE, key, to, &target) && target.size > 1 && !RegSameValue(&target, &value)) return 0;
  if (!RegWriteRaw(HKEY_LOCAL_MACHINE, key, to, value.type, value.data, value.size)) return 0;
  if (blankSource) return (int)RegWriteString(HKEY_LOCAL_MACHINE, key, from, "");
  return (int)RegEraseValue(HKEY_LOCAL_MACHINE, key, from);
}

// Calls `piece` for each piece of an AppInit list (separated by commas and blanks, empty pieces
// included), with its start and length.
template <typename Fn> void ForEachAppInitPiece(const char* list, Fn piece) {
  for (const char* p = list;;) {
    const char* end = strpbrk(p, ", ");
    size_t n = end ? (size_t)(end - p) : strlen(p);
    piece(p, n, end == nullptr);
    if (!end) break;
    p = end + 1;
  }
}

int SameDll(const char* piece, size_t n, const char* path) {
  if (n == 0 || n >= 260) return 0;
  char text[260], longForm[260];
  CopyTextN(text, sizeof text, piece, n);
  LongPathOf(longForm, text);
  return lstrcmpiA(longForm, path) == 0 || lstrcmpiA(text, path) == 0;
}

int ReadAppInit(RegValueCopy* list) {
  RegView64 view;
  return RegReadWhole(HKEY_LOCAL_MACHINE, kWindowsKey, "AppInit_DLLs", list);
}

int WriteAppInit(DWORD type, const char* text) {
  RegView64 view;
  if (type != REG_EXPAND_SZ) type = REG_SZ;
  return (int)RegWriteRaw(HKEY_LOCAL_MACHINE, kWindowsKey, "AppInit_DLLs", type, (const BYTE*)text,
                          (DWORD)strlen(text) + 1);
}

}  // namespace

int DisableNotifyEntry(const char* name) {
  char key[400];
  NotifyKey(name, key);
  return MoveNotifyValue(key, "DllName", "OldName", 1);
}

int EnableNotifyEntry(const char* name) {
  char key[400];
  NotifyKey(name, key);
  return MoveNotifyValue(key, "OldName", "DllName", 0);
}

void AppInitListWithout(const char* list, const char* path, char* out, size_t cap) {
  out[0] = 0;
  if (!list[0]) return;  // an empty list stays empty
  ForEachAppInitPiece(list, [&](const char* piece, size_t n, bool last) {
    if (SameDll(piece, n, path)) {
      size_t o = strlen(out);
      if (last && o > 0 && out[o - 1] == ',') out[o - 1] = 0;
      return;
    }
    size_t o = strlen(out);
    CopyTextN(out + o, cap - o, piece, n);
    if (!last) AppendText(out, cap, ",");
  });
}

int RemoveAppInitDll(const char* path) {
  RegValueCopy list;
  if (!ReadAppInit(&list) || (list.type != REG_SZ && list.type != REG_EXPAND_SZ)) return 0;
  const char* text = (const char*)list.data;
  int found = 0;
  ForEachAppInitPiece(text, [&](const char* piece, size_t n, bool) { found |= SameDll(piece, n, path); });
  if (!found) return 0;
  // The whole list, however long: the new one is never longer than the old.
  size_t cap = strlen(text) + 1;
  char* rebuilt = (char*)malloc(cap);
  if (!rebuilt) return 0;
  AppInitListWithout(text, path, rebuilt, cap);
  int written = WriteAppInit(list.type, rebuilt);
  free(rebuilt);
  return written;
}

int AppInitPieceOf(const char* path, char* out) {
  out[0] = 0;
  RegValueCopy list;
  if (!ReadAppInit(&list) || (list.type != REG_SZ && list.type != REG_EXPAND_SZ)) return 0;
  int found = 0;
  ForEachAppInitPiece((const char*)list.data, [&](const char* p, size_t n, bool) {
    if (!found && SameDll(p, n, path)) found = (int)CopyTextN(out, 260, p, n) > 0;
  });
  return found;
}

int AddAppInitPiece(const char* piece) {
  RegValueCopy list;
  DWORD type = REG_SZ;
  const char* text = "";
  if (ReadAppInit(&list)) {
    if (list.type != REG_SZ && list.type != REG_EXPAND_SZ) return 0;
    type = list.type;
    text = (const char*)list.data;
  }
  int present = 0;
  ForEachAppInitPiece(text, [&](const char* p, size_t n, bool) {
    present |= n == strlen(piece) && _strnicmp(p, piece, n) == 0;
  });
  if (present) return 1;
  size_t cap = strlen(text) + strlen(piece) + 2;
  char* rebuilt = (char*)malloc(cap);
  if (!rebuilt) return 0;
  FormatText(rebuilt, cap, "%s%s%s", text, text[0] ? "," : "", piece);
  int written = WriteAppInit(type, rebuilt);
  free(rebuilt);
  return written;
}

int AddAppInitDll(const char* path) {
  RegValueCopy list;
  if (ReadAppInit(&list) && (list.type == REG_SZ || list.type == REG_EXPAND_SZ)) {
    int present = 0;
    ForEachAppInitPiece((const char*)list.data, [&](const char* p, size_t n, bool) { present |= SameDll(p, n, path); });
    if (present) return 1;
  }
  char brief[260];
  DWORD n = GetShortPathNameA(path, brief, sizeof brief);
  if (n == 0 || n >= sizeof brief) CopyText(brief, path);
  return AddAppInitPiece(brief);
}

void ResetWinlogonUserinit() {
  char system[MAX_PATH];
  UINT n = GetSystemDirectoryA(system, sizeof system);
  if (n == 0 || n >= sizeof system) return;
  char value[300];
  FormatText(value, sizeof value, "%s\\Userinit.exe,", system);
  {
    RegView64 view;
    RegWriteString(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit", value);
  }
  DefaultRegView own;
  RegWriteString(HKEY_LOCAL_MACHINE, kKnownRunList, value, "250");
}

void ResetWinlogonShell() {
  {
    RegView64 view;
    RegWriteString(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", "Explorer.exe");
  }
  DefaultRegView own;
  RegWriteString(HKEY_LOCAL_MACHINE, kKnownRunList, "Explorer.exe", "251");
}

int RegsvrCommand(const char* path, char* out, size_t cap) {
  out[0] = 0;
  // Quoted, so a path with blanks is one argument; a path that does not fit whole is not run cut.
  if (!path || !path[0] || strchr(path, '"')) return 0;
  if (strlen(path) + sizeof "regsvr32 /s \"\"" > cap) return 0;
  return (int)FormatText(out, cap, "regsvr32 /s \"%s\"", path);
}

int ReregisterDll(const char* path) {
  char command[300];
  if (RegsvrCommand(path, command, sizeof command)) WinExec(command, SW_SHOW);
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
