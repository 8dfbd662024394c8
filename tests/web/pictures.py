# pictures.py -- 8-bit PNGs read into RGB rows, and how far two such pictures are apart
# SPDX-License-Identifier: MIT
import struct
import zlib


def readpng(data):
    """(width, height, rows of RGB bytes) from an 8-bit, non-interlaced RGB or RGBA PNG."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat = 8, b""
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            w, h, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour in (2, 6) and interlace == 0, "unsupported PNG"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
    bpp = 3 if colour == 2 else 4
    raw, stride, rows, prev = zlib.decompress(idat), w * bpp, [], bytearray(w * bpp)
    for y in range(h):
        f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b, c = prev[i], prev[i - bpp] if i >= bpp else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        prev = line
        rows.append(bytes(line) if bpp == 3 else bytes(v for i, v in enumerate(line) if i % 4 != 3))
    return w, h, rows


def unlike(a, b, tolerance):
    """The share of pixels with some channel more than tolerance apart."""
    assert a[:2] == b[:2], "pictures of different sizes"
    bad = 0
    for ra, rb in zip(a[2], b[2]):
        for p in range(0, len(ra), 3):
            if max(abs(ra[p] - rb[p]), abs(ra[p + 1] - rb[p + 1]), abs(ra[p + 2] - rb[p + 2])) > tolerance:
                bad += 1
    return bad / (a[0] * a[1])
