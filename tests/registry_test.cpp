// The registry layer against Wine's real registry, in both prefixes.
#include <string>

#include "platform/registry.h"
#include "test_support.h"

namespace {

const char* kKey = "Software\\VandrelixTest\\Layer";

class RegistryTest : public VxTest {};

TEST_F(RegistryTest, ReadStringExpandsEnvironmentAndBlanksDwords) {
  const char expand[] = "%WINDIR%\\probe.exe";
  ASSERT_TRUE(RawWrite(HKEY_CURRENT_USER, kKey, "expand", REG_EXPAND_SZ, expand, sizeof expand));
  DWORD seven = 7;
  ASSERT_TRUE(RawWrite(HKEY_CURRENT_USER, kKey, "dword", REG_DWORD, &seven, 4));

  char out[260] = "junk";
  DWORD n = RegReadString(HKEY_CURRENT_USER, kKey, "expand", out, sizeof out);
  std::string want = WindowsFolder() + "\\probe.exe";
  EXPECT_STREQ(want.c_str(), out);
  EXPECT_EQ(want.size(), n);

  strcpy(out, "junk");
  EXPECT_EQ(0u, RegReadString(HKEY_CURRENT_USER, kKey, "dword", out, sizeof out));
  EXPECT_STREQ("", out);
  EXPECT_EQ((DWORD)REG_DWORD, RegQueryType(HKEY_CURRENT_USER, kKey, "dword"));
}

TEST_F(RegistryTest, ReadStringNeedsRoomForTheTerminator) {
  ASSERT_TRUE(RawWriteString(HKEY_CURRENT_USER, kKey, "ten", "0123456789"));
  char out[16] = "junk";
  EXPECT_EQ(0u, RegReadString(HKEY_CURRENT_USER, kKey, "ten", out, 10));  // exactly as long as the maximum
  EXPECT_STREQ("", out);
  EXPECT_EQ(10u, RegReadString(HKEY_CURRENT_USER, kKey, "ten", out, 11));
  EXPECT_STREQ("0123456789", out);
}

TEST_F(RegistryTest, OverlongValuesReadAsMissing) {
  std::string big(1999, 'x');  // 2000 bytes with its terminator
  ASSERT_TRUE(RawWriteString(HKEY_CURRENT_USER, kKey, "big", big.c_str()));
  char out[260] = "junk";
  EXPECT_EQ(0u, RegReadString(HKEY_CURRENT_USER, kKey, "big", out, sizeof out));
  EXPECT_STREQ("", out);
  EXPECT_EQ(0u, RegQueryType(HKEY_CURRENT_USER, kKey, "big"));

  std::string edge(1023, 'y');  // 1024 bytes: the largest value the layer reads
  ASSERT_TRUE(RawWriteString(HKEY_CURRENT_USER, kKey, "edge", edge.c_str()));
  char wide[1100];
  EXPECT_EQ(1023u, RegReadString(HKEY_CURRENT_USER, kKey, "edge", wide, sizeof wide));
  EXPECT_EQ((DWORD)REG_SZ, RegQueryType(HKEY_CURRENT_USER, kKey, "edge"));

  EXPECT_EQ(0u, RegReadString(HKEY_CURRENT_USER, "Software\\VandrelixTest\\Missing", "x", out, sizeof out));
}

TEST_F(RegistryTest, UnterminatedAndBinaryTextStopsAtFirstZero) {
  const char raw[] = {'a', 'b', 'c'};  // REG_SZ stored without its terminator
  ASSERT_TRUE(RawWrite(HKEY_CURRENT_USER, kKey, "raw", REG_SZ, raw, sizeof raw));
  const char binary[] = {'o', 'k', 0, 'h', 'i', 'd'};
  ASSERT_TRUE(RawWrite(HKEY_CURRENT_USER, kKey, "bin", REG_BINARY, binary, sizeof binary));
  char out[32];
  EXPECT_EQ(3u, RegReadString(HKEY_CURRENT_USER, kKey, "raw", out, sizeof out));
  EXPECT_STREQ("abc", out);
  EXPECT_EQ(2u, RegReadString(HKEY_CURRENT_USER, kKey, "bin", out, sizeof out));
  EXPECT_STREQ("ok", out);
}

TEST_F(RegistryTest, ProbeTellsStoredZeroFromMissing) {
  DWORD zero = 0;
  ASSERT_TRUE(RawWrite(HKEY_CURRENT_USER, kKey, "zero", REG_DWORD, &zero, 4));
  EXPECT_EQ(0u, RegReadDword(HKEY_CURRENT_USER, kKey, "zero"));
  EXPECT_EQ(0u, RegReadDword(HKEY_CURRENT_USER, kKey, "missing"));
  EXPECT_EQ(0u, RegProbeDword(HKEY_CURRENT_USER, kKey, "zero"));
  EXPECT_EQ(0xFFFFFFFFu, RegProbeDword(HKEY_CURRENT_USER, kKey, "missing"));

  const unsigned char two[] = {0x34, 0x12};  // shorter than 4 bytes: the high bytes stay zero
  ASSERT_TRUE(RawWrite(HKEY_CURRENT_USER, kKey, "two", REG_BINARY, two, 2));
  EXPECT_EQ(0x1234u, RegReadDword(HKEY_CURRENT_USER, kKey, "two"));
  const unsigned char eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_TRUE(RawWrite(HKEY_CURRENT_USER, kKey, "eight", REG_BINARY, eight, 8));
  EXPECT_EQ(0xFFFFFFFFu, RegProbeDword(HKEY_CURRENT_USER, kKey, "eight"));
}

TEST_F(RegistryTest, WritesCreateMissingKeysAndParents) {
  const char* deep = "Software\\VandrelixTest\\A\\B\\C";
  EXPECT_EQ(1u, RegWriteString(HKEY_CURRENT_USER, deep, "name", "value"));
  std::string data;
  DWORD type = 0;
  ASSERT_TRUE(RawRead(HKEY_CURRENT_USER, deep, "name", &data, &type));
  EXPECT_EQ((DWORD)REG_SZ, type);
  EXPECT_EQ(std::string("value", 6), data);  // with its terminating zero

  DWORD v = 0x01020304;
  EXPECT_EQ(1u, RegWriteDword(HKEY_CURRENT_USER, deep, "number", &v));
  EXPECT_EQ(v, RegProbeDword(HKEY_CURRENT_USER, deep, "number"));
  EXPECT_EQ((DWORD)REG_DWORD, RegQueryType(HKEY_CURRENT_USER, deep, "number"));
}

TEST_F(RegistryTest, RemoveValueBlanksTheDefault) {
  ASSERT_TRUE(RawWriteString(HKEY_CURRENT_USER, kKey, "", "default text"));
  ASSERT_TRUE(RawWriteString(HKEY_CURRENT_USER, kKey, "named", "x"));
  EXPECT_EQ(1u, RegRemoveValue(HKEY_CURRENT_USER, kKey, ""));
  std::string data;
  ASSERT_TRUE(RawRead(HKEY_CURRENT_USER, kKey, "", &data, nullptr));
  EXPECT_EQ(std::string("", 1), data);
  EXPECT_EQ(1u, RegRemoveValue(HKEY_CURRENT_USER, kKey, "named"));
  EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, kKey, "named"));
  EXPECT_EQ(0u, RegRemoveValue(HKEY_CURRENT_USER, kKey, "named"));
  EXPECT_EQ(0u, RegRemoveValue(HKEY_CURRENT_USER, "Software\\VandrelixTest\\Missing", "named"));
}

TEST_F(RegistryTest, RemoveKeyTreeRemovesEveryLevel) {
  EXPECT_EQ(1u, RegRemoveKeyTree(HKEY_CURRENT_USER, "Software\\VandrelixTest\\NeverThere"));
  ASSERT_TRUE(RawWriteString(HKEY_CURRENT_USER, "Software\\VandrelixTest\\T\\one\\two\\three", "v", "x"));
  ASSERT_TRUE(RawWriteString(HKEY_CURRENT_USER, "Software\\VandrelixTest\\T\\one\\side", "v", "x"));
  ASSERT_TRUE(RawWriteString(HKEY_CURRENT_USER, "Software\\VandrelixTest\\T\\other", "v", "x"));
  ASSERT_TRUE(RawWriteString(HKEY_CURRENT_USER, "Software\\VandrelixTest\\Kept", "v", "x"));
  EXPECT_EQ(1u, RegRemoveKeyTree(HKEY_CURRENT_USER, "Software\\VandrelixTest\\T"));
  EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, "Software\\VandrelixTest\\T"));
  EXPECT_TRUE(RawKeyExists(HKEY_CURRENT_USER, "Software\\VandrelixTest\\Kept"));

  std::string overlong = "Software\\VandrelixTest\\" + std::string(520, 'k');
  EXPECT_EQ(0u, RegRemoveKeyTree(HKEY_CURRENT_USER, overlong.c_str()));
}

TEST_F(RegistryTest, RemoveKeyTreeEmptiesRedirectedMachineKeys) {
  // HKLM\Software is redirected for a 32-bit program on 64-bit Windows: the tree must go in that view too.
  RunningOnWow64 = OnWow64();
  ASSERT_TRUE(RawWriteString(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Tree\\sub\\deeper", "v", "x"));
  EXPECT_EQ(1u, RegRemoveKeyTree(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Tree"));
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Tree", KEY_WOW64_32KEY));
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Tree", KEY_WOW64_64KEY));
}

TEST_F(RegistryTest, RemoveKeyTreeTakesNamesOutsideTheCodePage) {
  // Named in characters the ANSI code page lacks, such a key comes back from the ANSI calls as "??"
  // that opens nothing: the walk must neither loop nor report a tree gone that is still there.
  HKEY k;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VandrelixTest\\Wide\\\x4e2d\x6587\\\x0416\x0436",
                                           0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
  RegCloseKey(k);
  ASSERT_TRUE(RawWriteString(HKEY_CURRENT_USER, "Software\\VandrelixTest\\Wide\\plain", "v", "x"));
  HKEY wide;  // the premise: by its ANSI name the key cannot be opened
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\VandrelixTest\\Wide", 0, KEY_READ, &wide));
  int unopened = 0;
  for (DWORD i = 0;; ++i) {
    char name[64];
    DWORD length = sizeof name;
    if (RegEnumKeyExA(wide, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (RegOpenKeyExA(wide, name, 0, KEY_READ, &k) == ERROR_SUCCESS) RegCloseKey(k);
    else ++unopened;
  }
  RegCloseKey(wide);
  ASSERT_EQ(1, unopened);
  DWORD start = GetTickCount();
  EXPECT_EQ(1u, RegRemoveKeyTree(HKEY_CURRENT_USER, "Software\\VandrelixTest\\Wide"));
  EXPECT_LT(GetTickCount() - start, 5000u);
  EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, "Software\\VandrelixTest\\Wide"));
}

TEST_F(RegistryTest, RemoveKeyTreeWorksInTheCallersViewOnly) {
  if (!OnWow64()) GTEST_SKIP() << "32-bit Windows has a single registry view";
  RunningOnWow64 = 1;
  const char* twin = "Software\\VandrelixTest\\Twin";
  for (int view64 = 0; view64 < 2; ++view64) {
    SCOPED_TRACE(view64 ? "64-bit view" : "default view");
    ASSERT_TRUE(RawWriteString(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Twin\\sub", "v", "64", KEY_WOW64_64KEY));
    ASSERT_TRUE(RawWriteString(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Twin\\sub", "v", "32", KEY_WOW64_32KEY));
    {
      RegViewGuard view(view64);
      EXPECT_EQ(1u, RegRemoveKeyTree(HKEY_LOCAL_MACHINE, twin));
    }
    EXPECT_EQ(!view64, RawKeyExists(HKEY_LOCAL_MACHINE, twin, KEY_WOW64_64KEY));
    EXPECT_EQ(view64 == 1, RawKeyExists(HKEY_LOCAL_MACHINE, twin, KEY_WOW64_32KEY));
    WipeTestState();
  }
}

// A symbolic link to another key (which a hostile Notify package or browser helper may hold) is never
// followed: the removal refuses, and the key it points at keeps every value and subkey.
TEST_F(RegistryTest, RemoveKeyTreeNeverFollowsLinks) {
  RunningOnWow64 = OnWow64();
  const DWORD native = OnWow64() ? KEY_WOW64_64KEY : 0;
  ASSERT_TRUE(RawWriteString(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Victim\\Child", "v", "x", native));
  ASSERT_TRUE(RawWriteString(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Package", "DllName", "x.dll", native));
  struct Link {
    HKEY key = nullptr;
    explicit Link(const wchar_t* path, DWORD view) {
      const wchar_t target[] = L"\\Registry\\Machine\\Software\\VandrelixTest\\Victim";
      if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                          KEY_ALL_ACCESS | KEY_CREATE_LINK | view, nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, (const BYTE*)target, sizeof target - sizeof(wchar_t));
    }
    ~Link() {  // the link itself goes (deleting it by name would delete what it points at)
      typedef LONG(WINAPI * DeleteKey)(HANDLE);
      DeleteKey deleteKey = (DeleteKey)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey");
      if (key && deleteKey) deleteKey(key);
      if (key) RegCloseKey(key);
    }
  };
  {
    Link inside(L"Software\\VandrelixTest\\Package\\Evil", native), top(L"Software\\VandrelixTest\\TopLink", native);
    ASSERT_TRUE(inside.key && top.key);
    ASSERT_TRUE(RawKeyExists(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Package\\Evil\\Child", native));  // it leads there
    RegView64 view;
    EXPECT_EQ(1, RegIsLink(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\TopLink"));
    EXPECT_EQ(0, RegIsLink(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Package"));
    EXPECT_EQ(0u, RegRemoveKeyTree(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Package"));
    EXPECT_EQ(0u, RegRemoveKeyTree(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\TopLink"));
    EXPECT_TRUE(RawValueExists(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Victim\\Child", "v", native));
  }
}

TEST_F(RegistryTest, WholeValuesWhateverTheirSize) {
  std::string big(100000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = (char)(i * 7);
  ASSERT_TRUE(RawWrite(HKEY_CURRENT_USER, kKey, "big", REG_BINARY, big.data(), (DWORD)big.size()));
  ASSERT_TRUE(RawWriteString(HKEY_CURRENT_USER, kKey, "", "default text"));
  RegValueCopy value;
  ASSERT_EQ(1, RegReadWhole(HKEY_CURRENT_USER, kKey, "big", &value));
  EXPECT_EQ((DWORD)REG_BINARY, value.type);
  EXPECT_EQ(big, std::string((const char*)value.data, value.size));
  HKEY key = RegOpenForReading(HKEY_CURRENT_USER, kKey);
  ASSERT_NE(nullptr, key);
  static char name[kRegNameCapacity];
  int seen = 0;
  for (DWORD i = 0; RegWholeValueAt(key, i, name, &value) == ERROR_SUCCESS; ++i)
    seen += (strcmp(name, "big") == 0 && std::string((const char*)value.data, value.size) == big) ||
            (name[0] == 0 && strcmp((const char*)value.data, "default text") == 0);
  RegCloseKey(key);
  EXPECT_EQ(2, seen);
  // The default value is deleted, not blanked; a value that is not there is gone already.
  EXPECT_EQ(1u, RegEraseValue(HKEY_CURRENT_USER, kKey, ""));
  EXPECT_FALSE(RawValueExists(HKEY_CURRENT_USER, kKey, ""));
  EXPECT_EQ(1u, RegEraseValue(HKEY_CURRENT_USER, kKey, "never there"));
  EXPECT_EQ(0, RegReadWhole(HKEY_CURRENT_USER, kKey, "never there", &value));
}

TEST_F(RegistryTest, SelectViewSwitchesMasksOnlyOn64BitWindows) {
  RunningOnWow64 = OnWow64();
  RegReadAccess = KEY_READ;
  RegWriteAccess = KEY_ALL_ACCESS;
  if (!OnWow64()) {
    EXPECT_EQ(0u, RegSelectView(1));
    EXPECT_EQ((DWORD)KEY_READ, RegReadAccess);
    EXPECT_EQ((DWORD)KEY_ALL_ACCESS, RegWriteAccess);
    return;
  }
  EXPECT_EQ(1u, RegSelectView(1));
  EXPECT_EQ(0x20119u, RegReadAccess);
  EXPECT_EQ(0x20106u, RegWriteAccess);
  EXPECT_EQ(1u, RegSelectView(0));
  EXPECT_EQ(0x20019u, RegReadAccess);
  EXPECT_EQ(0x20006u, RegWriteAccess);
}

TEST_F(RegistryTest, SixtyFourBitViewSeesNativeKeysOnly) {
  if (!OnWow64()) GTEST_SKIP() << "32-bit Windows has a single registry view";
  RunningOnWow64 = 1;
  ASSERT_TRUE(RawWriteString(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Native", "where", "64", KEY_WOW64_64KEY));
  ASSERT_TRUE(RawWriteString(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Native", "where", "32", KEY_WOW64_32KEY));
  char out[16];
  RegReadString(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Native", "where", out, sizeof out);
  EXPECT_STREQ("32", out);
  {
    RegView64 view;
    RegReadString(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Native", "where", out, sizeof out);
    EXPECT_STREQ("64", out);
    // A missing key is created without a view flag, in the redirected view, so the 64-bit write fails.
    EXPECT_EQ(0u, RegWriteString(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Fresh", "v", "x"));
  }
  EXPECT_TRUE(RawKeyExists(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Fresh", KEY_WOW64_32KEY));
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Fresh", KEY_WOW64_64KEY));

  EXPECT_EQ(0u, RegDeleteKeyInView(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Fresh", KEY_WOW64_32KEY));
  EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND,
            RegDeleteKeyInView(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Fresh", KEY_WOW64_64KEY));
}

TEST_F(RegistryTest, DeleteInViewAndRedirectionAreInertOn32BitWindows) {
  if (OnWow64()) GTEST_SKIP() << "only 32-bit Windows lacks the views";
  ASSERT_TRUE(RawWriteString(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Kept", "v", "x"));
  RunningOnWow64 = 0;
  EXPECT_EQ(1u, RegDeleteKeyInView(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Kept", KEY_WOW64_64KEY));
  EXPECT_TRUE(RawKeyExists(HKEY_LOCAL_MACHINE, "Software\\VandrelixTest\\Kept"));
  void* state = nullptr;
  EXPECT_EQ(1u, SetFsRedirection(0, &state));
  EXPECT_EQ(1u, SetFsRedirection(1, &state));
}

TEST_F(RegistryTest, RedirectionOffShowsNativeSystemFolder) {
  if (!OnWow64()) GTEST_SKIP() << "file-system redirection exists only on 64-bit Windows";
  RunningOnWow64 = 1;
  std::string native = WindowsFolder() + "\\system32\\wow64cpu.dll";
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(native.c_str()));
  void* state = nullptr;
  EXPECT_NE(0u, SetFsRedirection(0, &state));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(native.c_str()));
  EXPECT_NE(0u, SetFsRedirection(1, &state));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(native.c_str()));
}

}  // namespace
