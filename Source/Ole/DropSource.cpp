// Mouse and keyboard rules that end or continue a drag out of the filer.
#include "Ole/DropSource.h"

HRESULT CDropSource::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDropSource) {
        *ppv = static_cast<IDropSource*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CDropSource::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG CDropSource::Release() {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

HRESULT CDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
    const bool left = (keyState & MK_LBUTTON) != 0;
    const bool right = (keyState & MK_RBUTTON) != 0;
    if (escapePressed || (left && right)) return DRAGDROP_S_CANCEL;
    if (!left && !right) return DRAGDROP_S_DROP;
    return S_OK;
}

HRESULT CDropSource::GiveFeedback(DWORD) {
    return DRAGDROP_S_USEDEFAULTCURSORS;
}
