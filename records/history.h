// The change history: one line per change in history.txt beside the program, read back into the
// item table and undone where the change allows it.
#pragma once
#include <windows.h>

struct RegText;

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
int RestoreHistoryEvent(int index);  // 1 after a disable/enable undo; a row not loaded from the history: 0

// A removal keeps what it took away beside history.txt, tied to its history line: removed.reg, one
// block per removal opened by a comment line holding that history line (then the removed values in
// the Registry Editor's own form, or comment lines naming a kept file), and the folder Removed, which
// keeps removed Startup-folder files. A removal is recorded in three steps, so that nothing is
// recorded when nothing was removed and nothing is removed that has no copy:
// PrepareHistoryEvent (0 when the history is off), KeepRemovalBackup (before anything is deleted),
// then, once the removal is done, AppendHistoryEvent.
struct HistoryEntry {
  char line[1024];  // the whole history line, CR LF included
  int length;
  char action[48], location[48], title[128], fileName[260];
};
int PrepareHistoryEvent(const char* title, const char* fileName, const char* command, int location, int action,
                        HistoryEntry* out);
int KeepRemovalBackup(const HistoryEntry* entry, const char* block, size_t length);  // 1 kept
int AppendHistoryEvent(const HistoryEntry* entry);                                   // 1 written
int RemovalBackupPath(char* out);                // out: 260; removed.reg beside history.txt
int RemovedFilesFolder(char* out, int create);   // out: 260; the folder Removed beside history.txt
// The backup block of a history line (given without its CR LF): of the blocks tied to that same
// line, the `fromEnd`-th counted from the last (0 = the last). 1 with the block's lines in `block`.
int FindRemovalBackup(const char* line, int fromEnd, RegText* block);
