// The binary interfaces of the external decoders, shared by the program (which calls them) and the
// decoders this project builds itself (imglib/imgctl.dll and its plug-ins).
//
// Image library: ToDIB makes a bitmap handle from an ANSI path; DIBto24Bit converts it to 24 bits
// per pixel (0: failed); DataDIB describes it (ImgctlDibData, null: failed); DeleteDIB frees it.
// GetImageType names the file's format (0: not an image; 3 PNG, 4 GIF). GIFtoDIBex decodes a GIF
// and reports its transparent colour in an ImgctlGifInfo; PNGAtoDIB gives a PNG's alpha plane as an
// 8-bit bitmap with rows of width rounded up to 4 bytes, bottom row first. Those seven take ANSI
// paths and stay for decoders written to them.
//
// This program's own library also has a wide-path entry point, which the program prefers:
// ToDIBScaledW decodes once into a 32-bit bitmap (blue, green, red, straight alpha; transparent
// pixels of a GIF have alpha 0), scaled while it is decoded to fit maxWidth x maxHeight keeping its
// proportions (never enlarged; 0 x 0 means the full size). DataDIB and DeleteDIB take its handle.
//
// Plug-ins: IsSupported looks at a path and the file's first 2000 bytes (non-zero: supported);
// GetPicture (flag 0: the first argument is a file name) returns a BITMAPINFO and the bits as two
// LocalAlloc blocks that the caller frees; 0 means success.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr int kImageTypeNone = 0;
constexpr int kImageTypeBmp = 1;
constexpr int kImageTypeJpeg = 2;
constexpr int kImageTypePng = 3;
constexpr int kImageTypeGif = 4;
constexpr int kImageTypeTiff = 5;
constexpr int kImageTypeOther = 6;

// What DataDIB returns: the third field points to the bitmap's BITMAPINFOHEADER, the fourth to its
// bits. The header's biSizeImage is the number of bytes the bits hold.
struct ImgctlDibData {
    uint32_t size;
    uint32_t reserved;
    BITMAPINFOHEADER* header;
    uint8_t* bits;
};

// GIFtoDIBex's record: `flags` is 8 on entry; 8 still set on return means that the three bytes
// of `transparent` are the transparent colour (blue, green, red).
constexpr uint32_t kGifTransparentFlag = 8;
struct ImgctlGifInfo {
    uint32_t flags;
    uint8_t transparent[4];
    uint32_t reserved[6];
};

using ImgctlToDib = HANDLE(WINAPI*)(const char* path);
using ImgctlDibTo24Bit = int(WINAPI*)(HANDLE dib);
using ImgctlDataDib = ImgctlDibData*(WINAPI*)(HANDLE dib);
using ImgctlDeleteDib = BOOL(WINAPI*)(HANDLE dib);
using ImgctlGetImageType = int(WINAPI*)(const char* path, int reserved);
using ImgctlGifToDibEx = HANDLE(WINAPI*)(const char* path, ImgctlGifInfo* info);
using ImgctlPngaToDib = HANDLE(WINAPI*)(const char* path);
using ImgctlToDibScaledW = HANDLE(WINAPI*)(const wchar_t* path, int maxWidth, int maxHeight);

constexpr size_t kPluginHeadBytes = 2000;

#pragma pack(push, 1)
struct PluginPictureInfo {
    long left;
    long top;
    long width;
    long height;
    WORD xDensity;
    WORD yDensity;
    short colorDepth;
    HLOCAL text;
};
#pragma pack(pop)

using PluginGetInfo = int(WINAPI*)(int number, char* buffer, int length);
using PluginIsSupported = int(WINAPI*)(const char* path, void* head);
using PluginGetPictureInfo = int(WINAPI*)(const char* source, intptr_t length, unsigned flag, PluginPictureInfo* info);
using PluginGetPicture = int(WINAPI*)(const char* source, intptr_t length, unsigned flag, HANDLE* info, HANDLE* bits,
                                      FARPROC progress, intptr_t data);
