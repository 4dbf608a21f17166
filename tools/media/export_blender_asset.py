# Builds a small textured asset in Blender and exports it as binary glTF, the way an artist's
# model reaches Patinex: base colour, metallic-roughness and normal textures, a node transform.
#   blender -b --factory-startup --python tools/media/export_blender_asset.py -- OUT.glb
import math
import sys

import bpy

out = sys.argv[sys.argv.index("--") + 1] if "--" in sys.argv else "tests/media/gltf/blender_suzanne.glb"
size = 128

bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.mesh.primitive_monkey_add(size=2.0, location=(0.0, 0.0, 0.0))
head = bpy.context.active_object
head.name = "Suzanne"
head.rotation_euler = (0.0, 0.0, math.radians(20.0))
bpy.ops.object.shade_smooth()
bpy.ops.object.mode_set(mode="EDIT")
bpy.ops.mesh.select_all(action="SELECT")
bpy.ops.uv.smart_project(angle_limit=math.radians(66.0), island_margin=0.02)
bpy.ops.object.mode_set(mode="OBJECT")


def make_image(name, colour_space, texel):
    image = bpy.data.images.new(name, width=size, height=size, alpha=False)
    image.colorspace_settings.name = colour_space
    pixels = []
    for y in range(size):
        for x in range(size):
            pixels.extend(texel(x / size, y / size))
    image.pixels = pixels
    image.file_format = "PNG"
    image.pack()
    return image


def base_colour(u, v):
    # Painted stripes in two warm tones with a thin dark grid: easy to tell where it shows.
    stripe = (int(u * 8) + int(v * 8)) % 2
    line = min(abs(u * 8 - round(u * 8)), abs(v * 8 - round(v * 8))) < 0.04
    r, g, b = (0.85, 0.35, 0.12) if stripe else (0.95, 0.8, 0.3)
    return (r * 0.2, g * 0.2, b * 0.2, 1.0) if line else (r, g, b, 1.0)


def metallic_roughness(u, v):
    # Green: roughness, blue: metallic; the stripes alternate painted metal and matte paint.
    stripe = (int(u * 8) + int(v * 8)) % 2
    return (0.0, 0.3 if stripe else 0.7, 1.0 if stripe else 0.0, 1.0)


def normal(u, v):
    # Shallow ripples along u in tangent space, +Y up.
    slope = 0.3 * math.sin(u * 2.0 * math.pi * 8.0)
    length = math.sqrt(slope * slope + 1.0)
    return (0.5 - 0.5 * slope / length, 0.5, 0.5 + 0.5 / length, 1.0)


material = bpy.data.materials.new("PaintedMetal")
material.use_nodes = True
nodes = material.node_tree.nodes
links = material.node_tree.links
shader = nodes["Principled BSDF"]

colour = nodes.new("ShaderNodeTexImage")
colour.image = make_image("base_colour", "sRGB", base_colour)
links.new(colour.outputs["Color"], shader.inputs["Base Color"])

packed = nodes.new("ShaderNodeTexImage")
packed.image = make_image("metallic_roughness", "Non-Color", metallic_roughness)
split = nodes.new("ShaderNodeSeparateColor")
links.new(packed.outputs["Color"], split.inputs["Color"])
links.new(split.outputs["Green"], shader.inputs["Roughness"])
links.new(split.outputs["Blue"], shader.inputs["Metallic"])

bumps = nodes.new("ShaderNodeTexImage")
bumps.image = make_image("normal", "Non-Color", normal)
normal_map = nodes.new("ShaderNodeNormalMap")
links.new(bumps.outputs["Color"], normal_map.inputs["Color"])
links.new(normal_map.outputs["Normal"], shader.inputs["Normal"])

head.data.materials.append(material)

bpy.ops.export_scene.gltf(
    filepath=out,
    export_format="GLB",
    export_texcoords=True,
    export_normals=True,
    export_tangents=True,
    export_materials="EXPORT",
    export_image_format="AUTO",
    export_yup=True,
    export_apply=True,
)
print("exported", out)
