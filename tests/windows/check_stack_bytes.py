#!/usr/bin/env python3
"""Checks that the WINAPI functions of 32-bit Windows images remove the stack bytes their
decoration says.

A 32-bit WINAPI (stdcall) function removes its own arguments: its decorated name
_Name@N says N bytes, and each of its returns must be `ret N`. A caller and a callee that
disagree corrupt the stack silently, which no 64-bit run can show. For each image:
  - every export whose decorated symbol says @N: every return reachable from its entry
    is `ret N` (an export without a decoration must not be a stdcall function at all:
    its returns must be a plain `ret`);
  - every import the image declares as _Name@N (its __imp__Name@N symbol): the called
    library's code for Name returns with `ret N`. The library is looked for beside the
    image (the module's own libraries) and then in the folders given with --dlls (Wine's
    32-bit system libraries).
Returns are found by following the code from the entry (fall-through, jumps, tail jumps
to other functions, a thunk's jump through an import slot into the library it imports
from, forwarded exports) up to the first returns. A function whose returns cannot be found
(an indirect jump, a library that is not there) counts as a failure too, so that nothing
passes unchecked. Functions looked up by name at run time (GetProcAddress) are not in the
import tables; the exports of the libraries they come from are checked.

Usage: check_stack_bytes.py [--objdump PROGRAM] [--dlls DIR]... IMAGE...
Exit code 0 when every function agrees, 1 otherwise, 77 (a skip) when a --dlls folder
does not exist (the 32-bit Wine root could not be made).
"""

import argparse
import os
import re
import subprocess
import sys

SECTION = re.compile(r"^\s*\d+\s+(\S+)\s+([0-9a-f]+)\s+([0-9a-f]+)\s")
SYMBOL = re.compile(r"^\[\s*\d+\]\(sec\s+(-?\d+)\).*\(scl\s+2\)\s+\(nx \d+\)\s+0x([0-9a-f]+)\s+(\S+)$")
EXPORT = re.compile(r"^\s*\[\s*(\d+)\]\s+\+base\[\s*(\d+)\]\s+([0-9a-f]+)\s+"
                    r"(?:Export RVA|Forwarder RVA -- (\S+))$")
EXPORT_NAME = re.compile(r"^\s*\[\s*(\d+)\]\s+(\S+)$")
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\s+(\S+)\s*(.*)$")
DECORATED = re.compile(r"^_([A-Za-z_]\w*)@(\d+)$")


class Image:
    def __init__(self, path, objdump):
        self.path = path
        self.objdump = objdump
        headers = self._run("-h")
        self.sections = {}  # 1-based index -> virtual address
        for index, match in enumerate(filter(None, map(SECTION.match, headers.splitlines())), 1):
            self.sections[index] = int(match.group(3), 16)
        private = self._run("-p")
        base = re.search(r"^ImageBase\s+([0-9a-f]+)", private, re.M)
        self.base = int(base.group(1), 16) if base else 0
        self.forwards = {}  # name -> "library.name" the export forwards to
        self.exports = self._exports(private)  # name -> virtual address
        self.imports = self._imports(private)  # [(library, name)]
        self.decorations = {}  # virtual address -> bytes, from _Name@N
        self.import_bytes = {}  # name -> bytes, from __imp__Name@N
        for line in self._run("-t").splitlines():
            match = SYMBOL.match(line)
            if not match:
                continue
            section, value, name = int(match.group(1)), int(match.group(2), 16), match.group(3)
            if name.startswith("__imp_"):
                decorated = DECORATED.match(name[len("__imp_"):])
                if decorated:
                    self.import_bytes[decorated.group(1)] = int(decorated.group(2))
            elif section in self.sections:
                decorated = DECORATED.match(name)
                if decorated:
                    self.decorations[self.sections[section] + value] = int(decorated.group(2))
        self._code = None

    def _run(self, *arguments):
        return subprocess.run([self.objdump, *arguments, self.path], check=True,
                              capture_output=True, text=True).stdout

    def _exports(self, private):
        rvas, names, in_names = {}, {}, False
        for line in private.splitlines():
            if line.startswith("[Ordinal/Name Pointer] Table"):
                in_names = True
                continue
            match = EXPORT.match(line)
            if match:
                rvas[int(match.group(1))] = match.group(4) or int(match.group(3), 16)
                continue
            match = EXPORT_NAME.match(line) if in_names else None
            if match:
                names[match.group(2)] = int(match.group(1))
            elif in_names and line.strip() == "":
                in_names = False
        exports = {}
        for name, index in names.items():
            if isinstance(rvas.get(index), str):
                self.forwards[name] = rvas[index]
            elif index in rvas:
                exports[name] = self.base + rvas[index]
        return exports

    def _imports(self, private):
        """[(library, name)], and the import address slot of each: address -> (library, name)."""
        thunks = [int(m.group(1), 16) for m in re.finditer(
            r"^\s*[0-9a-f]{8}\s+[0-9a-f]{8} [0-9a-f]{8} [0-9a-f]{8} [0-9a-f]{8} ([0-9a-f]{8})$",
            private, re.M)]
        imports, self.slots, library, slot = [], {}, None, 0
        for line in private.splitlines():
            match = re.match(r"^\s*DLL Name: (\S+)", line)
            if match:
                library = match.group(1)
                slot = self.base + thunks.pop(0) if thunks else None
                continue
            match = re.match(r"^\s*[0-9a-f]+\s+\d+\s+(\S+)\s*$", line) if library else None
            if match:
                imports.append((library, match.group(1)))
                if slot is not None:
                    self.slots[slot] = (library, match.group(1))
                    slot += 4
            elif line.strip() == "":
                library = None if imports and imports[-1][0] == library else library
        return imports

    def code(self):
        """Address -> (mnemonic, operands, address of the next instruction)."""
        if self._code is None:
            self._code, previous = {}, None
            for line in self._run("-d", "--no-show-raw-insn", "-M", "suffix").splitlines():
                match = INSTRUCTION.match(line)
                if not match:
                    continue
                address = int(match.group(1), 16)
                if previous is not None:
                    mnemonic, operands = self._code[previous][:2]
                    self._code[previous] = (mnemonic, operands, address)
                self._code[address] = (match.group(2), match.group(3).split("<")[0].strip(), None)
                previous = address
        return self._code

    def returns(self, entry, through_import, limit=4000):
        """The stack bytes of each return reachable from entry; None when none was found.
        A jump through an import slot (a thunk) continues in that library, asked of
        through_import(library, name)."""
        code, seen, todo, found = self.code(), set(), [entry], set()
        while todo and len(seen) < limit:
            address = todo.pop()
            while address is not None and address not in seen and address in code:
                seen.add(address)
                mnemonic, operands, following = code[address]
                if mnemonic.startswith("ret"):
                    found.add(int(operands.lstrip("$"), 16) if operands else 0)
                    break
                target = re.fullmatch(r"([0-9a-f]+)", operands)
                if mnemonic.startswith("jmp"):
                    slot = re.fullmatch(r"\*0x([0-9a-f]+)", operands)
                    if target:
                        todo.append(int(target.group(1), 16))
                    elif slot and int(slot.group(1), 16) in self.slots:
                        found |= through_import(*self.slots[int(slot.group(1), 16)]) or set()
                    break
                if mnemonic.startswith("j") and target:
                    todo.append(int(target.group(1), 16))
                if mnemonic in ("ud2", "int3", "hlt"):
                    break
                address = following
        return found or None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("--dlls", action="append", default=[])
    parser.add_argument("images", nargs="+")
    options = parser.parse_args()
    for folder in options.dlls:
        if not os.path.isdir(folder):
            print(f"skipped: no 32-bit system libraries in {folder}")
            return 77

    loaded = {}

    def load(path):
        if path not in loaded:
            loaded[path] = Image(path, options.objdump)
        return loaded[path]

    def library(image_path, name):
        for folder in [os.path.dirname(image_path)] + options.dlls:
            for candidate in (name, name.lower(), name.upper()):
                path = os.path.join(folder, candidate)
                if os.path.isfile(path):
                    return load(path)
        return None

    def callee_returns(image_path, library_name, name, hops=6):
        """The returns of library_name!name, through forwarders and thunks to other
        libraries."""
        callee = library(image_path, library_name)
        if callee is None or hops == 0:
            return None
        if name in callee.forwards:
            forward_library, _, forward_name = callee.forwards[name].partition(".")
            return callee_returns(callee.path, forward_library + ".dll", forward_name, hops - 1)
        address = callee.exports.get(name)
        return callee.returns(
            address, lambda lib, nam: callee_returns(callee.path, lib, nam, hops - 1)
        ) if address is not None else None

    failures, unchecked, checked = [], [], []

    def judge(what, expected, found):
        """One function: its decoration's bytes against the returns found in its code."""
        if found is None:
            unchecked.append(what)
        elif found != {expected}:
            failures.append(f"{what} says {expected} bytes, returns with {sorted(found)}")
        checked.append(what)

    for path in options.images:
        image = load(path)
        label = os.path.basename(path)
        for name, address in sorted(image.exports.items()):
            judge(f"{label}: export {name}", image.decorations.get(address, 0),
                  image.returns(address, lambda lib, nam: callee_returns(path, lib, nam)))
        for library_name, name in image.imports:
            # Only WINAPI functions carry a decoration (a C runtime function does not).
            if name in image.import_bytes:
                judge(f"{label}: import {library_name}!{name}", image.import_bytes[name],
                      callee_returns(path, library_name, name))

    print(f"{len(checked) - len(unchecked)} functions checked, {len(failures)} disagree, "
          f"{len(unchecked)} unchecked")
    for line in unchecked:
        print("unchecked:", line)
    for line in failures:
        print("FAIL:", line)
    return 1 if failures or unchecked else 0


if __name__ == "__main__":
    sys.exit(main())
