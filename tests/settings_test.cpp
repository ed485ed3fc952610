// Options, texts with their translated overrides, start-up state and the message helpers.
#include <regex>
#include <set>
#include <string>

#include "platform/registry.h"
#include "platform/settings.h"
#include "test_support.h"

namespace {

const char* kOptions = "Software\\Orvenn Studios\\Vandrelix\\Options";
const char* kProduct = "Software\\Orvenn Studios\\Vandrelix";

class SettingsTest : public VxTest {};

TEST_F(SettingsTest, ReadOptionParsesLikeTheRuntime) {
  RawWriteString(HKEY_CURRENT_USER, kOptions, "Start", " 7x");
  EXPECT_EQ(7, ReadOption("Start", 2));
  RawWriteString(HKEY_CURRENT_USER, kOptions, "Start", "abc");
  EXPECT_EQ(0, ReadOption("Start", 2));
  RawWriteString(HKEY_CURRENT_USER, kOptions, "Start", "-12");
  EXPECT_EQ(-12, ReadOption("Start", 2));
  RawWriteString(HKEY_CURRENT_USER, kOptions, "Start", "");
  EXPECT_EQ(2, ReadOption("Start", 2));
  DWORD seven = 7;
  RawWrite(HKEY_CURRENT_USER, kOptions, "Start", REG_DWORD, &seven, 4);
  EXPECT_EQ(2, ReadOption("Start", 2));  // only text values count
  EXPECT_EQ(2, ReadOption("NoSuchOption", 2));
  std::string overlong(200, '9');  // does not fit the 128-character read: missing
  RawWriteString(HKEY_CURRENT_USER, kOptions, "Start", overlong.c_str());
  EXPECT_EQ(2, ReadOption("Start", 2));
}

TEST_F(SettingsTest, OptionsKeepStartValuesUntilLoaded) {
  EXPECT_EQ(1, OptionSet[OPT_HideStartup]);
  EXPECT_EQ(0, OptionSet[OPT_History]);
  EXPECT_EQ(1, OptionSet[OPT_CloudData]);
  EXPECT_EQ(0, OptionSet[OPT_MaxCookie]);
  EXPECT_EQ(1, OptionSet[OPT_WindowSettings]);
}

TEST_F(SettingsTest, LoadOptionsReadsValuesAndDefaults) {
  RawWriteString(HKEY_CURRENT_USER, kOptions, "HideStartup", "1");
  RawWriteString(HKEY_CURRENT_USER, kOptions, "Services", "15");
  RawWriteString(HKEY_CURRENT_USER, kOptions, "WinInit", "9");
  RegWriteAccess = KEY_WRITE;
  LoadOptions();
  EXPECT_EQ((DWORD)KEY_READ, RegReadAccess);
  EXPECT_EQ((DWORD)KEY_ALL_ACCESS, RegWriteAccess);
  EXPECT_EQ(1, OptionSet[OPT_HideStartup]);
  EXPECT_EQ(0, OptionSet[OPT_HideServices]);  // default 0 differs from its start value 1
  EXPECT_EQ(1, OptionSet[OPT_History]);
  EXPECT_EQ(8092, OptionSet[OPT_MaxCookie]);
  EXPECT_EQ(11, OptionSet[OPT_Tasks]);
  EXPECT_EQ(15, OptionSet[OPT_Services]);
  EXPECT_EQ(15, PatrolLoaded[OPT_Services]);
  EXPECT_EQ(9, WinInitPatrolSeen);
}

TEST_F(SettingsTest, ChangedOptionsAreNeverWritten) {
  OptionSet[OPT_Sound] = 0;
  EXPECT_EQ(0, WriteOption("Sound", 0));
  SaveOptions();
  EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, kOptions));
}

TEST_F(SettingsTest, EnglishNeverConsultsOverrides) {
  RawWriteString(HKEY_CURRENT_USER, kProduct, "LString627", "Titel");
  UiLanguage = 9;
  char out[64];
  EXPECT_EQ(5, LoadText(627, out, sizeof out));
  EXPECT_STREQ("Title", out);
}

TEST_F(SettingsTest, OverridesReplacePercentNWithLineFeeds) {
  RawWriteString(HKEY_CURRENT_USER, kProduct, "LString627", "erste%nzweite");
  UiLanguage = 7;
  char out[64];
  EXPECT_EQ(13, LoadText(627, out, sizeof out));  // the pair counts as two characters
  EXPECT_STREQ("erste\nzweite", out);
  EXPECT_EQ(4, LoadText(627, out, 5));  // cut to the capacity
  EXPECT_STREQ("erst", out);
  UiLanguage = 0;  // none chosen yet counts as not English
  EXPECT_EQ(13, LoadText(627, out, sizeof out));
}

TEST_F(SettingsTest, LoadTextCapsLongTexts) {
  std::string longText(771, 'w');
  RawWriteString(HKEY_CURRENT_USER, kProduct, "LString15", longText.c_str());
  UiLanguage = 7;
  char out[1000];
  EXPECT_EQ(770, LoadText(15, out, sizeof out));
  EXPECT_EQ(770u, strlen(out));
  UiLanguage = 9;
  EXPECT_EQ(0, LoadText(4242, out, sizeof out));  // no such string
  EXPECT_STREQ("", out);
  EXPECT_GT(LoadText(15, out, sizeof out), 100);
}

// Texts whose leading line breaks, runs of blanks, trailing blanks, backslashes and mnemonics the
// resource compiler must keep as written: they reach the user (and the registry) exactly so.
TEST_F(SettingsTest, TextsKeepTheirBlanksBreaksAndMnemonics) {
  UiLanguage = 9;
  const struct {
    UINT id;
    const char* text;
  } kTexts[] = {
      {5, "SOFTWARE\\Classes\\HTTP\\shell\\open\\command"},
      {211,
       "\nIn the  morning, when you turn on your computer or anytime you restart Windows, the programs listed below "
       "will run automatically unless disabled.\nDouble-click an item for QOVA Info or Right-click to move program to "
       "Delayed Start."},
      {15,
       "\nYou have chosen to remove %s\n\nThis file will not be deleted from your hard drive but it will no longer run "
       "automatically when you start Windows.  \n\nAre you sure you want to remove this startup entry?"},
      {606, " Startup Programs "},
      {610, " Options  "},
      {611, "  QOVA  "},
      {626, "   Disabled"},
      {636, " Services "},
      {646, "Startup Location: "},
      {680, " Scheduled Tasks 1.0"},
      {702, "NUL=   Indicates the file will be deleted on restart\nREN=   Indicates the file will be renamed."},
      {707,
       "\n%s is currently an actively running program.\n\nDo you want Vandrelix to try and stop this program and "
       "remove it from memory?\n\n"},
      {709, "  Track Changes in restoration File. (history.txt) "},
      {906, "  Yes, I really know what I'm doing. Please remove."},
      {1334, " Show All Active &Files"},
      {1420,
       "\nIf you need any of the following functions fixed or reset, check the box.\nWhen you click the Apply button "
       "each item will be  processed and this window will close. "},
      {1482, "Shrin&k Window"},
      {1487,
       "The file %s appears to be a valid Microsoft system file.  It was found in an undocumented system startup "
       "location and may be critical to your system.\r\n\r\n"},
  };
  for (const auto& t : kTexts) {
    char out[1024];
    EXPECT_EQ((int)strlen(t.text), LoadText(t.id, out, sizeof out)) << "string " << t.id;
    EXPECT_STREQ(t.text, out) << "string " << t.id;
  }
}

TEST_F(SettingsTest, LoadTextLeavesRegistryViewAsItWas) {
  RunningOnWow64 = OnWow64();
  RegReadAccess = KEY_READ | KEY_WOW64_64KEY;
  RegWriteAccess = KEY_WRITE | KEY_WOW64_64KEY;
  RawWriteString(HKEY_CURRENT_USER, kProduct, "LString627", "Titel");
  UiLanguage = 7;
  char out[64];
  LoadText(627, out, sizeof out);
  LoadText(628, out, sizeof out);
  EXPECT_EQ((DWORD)(KEY_READ | KEY_WOW64_64KEY), RegReadAccess);
  EXPECT_EQ((DWORD)(KEY_WRITE | KEY_WOW64_64KEY), RegWriteAccess);
}

TEST_F(SettingsTest, LanguageCodesCompareWithoutCase) {
  EXPECT_EQ(9, LanguageFromCode("us"));
  EXPECT_EQ(9, LanguageFromCode("US"));
  EXPECT_EQ(7, LanguageFromCode("De"));
  EXPECT_EQ(25, LanguageFromCode("\xEA\xE0\xEA"));
  EXPECT_EQ(22, LanguageFromCode("br"));
  EXPECT_EQ(4, LanguageFromCode("cn"));
  EXPECT_EQ(0, LanguageFromCode("xx"));
  EXPECT_EQ(0, LanguageFromCode(""));
}

TEST_F(SettingsTest, StartupInitSetsProcessState) {
  UiLanguage = 3;
  TraceCounter = 5;
  StartupInit();
  EXPECT_EQ(9, UiLanguage);  // the table's code is "us"
  EXPECT_EQ(9999, TraceCounter);
  EXPECT_EQ((DWORD)KEY_READ, RegReadAccess);
  EXPECT_EQ((DWORD)KEY_ALL_ACCESS, RegWriteAccess);
  EXPECT_EQ(OnWow64() ? 1 : 0, RunningOnWow64);
  RawWriteString(HKEY_CURRENT_USER, kOptions, "Debug", "1");
  StartupInit();
  EXPECT_EQ(0, TraceCounter);
}

TEST_F(SettingsTest, EventSoundsFallBackToOpen) {
  EXPECT_STREQ("AppEvents\\Schemes\\Apps\\Vandrelix\\Open\\.current", EventSoundKey(9));
  EXPECT_STREQ("AppEvents\\Schemes\\Apps\\Vandrelix\\Open\\.current", EventSoundKey(-1));
  EXPECT_STREQ("AppEvents\\Schemes\\Apps\\Vandrelix\\FileType Alert\\.current", EventSoundKey(5));
  // Playing needs no sound card: with none, the calls return at once.
  OptionSet[OPT_Sound] = 1;
  PlayEventSound(9);
  RawWriteString(HKEY_CURRENT_USER, EventSoundKey(1), "", "C:\\no\\such\\sound.wav");
  PlayEventSound(1);
  RawDeleteTree(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\Vandrelix");
}

TEST_F(SettingsTest, SystemErrorShowsNumberAndSystemText) {
  WindowCatch box;
  CatchWindow("System Error", IDOK, &box);
  SetLastError(ERROR_FILE_NOT_FOUND);
  ReportSystemError();
  WaitCatch();
  ASSERT_TRUE(box.seen);
  std::string lines = "\n" + box.texts;
  EXPECT_NE(std::string::npos, lines.find("\n2  ")) << box.texts;  // number, two blanks, system text
  EXPECT_GT(box.texts.size(), 5u);
}

TEST_F(SettingsTest, MessageDialogShowsTextUnderProgramTitle) {
  strcpy(ApplicationTitle, "Vandrelix Test Title");
  WindowCatch box;
  CatchWindow("Vandrelix Test Title", IDOK, &box);
  EXPECT_EQ(IDOK, ShowMessageDialog(59));
  WaitCatch();
  ASSERT_TRUE(box.seen);
  EXPECT_NE(std::string::npos, box.texts.find("No commands have been found in the WinInit.ini file.")) << box.texts;

  strcpy(MessageText, "Shared text for the dialog");
  CatchWindow("Vandrelix Test Title", IDCANCEL, &box);
  EXPECT_EQ(IDCANCEL, ShowMessageDialog(0));
  WaitCatch();
  EXPECT_NE(std::string::npos, box.texts.find("Shared text for the dialog"));
}

TEST_F(SettingsTest, HelpQuestionUsesHelpCaption) {
  WindowCatch box;
  CatchWindow("Vandrelix Help", IDOK, &box);
  AskHelpQuestion(57);
  WaitCatch();
  ASSERT_TRUE(box.seen);
  EXPECT_NE(std::string::npos, box.texts.find("No selection has been made.")) << box.texts;
}

}  // namespace

namespace {

// The program's sources, seen from Wine (the build tree's source folder on drive Z:).
std::string SourceFolder() {
  std::string folder = "Z:" VX_SOURCE_DIR;
  for (char& c : folder)
    if (c == '/') c = '\\';
  return folder;
}

void ReadSources(const std::string& folder, std::string* text) {
  WIN32_FIND_DATAA found;
  HANDLE walk = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (walk == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = folder + "\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ReadSources(path, text);
    } else if (name.size() > 4 && name.compare(name.size() - 4, 4, ".cpp") == 0) {
      HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      if (file == INVALID_HANDLE_VALUE) continue;
      std::string data(found.nFileSizeLow, '\0');
      DWORD got = 0;
      ReadFile(file, &data[0], (DWORD)data.size(), &got, nullptr);
      CloseHandle(file);
      *text += data.substr(0, got);
    }
  } while (FindNextFileA(walk, &found));
  FindClose(walk);
}

// Every string id the program's code names in a text call, and those it takes through a range or a
// table, loads a text that is not empty.
TEST_F(SettingsTest, EveryStringTheProgramUsesIsInTheTable) {
  std::string code;
  for (const char* folder : {"app", "platform", "records", "startup", "companion", "areas", "ui"})
    ReadSources(SourceFolder() + "\\" + folder, &code);
  ASSERT_NE(std::string::npos, code.find("LoadText(")) << SourceFolder();
  std::set<int> ids = {1138, 1139, 1140, 1430, 1431, 1432};  // window states, location lines
  const std::regex calls(
      "(?:LoadText|ShowMessageDialog|AskHelpQuestion)\\(\\s*([0-9]+)|"
      "(?:SetItemTextFromId|ShowFileVersionBox)\\([^,()]*,\\s*([0-9]+)");
  for (std::sregex_iterator m(code.begin(), code.end(), calls), end; m != end; ++m)
    ids.insert(std::stoi((*m)[1].matched ? (*m)[1].str() : (*m)[2].str()));
  EXPECT_GE(ids.size(), 30u);  // the scan found the calls
  for (int id : ids) {
    char text[772];
    EXPECT_GT(LoadText(id, text, sizeof text), 0) << "string " << id;
    EXPECT_NE('\0', text[0]) << "string " << id;
  }
}

}  // namespace
