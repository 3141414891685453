// Enumerator of the format descriptions a data object offers (IEnumFORMATETC), and the deep copy of
// a format description that both the data object and the enumerator use.
//
// A description's target device (ptd) is memory of the task allocator owned by whoever holds the
// description: the data object and the enumerator keep their own copies, and every description that
// Next hands out carries a fresh copy that the caller frees with CoTaskMemFree, as the interface's
// contract requires. Sharing one pointer would let a caller free memory the object still reads.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <memory>

// Copies `src` into `dst`, giving `dst` its own copy of the target device; false (and `dst` with no
// target device) when that memory cannot be allocated or the device block is malformed.
bool CopyFormatEtc(const FORMATETC& src, FORMATETC& dst);
// Frees the target device of a description made by CopyFormatEtc and clears the pointer.
void FreeFormatEtc(FORMATETC& format);

class CEnumFORMATETC final : public IEnumFORMATETC {
public:
    // Makes an enumerator holding copies of `count` descriptions, positioned at the first; the new
    // object carries one reference, which `*out` receives.
    static HRESULT Create(const FORMATETC* formats, ULONG count, IEnumFORMATETC** out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // S_FALSE without copying when n is 0, out is null, the position is at the end, or n is not 1
    // and no fetched counter is given; otherwise copies up to n descriptions from the position on,
    // reports the number copied, and returns S_OK only when all n were copied.
    HRESULT STDMETHODCALLTYPE Next(ULONG n, FORMATETC* out, ULONG* fetched) override;
    // Advances at most to the end; S_FALSE when fewer than n descriptions were left.
    HRESULT STDMETHODCALLTYPE Skip(ULONG n) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    // A new enumerator holding the descriptions whose clipboard format is not 0, at the same
    // position (kept within its end).
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** out) override;

private:
    CEnumFORMATETC() = default;
    ~CEnumFORMATETC();
    CEnumFORMATETC(const CEnumFORMATETC&) = delete;
    CEnumFORMATETC& operator=(const CEnumFORMATETC&) = delete;

    // Fills the description array from `formats`, skipping format 0 when asked; false when memory
    // runs out (the descriptions copied so far are freed by the destructor).
    bool Fill(const FORMATETC* formats, ULONG count, bool skipFormatZero);

    LONG refs_ = 1;
    std::unique_ptr<FORMATETC[]> formats_;
    ULONG count_ = 0;
    ULONG position_ = 0;
};
