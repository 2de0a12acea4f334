#!/usr/bin/env python3
"""Draws the main window's pictures and writes them, with a C++ table that
embeds their bytes, into ui/images/; draws the application's icon and writes
it as PNG files, one per size a desktop asks for, into packaging/linux/icons/.

The pictures are drawn from simple shapes in a unit square, so each icon
looks the same at 16, 24, 32 and 48 pixels. Icons and GIFs are encoded here;
JPEGs go through ImageMagick's `convert` (only this generator needs it; the
build uses the committed output).

The program decodes icons and BMP files itself (platform/image.h), so each
GIF and JPEG picture is also written as a BMP of the same size holding the
pixels that decoding the GIF or JPEG gives; the program embeds the icons and
those BMPs.

    python3 tools/images/generate_images.py [output folder [icon folder]]
"""
import math
import os
import struct
import subprocess
import sys
import tempfile
import zlib

SUPERSAMPLE = 4


# ---- drawing ---------------------------------------------------------------

class Canvas:
    """RGBA pixels, straight alpha, 0..255 floats while drawing."""

    def __init__(self, width, height, background=(0, 0, 0, 0)):
        self.width, self.height = width, height
        self.pixels = [list(background) for _ in range(width * height)]

    def fill(self, inside, colour, scale=None):
        """Composites colour over every pixel by the covered fraction of its
        SUPERSAMPLE x SUPERSAMPLE samples; inside(x, y) takes unit coordinates
        (x / scale, y / scale) with scale the canvas width by default."""
        scale_x = scale or self.width
        scale_y = scale or self.width
        r, g, b, a = colour
        step = 1.0 / SUPERSAMPLE
        for py in range(self.height):
            for px in range(self.width):
                hits = 0
                for sy in range(SUPERSAMPLE):
                    y = (py + (sy + 0.5) * step) / scale_y
                    for sx in range(SUPERSAMPLE):
                        if inside((px + (sx + 0.5) * step) / scale_x, y):
                            hits += 1
                if not hits:
                    continue
                cover = hits / (SUPERSAMPLE * SUPERSAMPLE) * a / 255.0
                dst = self.pixels[py * self.width + px]
                out_a = cover + dst[3] / 255.0 * (1 - cover)
                if out_a <= 0:
                    continue
                for i, c in enumerate((r, g, b)):
                    dst[i] = (c * cover + dst[i] * dst[3] / 255.0 * (1 - cover)) / out_a
                dst[3] = out_a * 255.0

    def rgba(self):
        return [tuple(int(round(max(0, min(255, v)))) for v in p) for p in self.pixels]


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rounded_rect(x0, y0, x1, y1, radius):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
    return inside


def circle(cx, cy, radius):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def ring(cx, cy, outer, inner):
    return lambda x, y: inner * inner <= (x - cx) ** 2 + (y - cy) ** 2 <= outer * outer


def thick_line(x0, y0, x1, y1, half_width):
    dx, dy = x1 - x0, y1 - y0
    length_sq = dx * dx + dy * dy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length_sq))
        px, py = x0 + t * dx, y0 + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= half_width * half_width
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(shape, hole):
    return lambda x, y: shape(x, y) and not hole(x, y)


# One palette for every picture, so the set looks like one family.
OUTLINE = (40, 60, 80, 255)
PAPER = (255, 255, 240, 255)
MEMO_YELLOW = (255, 236, 120, 255)
TEAL = (0, 128, 128, 255)
TEAL_LIGHT = (64, 176, 176, 255)
BLUE = (41, 109, 181, 255)
BLUE_LIGHT = (120, 170, 225, 255)
RED = (210, 50, 40, 255)
GREEN = (40, 160, 70, 255)
GREY = (120, 130, 140, 255)
GREY_LIGHT = (190, 196, 202, 255)
WHITE = (255, 255, 255, 255)
GLASS = (200, 235, 255, 200)


def draw_sheet(c, size, fill=PAPER):
    c.fill(rounded_rect(0.14, 0.06, 0.80, 0.94, 0.06), OUTLINE, size)
    c.fill(rounded_rect(0.18, 0.10, 0.76, 0.90, 0.04), fill, size)


def draw_lines(c, size, x0, x1, ys):
    for y in ys:
        c.fill(rect(x0, y, x1, y + 0.05), GREY, size)


def edit_icon(size):
    """A memo sheet with a pencil across it."""
    c = Canvas(size, size)
    draw_sheet(c, size, MEMO_YELLOW)
    draw_lines(c, size, 0.26, 0.62, (0.24, 0.38, 0.52))
    c.fill(thick_line(0.40, 0.80, 0.86, 0.22, 0.095), OUTLINE, size)
    c.fill(thick_line(0.43, 0.76, 0.84, 0.25, 0.060), (240, 150, 40, 255), size)
    c.fill(polygon([(0.30, 0.94), (0.34, 0.72), (0.47, 0.83)]), (230, 200, 160, 255), size)
    c.fill(polygon([(0.30, 0.94), (0.32, 0.85), (0.38, 0.90)]), OUTLINE, size)
    c.fill(thick_line(0.80, 0.30, 0.88, 0.20, 0.07), RED, size)
    return c


def save_icon(size):
    """A floppy disk."""
    c = Canvas(size, size)
    body = polygon([(0.08, 0.08), (0.78, 0.08), (0.92, 0.22), (0.92, 0.92), (0.08, 0.92)])
    c.fill(body, OUTLINE, size)
    c.fill(polygon([(0.13, 0.13), (0.76, 0.13), (0.87, 0.24), (0.87, 0.87), (0.13, 0.87)]), BLUE, size)
    c.fill(rect(0.26, 0.13, 0.70, 0.38), GREY_LIGHT, size)
    c.fill(rect(0.56, 0.17, 0.65, 0.34), OUTLINE, size)
    c.fill(rounded_rect(0.22, 0.52, 0.78, 0.87, 0.03), PAPER, size)
    draw_lines(c, size, 0.28, 0.72, (0.60, 0.71))
    return c


def options_icon(size):
    """A gear wheel."""
    c = Canvas(size, size)
    teeth = []
    for i in range(8):
        angle = i * math.pi / 4
        teeth.append(thick_line(0.5, 0.5, 0.5 + 0.40 * math.cos(angle), 0.5 + 0.40 * math.sin(angle), 0.08))
    gear = union(circle(0.5, 0.5, 0.30), *teeth)
    c.fill(gear, OUTLINE, size)
    c.fill(union(circle(0.5, 0.5, 0.26), *[thick_line(0.5, 0.5, 0.5 + 0.36 * math.cos(i * math.pi / 4),
                                                          0.5 + 0.36 * math.sin(i * math.pi / 4), 0.05)
                                                for i in range(8)]), GREY, size)
    c.fill(ring(0.5, 0.5, 0.16, 0.10), GREY_LIGHT, size)
    c.fill(circle(0.5, 0.5, 0.10), WHITE, size)
    return c


def magnifier(c, size, cx, cy, radius, handle_to):
    c.fill(thick_line(cx, cy, handle_to, handle_to, 0.09), OUTLINE, size)
    c.fill(thick_line(cx + radius * 0.75, cy + radius * 0.75, handle_to - 0.02, handle_to - 0.02, 0.06),
           (150, 90, 40, 255), size)
    c.fill(circle(cx, cy, radius + 0.06), OUTLINE, size)
    c.fill(circle(cx, cy, radius), GLASS, size)
    c.fill(circle(cx - radius * 0.35, cy - radius * 0.35, radius * 0.25), (255, 255, 255, 220), size)


def search_panel_icon(size):
    """A memo sheet with a magnifying glass."""
    c = Canvas(size, size)
    draw_sheet(c, size)
    draw_lines(c, size, 0.26, 0.66, (0.22, 0.34, 0.46))
    magnifier(c, size, 0.52, 0.58, 0.20, 0.92)
    return c


def search_button_icon():
    c = Canvas(16, 16)
    magnifier(c, 16, 0.40, 0.40, 0.24, 0.90)
    return c


def export_listed_picture():
    """A list of dates with an arrow leaving it."""
    c = Canvas(48, 48)
    draw_sheet(c, 48)
    for i, y in enumerate((0.22, 0.36, 0.50, 0.64)):
        c.fill(rect(0.26, y, 0.32, y + 0.06), RED if i % 2 == 0 else TEAL, 48)
        c.fill(rect(0.36, y + 0.01, 0.60, y + 0.05), GREY, 48)
    arrow = polygon([(0.50, 0.70), (0.74, 0.70), (0.74, 0.60), (0.96, 0.78), (0.74, 0.96), (0.74, 0.86), (0.50, 0.86)])
    c.fill(arrow, OUTLINE, 48)
    c.fill(polygon([(0.53, 0.73), (0.77, 0.73), (0.77, 0.67), (0.92, 0.78), (0.77, 0.89), (0.77, 0.83), (0.53, 0.83)]),
           GREEN, 48)
    return c


def export_all_picture():
    """A database drum with an arrow leaving it."""
    c = Canvas(48, 48)
    def ellipse(cx, cy, rx, ry):
        return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1

    c.fill(union(ellipse(0.42, 0.80, 0.32, 0.11), rect(0.10, 0.20, 0.74, 0.80), ellipse(0.42, 0.20, 0.32, 0.11)),
           OUTLINE, 48)
    c.fill(union(ellipse(0.42, 0.80, 0.28, 0.08), rect(0.14, 0.20, 0.70, 0.80)), BLUE, 48)
    for y in (0.40, 0.60):
        c.fill(minus(ellipse(0.42, y, 0.28, 0.08), ellipse(0.42, y - 0.03, 0.28, 0.08)), BLUE_LIGHT, 48)
    c.fill(ellipse(0.42, 0.20, 0.28, 0.08), BLUE_LIGHT, 48)
    c.fill(polygon([(0.50, 0.70), (0.74, 0.70), (0.74, 0.60), (0.96, 0.78), (0.74, 0.96), (0.74, 0.86), (0.50, 0.86)]),
           OUTLINE, 48)
    c.fill(polygon([(0.53, 0.73), (0.77, 0.73), (0.77, 0.67), (0.92, 0.78), (0.77, 0.89), (0.77, 0.83), (0.53, 0.83)]),
           GREEN, 48)
    return c


def separator_picture():
    """415 x 7: a teal rule fading out at both ends, on white."""
    c = Canvas(415, 7, (255, 255, 255, 255))
    for x in range(415):
        t = x / 414
        strength = math.sin(math.pi * t) ** 0.6
        for y in range(7):
            weight = (1.0 - abs(y - 3) / 3.5) * strength
            p = c.pixels[y * 415 + x]
            for i, v in enumerate(TEAL[:3]):
                p[i] = 255 + (v - 255) * weight
    return c


def about_picture():
    """149 x 121: a calendar page with a crescent moon, on a night sky."""
    c = Canvas(149, 121, (255, 255, 255, 255))
    for y in range(121):
        t = y / 120
        for x in range(149):
            c.pixels[y * 149 + x] = [20 + 30 * t, 40 + 70 * t, 90 + 90 * t, 255]
    s = 149

    def unit(v):
        return v / s

    c.fill(circle(unit(118), unit(26), unit(16)), (255, 240, 160, 255), s)
    c.fill(circle(unit(126), unit(20), unit(14)), (40, 66, 128, 255), s)
    for sx, sy in ((20, 12), (46, 22), (92, 10), (140, 50), (10, 40)):
        c.fill(circle(unit(sx), unit(sy), unit(1.3)), WHITE, s)
    c.fill(rounded_rect(unit(24), unit(36), unit(106), unit(114), unit(5)), OUTLINE, s)
    c.fill(rounded_rect(unit(26), unit(38), unit(104), unit(112), unit(4)), PAPER, s)
    c.fill(rect(unit(26), unit(38), unit(104), unit(56)), RED, s)
    for rx in (40, 90):
        c.fill(rounded_rect(unit(rx - 3), unit(30), unit(rx + 3), unit(44), unit(2)), GREY, s)
    for row in range(4):
        for col in range(6):
            x0 = 31 + col * 12
            y0 = 62 + row * 12
            colour = TEAL if (row * 6 + col) % 7 else RED
            c.fill(rect(unit(x0), unit(y0), unit(x0 + 8), unit(y0 + 7)), colour, s)
    return c


def application_icon(size):
    """A calendar page on two rings: a red heading, a crescent moon for the
    lunar dates, and a memo's lines."""
    c = Canvas(size, size)
    c.fill(rounded_rect(0.08, 0.12, 0.92, 0.95, 0.10), OUTLINE, size)
    c.fill(rounded_rect(0.12, 0.16, 0.88, 0.91, 0.07), PAPER, size)
    c.fill(minus(rounded_rect(0.12, 0.16, 0.88, 0.40, 0.07), rect(0.0, 0.33, 1.0, 1.0)), RED, size)
    c.fill(rect(0.12, 0.30, 0.88, 0.36), RED, size)
    for x in (0.32, 0.68):
        c.fill(rounded_rect(x - 0.06, 0.03, x + 0.06, 0.27, 0.05), OUTLINE, size)
        c.fill(rounded_rect(x - 0.03, 0.06, x + 0.03, 0.24, 0.03), GREY_LIGHT, size)
    c.fill(minus(circle(0.38, 0.62, 0.19), circle(0.47, 0.56, 0.17)), (235, 170, 30, 255), size)
    for y in (0.52, 0.64, 0.76):
        c.fill(rounded_rect(0.56, y, 0.80, y + 0.06, 0.03), TEAL, size)
    return c


# ---- encoders --------------------------------------------------------------

def encode_ico(canvases):
    """An icon file: one 32-bit BI_RGB image per size (bottom-up BGRA rows and
    an AND mask), the form every icon loader reads."""
    header = struct.pack('<HHH', 0, 1, len(canvases))
    entries, images = b'', b''
    offset = 6 + 16 * len(canvases)
    for c in canvases:
        w, h = c.width, c.height
        pixels = c.rgba()
        xor = bytearray()
        for y in range(h - 1, -1, -1):
            for x in range(w):
                r, g, b, a = pixels[y * w + x]
                xor += bytes((b, g, r, a))
        mask_stride = ((w + 31) // 32) * 4
        mask = bytearray()
        for y in range(h - 1, -1, -1):
            row = bytearray(mask_stride)
            for x in range(w):
                if pixels[y * w + x][3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        bitmap = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0) + xor + mask
        entries += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, 1, 32, len(bitmap), offset)
        images += bitmap
        offset += len(bitmap)
    return header + entries + images


def encode_png(canvas):
    """An 8-bit RGBA PNG, every row unfiltered."""
    pixels = canvas.rgba()
    rows = b''.join(b'\x00' + bytes(v for p in pixels[y * canvas.width:(y + 1) * canvas.width] for v in p)
                    for y in range(canvas.height))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    header = struct.pack('>IIBBBBB', canvas.width, canvas.height, 8, 6, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b'')


def encode_gif(canvas):
    """A GIF89a with a palette built from the picture (at most 255 colours
    plus one transparent index), LZW-compressed."""
    pixels = canvas.rgba()
    palette, index_of, indices = [], {}, []
    transparent = None
    for r, g, b, a in pixels:
        if a < 128:
            if transparent is None:
                transparent = len(palette)
                palette.append((255, 0, 255))
            indices.append(transparent)
            continue
        # 5 bits per channel keeps the palette within 256 entries for these pictures.
        key = (r & 0xF8, g & 0xF8, b & 0xF8)
        if key not in index_of:
            index_of[key] = len(palette)
            palette.append((key[0] | (key[0] >> 5), key[1] | (key[1] >> 5), key[2] | (key[2] >> 5)))
        indices.append(index_of[key])
    if len(palette) > 256:
        raise SystemExit('GIF palette overflow')
    bits = max(2, (len(palette) - 1).bit_length())
    table = palette + [(0, 0, 0)] * ((1 << bits) - len(palette))
    out = bytearray(b'GIF89a')
    out += struct.pack('<HHBBB', canvas.width, canvas.height, 0x80 | ((bits - 1) << 4) | (bits - 1), 0, 0)
    for rgb in table:
        out += bytes(rgb)
    if transparent is not None:
        out += bytes((0x21, 0xF9, 4, 1, 0, 0, transparent, 0))
    out += b',' + struct.pack('<HHHHB', 0, 0, canvas.width, canvas.height, 0)
    out += bytes((bits,)) + gif_lzw(indices, bits) + b'\x00;'
    return bytes(out)


def gif_lzw(indices, min_code_size):
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    code_size = min_code_size + 1
    dictionary = {(i,): i for i in range(clear)}
    next_code = end + 1
    bit_buffer, bit_count, data = 0, 0, bytearray()

    def emit(code):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += code_size
        while bit_count >= 8:
            data.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    emit(clear)
    current = ()
    for index in indices:
        candidate = current + (index,)
        if candidate in dictionary:
            current = candidate
            continue
        emit(dictionary[current])
        if next_code < 4096:
            dictionary[candidate] = next_code
            next_code += 1
            if next_code > (1 << code_size) and code_size < 12:
                code_size += 1
        else:
            emit(clear)
            dictionary = {(i,): i for i in range(clear)}
            next_code = end + 1
            code_size = min_code_size + 1
        current = (index,)
    if current:
        emit(dictionary[current])
    emit(end)
    if bit_count:
        data.append(bit_buffer & 0xFF)
    blocks = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        blocks += bytes((len(chunk),)) + chunk
    return bytes(blocks)


def decode_with_convert(data, suffix):
    """Pixels of a GIF or JPEG as ImageMagick decodes them: (width, height, RGBA rows)."""
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, 'picture' + suffix)
        with open(source, 'wb') as f:
            f.write(data)
        size = subprocess.run(['identify', '-format', '%w %h', source], check=True,
                              capture_output=True).stdout.split()
        raw = subprocess.run(['convert', source, '-depth', '8', 'rgba:-'], check=True,
                             capture_output=True).stdout
    width, height = int(size[0]), int(size[1])
    return width, height, raw


def encode_bmp(width, height, rgba, with_alpha):
    """An uncompressed bottom-up BMP, 32-bit BI_RGB with straight alpha or 24-bit."""
    bits = 32 if with_alpha else 24
    stride = ((width * bits // 8) + 3) & ~3
    rows = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b, a = rgba[(y * width + x) * 4:(y * width + x) * 4 + 4]
            row += bytes((b, g, r, a)) if with_alpha else bytes((b, g, r))
        rows += row + bytes(stride - len(row))
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, len(rows), 2835, 2835, 0, 0)
    header = b'BM' + struct.pack('<IHHI', 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    return header + info + bytes(rows)


def bmp_twin(data, suffix, with_alpha):
    width, height, raw = decode_with_convert(data, suffix)
    return encode_bmp(width, height, raw, with_alpha)


def encode_jpeg(canvas):
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, 'picture.ppm')
        target = os.path.join(folder, 'picture.jpg')
        with open(source, 'wb') as f:
            f.write(b'P6 %d %d 255\n' % (canvas.width, canvas.height))
            f.write(bytes(v for p in canvas.rgba() for v in p[:3]))
        subprocess.run(['convert', source, '-strip', '-sampling-factor', '1x1', '-quality', '92', target],
                       check=True)
        with open(target, 'rb') as f:
            return f.read()


# ---- output ----------------------------------------------------------------

ICON_SIZES = (16, 24, 32, 48)

# file name, C++ name of the embedded bytes (None: not embedded), purpose, maker.
# A maker gets the bytes made so far, so a BMP twin can decode its GIF or JPEG.
PICTURES = [
    ('edit_button.ico', 'kEditButtonIcon', 'the Edit button',
     lambda made: encode_ico([edit_icon(s) for s in ICON_SIZES])),
    ('save_button.ico', 'kSaveButtonIcon', 'the Save button',
     lambda made: encode_ico([save_icon(s) for s in ICON_SIZES])),
    ('options_button.ico', 'kOptionsButtonIcon', 'the options panel button',
     lambda made: encode_ico([options_icon(s) for s in ICON_SIZES])),
    ('search_panel_button.ico', 'kSearchPanelButtonIcon', 'the search panel button',
     lambda made: encode_ico([search_panel_icon(s) for s in ICON_SIZES])),
    ('search_button.ico', 'kSearchButtonIcon', 'the search button',
     lambda made: encode_ico([search_button_icon()])),
    ('export_listed.gif', None, 'the export listed dates button',
     lambda made: encode_gif(export_listed_picture())),
    ('export_listed.bmp', 'kExportListedPicture', 'the export listed dates button (export_listed.gif decoded)',
     lambda made: bmp_twin(made['export_listed.gif'], '.gif', True)),
    ('export_all.gif', None, 'the export all button',
     lambda made: encode_gif(export_all_picture())),
    ('export_all.bmp', 'kExportAllPicture', 'the export all button (export_all.gif decoded)',
     lambda made: bmp_twin(made['export_all.gif'], '.gif', True)),
    ('separator_line.jpg', None, 'the line under the search keyword',
     lambda made: encode_jpeg(separator_picture())),
    ('separator_line.bmp', 'kSeparatorLinePicture', 'the line under the search keyword (separator_line.jpg decoded)',
     lambda made: bmp_twin(made['separator_line.jpg'], '.jpg', False)),
    ('about.jpg', None, 'the About panel', lambda made: encode_jpeg(about_picture())),
    ('about.bmp', 'kAboutPicture', 'the About panel (about.jpg decoded)',
     lambda made: bmp_twin(made['about.jpg'], '.jpg', False)),
]


# The sizes of the hicolor icon theme that desktops ask for: menus, panels,
# task bars, window switchers and software centres.
APPLICATION_ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def cpp_bytes(data):
    lines = []
    for i in range(0, len(data), 16):
        lines.append('    ' + ','.join('0x%02X' % b for b in data[i:i + 16]) + ',')
    return '\n'.join(lines)


def main():
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, 'ui', 'images')
    os.makedirs(out, exist_ok=True)
    header = ['// Generated by tools/images/generate_images.py; do not edit.',
              '// The main window\'s pictures, embedded so that the program needs no',
              '// files beside it other than its database. The same bytes are in the',
              '// files of this folder.',
              '#pragma once', '', '#include <cstdint>', '#include <span>', '',
              'namespace tarnwick::images {', '']
    source = ['// Generated by tools/images/generate_images.py; do not edit.',
              '#include "ui/images/embedded_images.h"', '', 'namespace tarnwick::images {', '']
    made = {}
    for file_name, name, purpose, make in PICTURES:
        data = make(made)
        made[file_name] = data
        with open(os.path.join(out, file_name), 'wb') as f:
            f.write(data)
        print('%-26s %6d bytes' % (file_name, len(data)))
        if name is None:
            continue
        header.append('// %s: %s' % (file_name, purpose))
        header.append('extern const std::span<const std::uint8_t> %s;' % name)
        source.append('static const std::uint8_t %sBytes[%d] = {' % (name, len(data)))
        source.append(cpp_bytes(data))
        source.append('};')
        source.append('const std::span<const std::uint8_t> %s(%sBytes);' % (name, name))
        source.append('')
    header += ['', '}  // namespace tarnwick::images', '']
    source += ['}  // namespace tarnwick::images', '']
    with open(os.path.join(out, 'embedded_images.h'), 'w') as f:
        f.write('\n'.join(header))
    with open(os.path.join(out, 'embedded_images_data.cpp'), 'w') as f:
        f.write('\n'.join(source))

    icons = sys.argv[2] if len(sys.argv) > 2 else os.path.join(root, 'packaging', 'linux', 'icons')
    os.makedirs(icons, exist_ok=True)
    for size in APPLICATION_ICON_SIZES:
        data = encode_png(application_icon(size))
        with open(os.path.join(icons, '%d.png' % size), 'wb') as f:
            f.write(data)
        print('icons/%-20s %6d bytes' % ('%d.png' % size, len(data)))


if __name__ == '__main__':
    main()
