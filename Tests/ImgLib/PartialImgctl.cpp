// A test library with six of the image library's seven entry points (PNGAtoDIB is missing).
#include <windows.h>

extern "C" {
__declspec(dllexport) HANDLE WINAPI ToDIB(const char*) { return nullptr; }
__declspec(dllexport) int WINAPI DIBto24Bit(HANDLE) { return 0; }
__declspec(dllexport) void* WINAPI DataDIB(HANDLE) { return nullptr; }
__declspec(dllexport) BOOL WINAPI DeleteDIB(HANDLE) { return FALSE; }
__declspec(dllexport) int WINAPI GetImageType(const char*, int) { return 3; }
__declspec(dllexport) HANDLE WINAPI GIFtoDIBex(const char*, void*) { return nullptr; }
}
