// The program information window: everything that can be learned locally about the program behind
// one entry of the item table (icon, path, where it starts from, version texts, dates, size, first
// detection, whether it runs, a service's state and start type), with the commands to end or start
// it, stop a service or change its start type, step through the table, keep a note about the
// program and look it up online. Any page opens it for its selected row.
//
// What the window shows is composed in two steps: GatherInfo reads the entry and asks the system
// (files, processes, services, tasks, the note file), ComposeInfoView turns those facts into the
// shown texts and states without any system call.
#pragma once
#include <windows.h>
#include <stddef.h>

#include "platform/file_facts.h"

enum { IDD_INFO_WINDOW = 108, kMaxNoteText = 16384 };

// The window's controls.
enum {
  IDC_INFO_ICON = 1701,
  IDC_INFO_PRODUCT = 1702,
  IDC_INFO_PATH = 1703,
  IDC_INFO_LOCATION = 1704,
  IDC_INFO_DESCRIPTION = 1705,
  IDC_INFO_VERSION_LABEL = 1706,
  IDC_INFO_VERSION = 1707,
  IDC_INFO_COMPANY_LABEL = 1708,
  IDC_INFO_COMPANY = 1709,
  IDC_INFO_COPYRIGHT_LABEL = 1710,
  IDC_INFO_COPYRIGHT = 1711,
  IDC_INFO_STATUS_LABEL = 1712,
  IDC_INFO_STATUS = 1713,
  IDC_INFO_RUN = 1714,
  IDC_INFO_KILL = 1715,  // "&Kill Task", or "&Stop" for a service
  IDC_INFO_START_LABEL = 1716,
  IDC_INFO_START_TYPE = 1717,
  IDC_INFO_APPLY = 1718,
  IDC_INFO_CREATED_LABEL = 1719,
  IDC_INFO_CREATED = 1720,
  IDC_INFO_SAVED_LABEL = 1721,
  IDC_INFO_SAVED = 1722,
  IDC_INFO_SIZE_LABEL = 1723,
  IDC_INFO_SIZE = 1724,
  IDC_INFO_DETECTED_LABEL = 1725,
  IDC_INFO_DETECTED = 1726,
  IDC_INFO_NOTE = 1727,
  IDC_INFO_TOGGLE = 1728,  // "E&xpand Info" / "Shrin&k Window"
  IDC_INFO_NOTE_BUTTON = 1729,
  IDC_INFO_PREVIOUS = 1730,
  IDC_INFO_NEXT = 1731,
  IDC_INFO_QOVA = 1732,
};

// The entry the window shows: a table index, set by the page that opens it and moved by Next and
// Previous.
extern int InfoWindowIndex;

// Shows the window modally for table entry `item`, owned by `owner`. `list`, when given, is the
// page's list: its scroll position is the same afterwards. Returns 1 when the window was shown.
int ShowInfoWindow(HWND owner, HWND list, int item);

// The entry as the window reads it.
struct InfoEntry {
  char title[128];
  char name[512];      // what the service and task operations find it by: its kept name, else the title
  char file[260];      // the entry's file name field
  char path[260];      // the program it names, expanded; the (x86) rule applied when the file is missing
  char command[260];
  char longText[1024];
  char locationText[512];  // FormatLocationText
  int code;
};

// What the system says about the entry; only what its kind of entry shows is asked for.
struct InfoFacts {
  int exists;           // the path's file exists
  int running;          // a process runs it
  DWORD serviceWord;    // GetServiceStateText's state word, 0 when the service cannot be read
  char serviceState[256];
  DWORD controlsAccepted;
  char serviceText[1024];   // the Description of a service whose program or library is the path
  char taskStatus[1024];
  char taskComment[1024];
  VersionFields fields;
  FileFacts file;
  int noteLoaded;
  int noteCut;          // the note file holds more than the box takes: shown, never saved over
  char note[kMaxNoteText + 1];
};

enum NoteLook { kNoteNormal, kNoteBold, kNoteFont };

// What the window shows for an entry.
struct InfoView {
  char location[1200];
  char status[256];
  int statusShown;   // the status and its label
  int runShown;
  int killShown;     // the Kill Task button, which reads "&Stop" for a service
  int killIsStop;
  int stopEnabled;
  int startShown;    // the start-type list, its label and Apply
  int startChoice;   // the list entry that matches the start type, -1 for none
  char note[kMaxNoteText + 1200];
  int noteLook;
  int noteLoaded;    // the note box holds the note file: editable, and the button saves
};

// Reads entry `index` and the facts its kind shows (each file, process list or service read once).
void GatherInfo(int index, InfoEntry* entry, InfoFacts* facts);
void ComposeInfoView(const InfoEntry* entry, const InfoFacts* facts, InfoView* view);

// Pure pieces.
// The entry `step` (+1 or -1) away from `index` in a table of `count`, wrapping at both ends.
int StepInfoIndex(int index, int count, int step);
// A missing program whose path lies in the 32-bit Program Files folder of 64-bit Windows
// ("C:\Program Files (x86)\...") is shown in the native folder; other paths stay. 1 when changed.
int ProgramFilesPathOf(const char* path, int exists, char* out);  // out: 260
// The program path of a command in the letter case the command writes it, where it can be found
// there; `upper` is the command's ExeFromCommand.
void PathInCommandCase(const char* command, const char* upper, char* out);  // out: 260
// The start-type list entry (0 Automatic, 1 Manual, 2 Disabled, 3 Automatic (Delayed Start)) whose
// text begins with `startText`; -1 for none or an empty text.
int StartChoiceOf(const char* startText);
// A note file's bytes as the note box takes them: line feeds become CR LF, bytes below 32 other than
// tab and line ends are dropped, at most kMaxNoteText characters. Returns the length; `consumed`,
// when given, receives how many of the raw bytes that covers.
size_t NoteTextForBox(const char* raw, size_t rawLength, char* out, size_t cap, size_t* consumed = nullptr);
