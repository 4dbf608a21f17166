#!/usr/bin/python3
"""Turns an exported OBJ into a shipped model: a header naming its source, its own material
library and material, and positions, texture coordinates and normals at 6 significant digits.

usage: finish_obj.py IN.obj OUT.obj NAME "DESCRIPTION"
"""
import sys


def main(source, destination, name, description):
    out = ["# %s" % description, "# Made by tools/media/build_media.sh; do not edit by hand.",
           "mtllib %s.mtl" % name, "usemtl %s" % name]
    faces = []
    with open(source) as lines:
        for line in lines:
            fields = line.split()
            if not fields:
                continue
            if fields[0] in ("v", "vn"):
                out.append("%s %s" % (fields[0], " ".join("%.6g" % float(f) for f in fields[1:4])))
            elif fields[0] == "vt":
                out.append("vt %s" % " ".join("%.6g" % float(f) for f in fields[1:3]))
            elif fields[0] == "f":
                faces.append(line.strip())
    with open(destination, "w") as target:
        target.write("\n".join(out + faces) + "\n")


if __name__ == "__main__":
    main(*sys.argv[1:5])
