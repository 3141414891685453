// The UI text table: its texts read once from the file GT beside the executable (UTF-16LE with
// byte-order mark, NUL-terminated strings counted by position). Every menu caption, most messages
// and several format strings are entries of it, reached by the names that the build generates from
// Data/GT.txt into "Config/GtEntries.h" (GlobalText::Get(kGtMenuExit)). A GT of an older version
// holds fewer texts (187 at first): the entries added after it read as empty texts.
#pragma once

#include <initializer_list>
#include <string>

#include "Config/GtEntries.h"

namespace GlobalText {

constexpr int kEntryCount = kGtEntryCount;

// Reads "<exe dir>\GT"; false after its error box.
bool Load();
// Reads the given file; same rules and boxes (used by Load and by tests). A failed load leaves
// the table as it was.
bool LoadFrom(const std::wstring& path);
// Frees the buffer; every entry reads as "" afterwards.
void Release();
// The text of an entry; "" for an entry out of range, a slot the file does not hold, or before Load.
const wchar_t* Get(int entry);

}  // namespace GlobalText

// One argument of a formatted entry: an integer or a string.
class GtArg {
public:
    GtArg(int v) : isInt_(true), int_(v) {}
    GtArg(unsigned v) : isInt_(true), int_(static_cast<long long>(v)) {}
    GtArg(long long v) : isInt_(true), int_(v) {}
    GtArg(const wchar_t* s) : isInt_(false), str_(s ? s : L"") {}
    GtArg(const std::wstring& s) : isInt_(false), str_(s) {}
    bool isInt() const { return isInt_; }
    long long intValue() const { return int_; }
    const std::wstring& text() const { return str_; }

private:
    bool isInt_;
    long long int_ = 0;
    std::wstring str_;
};

// Formats an entry (which the user may have edited) with the caller's arguments. The entry's
// conversions are checked against the arguments first (count, and %d/%i/%u/%x/%X/%c for integers,
// %s/%ls/%S for strings, with flags, width and precision); any mismatch, and any conversion outside
// that set (%n among them), yields the entry's bare text, so no argument is ever read that was not
// passed.
std::wstring GtFormat(int entry, std::initializer_list<GtArg> args);
// The same for a format that is not a table entry (tests, fixed formats).
std::wstring GtFormatText(const wchar_t* format, std::initializer_list<GtArg> args);
