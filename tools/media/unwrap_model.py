"""Blender script: imports a source mesh, scales it into a 2-unit box centred at the origin,
smooths its normals, gives it a fresh non-overlapping texture atlas and exports it as OBJ.

Run headless: blender -b --factory-startup --python unwrap_model.py -- SOURCE.obj OUT.obj [upside-down]

With "upside-down" the finished model is turned half a turn about the x axis (y and z change
sign) after it has been unwrapped, for a source that stands on its head.
"""
import math
import sys

import bpy
from mathutils import Vector

TARGET_SIZE = 2.0          # the largest side of the model's box, in units
CHART_ANGLE_LIMIT = 66.0   # degrees: faces bending more than this start a new chart
ISLAND_MARGIN = 0.006      # space between packed charts, as a share of the atlas (6 texels at 1024)


def main(source, destination, upside_down):
    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.ops.wm.obj_import(filepath=source, forward_axis='NEGATIVE_Z', up_axis='Y')
    meshes = [o for o in bpy.context.scene.objects if o.type == 'MESH']
    # A source file may carry other objects of its scene: the bust's holds a stray cube that
    # sits inside the head and pokes out through the face. The model is the largest mesh.
    model = max(meshes, key=lambda o: len(o.data.vertices))
    for o in meshes:
        if o is not model:
            print("unwrap_model: dropping stray object %s (%d vertices)" % (o.name, len(o.data.vertices)))
            bpy.data.objects.remove(o, do_unlink=True)
    meshes = [model]
    bpy.ops.object.select_all(action='DESELECT')
    for o in meshes:
        o.select_set(True)
    bpy.context.view_layer.objects.active = meshes[0]
    if len(meshes) > 1:
        bpy.ops.object.join()
    model = bpy.context.view_layer.objects.active
    bpy.ops.object.transform_apply(location=True, rotation=True, scale=True)

    mesh = model.data
    while mesh.uv_layers:  # the source's own texture coordinates mean nothing
        mesh.uv_layers.remove(mesh.uv_layers[0])
    for material_slot in list(model.material_slots):
        model.active_material_index = 0
        bpy.ops.object.material_slot_remove()

    corners = [v.co.copy() for v in mesh.vertices]
    low = Vector((min(c.x for c in corners), min(c.y for c in corners), min(c.z for c in corners)))
    high = Vector((max(c.x for c in corners), max(c.y for c in corners), max(c.z for c in corners)))
    scale = TARGET_SIZE / max(high - low)
    centre = (low + high) * 0.5
    for v in mesh.vertices:
        v.co = (v.co - centre) * scale

    bpy.ops.object.mode_set(mode='EDIT')
    bpy.ops.mesh.select_all(action='SELECT')
    bpy.ops.mesh.remove_doubles(threshold=1e-6)
    bpy.ops.mesh.normals_make_consistent(inside=False)
    bpy.ops.uv.smart_project(angle_limit=math.radians(CHART_ANGLE_LIMIT), island_margin=ISLAND_MARGIN,
                             area_weight=0.0, correct_aspect=True, scale_to_bounds=False)
    bpy.ops.uv.pack_islands(rotate=True, margin=ISLAND_MARGIN)
    bpy.ops.object.mode_set(mode='OBJECT')
    if upside_down:  # after unwrapping, so the atlas is the one the source's pose gives
        for v in mesh.vertices:
            v.co = Vector((v.co.x, -v.co.y, -v.co.z))
    bpy.ops.object.shade_smooth()

    bpy.ops.wm.obj_export(filepath=destination, export_selected_objects=True, export_uv=True,
                          export_normals=True, export_materials=False, export_triangulated_mesh=False,
                          forward_axis='NEGATIVE_Z', up_axis='Y', export_smooth_groups=False)


if __name__ == '__main__':
    arguments = sys.argv[sys.argv.index('--') + 1:]
    main(arguments[0], arguments[1], 'upside-down' in arguments[2:])
