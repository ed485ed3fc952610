// The program information window: what it shows for each kind of entry, and the real window in this
// process driven as a user drives it, against real files, processes, services and note files.
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "area_support.h"
#include "startup_support.h"
#include "areas/processes.h"
#include "areas/services.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/detected.h"
#include "startup/items.h"
#include "ui/info_window.h"
#include "ui_driver.h"

namespace {

const char kRunKeyText[] = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

TEST(InfoWindowText, NextAndPreviousWrapAtBothEnds) {
  const struct {
    int index, count, step, expected;
  } cases[] = {{0, 3, 1, 1}, {2, 3, 1, 0}, {0, 3, -1, 2}, {1, 3, -1, 0}, {0, 1, 1, 0}, {0, 1, -1, 0}, {0, 0, 1, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(c.expected, StepInfoIndex(c.index, c.count, c.step)) << c.index << " " << c.count << " " << c.step;
}

TEST(InfoWindowText, PathsOfMissingProgramsInTheThirtyTwoBitProgramFolder) {
  const struct {
    const char* path;
    int exists;
    const char* shown;
  } cases[] = {
      {"C:\\Program Files (x86)\\Vendor\\tool.exe", 0, "C:\\Program Files\\Vendor\\tool.exe"},
      {"C:\\PROGRAM FILES (X86)\\VENDOR\\TOOL.EXE", 0, "C:\\Program Files\\VENDOR\\TOOL.EXE"},
      {"C:\\Program Files (x86)\\Vendor\\tool.exe", 1, "C:\\Program Files (x86)\\Vendor\\tool.exe"},
      // Only that folder: other paths that mention it, or are shorter than its name, stay whole.
      {"D:\\Games (x86)\\tool.exe", 0, "D:\\Games (x86)\\tool.exe"},
      {"C:\\(x86)", 0, "C:\\(x86)"},
      {"C:\\Program Files (x86)2\\tool.exe", 0, "C:\\Program Files (x86)2\\tool.exe"},
  };
  for (const auto& c : cases) {
    char out[260];
    ProgramFilesPathOf(c.path, c.exists, out);
    EXPECT_STREQ(c.shown, out) << c.path;
  }
  char out[260];
  PathInCommandCase("\"C:\\Tools\\My Tool.exe\" /min", "C:\\TOOLS\\MY TOOL.EXE", out);
  EXPECT_STREQ("C:\\Tools\\My Tool.exe", out);
  PathInCommandCase("%windir%\\x.exe", "C:\\WINDOWS\\X.EXE", out);  // not in the command: as it came
  EXPECT_STREQ("C:\\WINDOWS\\X.EXE", out);
}

TEST(InfoWindowText, StartTypesAndNoteTexts) {
  EXPECT_EQ(0, StartChoiceOf("Automatic"));
  EXPECT_EQ(1, StartChoiceOf("Manual"));
  EXPECT_EQ(2, StartChoiceOf("Disabled"));
  EXPECT_EQ(3, StartChoiceOf("Automatic (Delayed Start)"));
  EXPECT_EQ(-1, StartChoiceOf(""));
  EXPECT_EQ(-1, StartChoiceOf("Boot"));

  char box[64];
  const char raw[] = "a\nb\r\nc\rd\0e";
  EXPECT_EQ(11u, NoteTextForBox(raw, sizeof raw - 1, box, sizeof box));
  EXPECT_STREQ("a\r\nb\r\nc\r\nde", box);
  // Cut to the box, never inside a line end.
  EXPECT_EQ(4u, NoteTextForBox("abcd\nef", 7, box, 6));
  EXPECT_STREQ("abcd", box);
  static char big[kMaxNoteText + 100], out[kMaxNoteText + 200];
  memset(big, 'x', sizeof big);
  size_t consumed = 0;
  EXPECT_EQ((size_t)kMaxNoteText, NoteTextForBox(big, sizeof big, out, sizeof out, &consumed));
  EXPECT_EQ((size_t)kMaxNoteText, consumed);
  // What the box took of the file, so that a cut note is known as one.
  EXPECT_EQ(4u, NoteTextForBox("abcd\r\nef", 8, box, 6, &consumed));
  EXPECT_EQ(4u, consumed);
  EXPECT_EQ(6u, NoteTextForBox("abcd\r\n", 6, box, 7, &consumed));
  EXPECT_EQ(6u, consumed);
}

struct ViewCase {
  const char* name;
  int code;
  const char* command;
  const char* longText;
  int exists, running;
  DWORD serviceWord, accepted;
  const char* serviceText;
  const char* copyright;
  const char* note;  // a loaded note file, or null
  // Expected:
  const char* location;
  const char* status;  // null: hidden
  int run, kill, stop, choice;
  const char* noteBegins;
  int look;
};

// One row per kind of entry. "R" stands for the general remark.
const ViewCase kViews[] = {
    {"run key, ready", 11, "", "", 1, 0, 0, 0, "", "", nullptr, "Startup Location:  HKCU_LOCATION", "Ready", 1, 0, 0,
     -1, "R", kNoteNormal},
    {"run key, running", 11, "", "", 1, 1, 0, 0, "", "", nullptr, "Startup Location:  HKCU_LOCATION", "Running", 0, 1,
     0, -1, "R", kNoteNormal},
    {"run key, missing", 11, "", "", 0, 0, 0, 0, "", "", nullptr, "Startup Location:  HKCU_LOCATION",
     "File Does Not Exist", 0, 0, 0, -1, "R", kNoteNormal},
    {"run key with a note", 11, "", "long", 1, 0, 0, 0, "", "", "my note", "Startup Location:  HKCU_LOCATION", "Ready",
     1, 0, 0, -1, "my note", kNoteFont},
    {"startup folder with a long text", 200, "", "long text", 1, 0, 0, 0, "", "", nullptr,
     "Startup Location:  HKCU_LOCATION", "Ready", 1, 0, 0, -1, "long text", kNoteBold},
    {"running service", 700, "Manual", "", 1, 0, 0x00040010, 1, "", "", nullptr, "", "Running", 0, 1, 1, 1, "R",
     kNoteNormal},
    {"unreadable hosted service", 701, "Automatic (Delayed Start)", "", 1, 0, 0, 0, "", "", nullptr, "", "", 0, 1, 0,
     3, "R", kNoteNormal},
    {"service without a start type", 700, "", "", 1, 0, 0x00010010, 0, "", "", nullptr, "", nullptr, 0, 0, 0, -1, "R",
     kNoteNormal},
    {"service of a missing program", 700, "Disabled", "", 0, 0, 0, 0, "", "", nullptr, "", "File Does Not Exist", 0, 1,
     0, 2, "R", kNoteNormal},
    {"scheduled task", 800, "", "", 1, 0, 0, 0, "", "", nullptr, "Startup Location:  HKCU_LOCATION", "Ready", 1, 0, 0,
     -1, "Status: Ready\r\nnightly clean-up", kNoteNormal},
    {"running task of a service library", 600, "", "", 1, 1, 0, 0, "Hosts the audio", "", nullptr, "", "Running", 0, 1,
     0, -1, "Hosts the audio", kNoteBold},
    {"running task", 600, "", "", 1, 1, 0, 0, "", "", nullptr, "", "Running", 0, 1, 0, -1, "R", kNoteNormal},
    {"winlogon value of a service", 250, "", "", 1, 1, 0, 0, "Runs the shell", "", nullptr,
     "Startup Location:  HKCU_LOCATION", "Running", 0, 0, 0, -1, "Runs the shell", kNoteFont},
    {"delay-load object from Microsoft", 252, "", "", 1, 0, 0, 0, "", "(c) Microsoft Corp.", nullptr,
     "Startup Location:  HKCU_LOCATION", "Ready", 0, 0, 0, -1, "The file VxTitle appears to be a valid Microsoft",
     kNoteFont},
    {"appinit library of another vendor", 255, "", "", 1, 0, 0, 0, "", "(c) Orvenn", nullptr,
     "Startup Location:  HKCU_LOCATION", "Ready", 0, 0, 0, -1, "R", kNoteFont},
    {"hidden file", 370, "", "", 0, 0, 0, 0, "", "", nullptr, "Startup Location:  HKCU_LOCATION", nullptr, 0, 0, 0, -1,
     "R", kNoteNormal},
    {"file type", 400, "", ".vxt", 1, 0, 0, 0, "", "", nullptr, "", "Ready", 1, 0, 0, -1, "File Type Extension: .vxt",
     kNoteBold},
    {"browser helper", 900, "", "", 1, 0, 0, 0, "", "", nullptr,
     "Location: \"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\"", nullptr, 0, 0,
     0, -1, "R", kNoteNormal},
    {"toolbar", 901, "", "1.0", 1, 0, 0, 0, "", "", nullptr, "Location: \"HKLM\\SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar\"",
     nullptr, 0, 0, 0, -1, "R", kNoteNormal},
    {"extension of a missing file", 902, "", "", 0, 0, 0, 0, "", "", nullptr,
     "Location: \"HKLM\\SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\"", "File Does Not Exist", 0, 0, 0, -1, "R",
     kNoteNormal},
    {"activex control", 1200, "{0E5CBF21-D15F-11D0-8301-00AA005B4383}", "", 0, 0, 0, 0, "", "", nullptr,
     "CLSID: {0E5CBF21-D15F-11D0-8301-00AA005B4383}", nullptr, 0, 0, 0, -1, "CLSID: {0E5CBF21-D15F-11D0-8301-00AA005B4383}",
     kNoteNormal},
    {"activex control with a note", 1200, "{X}", "", 1, 0, 0, 0, "", "", "mine", "CLSID: {X}", nullptr, 0, 0, 0, -1,
     "mine", kNoteFont},
};

TEST(InfoWindowText, WhatEachKindOfEntryShows) {
  static InfoEntry entry;
  static InfoFacts facts;
  static InfoView view;
  char remark[1024];
  LoadText(1486, remark, sizeof remark);
  for (const ViewCase& c : kViews) {
    SCOPED_TRACE(c.name);
    memset(&entry, 0, sizeof entry);
    memset(&facts, 0, sizeof facts);
    CopyText(entry.title, "VxTitle");
    CopyText(entry.path, "C:\\Vx\\program.exe");
    CopyText(entry.command, c.command);
    CopyText(entry.longText, c.longText);
    CopyText(entry.locationText, c.code == 800 ? "Windows Task Scheduler 1.0" : "HKCU_LOCATION");
    entry.code = c.code;
    facts.exists = c.exists;
    facts.running = c.running;
    facts.serviceWord = c.serviceWord;
    CopyText(facts.serviceState, c.serviceWord >> 16 == 4 ? "Running" : "Stopped");
    facts.controlsAccepted = c.accepted;
    CopyText(facts.serviceText, c.serviceText);
    CopyText(facts.fields.field[VF_LegalCopyright], c.copyright);
    CopyText(facts.taskStatus, "Status: Ready");
    CopyText(facts.taskComment, "nightly clean-up");
    if (c.note) {
      facts.noteLoaded = 1;
      CopyText(facts.note, c.note);
    }
    ComposeInfoView(&entry, &facts, &view);
    std::string location = c.location;
    if (c.code == 800) location = "Startup Location:  Windows Task Scheduler 1.0";
    EXPECT_EQ(location, view.location);
    EXPECT_EQ(c.status != nullptr, view.statusShown != 0);
    if (c.status) EXPECT_STREQ(c.status, view.status);
    EXPECT_EQ(c.run, view.runShown);
    EXPECT_EQ(c.kill, view.killShown);
    EXPECT_EQ(c.code == 700 || c.code == 701, view.killIsStop != 0);
    EXPECT_EQ(c.stop, view.stopEnabled);
    EXPECT_EQ(c.choice, view.startChoice);
    EXPECT_EQ(c.choice >= 0, view.startShown != 0);
    std::string begins = std::string(c.noteBegins) == "R" ? remark : c.noteBegins;
    EXPECT_EQ(0u, std::string(view.note).find(begins)) << view.note;
    EXPECT_EQ(c.look, view.noteLook);
    EXPECT_EQ(c.note != nullptr, view.noteLoaded != 0);
    // The Microsoft text goes on with the general remark.
    if (c.code == 252) EXPECT_NE(std::string::npos, std::string(view.note).find(remark));
  }
}

// The real window, run by a thread of this process as the sheet's thread runs it, and used from the
// test's thread with posted clicks and sent messages.
class InfoWindowTest : public VxTest {
 protected:
  std::thread shown;
  HWND window = nullptr;
  std::vector<std::string> notes;  // note files to remove afterwards

  void SetUp() override {
    VxTest::SetUp();
    RunningOnWow64 = OnWow64();
    OptionSet[OPT_History] = 1;
    OptionSet[OPT_CloudData] = 0;
    ClearStartupItems();
    ClearHistory();
  }
  void TearDown() override {
    if (window && IsWindow(window)) PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    if (shown.joinable()) shown.join();
    ClearStartupItems();
    ClearHistory();
    for (const std::string& note : notes) DeleteFileA(note.c_str());
    VxTest::TearDown();
  }

  void Add(const char* title, const std::string& file, int code) {
    char t[128], f[260], none[] = "", empty[] = "";
    CopyText(t, title);
    CopyText(f, file.c_str());
    EXPECT_EQ(1, AddStartupItem(t, f, empty, none, code, 0));
  }

  // Opens the window at `item` and waits for it to show that entry.
  void Open(int item) {
    char title[128];
    GetItemTitle(item, title);
    shown = std::thread([item] { ShowInfoWindow(nullptr, nullptr, item); });
    ASSERT_TRUE(WaitUntil([&] { return (window = FindWindowA("#32770", title)) && IsWindowVisible(window); }))
        << title;
  }
  void Close() {
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    shown.join();
    window = nullptr;
  }

  std::string Text(int id) { return WindowText(GetDlgItem(window, id)); }
  bool Shown(int id) { return IsWindowVisible(GetDlgItem(window, id)) != 0; }
  bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(window, id)) != 0; }
  bool Click(int id) { return PressButton(window, id); }
  int FocusId() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0;
  }
  // A click that returns once the window has carried it out.
  void ClickAndWait(int id) {
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(window, id));
  }
  bool WaitForText(int id, const std::string& text) {
    return WaitUntil([&] { return Text(id) == text; }, 20000);
  }
  bool WaitForCaption(const std::string& caption) {
    return WaitUntil([&] { return WindowText(window) == caption; });
  }
  std::string NotePathOf(const std::string& file) {
    char path[260];
    NoteFilePath(file.c_str(), path);
    notes.push_back(path);
    return path;
  }
};

std::string ReadFileText(const std::string& path) {
  std::string text;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(none)";
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
  CloseHandle(file);
  return text;
}

TEST_F(InfoWindowTest, StepsThroughTheTableAndKeepsItsPlace) {
  std::string program = FixturePath("vf_with_icon.exe");
  Add("VxInfo One", "\"" + program + "\" -one", 11);
  Add("VxInfo Two", program, 1);
  Add("VxInfo Three", program, 200);
  Open(2);
  EXPECT_EQ(IDCANCEL, FocusId());  // Enter right away closes; it never runs the program
  EXPECT_EQ(program, Text(IDC_INFO_PATH));
  EXPECT_EQ("Icon Company", Text(IDC_INFO_COMPANY));
  EXPECT_EQ("Ready", Text(IDC_INFO_STATUS));
  EXPECT_TRUE(Shown(IDC_INFO_RUN));
  EXPECT_FALSE(Shown(IDC_INFO_KILL));
  EXPECT_EQ("Startup Location:  Windows Startup Group", Text(IDC_INFO_LOCATION));
  ASSERT_TRUE(Click(IDC_INFO_NEXT));
  ASSERT_TRUE(WaitForCaption("VxInfo One"));  // past the last entry: the first
  EXPECT_EQ("Startup Location:  " + std::string(kRunKeyText), Text(IDC_INFO_LOCATION));
  ASSERT_TRUE(Click(IDC_INFO_PREVIOUS));
  ASSERT_TRUE(WaitForCaption("VxInfo Three"));  // before the first: the last
  ASSERT_TRUE(Click(IDC_INFO_PREVIOUS));
  ASSERT_TRUE(WaitForCaption("VxInfo Two"));
  EXPECT_EQ(1, InfoWindowIndex);

  // Shrunk and expanded again: the heights of the layout, the note part only when expanded.
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  auto height = [&] {
    RECT r;
    GetWindowRect(window, &r);
    return (int)(r.bottom - r.top);
  };
  EXPECT_EQ(MulDiv(421, dpi, 96), height());
  EXPECT_TRUE(Shown(IDC_INFO_NOTE));
  ClickAndWait(IDC_INFO_TOGGLE);
  EXPECT_EQ(MulDiv(246, dpi, 96), height());
  EXPECT_FALSE(Shown(IDC_INFO_NOTE));
  EXPECT_FALSE(Shown(IDC_INFO_CREATED));
  EXPECT_EQ("E&xpand Info", Text(IDC_INFO_TOGGLE));
  RECT close;
  GetWindowRect(GetDlgItem(window, IDCANCEL), &close);
  MapWindowPoints(nullptr, window, (POINT*)&close, 2);
  EXPECT_EQ(MulDiv(185, dpi, 96), close.top);
  ClickAndWait(IDC_INFO_TOGGLE);
  EXPECT_EQ(MulDiv(421, dpi, 96), height());
  EXPECT_TRUE(Shown(IDC_INFO_NOTE));
  EXPECT_EQ("Shrin&k Window", Text(IDC_INFO_TOGGLE));

  SetWindowPos(window, nullptr, 33, 44, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Close();
  std::string x, y;
  ASSERT_TRUE(RawRead(HKEY_CURRENT_USER, "Software\\Orvenn Studios\\Vandrelix", "xInfo", &x, nullptr));
  ASSERT_TRUE(RawRead(HKEY_CURRENT_USER, "Software\\Orvenn Studios\\Vandrelix", "yInfo", &y, nullptr));
  EXPECT_STREQ("33", x.c_str());
  EXPECT_STREQ("44", y.c_str());
  EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, "Software\\Orvenn Studios\\Vandrelix", "dxInfo"));

  // A table of one entry: both directions stay on it. The window opens where it was left.
  ClearStartupItems();
  Add("VxInfo Alone", program, 11);
  Open(0);
  RECT place;
  GetWindowRect(window, &place);
  EXPECT_EQ(33, place.left);
  for (int id : {IDC_INFO_NEXT, IDC_INFO_PREVIOUS}) {
    ClickAndWait(id);
    EXPECT_EQ("VxInfo Alone", WindowText(window));
    EXPECT_EQ(0, InfoWindowIndex);
  }
}

TEST_F(InfoWindowTest, MissingProgramInTheThirtyTwoBitProgramFolder) {
  Add("VxInfo Gone", "\"C:\\Program Files (x86)\\VxInfo Gone\\gone.exe\" /tray", 21);
  Open(0);
  EXPECT_EQ("C:\\Program Files\\VxInfo Gone\\gone.exe", Text(IDC_INFO_PATH));
  EXPECT_EQ("File Does Not Exist", Text(IDC_INFO_STATUS));
  EXPECT_TRUE(Shown(IDC_INFO_STATUS));
  EXPECT_FALSE(Shown(IDC_INFO_RUN));
  EXPECT_FALSE(Shown(IDC_INFO_KILL));
  EXPECT_EQ("", Text(IDC_INFO_COMPANY));
  EXPECT_EQ("", Text(IDC_INFO_CREATED));
  EXPECT_EQ("VxInfo Gone", Text(IDC_INFO_DESCRIPTION));  // the title stands in for the description

  // A bare program name is shown where Windows finds it; a Winlogon entry offers no Run or Kill Task.
  ClearStartupItems();
  Add("VxInfo Shell", "explorer.exe", 251);
  ClickAndWait(IDC_INFO_NEXT);
  ASSERT_EQ("VxInfo Shell", WindowText(window));
  std::string path = Text(IDC_INFO_PATH);
  EXPECT_EQ(0, _strnicmp(path.c_str(), WindowsFolder().c_str(), WindowsFolder().size())) << path;
  EXPECT_EQ(path.size() - 13, path.rfind("\\explorer.exe")) << path;
  EXPECT_FALSE(Shown(IDC_INFO_RUN));
  EXPECT_FALSE(Shown(IDC_INFO_KILL));
  EXPECT_NE("", Text(IDC_INFO_CREATED));
}

TEST_F(InfoWindowTest, KillTaskEndsTheProgramAndRunStartsIt) {
  std::string program = FixturePath("vx_sleeper.exe");
  Child child = StartChild(program, "60");
  ASSERT_TRUE(ChildRunning(child));
  Add("VxInfo Sleeper", "\"" + program + "\" 60", 11);
  Open(0);
  EXPECT_EQ("Running", Text(IDC_INFO_STATUS));
  EXPECT_TRUE(Shown(IDC_INFO_KILL));
  EXPECT_EQ("&Kill Task", Text(IDC_INFO_KILL));
  EXPECT_FALSE(Shown(IDC_INFO_RUN));
  ASSERT_TRUE(Click(IDC_INFO_KILL));
  EXPECT_TRUE(WaitForText(IDC_INFO_STATUS, "Ready"));
  EXPECT_FALSE(ChildRunning(child));
  EXPECT_TRUE(Shown(IDC_INFO_RUN));
  EXPECT_FALSE(Shown(IDC_INFO_KILL));
  std::vector<std::string> events = HistoryEvents();
  ASSERT_EQ(1u, events.size());
  EXPECT_EQ(0u, events[0].find("TASK_Kill\tINFO_TASK\t")) << events[0];
  EndChild(&child);

  ASSERT_TRUE(Click(IDC_INFO_RUN));
  EXPECT_TRUE(WaitForText(IDC_INFO_STATUS, "Running"));
  EXPECT_TRUE(IsProcessRunning(program.c_str()));
  ASSERT_TRUE(Click(IDC_INFO_KILL));
  EXPECT_TRUE(WaitForText(IDC_INFO_STATUS, "Ready"));
  EXPECT_FALSE(IsProcessRunning(program.c_str()));
}

TEST_F(InfoWindowTest, ServiceApplyChangesTheStartTypeAndStopStopsIt) {
  RemoveTestServices();
  // A display name longer than a row's title: the window finds the service by the key name it kept.
  std::string display = "VxTest Info Service " + std::string(150, 'S');
  ASSERT_TRUE(InstallService("VxTestInfo", display.c_str(), ServiceCommand("vx_service.exe", "VxTestInfo")));
  ASSERT_TRUE(StartServiceAndWait("VxTestInfo"));
  OptionSet[OPT_HideMicrosoftServices] = 0;
  EnumerateServices();
  int item = -1;
  char name[512], title[128];
  for (int i = 0; i < StartupItemCount; ++i)
    if (GetItemValueName(i, name) && lstrcmpiA(name, "VxTestInfo") == 0) item = i;
  ASSERT_GE(item, 0);
  GetItemTitle(item, title);
  ASSERT_NE(display, title);
  Open(item);
  EXPECT_EQ("Running", Text(IDC_INFO_STATUS));
  EXPECT_EQ("&Stop", Text(IDC_INFO_KILL));
  EXPECT_TRUE(Enabled(IDC_INFO_KILL));
  EXPECT_EQ("", Text(IDC_INFO_LOCATION));
  HWND list = GetDlgItem(window, IDC_INFO_START_TYPE);
  EXPECT_TRUE(Shown(IDC_INFO_START_TYPE));
  EXPECT_EQ(1, (int)SendMessageA(list, CB_GETCURSEL, 0, 0));  // Manual
  EXPECT_FALSE(Enabled(IDC_INFO_APPLY));

  // Choosing the start type it has leaves Apply off; another one turns it on.
  SendMessageA(list, CB_SETCURSEL, 2, 0);  // Disabled
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_INFO_START_TYPE, CBN_SELCHANGE), (LPARAM)list);
  EXPECT_TRUE(Enabled(IDC_INFO_APPLY));
  ASSERT_TRUE(Click(IDC_INFO_APPLY));
  ASSERT_TRUE(WaitUntil([&] { return !Enabled(IDC_INFO_APPLY); }));
  EXPECT_EQ((DWORD)SERVICE_DISABLED, ServiceManagerStartType("VxTestInfo"));
  std::vector<std::string> events = HistoryEvents();
  ASSERT_EQ(2u, events.size());
  EXPECT_EQ(0u, events[0].find(std::string("SERVICE_from_Manual\tSERVICE_EXE\t") + title + "\t")) << events[0];
  EXPECT_EQ(0u, events[1].find(std::string("SERVICE_Disabled\tSERVICE_EXE\t") + title + "\t")) << events[1];
  char command[260];
  GetItemCommand(item, command);
  EXPECT_STREQ("Disabled", command);  // a later fill shows the new start type

  ASSERT_TRUE(Click(IDC_INFO_KILL));
  EXPECT_TRUE(WaitUntil([] { return ServiceState("VxTestInfo") == SERVICE_STOPPED; }));
  EXPECT_TRUE(WaitForText(IDC_INFO_STATUS, "Stopped"));
  EXPECT_FALSE(Enabled(IDC_INFO_KILL));
  EXPECT_EQ(2, (int)SendMessageA(list, CB_GETCURSEL, 0, 0));
  Close();
  RemoveService("VxTestInfo");
}

TEST_F(InfoWindowTest, CreateNoteThenSaveNoteWritesTheNoteFile) {
  std::string program = FixturePath("vf_with_icon.exe");
  std::string file = "\"" + program + "\" -note";
  Add("VxInfo Noted", file, 11);
  Add("VxInfo Other", FixturePath("vx_sleeper.exe"), 11);
  std::string note = NotePathOf(file);
  NotePathOf(FixturePath("vx_sleeper.exe"));
  DeleteFileA(note.c_str());
  char kept[260];
  GetItemFile(0, kept);  // the table keeps the file name without its quotes
  file = kept;
  Open(0);
  HWND box = GetDlgItem(window, IDC_INFO_NOTE);
  EXPECT_EQ("&Create Note", Text(IDC_INFO_NOTE_BUTTON));
  EXPECT_TRUE(GetWindowLongA(box, GWL_STYLE) & ES_READONLY);

  ASSERT_TRUE(Click(IDC_INFO_NOTE_BUTTON));
  ASSERT_TRUE(WaitForText(IDC_INFO_NOTE_BUTTON, "&Save Note"));
  EXPECT_EQ("VxInfo Noted\r\n" + file + "\r\n", ReadFileText(note));
  EXPECT_EQ("VxInfo Noted\r\n" + file + "\r\n", WindowText(box));
  EXPECT_FALSE(GetWindowLongA(box, GWL_STYLE) & ES_READONLY);

  // The user's words, saved over the file; the button waits for the next edit.
  SendMessageA(box, WM_SETTEXT, 0, (LPARAM) "Starts the icon tray.\r\nKeep it.");
  SendMessageA(box, EM_SETMODIFY, TRUE, 0);
  EXPECT_TRUE(Enabled(IDC_INFO_NOTE_BUTTON));
  ASSERT_TRUE(Click(IDC_INFO_NOTE_BUTTON));
  ASSERT_TRUE(WaitUntil([&] { return !Enabled(IDC_INFO_NOTE_BUTTON); }));
  EXPECT_EQ("Starts the icon tray.\r\nKeep it.", ReadFileText(note));

  // An edit that was not saved is asked about before the window moves on.
  SendMessageA(box, WM_SETTEXT, 0, (LPARAM) "Changed my mind.");
  SendMessageA(box, EM_SETMODIFY, TRUE, 0);
  ASSERT_TRUE(Click(IDC_INFO_NEXT));
  HWND question = WaitForDialog(GetCurrentProcessId(), "Do you want to save the changes?");
  ASSERT_NE(nullptr, question);
  ASSERT_TRUE(AnswerDialog(question, IDYES));
  ASSERT_TRUE(WaitForCaption("VxInfo Other"));
  EXPECT_EQ("Changed my mind.", ReadFileText(note));

  // Back at the entry, the note is loaded, editable, in the note font.
  ASSERT_TRUE(Click(IDC_INFO_PREVIOUS));
  ASSERT_TRUE(WaitForCaption("VxInfo Noted"));
  EXPECT_EQ("Changed my mind.", WindowText(box));
  EXPECT_EQ(IDC_INFO_NOTE, FocusId());
  EXPECT_EQ("&Save Note", Text(IDC_INFO_NOTE_BUTTON));
  EXPECT_FALSE(GetWindowLongA(box, GWL_STYLE) & ES_READONLY);
}

// A note longer than the box holds (written with another editor) is shown as far as the box goes,
// and nothing the window offers can write the shorter text over it.
TEST_F(InfoWindowTest, ALongerNoteIsShownButNeverCut) {
  std::string file = FixturePath("vx_sleeper.exe");
  Add("VxInfo Long Note", file, 11);
  std::string note = NotePathOf(file);
  std::string text;
  for (int line = 0; text.size() < kMaxNoteText + 4000; ++line) text += "line " + std::to_string(line) + "\n";
  MakeFile(note, text);
  Open(0);
  HWND box = GetDlgItem(window, IDC_INFO_NOTE);
  EXPECT_EQ(0u, WindowText(box).find("line 0\r\nline 1\r\n"));
  EXPECT_TRUE(GetWindowLongA(box, GWL_STYLE) & ES_READONLY);
  EXPECT_FALSE(Enabled(IDC_INFO_NOTE_BUTTON));
  ClickAndWait(IDC_INFO_NOTE_BUTTON);  // even a click that reaches it
  SendMessageA(box, WM_SETTEXT, 0, (LPARAM) "short");
  SendMessageA(box, EM_SETMODIFY, TRUE, 0);
  Close();
  EXPECT_EQ(text, ReadFileText(note));
}

}  // namespace
