/* A demonstration program for the demo set: started with one of its background switches ("/background",
   "-tray", "/compact") it stays running, as the real thing would, until it is ended; otherwise it only
   ends. Its resources give each copy a company, a description and an icon, so the lists have something
   to show. */
#include <string.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command, int show) {
  if (command && (strstr(command, "/background") || strstr(command, "-tray") || strstr(command, "/compact")))
    Sleep(INFINITE);
  return 0;
}
