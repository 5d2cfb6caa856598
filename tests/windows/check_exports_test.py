#!/usr/bin/env python3
"""The export-table checker on made-up objdump output, so that a checker which passes
everything (or nothing) is caught before it judges a real DLL."""

import contextlib
import os
import stat
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_exports  # noqa: E402

SYSTEM = ("KERNEL32.dll", "USER32.dll", "GDI32.dll", "WSOCK32.dll", "msvcrt.dll")


def objdump_text(exports, base, imports=("KERNEL32.dll", "msvcrt.dll"), biased_names=False,
                 unnamed=(), dll_name="TARVOFTP.DLL"):
    """objdump -p output for a DLL with the given (name, ordinal) exports."""
    ordinals = sorted({o for _, o in exports} | set(unnamed))
    lines = ["", "build/TARVOFTP.DLL:     file format pei-i386", "", "Characteristics 0x2106", "",
             "The Data Directory",
             "Entry 0 00022000 0000008c Export Directory [.edata (or where ever we found it)]", ""]
    for dll in imports:
        lines += ["\tDLL Name: " + dll, "\tvma:  Hint/Ord Member-Name Bound-To",
                  "\t235ec\t  276  DeleteCriticalSection", ""]
    lines += ["There is an export table in .edata at 0x67c62000", "",
              "The Export Tables (interpreted .edata section contents)", "",
              "Export Flags \t\t\t0", "Name \t\t\t\t00022032 " + dll_name,
              "Ordinal Base \t\t\t%d" % base, "Number in:",
              "\tExport Address Table \t\t%08x" % (max(ordinals) - base + 1),
              "\t[Name Pointer/Ordinal] Table\t%08x" % len(exports), "Table Addresses",
              "\tExport Address Table \t\t00022028", "\tName Pointer Table \t\t0002202c",
              "\tOrdinal Table \t\t\t00022030", "",
              "Export Address Table -- Ordinal Base %d" % base]
    lines += ["\t[%4d] +base[%4d] %04x Export RVA" % (o - base, o, 0x1000 + o * 16)
              for o in ordinals]
    lines += ["", "[Ordinal/Name Pointer] Table" +
              (" -- Ordinal Base %d" % base if biased_names else "")]
    for name, ordinal in sorted(exports):
        lines.append("\t[%4d] +base[%4d]  %04x %s" % (ordinal - base, ordinal, 0, name)
                     if biased_names else "\t[%4d] %s" % (ordinal - base, name))
    lines += ["", "PE File Base Relocations (interpreted .reloc section contents)", "",
              "Virtual Address: 00001000 Chunk size 112 (0x70) Number of fixups 52",
              "\treloc    0 offset    6 [1006] HIGHLOW", ""]
    return "\n".join(lines) + "\n"


def run_check(text):
    return check_exports.check(check_exports.parse_objdump(text), "TARVOFTP.DLL")


FS19 = [("FS_State_Record_Initialize", 19)]
# exports, base, objdump_text options, the problems found ("TARVOFTP.DLL: " left off).
CASES = [
    (FS19, 19, {}, []),
    ([("WEP", 51)], 51, {"imports": SYSTEM}, []),
    # The export moved one ordinal up, as a .def without @19 and a base of 20 would.
    ([("FS_State_Record_Initialize", 20)], 20, {},
     ["FS_State_Record_Initialize has ordinal 20, the table gives 19"]),
    ([("FTP_ChangeDir", 3)], 3, {},
     ["ordinal 3 is exported as FTP_ChangeDir, the table names it FTP_Chdir"]),
    ([("OrrAlloc", 21)], 1, {}, ["OrrAlloc (ordinal 21) is not in the export table"]),
    ([("OrrAlloc", 48)], 1, {}, ["OrrAlloc (ordinal 48) is not in the export table"]),
    ([("OrrAlloc", 53)], 1, {}, ["OrrAlloc (ordinal 53) is not in the export table"]),
    (FS19, 19, {"unnamed": [22]}, ["ordinal 22 is exported without a name"]),
    ([("FTP_Abort", 2)], 2, {"dll_name": "libtarvoftp.dll"},
     ["calls itself libtarvoftp.dll, not TARVOFTP.DLL"]),
] + [([(name, 19)], 19, {}, ["FS_State_Record_Initialize is exported decorated as " + name])
     for name in ("_FS_State_Record_Initialize@4", "FS_State_Record_Initialize@4",
                  "_FS_State_Record_Initialize")
] + [([("WEP", 51)], 51, {"imports": SYSTEM + (dll,)},
      ["imports %s, which is not a system library" % dll])
     for dll in ("libstdc++-6.dll", "libgcc_s_dw2-1.dll", "libwinpthread-1.dll")]


class ExportTableChecks(unittest.TestCase):
    def test_documented_table_is_whole(self):
        table = check_exports.EXPORTS
        unused = {21, 24, 25, 26, 27, 28, 29, 34, 37, 38, 39, 48}
        self.assertEqual(sorted(table.values()), sorted(set(range(1, 53)) - unused))
        self.assertEqual([table[n] for n in ("xfsopen", "FS_State_Record_Initialize", "WEP",
                                             "FTPAutoDetect")], [1, 19, 51, 52])

    def test_each_table_gives_its_problems(self):
        for exports, base, options, problems in CASES:
            with self.subTest(exports=exports, options=options):
                found, _ = run_check(objdump_text(exports, base, **options))
                self.assertEqual(found, ["TARVOFTP.DLL: " + p for p in problems])
        problems, _ = run_check(objdump_text([("FTP_Abort", 2), ("FTP_Abort", 3)], 2))
        self.assertIn("TARVOFTP.DLL: FTP_Abort exported twice", problems)
        problems, missing = run_check("build/TARVOFTP.DLL:     file format pei-i386\n")
        self.assertEqual((problems, len(missing)), (["TARVOFTP.DLL: no export table"], 40))

    def test_missing_exports_are_listed_in_both_objdump_forms(self):
        exports = [("FS_State_Record_Initialize", 19), ("xfsopen", 1), ("FTP_Abort", 2),
                   ("FTPAutoDetect", 52)]
        for biased in (False, True):
            problems, missing = run_check(objdump_text(exports, base=1, biased_names=biased))
            self.assertEqual((problems, len(missing)), ([], 36), biased)
            self.assertNotIn("xfsopen", missing)
            self.assertIn("WEP", missing)
        _, missing = run_check(objdump_text(FS19, 19))
        self.assertEqual((missing[0], len(missing)), ("xfsopen", 39))
        _, missing = run_check(objdump_text([("_FS_State_Record_Initialize@4", 19)], 19))
        self.assertIn("FS_State_Record_Initialize", missing)

    def test_exit_code_through_objdump(self):
        with tempfile.TemporaryDirectory() as folder:
            files = {}
            for name, exports in (("good", FS19), ("bad", [("_FS_State_Record_Initialize@4", 19)])):
                files[name] = os.path.join(folder, name + ".txt")
                with open(files[name], "w") as out:
                    out.write(objdump_text(exports, 19))
            # A stand-in objdump that prints the file named by its last argument.
            fake = os.path.join(folder, "objdump")
            with open(fake, "w") as out:
                out.write("#!/bin/sh\n[ \"$1\" = -p ] || exit 2\nexec cat \"$2\"\n")
            os.chmod(fake, os.stat(fake).st_mode | stat.S_IXUSR)
            with open(os.devnull, "w") as quiet, contextlib.redirect_stdout(quiet):
                for arguments, code in (([files["good"]], 0), ([files["good"], files["bad"]], 1),
                                        ([os.path.join(folder, "absent.DLL")], 1)):
                    self.assertEqual(check_exports.main(["--objdump", fake] + arguments), code)


if __name__ == "__main__":
    unittest.main()
