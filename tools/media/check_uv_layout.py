#!/usr/bin/python3
"""Checks a model's texture atlas: every texture coordinate in [0, 1], and the share of
covered texels of a 1024 x 1024 raster that more than one triangle covers. With --preview,
also draws the atlas (overlapping texels in red) to a PNG.

usage: check_uv_layout.py MODEL.obj [--preview OUT.png]
"""
import sys

import numpy as np
from PIL import Image

SIZE = 1024


def read_uv_triangles(path):
    uvs, triangles = [], []
    with open(path) as lines:
        for line in lines:
            fields = line.split()
            if not fields:
                continue
            if fields[0] == "vt":
                uvs.append((float(fields[1]), float(fields[2])))
            elif fields[0] == "f":
                corners = [int(c.split("/")[1]) - 1 for c in fields[1:]]
                for k in range(1, len(corners) - 1):
                    triangles.append((corners[0], corners[k], corners[k + 1]))
    return np.array(uvs), triangles


def coverage(uvs, triangles):
    count = np.zeros((SIZE, SIZE), dtype=np.int32)
    for a, b, c in triangles:
        p = uvs[[a, b, c]] * SIZE
        lo = np.maximum(np.floor(p.min(axis=0)).astype(int), 0)
        hi = np.minimum(np.ceil(p.max(axis=0)).astype(int), SIZE - 1)
        xs, ys = np.meshgrid(np.arange(lo[0], hi[0] + 1) + 0.5, np.arange(lo[1], hi[1] + 1) + 0.5)

        def edge(p0, p1):
            return (p1[0] - p0[0]) * (ys - p0[1]) - (p1[1] - p0[1]) * (xs - p0[0])

        e0, e1, e2 = edge(p[0], p[1]), edge(p[1], p[2]), edge(p[2], p[0])
        inside = ((e0 > 0) & (e1 > 0) & (e2 > 0)) | ((e0 < 0) & (e1 < 0) & (e2 < 0))
        count[lo[1]:hi[1] + 1, lo[0]:hi[0] + 1] += inside
    return count


def main(path, preview=None):
    uvs, triangles = read_uv_triangles(path)
    in_range = bool(((uvs >= 0) & (uvs <= 1)).all())
    count = coverage(uvs, triangles)
    covered = int((count > 0).sum())
    overlapped = int((count > 1).sum())
    print("%s: %d triangles, uv in [0,1]: %s, covered %.1f%%, overlap %.3f%% of covered texels"
          % (path, len(triangles), in_range, 100.0 * covered / SIZE / SIZE, 100.0 * overlapped / max(covered, 1)))
    if preview:
        image = np.zeros((SIZE, SIZE, 3), dtype=np.uint8)
        image[count == 1] = (200, 200, 200)
        image[count > 1] = (255, 0, 0)
        Image.fromarray(image[::-1]).save(preview)
    return in_range and overlapped <= 0.005 * covered


if __name__ == "__main__":
    ok = main(sys.argv[1], sys.argv[3] if len(sys.argv) > 3 and sys.argv[2] == "--preview" else None)
    sys.exit(0 if ok else 1)
