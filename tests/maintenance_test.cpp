// The maintenance repairs against the real registry: which uninstall entries go, in each registry
// view, and that each repair takes exactly its own values.
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/settings.h"
#include "startup_support.h"
#include "ui/maintenance.h"

namespace {

const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kProduct[] = "Software\\Orvenn Studios\\Vandrelix";
const char kDetected[] = "Software\\Orvenn Studios\\Detected";

struct Entry {
  const char* key;
  const char* name;     // DisplayName; null: none
  const char* version;  // DisplayVersion; null: none
  bool stays;
};

class MaintenanceTest : public StartupTest {
 protected:
  std::vector<std::pair<std::string, DWORD>> made;
  void TearDown() override {
    for (const auto& m : made) RawDeleteTree(HKEY_LOCAL_MACHINE, m.first.c_str(), m.second);
    StartupTest::TearDown();
  }
  std::string Put(const Entry& e, DWORD view) {
    std::string key = std::string(kUninstall) + "\\" + e.key;
    made.push_back({key, view});
    RawWriteString(HKEY_LOCAL_MACHINE, key.c_str(), "InstallLocation", "C:\\Old", view);
    if (e.name) RawWriteString(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayName", e.name, view);
    if (e.version) RawWriteString(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayVersion", e.version, view);
    return key;
  }
  // Values the repairs may touch, each seeded so that its removal shows.
  void SeedEverything() {
    RawWriteString(HKEY_CURRENT_USER, kProduct, "LString627", "Titel");
    RawWriteString(HKEY_CURRENT_USER, kProduct, "LString1499", "x");
    RawWriteString(HKEY_LOCAL_MACHINE, kProduct, "LString0", "y");
    for (const char* v : {"CookieFolder", "ChromeCookieFolder", "IECookieFolder"})
      RawWriteString(HKEY_CURRENT_USER, kProduct, v, "C:\\cookies");
    for (const char* v : {"xPos", "dyPos", "xInfo", "dyPosAddFileType"}) RawWriteString(HKEY_CURRENT_USER, kProduct, v, "5");
    RawWriteString(HKEY_CURRENT_USER, kProduct, "InfoService", "http://127.0.0.1:9");  // no repair's
    RawWriteString(HKEY_CURRENT_USER, (std::string(kDetected) + "\\Services").c_str(), "C:\\gone\\svc.exe", "d");
    RawWriteString(HKEY_CURRENT_USER, (std::string(kDetected) + "\\Services").c_str(),
                   (BinFolder() + "\\VandrelixEx.exe").c_str(), "d");
    RawWriteString(HKEY_CURRENT_USER, (std::string(kDetected) + "\\ActiveX").c_str(), "C:\\gone\\ax.dll", "d");
    Put({"VxTest Vandrelix Old", "Vandrelix", "0.9.1", false}, 0);
  }
};

TEST_F(MaintenanceTest, OnlyOlderVandrelixUninstallEntriesGo) {
  static const std::string kLongName = "Vandrelix " + std::string(300, 'x');
  // The running version is 1.0.0.1 (the test program carries the product's version resource).
  const Entry entries[] = {
      {"VxTest Vandrelix", "Vandrelix", "1.0.0.1", true},              // this version
      {"VxTest Vandrelix Short", "Vandrelix Explorer", "1.0", true},   // part of this version's text
      {"VxTest Vandrelix Old", "vandrelix monitor", "0.9.1", false},   // any letter case
      {"VxTest Vandrelix Newer", "Vandrelix", "2.0.0.0", false},
      {"VxTest Vandrelix Unknown", "Vandrelix", nullptr, true},        // nothing tells it is older
      {"VxTest Other", "Other Program", "0.1", true},
      {"VxTest Nameless", nullptr, "0.1", true},
      {"VxTest Vandrelix Empty", "Vandrelix", "", true},                // an empty version tells nothing either
      {"VxTest Vandrelix Long", kLongName.c_str(), "0.1", true},        // a name past what is read is not judged
  };
  RunningOnWow64 = OnWow64();
  std::vector<DWORD> views = {KEY_WOW64_32KEY};
  if (OnWow64()) views.push_back(KEY_WOW64_64KEY);
  for (DWORD view : views)
    for (const Entry& e : entries) Put(e, view);
  // One name in both views, this version in one and an old one in the other: only the old one goes.
  if (OnWow64()) {
    Put({"VxTest Vandrelix Twin", "Vandrelix", "1.0.0.1", true}, KEY_WOW64_64KEY);
    Put({"VxTest Vandrelix Twin", "Vandrelix", "0.5", false}, KEY_WOW64_32KEY);
  }
  EXPECT_EQ(1, RemoveOldUninstallEntries());
  for (DWORD view : views) {
    for (const Entry& e : entries) {
      std::string key = std::string(kUninstall) + "\\" + e.key;
      EXPECT_EQ(e.stays, RawKeyExists(HKEY_LOCAL_MACHINE, key.c_str(), view)) << e.key << " view " << view;
    }
  }
  if (OnWow64()) {
    std::string twin = std::string(kUninstall) + "\\VxTest Vandrelix Twin";
    std::string version;
    ASSERT_TRUE(RawRead(HKEY_LOCAL_MACHINE, twin.c_str(), "DisplayVersion", &version, nullptr, KEY_WOW64_64KEY));
    EXPECT_STREQ("1.0.0.1", version.c_str());
    EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, twin.c_str(), KEY_WOW64_32KEY));
  }
  // The caller's registry view is as it was.
  EXPECT_EQ((DWORD)KEY_READ, RegReadAccess);
  EXPECT_EQ((DWORD)KEY_WRITE, RegWriteAccess);
}

TEST_F(MaintenanceTest, NothingTickedChangesNothing) {
  RunningOnWow64 = OnWow64();
  SeedEverything();
  RunRepairs(0, nullptr);
  EXPECT_TRUE(RawValueExists(HKEY_CURRENT_USER, kProduct, "LString627"));
  EXPECT_TRUE(RawValueExists(HKEY_LOCAL_MACHINE, kProduct, "LString0"));
  EXPECT_TRUE(RawValueExists(HKEY_CURRENT_USER, kProduct, "IECookieFolder"));
  EXPECT_TRUE(RawValueExists(HKEY_CURRENT_USER, kProduct, "xPos"));
  EXPECT_TRUE(RawValueExists(HKEY_CURRENT_USER, (std::string(kDetected) + "\\Services").c_str(), "C:\\gone\\svc.exe"));
  EXPECT_TRUE(RawKeyExists(HKEY_LOCAL_MACHINE, (std::string(kUninstall) + "\\VxTest Vandrelix Old").c_str()));
  EXPECT_FALSE(GetRunValue(11, "Vandrelix", nullptr, nullptr));
}

TEST_F(MaintenanceTest, EachRepairTakesItsOwnValuesOnly) {
  RunningOnWow64 = OnWow64();
  const std::string services = std::string(kDetected) + "\\Services";
  const std::string ownProgram = BinFolder() + "\\VandrelixEx.exe";
  struct {
    unsigned repair;
    std::vector<std::pair<HKEY, std::string>> gone;  // key\value
  } cases[] = {
      {REPAIR_LANGUAGE, {{HKEY_CURRENT_USER, "LString627"}, {HKEY_CURRENT_USER, "LString1499"},
                         {HKEY_LOCAL_MACHINE, "LString0"}}},
      {REPAIR_COOKIE_FOLDERS, {{HKEY_CURRENT_USER, "CookieFolder"}, {HKEY_CURRENT_USER, "ChromeCookieFolder"},
                               {HKEY_CURRENT_USER, "IECookieFolder"}}},
      {REPAIR_PLACES, {{HKEY_CURRENT_USER, "xPos"}, {HKEY_CURRENT_USER, "dyPos"}, {HKEY_CURRENT_USER, "xInfo"},
                       {HKEY_CURRENT_USER, "dyPosAddFileType"}}},
  };
  const std::vector<std::pair<HKEY, std::string>> all = {
      {HKEY_CURRENT_USER, "LString627"}, {HKEY_LOCAL_MACHINE, "LString0"}, {HKEY_CURRENT_USER, "IECookieFolder"},
      {HKEY_CURRENT_USER, "xPos"},       {HKEY_CURRENT_USER, "InfoService"}};
  for (const auto& c : cases) {
    SeedEverything();
    RunRepairs(c.repair, nullptr);
    for (const auto& value : all) {
      bool expectedGone = false;
      for (const auto& g : c.gone) expectedGone |= g == value;
      EXPECT_NE(expectedGone, RawValueExists(value.first, kProduct, value.second.c_str()))
          << "repair " << c.repair << ": " << value.second;
    }
    for (const auto& g : c.gone) EXPECT_FALSE(RawValueExists(g.first, kProduct, g.second.c_str())) << g.second;
    // The uninstall entry and the first-detected dates belong to other repairs.
    EXPECT_TRUE(RawKeyExists(HKEY_LOCAL_MACHINE, (std::string(kUninstall) + "\\VxTest Vandrelix Old").c_str()));
    EXPECT_TRUE(RawValueExists(HKEY_CURRENT_USER, services.c_str(), "C:\\gone\\svc.exe"));
  }

  // First-detected dates: a file that is gone loses its date in the six areas; others keep theirs,
  // and the file-type and ActiveX areas are not cleaned.
  SeedEverything();
  RunRepairs(REPAIR_DETECTED, nullptr);
  EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, services.c_str(), "C:\\gone\\svc.exe"));
  EXPECT_TRUE(RawValueExists(HKEY_CURRENT_USER, services.c_str(), ownProgram.c_str()));
  EXPECT_TRUE(RawValueExists(HKEY_CURRENT_USER, (std::string(kDetected) + "\\ActiveX").c_str(), "C:\\gone\\ax.dll"));
  EXPECT_TRUE(RawValueExists(HKEY_CURRENT_USER, kProduct, "LString627"));

  RunRepairs(REPAIR_UNINSTALL, nullptr);
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, (std::string(kUninstall) + "\\VxTest Vandrelix Old").c_str()));
  EXPECT_TRUE(RawValueExists(HKEY_CURRENT_USER, kProduct, "IECookieFolder"));
}

}  // namespace
