#!/usr/bin/python3
"""Draws the program's skin: every PNG image resource and the program icon.

Run with Debian's Python and its imaging library (python3-pil):

    /usr/bin/python3 tools/skin/generate_skin.py [--out src/resources/skin] [--preview sheet.png]

The generated files are committed under src/resources/skin/, so building the program never
needs this script. Change the drawing here, run it again and commit the images with it.

One dark skin with a blue accent. All images are 8-bit RGBA; shapes are drawn four times
larger and scaled down, so round edges get smooth per-pixel alpha. Strips of several frames
lie side by side (frame n at x = n * frame width). Ids, sizes and uses: see README.md here.
"""

import argparse
import os

from PIL import Image, ImageDraw, ImageFilter, ImageFont

FONT_PATH = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"
SS = 4  # supersampling factor for shapes

# Palette
EDGE = (9, 11, 15)
BODY_TOP = (33, 38, 48)
BODY_BOTTOM = (27, 31, 40)
HEAD_TOP = (43, 49, 62)
HEAD_BOTTOM = (35, 40, 51)
BAND_TOP = (41, 47, 59)
BAND_BOTTOM = (37, 42, 53)
SEPARATOR = (18, 21, 27)
HIGHLIGHT = (255, 255, 255, 22)
ACCENT = (45, 140, 255)
ACCENT_LIGHT = (92, 172, 255)
ACCENT_DARK = (24, 98, 206)
TEXT = (240, 244, 250)
TEXT_DIM = (160, 170, 186)
GLYPH = (176, 184, 198)


# ---------------------------------------------------------------- helpers

def font(size):
    return ImageFont.truetype(FONT_PATH, size, index=0)


def vgradient(width, height, top, bottom):
    """An opaque image whose colour runs from `top` (first row) to `bottom` (last row)."""
    image = Image.new("RGBA", (width, height))
    draw = ImageDraw.Draw(image)
    for y in range(height):
        t = y / max(1, height - 1)
        colour = tuple(round(top[i] + (bottom[i] - top[i]) * t) for i in range(3)) + (255,)
        draw.line([(0, y), (width, y)], fill=colour)
    return image


def downsample(big, size):
    return big.resize(size, Image.Resampling.LANCZOS)


def mask_from(draw_fn, size):
    """An anti-aliased 8-bit mask: draw_fn(draw, scale) paints white on a large canvas."""
    big = Image.new("L", (size[0] * SS, size[1] * SS), 0)
    draw_fn(ImageDraw.Draw(big), SS)
    return downsample(big, size)


def paint(base, fill, mask):
    """Composites `fill` (image or colour) through `mask` onto `base` (RGBA, in place)."""
    if isinstance(fill, tuple):
        colour = fill if len(fill) == 4 else fill + (255,)
        fill = Image.new("RGBA", base.size, colour)
    layer = fill.copy()
    alpha = layer.getchannel("A")
    layer.putalpha(Image.composite(alpha, Image.new("L", base.size, 0), mask))
    base.alpha_composite(layer)


def scaled(points, s):
    return [(x * s, y * s) for x, y in points]


def polygon_mask(points, size, inset=0.0):
    def draw(d, s):
        d.polygon(scaled(points, s), fill=255)
    mask = mask_from(draw, size)
    if inset:
        mask = mask.filter(ImageFilter.MinFilter(int(inset) * 2 + 1))
    return mask


def outline_mask(points, size, width=1.0):
    def draw(d, s):
        d.line(scaled(points + [points[0]], s), fill=255, width=max(1, round(width * s)),
               joint="curve")
    return mask_from(draw, size)


def round_rect_mask(size, box, radius):
    def draw(d, s):
        x0, y0, x1, y1 = box
        d.rounded_rectangle((x0 * s, y0 * s, x1 * s - 1, y1 * s - 1), radius=radius * s,
                            fill=255)
    return mask_from(draw, size)


def text_size(text, fnt):
    left, top, right, bottom = fnt.getbbox(text)
    return right - left, bottom - top, left, top


def draw_text_centred(image, box, text, fnt, colour, shadow=(0, 20, 60, 60), dy=0, bold=False):
    """Draws `text` centred in `box` (x0, y0, x1, y1), with a one-pixel drop shadow."""
    width, height, left, top = text_size(text, fnt)
    x = box[0] + (box[2] - box[0] - width) // 2 - left
    y = box[1] + (box[3] - box[1] - height) // 2 - top + dy
    layer = Image.new("RGBA", image.size, (0, 0, 0, 0))
    draw = ImageDraw.Draw(layer)
    strokes = [(0, 0), (1, 0)] if bold else [(0, 0)]
    if shadow:
        for ox, oy in strokes:
            draw.text((x + ox, y + oy + 1), text, font=fnt, fill=shadow)
    for ox, oy in strokes:
        draw.text((x + ox, y + oy), text, font=fnt, fill=colour)
    image.alpha_composite(layer)


def strip(frames):
    width = sum(f.width for f in frames)
    out = Image.new("RGBA", (width, frames[0].height), (0, 0, 0, 0))
    x = 0
    for frame in frames:
        out.alpha_composite(frame, (x, 0))
        x += frame.width
    return out


def octagon(width, height, cut):
    return [(cut, 0), (width - cut, 0), (width, cut), (width, height - cut),
            (width - cut, height), (cut, height), (0, height - cut), (0, cut)]


# ---------------------------------------------------------------- window backgrounds

def window_surface(size, shape, header_bottom, band_top=None, accent_points=None):
    """A dark window face: body, header, optional lighter band, edges, accent line."""
    width, height = size
    image = Image.new("RGBA", size, (0, 0, 0, 0))
    face = vgradient(width, height, BODY_TOP, BODY_BOTTOM)
    header = vgradient(width, header_bottom, HEAD_TOP, HEAD_BOTTOM)
    face.paste(header, (0, 0))
    ImageDraw.Draw(face).line([(0, header_bottom), (width, header_bottom)], fill=SEPARATOR)
    ImageDraw.Draw(face).line([(0, header_bottom + 1), (width, header_bottom + 1)],
                              fill=(48, 55, 68))
    if band_top is not None:
        band = vgradient(width, height - band_top, BAND_TOP, BAND_BOTTOM)
        face.paste(band, (0, band_top))
        draw = ImageDraw.Draw(face)
        draw.line([(0, band_top), (width, band_top)], fill=SEPARATOR)
        draw.line([(0, band_top + 1), (width, band_top + 1)], fill=(56, 64, 79))
    paint(image, face, polygon_mask(shape, size))
    if accent_points:
        paint(image, ACCENT, accent_points)
    # Inner highlight then the dark outer edge, both following the shape.
    inner = polygon_mask(shape, size, inset=1)
    ring = Image.new("L", size, 0)
    ring.paste(polygon_mask(shape, size))
    ring = Image.composite(Image.new("L", size, 0), ring, inner)
    edge = outline_mask(shape, size, 1.2)
    highlight_ring = Image.composite(
        Image.new("L", size, 0),
        polygon_mask(shape, size, inset=1),
        polygon_mask(shape, size, inset=2))
    paint(image, HIGHLIGHT, highlight_ring)
    paint(image, EDGE, Image.composite(ring, Image.new("L", size, 0), ring))
    paint(image, EDGE + (200,), Image.composite(edge, Image.new("L", size, 0),
                                                polygon_mask(shape, size)))
    return image


def accent_band_mask(size, shape, top, thickness):
    """The part of the shape that lies within `thickness` pixels below its top edge."""
    strip_mask = Image.new("L", size, 0)
    ImageDraw.Draw(strip_mask).rectangle((0, 0, size[0], top + thickness - 1), fill=255)
    return Image.composite(strip_mask, Image.new("L", size, 0), polygon_mask(shape, size))


def prompt_frame():
    """101: the frame of the prompts and of the first window (nine-part L 4, R 47, T 4, B 146)."""
    size = (404, 201)
    shape = octagon(404, 201, 9)
    accent = accent_band_mask(size, shape, 0, 2)
    return window_surface(size, shape, 50, accent_points=accent)


def prompt_background():
    """125: the prompt background with the lighter button band under y = 146."""
    size = (404, 201)
    shape = octagon(404, 201, 9)
    accent = accent_band_mask(size, shape, 0, 2)
    return window_surface(size, shape, 50, band_top=146, accent_points=accent)


DOWNLOAD_SHAPE = [(7, 0), (286, 0), (295, 10), (671, 10), (679, 19), (679, 411), (671, 419),
                  (8, 419), (0, 411), (0, 0)]


def download_background(emblem):
    """105: the download window, 680 x 420, in the shape of its window region."""
    size = (680, 420)
    shape = [(0, 0), (286, 0), (295, 10), (671, 10), (679, 19), (679, 411), (671, 419),
             (8, 419), (0, 411)]
    tab = Image.new("L", size, 0)
    ImageDraw.Draw(tab).polygon([(0, 0), (286, 0), (288, 2), (0, 2)], fill=255)
    image = window_surface(size, shape, 52, band_top=384, accent_points=tab)
    draw = ImageDraw.Draw(image)
    # The page area: a recessed well around (20, 56)-(660, 301).
    draw.rectangle((19, 55, 660, 301), fill=(15, 17, 22))
    draw.rectangle((19, 55, 660, 301), outline=(12, 14, 18))
    draw.line([(19, 302), (661, 302)], fill=(50, 57, 70))
    draw.line([(661, 55), (661, 302)], fill=(50, 57, 70))
    # The bottom panel: a thin divider between the folder/progress rows and the offer row.
    draw.line([(20, 307), (660, 307)], fill=(40, 46, 58))
    image.alpha_composite(emblem, (24, 21))
    return image


def default_page(emblem_big):
    """123: the picture shown where the web page would be (640 x 245)."""
    width, height = 640, 245
    image = vgradient(width, height, (20, 38, 70), (14, 20, 33))
    glow = Image.new("RGBA", (width, height), (0, 0, 0, 0))
    gd = ImageDraw.Draw(glow)
    gd.ellipse((300, -160, 900, 360), fill=(45, 140, 255, 70))
    gd.ellipse((-200, 120, 260, 460), fill=(45, 140, 255, 30))
    glow = glow.filter(ImageFilter.GaussianBlur(60))
    image.alpha_composite(glow)
    # Light streaks: a quiet sense of speed.
    streaks = Image.new("RGBA", (width * SS, height * SS), (0, 0, 0, 0))
    sd = ImageDraw.Draw(streaks)
    for i, (y, length, alpha) in enumerate([(40, 300, 40), (64, 200, 28), (180, 360, 34),
                                            (200, 240, 22), (120, 420, 18)]):
        x0 = 640 - length - (i * 37) % 90
        sd.line([(x0 * SS, y * SS), ((x0 + length) * SS, (y - length * 0.18) * SS)],
                fill=(130, 190, 255, alpha), width=SS * 2)
    image.alpha_composite(downsample(streaks, (width, height)))
    # Dotted grid on the right.
    dots = ImageDraw.Draw(image)
    for gx in range(470, 620, 14):
        for gy in range(150, 230, 14):
            dots.point((gx, gy), fill=(90, 150, 230, 110))
    image.alpha_composite(emblem_big, (70, (height - emblem_big.height) // 2))
    x = 70 + emblem_big.width + 28
    title_font = font(34)
    draw = ImageDraw.Draw(image)
    draw.text((x, 70), "VexaYoral", font=title_font, fill=TEXT)
    tw = draw.textlength("VexaYoral", font=title_font)
    draw.text((x + tw + 10, 70), "游戏下载器", font=title_font, fill=ACCENT_LIGHT)
    draw.text((x + 2, 122), "高速下载 · 断点续传 · 安全校验", font=font(16), fill=(196, 210, 230))
    draw.line([(x + 2, 154), (x + 60, 154)], fill=ACCENT, width=3)
    draw.text((x + 2, 166), "多源加速，让游戏更快到手", font=font(13), fill=(130, 146, 170))
    return image


# ---------------------------------------------------------------- small pictures

def emblem(size=(20, 19)):
    """The program's emblem: a blue tile with a white arrow into a tray."""
    width, height = size
    image = Image.new("RGBA", size, (0, 0, 0, 0))
    r = max(3, min(width, height) * 0.24)
    tile = vgradient(width, height, (84, 168, 255), (26, 104, 220))
    paint(image, tile, round_rect_mask(size, (0, 0, width, height), r))

    def arrow(d, s):
        cx = width * s / 2
        shaft = max(1.6, width * 0.13) * s
        top = height * 0.18 * s
        head_y = height * 0.48 * s
        tip = height * 0.66 * s
        half = width * 0.25 * s
        d.rectangle((cx - shaft / 2, top, cx + shaft / 2, head_y + 1), fill=255)
        d.polygon([(cx - half, head_y), (cx + half, head_y), (cx, tip)], fill=255)
        tray_y = height * 0.80 * s
        t = max(1.4, height * 0.09) * s
        d.rounded_rectangle((width * 0.2 * s, tray_y - t / 2, width * 0.8 * s, tray_y + t / 2),
                            radius=t / 2, fill=255)
    paint(image, (255, 255, 255), mask_from(arrow, size))
    return image


def warning_sign():
    """112: a 24 x 24 amber warning triangle."""
    size = (24, 24)
    image = Image.new("RGBA", size, (0, 0, 0, 0))

    def triangle(d, s):
        d.polygon([(12 * s, 1.5 * s), (23 * s, 21.5 * s), (1 * s, 21.5 * s)], fill=255)
        d.line([(12 * s, 1.5 * s), (23 * s, 21.5 * s), (1 * s, 21.5 * s), (12 * s, 1.5 * s)],
               fill=255, width=2 * s, joint="curve")
    paint(image, vgradient(24, 24, (255, 200, 70), (240, 150, 20)), mask_from(triangle, size))

    def mark(d, s):
        d.rounded_rectangle((10.9 * s, 7.5 * s, 13.1 * s, 15 * s), radius=1 * s, fill=255)
        d.ellipse((10.8 * s, 16.6 * s, 13.2 * s, 19 * s), fill=255)
    paint(image, (40, 28, 8), mask_from(mark, size))
    return image


def round_sign(colour, glyph):
    """A 24 x 24 round sign with a white glyph (information, success, error)."""
    size = (24, 24)
    image = Image.new("RGBA", size, (0, 0, 0, 0))
    top = tuple(min(255, c + 40) for c in colour)
    paint(image, vgradient(24, 24, top, colour),
          mask_from(lambda d, s: d.ellipse((1 * s, 1 * s, 23 * s, 23 * s), fill=255), size))
    paint(image, (255, 255, 255), mask_from(glyph, size))
    return image


def info_glyph(d, s):
    d.ellipse((10.8 * s, 5.5 * s, 13.2 * s, 7.9 * s), fill=255)
    d.rounded_rectangle((10.9 * s, 9.5 * s, 13.1 * s, 18 * s), radius=1 * s, fill=255)


def check_glyph(d, s, box=(0, 0, 24, 24), width=2.4):
    x0, y0, x1, y1 = box
    w, h = x1 - x0, y1 - y0
    pts = [(x0 + w * 0.27, y0 + h * 0.52), (x0 + w * 0.44, y0 + h * 0.68),
           (x0 + w * 0.74, y0 + h * 0.34)]
    d.line(scaled(pts, s), fill=255, width=round(width * s), joint="curve")


def cross_glyph(d, s):
    d.line([(8 * s, 8 * s), (16 * s, 16 * s)], fill=255, width=round(2.4 * s))
    d.line([(16 * s, 8 * s), (8 * s, 16 * s)], fill=255, width=round(2.4 * s))


def green_mark():
    """137: a 16 x 15 green tick in a circle."""
    size = (16, 15)
    image = Image.new("RGBA", size, (0, 0, 0, 0))
    paint(image, vgradient(16, 15, (92, 214, 140), (34, 170, 96)),
          mask_from(lambda d, s: d.ellipse((0.5 * s, 0 * s, 15.5 * s, 15 * s), fill=255), size))
    paint(image, (255, 255, 255),
          mask_from(lambda d, s: check_glyph(d, s, (0.5, 0, 15.5, 15), 1.8), size))
    return image


def small_icon(kind):
    """16 x 16 line icons: "folder" and "speed"."""
    size = (16, 16)
    image = Image.new("RGBA", size, (0, 0, 0, 0))

    def folder(d, s):
        d.rounded_rectangle((1 * s, 3 * s, 7 * s, 6 * s), radius=1 * s, fill=255)
        d.rounded_rectangle((1 * s, 4.5 * s, 15 * s, 14 * s), radius=1.5 * s, fill=255)

    def speed(d, s):
        d.arc((1 * s, 2 * s, 15 * s, 16 * s), 180, 360, fill=255, width=round(2 * s))
        d.line([(8 * s, 9 * s), (12 * s, 5 * s)], fill=255, width=round(2 * s))
        d.ellipse((6.5 * s, 7.5 * s, 9.5 * s, 10.5 * s), fill=255)
    paint(image, ACCENT_LIGHT, mask_from(folder if kind == "folder" else speed, size))
    return image


# ---------------------------------------------------------------- buttons

BLUE_LOOKS = [  # normal, hover, pressed: (top, bottom, border)
    ((58, 150, 255), (32, 116, 232), (22, 88, 190)),
    ((120, 190, 255), (70, 152, 252), (44, 122, 226)),
    ((26, 96, 200), (32, 110, 218), (16, 70, 160)),
]
GREY_LOOKS = [
    ((70, 79, 96), (56, 63, 78), (30, 34, 43)),
    ((104, 116, 138), (84, 95, 115), (48, 55, 68)),
    ((46, 52, 64), (52, 59, 72), (24, 27, 34)),
]
STEEL_LOOKS = [
    ((78, 96, 124), (58, 74, 100), (34, 44, 62)),
    ((110, 132, 166), (84, 104, 136), (50, 64, 88)),
    ((50, 64, 86), (56, 70, 94), (28, 36, 50)),
]


def button_face(size, look, radius, pressed):
    top, bottom, border = look
    width, height = size
    image = Image.new("RGBA", size, (0, 0, 0, 0))
    paint(image, border, round_rect_mask(size, (0, 0, width, height), radius))
    paint(image, vgradient(width, height, top, bottom),
          round_rect_mask(size, (1, 1, width - 1, height - 1), radius - 1))
    if not pressed:
        # A soft top highlight gives the face some depth.
        sheen = Image.new("L", size, 0)
        ImageDraw.Draw(sheen).line([(radius, 1), (width - radius - 1, 1)], fill=70)
        paint(image, (255, 255, 255), sheen)
    else:
        shade = Image.new("L", size, 0)
        ImageDraw.Draw(shade).line([(radius - 1, 1), (width - radius, 1)], fill=90)
        paint(image, (0, 0, 0), shade)
    return image


def label_button(text, looks, size=(78, 30), font_size=13, radius=4, icon=None, bold=False):
    frames = []
    fnt = font(font_size)
    for state, look in enumerate(looks):
        pressed = state == 2
        face = button_face(size, look, radius, pressed)
        dy = 1 if pressed else 0
        colour = TEXT if state != 1 else (255, 255, 255)
        if icon:
            label_w = text_size(text, fnt)[0]
            icon_w = 14
            gap = 7
            total = icon_w + gap + label_w
            x0 = (size[0] - total) // 2
            paint(face, colour, mask_from(lambda d, s, x=x0, y=(size[1] - icon_w) // 2 + dy:
                                          icon(d, s, x, y), size))
            draw_text_centred(face, (x0 + icon_w + gap, 0, x0 + total, size[1]), text, fnt,
                              colour, dy=dy, bold=bold)
        else:
            draw_text_centred(face, (0, 0) + size, text, fnt, colour, dy=dy, bold=bold)
        frames.append(face)
    return strip(frames)


def icon_download(d, s, x, y):
    cx = (x + 7) * s
    d.rectangle((cx - 1.1 * s, (y + 0.5) * s, cx + 1.1 * s, (y + 7) * s), fill=255)
    d.polygon([((x + 2.5) * s, (y + 6) * s), ((x + 11.5) * s, (y + 6) * s), (cx, (y + 10.5) * s)],
              fill=255)
    d.rounded_rectangle(((x + 1) * s, (y + 12) * s, (x + 13) * s, (y + 14) * s), radius=1 * s,
                        fill=255)


def icon_play(d, s, x, y):
    d.polygon([((x + 3) * s, (y + 1) * s), ((x + 13) * s, (y + 7) * s), ((x + 3) * s, (y + 13) * s)],
              fill=255)


def icon_pause(d, s, x, y):
    d.rounded_rectangle(((x + 3) * s, (y + 1) * s, (x + 6) * s, (y + 13) * s), radius=0.8 * s,
                        fill=255)
    d.rounded_rectangle(((x + 8) * s, (y + 1) * s, (x + 11) * s, (y + 13) * s), radius=0.8 * s,
                        fill=255)


def icon_install(d, s, x, y):
    d.rounded_rectangle(((x + 0.5) * s, (y + 0.5) * s, (x + 13.5) * s, (y + 13.5) * s),
                        radius=3 * s, outline=255, width=round(1.6 * s))
    check_glyph(d, s, (x, y, x + 14, y + 14), 2.0)


def icon_refresh(d, s, x, y):
    d.arc(((x + 1) * s, (y + 1) * s, (x + 13) * s, (y + 13) * s), 40, 330, fill=255,
          width=round(1.9 * s))
    d.polygon([((x + 9) * s, (y + 0.2) * s), ((x + 14.2) * s, (y + 1.5) * s),
               ((x + 11.4) * s, (y + 6) * s)], fill=255)


def title_button(glyph, hover_bg, pressed_bg):
    size = (19, 20)
    frames = []
    for state in range(3):
        face = Image.new("RGBA", size, (0, 0, 0, 0))
        if state:
            paint(face, hover_bg if state == 1 else pressed_bg,
                  round_rect_mask(size, (0, 1, 19, 20), 4))
        colour = GLYPH if state == 0 else (255, 255, 255)
        paint(face, colour, mask_from(glyph, size))
        frames.append(face)
    return strip(frames)


def glyph_close(d, s):
    w = round(1.6 * s)
    d.line([(5.5 * s, 6.5 * s), (13.5 * s, 14.5 * s)], fill=255, width=w)
    d.line([(13.5 * s, 6.5 * s), (5.5 * s, 14.5 * s)], fill=255, width=w)


def glyph_minimise(d, s):
    d.rectangle((5 * s, 13.2 * s, 14 * s, 14.8 * s), fill=255)


def glyph_menu(d, s):
    for cx in (5.5, 9.5, 13.5):
        d.ellipse(((cx - 1.3) * s, (10.5 - 1.3) * s, (cx + 1.3) * s, (10.5 + 1.3) * s), fill=255)


def check_box():
    """110: nine 14 x 14 frames: unchecked n/h/p/disabled, checked n/h/p/disabled, mixed."""
    size = (14, 14)

    def box(border, fill, mark=None, mark_colour=(255, 255, 255)):
        face = Image.new("RGBA", size, (0, 0, 0, 0))
        paint(face, border, round_rect_mask(size, (0, 0, 14, 14), 3))
        paint(face, fill, round_rect_mask(size, (1, 1, 13, 13), 2))
        if mark == "check":
            paint(face, mark_colour, mask_from(lambda d, s: check_glyph(d, s, (0, 0, 14, 14), 1.8),
                                               size))
        elif mark == "dash":
            paint(face, mark_colour, mask_from(
                lambda d, s: d.rounded_rectangle((3.5 * s, 6 * s, 10.5 * s, 8 * s),
                                                 radius=1 * s, fill=255), size))
        return face

    frames = [
        box((104, 114, 132), (22, 26, 33)),
        box(ACCENT_LIGHT, (28, 34, 44)),
        box(ACCENT, (38, 46, 60)),
        box((62, 68, 80), (32, 36, 43)),
        box(ACCENT_DARK, ACCENT, "check"),
        box(ACCENT, ACCENT_LIGHT, "check"),
        box((16, 70, 160), ACCENT_DARK, "check"),
        box((62, 68, 80), (70, 77, 90), "check", (150, 156, 168)),
        box(ACCENT_DARK, ACCENT, "dash"),
    ]
    return strip(frames)


# ---------------------------------------------------------------- progress bars

def progress_bar(fill):
    size = (419, 17)
    width, height = size
    image = Image.new("RGBA", size, (0, 0, 0, 0))
    pill = round_rect_mask(size, (0, 0, width, height), 8.5)
    if fill:
        paint(image, vgradient(width, height, (104, 182, 255), (28, 110, 226)), pill)
        inner = round_rect_mask(size, (1, 1, width - 1, height - 1), 7.5)
        sheen = Image.new("L", size, 0)
        ImageDraw.Draw(sheen).rectangle((0, 1, width, 6), fill=46)
        paint(image, (255, 255, 255), Image.composite(sheen, Image.new("L", size, 0), inner))
    else:
        paint(image, (10, 12, 16), pill)
        paint(image, vgradient(width, height, (16, 19, 25), (26, 30, 38)),
              round_rect_mask(size, (1, 1, width - 1, height - 1), 7.5))
        rim = Image.new("L", size, 0)
        ImageDraw.Draw(rim).line([(8, height - 1), (width - 9, height - 1)], fill=40)
        paint(image, (255, 255, 255), rim)
    return image


# ---------------------------------------------------------------- icon

def program_icon(path):
    sizes = [256, 64, 48, 32, 24, 16]
    images = {}
    for n in sizes:
        images[n] = emblem((n, n))
    images[256].save(path, format="ICO", sizes=[(n, n) for n in sizes],
                     append_images=[images[n] for n in sizes[1:]])


# ---------------------------------------------------------------- the set

PROMPT_BUTTONS = {  # id: (label, looks)
    126: ("关闭", GREY_LOOKS),
    127: ("更改目录", BLUE_LOOKS),
    128: ("下载", BLUE_LOOKS),
    129: ("重新下载", BLUE_LOOKS),
    130: ("重试", BLUE_LOOKS),
    131: ("下次再装", GREY_LOOKS),
    132: ("装上试试", BLUE_LOOKS),
    133: ("确定", BLUE_LOOKS),
    134: ("继续", BLUE_LOOKS),
    135: ("立即安装", BLUE_LOOKS),
    136: ("反馈", BLUE_LOOKS),
}

ACTION_BUTTONS = {  # id: (label, looks, icon)
    106: ("继续下载", BLUE_LOOKS, icon_play),
    107: ("暂停下载", STEEL_LOOKS, icon_pause),
    114: ("开始下载", BLUE_LOOKS, icon_download),
    117: ("立即安装", BLUE_LOOKS, icon_install),
    118: ("重新下载", BLUE_LOOKS, icon_refresh),
}


def build_images():
    images = {}
    small_emblem = emblem()
    images[101] = prompt_frame()
    images[102] = title_button(glyph_close, (222, 68, 68), (176, 44, 44))
    images[103] = progress_bar(fill=True)
    images[104] = progress_bar(fill=False)
    images[105] = download_background(small_emblem)
    for rid, (label, looks, icon) in ACTION_BUTTONS.items():
        images[rid] = label_button(label, looks, (135, 40), 16, 5, icon=icon, bold=True)
    images[108] = small_icon("folder")
    images[109] = small_icon("speed")
    images[110] = check_box()
    images[111] = round_sign((36, 126, 232), info_glyph)
    images[112] = warning_sign()
    images[113] = round_sign((34, 170, 96), lambda d, s: check_glyph(d, s))
    images[115] = title_button(glyph_minimise, (64, 74, 92), ACCENT_DARK)
    images[116] = title_button(glyph_menu, (64, 74, 92), ACCENT_DARK)
    images[122] = round_sign((214, 62, 62), cross_glyph)
    images[123] = default_page(emblem((92, 88)))
    images[124] = small_emblem
    images[125] = prompt_background()
    for rid, (label, looks) in PROMPT_BUTTONS.items():
        images[rid] = label_button(label, looks)
    images[137] = green_mark()
    return images


def preview(images, path):
    """A contact sheet of every image on a mid grey, for looking at the skin as a whole."""
    pad = 12
    order = sorted(images)
    width = 1400
    x = y = pad
    row_h = 0
    placements = []
    for rid in order:
        im = images[rid]
        if x + im.width + pad > width:
            x = pad
            y += row_h + 28
            row_h = 0
        placements.append((rid, x, y))
        x += im.width + pad
        row_h = max(row_h, im.height)
    sheet = Image.new("RGBA", (width, y + row_h + 40), (96, 100, 108, 255))
    draw = ImageDraw.Draw(sheet)
    for rid, px, py in placements:
        sheet.alpha_composite(images[rid], (px, py + 14))
        draw.text((px, py), str(rid), font=font(11), fill=(255, 255, 255))
    sheet.save(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser.add_argument("--out", default=os.path.join(root, "src", "resources", "skin"))
    parser.add_argument("--preview", help="also write a contact sheet of all images")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    images = build_images()
    for rid, image in images.items():
        image.convert("RGBA").save(os.path.join(args.out, f"{rid}.png"), optimize=True)
    program_icon(os.path.join(args.out, "119.ico"))
    if args.preview:
        preview(images, args.preview)


if __name__ == "__main__":
    main()
