// Measuring, wrapping and clipping text by the columns it takes on a terminal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace standin {

// A character with the zero-width marks that follow it: the unit that is drawn, wrapped
// and clipped whole (a Thai consonant with its vowel and tone marks, say).
struct Cluster {
    std::wstring_view text;
    int width = 0;
};

std::vector<Cluster> SplitClusters(std::wstring_view text);

int TextWidth(std::wstring_view text);

// The longest head of the text that fits in width columns.
std::wstring ClipToWidth(std::wstring_view text, int width);

// The first line of the text (up to a line feed or carriage return).
std::wstring_view FirstLine(std::wstring_view text);

// Word-wraps text into lines of at most width columns, as a multi-line label shows it:
// line feeds (and CR LF) break lines, a trailing line feed adds no empty line, runs of
// spaces collapse, a wide character may start a new line without a space before it and
// a word longer than a line is broken. At most maxLines lines; the rest is cut off.
std::vector<std::wstring> WrapText(std::wstring_view text, int width, int maxLines);

// Breaks text into pieces of at most width columns wherever a piece is full, spaces
// kept; an empty text is one empty piece.
std::vector<std::wstring> BreakAtWidth(std::wstring_view text, int width);

}  // namespace standin
