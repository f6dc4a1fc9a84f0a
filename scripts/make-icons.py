#!/usr/bin/env python3
"""Draws the tool-bar icons of the resource collection (plain PNG, no extra modules)."""
import math, os, struct, sys, zlib

def png(path, size, pixel):
    rows = []
    for y in range(size):
        row = bytearray([0])
        for x in range(size):
            row += bytes(pixel(x / size, y / size))
        rows.append(bytes(row))
    raw = b"".join(rows)
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)

CLEAR = (0, 0, 0, 0)

def shape(inside, colour):
    return lambda x, y: colour if inside(x, y) else CLEAR

def bar(x, y, x0, y0, x1, y1):
    return x0 <= x <= x1 and y0 <= y <= y1

def near_segment(x, y, x0, y0, x1, y1, width):
    dx, dy = x1 - x0, y1 - y0
    t = max(0, min(1, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - x0 - t * dx, y - y0 - t * dy) <= width / 2

def in_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)

icons = {
    "iconadd": shape(lambda x, y: bar(x, y, .42, .15, .58, .85) or bar(x, y, .15, .42, .85, .58), (40, 150, 60, 255)),
    "icondelete": shape(lambda x, y: abs(x - y) < .09 and .15 < x < .85 or abs(x + y - 1) < .09 and .15 < x < .85,
                        (200, 50, 40, 255)),
    "iconstart": shape(lambda x, y: x >= .25 and abs(y - .5) <= (.85 - x) * .6, (40, 150, 60, 255)),
    "iconstop": shape(lambda x, y: bar(x, y, .22, .22, .78, .78), (200, 50, 40, 255)),
    "iconsettings": shape(lambda x, y: .18 < math.hypot(x - .5, y - .5) < .36
                          or (math.hypot(x - .5, y - .5) < .45
                              and math.cos(8 * math.atan2(y - .5, x - .5)) > .3), (90, 90, 110, 255)),
    "iconexit": shape(lambda x, y: bar(x, y, .15, .15, .45, .85) and not bar(x, y, .2, .2, .4, .8)
                      or bar(x, y, .45, .45, .75, .55) or (x > .7 and abs(y - .5) < (.9 - x)), (60, 90, 160, 255)),
    "iconcopy": shape(lambda x, y: (bar(x, y, .15, .15, .6, .7) and not bar(x, y, .22, .22, .53, .63))
                      or (bar(x, y, .4, .3, .85, .85) and not bar(x, y, .47, .37, .78, .78)), (60, 90, 160, 255)),
    "iconsave": shape(lambda x, y: bar(x, y, .15, .15, .85, .85) and not bar(x, y, .3, .2, .7, .45)
                      and not bar(x, y, .3, .6, .7, .8), (60, 90, 160, 255)),
    # The run settings of the tool bar: detect the template, name by the
    # data, open what was made; and the folder of a document.
    "iconautodetect": shape(lambda x, y: .17 < math.hypot(x - .42, y - .42) < .27
                            or near_segment(x, y, .6, .6, .84, .84, .13), (60, 90, 160, 255)),
    "iconrename": lambda x, y: ((200, 120, 40, 255) if near_segment(x, y, .38, .62, .82, .18, .2)
                                else (90, 60, 30, 255) if in_triangle(x, y, (.14, .86), (.45, .69), (.31, .55))
                                else CLEAR),
    "iconopen": shape(lambda x, y: (bar(x, y, .16, .12, .68, .88) and not bar(x, y, .22, .18, .62, .82))
                      or near_segment(x, y, .42, .58, .78, .22, .09)
                      or (bar(x, y, .56, .14, .86, .44) and (x - .56) - (y - .14) > .1 and x <= .86 and y >= .14
                          and (.86 - x) + (y - .14) < .3 and x > .56), (40, 150, 60, 255)),
    # A page with the red band of a PDF file.
    "iconpdf": lambda x, y: ((200, 50, 40, 255) if bar(x, y, .1, .52, .9, .76)
                             else (60, 90, 160, 255) if bar(x, y, .2, .1, .8, .9) and not bar(x, y, .26, .16, .74, .84)
                             else CLEAR),
    "iconfolder": shape(lambda x, y: bar(x, y, .1, .32, .9, .82) or bar(x, y, .1, .2, .46, .34), (210, 160, 50, 255)),
    "iconlink": shape(lambda x, y: .08 < math.hypot((x - .36) / 1.4, y - .5) < .16
                      or .08 < math.hypot((x - .64) / 1.4, y - .5) < .16, (60, 90, 160, 255)),
}

out = sys.argv[1] if len(sys.argv) > 1 else "resources/images"
os.makedirs(out, exist_ok=True)
for name, pixel in icons.items():
    png(os.path.join(out, name + ".png"), 24, pixel)
    png(os.path.join(out, name + "@2x.png"), 48, pixel)

# The application icon: a page with lines of text standing on a plinth,
# drawn with 4 x 4 samples per pixel for smooth edges, at the sizes the
# desktop's icon theme uses.
def app_pixel(x, y):
    page = bar(x, y, .22, .08, .78, .78) and not (x > .62 and y < .08 + (x - .62))
    fold = x > .62 and y < .24 and y >= .08 + (x - .62) - .001 and x <= .78
    line = page and any(bar(x, y, .32, t, .68 if i % 2 == 0 else .58, t + .04) for i, t in enumerate((.3, .4, .5, .6)))
    plinth = bar(x, y, .12, .82, .88, .92)
    if plinth:
        return (40, 150, 60, 255)
    if line:
        return (60, 90, 160, 255)
    if fold:
        return (170, 190, 225, 255)
    if page:
        return (235, 240, 250, 255)
    return CLEAR

def smooth(pixel, size):
    def sampled(x, y):
        acc = [0, 0, 0, 0]
        step = 1 / (4 * size)
        for i in range(4):
            for j in range(4):
                r, g, b, a = pixel(x + (i + .5) * step, y + (j + .5) * step)
                acc = [acc[0] + r * a, acc[1] + g * a, acc[2] + b * a, acc[3] + a]
        alpha = acc[3] / 16
        if alpha == 0:
            return CLEAR
        return (round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(alpha))
    return sampled

png(os.path.join(out, "plinthworks.png"), 256, smooth(app_pixel, 256))
theme = os.path.join(os.path.dirname(out.rstrip("/")), "icons", "hicolor")
for size in (16, 32, 48, 64, 128, 256):
    folder = os.path.join(theme, "%dx%d" % (size, size), "apps")
    os.makedirs(folder, exist_ok=True)
    png(os.path.join(folder, "com.quorva.plinthworks.png"), size, smooth(app_pixel, size))
