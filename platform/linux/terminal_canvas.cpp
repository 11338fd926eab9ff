#include "platform/linux/terminal_canvas.h"

#include <algorithm>

#include "app/utf.h"
#include "platform/linux/terminal_char_width.h"
#include "platform/linux/terminal_text.h"

namespace standin {
namespace {

std::string Sgr(std::uint8_t style) {
    std::string s = "\x1b[0";
    if (style & kBold) s += ";1";
    if (style & kGrey) s += ";90";
    if (style & kUnderline) s += ";4";
    if (style & kReverse) s += ";7";
    return s + "m";
}

}  // namespace

TextCanvas::TextCanvas(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      cells_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)) {}

TextCanvas::Cell* TextCanvas::At(int x, int y) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return nullptr;
    return &cells_[static_cast<std::size_t>(y) * width_ + x];
}

void TextCanvas::Release(int x, int y) {
    Cell* cell = At(x, y);
    if (cell == nullptr) return;
    if (cell->text.empty()) {
        if (Cell* lead = At(x - 1, y)) lead->text = L" ";
    } else if (Cell* next = At(x + 1, y); next && next->text.empty()) {
        next->text = L" ";
    }
}

int TextCanvas::Put(int x, int y, std::wstring_view text, std::uint8_t style, int limit) {
    limit = std::min(limit, width_);
    if (y < 0 || y >= height_) return x;
    Cell* last = nullptr;
    for (Cluster c : SplitClusters(text)) {
        if (c.text[0] == L'\t') c = Cluster{L" ", 1};
        if (IsControl(static_cast<char32_t>(c.text[0]))) continue;
        if (c.width == 0) {
            // A mark with no character before it in this text has nothing to sit on.
            if (last) last->text += c.text;
            continue;
        }
        if (x + c.width > limit) break;
        if (x < 0) {
            x += c.width;
            continue;
        }
        Release(x, y);
        if (c.width == 2) Release(x + 1, y);
        last = At(x, y);
        *last = Cell{std::wstring(c.text), style};
        if (c.width == 2) *At(x + 1, y) = Cell{L"", style};
        x += c.width;
    }
    return x;
}

void TextCanvas::Fill(int x, int y, int count, wchar_t c, std::uint8_t style) {
    for (int i = std::max(x, 0); i < x + count && i < width_; ++i) {
        if (At(i, y) == nullptr) return;
        Release(i, y);
        *At(i, y) = Cell{std::wstring(1, c), style};
    }
}

void TextCanvas::AddStyle(int x, int y, int count, std::uint8_t style) {
    for (int i = std::max(x, 0); i < x + count; ++i) {
        if (Cell* cell = At(i, y)) cell->style |= style;
    }
}

void TextCanvas::Box(int x, int y, int width, int height) {
    if (width < 2 || height < 2) return;
    for (int row = y; row < y + height; ++row) {
        bool edge = row == y || row == y + height - 1;
        wchar_t left = row == y ? L'┌' : row == y + height - 1 ? L'└' : L'│';
        wchar_t right = row == y ? L'┐' : row == y + height - 1 ? L'┘' : L'│';
        Fill(x, row, 1, left, kPlain);
        Fill(x + 1, row, width - 2, edge ? L'─' : L' ', kPlain);
        Fill(x + width - 1, row, 1, right, kPlain);
    }
}

std::wstring TextCanvas::RowText(int y) const {
    std::wstring row;
    if (y < 0 || y >= height_) return row;
    for (int x = 0; x < width_; ++x) row += cells_[static_cast<std::size_t>(y) * width_ + x].text;
    return row;
}

std::uint8_t TextCanvas::StyleAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return kPlain;
    return cells_[static_cast<std::size_t>(y) * width_ + x].style;
}

std::string TextCanvas::ToAnsi() const {
    std::string out;
    for (int y = 0; y < height_; ++y) {
        out += "\x1b[" + std::to_string(y + 1) + ";1H";
        int current = -1;
        std::wstring run;
        auto flush = [&] {
            out += WideToUtf8(run);
            run.clear();
        };
        for (int x = 0; x < width_; ++x) {
            const Cell& cell = cells_[static_cast<std::size_t>(y) * width_ + x];
            if (cell.text.empty()) continue;
            if (cell.style != current) {
                flush();
                current = cell.style;
                out += Sgr(cell.style);
            }
            run += cell.text;
        }
        flush();
        out += "\x1b[0m";
    }
    return out;
}

}  // namespace standin
