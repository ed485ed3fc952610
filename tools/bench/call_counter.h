// Counts calls a benchmark's own code makes to a system function, by redirecting the function's entry
// in the program's import table to a counting stand-in. Only the benchmark uses it.
#pragma once
#include <windows.h>
#include <string.h>

// Replaces the import of `function` from `library` in this program by `standIn`; returns the original.
inline void* RedirectImport(const char* library, const char* function, void* standIn) {
  BYTE* base = (BYTE*)GetModuleHandleA(nullptr);
  IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
  IMAGE_DATA_DIRECTORY directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!directory.VirtualAddress) return nullptr;
  for (IMAGE_IMPORT_DESCRIPTOR* d = (IMAGE_IMPORT_DESCRIPTOR*)(base + directory.VirtualAddress); d->Name; ++d) {
    if (lstrcmpiA((const char*)(base + d->Name), library) != 0) continue;
    IMAGE_THUNK_DATA* names = (IMAGE_THUNK_DATA*)(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
    IMAGE_THUNK_DATA* slots = (IMAGE_THUNK_DATA*)(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      IMAGE_IMPORT_BY_NAME* byName = (IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData);
      if (strcmp((const char*)byName->Name, function) != 0) continue;
      DWORD old = 0;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
      void* original = (void*)slots->u1.Function;
      slots->u1.Function = (ULONG_PTR)standIn;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
      return original;
    }
  }
  return nullptr;
}
