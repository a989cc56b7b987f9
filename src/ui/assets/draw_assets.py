#!/usr/bin/python3
"""Draws the viewer's pictures: the loading background, the About picture and the icon (the
window's, and the desktop's at every size and as SVG).

Run from anywhere with /usr/bin/python3 (PIL from python3-pil); the files land beside this script.
Everything is drawn at four times the size and scaled down, which gives smooth edges without
depending on PIL's (absent) anti-aliased primitives.
"""

import math
import os

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
SS = 4  # supersampling factor

SANS_CJK = "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc"
SANS_CJK_REGULAR = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"

DEEP = (8, 42, 104)
BLUE = (22, 96, 190)
SKY = (64, 156, 230)
PAPER_TOP = (250, 252, 255)
PAPER_BOTTOM = (222, 234, 247)
ICON_TOP = (52, 150, 235)
ICON_BOTTOM = (12, 60, 150)
ICON_SCREEN = (30, 110, 205)


def font(path, size, family):
    """The face of a collection whose name is `family` (collection order differs by version)."""
    for index in range(8):
        try:
            face = ImageFont.truetype(path, size, index=index)
        except OSError:
            break
        if face.getname()[0] == family:
            return face
    return ImageFont.truetype(path, size)


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def vertical_gradient(size, stops):
    """stops: list of (position 0..1, rgb)."""
    w, h = size
    column = Image.new("RGB", (1, h))
    px = column.load()
    for y in range(h):
        t = y / max(h - 1, 1)
        for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
            if p0 <= t <= p1:
                px[0, y] = lerp(c0, c1, (t - p0) / max(p1 - p0, 1e-9))
                break
    return column.resize((w, h))


def radial_glow(size, centre, radius, colour, strength):
    """An RGBA layer with a soft round light."""
    w, h = size
    mask = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(mask)
    cx, cy = centre
    d.ellipse((cx - radius, cy - radius, cx + radius, cy + radius), fill=round(255 * strength))
    mask = mask.filter(ImageFilter.GaussianBlur(radius * 0.45))
    layer = Image.new("RGBA", (w, h), colour + (0,))
    layer.putalpha(mask)
    return layer


def wave_mask(size, base, amplitude, phase, wavelength):
    """White below a gentle sine curve: the boundary between the sky band and the paper."""
    w, h = size
    mask = Image.new("L", (w, h), 0)
    points = [(x, base + amplitude * math.sin((x / wavelength) * 2 * math.pi + phase))
              for x in range(0, w + 1, 2)]
    ImageDraw.Draw(mask).polygon(points + [(w, h), (0, h)], fill=255)
    return mask


def tv_shapes(box, px=1):
    """The television set with antenna and a play mark inside box (x0, y0, x1, y1), as shapes
    that both the pictures and the scalable icon draw; px is one supersampled pixel."""
    x0, y0, x1, y1 = box
    w, h = x1 - x0, y1 - y0
    top = y0 + h * 0.22
    cx = x0 + w / 2
    tip = y0 + h * 0.02
    r = w * 0.04
    bottom = y1 - h * 0.1
    fw = w * 0.12
    m = w * 0.08
    sx0, sy0, sx1, sy1 = x0 + m, top + m, x1 - m, bottom - m
    pcx, pcy = (sx0 + sx1) / 2 + w * 0.02, (sy0 + sy1) / 2
    ps = (sy1 - sy0) * 0.3
    return [
        # antenna
        ("line", "body", (cx, top + 2 * px, cx - w * 0.2, tip), w * 0.035),
        ("line", "body", (cx, top + 2 * px, cx + w * 0.2, tip), w * 0.035),
        ("ellipse", "body", (cx - w * 0.2 - r, tip - r, cx - w * 0.2 + r, tip + r)),
        ("ellipse", "body", (cx + w * 0.2 - r, tip - r, cx + w * 0.2 + r, tip + r)),
        # cabinet and feet
        ("rounded", "body", (x0, top, x1, bottom), w * 0.1),
        ("rounded", "body", (x0 + w * 0.18, bottom - 4 * px, x0 + w * 0.18 + fw, y1), w * 0.03),
        ("rounded", "body", (x1 - w * 0.18 - fw, bottom - 4 * px, x1 - w * 0.18, y1), w * 0.03),
        # screen, outlined in its own stroke colour
        ("screen", "screen", (sx0, sy0, sx1, sy1), w * 0.06, w * 0.015),
        # play mark
        ("polygon", "play",
         [(pcx - ps * 0.8, pcy - ps), (pcx - ps * 0.8, pcy + ps), (pcx + ps, pcy)]),
    ]


def draw_tv(d, box, body, screen, stroke, play):
    """A television set with antenna and a play mark, inside box (x0, y0, x1, y1)."""
    colours = {"body": body, "screen": screen, "play": play}
    for shape in tv_shapes(box):
        kind, colour, geometry = shape[0], colours[shape[1]], shape[2]
        if kind == "line":
            d.line(geometry, fill=colour, width=max(1, round(shape[3])))
        elif kind == "ellipse":
            d.ellipse(geometry, fill=colour)
        elif kind == "rounded":
            d.rounded_rectangle(geometry, radius=shape[3], fill=colour)
        elif kind == "screen":
            d.rounded_rectangle(geometry, radius=shape[3], fill=colour, outline=stroke,
                                width=max(1, round(shape[4])))
        else:
            d.polygon(geometry, fill=colour)


def signal_arcs(d, centre, radii, colour, width, start=-60, end=60):
    cx, cy = centre
    for r in radii:
        d.arc((cx - r, cy - r, cx + r, cy + r), start=start, end=end, fill=colour, width=width)


def shadowed_text(img, xy, text, face, fill, shadow=(0, 20, 60, 140), blur=2.5 * SS,
                  offset=(0, SS)):
    layer = Image.new("RGBA", img.size, (0, 0, 0, 0))
    ImageDraw.Draw(layer).text((xy[0] + offset[0], xy[1] + offset[1]), text, font=face,
                               fill=shadow)
    layer = layer.filter(ImageFilter.GaussianBlur(blur))
    img.alpha_composite(layer)
    ImageDraw.Draw(img).text(xy, text, font=face, fill=fill)


def finish(img, size):
    return img.convert("RGB").resize(size, Image.LANCZOS)


def loading_picture():
    W, H = 380 * SS, 250 * SS
    img = vertical_gradient((W, H), [(0, DEEP), (0.45, BLUE), (0.7, SKY), (1, SKY)]).convert(
        "RGBA")

    # soft studio lights in the sky band
    img.alpha_composite(radial_glow((W, H), (300 * SS, 20 * SS), 90 * SS, (120, 200, 255), 0.55))
    img.alpha_composite(radial_glow((W, H), (40 * SS, 120 * SS), 70 * SS, (90, 170, 250), 0.35))

    # broadcast rings behind the title, from a mast at the upper right
    rings = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    rd = ImageDraw.Draw(rings)
    signal_arcs(rd, (338 * SS, 62 * SS), [r * SS for r in (14, 26, 38, 50)],
                (255, 255, 255, 70), 3 * SS, start=-150, end=-30)
    rd.ellipse((334 * SS, 58 * SS, 342 * SS, 66 * SS), fill=(255, 255, 255, 150))
    rd.polygon([(338 * SS, 64 * SS), (330 * SS, 100 * SS), (346 * SS, 100 * SS)],
               fill=(255, 255, 255, 60))
    img.alpha_composite(rings)

    # the light paper below a gentle wave: the labels sit on it in black
    paper = vertical_gradient((W, H), [(0, PAPER_TOP), (0.55, PAPER_TOP), (1, PAPER_BOTTOM)])
    glow_edge = wave_mask((W, H), 150 * SS, 7 * SS, 0.6, 300 * SS)
    highlight = Image.new("RGBA", (W, H), (180, 225, 255, 0))
    highlight.putalpha(wave_mask((W, H), 145 * SS, 7 * SS, 0.9, 300 * SS).point(
        lambda v: v * 0.45))
    img.alpha_composite(highlight)
    img.paste(paper, (0, 0), glow_edge)

    # a thin bright line along the wave's crest; the layer is white throughout so that blurring
    # its alpha does not pull in a dark fringe
    line = Image.new("RGBA", (W, H), (255, 255, 255, 0))
    ld = ImageDraw.Draw(line)
    pts = [(x, 150 * SS + 7 * SS * math.sin((x / (300 * SS)) * 2 * math.pi + 0.6))
           for x in range(0, W + 1, 4)]
    ld.line(pts, fill=(255, 255, 255, 230), width=2 * SS)
    img.alpha_composite(line.filter(ImageFilter.GaussianBlur(SS * 0.6)))

    # title
    title = font(SANS_CJK, 34 * SS, "Noto Sans CJK SC")
    subtitle = font(SANS_CJK_REGULAR, 13 * SS, "Noto Sans CJK SC")
    shadowed_text(img, (22 * SS, 34 * SS), "Velmora网络电视", title, (255, 255, 255, 255))
    d = ImageDraw.Draw(img)
    d.text((24 * SS, 90 * SS), "精彩节目  尽在指尖", font=subtitle, fill=(205, 230, 255, 255))
    d.line((24 * SS, 84 * SS, 150 * SS, 84 * SS), fill=(255, 255, 255, 110), width=SS)

    # the set at the lower left, clear of the status lines
    tv = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    draw_tv(ImageDraw.Draw(tv), (44 * SS, 166 * SS, 126 * SS, 238 * SS),
            body=(28, 92, 178, 255), screen=(214, 236, 255, 255), stroke=(255, 255, 255, 255),
            play=(28, 92, 178, 255))
    shadow = Image.new("RGBA", (W, H), (10, 40, 90, 0))
    shadow.putalpha(tv.getchannel("A").point(lambda v: v * 0.35))
    shadow = ImageChops.offset(shadow, SS, 2 * SS).filter(ImageFilter.GaussianBlur(3 * SS))
    img.alpha_composite(shadow)
    img.alpha_composite(tv)

    # a fine rule above the status lines; the area of the lines themselves stays plain
    d = ImageDraw.Draw(img)
    d.line((158 * SS, 171 * SS, 356 * SS, 171 * SS), fill=(170, 198, 230, 255), width=SS)
    d.rectangle((0, 0, W - 1, H - 1), outline=(12, 52, 120, 255), width=SS)

    finish(img, (380, 250)).save(os.path.join(HERE, "loading.jpg"), quality=92, subsampling=0)


def about_picture():
    W, H = 176 * SS, 160 * SS
    img = vertical_gradient((W, H), [(0, (236, 244, 253)), (1, (200, 222, 245))]).convert("RGBA")
    img.alpha_composite(radial_glow((W, H), (88 * SS, 70 * SS), 70 * SS, (255, 255, 255), 0.9))

    rings = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    rd = ImageDraw.Draw(rings)
    signal_arcs(rd, (88 * SS, 70 * SS), [r * SS for r in (56, 68)], (60, 140, 220, 90),
                3 * SS, start=-160, end=-20)
    img.alpha_composite(rings)

    tv = Image.new("RGBA", (W, H), (0, 0, 0, 0))
    draw_tv(ImageDraw.Draw(tv), (44 * SS, 30 * SS, 132 * SS, 108 * SS), body=(24, 88, 176, 255),
            screen=(220, 239, 255, 255), stroke=(255, 255, 255, 255), play=(24, 88, 176, 255))
    shadow = Image.new("RGBA", (W, H), (10, 40, 90, 0))
    shadow.putalpha(tv.getchannel("A").point(lambda v: v * 0.35))
    shadow = ImageChops.offset(shadow, SS, 3 * SS).filter(ImageFilter.GaussianBlur(3 * SS))
    img.alpha_composite(shadow)
    img.alpha_composite(tv)

    d = ImageDraw.Draw(img)
    name = font(SANS_CJK, 17 * SS, "Noto Sans CJK SC")
    text = "Velmora"
    tw = d.textlength(text, font=name)
    d.text(((W - tw) / 2, 116 * SS), text, font=name, fill=(20, 70, 150, 255))
    small = font(SANS_CJK_REGULAR, 10 * SS, "Noto Sans CJK SC")
    text = "网络电视"
    tw = d.textlength(text, font=small)
    d.text(((W - tw) / 2, 139 * SS), text, font=small, fill=(70, 110, 170, 255))

    finish(img, (176, 160)).save(os.path.join(HERE, "about.jpg"), quality=92, subsampling=0)


def icon(size):
    S = 256 * SS
    img = Image.new("RGBA", (S, S), (0, 0, 0, 0))
    tile = vertical_gradient((S, S), [(0, ICON_TOP), (1, ICON_BOTTOM)]).convert("RGBA")
    mask = Image.new("L", (S, S), 0)
    ImageDraw.Draw(mask).rounded_rectangle((8 * SS, 8 * SS, 248 * SS, 248 * SS), radius=52 * SS,
                                           fill=255)
    img.paste(tile, (0, 0), mask)
    # a sheen across the upper half
    sheen = Image.new("L", (S, S), 0)
    ImageDraw.Draw(sheen).ellipse((-60 * SS, -170 * SS, 316 * SS, 120 * SS), fill=60)
    sheen = ImageChops.multiply(sheen, mask)
    white = Image.new("RGBA", (S, S), (255, 255, 255, 0))
    white.putalpha(sheen)
    img.alpha_composite(white)
    d = ImageDraw.Draw(img)
    draw_tv(d, (40 * SS, 38 * SS, 216 * SS, 214 * SS), body=(255, 255, 255, 255),
            screen=ICON_SCREEN + (255,), stroke=ICON_SCREEN + (255,), play=(255, 255, 255, 255))
    return img.resize((size, size), Image.LANCZOS)



def hex_colour(rgb):
    return "#%02x%02x%02x" % rgb[:3]


def icon_svg():
    """The window icon as SVG, from the same shapes as icon() in its 256-unit square."""
    f = lambda v: ("%.2f" % v).rstrip("0").rstrip(".")
    colours = {"body": "#ffffff", "screen": hex_colour(ICON_SCREEN), "play": "#ffffff"}
    out = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">',
        '  <defs>',
        '    <linearGradient id="tile" x1="0" y1="0" x2="0" y2="256" '
        'gradientUnits="userSpaceOnUse">',
        '      <stop offset="0" stop-color="%s"/>' % hex_colour(ICON_TOP),
        '      <stop offset="1" stop-color="%s"/>' % hex_colour(ICON_BOTTOM),
        '    </linearGradient>',
        '    <clipPath id="shape"><rect x="8" y="8" width="240" height="240" rx="52"/></clipPath>',
        '  </defs>',
        '  <rect x="8" y="8" width="240" height="240" rx="52" fill="url(#tile)"/>',
        # the sheen across the upper half
        '  <ellipse cx="128" cy="-25" rx="188" ry="145" fill="#ffffff" fill-opacity="%s" '
        'clip-path="url(#shape)"/>' % f(60 / 255),
    ]
    for shape in tv_shapes((40, 38, 216, 214), px=1 / SS):
        kind, colour, g = shape[0], colours[shape[1]], shape[2]
        if kind == "line":
            out.append('  <line x1="%s" y1="%s" x2="%s" y2="%s" stroke="%s" stroke-width="%s"/>'
                       % (f(g[0]), f(g[1]), f(g[2]), f(g[3]), colour, f(shape[3])))
        elif kind == "ellipse":
            out.append('  <ellipse cx="%s" cy="%s" rx="%s" ry="%s" fill="%s"/>'
                       % (f((g[0] + g[2]) / 2), f((g[1] + g[3]) / 2), f((g[2] - g[0]) / 2),
                          f((g[3] - g[1]) / 2), colour))
        elif kind in ("rounded", "screen"):
            out.append('  <rect x="%s" y="%s" width="%s" height="%s" rx="%s" fill="%s"/>'
                       % (f(g[0]), f(g[1]), f(g[2] - g[0]), f(g[3] - g[1]), f(shape[3]),
                          colour))
        else:
            out.append('  <polygon points="%s" fill="%s"/>'
                       % (" ".join("%s,%s" % (f(x), f(y)) for x, y in g), colour))
    out.append("</svg>")
    return "\n".join(out) + "\n"


if __name__ == "__main__":
    loading_picture()
    about_picture()
    # icon.png is the window's own (32 px); every size goes to the desktop's icon theme
    icon(32).save(os.path.join(HERE, "icon.png"))
    for size in (16, 48, 64, 128, 256):
        icon(size).save(os.path.join(HERE, "icon-%d.png" % size))
    with open(os.path.join(HERE, "icon.svg"), "w") as svg:
        svg.write(icon_svg())
