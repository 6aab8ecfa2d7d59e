"""Runs the generator with --review and checks the sheets are sound PNG files:
signature, chunk CRCs, an image stream that inflates to exactly its rows."""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

EXPECTED = ["pictures.png"] + [f"sound_{i}.png" for i in (151, 152, 153, 155, 157)]


def check_png(path):
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "signature"
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        crc = struct.unpack_from(">I", data, pos + 8 + length)[0]
        assert zlib.crc32(kind + body) == crc, f"CRC of {kind}"
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
        if kind == b"IEND":
            break
    assert pos == len(data), "nothing after IEND"
    width, height, depth, colour = header[:4]
    assert (depth, colour) == (8, 2), "8-bit RGB"
    raw = zlib.decompress(idat)
    assert len(raw) == (width * 3 + 1) * height, "rows"
    assert all(raw[y * (width * 3 + 1)] == 0 for y in range(height)), "filter bytes"
    return width, height


def main():
    generator = sys.argv[1]
    with tempfile.TemporaryDirectory() as work:
        review = os.path.join(work, "review")
        subprocess.run([generator, os.path.join(work, "out"), "--review", review], check=True,
                       stdout=subprocess.DEVNULL)
        assert sorted(os.listdir(review)) == sorted(EXPECTED + ["index.txt"]), os.listdir(review)
        with open(os.path.join(review, "index.txt"), encoding="utf-8") as index:
            rows = [line.split("\t") for line in index.read().splitlines()]
        assert len(rows) == 46 and all(len(r) == 4 for r in rows), rows
        for number, name, size, _ in rows:
            assert name.split("_")[1].split(".")[0] == number, name
            assert os.path.getsize(os.path.join(work, "out", name)) == int(size), name
        for name in EXPECTED:
            w, h = check_png(os.path.join(review, name))
            assert w >= 600 and h >= 300, (name, w, h)
        # A command line it does not understand is refused, not guessed at.
        bad = subprocess.run([generator, os.path.join(work, "out"), "--rewiev", review],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        assert bad.returncode == 2 and "usage" in bad.stderr, bad
        none = subprocess.run([generator], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        assert none.returncode == 2
    print("review sheets are valid PNG files")


if __name__ == "__main__":
    main()
