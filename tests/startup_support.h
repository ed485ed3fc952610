// Helpers for the startup tests: live Run values written as Windows would hold them, found again in
// the item table, and everything the tests add taken away again.
#pragma once
#include <string>

#include "test_support.h"

// The live key of a Run-family code, seen as 64-bit Windows sees it (as the program scans it).
bool PutRunValue(int code, const char* name, const char* data, DWORD type = REG_SZ);
bool GetRunValue(int code, const char* name, std::string* data, DWORD* type);
int FindItem(const char* title, int code = -1);  // table index or -1
int FindItemByName(const char* name, int code);  // by the entry's real name (GetItemValueName); -1
std::string ItemFile(int index);
std::string TempFolder(const char* name);       // a fresh folder below the test program's
std::string MakeFile(const std::string& path, const std::string& data = "x");

std::string ReadAll(const std::string& path);  // a file's bytes, "<missing>" when it cannot be read

// Points the user's Startup folder at a fresh folder of the test for the life of the object. Both
// keys are set: the shell writes "Shell Folders" anew from "User Shell Folders" when it looks a folder up.
struct StartupFolderScope {
  std::string saved, savedUser;
  DWORD savedUserType = REG_SZ;
  bool had, hadUser;
  std::string folder;
  StartupFolderScope();
  ~StartupFolderScope();
};

class StartupTest : public VxTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  bool createdKey[28] = {};
  std::string savedRun, savedLoad;
};
