// Copies of global memory blocks, metafiles, bitmaps and file names held in storage media.
#include "Ole/MediumCopy.h"

#include "Kv/KvHandles.h"

#include <cstring>
#include <cwchar>

namespace {

HGLOBAL CopyGlobal(HGLOBAL src) {
    if (!src) return nullptr;
    const SIZE_T size = GlobalSize(src);
    if (size == 0) return nullptr;
    kv::GlobalLockScope<unsigned char> from(src);
    if (!from) return nullptr;
    kv::UniqueGlobal copy(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!copy) return nullptr;
    {
        kv::GlobalLockScope<unsigned char> to(copy.get());
        if (!to) return nullptr;
        std::memcpy(to.get(), from.get(), size);
    }
    return copy.release();
}

// A METAFILEPICT block owns its metafile, so the copy gets a metafile of its own.
HGLOBAL CopyMetafilePict(HGLOBAL src) {
    if (!src || GlobalSize(src) < sizeof(METAFILEPICT)) return nullptr;
    kv::GlobalLockScope<METAFILEPICT> from(src);
    if (!from) return nullptr;
    HMETAFILE metafile = CopyMetaFileW(from.get()->hMF, nullptr);
    if (!metafile) return nullptr;
    kv::UniqueGlobal copy(GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT)));
    if (copy) {
        kv::GlobalLockScope<METAFILEPICT> to(copy.get());
        if (to) {
            *to.get() = *from.get();
            to.get()->hMF = metafile;
            return copy.release();
        }
    }
    DeleteMetaFile(metafile);
    return nullptr;
}

HBITMAP CopyBitmap(HGDIOBJ src) {
    if (!src || GetObjectType(src) != OBJ_BITMAP) return nullptr;
    DIBSECTION dib{};
    const bool isDib = GetObjectW(src, sizeof(dib), &dib) == sizeof(dib);
    return static_cast<HBITMAP>(CopyImage(src, IMAGE_BITMAP, 0, 0, isDib ? LR_CREATEDIBSECTION : 0));
}

LPOLESTR CopyFileName(LPCOLESTR src) {
    if (!src) return nullptr;
    const size_t bytes = (std::wcslen(src) + 1) * sizeof(wchar_t);
    void* copy = CoTaskMemAlloc(bytes);
    if (copy) std::memcpy(copy, src, bytes);
    return static_cast<LPOLESTR>(copy);
}

}  // namespace

HRESULT DuplicateMedium(const STGMEDIUM& src, STGMEDIUM& dst) {
    dst = STGMEDIUM{};
    dst.tymed = TYMED_NULL;
    STGMEDIUM copy{};
    copy.tymed = src.tymed;
    switch (src.tymed) {
    case TYMED_HGLOBAL:
        copy.hGlobal = CopyGlobal(src.hGlobal);
        if (!copy.hGlobal) return E_OUTOFMEMORY;
        break;
    case TYMED_ENHMF:
        copy.hEnhMetaFile = src.hEnhMetaFile ? CopyEnhMetaFileW(src.hEnhMetaFile, nullptr) : nullptr;
        if (!copy.hEnhMetaFile) return E_OUTOFMEMORY;
        break;
    case TYMED_FILE:
        copy.lpszFileName = CopyFileName(src.lpszFileName);
        if (!copy.lpszFileName) return E_OUTOFMEMORY;
        break;
    case TYMED_GDI:
        copy.hBitmap = CopyBitmap(src.hBitmap);
        if (!copy.hBitmap) return E_OUTOFMEMORY;
        break;
    case TYMED_MFPICT:
        copy.hMetaFilePict = CopyMetafilePict(src.hMetaFilePict);
        if (!copy.hMetaFilePict) return E_OUTOFMEMORY;
        break;
    default:
        return E_OUTOFMEMORY;
    }
    copy.pUnkForRelease = src.pUnkForRelease;
    if (copy.pUnkForRelease) copy.pUnkForRelease->AddRef();
    dst = copy;
    return S_OK;
}
