#include "records/history.h"

#include <stdlib.h>
#include <string.h>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/net_reports.h"
#include "startup/items.h"
#include "startup/toggle.h"

namespace {

const DWORD kReadWindow = 131072;

// What each loaded event said, exactly: the table keeps display forms (no quotes, long paths),
// and a restore must write back what was there.
struct RawEvent {
  char title[128];
  char fileName[260];
  char command[260];
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

int RecordHistoryEvent(const char* title, const char* fileName, const char* command, int location, int action) {
  if (OptionSet[OPT_History] < 1) return 0;
  const char* locationToken = HistoryLocationToken(location);
  if (!locationToken) locationToken = "TYPE_UNKNOWN";
  const char* actionToken = HistoryActionToken(action);
  if (!actionToken) actionToken = "";
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[32];
  HistoryTimeStamp(&now, stamp);

  // The line first: the administrator report goes to the background and is never waited for.
  int recorded = 0;
  char path[260];
  HANDLE file = HistoryFilePath(path)
                    ? CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)
                    : INVALID_HANDLE_VALUE;
  if (file != INVALID_HANDLE_VALUE) {
    char line[1024];
    int length = FormatHistoryLine(stamp, actionToken, locationToken, title, fileName, command, line, sizeof line);
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    recorded = WriteFile(file, line, (DWORD)length, &written, nullptr) && written == (DWORD)length ? 1 : 0;
    CloseHandle(file);
  }

  HistoryEventReport report;
  CopyText(report.action, actionToken);
  CopyText(report.location, locationToken);
  CopyText(report.title, title ? title : "");
  CopyText(report.fileName, fileName ? fileName : "");
  SendAdminEvent(&report);
  return recorded;
}

int ParseHistoryText(const char* text, size_t length) {
  char fields[6][260];
  int action = kHistoryUnknownAction, location = 3000;
  size_t used = 0;
  int field = 0;
  char current[260];
  int added = 0;
  auto resetLine = [&]() {
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
        break;
      case 1:
        action = HistoryActionFromToken(current);
        break;
      case 2:
        location = LocationFromHistoryToken(current);
        break;
      case 3:
        if (used < 128) CopyText(fields[3], current);
        break;
      case 4:
      case 5:
        CopyText(fields[field], current);
        break;
      default:
        break;  // fields after the sixth are ignored
    }
    ++field;
    used = 0;
  };
  resetLine();
  for (size_t i = 0; i < length; ++i) {
    char c = text[i];
    if (c == '\t') {
      endField();
    } else if (c == '\n') {
      if (used > 0 && current[used - 1] == '\r') --used;
      endField();
      if (StartupItemCount < kMaxItems && rawCount < kMaxItems) {
        RawEvent* raw = (RawEvent*)calloc(1, sizeof(RawEvent));
        if (raw) {
          CopyText(raw->title, fields[3]);
          CopyText(raw->fileName, fields[4]);
          CopyText(raw->command, fields[5]);
        }
        if (AddStartupItem(fields[3], fields[4], fields[5], fields[0], location, action)) {
          rawEvents[rawCount++] = raw;
          ++added;
        } else {
          free(raw);
        }
      }
      resetLine();
    } else if (used < 259) {
      current[used++] = c;
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

int IsRestorableEvent(int index) {
  if (index < 0 || index >= StartupItemCount) return 0;
  return IsRestorableAction(GetItemFlag(index));
}

int RestoreHistoryEvent(int index) {
  if (index < 0 || index >= StartupItemCount) return 0;
  char title[128], file[260], command[260];
  if (rawCount == StartupItemCount && rawEvents[index]) {
    CopyText(title, rawEvents[index]->title);
    CopyText(file, rawEvents[index]->fileName);
    CopyText(command, rawEvents[index]->command);
  } else {
    GetItemTitle(index, title);
    GetItemFile(index, file);
    GetItemCommand(index, command);
  }
  int location = GetItemLocation(index);
  switch (GetItemFlag(index)) {
    case 0:
      RestoreStartupItem(title, file, command, location);
      return 0;
    case 1:
    case 2:
      ToggleStartupItem(title, file, command, location);
      return 1;
    case 3: {
      char line[300];
      FormatText(line, sizeof line, "regsvr32 /s %s", file);
      WinExec(line, SW_SHOWNORMAL);
      return 0;
    }
    default:
      return 0;
  }
}
