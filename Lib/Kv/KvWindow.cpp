#include "Kv/KvWindow.h"

namespace {
KvSystemInfo g_info;
KvModalHook g_hook = nullptr;
void* g_hookContext = nullptr;
}  // namespace

void KvInitSystemInfo() {
    g_info.frameCaptionHeight = GetSystemMetrics(SM_CXDLGFRAME) + GetSystemMetrics(SM_CYCAPTION);
}
const KvSystemInfo& KvGetSystemInfo() { return g_info; }
void KvSetModalHook(KvModalHook hook, void* context) {
    g_hook = hook;
    g_hookContext = context;
}
