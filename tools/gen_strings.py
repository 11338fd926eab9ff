#!/usr/bin/env python3
"""Turns the per-language message sources in resources/strings/*.txt into
 - a resource script with one STRINGTABLE per language (for windres), and
 - a C++ source holding the same tables as string-table blocks, for the Linux build.
Both come from the same parse, so the two builds cannot disagree on a text."""
import pathlib
import sys

FIRST_ID, LAST_ID = 201, 265


def parse(path):
    lang = None
    texts = {}
    for number, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if not raw or raw.startswith("#"):
            continue
        if raw.startswith("LANGID "):
            lang = int(raw.split()[1], 16)
            continue
        ident, sep, text = raw.partition("\t")
        if not sep or not ident.isdigit():
            sys.exit(f"{path}:{number}: expected '<id><TAB><text>'")
        texts[int(ident)] = unescape(text, path, number)
    if lang is None:
        sys.exit(f"{path}: no LANGID line")
    missing = [i for i in range(FIRST_ID, LAST_ID + 1) if i not in texts]
    if missing:
        sys.exit(f"{path}: missing ids {missing}")
    return lang, texts


def unescape(text, path, number):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\":
            nxt = text[i + 1 : i + 2]
            if nxt == "n":
                out.append("\n")
            elif nxt == "\\":
                out.append("\\")
            else:
                sys.exit(f"{path}:{number}: unknown escape \\{nxt}")
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def utf16_units(text):
    data = text.encode("utf-16-le")
    return [int.from_bytes(data[k : k + 2], "little") for k in range(0, len(data), 2)]


def blocks_of(texts):
    """String-table blocks: 16 entries each, an entry is a length and its UTF-16 units."""
    by_block = {}
    for ident, text in texts.items():
        by_block.setdefault(ident // 16 + 1, {})[ident % 16] = text
    result = {}
    for block, entries in sorted(by_block.items()):
        units = []
        for pos in range(16):
            text = utf16_units(entries.get(pos, ""))
            units.append(len(text))
            units.extend(text)
        result[block] = units
    return result


def rc_escape(text):
    out = []
    for c in text:
        if c == '"':
            out.append('""')
        elif c == "\\":
            out.append("\\\\")
        elif c == "\n":
            out.append("\\n")
        else:
            out.append(c)
    return "".join(out)


def write_rc(tables, path):
    lines = ["#pragma code_page(65001)", "// Generated from resources/strings/*.txt; do not edit.", ""]
    for lang, texts in tables:
        lines.append(f"LANGUAGE 0x{lang & 0x3FF:02X}, 0x{lang >> 10:X}")
        lines.append("STRINGTABLE")
        lines.append("BEGIN")
        for ident in sorted(texts):
            lines.append(f'    {ident}, "{rc_escape(texts[ident])}"')
        lines.append("END")
        lines.append("")
    path.write_text("\n".join(lines), encoding="utf-8")


def write_cpp(tables, path):
    lines = [
        "// Generated from resources/strings/*.txt; do not edit.",
        "#include <iterator>",
        "",
        '#include "platform/linux/string_tables.h"',
        "",
        "namespace standin {",
        "namespace {",
    ]
    entries = []
    for lang, texts in tables:
        for block, units in blocks_of(texts).items():
            name = f"kLang{lang:04X}Block{block}"
            body = ", ".join(str(u) for u in units)
            lines.append(f"const std::uint16_t {name}[] = {{{body}}};")
            entries.append(f"    {{0x{lang:04X}, {block}, {name}, {len(units)}}},")
    lines += ["}  // namespace", "", "const StringTableBlock kStringTableBlocks[] = {"]
    lines += entries
    lines += ["};", "const std::size_t kStringTableBlockCount = std::size(kStringTableBlocks);", "", "}  // namespace standin", ""]
    path.write_text("\n".join(lines), encoding="utf-8")


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: gen_strings.py <strings dir> <out.rc> <out.cpp>")
    sources = sorted(pathlib.Path(sys.argv[1]).glob("*.txt"))
    tables = [parse(p) for p in sources]
    langs = [lang for lang, _ in tables]
    if len(set(langs)) != len(langs):
        sys.exit("two sources share a LANGID")
    write_rc(tables, pathlib.Path(sys.argv[2]))
    write_cpp(tables, pathlib.Path(sys.argv[3]))


if __name__ == "__main__":
    main()
