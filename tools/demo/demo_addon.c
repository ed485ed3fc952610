/* A demonstration browser add-on or control for the pictures of the IE Helpers and ActiveX pages: a
   library that only loads. Its resources give each copy a company, a product and an icon. */
#include <windows.h>
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) { return TRUE; }
