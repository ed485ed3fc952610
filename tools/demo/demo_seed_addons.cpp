// Seeds the Wine prefix it runs in with browser add-ons, ActiveX controls and hidden files, for the
// pictures of the IE Helpers, ActiveX and Hidden Files pages: a helper object, a toolbar and a button
// extension, two controls the browser has used (one disabled by its kill bit), and two hidden files in
// the folders the explorer searches. The modules are copies of the demonstration add-ons built beside
// this program.
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>

#include <string>

namespace {

const char kBhoKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const char kToolbarKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const char kExtensionKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
const char kStatsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Stats";
const char kCompatKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility";

bool Put(HKEY root, const std::string& key, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY handle;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) != ERROR_SUCCESS)
    return false;
  LONG rc = RegSetValueExA(handle, name, 0, type, (const BYTE*)data, size);
  RegCloseKey(handle);
  return rc == ERROR_SUCCESS;
}

bool PutText(HKEY root, const std::string& key, const char* name, const std::string& text) {
  return Put(root, key, name, REG_SZ, text.c_str(), (DWORD)text.size() + 1);
}

bool PutNumber(HKEY root, const std::string& key, const char* name, DWORD value) {
  return Put(root, key, name, REG_DWORD, &value, sizeof value);
}

std::string ProgramFiles() {
  char path[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

// Copies demonstration add-on `number` to its vendor's folder under Program Files; its path.
std::string Install(const std::string& bin, int number, const char* vendor, const char* file) {
  std::string folder = ProgramFiles() + "\\" + vendor;
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string target = folder + "\\" + file;
  std::string source = bin + "\\demo_addon_" + std::to_string(number) + ".dll";
  if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) printf("demo: could not copy %s\n", source.c_str());
  return target;
}

void RegisterClass(const char* id, const char* name, const std::string& server) {
  std::string key = std::string("CLSID\\") + id;
  PutText(HKEY_CLASSES_ROOT, key, "", name);
  PutText(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "", server);
}

// A control the browser has used, with its kill bit set when `disabled`.
void Control(const char* id, const char* name, const std::string& server, bool disabled) {
  RegisterClass(id, name, server);
  PutNumber(HKEY_CURRENT_USER, std::string(kStatsKey) + "\\" + id + "\\iexplore", "Count", 3);
  if (disabled) PutNumber(HKEY_LOCAL_MACHINE, std::string(kCompatKey) + "\\" + id, "Compatibility Flags", 0x400);
  printf("demo: control %-30s %s\n", name, disabled ? "disabled" : "enabled");
}

// A copy of a file, hidden (and a system file when asked), in a folder of 64-bit Windows' own.
void HiddenCopy(const std::string& source, const std::string& target, DWORD attributes) {
  typedef BOOL(WINAPI * Disable)(PVOID*);
  typedef BOOL(WINAPI * Revert)(PVOID);
  HMODULE kernel = GetModuleHandleA("kernel32");
  Disable disable = (Disable)(void*)GetProcAddress(kernel, "Wow64DisableWow64FsRedirection");
  Revert revert = (Revert)(void*)GetProcAddress(kernel, "Wow64RevertWow64FsRedirection");
  PVOID state = nullptr;
  BOOL off = disable && disable(&state);
  if (CopyFileA(source.c_str(), target.c_str(), FALSE) && SetFileAttributesA(target.c_str(), attributes))
    printf("demo: hidden file %s\n", target.c_str());
  else
    printf("demo: could not hide %s\n", target.c_str());
  if (off) revert(state);
}

}  // namespace

int main() {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string bin = self;
  bin = bin.substr(0, bin.rfind('\\'));

  std::string shopper = Install(bin, 1, "Cobalt Deals", "cobaltbho.dll");
  std::string searchBar = Install(bin, 2, "Tidewater", "tidebar.dll");
  std::string viewer = Install(bin, 3, "Marlin Document", "marlinpdf.ocx");
  std::string player = Install(bin, 4, "Tidewater", "tideplay.ocx");

  const char* helper = "{3C9F7A21-5B0E-4E8D-9A41-6D2B1C0E7F11}";
  RegisterClass(helper, "CobaltShopper Class", shopper);
  PutText(HKEY_LOCAL_MACHINE, std::string(kBhoKey) + "\\" + helper, "NoExplorer", "1");
  printf("demo: helper object CobaltShopper Class\n");

  const char* toolbar = "{8E4D2B63-1F7A-4C59-B0D2-3A6E9F1C4B22}";
  RegisterClass(toolbar, "Tidewater Search Bar", searchBar);
  Put(HKEY_LOCAL_MACHINE, kToolbarKey, toolbar, REG_BINARY, "", 1);
  printf("demo: toolbar Tidewater Search Bar\n");

  std::string extension = std::string(kExtensionKey) + "\\{5A1E3C97-0B2D-4F68-8E13-7C4B9D2A6E33}";
  PutText(HKEY_LOCAL_MACHINE, extension, "ButtonText", "Send to Quill Notes");
  PutText(HKEY_LOCAL_MACHINE, extension, "Exec", ProgramFiles() + "\\Quillfeather\\quillnotes.exe");
  PutText(HKEY_LOCAL_MACHINE, extension, "CLSID", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}");
  printf("demo: extension Send to Quill Notes\n");

  Control("{D27CDB6E-7A1B-4C2E-9F44-8B1D3E5A0C44}", "Marlin PDF Viewer Control", viewer, false);
  Control("{6BF52A52-394A-11D3-B153-00C04F79FA55}", "Tidewater Media Player Control", player, true);

  char system[MAX_PATH] = "", temp[MAX_PATH] = "";
  GetSystemDirectoryA(system, sizeof system);
  GetTempPathA(sizeof temp, temp);
  HiddenCopy(shopper, std::string(system) + "\\cbhook32.dll", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  HiddenCopy(searchBar, std::string(temp) + "~tw0412.tmp", FILE_ATTRIBUTE_HIDDEN);
  return 0;
}
