// The program's version, shown in reports and sent with online lookups.
#define VX_VERSION_BINARY 1, 0, 0, 1
#define VX_VERSION_TEXT "1.0.0.1"
