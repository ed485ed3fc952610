// The unattended reports and -RegRepair, run as a script or an administrator would run them.
#include <string>

#include "test_support.h"

namespace {

struct RunResult {
  DWORD code = 0xFFFFFFFF;
  bool sawWindow = false;
  DWORD elapsedMs = 0;
};

// Starts VandrelixEx.exe with the arguments and waits for it, watching for its main window.
RunResult RunProgram(const std::string& arguments) {
  RunResult run;
  std::string exe = BinFolder() + "\\VandrelixEx.exe";
  std::string command = "\"" + exe + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  DWORD start = GetTickCount();
  if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, BinFolder().c_str(), &startup,
                      &info))
    return run;
  while (WaitForSingleObject(info.hProcess, 20) == WAIT_TIMEOUT) {
    if (FindWindowA("VandrelixEx", nullptr)) run.sawWindow = true;
    if (GetTickCount() - start > 60000) {
      TerminateProcess(info.hProcess, 99);
      break;
    }
  }
  run.elapsedMs = GetTickCount() - start;
  GetExitCodeProcess(info.hProcess, &run.code);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  return run;
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

class ReportsE2E : public VxTest {};

TEST_F(ReportsE2E, EachReportIsWrittenWithoutAWindow) {
  std::string folder = BinFolder() + "\\unattended out";
  CreateDirectoryA(folder.c_str(), nullptr);
  struct {
    const char* word;
    const char* file;
    const char* opening;
  } cases[] = {{"-ScanLog", "Kelvrask.log", "Log created by VandrelixToGo Edition version "},
               {"-Report", "report.html", "<html><head><title>\r\nVandrelix Report Log</title>"},
               {"-REPORT", "report.txt", "Title\tProgram\tDescription\tVersion\tCopyright\tLocation\tPath\r\n"},
               {"-spreadsheet", "report.csv", "Log created by VandrelixToGo Edition version "}};
  for (const auto& c : cases) {
    std::string path = folder + "\\" + c.file;
    DeleteFileA(path.c_str());
    RunResult run = RunProgram(std::string(c.word) + " \"" + path + "\"");
    EXPECT_EQ(0u, run.code) << c.word;
    EXPECT_FALSE(run.sawWindow) << c.word;
    std::string text = ReadAll(path);
    EXPECT_EQ(0u, text.find(c.opening)) << c.word;
    printf("%s %s: %lu ms\n", c.word, c.file, (unsigned long)run.elapsedMs);
    DeleteFileA(path.c_str());
  }
  RemoveDirectoryA(folder.c_str());
}

TEST_F(ReportsE2E, PathsThatCannotBeWrittenOrAreMissingEndWithAnError) {
  std::string missing = BinFolder() + "\\no such folder\\x.log";
  for (const char* word : {"-ScanLog", "-Report", "-Spreadsheet"}) {
    EXPECT_EQ(1u, RunProgram(std::string(word) + " \"" + missing + "\"").code) << word;
    EXPECT_EQ(2u, RunProgram(word).code) << word;
  }
}

// A path holding other switches' words is only a path: nothing is restored, no page is opened.
TEST_F(ReportsE2E, SwitchWordsInsideThePathAreNotSwitches) {
  RawWriteString(HKEY_CURRENT_USER, "Software\\Orvenn Studios\\Vandrelix", "Keep", "1");
  std::string folder = BinFolder() + "\\my-Restore-TASK-Report";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string path = folder + "\\scan.log";
  RunResult run = RunProgram("-ScanLog " + path);
  EXPECT_EQ(0u, run.code);
  EXPECT_FALSE(run.sawWindow);
  EXPECT_EQ(0u, ReadAll(path).find("Log created by"));
  EXPECT_TRUE(RawValueExists(HKEY_CURRENT_USER, "Software\\Orvenn Studios\\Vandrelix", "Keep"));
  DeleteFileA(path.c_str());
  RemoveDirectoryA(folder.c_str());
}

std::string DataFolderPath() {
  char appData[MAX_PATH] = "";
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                    KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD size = sizeof appData;
    RegQueryValueExA(key, "AppData", nullptr, nullptr, (BYTE*)appData, &size);
    RegCloseKey(key);
  }
  return std::string(appData) + "\\Vandrelix";
}

TEST_F(ReportsE2E, RegRepairImportsTempRegSilentlyAndEnds) {
  std::string folder = DataFolderPath();
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string file = folder + "\\temp.reg";
  DeleteFileA(file.c_str());
  // Without the file there is nothing to do, and the run ends.
  RunResult run = RunProgram("-RegRepair");
  EXPECT_EQ(0u, run.code);
  EXPECT_FALSE(run.sawWindow);

  std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\VandrelixTest\\Repair]\r\n\"Fixed\"=\"yes \\\"really\\\"\"\r\n";
  HANDLE f = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD put = 0;
  WriteFile(f, text.data(), (DWORD)text.size(), &put, nullptr);
  CloseHandle(f);
  run = RunProgram("-RegRepair");
  EXPECT_EQ(0u, run.code);
  EXPECT_FALSE(run.sawWindow);
  std::string value;
  for (int i = 0; i < 200 && !RawRead(HKEY_CURRENT_USER, "Software\\VandrelixTest\\Repair", "Fixed", &value, nullptr); ++i)
    Sleep(50);
  EXPECT_EQ(std::string("yes \"really\"", 13), value);
  DeleteFileA(file.c_str());
}

}  // namespace
