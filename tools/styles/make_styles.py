#!/usr/bin/python3
"""Generate MURAL's VELIN style files (.STY) and palette file (VELIN.PAL).

Style file layout (all words little-endian signed 16-bit):

  header  128 words.  Word g (g = 1..102) is the 1-based index of glyph g's
          first data word; word 103 is the number N of data words; words
          104..128 are 0.
  data    N words.  Glyph g occupies words header(g) .. header(g+1) - 1:
            word header(g)     advance width
            following words    (x, y) pairs of stroke points
          A pair whose x is below zero starts a new stroke (pen up) at
          x + 32767; every stroke, the first of a glyph included, starts with
          such a marked pair.  The last data word (word N) is a padding 0 that
          follows glyph 102.

Glyphs 1..95 are the bytes 32..126, glyphs 96..102 are "ÄÖÜäöüß".

Units are 1/10000 of the text height, where the text height is the height of
the capital letters ("H" is 10000 units tall).  y runs upward from the
baseline (descenders are negative).  x runs from 0 at the glyph's leftmost ink
to its advance width at the rightmost ink: the width is the ink width, and
the text routines add the character gap between glyphs.  Digits share one
width (the widest digit's ink) with their ink centred, so columns of numbers
line up.  The blank has no strokes and a width of BLANK_WIDTH.

Three styles are made:
  SIMPLX  Hershey simplex roman (stroked),
  SWISSL  Hershey simplex sans "futural" (stroked),
  SWISSM  DejaVu Sans outlines (filled): one closed stroke per contour
          (last point = first point), curves flattened to polylines; the
          reader fills all strokes of a glyph together even-odd, so the
          counters of "a", "e", "O" stay open.

Umlauts of the stroke fonts are the base letter plus the two dots of the
font's "i" placed above it; the sharp s is drawn here in the fonts' stroke
style (the Hershey sets have none).

Run:  /usr/bin/python3 tools/styles/make_styles.py [output directory]
(default output directory: data/velin of the source tree).
"""

import math
import os
import struct
import sys

HERSHEY_DIR = "/usr/share/hershey-fonts"
DEJAVU_SANS = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"

UNITS = 10000            # data units per text height
BLANK_WIDTH = 0.30       # advance of the blank, in text heights
MAX_DATA_WORDS = 10000   # header entries must stay within 1..10000
EXTRA_CHARS = "ÄÖÜäöüß"  # glyphs 96..102
UMLAUT_BASES = {"Ä": "A", "Ö": "O", "Ü": "U", "ä": "a", "ö": "o", "ü": "u"}


class Glyph:
    """Strokes in text heights: x to the right, y up from the baseline."""

    def __init__(self, strokes, width=None):
        self.strokes = [list(s) for s in strokes if len(s) >= 2]
        self.width = width

    def bounds(self):
        pts = [p for s in self.strokes for p in s]
        if not pts:
            return None
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        return min(xs), min(ys), max(xs), max(ys)

    def shifted(self, dx, dy=0.0):
        return Glyph([[(x + dx, y + dy) for x, y in s] for s in self.strokes], self.width)


def normalise(glyphs, digit_cell=True):
    """Move every glyph's ink to start at x = 0 and set its width to the ink
    width; digits get a common width with centred ink."""
    out = {}
    for ch, g in glyphs.items():
        b = g.bounds()
        if b is None:
            out[ch] = Glyph([], BLANK_WIDTH if g.width is None else g.width)
            continue
        n = g.shifted(-b[0])
        n.width = b[2] - b[0]
        out[ch] = n
    if digit_cell:
        cell = max(out[d].width for d in "0123456789")
        for d in "0123456789":
            g = out[d]
            out[d] = g.shifted(0.5 * (cell - g.width))
            out[d].width = cell
    return out


# ---------------------------------------------------------------- Hershey

def read_jhf(path):
    """Glyphs of a Hershey .jhf file in file order.  Each record: 5 columns
    glyph id, 3 columns vertex count (the margin pair included), the left and
    right margin, then the vertices; " R" lifts the pen.  Coordinates are
    letters relative to "R", y downward.  Records may wrap over lines."""
    text = open(path, encoding="ascii").read()
    glyphs = []
    pos = 0
    while True:
        while pos < len(text) and text[pos] in "\r\n":
            pos += 1
        if pos >= len(text):
            break
        count = int(text[pos + 5:pos + 8])
        pos += 8
        pairs = []
        while len(pairs) < count:
            if text[pos] in "\r\n":
                pos += 1
                continue
            pairs.append(text[pos:pos + 2])
            pos += 2
        left, right = ord(pairs[0][0]) - 82, ord(pairs[0][1]) - 82
        strokes, cur = [], []
        for p in pairs[1:]:
            if p == " R":
                strokes.append(cur)
                cur = []
            else:
                cur.append((ord(p[0]) - 82, ord(p[1]) - 82))
        strokes.append(cur)
        glyphs.append((left, right, [s for s in strokes if s]))
    return glyphs


# Hershey simplex metrics: capitals run from y = -12 to the baseline y = 9.
H_BASE, H_CAP = 9, -12
H_SCALE = 1.0 / (H_BASE - H_CAP)


def hershey_to_glyph(strokes):
    return Glyph([[(x * H_SCALE, (H_BASE - y) * H_SCALE) for x, y in s] for s in strokes])


# Sharp s in the simplex stroke style, Hershey coordinates (y downward):
# stem from the baseline up into the top arc, down to a small upper bowl that
# ends at the waist, then the larger lower bowl ending at the baseline.
SHARP_S = [
    [(-6, 9), (-6, -6), (-5.5, -9), (-4, -11), (-2, -12), (0, -12), (2, -11.3),
     (3.3, -10), (3.8, -8.3), (3.5, -6.6), (2.5, -5.2), (1, -4.3), (-1, -3.8)],
    [(-1, -3.8), (2, -3.4), (4.2, -2.3), (5.6, -0.6), (6.2, 1.6), (6.2, 3.6),
     (5.6, 5.8), (4.3, 7.6), (2.6, 8.6), (0.6, 9), (-1.6, 8.6)],
]


def hershey_style(path, fixes=None):
    recs = read_jhf(path)
    if len(recs) < 95:
        raise SystemExit(f"{path}: only {len(recs)} glyphs")
    raw = {}
    for i in range(95):
        raw[chr(32 + i)] = recs[i][2]
    if fixes:
        raw.update(fixes)
    glyphs = {ch: hershey_to_glyph(s) for ch, s in raw.items()}

    # The dot of "i" (its first stroke) in this font, centred on the origin.
    idot = raw["i"][0]
    cx = (min(p[0] for p in idot) + max(p[0] for p in idot)) / 2
    cy = (min(p[1] for p in idot) + max(p[1] for p in idot)) / 2
    dot = [(x - cx, y - cy) for x, y in idot]

    for ch, base in UMLAUT_BASES.items():
        bs = raw[base]
        xs = [p[0] for s in bs for p in s]
        top = min(p[1] for s in bs for p in s)
        mid = (min(xs) + max(xs)) / 2
        # Dots a little closer together over the lower case letters; above
        # capitals they sit 3.5 units over the cap line, above lower case
        # letters 5.5 units over the x-height, a little below the dot of "i".
        dx = 3.5 if base.isupper() else 3.0
        dy = top - 3.5 if base.isupper() else top - 5.5
        marks = [[(mid - dx + x, dy + y) for x, y in dot], [(mid + dx + x, dy + y) for x, y in dot]]
        glyphs[ch] = hershey_to_glyph(bs + marks)
    glyphs["ß"] = hershey_to_glyph(SHARP_S)
    glyphs[" "] = Glyph([], BLANK_WIDTH)
    return normalise(glyphs)


# ------------------------------------------------------------ outline font

def outline_style(path, tolerance):
    """Closed, flattened contours of the TrueType font at path.  tolerance is
    the largest distance (font units) of a chord from its curve."""
    from fontTools.pens.basePen import BasePen
    from fontTools.ttLib import TTFont

    class FlattenPen(BasePen):
        def __init__(self, glyph_set):
            super().__init__(glyph_set)
            self.contours = []
            self.cur = None

        def _moveTo(self, p):
            self.cur = [p]

        def _lineTo(self, p):
            self.cur.append(p)

        def _qCurveToOne(self, p1, p2):
            p0 = self.cur[-1]
            dev = math.hypot(p0[0] - 2 * p1[0] + p2[0], p0[1] - 2 * p1[1] + p2[1]) / 4
            n = max(1, math.ceil(math.sqrt(dev / tolerance)))
            for k in range(1, n + 1):
                t = k / n
                a, b, c = (1 - t) ** 2, 2 * t * (1 - t), t * t
                self.cur.append((a * p0[0] + b * p1[0] + c * p2[0], a * p0[1] + b * p1[1] + c * p2[1]))

        def _curveToOne(self, p1, p2, p3):
            p0 = self.cur[-1]
            dev = 0.75 * max(math.hypot(p0[0] - 2 * p1[0] + p2[0], p0[1] - 2 * p1[1] + p2[1]),
                             math.hypot(p1[0] - 2 * p2[0] + p3[0], p1[1] - 2 * p2[1] + p3[1]))
            n = max(1, math.ceil(math.sqrt(dev / tolerance)))
            for k in range(1, n + 1):
                t = k / n
                a, b, c, d = (1 - t) ** 3, 3 * t * (1 - t) ** 2, 3 * t * t * (1 - t), t ** 3
                self.cur.append((a * p0[0] + b * p1[0] + c * p2[0] + d * p3[0],
                                 a * p0[1] + b * p1[1] + c * p2[1] + d * p3[1]))

        def _closePath(self):
            pts = self.cur
            if pts[-1] != pts[0]:
                pts.append(pts[0])
            self.contours.append(pts)
            self.cur = None

        _endPath = _closePath

    font = TTFont(path)
    glyph_set = font.getGlyphSet()
    cmap = font.getBestCmap()
    # Cap height from the "H" (this font's OS/2 table is too old to carry it).
    hpen = FlattenPen(glyph_set)
    glyph_set[cmap[ord("H")]].draw(hpen)
    cap = max(p[1] for c in hpen.contours for p in c)

    glyphs = {}
    for ch in [chr(c) for c in range(32, 127)] + list(EXTRA_CHARS):
        pen = FlattenPen(glyph_set)
        glyph_set[cmap[ord(ch)]].draw(pen)
        contours = [[(x / cap, y / cap) for x, y in c] for c in pen.contours]
        glyphs[ch] = Glyph(contours)
    glyphs[" "] = Glyph([], BLANK_WIDTH)
    return normalise(glyphs)


# --------------------------------------------------------------- encoding

def quantise(glyph, closed):
    """Integer strokes: drop repeated points; a closed stroke keeps its
    closing point equal to its first point."""
    out = []
    for s in glyph.strokes:
        pts = []
        for x, y in s:
            p = (round(x * UNITS), round(y * UNITS))
            if not pts or p != pts[-1]:
                pts.append(p)
        if closed:
            if pts[-1] != pts[0]:
                pts.append(pts[0])
            if len(pts) >= 4:
                out.append(pts)
        elif len(pts) >= 2:
            out.append(pts)
        else:
            # A stroke that shrank to one point (a tiny dot) stays visible
            # as a short tick.
            out.append([pts[0], (pts[0][0] + 1, pts[0][1])])
    return out


def encode_style(glyphs, closed=False):
    order = [chr(c) for c in range(32, 127)] + list(EXTRA_CHARS)
    header = [0] * 128
    data = []
    for g, ch in enumerate(order, start=1):
        gl = glyphs[ch]
        header[g - 1] = len(data) + 1
        data.append(round(gl.width * UNITS))
        for stroke in quantise(gl, closed):
            for i, (x, y) in enumerate(stroke):
                if x < 0:
                    raise ValueError(f"glyph {ch!r}: x below zero")
                data += [x - 32767 if i == 0 else x, y]
    data.append(0)           # padding word after the last glyph
    header[102] = len(data)  # number of data words
    if len(data) > MAX_DATA_WORDS:
        raise ValueError(f"{len(data)} data words, more than {MAX_DATA_WORDS}")
    for v in header + data:
        if not -32768 <= v <= 32767:
            raise ValueError(f"value {v} does not fit 16 bits")
    return struct.pack(f"<128h{len(data)}h", *header, *data)


# ---------------------------------------------------------------- palette

# The first eight pens repeat the library's built-in palette, so pen numbers
# chosen for it keep their colours.  Pens 9..24 are sixteen classes from
# calm (dark blue) to strong (dark purple) for colour rasters and isolines;
# then greys, white, map colours; the last pen is the logo colour (the logo
# takes the palette's highest pen).
PALETTE_MURAL = [
    (1, 0, 0, 0), (2, 255, 0, 0), (3, 0, 255, 0), (4, 255, 255, 0),
    (5, 0, 0, 255), (6, 255, 0, 255), (7, 0, 255, 255), (8, 125, 125, 125),
    (9, 0, 0, 130), (10, 0, 40, 215), (11, 0, 110, 255), (12, 0, 180, 255),
    (13, 0, 235, 235), (14, 0, 190, 140), (15, 0, 150, 40), (16, 90, 200, 0),
    (17, 185, 235, 0), (18, 255, 255, 0), (19, 255, 205, 0), (20, 255, 145, 0),
    (21, 255, 80, 0), (22, 225, 0, 0), (23, 160, 0, 20), (24, 100, 0, 90),
    (25, 64, 64, 64), (26, 190, 190, 190), (27, 255, 255, 255), (28, 150, 90, 40),
    (29, 0, 100, 40), (30, 150, 200, 255), (31, 0, 50, 120),
]


def grey_of(r, g, b):
    return round(0.299 * r + 0.587 * g + 0.114 * b)


def palette_grey():
    """The same pens for black-and-white output: the sixteen classes become a
    ramp from light to dark grey, everything else its luminance."""
    out = []
    for pen, r, g, b in PALETTE_MURAL:
        if 9 <= pen <= 24:
            v = round(235 - (pen - 9) * 215 / 15)
        else:
            v = grey_of(r, g, b)
        out.append((pen, v, v, v))
    return out


def palette_text():
    lines = [
        "! VELIN palette file of MURAL",
        "! A palette: name line, pen",
        "! count, colour range (black",
        "! and white of red, green,",
        "! blue), then one line per pen:",
        "! pen red green blue.",
        "! MURAL: 1-8 basic colours,",
        "! 9-24 sixteen classes blue-",
        "! green-yellow-red, 25 dark",
        "! grey, 26 light grey, 27",
        "! white, 28 brown, 29 dark",
        "! green, 30 light blue,",
        "! 31 logo blue.",
        "! GRAU: the same pens in grey.",
    ]
    for name, pens in (("MURAL", PALETTE_MURAL), ("GRAU", palette_grey())):
        lines.append(name)
        lines.append(str(len(pens)))
        lines.append("0 255 0 255 0 255")
        lines += [f"{p} {r} {g} {b}" for p, r, g, b in pens]
    for line in lines:
        assert len(line) <= 32, line
    return "\n".join(lines) + "\n"


# ------------------------------------------------------------------- main

def main():
    here = os.path.dirname(os.path.abspath(__file__))
    outdir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "data", "velin")
    os.makedirs(outdir, exist_ok=True)

    futural = read_jhf(os.path.join(HERSHEY_DIR, "futural.jhf"))
    # The simplex roman set has an arrow at "^"; the caret of the sans set
    # (same stroke style) takes its place.
    simplx = hershey_style(os.path.join(HERSHEY_DIR, "rowmans.jhf"), fixes={"^": futural[94 - 32][2]})
    swissl = hershey_style(os.path.join(HERSHEY_DIR, "futural.jhf"))
    swissm = outline_style(DEJAVU_SANS, tolerance=4.0)

    for name, glyphs, closed in (("SIMPLX", simplx, False), ("SWISSL", swissl, False), ("SWISSM", swissm, True)):
        blob = encode_style(glyphs, closed)
        with open(os.path.join(outdir, name + ".STY"), "wb") as f:
            f.write(blob)
        print(f"{name}.STY: {len(blob)} bytes, {(len(blob) - 256) // 2} data words")
    with open(os.path.join(outdir, "VELIN.PAL"), "w", encoding="ascii", newline="\n") as f:
        f.write(palette_text())
    print("VELIN.PAL written")


if __name__ == "__main__":
    main()
