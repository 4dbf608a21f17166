#!/usr/bin/python3
"""Writes the textures of the shipped looks (media/looks/*.json) into a folder.

look_rust.png / look_rust_NRM.png: flaking orange-brown iron rust and its normal map.
look_stone.png / look_stone_NRM.png: grey sandstone and its normal map.
look_moss.png: green moss.
look_wood.png / look_wood_grey.png: planks with their grain, new and silvered by the weather.

Plain Python (zlib writes the PNGs), so it runs where numpy is missing. Every field is periodic
value noise, so the textures tile; normal maps are tangent-space, +x along u, +y up the image,
stored as RGB = normal * 0.5 + 0.5. The output is the same on every run.
"""
import math
import os
import random
import struct
import sys
import zlib

SIZE = 256


def value_noise(seed, cells, octaves, stretch=(1, 1)):
    """Periodic fractal value noise on a SIZE x SIZE grid, normalised to [0, 1]; stretch
    multiplies the lattice along (x, y), so (1, 8) gives streaks along y."""
    rng = random.Random(seed)
    field = [0.0] * (SIZE * SIZE)
    amplitude = 1.0
    for octave in range(octaves):
        cx, cy = cells * stretch[0] << octave, cells * stretch[1] << octave
        lattice = [[rng.random() for _ in range(cx)] for _ in range(cy)]
        for y in range(SIZE):
            fy = y * cy / SIZE
            y0 = int(fy)
            ty = fy - y0
            ty = ty * ty * (3 - 2 * ty)
            row0, row1 = lattice[y0 % cy], lattice[(y0 + 1) % cy]
            base = y * SIZE
            for x in range(SIZE):
                fx = x * cx / SIZE
                x0 = int(fx)
                tx = fx - x0
                tx = tx * tx * (3 - 2 * tx)
                x1 = (x0 + 1) % cx
                top = row0[x0 % cx] + (row0[x1] - row0[x0 % cx]) * tx
                bottom = row1[x0 % cx] + (row1[x1] - row1[x0 % cx]) * tx
                field[base + x] += (top + (bottom - top) * ty) * amplitude
        amplitude *= 0.5
    low, high = min(field), max(field)
    return [(v - low) / (high - low) for v in field]


def smoothstep(edge0, edge1, x):
    t = min(max((x - edge0) / (edge1 - edge0), 0.0), 1.0)
    return t * t * (3 - 2 * t)


def mix(a, b, t):
    return tuple(p + (q - p) * t for p, q in zip(a, b))


def normal_map(height, strength):
    pixels = []
    for y in range(SIZE):
        for x in range(SIZE):
            du = (height[y * SIZE + (x + 1) % SIZE] - height[y * SIZE + (x - 1) % SIZE]) * 0.5
            dv = (height[((y - 1) % SIZE) * SIZE + x] - height[((y + 1) % SIZE) * SIZE + x]) * 0.5
            n = (-du * strength, -dv * strength, 1.0)
            length = math.sqrt(sum(c * c for c in n))
            pixels.append(tuple(c / length * 0.5 + 0.5 for c in n))
    return pixels


def write_png(path, pixels):
    rows = bytearray()
    for y in range(SIZE):
        rows.append(0)
        for r, g, b in pixels[y * SIZE:(y + 1) * SIZE]:
            rows += bytes(max(0, min(255, round(c * 255))) for c in (r, g, b))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0)) +
                  chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


def rust(folder):
    flakes = value_noise(11, 8, 5)
    grain = value_noise(12, 32, 3)
    dark, orange, ochre = (0.23, 0.09, 0.04), (0.60, 0.27, 0.09), (0.72, 0.45, 0.18)
    pixels = []
    for f, g in zip(flakes, grain):
        c = mix(dark, orange, smoothstep(0.2, 0.6, f))
        pixels.append(mix(c, ochre, smoothstep(0.7, 1.0, g) * 0.6))
    write_png(os.path.join(folder, "look_rust.png"), pixels)
    height = [f * 0.7 + g * 0.3 for f, g in zip(flakes, grain)]
    write_png(os.path.join(folder, "look_rust_NRM.png"), normal_map(height, 24.0))


def stone(folder):
    body = value_noise(21, 4, 6)
    speck = value_noise(22, 64, 1)
    pixels = [mix((0.46, 0.44, 0.40), (0.66, 0.63, 0.57), b * 0.8 + 0.2 * s) for b, s in zip(body, speck)]
    write_png(os.path.join(folder, "look_stone.png"), pixels)
    write_png(os.path.join(folder, "look_stone_NRM.png"), normal_map([b * 0.6 + s * 0.4 for b, s in zip(body, speck)], 16.0))


def moss(folder):
    clumps = value_noise(31, 16, 4)
    pixels = [mix((0.10, 0.18, 0.05), (0.33, 0.45, 0.12), smoothstep(0.25, 0.8, c)) for c in clumps]
    write_png(os.path.join(folder, "look_moss.png"), pixels)


def wood(folder):
    grain = value_noise(41, 2, 5, stretch=(12, 1))
    knots = value_noise(42, 4, 3)
    new, grey = [], []
    for y in range(SIZE):
        for x in range(SIZE):
            i = y * SIZE + x
            # Planks a quarter of the texture wide, a dark gap between them.
            gap = 0.55 if x % (SIZE // 4) < 2 else 1.0
            line = 0.5 + 0.5 * math.sin(grain[i] * 40.0 + knots[i] * 6.0)
            new.append(tuple(c * gap for c in mix((0.42, 0.26, 0.14), (0.62, 0.43, 0.26), line)))
            grey.append(tuple(c * gap for c in mix((0.40, 0.39, 0.37), (0.62, 0.61, 0.58), line)))
    write_png(os.path.join(folder, "look_wood.png"), new)
    write_png(os.path.join(folder, "look_wood_grey.png"), grey)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_look_textures.py MEDIA_FOLDER")
    folder = sys.argv[1]
    for make in (rust, stone, moss, wood):
        make(folder)


if __name__ == "__main__":
    main()
