#include "platform/linux/terminal_console.h"

namespace standin {

void ConsoleRing::Append(std::wstring_view text) {
    for (wchar_t c : text) {
        if (c == L'\n') {
            lines_.push_back(std::move(current_));
            current_.clear();
            while (lines_.size() > capacity_) lines_.pop_front();
            returned_ = false;
        } else if (c == L'\r') {
            returned_ = true;
        } else {
            if (returned_) current_.clear();
            returned_ = false;
            current_ += c;
        }
    }
}

std::vector<std::wstring> ConsoleRing::Lines() const {
    std::vector<std::wstring> lines(lines_.begin(), lines_.end());
    if (!current_.empty()) lines.push_back(current_);
    return lines;
}

}  // namespace standin
