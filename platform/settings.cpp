#include "platform/settings.h"

#include <mmsystem.h>
#include <stdlib.h>
#include <string.h>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"

#ifndef SND_SENTRY
#define SND_SENTRY 0x00080000  // Vista and later: raise the sound-sentry accessibility signal
#endif

HINSTANCE AppInstance = nullptr;
HWND MainWindow = nullptr;
char ApplicationTitle[32] = "";

HFONT SharedFonts[kFontCount];
HBITMAP SharedBitmaps[kBitmapCount];
const int kSharedBitmapIds[kBitmapCount] = {133, 134, 135, 154, 155, 156, 193, 158, 159, 160};

HBITMAP SharedBitmapOf(int resourceId) {
  for (int i = 0; i < kBitmapCount; ++i) {
    if (kSharedBitmapIds[i] != resourceId) continue;
    if (!SharedBitmaps[i]) SharedBitmaps[i] = LoadBitmapA(AppInstance, MAKEINTRESOURCEA(resourceId));
    return SharedBitmaps[i];
  }
  return nullptr;
}

DialogPlacer PlaceDialogHook = nullptr;

void PlaceDialog(HWND dialog, const char* const* names) {
  if (PlaceDialogHook) PlaceDialogHook(dialog, names, 0);
}

void KeepDialogPlace(HWND dialog, const char* const* names) {
  if (PlaceDialogHook) PlaceDialogHook(dialog, names, 1);
}

const char kProductKey[] = "Software\\Orvenn Studios\\Vandrelix";
const char kOptionsKey[] = "Software\\Orvenn Studios\\Vandrelix\\Options";

const OptionDef OptionTable[OPT_COUNT] = {
    {"SendHistory", 0, 0, 0},        {"HideTazzik", 0, 0, 0},         {"HideVandrelix", 0, 0, 0},
    {"NewVersionAvailable", 0, 0, 0}, {"NewVersionIgnore", 0, 0, 0},  {"HideStartup", 1, 0, 0},
    {"HideIEHelper", 1, 0, 0},       {"HideServices", 1, 0, 0},       {"HideActiveX", 1, 0, 0},
    {"HideTasks", 1, 0, 0},          {"HideFileType", 1, 0, 0},       {"HideHidden", 1, 0, 0},
    {"HideSystemFiles", 1, 0, 0},    {"HideHomePage", 1, 0, 0},       {"HideRegOptions", 1, 0, 0},
    {"ExpandInfo", 1, 0, 0},         {"Netspeed", 0, 0, 0},           {"HideUninstall", 1, 0, 0},
    {"Format", 0, 0, 0},             {"ConfirmExit", 0, 0, 0},        {"Sound", 1, 1, 0},
    {"History", 0, 1, 0},            {"HideMicrosoftServices", 0, 1, 0}, {"ShowAllFiles", 0, 0, 0},
    {"HideMicrosoftActiveX", 0, 0, 0}, {"IncludeKillBit", 0, 0, 0},   {"ActiveXListAll", 0, 0, 0},
    {"LockFileTypes", 0, 0, 0},      {"ShowAllStartup", 0, 0, 0},     {"NoMicrosoftStartup", 0, 0, 0},
    {"ShowAlerts", 0, 1, 0},         {"HideRunOnce", 1, 0, 0},        {"QovaFormat", 0, 0, 0},
    {"CloudData", 1, 1, 0},          {"MaxCookie", 0, 8092, 0},       {"Start", 0, 2, 1},
    {"Cookies", 0, 0, 1},            {"Nuts", 0, 0, 1},               {"Tasks", 0, 11, 1},
    {"IEHelpers", 0, 2, 1},          {"FileType", 0, 10, 1},          {"StartPage", 0, 2, 1},
    {"HostFile", 0, 3, 1},           {"Services", 0, 7, 1},           {"Hidden", 0, 0, 1},
    {"ActiveX", 0, 4, 1},            {"RegOptions", 0, 0, 1},         {"WinInit", 0, 5, 1},
    {"RealtimeStartup", 0, 1, 0},    {"RealtimeIEHelper", 0, 1, 0},   {"RealtimeSysFiles", 0, 1, 0},
    {"RealtimeFileType", 0, 0, 0},   {"RealtimeStartPage", 0, 1, 0},  {"RealtimeHidden", 0, 0, 0},
    {"RealtimeActiveX", 0, 1, 0},    {"RealtimeServices", 0, 1, 0},   {"RealtimeRegOptions", 0, 1, 0},
    {"RealtimeUninstall", 0, 1, 0},  {"RealtimeMissingRun", 0, 1, 0}, {"ViewCookies", 0, 0, 0},
    {"ExplorerMenu", 1, 1, 0},       {"WindowSettings", 1, 1, 0},
};

static int InitialOptions(int* set) {
  for (int i = 0; i < OPT_COUNT; ++i) set[i] = OptionTable[i].atStart;
  return 0;
}
int OptionSet[OPT_COUNT];
static int optionsReady = InitialOptions(OptionSet);
int PatrolLoaded[OPT_COUNT];
int WinInitPatrolSeen = 0;

WORD UiLanguage = 0;
int TraceCounter = 9999;
DWORD StartTick = 0;
char TracePath[260] = "";
char MessageText[1024] = "";

int ReadOption(const char* name, int fallback) {
  char text[128];
  if (RegReadString(HKEY_CURRENT_USER, kOptionsKey, name, text, sizeof text) == 0) return fallback;
  return atoi(text);
}

int WriteOption(const char*, int) {
  // Option changes last only in memory in this edition.
  return 0;
}

void LoadOptions() {
  RegReadAccess = KEY_READ;
  RegWriteAccess = KEY_ALL_ACCESS;
  for (int i = 0; i < OPT_COUNT; ++i) {
    OptionSet[i] = ReadOption(OptionTable[i].name, OptionTable[i].fallback);
    if (OptionTable[i].patrol) PatrolLoaded[i] = OptionSet[i];
  }
  if (OptionSet[OPT_WinInit] > WinInitPatrolSeen) WinInitPatrolSeen = OptionSet[OPT_WinInit];
}

void SaveOptions() {
  for (int i = 0; i < OPT_COUNT; ++i) {
    if (i == OPT_MaxCookie || i == OPT_WindowSettings) continue;
    WriteOption(OptionTable[i].name, OptionSet[i]);
  }
}

int LoadText(UINT id, char* out, int capacity) {
  if (!out || capacity <= 0) return 0;
  if (capacity > 772) capacity = 771;
  out[0] = 0;
  if (UiLanguage != 9) {
    // The override lives under HKCU, which has one view; the caller's masks are kept as they were.
    char name[32];
    char text[772];
    FormatText(name, sizeof name, "LString%u", id);
    DWORD found;
    {
      DefaultRegView view;
      found = RegReadString(HKEY_CURRENT_USER, kProductKey, name, text, sizeof text);
    }
    if (found) {
      int length = (int)strlen(text);
      if (length > capacity - 1) length = capacity - 1;
      text[length] = 0;
      int o = 0;
      for (int i = 0; i < length; ++i) {
        if (text[i] == '%' && text[i + 1] == 'n') {
          out[o++] = '\n';
          ++i;
        } else {
          out[o++] = text[i];
        }
      }
      out[o] = 0;
      return length;
    }
  }
  return LoadStringA(AppInstance, id, out, capacity);
}

void SetItemTextFromId(HWND dialog, UINT id, int control) {
  char text[512];
  if (LoadText(id, text, sizeof text) > 0) SetDlgItemTextA(dialog, control, text);
}

WORD LanguageFromCode(const char* code) {
  static const struct {
    const char* code;
    WORD language;
  } kCodes[] = {
      {"us", 9},  {"de", 7},  {"fr", 12}, {"es", 10}, {"it", 16}, {"se", 29}, {"\xEA\xE0\xEA", 25},
      {"ru", 25}, {"pt", 22}, {"pl", 21}, {"no", 20}, {"gr", 8},  {"nl", 19}, {"br", 22},
      {"sq", 28}, {"tr", 31}, {"ar", 1},  {"fi", 11}, {"cn", 4},
  };
  WORD language = 0;
  for (const auto& entry : kCodes) {
    if (CompareStringA(LOCALE_SYSTEM_DEFAULT, LINGUISTIC_IGNORECASE, code, -1, entry.code, -1) == CSTR_EQUAL)
      language = entry.language;
  }
  return language;
}

int TraceLine(const char*, const char*) {
  // This edition keeps no trace file.
  return 1;
}

void TraceMemoryLoad(const char* label) {
  if (TraceCounter >= 9001) return;
  MEMORYSTATUS status;
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  char text[512];
  FormatText(text, sizeof text, "%ld %%", (long)status.dwMemoryLoad);
  TraceLine(label, text);
}

void (*ClearItemTableHook)() = nullptr;

void StartupInit() {
  TraceCounter = 9999;
  StartTick = GetTickCount();
  UiLanguage = 0;
  char code[8];
  LoadText(634, code, sizeof code);
  UiLanguage = LanguageFromCode(code);
  if (ReadOption("Debug", 0) != 0) TraceCounter = 0;
  if (ClearItemTableHook) ClearItemTableHook();
  RegReadAccess = KEY_READ;
  RegWriteAccess = KEY_ALL_ACCESS;
  RunningOnWow64 = IsWow64();
}

static INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextA(dialog, ApplicationTitle);
      SetDlgItemTextA(dialog, IDC_MESSAGE_TEXT, (const char*)lParam);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      break;
  }
  return FALSE;
}

INT_PTR ShowMessageDialog(UINT id) {
  char text[1024];
  if (id == 0) {
    CopyText(text, MessageText);
  } else {
    LoadText(id, text, sizeof text);
  }
  return DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_MESSAGE), MainWindow, MessageDialogProc, (LPARAM)text);
}

int AskHelpQuestion(UINT id) {
  char text[1024];
  char caption[128];
  LoadText(id, text, sizeof text);
  LoadText(31, caption, sizeof caption);
  return MessageBoxExA(MainWindow, text, caption, MB_ICONQUESTION | MB_TOPMOST, UiLanguage);
}

void ReportSystemError() {
  DWORD error = GetLastError();
  char* system = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (char*)&system, 0, nullptr);
  char text[512];
  FormatText(text, sizeof text, "%d  %s", (int)error, system ? system : "");
  MessageBoxExA(nullptr, text, "System Error", MB_ICONINFORMATION | MB_TOPMOST, UiLanguage);
  if (system) LocalFree(system);
}

const char* EventSoundKey(int kind) {
  static const char* const kKeys[6] = {
      "AppEvents\\Schemes\\Apps\\Vandrelix\\Open\\.current",
      "AppEvents\\Schemes\\Apps\\Vandrelix\\Startup Alert\\.current",
      "AppEvents\\Schemes\\Apps\\Vandrelix\\Cookie Alert\\.current",
      "AppEvents\\Schemes\\Apps\\Vandrelix\\Task Alert\\.current",
      "AppEvents\\Schemes\\Apps\\Vandrelix\\IE Helper\\.current",
      "AppEvents\\Schemes\\Apps\\Vandrelix\\FileType Alert\\.current",
  };
  if (kind < 0 || kind > 5) kind = 0;
  return kKeys[kind];
}

void PlayEventSound(int kind) {
  if (OptionSet[OPT_Sound] <= 0) return;
  PlaySoundA(nullptr, nullptr, 0);
  DWORD sentry = IsVistaOrLater() ? SND_SENTRY : 0;
  char file[260];
  if (RegReadString(HKEY_CURRENT_USER, EventSoundKey(kind), "", file, sizeof file) > 0) {
    PlaySoundA(file, nullptr, SND_FILENAME | SND_ASYNC | sentry);
  } else {
    PlaySoundA(MAKEINTRESOURCEA(170), AppInstance, SND_RESOURCE | SND_ASYNC | sentry);
  }
}
