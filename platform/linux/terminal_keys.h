// Turns the bytes a terminal sends for keys into key events. Esc arrives as a lone 0x1B
// byte, which also starts the sequences of arrow keys and Shift-Tab: a 0x1B at the end of
// what has arrived stays pending until more bytes come or the reader's short wait runs
// out (Flush).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace standin {

enum class KeyCode {
    kChar,  // A printable ASCII character (space included), in Key::ch.
    kEnter,
    kTab,
    kBackTab,
    kEscape,
    kInterrupt,  // Ctrl-C: with signals off it arrives as a byte.
    kUp,
    kDown,
    kLeft,
    kRight,
};

struct Key {
    KeyCode code = KeyCode::kChar;
    char ch = 0;
    bool operator==(const Key&) const = default;
};

class KeyDecoder {
  public:
    std::vector<Key> Feed(std::string_view bytes);
    // Nothing more came: a pending lone Esc is the Esc key, an unfinished sequence is
    // dropped.
    std::vector<Key> Flush();
    bool Pending() const { return !pending_.empty(); }

  private:
    std::string pending_;
    bool afterCr_ = false;  // A line feed right after a carriage return is the same Enter.
};

}  // namespace standin
