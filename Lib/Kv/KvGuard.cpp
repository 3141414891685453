// The report of an exception caught where system code called the program (see KvGuard.h).
#include "Kv/KvGuard.h"

#include "Kv/KvWindow.h"

#include <new>

namespace {

bool& BoxOpen() {
    static bool open = false;
    return open;
}

}  // namespace

namespace kv {

void ReportEscapedException(const wchar_t* function, int line) noexcept {
    const wchar_t* message = L"unexpected error.";
    try {
        throw;
    } catch (const std::bad_alloc&) {
        message = L"momory error.";
    } catch (...) {
    }
    if (BoxOpen()) return;
    BoxOpen() = true;
    try {
        KvErrorBox(message, nullptr, function, line);
    } catch (...) {
    }
    BoxOpen() = false;
}

}  // namespace kv
