#include "platform/linux/terminal_text.h"

#include <algorithm>

#include "platform/linux/terminal_char_width.h"

namespace standin {
namespace {

static_assert(sizeof(wchar_t) == 4, "the stand-in keeps one code point per wchar_t");

int WidthOf(wchar_t c) {
    return CharWidth(static_cast<char32_t>(c));
}

bool IsSpace(std::wstring_view cluster) {
    return cluster == L" " || cluster == L"\t";
}

// A word, or a single wide character (lines may break on either side of one).
struct Token {
    std::wstring text;
    int width = 0;
    bool spaceBefore = false;
};

std::vector<Token> Tokenize(std::wstring_view paragraph) {
    std::vector<Token> tokens;
    bool space = false;
    bool open = false;  // Whether the last token still takes narrow characters.
    for (const Cluster& c : SplitClusters(paragraph)) {
        if (IsSpace(c.text)) {
            space = true;
            open = false;
            continue;
        }
        if (c.width == 2 || !open) {
            tokens.push_back(Token{{}, 0, space});
            space = false;
        }
        tokens.back().text += c.text;
        tokens.back().width += c.width;
        open = c.width != 2;
    }
    return tokens;
}

void WrapParagraph(std::wstring_view paragraph, int width, std::vector<std::wstring>& lines,
                   std::size_t maxLines) {
    std::wstring line;
    int used = 0;
    bool any = false;
    auto flush = [&] {
        lines.push_back(std::move(line));
        line.clear();
        used = 0;
    };
    for (const Token& t : Tokenize(paragraph)) {
        if (lines.size() >= maxLines) return;
        int gap = used > 0 && t.spaceBefore ? 1 : 0;
        if (used > 0 && used + gap + t.width > width) {
            flush();
            gap = 0;
        }
        if (used == 0 && t.width > width) {
            // Too long for any line: break it wherever the line is full.
            for (const Cluster& c : SplitClusters(t.text)) {
                if (used + c.width > width) {
                    flush();
                    if (lines.size() >= maxLines) return;
                }
                line += c.text;
                used += c.width;
            }
            any = true;
            continue;
        }
        if (gap) line += L' ';
        line += t.text;
        used += gap + t.width;
        any = true;
    }
    if (lines.size() < maxLines && (used > 0 || !any)) flush();
}

}  // namespace

std::vector<Cluster> SplitClusters(std::wstring_view text) {
    std::vector<Cluster> clusters;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t start = i;
        int width = WidthOf(text[i++]);
        // Marks join the character before them; a control character stands alone.
        if (!IsControl(static_cast<char32_t>(text[start]))) {
            while (i < text.size() && WidthOf(text[i]) == 0 &&
                   !IsControl(static_cast<char32_t>(text[i]))) {
                ++i;
            }
        }
        clusters.push_back(Cluster{text.substr(start, i - start), width});
    }
    return clusters;
}

int TextWidth(std::wstring_view text) {
    int width = 0;
    for (wchar_t c : text) width += WidthOf(c);
    return width;
}

std::wstring ClipToWidth(std::wstring_view text, int width) {
    std::wstring out;
    int used = 0;
    for (const Cluster& c : SplitClusters(text)) {
        if (used + c.width > width) break;
        out += c.text;
        used += c.width;
    }
    return out;
}

std::wstring_view FirstLine(std::wstring_view text) {
    return text.substr(0, std::min(text.find_first_of(L"\r\n"), text.size()));
}

std::vector<std::wstring> WrapText(std::wstring_view text, int width, int maxLines) {
    std::vector<std::wstring> lines;
    if (width <= 0 || maxLines <= 0) return lines;
    auto limit = static_cast<std::size_t>(maxLines);
    while (!text.empty() && lines.size() < limit) {
        std::size_t end = text.find_first_of(L"\r\n");
        WrapParagraph(text.substr(0, end), width, lines, limit);
        if (end == std::wstring_view::npos) break;
        std::size_t next = end + 1;
        if (text[end] == L'\r' && next < text.size() && text[next] == L'\n') ++next;
        text.remove_prefix(next);
    }
    return lines;
}

std::vector<std::wstring> BreakAtWidth(std::wstring_view text, int width) {
    std::vector<std::wstring> pieces(1);
    int used = 0;
    for (const Cluster& c : SplitClusters(text)) {
        if (used > 0 && used + c.width > width) {
            pieces.emplace_back();
            used = 0;
        }
        pieces.back() += c.text;
        used += c.width;
    }
    return pieces;
}

}  // namespace standin
