// Which program opens each file type of the watched list, from the three places Windows records an
// association: the machine's class, and the application or ProgID the user chose in Explorer.
#pragma once

enum { kCodeFileType = 400 };
enum { kAssocSystem = 1, kAssocApplication = 2, kAssocProgId = 3 };

// HKCU; its default value lists extensions without dots, each followed by ";". Only read here.
extern const char kWatchedListKey[];

// The class (kind 1), application (2) or ProgID (3) of an extension, with or without its dot, and
// its open command. 1 with both filled (260 each) when the kind has a command; else 0, outputs untouched.
int GetAssociation(const char* extension, char* className, char* command, int kind);
// Clears the table and lists up to three rows per watched extension; a missing list gives none.
int EnumerateFileTypes();
const char* AssociationKindText(int kind);  // "System" or "Explorer"
