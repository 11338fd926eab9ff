// A grid of terminal cells to compose a frame in before it is written at once: texts are
// clipped at their box, wide characters take two cells and marks ride on their character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

// Attributes of a cell, combined as bits.
enum Style : std::uint8_t {
    kPlain = 0,
    kBold = 1,
    kGrey = 2,       // A disabled control.
    kReverse = 4,    // The focused control.
    kUnderline = 8,  // A hotkey.
};

class TextCanvas {
  public:
    TextCanvas(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }

    // Writes text from column x up to column limit (exclusive; the canvas' edge at most)
    // and returns the column after the last cell written. A wide character that would
    // straddle the limit is left out, and so is everything after it. Tabs become spaces;
    // other control characters are dropped.
    int Put(int x, int y, std::wstring_view text, std::uint8_t style, int limit = 1 << 30);
    // Sets cells [x, x + count) of a row to c (a narrow character).
    void Fill(int x, int y, int count, wchar_t c, std::uint8_t style);
    // Adds a style to cells [x, x + count) of a row.
    void AddStyle(int x, int y, int count, std::uint8_t style);
    // A frame of box-drawing lines with a blank inside.
    void Box(int x, int y, int width, int height);

    // The row as text, without attributes.
    std::wstring RowText(int y) const;
    std::uint8_t StyleAt(int x, int y) const;

    // The whole canvas as terminal output: each row placed by cursor position, attributes
    // by SGR. Rows are drawn in full, so nothing needs clearing: a clear to the end of the
    // line would also take the last column, where the cursor stays when wrap is off.
    std::string ToAnsi() const;

  private:
    struct Cell {
        std::wstring text = L" ";  // Empty in the right half of a wide character.
        std::uint8_t style = kPlain;
    };
    Cell* At(int x, int y);
    // Makes a cell free to take a new character: a wide character it is half of is blanked.
    void Release(int x, int y);

    int width_;
    int height_;
    std::vector<Cell> cells_;
};

}  // namespace standin
