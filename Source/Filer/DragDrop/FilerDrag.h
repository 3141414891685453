// The modal loop of a drag started in the filer. Tests replace it to play the part of the user
// and the drop targets without a mouse.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <functional>

// Runs in place of DoDragDrop (same arguments and result) while set; an empty function restores
// DoDragDrop.
using DragLoopHook = std::function<HRESULT(IDataObject* data, IDropSource* source, DWORD allowed, DWORD* effect)>;
void SetDragLoopHook(DragLoopHook hook);
