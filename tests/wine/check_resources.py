#!/usr/bin/python3
"""Reads the built FWUpdate.exe with pefile, independently of the tool chain that wrote it,
and checks what Windows will load from it: the main dialog template, the message tables
of every language, the version information, the manifest, the icon, and that it needs no
DLL beyond the system's own.

Usage: check_resources.py <FWUpdate.exe> <resources dir> <project version>
Runs with Debian's python3, which has python3-pefile."""
import pathlib
import struct
import sys
import xml.etree.ElementTree as ET

import pefile

RT_ICON, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 6, 14, 16, 24

# Window and control styles (the Windows values).
WS_POPUP, WS_CHILD, WS_VISIBLE, WS_DISABLED = 0x80000000, 0x40000000, 0x10000000, 0x08000000
WS_CAPTION, WS_BORDER, WS_SYSMENU = 0x00C00000, 0x00800000, 0x00080000
WS_GROUP, WS_TABSTOP = 0x00020000, 0x00010000
DS_SETFONT, DS_MODALFRAME = 0x40, 0x80
WS_EX_APPWINDOW = 0x00040000
BS_MULTILINE, BS_DEFPUSHBUTTON = 0x2000, 0x1
LVS_REPORT, LVS_SINGLESEL, LVS_SHOWSELALWAYS = 0x1, 0x4, 0x8
BUTTON_CLASS, STATIC_CLASS = 0x80, 0x82  # predefined class atoms in a template

BUTTON = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_MULTILINE
LABEL = WS_CHILD | WS_VISIBLE | WS_GROUP  # SS_LEFT is 0: left-aligned, word-wrapped
LIST = WS_CHILD | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS

# Dialog 102 in tab order: id, class, text, style, (x, y, cx, cy) in dialog units.
DIALOG_CONTROLS = [
    (1025, "SysListView32", "", LIST, (7, 93, 275, 11)),
    (1000, BUTTON_CLASS, "Search Device", BUTTON, (286, 25, 80, 20)),
    (1144, BUTTON_CLASS, "Update", BUTTON | WS_DISABLED, (286, 51, 80, 20)),
    (2, BUTTON_CLASS, "Close", BUTTON, (286, 75, 80, 20)),
    (1007, STATIC_CLASS, "Firmware Update Tool [Ver: xxx.xxx.xxx.xxx]", LABEL, (7, 7, 275, 10)),
    (1012, STATIC_CLASS, "Device Name:", LABEL, (7, 27, 73, 10)),
    (1013, STATIC_CLASS, "No Device", LABEL, (83, 27, 199, 10)),
    (1014, STATIC_CLASS, "Interface:", LABEL, (7, 47, 73, 10)),
    (1015, STATIC_CLASS, "USB", LABEL, (83, 47, 199, 10)),
    (1016, STATIC_CLASS, "Status:", LABEL, (7, 67, 73, 10)),
    (1017, STATIC_CLASS, "Ready", LABEL, (83, 67, 199, 37)),
]

# The language of every message table: 15 serve a whole language (neutral sublanguage),
# Traditional Chinese and US English carry their full id.
TABLE_LANGUAGES = {0x0001, 0x0004, 0x0404, 0x0005, 0x0409, 0x000C, 0x0007, 0x0021, 0x0010,
                   0x0012, 0x0015, 0x0016, 0x0019, 0x000A, 0x001B, 0x001E, 0x001F}
MESSAGE_IDS = range(201, 266)

ICON_SIZES = [16, 24, 32, 48, 64, 72, 96, 128, 256]

SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
               "setupapi.dll", "shell32.dll", "user32.dll", "version.dll"}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


class Resources:
    """The resource tree of the exe as {(type, id, language id): bytes}."""

    def __init__(self, pe):
        self.items = {}
        for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
            for name in kind.directory.entries:
                for lang in name.directory.entries:
                    entry = lang.data.struct
                    language = lang.data.lang | (lang.data.sublang << 10)
                    data = pe.get_data(entry.OffsetToData, entry.Size)
                    self.items[(kind.id, name.id, language)] = data

    def of_type(self, kind):
        return {key[1:]: data for key, data in self.items.items() if key[0] == kind}


class Reader:
    """Little-endian reads from a template, with its WORD/DWORD alignment rules."""

    def __init__(self, data):
        self.data, self.pos = data, 0

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.pos)
        self.pos += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def text(self):
        end = self.pos
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        value = self.data[self.pos:end].decode("utf-16-le")
        self.pos = end + 2
        return value

    def name_or_atom(self):
        if self.take("H") == 0xFFFF:
            return self.take("H")
        self.pos -= 2
        return self.text()

    def align(self, size):
        self.pos = (self.pos + size - 1) // size * size


def check_dialog(resources):
    dialogs = resources.of_type(RT_DIALOG)
    check([key[0] for key in dialogs] == [102], f"dialogs: {sorted(dialogs)}, expected 102 only")
    data = next((d for (ident, _), d in dialogs.items() if ident == 102), None)
    if data is None:
        return
    r = Reader(data)
    check(r.take("HH") == (1, 0xFFFF), "dialog 102 is not an extended template")
    _help_id, ex_style, style, count = r.take("IIIH")
    check(style == DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION,
          f"dialog style {style:#x}: a captioned modal pop-up without system menu expected")
    check(ex_style == WS_EX_APPWINDOW, f"dialog extended style {ex_style:#x}")
    check(r.take("hhhh") == (0, 0, 371, 111), "dialog position or size")
    check(r.name_or_atom() == "" and r.name_or_atom() == "", "dialog has a menu or class")
    check(r.text() == "Firmware Update Tool", "dialog caption")
    point_size, _weight, italic, _charset = r.take("HHBB")
    face = r.text()
    check((point_size, italic, face) == (10, 0, "Microsoft Sans Serif"),
          f"dialog font {point_size} pt {face!r}")
    check(count == len(DIALOG_CONTROLS), f"dialog has {count} controls")
    for expected in DIALOG_CONTROLS[:count]:
        r.align(4)
        _help_id, ex_style, style, x, y, cx, cy, ident = r.take("IIIhhhhI")
        kind, text = r.name_or_atom(), r.name_or_atom()
        extra = r.take("H")
        r.pos += extra
        # Window classes are found regardless of case (windres writes them upper-case).
        kind = kind.lower() if isinstance(kind, str) else kind
        expected = (expected[0], expected[1].lower() if isinstance(expected[1], str) else expected[1],
                    *expected[2:])
        actual = (ident, kind, text, style, (x, y, cx, cy))
        check(actual == expected and ex_style == 0,
              f"control {ident}: {actual}, ex {ex_style:#x}; expected {expected}")


def read_messages(path):
    """A language source: its LANGID and its messages with escapes resolved."""
    language, messages = None, {}
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.startswith("LANGID "):
            language = int(line.split()[1], 16)
        elif line and not line.startswith("#"):
            ident, text = line.split("\t", 1)
            messages[int(ident)] = text.replace("\\\\", "\0").replace("\\n", "\n").replace("\0", "\\")
    return language, messages


def table_entries(blocks):
    """Messages of one language from its string-table blocks {block: bytes}."""
    messages = {}
    for block, data in blocks.items():
        r = Reader(data)
        for position in range(16):
            length = r.take("H")
            if length:
                messages[(block - 1) * 16 + position] = data[r.pos:r.pos + 2 * length].decode("utf-16-le")
                r.pos += 2 * length
    return messages


def check_strings(resources, strings_dir):
    tables = {}
    for (block, language), data in resources.of_type(RT_STRING).items():
        tables.setdefault(language, {})[block] = data
    check(set(tables) == TABLE_LANGUAGES,
          "message tables in languages " + " ".join(f"{l:04x}" for l in sorted(tables)))
    sources = sorted(strings_dir.glob("*.txt"))
    check(len(sources) == len(TABLE_LANGUAGES), f"{len(sources)} language sources")
    for source in sources:
        language, messages = read_messages(source)
        check(language in TABLE_LANGUAGES, f"{source.name}: unexpected LANGID {language:#06x}")
        check(sorted(messages) == list(MESSAGE_IDS), f"{source.name}: ids are not 201 to 265")
        built = table_entries(tables.get(language, {}))
        wrong = [i for i in MESSAGE_IDS if built.get(i) != messages.get(i)]
        if wrong:
            first = wrong[0]
            failures.append(f"{source.name}: {len(wrong)} messages differ from the exe, first "
                            f"{first}: exe {built.get(first)!r}, source {messages.get(first)!r}")
        check(set(built) <= set(MESSAGE_IDS), f"{source.name}: extra ids {set(built) - set(MESSAGE_IDS)}")


def text(value):
    """pefile gives version texts as bytes or str, depending on the field."""
    return value.decode() if isinstance(value, bytes) else value


def check_version(pe, version):
    numbers = [int(part) for part in version.split(".")]
    fixed = pe.VS_FIXEDFILEINFO[0]
    as_numbers = lambda ms, ls: [ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF]
    check(as_numbers(fixed.FileVersionMS, fixed.FileVersionLS) == numbers, "FILEVERSION")
    check(as_numbers(fixed.ProductVersionMS, fixed.ProductVersionLS) == numbers, "PRODUCTVERSION")
    texts, translations = {}, []
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                texts[text(table.LangID)] = {text(k): text(v) for k, v in table.entries.items()}
        elif info.Key == b"VarFileInfo":
            translations = [{text(k): text(v) for k, v in var.entry.items()} for var in info.Var]
    expected = {
        "CompanyName": "Norvik",
        "FileDescription": "Norvik Velora Firmware Update Tool",
        "FileVersion": version,
        "InternalName": "FWUpdate",
        "OriginalFilename": "FWUpdate.exe",
        "ProductVersion": version,
    }
    block = texts.get("040904B0") or texts.get("040904b0") or {}
    check(list(texts) in (["040904B0"], ["040904b0"]), f"version text blocks {list(texts)}")
    for key, value in expected.items():
        check(block.get(key) == value, f"version text {key}: {block.get(key)!r}, expected {value!r}")
    check(block.get("ProductName"), "version text ProductName missing")
    check(translations == [{"Translation": "0x0409 0x04b0"}], f"translations {translations}")


def check_manifest(resources):
    manifests = resources.of_type(RT_MANIFEST)
    check([key[0] for key in manifests] == [1], f"manifests {sorted(manifests)}, expected 1")
    if not manifests:
        return
    root = ET.fromstring(next(iter(manifests.values())))
    by_tag = lambda name: [e for e in root.iter() if e.tag.rsplit("}", 1)[-1] == name]
    levels = [e.get("level") for e in by_tag("requestedExecutionLevel")]
    check(levels == ["requireAdministrator"], f"execution level {levels}")
    controls = [e.attrib for e in by_tag("assemblyIdentity")
                if e.get("name") == "Microsoft.Windows.Common-Controls"]
    check([c.get("version") for c in controls] == ["6.0.0.0"], "no Common Controls 6 dependency")
    check([e.text for e in by_tag("dpiAware")] == ["true/PM"], "dpiAware is not true/PM")
    check([e.text for e in by_tag("dpiAwareness")] == ["PerMonitorV2"], "dpiAwareness")


def check_icon(resources):
    groups = resources.of_type(RT_GROUP_ICON)
    check([key[0] for key in groups] == [500], f"icon groups {sorted(groups)}, expected 500")
    data = next(iter(groups.values()), None)
    if data is None:
        return
    r = Reader(data)
    _reserved, _kind, count = r.take("HHH")
    icons = {key[0] for key in resources.of_type(RT_ICON)}
    sizes = []
    for _ in range(count):
        width, height, _colors, _reserved, _planes, _bits, _size, ident = r.take("BBBBHHIH")
        sizes.append(width or 256)  # 0 stands for 256
        check(width == height, f"icon {ident} is not square")
        check(ident in icons, f"icon group names missing icon {ident}")
    check(sorted(sizes) == ICON_SIZES, f"icon sizes {sorted(sizes)}")


def check_imports(pe):
    dlls = {entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT}
    check(dlls <= SYSTEM_DLLS, f"imports DLLs a bare Windows lacks: {sorted(dlls - SYSTEM_DLLS)}")
    check(pe.OPTIONAL_HEADER.Subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"],
          "not a GUI program")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    pe = pefile.PE(sys.argv[1])
    resources = Resources(pe)
    check_dialog(resources)
    check_strings(resources, pathlib.Path(sys.argv[2]) / "strings")
    check_version(pe, sys.argv[3])
    check_manifest(resources)
    check_icon(resources)
    check_imports(pe)
    for failure in failures:
        print("FAIL:", failure)
    if failures:
        sys.exit(1)
    print("resources of", sys.argv[1], "are as expected")


if __name__ == "__main__":
    main()
