// The settings export read back by Wine's own regedit into emptied product keys, checked value by
// value with a plain registry dump; and the repair import.
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/settings.h"
#include "records/settings_export.h"
#include "test_support.h"

namespace {

const char* kUserKey = "Software\\Orvenn Studios\\Vandrelix";
const char* kStoreKey = "Software\\Orvenn Studios\\Vandrelix\\Disabled\\HKLM_RUN";

struct Seeded {
  HKEY root;
  std::string key, name;
  DWORD type;
  std::string data;
};

std::vector<Seeded> SeedValues() {
  std::string longText(400, 'L');
  std::vector<Seeded> values = {
      {HKEY_CURRENT_USER, kUserKey, "Path", REG_SZ, std::string("C:\\Tools", 9)},
      {HKEY_CURRENT_USER, kUserKey, "", REG_SZ, std::string("abc", 4)},
      {HKEY_CURRENT_USER, kUserKey, "Quote \"name\"", REG_SZ, std::string("say \"hi\" \\ done\\", 17)},
      {HKEY_CURRENT_USER, kUserKey, "Long", REG_SZ, longText + '\0'},
      {HKEY_CURRENT_USER, kUserKey, "Num", REG_DWORD, std::string("\x2a\0\0\0", 4)},
      {HKEY_CURRENT_USER, kUserKey, "Bin", REG_BINARY, std::string("\0\x01\xff", 3)},
      {HKEY_CURRENT_USER, kUserKey, "Empty", REG_BINARY, std::string()},
      {HKEY_CURRENT_USER, std::string(kUserKey) + "\\Options", "StartTab", REG_SZ, std::string("6026", 5)},
      {HKEY_CURRENT_USER, std::string(kUserKey) + "\\Delay\\Time", "C:\\x.exe", REG_SZ, std::string("30", 3)},
      {HKEY_LOCAL_MACHINE, kStoreKey, "Expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x.exe", 19)},
      {HKEY_LOCAL_MACHINE, kStoreKey, "Multi", REG_MULTI_SZ, std::string("a\0b c\0\0", 7)},
      {HKEY_LOCAL_MACHINE, kStoreKey, "Lines", REG_SZ, std::string("one\r\ntwo", 9)},
      {HKEY_LOCAL_MACHINE, kStoreKey, "Caf\xe9", REG_SZ, std::string("d\xe9j\xe0", 5)},
      {HKEY_LOCAL_MACHINE, "Software\\Orvenn Studios\\Vandrelix", "vxid", REG_SZ, std::string("42", 3)},
  };
  for (const Seeded& v : values)
    EXPECT_TRUE(RawWrite(v.root, v.key.c_str(), v.name.c_str(), v.type, v.data.data(), (DWORD)v.data.size())) << v.name;
  return values;
}

std::string ReadFileBytes(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  std::string data;
  if (f == INVALID_HANDLE_VALUE) return data;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got) data.append(buffer, got);
  CloseHandle(f);
  return data;
}

// The file's text as ANSI (it is written in UTF-16).
std::string FileText(const std::string& path) {
  std::string bytes = ReadFileBytes(path);
  if (bytes.size() < 2 || bytes[0] != '\xff' || bytes[1] != '\xfe') return "";
  const wchar_t* wide = (const wchar_t*)(bytes.data() + 2);
  int count = (int)(bytes.size() - 2) / 2;
  std::string text(count * 2 + 1, '\0');
  int n = WideCharToMultiByte(CP_ACP, 0, wide, count, &text[0], (int)text.size(), nullptr, nullptr);
  text.resize(n);
  return text;
}

DWORD RunAndWait(const std::string& command) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::string line = command;
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return 999;
  DWORD code = 998;
  if (WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  return code;
}

class SettingsExport : public VxTest {
 protected:
  void SetUp() override {
    VxTest::SetUp();
    RunningOnWow64 = OnWow64();
  }
};

TEST_F(SettingsExport, FileHoldsEveryValueInTheEditorsForms) {
  SeedValues();
  std::string path = BinFolder() + "\\settings_forms.reg";
  ASSERT_EQ(1, ExportSettingsTo(path.c_str()));
  std::string text = FileText(path);
  DeleteFileA(path.c_str());
  EXPECT_EQ(0u, text.find("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvenn Studios\\Vandrelix]\r\n"));
  const char* lines[] = {
      "\"Path\"=\"C:\\\\Tools\"\r\n",
      "@=\"abc\"\r\n",
      "\"Quote \\\"name\\\"\"=\"say \\\"hi\\\" \\\\ done\\\\\"\r\n",
      "\"Num\"=dword:0000002a\r\n",
      "\"Bin\"=hex:00,01,ff\r\n",
      "\"Empty\"=hex:\r\n",
      "\r\n[HKEY_CURRENT_USER\\Software\\Orvenn Studios\\Vandrelix\\Delay\\Time]\r\n\"C:\\\\x.exe\"=\"30\"\r\n",
      // UTF-16 bytes for the text types written as hex.
      "\"Multi\"=hex(7):61,00,00,00,62,00,20,00,63,00,00,00,00,00\r\n",
  };
  for (const char* line : lines) EXPECT_NE(std::string::npos, text.find(line)) << line;
  EXPECT_NE(std::string::npos, text.find(std::string("\"Long\"=\"") + std::string(400, 'L') + "\"\r\n"));
  std::string machine = OnWow64() ? "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Orvenn Studios\\Vandrelix\\Disabled\\HKLM_RUN]"
                                  : "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvenn Studios\\Vandrelix\\Disabled\\HKLM_RUN]";
  EXPECT_NE(std::string::npos, text.find(machine)) << text;
}

// Wine's regedit imports the file into emptied keys: every value comes back with its type and bytes,
// with the Registry Editor that -RegRepair starts and, on 64-bit Windows, with the 64-bit one too.
TEST_F(SettingsExport, RegeditImportsItBackExactly) {
  std::string sample = BinFolder() + "\\settings_sample.reg";  // kept for the outside readers
  std::vector<std::string> editors = {"regedit.exe"};
  if (OnWow64()) editors.push_back(WindowsFolder() + "\\regedit.exe");
  for (const std::string& editor : editors) {
    std::vector<Seeded> values = SeedValues();
    ASSERT_EQ(1, ExportSettingsTo(sample.c_str()));
    WipeTestState();
    ASSERT_FALSE(RawKeyExists(HKEY_CURRENT_USER, kUserKey));
    ASSERT_EQ(0u, RunAndWait("\"" + editor + "\" /s \"" + sample + "\"")) << editor;
    for (const Seeded& v : values) {
      std::string data;
      DWORD type = 0;
      ASSERT_TRUE(RawRead(v.root, v.key.c_str(), v.name.c_str(), &data, &type)) << editor << " " << v.key << " " << v.name;
      EXPECT_EQ(v.type, type) << editor << " " << v.name;
      EXPECT_EQ(v.data, data) << editor << " " << v.name;
    }
    if (OnWow64()) EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, kStoreKey, KEY_WOW64_64KEY)) << editor;
    WipeTestState();
  }
}

// Very long and odd values come back exactly too (kept out of the sample the outside readers take:
// chntpw's reged crashes on a 32 KB line).
TEST_F(SettingsExport, LongAndOddValuesComeBackExactly) {
  std::vector<Seeded> values = {
      {HKEY_CURRENT_USER, kUserKey, "Huge", REG_SZ, std::string(32767, 'h') + '\0'},
      {HKEY_CURRENT_USER, kUserKey, "BigBin", REG_BINARY, std::string(5001, '\x5a')},
      {HKEY_CURRENT_USER, kUserKey, "NoneOdd", REG_NONE, std::string("\x01\x02\x03", 3)},
  };
  for (const Seeded& v : values)
    ASSERT_TRUE(RawWrite(v.root, v.key.c_str(), v.name.c_str(), v.type, v.data.data(), (DWORD)v.data.size())) << v.name;
  std::string path = BinFolder() + "\\settings_long.reg";
  ASSERT_EQ(1, ExportSettingsTo(path.c_str()));
  WipeTestState();
  ASSERT_EQ(0u, RunAndWait("regedit.exe /s \"" + path + "\""));
  DeleteFileA(path.c_str());
  for (const Seeded& v : values) {
    std::string data;
    DWORD type = 0;
    ASSERT_TRUE(RawRead(v.root, v.key.c_str(), v.name.c_str(), &data, &type)) << v.name;
    EXPECT_EQ(v.type, type) << v.name;
    EXPECT_EQ(v.data, data) << v.name;
  }
}

// A key whose line cannot be written (a line break in its name) is left out with its values: under
// the key line before them they would be imported into another key.
TEST_F(SettingsExport, KeyThatCannotBeNamedIsLeftOutWithItsValues) {
  std::string odd = std::string(kUserKey) + "\\A\nB";
  ASSERT_TRUE(RawWrite(HKEY_CURRENT_USER, odd.c_str(), "Stray", REG_SZ, "x", 2));
  ASSERT_TRUE(RawWrite(HKEY_CURRENT_USER, (odd + "\\Below").c_str(), "Lower", REG_SZ, "y", 2));
  ASSERT_TRUE(RawWrite(HKEY_CURRENT_USER, (std::string(kUserKey) + "\\Plain").c_str(), "Kept", REG_SZ, "z", 2));
  std::string path = BinFolder() + "\\settings_odd.reg";
  ASSERT_EQ(1, ExportSettingsTo(path.c_str()));
  std::string text = FileText(path);
  DeleteFileA(path.c_str());
  EXPECT_EQ(std::string::npos, text.find("Stray")) << text;
  EXPECT_EQ(std::string::npos, text.find("Lower")) << text;
  EXPECT_NE(std::string::npos, text.find("\\Plain]\r\n\"Kept\"=\"z\"\r\n")) << text;
}

TEST_F(SettingsExport, UnwritableFileIsReportedAndLeavesNothing) {
  std::string path = BinFolder() + "\\no such folder\\x.reg";
  EXPECT_EQ(0, ExportSettingsTo(path.c_str()));
}

TEST_F(SettingsExport, KeyPathsOfTheMachineViewOn64BitWindows) {
  char out[600];
  ExportedKeyPath(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvenn Studios", 1, out);
  EXPECT_STREQ("SOFTWARE\\Wow6432Node\\Orvenn Studios", out);
  ExportedKeyPath(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvenn Studios", 0, out);
  EXPECT_STREQ("SOFTWARE\\Orvenn Studios", out);
  ExportedKeyPath(HKEY_CURRENT_USER, "Software\\Orvenn Studios", 1, out);
  EXPECT_STREQ("Software\\Orvenn Studios", out);
  ExportedKeyPath(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\X", 1, out);
  EXPECT_STREQ("SOFTWARE\\Wow6432Node\\X", out);
  char small[23];
  EXPECT_EQ(1, ExportedKeyPath(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", 1, small, sizeof small));
  EXPECT_STREQ("SOFTWARE\\Wow6432Node\\X", small);
  EXPECT_EQ(0, ExportedKeyPath(HKEY_LOCAL_MACHINE, "SOFTWARE\\XY", 1, small, sizeof small));
  EXPECT_EQ(0, ExportedKeyPath(HKEY_CURRENT_USER, std::string(700, 'k').c_str(), 0, out));
}

}  // namespace
