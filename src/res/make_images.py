#!/usr/bin/env python3
"""Regenerate Pendlemark's image resources: the icons and bitmaps beside this script.

The images are drawn from simple geometry so they can be rebuilt
byte-for-byte without an image editor:

    python3 src/res/make_images.py              write src/res/*.ico, *.bmp
    python3 src/res/make_images.py --check      re-read the files and verify headers
    python3 src/res/make_images.py --png DIR    also dump enlarged PNG previews

Runs from any folder.  Standard library only.
"""

import math
import os
import struct
import sys
import zlib

RES_DIR = os.path.dirname(os.path.abspath(__file__))

# Standard 16-colour VGA/Windows palette, in resource order.
PALETTE = [
    (0, 0, 0),        # 0 black
    (128, 0, 0),      # 1 dark red
    (0, 128, 0),      # 2 dark green
    (128, 128, 0),    # 3 olive
    (0, 0, 128),      # 4 navy
    (128, 0, 128),    # 5 purple
    (0, 128, 128),    # 6 teal
    (192, 192, 192),  # 7 light grey
    (128, 128, 128),  # 8 dark grey
    (255, 0, 0),      # 9 red
    (0, 255, 0),      # 10 green
    (255, 255, 0),    # 11 yellow
    (0, 0, 255),      # 12 blue
    (255, 0, 255),    # 13 magenta
    (0, 255, 255),    # 14 cyan
    (255, 255, 255),  # 15 white
]

BLACK, DKRED, DKGREEN, OLIVE, NAVY, PURPLE, TEAL, LTGREY = range(8)
DKGREY, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)

# Softer colours for the true-colour banner; the icons have to stay on the
# VGA palette, the banner does not.
BANNER_RGB = dict(enumerate(PALETTE))
BANNER_RGB.update({
    BLACK: (24, 36, 64),
    NAVY: (28, 62, 150),
    BLUE: (52, 120, 222),
    CYAN: (170, 222, 255),
    TEAL: (96, 160, 214),
    GREEN: (60, 196, 72),
    DKGREEN: (16, 120, 40),
    WHITE: (255, 255, 255),
})


# ---------------------------------------------------------------------------
# Raster helpers.  A canvas is a list of rows of palette indices, with None
# meaning "transparent".  Shapes are sampled at pixel centres.

def new_canvas(w, h, fill=None):
    return [[fill] * w for _ in range(h)]


def mask_from(w, h, inside):
    return [[bool(inside(x + 0.5, y + 0.5)) for x in range(w)] for y in range(h)]


def paint(canvas, mask, colour):
    for y, row in enumerate(mask):
        for x, m in enumerate(row):
            if m:
                canvas[y][x] = colour


def edge(mask, width):
    """Pixels of mask lying within `width` pixels of its border."""
    h, w = len(mask), len(mask[0])
    r = int(math.ceil(width))
    offs = [(dx, dy) for dy in range(-r, r + 1) for dx in range(-r, r + 1)
            if (dx or dy) and dx * dx + dy * dy <= width * width]
    out = new_canvas(w, h, False)
    for y in range(h):
        for x in range(w):
            if not mask[y][x]:
                continue
            for dx, dy in offs:
                nx, ny = x + dx, y + dy
                if not (0 <= nx < w and 0 <= ny < h) or not mask[ny][nx]:
                    out[y][x] = True
                    break
    return out


def m_and(a, b):
    return [[p and q for p, q in zip(ra, rb)] for ra, rb in zip(a, b)]


def m_not(a):
    return [[not p for p in r] for r in a]


def in_polygon(px, py, pts):
    inside = False
    n = len(pts)
    for i in range(n):
        x1, y1 = pts[i]
        x2, y2 = pts[(i + 1) % n]
        if (y1 > py) != (y2 > py):
            xc = x1 + (py - y1) * (x2 - x1) / (y2 - y1)
            if px < xc:
                inside = not inside
    return inside


def from_art(rows, key):
    assert all(len(r) == len(rows[0]) for r in rows), rows
    return [[key[ch] for ch in row] for row in rows]


# ---------------------------------------------------------------------------
# Artwork

def draw_globe_arrow(s, lw=1.0):
    """Application mark: blue globe with a green download arrow."""
    cv = new_canvas(s, s)
    cx = cy = 0.42 * s
    r = 0.40 * s

    globe = mask_from(s, s, lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r)
    paint(cv, globe, BLUE)
    # Shadow crescent toward the lower right gives it some volume.
    lit_c = (cx - 0.22 * r, cy - 0.22 * r)
    shade = mask_from(s, s, lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r
                      and (x - lit_c[0]) ** 2 + (y - lit_c[1]) ** 2 > (1.02 * r) ** 2)
    paint(cv, shade, NAVY)

    def grid(x, y):
        dx, dy = x - cx, y - cy
        if dx * dx + dy * dy > r * r:
            return False
        half = lw / 2.0
        if abs(dy) <= half or abs(dx) <= half:          # equator, prime meridian
            return True
        if abs(abs(dy) - 0.5 * r) <= half:               # two parallels
            return True
        a = 0.52 * r                                     # meridian ellipse
        d = math.sqrt((dx / a) ** 2 + (dy / r) ** 2)
        return abs(d - 1.0) * a <= half * 1.15
    lines = mask_from(s, s, grid)
    paint(cv, m_and(lines, m_not(shade)), CYAN)
    paint(cv, m_and(lines, shade), TEAL)

    hl_c, hl_r = (cx - 0.5 * r, cy - 0.52 * r), 0.14 * r
    if s >= 24:
        paint(cv, mask_from(s, s, lambda x, y: (x - hl_c[0]) ** 2 + (y - hl_c[1]) ** 2
                            <= hl_r * hl_r), WHITE)
    paint(cv, edge(globe, lw), BLACK)

    # Download arrow, overlapping the globe's lower right.
    ax = 0.75 * s
    pts = [
        (ax - 0.10 * s, 0.40 * s), (ax + 0.10 * s, 0.40 * s),
        (ax + 0.10 * s, 0.66 * s), (ax + 0.235 * s, 0.66 * s),
        (ax, 0.985 * s),
        (ax - 0.235 * s, 0.66 * s), (ax - 0.10 * s, 0.66 * s),
    ]
    arrow = mask_from(s, s, lambda x, y: in_polygon(x, y, pts))
    paint(cv, arrow, GREEN)
    # Darker right half reads as a bevel and keeps the arrow solid at 16px.
    paint(cv, m_and(arrow, mask_from(s, s, lambda x, y: x > ax)), DKGREEN)
    paint(cv, edge(arrow, lw), BLACK)
    return cv


def draw_refresh(s, lw=1.0):
    """Tray mark: a green circular arrow turning clockwise."""
    cv = new_canvas(s, s)
    cx, cy = s / 2.0, s / 2.0 + 0.04 * s
    ro, ri = 0.44 * s, 0.22 * s
    gap_lo, gap_hi = 20.0, 88.0      # degrees, counter-clockwise from 3 o'clock

    def ang(x, y):
        return math.degrees(math.atan2(cy - y, x - cx)) % 360.0

    def ring(x, y):
        d = math.hypot(x - cx, y - cy)
        return ri <= d <= ro and not (gap_lo < ang(x, y) < gap_hi)

    rm, hw = (ro + ri) / 2.0, 0.21 * s
    a = math.radians(gap_hi)
    bx, by = cx + rm * math.cos(a), cy - rm * math.sin(a)
    ux, uy = math.cos(a), -math.sin(a)        # outward radial
    tx, ty = math.sin(a), math.cos(a)         # clockwise tangent
    tip = 0.30 * s
    head = [(bx + hw * ux, by + hw * uy), (bx + tip * tx, by + tip * ty),
            (bx - hw * ux, by - hw * uy)]
    shape = mask_from(s, s, lambda x, y: ring(x, y) or in_polygon(x, y, head))
    paint(cv, shape, GREEN)
    paint(cv, edge(shape, lw), BLACK)
    return cv


# At 16x16 the geometric versions turn to mush, so the small icons are drawn
# by hand.  "." is transparent.
ICON_KEY = {".": None, "k": BLACK, "B": BLUE, "b": NAVY, "c": CYAN, "w": WHITE,
            "G": GREEN, "g": DKGREEN}

APP16 = [
    "....kkkkk.......",
    "..kkBcccBkk.....",
    ".kBwcBcBcBbk....",
    ".kBcBBcBBcbk....",
    "kBBcBBcBBcbbk...",
    "kBcBBBcBBkkkkk..",
    "kcccccccckGGgk..",
    "kBcBBBcBBkGGgk..",
    "kBBcBBcBBkGGgk..",
    ".kBcBBckkkGGgkkk",
    ".kbbcbckGGGGgggk",
    "..kkbccckGGGggk.",
    "....kkkkkkGGgk..",
    "..........kGk...",
    "...........k....",
    "................",
]

TRAY16 = [
    "................",
    ".....kkkkk...k..",
    "...kkGGGGGkk.kk.",
    "..kGGGGGGGGGkGk.",
    ".kGGGkkkkkGGGGk.",
    ".kGGk....kGGGGk.",
    "kGGk....kGGGGGk.",
    "kGGk...kkkkkkkk.",
    "kGGk............",
    "kGGk........kkkk",
    "kGGk........kGGk",
    ".kGGk......kGGk.",
    ".kGGGk....kGGGk.",
    "..kGGGkkkkGGGk..",
    "...kkGGGGGGkk...",
    ".....kkkkkk.....",
]


# Hand-drawn 16x15 toolbar glyphs.
TB_KEY = {".": LTGREY, "k": BLACK, "w": WHITE, "g": DKGREY, "b": NAVY,
          "B": BLUE, "o": OLIVE, "y": YELLOW, "G": GREEN, "r": DKRED}

TB_CUT = [
    "................",
    "....k.....k.....",
    "....gk...kg.....",
    "....gk...kg.....",
    ".....gk.kg......",
    ".....gk.kg......",
    "......gkg.......",
    ".......k........",
    "......rkr.......",
    ".....rr.rr......",
    "...rrrr.rrrr....",
    "..r...r.r...r...",
    "..r...r.r...r...",
    "..r...r.r...r...",
    "...rrr...rrr....",
]

TB_COPY = [
    "................",
    ".kkkkkkk........",
    ".kwwwwwk........",
    ".kwgggwk........",
    ".kwwwwwk........",
    ".kwggkkkkkkkk...",
    ".kwwwkwwwwwwk...",
    ".kwggkwbbbbwk...",
    ".kwwwkwwwwwwk...",
    ".kkkkkwbbbbwk...",
    ".....kwwwwwwk...",
    ".....kwbbbbwk...",
    ".....kwwwwwwk...",
    ".....kkkkkkkk...",
    "................",
]

TB_PASTE = [
    "................",
    "......kkkk......",
    "..kkkkgwwgkkkk..",
    "..kookkkkkkook..",
    "..kowwwwwwwwok..",
    "..kowbbbbbbwok..",
    "..kowwwwwwwwok..",
    "..kowbbbbbwwok..",
    "..kowwwwwwwwok..",
    "..kowbbbbbbwok..",
    "..kowwwwwwwwok..",
    "..kowbbbwwwwok..",
    "..kowwwwwwwwok..",
    "..kooooooooook..",
    "..kkkkkkkkkkkk..",
]

TB_PRINT = [
    "................",
    "....kkkkkkkk....",
    "....kwwwwwwk....",
    "....kwbbbbwk....",
    "....kwwwwwwk....",
    "..kkkkkkkkkkkk..",
    ".kwwwwwwwwwwwwk.",
    ".kwwwwwwwwwGGwk.",
    ".kggggggggggggk.",
    ".kggggggggggggk.",
    ".kkkkkkkkkkkkkk.",
    "...kwwwwwwwwk...",
    "...kwbbbbbbwk...",
    "...kwwwwwwwwk...",
    "...kkkkkkkkkk...",
]

TB_ABOUT = [
    "................",
    "......bbbb......",
    ".....bBBBBb.....",
    "....bBBbbBBb....",
    "....bBBb.bBBb...",
    ".....bb..bBBb...",
    "........bBBb....",
    ".......bBBb.....",
    "......bBBb......",
    "......bBBb......",
    ".......bb.......",
    "................",
    "......bBBb......",
    "......bBBb......",
    ".......bb.......",
]


def draw_toolbar():
    glyphs = [TB_CUT, TB_COPY, TB_PASTE, TB_PRINT, TB_ABOUT]
    for g in glyphs:
        assert len(g) == 15 and all(len(r) == 16 for r in g), g
    rows = []
    for y in range(15):
        row = []
        for g in glyphs:
            row.extend(TB_KEY[ch] for ch in g[y])
        rows.append(row)
    return rows


# Tiny 5x7 capitals for the banner's wordmark.
FONT = {
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "N": ["#...#", "##..#", "#.#.#", "#.#.#", "#..##", "#...#", "#...#"],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
}


def draw_banner():
    """107x54 true-colour banner for the settings dialog (rows of RGB)."""
    W, H = 107, 54
    img = [[(255, 255, 255)] * W for _ in range(H)]

    # Globe mark, drawn 4x larger and box-filtered down for smooth edges.
    gs, k = 48, 4
    big = draw_globe_arrow(gs * k, lw=1.1 * k)
    ox, oy = 3, 3
    for y in range(gs):
        for x in range(gs):
            acc = [0.0, 0.0, 0.0]
            for sy in range(k):
                for sx in range(k):
                    p = big[y * k + sy][x * k + sx]
                    rgb = (255, 255, 255) if p is None else BANNER_RGB[p]
                    for i in range(3):
                        acc[i] += rgb[i]
            n = float(k * k)
            img[oy + y][ox + x] = tuple(int(round(a / n)) for a in acc)

    def rect(x0, y0, x1, y1, rgb):
        for y in range(y0, y1):
            for x in range(x0, x1):
                img[y][x] = rgb

    def text(s, x0, y0, rgb):
        x = x0
        for ch in s:
            for gy, line in enumerate(FONT[ch]):
                for gx, c in enumerate(line):
                    if c == "#":
                        img[y0 + gy][x + gx] = rgb
            x += 6

    navy = BANNER_RGB[NAVY]
    # Wordmark on two lines, with a thin rule between.
    text("PENDLE", 58, 9, navy)
    text("MARK", 58, 19, navy)
    rect(58, 29, 104, 30, BANNER_RGB[TEAL])

    # A small progress bar: the program's one visible activity.
    rect(58, 34, 104, 35, (128, 128, 128))
    rect(58, 44, 104, 45, (255, 255, 255))
    rect(58, 34, 59, 45, (128, 128, 128))
    rect(103, 34, 104, 45, (255, 255, 255))
    rect(59, 35, 103, 44, (224, 224, 224))
    green, dkgreen = BANNER_RGB[GREEN], BANNER_RGB[DKGREEN]
    for i in range(4):
        bx = 61 + i * 7
        rect(bx, 37, bx + 5, 42, green)
        rect(bx, 41, bx + 5, 42, dkgreen)

    # Three stripes fading out to the right along the bottom edge.
    for i, rgb in enumerate([navy, BANNER_RGB[BLUE], BANNER_RGB[TEAL]]):
        rect(58 + i * 4, 48 + i * 2, 104, 49 + i * 2, rgb)
    return img


# ---------------------------------------------------------------------------
# File writers

def _pack4(indices):
    if len(indices) % 2:
        indices = indices + [0]
    return bytes((indices[i] << 4) | indices[i + 1] for i in range(0, len(indices), 2))


def _pad4(b):
    return b + b"\0" * (-len(b) % 4)


def _palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)


def icon_image(cv):
    """One 4-bpp icon image: header, palette, XOR bitmap, AND mask."""
    h, w = len(cv), len(cv[0])
    xor = b""
    andm = b""
    for row in reversed(cv):                       # DIBs are bottom-up
        xor += _pad4(_pack4([0 if p is None else p for p in row]))
        bits = 0
        nb = b""
        for x, p in enumerate(row):
            bits = (bits << 1) | (1 if p is None else 0)
            if x % 8 == 7:
                nb += bytes([bits])
                bits = 0
        andm += _pad4(nb)
    hdr = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 4, 0,
                      len(xor) + len(andm), 0, 0, 0, 0)
    return hdr + _palette_bytes() + xor + andm


def write_ico(path, canvases):
    images = [icon_image(cv) for cv in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for cv, data in zip(canvases, images):
        w, h = len(cv[0]), len(cv)
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


def write_bmp4(path, cv):
    h, w = len(cv), len(cv[0])
    pix = b"".join(_pad4(_pack4(list(row))) for row in reversed(cv))
    off = 14 + 40 + 64
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(pix), 2835, 2835, 16, 16)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", off + len(pix), 0, 0, off))
        f.write(info + _palette_bytes() + pix)


def write_bmp24(path, img):
    h, w = len(img), len(img[0])
    pix = b"".join(_pad4(b"".join(bytes((b, g, r)) for (r, g, b) in row))
                   for row in reversed(img))
    off = 14 + 40
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pix), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", off + len(pix), 0, 0, off))
        f.write(info + pix)


# ---------------------------------------------------------------------------
# Readers (used by --check and --png)

def _read_dib(data, has_mask):
    (size, w, h, planes, bpp, comp, _img, _xr, _yr, used, _imp) = \
        struct.unpack_from("<IiiHHIIiiII", data, 0)
    assert size == 40 and planes == 1 and comp == 0, (size, planes, comp)
    if has_mask:
        h //= 2
    ncol = (used or (1 << bpp)) if bpp <= 8 else 0
    pal = [struct.unpack_from("<BBBB", data, 40 + 4 * i)[:3][::-1] for i in range(ncol)]
    p = 40 + 4 * ncol
    stride = ((w * bpp + 31) // 32) * 4
    rows = []
    for y in range(h):
        line = data[p + y * stride: p + (y + 1) * stride]
        if bpp == 4:
            row = [pal[(line[x // 2] >> (4 if x % 2 == 0 else 0)) & 15] for x in range(w)]
        else:
            row = [tuple(line[3 * x: 3 * x + 3][::-1]) for x in range(w)]
        rows.append([c + (255,) for c in row])
    p += stride * h
    if has_mask:
        mstride = ((w + 31) // 32) * 4
        for y in range(h):
            line = data[p + y * mstride: p + (y + 1) * mstride]
            for x in range(w):
                if (line[x // 8] >> (7 - x % 8)) & 1:
                    rows[y][x] = (0, 0, 0, 0)
        p += mstride * h
    rows.reverse()
    return dict(w=w, h=h, bpp=bpp, ncol=ncol, end=p, rows=rows)


def read_ico(path):
    data = open(path, "rb").read()
    res, typ, count = struct.unpack_from("<HHH", data, 0)
    assert res == 0 and typ == 1, "not an icon"
    imgs = []
    for i in range(count):
        w, h, ncol, rsv, planes, bpp, nbytes, off = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        dib = _read_dib(data[off: off + nbytes], True)
        assert dib["end"] == nbytes, (path, i, dib["end"], nbytes)
        assert (dib["w"], dib["h"]) == (w or 256, h or 256)
        dib.update(entry=dict(w=w, h=h, colours=ncol, reserved=rsv, planes=planes, bpp=bpp))
        imgs.append(dib)
    return data, imgs


def read_bmp(path):
    data = open(path, "rb").read()
    magic, fsize, _r1, _r2, off = struct.unpack_from("<2sIHHI", data, 0)
    assert magic == b"BM" and fsize == len(data), (path, fsize, len(data))
    dib = _read_dib(data[14:], False)
    assert dib["end"] + 14 == len(data) and 14 + 40 + 4 * dib["ncol"] == off
    return dib


def check():
    for name in ("Pendlemark.ico", "Tray.ico"):
        _, imgs = read_ico(os.path.join(RES_DIR, name))
        assert len(imgs) == 2, name
        for img, size in zip(imgs, (32, 16)):
            e = img["entry"]
            assert (e["w"], e["h"]) == (size, size), (name, e)
            assert e["colours"] == 16 and e["planes"] == 1 and e["bpp"] == 4, (name, e)
            assert img["bpp"] == 4 and img["ncol"] == 16, name
        print("%-16s ok: 2 images 32x32 + 16x16, 16 colours" % name)
    for name, w, h, bpp in (("Settings.bmp", 107, 54, 24), ("Toolbar.bmp", 80, 15, 4)):
        b = read_bmp(os.path.join(RES_DIR, name))
        assert (b["w"], b["h"], b["bpp"]) == (w, h, bpp), (name, b["w"], b["h"], b["bpp"])
        print("%-16s ok: %dx%d, %d bpp" % (name, w, h, bpp))


# ---------------------------------------------------------------------------
# PNG previews (enlarged, transparency shown as a checkerboard)

def write_png(path, rows, scale):
    h, w = len(rows), len(rows[0])
    raw = b""
    for y in range(h * scale):
        raw += b"\0"
        for x in range(w * scale):
            r, g, b, a = rows[y // scale][x // scale]
            if a == 0:
                v = 200 if ((x // 4) + (y // 4)) % 2 else 236
                r = g = b = v
            raw += bytes((r, g, b))

    def chunk(t, d):
        return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xffffffff)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", w * scale, h * scale, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def previews(outdir):
    os.makedirs(outdir, exist_ok=True)
    for name in ("Pendlemark.ico", "Tray.ico"):
        _, imgs = read_ico(os.path.join(RES_DIR, name))
        for img in imgs:
            write_png(os.path.join(outdir, "%s-%d.png" % (name[:-4], img["w"])),
                      img["rows"], 256 // img["w"])
    for name, scale in (("Settings.bmp", 4), ("Toolbar.bmp", 8)):
        b = read_bmp(os.path.join(RES_DIR, name))
        write_png(os.path.join(outdir, name[:-4] + ".png"), b["rows"], scale)


def generate():
    os.makedirs(RES_DIR, exist_ok=True)
    write_ico(os.path.join(RES_DIR, "Pendlemark.ico"),
              [draw_globe_arrow(32), from_art(APP16, ICON_KEY)])
    write_ico(os.path.join(RES_DIR, "Tray.ico"),
              [draw_refresh(32), from_art(TRAY16, ICON_KEY)])
    write_bmp24(os.path.join(RES_DIR, "Settings.bmp"), draw_banner())
    write_bmp4(os.path.join(RES_DIR, "Toolbar.bmp"), draw_toolbar())


def main(argv):
    if "--check" in argv:
        check()
        return 0
    generate()
    check()
    if "--png" in argv:
        i = argv.index("--png")
        if i + 1 >= len(argv):
            print("--png needs a directory", file=sys.stderr)
            return 2
        previews(argv[i + 1])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
