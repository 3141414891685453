// Text matching of the find in the project: both the entries' texts and what the user types are
// folded with the system's own mapping (LCMapStringEx, Japanese rules), so that case, full-width
// and half-width forms (ＡＢＣ = ABC, ｶﾀｶﾅ = カタカナ, ｶﾞ = ガ) and hiragana and katakana
// (ひらがな = ヒラガナ) compare equal. A query is split at blanks (ASCII and ideographic spaces,
// tabs) into words that must all be found.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The folded form of `text`; control characters (the index's separators) are kept as they are.
// Folding may shorten a text (a half-width kana and its voiced mark become one character).
std::wstring FoldForFind(const wchar_t* text, size_t length);
inline std::wstring FoldForFind(const std::wstring& text) {
    return FoldForFind(text.data(), text.size());
}

// What the user typed, as folded words in the order typed (empty words dropped).
class FindQuery {
public:
    FindQuery() = default;
    explicit FindQuery(const std::wstring& typed);

    bool Empty() const { return words_.empty(); }
    const std::vector<std::wstring>& Words() const { return words_; }
    // True when every text this query matches is also matched by `earlier` (each earlier word is
    // contained in the word typed at its place), so this query need look only among its matches.
    bool Narrows(const FindQuery& earlier) const;
    // True when `folded` contains every word.
    bool Matches(const wchar_t* folded, size_t length) const;

private:
    std::vector<std::wstring> words_;
};

// The first place of `word` in [text, text + length), or nullptr. Scans for the word's first
// character eight at a time; the index's searches and its benchmark baseline share it.
const wchar_t* FindWord(const wchar_t* text, size_t length, const std::wstring& word);
