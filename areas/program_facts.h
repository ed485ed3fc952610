// What the area lists show about a program file: whether it is there, its version texts and its size.
// Each file is read once per enumeration and the facts are kept until the next area enumeration, so an
// enumeration and the page it fills read every file once (a version read costs milliseconds).
#pragma once

struct ProgramFacts {
  char path[260];      // the file that was read (a bare name found in a Windows folder gets its folder)
  int found;           // the file exists
  char company[128];
  char description[128];  // FileDescription
  char product[128];
  char version[128];   // ProductVersion
  char sizeText[24];   // grouped byte count; empty unless the facts were asked for with their size
};

// The facts of a program path (an ExeFromCommand result); read on first request, then kept. `withSize`
// adds the size text (the size is read once too); `firstRequest`, when given, tells whether this was
// the first request for the path since the facts were last dropped. Never null.
const ProgramFacts* ProgramFactsOf(const char* path, int withSize, int* firstRequest = nullptr);
// Drops every kept fact; each area enumeration starts with this.
void ForgetProgramFacts();
// Files whose version resource was read since the program started (the benchmarks report it).
extern int ProgramFactsReads;
