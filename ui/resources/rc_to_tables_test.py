#!/usr/bin/env python3
"""Tests of rc_to_tables.py: what it makes of the resource language, and that it refuses
what it does not understand instead of guessing."""

import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import rc_to_tables  # noqa: E402


class Generator(unittest.TestCase):
    def setUp(self):
        self.directory = tempfile.TemporaryDirectory()
        self.addCleanup(self.directory.cleanup)

    def write(self, name, text):
        path = os.path.join(self.directory.name, name)
        with open(path, "w", encoding="latin-1") as f:
            f.write(text)
        return path

    def parse(self, text, header="#define IDS_A 3\n#define IDC_EDIT 500\n#define MY_DLG 120\n"):
        self.write("ids.h", header)
        return rc_to_tables.parse([self.write("test.rc", '#include "ids.h"\n' + text)], [])

    def refuses(self, text, message):
        with self.assertRaises(rc_to_tables.ScriptError) as caught:
            self.parse(text)
        self.assertIn(message, str(caught.exception))
        self.assertRegex(str(caught.exception), r"test\.rc:\d+: error: ")

    def test_strings_keep_their_ids_and_escapes(self):
        script = self.parse('STRINGTABLE\nBEGIN\n IDS_A, "say ""hi""\\tnow\\n"\n'
                            ' IDS_A + 1 "caf\\xe9 \\101"\nEND\n')
        self.assertEqual([(v, t) for v, _, t, _ in script.strings],
                         [(3, 'say "hi"\tnow\n'), (4, "caf\xe9 A")])
        generated = rc_to_tables.generate(script, ["test.rc"])
        self.assertIn('{static_cast<UINT>(IDS_A), "say \\"hi\\"\\011now\\012"}', generated)
        self.assertIn('"caf\\351 A"', generated)

    def test_dialog_styles_fold_over_the_defaults(self):
        script = self.parse(
            "/* a comment\n over lines */\n"
            "#ifndef RC_INVOKED\nthis is not read\n#endif\n"
            "MY_DLG DIALOG DISCARDABLE 1, 2, 30, 40\n"
            "STYLE WS_POPUP // trailing comment\n"
            'CAPTION "Cap"\nCLASS "SomeClass"\nFONT 8, "MS Sans Serif"\n'
            "BEGIN\n"
            '  EDITTEXT IDC_EDIT, 1, 2, 3, 4, ES_PASSWORD | NOT WS_TABSTOP\n'
            '  CONTROL "t", -1, "Button", BS_AUTOCHECKBOX, 5, 6, 7, 8, WS_EX_TOPMOST\n'
            '  LISTBOX 808, 1, 1, 1, 1\n'
            "END\n")
        dialog = script.dialogs[0]
        self.assertEqual(dialog.name, "#120")
        self.assertEqual((dialog.caption, dialog.class_name, dialog.font_size),
                         ("Cap", "SomeClass", 8))
        self.assertEqual(dialog.rect, (1, 2, 30, 40))
        self.assertEqual(dialog.style, "(WS_POPUP) | WS_CAPTION | DS_SETFONT")
        edit, check, listbox = dialog.controls
        self.assertEqual(edit.class_name, "Edit")
        self.assertEqual(edit.style,
                         "(WS_CHILD | WS_VISIBLE | ES_LEFT | WS_BORDER | WS_TABSTOP | ES_PASSWORD)"
                         " & ~(WS_TABSTOP)")
        self.assertEqual((check.text, check.id_text, check.rect), ("t", "-1", (5, 6, 7, 8)))
        self.assertEqual(check.style, "WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX")
        self.assertEqual(check.ex_style, "WS_EX_TOPMOST")
        self.assertEqual(listbox.style, "WS_CHILD | WS_VISIBLE | LBS_NOTIFY | WS_BORDER")

    def test_refuses_what_it_does_not_understand(self):
        self.refuses('ICON1 ICON "x.ico"\n', "cannot read a resource")
        self.refuses("D DIALOG 0, 0, 1, 1\nMENU M\nBEGIN\nEND\n", "dialog statement 'MENU'")
        self.refuses("D DIALOG 0, 0, 1, 1\nBEGIN\n SCROLLBAR 1, 0, 0, 1, 1\nEND\n",
                     "control statement 'SCROLLBAR'")
        self.refuses("D DIALOG 0, 0, 1, 1\nBEGIN\n EDITTEXT IDC_TYPO, 0, 0, 1, 1\nEND\n",
                     "unknown name IDC_TYPO")
        self.refuses("D DIALOG 0, 0, WIDTH, 1\nBEGIN\nEND\n", "unknown name WIDTH")
        self.refuses('STRINGTABLE\nBEGIN\n 3, "a"\n IDS_A, "b"\nEND\n', "used twice")
        self.refuses('STRINGTABLE\nBEGIN\n 70000, "a"\nEND\n', "between 0 and 65535")
        self.refuses('STRINGTABLE\nBEGIN\n 1, "bad \\q"\nEND\n', "unknown escape")
        self.refuses('STRINGTABLE\nBEGIN\n 1, "open\nEND\n', "past the end of the line")
        self.refuses("#if 1\n#endif\n", "unknown directive #if")
        self.refuses("#include <stdio.h>\n", "<stdio.h>")
        self.refuses('D DIALOG 0, 0, 1, 1\nBEGIN\nEND\nd DIALOG 0, 0, 1, 1\nBEGIN\nEND\n',
                     "defined twice")
        self.refuses('STRINGTABLE\nBEGIN\n 1, "a"\n', "END expected")

    def test_command_line_fails_loudly_and_keeps_an_unchanged_output(self):
        script = self.write("ok.rc", 'STRINGTABLE\nBEGIN\n 1, "a"\nEND\n')
        output = os.path.join(self.directory.name, "out.cpp")
        command = [sys.executable, os.path.join(HERE, "rc_to_tables.py"), "-o", output, script]
        subprocess.run(command, check=True)
        written = os.stat(output).st_mtime_ns
        os.utime(output, ns=(written - 10**9, written - 10**9))
        subprocess.run(command, check=True)
        self.assertEqual(os.stat(output).st_mtime_ns, written - 10**9)

        bad = self.write("bad.rc", "NONSENSE\n")
        result = subprocess.run(command[:-1] + [bad], capture_output=True, text=True)
        self.assertEqual(result.returncode, 1)
        self.assertIn("bad.rc:1: error:", result.stderr)


if __name__ == "__main__":
    unittest.main()
