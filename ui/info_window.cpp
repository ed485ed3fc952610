#include "ui/info_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <string.h>

#include <initializer_list>

#include "areas/processes.h"
#include "areas/services.h"
#include "areas/tasks.h"
#include "platform/paths.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/online.h"
#include "startup/detected.h"
#include "startup/items.h"
#include "ui/sheet.h"

int InfoWindowIndex = 0;

namespace {

enum {
  kTextStartupLocation = 646,
  kTextRunning = 655,
  kTextMissing = 730,
  kTextLocation = 716,
  kTextClsid = 1158,
  kTextReady = 1485,
  kTextRemark = 1486,
  kTextMicrosoftFile = 1487,
  kTextFileType = 1488,
  kTextKeepNote = 1489,
};

// Where Internet Explorer lists each kind of add-on, under HKLM.
const char* AddOnKeyOf(int code) {
  switch (code) {
    case 900: return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
    case 901: return "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
    case 902: return "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
  }
  return "";
}

int IsServiceCode(int code) { return code == kServiceExeCode || code == kServiceHostCode; }
int IsHiddenWinlogonCode(int code) { return code >= 250 && code <= 256; }

// Whether a process walk can say anything about the entry: add-ons, controls and hidden files are
// not programs that run by themselves, and a service's state comes from the service manager.
int AsksWhetherRunning(int code) { return !IsServiceCode(code) && code < 900 && code != 370; }

}  // namespace

int StepInfoIndex(int index, int count, int step) {
  if (count <= 0) return 0;
  int next = index + step;
  if (next > count - 1) return 0;
  if (next < 0) return count - 1;
  return next;
}

int ProgramFilesPathOf(const char* path, int exists, char* out) {
  static const char kX86Folder[] = "C:\\Program Files (x86)";
  const size_t n = sizeof kX86Folder - 1;
  CopyText(out, 260, path);
  // Only the folder itself: a path that merely mentions "(x86)" somewhere, or is shorter than the
  // folder's name, is shown as it is.
  if (exists || _strnicmp(path, kX86Folder, n) != 0 || (path[n] != '\\' && path[n] != 0)) return 0;
  FormatText(out, 260, "C:\\Program Files%s", path + n);
  return 1;
}

void PathInCommandCase(const char* command, const char* upper, char* out) {
  CopyText(out, 260, upper);
  size_t n = strlen(upper);
  if (n == 0) return;
  for (const char* at = command; *at; ++at) {
    if (_strnicmp(at, upper, n) == 0) {
      CopyTextN(out, 260, at, n);
      return;
    }
  }
}

int StartChoiceOf(const char* startText) {
  size_t n = strlen(startText);
  if (n == 0) return -1;
  for (int choice = 0; choice < kServiceStartChoices; ++choice) {
    char text[128];
    ServiceStartChoiceText(choice, text);
    if (_strnicmp(text, startText, n) == 0) return choice;
  }
  return -1;
}

size_t NoteTextForBox(const char* raw, size_t rawLength, char* out, size_t cap, size_t* consumed) {
  size_t limit = cap > 0 ? cap - 1 : 0;
  if (limit > kMaxNoteText) limit = kMaxNoteText;
  size_t o = 0, i = 0;
  for (; i < rawLength && o < limit; ++i) {
    char c = raw[i];
    if (c == 0) continue;  // would end the box's text early
    if (c == '\r' || c == '\n') {
      if (o + 2 > limit) break;  // a line end is never cut in half
      if (c == '\r' && i + 1 < rawLength && raw[i + 1] == '\n') ++i;
      out[o++] = '\r';
      out[o++] = '\n';
      continue;
    }
    out[o++] = c;
  }
  if (cap > 0) out[o] = 0;
  if (consumed) *consumed = i;
  return o;
}

namespace {

// Reads the note file (at most what the box holds) into `out`; 1 when the file exists. `cut` tells
// whether the file holds more than that, or could not be read: saving the box would lose the rest.
int LoadNoteFile(const char* path, char* out, size_t cap, int* cut) {
  out[0] = 0;
  *cut = 0;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  static char raw[kMaxNoteText + 1];
  DWORD got = 0;
  if (!ReadFile(file, raw, sizeof raw, &got, nullptr)) {
    got = 0;
    *cut = 1;
  }
  CloseHandle(file);
  size_t consumed = 0;
  NoteTextForBox(raw, got, out, cap, &consumed);
  if (consumed < got) *cut = 1;
  return 1;
}

}  // namespace

void GatherInfo(int index, InfoEntry* entry, InfoFacts* facts) {
  memset(entry, 0, sizeof *entry);
  memset(facts, 0, sizeof *facts);
  GetItemTitle(index, entry->title);
  // A service's key name or a task's whole name: the title may be cut or retitled.
  if (!GetItemValueName(index, entry->name)) CopyText(entry->name, entry->title);
  GetItemFile(index, entry->file);
  GetItemCommand(index, entry->command);
  GetItemDescription(index, entry->longText, sizeof entry->longText);
  entry->code = GetItemLocation(index);
  FormatLocationText(index, entry->locationText);

  // The program behind the file name field, with environment forms expanded, in its own letter case.
  char expanded[1024];
  DWORD n = ExpandEnvironmentStringsA(entry->file, expanded, sizeof expanded);
  if (n == 0 || n > sizeof expanded) CopyText(expanded, entry->file);
  char upper[260], program[260], probe[260];
  ExeFromCommand(expanded, upper);
  PathInCommandCase(expanded, upper, program);
  CopyText(probe, program);
  facts->exists = program[0] && FileExists(probe);
  if (ProgramFilesPathOf(program, facts->exists, entry->path)) {
    CopyText(probe, entry->path);
    facts->exists = FileExists(probe);
  }
  // A bare program name (a Winlogon shell "explorer.exe") is shown, read and dated where Windows
  // finds it.
  if (facts->exists && !strchr(entry->path, '\\')) {
    char found[260];
    DWORD length = SearchPathA(nullptr, entry->path, nullptr, sizeof found, found, nullptr);
    if (length > 0 && length < sizeof found) CopyText(entry->path, found);
  }

  const int code = entry->code;
  if (AsksWhetherRunning(code) && entry->path[0]) facts->running = IsProcessRunning(entry->path);
  if (IsServiceCode(code) && entry->command[0]) {
    facts->serviceWord = GetServiceStateText(entry->name, facts->serviceState);
    if (facts->serviceWord) facts->controlsAccepted = InterrogateService(entry->name);
  }
  if ((IsHiddenWinlogonCode(code) || code == kActiveTaskCode) && entry->path[0])
    FindServiceDescriptionByFile(entry->path, facts->serviceText);
  if (code == kScheduledTaskCode) {
    GetTaskStatusText(entry->name, facts->taskStatus);
    GetTaskComment(entry->name, facts->taskComment);
  }
  if (facts->exists) {
    GetVersionFields(entry->path, &facts->fields);
    GetFileFacts(entry->path, code, &facts->file);
  }
  char notePath[260];
  NoteFilePath(entry->file, notePath);
  facts->noteLoaded = LoadNoteFile(notePath, facts->note, sizeof facts->note, &facts->noteCut);
}

void ComposeInfoView(const InfoEntry* entry, const InfoFacts* facts, InfoView* view) {
  memset(view, 0, sizeof *view);
  view->startChoice = -1;
  const int code = entry->code;
  char text[1024];

  if (!IsServiceCode(code)) {
    LoadText(kTextStartupLocation, view->location, sizeof view->location);
    AppendText(view->location, " ");
    AppendText(view->location, entry->locationText);
    if (code < 900) {
      view->statusShown = 1;
      if (facts->running) {
        LoadText(kTextRunning, view->status, sizeof view->status);
        view->killShown = 1;
      } else if (facts->exists) {
        LoadText(kTextReady, view->status, sizeof view->status);
        view->runShown = 1;
      } else {
        LoadText(kTextMissing, view->status, sizeof view->status);
      }
    }
  } else {
    view->killIsStop = 1;
    // A service without a start-type text shows neither the list nor a location.
    if (entry->command[0]) {
      view->killShown = 1;
      view->startShown = 1;
      view->statusShown = 1;
      view->startChoice = StartChoiceOf(entry->command);
      if (facts->serviceWord) {
        CopyText(view->status, facts->serviceState);
        view->stopEnabled = facts->controlsAccepted != 0;
      }
    }
  }
  if (!facts->exists) {
    LoadText(kTextMissing, view->status, sizeof view->status);
    view->statusShown = 1;
  }

  char remark[1024];
  LoadText(kTextRemark, remark, sizeof remark);
  if (facts->noteLoaded) {
    CopyText(view->note, facts->note);
    view->noteLook = kNoteFont;
    view->noteLoaded = 1;
  } else if (entry->longText[0]) {
    CopyText(view->note, entry->longText);
    view->noteLook = kNoteBold;
  } else {
    CopyText(view->note, remark);
    view->noteLook = kNoteNormal;
  }
  const int replaceNote = !facts->noteLoaded;

  if (code == 1200) {
    view->statusShown = view->runShown = view->killShown = 0;
    LoadText(kTextClsid, text, sizeof text);
    FormatText(view->location, sizeof view->location, "%s: %s", text, entry->command);
    if (replaceNote) CopyText(view->note, view->location);
  } else if (code >= 900 && code <= 902) {
    LoadText(kTextLocation, text, sizeof text);
    FormatText(view->location, sizeof view->location, "%s: \"HKLM\\%s\"", text, AddOnKeyOf(code));
    if (replaceNote) {
      CopyText(view->note, remark);
      view->noteLook = kNoteNormal;
    }
  } else if (code == kScheduledTaskCode) {
    if (replaceNote) {
      CopyText(view->note, facts->taskStatus);
      if (facts->taskStatus[0]) AppendText(view->note, "\r\n");
      AppendText(view->note, facts->taskComment);
      view->noteLook = kNoteNormal;
    }
  } else if (code == kActiveTaskCode) {
    view->location[0] = 0;
    if (replaceNote && facts->serviceText[0]) {
      CopyText(view->note, facts->serviceText);
      view->noteLook = kNoteBold;
    }
  } else if (IsHiddenWinlogonCode(code)) {
    view->runShown = view->killShown = 0;
    if (replaceNote) {
      view->noteLook = kNoteFont;
      if (facts->serviceText[0]) {
        CopyText(view->note, facts->serviceText);
      } else if (ContainsNoCase(facts->fields.field[VF_LegalCopyright], "Microsoft")) {
        LoadText(kTextMicrosoftFile, text, sizeof text);
        FillTemplate(view->note, sizeof view->note, text, entry->title);
        AppendText(view->note, remark);
      } else {
        CopyText(view->note, remark);
      }
    }
  } else if (code == 370) {
    view->statusShown = view->runShown = view->killShown = 0;
  } else if (code == 400) {
    view->location[0] = 0;
    if (replaceNote) {
      LoadText(kTextFileType, view->note, sizeof view->note);
      AppendText(view->note, entry->longText);
    }
  }
  if (IsServiceCode(code)) view->location[0] = 0;
}

namespace {

// The working copy of the open window and what it last showed.
struct WindowState {
  InfoEntry entry;
  InfoFacts facts;
  InfoView view;
  HICON icon;
  int lastApplied;      // the start-type entry the service has now
  int noteOpen;         // the note box holds the note file
  int filling;          // the window is being filled: edits of the box are not the user's
  char notePath[260];
} state;

// The controls shown only in the expanded window.
const int kExpandedOnly[] = {IDC_INFO_CREATED_LABEL, IDC_INFO_CREATED, IDC_INFO_SAVED_LABEL, IDC_INFO_SAVED,
                             IDC_INFO_SIZE_LABEL,    IDC_INFO_SIZE,    IDC_INFO_DETECTED_LABEL, IDC_INFO_DETECTED,
                             IDC_INFO_NOTE,          IDC_INFO_NOTE_BUTTON};

int Expanded() { return OptionSet[OPT_ExpandInfo] != 0; }

void Show(HWND window, int id, int shown) { ShowWindow(GetDlgItem(window, id), shown ? SW_SHOWNA : SW_HIDE); }
void Enable(HWND window, int id, int enabled) { EnableWindow(GetDlgItem(window, id), enabled ? TRUE : FALSE); }

HFONT FontOf(HWND window, int look) {
  HFONT font = look == kNoteFont ? SharedFonts[10] : look == kNoteBold ? SharedFonts[3] : SharedFonts[7];
  return font ? font : (HFONT)SendMessageA(window, WM_GETFONT, 0, 0);
}

void SetNoteFont(HWND window, int look) {
  SendDlgItemMessageA(window, IDC_INFO_NOTE, WM_SETFONT, (WPARAM)FontOf(window, look), TRUE);
}

// Writes a note whole or not at all: a failed write leaves the note that was there.
int WriteNoteFile(const char* path, const char* text) {
  char temporary[270];
  FormatText(temporary, sizeof temporary, "%s.new", path);
  HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD length = (DWORD)strlen(text), put = 0;
  BOOL written = WriteFile(file, text, length, &put, nullptr) && put == length;
  written = CloseHandle(file) && written;
  if (written && MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 1;
  DeleteFileA(temporary);
  return 0;
}

// A program file's name gives its note's name; entries without one would all share a single note.
int NoteNameable(const char* notePath) {
  size_t n = strlen(notePath);
  return !(n >= 10 && lstrcmpiA(notePath + n - 10, "\\note_.txt") == 0);
}

void SetNoteButton(HWND window, int saves) {
  SetItemTextFromId(window, saves ? 970 : 969, IDC_INFO_NOTE_BUTTON);
  Enable(window, IDC_INFO_NOTE_BUTTON, saves || NoteNameable(state.notePath));
}

HICON FirstIconOf(const char* file) {
  if (!file[0]) return nullptr;
  HICON icon = ExtractIconA(AppInstance, file, 0);
  return (UINT_PTR)icon > 1 ? icon : nullptr;  // 1: the file is no program and holds no icon
}

void ShowIcon(HWND window, HICON icon) {
  SendDlgItemMessageA(window, IDC_INFO_ICON, STM_SETICON, (WPARAM)icon, 0);
  if (state.icon) DestroyIcon(state.icon);
  state.icon = icon;
}

void FillStartTypes(HWND window) {
  HWND list = GetDlgItem(window, IDC_INFO_START_TYPE);
  if (SendMessageA(list, CB_GETCOUNT, 0, 0) > 0) return;
  for (int choice = 0; choice < kServiceStartChoices; ++choice) {
    char text[128];
    ServiceStartChoiceText(choice, text);
    SendMessageA(list, CB_ADDSTRING, 0, (LPARAM)text);
  }
}

int NoteEdited(HWND window) {
  return state.noteOpen && SendDlgItemMessageA(window, IDC_INFO_NOTE, EM_GETMODIFY, 0, 0);
}

// Shows entry `index`. `keepNote`: the same entry again after one of its commands, so a note the
// user is editing stays as it is.
void Fill(HWND window, int index, int keepNote) {
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  state.filling = 1;
  for (int id : {IDC_INFO_APPLY, IDC_INFO_START_LABEL, IDC_INFO_START_TYPE, IDC_INFO_RUN, IDC_INFO_KILL})
    Show(window, id, 0);
  Enable(window, IDC_INFO_APPLY, 0);
  int noteKept = keepNote && NoteEdited(window);

  GatherInfo(index, &state.entry, &state.facts);
  ComposeInfoView(&state.entry, &state.facts, &state.view);
  const InfoEntry& entry = state.entry;
  const InfoView& view = state.view;
  const VersionFields& fields = state.facts.fields;

  SetWindowTextA(window, entry.title);
  SetDlgItemTextA(window, IDC_INFO_PATH, entry.path);
  HICON icon = nullptr;
  if (entry.code == 901 || entry.code == 902) icon = FirstIconOf(entry.longText);
  if (!icon && state.facts.exists) icon = FirstIconOf(entry.path);
  ShowIcon(window, icon);
  SetDlgItemTextA(window, IDC_INFO_LOCATION, view.location);

  Show(window, IDC_INFO_STATUS_LABEL, view.statusShown);
  Show(window, IDC_INFO_STATUS, view.statusShown);
  SetDlgItemTextA(window, IDC_INFO_STATUS, view.status);
  Show(window, IDC_INFO_RUN, view.runShown);
  SetItemTextFromId(window, view.killIsStop ? 1479 : 306, IDC_INFO_KILL);
  Enable(window, IDC_INFO_KILL, !view.killIsStop || view.stopEnabled);
  Show(window, IDC_INFO_KILL, view.killShown);
  if (view.killIsStop) {
    FillStartTypes(window);
    Enable(window, IDC_INFO_START_TYPE, 1);
  }
  state.lastApplied = view.startChoice;
  if (view.startShown) {
    SendDlgItemMessageA(window, IDC_INFO_START_TYPE, CB_SETCURSEL, (WPARAM)view.startChoice, 0);
    for (int id : {IDC_INFO_START_LABEL, IDC_INFO_START_TYPE, IDC_INFO_APPLY}) Show(window, id, 1);
  }

  SetDlgItemTextA(window, IDC_INFO_PRODUCT, fields.field[VF_ProductName]);
  SetDlgItemTextA(window, IDC_INFO_VERSION, fields.field[VF_ProductVersion]);
  SetDlgItemTextA(window, IDC_INFO_COMPANY, fields.field[VF_CompanyName]);
  const char* description = fields.field[VF_FileDescription];
  SetDlgItemTextA(window, IDC_INFO_DESCRIPTION, description[0] ? description : entry.title);
  SetDlgItemTextA(window, IDC_INFO_COPYRIGHT, fields.field[VF_LegalCopyright]);
  SetDlgItemTextA(window, IDC_INFO_CREATED, state.facts.file.created);
  SetDlgItemTextA(window, IDC_INFO_SAVED, state.facts.file.modified);
  SetDlgItemTextA(window, IDC_INFO_SIZE, state.facts.file.sizeText);
  SetDlgItemTextA(window, IDC_INFO_DETECTED, state.facts.file.firstDetected);

  if (!noteKept) {
    NoteFilePath(entry.file, state.notePath);
    HWND note = GetDlgItem(window, IDC_INFO_NOTE);
    SetWindowTextA(note, view.note);
    SetNoteFont(window, view.noteLook);
    // A note longer than the box is shown as far as it goes and left alone: saving would cut it.
    const int editable = view.noteLoaded && !state.facts.noteCut;
    SendMessageA(note, EM_SETREADONLY, editable ? FALSE : TRUE, 0);
    SendMessageA(note, EM_SETMODIFY, FALSE, 0);
    state.noteOpen = editable;
    SetNoteButton(window, view.noteLoaded);
    if (view.noteLoaded && !editable) Enable(window, IDC_INFO_NOTE_BUTTON, 0);
  }
  state.filling = 0;
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
  if (state.noteOpen && Expanded() && !noteKept) {
    HWND note = GetDlgItem(window, IDC_INFO_NOTE);
    SetFocus(note);
    int length = GetWindowTextLengthA(note);
    SendMessageA(note, EM_SETSEL, (WPARAM)length, (LPARAM)length);
  }
  // A button that went away (Kill Task once the program has ended) leaves the focus on Close, never
  // on a command that Enter would then carry out by surprise.
  HWND focus = GetFocus();
  if (!focus || !IsChild(window, focus) || !(GetWindowLongA(focus, GWL_STYLE) & WS_VISIBLE) || !IsWindowEnabled(focus))
    SendMessageA(window, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(window, IDCANCEL), TRUE);
}

// The expanded or shrunk form: window height, the bottom row of buttons, and what shows.
void LayOut(HWND window) {
  const int expanded = Expanded();
  HDC screen = GetDC(window);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(window, screen);
  if (dpi <= 0) dpi = 96;
  RECT frame;
  GetWindowRect(window, &frame);
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, MulDiv(expanded ? 421 : 246, dpi, 96),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const int rowTop = MulDiv(expanded ? 350 : 185, dpi, 96);
  static const struct {
    int id, x;  // x in dialog units
  } kRow[] = {{IDC_INFO_QOVA, 7},     {IDC_INFO_TOGGLE, 86}, {IDC_INFO_NOTE_BUTTON, 169},
              {IDC_INFO_PREVIOUS, 267}, {IDC_INFO_NEXT, 301}, {IDCANCEL, 348}};
  for (const auto& button : kRow) {
    RECT at = {button.x, 0, 0, 0};
    MapDialogRect(window, &at);
    SetWindowPos(GetDlgItem(window, button.id), nullptr, at.left, rowTop, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // The note box takes the room down to the buttons.
  HWND note = GetDlgItem(window, IDC_INFO_NOTE);
  RECT box;
  GetWindowRect(note, &box);
  MapWindowPoints(nullptr, window, (POINT*)&box, 2);
  int height = rowTop - MulDiv(6, dpi, 96) - box.top;
  if (height > 20) SetWindowPos(note, nullptr, 0, 0, box.right - box.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (int id : kExpandedOnly) Show(window, id, expanded);
  SetItemTextFromId(window, expanded ? 1482 : 1481, IDC_INFO_TOGGLE);
  InvalidateRect(window, nullptr, TRUE);
}

int SaveNote(HWND window) {
  if (!state.noteOpen) return 0;  // no note of the user's is in the box (or only a part of one)
  static char text[kMaxNoteText + 1];
  GetDlgItemTextA(window, IDC_INFO_NOTE, text, sizeof text);
  if (!WriteNoteFile(state.notePath, text)) return 0;
  Enable(window, IDC_INFO_NOTE_BUTTON, 0);
  SendDlgItemMessageA(window, IDC_INFO_NOTE, EM_SETMODIFY, FALSE, 0);
  return 1;
}

void CreateNote(HWND window) {
  // Never over a note that is there, whether or not it could be read.
  if (!NoteNameable(state.notePath) || GetFileAttributesA(state.notePath) != INVALID_FILE_ATTRIBUTES) return;
  char text[400];
  FormatText(text, sizeof text, "%s\r\n%s\r\n", state.entry.title, state.entry.file);
  if (!WriteNoteFile(state.notePath, text)) return;  // the box stays as it was
  HWND note = GetDlgItem(window, IDC_INFO_NOTE);
  state.filling = 1;
  SetWindowTextA(note, text);
  state.filling = 0;
  SetNoteFont(window, kNoteFont);
  SendMessageA(note, EM_SETREADONLY, FALSE, 0);
  SendMessageA(note, EM_SETMODIFY, FALSE, 0);
  state.noteOpen = 1;
  SetNoteButton(window, 1);
  SetFocus(note);
  int length = GetWindowTextLengthA(note);
  SendMessageA(note, EM_SETSEL, (WPARAM)length, (LPARAM)length);
}

// Before the window shows another entry or closes: an edited note is saved, dropped or kept open,
// as the user answers. 0 when the user chose to stay.
int SettleNote(HWND window) {
  if (!NoteEdited(window)) return 1;
  char pattern[512], question[700];
  LoadText(kTextKeepNote, pattern, sizeof pattern);
  FillTemplate(question, sizeof question, pattern, state.entry.title);
  int answer = MessageBoxExA(window, question, ApplicationTitle, MB_YESNOCANCEL | MB_ICONQUESTION, UiLanguage);
  if (answer == IDCANCEL) return 0;
  if (answer == IDYES && !SaveNote(window)) return 0;  // not written: the text stays in the box
  return 1;
}

void RunProgram(HWND window) {
  char command[1024];
  DWORD n = ExpandEnvironmentStringsA(state.entry.file, command, sizeof command);
  if (n == 0 || n > sizeof command) CopyText(command, state.entry.file);
  char folder[260] = "";
  FolderOf(state.entry.path, folder);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process;
  if (CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, folder[0] ? folder : nullptr, &startup,
                     &process)) {
    // Long enough for the new process to be seen running by the fill below.
    WaitForInputIdle(process.hProcess, 1000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  Fill(window, InfoWindowIndex, 1);
}

void EndOrStop(HWND window) {
  if (state.view.killIsStop) {
    StopServiceItem(state.entry.name, state.entry.title, state.entry.file, state.entry.code);
    Sleep(100);  // the service manager reports the new state a moment later
  } else {
    EndProcessByPath(state.entry.path, state.entry.title, 0);
  }
  Fill(window, InfoWindowIndex, 1);
}

void ApplyStartType(HWND window) {
  int choice = (int)SendDlgItemMessageA(window, IDC_INFO_START_TYPE, CB_GETCURSEL, 0, 0);
  if (choice < 0 || choice == state.lastApplied) return;
  if (!ApplyServiceStartChoice(state.entry.name, state.entry.title, state.entry.file, state.entry.code, choice)) return;
  // What the service has now (a delayed start without its value in the key is plain Automatic),
  // kept in the entry so that a later fill shows it too.
  char now[128];
  if (ReadServiceStartText(state.entry.name, now)) {
    SetItemCommand(InfoWindowIndex, now);
    CopyText(state.entry.command, now);
    int shown = StartChoiceOf(now);
    if (shown >= 0) {
      choice = shown;
      SendDlgItemMessageA(window, IDC_INFO_START_TYPE, CB_SETCURSEL, (WPARAM)choice, 0);
    }
  }
  state.lastApplied = choice;
  Enable(window, IDC_INFO_APPLY, 0);
}

void Step(HWND window, int step) {
  if (!SettleNote(window)) return;
  InfoWindowIndex = StepInfoIndex(InfoWindowIndex, StartupItemCount, step);
  Fill(window, InfoWindowIndex, 0);
}

void Close(HWND window) {
  if (!SettleNote(window)) return;
  SaveDialogPlace(window, "xInfo", "yInfo", nullptr, nullptr);
  ShowIcon(window, nullptr);
  memset(&state.entry, 0, sizeof state.entry);
  state.noteOpen = 0;
  EndDialog(window, 1);
}

void Initialise(HWND window) {
  const struct {
    UINT text;
    int control;
  } kTexts[] = {{1470, IDC_INFO_VERSION_LABEL}, {1471, IDC_INFO_COMPANY_LABEL}, {1472, IDC_INFO_COPYRIGHT_LABEL},
                {1473, IDC_INFO_CREATED_LABEL}, {1474, IDC_INFO_SAVED_LABEL},   {920, IDC_INFO_SIZE_LABEL},
                {1475, IDC_INFO_DETECTED_LABEL}, {1476, IDC_INFO_STATUS_LABEL}, {1477, IDC_INFO_START_LABEL},
                {1478, IDC_INFO_RUN},           {1480, IDC_INFO_APPLY},         {641, IDC_INFO_QOVA},
                {1483, IDC_INFO_PREVIOUS},      {1484, IDC_INFO_NEXT},          {304, IDCANCEL}};
  for (const auto& t : kTexts) SetItemTextFromId(window, t.text, t.control);
  if (SharedFonts[4]) SendDlgItemMessageA(window, IDC_INFO_PRODUCT, WM_SETFONT, (WPARAM)SharedFonts[4], FALSE);
  SendDlgItemMessageA(window, IDC_INFO_NOTE, EM_LIMITTEXT, kMaxNoteText, 0);
  memset(&state, 0, sizeof state);
  LayOut(window);
  RestoreDialogPlace(window, "xInfo", "yInfo");
  Fill(window, InfoWindowIndex, 0);
}

void OnCommand(HWND window, int id, int code) {
  switch (id) {
    case IDC_INFO_NEXT:
      Step(window, 1);
      break;
    case IDC_INFO_PREVIOUS:
      Step(window, -1);
      break;
    case IDC_INFO_KILL:
      EndOrStop(window);
      break;
    case IDC_INFO_RUN:
      RunProgram(window);
      break;
    case IDC_INFO_APPLY:
      ApplyStartType(window);
      break;
    case IDC_INFO_START_TYPE:
      if (code == CBN_SELCHANGE) {
        int choice = (int)SendDlgItemMessageA(window, IDC_INFO_START_TYPE, CB_GETCURSEL, 0, 0);
        Enable(window, IDC_INFO_APPLY, choice >= 0 && choice != state.lastApplied);
      }
      break;
    case IDC_INFO_QOVA:
      CopyText(SelectedItemTitle, state.entry.title);
      OpenProgramInfo(state.entry.code, state.entry.path);
      SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      break;
    case IDC_INFO_NOTE_BUTTON:
      if (state.noteOpen) {
        SaveNote(window);
      } else {
        CreateNote(window);
      }
      break;
    case IDC_INFO_NOTE:
      if (code == EN_CHANGE && state.noteOpen && !state.filling) Enable(window, IDC_INFO_NOTE_BUTTON, 1);
      break;
    case IDC_INFO_TOGGLE:
      OptionSet[OPT_ExpandInfo] = Expanded() ? 0 : 1;  // kept for this run of the program
      LayOut(window);
      break;
    case IDCANCEL:
      Close(window);
      break;
  }
}

INT_PTR CALLBACK InfoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      // The focus goes to the note box when a note was loaded, else to Close (the fill sees to it):
      // Enter right after opening never runs or ends a program.
      Initialise(window);
      return FALSE;
    case WM_COMMAND:
      OnCommand(window, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
  }
  return FALSE;
}

// Puts the list back at the row it showed at its top.
void ScrollListTo(HWND list, int top) {
  int now = (int)SendMessageA(list, LVM_GETTOPINDEX, 0, 0);
  if (now == top) return;
  RECT row = {LVIR_BOUNDS, 0, 0, 0};
  if (!SendMessageA(list, LVM_GETITEMRECT, 0, (LPARAM)&row)) return;
  SendMessageA(list, LVM_SCROLL, 0, (LPARAM)((top - now) * (row.bottom - row.top)));
}

}  // namespace

int ShowInfoWindow(HWND owner, HWND list, int item) {
  if (item < 0 || item >= StartupItemCount) return 0;
  SheetBusyScope busy;
  InfoWindowIndex = item;
  int top = list ? (int)SendMessageA(list, LVM_GETTOPINDEX, 0, 0) : 0;
  DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_INFO_WINDOW), owner, InfoWindowProc, 0);
  if (list && IsWindow(list)) ScrollListTo(list, top);
  return 1;
}
