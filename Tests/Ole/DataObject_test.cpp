// The drag objects: data object rules, the format enumerator, the drop source and the data a file
// drag offers, also as the system's clipboard sees it.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "Ole/DataObject.h"
#include "Ole/DropSource.h"
#include "Ole/FileDragData.h"
#include "Kv/KvClipboard.h"
#include "Kv/KvHandles.h"

namespace {

FORMATETC Format(CLIPFORMAT cf, DWORD tymed = TYMED_HGLOBAL, DWORD aspect = DVASPECT_CONTENT) {
    return FORMATETC{cf, nullptr, aspect, -1, tymed};
}

HGLOBAL GlobalWith(const std::string& bytes) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size() + 1);
    char* p = static_cast<char*>(GlobalLock(h));
    std::memcpy(p, bytes.c_str(), bytes.size() + 1);
    GlobalUnlock(h);
    return h;
}

std::string GlobalText(HGLOBAL h) {
    kv::GlobalLockScope<char> lock(h);
    return lock ? std::string(lock.get()) : std::string("<unlocked>");
}

// Stores `bytes` under `cf` in global memory, ownership passed.
HRESULT StoreText(IDataObject* data, CLIPFORMAT cf, const std::string& bytes) {
    FORMATETC fe = Format(cf);
    STGMEDIUM m{};
    m.tymed = TYMED_HGLOBAL;
    m.hGlobal = GlobalWith(bytes);
    const HRESULT hr = data->SetData(&fe, &m, TRUE);
    if (FAILED(hr)) GlobalFree(m.hGlobal);
    return hr;
}

// A release owner that counts its references.
class CountingUnknown : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    ULONG refs = 1;
};

std::vector<CLIPFORMAT> EnumeratedFormats(IDataObject* data) {
    std::vector<CLIPFORMAT> out;
    kv::ComPtr<IEnumFORMATETC> e;
    if (FAILED(data->EnumFormatEtc(DATADIR_GET, &e))) return out;
    FORMATETC fe;
    while (e->Next(1, &fe, nullptr) == S_OK) out.push_back(fe.cfFormat);
    return out;
}

}  // namespace

TEST(DataObject, GetDataChecksArgumentsAspectAndFormat) {
    kv::ComPtr<CDataObject> data(new CDataObject());
    FORMATETC text = Format(CF_TEXT);
    STGMEDIUM m{};
    EXPECT_EQ(E_INVALIDARG, data->GetData(nullptr, &m));
    EXPECT_EQ(E_INVALIDARG, data->GetData(&text, nullptr));
    EXPECT_EQ(E_INVALIDARG, data->QueryGetData(nullptr));
    EXPECT_EQ(E_INVALIDARG, data->SetData(nullptr, &m, TRUE));
    EXPECT_EQ(E_INVALIDARG, data->SetData(&text, nullptr, TRUE));
    EXPECT_EQ(DV_E_FORMATETC, data->GetData(&text, &m));  // nothing stored yet

    ASSERT_EQ(S_OK, StoreText(data.get(), CF_TEXT, "hello"));
    FORMATETC icon = Format(CF_TEXT, TYMED_HGLOBAL, DVASPECT_ICON);
    EXPECT_EQ(DV_E_DVASPECT, data->GetData(&icon, &m));
    EXPECT_EQ(DV_E_DVASPECT, data->QueryGetData(&icon));
    FORMATETC other = Format(CF_HDROP);
    EXPECT_EQ(DV_E_FORMATETC, data->GetData(&other, &m));
    EXPECT_EQ(DV_E_FORMATETC, data->QueryGetData(&other));
    FORMATETC stream = Format(CF_TEXT, TYMED_ISTREAM);
    EXPECT_EQ(DV_E_FORMATETC, data->QueryGetData(&stream));
    FORMATETC either = Format(CF_TEXT, TYMED_ISTREAM | TYMED_HGLOBAL);
    EXPECT_EQ(S_OK, data->QueryGetData(&either));
    ASSERT_EQ(S_OK, data->GetData(&either, &m));
    EXPECT_EQ(static_cast<DWORD>(TYMED_HGLOBAL), m.tymed);
    EXPECT_EQ("hello", GlobalText(m.hGlobal));
    ReleaseStgMedium(&m);
}

TEST(DataObject, DefaultCapacityIsTwoAndFirstMatchWins) {
    kv::ComPtr<CDataObject> two(new CDataObject());
    EXPECT_EQ(2u, two->capacity());
    EXPECT_EQ(S_OK, StoreText(two.get(), CF_TEXT, "first"));
    EXPECT_EQ(S_OK, StoreText(two.get(), CF_TEXT, "second"));
    EXPECT_EQ(E_OUTOFMEMORY, StoreText(two.get(), CF_OEMTEXT, "third"));
    EXPECT_EQ(2u, two->count());
    FORMATETC fe = Format(CF_TEXT);
    STGMEDIUM m{};
    ASSERT_EQ(S_OK, two->GetData(&fe, &m));
    EXPECT_EQ("first", GlobalText(m.hGlobal));
    ReleaseStgMedium(&m);
}

TEST(DataObject, MediaAreDuplicatedSoCopiesAreIndependent) {
    kv::ComPtr<CDataObject> data(new CDataObject(4));
    ASSERT_EQ(S_OK, StoreText(data.get(), CF_TEXT, "original"));
    FORMATETC fe = Format(CF_TEXT);
    STGMEDIUM m{};
    ASSERT_EQ(S_OK, data->GetData(&fe, &m));
    EXPECT_EQ(nullptr, m.pUnkForRelease);
    {
        kv::GlobalLockScope<char> lock(m.hGlobal);
        ASSERT_TRUE(lock);
        lock.get()[0] = 'X';
    }
    ReleaseStgMedium(&m);
    ASSERT_EQ(S_OK, data->GetData(&fe, &m));
    EXPECT_EQ("original", GlobalText(m.hGlobal));
    ReleaseStgMedium(&m);

    // Without ownership the object keeps a copy, so the caller may free its own block at once.
    FORMATETC oem = Format(CF_OEMTEXT);
    STGMEDIUM mine{};
    mine.tymed = TYMED_HGLOBAL;
    mine.hGlobal = GlobalWith("kept");
    ASSERT_EQ(S_OK, data->SetData(&oem, &mine, FALSE));
    GlobalFree(mine.hGlobal);
    ASSERT_EQ(S_OK, data->GetData(&oem, &m));
    EXPECT_EQ("kept", GlobalText(m.hGlobal));
    ReleaseStgMedium(&m);

    // An enhanced metafile comes back as a metafile of its own with the same contents.
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    Rectangle(dc, 0, 0, 10, 10);
    FORMATETC emf = Format(CF_ENHMETAFILE, TYMED_ENHMF);
    STGMEDIUM stored{};
    stored.tymed = TYMED_ENHMF;
    stored.hEnhMetaFile = CloseEnhMetaFile(dc);
    ASSERT_EQ(S_OK, data->SetData(&emf, &stored, TRUE));
    ASSERT_EQ(S_OK, data->GetData(&emf, &m));
    EXPECT_NE(stored.hEnhMetaFile, m.hEnhMetaFile);
    EXPECT_EQ(GetEnhMetaFileBits(stored.hEnhMetaFile, 0, nullptr), GetEnhMetaFileBits(m.hEnhMetaFile, 0, nullptr));
    ReleaseStgMedium(&m);

    // A stream is not a medium the object can copy.
    FORMATETC sf = Format(CF_DIB, TYMED_ISTREAM);
    STGMEDIUM sm{};
    sm.tymed = TYMED_ISTREAM;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &sm.pstm));
    ASSERT_EQ(S_OK, data->SetData(&sf, &sm, TRUE));
    EXPECT_EQ(E_OUTOFMEMORY, data->GetData(&sf, &m));
}

TEST(DataObject, ReferenceCountsAndReleaseOwner) {
    CDataObject* data = new CDataObject();
    EXPECT_EQ(2u, data->AddRef());
    IUnknown* unknown = nullptr;
    ASSERT_EQ(S_OK, data->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    IDataObject* asData = nullptr;
    ASSERT_EQ(S_OK, data->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&asData)));
    void* target = &data;
    EXPECT_EQ(E_NOINTERFACE, data->QueryInterface(IID_IDropTarget, &target));
    EXPECT_EQ(nullptr, target);
    EXPECT_EQ(3u, unknown->Release());
    EXPECT_EQ(2u, asData->Release());
    EXPECT_EQ(1u, data->Release());

    // The owner of a stored medium goes with each copy and is released when the object goes.
    CountingUnknown owner;
    HGLOBAL block = GlobalWith("owned elsewhere");
    FORMATETC fe = Format(CF_TEXT);
    STGMEDIUM m{};
    m.tymed = TYMED_HGLOBAL;
    m.hGlobal = block;
    m.pUnkForRelease = &owner;
    ASSERT_EQ(S_OK, data->SetData(&fe, &m, TRUE));
    EXPECT_EQ(1u, owner.refs);
    STGMEDIUM out{};
    ASSERT_EQ(S_OK, data->GetData(&fe, &out));
    EXPECT_EQ(&owner, out.pUnkForRelease);
    EXPECT_EQ(2u, owner.refs);
    EXPECT_NE(block, out.hGlobal);
    GlobalFree(out.hGlobal);
    out.hGlobal = nullptr;
    ReleaseStgMedium(&out);
    EXPECT_EQ(1u, owner.refs);
    EXPECT_EQ(0u, data->Release());
    EXPECT_EQ(0u, owner.refs);
    GlobalFree(block);

    CDropSource* source = new CDropSource();
    EXPECT_EQ(2u, source->AddRef());
    EXPECT_EQ(1u, source->Release());
    EXPECT_EQ(0u, source->Release());
}

TEST(EnumFormatEtc, NextSkipResetAndDirection) {
    kv::ComPtr<CDataObject> data(new CDataObject(3));
    for (CLIPFORMAT cf : {CF_TEXT, CF_OEMTEXT, CF_HDROP}) ASSERT_EQ(S_OK, StoreText(data.get(), cf, "x"));
    kv::ComPtr<IEnumFORMATETC> e;
    EXPECT_EQ(E_NOTIMPL, data->EnumFormatEtc(DATADIR_SET, &e));
    ASSERT_EQ(S_OK, data->EnumFormatEtc(DATADIR_GET, &e));

    FORMATETC got[4]{};
    ULONG fetched = 99;
    EXPECT_EQ(S_FALSE, e->Next(0, got, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(S_FALSE, e->Next(1, nullptr, &fetched));
    EXPECT_EQ(S_FALSE, e->Next(2, got, nullptr));  // more than one needs a counter
    EXPECT_EQ(S_OK, e->Next(1, got, nullptr));     // none of the above moved the position
    EXPECT_EQ(CF_TEXT, got[0].cfFormat);
    EXPECT_EQ(S_OK, e->Next(1, got, &fetched));
    EXPECT_EQ(1u, fetched);
    EXPECT_EQ(CF_OEMTEXT, got[0].cfFormat);

    ASSERT_EQ(S_OK, e->Reset());
    EXPECT_EQ(S_FALSE, e->Next(4, got, &fetched));  // only three there
    EXPECT_EQ(3u, fetched);
    EXPECT_EQ(CF_HDROP, got[2].cfFormat);
    EXPECT_EQ(static_cast<DWORD>(TYMED_HGLOBAL), got[2].tymed);
    EXPECT_EQ(S_FALSE, e->Next(1, got, &fetched));  // at the end
    EXPECT_EQ(0u, fetched);

    ASSERT_EQ(S_OK, e->Reset());
    EXPECT_EQ(S_OK, e->Skip(2));
    EXPECT_EQ(S_FALSE, e->Skip(5));
    EXPECT_EQ(S_FALSE, e->Next(1, got, nullptr));
    e->Reset();
    EXPECT_EQ(S_OK, e->Skip(3));
    EXPECT_EQ(S_FALSE, e->Next(1, got, nullptr));
}

TEST(EnumFormatEtc, CloneKeepsPositionAndDropsFormatZero) {
    kv::ComPtr<CDataObject> data(new CDataObject(3));
    for (CLIPFORMAT cf : {CLIPFORMAT(CF_TEXT), CLIPFORMAT(0), CLIPFORMAT(CF_HDROP)})
        ASSERT_EQ(S_OK, StoreText(data.get(), cf, "x"));
    kv::ComPtr<IEnumFORMATETC> e;
    ASSERT_EQ(S_OK, data->EnumFormatEtc(DATADIR_GET, &e));
    FORMATETC got[3]{};
    ASSERT_EQ(S_OK, e->Next(1, got, nullptr));

    kv::ComPtr<IEnumFORMATETC> clone;
    ASSERT_EQ(S_OK, e->Clone(&clone));
    ULONG fetched = 0;
    EXPECT_EQ(S_FALSE, clone->Next(3, got, &fetched));
    ASSERT_EQ(1u, fetched);
    EXPECT_EQ(CF_HDROP, got[0].cfFormat);  // position 1 of [TEXT, HDROP]
    clone->Reset();
    EXPECT_EQ(S_FALSE, clone->Next(3, got, &fetched));
    EXPECT_EQ(2u, fetched);

    // The original still holds all three, at its own position.
    EXPECT_EQ(S_OK, e->Next(2, got, &fetched));
    EXPECT_EQ(0, got[0].cfFormat);

    // A clone taken at the end of the original stays at the end even though it is shorter.
    kv::ComPtr<IEnumFORMATETC> atEnd;
    ASSERT_EQ(S_OK, e->Clone(&atEnd));
    EXPECT_EQ(S_FALSE, atEnd->Next(1, got, nullptr));
    EXPECT_EQ(E_INVALIDARG, e->Clone(nullptr));
}

TEST(EnumFormatEtc, TargetDeviceIsCopiedForEveryHolder) {
    kv::ComPtr<CDataObject> data(new CDataObject());
    const DWORD size = sizeof(DVTARGETDEVICE) + 16;
    auto* device = static_cast<DVTARGETDEVICE*>(CoTaskMemAlloc(size));
    std::memset(device, 0x5A, size);
    device->tdSize = size;
    FORMATETC fe = Format(CF_TEXT);
    fe.ptd = device;
    STGMEDIUM m{};
    m.tymed = TYMED_HGLOBAL;
    m.hGlobal = GlobalWith("x");
    ASSERT_EQ(S_OK, data->SetData(&fe, &m, TRUE));
    std::vector<unsigned char> expected(reinterpret_cast<unsigned char*>(device),
                                        reinterpret_cast<unsigned char*>(device) + size);
    CoTaskMemFree(device);  // the caller's description is its own to free

    kv::ComPtr<IEnumFORMATETC> e;
    ASSERT_EQ(S_OK, data->EnumFormatEtc(DATADIR_GET, &e));
    for (int round = 0; round < 2; ++round) {
        FORMATETC got{};
        ASSERT_EQ(S_OK, e->Next(1, &got, nullptr));
        ASSERT_NE(nullptr, got.ptd);
        EXPECT_EQ(0, std::memcmp(expected.data(), got.ptd, size));
        CoTaskMemFree(got.ptd);  // each handed-out description owns its device block
        e->Reset();
    }
}

TEST(DropSource, EscapeOrBothButtonsCancelReleaseDrops) {
    kv::ComPtr<CDropSource> source(new CDropSource());
    EXPECT_EQ(DRAGDROP_S_CANCEL, source->QueryContinueDrag(TRUE, MK_LBUTTON));
    EXPECT_EQ(DRAGDROP_S_CANCEL, source->QueryContinueDrag(FALSE, MK_LBUTTON | MK_RBUTTON));
    EXPECT_EQ(DRAGDROP_S_CANCEL, source->QueryContinueDrag(FALSE, MK_LBUTTON | MK_RBUTTON | MK_SHIFT));
    EXPECT_EQ(DRAGDROP_S_DROP, source->QueryContinueDrag(FALSE, 0));
    EXPECT_EQ(DRAGDROP_S_DROP, source->QueryContinueDrag(FALSE, MK_CONTROL));
    EXPECT_EQ(S_OK, source->QueryContinueDrag(FALSE, MK_LBUTTON));
    EXPECT_EQ(S_OK, source->QueryContinueDrag(FALSE, MK_RBUTTON | MK_CONTROL));
    EXPECT_EQ(DRAGDROP_S_USEDEFAULTCURSORS, source->GiveFeedback(DROPEFFECT_COPY));
}

TEST(FileDragData, ThreePathsGiveOneListAndTheFirstPathAsText) {
    const std::vector<std::wstring> paths = {L"C:\\data\\first.txt", L"C:\\data\\second.doc",
                                             L"D:\\other place\\third.png"};
    kv::ComPtr<CDataObject> data(MakeFileDragData(paths));
    ASSERT_TRUE(data);
    EXPECT_EQ((std::vector<CLIPFORMAT>{CF_UNICODETEXT, CF_TEXT, CF_HDROP}), EnumeratedFormats(data.get()));

    FORMATETC drop = Format(CF_HDROP);
    STGMEDIUM m{};
    ASSERT_EQ(S_OK, data->GetData(&drop, &m));
    {
        HDROP h = static_cast<HDROP>(m.hGlobal);
        ASSERT_EQ(3u, DragQueryFileW(h, 0xFFFFFFFF, nullptr, 0));
        for (UINT i = 0; i < 3; ++i) {
            wchar_t buf[MAX_PATH];
            DragQueryFileW(h, i, buf, MAX_PATH);
            EXPECT_EQ(paths[i], buf);
        }
    }
    ReleaseStgMedium(&m);

    FORMATETC wide = Format(CF_UNICODETEXT);
    ASSERT_EQ(S_OK, data->GetData(&wide, &m));
    {
        kv::GlobalLockScope<wchar_t> lock(m.hGlobal);
        EXPECT_EQ(paths[0], std::wstring(lock.get()));
    }
    ReleaseStgMedium(&m);

    // 8-bit text really is 8-bit: the ASCII path byte for byte, not UTF-16 code units.
    FORMATETC narrow = Format(CF_TEXT);
    ASSERT_EQ(S_OK, data->GetData(&narrow, &m));
    EXPECT_EQ("C:\\data\\first.txt", GlobalText(m.hGlobal));
    ReleaseStgMedium(&m);

    EXPECT_EQ(nullptr, MakeFileDragData({}));
    EXPECT_EQ(nullptr, MakeFileDragData({L"C:\\a.txt", L""}));
}

TEST(FileDragData, SystemClipboardReadsTheOffer) {
    const std::vector<std::wstring> paths = {L"C:\\data\\一.txt", L"C:\\data\\two.txt"};
    kv::ComPtr<CDataObject> data(MakeFileDragData(paths));
    ASSERT_TRUE(data);
    ASSERT_EQ(S_OK, OleSetClipboard(data.get()));
    std::vector<std::wstring> read;
    EXPECT_TRUE(KvReadClipboardFiles(nullptr, read));
    EXPECT_EQ(paths, read);

    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE text = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(nullptr, text);
    {
        kv::GlobalLockScope<wchar_t> lock(text);
        EXPECT_EQ(paths[0], std::wstring(lock.get()));
    }
    CloseClipboard();
    EXPECT_EQ(S_OK, OleSetClipboard(nullptr));
}
