// Storage, lookup and hand-out of the media of a CDataObject.
#include "Ole/DataObject.h"

#include "Ole/EnumFormatEtc.h"
#include "Ole/MediumCopy.h"

#include <new>

CDataObject::CDataObject(UINT capacity) {
    // Without memory for the records the object stays usable and simply refuses every SetData.
    records_.reset(new (std::nothrow) Record[capacity > 0 ? capacity : 1]);
    if (records_) capacity_ = capacity;
}

CDataObject::~CDataObject() {
    for (UINT i = 0; i < count_; ++i) {
        FreeFormatEtc(records_[i].format);
        ReleaseStgMedium(&records_[i].medium);
    }
}

HRESULT CDataObject::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDataObject) {
        *ppv = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CDataObject::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG CDataObject::Release() {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

const CDataObject::Record* CDataObject::Match(const FORMATETC* format, HRESULT& result) const {
    if (!(format->dwAspect & DVASPECT_CONTENT)) {
        result = DV_E_DVASPECT;
        return nullptr;
    }
    // The medium actually stored is what a caller receives, so its type is the one that must be
    // among the requested types.
    for (UINT i = 0; i < count_; ++i) {
        const Record& r = records_[i];
        if (r.format.cfFormat == format->cfFormat && (r.medium.tymed & format->tymed) != 0) {
            result = S_OK;
            return &r;
        }
    }
    result = DV_E_FORMATETC;
    return nullptr;
}

HRESULT CDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (!format || !medium) return E_INVALIDARG;
    HRESULT result = S_OK;
    const Record* record = Match(format, result);
    if (!record) return result;
    return DuplicateMedium(record->medium, *medium);
}

HRESULT CDataObject::GetDataHere(FORMATETC*, STGMEDIUM*) {
    return E_NOTIMPL;
}

HRESULT CDataObject::QueryGetData(FORMATETC* format) {
    if (!format) return E_INVALIDARG;
    HRESULT result = S_OK;
    Match(format, result);
    return result;
}

HRESULT CDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
}

HRESULT CDataObject::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) {
    if (!format || !medium) return E_INVALIDARG;
    if (count_ >= capacity_) return E_OUTOFMEMORY;
    Record& r = records_[count_];
    if (!CopyFormatEtc(*format, r.format)) return E_OUTOFMEMORY;
    if (release) {
        r.medium = *medium;
    } else {
        const HRESULT hr = DuplicateMedium(*medium, r.medium);
        if (FAILED(hr)) {
            FreeFormatEtc(r.format);
            return hr;
        }
    }
    ++count_;
    return S_OK;
}

HRESULT CDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    // The descriptions sit inside the records, so they are gathered into one array first.
    std::unique_ptr<FORMATETC[]> formats(new (std::nothrow) FORMATETC[count_ > 0 ? count_ : 1]);
    if (!formats) return E_OUTOFMEMORY;
    for (UINT i = 0; i < count_; ++i) formats[i] = records_[i].format;
    return CEnumFORMATETC::Create(formats.get(), count_, out);
}

HRESULT CDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT CDataObject::DUnadvise(DWORD) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT CDataObject::EnumDAdvise(IEnumSTATDATA**) {
    return OLE_E_ADVISENOTSUPPORTED;
}
