"""Renders the demo arm with its live tension as colour (docs/blender_arm.png), with Cycles.

BLENDER_USER_SCRIPTS=build/x64/python/blender blender -b --factory-startup \
    --python python/blender/render_demo_arm.py -- out/demo docs/blender_arm.png

The rest arm and its most bent pose from `kestrin demo` become a mesh with a
shape key; Add Tension Material colours it by the add-on's attribute: blue
squashed, white at rest, red stretched (saturated from a weight of 0.5).
"""

import os
import sys

import addon_utils
import bpy

addon_utils.enable("kestrin_tension", default_set=True, handle_error=None)
import kestrin  # noqa: E402

demo, output = sys.argv[sys.argv.index("--") + 1:][:2]
rest, faces = kestrin.read_mesh(os.path.join(demo, "arm_rest.obj"))
bent, _ = kestrin.read_mesh(os.path.join(demo, "arm_pose_0005.obj"))

for obj in list(bpy.data.objects):
    bpy.data.objects.remove(obj)
scene = bpy.context.scene
mesh = bpy.data.meshes.new("arm")
mesh.from_pydata(rest.tolist(), [], [list(map(int, f)) for f in faces])
for polygon in mesh.polygons:
    polygon.use_smooth = True
arm = bpy.data.objects.new("arm", mesh)
scene.collection.objects.link(arm)
bpy.context.view_layer.objects.active = arm
arm.shape_key_add(name="Basis")
key = arm.shape_key_add(name="bent")
key.data.foreach_set("co", bent.astype("float32").ravel())
key.value = 0.0
key.keyframe_insert("value", frame=1)
key.value = 1.0
key.keyframe_insert("value", frame=2)
bpy.ops.kestrin.strainmark_add()

# The material an artist gets from Add Tension Material (and its AOV).
bpy.ops.kestrin.material_add()

camera = bpy.data.objects.new("camera", bpy.data.cameras.new("camera"))
camera.data.type, camera.data.ortho_scale = "ORTHO", 9.5
camera.location = (3.0, -1.4, 14.0)
camera.rotation_euler = (0.25, 0.0, 0.0)
scene.collection.objects.link(camera)
scene.camera = camera
sun = bpy.data.objects.new("sun", bpy.data.lights.new("sun", "SUN"))
sun.data.energy = 3.0
sun.rotation_euler = (0.5, 0.3, 0.4)
scene.collection.objects.link(sun)
scene.world = bpy.data.worlds.new("world")
scene.world.color = (0.25, 0.25, 0.27)

scene.render.engine = "CYCLES"
scene.cycles.samples, scene.cycles.use_denoising = 32, False
scene.render.resolution_x, scene.render.resolution_y, scene.render.resolution_percentage = 640, 480, 100
scene.render.filepath = os.path.abspath(output)
scene.frame_set(2)
bpy.ops.render.render(write_still=True)
