#!/usr/bin/env python3
"""The export-table checker on made-up objdump output, so that a checker which passes
everything (or nothing) is caught before it judges a real DLL."""

import os
import stat
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_exports  # noqa: E402


def objdump_text(exports, base, imports=("KERNEL32.dll", "msvcrt.dll"), biased_names=False,
                 unnamed=(), dll_name="TARVOFTP.DLL"):
    """objdump -p output for a DLL with the given (name, ordinal) exports."""
    ordinals = sorted({o for _, o in exports} | set(unnamed))
    lines = ["", "build/TARVOFTP.DLL:     file format pei-i386", "",
             "Characteristics 0x2106", "", "The Data Directory",
             "Entry 0 00022000 0000008c Export Directory [.edata (or where ever we found it)]",
             ""]
    for dll in imports:
        lines += ["\tDLL Name: " + dll, "\tvma:  Hint/Ord Member-Name Bound-To",
                  "\t235ec\t  276  DeleteCriticalSection", ""]
    lines += ["There is an export table in .edata at 0x67c62000", "",
              "The Export Tables (interpreted .edata section contents)", "",
              "Export Flags \t\t\t0",
              "Name \t\t\t\t00022032 " + dll_name,
              "Ordinal Base \t\t\t%d" % base, "Number in:",
              "\tExport Address Table \t\t%08x" % (max(ordinals) - base + 1),
              "\t[Name Pointer/Ordinal] Table\t%08x" % len(exports), "Table Addresses",
              "\tExport Address Table \t\t00022028", "\tName Pointer Table \t\t0002202c",
              "\tOrdinal Table \t\t\t00022030", "",
              "Export Address Table -- Ordinal Base %d" % base]
    for ordinal in ordinals:
        lines.append("\t[%4d] +base[%4d] %04x Export RVA" % (ordinal - base, ordinal,
                                                           0x1000 + ordinal * 16))
    lines += ["", "[Ordinal/Name Pointer] Table" +
              (" -- Ordinal Base %d" % base if biased_names else "")]
    for name, ordinal in sorted(exports):
        if biased_names:
            lines.append("\t[%4d] +base[%4d]  %04x %s" % (ordinal - base, ordinal, 0, name))
        else:
            lines.append("\t[%4d] %s" % (ordinal - base, name))
    lines += ["", "PE File Base Relocations (interpreted .reloc section contents)", "",
              "Virtual Address: 00001000 Chunk size 112 (0x70) Number of fixups 52",
              "\treloc    0 offset    6 [1006] HIGHLOW", ""]
    return "\n".join(lines) + "\n"


def run_check(text):
    return check_exports.check(check_exports.parse_objdump(text), "TARVOFTP.DLL")


class ExportTableChecks(unittest.TestCase):
    def test_documented_table_is_whole(self):
        table = check_exports.EXPORTS
        self.assertEqual(len(table), 40)
        self.assertEqual(len(set(table.values())), 40, "an ordinal given twice")
        unused = {21, 24, 25, 26, 27, 28, 29, 34, 37, 38, 39, 48}
        self.assertEqual(set(table.values()), set(range(1, 53)) - unused)
        self.assertEqual(table["xfsopen"], 1)
        self.assertEqual(table["FS_State_Record_Initialize"], 19)
        self.assertEqual(table["WEP"], 51)
        self.assertEqual(table["FTPAutoDetect"], 52)

    def test_correct_exports_pass_in_both_objdump_forms(self):
        exports = [("FS_State_Record_Initialize", 19), ("xfsopen", 1), ("FTP_Abort", 2),
                   ("FTPAutoDetect", 52)]
        for biased in (False, True):
            problems, missing = run_check(objdump_text(exports, base=1, biased_names=biased))
            self.assertEqual(problems, [], "biased names" if biased else "plain names")
            self.assertEqual(len(missing), 36)
            self.assertNotIn("xfsopen", missing)
            self.assertIn("WEP", missing)
        # Today's DLL: one export, so the address table starts at 19.
        problems, missing = run_check(objdump_text([("FS_State_Record_Initialize", 19)], 19))
        self.assertEqual(problems, [])
        self.assertEqual(missing[0], "xfsopen")
        self.assertEqual(len(missing), 39)

    def test_wrong_ordinals_and_names_fail(self):
        # The export moved one ordinal up, as a .def without @19 and a base of 20 would.
        problems, _ = run_check(objdump_text([("FS_State_Record_Initialize", 20)], 20))
        self.assertEqual(problems, ["TARVOFTP.DLL: FS_State_Record_Initialize has ordinal 20, "
                                    "the table gives 19"])
        problems, _ = run_check(objdump_text([("FTP_ChangeDir", 3)], 3))
        self.assertEqual(problems, ["TARVOFTP.DLL: ordinal 3 is exported as FTP_ChangeDir, "
                                    "the table names it FTP_Chdir"])
        for unused in (21, 48, 53):
            problems, _ = run_check(objdump_text([("OrrAlloc", unused)], 1))
            self.assertEqual(problems, ["TARVOFTP.DLL: OrrAlloc (ordinal %d) is not in the "
                                        "export table" % unused])

    def test_decorated_names_fail(self):
        for name in ("_FS_State_Record_Initialize@4", "FS_State_Record_Initialize@4",
                     "_FS_State_Record_Initialize"):
            problems, missing = run_check(objdump_text([(name, 19)], 19))
            self.assertEqual(problems, ["TARVOFTP.DLL: FS_State_Record_Initialize is exported "
                                        "decorated as " + name])
            self.assertIn("FS_State_Record_Initialize", missing)

    def test_unnamed_duplicate_and_foreign_dll_fail(self):
        problems, _ = run_check(objdump_text([("FS_State_Record_Initialize", 19)], 19,
                                             unnamed=[22]))
        self.assertEqual(problems, ["TARVOFTP.DLL: ordinal 22 is exported without a name"])
        problems, _ = run_check(objdump_text([("FTP_Abort", 2), ("FTP_Abort", 3)], 2))
        self.assertIn("TARVOFTP.DLL: FTP_Abort exported twice", problems)
        problems, _ = run_check(objdump_text([("FTP_Abort", 2)], 2, dll_name="libtarvoftp.dll"))
        self.assertEqual(problems, ["TARVOFTP.DLL: calls itself libtarvoftp.dll, not "
                                    "TARVOFTP.DLL"])
        problems, missing = run_check("build/TARVOFTP.DLL:     file format pei-i386\n")
        self.assertEqual(problems, ["TARVOFTP.DLL: no export table"])
        self.assertEqual(len(missing), 40)

    def test_runtime_dll_imports_fail(self):
        system = ("KERNEL32.dll", "USER32.dll", "GDI32.dll", "WSOCK32.dll", "msvcrt.dll")
        problems, _ = run_check(objdump_text([("WEP", 51)], 51, imports=system))
        self.assertEqual(problems, [])
        for runtime in ("libstdc++-6.dll", "libgcc_s_dw2-1.dll", "libwinpthread-1.dll"):
            problems, _ = run_check(objdump_text([("WEP", 51)], 51,
                                                 imports=system + (runtime,)))
            self.assertEqual(problems, ["TARVOFTP.DLL: imports %s, which is not a system "
                                        "library" % runtime])

    def test_exit_code_through_objdump(self):
        with tempfile.TemporaryDirectory() as folder:
            good = os.path.join(folder, "good.txt")
            bad = os.path.join(folder, "bad.txt")
            with open(good, "w") as out:
                out.write(objdump_text([("FS_State_Record_Initialize", 19)], 19))
            with open(bad, "w") as out:
                out.write(objdump_text([("_FS_State_Record_Initialize@4", 19)], 19))
            # A stand-in objdump that prints the file named by its last argument.
            fake = os.path.join(folder, "objdump")
            with open(fake, "w") as out:
                out.write("#!/bin/sh\n[ \"$1\" = -p ] || exit 2\nexec cat \"$2\"\n")
            os.chmod(fake, os.stat(fake).st_mode | stat.S_IXUSR)
            with open(os.devnull, "w") as quiet:
                saved, sys.stdout = sys.stdout, quiet
                try:
                    self.assertEqual(check_exports.main(["--objdump", fake, good]), 0)
                    self.assertEqual(check_exports.main(["--objdump", fake, good, bad]), 1)
                    self.assertEqual(check_exports.main(
                        ["--objdump", fake, os.path.join(folder, "absent.DLL")]), 1)
                finally:
                    sys.stdout = saved


if __name__ == "__main__":
    unittest.main()
