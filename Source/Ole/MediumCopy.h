// Duplication of a storage medium, for a data object that hands out or keeps its own copy.
#pragma once

#include <windows.h>
#include <objidl.h>

// Makes `dst` an independent copy of `src` for the media that can be copied: global memory,
// enhanced metafile, file name, bitmap (TYMED_GDI holding a bitmap) and metafile picture. The
// release owner of `src` goes with the copy with an added reference. E_OUTOFMEMORY for any other
// medium, a null handle, or when the copy cannot be made; `dst` is then empty (TYMED_NULL).
HRESULT DuplicateMedium(const STGMEDIUM& src, STGMEDIUM& dst);
