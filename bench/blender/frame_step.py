"""What the add-on adds to a frame step beyond the plug-in's own call, in one Blender run.

blender -b --factory-startup --python frame_step.py  (BLENDER_USER_SCRIPTS: the build's add-on folder)

A 100,000-point grid (400 x 250) skinned to two bones, the second bending
over the frames, in a collection shown once more through a collection
instance, among 2,000 other objects that the add-on must not walk. Frame
steps are timed with the add-on's Strainmark off and on, in alternating
rounds; the plug-in's weight scan (Strainmark.weights on the same evaluated
points) is timed in the same run. The add-on's own work is the step's
increase less that scan: reading the points, the object's own layer,
writing and checking it, finding the enabled objects. Figures are medians.
"""

import os
import statistics
import sys
import time

import addon_utils
import bpy

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rigged_grid  # noqa: E402

addon_utils.enable("kestrin_tension", default_set=True, handle_error=None)
import kestrin  # noqa: E402  (the add-on's copy, on the path once it is enabled)
from kestrin_tension import layers, mesh_arrays  # noqa: E402

COLS, ROWS, FRAMES, ROUNDS, BYSTANDERS = 400, 250, 12, 5, 2000


def build_scene():
    for obj in list(bpy.data.objects):
        bpy.data.objects.remove(obj)
    obj, points = rigged_grid.grid(COLS, ROWS)
    scene = bpy.context.scene
    character = bpy.data.collections.new("character")
    scene.collection.children.link(character)
    character.objects.link(obj)
    shown_again = bpy.data.objects.new("shown again", None)
    shown_again.instance_type, shown_again.instance_collection = "COLLECTION", character
    scene.collection.objects.link(shown_again)
    small = bpy.data.meshes.new("small")
    small.from_pydata([(0, 0, 0), (1, 0, 0), (0, 1, 0)], [], [(0, 1, 2)])
    for index in range(BYSTANDERS):
        scene.collection.objects.link(bpy.data.objects.new(f"bystander {index}", small))
    rigged_grid.rig(scene, obj, points, FRAMES)
    return scene, obj


def step_times(scene):
    times = []
    for frame in range(2, FRAMES + 1):
        start = time.perf_counter()
        scene.frame_set(frame)
        times.append(time.perf_counter() - start)
    scene.frame_set(1)
    return times


def main():
    scene, obj = build_scene()
    bpy.ops.kestrin.strainmark_add()
    settings = obj.kestrin_strainmark
    off, on = [], []
    for _ in range(ROUNDS):
        settings.enabled = False
        off += step_times(scene)
        settings.enabled = True
        on += step_times(scene)

    # The plug-in's scan alone, and the add-on's steps, on the same evaluated points.
    depsgraph = bpy.context.evaluated_depsgraph_get()
    scene.frame_set(FRAMES)
    mesh = obj.evaluated_get(depsgraph).data
    rest = mesh_arrays.points(obj.data)
    tool = kestrin.Strainmark(rest, mesh_arrays.polygons(*mesh_arrays.faces(obj.data)))
    reads, scans, layered, writes = [], [], [], []
    posed = None
    for _ in range(ROUNDS * (FRAMES - 1)):
        t0 = time.perf_counter()
        posed = mesh_arrays.points(mesh, posed)
        t1 = time.perf_counter()
        weights = tool.weights(posed)
        t2 = time.perf_counter()
        layer = layers.fresh(mesh, "tension", "FLOAT", obj)
        t3 = time.perf_counter()
        layers.write(layer, weights)
        t4 = time.perf_counter()
        reads.append(t1 - t0), scans.append(t2 - t1), layered.append(t3 - t2), writes.append(t4 - t3)

    ms = lambda values: 1000 * statistics.median(values)  # noqa: E731
    added, scan = ms(on) - ms(off), ms(scans)
    own = added - scan
    print(f"\nKestrin Tension frame step, {len(rest):,} points, armature, {BYSTANDERS:,} other objects, "
          f"median of {len(on)} steps")
    print(f"  step with the add-on off          {ms(off):8.2f} ms")
    print(f"  step with the add-on on           {ms(on):8.2f} ms")
    print(f"  added by the add-on               {added:8.2f} ms")
    print(f"  Strainmark.weights alone          {scan:8.2f} ms")
    print(f"  the add-on's steps: read points {ms(reads):.2f} ms, own layer {ms(layered):.2f} ms, "
          f"write and check {ms(writes):.2f} ms")
    print(f"  the add-on's own work             {own:8.2f} ms = {own / scan:.3f} of the weights call "
          "(target: at most 0.10)")


main()
