#!/usr/bin/python3
"""Writes the material textures and the splat image.

tex_base.jpg / tex_base_NRM.jpg: brushed bronze and its normal map.
tex_patina.jpg / tex_patina_NRM.jpg: verdigris crusted with rust, and its normal map.
SPLAT.png: a 64 x 64 white splat whose alpha falls smoothly to 0 at radius 32.

Every field is made by spectral synthesis on a periodic grid, so the textures tile. Normal
maps are tangent-space, +x along u (to the right), +y along v (up the image), z out of the
surface, stored as RGB = normal * 0.5 + 0.5. The output is the same on every run.
"""
import os
import sys

import numpy as np
from PIL import Image

SIZE = 1024


def spectral_noise(rng, size, exponent, stretch=(1.0, 1.0)):
    """Periodic noise whose power falls as frequency^-exponent; stretch scales the frequency
    axes (x, y), so a large y stretch gives streaks running along x. Normalised to [0, 1]."""
    fy = np.fft.fftfreq(size)[:, None] * stretch[1]
    fx = np.fft.fftfreq(size)[None, :] * stretch[0]
    frequency = np.sqrt(fx * fx + fy * fy)
    frequency[0, 0] = 1.0
    amplitude = frequency ** (-exponent / 2.0)
    amplitude[0, 0] = 0.0
    phases = np.exp(2j * np.pi * rng.random((size, size)))
    field = np.real(np.fft.ifft2(amplitude * phases))
    field -= field.min()
    return field / field.max()


def normal_map(height, strength):
    """Tangent-space normals of a periodic height field (row 0 is the top of the image)."""
    du = (np.roll(height, -1, axis=1) - np.roll(height, 1, axis=1)) * 0.5
    dv = (np.roll(height, 1, axis=0) - np.roll(height, -1, axis=0)) * 0.5  # v grows upwards
    n = np.stack([-du * strength, -dv * strength, np.ones_like(height)], axis=-1)
    n /= np.linalg.norm(n, axis=-1, keepdims=True)
    return to_bytes(n * 0.5 + 0.5)


def to_bytes(rgb):
    return np.clip(np.rint(rgb * 255.0), 0, 255).astype(np.uint8)


def mix(a, b, t):
    t = t[..., None]
    return a * (1.0 - t) + b * t


def smoothstep(edge0, edge1, x):
    t = np.clip((x - edge0) / (edge1 - edge0), 0.0, 1.0)
    return t * t * (3.0 - 2.0 * t)


def brushed_bronze(rng):
    streaks = spectral_noise(rng, SIZE, 1.2, stretch=(40.0, 1.0))
    fine = spectral_noise(rng, SIZE, 0.6, stretch=(60.0, 1.0))
    blotches = spectral_noise(rng, SIZE, 3.0)
    dark = np.array([0.42, 0.27, 0.12])
    light = np.array([0.78, 0.56, 0.30])
    tone = 0.45 * streaks + 0.25 * fine + 0.30 * blotches
    colour = mix(dark, light, tone)
    height = 0.7 * streaks + 0.3 * fine
    return to_bytes(colour), normal_map(height, 6.0)


def verdigris_and_rust(rng):
    coverage = spectral_noise(rng, SIZE, 2.6)
    crust = spectral_noise(rng, SIZE, 1.8)
    grain = spectral_noise(rng, SIZE, 0.8)
    rust_patches = spectral_noise(rng, SIZE, 2.2)
    verdigris_dark = np.array([0.18, 0.42, 0.36])
    verdigris_light = np.array([0.45, 0.72, 0.62])
    rust_dark = np.array([0.30, 0.12, 0.05])
    rust_light = np.array([0.62, 0.30, 0.10])
    green = mix(verdigris_dark, verdigris_light, 0.6 * crust + 0.4 * grain)
    rust = mix(rust_dark, rust_light, 0.5 * crust + 0.5 * grain)
    rust_amount = smoothstep(0.55, 0.75, 0.7 * rust_patches + 0.3 * coverage)
    colour = mix(green, rust, rust_amount)
    # Pits: darker where the crust is lowest.
    colour *= (0.75 + 0.25 * smoothstep(0.15, 0.45, crust))[..., None]
    height = 0.5 * crust + 0.3 * grain + 0.2 * coverage
    return to_bytes(colour), normal_map(height, 10.0)


def splat():
    size = 64
    centre = (size - 1) / 2.0
    y, x = np.mgrid[0:size, 0:size]
    r = np.sqrt((x - centre) ** 2 + (y - centre) ** 2) / (size / 2.0)
    alpha = np.where(r < 1.0, (1.0 - np.minimum(r, 1.0) ** 2) ** 2, 0.0)
    rgba = np.zeros((size, size, 4), dtype=np.uint8)
    rgba[..., :3] = 255
    rgba[..., 3] = np.clip(np.rint(alpha * 255.0), 0, 255).astype(np.uint8)
    return rgba


def main(out_dir):
    rng = np.random.default_rng(20261208)
    base, base_normal = brushed_bronze(rng)
    patina, patina_normal = verdigris_and_rust(rng)
    for name, pixels in (("tex_base.jpg", base), ("tex_base_NRM.jpg", base_normal),
                         ("tex_patina.jpg", patina), ("tex_patina_NRM.jpg", patina_normal)):
        Image.fromarray(pixels, "RGB").save(os.path.join(out_dir, name), quality=92, subsampling=0)
    Image.fromarray(splat(), "RGBA").save(os.path.join(out_dir, "SPLAT.png"), optimize=True)


if __name__ == "__main__":
    main(sys.argv[1])
