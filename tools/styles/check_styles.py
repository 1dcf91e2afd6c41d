#!/usr/bin/python3
"""Read MURAL's style and palette files back and check them; draw every glyph.

For each style file (SIMPLX, SWISSL, SWISSM) the file is decoded from its
bytes on its own terms (nothing is taken from the generator):
  - 128 header words, header word 103 = N data words, file size 256 + 2 N,
    N within 1..10000;
  - header(1) = 1 and the pointers rise strictly, glyph 102 ending at
    header(103) - 1 and one padding word after it;
  - every glyph is a width followed by (x, y) pairs, each stroke starting
    with a pen-up mark (x below zero, point at x + 32767) and holding at
    least two points, the ink lying within 0..width;
  - shapes a reader would notice: capitals one text height tall on the
    baseline, descenders below it, umlauts = the base letter plus two marks
    above it, "ß" an ascender letter without descender;
  - the filled style: every stroke a closed ring of at least three corners.
Every glyph is drawn into <STYLE>.plt (HP-GL, plotter units), with a line of
sample text spaced as the text routines space it; the filled style also
goes into <STYLE>_fill.plt, filled even-odd over all rings of a glyph by
horizontal scan lines, and into <STYLE>_pm.plt as HP-GL/2 polygons (one
subpolygon per ring, "FP" even-odd).  With hp2xx installed, PNGs are rendered.

The palette file is read as the palette loader reads it (name line, pen
count, six range values, one line of four integers per pen) for each palette
name; pens must be 1..count without gaps, colours 0..255, lines at most 32
characters, and the sixteen class pens of MURAL clearly distinct.  A PNG of
the palettes' colour swatches is written.

Run:  /usr/bin/python3 tools/styles/check_styles.py [data dir] [output dir]
Exit status 1 when any check fails.
      /usr/bin/python3 tools/styles/check_styles.py --self-test [data dir]
breaks copies of the style files in known ways and fails unless every break
is reported.
"""

import math
import os
import shutil
import struct
import subprocess
import sys
import zlib

STYLES = ("SIMPLX", "SWISSL", "SWISSM")
FILLED = {"SWISSM"}
PALETTES = ("MURAL", "GRAU")
GAP = 0.3           # character gap of proportional text, in text heights
CHARS = [chr(c) for c in range(32, 127)] + list("ÄÖÜäöüß")
SAMPLE = "Grüße aus Köln: ÄÖÜ äöü ß, Windgeschwindigkeit 12.5 m/s (Höhe 10 m) jpqgy"

failures = []


def fail(msg):
    failures.append(msg)
    print("FAIL:", msg)


# ----------------------------------------------------------------- decode

def decode_style(path):
    """Return {char: (width, [strokes])} or None when the layout is broken."""
    name = os.path.basename(path)
    raw = open(path, "rb").read()
    if len(raw) < 256:
        fail(f"{name}: shorter than the 128-word header")
        return None
    header = struct.unpack_from("<128h", raw, 0)
    n = header[102]
    if not 1 <= n <= 10000:
        fail(f"{name}: header word 103 = {n}, outside 1..10000")
        return None
    if len(raw) != 256 + 2 * n:
        fail(f"{name}: {len(raw)} bytes, header word 103 says {256 + 2 * n}")
        return None
    if any(header[103:]):
        fail(f"{name}: header words 104..128 not zero")
    data = struct.unpack_from(f"<{n}h", raw, 256)
    word = lambda i: data[i - 1]  # 1-based, as the header counts

    if header[0] != 1:
        fail(f"{name}: glyph 1 starts at word {header[0]}, not 1")
    for g in range(1, 103):
        if not header[g - 1] < header[g]:
            fail(f"{name}: pointers do not rise at glyph {g} ({header[g - 1]} -> {header[g]})")
            return None
    if n - header[101] < 2:
        fail(f"{name}: glyph 102 leaves no padding word before word {n}")
    # glyph 102 ends at header(103) - 1 = N - 1; word N is the padding word.

    glyphs = {}
    for g in range(1, 103):
        ch = CHARS[g - 1]
        start, end = header[g - 1], header[g] - 1
        if g == 102:
            end = n - 1
        words = [word(i) for i in range(start, end + 1)]
        width = words[0]
        if (len(words) - 1) % 2:
            fail(f"{name}: glyph {g} {ch!r} has an odd number of coordinate words")
            continue
        if not 0 <= width <= 20000:
            fail(f"{name}: glyph {g} {ch!r} width {width} outside 0..20000")
        strokes = []
        for k in range(1, len(words), 2):
            x, y = words[k], words[k + 1]
            if x < 0:
                strokes.append([(x + 32767, y)])
            elif not strokes:
                fail(f"{name}: glyph {g} {ch!r} starts without a pen-up mark")
                strokes.append([(x, y)])
            else:
                strokes[-1].append((x, y))
        for s in strokes:
            if len(s) < 2:
                fail(f"{name}: glyph {g} {ch!r} has a stroke of one point")
        pts = [p for s in strokes for p in s]
        if pts and (min(p[0] for p in pts) < 0 or max(p[0] for p in pts) > width):
            fail(f"{name}: glyph {g} {ch!r} ink x {min(p[0] for p in pts)}..{max(p[0] for p in pts)} "
                 f"outside 0..{width}")
        glyphs[ch] = (width, strokes)
    return glyphs


def ybounds(strokes):
    ys = [p[1] for s in strokes for p in s]
    return (min(ys), max(ys)) if ys else (0, 0)


def check_shapes(name, glyphs, filled):
    if glyphs[" "][1]:
        fail(f"{name}: the blank has strokes")
    for ch in "ABHEIKLMNTVWXZ":
        lo, hi = ybounds(glyphs[ch][1])
        if abs(lo) > 150 or abs(hi - 10000) > 150:
            fail(f"{name}: {ch!r} spans y {lo}..{hi}, not baseline to one text height")
    for ch in "gjpqy":
        lo, _ = ybounds(glyphs[ch][1])
        if lo > -1500:
            fail(f"{name}: {ch!r} has no descender (lowest y {lo})")
    for ch in "acemnorsuvwxz":
        lo, hi = ybounds(glyphs[ch][1])
        if lo < -300 or not 5000 < hi < 8500:
            fail(f"{name}: {ch!r} spans y {lo}..{hi}, not an x-height letter on the baseline")
    lo, hi = ybounds(glyphs["ß"][1])
    if lo < -300 or hi < 9000:
        fail(f"{name}: 'ß' spans y {lo}..{hi}: needs an ascender and no descender")
    for um, base in zip("ÄÖÜäöü", "AOUaou"):
        ustrokes = [tuple(s) for s in glyphs[um][1]]
        bstrokes = [tuple(s) for s in glyphs[base][1]]
        # The base letter may sit shifted when the marks widen the ink.
        found = False
        for dx in sorted({u[0][0] - b[0][0] for u in ustrokes for b in bstrokes[:1]}):
            shifted = [tuple((x + dx, y) for x, y in s) for s in bstrokes]
            if all(s in ustrokes for s in shifted):
                found = True
                extra = [s for s in ustrokes if s not in shifted]
                top = max(p[1] for s in shifted for p in s)
                xs = [p[0] for s in shifted for p in s]
                if len(extra) < 2:
                    fail(f"{name}: {um!r} has {len(extra)} marks over {base!r}")
                for s in extra:
                    if min(p[1] for p in s) <= top:
                        fail(f"{name}: a mark of {um!r} reaches down into {base!r}")
                    if min(p[0] for p in s) < min(xs) or max(p[0] for p in s) > max(xs):
                        fail(f"{name}: a mark of {um!r} sticks out beside {base!r}")
                left = [s for s in extra if max(p[0] for p in s) < (min(xs) + max(xs)) / 2]
                if len(left) != len(extra) - len(left):
                    fail(f"{name}: the marks of {um!r} are not one left and one right")
                break
        if not found:
            fail(f"{name}: {um!r} does not contain the strokes of {base!r}")
    if filled:
        for ch, (_, strokes) in glyphs.items():
            for s in strokes:
                if s[0] != s[-1] or len(set(s)) < 3:
                    fail(f"{name}: {ch!r} has an open or degenerate ring")
                    break
        # The counters must be rings of their own (holes by even-odd).
        for ch, rings in (("O", 2), ("a", 2), ("e", 2), ("B", 3), ("8", 3), ("ö", 4)):
            if len(glyphs[ch][1]) != rings:
                fail(f"{name}: {ch!r} has {len(glyphs[ch][1])} rings, expected {rings}")


# ------------------------------------------------------------------ draw

PU_PER_MM = 40.0


class Plot:
    def __init__(self):
        self.out = ["IN;SP1;"]

    def polyline(self, pts):
        (x0, y0), rest = pts[0], pts[1:]
        self.out.append(f"PU{round(x0)},{round(y0)};PD" + ",".join(f"{round(x)},{round(y)}" for x, y in rest) + ";")

    def text(self):
        return "".join(self.out) + "SP0;"


def place(strokes, x0, y0, size):
    """Glyph strokes to plotter units: size = text height in plotter units."""
    return [[(x0 + x * size / 10000, y0 + y * size / 10000) for x, y in s] for s in strokes]


def scanline_fill(plot, rings, step):
    """Fill the rings together, even-odd: an edge counts for a scan line when
    min <= v < max of its ends."""
    ys = [p[1] for r in rings for p in r]
    v = math.floor(min(ys) / step) * step + step / 2
    while v < max(ys):
        xs = []
        for r in rings:
            for (xa, ya), (xb, yb) in zip(r, r[1:]):
                if min(ya, yb) <= v < max(ya, yb):
                    xs.append(xa + (v - ya) * (xb - xa) / (yb - ya))
        xs.sort()
        for a, b in zip(xs[0::2], xs[1::2]):
            if b - a > 0.5:
                plot.polyline([(a, v), (b, v)])
        v += step


def polygon_fill(plot, rings):
    """HP-GL/2 polygon mode: one subpolygon per ring, filled even-odd."""
    for i, r in enumerate(rings):
        pts = ",".join(f"{round(x)},{round(y)}" for x, y in r[1:])
        plot.out.append(f"PU{round(r[0][0])},{round(r[0][1])};" + ("PM0;" if i == 0 else "") + f"PD{pts};")
        plot.out.append("PM1;" if i < len(rings) - 1 else "PM2;FP;")


def draw_style(name, glyphs, filled, outdir):
    size = 12 * PU_PER_MM       # 12 mm text height
    cell_w, cell_h = 20 * PU_PER_MM, 22 * PU_PER_MM
    plots = {"": Plot()}
    if filled:
        plots["_fill"] = Plot()
        plots["_pm"] = Plot()
    for suffix, plot in plots.items():
        for i, ch in enumerate(CHARS):
            col, row = i % 12, i // 12
            x0, y0 = col * cell_w, (9 - row) * cell_h + 6 * PU_PER_MM
            width, strokes = glyphs[ch]
            # the baseline and the advance width, short ticks under the glyph
            plot.polyline([(x0, y0 - 2 * PU_PER_MM), (x0, y0 - 3 * PU_PER_MM)])
            xw = x0 + width * size / 10000
            plot.polyline([(xw, y0 - 2 * PU_PER_MM), (xw, y0 - 3 * PU_PER_MM)])
            rings = place(strokes, x0, y0, size)
            if suffix == "_fill" and rings:
                scanline_fill(plot, rings, 0.1 * PU_PER_MM)
            elif suffix == "_pm" and rings:
                polygon_fill(plot, rings)
            else:
                for s in rings:
                    plot.polyline(s)
        # sample text as the text routines space it, 6 mm high
        tsize = 6 * PU_PER_MM
        x = 0.0
        for ch in SAMPLE:
            width, strokes = glyphs[ch]
            rings = place(strokes, x, -12 * PU_PER_MM, tsize)
            if suffix == "_fill" and rings:
                scanline_fill(plot, rings, 0.05 * PU_PER_MM)
            elif suffix == "_pm" and rings:
                polygon_fill(plot, rings)
            else:
                for s in rings:
                    plot.polyline(s)
            x += (width / 10000 + GAP) * tsize
        path = os.path.join(outdir, f"{name}{suffix}.plt")
        with open(path, "w") as f:
            f.write(plot.text())
        render(path)


def render(path):
    if shutil.which("hp2xx") is None:
        return
    png = path[:-4] + ".png"
    r = subprocess.run(["hp2xx", "-q", "-m", "png", "-f", png, path], capture_output=True, text=True)
    if r.returncode != 0:
        fail(f"hp2xx failed on {path}: {r.stderr.strip()}")
    else:
        print("rendered", png)


# --------------------------------------------------------------- palette

def read_palette(lines, name):
    """Pens of the palette called name, read as the loader reads them."""
    it = iter(lines)
    for line in it:
        if line[:32].startswith(name):
            break
    else:
        fail(f"VELIN.PAL: palette {name!r} not found")
        return None
    try:
        count = int(next(it).split()[0])
        rng = [int(v) for v in next(it).replace(",", " ").split()]
        pens = []
        for _ in range(count):
            vals = [int(v) for v in next(it).replace(",", " ").split()]
            if len(vals) != 4:
                fail(f"VELIN.PAL: {name}: pen line {vals} does not hold four integers")
                return None
            pens.append(tuple(vals))
    except (StopIteration, ValueError) as e:
        fail(f"VELIN.PAL: {name}: unreadable ({e})")
        return None
    if rng != [0, 255, 0, 255, 0, 255]:
        fail(f"VELIN.PAL: {name}: colour range {rng}")
    if count < 16:
        fail(f"VELIN.PAL: {name}: only {count} pens")
    if [p[0] for p in pens] != list(range(1, count + 1)):
        fail(f"VELIN.PAL: {name}: pens are not 1..{count} in order")
    if any(not 0 <= c <= 255 for p in pens for c in p[1:]):
        fail(f"VELIN.PAL: {name}: colour value outside 0..255")
    return pens


def lab(rgb):
    def lin(c):
        c /= 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (lin(c) for c in rgb)
    x = (0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.9505
    y = 0.2126 * r + 0.7152 * g + 0.0722 * b
    z = (0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.089
    f = lambda t: t ** (1 / 3) if t > 0.008856 else 7.787 * t + 16 / 116
    return 116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))


def check_palette(path, outdir):
    lines = open(path, encoding="ascii").read().split("\n")
    for i, line in enumerate(lines, 1):
        if len(line) > 32:
            fail(f"VELIN.PAL: line {i} longer than 32 characters")
    result = {}
    for name in PALETTES:
        pens = read_palette(lines, name)
        if pens is None:
            continue
        result[name] = pens
        print(f"VELIN.PAL: palette {name}: {len(pens)} pens")
    mural = result.get("MURAL")
    if mural and len(mural) < 24:
        fail("VELIN.PAL: MURAL lacks the sixteen class pens 9..24")
    elif mural:
        classes = [lab(p[1:]) for p in mural[8:24]]
        dmin = min(math.dist(a, b) for i, a in enumerate(classes) for b in classes[i + 1:])
        print(f"VELIN.PAL: smallest colour distance between the 16 classes: {dmin:.1f} (CIE76)")
        if dmin < 10:
            fail(f"VELIN.PAL: two class colours are too close ({dmin:.1f})")
    if result:
        write_swatches(os.path.join(outdir, "palette.png"), list(result.values()))


def write_swatches(path, palettes):
    sw = 24
    width = sw * max(len(p) for p in palettes)
    rows = []
    for pens in palettes:
        for _ in range(sw):
            row = bytearray()
            for _, r, g, b in pens:
                row += bytes((r, g, b)) * (sw - 2) + bytes((255, 255, 255)) * 2
            row += bytes((255, 255, 255)) * (width - len(pens) * sw)
            rows.append(bytes(row))
    raw = b"".join(b"\0" + r for r in rows)
    chunk = lambda t, d: struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, len(rows), 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)
    print("wrote", path)


# ------------------------------------------------------------- self test

def words_of(path):
    raw = open(path, "rb").read()
    return list(struct.unpack(f"<{len(raw) // 2}h", raw))


def write_words(path, words):
    with open(path, "wb") as f:
        f.write(struct.pack(f"<{len(words)}h", *words))


def glyph_range(words, ch):
    g = CHARS.index(ch) + 1
    return 128 + words[g - 1] - 1, 128 + words[g] - 1   # 0-based file word slice


def self_test(datadir, outdir):
    """Break copies of the files in known ways; every break must be reported."""
    import tempfile

    def corrupt_pointer(w):
        w[40] = w[39]                      # glyph 41 empty: pointers stop rising

    def wrong_count(w):
        w[102] += 1                        # header word 103 no longer fits the file

    def no_padding(w):
        del w[-1]                          # glyph 102 runs to the end, no padding
        w[102] -= 1

    def unmarked_start(w):
        a, _ = glyph_range(w, "H")
        w[a + 1] += 32767                  # first pair of "H" loses its pen-up mark

    def dots_sunk(w):
        a, b = glyph_range(w, "ä")         # the dots of "ä" moved down into the "a"
        a2, b2 = glyph_range(w, "a")
        for i in range(a + (b2 - a2) + 1, b, 2):
            w[i] -= 6000

    def descender_gone(w):
        a, b = glyph_range(w, "g")
        for i in range(a + 2, b, 2):
            w[i] = max(w[i], 0)            # "g" clipped at the baseline

    def open_ring(w):
        a, b = glyph_range(w, "O")
        w[b - 2] += 500                    # last point of the inner ring moved off its start

    cases = [("SIMPLX", corrupt_pointer), ("SWISSL", wrong_count), ("SIMPLX", no_padding),
             ("SWISSL", unmarked_start), ("SIMPLX", dots_sunk), ("SWISSM", descender_gone),
             ("SWISSM", open_ring)]
    ok = True
    for style, breaker in cases:
        with tempfile.TemporaryDirectory() as tmp:
            w = words_of(os.path.join(datadir, style + ".STY"))
            breaker(w)
            path = os.path.join(tmp, style + ".STY")
            write_words(path, w)
            before = len(failures)
            glyphs = decode_style(path)
            if glyphs is not None and len(glyphs) == 102:
                check_shapes(style, glyphs, style in FILLED)
            caught = len(failures) > before
            del failures[before:]
            print(f"self test {breaker.__name__} on {style}: {'caught' if caught else 'NOT CAUGHT'}")
            ok = ok and caught

    text = open(os.path.join(datadir, "VELIN.PAL"), encoding="ascii").read()
    pal_cases = [
        ("class colours alike", text.replace("\n10 0 40 215\n", "\n10 0 0 135\n", 1)),
        ("comment named like a palette", "MURAL colours follow\n1\n0 0 0 0 0 0\n1 0 0 0\n" + text),
        ("pen missing", text.replace("\n17 185 235 0\n", "\n", 1)),
    ]
    for what, broken in pal_cases:
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "VELIN.PAL")
            with open(path, "w", encoding="ascii") as f:
                f.write(broken)
            before = len(failures)
            check_palette(path, tmp)
            caught = len(failures) > before
            del failures[before:]
            print(f"self test palette, {what}: {'caught' if caught else 'NOT CAUGHT'}")
            ok = ok and caught
    return ok


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--self-test":
        here = os.path.dirname(os.path.abspath(__file__))
        datadir = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "..", "data", "velin")
        return 0 if self_test(datadir, None) else 1
    here = os.path.dirname(os.path.abspath(__file__))
    datadir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "data", "velin")
    outdir = sys.argv[2] if len(sys.argv) > 2 else "out/styles"
    os.makedirs(outdir, exist_ok=True)
    for name in STYLES:
        glyphs = decode_style(os.path.join(datadir, name + ".STY"))
        if glyphs is None or len(glyphs) != 102:
            continue
        check_shapes(name, glyphs, name in FILLED)
        draw_style(name, glyphs, name in FILLED, outdir)
    check_palette(os.path.join(datadir, "VELIN.PAL"), outdir)
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
