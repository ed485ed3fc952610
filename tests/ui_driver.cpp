#include "ui_driver.h"

#include <commctrl.h>
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>

#include "test_support.h"

namespace {

const char kSheetCaption[] = "VandrelixToGo Edition";

// A block of memory inside the process that owns a window, for messages that carry pointers.
struct RemoteMemory {
  HANDLE process = nullptr;
  BYTE* at = nullptr;
  RemoteMemory(HWND window, size_t size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                          FALSE, pid);
    if (process) at = (BYTE*)VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~RemoteMemory() {
    if (at) VirtualFreeEx(process, at, 0, MEM_RELEASE);
    if (process) CloseHandle(process);
  }
  bool Write(size_t offset, const void* data, size_t size) {
    return at && WriteProcessMemory(process, at + offset, data, size, nullptr);
  }
  bool Read(size_t offset, void* out, size_t size) {
    return at && ReadProcessMemory(process, at + offset, out, size, nullptr);
  }
};

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result)) return 0;
  return (LRESULT)result;
}

bool HasChildOfClass(HWND window, const char* className) {
  return FindWindowExA(window, nullptr, className, nullptr) != nullptr;
}

bool IsSheet(HWND window) {
  char className[32] = "", caption[64] = "";
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, caption, sizeof caption);
  return strcmp(className, "#32770") == 0 && strcmp(caption, kSheetCaption) == 0 &&
         HasChildOfClass(window, "SysTabControl32");
}

BOOL CALLBACK CollectSheets(HWND window, LPARAM param) {
  if (IsWindowVisible(window) && IsSheet(window)) ((std::vector<HWND>*)param)->push_back(window);
  return TRUE;
}

// Real mouse input at a point of the screen. Two clicks of a button close in time and place make a
// double click; a click that would pair with the one before moves aside by more than that distance.
bool MouseClicks(POINT at, bool right, int clicks) {
  // Two clicks close in time would be one double click to the program: let the double-click time
  // pass instead (a header takes a double click as no click at all).
  static DWORD lastTime = GetTickCount() - 10000;
  DWORD wait = GetDoubleClickTime() + 100;
  while (GetTickCount() - lastTime < wait) Sleep(20);
  // The move travels in the same input as the press, so the press can never land where the pointer was.
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  if (width <= 1 || height <= 1 || clicks < 1 || clicks > 2) return false;
  INPUT input[5] = {};
  for (INPUT& one : input) one.type = INPUT_MOUSE;
  input[0].mi.dx = (LONG)((at.x * 65535LL) / (width - 1));
  input[0].mi.dy = (LONG)((at.y * 65535LL) / (height - 1));
  input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  for (int i = 0; i < clicks; ++i) {
    input[1 + 2 * i].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    input[2 + 2 * i].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  }
  SetCursorPos(at.x, at.y);
  UINT count = 1 + 2 * (UINT)clicks;
  bool sent = SendInput(count, input, sizeof(INPUT)) == count;
  lastTime = GetTickCount();
  return sent;
}

bool MouseClick(POINT at, bool right) { return MouseClicks(at, right, 1); }

POINT CentreOnScreen(HWND window, RECT r) {
  POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
  MapWindowPoints(window, nullptr, corners, 2);
  POINT centre = {(corners[0].x + corners[1].x) / 2, (corners[0].y + corners[1].y) / 2};
  return centre;
}

struct DialogSearch {
  DWORD pid;
  std::string part;
  HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
  DialogSearch* search = (DialogSearch*)param;
  char className[32] = "";
  GetClassNameA(window, className, sizeof className);
  if (!IsWindowVisible(window) || strcmp(className, "#32770") != 0 || IsSheet(window)) return TRUE;
  if (ProcessOf(window) != search->pid) return TRUE;
  if (DialogTexts(window).find(search->part) == std::string::npos) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK CollectTexts(HWND child, LPARAM param) {
  std::string text = WindowText(child);
  if (!text.empty()) *(std::string*)param += text + "\n";
  return TRUE;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start >= ms) return false;
    // Messages for windows of the test itself are answered meanwhile, so the program never waits on it.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
}

bool WaitForProgramIdle(HWND window) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result) != 0;
}

bool ProgramRun::Start(const char* arguments) {
  std::string exe = BinFolder() + "\\VandrelixEx.exe";
  std::string line = "\"" + exe + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  started = CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, BinFolder().c_str(), &startup,
                           &info) != 0;
  return started;
}

bool ProgramRun::Running() const { return started && WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }

DWORD ProgramRun::WaitExit(DWORD ms) {
  if (!started || WaitForSingleObject(info.hProcess, ms) != WAIT_OBJECT_0) return 0xFFFFFFFF;
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  return code;
}

ProgramRun::~ProgramRun() {
  if (!started) return;
  if (Running()) TerminateProcess(info.hProcess, 99);
  WaitForSingleObject(info.hProcess, 10000);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
}

std::vector<HWND> SheetWindows() {
  std::vector<HWND> sheets;
  EnumWindows(CollectSheets, (LPARAM)&sheets);
  return sheets;
}

HWND WaitForSheet(DWORD ms) {
  HWND sheet = nullptr;
  WaitUntil([&] {
    std::vector<HWND> sheets = SheetWindows();
    sheet = sheets.empty() ? nullptr : sheets[0];
    return sheet && CurrentPage(sheet);
  }, ms);
  return sheet;
}

HWND CurrentPage(HWND sheet) { return (HWND)Send(sheet, PSM_GETCURRENTPAGEHWND, 0, 0); }

std::vector<std::string> TabTitles(HWND sheet) {
  std::vector<std::string> titles;
  HWND tab = (HWND)Send(sheet, PSM_GETTABCONTROL, 0, 0);
  int count = tab ? (int)Send(tab, TCM_GETITEMCOUNT, 0, 0) : 0;
  RemoteMemory memory(sheet, 4096);
  for (int i = 0; i < count; ++i) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.cchTextMax = 256;
    item.pszText = (char*)(memory.at + sizeof item);
    char text[256] = "";
    memory.Write(sizeof item, text, 1);
    if (memory.Write(0, &item, sizeof item) && Send(tab, TCM_GETITEMA, i, (LPARAM)memory.at))
      memory.Read(sizeof item, text, sizeof text);
    text[sizeof text - 1] = 0;
    titles.push_back(text);
  }
  return titles;
}

HWND ShowPage(HWND sheet, const std::string& title) {
  std::vector<std::string> titles = TabTitles(sheet);
  int index = -1;
  for (size_t i = 0; i < titles.size(); ++i)
    if (titles[i] == title) index = (int)i;
  HWND tab = (HWND)Send(sheet, PSM_GETTABCONTROL, 0, 0);
  if (index < 0 || !tab) return nullptr;
  RemoteMemory memory(tab, sizeof(RECT));
  RECT r = {};
  if (!Send(tab, TCM_GETITEMRECT, index, (LPARAM)memory.at) || !memory.Read(0, &r, sizeof r)) return nullptr;
  if (!MouseClick(CentreOnScreen(tab, r), false)) return nullptr;
  HWND page = nullptr;
  WaitUntil([&] { return Send(tab, TCM_GETCURSEL, 0, 0) == index && (page = CurrentPage(sheet)) != nullptr; });
  return page;
}

HWND PageList(HWND page) { return FindWindowExA(page, nullptr, WC_LISTVIEWA, nullptr); }

HWND PageControl(HWND page, int id) { return GetDlgItem(page, id); }

std::string StatusText(HWND sheet) {
  HWND bar = FindWindowExA(sheet, nullptr, STATUSCLASSNAMEA, nullptr);
  if (!bar) return "";
  RemoteMemory memory(bar, 2048);
  char text[1024] = "";
  memory.Write(0, text, 1);
  if (Send(bar, SB_GETTEXTA, 0, (LPARAM)memory.at)) memory.Read(0, text, sizeof text);
  text[sizeof text - 1] = 0;
  return text;
}

std::string WindowText(HWND window) {
  char text[2048] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ControlText(HWND window, int id) {
  // WM_GETTEXT is carried across processes; GetWindowText of another program's edit box is empty.
  char text[4096] = "";
  DWORD_PTR result = 0;
  SendMessageTimeoutA(GetDlgItem(window, id), WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 10000, &result);
  return text;
}

HWND TopVisibleWindow() {
  for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
    RECT r;
    if (IsWindowVisible(window) && GetWindowRect(window, &r) && r.right - r.left > 1 && r.bottom - r.top > 1)
      return window;
  }
  return nullptr;
}

int RowCount(HWND list) { return (int)Send(list, LVM_GETITEMCOUNT, 0, 0); }

std::string CellText(HWND list, int row, int column) {
  RemoteMemory memory(list, 4096);
  LVITEMA item = {};
  item.iSubItem = column;
  item.cchTextMax = 1024;
  item.pszText = (char*)(memory.at + sizeof item);
  char text[1024] = "";
  if (!memory.Write(0, &item, sizeof item) || !memory.Write(sizeof item, text, 1)) return "";
  Send(list, LVM_GETITEMTEXTA, row, (LPARAM)memory.at);
  memory.Read(sizeof item, text, sizeof text);
  text[sizeof text - 1] = 0;
  return text;
}

std::vector<std::string> ColumnTexts(HWND list, int column) {
  std::vector<std::string> texts;
  int count = RowCount(list);
  for (int row = 0; row < count; ++row) texts.push_back(CellText(list, row, column));
  return texts;
}

int FindRow(HWND list, const std::string& text, int column, int nth) {
  int count = RowCount(list);
  for (int row = 0; row < count; ++row)
    if (CellText(list, row, column) == text && nth-- == 0) return row;
  return -1;
}

int WaitForRow(HWND list, const std::string& text, int column, DWORD ms) {
  int row = -1;
  WaitUntil([&] { return (row = FindRow(list, text, column)) >= 0; }, ms);
  return row;
}

bool SelectRows(HWND list, const std::vector<int>& rows) {
  RemoteMemory memory(list, sizeof(LVITEMA));
  LVITEMA state = {};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  if (!memory.Write(0, &state, sizeof state) || !Send(list, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)memory.at))
    return false;
  for (size_t i = 0; i < rows.size(); ++i) {
    state.state = LVIS_SELECTED | (i == 0 ? LVIS_FOCUSED : 0);
    if (!memory.Write(0, &state, sizeof state) || !Send(list, LVM_SETITEMSTATE, rows[i], (LPARAM)memory.at))
      return false;
  }
  return SelectedRows(list) == rows;
}

std::vector<int> SelectedRows(HWND list) {
  std::vector<int> rows;
  for (int row = -1;;) {
    row = (int)Send(list, LVM_GETNEXTITEM, (WPARAM)row, LVNI_SELECTED);
    if (row < 0) break;
    rows.push_back(row);
  }
  return rows;
}

bool ClickColumnHeader(HWND list, int column) {
  HWND header = (HWND)Send(list, LVM_GETHEADER, 0, 0);
  if (!header) return false;
  RemoteMemory memory(header, sizeof(RECT));
  RECT r = {};
  if (!Send(header, HDM_GETITEMRECT, column, (LPARAM)memory.at) || !memory.Read(0, &r, sizeof r)) return false;
  return MouseClick(CentreOnScreen(header, r), false);
}

bool RightClickRow(HWND list, int row) {
  RemoteMemory memory(list, sizeof(RECT));
  RECT r = {};
  r.left = LVIR_LABEL;
  if (!memory.Write(0, &r, sizeof r) || !Send(list, LVM_GETITEMRECT, row, (LPARAM)memory.at) ||
      !memory.Read(0, &r, sizeof r))
    return false;
  Send(list, LVM_ENSUREVISIBLE, row, FALSE);
  return MouseClick(CentreOnScreen(list, r), true);
}

HWND WaitForMenu(DWORD ms) {
  HWND menu = nullptr;
  WaitUntil([&] {
    menu = FindWindowA("#32768", nullptr);
    return menu && IsWindowVisible(menu);
  }, ms);
  return menu;
}

bool ChooseMenuKey(char mnemonic) {
  HWND menu = WaitForMenu();
  return menu && PostMessageA(menu, WM_CHAR, (WPARAM)tolower((unsigned char)mnemonic), 0);
}

bool ChooseMenuItem(int position) {
  HWND menu = WaitForMenu();
  if (!menu) return false;
  // The first Down selects the first entry.
  for (int i = 0; i <= position; ++i)
    if (!PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0)) return false;
  return PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0) != 0;
}

bool DoubleClickRow(HWND list, int row) {
  RemoteMemory memory(list, sizeof(RECT));
  RECT r = {};
  r.left = LVIR_LABEL;
  if (!memory.Write(0, &r, sizeof r) || !Send(list, LVM_GETITEMRECT, row, (LPARAM)memory.at) ||
      !memory.Read(0, &r, sizeof r))
    return false;
  return MouseClicks(CentreOnScreen(list, r), false, 2);
}

bool ClickControl(HWND window, int id) {
  HWND control = GetDlgItem(window, id);
  RECT r;
  if (!control || !GetClientRect(control, &r)) return false;
  return MouseClick(CentreOnScreen(control, r), false);
}

bool PressKey(HWND window, UINT key) {
  return PostMessageA(window, WM_KEYDOWN, key, 1) && PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

bool CloseMenu() {
  HWND menu = FindWindowA("#32768", nullptr);
  if (!menu) return true;
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  return WaitUntil([] {
    HWND open = FindWindowA("#32768", nullptr);
    return !open || !IsWindowVisible(open);
  }, 5000);
}

bool PressButton(HWND page, int id) {
  HWND button = GetDlgItem(page, id);
  return button && PostMessageA(button, BM_CLICK, 0, 0);
}

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

std::string DialogTexts(HWND dialog) {
  std::string texts = WindowText(dialog) + "\n";
  EnumChildWindows(dialog, CollectTexts, (LPARAM)&texts);
  return texts;
}

HWND WaitForDialog(DWORD pid, const std::string& textPart, DWORD ms) {
  DialogSearch search = {pid, textPart, nullptr};
  WaitUntil([&] {
    search.found = nullptr;
    EnumWindows(FindDialog, (LPARAM)&search);
    return search.found != nullptr;
  }, ms);
  return search.found;
}

bool AnswerDialog(HWND dialog, int button) {
  return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(dialog, button));
}

bool SaveWindowPicture(HWND window, const std::string& path) {
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;  // bottom-up, as a BMP file keeps it
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP picture = CreateDIBSection(screen, (BITMAPINFO*)&info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (picture && bits) {
    HGDIOBJ old = SelectObject(memory, picture);
    ok = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY) != 0;
    SelectObject(memory, old);
  }
  if (ok) {
    DWORD rowBytes = ((DWORD)width * 3 + 3) & ~3u;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + rowBytes * (DWORD)height;
    FILE* out = fopen(path.c_str(), "wb");
    ok = out && fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1 &&
         fwrite(bits, rowBytes, (size_t)height, out) == (size_t)height;
    if (out) fclose(out);
  }
  if (picture) DeleteObject(picture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}
