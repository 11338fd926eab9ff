#include "platform/linux/terminal_keys.h"

#include <optional>

namespace standin {
namespace {

constexpr char kEsc = 0x1B;

std::optional<KeyCode> CursorKey(char final) {
    switch (final) {
        case 'A':
            return KeyCode::kUp;
        case 'B':
            return KeyCode::kDown;
        case 'C':
            return KeyCode::kRight;
        case 'D':
            return KeyCode::kLeft;
        default:
            return std::nullopt;
    }
}

}  // namespace

std::vector<Key> KeyDecoder::Feed(std::string_view bytes) {
    pending_ += bytes;
    std::vector<Key> keys;
    std::size_t i = 0;
    const std::string& in = pending_;
    while (i < in.size()) {
        char b = in[i];
        bool cr = false;
        if (b == kEsc) {
            if (i + 1 == in.size()) break;  // Esc, or the start of a sequence still coming.
            char next = in[i + 1];
            if (next == '[') {
                // CSI: parameter and intermediate bytes, then a final byte.
                std::size_t j = i + 2;
                while (j < in.size() && in[j] >= 0x20 && in[j] <= 0x3F) ++j;
                if (j == in.size()) break;
                if (in[j] < 0x40 || in[j] > 0x7E) {
                    i = j;  // Malformed: drop the introducer, read on from the odd byte.
                    continue;
                }
                if (in[j] == 'Z') keys.push_back(Key{KeyCode::kBackTab});
                if (auto code = CursorKey(in[j])) keys.push_back(Key{*code});
                i = j + 1;
            } else if (next == 'O') {
                // SS3: cursor keys in application mode, keypad Enter.
                if (i + 2 == in.size()) break;
                if (in[i + 2] == 'M') keys.push_back(Key{KeyCode::kEnter});
                if (auto code = CursorKey(in[i + 2])) keys.push_back(Key{*code});
                i += 3;
            } else if (next == kEsc) {
                keys.push_back(Key{KeyCode::kEscape});
                i += 1;
            } else {
                // Alt with a key: the key alone, as Alt+letter presses a dialog's button.
                i += 1;
            }
            afterCr_ = false;
            continue;
        }
        auto c = static_cast<unsigned char>(b);
        if (c == '\r') {
            keys.push_back(Key{KeyCode::kEnter});
            cr = true;
        } else if (c == '\n') {
            if (!afterCr_) keys.push_back(Key{KeyCode::kEnter});
        } else if (c == '\t') {
            keys.push_back(Key{KeyCode::kTab});
        } else if (c == 0x03) {
            keys.push_back(Key{KeyCode::kInterrupt});
        } else if (c >= 0x20 && c < 0x7F) {
            keys.push_back(Key{KeyCode::kChar, b});
        }
        // Other control bytes and non-ASCII characters press nothing.
        afterCr_ = cr;
        ++i;
    }
    pending_.erase(0, i);
    return keys;
}

std::vector<Key> KeyDecoder::Flush() {
    std::vector<Key> keys;
    if (pending_ == std::string(1, kEsc)) keys.push_back(Key{KeyCode::kEscape});
    pending_.clear();
    afterCr_ = false;
    return keys;
}

}  // namespace standin
