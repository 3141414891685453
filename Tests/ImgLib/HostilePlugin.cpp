// A test plug-in that misbehaves: it takes files starting with "HOST" and returns a header of
// 1000 x 1000 pixels with a 16-byte bits block; files starting with "FAIL" it takes and then reports
// an error for; everything else it refuses.
#include <windows.h>

#include <cstring>

extern "C" {

__declspec(dllexport) int WINAPI GetPluginInfo(int number, char* buffer, int length) {
    if (number != 2 || length < 8) return 0;
    std::strcpy(buffer, "*.bin");
    return 5;
}

__declspec(dllexport) int WINAPI IsSupported(const char*, void* head) {
    const char* bytes = static_cast<const char*>(head);
    return std::memcmp(bytes, "HOST", 4) == 0 || std::memcmp(bytes, "FAIL", 4) == 0;
}

__declspec(dllexport) int WINAPI GetPictureInfo(const char*, intptr_t, unsigned, void*) { return 2; }

__declspec(dllexport) int WINAPI GetPicture(const char* path, intptr_t, unsigned, HANDLE* info, HANDLE* bits, FARPROC,
                                            intptr_t) {
    char head[4] = {};
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD read = 0;
    if (file != INVALID_HANDLE_VALUE) {
        ReadFile(file, head, 4, &read, nullptr);
        CloseHandle(file);
    }
    if (std::memcmp(head, "HOST", 4) != 0) return 2;
    HLOCAL header = LocalAlloc(LMEM_ZEROINIT, sizeof(BITMAPINFO));
    auto* bmi = static_cast<BITMAPINFOHEADER*>(header);
    bmi->biSize = sizeof(BITMAPINFOHEADER);
    bmi->biWidth = 1000;
    bmi->biHeight = 1000;
    bmi->biPlanes = 1;
    bmi->biBitCount = 24;
    *info = header;
    *bits = LocalAlloc(LMEM_ZEROINIT, 16);
    return 0;
}
}
