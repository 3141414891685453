// The external decoders: the image library "imglib/imgctl.dll" beside the program with its seven
// entry points, and the image plug-ins in "imglib\spi" (GetPluginInfo, IsSupported, GetPictureInfo,
// GetPicture). Both are process-wide; the thumbnail kind and its worker threads hold them loaded
// (ImageDecodersHold) while either lives. Every decode through them is serialised, so a decoder
// written for one thread is never entered twice at once (the thumbnail workers and the UI thread
// all reach them); deciding whether a file is an image never waits for a decode.
//
// This program's own image library is given wide paths (ToDIBScaledW). The plug-ins, and a library
// without that entry point, take ANSI paths: a path that the ANSI code page cannot spell exactly is
// handed over in its short (8.3) form when that can be spelled; otherwise, or when longer than 511
// bytes, it is never handed to them (a best-fit spelling could name another file).
#pragma once

#include <string>

class PictureSink;

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

// Keeps the library and the plug-ins loaded while any hold lives: the first hold loads them afresh,
// the last one to go unloads them, on whichever thread lets it go. A worker thread that may sit in
// a decode for long (a file on a share that does not answer) holds them itself, so that nobody
// unloading them has to wait for it.
class ImageDecodersHold {
public:
    ImageDecodersHold();
    ~ImageDecodersHold();
    ImageDecodersHold(const ImageDecodersHold&) = delete;
    ImageDecodersHold& operator=(const ImageDecodersHold&) = delete;
};

// Whether some decoder can read `path`, from its extension and its first bytes: the own
// extensions, the signature of a format the library reads, a plug-in's IsSupported. A path that
// may keep a call waiting (KvMayBlock) is never read: the own extensions and those of the formats
// the library reads decide.
bool IsLoadableImage(const std::wstring& path);

// The image library's and the plug-ins' steps of DecodePicture. The library scales while it
// decodes to fit maxWidth x maxHeight (0 x 0: full size) when it has the wide entry point.
bool LoadWithImageLibrary(const std::wstring& path, PictureSink& sink, int maxWidth, int maxHeight);
bool LoadWithPlugins(const std::wstring& path, PictureSink& sink);

// `path` (or its short form) in the ANSI code page; false when neither can be spelled there
// exactly or the result is too long.
bool AnsiPath(const std::wstring& path, std::string& ansi);
