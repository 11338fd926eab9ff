#include "app/text_format.h"

#include <cwctype>

#include "app/utf.h"

std::int64_t FormatArg::AsSigned() const {
    switch (kind_) {
        case Kind::kSigned:
            return signed_;
        case Kind::kUnsigned:
            return static_cast<std::int64_t>(unsigned_);
        default:
            return 0;
    }
}

std::uint64_t FormatArg::AsUnsigned() const {
    switch (kind_) {
        case Kind::kSigned:
            return static_cast<std::uint64_t>(signed_);
        case Kind::kUnsigned:
            return unsigned_;
        default:
            return 0;
    }
}

std::wstring FormatArg::AsText() const {
    switch (kind_) {
        case Kind::kWide:
            return std::wstring(wide_);
        case Kind::kNarrow:
            return Utf8ToWide(narrow_);
        default:
            return {};
    }
}

namespace {

struct Field {
    bool leftAlign = false;
    bool zeroPad = false;
    bool plus = false;
    bool space = false;
    int width = 0;
    int precision = -1;
};

std::wstring Digits(std::uint64_t value, unsigned base, bool upper) {
    const wchar_t* digits = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::wstring out;
    do {
        out.insert(out.begin(), digits[value % base]);
        value /= base;
    } while (value != 0);
    return out;
}

void Pad(std::wstring& out, std::wstring body, const Field& field, std::wstring sign = {}) {
    std::size_t length = body.size() + sign.size();
    std::size_t width = field.width > 0 ? static_cast<std::size_t>(field.width) : 0;
    if (length >= width) {
        out += sign + body;
    } else if (field.leftAlign) {
        out += sign + body + std::wstring(width - length, L' ');
    } else if (field.zeroPad && field.precision < 0) {
        out += sign + std::wstring(width - length, L'0') + body;
    } else {
        out += std::wstring(width - length, L' ') + sign + body;
    }
}

void Integer(std::wstring& out, wchar_t conv, const FormatArg* arg, const Field& field) {
    if (arg == nullptr) return;
    std::wstring sign;
    std::wstring body;
    if (conv == L'd' || conv == L'i') {
        auto value = static_cast<std::int32_t>(arg->AsSigned());
        std::int64_t wide = value;
        if (wide < 0) {
            sign = L"-";
            wide = -wide;
        } else if (field.plus) {
            sign = L"+";
        } else if (field.space) {
            sign = L" ";
        }
        body = Digits(static_cast<std::uint64_t>(wide), 10, false);
    } else {
        auto value = static_cast<std::uint32_t>(arg->AsUnsigned());
        body = Digits(value, conv == L'u' ? 10 : 16, conv == L'X');
    }
    if (field.precision >= 0 && body.size() < static_cast<std::size_t>(field.precision)) {
        body.insert(0, static_cast<std::size_t>(field.precision) - body.size(), L'0');
    }
    Pad(out, body, field, sign);
}

}  // namespace

std::wstring FormatText(std::wstring_view format, std::initializer_list<FormatArg> args) {
    std::wstring out;
    const FormatArg* next = args.begin();
    auto take = [&]() -> const FormatArg* { return next != args.end() ? next++ : nullptr; };

    for (std::size_t i = 0; i < format.size(); ++i) {
        wchar_t c = format[i];
        if (c != L'%') {
            out += c;
            continue;
        }
        std::size_t start = i++;
        Field field;
        for (; i < format.size(); ++i) {
            wchar_t f = format[i];
            if (f == L'-')
                field.leftAlign = true;
            else if (f == L'0')
                field.zeroPad = true;
            else if (f == L'+')
                field.plus = true;
            else if (f == L' ')
                field.space = true;
            else if (f == L'#')
                continue;
            else
                break;
        }
        for (; i < format.size() && std::iswdigit(format[i]); ++i) {
            field.width = field.width * 10 + (format[i] - L'0');
        }
        if (i < format.size() && format[i] == L'.') {
            field.precision = 0;
            for (++i; i < format.size() && std::iswdigit(format[i]); ++i) {
                field.precision = field.precision * 10 + (format[i] - L'0');
            }
        }
        while (i < format.size() && (format[i] == L'l' || format[i] == L'h' || format[i] == L'z')) {
            ++i;
        }
        if (i >= format.size()) {
            out.append(format.substr(start));
            break;
        }
        switch (wchar_t conv = format[i]) {
            case L'%':
                out += L'%';
                break;
            case L'd':
            case L'i':
            case L'u':
            case L'x':
            case L'X':
                Integer(out, conv, take(), field);
                break;
            case L'c': {
                const FormatArg* arg = take();
                Pad(out, std::wstring(1, arg ? static_cast<wchar_t>(arg->AsUnsigned()) : L'\0'),
                    field);
                break;
            }
            case L's':
            case L'S': {
                const FormatArg* arg = take();
                std::wstring text = arg ? arg->AsText() : std::wstring();
                if (field.precision >= 0 &&
                    text.size() > static_cast<std::size_t>(field.precision)) {
                    text.resize(static_cast<std::size_t>(field.precision));
                }
                Pad(out, text, field);
                break;
            }
            default:
                out.append(format.substr(start, i - start + 1));
                break;
        }
    }
    return out;
}
