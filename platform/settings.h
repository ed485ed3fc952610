// Options, string texts, start-up state, tracing and the small message helpers all pages share.
#pragma once
#include <windows.h>

// Process-wide values of the running program, set by the entry.
extern HINSTANCE AppInstance;
extern HWND MainWindow;
extern char ApplicationTitle[32];

// The shared fonts and bitmaps, made by the entry right after the main window.
enum { kFontCount = 11, kBitmapCount = 10 };
extern HFONT SharedFonts[kFontCount];
extern HBITMAP SharedBitmaps[kBitmapCount];
extern const int kSharedBitmapIds[kBitmapCount];  // bitmap resources, in load order
HBITMAP SharedBitmapOf(int resourceId);             // loaded here when the entry has not yet

// Places a secondary dialog when it opens (save 0) and keeps its place when it closes (save 1), under
// the value names x, y, dx, dy; without names it is centred and nothing is kept. Lower units call
// these; the window frame supplies the hook, so without it a dialog stays where its template puts it.
typedef void (*DialogPlacer)(HWND dialog, const char* const* names, int save);
extern DialogPlacer PlaceDialogHook;
void PlaceDialog(HWND dialog, const char* const* names);
void KeepDialogPlace(HWND dialog, const char* const* names);

extern const char kProductKey[];  // Software\Orvenn Studios\Vandrelix (HKCU unless said)
extern const char kOptionsKey[];  // ...\Options, one decimal REG_SZ per option

// The in-memory options, in the order LoadOptions reads them.
enum OptionId {
  OPT_SendHistory, OPT_HideTazzik, OPT_HideVandrelix, OPT_NewVersionAvailable, OPT_NewVersionIgnore,
  OPT_HideStartup, OPT_HideIEHelper, OPT_HideServices, OPT_HideActiveX, OPT_HideTasks, OPT_HideFileType,
  OPT_HideHidden, OPT_HideSystemFiles, OPT_HideHomePage, OPT_HideRegOptions, OPT_ExpandInfo, OPT_Netspeed,
  OPT_HideUninstall, OPT_Format, OPT_ConfirmExit, OPT_Sound, OPT_History, OPT_HideMicrosoftServices,
  OPT_ShowAllFiles, OPT_HideMicrosoftActiveX, OPT_IncludeKillBit, OPT_ActiveXListAll, OPT_LockFileTypes,
  OPT_ShowAllStartup, OPT_NoMicrosoftStartup, OPT_ShowAlerts, OPT_HideRunOnce, OPT_QovaFormat, OPT_CloudData,
  OPT_MaxCookie, OPT_Start, OPT_Cookies, OPT_Nuts, OPT_Tasks, OPT_IEHelpers, OPT_FileType, OPT_StartPage,
  OPT_HostFile, OPT_Services, OPT_Hidden, OPT_ActiveX, OPT_RegOptions, OPT_WinInit, OPT_RealtimeStartup,
  OPT_RealtimeIEHelper, OPT_RealtimeSysFiles, OPT_RealtimeFileType, OPT_RealtimeStartPage, OPT_RealtimeHidden,
  OPT_RealtimeActiveX, OPT_RealtimeServices, OPT_RealtimeRegOptions, OPT_RealtimeUninstall,
  OPT_RealtimeMissingRun, OPT_ViewCookies, OPT_ExplorerMenu, OPT_WindowSettings,
  OPT_COUNT
};

struct OptionDef {
  const char* name;
  int atStart;   // held from process start until the first LoadOptions
  int fallback;  // what LoadOptions takes when the registry has no value
  int patrol;    // a patrol time: LoadOptions keeps a second copy to compare edits against
};
extern const OptionDef OptionTable[OPT_COUNT];
extern int OptionSet[OPT_COUNT];
extern int PatrolLoaded[OPT_COUNT];  // patrol times as last loaded
extern int WinInitPatrolSeen;        // largest WinInit patrol time seen

int ReadOption(const char* name, int fallback);
int WriteOption(const char* name, int value);
void LoadOptions();
void SaveOptions();

// String texts, with the per-user translated override "LString<id>" when the language is not English.
int LoadText(UINT id, char* out, int capacity);
void SetItemTextFromId(HWND dialog, UINT id, int control);

extern WORD UiLanguage;  // primary language id: 9 English, 0 none chosen yet
WORD LanguageFromCode(const char* code);

// Trace state: 9999 is off, 0 on. TraceLine records nothing in this edition.
extern int TraceCounter;
extern DWORD StartTick;
extern char TracePath[260];
int TraceLine(const char* label, const char* detail);
void TraceMemoryLoad(const char* label);

// Empties the process-wide item table. Set by the entry, since this layer knows nothing of items;
// StartupInit calls it to start with no items.
extern void (*ClearItemTableHook)();
void StartupInit();

// Message helpers. MessageText is the shared text that ShowMessageDialog(0) shows.
extern char MessageText[1024];
INT_PTR ShowMessageDialog(UINT id);
int AskHelpQuestion(UINT id);
void ReportSystemError();

// Event sounds: 0 Open, 1 Startup Alert, 2 Cookie Alert, 3 Task Alert, 4 IE Helper, 5 FileType Alert.
const char* EventSoundKey(int kind);
void PlayEventSound(int kind);

// Dialog template and control of the message dialog.
enum { IDD_MESSAGE = 184, IDC_MESSAGE_TEXT = 1025 };
