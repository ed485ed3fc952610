// The right-click menu of list items, built from one table keyed by page id, and the item actions
// that several pages share: open the item's file, explore its folder, show its file properties,
// open its note.
#pragma once
#include <windows.h>

// Shows the menu of the list row (a row of the page's list view) at the cursor; the chosen command
// reaches the page as WM_COMMAND. 1 when shown, 0 when the row maps to no item.
int ItemContextMenu(HWND page, int pageId, int row);
// The menu itself, for an item of the table (null for a page without a row); the caller destroys it.
HMENU BuildItemMenu(int pageId, int item);
// Whether a command's work is available in this build (menu entries of others are greyed or left out).
int CommandAvailable(int command);

// The commands that every page's items share, for the item of the page's selected row: Info (1008,
// and 1 from the Enter key) opens the information window, the item actions (1164, 1201, 1202, and
// Delete File on Reboot 1144), and
// the menu's common tail: QOVA Info (1067), the program report (9), help (1077, and the Help button
// 1134), the restart into repair (1359). 1 when the command is one of them (handled, or not
// available in this build), 0 when it is the page's own. Pages pass every command they do not know.
int HandleSharedItemCommand(HWND page, int pageId, int command, int item);

int OpenItemFile(int item);
int ExploreItemFolder(int item);
int ShowItemProperties(int item);
// Asks with the adware warning and, on Yes, has the item's file (a command's program) deleted when
// Windows next starts; refuses, saying so, when no such file is there.
int DeleteItemFileOnRestart(HWND owner, int item);
int ItemHasNote(int item);
int ViewItemNote(int item);
