#!/usr/bin/python3
"""Writes the unit UV sphere: radius 1, centred at the origin, y up.

The texture chart is the latitude-longitude rectangle: u runs once around the equator
(u = 0 and u = 1 meet at the seam on +x), v from 0 at the south pole to 1 at the north pole.
Each pole is a fan of triangles whose apex sits at the middle of its segment's u range, so no
two triangles share texels.
"""
import math
import sys

SEGMENTS = 64  # around the y axis
RINGS = 32     # from pole to pole


def main(out_path: str) -> None:
    lines = ["# Unit sphere, %d x %d segments, made by tools/media/make_sphere.py" % (SEGMENTS, RINGS),
             "mtllib sphere.mtl"]
    positions, uvs = [], []
    index = {}

    def vertex(ring: int, segment: float) -> int:
        key = (ring, segment)
        if key not in index:
            theta = math.pi * ring / RINGS  # 0 at the south pole
            phi = 2.0 * math.pi * segment / SEGMENTS
            y = -math.cos(theta)
            r = math.sin(theta)
            positions.append((r * math.cos(phi), y, -r * math.sin(phi)))
            uvs.append((segment / SEGMENTS, ring / RINGS))
            index[key] = len(positions)
        return index[key]

    faces = []
    for ring in range(RINGS):
        for segment in range(SEGMENTS):
            if ring == 0:
                apex = vertex(0, segment + 0.5)
                faces.append((apex, vertex(1, segment + 1), vertex(1, segment)))
            elif ring == RINGS - 1:
                apex = vertex(RINGS, segment + 0.5)
                faces.append((vertex(ring, segment), vertex(ring, segment + 1), apex))
            else:
                a, b = vertex(ring, segment), vertex(ring, segment + 1)
                c, d = vertex(ring + 1, segment + 1), vertex(ring + 1, segment)
                faces.append((a, b, c, d))
    # Counter-clockwise seen from outside: the second vertex lies further along u (towards -z from +x).
    for p in positions:
        lines.append("v %.6g %.6g %.6g" % p)
    for uv in uvs:
        lines.append("vt %.6g %.6g" % uv)
    for p in positions:
        length = math.sqrt(sum(c * c for c in p)) or 1.0
        lines.append("vn %.6g %.6g %.6g" % tuple(c / length for c in p))
    lines.append("usemtl sphere")
    for face in faces:
        lines.append("f " + " ".join("%d/%d/%d" % (i, i, i) for i in face))
    with open(out_path, "w") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(sys.argv[1])
