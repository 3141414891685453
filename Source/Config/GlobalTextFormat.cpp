// Formatting of UI texts with printf-style conversions.
//
// The texts come from a file the user may edit, so a text is never handed to the C runtime as a
// format. Its conversions are parsed first and checked against the caller's arguments: the same
// number, integers for d i u x X c, strings for s S (with or without h/l). Accepted are the flags
// "-+ 0#", a decimal width and a decimal precision (each at most kMaxField), the modifiers h, l
// and ll, and "%%" for a percent sign. Anything else -- %n, %p, floating point, a '*' width, a lone
// '%' at the end, a missing or extra argument, an argument of the wrong kind -- makes the result
// the text exactly as it stands, so no argument is read that the caller did not pass.
#include "Config/GlobalText.h"

#include <vector>

namespace {

// Larger fields are refused: a width of a billion in an edited text must not allocate gigabytes.
const int kMaxField = 1024;

enum class Length { Default, Short, Long, LongLong };

struct Conversion {
    size_t begin = 0;  // index of the '%'
    size_t end = 0;    // one past the conversion character
    bool left = false, plus = false, space = false, zero = false, alternate = false;
    int width = 0;
    int precision = -1;  // -1: none given
    Length length = Length::Default;
    wchar_t kind = 0;  // 'd', 'i', 'u', 'x', 'X', 'c' or 's' ('S' is folded into 's')
    bool literalPercent = false;
    bool TakesInteger() const { return kind != L's'; }
};

bool ReadNumber(const wchar_t* f, size_t& i, int& value) {
    value = 0;
    while (f[i] >= L'0' && f[i] <= L'9') {
        value = value * 10 + (f[i] - L'0');
        if (value > kMaxField) return false;
        ++i;
    }
    return true;
}

// Parses every conversion of `f`; false when any of them is not one this formatter accepts.
bool Parse(const wchar_t* f, std::vector<Conversion>& out) {
    for (size_t i = 0; f[i] != L'\0'; ++i) {
        if (f[i] != L'%') continue;
        Conversion c;
        c.begin = i++;
        if (f[i] == L'%') {
            c.literalPercent = true;
            c.end = i + 1;
            out.push_back(c);
            continue;
        }
        for (;; ++i) {
            if (f[i] == L'-')
                c.left = true;
            else if (f[i] == L'+')
                c.plus = true;
            else if (f[i] == L' ')
                c.space = true;
            else if (f[i] == L'0')
                c.zero = true;
            else if (f[i] == L'#')
                c.alternate = true;
            else
                break;
        }
        if (!ReadNumber(f, i, c.width)) return false;
        if (f[i] == L'.') {
            ++i;
            if (!ReadNumber(f, i, c.precision)) return false;
        }
        if (f[i] == L'h') {
            c.length = Length::Short;
            ++i;
        } else if (f[i] == L'l') {
            ++i;
            c.length = Length::Long;
            if (f[i] == L'l') {
                c.length = Length::LongLong;
                ++i;
            }
        }
        switch (f[i]) {
        case L'd':
        case L'i':
        case L'u':
        case L'x':
        case L'X':
        case L'c':
            c.kind = f[i];
            break;
        case L's':
        case L'S':
            if (c.length == Length::LongLong) return false;
            c.kind = L's';
            break;
        default:
            return false;  // includes %n, %p, floating point, '*' and a '%' at the very end
        }
        c.end = i + 1;
        out.push_back(c);
    }
    return true;
}

std::wstring Pad(const std::wstring& body, const Conversion& c) {
    if (static_cast<int>(body.size()) >= c.width) return body;
    std::wstring fill(static_cast<size_t>(c.width) - body.size(), L' ');
    return c.left ? body + fill : fill + body;
}

std::wstring FormatInteger(long long raw, const Conversion& c) {
    const bool isSigned = c.kind == L'd' || c.kind == L'i';
    // The value as the C runtime would see it for this modifier: h is 16 bits, none and l are 32
    // bits on this platform, ll is 64 bits.
    bool negative = false;
    unsigned long long magnitude = 0;
    if (isSigned) {
        long long v = raw;
        if (c.length == Length::Short)
            v = static_cast<short>(raw);
        else if (c.length != Length::LongLong)
            v = static_cast<int>(raw);
        negative = v < 0;
        magnitude = negative ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    } else {
        magnitude = static_cast<unsigned long long>(raw);
        if (c.length == Length::Short)
            magnitude = static_cast<unsigned short>(magnitude);
        else if (c.length != Length::LongLong)
            magnitude = static_cast<unsigned int>(magnitude);
    }

    const bool hex = c.kind == L'x' || c.kind == L'X';
    const wchar_t* digitSet = c.kind == L'X' ? L"0123456789ABCDEF" : L"0123456789abcdef";
    const unsigned base = hex ? 16 : 10;
    std::wstring digits;
    for (unsigned long long m = magnitude; m != 0; m /= base) digits.insert(digits.begin(), digitSet[m % base]);
    const size_t minDigits = c.precision < 0 ? 1 : static_cast<size_t>(c.precision);
    if (digits.size() < minDigits) digits.insert(0, minDigits - digits.size(), L'0');

    std::wstring prefix;
    if (isSigned) {
        if (negative)
            prefix = L"-";
        else if (c.plus)
            prefix = L"+";
        else if (c.space)
            prefix = L" ";
    } else if (hex && c.alternate && magnitude != 0) {
        prefix = c.kind == L'X' ? L"0X" : L"0x";
    }

    if (c.zero && !c.left && c.precision < 0) {
        const size_t used = prefix.size() + digits.size();
        if (used < static_cast<size_t>(c.width)) digits.insert(0, static_cast<size_t>(c.width) - used, L'0');
    }
    return Pad(prefix + digits, c);
}

std::wstring FormatOne(const Conversion& c, const GtArg& arg) {
    if (c.kind == L'c') {
        const wchar_t ch = static_cast<wchar_t>(arg.intValue() & 0xFFFF);
        return Pad(ch ? std::wstring(1, ch) : std::wstring(), c);
    }
    if (c.kind == L's') {
        const std::wstring& s = arg.text();
        if (c.precision >= 0 && s.size() > static_cast<size_t>(c.precision)) {
            return Pad(s.substr(0, static_cast<size_t>(c.precision)), c);
        }
        return Pad(s, c);
    }
    return FormatInteger(arg.intValue(), c);
}

}  // namespace

std::wstring GtFormatText(const wchar_t* format, std::initializer_list<GtArg> args) {
    if (!format) return std::wstring();
    std::vector<Conversion> conversions;
    if (!Parse(format, conversions)) return format;

    size_t used = 0;
    for (const Conversion& c : conversions) {
        if (c.literalPercent) continue;
        if (used >= args.size()) return format;
        if (c.TakesInteger() != args.begin()[used].isInt()) return format;
        ++used;
    }
    if (used != args.size()) return format;

    std::wstring out;
    size_t pos = 0;
    const GtArg* next = args.begin();
    for (const Conversion& c : conversions) {
        out.append(format + pos, c.begin - pos);
        out += c.literalPercent ? std::wstring(L"%") : FormatOne(c, *next++);
        pos = c.end;
    }
    out += format + pos;
    return out;
}

std::wstring GtFormat(int entry, std::initializer_list<GtArg> args) {
    return GtFormatText(GlobalText::Get(entry), args);
}
