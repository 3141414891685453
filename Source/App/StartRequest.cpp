#include "App/StartRequest.h"

#include <windows.h>
#include <shellapi.h>

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// The tail's first word when it is `name` (any case), with the rest after it in `rest`.
bool TakeSwitch(const std::wstring& tail, const wchar_t* name, std::wstring& rest) {
    const size_t length = wcslen(name);
    if (tail.size() < length || _wcsnicmp(tail.c_str(), name, length) != 0) return false;
    if (tail.size() > length && !IsBlank(tail[length])) return false;
    rest = tail.substr(length);
    return true;
}

// The arguments of `text` split as the C runtime splits a command line (blanks separate, double
// quotes group and are removed).
std::vector<std::wstring> SplitArguments(const std::wstring& text) {
    std::vector<std::wstring> arguments;
    // CommandLineToArgvW reads its first word as a program path by other rules: give it one.
    const std::wstring line = L"x " + text;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
    if (!argv) return arguments;
    for (int i = 1; i < count; ++i)
        if (argv[i][0] != L'\0') arguments.emplace_back(argv[i]);
    LocalFree(argv);
    return arguments;
}

}  // namespace

ProjectPathChoice ParseProjectArgument(const wchar_t* tail) {
    ProjectPathChoice choice;
    std::wstring text = tail ? tail : L"";
    size_t begin = 0;
    while (begin < text.size() && IsBlank(text[begin])) ++begin;
    size_t end = text.size();
    while (end > begin && IsBlank(text[end - 1])) --end;
    text = text.substr(begin, end - begin);
    if (text.size() >= 2 && text.front() == L'"') {
        size_t close = text.find(L'"', 1);
        if (close != std::wstring::npos) text = text.substr(1, close - 1);
    }
    if (text.empty()) return choice;
    if (text.size() >= kProjectPathBuffer) {
        choice.result = ProjectPathChoice::TooLong;
        choice.path = text;
        return choice;
    }
    choice.result = ProjectPathChoice::Path;
    choice.path = text;
    return choice;
}

StartRequest ParseStartRequest(const wchar_t* tail) {
    StartRequest request;
    std::wstring text = tail ? tail : L"";
    size_t begin = 0;
    while (begin < text.size() && IsBlank(text[begin])) ++begin;
    text.erase(0, begin);
    std::wstring rest;
    if (TakeSwitch(text, L"/add", rest)) {
        request.kind = StartRequest::Add;
        request.paths = SplitArguments(rest);
        return request;
    }
    if (TakeSwitch(text, L"/associate", rest) && SplitArguments(rest).empty()) {
        request.kind = StartRequest::Associate;
        return request;
    }
    if (TakeSwitch(text, L"/unassociate", rest) && SplitArguments(rest).empty()) {
        request.kind = StartRequest::Unassociate;
        return request;
    }
    request.project = ParseProjectArgument(text.c_str());
    return request;
}
