// Processes: real child processes of the fixture programs are walked, listed, matched and ended; the
// service that runs a program is stopped with it; the Windows 9x walk runs in the probe program.
#include <deque>
#include <string>
#include <vector>

#include "area_support.h"
#include "areas/processes.h"
#include "areas/program_facts.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "startup/items.h"

namespace {

class ProcessesTest : public VxTest {
 protected:
  void SetUp() override {
    VxTest::SetUp();
    RemoveTestServices();
    RunningOnWow64 = OnWow64();
    OptionSet[OPT_History] = 1;
    OptionSet[OPT_CloudData] = 0;
    OptionSet[OPT_ShowAllFiles] = 0;
    strcpy(ApplicationTitle, "VxTest Processes");
    ClearHistory();
  }
  void TearDown() override {
    for (Child& child : children) EndChild(&child);
    RemoveTestServices();
    ClearStartupItems();
    ClearHistory();
    VxTest::TearDown();
  }
  Child& Start(const std::string& program, const std::string& arguments = "60") {
    children.push_back(StartChild(program, arguments));
    EXPECT_NE(0u, children.back().id) << program;
    return children.back();
  }
  // A copy of the sleeper under another folder (and name), so that two programs share a module name.
  std::string SleeperCopy(const char* folder, const char* name = "vx_sleeper.exe") {
    std::string path = BinFolder() + "\\" + folder;
    CreateDirectoryA(path.c_str(), nullptr);
    path += std::string("\\") + name;
    CopyFileA(FixturePath("vx_sleeper.exe").c_str(), path.c_str(), FALSE);
    return path;
  }
  int Row(const std::string& file) {
    for (int i = 0; i < StartupItemCount; ++i)
      if (lstrcmpiA(StartupItemTable[i]->fileName, file.c_str()) == 0) return i;
    return -1;
  }
  std::deque<Child> children;  // references to its elements stay valid as it grows
};

struct Seen {
  std::vector<std::pair<DWORD, std::string>> calls;
};

int Collect(DWORD id, WORD task, const char* name, void* context) {
  ((Seen*)context)->calls.push_back({id, name});
  return 1;
}

bool WasSeen(const Seen& seen, DWORD id, const std::string& file) {
  for (const auto& call : seen.calls)
    if (call.first == id && lstrcmpiA(call.second.c_str(), file.c_str()) == 0) return true;
  return false;
}

std::string ThisProgram() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  return path;
}

TEST_F(ProcessesTest, WalkMeetsThisProgramAndAChild) {
  Child& sleeper = Start(FixturePath("vx_sleeper.exe"));
  Seen seen;
  ASSERT_EQ(1, EnumerateProcesses(Collect, &seen));
  EXPECT_TRUE(WasSeen(seen, GetCurrentProcessId(), ThisProgram()));
  EXPECT_TRUE(WasSeen(seen, sleeper.id, FixturePath("vx_sleeper.exe")));

  // A visitor that answers 0 ends the walk at once.
  int calls = 0;
  EnumerateProcesses([](DWORD, WORD, const char*, void* c) { return ++*(int*)c, 0; }, &calls);
  EXPECT_EQ(1, calls);
}

TEST_F(ProcessesTest, OneRowPerProgramWithTheFirstProcessMet) {
  std::string sleeper = FixturePath("vx_sleeper.exe");
  Child& first = Start(sleeper);
  Child& second = Start(sleeper);
  Seen order;
  EnumerateProcesses(Collect, &order);
  DWORD met = 0;
  for (const auto& call : order.calls)
    if ((call.first == first.id || call.first == second.id) && !met) met = call.first;

  EnumerateActiveTasks();
  int rows = 0, row = -1;
  for (int i = 0; i < StartupItemCount; ++i) {
    if (lstrcmpiA(StartupItemTable[i]->fileName, sleeper.c_str()) == 0) {
      ++rows;
      row = i;
    }
  }
  ASSERT_EQ(1, rows);
  EXPECT_STREQ("VxTest Sleeper", StartupItemTable[row]->title);
  EXPECT_EQ(kActiveTaskCode, StartupItemTable[row]->location);
  EXPECT_EQ((int)met, StartupItemTable[row]->flag);
  EXPECT_STREQ("", StartupItemTable[row]->command);
  EXPECT_GE(Row(ThisProgram()), 0);

  // The listing read each file once; the page's columns read nothing more but the size.
  int reads = ProgramFactsReads;
  char program[260];
  ExeFromCommand(StartupItemTable[row]->fileName, program);
  const ProgramFacts* facts = ProgramFactsOf(program, 1);
  EXPECT_EQ(reads, ProgramFactsReads);
  EXPECT_STREQ("Orvenn Studios Test Fixtures", facts->company);
  EXPECT_NE('\0', facts->sizeText[0]);
}

TEST_F(ProcessesTest, ModulesAreListedOnSixtyFourBitWindowsWhenAllFilesAreShown) {
  std::string library = FixturePath("vf_two_translations.dll");
  Child& sleeper = Start(FixturePath("vx_sleeper.exe"), "60 \"" + library + "\"");
  Sleep(200);  // the library is loaded once the sleeper has started
  for (int all = 0; all <= 1; ++all) {
    SCOPED_TRACE(all);
    OptionSet[OPT_ShowAllFiles] = all;
    EnumerateActiveTasks();
    int row = Row(library);
    if (all && OnWow64()) {
      ASSERT_GE(row, 0);
      EXPECT_EQ((int)sleeper.id, StartupItemTable[row]->flag);
    } else {
      EXPECT_EQ(-1, row);  // only programs: every module on 64-bit Windows with all files shown
    }
    EXPECT_GE(Row(FixturePath("vx_sleeper.exe")), 0);
  }
}

TEST_F(ProcessesTest, SixtyFourBitProgramsAreListedAndEnded) {
  if (!OnWow64()) GTEST_SKIP() << "32-bit Windows runs no 64-bit programs";
  // The prefix's own 64-bit command interpreter, copied under a name of the tests; it waits on a pipe.
  std::string folder = BinFolder() + "\\vx64";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string program = folder + "\\vx_cmd64.exe";
  ASSERT_TRUE(CopyFileA((WindowsFolder() + "\\sysnative\\cmd.exe").c_str(), program.c_str(), FALSE));
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
  SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = readEnd;
  startup.hStdOutput = nul;
  startup.hStdError = nul;
  PROCESS_INFORMATION info = {};
  std::string command = "\"" + program + "\"";
  ASSERT_TRUE(CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                             &startup, &info));
  CloseHandle(readEnd);
  CloseHandle(nul);
  CloseHandle(info.hThread);
  children.push_back(Child{info.dwProcessId, info.hProcess});
  Sleep(300);

  EnumerateActiveTasks();
  int row = Row(program);
  ASSERT_GE(row, 0) << "a 64-bit process is listed by its image";
  EXPECT_EQ((int)info.dwProcessId, StartupItemTable[row]->flag);
  EXPECT_EQ(1, IsProcessRunning(program.c_str()));
  EXPECT_EQ(info.dwProcessId, EndProcessByPath(program.c_str(), "", 0));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, 2000));
  EXPECT_EQ(0, IsProcessRunning(program.c_str()));
  CloseHandle(writeEnd);
}

TEST_F(ProcessesTest, MatchingByPathOrBareName) {
  std::string program = SleeperCopy("vxmatch", "vx_sleeper_match.exe");
  Child& child = Start(program);
  const struct {
    std::string file;
    int running;
  } cases[] = {
      {program, 1},
      {"\"" + program + "\" 60", 1},
      {"vx_sleeper_match.exe", 1},
      {"VX_SLEEPER_MATCH.EXE", 1},
      {"C:\\VxTest\\elsewhere\\vx_sleeper_match.exe", 0},
      {BinFolder() + "\\vx_sleeper_match.exe", 0},
      {"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.running, IsProcessRunning(c.file.c_str())) << c.file;
  char file[260];
  ASSERT_EQ(1, ProcessFileOf(child.id, file));
  EXPECT_EQ(0, lstrcmpiA(program.c_str(), file));
  EndChild(&child);
  EXPECT_EQ(0, IsProcessRunning(program.c_str()));
}

TEST_F(ProcessesTest, EndingAsksFirstAndRecordsTheKill) {
  std::string program = SleeperCopy("vxend", "vx_sleeper_end.exe");
  Child& child = Start(program);

  WindowCatch box;
  CatchWindow("VxTest Processes", IDNO, &box);
  EXPECT_EQ(child.id, EndProcessByPath(program.c_str(), "VxTest Title", 1));
  WaitCatch();
  ASSERT_TRUE(box.seen);
  EXPECT_NE(std::string::npos, box.texts.find("VxTest Title is currently an actively running program.")) << box.texts;
  EXPECT_TRUE(ChildRunning(child));
  EXPECT_TRUE(HistoryEvents().empty());

  CatchWindow("VxTest Processes", IDYES, &box);
  EXPECT_EQ(child.id, EndProcessByPath(program.c_str(), "VxTest Title", 1));
  WaitCatch();
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.process, 2000));
  std::vector<std::string> events = HistoryEvents();
  ASSERT_EQ(1u, events.size());
  EXPECT_EQ("TASK_Kill\tINFO_TASK\tVxTest Sleeper\t" + program + "\tVxTest Sleeper", events[0]);

  EXPECT_EQ(0u, EndProcessByPath(program.c_str(), "VxTest Title", 0));
  EXPECT_EQ(1u, HistoryEvents().size());
}

TEST_F(ProcessesTest, KillTaskEndsTheRowsOwnProcess) {
  std::string a = SleeperCopy("vxrowa"), b = SleeperCopy("vxrowb"), c = SleeperCopy("vxrowc", "vx_sleeper_c.exe");
  Child& first = Start(a);
  Child& second = Start(b);
  EnumerateActiveTasks();
  int rowA = Row(a), rowB = Row(b);
  ASSERT_GE(rowA, 0);
  ASSERT_GE(rowB, 0);

  // Both rows read "vx_sleeper.exe": the second row ends its own process, not the first one's.
  EXPECT_EQ(1, EndActiveTask(rowB));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second.process, 2000));
  EXPECT_TRUE(ChildRunning(first));
  std::vector<std::string> events = HistoryEvents();
  ASSERT_EQ(1u, events.size());
  EXPECT_EQ(0, lstrcmpiA(("TASK_Kill\tINFO_TASK\tVxTest Sleeper\t" + b + "\t").c_str(), events[0].c_str())) << events[0];

  // A row whose process id now belongs to another program leaves that program alone and ends its own.
  Child& other = Start(c);
  StartupItemTable[rowA]->flag = (int)other.id;
  EXPECT_EQ(1, EndActiveTask(rowA));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first.process, 2000));
  EXPECT_TRUE(ChildRunning(other));
  EXPECT_EQ(0, EndActiveTask(rowA));  // nothing left of it: nothing ended, nothing recorded
  EXPECT_EQ(2u, HistoryEvents().size());
  EXPECT_EQ(0, EndActiveTask(StartupItemCount));
}

TEST_F(ProcessesTest, KillTaskOnALibraryRowEndsOnlyTheProcessItWasMetIn) {
  if (!OnWow64()) GTEST_SKIP() << "libraries are listed on 64-bit Windows only";
  std::string library = FixturePath("vf_two_translations.dll");
  Child& first = Start(FixturePath("vx_sleeper.exe"), "60 \"" + library + "\"");
  Child& second = Start(SleeperCopy("vxlibrary"), "60 \"" + library + "\"");
  Sleep(200);  // the library is loaded once the sleepers have started
  OptionSet[OPT_ShowAllFiles] = 1;
  EnumerateActiveTasks();
  int row = Row(library);
  ASSERT_GE(row, 0);
  DWORD own = (DWORD)StartupItemTable[row]->flag;
  ASSERT_TRUE(own == first.id || own == second.id) << own;
  Child& mine = own == first.id ? first : second;
  Child& other = own == first.id ? second : first;

  EXPECT_EQ(1, EndActiveTask(row));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mine.process, 2000));
  EXPECT_TRUE(ChildRunning(other));  // it loaded the library too, but it is not the row's
  EXPECT_EQ(0, EndActiveTask(row));  // its process is gone: nothing else is ended in its place
  EXPECT_TRUE(ChildRunning(other));
}

// Ending "the program of a file" ends a process whose own program it is: with all files shown on 64-bit
// Windows the walk also meets every library, and a process that only loaded the file is not its program.
TEST_F(ProcessesTest, EndingByPathLeavesProcessesThatOnlyLoadedTheFile) {
  std::string library = FixturePath("vf_two_translations.dll");
  Child& sleeper = Start(FixturePath("vx_sleeper.exe"), "60 \"" + library + "\"");
  Sleep(200);  // the library is loaded once the sleeper has started
  for (int all = 0; all <= 1; ++all) {
    SCOPED_TRACE(all);
    OptionSet[OPT_ShowAllFiles] = all;
    EXPECT_EQ(0u, EndProcessByPath(library.c_str(), "VxTest Library", 0));
    EXPECT_TRUE(ChildRunning(sleeper));
  }
  EXPECT_TRUE(HistoryEvents().empty());
  EXPECT_EQ(sleeper.id, EndProcessByPath(FixturePath("vx_sleeper.exe").c_str(), "VxTest Sleeper", 0));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(sleeper.process, 2000));
}

// Kill Task on this program's own row (or a library first met in this program) ends nothing: the
// program would otherwise vanish in the middle of its own command.
TEST_F(ProcessesTest, KillTaskNeverEndsThisProgram) {
  char self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
  for (int all = 0; all <= 1; ++all) {
    SCOPED_TRACE(all);
    OptionSet[OPT_ShowAllFiles] = all;
    EnumerateActiveTasks();
    int row = Row(self);
    ASSERT_GE(row, 0);
    EXPECT_EQ((int)GetCurrentProcessId(), StartupItemTable[row]->flag);
    EXPECT_EQ(0, EndActiveTask(row));
  }
  EXPECT_TRUE(HistoryEvents().empty());
}

TEST_F(ProcessesTest, EndingAProgramThatItsServiceKeepsRunningStopsTheService) {
  std::string program = FixturePath("vx_service.exe");
  // The plain copy starts first, so the walk meets it before the service's own process.
  Child& plain = Start(program, "--sleep 60");
  ASSERT_TRUE(InstallService("VxTestKept", "VxTest Kept Service", ServiceCommand("vx_service.exe", "VxTestKept")));
  ASSERT_TRUE(StartServiceAndWait("VxTestKept"));
  Seen order;
  EnumerateProcesses(Collect, &order);
  DWORD firstMet = 0;
  for (const auto& call : order.calls)
    if (!firstMet && lstrcmpiA(call.second.c_str(), program.c_str()) == 0) firstMet = call.first;
  ASSERT_EQ(plain.id, firstMet) << "the walk meets processes in the order they were started";

  EXPECT_EQ(plain.id, EndProcessByPath(program.c_str(), "VxTest Kept", 0));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(plain.process, 2000));
  for (int i = 0; i < 40 && ServiceState("VxTestKept") != SERVICE_STOPPED; ++i) Sleep(50);
  EXPECT_EQ((DWORD)SERVICE_STOPPED, ServiceState("VxTestKept"));
  std::vector<std::string> events = HistoryEvents();
  ASSERT_EQ(2u, events.size());
  EXPECT_EQ("SERVICE_Stop\tINFO_TASK\tVxTest Kept\t" + program + "\tVxTest Kept Service", events[0]);
  EXPECT_EQ("TASK_Kill\tINFO_TASK\tVxTest Service\t" + program + "\tVxTest Service", events[1]);
  for (int i = 0; i < 40 && IsProcessRunning(program.c_str()); ++i) Sleep(50);
  EXPECT_EQ(0, IsProcessRunning(program.c_str()));
}

TEST_F(ProcessesTest, TerminateById) {
  Child& child = Start(FixturePath("vx_sleeper.exe"));
  EXPECT_NE(0, TerminateProcessById(child.id));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.process, 2000));
  EXPECT_EQ(0, TerminateProcessById(0x7FFFFFF0));
}

TEST_F(ProcessesTest, WindowsNineXWalkUsesTheSnapshot) {
  Child& sleeper = Start(FixturePath("vx_sleeper.exe"));
  std::string output = RunProbe("win98", "walk");
  EXPECT_NE(std::string::npos, output.find("walked|1")) << output;
  EXPECT_NE(std::string::npos, output.find("process|" + std::to_string(sleeper.id) + "|0|vx_sleeper.exe")) << output;
}

}  // namespace
