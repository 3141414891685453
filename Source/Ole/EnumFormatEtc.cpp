// The enumerator handed out by CDataObject::EnumFormatEtc.
#include "Ole/EnumFormatEtc.h"

#include <cstring>
#include <new>

bool CopyFormatEtc(const FORMATETC& src, FORMATETC& dst) {
    dst = src;
    dst.ptd = nullptr;
    if (!src.ptd) return true;
    // tdSize is the size of the whole block, header and the strings after it included.
    const DWORD size = src.ptd->tdSize;
    if (size < sizeof(DVTARGETDEVICE)) return false;
    void* copy = CoTaskMemAlloc(size);
    if (!copy) return false;
    std::memcpy(copy, src.ptd, size);
    dst.ptd = static_cast<DVTARGETDEVICE*>(copy);
    return true;
}

void FreeFormatEtc(FORMATETC& format) {
    CoTaskMemFree(format.ptd);
    format.ptd = nullptr;
}

HRESULT CEnumFORMATETC::Create(const FORMATETC* formats, ULONG count, IEnumFORMATETC** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (count > 0 && !formats) return E_INVALIDARG;
    CEnumFORMATETC* e = new (std::nothrow) CEnumFORMATETC();
    if (!e) return E_OUTOFMEMORY;
    if (!e->Fill(formats, count, false)) {
        e->Release();
        return E_OUTOFMEMORY;
    }
    *out = e;
    return S_OK;
}

CEnumFORMATETC::~CEnumFORMATETC() {
    for (ULONG i = 0; i < count_; ++i) FreeFormatEtc(formats_[i]);
}

bool CEnumFORMATETC::Fill(const FORMATETC* formats, ULONG count, bool skipFormatZero) {
    if (count == 0) return true;
    formats_.reset(new (std::nothrow) FORMATETC[count]);
    if (!formats_) return false;
    for (ULONG i = 0; i < count; ++i) {
        if (skipFormatZero && formats[i].cfFormat == 0) continue;
        if (!CopyFormatEtc(formats[i], formats_[count_])) return false;
        ++count_;
    }
    return true;
}

HRESULT CEnumFORMATETC::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IEnumFORMATETC) {
        *ppv = static_cast<IEnumFORMATETC*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CEnumFORMATETC::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG CEnumFORMATETC::Release() {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

HRESULT CEnumFORMATETC::Next(ULONG n, FORMATETC* out, ULONG* fetched) {
    if (fetched) *fetched = 0;
    if (n == 0 || !out || position_ >= count_ || (!fetched && n != 1)) return S_FALSE;
    ULONG copied = 0;
    while (copied < n && position_ + copied < count_) {
        if (!CopyFormatEtc(formats_[position_ + copied], out[copied])) {
            for (ULONG i = 0; i < copied; ++i) FreeFormatEtc(out[i]);
            return E_OUTOFMEMORY;
        }
        ++copied;
    }
    position_ += copied;
    if (fetched) *fetched = copied;
    return copied == n ? S_OK : S_FALSE;
}

HRESULT CEnumFORMATETC::Skip(ULONG n) {
    const ULONG left = count_ - position_;
    if (n > left) {
        position_ = count_;
        return S_FALSE;
    }
    position_ += n;
    return S_OK;
}

HRESULT CEnumFORMATETC::Reset() {
    position_ = 0;
    return S_OK;
}

HRESULT CEnumFORMATETC::Clone(IEnumFORMATETC** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    CEnumFORMATETC* e = new (std::nothrow) CEnumFORMATETC();
    if (!e) return E_OUTOFMEMORY;
    if (!e->Fill(formats_.get(), count_, true)) {
        e->Release();
        return E_OUTOFMEMORY;
    }
    e->position_ = position_ < e->count_ ? position_ : e->count_;
    *out = e;
    return S_OK;
}
