"""The pixel-art generator's output formats, read back byte by byte."""
import os
import struct
import sys
import tempfile
import unittest

_path = os.path.abspath(os.environ.get("PIXELART") or os.path.join(
    os.path.dirname(__file__), "..", "..", "res", "tools", "pixelart.py"))
sys.path.insert(0, os.path.dirname(_path))
import pixelart  # noqa: E402

PALETTE = """colour . #FF00FF
colour r #FF0000
colour g #00FF00
colour b #0000FF
colour k #000000
colour w #FFFFFF
colour _ transparent
"""


def bmp_pixels(data):
    """Decodes an uncompressed BMP into rows of (r, g, b), top row first."""
    assert data[:2] == b"BM"
    size, _, _, offset = struct.unpack_from("<IHHI", data, 2)
    assert size == len(data)
    hsize, w, h, planes, bits, comp = struct.unpack_from("<IiiHHI", data, 14)
    assert (hsize, planes, comp) == (40, 1, 0)
    table = []
    if bits <= 8:
        for i in range(1 << bits):
            b, g, r, _ = data[54 + 4 * i:58 + 4 * i]
            table.append((r, g, b))
    stride = ((w * bits + 31) // 32) * 4
    assert len(data) == offset + stride * h
    rows = []
    for y in range(h):
        line = data[offset + (h - 1 - y) * stride:offset + (h - y) * stride]
        row = []
        for x in range(w):
            if bits == 24:
                b, g, r = line[3 * x:3 * x + 3]
                row.append((r, g, b))
            else:
                bitpos = x * bits
                v = (line[bitpos // 8] >> (8 - bits - bitpos % 8)) & ((1 << bits) - 1)
                row.append(table[v])
        rows.append(row)
    return bits, rows


def icon_entries(data):
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    assert reserved == 0
    out = []
    for i in range(count):
        w, h, colours, _, a, b, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        blob = data[offset:offset + size]
        assert len(blob) == size
        out.append(dict(w=w or 256, h=h or 256, a=a, b=b, blob=blob, kind=kind))
    return out


def and_mask(blob, w, h):
    _, bw, bh, _, bits = struct.unpack_from("<IiiHH", blob, 0)
    assert (bw, bh) == (w, 2 * h)
    colours = (1 << bits) if bits <= 8 else 0
    xor_stride = ((w * bits + 31) // 32) * 4
    and_stride = ((w + 31) // 32) * 4
    start = 40 + 4 * colours + xor_stride * h
    assert len(blob) == start + and_stride * h
    rows = []
    for y in range(h):
        line = blob[start + (h - 1 - y) * and_stride:]
        rows.append("".join("1" if line[x // 8] >> (7 - x % 8) & 1 else "0" for x in range(w)))
    return rows


class BitmapOutput(unittest.TestCase):
    PICTURE = "rgb\nkw.\n"  # 3 x 2: widths that need row padding at every depth

    def test_depths_round_trip(self):
        want = [[(255, 0, 0), (0, 255, 0), (0, 0, 255)], [(0, 0, 0), (255, 255, 255), (255, 0, 255)]]
        for depth in (4, 8, 24):
            with self.subTest(depth=depth):
                src = PALETTE + f"depth {depth}\nimage 3x2\n" + self.PICTURE + "end\n"
                bits, rows = bmp_pixels(pixelart.convert(src, "bmp"))
                self.assertEqual(depth, bits)
                self.assertEqual(want, rows)

    def test_tile_and_place_compose(self):
        src = PALETTE + "colour , skip\ndepth 24\nimage 5x3 fill .\nend\ntile 1 0\nr,\nend\nplace 4 2\nb\nend\n"
        _, rows = bmp_pixels(pixelart.convert(src, "bmp"))
        R, M, B = (255, 0, 0), (255, 0, 255), (0, 0, 255)
        # copies at x = -1, 1, 3 (the skip column keeps the fill)
        self.assertEqual([M, R, M, R, M], rows[0])
        self.assertEqual([M, R, M, R, B], rows[2])

    def test_include_recolours(self):
        with tempfile.TemporaryDirectory() as d:
            with open(os.path.join(d, "base.txt"), "w") as f:
                f.write("colour x #FF0000\ndepth 24\nimage 1x1\nx\nend\n")
            src = "colour x #808080\ninclude base.txt\n"
            _, rows = bmp_pixels(pixelart.convert(src, "bmp", d))
            self.assertEqual([[(128, 128, 128)]], rows)


class IconAndCursorOutput(unittest.TestCase):
    def test_icon_sizes_depths_and_mask(self):
        src = PALETTE + "image 2x2 depth 4\n_r\ng_\nend\nimage 3x1 depth 32\nr_b\nend\n"
        entries = icon_entries(pixelart.convert(src, "ico"))
        self.assertEqual([(2, 2), (3, 1)], [(e["w"], e["h"]) for e in entries])
        self.assertEqual([1, 1], [e["kind"] for e in entries])
        self.assertEqual([4, 32], [e["b"] for e in entries])  # bit count in an icon entry
        self.assertEqual(["10", "01"], and_mask(entries[0]["blob"], 2, 2))
        self.assertEqual(["010"], and_mask(entries[1]["blob"], 3, 1))
        # 32-bit: alpha follows the mask
        blob = entries[1]["blob"]
        pixels = blob[40:40 + 12]
        self.assertEqual([255, 0, 255], [pixels[3], pixels[7], pixels[11]])

    def test_cursor_hotspot_and_monochrome_palette(self):
        src = "colour _ transparent\ncolour w #FFFFFF\ncolour k #000000\ndepth 1\nhotspot 2 1\nimage 3x2\nkw_\n_wk\nend\n"
        data = pixelart.convert(src, "cur")
        (entry,) = icon_entries(data)
        self.assertEqual(2, entry["kind"])
        self.assertEqual((2, 1), (entry["a"], entry["b"]))
        blob = entry["blob"]
        self.assertEqual(bytes((0, 0, 0, 0, 255, 255, 255, 0)), blob[40:48])  # black, then white
        self.assertEqual(["001", "100"], and_mask(blob, 3, 2))

    def test_animated_cursor_structure(self):
        frames = "".join(f"image 2x2\n{c}{c}\n{c}_\nend\n" for c in "rgb")
        src = PALETTE + "depth 8\nrate 5\nhotspot 1 0\n" + frames
        data = pixelart.convert(src, "ani")
        self.assertEqual((b"RIFF", len(data) - 8, b"ACON"), struct.unpack_from("<4sI4s", data, 0))
        self.assertEqual(b"anih", data[12:16])
        cb, n, steps, _, _, _, _, rate, flags = struct.unpack_from("<9I", data, 20)
        self.assertEqual((36, 3, 3, 5, 1), (cb, n, steps, rate, flags))
        pos = 20 + 36
        self.assertEqual(b"LIST", data[pos:pos + 4])
        self.assertEqual(b"fram", data[pos + 8:pos + 12])
        pos += 12
        for _ in range(3):
            tag, size = struct.unpack_from("<4sI", data, pos)
            self.assertEqual(b"icon", tag)
            (entry,) = icon_entries(data[pos + 8:pos + 8 + size])
            self.assertEqual((2, (1, 0)), (entry["kind"], (entry["a"], entry["b"])))
            pos += 8 + size + size % 2
        self.assertEqual(len(data), pos)


class DrawnSizes(unittest.TestCase):
    # Two cells (the strip as wide as the cells named): an outlined square,
    # and a plus made of two joined bars.
    SOURCE = PALETTE + ("depth 24\nimage 2x1\nrg\nend\n"
                        "drawn 20 24 32\ncell 0\nrect r 2 2 14 14 outline k\n"
                        "cell 1\nrect g 6 2 10 14 outline k\nrect g 2 6 14 10 outline k join\n")

    def test_each_size_painted_for_itself_with_one_pixel_outlines(self):
        K, R, G, M = (0, 0, 0), (255, 0, 0), (0, 255, 0), (255, 0, 255)
        for size in (20, 24, 32):
            with self.subTest(size=size):
                _, rows = bmp_pixels(pixelart.convert(self.SOURCE, "bmp", size=size))
                self.assertEqual((2 * size, size), (len(rows[0]), len(rows)))
                # Across the square: ground, one pixel of outline, the fill
                # (12 of 16 units at this size, less its outline), outline, ground.
                runs = []
                for px in rows[size // 2][:size]:
                    if runs and runs[-1][0] == px:
                        runs[-1][1] += 1
                    else:
                        runs.append([px, 1])
                self.assertEqual([M, K, R, K, M], [r[0] for r in runs])
                self.assertEqual([1, 1], [runs[1][1], runs[3][1]])
                self.assertLessEqual(abs(runs[2][1] + 2 - 12 * size / 16), 1)
                # Joined shapes are edged as one: no outline where the bars cross.
                mid = size // 2
                centre = rows[mid][size + mid]
                self.assertEqual(G, centre)
                self.assertEqual(1, sum(1 for px in rows[mid][size:] if px == K) // 2)
        # The hand-drawn picture stays the 16-pixel form.
        _, rows = bmp_pixels(pixelart.convert(self.SOURCE, "bmp"))
        self.assertEqual([[R, G]], rows)

    def test_frames_turn_and_icons_take_the_drawn_sizes(self):
        ring = PALETTE + ("depth 8\nimage 16x16 fill _\nend\ndrawn 24\nframes 4 spin 90\nbackground _\n"
                          "arc r 8 8 3 7 0 90\n")
        ani = pixelart.convert(ring, "ani", size=24)
        self.assertEqual(4, struct.unpack_from("<I", ani, 24)[0])
        icon = PALETTE + "depth 8\nimage 16x16 fill _\nend\ndrawn 20 32\nbackground _\nellipse r 1 1 15 15\n"
        sizes = [(e["w"], e["h"]) for e in icon_entries(pixelart.convert(icon, "ico"))]
        self.assertEqual([(16, 16), (20, 20), (32, 32)], sizes)
        with self.assertRaises(pixelart.ArtError):
            pixelart.convert(icon, "bmp", size=24)


class SourceErrors(unittest.TestCase):
    CASES = [
        ("row too short", PALETTE + "depth 24\nimage 2x1\nr\nend\n", "wide"),
        ("too few rows", PALETTE + "depth 24\nimage 1x2\nr\nend\n", "high"),
        ("unknown character", PALETTE + "depth 24\nimage 1x1\nz\nend\n", "palette"),
        ("not closed", PALETTE + "depth 24\nimage 1x1\nr\n", "end"),
        ("too many colours", "".join(f"colour {c} #0000{i:02X}\n" for i, c in enumerate("abcdefghijklmnopq"))
         + "depth 4\nimage 17x1\nabcdefghijklmnopq\nend\n", "do not fit"),
        ("colour in monochrome", PALETTE + "depth 1\nimage 1x1\nr\nend\n", "monochrome"),
        ("mask in a bitmap", PALETTE + "depth 24\nimage 1x1\n_\nend\n", "no mask"),
        ("hot spot outside", PALETTE + "depth 8\nhotspot 5 5\nimage 1x1\nr\nend\n", "hot spot"),
        ("duplicate colour", "colour a #000000\ncolour a #FFFFFF\n", "twice"),
        ("no depth", PALETTE + "image 1x1\nr\nend\n", "depth"),
    ]

    def test_rejected_with_a_reason(self):
        for name, src, words in self.CASES:
            kind = "cur" if "hot spot" in name else "bmp"
            with self.subTest(name):
                with self.assertRaises(pixelart.ArtError) as caught:
                    pixelart.convert(src, kind)
                self.assertIn(words, str(caught.exception))

    def test_failed_run_leaves_no_output(self):
        with tempfile.TemporaryDirectory() as d:
            src, out = os.path.join(d, "a.txt"), os.path.join(d, "a.bmp")
            with open(src, "w") as f:
                f.write(PALETTE + "depth 24\nimage 2x1\nr\nend\n")
            self.assertEqual(1, pixelart.main(["pixelart.py", src, out]))
            self.assertFalse(os.path.exists(out))


if __name__ == "__main__":
    unittest.main()
