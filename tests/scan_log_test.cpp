// The system scan log: its line rules, and a seeded registry and file set giving the expected line of
// every code (golden file per prefix, with only the machine's own lines masked).
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/settings.h"
#include "records/scan_lists.h"
#include "records/scan_log.h"
#include "startup/items.h"
#include "startup_support.h"

namespace {

TEST(ScanLogText, HostsLines) {
  struct {
    const char* line;
    const char* out;  // null: not listed
  } cases[] = {
      {"# a comment 1.2.3.4 evil", nullptr},
      {"127.0.0.1 localhost", nullptr},
      {"::1 localhost", nullptr},
      {"0.0.0.0 ads.example", nullptr},
      {"1.2.3.4 bank.example", "O1 - Hosts: 1.2.3.4 bank.example"},
      {"ab", nullptr},
      {"abc", "O1 - Hosts: abc"},
  };
  char out[700];
  for (const auto& c : cases) {
    int listed = HostsLogLine(c.line, out, sizeof out);
    EXPECT_EQ(c.out != nullptr, listed != 0) << c.line;
    if (c.out && listed) EXPECT_STREQ(c.out, out);
  }
  EXPECT_EQ(0, HostsLogLine(std::string(498, 'x').c_str(), out, sizeof out));
  EXPECT_EQ(1, HostsLogLine(std::string(497, 'x').c_str(), out, sizeof out));
  char tabbed[] = "1.2.3.4\tbank.example\r";
  EXPECT_EQ(19u, DropControlBytes(tabbed));
  EXPECT_STREQ("1.2.3.4bank.example", tabbed);
  // Bytes read from a file: a NUL byte is dropped like any other control byte, never ends the line.
  char nul[] = "1.2.3.4 \0bank.example\r";
  EXPECT_EQ(20u, DropControlBytes(nul, sizeof nul - 1));
  EXPECT_STREQ("1.2.3.4 bank.example", nul);
}

TEST(ScanLogText, IeresetLinesAndFixedTexts) {
  char out[2048] = "";
  EXPECT_EQ(2, IeresetLogLines("HKCU,\"Software\\Microsoft\\Internet Explorer\\Main\",\"Start Page\",0,\"Default_Page_URL x\",http://evil.example",
                               out, sizeof out));
  EXPECT_STREQ(
      "O14 - IERESET.INF:HKCU, Start Page = http://evil.example\r\n"
      "O14 - IERESET.INF:HKCU, Default_Page_URL = http://evil.example\r\n",
      out);
  out[0] = 0;
  EXPECT_EQ(0, IeresetLogLines(",Start Page", out, sizeof out));  // the only comma is at the start
  EXPECT_EQ(1, IeresetLogLines("Search Page,x", out, sizeof out));
  EXPECT_STREQ("O14 - IERESET.INF: Search Page = x\r\n", out);
  EXPECT_STREQ("Boot mode: Normal", BootModeText(0));
  EXPECT_STREQ("Boot mode: Safe with Network", BootModeText(2));
  EXPECT_STREQ("Boot mode: Unknown", BootModeText(3));
  EXPECT_STREQ("O4 - HKLM\\..\\Run: ", RunLogPrefix(1));
  EXPECT_STREQ("O4 - HKU\\..\\RunService: ", RunLogPrefix(24));
  EXPECT_STREQ("O4 - HKU\\..\\RunServicesOnce: ", RunLogPrefix(25));
  EXPECT_STREQ("O4 - Other Run: ", RunLogPrefix(27));
}

struct Put {
  HKEY root;
  std::string key;
  const char* name;
  DWORD type;
  std::string data;
};

const char kBhoId[] = "{0B0B0B0B-1111-2222-3333-444455556666}";
const char kSharedId[] = "{0C0C0C0C-1111-2222-3333-444455556666}";
const char kDpfId[] = "{0D0D0D0D-1111-2222-3333-444455556666}";

std::string Sz(const std::string& text) { return text + '\0'; }

class ScanLogGolden : public StartupTest {
 protected:
  std::vector<std::string> createdKeys;  // "HKLM|path" or "HKCU|path", removed afterwards
  std::string savedHosts, hostsPath, iereset;
  bool hadHosts = false, hadIereset = false;

  void Key(HKEY root, const std::string& key) { createdKeys.push_back((root == HKEY_CURRENT_USER ? "U|" : "M|") + key); }

  void SetUp() override {
    StartupTest::SetUp();
    std::string helper = BinFolder() + "\\vf_helper.dll";
    std::string clsid = std::string("CLSID\\");
    std::vector<Put> puts = {
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", "Window Title", REG_SZ, Sz("Owned Browser")},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Load", REG_SZ, Sz("C:\\load.exe")},
        {HKEY_CLASSES_ROOT, clsid + kBhoId, "", REG_SZ, Sz("Vx Helper")},
        {HKEY_CLASSES_ROOT, clsid + kBhoId + "\\InprocServer32", "", REG_SZ, Sz(helper)},
        {HKEY_CLASSES_ROOT, clsid + kSharedId, "", REG_SZ, Sz("Vx Shared")},
        {HKEY_CLASSES_ROOT, clsid + kSharedId + "\\InprocServer32", "", REG_SZ, Sz(helper)},
        {HKEY_LOCAL_MACHINE, std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\") + kBhoId, "", REG_SZ, Sz("")},
        // Data longer than any text buffer: the toolbar is listed all the same.
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar", kBhoId, REG_BINARY, std::string(2000, 'Z')},
        {HKEY_CURRENT_USER, "Control Panel\\don't load", "inetcpl.cpl", REG_SZ, Sz("No")},
        {HKEY_CURRENT_USER, "Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions", "", REG_SZ, Sz("x")},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "DisableTaskMgr", REG_DWORD, std::string("\1\0\0\0", 4)},
        // The three O7 lines differ in their blanks; the lines below each give one more form.
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "DisableRegistryTools", REG_DWORD, std::string("\2\0\0\0", 4)},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "DisableRegEdit", REG_DWORD, std::string("\3\0\0\0", 4)},
        {HKEY_CURRENT_USER, "Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel", "", REG_SZ, Sz("x")},
        {HKEY_CURRENT_USER, "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{0F0F0F0F-1111-2222-3333-444455556666}", "ButtonText", REG_SZ, Sz("Vx User")},
        {HKEY_CURRENT_USER, "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{0F0F0F0F-1111-2222-3333-444455556666}", "Script", REG_SZ, Sz("C:\\vx\\user.htm")},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Services\\Tcpip\\Parameters", "NameServer", REG_SZ, Sz("6.6.6.6")},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Services\\Tcpip\\Parameters", "Domain", REG_SZ, Sz("tcpip.example")},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\Services\\VxD\\MSTCP", "Domain", REG_SZ, Sz("mstcp.example")},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Control\\Session Manager", "PendingFileRenameOperations", REG_MULTI_SZ, std::string("\\??\\C:\\vx\\gone.dll\0\0\0", 21)},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\MenuExt\\Vx &Search", "", REG_SZ, Sz("res://vx.dll/search.htm")},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{0E0E0E0E-1111-2222-3333-444455556666}", "ButtonText", REG_SZ, Sz("Vx Button")},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{0E0E0E0E-1111-2222-3333-444455556666}", "MenuText", REG_SZ, Sz("Vx Menu")},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{0E0E0E0E-1111-2222-3333-444455556666}", "Exec", REG_SZ, Sz("C:\\vx\\button.exe")},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\AdvancedOptions\\VXTEST", "Text", REG_SZ, Sz("Vx Options")},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\AdvancedOptions\\VXTEST", "HelpID", REG_SZ, Sz("vx.hlp#1")},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\AdvancedOptions\\VXTEST", "Bitmap", REG_SZ, Sz("C:\\vx\\bits\\opt.bmp")},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Plugins\\Extension\\.vxt", "Location", REG_SZ, Sz("C:\\vx\\plugin.dll")},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes", "www.", REG_SZ, Sz("http://x")},
        {HKEY_LOCAL_MACHINE, std::string("SOFTWARE\\Microsoft\\Code Store Database\\Distribution Units\\") + kDpfId + "\\DownloadInformation", "CODEBASE", REG_SZ, Sz("http://vx.example/ctl.cab")},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains\\trusted.example", "http", REG_DWORD, std::string("\2\0\0\0", 4)},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains\\nested.example\\www", "*", REG_DWORD, std::string("\2\0\0\0", 4)},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains\\banned.example", "*", REG_DWORD, std::string("\4\0\0\0", 4)},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Services\\Tcpip\\Parameters", "SearchList", REG_SZ, Sz("evil.example")},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Styles", "User Stylesheet", REG_SZ, Sz("C:\\vx\\style.css")},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "AppInit_DLLs", REG_SZ, Sz("C:\\vx\\hook.dll")},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad", "VxObject", REG_SZ, Sz(kSharedId)},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler", kSharedId, REG_SZ, Sz("Vx Scheduler")},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Desktop\\Components\\0", "FriendlyName", REG_SZ, Sz("Vx Component")},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Desktop\\Components\\0", "Source", REG_SZ, Sz("http://vx.example/desk.htm")},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Control\\Session Manager", "BootExecute", REG_MULTI_SZ, std::string("autocheck vx *\0\0", 16)},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update", "AUOptions", REG_DWORD, std::string("\3\0\0\0", 4)},
        {HKEY_LOCAL_MACHINE, "Software\\Orvenn Studios\\Vandrelix\\Delay", "C:\\vx\\later.exe", REG_SZ, Sz("1")},
        {HKEY_LOCAL_MACHINE, "Software\\Orvenn Studios\\Vandrelix\\Delay\\Title", "C:\\vx\\later.exe", REG_SZ, Sz("Later")},
    };
    // A control set Wine does not have is made for the test and taken away afterwards.
    if (!RawKeyExists(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002")) Key(HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002");
    for (const Put& p : puts)
      ASSERT_TRUE(RawWrite(p.root, p.key.c_str(), p.name, p.type, p.data.data(), (DWORD)p.data.size())) << p.key;
    for (const Put& p : puts) {
      std::string key = p.key;
      if (key.find("VXTEST") != std::string::npos || key.find(".vxt") != std::string::npos ||
          key.find("\\{0") != std::string::npos || key.find(".example") != std::string::npos ||
          key.find("Components\\0") != std::string::npos || key.find("MenuExt\\Vx") != std::string::npos ||
          key.find("Policies\\Microsoft") != std::string::npos || key.find("don't load") != std::string::npos ||
          key.find("Styles") != std::string::npos)
        Key(p.root, key);
    }
    valueCleanups = {
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", "Window Title"},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Load"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar", kBhoId},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "DisableTaskMgr"},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "DisableRegistryTools"},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "DisableRegEdit"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Services\\Tcpip\\Parameters", "NameServer"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Services\\Tcpip\\Parameters", "Domain"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet002\\Services\\VxD\\MSTCP", "Domain"},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Control\\Session Manager", "PendingFileRenameOperations"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes", "www."},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Services\\Tcpip\\Parameters", "SearchList"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "AppInit_DLLs"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad", "VxObject"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler", kSharedId},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\ControlSet001\\Control\\Session Manager", "BootExecute"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update", "AUOptions"},
    };
    // Other tests may leave the prefixes changed: the log is taken over known ones.
    for (int i = 0; i < 2; ++i) {
      RawRead(HKEY_LOCAL_MACHINE, kPrefixKeys[i], kPrefixNames[i], &savedPrefix[i], nullptr);
      RawWriteString(HKEY_LOCAL_MACHINE, kPrefixKeys[i], kPrefixNames[i], "http://");
    }
    ASSERT_TRUE(PutRunValue(1, "VxTestSync", "C:\\S\\sync.exe"));
    WriteProfileStringA("windows", "run", "C:\\vx\\run.exe");
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    WritePrivateProfileStringA("boot", "shell", "explorer.exe vx.exe", (std::string(windows) + "\\system.ini").c_str());
    WritePrivateProfileStringA("boot", "UserInit", "C:\\vx\\init.exe", (std::string(windows) + "\\system.ini").c_str());
    hostsPath = std::string(windows) + "\\system32\\drivers\\etc\\hosts";
    {
      HANDLE f = CreateFileA(hostsPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      if (f != INVALID_HANDLE_VALUE) {
        hadHosts = true;
        char buffer[65536];
        DWORD got = 0;
        ReadFile(f, buffer, sizeof buffer, &got, nullptr);
        savedHosts.assign(buffer, got);
        CloseHandle(f);
      }
    }
    static const char kHosts[] =
        "# comment\r\n127.0.0.1 localhost\r\n::1 localhost\r\n1.2.3.4\tbank.example\r\n4.4.4.4 \0nul.example\r\n"
        "5.6.7.8 mail.example\r\n9.9.9.9 last.example";
    MakeFile(hostsPath, std::string(kHosts, sizeof kHosts - 1));
    iereset = std::string(windows) + "\\inf\\iereset.inf";
    hadIereset = GetFileAttributesA(iereset.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!hadIereset)
      MakeFile(iereset, "[Strings]\r\nSTART_PAGE_URL=\"http://evil.example/start\"\r\n[Add]\r\nHKCU,\"Software\\Microsoft\\Internet Explorer\\Main\",\"Search Page\",0,http://evil.example/search\r\n");
  }

  struct ValueCleanup {
    HKEY root;
    const char* key;
    const char* name;
  };
  std::vector<ValueCleanup> valueCleanups;

  const char* kPrefixKeys[2] = {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix",
                                "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes"};
  const char* kPrefixNames[2] = {"", "www"};
  std::string savedPrefix[2];

  void TearDown() override {
    for (int i = 0; i < 2; ++i)
      RawWrite(HKEY_LOCAL_MACHINE, kPrefixKeys[i], kPrefixNames[i], REG_SZ, savedPrefix[i].data(),
               (DWORD)savedPrefix[i].size());
    for (const auto& v : valueCleanups) RawDeleteValue(v.root, v.key, v.name);
    for (const std::string& k : createdKeys)
      RawDeleteTree(k[0] == 'U' ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, k.c_str() + 2);
    for (const char* id : {kBhoId, kSharedId}) RawDeleteTree(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + id).c_str());
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    WritePrivateProfileStringA("boot", "shell", nullptr, (std::string(windows) + "\\system.ini").c_str());
    WritePrivateProfileStringA("boot", "UserInit", nullptr, (std::string(windows) + "\\system.ini").c_str());
    if (hadHosts) MakeFile(hostsPath, savedHosts);
    else DeleteFileA(hostsPath.c_str());
    if (!hadIereset) DeleteFileA(iereset.c_str());
    StartupTest::TearDown();
  }
};

// Lines of the machine itself (times, versions, memory, running programs) are masked.
std::string Masked(const std::string& text) {
  std::string out, line;
  bool inProcesses = false;
  std::string bin = BinFolder();
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    line = text.substr(start, end - start);
    start = end + 2;
    for (size_t at; (at = line.find(bin)) != std::string::npos;) line.replace(at, bin.size(), "<bin>");
    static const char* const kMachine[] = {"Log created by", "Scan saved at", "Platform:", "MSIE:", "Memory currently",
                                           "Physical Memory", "Paging File", "Virtual Memory", "Default Browser:"};
    bool machine = false;
    for (const char* m : kMachine) machine = machine || line.compare(0, strlen(m), m) == 0;
    if (inProcesses && line.empty()) inProcesses = false;
    if (inProcesses) continue;
    if (line == "Running processes:") inProcesses = true;
    out += (machine ? "<machine>" : line) + "\n";
  }
  return out;
}

std::string ReadAll(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  std::string data;
  if (f == INVALID_HANDLE_VALUE) return data;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got) data.append(buffer, got);
  CloseHandle(f);
  return data;
}

TEST_F(ScanLogGolden, SeededPrefixGivesTheExpectedLines) {
  std::string path = BinFolder() + "\\Kelvrask.log";
  ASSERT_EQ(1, WriteScanLogFile(path.c_str()));
  std::string actual = Masked(ReadAll(path));
  std::string name = std::string("scan_log_") + (OnWow64() ? "p64" : "p32") + ".txt";
  std::string golden = ReadAll(BinFolder() + "\\golden\\" + name);
  // A differing run leaves its text beside the program for review.
  if (actual != golden) MakeFile(BinFolder() + "\\" + name + ".actual", actual);
  EXPECT_EQ(golden, actual) << "see " << name << ".actual";
  EXPECT_EQ(0, StartupItemCount);
  DeleteFileA(path.c_str());
}

TEST_F(ScanLogGolden, ZoneMarksOfDomains) {
  const char* domains = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains\\";
  EXPECT_EQ(2, DomainZoneMark(HKEY_CURRENT_USER, (std::string(domains) + "trusted.example").c_str()));
  EXPECT_EQ(2, DomainZoneMark(HKEY_CURRENT_USER, (std::string(domains) + "nested.example").c_str()));
  EXPECT_EQ(4, DomainZoneMark(HKEY_CURRENT_USER, (std::string(domains) + "banned.example").c_str()));
  EXPECT_EQ(0, DomainZoneMark(HKEY_CURRENT_USER, (std::string(domains) + "missing.example").c_str()));
  EXPECT_TRUE(IsDefaultDelayLoad("{E6FB5E20-de35-11cf-9c87-00aa005127ed}"));
  EXPECT_FALSE(IsDefaultDelayLoad(kSharedId));
}

// Texts malware chooses (a start page, a Run value's name and data) keep to their own line: a line
// break inside them cannot start a line that passes for another finding.
class ScanLogHostile : public StartupTest {};

TEST_F(ScanLogHostile, LineBreaksInRegistryTextsStayOnTheirLine) {
  const char* main = "Software\\Microsoft\\Internet Explorer\\Main";
  std::string saved;
  DWORD savedType = 0;
  bool had = RawRead(HKEY_CURRENT_USER, main, "Start Page", &saved, &savedType);
  ASSERT_TRUE(RawWriteString(HKEY_CURRENT_USER, main, "Start Page", "http://a\r\nO4 - Global Startup: forged=C:\\f.exe"));
  ASSERT_TRUE(PutRunValue(1, "VxTestName\r\nO23 - Service: forged", "C:\\S\\x.exe\nO2 - BHO: forged"));
  std::string path = BinFolder() + "\\hostile.log";
  ASSERT_EQ(1, WriteScanLogFile(path.c_str()));
  std::string text = ReadAll(path);
  DeleteFileA(path.c_str());
  if (had) RawWrite(HKEY_CURRENT_USER, main, "Start Page", savedType, saved.data(), (DWORD)saved.size());
  else RawDeleteValue(HKEY_CURRENT_USER, main, "Start Page");
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 2;
    EXPECT_EQ(std::string::npos, line.find_first_of("\r\n")) << line;
    EXPECT_NE(0u, line.find("O4 - Global Startup: forged")) << line;
    EXPECT_NE(0u, line.find("O23 - Service: forged")) << line;
    EXPECT_NE(0u, line.find("O2 - BHO: forged")) << line;
  }
  EXPECT_NE(std::string::npos, text.find("Main,Start Page = http://a  O4 - Global Startup: forged=C:\\f.exe\r\n"));
  EXPECT_NE(std::string::npos, text.find("O4 - HKLM\\..\\Run: [VxTestName  O23 - Service: forged]C:\\S\\x.exe"));
}

}  // namespace
