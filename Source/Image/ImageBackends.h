// The external decoders: the image library "imglib/imgctl.dll" beside the program with its seven
// entry points, and the image plug-ins in "imglib\spi" (GetPluginInfo, IsSupported, GetPictureInfo,
// GetPicture). Both are process-wide; the thumbnail kind loads them when it is made and unloads
// them when it goes. Every call into them is serialised, so a decoder written for one thread is
// never entered twice at once (the thumbnail worker and the UI thread both reach them).
//
// The external decoders take ANSI paths. A path that the ANSI code page cannot spell exactly is
// handed over in its short (8.3) form when that can be spelled; otherwise, or when longer than 511
// bytes, it is never handed to them (a best-fit spelling could name another file).
#pragma once

#include <string>

class DibImage;

// The folder holding imgctl.dll and spi\ (with a trailing backslash); empty (the default) means
// "imglib\" beside the executable.
void SetImglibDirectory(const std::wstring& directory);

// Unloads a loaded library, then loads it and looks up its entry points. False when it cannot be
// loaded; a library lacking an entry point is unloaded again and the result is still true.
bool LoadImageLibrary();
void UnloadImageLibrary();
bool ImageLibraryLoaded();

// Unloads every plug-in, then loads each file of "imglib\spi" that exports IsSupported,
// GetPictureInfo and GetPicture, in listing order.
void LoadPlugins();
void UnloadPlugins();
size_t PluginCount();

// Whether some decoder can read `path`: the own extensions, the library's type, a plug-in.
bool IsLoadableImage(const std::wstring& path);

// The image library's and the plug-ins' steps of DibImage::Load.
bool LoadWithImageLibrary(const std::wstring& path, DibImage& image);
bool LoadWithPlugins(const std::wstring& path, DibImage& image);

// `path` (or its short form) in the ANSI code page; false when neither can be spelled there
// exactly or the result is too long.
bool AnsiPath(const std::wstring& path, std::string& ansi);
