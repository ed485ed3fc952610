/* A demonstration program for the demo startup set: it only ends. Its resources give each copy a
   company, a description and an icon, so the list has something to show. */
#include <windows.h>
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command, int show) { return 0; }
