#!/usr/bin/env python3
# Writes the glTF reader's fuzz seeds (tests/fuzz/corpus/gltf): small valid files that reach
# every part of the reader. external.gltf names the buffer and texture the fuzz folder holds
# (gltf.bin, tex.png); the others carry everything inside.
#   python3 tools/media/make_gltf_seeds.py tests/fuzz/corpus/gltf
import base64
import json
import os
import struct
import sys
import zlib

out = sys.argv[1] if len(sys.argv) > 1 else "tests/fuzz/corpus/gltf"
os.makedirs(out, exist_ok=True)


def png(width, height, rgb):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    rows = b"".join(b"\0" + bytes(rgb[y * width * 3:(y + 1) * width * 3]) for y in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


class Buffer:
    def __init__(self):
        self.data = b""
        self.views = []
        self.accessors = []

    def view(self, data):
        self.data += b"\0" * (-len(self.data) % 4)
        self.views.append({"buffer": 0, "byteOffset": len(self.data), "byteLength": len(data)})
        self.data += data
        return len(self.views) - 1

    def accessor(self, fmt, values, component, kind, count, **extra):
        view = self.view(struct.pack("<%d%s" % (len(values), fmt), *values))
        accessor = {"bufferView": view, "componentType": component, "count": count, "type": kind}
        accessor.update(extra)
        self.accessors.append(accessor)
        return len(self.accessors) - 1

    def positions(self, values):
        xs, ys, zs = values[0::3], values[1::3], values[2::3]
        return self.accessor("f", values, 5126, "VEC3", len(values) // 3,
                             min=[min(xs), min(ys), min(zs)], max=[max(xs), max(ys), max(zs)])


def document(buffer, uri, **members):
    doc = {"asset": {"version": "2.0", "generator": "make_gltf_seeds.py"}}
    doc.update(members)
    doc["buffers"] = [{"byteLength": len(buffer.data + b"\0" * (-len(buffer.data) % 4))}]
    if uri is not None:
        doc["buffers"][0]["uri"] = uri
    doc["bufferViews"] = buffer.views
    doc["accessors"] = buffer.accessors
    return doc


def write_glb(path, doc, data):
    text = json.dumps(doc, separators=(",", ":")).encode()
    text += b" " * (-len(text) % 4)
    data += b"\0" * (-len(data) % 4)
    body = struct.pack("<I", len(text)) + b"JSON" + text + struct.pack("<I", len(data)) + b"BIN\0" + data
    with open(path, "wb") as file:
        file.write(b"glTF" + struct.pack("<II", 2, 12 + len(body)) + body)


# external.gltf: the fuzz folder's triangle buffer and texture, a node with all of T, R and S.
external = {
    "asset": {"version": "2.0", "generator": "make_gltf_seeds.py"},
    "scene": 0,
    "scenes": [{"nodes": [0]}],
    "nodes": [{"mesh": 0, "translation": [1, 2, 3], "rotation": [0, 0.7071068, 0, 0.7071068], "scale": [2, 2, 2]}],
    "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "NORMAL": 1, "TEXCOORD_0": 2}, "indices": 3,
                                "material": 0}]}],
    "materials": [{"name": "painted", "pbrMetallicRoughness": {
        "baseColorFactor": [1, 0.5, 0.25, 1], "metallicFactor": 0.5, "roughnessFactor": 0.25,
        "baseColorTexture": {"index": 0}, "metallicRoughnessTexture": {"index": 0}},
        "normalTexture": {"index": 0, "scale": 0.8}}],
    "textures": [{"source": 0}],
    "images": [{"uri": "tex.png"}],
    "buffers": [{"uri": "gltf.bin", "byteLength": 108}],
    "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36},
                    {"buffer": 0, "byteOffset": 36, "byteLength": 36},
                    {"buffer": 0, "byteOffset": 72, "byteLength": 24},
                    {"buffer": 0, "byteOffset": 96, "byteLength": 12}],
    "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3", "min": [0, 0, 0],
                   "max": [1, 1, 0]},
                  {"bufferView": 1, "componentType": 5126, "count": 3, "type": "VEC3"},
                  {"bufferView": 2, "componentType": 5126, "count": 3, "type": "VEC2"},
                  {"bufferView": 3, "componentType": 5125, "count": 3, "type": "SCALAR"}],
}
with open(os.path.join(out, "external.gltf"), "w") as file:
    json.dump(external, file, indent=1)

# modes.gltf: strips, fans, an unindexed list without normals, lines, normalized texture
# coordinates, a mirroring node, all in a data URI.
buffer = Buffer()
square = buffer.positions([0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0])
fan = buffer.positions([0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0])
up = buffer.accessor("f", [0, 0, 1] * 4, 5126, "VEC3", 4)
uv = buffer.accessor("H", [0, 0, 65535, 0, 0, 65535, 65535, 65535], 5123, "VEC2", 4, normalized=True)
short = buffer.accessor("H", [0, 1, 2, 0, 2, 3], 5123, "SCALAR", 6)
byte = buffer.accessor("B", [0, 1, 2, 3], 5121, "SCALAR", 4)
modes = document(
    buffer, None, scene=0, scenes=[{"nodes": [0]}],
    nodes=[{"children": [1, 2]}, {"mesh": 0},
           {"mesh": 0, "matrix": [-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1]}],
    meshes=[{"primitives": [
        {"attributes": {"POSITION": square, "NORMAL": up, "TEXCOORD_0": uv}, "mode": 5},
        {"attributes": {"POSITION": fan, "NORMAL": up}, "mode": 6},
        {"attributes": {"POSITION": fan, "NORMAL": up}, "indices": short},
        {"attributes": {"POSITION": fan}, "indices": byte, "mode": 5},
        {"attributes": {"POSITION": square}, "mode": 1}]}])
modes["buffers"][0]["uri"] = "data:application/octet-stream;base64," + base64.b64encode(
    buffer.data + b"\0" * (-len(buffer.data) % 4)).decode()
with open(os.path.join(out, "modes.gltf"), "w") as file:
    json.dump(modes, file, indent=1)

# embedded.glb: a textured quad with its PNG in a buffer view, two materials.
buffer = Buffer()
quad = buffer.positions([0, 0, 0, 2, 0, 0, 2, 2, 0, 0, 2, 0])
normals = buffer.accessor("f", [0, 0, 1] * 4, 5126, "VEC3", 4)
coordinates = buffer.accessor("f", [0, 1, 1, 1, 1, 0, 0, 0], 5126, "VEC2", 4)
first = buffer.accessor("I", [0, 1, 2], 5125, "SCALAR", 3)
second = buffer.accessor("I", [0, 2, 3], 5125, "SCALAR", 3)
picture = buffer.view(png(2, 2, [255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255]))
embedded = document(
    buffer, None, scene=0, scenes=[{"nodes": [0]}], nodes=[{"mesh": 0}],
    meshes=[{"primitives": [
        {"attributes": {"POSITION": quad, "NORMAL": normals, "TEXCOORD_0": coordinates}, "indices": first,
         "material": 0},
        {"attributes": {"POSITION": quad, "NORMAL": normals, "TEXCOORD_0": coordinates}, "indices": second,
         "material": 1}]}],
    materials=[{"pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}},
               {"pbrMetallicRoughness": {"baseColorFactor": [0.2, 0.4, 0.6, 1], "metallicFactor": 0}}],
    textures=[{"source": 0}], images=[{"bufferView": picture, "mimeType": "image/png"}])
write_glb(os.path.join(out, "embedded.glb"), embedded, buffer.data)
