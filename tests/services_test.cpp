// Services: listing, state texts, stop, interrogate and start-type changes, with real services installed
// through the service manager and Wine's own services for the shared-host and driver cases.
#include <string>

#include "area_support.h"
#include "areas/program_facts.h"
#include "areas/services.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"

namespace {

class ServicesTest : public VxTest {
 protected:
  void SetUp() override {
    VxTest::SetUp();
    RemoveTestServices();
    RunningOnWow64 = OnWow64();
    OptionSet[OPT_History] = 1;
    OptionSet[OPT_CloudData] = 0;
    OptionSet[OPT_HideMicrosoftServices] = 0;
    ClearHistory();
  }
  void TearDown() override {
    RemoveTestServices();
    ClearStartupItems();
    ClearHistory();
    VxTest::TearDown();
  }
};

std::string Key(const char* name) { return std::string(kServicesKey) + "\\" + name; }

int FindByTitle(const char* title) {
  for (int i = 0; i < StartupItemCount; ++i)
    if (lstrcmpiA(StartupItemTable[i]->title, title) == 0) return i;
  return -1;
}

int FindByFile(const std::string& file) {
  for (int i = 0; i < StartupItemCount; ++i)
    if (lstrcmpiA(StartupItemTable[i]->fileName, file.c_str()) == 0) return i;
  return -1;
}

DWORD RawDword(const std::string& key, const char* name) {
  std::string data;
  DWORD type = 0;
  if (!RawRead(HKEY_LOCAL_MACHINE, key.c_str(), name, &data, &type) || type != REG_DWORD || data.size() != 4)
    return 0xFFFFFFFF;
  return *(const DWORD*)data.data();
}

void PutDword(const std::string& key, const char* name, DWORD value) {
  RawWrite(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_DWORD, &value, sizeof value);
}

TEST_F(ServicesTest, ListsProgramsAndSharedHostsButNotDrivers) {
  ASSERT_TRUE(InstallService("VxTestOwn", "VxTest Own Service", ServiceCommand("vx_service.exe", "VxTestOwn"),
                             "VxTest own description"));
  std::string host = WindowsFolder() + "\\system32\\svchost.exe -k vxtest";
  std::string library = FixturePath("vf_two_translations.dll");
  ASSERT_TRUE(InstallService("VxTestHosted", "VxTest Hosted Service", host));
  RawWriteString(HKEY_LOCAL_MACHINE, (Key("VxTestHosted") + "\\Parameters").c_str(), "ServiceDll", library.c_str());
  ASSERT_TRUE(InstallService("VxTestHostOnly", "VxTest Host Only", host));
  ASSERT_TRUE(InstallService("VxTestDriver", "VxTest Driver", WindowsFolder() + "\\system32\\drivers\\vxtest.sys"));

  int count = EnumerateServices();
  ASSERT_EQ(StartupItemCount, count);

  int own = FindByTitle("VxTest Own Service");
  ASSERT_GE(own, 0);
  EXPECT_EQ(kServiceExeCode, StartupItemTable[own]->location);
  EXPECT_NE(nullptr, strstr(StartupItemTable[own]->fileName, "--service VxTestOwn"));  // raw while not filtered
  EXPECT_STREQ("Manual", StartupItemTable[own]->command);
  EXPECT_STREQ("VxTest own description", StartupItemTable[own]->description);
  EXPECT_EQ(0, StartupItemTable[own]->flag);

  int hosted = FindByTitle("VxTest Hosted Service");
  ASSERT_GE(hosted, 0);
  EXPECT_EQ(kServiceHostCode, StartupItemTable[hosted]->location);
  EXPECT_EQ(0, lstrcmpiA(library.c_str(), StartupItemTable[hosted]->fileName));
  int hostOnly = FindByTitle("VxTest Host Only");
  ASSERT_GE(hostOnly, 0);
  EXPECT_EQ(kServiceHostCode, StartupItemTable[hostOnly]->location);
  EXPECT_EQ(0, lstrcmpiA(host.c_str(), StartupItemTable[hostOnly]->fileName));
  EXPECT_EQ(-1, FindByTitle("VxTest Driver"));

  // Wine's own: BITS runs in the shared host with its ServiceDll, PlugPlay is its own program, the
  // kernel drivers (HTTP, MountMgr) are not programs.
  int bits = FindByFile(WindowsFolder() + "\\system32\\qmgr.dll");
  ASSERT_GE(bits, 0);
  EXPECT_EQ(kServiceHostCode, StartupItemTable[bits]->location);
  int plugplay = FindByFile(WindowsFolder() + "\\system32\\plugplay.exe");
  ASSERT_GE(plugplay, 0);
  EXPECT_EQ(kServiceExeCode, StartupItemTable[plugplay]->location);
  for (int i = 0; i < count; ++i) EXPECT_EQ(nullptr, strstr(StartupItemTable[i]->fileName, ".sys")) << i;

  // A description of 8 KB is shown cut to what the item keeps, not dropped.
  std::string longDescription = "VxTest long description " + std::string(8192, 'd');
  RawWriteString(HKEY_LOCAL_MACHINE, Key("VxTestOwn").c_str(), "Description", longDescription.c_str());
  EnumerateServices();
  own = FindByTitle("VxTest Own Service");
  ASSERT_GE(own, 0);
  EXPECT_EQ(longDescription.substr(0, 1023), StartupItemTable[own]->description);
  char found[1024];
  EXPECT_EQ(1023, FindServiceDescriptionByFile(FixturePath("vx_service.exe").c_str(), found));
}

TEST_F(ServicesTest, StartTypeTextFollowsStartAndDelayedAutostart) {
  ASSERT_TRUE(InstallService("VxTestStart", "VxTest Start Types", ServiceCommand("vx_service.exe", "VxTestStart")));
  std::string key = Key("VxTestStart");
  const struct {
    DWORD start;
    DWORD delayed;  // 0xFFFFFFFF: no value
    const char* text;
  } cases[] = {
      {2, 1, "Automatic (Delayed Start)"}, {2, 0, "Automatic"}, {2, 0xFFFFFFFF, "Automatic"},
      {3, 1, "Manual"}, {4, 0xFFFFFFFF, "Disabled"}, {0, 0xFFFFFFFF, ""}, {1, 1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.start) + "/" + std::to_string(c.delayed));
    PutDword(key, "Start", c.start);
    if (c.delayed == 0xFFFFFFFF) {
      RawDeleteValue(HKEY_LOCAL_MACHINE, key.c_str(), "DelayedAutostart");
    } else {
      PutDword(key, "DelayedAutostart", c.delayed);
    }
    EnumerateServices();
    int i = FindByTitle("VxTest Start Types");
    ASSERT_GE(i, 0);
    EXPECT_STREQ(c.text, StartupItemTable[i]->command);
  }
  PutDword(key, "Start", 3);
}

TEST_F(ServicesTest, MicrosoftFilterKeepsOthersWithTheirResolvedProgram) {
  ASSERT_TRUE(InstallService("VxTestOrvenn", "VxTest Orvenn", ServiceCommand("vx_service.exe", "VxTestOrvenn")));
  ASSERT_TRUE(InstallService("VxTestMs", "VxTest Microsoft", ServiceCommand("vx_service_ms.exe", "VxTestMs")));
  ASSERT_TRUE(InstallService("VxTestBare", "VxTest No Version", "\"" + FixturePath("recorder.exe") + "\" -x"));

  OptionSet[OPT_HideMicrosoftServices] = 1;
  EnumerateServices();
  int orvenn = FindByTitle("VxTest Orvenn");
  ASSERT_GE(orvenn, 0);
  EXPECT_EQ(0, lstrcmpiA(FixturePath("vx_service.exe").c_str(), StartupItemTable[orvenn]->fileName));
  EXPECT_EQ(-1, FindByTitle("VxTest Microsoft"));
  EXPECT_GE(FindByTitle("VxTest No Version"), 0);  // no version information: not Microsoft's

  // The enumeration read each program once; the page's company column reads nothing more.
  int reads = ProgramFactsReads;
  for (int i = 0; i < StartupItemCount; ++i) {
    char program[260];
    ExeFromCommand(StartupItemTable[i]->fileName, program);
    ProgramFactsOf(program, 0);
  }
  EXPECT_EQ(reads, ProgramFactsReads);
  char program[260];
  ExeFromCommand(StartupItemTable[orvenn]->fileName, program);
  EXPECT_STREQ("Orvenn Studios Test Fixtures", ProgramFactsOf(program, 0)->company);

  OptionSet[OPT_HideMicrosoftServices] = 0;
  EnumerateServices();
  EXPECT_GE(FindByTitle("VxTest Microsoft"), 0);
}

TEST_F(ServicesTest, StateTextsInterrogateAndStop) {
  std::string file = FixturePath("vx_service.exe");
  ASSERT_TRUE(InstallService("VxTestRun", "VxTest Running Service", ServiceCommand("vx_service.exe", "VxTestRun")));
  char text[256];
  DWORD word = GetServiceStateText("VxTest Running Service", text);
  EXPECT_EQ((DWORD)SERVICE_STOPPED, word >> 16);
  EXPECT_STREQ("Stopped", text);
  EXPECT_EQ(0u, InterrogateService("VxTest Running Service"));

  ASSERT_TRUE(StartServiceAndWait("VxTestRun"));
  word = GetServiceStateText("VxTest Running Service", text);
  EXPECT_STREQ("Running", text);
  EXPECT_EQ((DWORD)SERVICE_RUNNING, word >> 16);
  EXPECT_EQ((DWORD)SERVICE_WIN32_OWN_PROCESS, word & 0xFFFF);
  EXPECT_EQ(word, QueryServiceStateWord("vxtest running service"));  // names are not case-sensitive
  EXPECT_TRUE(InterrogateService("VxTest Running Service") & SERVICE_ACCEPT_STOP);
  char title[257];
  EXPECT_EQ(1, FindRunningServiceByProgram(file.c_str(), title));
  EXPECT_STREQ("VxTest Running Service", title);

  EXPECT_EQ(1, StopServiceItem("VxTest Running Service", "VxTest Running Service", file.c_str(), kServiceExeCode));
  for (int i = 0; i < 40 && ServiceState("VxTestRun") != SERVICE_STOPPED; ++i) Sleep(50);
  GetServiceStateText("VxTest Running Service", text);
  EXPECT_STREQ("Stopped", text);
  EXPECT_EQ(0u, InterrogateService("VxTest Running Service"));
  EXPECT_EQ(0, FindRunningServiceByProgram(file.c_str(), title));

  // A second stop changes nothing and records nothing.
  EXPECT_EQ(0, StopServiceItem("VxTest Running Service", "VxTest Running Service", file.c_str(), kServiceExeCode));
  std::vector<std::string> events = HistoryEvents();
  ASSERT_EQ(1u, events.size());
  EXPECT_EQ("SERVICE_Stop\tSERVICE_EXE\tVxTest Running Service\t" + file + "\t", events[0]);

  // A service that cannot be opened has no state: the word is 0 and the text still reads "Stopped".
  strcpy(text, "x");
  EXPECT_EQ(0u, GetServiceStateText("VxTest No Such Service", text));
  EXPECT_STREQ("Stopped", text);
  EXPECT_EQ(0, ControlServiceByTitle("VxTest No Such Service", SERVICE_CONTROL_STOP));
}

// A row's title is cut at 127 characters and retitled when it holds the product's name; the row keeps
// the service's key name, which its state, stop and start type take.
TEST_F(ServicesTest, RowsKeepTheKeyNameThatTheOperationsTake) {
  const struct {
    const char* keyName;
    std::string display;
  } kCases[] = {
      {"VxTestLongName", "VxTest Long " + std::string(200, 'S')},
      {"VxTestRetitled", "VxTest Vandrelix Helper"},
  };
  for (const auto& c : kCases)
    ASSERT_TRUE(InstallService(c.keyName, c.display.c_str(), ServiceCommand("vx_service.exe", c.keyName))) << c.keyName;
  EnumerateServices();
  for (const auto& c : kCases) {
    int found = -1;
    char name[512];
    for (int i = 0; i < StartupItemCount && found < 0; ++i)
      if (GetItemValueName(i, name) && lstrcmpA(name, c.keyName) == 0) found = i;
    ASSERT_GE(found, 0) << c.keyName;
    char title[128], text[256];
    GetItemTitle(found, title);
    EXPECT_NE(c.display, title);  // the shown title names no service
    EXPECT_EQ(0u, QueryServiceStateWord(title)) << title;

    EXPECT_EQ((DWORD)SERVICE_STOPPED, GetServiceStateText(name, text) >> 16) << c.keyName;
    ASSERT_TRUE(StartServiceAndWait(c.keyName));
    EXPECT_EQ((DWORD)SERVICE_RUNNING, GetServiceStateText(name, text) >> 16) << c.keyName;
    EXPECT_TRUE(InterrogateService(name) & SERVICE_ACCEPT_STOP) << c.keyName;
    EXPECT_EQ(1, ControlServiceByTitle(name, SERVICE_CONTROL_STOP)) << c.keyName;
    for (int i = 0; i < 40 && ServiceState(c.keyName) != SERVICE_STOPPED; ++i) Sleep(50);
    EXPECT_EQ((DWORD)SERVICE_STOPPED, ServiceState(c.keyName)) << c.keyName;
    EXPECT_EQ(1, SetServiceStartType(name, 4, 0)) << c.keyName;
    EXPECT_EQ(4u, RawDword(Key(c.keyName), "Start")) << c.keyName;
  }
}

TEST_F(ServicesTest, StartTypeChoicesReachTheServiceManagerAndTheHistory) {
  std::string file = FixturePath("vx_service.exe");
  ASSERT_TRUE(InstallService("VxTestApply", "VxTest Apply Service", ServiceCommand("vx_service.exe", "VxTestApply")));
  std::string key = Key("VxTestApply");
  const char* title = "VxTest Apply Service";
  const struct {
    int choice;
    bool seedDelayed;  // give the key a DelayedAutostart value of 0 first
    DWORD start, delayed;
    std::vector<std::string> events;  // ACTION\tCOMMAND of what the change records
  } steps[] = {
      {2, false, 4, 0xFFFFFFFF, {"SERVICE_from_Manual\tManual", "SERVICE_Disabled\tDisabled"}},
      {0, false, 2, 0xFFFFFFFF, {"SERVICE_from_Disabled\tDisabled", "SERVICE_Automatic\tAutomatic"}},
      // No DelayedAutostart value: the delayed choice is plain Automatic there, which it already is.
      {3, false, 2, 0xFFFFFFFF, {}},
      {3, true, 2, 1, {"SERVICE_from_Automatic\tAutomatic", "SERVICE_Automatic\tAutomatic (Delayed Start)"}},
      {1, false, 3, 0, {"SERVICE__from_AutomaticDelayed\tAutomatic (Delayed Start)", "SERVICE_Manual\tManual"}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.choice);
    if (step.seedDelayed) PutDword(key, "DelayedAutostart", 0);
    ClearHistory();
    EXPECT_EQ(1, ApplyServiceStartChoice(title, title, file.c_str(), kServiceExeCode, step.choice));
    EXPECT_EQ(step.start, RawDword(key, "Start"));
    EXPECT_EQ(step.delayed, RawDword(key, "DelayedAutostart"));
    EXPECT_EQ(step.start, ServiceManagerStartType("VxTestApply"));  // takes effect now, not at restart
    std::vector<std::string> events = HistoryEvents();
    ASSERT_EQ(step.events.size(), events.size());
    for (size_t i = 0; i < events.size(); ++i) {
      size_t action = step.events[i].find('\t');
      EXPECT_EQ(step.events[i].substr(0, action) + "\tSERVICE_EXE\t" + title + "\t" + file + "\t" +
                    step.events[i].substr(action + 1),
                events[i]);
    }
  }
  char text[128];
  EXPECT_EQ(1, ReadServiceStartText(title, text));
  EXPECT_STREQ("Manual", text);
  ServiceStartChoiceText(3, text);
  EXPECT_STREQ("Automatic (Delayed Start)", text);

  ClearHistory();
  EXPECT_EQ(0, ApplyServiceStartChoice("VxTest Nobody", "VxTest Nobody", file.c_str(), kServiceExeCode, 2));
  EXPECT_EQ(0, ApplyServiceStartChoice(title, title, file.c_str(), kServiceExeCode, 4));
  EXPECT_TRUE(HistoryEvents().empty());
}

TEST_F(ServicesTest, StartTypeFindsServicesWhoseDisplayNameIsAReference) {
  ASSERT_TRUE(InstallService("VxTestIndirect", "VxTest Indirect Service",
                             ServiceCommand("vx_service.exe", "VxTestIndirect")));
  std::string key = Key("VxTestIndirect");
  // As Windows keeps its own services: the registry holds a resource reference, the service manager
  // answers with the text.
  RawWriteString(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayName", "@%SystemRoot%\\system32\\vxtest.dll,-101");
  EXPECT_EQ(1, SetServiceStartType("VxTest Indirect Service", 4, 0));
  EXPECT_EQ(4u, RawDword(key, "Start"));
  EXPECT_EQ((DWORD)SERVICE_DISABLED, ServiceManagerStartType("VxTestIndirect"));
  EXPECT_EQ(0xFFFFFFFF, RawDword(key, "DelayedAutostart"));  // not created

  // A key the service manager does not know is still found by its DisplayName, or by its own name.
  std::string lone = Key("VxTestRegistryOnly");
  RawWriteString(HKEY_LOCAL_MACHINE, lone.c_str(), "ImagePath", "C:\\VxTest\\lone.exe");
  RawWriteString(HKEY_LOCAL_MACHINE, lone.c_str(), "DisplayName", "VxTest Registry Only");
  PutDword(lone, "Start", 3);
  EXPECT_EQ(1, SetServiceStartType("VxTest Registry Only", 4, 0));
  EXPECT_EQ(4u, RawDword(lone, "Start"));
  EXPECT_EQ(1, SetServiceStartType("VxTestRegistryOnly", 3, 0));
  EXPECT_EQ(3u, RawDword(lone, "Start"));

  EXPECT_EQ(0, SetServiceStartType("VxTest Nobody", 4, 0));
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, Key("VxTest Nobody").c_str()));
}

TEST_F(ServicesTest, DescriptionByProgramFileOrServiceDll) {
  std::string library = FixturePath("vf_two_translations.dll");
  ASSERT_TRUE(InstallService("VxTestDescribed", "VxTest Described", ServiceCommand("vx_service_ms.exe", "VxTestDescribed"),
                             "VxTest described service"));
  ASSERT_TRUE(InstallService("VxTestDll", "VxTest Dll", WindowsFolder() + "\\system32\\svchost.exe -k vxtest",
                             "VxTest hosted library"));
  RawWriteString(HKEY_LOCAL_MACHINE, (Key("VxTestDll") + "\\Parameters").c_str(), "ServiceDll", library.c_str());
  char out[1024];
  EXPECT_EQ((int)strlen("VxTest described service"),
            FindServiceDescriptionByFile(FixturePath("vx_service_ms.exe").c_str(), out));
  EXPECT_STREQ("VxTest described service", out);
  EXPECT_GT(FindServiceDescriptionByFile(("\"" + library + "\"").c_str(), out), 0);
  EXPECT_STREQ("VxTest hosted library", out);
  EXPECT_EQ(0, FindServiceDescriptionByFile("C:\\VxTest\\none.exe", out));
  EXPECT_STREQ("", out);

  // A description longer than an item keeps is cut, not dropped.
  std::string longText(3000, 'd');
  RawWriteString(HKEY_LOCAL_MACHINE, Key("VxTestDescribed").c_str(), "Description", longText.c_str());
  EXPECT_EQ(1023, FindServiceDescriptionByFile(FixturePath("vx_service_ms.exe").c_str(), out));
  EnumerateServices();
  int i = FindByTitle("VxTest Described");
  ASSERT_GE(i, 0);
  EXPECT_EQ(1023u, strlen(StartupItemTable[i]->description));
}

TEST_F(ServicesTest, EnumerationRestoresTheRegistryMasks) {
  RunningOnWow64 = 1;
  RegReadAccess = kKeyRead64;
  RegWriteAccess = kKeyWrite64;
  EnumerateServices();
  EXPECT_EQ(kKeyRead64, RegReadAccess);
  EXPECT_EQ(kKeyWrite64, RegWriteAccess);
}

}  // namespace
