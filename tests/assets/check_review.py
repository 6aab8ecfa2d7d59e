"""The generator's --review sheets are sound PNG files, its index matches the
files, and a command line it does not understand is refused."""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

EXPECTED = ["pictures.png"] + [f"sound_{i}.png" for i in (151, 152, 153, 155, 157)]


def check_png(data):
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "signature"
    pos, idat, kind = 8, b"", b""
    while kind != b"IEND":
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        assert zlib.crc32(kind + body) == struct.unpack_from(">I", data, pos + 8 + length)[0], kind
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
        idat += body if kind == b"IDAT" else b""
        pos += 12 + length
    assert pos == len(data) and (depth, colour) == (8, 2), "8-bit RGB, nothing after IEND"
    raw = zlib.decompress(idat)
    assert len(raw) == (width * 3 + 1) * height and not any(raw[::width * 3 + 1]), "rows, filter bytes"
    assert width >= 600 and height >= 300, (width, height)


def main():
    generator = sys.argv[1]
    with tempfile.TemporaryDirectory() as work:
        out, review = os.path.join(work, "out"), os.path.join(work, "review")
        subprocess.run([generator, out, "--review", review], check=True, stdout=subprocess.DEVNULL)
        assert sorted(os.listdir(review)) == sorted(EXPECTED + ["index.txt"]), os.listdir(review)
        rows = [line.split("\t") for line in open(os.path.join(review, "index.txt"), encoding="utf-8").read().splitlines()]
        assert len(rows) == 46 and all(len(r) == 4 for r in rows), rows
        for number, name, size, _ in rows:
            assert name.split("_")[1].split(".")[0] == number, name
            assert os.path.getsize(os.path.join(out, name)) == int(size), name
        for name in EXPECTED:
            check_png(open(os.path.join(review, name), "rb").read())
        bad = subprocess.run([generator, out, "--rewiev", review], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        assert bad.returncode == 2 and "usage" in bad.stderr, bad
        assert subprocess.run([generator], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 2


if __name__ == "__main__":
    main()
