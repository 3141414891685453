// The data object that carries files out of the filer in a drag (IDataObject): a fixed number of
// records, each a format description and the medium stored for it.
//
// Ownership: the object starts with one reference, held by its creator, and deletes itself when
// the last one is released; it then releases every medium it holds (ReleaseStgMedium). A medium
// passed to SetData with ownership belongs to the object only when SetData succeeds.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <memory>

class CDataObject final : public IDataObject {
public:
    // `capacity` is the number of records SetData can store.
    explicit CDataObject(UINT capacity = 2);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // E_INVALIDARG for a null argument; DV_E_DVASPECT unless the content aspect is asked for;
    // DV_E_FORMATETC when no record has the clipboard format and a medium type among those asked
    // for. Otherwise the first matching record's medium is duplicated for the caller (who frees it
    // with ReleaseStgMedium); media that cannot be duplicated fail with E_OUTOFMEMORY.
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    // The checks of GetData; S_OK when a record matches.
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    // E_INVALIDARG for a null argument, E_OUTOFMEMORY when every record is taken. Stores the
    // description and either the medium itself (`release` true) or a duplicate of it.
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    // For DATADIR_GET only: an enumerator of copies of the stored descriptions.
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override;
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override;

    UINT count() const { return count_; }
    UINT capacity() const { return capacity_; }

private:
    ~CDataObject();
    CDataObject(const CDataObject&) = delete;
    CDataObject& operator=(const CDataObject&) = delete;

    struct Record {
        FORMATETC format;
        STGMEDIUM medium;
    };

    // The record GetData would answer `format` with, or null; `result` tells why there is none.
    const Record* Match(const FORMATETC* format, HRESULT& result) const;

    LONG refs_ = 1;
    UINT capacity_ = 0;
    UINT count_ = 0;
    std::unique_ptr<Record[]> records_;
};
