#!/usr/bin/env python3
"""Draw the Velora firmware updater icon and write it as a Windows .ico file.

The icon is described once as resolution-independent shapes (signed distance
functions in a unit square) and rendered with supersampling at every size the
.ico holds, so small sizes are drawn for their size instead of being scaled
down from a large bitmap.  Only the standard library is used, so the script
runs on a bare Debian python3.

Usage: make_icon.py OUTPUT.ico [--preview SHEET.png]
"""

import argparse
import math
import struct
import zlib

ICON_SIZES = (16, 24, 32, 48, 64, 72, 96, 128, 256)
PNG_MIN_SIZE = 256  # sizes at or above this are stored as PNG inside the ICO


# ---------------------------------------------------------------------------
# Shapes: each shape is a function (x, y) -> signed distance, negative inside.
# All distances are lower bounds of the true distance, which is what the
# renderer needs to decide safely whether a pixel is fully in or out.
# ---------------------------------------------------------------------------

def circle(cx, cy, r):
    """Disc, for the update badge."""
    def sdf(x, y):
        return math.hypot(x - cx, y - cy) - r
    return sdf


def rounded_rect(x0, y0, x1, y1, r):
    """Axis-aligned rectangle with corner radius r."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def sdf(x, y):
        qx = abs(x - cx) - hx
        qy = abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return sdf


def polygon(points):
    """Arbitrary simple polygon given as (x, y) vertices."""
    edges = list(zip(points, points[1:] + points[:1]))

    def sdf(x, y):
        best = math.inf
        inside = False
        for (ax, ay), (bx, by) in edges:
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            t = (wx * ex + wy * ey) / (ex * ex + ey * ey)
            t = min(max(t, 0.0), 1.0)
            dx, dy = wx - ex * t, wy - ey * t
            best = min(best, dx * dx + dy * dy)
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
                inside = not inside
        d = math.sqrt(best)
        return -d if inside else d
    return sdf


def inset_convex(points, d):
    """Move every edge of a convex, clockwise-on-screen polygon inward by d.

    Used to build rounded polygons: inset by r, then grow the result by r.
    """
    lines = []
    for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
        length = math.hypot(bx - ax, by - ay)
        nx, ny = -(by - ay) / length, (bx - ax) / length  # inward normal
        lines.append((ax + nx * d, ay + ny * d, bx - ax, by - ay))
    result = []
    previous = lines[-1:] + lines[:-1]
    for (px, py, ux, uy), (qx, qy, vx, vy) in zip(previous, lines):
        t = ((qx - px) * vy - (qy - py) * vx) / (ux * vy - uy * vx)
        result.append((px + ux * t, py + uy * t))
    return result


def rounded_polygon(points, r):
    """Convex polygon whose corners are rounded with radius r."""
    return offset(polygon(inset_convex(points, r)), r)


def offset(shape, d):
    """Grow a shape by d (shrink when d is negative)."""
    return lambda x, y: shape(x, y) - d


def union(*shapes):
    """Points inside any of the shapes."""
    return lambda x, y: min(s(x, y) for s in shapes)


def intersect(*shapes):
    """Points inside all of the shapes."""
    return lambda x, y: max(s(x, y) for s in shapes)


def subtract(shape, cut):
    """Points inside shape but not inside cut."""
    return lambda x, y: max(shape(x, y), -cut(x, y))


def below(y0):
    """Half-plane y >= y0 (y grows downward)."""
    return lambda x, y: y0 - y


def above(y1):
    """Half-plane y <= y1."""
    return lambda x, y: y - y1


# ---------------------------------------------------------------------------
# Paints and layers
# ---------------------------------------------------------------------------

def hex_rgba(code, alpha=1.0):
    """Turn '#rrggbb' into a float RGBA tuple."""
    code = code.lstrip("#")
    return tuple(int(code[i:i + 2], 16) / 255 for i in (0, 2, 4)) + (alpha,)


def vertical_gradient(y0, top, y1, bottom):
    """Paint blending two colours between heights y0 and y1."""
    def paint(x, y):
        t = min(max((y - y0) / (y1 - y0), 0.0), 1.0)
        return tuple(a + (b - a) * t for a, b in zip(top, bottom))
    return paint


class Layer:
    """One filled shape; painted in order, later layers on top.

    mode 'fill' paints the shape with an anti-aliased edge, 'glow' paints a
    soft halo fading out over `reach` outside the shape (clipped to `clip`),
    'erase' clears everything below it so the badge stands free.
    """

    def __init__(self, shape, paint=None, mode="fill", reach=0.0, clip=None):
        self.shape = shape
        self.paint = paint if callable(paint) else (lambda x, y, c=paint: c)
        self.mode = mode
        self.reach = reach
        self.clip = clip


# ---------------------------------------------------------------------------
# The drawing
# ---------------------------------------------------------------------------

GREY_OUTLINE = hex_rgba("#23272d")
GREY_LID_TOP = hex_rgba("#f2f4f6")
GREY_LID_LOW = hex_rgba("#ccd2d8")
GREY_LID_EDGE = hex_rgba("#9aa2ab")
GREY_BASE_TOP = hex_rgba("#4b525b")
GREY_BASE_LOW = hex_rgba("#30353b")
BLUE_LIGHT = hex_rgba("#8fdcff")
BLUE_GLOW = hex_rgba("#38b6ff", 0.55)
BLUE_BADGE_TOP = hex_rgba("#3d9cf0")
BLUE_BADGE_LOW = hex_rgba("#1464c0")
WHITE = hex_rgba("#ffffff")


def pixel_hints(size):
    """Return one pixel in unit coordinates and a function snapping a
    coordinate to the pixel grid; snapping only applies to small sizes,
    where a half-covered pixel row reads as blur rather than smoothness."""
    px = 1.0 / size

    def snap(v):
        return round(v * size) / size if size <= 48 else v
    return px, snap


def scanner_layers(size):
    """A flatbed scanner: light lid seen slightly from above, a grey lid
    edge, a glowing blue scan line escaping under the lid, dark base."""
    px, snap = pixel_hints(size)
    outline = max(0.022, px)
    left, right = snap(0.03), snap(0.97)
    lid_top, lid_front, bottom = snap(0.20), snap(0.42), snap(0.70)
    lid = rounded_polygon(
        [(0.18, lid_top), (0.82, lid_top), (right, lid_front + 0.04),
         (left, lid_front + 0.04)], 0.05)
    slab = rounded_rect(left, lid_front - 0.02, right, bottom, 0.07)
    body = union(lid, slab)
    inner = offset(body, -outline)

    edge_bottom = snap(lid_front + max(0.055, px))
    scan_bottom = snap(edge_bottom + max(0.035, px))
    scan = intersect(inner, below(edge_bottom), above(scan_bottom))
    lid_paint = vertical_gradient(lid_top, GREY_LID_TOP,
                                  lid_front, GREY_LID_LOW)
    base_paint = vertical_gradient(scan_bottom, GREY_BASE_TOP,
                                   bottom, GREY_BASE_LOW)
    return [
        Layer(body, GREY_OUTLINE),
        Layer(intersect(inner, above(lid_front)), lid_paint),
        Layer(intersect(inner, below(lid_front), above(edge_bottom)),
              GREY_LID_EDGE),
        Layer(intersect(inner, below(scan_bottom)), base_paint),
        Layer(scan, BLUE_GLOW, mode="glow", reach=0.10, clip=inner),
        Layer(scan, BLUE_LIGHT),
    ]


def badge_layers(size):
    """A round blue badge with a white upward arrow in the lower-right
    corner, cut free from the scanner by a transparent ring.  The arrow is
    centred on a pixel boundary so its two-pixel shaft stays crisp."""
    px, snap = pixel_hints(size)
    radius = max(0.245, 4.0 * px)
    cx = cy = snap(1.0 - radius - 0.005)
    gap = max(0.035, px)
    head_w = max(0.13, 3.0 * px)
    head_top = snap(cy - max(0.175, 3.0 * px))
    head_base = snap(cy - 0.02)
    shaft_w = max(0.048, px)
    shaft_end = snap(cy + max(0.165, 3.0 * px))
    arrow = union(
        polygon([(cx, head_top), (cx + head_w, head_base),
                 (cx - head_w, head_base)]),
        rounded_rect(cx - shaft_w, head_base - 0.03, cx + shaft_w, shaft_end,
                     min(0.012, shaft_w / 2)))
    return [
        Layer(circle(cx, cy, radius + gap), mode="erase"),
        Layer(circle(cx, cy, radius),
              vertical_gradient(cy - radius, BLUE_BADGE_TOP,
                                cy + radius, BLUE_BADGE_LOW)),
        Layer(arrow, WHITE),
    ]


def icon_layers(size):
    """The whole icon, bottom layer first: scanner, then update badge."""
    return scanner_layers(size) + badge_layers(size)


# ---------------------------------------------------------------------------
# Rendering
# ---------------------------------------------------------------------------

def composite(pixel, layer, x, y, inside):
    """Paint one layer over a premultiplied RGBA sample and return it."""
    if layer.mode == "erase":
        return (0.0, 0.0, 0.0, 0.0) if inside else pixel
    if layer.mode == "glow":
        if layer.clip(x, y) > 0:
            return pixel
        d = max(layer.shape(x, y), 0.0)
        strength = max(0.0, 1.0 - d / layer.reach) ** 2
        r, g, b, a = layer.paint(x, y)
        a *= strength
    elif inside:
        r, g, b, a = layer.paint(x, y)
    else:
        return pixel
    keep = 1.0 - a
    return (r * a + pixel[0] * keep, g * a + pixel[1] * keep,
            b * a + pixel[2] * keep, a + pixel[3] * keep)


def render_pixel(layers, cx, cy, half_diag, offsets):
    """Average the icon over one pixel, supersampling only near edges."""
    states = []
    for layer in layers:
        if layer.mode == "glow":
            states.append("smooth")
            continue
        d = layer.shape(cx, cy)
        states.append("out" if d > half_diag else
                      "in" if d < -half_diag else "edge")
    points = offsets if "edge" in states else [(0.0, 0.0)]
    total = [0.0, 0.0, 0.0, 0.0]
    for ox, oy in points:
        x, y = cx + ox, cy + oy
        pixel = (0.0, 0.0, 0.0, 0.0)
        for layer, state in zip(layers, states):
            if state == "out":
                continue
            inside = state == "in" or (
                state == "edge" and layer.shape(x, y) <= 0)
            pixel = composite(pixel, layer, x, y, inside)
        for i in range(4):
            total[i] += pixel[i]
    return [v / len(points) for v in total]


def render(size):
    """Render the icon at size x size; returns rows of (r, g, b, a) bytes."""
    layers = icon_layers(size)
    step = 1.0 / size
    grid = 4 if size >= 48 else 8
    offsets = [((i + 0.5) / grid - 0.5) * step for i in range(grid)]
    offsets = [(ox, oy) for oy in offsets for ox in offsets]
    half_diag = step * math.sqrt(0.5)
    rows = []
    for j in range(size):
        row = []
        for i in range(size):
            r, g, b, a = render_pixel(layers, (i + 0.5) * step,
                                      (j + 0.5) * step, half_diag, offsets)
            if a > 0:
                r, g, b = r / a, g / a, b / a  # un-premultiply
            row.append(tuple(min(255, max(0, round(v * 255)))
                             for v in (r, g, b, a)))
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------
# File formats
# ---------------------------------------------------------------------------

def png_chunk(kind, data):
    """One PNG chunk: length, type, data, CRC over type and data."""
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def encode_png(rows):
    """Encode RGBA rows as an 8-bit truecolour-with-alpha PNG."""
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px)
                   for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
            + png_chunk(b"IDAT", zlib.compress(raw, 9))
            + png_chunk(b"IEND", b""))


def encode_dib(rows):
    """Encode RGBA rows as an ICO image: 32-bit BI_RGB DIB plus AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows)
                      for r, g, b, a in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for i, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[i // 8] |= 0x80 >> (i % 8)
        mask += line
    return header + colour + bytes(mask)


def encode_ico(images):
    """Pack {size: image bytes} into an ICONDIR with one entry per image."""
    sizes = sorted(images)
    offset = 6 + 16 * len(sizes)
    directory = struct.pack("<HHH", 0, 1, len(sizes))
    blobs = b""
    for size in sizes:
        data = images[size]
        dim = size if size < 256 else 0
        directory += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32,
                                 len(data), offset + len(blobs))
        blobs += data
    return directory + blobs


def preview_sheet(renders):
    """Lay all sizes side by side on light and dark backdrops, plus 16 and
    32 px magnified, so the result can be judged by eye."""
    sizes = sorted(renders)
    zooms = [(16, 8), (32, 4)]
    pad = 8
    width = pad + sum(s + pad for s in sizes)
    width = max(width, pad + sum(s * z + pad for s, z in zooms))
    band = max(sizes) + 2 * pad
    height = 2 * band + max(s * z for s, z in zooms) + 2 * pad
    backdrops = [(255, 255, 255), (32, 36, 42), (240, 240, 240)]
    sheet = [[backdrops[min(y // band, 2)] for _ in range(width)]
             for y in range(height)]

    def blit(rows, x0, y0, zoom):
        for j in range(len(rows) * zoom):
            for i in range(len(rows) * zoom):
                r, g, b, a = rows[j // zoom][i // zoom]
                br, bg, bb = sheet[y0 + j][x0 + i]
                t = a / 255
                sheet[y0 + j][x0 + i] = (round(r * t + br * (1 - t)),
                                         round(g * t + bg * (1 - t)),
                                         round(b * t + bb * (1 - t)))

    for k in range(2):
        x = pad
        for s in sizes:
            blit(renders[s], x, k * band + pad + (max(sizes) - s), 1)
            x += s + pad
    x = pad
    for s, z in zooms:
        blit(renders[s], x, 2 * band + pad, z)
        x += s * z + pad
    return encode_png([[px + (255,) for px in row] for row in sheet])


def main():
    """Render every size, write the .ico and optionally a preview sheet."""
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", help="path of the .ico file to write")
    parser.add_argument("--preview", help="also write a PNG preview sheet")
    args = parser.parse_args()

    renders = {size: render(size) for size in ICON_SIZES}
    images = {size: encode_png(rows) if size >= PNG_MIN_SIZE
              else encode_dib(rows) for size, rows in renders.items()}
    with open(args.output, "wb") as handle:
        handle.write(encode_ico(images))
    if args.preview:
        with open(args.preview, "wb") as handle:
            handle.write(preview_sheet(renders))


if __name__ == "__main__":
    main()
