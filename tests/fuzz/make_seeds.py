#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets that read whole listings (line_reader,
name_list, list_reader) and of the UNIX-style parser (unix), under seeds/<name>/.

The files are small and kept in the tree; this script shows how their binary headers are
laid out (see the comment at the top of each target) and writes them again after a change
of layout. Regression inputs found by fuzzing are added as files of their own (named
crash-*) and are left alone here.

    python3 tests/fuzz/make_seeds.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Host types.
DOS, MACINTOSH, MVS, BRANNOCK, OS2, UNIX, VM, VMS = 2, 3, 4, 5, 6, 7, 8, 9
NT_DOS, NT_UNIX, WIN95, OTHER, AUTOMATIC = 10, 11, 12, 13, 1

# Lines as the servers of the interoperability tests write them.
VSFTPD = [
    "drwxr-xr-x    5 1000     1000         4096 Jun 15 12:34 dir",
    "-rw-r--r--    1 1000     1000           21 Jun 15  2021 file with blanks.txt",
    "lrwxrwxrwx    1 1000     1000            3 Jun 15 12:34 link-to-dir -> dir",
    "lrwxrwxrwx    1 1000     1000            6 Jun 15 12:34 link-to-file -> lf.txt",
    "-rw-r--r--    1 1000     1000           25 Jun 15 12:34 colon:name.txt",
    "-rw-r--r--    1 1000     1000      1048576 Jun 15 12:34 large.bin",
]
PROFTPD = [
    "total 1048",
    "drwxr-xr-x   2 ftpuser  ftpgroup     4096 Jun 15 12:34 empty",
    "-rw-r--r--   1 ftpuser  ftpgroup       18 Jun 15  2021 -dash-leading.txt",
    "-rw-r--r--   1 ftpuser  ftpgroup       12 Jun 15 12:34 gr\u00fc\u00dfe-\u20ac.txt",
    "-rw-r--r--   1 ftpuser  ftpgroup       12 Jun 15 12:34 caf\xe9-latin1.txt",
]
PURE_FTPD = [
    "drwxr-xr-x    3 1000       1000             4096 Jun 15 12:34 .",
    "drwxr-xr-x    3 1000       1000             4096 Jun 15 12:34 ..",
    "dr-xr-xr-x    2 1000       1000             4096 Jun 15 12:34 readonly",
]


def encode(text):
    """Listing text as a server sends it: UTF-8, except the deliberate Latin-1 name."""
    return text.encode("latin-1") if "caf\xe9" in text else text.encode("utf-8")


def listing(lines, end=b"\r\n"):
    return b"".join(encode(line) + end for line in lines)


def write(target, name, data):
    folder = os.path.join(HERE, "seeds", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def session(host, flags, read_bits, last, replies, data):
    """Header, reply script with its two-byte length, listing (name_list, list_reader)."""
    return bytes([host, flags, read_bits, last]) + struct.pack("<H", len(replies)) + replies + data


def flags(glob=0, mask=3, conversion=0, stat=0, known=0):
    return glob | mask << 1 | conversion << 3 | stat << 6 | known << 7


COMPLETE = b"226 Transfer complete.\r\n"
# Replies of a server that lets the module into every directory it asks for: where it is,
# into the name, back again.
ENTERS = (b'257 "/home/user" is the current directory\r\n' + b"250 OK.\r\n" * 2) * 6
# One that refuses every change of directory but the one back.
REFUSES = (b'257 "/home/user"\r\n' + b"550 Failed to change directory.\r\n" + b"250 OK.\r\n") * 6


def unix_seeds():
    lines = VSFTPD + PROFTPD + PURE_FTPD + [
        "TOTAL 12",
        "drwx------",
        "ls: /x: No such file or directory",
        "foo not found",
        "garbage",
        "crw-rw-rw-   1 root  root    1,   3 Jan 12 12:34 null",
        "-rw-r--r--   1 user  group  512 Jan 12  1995 a b c",
        "lrwxrwxrwx   1 root  root  7 Jan 12 12:34 bin -> usr/bin",
        "-rw-r--r--   1 user  group  512 Jan 12 12:34 sub/file.c",
        "-rw-r--r--   1 u g 10 Jan 1 12:3",
        "-rw-r--r--   1 u g 10 Jan 1",
        "l x",
        "-rw-r--r--   1 user  group  512 Jan 12 12:34 ends-in-colon:",
        "dr-xr-xr-x   1 owner    group               0 Feb 25  2000 bin",
    ]
    for number, line in enumerate(lines, 1):
        write("unix", "%02d.txt" % number, encode(line))


def line_reader_seeds():
    long_line = "-rw-r--r--   1 u g 1 Jan 12 12:34 " + "n" * 2100
    write("line_reader", "01-vsftpd.txt", listing(VSFTPD))
    write("line_reader", "02-proftpd-lf-only.txt", listing(PROFTPD, b"\n"))
    write("line_reader", "03-empty-and-lone-ends.txt",
          b"\r\n\r\n" + listing(["a\rb", "c\nd", "\r"]) + b"\n\r\r\n" + b"last without end")
    write("line_reader", "04-too-long.txt", listing([long_line, "after the long one", long_line[:2045]]))
    # The first line fills all but one byte of the buffer, so the second one's CR is its
    # last byte and the LF comes with the next receive.
    write("line_reader", "05-cr-at-buffer-end.txt",
          listing(["x" * 2000, "y" * 44, "z" * 2045, "w" * 2046, "v"]))
    write("line_reader", "06-nul.txt", listing(["a\0b", "\0", "after"]))
    write("line_reader", "07-narrow-receives.txt", b"\x02" + listing(["q" * 2043, "p" * 2044, "ok"]))
    write("line_reader", "08-widening.txt",
          b"\x04" + listing(["caf\xe9", "\x01\x01\x01", "\xff" * 1100]).replace(b"\xc3\xa9", b"\xe9"))
    write("line_reader", "09-refused.txt", b"\x04" + listing(["fine", "refused \x7f here", "never"]))
    write("line_reader", "10-copy-one.txt", b"\x01" + listing(VSFTPD * 40))


def name_list(host, flags_, read_bits, connection_bits, replies, data):
    """A name-list seed: the transfer's completion reply comes first in the script."""
    return session(host, flags_, read_bits, connection_bits, COMPLETE + replies, data)


def name_list_seeds():
    names = listing(["a", "", "b", "dir", "file.txt"]) + b"\r\r\n\n"
    write("name_list", "01-unix-probed.nl", name_list(UNIX, flags(), 3, 0, ENTERS, names))
    write("name_list", "02-unix-dirs-only.nl", name_list(UNIX, flags(mask=1), 0, 0, REFUSES + ENTERS, names))
    write("name_list", "03-macintosh.nl", name_list(MACINTOSH, flags(mask=1), 63, 0, b"", b"a\r\n\r\nb"))
    write("name_list", "04-vms-probed.nl",
          name_list(VMS, flags(), 7, 0, ENTERS,
                  listing(["SUB.DIR;1", "README.TXT;3", "A B.TXT;1", "DKA0:[USER]SUB.DIR;1",
                           "DKA0:[USER.SUB]", "X.Dir;1"])))
    write("name_list", "05-vms-list-before-cwd.nl",
          name_list(VMS, flags(), 7, 3, b"", listing(["*.*;", "LOGIN.COM;3", "SUB.DIR;1", "[.A]*.*;"])))
    write("name_list", "06-stat.nl",
          name_list(DOS, flags(stat=1), 1, 0,
                  b"211-Status of dir:\r\n drwxr-xr-x 2 u g 4096 Jan 1 12:34 dir\r\n211 End\r\n"
                  + b"213 -rw-r--r-- 1 u g 1 Jan 1 12:34 file\r\n",
                  listing(["dir", "file"])))
    write("name_list", "07-known-directory.nl",
          name_list(NT_UNIX, flags(known=1), 2, 0, b"250 OK\r\n250 OK\r\n550 No\r\n", listing(["x", "y", "z"])))
    write("name_list", "08-broken-after-one.nl", name_list(WIN95, flags(), 9, 0, ENTERS[:60], names * 3))
    write("name_list", "09-widening.nl",
          name_list(VM, flags(conversion=4), 5, 0, b"", listing(["caf\xe9", "\x01", "na\x7fme"])))
    write("name_list", "10-widening-kept.nl",
          name_list(MVS, flags(conversion=4), 5, 0, b"", listing(["caf\xe9", "\x01x", "\xff" * 40])))
    write("name_list", "11-copy.nl", name_list(OTHER, flags(conversion=2), 63, 0, b"", listing(VSFTPD) * 30))


def list_reader_seeds():
    write("list_reader", "01-vsftpd-links.lr",
          session(UNIX, flags(), 2, 0, ENTERS + REFUSES, listing(VSFTPD + PURE_FTPD)))
    write("list_reader", "02-proftpd-glob-files.lr",
          session(UNIX, flags(glob=1, mask=2), 1 | 0x40, 0, ENTERS, listing(PROFTPD + ["-rw-r--r-- 1 u g 1 Jan 1 12:34 sub/x"])))
    write("list_reader", "03-garbage-ends.lr",
          session(NT_UNIX, flags(), 63, 0, b"", listing(VSFTPD[:2] + ["garbage-without-a-blank"] + VSFTPD)))
    write("list_reader", "04-broken-link-pass.lr",
          session(BRANNOCK, flags(known=1), 0, 1, b"", listing(VSFTPD)))
    write("list_reader", "05-stat-links.lr",
          session(UNIX, flags(stat=1), 4, 0,
                  b'257 "/"\r\n211-Status of link-to-dir:\r\n d\r\n211 End\r\n213 x\r\n250 OK\r\n',
                  listing(VSFTPD)))
    write("list_reader", "06-dos.lr",
          session(DOS, flags(), 3, 0, b"", listing(["10-20-95  01:23p  <DIR>  Program Files",
                                                     "10-20-95  01:23p  1234  A  readme.txt",
                                                     " Volume in drive C is SYSTEM"])))
    write("list_reader", "07-nt-dos.lr",
          session(NT_DOS, flags(glob=1), 1, 0, b"", listing(["01-23-96  10:15AM       <DIR>          My Documents",
                                                             "01-23-96  10:15AM                 1024 web\\a b.txt"])))
    write("list_reader", "08-win95.lr",
          session(WIN95, flags(mask=1), 5, 0, b"", listing(["  <DIR>  08-14-95  19:49  Desktop",
                                                            "   1234  08-14-95  19:49  readme.txt"])))
    write("list_reader", "09-macintosh.lr",
          session(MACINTOSH, flags(), 7, 0, b"", listing(["TEXT ttxt      1234      0 01/12/96    read me",
                                                          "DIR  MACS         0      0 01/12/96    System Folder/",
                                                          "    12 File(s)      34567 bytes        free"])))
    write("list_reader", "10-mvs.lr",
          session(MVS, flags(), 7, 0, b"", listing(["Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname",
                                                    "WRK001 3390   1996/01/12  1   15  FB      80 27920  PO  USER.SOURCE",
                                                    "Migrated                                                USER.OLD"])))
    write("list_reader", "11-vm.lr",
          session(VM, flags(), 7, 0, b"", listing(["PROFILE  EXEC     A1 V         80         12          1  1/12/96 12:00:00 USER",
                                                   "README"])))
    write("list_reader", "12-vms.lr",
          session(VMS, flags(), 7, 0, b"", listing(["Directory DISK$USER:[ALICE]", "",
                                                    "LOGIN.COM;3           2/3      12-JAN-1996 10:22:33  [ALICE]  (RWED,RWED,RE,)",
                                                    "SUB.DIR;1             1/3      12-JAN-1996 10:22:33  [ALICE]  (RWED,RWED,RE,E)",
                                                    "Total of 3 files, 7/12 blocks."])))
    write("list_reader", "13-no-parser.lr", session(AUTOMATIC, flags(), 7, 0, b"", listing(VSFTPD)))
    write("list_reader", "14-long-lines-converted.lr",
          session(UNIX, flags(conversion=3), 63, 0, b"",
                  listing([VSFTPD[1] + "x" * 2100, VSFTPD[0], "-rw-r--r-- 1 u g 1 Jan 1 12:34 " + "y" * 2008])))
    write("list_reader", "15-widening-refused.lr",
          session(UNIX, flags(conversion=4), 1, 0, b"", listing(VSFTPD[:3] + ["\x7f"] + VSFTPD)))


if __name__ == "__main__":
    unix_seeds()
    line_reader_seeds()
    name_list_seeds()
    list_reader_seeds()
