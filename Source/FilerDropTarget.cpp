// The filer's drop target slots. Until drops are taken, every drag over the list is refused.
#include "KvFiler.h"

STDMETHODIMP CKvFiler::DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect)
{
    if (effect) *effect = DROPEFFECT_NONE;
    return S_OK;
}

STDMETHODIMP CKvFiler::DragOver(DWORD keyState, POINTL pt, DWORD* effect)
{
    if (effect) *effect = DROPEFFECT_NONE;
    return S_OK;
}

STDMETHODIMP CKvFiler::DragLeave()
{
    return S_OK;
}

STDMETHODIMP CKvFiler::Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect)
{
    if (effect) *effect = DROPEFFECT_NONE;
    return S_OK;
}
