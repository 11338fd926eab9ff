// Conversions between the device's byte texts and the program's wide text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// UTF-8 bytes up to the first zero byte; empty when the bytes are empty or not UTF-8.
std::wstring Utf8BytesToText(std::span<const std::uint8_t> bytes);

// Copies text as UTF-8 with a terminating zero into buffer; false (buffer untouched) when
// the whole text and its zero do not fit.
bool TextToUtf8Buffer(std::wstring_view text, std::span<std::uint8_t> buffer);

// Bytes in the single-byte ANSI code page (Windows-1252) up to the first zero byte, or
// all of them when there is none.
std::wstring AnsiBytesToText(std::span<const std::uint8_t> bytes);

// The leading decimal integer of a text as the C library reads one: blanks, a sign, the
// digits up to the first other character; 0 when there are none.
std::int64_t DecimalPrefix(std::wstring_view text);
