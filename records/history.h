// The change history: one line per change in history.txt beside the program, read back into the
// item table and undone where the change allows it.
#pragma once
#include <windows.h>

int RecordHistoryEvent(const char* title, const char* fileName, const char* command, int location, int action);
void HistoryTimeStamp(const SYSTEMTIME* time, char* out);  // out: 32
int HistoryFilePath(char* out);                             // out: 260

// One line, CR LF included, cut to 1023 characters. TAB, CR and LF inside a field become blanks, so a
// field can never split the line or shift the fields after it.
int FormatHistoryLine(const char* stamp, const char* action, const char* location, const char* title,
                      const char* fileName, const char* command, char* out, size_t cap);

// Clears the item table and loads the newest part of the history (its last 131072 bytes) into it,
// oldest first. Returns the number of events.
int LoadHistoryItems();
int ParseHistoryText(const char* text, size_t length);
int IsRestorableEvent(int index);
int RestoreHistoryEvent(int index);  // 1 after a disable/enable undo
