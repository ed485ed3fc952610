// First-detected dates (read only in this edition) and where a program's note file lives.
#pragma once

extern const char kDetectedRoot[];  // HKCU Software\Orvenn Studios\Detected

// The area subkey name a location code or area id (1010 and up) dates its items in, or null.
const char* DetectedAreaOf(int code);
int GetFirstDetected(const char* itemKey, int code, char* out);  // out: 24
int RecordFirstDetected(const char* itemKey, const char* areaKeyPath);
void CleanDetectedArea(const char* areaKeyPath);
int NoteFilePath(const char* itemFile, char* out);  // out: 260
// First-detected date of a file itself (the lists key startup programs by their executable path).
int FirstDetectedOfFile(const char* file, int code, char* out);
