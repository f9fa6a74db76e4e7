"""A command-line animation render (blender -b FILE -a) with Cycles shows each frame's attribute."""

import os
import subprocess

import bpy
import numpy as np

from conftest import add_shape_key, grid

WIDTH, HEIGHT = 20, 12


def _emission_of_tension(obj):
    """A material whose colour is (tension, -tension, 0), emitted: red stretched, green squashed."""
    material = bpy.data.materials.new("tension")
    material.use_nodes = True
    nodes, links = material.node_tree.nodes, material.node_tree.links
    nodes.clear()
    read = nodes.new("ShaderNodeAttribute")
    read.attribute_name = "tension"
    negate = nodes.new("ShaderNodeMath")
    negate.operation, negate.inputs[1].default_value = "MULTIPLY", -1.0
    combine = nodes.new("ShaderNodeCombineColor")
    emission = nodes.new("ShaderNodeEmission")
    output = nodes.new("ShaderNodeOutputMaterial")
    links.new(read.outputs["Fac"], negate.inputs[0])
    links.new(read.outputs["Fac"], combine.inputs["Red"])
    links.new(negate.outputs[0], combine.inputs["Green"])
    links.new(combine.outputs[0], emission.inputs["Color"])
    links.new(emission.outputs[0], output.inputs["Surface"])
    obj.data.materials.append(material)


def _camera_over_grid(scene):
    """Orthographic, looking down on the grid: pixel column c sees x = -1 + (c + 0.5) / 2."""
    camera = bpy.data.objects.new("camera", bpy.data.cameras.new("camera"))
    camera.data.type, camera.data.ortho_scale = "ORTHO", 10.0
    camera.location = (4.0, 2.5, 10.0)
    scene.collection.objects.link(camera)
    scene.camera = camera


def test_command_line_render_shows_each_frames_tension(scene, tmp_path):
    obj = grid()
    add_shape_key(obj, frame_on=2)
    bpy.ops.kestrin.strainmark_add()
    _emission_of_tension(obj)
    _camera_over_grid(scene)
    scene.render.engine = "CYCLES"
    scene.cycles.samples, scene.cycles.use_denoising = 1, False
    scene.render.resolution_x, scene.render.resolution_y, scene.render.resolution_percentage = WIDTH, HEIGHT, 100
    scene.render.image_settings.file_format = "OPEN_EXR"
    scene.render.filepath = str(tmp_path / "frame_")
    scene.frame_start, scene.frame_end = 1, 2
    blend = str(tmp_path / "shot.blend")
    bpy.ops.wm.save_as_mainfile(filepath=blend, copy=True)

    run = subprocess.run([os.environ["KESTRIN_BLENDER"], "-b", "--factory-startup", blend,
                          "--addons", "kestrin_tension", "-a"], capture_output=True, text=True, timeout=300)
    assert run.returncode == 0, run.stdout + run.stderr
    assert "Kestrin Tension" not in run.stderr, run.stderr

    def pixel(frame, column, row=6):
        image = bpy.data.images.load(str(tmp_path / f"frame_{frame:04d}.exr"))
        pixels = np.array(image.pixels[:], np.float32).reshape(HEIGHT, WIDTH, 4)
        return pixels[row, column, :2]

    stretched, squashed = 4, 14  # x = 1.25 (left half, stretched) and x = 7.25 (right half, squashed)
    for column in (stretched, squashed):
        assert np.abs(pixel(1, column)).max() < 1e-6  # frame 1 is the rest: no tension
    red, green = pixel(2, stretched)
    assert red > 0.02 and green < 0
    red, green = pixel(2, squashed)
    assert green > 0.02 and red < 0
