#include "ui/sheet.h"

#include <commctrl.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/items.h"
#include "ui/list_view.h"

// The page procedures, one per file under ui/pages/.
INT_PTR CALLBACK StartupPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK IEHelpersPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ScheduledTasksPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ServicesPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ActiveTasksPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
void RefreshActiveTasks(HWND page);
INT_PTR CALLBACK HiddenFilesPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ActiveXPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK QovaPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK OptionsPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// In sheet order. A page whose area has not landed has no row, so the sheet never shows an empty page.
const SheetPage kSheetPages[] = {
    {102, 170, 606, StartupPage, 6026, nullptr, nullptr},
    {139, 180, 694, IEHelpersPage, 6040, nullptr, nullptr},
    {137, 182, 680, ScheduledTasksPage, 6039, nullptr, nullptr},
    {132, 173, 636, ServicesPage, 6038, IsNtPlatform, nullptr},
    {110, 176, 607, ActiveTasksPage, 6029, nullptr, RefreshActiveTasks},
    {195, 198, 973, HiddenFilesPage, 6052, nullptr, nullptr},
    {201, 212, 1155, ActiveXPage, 6056, nullptr, nullptr},
    {103, 167, 611, QovaPage, 6027, nullptr, nullptr},
    {114, 181, 610, OptionsPage, 6033, nullptr, nullptr},
};
const int kSheetPageCount = sizeof kSheetPages / sizeof kSheetPages[0];

int CurrentPageId = 0;
int SheetBusy = 0;
HWND ActivePage = nullptr;
HWND StatusBar = nullptr;

namespace {

const char kEditionTitle[] = "VandrelixToGo Edition";
enum { kMaxPages = 12 };

HWND sheet = nullptr;
WNDPROC previousSheetProc = nullptr;
POINT minimumTrack;
int tabRows = 0;
HIMAGELIST tabImages = nullptr;
HWND hotButton = nullptr;
HWND pressedButton = nullptr;

int PagePresent(const SheetPage& page) { return !page.present || page.present(); }

const SheetPage* PageOfCommand(int commandId) {
  for (int i = 0; i < kSheetPageCount; ++i)
    if (kSheetPages[i].commandId == commandId) return &kSheetPages[i];
  return nullptr;
}

// Reads one saved window value: 1 with its decimal value when present.
int ReadPlace(const char* name, int* value) {
  char text[32];
  if (!name || RegReadString(HKEY_CURRENT_USER, kProductKey, name, text, sizeof text) == 0) return 0;
  *value = atoi(text);
  return 1;
}

// Left of or above the virtual screen is as far out as beyond it: a window minimised when its place
// was kept reports -32000, and would come back where no one can see it.
int OffScreen(int value, int sizeMetric) {
  int origin = GetSystemMetrics(sizeMetric == SM_CXVIRTUALSCREEN ? SM_XVIRTUALSCREEN : SM_YVIRTUALSCREEN);
  return value > GetSystemMetrics(sizeMetric) || value < origin;
}

int CapToScreen(int value, int metric) { return OffScreen(value, metric) ? 0 : value; }

// Adds the frame's styles to the sheet's own dialog template before the sheet is made (NT family).
int CALLBACK PreCreateSheet(HWND, UINT message, LPARAM lParam) {
  if (message != PSCB_PRECREATE || !lParam) return 0;
  const DWORD style = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_SETFONT | DS_3DLOOK;
  const DWORD extended = WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE;
  WORD* words = (WORD*)lParam;
  if (words[1] == 0xFFFF) {
    // DLGTEMPLATEEX: version, signature, help id, extended style, style.
    DWORD* fields = (DWORD*)(words + 2);
    fields[1] |= extended;
    fields[2] |= style;
  } else {
    DLGTEMPLATE* t = (DLGTEMPLATE*)lParam;
    t->style |= style;
    t->dwExtendedStyle |= extended;
  }
  return 0;
}

// The sheet's default command while a page's list has the focus: Enter there is the page's Info
// (command 1) for the selected row, not the sheet's hidden OK button. No control has this id.
enum { kEnterOnList = 6098 };

int ListHasFocus() {
  HWND focus = GetFocus();
  char className[32] = "";
  return ActivePage && focus && IsChild(ActivePage, focus) && GetClassNameA(focus, className, sizeof className) &&
         lstrcmpiA(className, WC_LISTVIEWA) == 0;
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case DM_GETDEFID:
      if (ListHasFocus()) return MAKELONG(kEnterOnList, DC_HASDEFID);
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == kEnterOnList) {
        if (ListHasFocus()) SendMessageA(ActivePage, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), 0);
        return 0;
      }
      break;
    case WM_GETMINMAXINFO:
      if (minimumTrack.x > 0 && minimumTrack.y > 0) ((MINMAXINFO*)lParam)->ptMinTrackSize = minimumTrack;
      break;
    case WM_SIZE:
      if (ActivePage && IsWindow(ActivePage)) LayoutSheet(ActivePage);
      break;
  }
  return CallWindowProcA(previousSheetProc, window, message, wParam, lParam);
}

void RaiseOpenSheet(HWND owner, int commandId) {
  // The 6028 raise brings the sheet forward as the others do: made topmost, the sheet would stay
  // above every other program's windows until the program ends (Wine keeps it so even once the
  // owner is released again).
  if (commandId == 6028) {
    ShowWindow(owner, SW_SHOWNA);
  } else {
    const SheetPage* page = PageOfCommand(CurrentPageId);
    if (page && page->refreshOnRaise && ActivePage) page->refreshOnRaise(ActivePage);
  }
  BringWindowToTop(owner);
  SetForegroundWindow(owner);
  // The owner is disabled while the sheet is up; its foremost popup (the sheet, or a question on
  // top of it) is what the user asked to see, and it may already count as the foreground window.
  HWND popup = GetLastActivePopup(owner);
  if (popup && popup != owner) {
    BringWindowToTop(popup);
    SetForegroundWindow(popup);
  }
  if (commandId == 6028 && ActivePage) SendMessageA(ActivePage, kRaisePage, 5, 5);
}

void ForgetSheet() {
  CurrentPageId = 0;
  ActivePage = nullptr;
  StatusBar = nullptr;
  sheet = nullptr;
  previousSheetProc = nullptr;
  minimumTrack.x = minimumTrack.y = 0;
  hotButton = pressedButton = nullptr;
  if (tabImages) ImageList_Destroy(tabImages);
  tabImages = nullptr;
}

int IsFirstKindButton(int id) { return id == 1131 || id == 1077; }
int IsSecondKindButton(int id) { return id == 1112 || id == 1136 || id == 1137 || id == 1138; }

}  // namespace

int OpenPropertySheet(HWND owner, int commandId) {
  CopyText(ApplicationTitle, kEditionTitle);
  if (SheetBusy >= 1) {
    BringWindowToTop(owner);
    SetForegroundWindow(owner);
    return 0;
  }
  if (CurrentPageId != 0) {
    RaiseOpenSheet(owner, commandId);
    return 0;
  }
  CurrentPageId = 1;

  int nt = IsNtPlatform();
  int newer = DllVersionOf("comctl32.dll") >= 262215;  // 4.71
  UINT pageSize = newer ? PROPSHEETPAGEA_V2_SIZE : PROPSHEETPAGEA_V1_SIZE;
  // The pages lie one after the other at their declared size, as the control walks them.
  static BYTE pageBytes[kMaxPages * sizeof(PROPSHEETPAGEA)];
  static char titles[kMaxPages][256];
  memset(pageBytes, 0, sizeof pageBytes);
  int count = 0, start = 0;
  for (int i = 0; i < kSheetPageCount && count < kMaxPages; ++i) {
    const SheetPage& row = kSheetPages[i];
    if (!PagePresent(row)) continue;
    if (row.commandId == commandId) start = count;
    LoadText(row.titleId, titles[count], sizeof titles[count]);
    PROPSHEETPAGEA* page = (PROPSHEETPAGEA*)(pageBytes + (size_t)count * pageSize);
    page->dwSize = pageSize;
    page->dwFlags = PSP_USETITLE | (nt ? PSP_USEICONID : 0);
    page->hInstance = AppInstance;
    page->pszTemplate = MAKEINTRESOURCEA(row.templateId);
    page->pszIcon = MAKEINTRESOURCEA(row.iconId);
    page->pfnDlgProc = row.procedure;
    page->pszTitle = titles[count];
    page->lParam = row.commandId;
    ++count;
  }
  SetWindowTextA(owner, ApplicationTitle);
  ShowWindow(owner, SW_SHOW);

  PROPSHEETHEADERA header;
  memset(&header, 0, sizeof header);
  header.dwSize = newer ? CCSIZEOF_STRUCT(PROPSHEETHEADERA, hbmHeader) : PROPSHEETHEADERA_V1_SIZE;
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | (nt ? PSH_USECALLBACK : 0);
  header.hwndParent = owner;
  header.hInstance = AppInstance;
  header.pszCaption = ApplicationTitle;
  header.nPages = (UINT)count;
  header.nStartPage = (UINT)start;
  header.ppsp = (LPCPROPSHEETPAGEA)pageBytes;
  header.pfnCallback = nt ? PreCreateSheet : nullptr;
  PlayEventSound(0);
  INT_PTR result = PropertySheetA(&header);
  ForgetSheet();
  if (result == -1) ShowMessageDialog(24);
  return 0;
}

void CloseSheet() {
  if (!sheet || !IsWindow(sheet)) return;
  PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
}

HWND SheetWindow() { return sheet; }

void PlaceSheet(HWND page, const char* xName, const char* yName, const char* dxName, const char* dyName) {
  HWND frame = GetParent(page);
  sheet = frame;
  if (!IsNtPlatform()) {
    RestoreDialogPlace(frame, xName, yName);
    return;
  }
  if (previousSheetProc) return;  // a later page: the frame is made and placed already
  previousSheetProc = (WNDPROC)SetWindowLongPtrA(frame, GWLP_WNDPROC, (LONG_PTR)FrameProc);
  SetWindowLongA(frame, GWL_STYLE, GetWindowLongA(frame, GWL_STYLE) | WS_OVERLAPPEDWINDOW);
  SetWindowPos(frame, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  RECT client;
  GetClientRect(frame, &client);
  minimumTrack.x = client.right - 10;
  minimumTrack.y = client.bottom - 32;
  StatusBar = GetDlgItem(frame, kStatusBarId);
  if (!StatusBar) StatusBar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, "", frame, kStatusBarId);

  int x = 0, y = 0, dx = 0, dy = 0;
  if (!ReadPlace(xName, &x) || !ReadPlace(yName, &y)) return;  // no saved place: where Windows put it
  x = CapToScreen(x, SM_CXVIRTUALSCREEN);
  y = CapToScreen(y, SM_CYVIRTUALSCREEN);
  if (ReadPlace(dxName, &dx)) {
    ReadPlace(dyName, &dy);
    dx = CapToScreen(dx, SM_CXVIRTUALSCREEN);
    dy = CapToScreen(dy, SM_CYVIRTUALSCREEN);
  }
  // A size of 0 leaves the minimum track size to apply.
  SetWindowPos(frame, nullptr, x, y, dx, dy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void LayoutSheet(HWND page) {
  if (!IsNtPlatform()) return;
  HWND frame = GetParent(page);
  RECT r;
  GetWindowRect(frame, &r);
  int width = (r.right - r.left) - 28;
  int height = (r.bottom - r.top) - 122;
  HWND tab = (HWND)SendMessageA(frame, PSM_GETTABCONTROL, 0, 0);
  if (!tab) tab = FindWindowExA(frame, nullptr, "SysTabControl32", nullptr);
  if (tab) {
    tabRows = (int)SendMessageA(tab, TCM_GETROWCOUNT, 0, 0);
    SetWindowPos(tab, nullptr, 0, 0, width + 8, height + 55, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (!tabImages) {
      tabImages = ImageList_Create(16, 16, ILC_MASK | ILC_COLOR32, kSheetPageCount, 1);
      for (int i = 0; i < kSheetPageCount; ++i) {
        if (!PagePresent(kSheetPages[i])) continue;
        HICON icon = (HICON)LoadImageA(AppInstance, MAKEINTRESOURCEA(kSheetPages[i].iconId), IMAGE_ICON, 16, 16, 0);
        ImageList_ReplaceIcon(tabImages, -1, icon);
        if (icon) DestroyIcon(icon);
      }
      SendMessageA(tab, TCM_SETIMAGELIST, 0, (LPARAM)tabImages);
    }
  }
  if (StatusBar) SetWindowPos(StatusBar, nullptr, 0, 0, width, height - 9, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  char close[64];
  LoadText(304, close, sizeof close);
  HWND closeButton = FindWindowExA(frame, nullptr, "Button", close);
  if (closeButton) {
    SetWindowPos(closeButton, nullptr, width - 64, height + 56, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(closeButton, SW_HIDE);
  }
  int pageHeight = height + 10 + (tabRows == 1 ? 10 : 0);
  SetWindowPos(page, nullptr, 0, 0, width, pageHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageA(page, kLayoutPage, 0, 0);
  UpdateWindow(page);
  ShowWindow(page, SW_SHOW);
}

void SetStatusText(const char* text) {
  if (StatusBar) SendMessageA(StatusBar, SB_SETTEXTA, 0 | SBT_POPOUT, (LPARAM)(text ? text : ""));
}

void CreateActivePage(HWND page) {
  TraceMemoryLoad("Create Active Page");
  HWND help = GetDlgItem(page, 1077);
  if (help) {
    static const int kHelpBitmaps[] = {133, 134, 135};
    SetBitmapButton(help, kHelpBitmaps, 3, 1077);
  }
  for (int id : {1112, 1135}) {
    HWND control = GetDlgItem(page, id);
    if (control) ShowWindow(control, SW_HIDE);
  }
  HWND frame = GetParent(page);
  sheet = frame;
  SetWindowLongA(frame, GWL_EXSTYLE, GetWindowLongA(frame, GWL_EXSTYLE) & ~WS_EX_CONTEXTHELP);
  HWND ok = GetDlgItem(frame, IDOK);
  if (ok) {
    ShowWindow(ok, SW_HIDE);
    EnableWindow(ok, FALSE);
  }
  SetItemTextFromId(frame, 304, IDCANCEL);
  SetWindowTextA(MainWindow, ApplicationTitle);
  ActivePage = page;
  SetStatusText("");
  LayoutSheet(page);
}

void CleanupActivePage(HWND page) {
  TraceMemoryLoad("CleanupActivePage");
  ClearStartupItems();  // each page fills the table afresh for itself
  ClearListRows();
  HWND help = GetDlgItem(page, 1077);
  if (help) ClearBitmapButton(help, 4);
  HWND monitor = GetDlgItem(page, 1112);
  if (monitor) ClearBitmapButton(monitor, 5);
  SetStatusText("");
  // The sheet's place is kept as the user left it by nothing here: this edition writes no places.
}

void SetBitmapButton(HWND control, const int* bitmapIds, int bitmapCount, int command) {
  for (int i = 0; i < bitmapCount && i < 4; ++i)
    SetPropA(control, MAKEINTATOM(10000 + i), (HANDLE)SharedBitmapOf(bitmapIds[i]));
  SetPropA(control, MAKEINTATOM(10000 + bitmapCount), (HANDLE)(INT_PTR)command);
  ShowBitmapProperty(control, 10000);
}

void ClearBitmapButton(HWND control, int propertyCount) {
  for (int i = 0; i < propertyCount; ++i) RemovePropA(control, MAKEINTATOM(10000 + i));
}

void ShowBitmapProperty(HWND control, int property) {
  HANDLE bitmap = GetPropA(control, MAKEINTATOM(property));
  if (bitmap) SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)bitmap);
}

void BitmapButtonMouse(HWND page, UINT message, LPARAM lParam) {
  POINT point = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
  // Hidden and disabled buttons take no part: a button whose command is not available yet is disabled.
  HWND child = ChildWindowFromPointEx(page, point, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
  if (!child || child == page) return;
  int id = GetDlgCtrlID(child);
  int first = IsFirstKindButton(id), second = IsSecondKindButton(id);
  switch (message) {
    case WM_MOUSEMOVE:
      if ((first || second) && !pressedButton) {
        ShowBitmapProperty(child, first ? 10002 : 10001);
        hotButton = child;
      } else if (!first && !second && hotButton) {
        ShowBitmapProperty(hotButton, 10000);
        hotButton = pressedButton = nullptr;
      }
      break;
    case WM_LBUTTONDOWN:
      if (first || second) {
        ShowBitmapProperty(child, 10001);
        pressedButton = child;
      }
      break;
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      if (first || second) {
        ShowBitmapProperty(child, 10000);
        int command = (int)(INT_PTR)GetPropA(child, MAKEINTATOM(first ? 10003 : 10004));
        if (command) SendMessageA(page, WM_COMMAND, (WPARAM)command, 0);
      }
      pressedButton = nullptr;
      break;
  }
}

namespace {

LRESULT CALLBACK KeyboardPressProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  switch (message) {
    case WM_KEYUP:
      if (wParam == VK_SPACE) {
        int first = IsFirstKindButton(GetDlgCtrlID(control));
        int command = (int)(INT_PTR)GetPropA(control, MAKEINTATOM(first ? 10003 : 10004));
        if (command) SendMessageA(GetParent(control), WM_COMMAND, (WPARAM)command, 0);
        return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(control, nullptr, TRUE);
      break;
    case WM_PAINT: {
      LRESULT result = DefSubclassProc(control, message, wParam, lParam);
      if (GetFocus() == control) {
        HDC dc = GetDC(control);
        RECT r;
        GetClientRect(control, &r);
        DrawFocusRect(dc, &r);
        ReleaseDC(control, dc);
      }
      return result;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(control, KeyboardPressProc, 1);
      break;
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

void LetKeyboardPress(HWND control) {
  if (control) SetWindowSubclass(control, KeyboardPressProc, 1, 0);
}

void CenterWindow(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 3;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void RestoreDialogPlace(HWND window, const char* xName, const char* yName) {
  WriteOption("StartTab", CurrentPageId);
  int x = 0, y = 0;
  if (!ReadPlace(xName, &x) || !ReadPlace(yName, &y)) {
    CenterWindow(window);
    return;
  }
  if (OffScreen(x, SM_CXVIRTUALSCREEN)) x = GetSystemMetrics(SM_CXSCREEN) / 2;
  if (OffScreen(y, SM_CYVIRTUALSCREEN)) y = GetSystemMetrics(SM_CYSCREEN) / 2;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SaveDialogPlace(HWND window, const char* xName, const char* yName, const char* dxName, const char* dyName) {
  RECT r;
  if (GetWindowRect(window, &r)) {
    const char* names[4] = {xName, yName, dxName, dyName};
    int values[4] = {r.left, r.top, r.right - r.left, r.bottom - r.top};
    for (int i = 0; i < 4; ++i) {
      if (!names[i]) continue;
      char text[16];
      FormatText(text, sizeof text, "%d", values[i]);
      RegWriteString(HKEY_CURRENT_USER, kProductKey, names[i], text);
    }
  }
  HWND help = GetDlgItem(window, 1077);
  if (help) ClearBitmapButton(help, 4);
  HWND monitor = GetDlgItem(window, 1112);
  if (monitor) ClearBitmapButton(monitor, 5);
}

void RestoreDialogPlaceAndSize(HWND window, const char* xName, const char* yName, const char* dxName,
                               const char* dyName) {
  HWND help = GetDlgItem(window, 1077);
  if (help) {
    static const int kHelpBitmaps[] = {133, 134, 135};
    SetBitmapButton(help, kHelpBitmaps, 3, 1077);
  }
  HWND monitor = GetDlgItem(window, 1112);
  if (monitor) {
    static const int kMonitorBitmaps[] = {154, 155, 156, 193};
    SetBitmapButton(monitor, kMonitorBitmaps, 4, 1112);
  }
  int x = 0, y = 0, dx = 0, dy = 0;
  if (!ReadPlace(xName, &x)) {
    CenterWindow(window);
    return;
  }
  ReadPlace(yName, &y);
  ReadPlace(dxName, &dx);
  ReadPlace(dyName, &dy);
  x = CapToScreen(x, SM_CXVIRTUALSCREEN);
  y = CapToScreen(y, SM_CYVIRTUALSCREEN);
  // A size that was never saved keeps the dialog's own: a size of 0 would make it vanish.
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | ((dx > 0 && dy > 0) ? 0 : SWP_NOSIZE);
  SetWindowPos(window, nullptr, x, y, dx, dy, flags);
}

void PlaceDialogBySettings(HWND dialog, const char* const* names, int save) {
  if (save) {
    if (names) SaveDialogPlace(dialog, names[0], names[1], names[2], names[3]);
  } else if (names) {
    RestoreDialogPlace(dialog, names[0], names[1]);
  } else {
    CenterWindow(dialog);
  }
}

void ShowHint(HWND owner, UINT textId) {
  char text[1024], caption[128];
  LoadText(textId, text, sizeof text);
  LoadText(31, caption, sizeof caption);
  MessageBoxExA(owner, text, caption, MB_ICONINFORMATION, UiLanguage);
}
