#!/usr/bin/env python3
"""Generates src/controls/LcdFontData.cpp, the LCD control's built-in glyph tables.

Sources:
  - glyphs.txt beside this script: the 5 x 7, 5 x 8 and 5 x 10 glyphs, drawn for this project;
  - the bar glyphs, shades and blank codes, made here by rule;
  - mat7x9 and mat9x12: the X11 misc-fixed fonts 6x10 and 8x13, public domain ("Public domain
    font.  Share and enjoy."), from Debian's xfonts-base. Their .pcf.gz files are turned into BDF
    with pcf2bdf (Debian package pcf2bdf), or BDF files may be given in --fonts.

Usage: tools/lcd-fonts/make_lcd_fonts.py [--fonts DIR] [--out FILE]
Needs only for regenerating: apt-get install xfonts-base pcf2bdf. The build uses the output.
"""

import argparse
import gzip
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def parse_art(path):
    """Returns {section: (cols, rows, {code: (name, [[0/1]])})}."""
    sections = {}
    current = None
    with open(path, encoding="utf-8") as f:
        for lineno, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            if line.startswith("["):
                name, cols, rows = line.strip("[]").split()
                current = (int(cols), int(rows), {})
                sections[name] = current
                continue
            parts = line.split()
            code = int(parts[0], 16)
            name = parts[1]
            rows = parts[2:]
            cols, nrows, glyphs = current
            if len(rows) != nrows or any(len(r) != cols or set(r) - set(".#") for r in rows):
                sys.exit(f"{path}:{lineno}: glyph {parts[0]} is not {cols} x {nrows}")
            if code in glyphs:
                sys.exit(f"{path}:{lineno}: glyph {parts[0]} drawn twice")
            glyphs[code] = (name, [[1 if c == "#" else 0 for c in r] for r in rows])
    return sections


def load_bdf(path):
    """Returns (ascent, {code: (bbx w, h, xoff, yoff, rows of bits)})."""
    with open(path, encoding="latin-1") as f:
        lines = f.read().split("\n")
    glyphs = {}
    ascent = None
    i = 0
    while i < len(lines):
        l = lines[i]
        if l.startswith("FONT_ASCENT"):
            ascent = int(l.split()[1])
        elif l.startswith("ENCODING"):
            enc = int(l.split()[1])
        elif l.startswith("BBX"):
            bw, bh, bx, by = map(int, l.split()[1:])
        elif l == "BITMAP":
            nbits = ((bw + 7) // 8) * 8
            rows = []
            for r in lines[i + 1 : i + 1 + bh]:
                v = int(r, 16)
                rows.append([(v >> (nbits - 1 - c)) & 1 for c in range(bw)])
            glyphs[enc] = (bw, bh, bx, by, rows)
            i += bh
        i += 1
    return ascent, glyphs


def bdf_for(fonts_dir, name):
    bdf = os.path.join(fonts_dir, name + ".bdf")
    if os.path.exists(bdf):
        return bdf
    pcf = os.path.join(fonts_dir, name + ".pcf.gz")
    if not os.path.exists(pcf):
        sys.exit(f"neither {bdf} nor {pcf} exists (apt-get install xfonts-base pcf2bdf)")
    tmp = os.path.join("/tmp", f"lcdfont-{os.getpid()}-{name}")
    with gzip.open(pcf) as src, open(tmp + ".pcf", "wb") as dst:
        dst.write(src.read())
    subprocess.run(["pcf2bdf", "-o", tmp + ".bdf", tmp + ".pcf"], check=True)
    return tmp + ".bdf"


def from_bdf(path, cols, rows, skip_top, shift):
    """ASCII 32..126 of a BDF font placed in a cols x rows cell: the font's cell from its top,
    minus skip_top rows, shifted right by shift columns. Fails if ink would be cut off."""
    ascent, glyphs = load_bdf(path)
    out = {}
    for code in range(32, 127):
        bw, bh, bx, by, bits = glyphs[code]
        ink = [(ascent - (by + bh) + r - skip_top, bx + c + shift)
               for r in range(bh) for c in range(bw) if bits[r][c]]
        # A glyph reaching into the skipped top row (the grave accent) moves down instead.
        top = min((y for y, _ in ink), default=0)
        drop = -top if top < 0 else 0
        cell = [[0] * cols for _ in range(rows)]
        for y, x in ink:
            y += drop
            if not (0 <= y < rows and 0 <= x < cols):
                sys.exit(f"{path}: glyph {code} does not fit {cols} x {rows}")
            cell[y][x] = 1
        out[code] = (chr(code), cell)
    return out


def blank(cols, rows):
    return [[0] * cols for _ in range(rows)]


def vertical_bar(k):
    """Code k 0..15: the bottom (k - 1) / 2 rows lit; an even k >= 2 half-lights the row above."""
    g = blank(5, 7)
    full = (k - 1) // 2 if k >= 1 else 0
    for r in range(7 - full, 7):
        g[r] = [1] * 5
    if k >= 2 and k % 2 == 0:
        g[6 - full] = [0, 1, 0, 1, 0]
    return g


def horizontal_bar(k):
    """Code 0xF0 + k, k 0..10: the leftmost k / 2 columns lit; an odd k half-lights the next."""
    g = blank(5, 7)
    for r in range(7):
        for c in range(k // 2):
            g[r][c] = 1
        if k % 2 == 1:
            g[r][k // 2] = 1 if r in (1, 3, 5) else 0
    return g


def shade(level):
    """Light, medium and dark shades of the PC set."""
    g = blank(5, 7)
    for r in range(7):
        for c in range(5):
            if level == 0:
                lit = r % 2 == 0 and (c + r // 2) % 2 == 0
            elif level == 1:
                lit = (r + c) % 2 == 0
            else:
                lit = not (r % 2 == 1 and (c + r // 2) % 2 == 0)
            g[r][c] = 1 if lit else 0
    return g


def build(sections, fonts_dir):
    _, _, art = sections["hitachi"]
    need = list(range(0x20, 0x80)) + list(range(0xA1, 0x100))
    missing = [hex(c) for c in need if c not in art]
    if missing:
        sys.exit(f"hitachi glyphs missing: {missing}")

    hitachi = {}
    for code in range(256):
        if code <= 0x0F:
            hitachi[code] = (f"bar {code}", vertical_bar(code))
        elif 0x20 <= code <= 0x7F:
            hitachi[code] = art[code]
        elif 0x81 <= code <= 0xDF:
            hitachi[code] = art[code + 0x20]
        elif 0xF0 <= code <= 0xFA:
            hitachi[code] = (f"bar {code - 0xF0}", horizontal_bar(code - 0xF0))
        else:
            hitachi[code] = ("blank", blank(5, 7))

    _, _, tall_art = sections["hitachi2"]
    tall = {}
    for code in range(194, 224):
        a00 = code + 0x20
        if a00 in tall_art:
            tall[code] = tall_art[a00]
        else:
            name, g = hitachi[code]
            tall[code] = (name, g + blank(5, 3))

    _, _, ascii_art = sections["mat5x7"]
    mat5x7 = {c: ascii_art.get(c, hitachi[c]) for c in range(32, 127)}

    _, _, art8 = sections["mat5x8"]
    mat5x8 = {}
    for c in range(32, 127):
        name, g = mat5x7[c]
        mat5x8[c] = art8.get(c, (name, g + blank(5, 1)))

    # 6x10: caps are rows 1..7 of its 10-row cell, descenders rows 8..9; ink 5 wide.
    mat7x9 = from_bdf(bdf_for(fonts_dir, "6x10"), 7, 9, skip_top=1, shift=1)
    # 8x13: caps rows 2..10, descenders 11..12; ink up to 7 wide.
    mat9x12 = from_bdf(bdf_for(fonts_dir, "8x13"), 9, 12, skip_top=1, shift=1)

    _, _, dos_art = sections["dos"]
    dos = {}
    for code in range(256):
        if 0x20 <= code <= 0x7D and code != 0x5C:
            dos[code] = hitachi[code]
        elif code in (0x5C, 0x7E):
            dos[code] = mat5x7[code]
        elif 0xB0 <= code <= 0xB2:
            dos[code] = (["░", "▒", "▓"][code - 0xB0], shade(code - 0xB0))
        elif code in dos_art:
            dos[code] = dos_art[code]
        else:
            sys.exit(f"dos glyph {code:#04x} missing")

    return [
        ("mat5x7", 5, 7, 32, mat5x7),
        ("mat5x8", 5, 8, 32, mat5x8),
        ("mat7x9", 7, 9, 32, mat7x9),
        ("mat9x12", 9, 12, 32, mat9x12),
        ("hitachi", 5, 7, 0, hitachi),
        ("hitachi2Tall", 5, 10, 194, tall),
        ("dos5x7", 5, 7, 0, dos),
    ]


def emit(tables, out):
    sizes = {
        "mat5x7": "AsciiCount * 5 * 7",
        "mat5x8": "AsciiCount * 5 * 8",
        "mat7x9": "AsciiCount * 7 * 9",
        "mat9x12": "AsciiCount * 9 * 12",
        "hitachi": "256 * 5 * 7",
        "hitachi2Tall": "TallCount * 5 * 10",
        "dos5x7": "256 * 5 * 7",
    }
    lines = [
        "// Generated by tools/lcd-fonts/make_lcd_fonts.py; edit the generator or its glyphs.txt,",
        "// not this file. The 5 x 7, 5 x 8 and 5 x 10 glyphs were drawn for this project; mat7x9",
        "// and mat9x12 come from the X11 misc-fixed fonts 6x10 and 8x13, which are public domain.",
        "// One glyph a line: one byte a dot, row by row from the top, 1 = lit.",
        "// clang-format off",
        "",
        '#include "LcdFontData.h"',
        "",
        "namespace vkv::controls::lcd::fontdata {",
    ]
    for name, cols, rows, base, glyphs in tables:
        lines.append("")
        lines.append(f"const unsigned char {name}[{sizes[name]}] = {{")
        for code in sorted(glyphs):
            label, g = glyphs[code]
            assert len(g) == rows and all(len(r) == cols for r in g), (name, code)
            dots = " ".join(",".join(str(v) for v in r) + "," for r in g)
            label = label.replace("*/", "* /").replace("\\", "backslash")
            lines.append(f"    /* {code:02X} {label} */ {dots}")
        lines.append("};")
    lines.append("")
    lines.append("} // namespace vkv::controls::lcd::fontdata")
    lines.append("")
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--fonts", default="/usr/share/fonts/X11/misc")
    ap.add_argument("--out", default=os.path.join(ROOT, "src", "controls", "LcdFontData.cpp"))
    args = ap.parse_args()
    tables = build(parse_art(os.path.join(HERE, "glyphs.txt")), args.fonts)
    emit(tables, args.out)
    print(f"wrote {args.out}")


if __name__ == "__main__":
    main()
