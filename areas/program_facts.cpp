#include "areas/program_facts.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "platform/file_facts.h"
#include "platform/text.h"

int ProgramFactsReads = 0;

namespace {

// Open addressing over upper-cased paths; twice the item table's size keeps probes short.
const unsigned kSlots = 8192;

struct Entry {
  char key[260];
  int sizeRead;
  ProgramFacts facts;
};
Entry* slots[kSlots];
unsigned used = 0;

void UpperKey(const char* path, char* key) {
  size_t i = 0;
  for (; path[i] && i + 1 < 260; ++i) key[i] = UpperChar(path[i]);
  key[i] = 0;
}

unsigned HashOf(const char* key) {
  unsigned h = 2166136261u;
  for (const unsigned char* p = (const unsigned char*)key; *p; ++p) h = (h ^ *p) * 16777619u;
  return h;
}

void ReadFacts(const char* path, ProgramFacts* facts) {
  CopyText(facts->path, path);
  char probe[260];
  CopyText(probe, path);
  facts->found = probe[0] && FileExists(probe);
  if (!facts->found) return;
  CopyText(facts->path, probe);
  static VersionFields fields;
  GetVersionFields(facts->path, &fields);
  ++ProgramFactsReads;
  CopyText(facts->company, fields.field[VF_CompanyName]);
  CopyText(facts->description, fields.field[VF_FileDescription]);
  CopyText(facts->product, fields.field[VF_ProductName]);
  CopyText(facts->version, fields.field[VF_ProductVersion]);
}

}  // namespace

const ProgramFacts* ProgramFactsOf(const char* path, int withSize, int* firstRequest) {
  static Entry overflow;  // a full table still answers, reading afresh
  char key[260];
  UpperKey(path ? path : "", key);
  unsigned slot = HashOf(key) % kSlots;
  Entry* entry = nullptr;
  for (unsigned probes = 0; probes < kSlots; ++probes, slot = (slot + 1) % kSlots) {
    if (!slots[slot]) break;
    if (strcmp(slots[slot]->key, key) == 0) {
      entry = slots[slot];
      break;
    }
  }
  if (firstRequest) *firstRequest = entry == nullptr;
  if (!entry) {
    if (used + 1 < kSlots && !slots[slot]) entry = (Entry*)calloc(1, sizeof(Entry));
    if (entry) {
      slots[slot] = entry;
      ++used;
    } else {
      entry = &overflow;
      memset(entry, 0, sizeof *entry);
    }
    CopyText(entry->key, key);
    ReadFacts(path ? path : "", &entry->facts);
  }
  if (withSize && !entry->sizeRead) {
    entry->sizeRead = 1;
    FileFacts file;
    if (entry->facts.found && GetFileFacts(entry->facts.path, 0, &file)) CopyText(entry->facts.sizeText, file.sizeText);
  }
  return &entry->facts;
}

void ForgetProgramFacts() {
  for (unsigned i = 0; i < kSlots; ++i) {
    free(slots[i]);
    slots[i] = nullptr;
  }
  used = 0;
}
