// The program's own image readers: uncompressed 32-bit TGA and the raw .argb format. Both read the
// file by its wide path and check every size the header claims against the bytes present before
// anything is allocated.
#pragma once

#include <string>

class PictureSink;

bool ReadTgaFile(const std::wstring& path, PictureSink& sink);
bool ReadArgbFile(const std::wstring& path, PictureSink& sink);
