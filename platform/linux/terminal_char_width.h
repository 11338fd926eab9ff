// How many terminal columns a character takes, the same on every machine: the locale's
// wcwidth depends on LC_CTYPE (the C locale knows no wide characters), so the window
// would lose its alignment under it.
#pragma once

namespace standin {

// 0 for combining marks, format characters, conjoining Hangul vowels and trailing
// consonants, and control characters; 2 for East Asian wide and fullwidth characters;
// 1 otherwise.
int CharWidth(char32_t c);

// Control characters are never drawn: they would move the cursor or start a sequence.
bool IsControl(char32_t c);

}  // namespace standin
