#!/usr/bin/env python3
"""Draws the example company's round seal and writes it as a baseline JPEG.

Usage: make-stamp.py OUTPUT.jpg

The picture is 472 x 472 pixels at 300 dpi, so it is 40 mm across, the usual
size of a company seal; the generators read that size from the JFIF density.
It is a JPEG rather than a PNG because the default include mask for archives
unpacks .jpg files but not .png ones, and the acts inside examples/data/archive.zip
need the seal beside them.

Only the standard library is used: the strokes are drawn with anti-aliasing into
a coverage map, and the JPEG encoder (4:4:4, Huffman tables built from the
image's own statistics) is written out below. The output is byte-for-byte
reproducible.
"""

import math
import struct
import sys

SIZE = 472
DPI = 300
CENTER = SIZE / 2
INK = (38, 62, 158)

# Stroke glyphs on a grid 6 units high (y grows downwards); each glyph is an
# advance width and a list of polylines.
GLYPHS = {
    "О": (4, [[(1, 0), (3, 0), (4, 1), (4, 5), (3, 6), (1, 6), (0, 5), (0, 1), (1, 0)]]),
    "К": (4, [[(0, 0), (0, 6)], [(4, 0), (0.6, 3), (4, 6)]]),
    "Е": (4, [[(4, 0), (0, 0), (0, 6), (4, 6)], [(0, 3), (3, 3)]]),
    "Д": (4.6, [[(1.3, 0), (4, 0), (4, 5)], [(1.3, 0), (0.7, 5)], [(-0.3, 6.4), (-0.3, 5), (4.6, 5), (4.6, 6.4)]]),
    "Р": (4, [[(0, 6), (0, 0), (3, 0), (4, 1), (4, 2), (3, 3), (0, 3)]]),
    "В": (4, [[(0, 0), (0, 6), (3, 6), (4, 5), (4, 4), (3, 3), (0, 3)], [(0, 0), (3, 0), (4, 1), (4, 2), (3, 3)]]),
    "Ы": (5, [[(0, 0), (0, 6), (2, 6), (3, 5), (3, 4), (2, 3), (0, 3)], [(5, 0), (5, 6)]]),
    "Й": (4, [[(0, 0), (0, 6), (4, 0), (4, 6)], [(1.2, -1.1), (2, -0.6), (2.8, -1.1)]]),
    "И": (4, [[(0, 0), (0, 6), (4, 0), (4, 6)]]),
    "М": (4.6, [[(0, 6), (0, 0), (2.3, 4), (4.6, 0), (4.6, 6)]]),
    "С": (4, [[(4, 1), (3, 0), (1, 0), (0, 1), (0, 5), (1, 6), (3, 6), (4, 5)]]),
    "Т": (4, [[(0, 0), (4, 0)], [(2, 0), (2, 6)]]),
    "А": (4, [[(0, 6), (2, 0), (4, 6)], [(0.8, 4), (3.2, 4)]]),
    "Н": (4, [[(0, 0), (0, 6)], [(4, 0), (4, 6)], [(0, 3), (4, 3)]]),
    "П": (4, [[(0, 6), (0, 0), (4, 0), (4, 6)]]),
    "Б": (4, [[(4, 0), (0, 0), (0, 6), (3, 6), (4, 5), (4, 4), (3, 3), (0, 3)]]),
    "У": (4, [[(0, 0), (2, 3.6)], [(4, 0), (1.2, 6)]]),
    "Г": (4, [[(0, 6), (0, 0), (4, 0)]]),
    "-": (3, [[(0.5, 3.2), (2.5, 3.2)]]),
    "*": (3, [[(1.5, 1.5), (1.5, 4.5)], [(0.2, 2.2), (2.8, 3.8)], [(0.2, 3.8), (2.8, 2.2)]]),
    " ": (2.4, []),
    "0": (3.4, [[(1, 0), (2.4, 0), (3.4, 1), (3.4, 5), (2.4, 6), (1, 6), (0, 5), (0, 1), (1, 0)]]),
    "1": (3, [[(0.5, 1.2), (2, 0), (2, 6)]]),
    "4": (3.6, [[(2.8, 6), (2.8, 0), (0, 4.2), (3.6, 4.2)]]),
    "5": (3.4, [[(3.4, 0), (0.4, 0), (0, 2.8), (2.4, 2.8), (3.4, 3.8), (3.4, 5), (2.4, 6), (0, 6)]]),
    "7": (3.4, [[(0, 0), (3.4, 0), (1.2, 6)]]),
    "8": (3.4, [[(1, 0), (2.4, 0), (3.4, 1), (3.4, 2), (2.4, 3), (1, 3), (0, 2), (0, 1), (1, 0)],
                [(1, 3), (2.4, 3), (3.4, 4), (3.4, 5), (2.4, 6), (1, 6), (0, 5), (0, 4), (1, 3)]]),
}
LETTER_GAP = 1.1

RING_TEXT = "ООО КЕДРОВЫЙ МОСТ * САНКТ-ПЕТЕРБУРГ * "
CENTER_TEXT = "ИНН 7805000417"


def draw(coverage, x, y, value):
    i = y * SIZE + x
    if value > coverage[i]:
        coverage[i] = value


def stroke_segment(coverage, a, b, width):
    """Anti-aliased straight stroke from a to b."""
    half = width / 2
    x0 = max(0, int(min(a[0], b[0]) - half - 1))
    x1 = min(SIZE - 1, int(max(a[0], b[0]) + half + 1))
    y0 = max(0, int(min(a[1], b[1]) - half - 1))
    y1 = min(SIZE - 1, int(max(a[1], b[1]) + half + 1))
    dx, dy = b[0] - a[0], b[1] - a[1]
    length2 = dx * dx + dy * dy or 1e-9
    for y in range(y0, y1 + 1):
        py = y + 0.5
        for x in range(x0, x1 + 1):
            px = x + 0.5
            t = max(0.0, min(1.0, ((px - a[0]) * dx + (py - a[1]) * dy) / length2))
            d = math.hypot(px - a[0] - t * dx, py - a[1] - t * dy)
            value = half + 0.5 - d
            if value > 0:
                draw(coverage, x, y, min(1.0, value))


def ring(coverage, radius, width):
    half = width / 2
    for y in range(SIZE):
        for x in range(SIZE):
            d = abs(math.hypot(x + 0.5 - CENTER, y + 0.5 - CENTER) - radius)
            value = half + 0.5 - d
            if value > 0:
                draw(coverage, x, y, min(1.0, value))


def text_width(text):
    return sum(GLYPHS[ch][0] for ch in text) + LETTER_GAP * (len(text) - 1)


def ring_text(coverage, text, top_radius, scale, width):
    """Text around the whole circle, clockwise from the top, letters standing on the centre."""
    step = 2 * math.pi * (top_radius - 3 * scale) / (text_width(text) + LETTER_GAP)
    position = 0.0
    for ch in text:
        advance, lines = GLYPHS[ch]
        for line in lines:
            points = []
            for gx, gy in line:
                angle = (position + gx) * step / (top_radius - 3 * scale)
                radius = top_radius - gy * scale
                points.append((CENTER + radius * math.sin(angle), CENTER - radius * math.cos(angle)))
            for a, b in zip(points, points[1:]):
                stroke_segment(coverage, a, b, width)
        position += advance + LETTER_GAP


def straight_text(coverage, text, baseline_y, scale, width):
    left = CENTER - text_width(text) * scale / 2
    position = 0.0
    for ch in text:
        advance, lines = GLYPHS[ch]
        for line in lines:
            points = [(left + (position + gx) * scale, baseline_y - (6 - gy) * scale) for gx, gy in line]
            for a, b in zip(points, points[1:]):
                stroke_segment(coverage, a, b, width)
        position += advance + LETTER_GAP


def star(coverage, cx, cy, outer, inner):
    """Filled five-pointed star, edges anti-aliased by their distance."""
    corners = []
    for k in range(10):
        radius = outer if k % 2 == 0 else inner
        angle = k * math.pi / 5
        corners.append((cx + radius * math.sin(angle), cy - radius * math.cos(angle)))
    edges = list(zip(corners, corners[1:] + corners[:1]))
    for y in range(int(cy - outer - 2), int(cy + outer + 2)):
        py = y + 0.5
        for x in range(int(cx - outer - 2), int(cx + outer + 2)):
            px = x + 0.5
            inside = False
            nearest = 1e9
            for (ax, ay), (bx, by) in edges:
                if (ay > py) != (by > py) and px < ax + (py - ay) * (bx - ax) / (by - ay):
                    inside = not inside
                dx, dy = bx - ax, by - ay
                t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
                nearest = min(nearest, math.hypot(px - ax - t * dx, py - ay - t * dy))
            value = 0.5 + (nearest if inside else -nearest)
            if value > 0:
                draw(coverage, x, y, min(1.0, value))


def render():
    coverage = [0.0] * (SIZE * SIZE)
    ring(coverage, 228, 8)
    ring(coverage, 211, 3)
    ring(coverage, 148, 3)
    ring_text(coverage, RING_TEXT, 200, 7.0, 4.6)
    star(coverage, CENTER, CENTER - 22, 58, 23)
    straight_text(coverage, CENTER_TEXT, CENTER + 62, 3.8, 3.0)
    pixels = []
    for value in coverage:
        ink = 0.92 * value
        pixels.append(tuple(round(255 * (1 - ink) + channel * ink) for channel in INK))
    return pixels


# --- Baseline JPEG encoder -------------------------------------------------

ZIGZAG = sorted(((u, v) for u in range(8) for v in range(8)),
                key=lambda p: (p[0] + p[1], p[0] if (p[0] + p[1]) % 2 else p[1]))

LUMA_QUANT = [
    16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55,
    14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62,
    18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99,
]
CHROMA_QUANT = [
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
] + [99] * 32

COS = [[(math.sqrt(0.5) if u == 0 else 1.0) / 2 * math.cos((2 * x + 1) * u * math.pi / 16)
        for x in range(8)] for u in range(8)]


def scaled_table(table, quality):
    factor = 200 - 2 * quality
    return [max(1, min(255, (q * factor + 50) // 100)) for q in table]


def dct(block):
    rows = [[sum(COS[v][x] * row[x] for x in range(8)) for v in range(8)] for row in block]
    return [[sum(COS[u][y] * rows[y][v] for y in range(8)) for v in range(8)] for u in range(8)]


def bit_category(value):
    value = abs(value)
    n = 0
    while value:
        value >>= 1
        n += 1
    return n


def block_symbols(coefficients, previous_dc):
    """Symbols of one block: (table kind, symbol, extra bits, extra length)."""
    dc = coefficients[0]
    diff = dc - previous_dc
    size = bit_category(diff)
    symbols = [("dc", size, diff + (1 << size) - 1 if diff < 0 else diff, size)]
    run = 0
    last = max((i for i in range(1, 64) if coefficients[i]), default=0)
    for i in range(1, last + 1):
        value = coefficients[i]
        if value == 0:
            run += 1
            continue
        while run > 15:
            symbols.append(("ac", 0xF0, 0, 0))
            run -= 16
        size = bit_category(value)
        symbols.append(("ac", (run << 4) | size, value + (1 << size) - 1 if value < 0 else value, size))
        run = 0
    if last < 63:
        symbols.append(("ac", 0x00, 0, 0))
    return symbols


def huffman_table(frequencies):
    """JPEG Huffman table (code lengths at most 16) for the given symbol counts.

    Returns (bits, values, codes): counts per length 1..16, symbols in code
    order, and symbol -> (code, length)."""
    counts = dict(frequencies)
    counts[256] = 1  # reserved so that no real code is made of ones only
    nodes = [(count, [symbol]) for symbol, count in counts.items()]
    lengths = {symbol: 0 for symbol in counts}
    while len(nodes) > 1:
        nodes.sort(key=lambda node: node[0])
        (c1, s1), (c2, s2) = nodes[0], nodes[1]
        for symbol in s1 + s2:
            lengths[symbol] += 1
        nodes = nodes[2:] + [(c1 + c2, s1 + s2)]
    bits = [0] * 33
    for symbol, length in lengths.items():
        bits[max(1, length)] += 1
    for i in range(32, 16, -1):
        while bits[i] > 0:
            j = i - 2
            while bits[j] == 0:
                j -= 1
            bits[i] -= 2
            bits[i - 1] += 1
            bits[j + 1] += 2
            bits[j] -= 1
    i = 16
    while bits[i] == 0:
        i -= 1
    bits[i] -= 1  # drop the reserved symbol's code
    ordered = sorted(frequencies, key=lambda symbol: (-frequencies[symbol], symbol))
    values, codes, code, k = [], {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length]):
            symbol = ordered[k]
            values.append(symbol)
            codes[symbol] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return bits[1:17], values, codes


class BitWriter:
    def __init__(self):
        self.data = bytearray()
        self.accumulator = 0
        self.count = 0

    def write(self, value, length):
        self.accumulator = (self.accumulator << length) | (value & ((1 << length) - 1))
        self.count += length
        while self.count >= 8:
            self.count -= 8
            byte = (self.accumulator >> self.count) & 0xFF
            self.data.append(byte)
            if byte == 0xFF:
                self.data.append(0x00)

    def flush(self):
        if self.count:
            self.write((1 << (8 - self.count)) - 1, 8 - self.count)


def segment(marker, payload):
    return struct.pack(">BBH", 0xFF, marker, len(payload) + 2) + payload


def encode_jpeg(pixels, quality=90):
    quant = [scaled_table(LUMA_QUANT, quality), scaled_table(CHROMA_QUANT, quality)]
    planes = [[], [], []]
    for r, g, b in pixels:
        planes[0].append(0.299 * r + 0.587 * g + 0.114 * b - 128)
        planes[1].append(-0.168736 * r - 0.331264 * g + 0.5 * b)
        planes[2].append(0.5 * r - 0.418688 * g - 0.081312 * b)

    blocks = SIZE // 8
    symbols = []
    previous = [0, 0, 0]
    for by in range(blocks):
        for bx in range(blocks):
            for component in range(3):
                plane = planes[component]
                block = [plane[(by * 8 + y) * SIZE + bx * 8:(by * 8 + y) * SIZE + bx * 8 + 8] for y in range(8)]
                first = block[0][0]
                if all(value == first for row in block for value in row):
                    spectrum = [[8 * first if u == 0 and v == 0 else 0.0 for v in range(8)] for u in range(8)]
                else:
                    spectrum = dct(block)
                table = quant[0 if component == 0 else 1]
                coefficients = [round(spectrum[u][v] / table[u * 8 + v]) for u, v in ZIGZAG]
                symbols.append((component, block_symbols(coefficients, previous[component])))
                previous[component] = coefficients[0]

    frequencies = {("dc", 0): {}, ("ac", 0): {}, ("dc", 1): {}, ("ac", 1): {}}
    for component, block in symbols:
        for kind, symbol, _, _ in block:
            table = frequencies[(kind, min(component, 1))]
            table[symbol] = table.get(symbol, 0) + 1
    tables = {key: huffman_table(counts) for key, counts in frequencies.items()}

    writer = BitWriter()
    for component, block in symbols:
        for kind, symbol, extra, extra_length in block:
            code, length = tables[(kind, min(component, 1))][2][symbol]
            writer.write(code, length)
            if extra_length:
                writer.write(extra, extra_length)
    writer.flush()

    out = bytearray(b"\xFF\xD8")
    out += segment(0xE0, b"JFIF\x00" + struct.pack(">BBBHHBB", 1, 1, 1, DPI, DPI, 0, 0))
    for index, table in enumerate(quant):
        out += segment(0xDB, bytes([index]) + bytes(table[u * 8 + v] for u, v in ZIGZAG))
    out += segment(0xC0, struct.pack(">BHHB", 8, SIZE, SIZE, 3) + bytes([1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1]))
    for (kind, index), (bits, values, _) in tables.items():
        out += segment(0xC4, bytes([(0 if kind == "dc" else 0x10) | index]) + bytes(bits) + bytes(values))
    out += segment(0xDA, bytes([3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0]))
    out += writer.data
    out += b"\xFF\xD9"
    return bytes(out)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-stamp.py OUTPUT.jpg")
    with open(sys.argv[1], "wb") as f:
        f.write(encode_jpeg(render()))


if __name__ == "__main__":
    main()
