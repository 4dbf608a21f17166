#!/usr/bin/env python3
"""Makes the viewer's HDR environments: a studio, an overcast sky and a low sun.

Each is an equirectangular picture of linear radiance written as a Radiance .hdr file with
run-length scanlines. The layout is the viewer's (viewer/environment_directions.h): y is up,
the picture's centre column looks along -z (behind a model seen from its front), +x lies a
quarter turn to the right of it, the top row looks straight up.

The light that should read as the main light (the studio's key box, the sun, the overcast
glow) is made much brighter than everything around it, since the viewer finds its main light
as the brightest spot.

usage: make_environments.py OUTPUT_FOLDER [--width W]
"""

import argparse
import math
import os
import sys

WIDTH = 512


def normalize(v):
    length = math.sqrt(sum(c * c for c in v))
    return tuple(c / length for c in v)


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def direction(u, v):
    """The direction of picture position (u, v), both 0..1, v = 0 at the top."""
    phi = (u - 0.5) * 2.0 * math.pi
    theta = v * math.pi
    s = math.sin(theta)
    return (s * math.sin(phi), math.cos(theta), -s * math.cos(phi))


def smoothstep(e0, e1, x):
    t = min(max((x - e0) / (e1 - e0), 0.0), 1.0)
    return t * t * (3.0 - 2.0 * t)


def scaled(c, k):
    return (c[0] * k, c[1] * k, c[2] * k)


def added(a, b):
    return (a[0] + b[0], a[1] + b[1], a[2] + b[2])


def mixed(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


class SoftBox:
    """A rectangular light seen from the centre, half extents given as tangents of the angles,
    its edges fading over `soft` of the extent."""

    def __init__(self, towards, half_width, half_height, radiance, soft=0.25):
        self.axis = normalize(towards)
        up = (0.0, 1.0, 0.0) if abs(self.axis[1]) < 0.95 else (0.0, 0.0, 1.0)
        self.right = normalize(cross(up, self.axis))
        self.up = cross(self.axis, self.right)
        self.half_width = half_width
        self.half_height = half_height
        self.radiance = radiance
        self.soft = soft

    def __call__(self, d):
        along = dot(d, self.axis)
        if along <= 0.0:
            return (0.0, 0.0, 0.0)
        a = abs(dot(d, self.right) / along) / self.half_width
        b = abs(dot(d, self.up) / along) / self.half_height
        k = (1.0 - smoothstep(1.0 - self.soft, 1.0, a)) * (1.0 - smoothstep(1.0 - self.soft, 1.0, b))
        return scaled(self.radiance, k)


def studio():
    # Key above, left of and in front of a model facing +z, as the viewer's own lights stand.
    boxes = [
        SoftBox((-0.55, 0.65, 0.55), 0.22, 0.16, (60.0, 58.0, 55.0)),
        SoftBox((0.85, 0.15, 0.45), 0.45, 0.35, (3.0, 3.1, 3.3)),
        SoftBox((0.25, 0.75, -0.65), 0.12, 0.45, (9.0, 9.0, 9.0)),
    ]

    def radiance(d):
        # Dark grey walls, a slightly lighter floor that meets them in a soft band.
        wall = mixed((0.045, 0.045, 0.05), (0.02, 0.02, 0.022), smoothstep(0.0, 1.0, d[1]))
        floor = (0.07, 0.068, 0.065)
        c = mixed(floor, wall, smoothstep(-0.15, 0.05, d[1]))
        for box in boxes:
            c = added(c, box(d))
        return c

    return radiance


def overcast():
    zenith = (1.2, 1.22, 1.28)
    ground = (0.22, 0.2, 0.17)
    glow_axis = normalize((-0.3, 0.9, 0.3))

    def radiance(d):
        # The dome brightens towards the zenith, three times its horizon there.
        sky = scaled(zenith, (1.0 + 2.0 * max(d[1], 0.0)) / 3.0)
        # Thin cloud over the sun: a broad glow a little off the zenith.
        angle = math.acos(min(1.0, dot(d, glow_axis)))
        sky = added(sky, scaled((11.0, 10.8, 10.2), math.exp(-(angle / 0.2) ** 2)))
        horizon_haze = scaled((0.5, 0.5, 0.5), math.exp(-(d[1] / 0.06) ** 2))
        return added(mixed(ground, sky, smoothstep(-0.04, 0.04, d[1])), horizon_haze)

    return radiance


SUN = normalize((-0.6, math.sin(math.radians(8.0)) * 1.0, 0.8))
SUN_RADIUS = math.radians(1.2)
SUN_RADIANCE = (5000.0, 4200.0, 3100.0)


def low_sun():
    zenith = (0.18, 0.32, 0.75)
    horizon = (1.3, 1.05, 0.8)
    ground = (0.16, 0.13, 0.1)

    def radiance(d):
        height = max(d[1], 0.0)
        sky = mixed(horizon, zenith, math.pow(height, 0.45))
        # The sky glows around the sun, warmer and brighter near it.
        angle = math.acos(min(1.0, max(-1.0, dot(d, SUN))))
        sky = added(sky, scaled((3.0, 2.0, 1.0), math.exp(-angle / 0.12)))
        sky = added(sky, scaled((0.6, 0.45, 0.3), math.exp(-angle / 0.6)))
        # The ground catches a little of the sun on the side facing it.
        lit_ground = added(ground, scaled((0.12, 0.08, 0.04), max(dot(normalize((d[0], 0.0, d[2] + 1e-9)), SUN), 0.0)))
        return mixed(lit_ground, sky, smoothstep(-0.02, 0.02, d[1]))

    return radiance


def sun_coverage(u0, v0, du, dv):
    """The fraction of a pixel that the sun disc covers, from 4 x 4 points in it."""
    inside = 0
    for i in range(4):
        for j in range(4):
            d = direction(u0 + (i + 0.5) / 4.0 * du, v0 + (j + 0.5) / 4.0 * dv)
            inside += dot(d, SUN) > math.cos(SUN_RADIUS)
    return inside / 16.0


def render(radiance, width, height, with_sun=False):
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            u = (x + 0.5) / width
            v = (y + 0.5) / height
            d = direction(u, v)
            c = radiance(d)
            if with_sun and dot(d, SUN) > math.cos(SUN_RADIUS + 2.0 * math.pi / width):
                k = sun_coverage(x / width, y / height, 1.0 / width, 1.0 / height)
                c = mixed(c, SUN_RADIANCE, k)
            row.append(c)
        rows.append(row)
    return rows


def rgbe(c):
    m = max(c)
    if m < 1e-32:
        return (0, 0, 0, 0)
    mantissa, exponent = math.frexp(m)
    k = mantissa * 256.0 / m
    return (min(255, int(c[0] * k)), min(255, int(c[1] * k)), min(255, int(c[2] * k)), exponent + 128)


def run_length(values):
    """One component of a scanline as runs: count > 128 repeats a byte count - 128 times,
    otherwise count literal bytes follow."""
    out = bytearray()
    i = 0
    n = len(values)
    while i < n:
        run = 1
        while i + run < n and run < 127 and values[i + run] == values[i]:
            run += 1
        if run >= 4:
            out += bytes((128 + run, values[i]))
            i += run
            continue
        start = i
        while i < n and i - start < 128:
            if i + 3 < n and values[i] == values[i + 1] == values[i + 2] == values[i + 3]:
                break
            i += 1
        out.append(i - start)
        out += bytes(values[start:i])
    return out


def write_hdr(path, rows):
    height = len(rows)
    width = len(rows[0])
    data = bytearray(b"#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n")
    data += ("-Y %d +X %d\n" % (height, width)).encode()
    for row in rows:
        pixels = [rgbe(c) for c in row]
        data += bytes((2, 2, width >> 8, width & 255))
        for component in range(4):
            data += run_length([p[component] for p in pixels])
    with open(path, "wb") as f:
        f.write(data)


ENVIRONMENTS = [
    ("studio.hdr", studio, False),
    ("overcast.hdr", overcast, False),
    ("low_sun.hdr", low_sun, True),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("folder", help="where the .hdr files go")
    parser.add_argument("--width", type=int, default=WIDTH, help="picture width (height is half), 8 to 32767")
    args = parser.parse_args()
    if args.width < 16 or args.width > 32767 or args.width % 2:
        sys.exit("make_environments: --width must be an even number from 16 to 32767")
    os.makedirs(args.folder, exist_ok=True)
    for name, make, with_sun in ENVIRONMENTS:
        path = os.path.join(args.folder, name)
        write_hdr(path, render(make(), args.width, args.width // 2, with_sun))
        print("%s: %d bytes" % (path, os.path.getsize(path)))


if __name__ == "__main__":
    main()
