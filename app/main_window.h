// The hidden main window: receives page commands, owns the shared fonts and bitmaps.
#pragma once
#include <windows.h>

extern char MainWindowClass[32];

int RegisterMainWindowClass(HINSTANCE instance);
HWND CreateMainWindow(HINSTANCE instance);
int CreateSharedFonts();
int LoadSharedBitmaps(HINSTANCE instance);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void RunExplorerCopy(const char* arguments);
int SetExplorerMenu(int on);
// Windows 8 only: restart into the repair start-up menu.
void RestartIntoRepair();
