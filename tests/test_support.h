// Shared by the tests: a clean product state around every test, and raw registry access for
// checking what the program wrote without going through the code under test.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

extern const char kTestKey[];  // Software\VandrelixTest, under HKCU or HKLM

bool OnWow64();               // the 32-bit program runs on 64-bit Windows (the 64-bit prefix)
std::string BinFolder();      // folder of the running test program
std::string WindowsFolder();

// Raw registry access in a chosen view (0, KEY_WOW64_64KEY or KEY_WOW64_32KEY).
bool RawWrite(HKEY root, const char* key, const char* name, DWORD type, const void* data, DWORD size, DWORD view = 0);
bool RawWriteString(HKEY root, const char* key, const char* name, const char* text, DWORD view = 0);
bool RawRead(HKEY root, const char* key, const char* name, std::string* data, DWORD* type, DWORD view = 0);
bool RawValueExists(HKEY root, const char* key, const char* name, DWORD view = 0);
bool RawKeyExists(HKEY root, const char* key, DWORD view = 0);
void RawDeleteTree(HKEY root, const char* key, DWORD view = 0);
void RawDeleteValue(HKEY root, const char* key, const char* name, DWORD view = 0);

// The oracle of the round-trip tests: every value of a key read with plain Win32 calls (name -> type
// and bytes), and the differences between two such dumps, one line each ("" when there are none).
struct RawValue {
  DWORD type;
  std::string bytes;
  bool operator==(const RawValue& o) const { return type == o.type && bytes == o.bytes; }
};
typedef std::map<std::string, RawValue> ValueDump;
ValueDump DumpValues(HKEY root, const char* key, DWORD view = 0);
std::string DumpDifferences(const ValueDump& before, const ValueDump& after);

// Random cases: the seed comes from VX_SEED when set (to replay a failure), else from the clock, and
// is printed with the test's output.
std::mt19937& TestRandom();

// Runs a program and waits for it; its exit code, or -1 when it could not be started or did not end.
int RunProgram(const std::string& commandLine, DWORD timeoutMs = 60000);

// Every test starts and ends with no product keys and the process-wide values as at program start.
class VxTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};
void ResetProcessState();
void WipeTestState();

// Waits on another thread for a top-level window with the given caption to appear, keeps the texts of
// its child controls and closes it with `command` (IDOK, IDNO...). Used to check message boxes.
struct WindowCatch {
  std::string caption;
  std::string texts;  // child texts, each followed by '\n'
  bool seen = false;
};
void CatchWindow(const char* caption, int command, WindowCatch* result, DWORD timeoutMs = 10000, int checkControl = 0);
void WaitCatch();  // joins the watcher started by CatchWindow
