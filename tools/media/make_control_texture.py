#!/usr/bin/python3
"""Draws the GUI toolkit's built-in 256 x 256 RGBA control texture and writes the header that
holds its element rectangles, so the picture and the rectangles come from one table.

The toolkit tints every element per state (texture sample x state colour), so the elements are
drawn in white and greys, their shape carried by alpha. Each element sits in its own rectangle
with at least one fully transparent pixel around it, so linear filtering does not bleed one
element into another. The one exception is the edit box: its text area and eight border pieces
are drawn edge to edge on screen, so they form one contiguous block here too (a seam between them
would show), with the transparent gutter around the block.

Shapes are signed distance fields sampled 4 x 4 per pixel and box-filtered, composited with
premultiplied alpha; fully transparent pixels take the colour of their neighbours so filtering
at element edges does not pull in black. The output is the same on every run.

usage: make_control_texture.py [--png FILE] [--header FILE] [--preview FILE]
"""
import argparse
import os
import sys

import numpy as np
from PIL import Image

TEXTURE_SIZE = 256
SUPERSAMPLE = 4
EDIT_BORDER = 5        # the edit box's border thickness on screen
EDIT_CENTRE = 6        # the stretched middle of the edit box block

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))


class Canvas:
    """One element, painted at SUPERSAMPLE x its pixel size; coordinates are element pixels."""

    def __init__(self, width, height):
        self.width, self.height = width, height
        ys, xs = np.mgrid[0:height * SUPERSAMPLE, 0:width * SUPERSAMPLE]
        self.x = (xs + 0.5) / SUPERSAMPLE
        self.y = (ys + 0.5) / SUPERSAMPLE
        self.colour = np.zeros(self.x.shape)  # premultiplied grey
        self.alpha = np.zeros(self.x.shape)

    def paint(self, distance, grey, alpha=1.0):
        """Paints grey (a number or a per-sample array) where the signed distance is below 0."""
        cover = np.clip(0.5 - distance * SUPERSAMPLE, 0.0, 1.0) * alpha
        self.colour = grey * cover + self.colour * (1.0 - cover)
        self.alpha = cover + self.alpha * (1.0 - cover)

    def vertical(self, top, bottom):
        """A grey ramp from top (first row) to bottom (last row)."""
        t = np.clip(self.y / self.height, 0.0, 1.0)
        return top + (bottom - top) * t

    def rgba(self):
        """Box-filters the samples and returns straight-alpha float RGBA of the element's size."""
        shape = (self.height, SUPERSAMPLE, self.width, SUPERSAMPLE)
        colour = self.colour.reshape(shape).mean(axis=(1, 3))
        alpha = self.alpha.reshape(shape).mean(axis=(1, 3))
        grey = np.where(alpha > 0.0, colour / np.maximum(alpha, 1e-9), 1.0)
        return np.dstack([grey, grey, grey, alpha])


def rounded_box(c, left, top, right, bottom, radius, corners=(True, True, True, True)):
    """Signed distance to a rectangle whose corners (top-left, top-right, bottom-right,
    bottom-left) are rounded by radius where corners says so."""
    cx, cy = (left + right) / 2.0, (top + bottom) / 2.0
    hx, hy = (right - left) / 2.0, (bottom - top) / 2.0
    right_side, lower_side = c.x >= cx, c.y >= cy
    which = np.where(lower_side, np.where(right_side, 2, 3), np.where(right_side, 1, 0))
    r = np.choose(which, [radius if rounded else 0.0 for rounded in corners])
    qx = np.abs(c.x - cx) - (hx - r)
    qy = np.abs(c.y - cy) - (hy - r)
    outside = np.hypot(np.maximum(qx, 0.0), np.maximum(qy, 0.0))
    return outside + np.minimum(np.maximum(qx, qy), 0.0) - r


def disc(c, cx, cy, radius):
    return np.hypot(c.x - cx, c.y - cy) - radius


def stroke(c, points, width):
    """Signed distance to a polyline of the given width with round caps and joins."""
    best = np.full(c.x.shape, np.inf)
    for (ax, ay), (bx, by) in zip(points, points[1:]):
        dx, dy = bx - ax, by - ay
        t = np.clip(((c.x - ax) * dx + (c.y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0)
        best = np.minimum(best, np.hypot(c.x - ax - t * dx, c.y - ay - t * dy))
    return best - width / 2.0


def framed(c, left, top, right, bottom, radius, border_grey, fill_grey, corners=(True,) * 4,
           border_alpha=1.0, fill_alpha=1.0):
    """A rounded rectangle with a 1-pixel border."""
    c.paint(rounded_box(c, left, top, right, bottom, radius, corners), border_grey, border_alpha)
    inner = rounded_box(c, left + 1, top + 1, right - 1, bottom - 1, max(radius - 1, 0), corners)
    # Clear the inside first so a translucent fill is not laid over the opaque border colour.
    cover = np.clip(0.5 - inner * SUPERSAMPLE, 0.0, 1.0)
    c.colour *= 1.0 - cover
    c.alpha *= 1.0 - cover
    c.paint(inner, fill_grey, fill_alpha)


# Element drawings. Each takes a canvas of the element's size.

def button_face(c, corners=(True,) * 4, extend=(0, 0), shade=(0.80, 0.68)):
    """extend (left, right) pushes those sides, with their border, out of the element; shade
    is the grey of the face at its top and bottom."""
    left, right = -extend[0], c.width + extend[1]
    framed(c, left, 0, right, c.height, 4, 0.96, c.vertical(*shade), corners)
    # A faint highlight under the top edge gives the face a little body.
    c.paint(rounded_box(c, left + 1, 1, right - 1, 2, 0), 1.0, 0.45)


def button_fill(c):
    # White with a light top sheen; the state colour's alpha decides how strong it shows.
    c.paint(rounded_box(c, 0, 0, c.width, c.height, 4), 1.0, c.vertical(0.95, 0.70))


def combo_face(c):
    # Open on the right: the drop-down button sits against it and draws the divider.
    button_face(c, corners=(True, False, False, True), extend=(0, 2))


def combo_button(c):
    # Darker than the face so the white arrow stands out under any tint.
    button_face(c, corners=(False, True, True, False), extend=(2, 0), shade=(0.56, 0.48))
    c.paint(rounded_box(c, 0, 3, 1, c.height - 3, 0), 0.30, 0.9)  # divider from the face
    mid = c.width / 2.0 + 0.5
    arrow = [(mid - 4, c.height / 2 - 2), (mid, c.height / 2 + 2), (mid + 4, c.height / 2 - 2)]
    # A dark shadow keeps the arrow readable whatever the tint: tinting cannot lighten black.
    c.paint(stroke(c, [(x, y + 1) for x, y in arrow], 2.0), 0.0, 0.25)
    c.paint(stroke(c, arrow, 1.8), 1.0)


def check_box_box(c):
    framed(c, 3, 3, 19, 19, 3, 1.0, 1.0, border_alpha=0.90, fill_alpha=0.14)


def check_box_mark(c):
    c.paint(stroke(c, [(7.0, 11.2), (9.8, 14.0), (15.2, 8.2)], 2.0), 1.0)


def radio_button_box(c):
    c.paint(disc(c, 11, 11, 8), 1.0, 0.90)
    inner = disc(c, 11, 11, 7)
    cover = np.clip(0.5 - inner * SUPERSAMPLE, 0.0, 1.0)
    c.colour *= 1.0 - cover
    c.alpha *= 1.0 - cover
    c.paint(inner, 1.0, 0.14)


def radio_button_mark(c):
    c.paint(disc(c, 11, 11, 4), 1.0)


def drop_down(c):
    framed(c, 0, 0, c.width, c.height, 4, 1.0, 0.82)


def selection(c):
    c.paint(rounded_box(c, 0, 0, c.width, c.height, 3), 1.0)


def slider_track(c):
    mid = c.height / 2.0
    c.paint(rounded_box(c, 1, mid - 2, c.width - 1, mid + 2, 2), 1.0, 0.85)


def slider_thumb(c):
    c.paint(disc(c, 11, 11.6, 8), 0.0, 0.30)  # soft drop shadow; black stays black when tinted
    c.paint(disc(c, 11, 11, 7.5), 0.62)
    c.paint(disc(c, 11, 11, 6.5), c.vertical(1.0, 0.88))


def scroll_bar_track(c):
    mid = c.width / 2.0
    c.paint(rounded_box(c, mid - 3, 1, mid + 3, c.height - 1, 3), 1.0, 0.30)


def scroll_bar_thumb(c):
    mid = c.width / 2.0
    c.paint(rounded_box(c, mid - 3, 1, mid + 3, c.height - 1, 3), 1.0, 0.90)


def chevron(c, up):
    mid, tip, base = c.width / 2.0, 6.0, 10.0
    if not up:
        tip, base = c.height - tip, c.height - base
    c.paint(stroke(c, [(mid - 3.5, base), (mid, tip), (mid + 3.5, base)], 1.6), 1.0)


def edit_box(c):
    framed(c, 0, 0, c.width, c.height, 3, 0.58, 1.0)
    # A faint inner shadow under the top edge makes it read as a field to type into. It stays
    # inside the border pieces and is even along them, so stretching them does not smear it.
    c.paint(rounded_box(c, 1, 1, c.width - 1, 2, 0), 0.0, 0.08)


def caption(c):
    c.paint(rounded_box(c, 0, 0, c.width, c.height, 4, (True, True, False, False)),
            c.vertical(1.0, 0.86))
    c.paint(rounded_box(c, 1, 1, c.width - 1, 2, 0), 1.0, 0.6)


# The layout: name, (left, top, width, height), drawing. Rectangles are in texture pixels with
# right and bottom one past the last pixel.
ELEMENTS = [
    ("kButtonFace", (2, 2, 125, 22), button_face),
    ("kButtonFill", (129, 2, 125, 22), button_fill),
    ("kComboBoxFace", (2, 26, 118, 22), combo_face),
    ("kComboBoxButton", (122, 26, 22, 22), combo_button),
    ("kCheckBoxBox", (146, 26, 22, 22), check_box_box),
    ("kCheckBoxMark", (170, 26, 22, 22), check_box_mark),
    ("kRadioButtonBox", (194, 26, 22, 22), radio_button_box),
    ("kRadioButtonMark", (218, 26, 22, 22), radio_button_mark),
    ("kSliderTrack", (2, 50, 140, 22), slider_track),
    ("kSliderThumb", (144, 50, 22, 22), slider_thumb),
    ("kScrollBarUpArrow", (168, 50, 16, 16), lambda c: chevron(c, True)),
    ("kScrollBarDownArrow", (186, 50, 16, 16), lambda c: chevron(c, False)),
    ("kScrollBarTrack", (204, 50, 16, 32), scroll_bar_track),
    ("kScrollBarThumb", (222, 50, 16, 32), scroll_bar_thumb),
    ("kCaption", (2, 74, 170, 18), caption),
    ("kComboBoxDropDown", (2, 96, 140, 100), drop_down),
    ("kComboBoxSelection", (144, 96, 110, 18), selection),
]
EDIT_BOX_ORIGIN = (144, 116)  # top-left of the edit box block, EDIT_BORDER * 2 + EDIT_CENTRE square


def edit_box_pieces():
    """The nine edit box rectangles, cut from one block so they meet exactly."""
    b, m = EDIT_BORDER, EDIT_CENTRE
    x0, y0 = EDIT_BOX_ORIGIN
    xs, ys = (x0, x0 + b, x0 + b + m, x0 + 2 * b + m), (y0, y0 + b, y0 + b + m, y0 + 2 * b + m)

    def cell(column, row):
        return (xs[column], ys[row], xs[column + 1], ys[row + 1])

    return [
        ("kEditBoxText", cell(1, 1)),
        ("kEditBoxBorderTopLeft", cell(0, 0)),
        ("kEditBoxBorderTop", cell(1, 0)),
        ("kEditBoxBorderTopRight", cell(2, 0)),
        ("kEditBoxBorderLeft", cell(0, 1)),
        ("kEditBoxBorderRight", cell(2, 1)),
        ("kEditBoxBorderBottomLeft", cell(0, 2)),
        ("kEditBoxBorderBottom", cell(1, 2)),
        ("kEditBoxBorderBottomRight", cell(2, 2)),
    ]


def rectangles():
    """Every element's (left, top, right, bottom), in header order."""
    rects = [(name, (x, y, x + w, y + h)) for name, (x, y, w, h), _ in ELEMENTS]
    return rects + edit_box_pieces()


def check_layout():
    """Fails unless every rectangle is inside the texture (clear of its wrapping edges) and the
    islands (single elements, and the edit box block) keep one transparent pixel between them."""
    islands = [(x - 1, y - 1, x + w + 1, y + h + 1) for _, (x, y, w, h), _ in ELEMENTS]
    side = 2 * EDIT_BORDER + EDIT_CENTRE
    x0, y0 = EDIT_BOX_ORIGIN
    islands.append((x0 - 1, y0 - 1, x0 + side + 1, y0 + side + 1))
    for i, a in enumerate(islands):
        if a[0] < 0 or a[1] < 0 or a[2] > TEXTURE_SIZE or a[3] > TEXTURE_SIZE:
            sys.exit(f"make_control_texture: island {a} leaves no gutter at the texture edge")
        for b in islands[i + 1:]:
            # Gutters may share their pixels, the elements may not come within one of each other.
            if a[0] + 1 < b[2] - 1 and b[0] + 1 < a[2] - 1 and a[1] + 1 < b[3] - 1 and b[1] + 1 < a[3] - 1:
                sys.exit(f"make_control_texture: elements {a} and {b} overlap")
            if a[0] < b[2] - 1 and b[0] < a[2] - 1 and a[1] < b[3] - 1 and b[1] < a[3] - 1:
                sys.exit(f"make_control_texture: no transparent gutter between {a} and {b}")


def draw():
    texture = np.zeros((TEXTURE_SIZE, TEXTURE_SIZE, 4))
    texture[..., :3] = 1.0
    for _, (x, y, w, h), paint in ELEMENTS:
        canvas = Canvas(w, h)
        paint(canvas)
        texture[y:y + h, x:x + w] = canvas.rgba()
    side = 2 * EDIT_BORDER + EDIT_CENTRE
    canvas = Canvas(side, side)
    edit_box(canvas)
    x0, y0 = EDIT_BOX_ORIGIN
    texture[y0:y0 + side, x0:x0 + side] = canvas.rgba()
    pixels = np.clip(np.rint(texture * 255.0), 0, 255).astype(np.uint8)
    bleed_colour_into_transparent(pixels)
    return pixels


def bleed_colour_into_transparent(pixels):
    """Gives fully transparent pixels the average colour of their visible neighbours, so filtered
    edges keep the element's own colour."""
    visible = pixels[..., 3] > 0
    colour = pixels[..., :3].astype(np.float64)
    total = np.zeros_like(colour)
    count = np.zeros(visible.shape)
    padded_colour = np.pad(colour * visible[..., None], ((1, 1), (1, 1), (0, 0)))
    padded_visible = np.pad(visible.astype(np.float64), 1)
    for dy in (-1, 0, 1):
        for dx in (-1, 0, 1):
            window = (slice(1 + dy, 1 + dy + TEXTURE_SIZE), slice(1 + dx, 1 + dx + TEXTURE_SIZE))
            total += padded_colour[window]
            count += padded_visible[window]
    fill = ~visible & (count > 0)
    pixels[fill, :3] = np.rint(total[fill] / count[fill][:, None]).astype(np.uint8)


def write_header(path):
    width = max(len(name) for name, _ in rectangles())
    lines = [
        "// Generated by tools/media/make_control_texture.py together with media/ui_controls.png;",
        "// edit the script and run it again rather than changing this file.",
        "//",
        "// Where each element of the built-in control texture lies, in texture pixels, right and",
        "// bottom one past the last pixel. Every element has a fully transparent pixel around it so",
        "// linear filtering does not bleed, except that the edit box's text area and eight border",
        "// pieces form one block (they are drawn edge to edge) with the gutter around the block.",
        "#pragma once",
        "",
        "namespace Framework {",
        "",
        "struct TextureRect {",
        "  int left, top, right, bottom;",
        "};",
        "",
        f"inline constexpr int kControlTextureSize = {TEXTURE_SIZE};",
        f"inline constexpr int kEditBoxBorderWidth = {EDIT_BORDER};",
        "",
    ]
    for name, (left, top, right, bottom) in rectangles():
        lines.append(f"inline constexpr TextureRect {name + ' ':<{width + 1}}= "
                     f"{{{left}, {top}, {right}, {bottom}}};")
    lines += [
        "",
        "struct NamedTextureRect {",
        "  const char* name;",
        "  TextureRect rect;",
        "};",
        "",
        "inline constexpr NamedTextureRect kControlTextureElements[] = {",
    ]
    for name, _ in rectangles():
        lines.append(f'    {{"{name}", {name}}},')
    lines += ["};", "", "}  // namespace Framework", ""]
    with open(path, "w", encoding="utf-8") as header:
        header.write("\n".join(lines))


def write_preview(pixels, path):
    """A look at the texture in use: the texture 4 x on a checkerboard, and beside it a few
    controls tinted the way the toolkit tints them, on a dark panel."""
    rects = dict(rectangles())
    texture = pixels.astype(np.float64) / 255.0

    def crop(rect):
        left, top, right, bottom = rect
        return texture[top:bottom, left:right]

    def stretch(image, width, height):
        """Bilinear resampling with pixel centres mapped to pixel centres, like the GPU does."""
        h, w = image.shape[:2]
        sx = np.clip((np.arange(width) + 0.5) * w / width - 0.5, 0, w - 1)
        sy = np.clip((np.arange(height) + 0.5) * h / height - 0.5, 0, h - 1)
        x0, y0 = np.floor(sx).astype(int), np.floor(sy).astype(int)
        x1, y1 = np.minimum(x0 + 1, w - 1), np.minimum(y0 + 1, h - 1)
        fx, fy = (sx - x0)[None, :, None], (sy - y0)[:, None, None]
        top = image[y0][:, x0] * (1 - fx) + image[y0][:, x1] * fx
        bottom = image[y1][:, x0] * (1 - fx) + image[y1][:, x1] * fx
        return top * (1 - fy) + bottom * fy

    panel = np.zeros((400, 340, 3))
    panel[:] = 0.16

    def draw(name, x, y, width, height, argb):
        colour = np.array([(argb >> 16) & 255, (argb >> 8) & 255, argb & 255]) / 255.0
        alpha = ((argb >> 24) & 255) / 255.0
        sample = stretch(crop(rects[name]), width, height)
        a = sample[..., 3:4] * alpha
        region = panel[y:y + height, x:x + width]
        region[:] = sample[..., :3] * colour * a + region * (1 - a)

    def edit(x, y, width, height, argb):
        b = EDIT_BORDER
        draw("kEditBoxText", x + b, y + b, width - 2 * b, height - 2 * b, argb)
        draw("kEditBoxBorderTopLeft", x, y, b, b, argb)
        draw("kEditBoxBorderTop", x + b, y, width - 2 * b, b, argb)
        draw("kEditBoxBorderTopRight", x + width - b, y, b, b, argb)
        draw("kEditBoxBorderLeft", x, y + b, b, height - 2 * b, argb)
        draw("kEditBoxBorderRight", x + width - b, y + b, b, height - 2 * b, argb)
        draw("kEditBoxBorderBottomLeft", x, y + height - b, b, b, argb)
        draw("kEditBoxBorderBottom", x + b, y + height - b, width - 2 * b, b, argb)
        draw("kEditBoxBorderBottomRight", x + width - b, y + height - b, b, b, argb)

    draw("kCaption", 10, 6, 320, 18, 0xFF3C4A6E)
    y = 34
    for fill in (0x00FFFFFF, 0x30FFFFFF, 0x50000000):  # normal, mouse over, pressed
        draw("kButtonFace", 20, y, 125, 22, 0xFF5A5A5A)
        draw("kButtonFill", 20, y, 125, 22, fill)
        y += 26
    draw("kButtonFace", 20, y, 140, 32, 0xFF5A5A5A)
    draw("kButtonFill", 20, y, 140, 32, 0x20FFFFFF)
    y += 40
    edit(20, y, 200, 24, 0xFFFFFFFF)
    y += 30
    edit(20, y, 60, 24, 0xFFE0E0E0)
    y += 32
    draw("kSliderTrack", 20, y, 140, 22, 0xFF808080)
    draw("kSliderThumb", 20 + 70 - 11, y, 22, 22, 0xFFE6E6E6)
    y += 28
    draw("kComboBoxFace", 20, y, 118, 22, 0xFF5A5A5A)
    draw("kComboBoxButton", 138, y, 22, 22, 0xFF5A5A5A)
    draw("kComboBoxDropDown", 20, y + 24, 140, 100, 0xF0303030)
    draw("kComboBoxSelection", 23, y + 28, 118, 18, 0xFF28325C)
    draw("kScrollBarUpArrow", 141, y + 25, 16, 16, 0xFFC8C8C8)
    draw("kScrollBarTrack", 141, y + 41, 16, 66, 0xFFC8C8C8)
    draw("kScrollBarThumb", 141, y + 41, 16, 30, 0xFFE0E0E0)
    draw("kScrollBarDownArrow", 141, y + 107, 16, 16, 0xFFC8C8C8)
    for row, (box, mark) in enumerate((("kCheckBoxBox", "kCheckBoxMark"),
                                       ("kRadioButtonBox", "kRadioButtonMark"))):
        draw(box, 240, 40 + 30 * row, 22, 22, 0xFFFFFFFF)
        draw(mark, 240, 40 + 30 * row, 22, 22, 0xFFFFFFFF)
        draw(box, 270, 40 + 30 * row, 22, 22, 0xFFFFFFFF)

    checker = ((np.indices((TEXTURE_SIZE * 4, TEXTURE_SIZE * 4)) // 8).sum(axis=0) % 2)[..., None]
    background = np.where(checker == 1, 0.35, 0.25)
    enlarged = texture.repeat(4, axis=0).repeat(4, axis=1)
    enlarged = enlarged[..., :3] * enlarged[..., 3:4] + background * (1 - enlarged[..., 3:4])
    panel_big = panel.repeat(2, axis=0).repeat(2, axis=1)
    sheet = np.zeros((TEXTURE_SIZE * 4, TEXTURE_SIZE * 4 + panel_big.shape[1] + 16, 3))
    sheet[:] = 0.1
    sheet[:, :TEXTURE_SIZE * 4] = enlarged
    sheet[:panel_big.shape[0], TEXTURE_SIZE * 4 + 16:] = panel_big
    Image.fromarray(np.clip(np.rint(sheet * 255), 0, 255).astype(np.uint8), "RGB").save(path)
    Image.fromarray(np.clip(np.rint(panel * 255), 0, 255).astype(np.uint8), "RGB").save(
        os.path.splitext(path)[0] + "_1x.png")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--png", default=os.path.join(TOP, "media", "ui_controls.png"),
                        help="where to write the texture (default: media/ui_controls.png)")
    parser.add_argument("--header", default=os.path.join(TOP, "framework", "control_texture_layout.h"),
                        help="where to write the rectangles (default: framework/control_texture_layout.h)")
    parser.add_argument("--preview", help="also write a preview sheet (and a 1:1 panel beside it)")
    arguments = parser.parse_args()
    check_layout()
    pixels = draw()
    Image.fromarray(pixels, "RGBA").save(arguments.png, optimize=True)
    write_header(arguments.header)
    if arguments.preview:
        write_preview(pixels, arguments.preview)


if __name__ == "__main__":
    main()
