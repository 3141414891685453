// The drop source of a drag started in the filer (IDropSource). Starts with one reference, held by
// its creator, and deletes itself when the last one is released.
#pragma once

#include <windows.h>
#include <ole2.h>

class CDropSource final : public IDropSource {
public:
    CDropSource() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // DRAGDROP_S_CANCEL when Escape was pressed or both the left and right buttons are down,
    // DRAGDROP_S_DROP when neither is down, S_OK (go on dragging) otherwise.
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    // Always the system's default drag cursors.
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;

private:
    ~CDropSource() = default;
    CDropSource(const CDropSource&) = delete;
    CDropSource& operator=(const CDropSource&) = delete;

    LONG refs_ = 1;
};
