#!/usr/bin/env python3
"""Turn a pixel-art text source into a Windows .bmp, .ico, .cur or .ani file.

Usage: pixelart.py <source.txt> <output.bmp|.ico|.cur|.ani> [--size N]

The output kind follows the output file's extension. Without --size the
pictures written row by row are the output (an ICO adds its drawn sizes);
with --size N the drawn section is painted for N pixels (see below).

Source format (one directive per line; '#' or ';' at the start of a line, and
blank lines outside pictures, are ignored):

  colour C #RRGGBB     palette entry: the single character C paints RRGGBB
  colour C transparent C is a masked pixel (ICO/CUR/ANI only; in a BMP the
                       image lists key on a colour instead, e.g. magenta)
  colour C skip        C leaves the pixel below untouched (for tile/place)
  depth N              default bit depth of the following images:
                       BMP 1, 4, 8 or 24; ICO/CUR/ANI 1, 4, 8 or 32
  hotspot X Y          cursor hot spot (CUR and ANI)
  rate N               ANI: jiffies (1/60 s) per frame
  image WxH [depth N] [fill C]
                       starts a new image (a BMP has exactly one; an ICO one
                       per size; an ANI one per frame), filled with C
                       (default: the first palette entry); then either the
                       picture, H rows of exactly W palette characters,
                       closed by a line 'end', or just 'end'
  tile X Y             rows ... 'end': a block repeated over the whole current
                       image, one copy with its top-left corner at (X, Y) and
                       the others at every multiple of its size from there
  place X Y            rows ... 'end': a block painted once at (X, Y)
  include FILE         reads FILE (relative to this source) in place of the
                       line; a colour declared before the include wins over
                       the included file's own entry for that character, so
                       one picture can be recoloured (e.g. a greyed copy)

Drawn sizes. A source may end with a section that paints the same pictures
from shapes, for each larger size on its own: one-pixel outlines stay one
pixel and every edge lands on whole pixels of that size, which a scaled
16-pixel picture never does.

  drawn N...           starts the section: the sizes it is painted at (the
                       size of the 16-pixel form being 16)
  grid W H             one picture's design size in units, 16 x 16 by
                       default; at size N a unit is N/16 pixels
  cells N              pictures side by side (a strip); by default one more
                       than the highest 'cell' named, so a picture added to
                       a strip is one 'cell' block
  frames N spin D      ANI: N frames, each turned D degrees further
                       clockwise about the picture's centre
  background C         the ground (default: the first palette entry)
  cell N               the following shapes belong to picture N
  rect C X0 Y0 X1 Y1   filled rectangle, corners in units
  ellipse C X0 Y0 X1 Y1  filled ellipse in that box
  poly C X Y X Y ...   filled polygon
  line C X0 Y0 X1 Y1 W stroke W units wide with round ends
  arc C CX CY R0 R1 A0 A1  ring between radii R0 and R1 from angle A0 to
                       A1 (degrees clockwise from straight up)
  Each shape may end in 'outline O': its edge pixels (those with a side
  neighbour outside it) in O. A fill of '-' paints the outline alone. A
  shape ending in 'join' is one with the shape before it: their union takes
  that shape's fill and outline.
  tile X Y / place X Y blocks work here too, in pixels of the output.

Spaces inside picture rows are ordinary palette characters only if declared;
trailing whitespace is stripped, so do not declare a space as a colour.
Palette order is declaration order, which fixes the colour table of 1-, 4- and
8-bit output (a monochrome image always gets black, white).
"""

import math
import os
import struct
import sys


class ArtError(Exception):
    pass


class Image:
    def __init__(self, width, height, depth, fill):
        self.width = width
        self.height = height
        self.depth = depth
        self.pixels = [[fill] * width for _ in range(height)]

    def stamp(self, rows, x0, y0, palette):
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                x, y = x0 + dx, y0 + dy
                if 0 <= x < self.width and 0 <= y < self.height and palette[ch] != "skip":
                    self.pixels[y][x] = ch


class Art:
    def __init__(self):
        self.palette = {}  # char -> (r, g, b) | "transparent" | "skip"
        self.order = []
        self.images = []
        self.hotspot = (0, 0)
        self.rate = 6
        self.depth = None
        self.drawn = None  # Drawn section, or None


class Drawn:
    def __init__(self, sizes):
        self.sizes = sizes
        self.grid = (16.0, 16.0)
        self.cells = None
        self.frames = 1
        self.spin = 0.0
        self.background = None
        self.ops = []  # ("shape", cell, fill, outline, [(kind, args)...]) | ("tile"|"place", x, y, rows)


SHAPE_ARGS = {"rect": 4, "ellipse": 4, "line": 5, "arc": 6}


def shape_test(kind, a):
    """A predicate on a point in units: inside the shape or not."""
    if kind == "rect":
        x0, y0, x1, y1 = a
        return lambda x, y: x0 <= x < x1 and y0 <= y < y1
    if kind == "ellipse":
        cx, cy = (a[0] + a[2]) / 2, (a[1] + a[3]) / 2
        rx, ry = (a[2] - a[0]) / 2, (a[3] - a[1]) / 2
        return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0
    if kind == "line":
        x0, y0, x1, y1, w = a
        dx, dy = x1 - x0, y1 - y0
        length2 = dx * dx + dy * dy

        def on_line(x, y):
            t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
            px, py = x0 + t * dx - x, y0 + t * dy - y
            return px * px + py * py <= (w / 2) ** 2
        return on_line
    if kind == "arc":
        cx, cy, r0, r1, a0, a1 = a
        span = (a1 - a0) % 360 or 360

        def on_arc(x, y):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            if not r0 * r0 <= d2 <= r1 * r1:
                return False
            angle = math.degrees(math.atan2(x - cx, cy - y))
            return (angle - a0) % 360 < span
        return on_arc
    if kind == "poly":
        pts = list(zip(a[0::2], a[1::2]))

        def in_poly(x, y):
            inside = False
            j = len(pts) - 1
            for i in range(len(pts)):
                xi, yi = pts[i]
                xj, yj = pts[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    inside = not inside
                j = i
            return inside
        return in_poly
    raise ArtError(f"unknown shape '{kind}'")


def parse_drawn_line(art, words, lineno, read_block, i):
    """One directive of the drawn section; returns the next line index."""
    d = art.drawn
    cmd = words[0]
    try:
        if cmd == "grid":
            d.grid = (float(words[1]), float(words[2]))
        elif cmd == "cells":
            d.cells = int(words[1])
        elif cmd == "frames":
            if len(words) != 4 or words[2] != "spin":
                raise ArtError(f"line {lineno}: expected 'frames N spin D'")
            d.frames, d.spin = int(words[1]), float(words[3])
        elif cmd == "background":
            d.background = words[1]
        elif cmd == "cell":
            d.current = int(words[1])
            if d.current < 0 or (d.cells is not None and d.current >= d.cells):
                raise ArtError(f"line {lineno}: cell {d.current} outside the strip")
        elif cmd in ("tile", "place"):
            rows, i = read_block(i)
            d.ops.append((cmd, int(words[1]), int(words[2]), rows))
        elif cmd in SHAPE_ARGS or cmd == "poly":
            join = words[-1] == "join"
            if join:
                words = words[:-1]
                if not d.ops or d.ops[-1][0] != "shape":
                    raise ArtError(f"line {lineno}: 'join' needs a shape before it")
            outline = None
            if len(words) >= 2 and words[-2] == "outline":
                outline = words[-1]
                words = words[:-2]
            fill = words[1]
            args = [float(v) for v in words[2:]]
            want = SHAPE_ARGS.get(cmd)
            if (want is not None and len(args) != want) or (cmd == "poly" and (len(args) < 6 or len(args) % 2)):
                raise ArtError(f"line {lineno}: wrong number of values for '{cmd}'")
            for ch in (fill, outline):
                if ch is not None and ch != "-" and ch not in art.palette:
                    raise ArtError(f"line {lineno}: character '{ch}' not in the palette")
            if join:
                # One shape with the one before: their union, edged as a whole.
                d.ops[-1][4].append((cmd, args))
            else:
                d.ops.append(("shape", getattr(d, "current", 0), fill, outline, [(cmd, args)]))
        else:
            raise ArtError(f"line {lineno}: unknown directive '{cmd}' in the drawn section")
    except (ValueError, IndexError):
        raise ArtError(f"line {lineno}: bad values for '{cmd}'")
    return i


def paint_drawn(art, size):
    """The drawn section painted at `size` pixels: one Image per frame."""
    d = art.drawn
    if d is None or size not in d.sizes:
        raise ArtError(f"no drawn pictures of size {size}")
    cells = d.cells or 1 + max((op[1] for op in d.ops if op[0] == "shape"), default=0)
    unit = size / 16.0
    cell_w = round(d.grid[0] * unit)
    height = round(d.grid[1] * unit)
    background = d.background or art.order[0]
    def union(parts):
        preds = [shape_test(kind, a) for kind, a in parts]
        return lambda x, y: any(p(x, y) for p in preds)

    tests = [(op, union(op[4])) for op in d.ops if op[0] == "shape"]
    images = []
    for frame in range(d.frames):
        img = Image(cell_w * cells, height, art.depth, background)
        turn = math.radians(d.spin * frame)
        cx, cy = d.grid[0] / 2, d.grid[1] / 2
        shapes = iter(tests)
        for op in d.ops:
            if op[0] in ("tile", "place"):
                _, x, y, rows = op
                if not rows:
                    continue
                if op[0] == "place":
                    img.stamp(rows, x, y, art.palette)
                else:
                    bw, bh = len(rows[0]), len(rows)
                    for ty in range(y % bh - bh if y % bh else 0, img.height, bh):
                        for tx in range(x % bw - bw if x % bw else 0, img.width, bw):
                            img.stamp(rows, tx, ty, art.palette)
                continue
            (_, cell, fill, outline, _), test = next(shapes)

            def inside(px, py, cell=cell, test=test):
                # The pixel's centre in units, turned back by the frame's angle.
                x = (px - cell * cell_w + 0.5) / unit - cx
                y = (py + 0.5) / unit - cy
                rx = x * math.cos(turn) + y * math.sin(turn)
                ry = -x * math.sin(turn) + y * math.cos(turn)
                return test(rx + cx, ry + cy)

            for py in range(height):
                for px in range(cell * cell_w, (cell + 1) * cell_w):
                    if not inside(px, py):
                        continue
                    edge = any(not inside(px + dx, py + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                    ch = outline if edge and outline else fill
                    if ch != "-" and art.palette[ch] != "skip":
                        img.pixels[py][px] = ch
        images.append(img)
    return images


def parse_colour(text, lineno):
    if text in ("transparent", "skip"):
        return text
    if len(text) == 7 and text[0] == "#":
        try:
            return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))
        except ValueError:
            pass
    raise ArtError(f"line {lineno}: bad colour '{text}'")


def parse_size(text, lineno):
    try:
        w, h = text.lower().split("x")
        w, h = int(w), int(h)
    except ValueError:
        raise ArtError(f"line {lineno}: bad size '{text}'")
    if not (0 < w <= 4096 and 0 < h <= 4096):
        raise ArtError(f"line {lineno}: size out of range '{text}'")
    return w, h


def expand_includes(text, base_dir, depth=0):
    if depth > 8:
        raise ArtError("includes nested too deeply")
    out = []
    for line in text.splitlines():
        words = line.split()
        if len(words) == 2 and words[0] == "include":
            path = os.path.join(base_dir, words[1])
            with open(path, encoding="utf-8") as f:
                inner = expand_includes(f.read(), os.path.dirname(path), depth + 1)
            out.append("!included")
            out.extend(inner)
            out.append("!end-included")
        else:
            out.append(line)
    return out


def parse(text, base_dir="."):
    art = Art()
    lines = expand_includes(text, base_dir)
    i = 0
    included = 0
    locked = set()  # characters declared by the including file

    def read_block(start, width=None, height=None):
        rows = []
        j = start
        while True:
            if j >= len(lines):
                raise ArtError(f"line {start}: picture not closed by 'end'")
            row = lines[j].rstrip()
            j += 1
            if row == "end":
                break
            for ch in row:
                if ch not in art.palette:
                    raise ArtError(f"line {j}: character '{ch}' not in the palette")
            rows.append(row)
        if rows and width is not None:
            if len(rows) != height:
                raise ArtError(f"line {start}: {len(rows)} rows, image is {height} high")
            for k, row in enumerate(rows):
                if len(row) != width:
                    raise ArtError(f"line {start + k + 1}: {len(row)} pixels, image is {width} wide")
        if rows:
            w = len(rows[0])
            if any(len(r) != w for r in rows):
                raise ArtError(f"line {start}: rows of a block differ in length")
        return rows, j

    while i < len(lines):
        raw = lines[i].strip()
        i += 1
        if not raw or raw[0] in "#;":
            continue
        words = raw.split()
        cmd = words[0]
        if art.drawn is not None and cmd not in ("!included", "!end-included", "colour", "color", "depth"):
            i = parse_drawn_line(art, words, i, read_block, i)
            continue
        if cmd == "drawn":
            try:
                sizes = [int(w) for w in words[1:]]
            except ValueError:
                raise ArtError(f"line {i}: bad size list")
            if not sizes:
                raise ArtError(f"line {i}: 'drawn' needs at least one size")
            art.drawn = Drawn(sizes)
            continue
        if cmd == "!included":
            if included == 0:
                locked = set(art.palette)
            included += 1
        elif cmd == "!end-included":
            included -= 1
        elif cmd in ("colour", "color"):
            if len(words) != 3 or len(words[1]) != 1:
                raise ArtError(f"line {i}: expected 'colour C value'")
            ch = words[1]
            if included and ch in locked:
                continue
            if ch in art.palette:
                raise ArtError(f"line {i}: character '{ch}' declared twice")
            art.palette[ch] = parse_colour(words[2], i)
            art.order.append(ch)
        elif cmd == "depth":
            art.depth = int(words[1])
        elif cmd == "hotspot":
            art.hotspot = (int(words[1]), int(words[2]))
        elif cmd == "rate":
            art.rate = int(words[1])
        elif cmd == "image":
            if len(words) < 2:
                raise ArtError(f"line {i}: expected 'image WxH'")
            w, h = parse_size(words[1], i)
            depth, fill = art.depth, None
            k = 2
            while k < len(words):
                if words[k] == "depth" and k + 1 < len(words):
                    depth = int(words[k + 1])
                elif words[k] == "fill" and k + 1 < len(words):
                    fill = words[k + 1]
                else:
                    raise ArtError(f"line {i}: unknown option '{words[k]}'")
                k += 2
            if not art.order:
                raise ArtError(f"line {i}: image before any colour")
            if fill is None:
                fill = art.order[0]
            if fill not in art.palette or art.palette[fill] == "skip":
                raise ArtError(f"line {i}: bad fill character '{fill}'")
            img = Image(w, h, depth, fill)
            rows, i = read_block(i, w, h)
            img.stamp(rows, 0, 0, art.palette)
            art.images.append(img)
        elif cmd in ("tile", "place"):
            if not art.images:
                raise ArtError(f"line {i}: '{cmd}' before any image")
            x, y = int(words[1]), int(words[2])
            rows, i = read_block(i)
            if not rows:
                continue
            img = art.images[-1]
            if cmd == "place":
                img.stamp(rows, x, y, art.palette)
            else:
                bw, bh = len(rows[0]), len(rows)
                x0 = x % bw - bw if x % bw else 0
                y0 = y % bh - bh if y % bh else 0
                for ty in range(y0, img.height, bh):
                    for tx in range(x0, img.width, bw):
                        img.stamp(rows, tx, ty, art.palette)
        else:
            raise ArtError(f"line {i}: unknown directive '{cmd}'")
    if not art.images and art.drawn is None:
        raise ArtError("no image in the source")
    return art


def colour_table(art, img, depth):
    """Palette of an indexed image: the declared colours it uses, in order."""
    used = {ch for row in img.pixels for ch in row}
    colours = []
    for ch in art.order:
        c = art.palette[ch]
        if ch in used and isinstance(c, tuple) and c not in colours:
            colours.append(c)
    if depth == 1:
        for c in colours:
            if c not in ((0, 0, 0), (255, 255, 255)):
                raise ArtError(f"monochrome image uses colour {c}")
        colours = [(0, 0, 0), (255, 255, 255)]
    if len(colours) > (1 << depth):
        raise ArtError(f"{len(colours)} colours do not fit in {depth} bits")
    while len(colours) < (1 << depth):
        colours.append((0, 0, 0))
    return colours


def pack_rows(img, depth, pixel_value):
    """Bottom-up rows, each padded to a multiple of 4 bytes."""
    out = bytearray()
    for y in range(img.height - 1, -1, -1):
        row = bytearray()
        if depth >= 24:
            for x in range(img.width):
                row += pixel_value(x, y)
        else:
            per_byte = 8 // depth
            for x0 in range(0, img.width, per_byte):
                byte = 0
                for k in range(per_byte):
                    v = pixel_value(x0 + k, y) if x0 + k < img.width else 0
                    byte |= v << (8 - depth * (k + 1))
                row.append(byte)
        while len(row) % 4:
            row.append(0)
        out += row
    return bytes(out)


def dib(art, img, masked):
    """BITMAPINFOHEADER + colour table + pixel bits (+ AND mask when masked)."""
    depth = img.depth
    if depth is None:
        raise ArtError("no bit depth given (use 'depth N')")
    allowed = (1, 4, 8, 32) if masked else (1, 4, 8, 24)
    if depth not in allowed:
        raise ArtError(f"bit depth {depth} not supported here (use one of {allowed})")
    pal = art.palette

    def is_clear(x, y):
        return pal[img.pixels[y][x]] == "transparent"

    if not masked:
        for row in img.pixels:
            for ch in row:
                if pal[ch] == "transparent":
                    raise ArtError("a BMP has no mask: use a key colour instead of 'transparent'")
    table = colour_table(art, img, depth) if depth <= 8 else []

    def value(x, y):
        c = pal[img.pixels[y][x]]
        if depth == 24:
            return bytes((c[2], c[1], c[0]))
        if depth == 32:
            return bytes((0, 0, 0, 0)) if c == "transparent" else bytes((c[2], c[1], c[0], 255))
        if c == "transparent":
            return 0  # black under a set mask bit: the screen stays unchanged
        return table.index(c)

    bits = pack_rows(img, depth, value)
    height = img.height
    mask = b""
    if masked:
        class MaskView:
            width, height = img.width, img.height
        mask = pack_rows(MaskView, 1, lambda x, y: 1 if is_clear(x, y) else 0)
        height *= 2
    header = struct.pack("<IiiHHIIiiII", 40, img.width, height, 1, depth, 0,
                         len(bits) + len(mask), 2835 if not masked else 0,
                         2835 if not masked else 0, 0, 0)
    palette = b"".join(bytes((b, g, r, 0)) for (r, g, b) in table)
    return header + palette + bits + mask


def write_bmp(art):
    if len(art.images) != 1:
        raise ArtError("a BMP holds exactly one image")
    body = dib(art, art.images[0], masked=False)
    colours = (1 << art.images[0].depth) if art.images[0].depth <= 8 else 0
    offset = 14 + 40 + 4 * colours
    return b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, offset) + body


def write_icon_file(art, images, cursor):
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for img in images:
        if img.width > 256 or img.height > 256:
            raise ArtError("icon images are at most 256 x 256")
        blob = dib(art, img, masked=True)
        colours = (1 << img.depth) if img.depth < 8 else 0
        if cursor:
            hx, hy = art.hotspot
            if not (0 <= hx < img.width and 0 <= hy < img.height):
                raise ArtError("hot spot outside the cursor")
            third, fourth = hx, hy
        else:
            third, fourth = 1, img.depth
        entries.append(struct.pack("<BBBBHHII", img.width % 256, img.height % 256,
                                   colours, 0, third, fourth, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack("<HHH", 0, 2 if cursor else 1, len(images)) + b"".join(entries) + b"".join(blobs)


def chunk(tag, data):
    out = tag + struct.pack("<I", len(data)) + data
    return out + (b"\0" if len(data) % 2 else b"")


def write_ani(art):
    frames = art.images
    first = frames[0]
    for f in frames:
        if (f.width, f.height) != (first.width, first.height):
            raise ArtError("all frames of an animated cursor must have one size")
    if art.rate <= 0:
        raise ArtError("rate must be positive")
    # AF_ICON: frames are complete cursor files, so size and depth in the
    # header are informational and left 0 as the format allows.
    anih = struct.pack("<9I", 36, len(frames), len(frames), 0, 0, 0, 0, art.rate, 1)
    fram = b"fram" + b"".join(chunk(b"icon", write_icon_file(art, [f], cursor=True)) for f in frames)
    body = b"ACON" + chunk(b"anih", anih) + chunk(b"LIST", fram)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def convert(source_text, kind, base_dir=".", size=None):
    art = parse(source_text, base_dir)
    if size is None and not art.images:
        raise ArtError("no image written row by row: give --size")
    if size is not None:
        # One size of the drawn section: its frames for an ANI, else its picture.
        art.images = paint_drawn(art, size)
        if kind == "ani" and art.drawn.frames > 1:
            return write_ani(art)
    elif kind == "ico" and art.drawn is not None:
        have = {img.height for img in art.images}
        for n in art.drawn.sizes:
            if n not in have:
                art.images.extend(paint_drawn(art, n)[:1])
        art.images.sort(key=lambda img: img.height)
    if kind == "bmp":
        return write_bmp(art)
    if kind == "ico":
        return write_icon_file(art, art.images, cursor=False)
    if kind == "cur":
        if len(art.images) != 1:
            raise ArtError("a CUR source holds exactly one image")
        return write_icon_file(art, art.images, cursor=True)
    if kind == "ani":
        return write_ani(art)
    raise ArtError(f"unknown output kind '{kind}'")


def main(argv):
    args = argv[1:]
    size = None
    if len(args) == 4 and args[2] == "--size":
        try:
            size = int(args[3])
        except ValueError:
            size = 0
        args = args[:2]
    if len(args) != 2 or size == 0:
        sys.stderr.write(__doc__.split("\n\n")[0] + "\n")
        sys.stderr.write("usage: pixelart.py <source.txt> <output.bmp|.ico|.cur|.ani> [--size N]\n")
        return 2
    source, output = args
    kind = output.rsplit(".", 1)[-1].lower()
    try:
        with open(source, encoding="utf-8") as f:
            data = convert(f.read(), kind, os.path.dirname(os.path.abspath(source)), size)
    except (ArtError, ValueError, IndexError, OSError) as e:
        sys.stderr.write(f"{source}: {e}\n")
        return 1
    # Write whole or not at all, so a failed run never leaves a half file that
    # a build would take as up to date.
    tmp = output + ".part"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
