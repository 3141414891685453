// Folding and word matching of the find in the project (FindText.h).
#include "Find/FindText.h"

#include <windows.h>
#include <emmintrin.h>

#include <cstring>
#include <cwchar>

namespace {

constexpr DWORD kFoldFlags = LCMAP_FULLWIDTH | LCMAP_KATAKANA | LCMAP_LOWERCASE;

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == 0x3000;
}

}  // namespace

std::wstring FoldForFind(const wchar_t* text, size_t length) {
    if (length == 0) return std::wstring();
    // Full-width mapping never lengthens a text, so one call with a buffer of the same length
    // normally does; the measuring call is only the fallback.
    std::wstring folded(length, L'\0');
    const int count = static_cast<int>(length);
    int written = LCMapStringEx(L"ja-JP", kFoldFlags, text, count, &folded[0], count, nullptr, nullptr, 0);
    if (written <= 0) {
        written = LCMapStringEx(L"ja-JP", kFoldFlags, text, count, nullptr, 0, nullptr, nullptr, 0);
        if (written <= 0) return std::wstring(text, length);
        folded.assign(static_cast<size_t>(written), L'\0');
        written = LCMapStringEx(L"ja-JP", kFoldFlags, text, count, &folded[0], written, nullptr, nullptr, 0);
        if (written <= 0) return std::wstring(text, length);
    }
    folded.resize(static_cast<size_t>(written));
    return folded;
}

FindQuery::FindQuery(const std::wstring& typed) {
    size_t at = 0;
    while (at < typed.size()) {
        while (at < typed.size() && IsBlank(typed[at])) ++at;
        size_t end = at;
        while (end < typed.size() && !IsBlank(typed[end])) ++end;
        if (end > at) words_.push_back(FoldForFind(typed.data() + at, end - at));
        at = end;
    }
}

bool FindQuery::Narrows(const FindQuery& earlier) const {
    if (earlier.words_.size() > words_.size()) return false;
    for (size_t i = 0; i < earlier.words_.size(); ++i)
        if (words_[i].find(earlier.words_[i]) == std::wstring::npos) return false;
    return true;
}

bool FindQuery::Matches(const wchar_t* folded, size_t length) const {
    for (const std::wstring& word : words_)
        if (!FindWord(folded, length, word)) return false;
    return true;
}

const wchar_t* FindWord(const wchar_t* text, size_t length, const std::wstring& word) {
    const size_t n = word.size();
    if (n == 0) return text;
    if (n > length) return nullptr;
    const wchar_t first = word[0];
    const size_t last = length - n;  // the last place the word can start
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(first));
    size_t at = 0;
    while (at <= last) {
        if (last - at >= 8) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at));
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(block, wanted)));
            while (mask) {
                unsigned bit = 0;
                while (!(mask & (1u << bit))) ++bit;
                const size_t place = at + bit / 2;
                if (std::wmemcmp(text + place + 1, word.data() + 1, n - 1) == 0) return text + place;
                mask &= ~(3u << bit);
            }
            at += 8;
            continue;
        }
        if (text[at] == first && std::wmemcmp(text + at + 1, word.data() + 1, n - 1) == 0) return text + at;
        ++at;
    }
    return nullptr;
}
