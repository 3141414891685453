// A test plug-in that misbehaves. It takes files whose first four bytes are one of:
//   HOST  a header of 1000 x 1000 pixels with a 16-byte bits block;
//   WIDE  a header of 178,956,971 x 1 pixels (a 24-bit row length that wraps to 4 bytes in 32 bits)
//         with a 16-byte bits block;
//   WID2  89,478,486 x 2 pixels (a row length past 2^31 bytes), 16 bytes of bits;
//   SLOW  it sets the event "TfHostilePluginEntered", waits up to 30 s for "TfHostilePluginRelease"
//         and then reports an error;
//   FAIL  an error.
// Everything else it refuses.
#include <windows.h>

#include <cstring>
#include <initializer_list>

namespace {

bool Head(const char* bytes, const char* tag) { return std::memcmp(bytes, tag, 4) == 0; }

void Signal(const char* name) {
    if (HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name)) {
        SetEvent(event);
        CloseHandle(event);
    }
}

void WaitFor(const char* name) {
    if (HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, name)) {
        WaitForSingleObject(event, 30000);
        CloseHandle(event);
    }
}

}  // namespace

extern "C" {

__declspec(dllexport) int WINAPI GetPluginInfo(int number, char* buffer, int length) {
    if (number != 2 || length < 8) return 0;
    std::strcpy(buffer, "*.bin");
    return 5;
}

__declspec(dllexport) int WINAPI IsSupported(const char*, void* head) {
    const char* bytes = static_cast<const char*>(head);
    for (const char* tag : {"HOST", "WIDE", "WID2", "SLOW", "FAIL"})
        if (Head(bytes, tag)) return 1;
    return 0;
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
    if (Head(head, "SLOW")) {
        Signal("TfHostilePluginEntered");
        WaitFor("TfHostilePluginRelease");
        return 2;
    }
    LONG width = 0, height = 0;
    if (Head(head, "HOST")) width = height = 1000;
    if (Head(head, "WIDE")) width = 178956971, height = 1;
    if (Head(head, "WID2")) width = 89478486, height = 2;
    if (width == 0) return 2;
    HLOCAL header = LocalAlloc(LMEM_ZEROINIT, sizeof(BITMAPINFO));
    auto* bmi = static_cast<BITMAPINFOHEADER*>(header);
    bmi->biSize = sizeof(BITMAPINFOHEADER);
    bmi->biWidth = width;
    bmi->biHeight = height;
    bmi->biPlanes = 1;
    bmi->biBitCount = 24;
    *info = header;
    *bits = LocalAlloc(LMEM_ZEROINIT, 16);
    return 0;
}
}
