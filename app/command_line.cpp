#include "app/command_line.h"

#include <windows.h>
#include <string.h>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "startup/delay.h"

int HasQuitSwitch(const char* text) {
  for (const char* p = text; (p = strchr(p, '-')) != nullptr; ++p) {
    if ((p[1] == 'Q' || p[1] == 'q') && (p[2] == 0 || p[2] == ' ')) return 1;
  }
  return 0;
}

StartRequest ParseCommandLine(const char* text, int startTab) {
  StartRequest request = {START_RUN, startTab < 6026 ? 6026 : startTab, 0};
  if (!text || !text[0]) return request;

  static const struct {
    const char* word;
    StartAction action;
  } kMaintenance[] = {
      {"-Restore", START_RESTORE}, {"-RegRepair", START_REGREPAIR}, {"-Reset", START_RESET},
      {"-AUOption", START_AUOPTION}, {"-SetPrefix", START_SETPREFIX},
  };
  for (const auto& m : kMaintenance) {
    if (ContainsNoCase(text, m.word)) {
      request.action = m.action;
      return request;
    }
  }

  // Every page switch is tested in this order and overwrites the last: "-RESTART" after "-START".
  static const struct {
    const char* word;
    int command;
  } kPages[] = {
      {"-START", 6026},    {"-QOVA", 6027},     {"-SERVICE", 6038}, {"-BHO", 6040},     {"-COOKIE", 6045},
      {"-NUT", 6028},      {"-OPTION", 6033},   {"-SCHEDULE", 6039}, {"-TASK", 6029},   {"-DELAY", 6055},
      {"-FILETYPE", 6042}, {"-HIDDEN", 6052},   {"-ACTIVEX", 6056}, {"-RECENT", 6060},  {"-REGOPTIONS", 6061},
      {"-EXIT", 6048},     {"-RESTART", 6033},
  };
  for (const auto& page : kPages)
    if (ContainsNoCase(text, page.word)) request.startCommand = page.command;
  request.quit = HasQuitSwitch(text);
  return request;
}

void RestoreCleanState() {
  RunningOnWow64 = IsWow64();  // the switch runs before start-up has learnt it
  // Translated-text overrides, per user and per machine.
  char name[32];
  for (int pass = 0; pass < 2; ++pass) {
    HKEY root = pass == 0 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    for (int id = 0; id < 1500; ++id) {
      FormatText(name, sizeof name, "LString%d", id);
      RegRemoveValue(root, kProductKey, name);
    }
  }

  ManageOwnStartupEntries(1);

  // Saved window places, in the 64-bit view on 64-bit Windows.
  static const char* const kPlaces[] = {
      "xPos",          "yPos",          "dxPos",           "dyPos",           "xInfo",           "yInfo",
      "dxInfo",        "dyInfo",        "xPosAlert",       "yPosAlert",       "dxAlert",         "dyAlert",
      "xPosSysFiles",  "yPosSysFiles",  "dxSysFiles",      "dySysFiles",      "xCookie",         "yCookie",
      "dxCookie",      "dyCookie",      "xDefaultWarning", "yDefaultWarning", "dxDefaultWarning", "dyDefaultWarning",
      "xPosAddFileType", "yPosAddFileType", "dxPosAddFileType", "dyPosAddFileType",
  };
  {
    RegView64 view;
    for (const char* place : kPlaces) RegRemoveValue(HKEY_CURRENT_USER, kProductKey, place);
  }

  RestoreDelayedPrograms();
  WriteOption("Installed", 0);
  RegRemoveKeyTree(HKEY_CURRENT_USER, "Software\\Orvenn Studios");

  char menu[260];
  if (RegReadString(HKEY_CLASSES_ROOT, "exefile\\shell\\Vandrelix QOVA", "", menu, sizeof menu) > 0)
    RegRemoveKeyTree(HKEY_CLASSES_ROOT, "exefile\\shell\\Vandrelix QOVA");
}

void CopyAutoUpdateOption() {
  RunningOnWow64 = IsWow64();
  if (RunningOnWow64) return;  // 64-bit Windows keeps its own option
  DWORD option = RegReadDword(HKEY_CURRENT_USER, kProductKey, "AUOptions");
  RegWriteDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update",
                "AUOptions", &option);
}

void WriteUrlPrefixes() {
  if (IsWow64()) RunningOnWow64 = 1;
  RegView64 view;
  char prefix[256];
  if (RegReadString(HKEY_CURRENT_USER, kProductKey, "wwwPrefix", prefix, sizeof prefix) == 0)
    LoadText(1061, prefix, sizeof prefix);
  RegWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes", "www", prefix);
  RegWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix", "", prefix);
}
