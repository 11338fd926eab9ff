// The last lines of the console trace. Text arrives in pieces that need not end at a line
// end, and a carriage return starts the current line over (a progress line rewriting
// itself). Not locked: its owner guards it.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

class ConsoleRing {
  public:
    explicit ConsoleRing(std::size_t capacity = 200) : capacity_(capacity) {}

    void Append(std::wstring_view text);
    // The kept lines, oldest first, and the line still being written if it has text.
    std::vector<std::wstring> Lines() const;
    bool Empty() const { return lines_.empty() && current_.empty(); }

  private:
    std::size_t capacity_;
    std::deque<std::wstring> lines_;
    std::wstring current_;
    // A carriage return came: the next character replaces the line; a line feed keeps it
    // (CR LF, even split over two pieces).
    bool returned_ = false;
};

}  // namespace standin
