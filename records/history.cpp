#include "records/history.h"

#include <stdlib.h>
#include <string.h>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/net_reports.h"
#include "records/reg_export.h"
#include "startup/items.h"
#include "startup/toggle.h"

namespace {

const DWORD kReadWindow = 131072;

// What each loaded event said, exactly: the table keeps display forms (no quotes, long paths),
// and a restore must write back what was there. Each is tied to its row by the row's serial, so a
// table filled since (of any size) is never read with these.
struct RawEvent {
  unsigned serial;
  char title[128];
  char fileName[260];
  char command[260];
  char line[1024];  // the line as it stands in the file, without its line end
  int whole;        // six fields, none cut or dropped: only such a line says what to put back
};
RawEvent* rawEvents[kMaxItems];
int rawCount = 0;

void ClearRawEvents() {
  for (int i = 0; i < rawCount; ++i) free(rawEvents[i]);
  rawCount = 0;
}

// Copies a field into the line, blanks for the characters that separate fields and lines.
void PutField(char* line, size_t cap, const char* text, size_t limit) {
  size_t o = strlen(line);
  for (size_t i = 0; text && text[i] && i < limit && o + 1 < cap; ++i) {
    char c = text[i];
    line[o++] = (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
  }
  line[o] = 0;
}

}  // namespace

void HistoryTimeStamp(const SYSTEMTIME* t, char* out) {
  if (t->wYear == 0 && t->wMonth == 0 && t->wDay == 0) {
    LoadText(686, out, 32);
    return;
  }
  unsigned hour = t->wHour % 12 == 0 ? 12 : t->wHour % 12;
  FormatText(out, 32, t->wHour >= 12 ? "%02u/%02u/%04u  %u:%02u PM" : "%02u/%02u/%04u  %u:%02u AM", t->wMonth,
             t->wDay, t->wYear, hour, t->wMinute);
}

int HistoryFilePath(char* out) {
  char folder[260];
  if (!ProgramFolder(folder)) return 0;
  return (int)FormatText(out, 260, "%s\\history.txt", folder);
}

// A file or folder beside history.txt.
static int BesideHistory(const char* name, char* out) {
  char path[260];
  if (!HistoryFilePath(path)) return 0;
  int pos = FileNamePos(path);
  if (pos == 0) return 0;
  path[pos] = 0;
  if (strlen(path) + strlen(name) >= 260) return 0;
  return (int)FormatText(out, 260, "%s%s", path, name);
}

int RemovalBackupPath(char* out) { return BesideHistory("removed.reg", out); }

int RemovedFilesFolder(char* out, int create) {
  if (!BesideHistory("Removed", out)) return 0;
  if (create && !CreateDirectoryA(out, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return 0;
  return 1;
}

int FormatHistoryLine(const char* stamp, const char* action, const char* location, const char* title,
                      const char* fileName, const char* command, char* out, size_t cap) {
  if (cap > 1024) cap = 1024;
  out[0] = 0;
  PutField(out, cap - 2, stamp, 1023);
  AppendText(out, cap - 2, "\t");
  PutField(out, cap - 2, action, 47);
  AppendText(out, cap - 2, "\t");
  PutField(out, cap - 2, location, 47);
  AppendText(out, cap - 2, "\t");
  PutField(out, cap - 2, title, 127);
  AppendText(out, cap - 2, "\t");
  PutField(out, cap - 2, fileName, 259);
  AppendText(out, cap - 2, "\t");
  PutField(out, cap - 2, command, 1023);
  return (int)AppendText(out, cap, "\r\n");
}

int PrepareHistoryEvent(const char* title, const char* fileName, const char* command, int location, int action,
                        HistoryEntry* out) {
  out->length = 0;
  out->line[0] = 0;
  if (OptionSet[OPT_History] < 1) return 0;
  const char* locationToken = HistoryLocationToken(location);
  if (!locationToken) locationToken = "TYPE_UNKNOWN";
  const char* actionToken = HistoryActionToken(action);
  if (!actionToken) actionToken = "";
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[32];
  HistoryTimeStamp(&now, stamp);
  CopyText(out->action, actionToken);
  CopyText(out->location, locationToken);
  CopyText(out->title, title ? title : "");
  CopyText(out->fileName, fileName ? fileName : "");
  out->length = FormatHistoryLine(stamp, actionToken, locationToken, title, fileName, command, out->line, sizeof out->line);
  return 1;
}

int AppendHistoryEvent(const HistoryEntry* entry) {
  if (entry->length <= 0) return 0;
  // The line first: the administrator report goes to the background and is never waited for.
  int recorded = 0;
  char path[260];
  HANDLE file = HistoryFilePath(path)
                    ? CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)
                    : INVALID_HANDLE_VALUE;
  if (file != INVALID_HANDLE_VALUE) {
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    recorded = WriteFile(file, entry->line, (DWORD)entry->length, &written, nullptr) &&
                       written == (DWORD)entry->length
                   ? 1
                   : 0;
    CloseHandle(file);
  }

  HistoryEventReport report;
  CopyText(report.action, entry->action);
  CopyText(report.location, entry->location);
  CopyText(report.title, entry->title);
  CopyText(report.fileName, entry->fileName);
  SendAdminEvent(&report);
  return recorded;
}

int RecordHistoryEvent(const char* title, const char* fileName, const char* command, int location, int action) {
  static HistoryEntry entry;
  if (!PrepareHistoryEvent(title, fileName, command, location, action, &entry)) return 0;
  return AppendHistoryEvent(&entry);
}

// The comment line that opens a removal's backup block: "; " and the history line without its end.
static void BlockOpener(const char* line, size_t length, RegText* out) {
  while (length && (line[length - 1] == '\r' || line[length - 1] == '\n')) --length;
  ClearRegText(out);
  AppendRegText(out, "; ");
  AppendRegText(out, line, length);
}

int KeepRemovalBackup(const HistoryEntry* entry, const char* block, size_t length) {
  char path[260];
  if (entry->length <= 0 || !RemovalBackupPath(path)) return 0;
  RegText text;
  BlockOpener(entry->line, (size_t)entry->length, &text);
  AppendRegText(&text, "\r\n");
  AppendRegText(&text, block, length);
  if (text.length >= 2 && memcmp(text.text + text.length - 2, "\r\n", 2) != 0) AppendRegText(&text, "\r\n");
  if (text.failed) return 0;
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD size = GetFileSize(file, nullptr);
  DWORD put = 0;
  BOOL ok = TRUE;
  if (size == 0) {
    // A new file starts with the header regedit needs to import it.
    char header[32];
    int n = (int)FormatText(header, sizeof header, "%s\r\n", kRegFileHeader);
    ok = WriteFile(file, header, (DWORD)n, &put, nullptr) && put == (DWORD)n;
  }
  SetFilePointer(file, 0, nullptr, FILE_END);
  // Blocks are set apart by an empty line; inside a block there is none.
  ok = ok && WriteFile(file, "\r\n", 2, &put, nullptr) && put == 2;
  ok = ok && WriteFile(file, text.text, (DWORD)text.length, &put, nullptr) && put == (DWORD)text.length;
  CloseHandle(file);
  return ok ? 1 : 0;
}

int FindRemovalBackup(const char* line, int fromEnd, RegText* block) {
  ClearRegText(block);
  char path[260];
  if (!RemovalBackupPath(path)) return 0;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD size = GetFileSize(file, nullptr);
  char* text = size != INVALID_FILE_SIZE ? (char*)malloc((size_t)size + 1) : nullptr;
  DWORD got = 0;
  if (text && !ReadFile(file, text, size, &got, nullptr)) got = 0;
  CloseHandle(file);
  if (!text) return 0;
  text[got] = 0;
  RegText opener, current;
  BlockOpener(line, strlen(line), &opener);
  // Where each block of this line begins (just after its opener); the wanted one is counted from the end.
  size_t starts[64];
  int found = 0;
  for (size_t pos = 0; NextRegLine(text, got, &pos, &current);) {
    if (current.length == opener.length && memcmp(current.text, opener.text, opener.length) == 0) starts[found++ % 64] = pos;
  }
  int result = 0;
  if (!opener.failed && fromEnd >= 0 && fromEnd < found && fromEnd < 64) {
    size_t pos = starts[(found - 1 - fromEnd) % 64];
    size_t end = pos;
    for (size_t next = pos; NextRegLine(text, got, &next, &current) && current.length > 0;) end = next;
    AppendRegText(block, text + pos, end - pos);
    result = !block->failed;
  }
  free(text);
  return result;
}

int ParseHistoryText(const char* text, size_t length) {
  char fields[6][260];
  int action = kHistoryUnknownAction, location = 3000;
  size_t used = 0;
  int field = 0;
  char current[260];
  int added = 0;
  int whole = 1;
  auto resetLine = [&]() {
    whole = 1;
    for (auto& f : fields) f[0] = 0;
    action = kHistoryUnknownAction;
    location = 3000;
    field = 0;
    used = 0;
    current[0] = 0;
  };
  auto endField = [&]() {
    current[used] = 0;
    switch (field) {
      case 0:
        if (used < 32) CopyText(fields[0], current);
        else whole = 0;
        break;
      case 1:
        action = HistoryActionFromToken(current);
        break;
      case 2:
        location = LocationFromHistoryToken(current);
        break;
      case 3:
        if (used < 128) CopyText(fields[3], current);
        else whole = 0;  // listed without a title, and no entry may be put back under none
        break;
      case 4:
      case 5:
        CopyText(fields[field], current);
        break;
      default:
        whole = 0;  // fields after the sixth are ignored, and the ones before may have shifted
        break;
    }
    ++field;
    used = 0;
  };
  resetLine();
  size_t lineStart = 0;
  for (size_t i = 0; i < length; ++i) {
    char c = text[i];
    if (c == '\t') {
      endField();
    } else if (c == '\n') {
      if (used > 0 && current[used - 1] == '\r') --used;
      endField();
      if (field != 6) whole = 0;
      if (StartupItemCount < kMaxItems && rawCount < kMaxItems) {
        RawEvent* raw = (RawEvent*)calloc(1, sizeof(RawEvent));
        if (raw) {
          CopyText(raw->title, fields[3]);
          CopyText(raw->fileName, fields[4]);
          CopyText(raw->command, fields[5]);
          size_t end = i;
          if (end > lineStart && text[end - 1] == '\r') --end;
          if (end - lineStart >= sizeof raw->line) whole = 0;
          CopyTextN(raw->line, sizeof raw->line, text + lineStart, end - lineStart);
          raw->whole = whole;
        }
        if (AddStartupItem(fields[3], fields[4], fields[5], fields[0], location, action)) {
          if (raw) {
            raw->serial = GetItemSerial(StartupItemCount - 1);
            rawEvents[rawCount++] = raw;
          }
          ++added;
        } else {
          free(raw);
        }
      }
      resetLine();
      lineStart = i + 1;
    } else {
      // A NUL or a CR inside a field is no line this program wrote: a NUL would cut the field short.
      if (c == 0 || (c == '\r' && (i + 1 >= length || text[i + 1] != '\n'))) whole = 0;
      if (used < 259) current[used++] = c;
    }
  }
  return added;  // a last line without LF is not an event yet
}

int LoadHistoryItems() {
  ClearStartupItems();
  ClearRawEvents();
  char path[260];
  if (!HistoryFilePath(path)) return 0;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD size = GetFileSize(file, nullptr);
  if (size == INVALID_FILE_SIZE || size == 0) {
    CloseHandle(file);
    return 0;
  }
  // The newest changes are the ones worth seeing: read the end of a long file.
  DWORD start = size > kReadWindow ? size - kReadWindow : 0;
  SetFilePointer(file, (LONG)start, nullptr, FILE_BEGIN);
  char* text = (char*)malloc(kReadWindow + 1);
  DWORD got = 0;
  if (!text || !ReadFile(file, text, size - start, &got, nullptr)) got = 0;
  CloseHandle(file);
  int count = 0;
  if (text && got) {
    size_t from = 0;
    if (start > 0) {
      // Begin at the first whole line; a read that starts just after a line feed is already there.
      char before = 0;
      HANDLE again = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
      if (again != INVALID_HANDLE_VALUE) {
        DWORD one = 0;
        SetFilePointer(again, (LONG)start - 1, nullptr, FILE_BEGIN);
        if (!ReadFile(again, &before, 1, &one, nullptr) || one != 1) before = 0;
        CloseHandle(again);
      }
      if (before != '\n') {
        while (from < got && text[from] != '\n') ++from;
        if (from < got) ++from;
      }
    }
    count = ParseHistoryText(text + from, got - from);
  }
  free(text);
  return count;
}

static const RawEvent* RawEventOf(int index) {
  unsigned serial = GetItemSerial(index);
  if (!serial) return nullptr;
  if (index < rawCount && rawEvents[index]->serial == serial) return rawEvents[index];
  for (int r = 0; r < rawCount; ++r)
    if (rawEvents[r]->serial == serial) return rawEvents[r];
  return nullptr;
}

int IsRestorableEvent(int index) {
  if (index < 0 || index >= StartupItemCount) return 0;
  // A line that was cut or malformed cannot say what was there: it is listed, never undone.
  const RawEvent* raw = RawEventOf(index);
  if (raw && !raw->whole) return 0;
  return IsRestorableAction(GetItemFlag(index));
}

int RestoreHistoryEvent(int index) {
  if (index < 0 || index >= StartupItemCount) return 0;
  // Only a row that came from the history has a line to undo: the table may hold another page's rows.
  const RawEvent* raw = RawEventOf(index);
  if (!raw || !raw->whole) return 0;  // refused rather than guessed from a cut or shifted line
  char title[128], file[260], command[260];
  CopyText(title, raw->title);
  CopyText(file, raw->fileName);
  CopyText(command, raw->command);
  int location = GetItemLocation(index);
  switch (GetItemFlag(index)) {
    case 0: {
      // The exact value (or kept file) from the removal's backup when there is one, else the line.
      // Identical lines (the same removal twice in a minute) pair with their blocks in file order.
      RegText block;
      int later = 0;
      for (int j = index + 1; j < StartupItemCount; ++j) {
        const RawEvent* other = RawEventOf(j);
        if (other && strcmp(other->line, raw->line) == 0) ++later;
      }
      int found = FindRemovalBackup(raw->line, later, &block);
      RestoreRemovedEntry(title, file, command, location, found ? block.text : nullptr);
      return 0;
    }
    case 1:
    case 2:
      ToggleStartupItem(title, file, command, location);
      return 1;
    case 3:
      ReregisterDll(file);
      return 0;
    default:
      return 0;
  }
}
