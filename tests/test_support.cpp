#include "test_support.h"

#include "platform/registry.h"
#include "platform/settings.h"

const char kTestKey[] = "Software\\VandrelixTest";

bool OnWow64() {
  BOOL wow = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow) && wow;
}

std::string BinFolder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string s(path, n);
  return s.substr(0, s.rfind('\\'));
}

std::string WindowsFolder() {
  char path[MAX_PATH];
  GetWindowsDirectoryA(path, sizeof path);
  return path;
}

bool RawWrite(HKEY root, const char* key, const char* name, DWORD type, const void* data, DWORD size, DWORD view) {
  HKEY k;
  if (RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &k, nullptr) != ERROR_SUCCESS)
    return false;
  LONG rc = RegSetValueExA(k, name, 0, type, (const BYTE*)data, size);
  RegCloseKey(k);
  return rc == ERROR_SUCCESS;
}

bool RawWriteString(HKEY root, const char* key, const char* name, const char* text, DWORD view) {
  return RawWrite(root, key, name, REG_SZ, text, (DWORD)strlen(text) + 1, view);
}

bool RawRead(HKEY root, const char* key, const char* name, std::string* data, DWORD* type, DWORD view) {
  HKEY k;
  if (RegOpenKeyExA(root, key, 0, KEY_READ | view, &k) != ERROR_SUCCESS) return false;
  DWORD size = 0, t = 0;
  LONG rc = RegQueryValueExA(k, name, nullptr, &t, nullptr, &size);
  if (rc == ERROR_SUCCESS) {
    std::string buffer(size, '\0');
    rc = RegQueryValueExA(k, name, nullptr, &t, (BYTE*)&buffer[0], &size);
    buffer.resize(size);
    if (data) *data = buffer;
    if (type) *type = t;
  }
  RegCloseKey(k);
  return rc == ERROR_SUCCESS;
}

bool RawValueExists(HKEY root, const char* key, const char* name, DWORD view) {
  return RawRead(root, key, name, nullptr, nullptr, view);
}

bool RawKeyExists(HKEY root, const char* key, DWORD view) {
  HKEY k;
  if (RegOpenKeyExA(root, key, 0, KEY_READ | view, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

void RawDeleteTree(HKEY root, const char* key, DWORD view) {
  HKEY k;
  if (RegOpenKeyExA(root, key, 0, KEY_ALL_ACCESS | view, &k) == ERROR_SUCCESS) {
    RegDeleteTreeA(k, nullptr);
    RegCloseKey(k);
  }
  typedef LONG(WINAPI * DeleteKeyEx)(HKEY, LPCSTR, REGSAM, DWORD);
  DeleteKeyEx deleteKeyEx = (DeleteKeyEx)(void*)GetProcAddress(GetModuleHandleA("advapi32"), "RegDeleteKeyExA");
  if (deleteKeyEx) deleteKeyEx(root, key, view, 0);
  else RegDeleteKeyA(root, key);
}

void RawDeleteValue(HKEY root, const char* key, const char* name, DWORD view) {
  HKEY k;
  if (RegOpenKeyExA(root, key, 0, KEY_ALL_ACCESS | view, &k) == ERROR_SUCCESS) {
    RegDeleteValueA(k, name);
    RegCloseKey(k);
  }
}

ValueDump DumpValues(HKEY root, const char* key, DWORD view) {
  ValueDump dump;
  HKEY k;
  if (RegOpenKeyExA(root, key, 0, KEY_READ | view, &k) != ERROR_SUCCESS) return dump;
  std::string name(32768, '\0'), data(1 << 20, '\0');
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = (DWORD)name.size(), size = (DWORD)data.size(), type = 0;
    if (RegEnumValueA(k, i, &name[0], &nameLength, nullptr, &type, (BYTE*)&data[0], &size) != ERROR_SUCCESS) break;
    dump[std::string(name.c_str(), nameLength)] = RawValue{type, data.substr(0, size)};
  }
  RegCloseKey(k);
  return dump;
}

static std::string Printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text.substr(0, 60)) {
    char hex[8];
    snprintf(hex, sizeof hex, c >= 32 && c < 127 ? "%c" : "\\x%02x", c);
    out += hex;
  }
  return text.size() > 60 ? out + "..." : out;
}

std::string DumpDifferences(const ValueDump& before, const ValueDump& after) {
  std::string report;
  for (const auto& v : before) {
    auto found = after.find(v.first);
    if (found == after.end()) {
      report += "missing: " + Printable(v.first) + "\n";
    } else if (!(found->second == v.second)) {
      report += "changed: " + Printable(v.first) + " type " + std::to_string(v.second.type) + " -> " +
                std::to_string(found->second.type) + ", " + Printable(v.second.bytes) + " -> " +
                Printable(found->second.bytes) + "\n";
    }
  }
  for (const auto& v : after)
    if (!before.count(v.first)) report += "added: " + Printable(v.first) + "\n";
  return report;
}

std::mt19937& TestRandom() {
  static std::mt19937 random;
  static bool seeded = false;
  if (!seeded) {
    char text[32] = "";
    unsigned seed = GetEnvironmentVariableA("VX_SEED", text, sizeof text) ? (unsigned)strtoul(text, nullptr, 10)
                                                                          : (unsigned)GetTickCount() ^ GetCurrentProcessId();
    printf("random cases: seed %u (set VX_SEED=%u to replay)\n", seed, seed);
    ::testing::Test::RecordProperty("seed", std::to_string(seed));
    random.seed(seed);
    seeded = true;
  }
  return random;
}

int RunProgram(const std::string& commandLine, DWORD timeoutMs) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return -1;
  DWORD code = (DWORD)-1;
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  else TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return (int)code;
}

void ResetProcessState() {
  AppInstance = GetModuleHandleA(nullptr);
  RegReadAccess = KEY_READ;
  RegWriteAccess = KEY_WRITE;
  RunningOnWow64 = 0;
  UiLanguage = 9;  // no translated-text lookups unless a test asks for them
  for (int i = 0; i < OPT_COUNT; ++i) OptionSet[i] = OptionTable[i].atStart;
}

void WipeTestState() {
  const DWORD views[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
  for (DWORD view : views) {
    RawDeleteTree(HKEY_CURRENT_USER, "Software\\Orvenn Studios", view);
    RawDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvenn Studios", view);
    RawDeleteTree(HKEY_CURRENT_USER, kTestKey, view);
    RawDeleteTree(HKEY_LOCAL_MACHINE, kTestKey, view);
    RawDeleteTree(HKEY_CLASSES_ROOT, "exefile\\shell\\Vandrelix QOVA", view);
  }
}

void VxTest::SetUp() {
  WipeTestState();
  ResetProcessState();
}

void VxTest::TearDown() {
  WipeTestState();
  ResetProcessState();
}

#include <thread>

static std::thread watcher;

static BOOL CALLBACK CollectText(HWND child, LPARAM param) {
  char text[2048];
  if (GetWindowTextA(child, text, sizeof text) > 0) {
    ((WindowCatch*)param)->texts += text;
    ((WindowCatch*)param)->texts += '\n';
  }
  return TRUE;
}

void CatchWindow(const char* caption, int command, WindowCatch* result, DWORD timeoutMs, int checkControl) {
  std::string wanted = caption;
  *result = WindowCatch();
  watcher = std::thread([wanted, command, result, timeoutMs, checkControl]() {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
      HWND window = FindWindowA("#32770", wanted.c_str());
      if (window && IsWindowVisible(window)) {
        char text[256];
        GetWindowTextA(window, text, sizeof text);
        result->caption = text;
        EnumChildWindows(window, CollectText, (LPARAM)result);
        result->seen = true;
        if (checkControl) SendMessageA(GetDlgItem(window, checkControl), BM_SETCHECK, BST_CHECKED, 0);
        PostMessageA(window, WM_COMMAND, command, 0);
        return;
      }
      Sleep(20);
    }
  });
}

void WaitCatch() {
  if (watcher.joinable()) watcher.join();
}
