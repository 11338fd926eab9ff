// printf-style formatting of wide text with arguments checked at run time, the same on
// Windows and Linux. A text that came from outside (a message table, a device) is never
// used as a format unless the caller means it to be; a missing or mismatched argument
// prints nothing instead of reading the stack.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

class FormatArg {
  public:
    enum class Kind { kSigned, kUnsigned, kWide, kNarrow };

    template <typename T>
    requires std::is_integral_v<T> FormatArg(
        T value) {  // NOLINT: implicit on purpose, so Format(L"%d", n) reads naturally.
        if constexpr (std::is_signed_v<T>) {
            kind_ = Kind::kSigned;
            signed_ = value;
        } else {
            kind_ = Kind::kUnsigned;
            unsigned_ = value;
        }
    }
    FormatArg(const wchar_t* text) : kind_(Kind::kWide), wide_(text ? text : L"") {}
    FormatArg(const std::wstring& text) : kind_(Kind::kWide), wide_(text) {}
    FormatArg(std::wstring_view text) : kind_(Kind::kWide), wide_(text) {}
    // Narrow text is taken as UTF-8.
    FormatArg(const char* text) : kind_(Kind::kNarrow), narrow_(text ? text : "") {}
    FormatArg(const std::string& text) : kind_(Kind::kNarrow), narrow_(text) {}

    Kind kind() const { return kind_; }
    std::int64_t AsSigned() const;
    std::uint64_t AsUnsigned() const;
    std::wstring AsText() const;

  private:
    Kind kind_;
    std::int64_t signed_ = 0;
    std::uint64_t unsigned_ = 0;
    std::wstring_view wide_;
    std::string_view narrow_;
};

// Supports %d %i %u %x %X %c %s (%ls and %S alike) and %%, with the flags - 0 + space,
// a width and a precision. Integer conversions take the argument as a 32-bit value, as
// the printf family does with an int; length modifiers are accepted and ignored.
std::wstring FormatText(std::wstring_view format, std::initializer_list<FormatArg> args);

template <typename... Args>
std::wstring Format(std::wstring_view format, const Args&... args) {
    return FormatText(format, {FormatArg(args)...});
}
