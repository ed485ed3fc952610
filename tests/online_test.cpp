// Online lookups: the URLs handed to the shell, caught by a recorder registered as the http handler.
#include <string>

#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "records/online.h"
#include "startup_support.h"

namespace {

const char kRoot[] = "http://127.0.0.1:9";

ProgramLookup* Lookup(int location, const char* command, const char* title = "") {
  static ProgramLookup lookup;
  CopyText(SelectedItemTitle, title);
  GatherProgramLookup(location, command, 0, &lookup);
  CopyText(lookup.build, "1.2");
  return &lookup;
}

std::string ShortUrl(const ProgramLookup* lookup, size_t limit = kShortUrlLimit) {
  char url[1400];
  BuildShortInfoUrl(kRoot, lookup, "en", limit, url, sizeof url);
  return url;
}

TEST(OnlineText, ShortRequestPiecesAndEscaping) {
  struct {
    const char* command;
    const char* title;
    const char* expected;
  } cases[] = {
      {"\"C:\\Tools\\a b.exe\" /min", "", "program=A%20B.EXE&vendor=&version=&build=1.2&Type=4&Loc=en&ext=EXE"},
      {"C:\\Tools\\noext", "", "program=NOEXT&vendor=&version=&build=1.2&Type=4&Loc=en&ext="},
      // Characters that would end the query, start a false escape or read as a blank are escaped.
      {"\"C:\\Tools\\c# 100%+.exe\"", "", "program=C%23%20100%25%2B.EXE&vendor=&version=&build=1.2&Type=4&Loc=en&ext=EXE"},
      {"\"C:\\Tools\\my.app v2#.exe\"", "", "program=MY.APP%20V2%23.EXE&vendor=&version=&build=1.2&Type=4&Loc=en&ext=APP%20V2%23.EXE"},
      // No program path: the title goes as it is, blanks and ampersands included.
      {"", "My & Tool x", "program=My & Tool x&vendor=&version=&build=1.2&Type=4&Loc=en&ext="},
  };
  for (const auto& c : cases) {
    std::string url = ShortUrl(Lookup(4, c.command, c.title));
    EXPECT_EQ(std::string(kRoot) + "/cgi-bin/qovainfo.pl?" + c.expected, url) << c.command;
  }
}

TEST(OnlineText, ShortRequestIsCutBetweenPiecesNeverInsideOne) {
  ProgramLookup* lookup = Lookup(4, "C:\\a b.exe");
  // A vendor whose escaped text would carry the URL past the limit is left off with what follows.
  CopyText(lookup->fields.field[VF_CompanyName], std::string(150, 'v').append(" & co").c_str());
  CopyText(lookup->fields.field[VF_ProductVersion], "1 2");
  std::string url = ShortUrl(lookup, 120);
  EXPECT_EQ(std::string(kRoot) + "/cgi-bin/qovainfo.pl?program=A%20B.EXE", url);
  // Room for some pieces: the URL ends where a whole piece ends.
  CopyText(lookup->fields.field[VF_CompanyName], "Orvenn Studios");
  url = ShortUrl(lookup, 100);
  EXPECT_LE(url.size(), 100u);
  EXPECT_EQ(std::string(kRoot) + "/cgi-bin/qovainfo.pl?program=A%20B.EXE&vendor=Orvenn%20Studios&version=1%202", url);
  // The whole short request is never longer than 259.
  CopyText(lookup->fields.field[VF_ProductVersion], std::string(300, '9').c_str());
  EXPECT_LE(ShortUrl(lookup).size(), 259u);
  // A name longer than the limit alone is cut without splitting an escape.
  CopyText(lookup->name, std::string(300, ' ').c_str());
  url = ShortUrl(lookup);
  EXPECT_LE(url.size(), 259u);
  EXPECT_EQ(0u, (url.size() - (sizeof kRoot - 1) - strlen("/cgi-bin/qovainfo.pl?program=")) % 3);
}

TEST(OnlineText, LanguagesHelpPagesAndBrowserCommands) {
  EXPECT_STREQ("en", ShortLanguageCode(9));
  EXPECT_STREQ("de", ShortLanguageCode(7));
  EXPECT_STREQ("fr", ShortLanguageCode(12));
  char page[64];
  struct {
    const char* language;
    int id;
    const char* page;
  } pages[] = {{"us", 6038, "services.html"}, {"US", 6026, "startup.html"}, {"de", 6038, "de_services.html"},
               {"fr", 6061, "fr_reglock.html"}, {"us", 6030, "features.html"}, {"us", 6035, "reset.html"}};
  for (const auto& p : pages) {
    HelpFileName(p.language, p.id, page, sizeof page);
    EXPECT_STREQ(p.page, page) << p.id;
  }
  char program[260];
  struct {
    const char* command;
    const char* program;
  } browsers[] = {
      {"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" -osint -url \"%1\"",
       "C:\\Program Files\\Mozilla Firefox\\firefox.exe"},
      {"\"C:\\windows\\system32\\winebrowser.exe\" \"%1\"", "C:\\windows\\system32\\winebrowser.exe"},
      {"C:\\Program Files\\my-browser\\b.exe -nohome", "C:\\Program Files\\my-browser\\b.exe"},
      {"C:\\b\\iexplore %1", "C:\\b\\iexplore"},
      {"", ""},
  };
  for (const auto& b : browsers) {
    BrowserFromCommand(b.command, program);
    EXPECT_STREQ(b.program, program) << b.command;
  }
}

// The http handler is the recorder while a test runs; the prefix's own handler comes back after.
class OnlineTest : public VxTest {
 protected:
  const char* handlerKey = "Software\\Classes\\http\\shell\\open\\command";
  std::string saved, folder, record;
  void SetUp() override {
    VxTest::SetUp();
    RunningOnWow64 = OnWow64();
    RawRead(HKEY_LOCAL_MACHINE, handlerKey, "", &saved, nullptr);
    folder = BinFolder() + "\\urlrec";
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((BinFolder() + "\\recorder.exe").c_str(), (folder + "\\recorder.exe").c_str(), FALSE));
    record = folder + "\\recorder.txt";
    DeleteFileA(record.c_str());
    std::string command = "\"" + folder + "\\recorder.exe\" \"%1\"";
    ASSERT_TRUE(RawWriteString(HKEY_LOCAL_MACHINE, handlerKey, "", command.c_str()));
    RawWriteString(HKEY_CURRENT_USER, "Software\\Orvenn Studios\\Vandrelix", "InfoService", kRoot);
  }
  void TearDown() override {
    RawWriteString(HKEY_LOCAL_MACHINE, handlerKey, "", saved.c_str());
    DeleteFileA(record.c_str());
    VxTest::TearDown();
  }
  // The URL the recorder was given (empty when it did not run within the time).
  std::string Caught() {
    for (int i = 0; i < 200; ++i) {
      HANDLE f = CreateFileA(record.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      if (f != INVALID_HANDLE_VALUE) {
        char text[2048] = "";
        DWORD got = 0;
        ReadFile(f, text, sizeof text - 1, &got, nullptr);
        CloseHandle(f);
        text[got] = 0;
        std::string line = text;
        if (!line.empty() && line.find('|') != std::string::npos) {
          DeleteFileA(record.c_str());
          line = line.substr(0, line.rfind('|'));
          if (line.size() >= 2 && line.front() == '"' && line.back() == '"') line = line.substr(1, line.size() - 2);
          return line;
        }
      }
      Sleep(50);
    }
    return "";
  }
};

TEST_F(OnlineTest, ShortAndDetailedInfoReachTheBrowser) {
  std::string program = BinFolder() + "\\vf_two_translations.dll";
  CopyText(SelectedItemTitle, "Two");
  OptionSet[OPT_QovaFormat] = 0;
  EXPECT_EQ(0, OpenProgramInfo(1200, program.c_str()));
  std::string url = Caught();
  EXPECT_EQ(0u, url.find("http://127.0.0.1:9/cgi-bin/qovainfo.pl?program=VF_TWO_TRANSLATIONS.DLL&vendor="));
  EXPECT_NE(std::string::npos, url.find("&Type=1200&Loc=en&ext=DLL")) << url;
  EXPECT_LE(url.size(), 259u);

  // The detailed form goes through an Internet shortcut, removed right after.
  OptionSet[OPT_QovaFormat] = 1;
  EXPECT_EQ(0, OpenProgramInfo(1200, program.c_str()));
  url = Caught();
  EXPECT_EQ(0u, url.find("http://127.0.0.1:9/cgi-bin/qovainfo12.pl?program=VF_TWO_TRANSLATIONS.DLL&vendor=")) << url;
  EXPECT_NE(std::string::npos, url.find("&Type=1200&Loc=us&ext=DLL&version=")) << url;
  EXPECT_NE(std::string::npos, url.find("&path=" + program.substr(0, 3))) << url;
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((BinFolder() + "\\temp.url").c_str()));
}

TEST_F(OnlineTest, HelpPageAndVersionCheck) {
  OpenHelpPage(nullptr, 6038);
  EXPECT_EQ("http://127.0.0.1:9/services.html", Caught());
  OpenHelpPage(nullptr, 6001);
  EXPECT_EQ("http://127.0.0.1:9/features.html", Caught());
  RawWriteString(HKEY_CURRENT_USER, "Software\\Orvenn Studios\\Vandrelix", "LString634", "de");
  UiLanguage = 7;
  OpenHelpPage(nullptr, 6038);
  EXPECT_EQ("http://127.0.0.1:9/de_services.html", Caught());
  UiLanguage = 9;
  OpenVersionCheck();
  EXPECT_EQ(0u, Caught().find("http://127.0.0.1:9/cgi-bin/versione1.pl?&build="));
  OptionSet[OPT_NewVersionAvailable] = 1;
  OpenVersionCheck();
  EXPECT_EQ("http://127.0.0.1:9/download.html", Caught());
}

TEST_F(OnlineTest, UrlShortcutHoldsTheUrl) {
  std::string file = BinFolder() + "\\probe shortcut.url";
  ASSERT_EQ(0, CreateUrlShortcut(file.c_str(), "http://127.0.0.1:9/x?a=1&b=two words"));
  char url[512];
  GetPrivateProfileStringA("InternetShortcut", "URL", "", url, sizeof url, file.c_str());
  EXPECT_STREQ("http://127.0.0.1:9/x?a=1&b=two words", url);
  DeleteFileA(file.c_str());
  EXPECT_LT(CreateUrlShortcut((BinFolder() + "\\no such folder\\x.url").c_str(), "http://x"), 0);
}

TEST_F(OnlineTest, BrowserPathsFromTheRegistry) {
  char path[260];
  std::string command = "\"" + folder + "\\recorder.exe\" \"%1\"";
  EXPECT_EQ((int)(folder.size() + 13), DefaultBrowserPath(path));
  EXPECT_EQ(folder + "\\recorder.exe", path);
  EXPECT_GT(InternetExplorerPath(path), 0);
  EXPECT_TRUE(ContainsNoCase(path, "\\iexplore.exe"));
}

}  // namespace
