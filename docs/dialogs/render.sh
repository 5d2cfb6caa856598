#!/bin/bash
# Makes the pictures of the module's dialogs that the README shows: the dialog scenario of
# the tests (every dialog met once, each checked against its record in tests/wine/dialogs/)
# runs with ftpsh.exe of a Windows build under Wine on a virtual display, and each picture
# it takes becomes docs/dialogs/NAME.png.
#   docs/dialogs/render.sh BUILD-NATIVE BUILD-WINDOWS
# BUILD-NATIVE is a Linux build with its tests (ftpsh_tests), BUILD-WINDOWS an x86_64 (or
# i686) Windows build holding ftpsh.exe; tests/run_all.sh makes both (build-native, build-x64).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
native=${1:?usage: render.sh BUILD-NATIVE BUILD-WINDOWS}
windows=${2:?usage: render.sh BUILD-NATIVE BUILD-WINDOWS}
pictures=$(mktemp -d)
trap 'rm -rf "$pictures"' EXIT

TVFTP_WINE_FTPSH=$(readlink -f "$windows/ftpsh.exe") TVFTP_DIALOG_PICTURES=$pictures \
    "$native/tests/host/ftpsh_tests" --gtest_filter='FtpshDialogsUnderWine.*'

# 24-bit bottom-up BMP to PNG, with nothing but zlib.
python3 - "$pictures" "$here" <<'PYTHON'
import os, struct, sys, zlib

source, target = sys.argv[1], sys.argv[2]
for name in sorted(os.listdir(source)):
    if not name.endswith(".bmp"):
        continue
    data = open(os.path.join(source, name), "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    assert bits == 24 and height > 0, name
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for y in range(height - 1, -1, -1):
        row = data[offset + y * stride: offset + y * stride + width * 3]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))
    path = os.path.join(target, name[:-4] + ".png")
    open(path, "wb").write(png)
    print(path)
PYTHON
