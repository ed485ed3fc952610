#include "startup/delay.h"

#include <shellapi.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/items.h"
#include "startup/scan.h"
#include "startup/toggle.h"

const char kDelayRoot[] = "Software\\Orvenn Studios\\Vandrelix\\Delay";
int MonitorRegistered = 0;

// The delay keys are kept in one view, the default one, for every read, write and delete.
namespace {

void DelayKey(const char* sub, char* out) {
  FormatText(out, 128, sub[0] ? "%s\\%s" : "%s%s", kDelayRoot, sub);
}

}  // namespace

int ReadDelayText(HKEY root, const char* sub, const char* command, char* out, DWORD cap) {
  char key[128];
  DelayKey(sub, key);
  return (int)RegReadString(root, key, command, out, cap);
}

void SplitDelayTime(int seconds, int* minutes, int* secondsEntry) {
  if (seconds < 0) seconds = 0;
  *minutes = seconds / 60;
  int rest = (seconds - *minutes * 60) / 10;
  *secondsEntry = rest < 1 ? 0 : rest;
}

int ShowCommandOfState(int state) {
  if (state == 1) return SW_MINIMIZE;
  if (state == 2) return SW_SHOWMAXIMIZED;
  return SW_SHOWNORMAL;  // 0, and anything unknown
}

void DelayedCommandLine(const char* applet, const char* command, const char* parameters, char* out, size_t cap) {
  out[0] = 0;
  if (applet && applet[0]) {
    AppendText(out, cap, applet);
    AppendText(out, cap, " ");
  }
  AppendText(out, cap, command);
  if (parameters && parameters[0]) {
    AppendText(out, cap, " ");
    AppendText(out, cap, parameters);
  }
}

int ScanDelayedPrograms() {
  ClearStartupItems();
  DefaultRegView view;
  static VersionFields fields;
  const HKEY roots[2] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
  for (int flag = 0; flag < 2; ++flag) {
    HKEY key = RegOpenForReading(roots[flag], kDelayRoot);
    if (!key) continue;
    DWORD count = RegValueCount(key);
    for (DWORD index = 0, read = 0; read < count; ++index) {
      char command[256];
      BYTE data[260];
      LONG rc = RegValueAt(key, index, command, sizeof command - 1, data, sizeof data - 1, nullptr, nullptr);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      ++read;
      if (rc != ERROR_SUCCESS || !command[0]) continue;
      GetVersionFields(command, &fields);
      char title[260];
      if (!ReadDelayText(roots[flag], "Title", command, title, sizeof title)) {
        CopyText(title, fields.field[VF_ProductName]);
        if (!title[0] && !FileNameOf(command, title)) CopyText(title, command);
        if (ContainsNoCase(title, "Microsoft\xAE Windows\xAE")) CopyText(title, fields.field[VF_FileDescription]);
      }
      int code = atoi((const char*)data);
      char second[260];
      if (code != 200 || !ReadDelayText(roots[flag], "Shortcuts", command, second, sizeof second)) CopyText(second, title);
      char file[260], description[1024];
      CopyText(file, command);
      CopyText(description, fields.field[VF_FileDescription]);
      AddStartupItem(title, file, second, description, code, flag);
    }
    RegCloseKey(key);
  }
  return StartupItemCount;
}

void RemoveFromDelay(HKEY root, const char* command) {
  DefaultRegView view;
  static const char* const kSubs[] = {"", "Time", "Parameters", "Shortcuts", "Applet", "Title"};
  for (const char* sub : kSubs) {
    char key[128];
    DelayKey(sub, key);
    RegRemoveValue(root, key, command);
  }
}

void RestoreDelayedPrograms() {
  ScanDelayedPrograms();
  // The table is rebuilt by each restore's bookkeeping elsewhere: work from a copy of the items.
  int count = StartupItemCount;
  struct Delayed {
    char title[128], command[260], second[260];
    HKEY root;
  };
  Delayed* items = (Delayed*)calloc(count ? count : 1, sizeof(Delayed));
  if (!items) return;
  for (int i = 0; i < count; ++i) {
    GetItemTitle(i, items[i].title);
    GetItemFile(i, items[i].command);
    GetItemCommand(i, items[i].second);
    // Where the entry was found, not what its old code says: a per-user entry may carry a machine code.
    items[i].root = GetItemFlag(i) == 1 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  }
  for (int i = 0; i < count; ++i) {
    HKEY root = items[i].root;
    char parameters[260] = "", applet[256] = "", stored[256] = "";
    {
      DefaultRegView view;
      ReadDelayText(root, "Parameters", items[i].command, parameters, sizeof parameters);
      ReadDelayText(root, "Applet", items[i].command, applet, sizeof applet);
      ReadDelayText(root, "", items[i].command, stored, sizeof stored);
    }
    RemoveFromDelay(root, items[i].command);
    int code = atoi(stored);
    // The program that starts is quoted when it has a blank (Windows would otherwise try the shorter
    // names first) and, for a shortcut, whenever anything follows it, so the link keeps its target
    // apart from the arguments. A win.ini list takes its entries as they are.
    const char* program = applet[0] ? applet : items[i].command;
    int quote = (IsRunFamilyCode(code) || code == 200) && program[0] != '"' &&
                (strchr(program, ' ') || (code == 200 && (applet[0] || parameters[0])));
    char first[264], line[1024];
    FormatText(first, sizeof first, quote ? "\"%s\"" : "%s", program);
    if (applet[0]) DelayedCommandLine(first, items[i].command, parameters, line, sizeof line);
    else DelayedCommandLine("", first, parameters, line, sizeof line);
    RestoreStartupItem(items[i].title, line, items[i].second, code);
  }
  free(items);
}

int DelayedShowCommand(HKEY root, const char* command) {
  DefaultRegView view;
  char state[256];
  int value = ReadDelayText(root, "OpenAs", command, state, sizeof state) ? atoi(state) : 0;
  return ShowCommandOfState(value > 2 ? 0 : value);
}

void FallbackCommandLine(const char* file, int quote, const char* parameters, char* out, size_t cap) {
  out[0] = 0;
  if (quote) AppendText(out, cap, "\"");
  AppendText(out, cap, file);
  if (quote) AppendText(out, cap, "\"");
  if (parameters && parameters[0]) {
    AppendText(out, cap, " ");
    AppendText(out, cap, parameters);
  }
}

int StartProgram(HWND owner, const char* file, const char* parameters, int runAs, int show) {
  RedirectionOff redirection;
  if (owner) SetForegroundWindow(owner);
  SHELLEXECUTEINFOA info;
  memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  // No error box from the shell: a start it cannot make is made by the fallback below.
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.hwnd = owner;
  info.lpVerb = runAs ? "runas" : "open";
  info.lpFile = file;
  info.lpParameters = parameters && parameters[0] ? parameters : nullptr;
  info.nShow = show;
  if (ShellExecuteExA(&info)) return 0;
  // The file may itself be a command line; a plain path with a blank is quoted so that it cannot be
  // read as a shorter program followed by arguments.
  DWORD attributes = GetFileAttributesA(file);
  int quote = file[0] != '"' && strchr(file, ' ') && attributes != INVALID_FILE_ATTRIBUTES &&
              !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  char line[1024];
  FallbackCommandLine(file, quote, parameters, line, sizeof line);
  WinExec(line, show);
  return 0;
}

int LaunchProgram(HWND owner, const char* file, const char* parameters, int runAs) {
  return StartProgram(owner, file, parameters, runAs, DelayedShowCommand(HKEY_CURRENT_USER, file));
}

int ManageOwnStartupEntries(int remove) {
  int found = 0;
  for (int pass = 0; pass < (RunningOnWow64 ? 2 : 1); ++pass) {
    RegViewGuard view(pass == 1);
    ScanStartupPrograms(0);
    // Removal rescans nothing, so work from a copy of what was found.
    int count = StartupItemCount;
    struct Own {
      char name[512], file[260], command[260];
      int code;
    };
    Own* own = (Own*)calloc(count ? count : 1, sizeof(Own));
    int owned = 0;
    for (int i = 0; own && i < count; ++i) {
      char file[260], plain[260];
      GetItemFile(i, file);
      ColonForEquals(file, plain);
      if (!ContainsNoCase(plain, "Vandrelix.exe") && !ContainsNoCase(plain, "VandrelixEx.exe")) continue;
      // By the entry's real name: the title of one whose name holds the product's name is another text.
      if (!GetItemValueName(i, own[owned].name)) GetItemTitle(i, own[owned].name);
      CopyText(own[owned].file, file);
      GetItemCommand(i, own[owned].command);
      own[owned].code = GetItemLocation(i);
      ++owned;
    }
    for (int i = 0; i < owned; ++i) {
      if (ContainsNoCase(own[i].file, "Vandrelix.exe")) {
        found = 1;
        if (remove) {
          RemoveStartupItem(own[i].name, own[i].file, own[i].command, own[i].code);
          RemoveStartupItem("Vandrelix", own[i].file, own[i].command, own[i].code);
        }
      } else if (remove) {
        // By its own name too: any older entry that starts the explorer goes.
        RemoveStartupItem(own[i].name, own[i].file, own[i].command, own[i].code);
        RemoveStartupItem("Vandrelix Explorer", own[i].file, own[i].command, own[i].code);
      }
    }
    free(own);
  }
  return found;
}

int SetMonitorAutostart(int on, int allUsers) {
  int result = ManageOwnStartupEntries(1);
  if (!on) {
    MonitorRegistered = 0;
    return result;
  }
  char name[32], folder[260], data[300];
  LoadText(2, name, sizeof name);
  ProgramFolder(folder);
  // Quoted: under a folder with a blank, Windows would otherwise try the shorter names first.
  FormatText(data, sizeof data, "\"%s\\vandrelix.exe\" -expressboot", folder);
  DWORD written;
  {
    RegView64 view;
    written = RegWriteString(allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                             "Software\\Microsoft\\Windows\\CurrentVersion\\Run", name, data);
  }
  if (written) MonitorRegistered = 1;
  RegWriteString(HKEY_CURRENT_USER, kKnownRunList, data, "1");
  return written ? 1 : 0;
}

namespace {

struct DelayDialogState {
  HKEY root;
  char command[260];
};

void WriteDelayText(HKEY root, const char* sub, const char* command, const char* text) {
  char key[128];
  DelayKey(sub, key);
  RegWriteString(root, key, command, text);
}

INT_PTR CALLBACK DelayOptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DelayDialogState* state = (DelayDialogState*)GetWindowLongPtrA(dialog, DWLP_USER);
  switch (message) {
    case WM_INITDIALOG: {
      state = (DelayDialogState*)lParam;
      SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)state);
      PlaceDialog(dialog, nullptr);
      char caption[128];
      LoadText(1112, caption, sizeof caption);
      SetWindowTextA(dialog, caption);
      SetItemTextFromId(dialog, 1111, IDC_DELAY_TEXT);
      SetItemTextFromId(dialog, 1113, IDC_DELAY_LABEL_MINUTES);
      SetItemTextFromId(dialog, 1114, IDC_DELAY_LABEL_SECONDS);
      SetItemTextFromId(dialog, 1115, IDC_DELAY_LABEL_PARAMETERS);
      SetItemTextFromId(dialog, 1141, IDC_DELAY_LABEL_STATE);
      SetItemTextFromId(dialog, 1131, IDC_DELAY_LABEL_TITLE);
      SetItemTextFromId(dialog, 1361, IDC_DELAY_RUNAS);
      DefaultRegView view;
      for (int m = 0; m <= 60; ++m) {
        char text[8];
        FormatText(text, sizeof text, "%d", m);
        SendDlgItemMessageA(dialog, IDC_DELAY_MINUTES, CB_ADDSTRING, 0, (LPARAM)text);
      }
      for (const char* s : {"0", "10", "20", "30", "40", "50"})
        SendDlgItemMessageA(dialog, IDC_DELAY_SECONDS, CB_ADDSTRING, 0, (LPARAM)s);
      for (UINT id = 1138; id <= 1140; ++id) {
        char text[64];
        LoadText(id, text, sizeof text);
        SendDlgItemMessageA(dialog, IDC_DELAY_STATE, CB_ADDSTRING, 0, (LPARAM)text);
      }
      char text[256];
      int minutes = 0, seconds = 0;
      if (ReadDelayText(state->root, "Time", state->command, text, sizeof text)) SplitDelayTime(atoi(text), &minutes, &seconds);
      if (minutes > 60) minutes = 60;
      SendDlgItemMessageA(dialog, IDC_DELAY_MINUTES, CB_SETCURSEL, minutes, 0);
      SendDlgItemMessageA(dialog, IDC_DELAY_SECONDS, CB_SETCURSEL, seconds > 5 ? 5 : seconds, 0);
      int windowState = ReadDelayText(state->root, "OpenAs", state->command, text, sizeof text) ? atoi(text) : 0;
      SendDlgItemMessageA(dialog, IDC_DELAY_STATE, CB_SETCURSEL, (windowState < 0 || windowState > 2) ? 0 : windowState, 0);
      text[0] = 0;
      ReadDelayText(state->root, "Parameters", state->command, text, sizeof text);
      SetDlgItemTextA(dialog, IDC_DELAY_PARAMETERS, text);
      text[0] = 0;
      ReadDelayText(state->root, "Title", state->command, text, sizeof text);
      SetDlgItemTextA(dialog, IDC_DELAY_TITLE, text);
      char key[128];
      DelayKey("RunAs", key);
      CheckDlgButton(dialog, IDC_DELAY_RUNAS, RegReadDword(state->root, key, state->command) == 1 ? BST_CHECKED : BST_UNCHECKED);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        DefaultRegView view;
        int minutes = (int)SendDlgItemMessageA(dialog, IDC_DELAY_MINUTES, CB_GETCURSEL, 0, 0);
        int seconds = (int)SendDlgItemMessageA(dialog, IDC_DELAY_SECONDS, CB_GETCURSEL, 0, 0);
        int windowState = (int)SendDlgItemMessageA(dialog, IDC_DELAY_STATE, CB_GETCURSEL, 0, 0);
        char text[256];
        FormatText(text, sizeof text, "%d", (minutes < 0 ? 0 : minutes) * 60 + (seconds < 0 ? 0 : seconds) * 10);
        WriteDelayText(state->root, "Time", state->command, text);
        FormatText(text, sizeof text, "%d", windowState < 0 ? 0 : windowState);
        WriteDelayText(state->root, "OpenAs", state->command, text);
        GetDlgItemTextA(dialog, IDC_DELAY_PARAMETERS, text, sizeof text);
        WriteDelayText(state->root, "Parameters", state->command, text);
        GetDlgItemTextA(dialog, IDC_DELAY_TITLE, text, sizeof text);
        WriteDelayText(state->root, "Title", state->command, text);
        DWORD runAs = IsDlgButtonChecked(dialog, IDC_DELAY_RUNAS) == BST_CHECKED ? 1 : 0;
        char key[128];
        DelayKey("RunAs", key);
        RegWriteDword(state->root, key, state->command, &runAs);
        EndDialog(dialog, 1);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

INT_PTR CALLBACK StartupTypeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      PlaceDialog(dialog, nullptr);
      char caption[128];
      LoadText(1129, caption, sizeof caption);
      SetWindowTextA(dialog, caption);
      SetItemTextFromId(dialog, 1126, IDC_TYPE_QUESTION);
      CheckRadioButton(dialog, IDC_TYPE_ALL, IDC_TYPE_USER, IDC_TYPE_USER);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        EndDialog(dialog, IsDlgButtonChecked(dialog, IDC_TYPE_ALL) == BST_CHECKED ? 1 : 0);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

INT_PTR DelayOptionsDialog(HWND owner, int index) {
  DelayDialogState state;
  if (!GetItemFile(index, state.command)) return 0;
  state.root = GetItemFlag(index) == 1 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  return DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_DELAY_OPTIONS), owner, DelayOptionsProc, (LPARAM)&state);
}

INT_PTR StartupTypeDialog(HWND owner) {
  return DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_STARTUP_TYPE), owner, StartupTypeProc, 0);
}
