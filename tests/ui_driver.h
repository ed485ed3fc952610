// Drives the real VandrelixEx.exe from outside, as a user would: starts it, finds its sheet, pages and
// lists, reads and selects rows across processes, clicks column headers and rows, chooses context-menu
// entries, presses buttons and answers the program's message boxes.
//
// Everything here works across processes: list texts and rectangles are read through memory of the
// program's own (list-view messages carry pointers, which Windows does not carry over), and every
// action that may open something modal (a menu, a question) is posted or sent as real input, never
// sent and waited for. Waits poll a condition; none sleeps for a fixed time.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Polls `done` every 20 ms until it holds (true) or `ms` have passed (false).
bool WaitUntil(const std::function<bool()>& done, DWORD ms = 15000);

// Returns once the thread of the window's program takes messages again, that is when it has finished
// the work it was doing (a fill after a question, say). Work that is still only posted is not waited for.
bool WaitForProgramIdle(HWND window);

// One run of VandrelixEx.exe from the test program's folder; ended when the object goes.
struct ProgramRun {
  PROCESS_INFORMATION info = {};
  bool started = false;
  bool Start(const char* arguments);
  bool Running() const;
  DWORD WaitExit(DWORD ms);  // the exit code, or 0xFFFFFFFF when it is still running
  ~ProgramRun();
};

// The sheet and its parts. The sheet is the program's "#32770" window captioned "VandrelixToGo Edition"
// that holds a tab control.
HWND WaitForSheet(DWORD ms = 20000);
std::vector<HWND> SheetWindows();                     // every sheet on the desktop
HWND CurrentPage(HWND sheet);
std::vector<std::string> TabTitles(HWND sheet);
// Clicks the tab of the page with that title and waits until that page is the current one.
HWND ShowPage(HWND sheet, const std::string& title);
HWND PageList(HWND page);                             // the page's list view
HWND PageControl(HWND page, int id);
std::string StatusText(HWND sheet);                   // the status bar's text
std::string WindowText(HWND window);
std::string ControlText(HWND window, int id);        // asked of the control itself (edit boxes too)
HWND TopVisibleWindow();  // the visible top-level window in front of all others (sized ones only)

// A list view of the program.
int RowCount(HWND list);
std::string CellText(HWND list, int row, int column);
std::vector<std::string> ColumnTexts(HWND list, int column);
int FindRow(HWND list, const std::string& text, int column = 0, int nth = 0);  // -1 when absent
// Waits until the list has been refilled with a row holding `text` in `column` (-1 after the time).
int WaitForRow(HWND list, const std::string& text, int column = 0, DWORD ms = 15000);
bool SelectRows(HWND list, const std::vector<int>& rows);  // exactly these rows, the first focused
std::vector<int> SelectedRows(HWND list);

// Mouse and keyboard, as real input at the item's place on the screen.
bool ClickColumnHeader(HWND list, int column);
bool RightClickRow(HWND list, int row);  // the page answers with its context menu
HWND WaitForMenu(DWORD ms = 10000);      // the open pop-up menu window
bool ChooseMenuKey(char mnemonic);       // the entry with that underlined letter
bool ChooseMenuItem(int position);       // the entry at that place, separators not counted
bool DoubleClickRow(HWND list, int row);
bool ClickControl(HWND window, int id);  // a left click at the middle of a child control
bool PressKey(HWND window, UINT key);    // a key press posted to the window, as typing would arrive
bool CloseMenu();
bool PressButton(HWND page, int id);     // posted, as a click would arrive

// Dialogs and message boxes of a process, other than its sheet, whose texts contain `textPart`.
HWND WaitForDialog(DWORD pid, const std::string& textPart, DWORD ms = 15000);
std::string DialogTexts(HWND dialog);  // caption and every child's text, one per line
bool AnswerDialog(HWND dialog, int button);
DWORD ProcessOf(HWND window);

// Saves what the screen shows of a window as a 24-bit BMP.
bool SaveWindowPicture(HWND window, const std::string& path);
