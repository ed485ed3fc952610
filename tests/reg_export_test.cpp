// The .reg value writer and reader: regedit's own forms, judged against Wine's regedit (its export
// and its silent import) and a plain Win32 dump of the registry.
#include <stdio.h>

#include <string>

#include "records/reg_export.h"
#include "test_support.h"

namespace {

std::string Written(const char* name, DWORD type, const std::string& bytes) {
  RegText text;
  if (!WriteRegValue(&text, name, type, (const BYTE*)bytes.data(), (DWORD)bytes.size())) return "<refused>";
  return std::string(text.text, text.length);
}

std::string Z(const char* text) { return std::string(text, strlen(text) + 1); }

TEST(RegValueText, RegeditForms) {
  struct {
    const char* name;
    DWORD type;
    std::string bytes;
    const char* text;
  } cases[] = {
      {"Path", REG_SZ, Z("C:\\Tools"), "\"Path\"=\"C:\\\\Tools\"\r\n"},
      {"", REG_SZ, Z("abc"), "@=\"abc\"\r\n"},
      {"q\"uo\\te", REG_SZ, Z("say \"hi\""), "\"q\\\"uo\\\\te\"=\"say \\\"hi\\\"\"\r\n"},
      {"100%", REG_SZ, Z("%windir% 100%"), "\"100%\"=\"%windir% 100%\"\r\n"},
      {"d", REG_DWORD, std::string("\x2a\0\0\x80", 4), "\"d\"=dword:8000002a\r\n"},
      {"short", REG_DWORD, std::string("\x01\x02", 2), "\"short\"=hex(4):01,02\r\n"},
      {"b", REG_BINARY, std::string("\x01\xff\0", 3), "\"b\"=hex:01,ff,00\r\n"},
      {"e", REG_EXPAND_SZ, Z("%a%"), "\"e\"=hex(2):25,61,25,00\r\n"},
      {"m", REG_MULTI_SZ, std::string("a\0b\0\0", 5), "\"m\"=hex(7):61,00,62,00,00\r\n"},
      {"q", 11, std::string(8, '\0'), "\"q\"=hex(b):00,00,00,00,00,00,00,00\r\n"},
      {"none", REG_NONE, "", "\"none\"=hex(0):\r\n"},
      // Text that a quoted string cannot carry exactly goes as hex(1).
      {"lines", REG_SZ, Z("a\r\nb"), "\"lines\"=hex(1):61,0d,0a,62,00\r\n"},
      {"after", REG_SZ, std::string("a\0b\0", 4), "\"after\"=hex(1):61,00,62,00\r\n"},
      {"open", REG_SZ, "ab", "\"open\"=hex(1):61,62\r\n"},
      {"bad\nname", REG_SZ, Z("x"), "<refused>"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, Written(c.name, c.type, c.bytes)) << c.name;

  RegText key;
  EXPECT_EQ(1, WriteRegKeyLine(&key, HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\X"));
  EXPECT_EQ(1, WriteRegKeyLine(&key, HKEY_CURRENT_USER, ""));
  EXPECT_STREQ("[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\X]\r\n[HKEY_CURRENT_USER]\r\n", key.text);
  EXPECT_EQ(0, WriteRegKeyLine(&key, (HKEY)(ULONG_PTR)0x1234, "x"));
}

// Random values of every form, with the seed in the output.
struct Case {
  std::string name;
  DWORD type;
  std::string bytes;
};

std::string RandomText(std::mt19937& random, size_t length, bool lineBreaks) {
  static const char kChars[] = " abcXYZ019\\\"%;=@[],.-_()\t\xe9\xfc\xa0\xff";
  std::string text;
  for (size_t i = 0; i < length; ++i) text += kChars[random() % (sizeof kChars - 1)];
  if (lineBreaks && length > 2) text[random() % length] = random() % 2 ? '\n' : '\r';
  return text;
}

std::vector<Case> RandomCases(int count) {
  std::mt19937& random = TestRandom();
  std::vector<Case> cases;
  for (int i = 0; i < count; ++i) {
    Case c;
    c.name = "VxTest " + std::to_string(i) + " " + RandomText(random, random() % 40, false);
    size_t length = random() % 3 == 0 ? 256 + random() % 1800 : random() % 120;
    switch (random() % 8) {
      case 0: c.type = REG_SZ; c.bytes = RandomText(random, length, false) + '\0'; break;
      case 1: c.type = REG_SZ; c.bytes = RandomText(random, length + 3, true) + '\0'; break;
      case 2: c.type = REG_EXPAND_SZ; c.bytes = "%SystemRoot%\\" + RandomText(random, length, false) + '\0'; break;
      case 3: c.type = REG_MULTI_SZ; c.bytes = RandomText(random, length, false) + '\0' + RandomText(random, 9, false) + std::string(2, '\0'); break;
      case 4: c.type = REG_DWORD; c.bytes = std::string(4, '\0'); for (char& b : c.bytes) b = (char)random(); break;
      case 5: c.type = 11; c.bytes = std::string(8, '\0'); for (char& b : c.bytes) b = (char)random(); break;
      default: c.type = random() % 2 ? REG_BINARY : REG_NONE; c.bytes = std::string(length, '\0'); for (char& b : c.bytes) b = (char)random(); break;
    }
    cases.push_back(c);
  }
  return cases;
}

TEST(RegValueText, ReadsBackWhatItWrites) {
  for (const Case& c : RandomCases(300)) {
    RegText text, line;
    ASSERT_EQ(1, WriteRegValue(&text, c.name.c_str(), c.type, (const BYTE*)c.bytes.data(), (DWORD)c.bytes.size()));
    // Continued hex lines stay within regedit's 80 columns.
    std::string all(text.text, text.length);
    for (size_t start = all.find("\r\n  "); start != std::string::npos; start = all.find("\r\n  ", start + 2))
      EXPECT_LE(all.find("\r\n", start + 2) - (start + 2), 80u) << c.name;
    size_t pos = 0;
    ASSERT_EQ(1, NextRegLine(text.text, text.length, &pos, &line));
    EXPECT_EQ(text.length, pos);
    RegValueRecord value;
    ASSERT_EQ(1, ParseRegValueLine(line.text, &value)) << line.text;
    EXPECT_EQ(c.name, value.name);
    EXPECT_EQ(c.type, value.type);
    EXPECT_EQ(c.bytes, std::string((const char*)value.data, value.size)) << c.name;
  }
}

// An edited backup is read as it says or not at all: nothing that is not exactly a value passes for one.
TEST(RegValueText, LinesThatAreNotValuesAreRefused) {
  for (const char* line : {"\"v\"=hex:100000000", "\"v\"=hex:1ff", "\"v\"=hex:01,,02", "\"v\"=dword:123456789",
                           "\"v\"=hex(100000007):00", "\"v\"=-", "\"v\"=\"open", "\"v=\"x\""}) {
    RegValueRecord value;
    EXPECT_EQ(0, ParseRegValueLine(line, &value)) << line;
  }
}

std::string ReadFileText(const std::string& path) {
  std::string data;
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return data;
  char buffer[4096];
  DWORD got;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got) data.append(buffer, got);
  CloseHandle(f);
  return data;
}

void WriteFileText(const std::string& path, const std::string& text) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD put = 0;
  WriteFile(f, text.data(), (DWORD)text.size(), &put, nullptr);
  CloseHandle(f);
}

class RegFileTest : public VxTest {};

// regedit's own export of the same values (UTF-16, whose lines carry the same text for every type but
// hex(2) and hex(7)) line for line against the writer: escapes, dword and the wrapping of hex lines.
TEST_F(RegFileTest, LinesMatchRegeditsOwnExport) {
  std::string key = std::string(kTestKey) + "\\Export";
  std::vector<Case> cases;
  for (const Case& c : RandomCases(60))
    if (c.type != REG_EXPAND_SZ && c.type != REG_MULTI_SZ && (c.type != REG_SZ || c.bytes.find_first_of("\r\n") == std::string::npos))
      cases.push_back(c);
  for (const Case& c : cases)
    ASSERT_TRUE(RawWrite(HKEY_CURRENT_USER, key.c_str(), c.name.c_str(), c.type, c.bytes.data(), (DWORD)c.bytes.size()));
  std::string file = BinFolder() + "\\regedit-export.reg";
  DeleteFileA(file.c_str());
  ASSERT_EQ(0, RunProgram("\"" + WindowsFolder() + "\\regedit.exe\" /e \"" + file + "\" \"HKEY_CURRENT_USER\\" + key + "\""));
  std::string wide = ReadFileText(file);
  ASSERT_GT(wide.size(), 2u);
  std::string exported;
  for (size_t i = 2; i + 1 < wide.size(); i += 2) exported += wide[i + 1] ? '?' : wide[i];
  for (const Case& c : cases) {
    if (c.type == REG_SZ && c.bytes.find('\0') != c.bytes.size() - 1) continue;  // regedit cuts those; we keep them
    std::string ours = Written(c.name.c_str(), c.type, c.bytes);
    EXPECT_NE(std::string::npos, exported.find("\r\n" + ours)) << ours;
  }
  DeleteFileA(file.c_str());
}

// Written by us, imported by Wine's own importer: every value comes back with its name, type and bytes.
// On 64-bit Windows the file is imported as 64-bit regedit (a double-click) does it. Under Wine a
// 32-bit program that starts regedit gets the 32-bit one, which takes an explicit Wow6432Node for a
// key of its own (Software\Wow6432Node\Wow6432Node); reg.exe /reg:64, whose parser is regedit's,
// imports as the 64-bit regedit.
TEST_F(RegFileTest, RegeditImportsEveryValueExactly) {
  const DWORD views[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
  std::string own = std::string(kTestKey) + "\\Import";
  for (DWORD view : views) {
    if (view == KEY_WOW64_64KEY && !OnWow64()) continue;
    SCOPED_TRACE(view == KEY_WOW64_64KEY ? "64-bit view" : "32-bit view");
    RegText text;
    AppendRegText(&text, kRegFileHeader);
    AppendRegText(&text, "\r\n\r\n");
    // The file names the key as 64-bit Windows' regedit sees it.
    WriteRegKeyLine(&text, HKEY_LOCAL_MACHINE,
                    OnWow64() && view == KEY_WOW64_32KEY ? "Software\\Wow6432Node\\VandrelixTest\\Import" : own.c_str());
    for (const Case& c : RandomCases(80)) {
      ASSERT_TRUE(RawWrite(HKEY_LOCAL_MACHINE, own.c_str(), c.name.c_str(), c.type, c.bytes.data(), (DWORD)c.bytes.size(), view));
      WriteRegValue(&text, c.name.c_str(), c.type, (const BYTE*)c.bytes.data(), (DWORD)c.bytes.size());
    }
    ValueDump before = DumpValues(HKEY_LOCAL_MACHINE, own.c_str(), view);
    WipeTestState();
    std::string file = BinFolder() + "\\regedit-import.reg";
    WriteFileText(file, std::string(text.text, text.length));
    std::string importer = OnWow64() ? "reg.exe import \"" + file + "\" /reg:64"
                                     : "\"" + WindowsFolder() + "\\regedit.exe\" /s \"" + file + "\"";
    ASSERT_EQ(0, RunProgram(importer));
    EXPECT_EQ("", DumpDifferences(before, DumpValues(HKEY_LOCAL_MACHINE, own.c_str(), view)));
    DeleteFileA(file.c_str());
    WipeTestState();
  }
}

}  // namespace
