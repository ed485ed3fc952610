#include "ui/list_view.h"

#include <shellapi.h>
#include <stdlib.h>
#include <string.h>

#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/items.h"
#include "ui/sheet.h"

HIMAGELIST ListImageList[2];
int SortDirection[kMaxListColumns];

namespace {

enum KeyKind {
  KEY_NONE,    // compares equal
  KEY_TEXT,    // case-insensitive, whole texts
  KEY_NUMBER,  // the key's decimal value
  KEY_DATE,    // SortableDateKey of the key, as text
};

// One row per page that sorts: the option that keeps its sort key and how each column compares.
struct SortRule {
  int pageId;
  const char* option;
  int columns;
  KeyKind kind[kMaxListColumns];
  unsigned disabledLast;  // bit per column: disabled items after all others, in either direction
};

const SortRule kSortRules[] = {
    {6026, "SortStartup", 5, {KEY_TEXT, KEY_TEXT, KEY_TEXT, KEY_TEXT, KEY_DATE}, 0x0F},
    {6039, "SortScheduledTask", 5, {KEY_TEXT, KEY_TEXT, KEY_TEXT, KEY_TEXT, KEY_TEXT}, 0},
    {6038, "SortService", 6, {KEY_TEXT, KEY_TEXT, KEY_TEXT, KEY_TEXT, KEY_TEXT, KEY_DATE}, 0},
    // Active tasks: the file size and the process id compare as the numbers they are.
    {6029, "SortActiveTask", 6, {KEY_TEXT, KEY_TEXT, KEY_TEXT, KEY_DATE, KEY_NUMBER, KEY_NUMBER}, 0},
    // Delayed start: title, file name, kind, and the delay compared as the number it is.
    {6055, "SortPrograms", 4, {KEY_TEXT, KEY_TEXT, KEY_TEXT, KEY_NUMBER}, 0},
    {6040, "SortIEHelper", 5, {KEY_TEXT, KEY_TEXT, KEY_TEXT, KEY_TEXT, KEY_DATE}, 0},
    {6052, "SortHidden", 5, {KEY_TEXT, KEY_TEXT, KEY_DATE, KEY_DATE, KEY_NUMBER}, 0},
    {6056, "SortActiveX", 6, {KEY_TEXT, KEY_TEXT, KEY_TEXT, KEY_TEXT, KEY_DATE, KEY_TEXT}, 0},
    // The History dialog keeps the file's order: a click changes the direction flag and nothing else.
    {6041, "SortHistory", 4, {KEY_NONE, KEY_NONE, KEY_NONE, KEY_NONE}, 0},
};

// The sort key of each page as the user last chose it; read from the options the first time.
// Option changes last only in memory in this edition, so the choice lives here until exit.
struct SortMemory {
  int loaded;
  int key;
};
SortMemory sortMemory[sizeof kSortRules / sizeof kSortRules[0]];

const SortRule* RuleOf(int pageId, SortMemory** memory) {
  for (size_t i = 0; i < sizeof kSortRules / sizeof kSortRules[0]; ++i) {
    if (kSortRules[i].pageId != pageId) continue;
    if (memory) *memory = &sortMemory[i];
    return &kSortRules[i];
  }
  return nullptr;
}

// The kept keys: per row (by table index) an offset into one text pool per column, and the number
// of number columns. Rebuilt by each fill.
struct ListRow {
  unsigned key[kMaxListColumns];
  long number[kMaxListColumns];
  int disabled;
  int filled;
};
ListRow rows[kMaxItems];
char* pool = nullptr;
size_t poolUsed = 0, poolCapacity = 0;

unsigned KeepText(const char* text) {
  size_t length = strlen(text) + 1;
  if (poolUsed + length > poolCapacity) {
    size_t capacity = poolCapacity ? poolCapacity * 2 : 65536;
    while (capacity < poolUsed + length) capacity *= 2;
    char* grown = (char*)realloc(pool, capacity);
    if (!grown) return 0;  // offset 0 is the empty text
    pool = grown;
    poolCapacity = capacity;
  }
  memcpy(pool + poolUsed, text, length);
  unsigned offset = (unsigned)poolUsed;
  poolUsed += length;
  return offset;
}

void ResetPool() {
  poolUsed = 0;
  KeepText("");  // offset 0
  memset(rows, 0, sizeof rows);
}

const SortRule* activeRule = nullptr;

// The program facts of the fill in progress, found by their path through an open-addressed index.
struct CachedFacts {
  char program[260];
  ListProgramFacts facts;
};
CachedFacts* cached = nullptr;
int cachedCount = 0, cachedCapacity = 0;
int* cacheIndex = nullptr;  // slot -> entry + 1, 0 when free
unsigned cacheSlots = 0;

void BeginFactsCache(int rowCount) {
  cachedCapacity = rowCount > 0 ? rowCount : 1;
  cached = (CachedFacts*)calloc((size_t)cachedCapacity, sizeof(CachedFacts));
  cacheSlots = 16;
  while (cacheSlots < (unsigned)cachedCapacity * 2) cacheSlots *= 2;
  cacheIndex = (int*)calloc(cacheSlots, sizeof(int));
  cachedCount = 0;
}

void EndFactsCache() {
  free(cached);
  free(cacheIndex);
  cached = nullptr;
  cacheIndex = nullptr;
  cachedCount = cachedCapacity = 0;
  cacheSlots = 0;
}

}  // namespace

const ListProgramFacts* ListProgramFactsOf(const char* program, int versionField) {
  static ListProgramFacts uncached;
  CachedFacts* entry = nullptr;
  unsigned slot = 0;
  if (cached && cacheIndex) {
    for (slot = HashNoCase(program) & (cacheSlots - 1); cacheIndex[slot]; slot = (slot + 1) & (cacheSlots - 1)) {
      CachedFacts* candidate = &cached[cacheIndex[slot] - 1];
      if (lstrcmpiA(candidate->program, program) == 0) return &candidate->facts;
    }
    if (cachedCount < cachedCapacity) entry = &cached[cachedCount];
  }
  ListProgramFacts* facts = entry ? &entry->facts : &uncached;
  char probe[260];
  CopyText(probe, program);
  facts->exists = program[0] && FileExists(probe);
  facts->version[0] = 0;
  if (facts->exists && versionField >= 0 && versionField < VF_COUNT) {
    static VersionFields fields;
    GetVersionFields(program, &fields);
    CopyText(facts->version, fields.field[versionField]);
  }
  facts->image = AddIconOfFile(program, facts->exists, 0, 0);
  if (entry) {
    CopyText(entry->program, program);
    cacheIndex[slot] = ++cachedCount;
  }
  return facts;
}

void ClearListRows() {
  free(pool);
  pool = nullptr;
  poolUsed = poolCapacity = 0;
  memset(rows, 0, sizeof rows);
}

int AddListColumn(HWND list, int column, const char* title, int pageId, double fraction) {
  if (!list) return 0;
  RECT r;
  GetWindowRect(list, &r);
  int width = (int)(fraction * (double)((r.right - r.left) - GetSystemMetrics(SM_CYVSCROLL)));
  char name[32], saved[16];
  FormatText(name, sizeof name, "Column%d%d", column, pageId);
  if (RegReadString(HKEY_CURRENT_USER, kOptionsKey, name, saved, sizeof saved) > 0 && atoi(saved) > 0)
    width = atoi(saved);
  if (width < 0) width = 0;
  LVCOLUMNA c;
  memset(&c, 0, sizeof c);
  c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  c.fmt = LVCFMT_LEFT;
  c.cx = width;
  c.pszText = (char*)title;
  c.iSubItem = column;
  return SendMessageA(list, LVM_INSERTCOLUMNA, column, (LPARAM)&c) == column ? 1 : 0;
}

void AddListColumns(HWND list, const PageList* pageList) {
  for (int c = 0; c < pageList->columnCount && c < kMaxListColumns; ++c) {
    char title[128];
    LoadText(pageList->columns[c].titleId, title, sizeof title);
    AddListColumn(list, c, title, pageList->pageId, pageList->columns[c].fraction);
  }
}

int InsertListItem(HWND list, const char* text, int item, int image) {
  LVITEMA row;
  memset(&row, 0, sizeof row);
  row.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  row.iItem = item;
  row.pszText = (char*)text;
  row.iImage = image;
  row.lParam = item;
  SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&row);
  return 1;
}

// The image a list's files without an icon share, added once per image list (0: not yet).
static int fallbackImage[2];

HIMAGELIST CreateListImages(HWND list, int slot) {
  if (slot < 0 || slot > 1) return nullptr;
  fallbackImage[slot] = 0;
  HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                       ILC_MASK | ILC_COLOR32, 1, 1);
  HICON program = LoadIconA(AppInstance, MAKEINTRESOURCEA(101));
  if (images && program) ImageList_ReplaceIcon(images, -1, program);
  ListImageList[slot] = images;
  SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images);
  return images;
}

int DestroyListImages(int slot) {
  if (slot < 0 || slot > 1) return 0;
  if (ListImageList[slot]) ImageList_Destroy(ListImageList[slot]);
  ListImageList[slot] = nullptr;
  fallbackImage[slot] = 0;
  return 1;
}

static int FallbackIconOf(int pageId) {
  static const int kFallback[][2] = {{6038, 173}, {6026, 170}, {6040, 180}, {6029, 176}, {6042, 179},
                                     {6052, 198}, {6055, 200}, {6056, 212}, {6060, 175}, {6039, 182}};
  for (const auto& f : kFallback)
    if (f[0] == pageId) return f[1];
  return 115;
}

int AddIconOfFile(const char* path, int exists, int iconNumber, int slot) {
  if (slot < 0 || slot > 1 || !ListImageList[slot]) return 0;
  HICON icon = nullptr;
  int extracted = 0;
  if (exists) {
    RedirectionOff redirection;  // programs of the native system folder are read as they are
    icon = ExtractIconA(AppInstance, path, iconNumber);
    if ((UINT_PTR)icon <= 1) icon = nullptr;  // 1: the file has no icons of its own
    extracted = icon != nullptr;
  }
  if (!icon && fallbackImage[slot] > 0) return fallbackImage[slot];  // one copy for every such file
  if (!icon) icon = LoadIconA(AppInstance, MAKEINTRESOURCEA(FallbackIconOf(CurrentPageId)));
  if (!icon) icon = LoadIconA(AppInstance, MAKEINTRESOURCEA(115));
  if (!icon) return 0;
  int index = ImageList_ReplaceIcon(ListImageList[slot], -1, icon);
  if (extracted) DestroyIcon(icon);
  if (index <= 0) return 0;
  if (!extracted) fallbackImage[slot] = index;
  return index;
}

int AddFileIcon(const char* command, int iconNumber, int slot) {
  char path[260];
  ExeFromCommand(command, path);
  char probe[260];
  CopyText(probe, path);
  return AddIconOfFile(path, FileExists(probe), iconNumber, slot);
}

int FillList(HWND list, const PageList* pageList) {
  SheetBusyScope busy;
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
  DestroyListImages(0);
  CreateListImages(list, 0);
  ResetPool();

  BeginFactsCache(StartupItemCount);
  SortMemory* memory = nullptr;
  const SortRule* rule = RuleOf(pageList->pageId, &memory);
  int columns = pageList->columnCount < kMaxListColumns ? pageList->columnCount : kMaxListColumns;
  // Rows are appended (an item index past the last row appends), so `position` is the row being made.
  int position = 0;
  for (int i = 0; i < StartupItemCount; ++i) {
    if (pageList->listed && !pageList->listed(i)) continue;
    if (pageList->gather) pageList->gather(i);
    ListRow* row = &rows[i];
    row->filled = 1;
    row->disabled = pageList->disabled ? pageList->disabled(i) : 0;
    int image = pageList->image ? pageList->image(i) : 0;
    for (int c = 0; c < columns; ++c) {
      char shown[260] = "", key[260] = "";
      pageList->columns[c].text(i, shown, sizeof shown);
      if (c == 0) {
        InsertListItem(list, shown, i, image);
      } else {
        LVITEMA cell;
        memset(&cell, 0, sizeof cell);
        cell.iSubItem = c;
        cell.pszText = shown;
        SendMessageA(list, LVM_SETITEMTEXTA, position, (LPARAM)&cell);
      }
      KeyKind kind = rule && c < rule->columns ? rule->kind[c] : KEY_NONE;
      if (kind == KEY_NONE) continue;
      if (pageList->columns[c].key) {
        pageList->columns[c].key(i, key, sizeof key);
      } else {
        CopyText(key, shown);
      }
      if (kind == KEY_DATE) {
        char date[16];
        SortableDateKey(key, date);
        CopyText(key, date);
      }
      if (kind == KEY_NUMBER) row->number[c] = atol(key);
      row->key[c] = KeepText(key);
    }
    ++position;
  }
  EndFactsCache();
  if (rule && memory) {
    int sortKey = SavedSortKey(pageList->pageId);
    if (sortKey > 0 && sortKey <= rule->columns) SortListNow(list, pageList->pageId, sortKey - 1);
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_ARROW));
  return (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
}

int SavedSortKey(int pageId) {
  SortMemory* memory = nullptr;
  const SortRule* rule = RuleOf(pageId, &memory);
  if (!rule) return 0;
  if (!memory->loaded) {
    memory->key = ReadOption(rule->option, 0);
    memory->loaded = 1;
  }
  return memory->key;
}

void ForgetSortKeys() { memset(sortMemory, 0, sizeof sortMemory); }

void SortListNow(HWND list, int pageId, int column) {
  const SortRule* rule = RuleOf(pageId, nullptr);
  if (!rule || column < 0 || column >= kMaxListColumns) return;
  activeRule = rule;
  SendMessageA(list, LVM_SORTITEMS, (WPARAM)column, (LPARAM)CompareListRows);
  activeRule = nullptr;
}

void SortListByColumn(HWND list, int pageId, int column) {
  SortMemory* memory = nullptr;
  const SortRule* rule = RuleOf(pageId, &memory);
  if (!rule || column < 0 || column >= kMaxListColumns) return;
  SortListNow(list, pageId, column);
  SortDirection[column] = SortDirection[column] ? 0 : 1;
  SavedSortKey(pageId);  // loads the saved key first, so the choice below stands
  memory->key = column + 1;
  WriteOption(rule->option, column + 1);
}

int CALLBACK CompareListRows(LPARAM first, LPARAM second, LPARAM columnParam) {
  int column = (int)columnParam;
  const SortRule* rule = activeRule;
  if (!rule || column < 0 || column >= rule->columns || column >= kMaxListColumns) return 0;
  if (first < 0 || first >= kMaxItems || second < 0 || second >= kMaxItems) return 0;
  const ListRow* a = &rows[first];
  const ListRow* b = &rows[second];
  // Disabled rows go last whichever way the column sorts.
  if ((rule->disabledLast >> column) & 1) {
    if (a->disabled != b->disabled) return a->disabled ? 1 : -1;
  }
  if (SortDirection[column]) {
    const ListRow* t = a;
    a = b;
    b = t;
  }
  switch (rule->kind[column]) {
    case KEY_NUMBER:
      return a->number[column] < b->number[column] ? -1 : a->number[column] > b->number[column] ? 1 : 0;
    case KEY_TEXT:
    case KEY_DATE:
      if (!pool) return 0;
      return lstrcmpiA(pool + a->key[column], pool + b->key[column]);
    default:
      return 0;
  }
}

void SortableDateKey(const char* date, char* out) {
  size_t length = date ? strlen(date) : 0;
  if (length < 12) {
    CopyText(out, 16, " ");
    return;
  }
  size_t o = date[1] != '/' ? 1 : 0;
  char year[5], month[3], day[3], hour[3] = "", minute[3] = "";
  CopyTextN(year, sizeof year, date + 5 + o, 4);
  if (o) {
    CopyTextN(month, sizeof month, date, 2);
  } else {
    month[0] = '0';
    month[1] = date[0];
    month[2] = 0;
  }
  CopyTextN(day, sizeof day, date + 2 + o, 2);
  size_t colon;
  if (date[11 + o] == ':') {
    hour[0] = '0';
    hour[1] = date[10 + o];
    hour[2] = 0;
    colon = 11 + o;
  } else {
    CopyTextN(hour, sizeof hour, date + 10 + o, 2);
    colon = 12 + o;
  }
  if (colon < length && date[colon] == ':') CopyTextN(minute, sizeof minute, date + colon + 1, 2);
  if (ContainsNoCase(date, "PM")) FormatText(hour, sizeof hour, "%02d", atoi(hour) + 12);
  FormatText(out, 16, "%s%s%s%s%s", year, month, day, hour, minute);
}

int RowItemIndex(HWND list, int row) {
  if (row < 0) return -1;
  LVITEMA item;
  memset(&item, 0, sizeof item);
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item)) return -1;
  return (int)item.lParam;
}

int SelectedRow(HWND list) { return (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED); }

int SelectedItemIndex(HWND list) { return RowItemIndex(list, SelectedRow(list)); }

int SelectedRowCount(HWND list) { return (int)SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0); }

void SelectOnlyRow(HWND list, int row) {
  LVITEMA state;
  memset(&state, 0, sizeof state);
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = 0;
  SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&state);
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, row, (LPARAM)&state);
  SendMessageA(list, LVM_ENSUREVISIBLE, row, FALSE);
}
