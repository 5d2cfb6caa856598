#!/usr/bin/env python3
"""Turns the resource scripts of the resource module into C++ tables for the POSIX build.

The Windows builds compile ui/resources/*.rc with windres into QUENTL32.DLL. The POSIX
build has no resource compiler, so this script reads the same scripts and writes a C++
file that registers their string table and dialog templates for the library it is linked
into (libquentl32.so), through TvRegisterStringTable and TvRegisterDialogTemplates.

It understands the part of the resource language these scripts use, and stops with an
error naming the file and line on anything else, so a script never means one thing to
windres and another here:
  - comments, #include "file" (project headers: only preprocessor lines), #include of the
    Windows headers (<windows.h>, <winresrc.h>, <winuser.h>, <winres.h>), #define of
    integer expressions, #undef, #ifdef, #ifndef, #else, #endif, #pragma once;
  - STRINGTABLE with id, "text" entries;
  - name DIALOG / DIALOGEX x, y, cx, cy with STYLE, EXSTYLE, CAPTION, FONT, CLASS, and the
    controls LTEXT, RTEXT, CTEXT, EDITTEXT, PUSHBUTTON, DEFPUSHBUTTON, LISTBOX, COMBOBOX,
    CHECKBOX, AUTOCHECKBOX, RADIOBUTTON, AUTORADIOBUTTON, GROUPBOX and
    CONTROL "text", id, class, style, x, y, cx, cy;
  - strings with the escapes "" \\n \\t \\r \\a \\\\ \\" \\xhh and octal \\ooo.

Styles and ids are written into the C++ file as the script spells them, so the compiler
resolves the Windows names against the platform's own declarations and the project names
against the ids header; this script checks that every name is one of the two. It works out
numeric values where it must decide something itself: string ids (unique, 0 to 65535),
dialog names given as numbers, and coordinates.

Usage: rc_to_tables.py [-I dir]... -o output.cpp script.rc...
"""

import argparse
import os
import re
import sys

# The Windows names a script may use. Style names are checked, not evaluated; the ids are
# evaluated where this script needs their number.
WINDOWS_IDS = {
    "IDOK": 1, "IDCANCEL": 2, "IDABORT": 3, "IDRETRY": 4, "IDIGNORE": 5, "IDYES": 6,
    "IDNO": 7, "IDCLOSE": 8, "IDHELP": 9,
}
WINDOWS_STYLE_PREFIXES = ("WS_", "WS_EX_", "DS_", "ES_", "SS_", "BS_", "LBS_", "CBS_")
WINDOWS_HEADERS = {"windows.h", "winresrc.h", "winuser.h", "winres.h"}

MEMORY_OPTIONS = {"DISCARDABLE", "MOVEABLE", "FIXED", "PURE", "IMPURE", "PRELOAD",
                  "LOADONCALL"}
IGNORED_STATEMENTS = {"LANGUAGE", "CHARACTERISTICS", "VERSION"}

BASE_CONTROL_STYLE = ["WS_CHILD", "WS_VISIBLE"]
# keyword: (class, default style names, whether the statement starts with a text)
CONTROL_KINDS = {
    "LTEXT": ("Static", ["SS_LEFT", "WS_GROUP"], True),
    "RTEXT": ("Static", ["SS_RIGHT", "WS_GROUP"], True),
    "CTEXT": ("Static", ["SS_CENTER", "WS_GROUP"], True),
    "PUSHBUTTON": ("Button", ["BS_PUSHBUTTON", "WS_TABSTOP"], True),
    "DEFPUSHBUTTON": ("Button", ["BS_DEFPUSHBUTTON", "WS_TABSTOP"], True),
    "CHECKBOX": ("Button", ["BS_CHECKBOX", "WS_TABSTOP"], True),
    "AUTOCHECKBOX": ("Button", ["BS_AUTOCHECKBOX", "WS_TABSTOP"], True),
    "RADIOBUTTON": ("Button", ["BS_RADIOBUTTON", "WS_TABSTOP"], True),
    "AUTORADIOBUTTON": ("Button", ["BS_AUTORADIOBUTTON", "WS_TABSTOP"], True),
    "GROUPBOX": ("Button", ["BS_GROUPBOX"], True),
    "EDITTEXT": ("Edit", ["ES_LEFT", "WS_BORDER", "WS_TABSTOP"], False),
    "LISTBOX": ("ListBox", ["LBS_NOTIFY", "WS_BORDER"], False),
    "COMBOBOX": ("ComboBox", ["CBS_SIMPLE", "WS_TABSTOP"], False),
}
# Class names CONTROL may give without quotes.
CONTROL_CLASS_KEYWORDS = {"BUTTON": "Button", "EDIT": "Edit", "STATIC": "Static",
                          "LISTBOX": "ListBox", "COMBOBOX": "ComboBox",
                          "SCROLLBAR": "ScrollBar"}
DEFAULT_DIALOG_STYLE = ["WS_POPUP", "WS_BORDER", "WS_SYSMENU"]


class ScriptError(Exception):
    def __init__(self, where, message):
        super().__init__(f"{where[0]}:{where[1]}: error: {message}")


# ---------------------------------------------------------------------------------------
# Preprocessing: comments, directives, includes. The result is a list of (text, where)
# lines of resource statements and the table of macros.
# ---------------------------------------------------------------------------------------

class Macro:
    def __init__(self, tokens, where):
        self.tokens = tokens  # the replacement, as tokens
        self.where = where


def strip_comments(text, path):
    """Removes // and /* */ comments (not inside strings), keeping line numbers."""
    out = []
    i = 0
    line = 1
    in_string = False
    while i < len(text):
        c = text[i]
        if in_string:
            out.append(c)
            if c == '"':
                if text.startswith('""', i):
                    out.append('"')
                    i += 2
                    continue
                in_string = False
            elif c == "\\" and i + 1 < len(text) and text[i + 1] != "\n":
                out.append(text[i + 1])
                i += 2
                continue
            elif c == "\n":
                raise ScriptError((path, line), "string runs past the end of the line")
            i += 1
            continue
        if c == '"':
            in_string = True
        elif text.startswith("//", i):
            end = text.find("\n", i)
            i = len(text) if end < 0 else end
            continue
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            if end < 0:
                raise ScriptError((path, line), "comment is never closed")
            line += text.count("\n", i, end)
            out.append("\n" * text.count("\n", i, end))
            i = end + 2
            continue
        if c == "\n":
            line += 1
        out.append(c)
        i += 1
    return "".join(out)


class Preprocessor:
    def __init__(self, include_dirs):
        self.include_dirs = include_dirs
        self.macros = {}
        self.headers = []  # project headers, in the order they were first included
        self.lines = []
        self.active_includes = []

    def resolve(self, name, current, where):
        for directory in [os.path.dirname(current)] + self.include_dirs:
            candidate = os.path.normpath(os.path.join(directory, name))
            if os.path.isfile(candidate):
                return candidate
        raise ScriptError(where, f'cannot find "{name}"')

    def run(self, path, header=False):
        path = os.path.abspath(path)
        if path in self.active_includes:
            raise ScriptError((path, 1), "includes itself")
        self.active_includes.append(path)
        with open(path, encoding="latin-1") as f:
            text = strip_comments(f.read(), path)
        raw_lines = text.split("\n")
        conditions = []  # one bool per open #if: whether its lines count
        number = 0
        pending = ""
        for raw in raw_lines:
            number += 1
            if raw.endswith("\\"):
                pending += raw[:-1]
                continue
            line = (pending + raw).strip()
            pending = ""
            where = (path, number)
            active = all(conditions)
            if line.startswith("#"):
                self.directive(line[1:].strip(), where, conditions, active, path)
                continue
            if not line or not active:
                continue
            if header:
                raise ScriptError(where, "a header may hold only preprocessor lines")
            self.lines.append((line, where))
        if conditions:
            raise ScriptError((path, number), "#if without #endif")
        self.active_includes.pop()

    def directive(self, text, where, conditions, active, path):
        match = re.match(r"(\w+)\s*(.*)$", text)
        if not match:
            raise ScriptError(where, f"unknown directive #{text}")
        name, rest = match.group(1), match.group(2).strip()
        if name in ("ifdef", "ifndef"):
            if not re.fullmatch(r"[A-Za-z_]\w*", rest):
                raise ScriptError(where, f"#{name} needs one name")
            defined = rest in self.macros or rest == "RC_INVOKED"
            conditions.append(defined if name == "ifdef" else not defined)
            return
        if name == "else":
            if not conditions:
                raise ScriptError(where, "#else without #if")
            conditions[-1] = not conditions[-1]
            return
        if name == "endif":
            if not conditions:
                raise ScriptError(where, "#endif without #if")
            conditions.pop()
            return
        if not active:
            return
        if name == "include":
            system = re.fullmatch(r"<([^>]+)>", rest)
            if system:
                if system.group(1).lower() not in WINDOWS_HEADERS:
                    raise ScriptError(where, f"cannot read the system header <{system.group(1)}>")
                return
            local = re.fullmatch(r'"([^"]+)"', rest)
            if not local:
                raise ScriptError(where, f"cannot read #include {rest}")
            header = self.resolve(local.group(1), path, where)
            if not header.endswith(".h"):
                raise ScriptError(where, "only headers (.h) may be included")
            if header not in self.headers:
                self.headers.append(header)
            self.run(header, header=True)
            return
        if name == "define":
            match = re.fullmatch(r"([A-Za-z_]\w*)(\(.*)?\s*(.*)", rest)
            if not match or match.group(2):
                raise ScriptError(where, f"cannot read #define {rest}")
            tokens = tokenize(match.group(3), where) if match.group(3) else []
            self.macros[match.group(1)] = Macro(tokens, where)
            return
        if name == "undef":
            self.macros.pop(rest, None)
            return
        if name == "pragma" and rest == "once":
            return
        raise ScriptError(where, f"unknown directive #{name}")


# ---------------------------------------------------------------------------------------
# Tokens
# ---------------------------------------------------------------------------------------

TOKEN = re.compile(r"""
    (?P<space>\s+)
  | (?P<string>"(?:[^"\\]|""|\\.)*")
  | (?P<number>0[xX][0-9A-Fa-f]+[uUlL]*|\d+[uUlL]*)
  | (?P<name>[A-Za-z_][A-Za-z0-9_]*)
  | (?P<punct>[,|()+\-*/&~{}])
""", re.VERBOSE)

ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "a": "\a", "\\": "\\", '"': '"'}


def unquote(literal, where):
    body = literal[1:-1]
    out = []
    i = 0
    while i < len(body):
        c = body[i]
        if c == '"':
            out.append('"')  # the pair "" stands for one quote
            i += 2
            continue
        if c != "\\":
            out.append(c)
            i += 1
            continue
        i += 1
        e = body[i] if i < len(body) else ""
        if e in ESCAPES:
            out.append(ESCAPES[e])
            i += 1
        elif e in "xX":
            digits = re.match(r"[0-9A-Fa-f]{1,2}", body[i + 1:])
            if not digits:
                raise ScriptError(where, "\\x needs hex digits")
            out.append(chr(int(digits.group(0), 16)))
            i += 1 + len(digits.group(0))
        elif e.isdigit() and e in "01234567":
            digits = re.match(r"[0-7]{1,3}", body[i:])
            out.append(chr(int(digits.group(0), 8) & 0xFF))
            i += len(digits.group(0))
        else:
            raise ScriptError(where, f"unknown escape \\{e} in a string")
    return "".join(out)


class Token:
    def __init__(self, kind, value, where):
        self.kind, self.value, self.where = kind, value, where

    def __repr__(self):
        return f"{self.kind}:{self.value}"


def tokenize(text, where):
    tokens = []
    at = 0
    while at < len(text):
        match = TOKEN.match(text, at)
        if not match:
            raise ScriptError(where, f"cannot read {text[at:at + 20]!r}")
        at = match.end()
        kind = match.lastgroup
        if kind == "space":
            continue
        value = match.group(kind)
        if kind == "string":
            value = unquote(value, where)
        elif kind == "number":
            value = int(value.rstrip("uUlL"), 0)
        tokens.append(Token(kind, value, where))
    return tokens


class Stream:
    def __init__(self, tokens, end_where):
        self.tokens = tokens
        self.at = 0
        self.end_where = end_where

    def peek(self, offset=0):
        i = self.at + offset
        return self.tokens[i] if i < len(self.tokens) else None

    def where(self):
        token = self.peek()
        return token.where if token else self.end_where

    def next(self, what):
        token = self.peek()
        if token is None:
            raise ScriptError(self.end_where, f"{what} expected at the end of the script")
        self.at += 1
        return token

    def is_word(self, *words, offset=0):
        token = self.peek(offset)
        return token is not None and token.kind == "name" and token.value.upper() in words

    def is_punct(self, value):
        token = self.peek()
        return token is not None and token.kind == "punct" and token.value == value

    def expect_punct(self, value):
        token = self.next(f"'{value}'")
        if token.kind != "punct" or token.value != value:
            raise ScriptError(token.where, f"'{value}' expected, found {token.value!r}")

    def skip_comma(self):
        if self.is_punct(","):
            self.at += 1

    def string(self, what):
        token = self.next(what)
        if token.kind != "string":
            raise ScriptError(token.where, f"{what} expected as a quoted text")
        return token.value


# ---------------------------------------------------------------------------------------
# Expressions. An expression is read into (C++ text, value or None); the value is known
# when every name in it has a number here.
# ---------------------------------------------------------------------------------------

class Expressions:
    def __init__(self, macros):
        self.macros = macros

    def name_value(self, token, seen=()):
        name = token.value
        if name in self.macros:
            if name in seen:
                raise ScriptError(token.where, f"{name} is defined in terms of itself")
            macro = self.macros[name]
            if not macro.tokens:
                raise ScriptError(token.where, f"{name} has no value")
            stream = Stream(macro.tokens, macro.where)
            _, value = self.expression(stream, seen + (name,))
            if stream.peek() is not None:
                raise ScriptError(macro.where, f"cannot read the value of {name}")
            return value
        if name in WINDOWS_IDS:
            return WINDOWS_IDS[name]
        if name.startswith(WINDOWS_STYLE_PREFIXES) and name.isupper():
            return None
        raise ScriptError(token.where, f"unknown name {name}")

    def primary(self, stream, seen):
        token = stream.next("a value")
        if token.kind == "number":
            return str(token.value), token.value
        if token.kind == "name":
            if token.value.upper() == "NOT":
                raise ScriptError(token.where, "NOT is allowed only in a style")
            return token.value, self.name_value(token, seen)
        if token.kind == "punct" and token.value == "(":
            text, value = self.expression(stream, seen)
            stream.expect_punct(")")
            return f"({text})", value
        if token.kind == "punct" and token.value in "-~":
            text, value = self.primary(stream, seen)
            if value is not None:
                value = -value if token.value == "-" else ~value
            return f"{token.value}{text}", value
        raise ScriptError(token.where, f"a value expected, found {token.value!r}")

    OPERATORS = {"|": lambda a, b: a | b, "&": lambda a, b: a & b, "+": lambda a, b: a + b,
                 "-": lambda a, b: a - b, "*": lambda a, b: a * b,
                 "/": lambda a, b: int(a / b) if b else None}

    def expression(self, stream, seen=(), stop_at_or=False):
        text, value = self.primary(stream, seen)
        while True:
            token = stream.peek()
            if (token is None or token.kind != "punct" or token.value not in self.OPERATORS
                    or (stop_at_or and token.value == "|")):
                return text, value
            stream.next("an operator")
            right_text, right = self.primary(stream, seen)
            text = f"{text} {token.value} {right_text}"
            value = (None if value is None or right is None
                     else self.OPERATORS[token.value](value, right))

    def number(self, stream, what):
        where = stream.where()
        _, value = self.expression(stream)
        if value is None:
            raise ScriptError(where, f"{what} must be a number")
        return value

    def style(self, stream, defaults):
        """A style: terms joined by '|', a term 'NOT x' taking bits away, folded over the
        defaults left to right as the resource compiler does."""
        text = " | ".join(defaults) if defaults else "0"
        while True:
            if stream.is_word("NOT"):
                stream.next("NOT")
                term, _ = self.primary(stream, ())
                text = f"({text}) & ~({term})"
            else:
                term, _ = self.expression(stream, (), stop_at_or=True)
                text = f"{text} | {term}" if text != "0" else term
            if not stream.is_punct("|"):
                return text
            stream.next("|")


# ---------------------------------------------------------------------------------------
# Resource statements
# ---------------------------------------------------------------------------------------

class Control:
    def __init__(self, class_name, text, id_text, style, ex_style, rect):
        self.class_name, self.text, self.id_text = class_name, text, id_text
        self.style, self.ex_style, self.rect = style, ex_style, rect


class Dialog:
    def __init__(self, name, where):
        self.name = name
        self.where = where
        self.style = None
        self.ex_style = "0"
        self.rect = (0, 0, 0, 0)
        self.caption = ""
        self.class_name = ""
        self.font_name = ""
        self.font_size = 0
        self.controls = []


class Script:
    def __init__(self):
        self.strings = []  # (id value, id text, text, where)
        self.dialogs = []
        self.headers = []


def parse(paths, include_dirs):
    preprocessor = Preprocessor([os.path.abspath(d) for d in include_dirs])
    for path in paths:
        preprocessor.run(path)
    tokens = []
    for line, where in preprocessor.lines:
        tokens.extend(tokenize(line, where))
    end = preprocessor.lines[-1][1] if preprocessor.lines else (paths[-1], 1)
    stream = Stream(tokens, end)
    expressions = Expressions(preprocessor.macros)
    script = Script()
    script.headers = preprocessor.headers
    while stream.peek() is not None:
        token = stream.peek()
        if stream.is_word("STRINGTABLE"):
            stream.next("STRINGTABLE")
            parse_stringtable(stream, expressions, script)
        elif stream.is_word("LANGUAGE"):
            stream.next("LANGUAGE")
            expressions.expression(stream)
            stream.expect_punct(",")
            expressions.expression(stream)
        elif stream.is_word("DIALOG", "DIALOGEX", offset=1):
            parse_dialog(stream, expressions, script)
        else:
            raise ScriptError(token.where, f"cannot read a resource starting with {token.value!r}")
    seen = {}
    for value, _, _, where in script.strings:
        if not 0 <= value <= 0xFFFF:
            raise ScriptError(where, f"string id {value} is not between 0 and 65535")
        if value in seen:
            raise ScriptError(where, f"string id {value} is used twice"
                                     f" (also at line {seen[value][1]})")
        seen[value] = where
    names = {}
    for dialog in script.dialogs:
        key = dialog.name.upper()
        if key in names:
            raise ScriptError(dialog.where, f"dialog {dialog.name} is defined twice")
        names[key] = dialog
    return script


def skip_options(stream, expressions, allowed):
    """Memory options and the statements that change nothing here."""
    while True:
        if stream.is_word(*MEMORY_OPTIONS):
            stream.next("an option")
        elif stream.is_word(*IGNORED_STATEMENTS) and allowed:
            word = stream.next("a statement").value.upper()
            expressions.expression(stream)
            if word == "LANGUAGE":
                stream.expect_punct(",")
                expressions.expression(stream)
        else:
            return


def expect_begin(stream):
    token = stream.next("BEGIN")
    if not ((token.kind == "name" and token.value.upper() == "BEGIN") or
            (token.kind == "punct" and token.value == "{")):
        raise ScriptError(token.where, f"BEGIN expected, found {token.value!r}")


def at_end(stream):
    if stream.is_word("END") or stream.is_punct("}"):
        stream.next("END")
        return True
    if stream.peek() is None:
        raise ScriptError(stream.end_where, "END expected at the end of the script")
    return False


def parse_stringtable(stream, expressions, script):
    skip_options(stream, expressions, True)
    expect_begin(stream)
    while not at_end(stream):
        where = stream.where()
        id_text, value = expressions.expression(stream)
        if value is None:
            raise ScriptError(where, "a string id must be a number")
        stream.skip_comma()
        text = stream.string("the text of a string")
        script.strings.append((value, id_text, text, where))


def parse_dialog(stream, expressions, script):
    name_token = stream.next("a dialog name")
    kind = stream.next("DIALOG").value.upper()
    if name_token.kind == "string":
        name = name_token.value
    elif name_token.kind == "number":
        name = f"#{name_token.value}"
    elif name_token.kind == "name" and name_token.value in expressions.macros:
        name = f"#{expressions.number(Stream([name_token], name_token.where), 'a dialog id')}"
    elif name_token.kind == "name" and name_token.value not in WINDOWS_IDS:
        name = name_token.value
    else:
        raise ScriptError(name_token.where, f"cannot use {name_token.value!r} as a dialog name")
    dialog = Dialog(name, name_token.where)
    skip_options(stream, expressions, False)
    numbers = []
    for i in range(4):
        if i:
            stream.expect_punct(",")
        numbers.append(expressions.number(stream, "a dialog coordinate"))
    dialog.rect = tuple(numbers)
    if kind == "DIALOGEX" and stream.is_punct(","):
        stream.next(",")
        expressions.number(stream, "a help id")
    style_given = None
    extra_style = []
    while not (stream.is_word("BEGIN") or stream.is_punct("{")):
        token = stream.next("BEGIN")
        word = token.value.upper() if token.kind == "name" else None
        if word == "STYLE":
            style_given = expressions.style(stream, [])
        elif word == "EXSTYLE":
            dialog.ex_style = expressions.style(stream, [])
        elif word == "CAPTION":
            dialog.caption = stream.string("the caption")
            extra_style.append("WS_CAPTION")
        elif word == "CLASS":
            token = stream.next("a class name")
            if token.kind not in ("string", "name"):
                raise ScriptError(token.where, "a class name expected")
            dialog.class_name = token.value
        elif word == "FONT":
            dialog.font_size = expressions.number(stream, "the font size")
            stream.expect_punct(",")
            dialog.font_name = stream.string("the font name")
            if kind == "DIALOGEX":
                for _ in range(3):
                    if not stream.is_punct(","):
                        break
                    stream.next(",")
                    expressions.number(stream, "a font value")
            extra_style.append("DS_SETFONT")
        elif word in IGNORED_STATEMENTS:
            expressions.expression(stream)
            if word == "LANGUAGE":
                stream.expect_punct(",")
                expressions.expression(stream)
        else:
            raise ScriptError(token.where, f"cannot read the dialog statement {token.value!r}")
    style = style_given if style_given is not None else " | ".join(DEFAULT_DIALOG_STYLE)
    dialog.style = " | ".join([f"({style})"] + extra_style) if extra_style else style
    expect_begin(stream)
    while not at_end(stream):
        dialog.controls.append(parse_control(stream, expressions, kind == "DIALOGEX"))
    script.dialogs.append(dialog)


def parse_control(stream, expressions, extended):
    token = stream.next("a control")
    word = token.value.upper() if token.kind == "name" else None

    def rect():
        values = []
        for i in range(4):
            if i:
                stream.expect_punct(",")
            values.append(expressions.number(stream, "a control coordinate"))
        return tuple(values)

    def trailing(defaults, has_style):
        style = " | ".join(defaults)
        ex_style = "0"
        if has_style and stream.is_punct(","):
            stream.next(",")
            style = expressions.style(stream, defaults)
        if stream.is_punct(","):
            stream.next(",")
            ex_style = expressions.style(stream, [])
        if extended and stream.is_punct(","):
            stream.next(",")
            expressions.number(stream, "a help id")
        return style, ex_style

    if word in CONTROL_KINDS:
        class_name, defaults, has_text = CONTROL_KINDS[word]
        text = ""
        if has_text:
            text = stream.string(f"the text of {word}")
            stream.expect_punct(",")
        id_text, _ = expressions.expression(stream)
        stream.expect_punct(",")
        position = rect()
        style, ex_style = trailing(BASE_CONTROL_STYLE + defaults, True)
        return Control(class_name, text, id_text, style, ex_style, position)
    if word == "CONTROL":
        text = stream.string("the text of CONTROL")
        stream.expect_punct(",")
        id_text, _ = expressions.expression(stream)
        stream.expect_punct(",")
        class_token = stream.next("a class name")
        if class_token.kind == "string":
            class_name = class_token.value
        elif class_token.kind == "name" and class_token.value.upper() in CONTROL_CLASS_KEYWORDS:
            class_name = CONTROL_CLASS_KEYWORDS[class_token.value.upper()]
        else:
            raise ScriptError(class_token.where, f"cannot use {class_token.value!r} as a class")
        stream.expect_punct(",")
        style = expressions.style(stream, BASE_CONTROL_STYLE)
        stream.expect_punct(",")
        position = rect()
        _, ex_style = trailing([], False)
        return Control(class_name, text, id_text, style, ex_style, position)
    raise ScriptError(token.where, f"cannot read the control statement {token.value!r}")


# ---------------------------------------------------------------------------------------
# Output
# ---------------------------------------------------------------------------------------

def cpp_string(text):
    out = ['"']
    for c in text:
        code = ord(c)
        if c in '"\\':
            out.append("\\" + c)
        elif 0x20 <= code < 0x7F:
            out.append(c)
        else:
            out.append(f"\\{code & 0xFF:03o}")
    out.append('"')
    return "".join(out)


def identifier_for(name):
    return re.sub(r"\W", "_", name)


def generate(script, sources):
    lines = [
        "// The resource module's string table and dialog templates, generated by",
        "// ui/resources/rc_to_tables.py from "
        + ", ".join(os.path.basename(s) for s in sources) + ".",
        "// Do not edit: change the resource scripts. Loading the library registers them for",
        "// its own instance, where LoadStringA and the dialog calls find them.",
        "#include <iterator>",
        "",
        '#include "platform/posix/hooks.h"',
    ]
    lines += [f'#include "{header}"' for header in script.headers]
    lines += ["", "namespace {", ""]
    if script.strings:
        lines.append("constexpr TvStringTableEntry kStrings[] = {")
        for _, id_text, text, _ in script.strings:
            lines.append(f"    {{static_cast<UINT>({id_text}), {cpp_string(text)}}},")
        lines += ["};", ""]
    for dialog in script.dialogs:
        if not dialog.controls:
            continue
        array = f"kControls_{identifier_for(dialog.name)}"
        lines.append(f"constexpr TvDialogControlTemplate {array}[] = {{")
        for control in dialog.controls:
            x, y, cx, cy = control.rect
            lines.append(f"    {{{cpp_string(control.class_name)}, {cpp_string(control.text)}, "
                         f"static_cast<int>({control.id_text}),")
            lines.append(f"     static_cast<DWORD>({control.style}),")
            lines.append(f"     static_cast<DWORD>({control.ex_style}), {x}, {y}, {cx}, {cy}}},")
        lines += ["};", ""]
    if script.dialogs:
        lines.append("constexpr TvDialogTemplate kDialogs[] = {")
        for dialog in script.dialogs:
            x, y, cx, cy = dialog.rect
            controls = (f"kControls_{identifier_for(dialog.name)}, "
                        f"std::size(kControls_{identifier_for(dialog.name)})"
                        if dialog.controls else "nullptr, 0")
            lines.append(f"    {{{cpp_string(dialog.name)},")
            lines.append(f"     static_cast<DWORD>({dialog.style}),")
            lines.append(f"     static_cast<DWORD>({dialog.ex_style}), {x}, {y}, {cx}, {cy},")
            lines.append(f"     {cpp_string(dialog.caption)}, {cpp_string(dialog.class_name)}, "
                         f"{cpp_string(dialog.font_name)}, {dialog.font_size},")
            lines.append(f"     {controls}}},")
        lines += ["};", ""]
    lines += [
        "struct Registration {",
        "    Registration() {",
        "        static const char kHere = 0;",
        "        HINSTANCE self = TvModuleInstanceOf(&kHere);",
    ]
    if script.strings:
        lines.append("        TvRegisterStringTable(self, kStrings, std::size(kStrings));")
    if script.dialogs:
        lines.append("        TvRegisterDialogTemplates(self, kDialogs, std::size(kDialogs));")
    lines += ["    }", "} gRegistration;", "", "}  // namespace", ""]
    return "\n".join(lines)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("-I", dest="include_dirs", action="append", default=[])
    parser.add_argument("-o", dest="output", required=True)
    parser.add_argument("scripts", nargs="+")
    args = parser.parse_args(argv)
    try:
        script = parse(args.scripts, args.include_dirs)
    except ScriptError as error:
        print(error, file=sys.stderr)
        return 1
    except OSError as error:
        print(f"error: {error}", file=sys.stderr)
        return 1
    text = generate(script, args.scripts)
    # Rewriting an unchanged file would only make the build compile it again.
    if os.path.exists(args.output):
        with open(args.output, encoding="latin-1") as f:
            if f.read() == text:
                return 0
    with open(args.output, "w", encoding="latin-1") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
