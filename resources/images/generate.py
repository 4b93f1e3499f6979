#!/usr/bin/python3
"""Draws every PNG resource of the plug-in.

    /usr/bin/python3 resources/images/generate.py          write the PNGs beside this script
    /usr/bin/python3 resources/images/generate.py --check  exit 1 when a committed PNG differs

Everything is drawn flat with a few gradients, supersampled and reduced with an
area filter so edges are anti-aliased. Pictures are compared by pixels, not by
file bytes, so another zlib does not make the check fail.

The machine pictures are a top view: the media feeds along x (to the right),
the carriage runs along y. The preview draws the body at (0, 0), then the mat,
then the rail and the tool head at fixed positions per model, all under a
0.75 world transform; the sizes below are chosen so that the body, rail and
head line up with the mat rectangles the preview computes at 96 DPI.
"""
import os
import sys

from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))
SS = 8  # supersampling factor

ORANGE = (255, 100, 0)
ORANGE_DARK = (196, 77, 0)
SLATE = (43, 47, 54)
INK = (70, 76, 86)


def rgba(rgb, a=255):
    return (rgb[0], rgb[1], rgb[2], a)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


class Canvas:
    """A supersampled RGBA drawing in final-pixel coordinates."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.img = Image.new("RGBA", (w * SS, h * SS), (0, 0, 0, 0))

    def _box(self, x0, y0, x1, y1):
        return [x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1]

    def layer(self):
        return Image.new("RGBA", self.img.size, (0, 0, 0, 0))

    def paste(self, layer):
        self.img = Image.alpha_composite(self.img, layer)

    def rounded(self, x0, y0, x1, y1, r, fill=None, outline=None, width=1.0):
        lay = self.layer()
        ImageDraw.Draw(lay).rounded_rectangle(
            self._box(x0, y0, x1, y1), radius=r * SS, fill=fill, outline=outline,
            width=max(1, int(round(width * SS))))
        self.paste(lay)

    def ellipse(self, cx, cy, r, fill=None, outline=None, width=1.0):
        lay = self.layer()
        ImageDraw.Draw(lay).ellipse(
            [(cx - r) * SS, (cy - r) * SS, (cx + r) * SS - 1, (cy + r) * SS - 1],
            fill=fill, outline=outline, width=max(1, int(round(width * SS))))
        self.paste(lay)

    def polygon(self, points, fill):
        lay = self.layer()
        ImageDraw.Draw(lay).polygon([(x * SS, y * SS) for x, y in points], fill=fill)
        self.paste(lay)

    def line(self, points, fill, width):
        lay = self.layer()
        d = ImageDraw.Draw(lay)
        pts = [(x * SS, y * SS) for x, y in points]
        d.line(pts, fill=fill, width=int(round(width * SS)), joint="curve")
        r = width * SS / 2
        for x, y in (pts[0], pts[-1]):
            d.ellipse([x - r, y - r, x + r, y + r], fill=fill)
        self.paste(lay)

    def arc(self, cx, cy, r, start, end, fill, width):
        lay = self.layer()
        ImageDraw.Draw(lay).arc(
            [(cx - r) * SS, (cy - r) * SS, (cx + r) * SS, (cy + r) * SS], start, end,
            fill=fill, width=int(round(width * SS)))
        self.paste(lay)

    def gradient_rounded(self, x0, y0, x1, y1, r, top, bottom, vertical=True):
        """A rounded rectangle filled with a linear gradient (top/left to bottom/right)."""
        grad = self.layer()
        gd = ImageDraw.Draw(grad)
        if vertical:
            for py in range(int(y0 * SS), int(y1 * SS)):
                t = (py - y0 * SS) / max(1, (y1 - y0) * SS - 1)
                gd.line([(x0 * SS, py), (x1 * SS, py)], fill=mix(top, bottom, t))
        else:
            for px in range(int(x0 * SS), int(x1 * SS)):
                t = (px - x0 * SS) / max(1, (x1 - x0) * SS - 1)
                gd.line([(px, y0 * SS), (px, y1 * SS)], fill=mix(top, bottom, t))
        mask = Image.new("L", self.img.size, 0)
        ImageDraw.Draw(mask).rounded_rectangle(self._box(x0, y0, x1, y1), radius=r * SS, fill=255)
        lay = self.layer()
        lay.paste(grad, (0, 0), mask)
        self.paste(lay)

    def result(self):
        # Reduce premultiplied so transparent edges do not darken.
        small = self.img.convert("RGBa").resize((self.w, self.h), Image.BOX)
        return small.convert("RGBA")


# ---------------------------------------------------------------- machines
# Per model: body size, the mat's extent along y in body pixels (at 96 DPI and
# the preview scale 0.165 in/in), rail height, accent colour.
MODELS = {
    "sd": dict(body=(100, 238), mat_y=(48, 189), rail_h=156, accent=(74, 85, 99)),
    "cameo": dict(body=(110, 292), mat_y=(63, 266), rail_h=222, accent=(30, 136, 168)),
    "portrait": dict(body=(92, 246), mat_y=(53, 194), rail_h=160, accent=(194, 24, 91)),
}


def machine_body(model):
    spec = MODELS[model]
    w, h = spec["body"]
    top, bottom = spec["mat_y"]
    accent = spec["accent"]
    c = Canvas(w, h)
    # Housing: a long bar across the media with rounded ends.
    c.gradient_rounded(2, 2, w - 2, h - 2, 14, (250, 251, 252), (214, 218, 224), vertical=False)
    c.rounded(2, 2, w - 2, h - 2, 14, outline=rgba(INK), width=1.5)
    # Throat where the media passes under the housing, with the feed rollers.
    c.gradient_rounded(30, top - 4, w - 4, bottom + 4, 3, (176, 182, 190), (150, 157, 166), vertical=False)
    c.rounded(30, top - 4, w - 4, bottom + 4, 3, outline=rgba(INK, 200), width=1)
    for y in (top - 2, bottom - 8):
        c.rounded(40, y, 58, y + 10, 3, fill=rgba((60, 64, 72)))
        c.rounded(42, y + 2, 56, y + 4, 1, fill=rgba((150, 156, 164)))
    # Back cover along the left side.
    c.gradient_rounded(6, 8, 28, h - 8, 8, (236, 238, 241), (200, 205, 212), vertical=False)
    c.rounded(6, 8, 28, h - 8, 8, outline=rgba(INK, 150), width=1)
    # End caps with the model's accent panel; controls on the near one.
    cap_top = (top - 4 - 8) / 2 + 2
    c.rounded(34, 8, w - 8, top - 10, 6, fill=rgba(accent))
    c.rounded(34, 8, w - 8, (8 + top - 10) / 2, 6, fill=rgba((255, 255, 255), 40))
    c.ellipse(w - 18, cap_top + 2, 5, fill=rgba((245, 247, 250)), outline=rgba(SLATE), width=1)
    c.ellipse(w - 18, cap_top + 2, 2, fill=rgba(ORANGE))
    for i in range(3):
        c.rounded(40 + i * 8, cap_top, 45 + i * 8, cap_top + 5, 2, fill=rgba((235, 238, 242)))
    c.rounded(34, bottom + 10, w - 8, h - 8, 6, fill=rgba(accent))
    c.rounded(34, bottom + 10, w - 8, (bottom + 10 + h - 8) / 2, 6, fill=rgba((255, 255, 255), 40))
    c.line([(44, (bottom + h) / 2 + 1), (w - 20, (bottom + h) / 2 + 1)], rgba((255, 255, 255), 170), 2)
    return c.result()


def rail(model):
    h = MODELS[model]["rail_h"]
    w = 14
    c = Canvas(w, h)
    # A round steel bar: light along its axis, darker at the sides.
    c.gradient_rounded(3, 0, 11, h, 3, (112, 120, 131), (226, 230, 235), vertical=False)
    lay = c.layer()
    ImageDraw.Draw(lay).rectangle([7 * SS, 0, 11 * SS - 1, h * SS - 1], fill=rgba((90, 98, 110), 110))
    c.paste(lay)
    c.rounded(3, 0, 11, h, 3, outline=rgba(INK), width=1)
    # Mounting blocks at both ends.
    for y in (0, h - 8):
        c.rounded(0, y, w, y + 8, 2, fill=rgba(SLATE))
        c.rounded(2, y + 2, w - 2, y + 4, 1, fill=rgba((110, 118, 130)))
    return c.result()


def tool_head():
    w, h = 44, 28
    c = Canvas(w, h)
    c.rounded(1, 1, w - 1, h - 1, 6, fill=rgba(SLATE))
    c.gradient_rounded(2, 2, w - 2, h - 3, 5, (92, 100, 114), (58, 64, 74))
    c.rounded(2, 2, w - 2, 9, 4, fill=rgba((255, 255, 255), 36))
    # Tool holder with the blade tip.
    c.ellipse(22, 14, 8, fill=rgba((214, 219, 226)), outline=rgba((30, 33, 38)), width=1)
    c.ellipse(22, 14, 5, fill=rgba((150, 158, 168)))
    c.ellipse(22, 14, 2.2, fill=rgba(ORANGE))
    # Grip ridges on the outer parts.
    for x in (6, 9, 35, 38):
        c.rounded(x, 8, x + 1.5, 20, 0.7, fill=rgba((255, 255, 255), 70))
    return c.result()


# ---------------------------------------------------------------- controls
def badge(w=10):
    c = Canvas(w, w)
    c.ellipse(w / 2, w / 2, w / 2, fill=rgba(SLATE))
    return c


def help_icon():
    c = badge()
    white = rgba((255, 255, 255))
    c.arc(5, 3.9, 1.9, 180, 405, white, 1.25)
    c.line([(6.3, 5.3), (5.0, 6.1), (5.0, 6.5)], white, 1.25)
    c.ellipse(5.0, 8.1, 0.8, fill=white)
    return c.result()


def presets_icon():
    c = badge()
    white = rgba((255, 255, 255))
    # A wrench across the badge: handle bottom-left, open jaw top-right.
    c.line([(2.8, 7.2), (5.9, 4.1)], white, 1.5)
    c.ellipse(6.5, 3.5, 2.0, fill=white)
    c.polygon([(6.2, 3.8), (7.4, 1.6), (9.0, 3.2), (6.8, 4.4)], rgba(SLATE))
    return c.result()


def start_icon():
    c = Canvas(16, 16)
    c.ellipse(8, 8, 7.5, fill=rgba(ORANGE_DARK))
    c.ellipse(8, 8, 6.6, fill=rgba(ORANGE))
    c.ellipse(8, 6.2, 4.5, fill=rgba((255, 255, 255), 45))
    c.polygon([(6.2, 4.4), (11.6, 8.0), (6.2, 11.6)], rgba((255, 255, 255)))
    return c.result()


def stripes():
    """65 x 23 diagonal stripes; the 13-pixel period divides 65, so tiles join."""
    w, h, period = 65, 23, 13
    img = Image.new("RGBA", (w, h))
    light, dark = (255, 140, 64), (255, 100, 0)
    sub = 4
    for y in range(h):
        shade = 1.0 + 0.18 * (1 - y / (h - 1)) - 0.12 * (y / (h - 1))
        for x in range(w):
            on = 0
            for sy in range(sub):
                for sx in range(sub):
                    u = (x + (sx + 0.5) / sub + y + (sy + 0.5) / sub) % period
                    on += u < period / 2
            t = on / (sub * sub)
            base = mix(dark, light, t)
            col = tuple(max(0, min(255, int(round(v * shade)))) for v in base)
            img.putpixel((x, y), rgba(col))
    return img


PROGRESS_SIZE = (281, 20)


def progress_overlay():
    """Frame and gloss over the bar; the dialog multiplies it by the button face,
    so opaque white outside the rounded corners becomes the dialog's own face."""
    w, h = PROGRESS_SIZE
    c = Canvas(w, h)
    outside = c.layer()
    ImageDraw.Draw(outside).rectangle([0, 0, w * SS - 1, h * SS - 1], fill=(255, 255, 255, 255))
    hole = Image.new("L", outside.size, 0)
    ImageDraw.Draw(hole).rounded_rectangle([0, 0, w * SS - 1, h * SS - 1], radius=4 * SS, fill=255)
    outside.putalpha(Image.eval(hole, lambda v: 255 - v))
    c.paste(outside)
    gloss = c.layer()
    gd = ImageDraw.Draw(gloss)
    for py in range(1 * SS, (h // 2) * SS):
        t = (py - SS) / ((h // 2 - 1) * SS)
        gd.line([(SS, py), ((w - 1) * SS, py)], fill=(255, 255, 255, int(round(90 * (1 - t) + 15 * t))))
    for py in range((h - 3) * SS, (h - 1) * SS):
        gd.line([(SS, py), ((w - 1) * SS, py)], fill=(0, 0, 0, 30))
    mask = Image.new("L", gloss.size, 0)
    ImageDraw.Draw(mask).rounded_rectangle([SS, SS, (w - 1) * SS - 1, (h - 1) * SS - 1], radius=3 * SS, fill=255)
    clipped = c.layer()
    clipped.paste(gloss, (0, 0), mask)
    c.paste(clipped)
    c.rounded(0, 0, w, h, 4, outline=rgba((122, 122, 122)), width=1)
    return c.result()


def jog_arrow(direction):
    """24 x 24 arrow pointing up, then turned for the other directions."""
    c = Canvas(24, 24)
    c.polygon([(12, 2.5), (21.5, 12.5), (15.5, 12.5), (15.5, 21.5), (8.5, 21.5), (8.5, 12.5), (2.5, 12.5)],
              rgba(SLATE))
    c.polygon([(12, 5.5), (18, 11.5), (13.5, 11.5), (13.5, 20), (10.5, 20), (10.5, 11.5), (6, 11.5)],
              rgba((78, 86, 98)))
    c.polygon([(12, 5.5), (15, 8.5), (9, 8.5)], rgba(ORANGE))
    img = c.result()
    turns = {"up": None, "left": Image.ROTATE_90, "down": Image.ROTATE_180, "right": Image.ROTATE_270}
    return img.transpose(turns[direction]) if turns[direction] is not None else img


def depth_discs():
    """64 x 16: black, blue, yellow, red discs (sketch pen, then blade depths 1 to 3)."""
    c = Canvas(64, 16)
    colours = [(31, 31, 31), (21, 101, 192), (249, 200, 14), (211, 47, 47)]
    for i, col in enumerate(colours):
        cx = 8 + 16 * i
        c.ellipse(cx, 8, 7, fill=rgba(tuple(int(v * 0.7) for v in col)))
        c.ellipse(cx, 8, 6, fill=rgba(col))
        # Never pure white: the presets list takes white as its transparent colour.
        c.ellipse(cx - 2, 5.5, 2.2, fill=rgba((255, 255, 255), 110))
    return c.result()


IMAGES = {
    9000: ("tool_head.png", tool_head),
    9001: ("rail_sd.png", lambda: rail("sd")),
    9003: ("body_sd.png", lambda: machine_body("sd")),
    9005: ("presets_icon.png", presets_icon),
    9006: ("progress_overlay.png", progress_overlay),
    9007: ("help_icon.png", help_icon),
    9008: ("start_icon.png", start_icon),
    9010: ("stripes.png", stripes),
    9011: ("jog_down.png", lambda: jog_arrow("down")),
    9012: ("jog_left.png", lambda: jog_arrow("left")),
    9013: ("jog_right.png", lambda: jog_arrow("right")),
    9014: ("jog_up.png", lambda: jog_arrow("up")),
    9015: ("depth_discs.png", depth_discs),
    9021: ("rail_cameo.png", lambda: rail("cameo")),
    9022: ("body_cameo.png", lambda: machine_body("cameo")),
    9023: ("rail_portrait.png", lambda: rail("portrait")),
    9024: ("body_portrait.png", lambda: machine_body("portrait")),
}


def argb_digest(img):
    """FNV-1a 64 over every pixel as the bytes A, R, G, B: what a decoder must give."""
    h = 0xCBF29CE484222325
    for r, g, b, a in img.getdata():
        for byte in (a, r, g, b):
            h = ((h ^ byte) * 0x100000001B3) & 0xFFFFFFFFFFFFFFFF
    return h


def digests_header(images):
    lines = [
        "#pragma once",
        "// Written by generate.py: size and ARGB digest of every PNG resource, so a",
        "// test can prove the decoder gives back exactly the pixels that were drawn.",
        "#include <cstdint>",
        "",
        "namespace vantrel::images {",
        "",
        "struct ImageDigest {",
        "    int id;",
        "    unsigned width;",
        "    unsigned height;",
        "    std::uint64_t argbFnv1a;",
        "};",
        "",
        "inline constexpr ImageDigest Digests[] = {",
    ]
    for rid, img in images:
        lines.append("    {%d, %d, %d, 0x%016XULL}," % (rid, img.width, img.height, argb_digest(img)))
    lines += ["};", "", "}  // namespace vantrel::images", ""]
    return "\n".join(lines)


def main(argv):
    check = "--check" in argv
    stale = []
    drawn = []
    for rid, (name, draw) in sorted(IMAGES.items()):
        img = draw()
        drawn.append((rid, img))
        path = os.path.join(HERE, name)
        if check:
            try:
                with Image.open(path) as old:
                    same = old.mode == "RGBA" and old.size == img.size and old.tobytes() == img.tobytes()
            except OSError:
                same = False
            if not same:
                stale.append(name)
        else:
            img.save(path, optimize=True)
    header = digests_header(drawn)
    header_path = os.path.join(HERE, "image_digests.h")
    if check:
        try:
            with open(header_path) as f:
                if f.read() != header:
                    stale.append("image_digests.h")
        except OSError:
            stale.append("image_digests.h")
    else:
        with open(header_path, "w") as f:
            f.write(header)
    if stale:
        print("out of date (run resources/images/generate.py): " + ", ".join(stale))
        return 1
    print("%d images %s" % (len(IMAGES), "current" if check else "written"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
