#!/usr/bin/env python3
"""Checks that a built QUENTL32.DLL holds exactly what the resource scripts define.

Reads the library's resource section (the PE resource directory, its string bundles and
dialog templates) and compares it with the scripts as rc_to_tables.py reads them: every
string at its id with its text, every dialog by name with its caption, class, position and
controls (class, text, id, position). So the Windows resource module and the tables of the
POSIX build come from one reading of the scripts, and a script that windres takes one way
and the generator another fails the build.

The module's own icons are checked the same way: the icon group of that name in the library
must hold the images of the icon file.

Usage: check_resource_module.py QUENTL32.DLL script.rc...
       check_resource_module.py --icon NAME FILE.ico LIBRARY.DLL
"""

import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rc_to_tables  # noqa: E402

RT_ICON = 3
RT_DIALOG = 5
RT_STRING = 6
RT_GROUP_ICON = 14
# The predefined control classes of a template, by their atoms.
CLASS_ATOMS = {0x80: "Button", 0x81: "Edit", 0x82: "Static", 0x83: "ListBox",
               0x84: "ScrollBar", 0x85: "ComboBox"}


class Image:
    """The parts of a PE image that resources need: sections and the resource directory."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not a PE image")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE header")
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.resource_rva, self.resource_size = struct.unpack_from("<II", data, directories + 2 * 8)
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            _, virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from(
                "<8sIIII", data, table + 40 * i)
            self.sections.append((virtual_address, max(virtual_size, raw_size), raw_pointer))

    def offset(self, rva):
        for address, size, pointer in self.sections:
            if address <= rva < address + size:
                return pointer + rva - address
        raise ValueError(f"address {rva:#x} lies in no section")

    def resources(self):
        """{type: {name: bytes}} of the first language of each resource."""
        if self.resource_rva == 0:
            return {}
        base = self.offset(self.resource_rva)
        found = {}
        for type_key, type_offset in self.directory(base, 0):
            for name_key, name_offset in self.directory(base, type_offset):
                languages = self.directory(base, name_offset)
                if not languages:
                    continue
                entry = base + languages[0][1]
                rva, size = struct.unpack_from("<II", self.data, entry)
                start = self.offset(rva)
                found.setdefault(type_key, {})[name_key] = self.data[start:start + size]
        return found

    def directory(self, base, offset):
        named, numbered = struct.unpack_from("<HH", self.data, base + offset + 12)
        entries = []
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)
            if name & 0x80000000:
                at = base + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", self.data, at)[0]
                key = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            else:
                key = name
            entries.append((key, target & 0x7FFFFFFF))
        return entries


class Reader:
    def __init__(self, data):
        self.data, self.at = data, 0

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.at)
        self.at += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def text(self):
        end = self.at
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        value = self.data[self.at:end].decode("utf-16-le")
        self.at = end + 2
        return value

    def name_or_ordinal(self):
        first = struct.unpack_from("<H", self.data, self.at)[0]
        if first == 0:
            self.at += 2
            return ""
        if first == 0xFFFF:
            self.at += 2
            return self.take("H")
        return self.text()

    def align(self):
        self.at = (self.at + 3) & ~3


def read_dialog(data):
    reader = Reader(data)
    extended = struct.unpack_from("<HH", data, 0) == (1, 0xFFFF)
    if extended:
        _, _, _, _, style, count, x, y, cx, cy = reader.take("HHIIIHhhhh")
    else:
        style, _, count, x, y, cx, cy = reader.take("IIHhhhh")
    reader.name_or_ordinal()  # menu
    class_name = reader.name_or_ordinal()
    dialog = {"caption": reader.text(), "class": class_name if isinstance(class_name, str) else "",
              "rect": (x, y, cx, cy), "controls": []}
    if style & 0x40:  # DS_SETFONT
        reader.take("HHBB" if extended else "H")
        reader.text()
    for _ in range(count):
        reader.align()
        if extended:
            _, _, _, x, y, cx, cy, control_id = reader.take("IIIhhhhI")
        else:
            _, _, x, y, cx, cy, control_id = reader.take("IIhhhhH")
        control_class = reader.name_or_ordinal()
        if isinstance(control_class, int):
            control_class = CLASS_ATOMS.get(control_class, f"#{control_class}")
        text = reader.name_or_ordinal()
        extra = reader.take("H")
        reader.at += extra
        dialog["controls"].append((control_class.lower(), text if isinstance(text, str) else "",
                                   control_id & 0xFFFF, (x, y, cx, cy)))
    return dialog


def read_strings(bundles):
    strings = {}
    for bundle, data in bundles.items():
        reader = Reader(data)
        for i in range(16):
            length = reader.take("H")
            text = data[reader.at:reader.at + 2 * length].decode("utf-16-le")
            reader.at += 2 * length
            if length:
                strings[(bundle - 1) * 16 + i] = text
    return strings


def expected_id(control, expressions):
    stream = rc_to_tables.Stream(rc_to_tables.tokenize(control.id_text, ("id", 0)), ("id", 0))
    return expressions.number(stream, "a control id") & 0xFFFF


def compare(dll, scripts):
    image = Image(open(dll, "rb").read())
    resources = image.resources()
    script = rc_to_tables.parse(scripts, [])
    problems = []

    # Ids are read again with the macros of the scripts, to compare numbers.
    preprocessor = rc_to_tables.Preprocessor([])
    for path in scripts:
        preprocessor.run(path)
    expressions = rc_to_tables.Expressions(preprocessor.macros)

    strings = read_strings(resources.get(RT_STRING, {}))
    wanted_strings = {value: text for value, _, text, _ in script.strings}
    for value, text in sorted(wanted_strings.items()):
        if strings.get(value) != text:
            problems.append(f"string {value}: {strings.get(value)!r} instead of {text!r}")
    for value in sorted(set(strings) - set(wanted_strings)):
        problems.append(f"string {value} is not in the scripts")

    dialogs = {str(name).upper(): read_dialog(data)
               for name, data in resources.get(RT_DIALOG, {}).items()}
    for dialog in script.dialogs:
        name = dialog.name.upper()
        if name.startswith("#"):
            name = str(int(name[1:]))
        built = dialogs.pop(name, None)
        if built is None:
            problems.append(f"dialog {dialog.name} is missing")
            continue
        if built["caption"] != dialog.caption:
            problems.append(f"dialog {dialog.name}: caption {built['caption']!r}")
        if built["class"].lower() != dialog.class_name.lower():
            problems.append(f"dialog {dialog.name}: class {built['class']!r}")
        if built["rect"] != dialog.rect:
            problems.append(f"dialog {dialog.name}: placed at {built['rect']}")
        wanted = [(c.class_name.lower(), c.text, expected_id(c, expressions), c.rect)
                  for c in dialog.controls]
        if built["controls"] != wanted:
            problems.append(f"dialog {dialog.name}: controls {built['controls']}"
                            f" instead of {wanted}")
    for name in dialogs:
        problems.append(f"dialog {name} is not in the scripts")
    return problems


def compare_icon(dll, name, icon_file):
    """The icon group NAME of the library against the icon file: the same images in order."""
    resources = Image(open(dll, "rb").read()).resources()
    group = {str(key).upper(): data for key, data in resources.get(RT_GROUP_ICON, {}).items()}
    built = group.get(name.upper())
    if built is None:
        return [f"icon {name} is missing"]
    wanted = open(icon_file, "rb").read()
    count = struct.unpack_from("<H", built, 4)[0]
    if count != struct.unpack_from("<H", wanted, 4)[0]:
        return [f"icon {name}: {count} images instead of those of {icon_file}"]
    for i in range(count):
        ordinal = struct.unpack_from("<H", built, 6 + 14 * i + 12)[0]
        size, offset = struct.unpack_from("<II", wanted, 6 + 16 * i + 8)
        if resources.get(RT_ICON, {}).get(ordinal) != wanted[offset:offset + size]:
            return [f"icon {name}: image {i} is not that of {icon_file}"]
    return []


def main(argv):
    if len(argv) == 4 and argv[0] == "--icon":
        try:
            problems = compare_icon(argv[3], argv[1], argv[2])
        except (OSError, ValueError, struct.error) as error:
            problems = [str(error)]
        for problem in problems:
            print(f"{argv[3]}: {problem}", file=sys.stderr)
        return 1 if problems else 0
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        problems = compare(argv[0], argv[1:])
    except (OSError, ValueError, struct.error, rc_to_tables.ScriptError) as error:
        problems = [str(error)]
    for problem in problems:
        print(f"{argv[0]}: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
