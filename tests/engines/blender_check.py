# Run by Blender (blender -b --factory-startup --python blender_check.py --
# MESH.glb TEXTURE.exr OUT.json): imports the mesh with Blender's glTF
# importer and loads the texture as an image, then, for every face corner,
# reads the texel its second UV map points at in the first frame. Writes
# the UV map names and, per corner, the vertex position and that texel's
# R, G, B; the C++ test compares them with the tool's weights.
import json
import sys

import bpy
import numpy

# Debian's Blender 3.4 glTF importer still uses numpy.bool, which NumPy 1.24
# removed; the alias it meant is the builtin.
if "bool" not in numpy.__dict__:
    numpy.bool = bool

mesh_path, texture_path, out_path = sys.argv[sys.argv.index("--") + 1:]
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.import_scene.gltf(filepath=mesh_path)
objects = [o for o in bpy.context.scene.objects if o.type == "MESH"]
mesh = objects[0].data
image = bpy.data.images.load(texture_path)
width, height = image.size
pixels = list(image.pixels)  # bottom row first, RGBA floats
channels = image.channels

texel_map = mesh.uv_layers[1]
loops = []
for loop in mesh.loops:
    u, v = texel_map.data[loop.index].uv
    column = int(u * width)
    row_from_bottom = int(v * height)  # Blender's v runs up, as its rows do
    at = (row_from_bottom * width + column) * channels
    co = objects[0].matrix_world @ mesh.vertices[loop.vertex_index].co
    loops.append({"co": list(co), "rgb": pixels[at:at + 3]})

with open(out_path, "w") as out:
    json.dump({"uvMaps": [layer.name for layer in mesh.uv_layers], "size": [width, height],
               "loops": loops}, out)
