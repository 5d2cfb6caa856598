#!/usr/bin/env python3
"""Checks a built TARVOFTP.DLL against the module's export table.

Reads the DLL's export and import tables from `objdump -p` and fails when
  - an export has a name or ordinal other than the table gives it (a decorated
    stdcall name such as _FTP_Abort@4 counts as a wrong name),
  - an export is not in the table at all, or has no name, or a name appears twice,
  - the DLL calls itself anything but TARVOFTP.DLL,
  - the DLL imports anything beyond the system libraries (a C++ runtime DLL that
    a bare Windows machine lacks, for instance).
Exports of the table that the DLL does not have yet are listed, without failing.

Usage: check_exports.py [--objdump PROGRAM] DLL...
Exit code 0 when every DLL passes, 1 otherwise.
"""

import argparse
import re
import shutil
import subprocess
import sys

# The module's exports: name -> ordinal. Ordinals 21, 24-29, 34, 37-39 and 48 are unused.
EXPORTS = {
    "xfsopen": 1,
    "FTP_Abort": 2,
    "FTP_Chdir": 3,
    "FTP_Delete": 4,
    "FTP_Dir_Open": 5,
    "FTP_FS_Close": 6,
    "FTP_Option": 7,
    "FTP_Status": 8,
    "FTP_Get_Attributes": 9,
    "FTP_Get_File_Info": 10,
    "FTP_Glob_Open": 11,
    "FTP_Mkdir": 12,
    "FTP_File_Open": 13,
    "FTP_Passthru": 14,
    "FTP_Pwd": 15,
    "FTP_Rename": 16,
    "FTP_Rmdir": 17,
    "FTP_Set_Attributes": 18,
    "FS_State_Record_Initialize": 19,
    "FTP_Dir_Read": 20,
    "FTP_Dir_Ioctl": 22,
    "FTP_Dir_Close": 23,
    "FTP_File_Read": 30,
    "FTP_File_Write": 31,
    "FTP_File_Ioctl": 32,
    "FTP_File_Close": 33,
    "IsProtocolWnd": 35,
    "ShowProtocolWnd": 36,
    "FTP_Glob_Read": 40,
    "FTP_Glob_Write": 41,
    "FTP_Glob_Ioctl": 42,
    "FTP_Glob_Close": 43,
    "FTPStatusProc": 44,
    "FTPOptionProc": 45,
    "FTPChdirProc": 46,
    "FileTypeProc": 47,
    "FTP_ProtocolWP": 49,
    "LocalBlockingHook": 50,
    "WEP": 51,
    "FTPAutoDetect": 52,
}

DLL_NAME = "TARVOFTP.DLL"

# What a bare Windows installation provides. Compared without case.
SYSTEM_IMPORTS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "wsock32.dll", "ws2_32.dll",
    "msvcrt.dll", "advapi32.dll", "comdlg32.dll", "shell32.dll", "ntdll.dll",
}

# The forms a stdcall or cdecl symbol takes when the name is left decorated.
DECORATED = re.compile(r"^_?([A-Za-z_][A-Za-z0-9_]*?)(@\d+)?$")

EAT_HEADER = re.compile(r"^Export Address Table -- Ordinal Base\s+(\d+)")
EAT_ENTRY = re.compile(r"^\s*\[\s*(\d+)\]\s+\+base\[\s*(\d+)\]\s+[0-9a-fA-F]+\s+(Export|Forwarder) RVA")
NAME_HEADER = re.compile(r"^\[Ordinal/Name Pointer\] Table")
# "[   0] Name" (index into the address table), or with the biased ordinal and the hint
# as newer objdumps print it: "[   0] +base[  19]  0000 Name".
NAME_ENTRY = re.compile(r"^\s*\[\s*(\d+)\]\s+(?:\+base\[\s*(\d+)\]\s+(?:[0-9a-fA-F]+\s+)?)?(\S+)\s*$")
DLL_NAME_FIELD = re.compile(r"^Name\s+[0-9a-fA-F]+\s+(\S+)")
IMPORT_ENTRY = re.compile(r"^\s*DLL Name:\s*(\S+)")


class ExportTable:
    def __init__(self):
        self.has_exports = False
        self.dll_name = None
        self.ordinals = set()   # every ordinal with an address
        self.names = []         # (name, ordinal) in table order
        self.imports = []


def parse_objdump(text):
    """Reads the export and import tables out of `objdump -p` output."""
    table = ExportTable()
    base = None
    section = None
    for line in text.splitlines():
        if line.startswith("There is an export table"):
            table.has_exports = True
            continue
        match = IMPORT_ENTRY.match(line)
        if match:
            table.imports.append(match.group(1))
            continue
        if table.dll_name is None:
            match = DLL_NAME_FIELD.match(line)
            if match and table.has_exports:
                table.dll_name = match.group(1)
                continue
        match = EAT_HEADER.match(line)
        if match:
            base = int(match.group(1))
            section = "addresses"
            continue
        if NAME_HEADER.match(line):
            section = "names"
            continue
        if not line.strip():
            section = None
            continue
        if section == "addresses":
            match = EAT_ENTRY.match(line)
            if match:
                table.ordinals.add(int(match.group(2)))
        elif section == "names":
            match = NAME_ENTRY.match(line)
            if match:
                if match.group(2) is not None:
                    ordinal = int(match.group(2))
                elif base is not None:
                    ordinal = int(match.group(1)) + base
                else:
                    raise ValueError("export names listed before the ordinal base")
                table.names.append((match.group(3), ordinal))
    return table


def check(table, label):
    """Returns (problems, missing) for one DLL's tables."""
    problems = []
    if not table.has_exports:
        return ["%s: no export table" % label], sorted(EXPORTS, key=EXPORTS.get)
    if table.dll_name is not None and table.dll_name.upper() != DLL_NAME:
        problems.append("%s: calls itself %s, not %s" % (label, table.dll_name, DLL_NAME))

    by_ordinal = {v: k for k, v in EXPORTS.items()}
    seen_names = set()
    named_ordinals = set()
    for name, ordinal in table.names:
        named_ordinals.add(ordinal)
        if name in seen_names:
            problems.append("%s: %s exported twice" % (label, name))
        seen_names.add(name)
        if name in EXPORTS:
            if EXPORTS[name] != ordinal:
                problems.append("%s: %s has ordinal %d, the table gives %d"
                                % (label, name, ordinal, EXPORTS[name]))
            continue
        plain = DECORATED.match(name)
        if plain and plain.group(1) in EXPORTS and plain.group(1) != name:
            problems.append("%s: %s is exported decorated as %s"
                            % (label, plain.group(1), name))
        elif ordinal in by_ordinal:
            problems.append("%s: ordinal %d is exported as %s, the table names it %s"
                            % (label, ordinal, name, by_ordinal[ordinal]))
        else:
            problems.append("%s: %s (ordinal %d) is not in the export table"
                            % (label, name, ordinal))
    for ordinal in sorted(table.ordinals - named_ordinals):
        problems.append("%s: ordinal %d is exported without a name" % (label, ordinal))

    for dll in table.imports:
        if dll.lower() not in SYSTEM_IMPORTS:
            problems.append("%s: imports %s, which is not a system library" % (label, dll))

    missing = [name for name in sorted(EXPORTS, key=EXPORTS.get) if name not in seen_names]
    return problems, missing


def find_objdump():
    candidates = ("x86_64-w64-mingw32-objdump", "i686-w64-mingw32-objdump", "objdump")
    return next(filter(None, map(shutil.which, candidates)), None)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--objdump", default=None)
    parser.add_argument("dlls", nargs="+")
    args = parser.parse_args(argv)

    objdump = args.objdump or find_objdump()
    if objdump is None:
        print("no objdump found")
        return 1
    failed = False
    for dll in args.dlls:
        result = subprocess.run([objdump, "-p", dll], capture_output=True, text=True)
        if result.returncode != 0:
            print("%s: objdump failed: %s" % (dll, result.stderr.strip()))
            failed = True
            continue
        problems, missing = check(parse_objdump(result.stdout), dll)
        for problem in problems:
            print("FAILED: " + problem)
        present = len(EXPORTS) - len(missing)
        print("%s: %d of %d exports present%s" % (dll, present, len(EXPORTS),
                                                   "" if problems else ", all as documented"))
        if missing:
            print("  not yet exported: " + ", ".join(
                "%s @%d" % (name, EXPORTS[name]) for name in missing))
        failed = failed or bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
