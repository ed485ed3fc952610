// VandrelixEx: the explorer's entry. Carries out maintenance switches, hands page requests to a running
// copy, or becomes the running copy with its hidden main window and message loop.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/command_line.h"
#include "app/main_window.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/file_facts.h"
#include "platform/text.h"
#include "records/settings_export.h"
#include "startup/detected.h"
#include "startup/items.h"
#include "ui/maintenance.h"
#include "ui/pages/options_page.h"
#include "ui/sheet.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  AppInstance = instance;
  FirstDetectedHook = FirstDetectedOfFile;
  ClearItemTableHook = ClearStartupItems;
  PlaceDialogHook = PlaceDialogBySettings;
  ExplorerMenuHook = SetExplorerMenu;
  if (LoadText(9, MainWindowClass, sizeof MainWindowClass) == 0) return 0;
  if (LoadText(833, ApplicationTitle, sizeof ApplicationTitle) == 0) return 0;

  const char* text = commandLine ? commandLine : "";
  StartRequest request = ParseCommandLine(text, ReadOption("StartTab", 6026));
  switch (request.action) {
    case START_RESTORE:
      RestoreCleanState();
      return 0;
    case START_AUOPTION:
      CopyAutoUpdateOption();
      return 0;
    case START_SETPREFIX:
      WriteUrlPrefixes();
      return 0;
    case START_RESET:
      // The maintenance dialog on its own, with no owner and no sheet; the run ends with it.
      StartupInit();
      CoInitialize(nullptr);  // the start-type repair reads Startup-folder shortcuts
      InitCommonControls();
      MaintenanceDialog(nullptr);
      CoUninitialize();
      return 0;
    case START_REGREPAIR:
      ImportRepairFile();
      return 0;
    case START_SCANLOG:
    case START_REPORT:
    case START_SPREADSHEET:
      return RunUnattendedReport(request);
    default:
      break;
  }

  HWND running = FindWindowA(MainWindowClass, nullptr);
  if (running) {
    PostMessageA(running, WM_COMMAND, request.quit ? 6030 : request.startCommand, 0);
    return 0;
  }
  if (request.quit) return 0;

  if (!RegisterMainWindowClass(instance)) return 0;
  MainWindow = CreateMainWindow(instance);
  if (!MainWindow) return 0;
  CreateSharedFonts();
  LoadSharedBitmaps(instance);

  CoInitialize(nullptr);
  CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IMPERSONATE,
                       nullptr, EOAC_NONE, nullptr);
  InitCommonControls();

  char folder[260] = "";
  ProgramFolder(folder);
  FormatText(TracePath, sizeof TracePath, "%s\\sendex2qz.txt", folder);
  char version[1024];
  VersionText(version);
  TraceLine("-------------------------------------Begin VandrelixEx", version);

  StartupInit();
  RegDeleteKeyInView(HKEY_LOCAL_MACHINE, "Software\\Orvenn Studios\\TestKey", KEY_WOW64_32KEY);
  RegDeleteKeyInView(HKEY_LOCAL_MACHINE, "Software\\Orvenn Studios\\TestKey", KEY_WOW64_64KEY);

  PostMessageA(MainWindow, WM_COMMAND, request.startCommand, 0);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return (int)message.wParam;
}
