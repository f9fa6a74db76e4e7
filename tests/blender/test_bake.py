"""Bakes equal the kestrin tool on the same poses; the corrective plays with no add-on code."""

import contextlib
import os
import stat

import bpy
import numpy as np
import pytest

import kestrin
from conftest import add_armature, evaluated, faces, grid, points, tool, write_obj


def _poses(scene, obj, frames):
    """The evaluated points at each frame, (P, N, 3) float32."""
    shot = []
    for frame in frames:
        scene.frame_set(frame)
        shot.append(points(evaluated(obj)))
    return np.stack(shot)


@contextlib.contextmanager
def _umask(mask):
    old = os.umask(mask)
    try:
        yield
    finally:
        os.umask(old)


def _mode(path):
    return stat.S_IMODE(os.stat(path).st_mode)


def _rigged_grid(scene, tmp_path):
    obj = grid()
    add_armature(obj)
    bpy.ops.kestrin.strainmark_add()
    write_obj(tmp_path / "rest.obj", points(obj.data), faces(obj.data))
    return obj


def test_baked_weights_equal_the_tools_and_settings_files_cross(scene, tmp_path):
    obj = _rigged_grid(scene, tmp_path)
    settings = obj.kestrin_strainmark
    settings.exponent, settings.squash_multiplier, settings.switch = 0.3, 0.65, True
    assert bpy.ops.kestrin.settings_save(filepath=str(tmp_path / "ours.json")) == {"FINISHED"}
    with _umask(0o027):
        assert bpy.ops.kestrin.bake_weights(filepath=str(tmp_path / "ours.npy"), frame_start=1, frame_end=3) == {"FINISHED"}
    assert scene.frame_current == 1 and _mode(tmp_path / "ours.npy") == 0o640
    kestrin.write_cache(tmp_path / "poses.pc2", _poses(scene, obj, [1, 2, 3]), start=1.0)
    tool("weights", "--rest", tmp_path / "rest.obj", "--pose", tmp_path / "poses.pc2",
         "--settings", tmp_path / "ours.json", "-o", tmp_path / "tool.npy")
    ours, theirs = np.load(tmp_path / "ours.npy"), np.load(tmp_path / "tool.npy")
    assert ours.dtype == np.dtype("<f4") and ours.shape == (3, len(obj.data.vertices))
    assert ours.tobytes() == theirs.tobytes()
    assert np.abs(ours[2]).max() > 0.05

    # A file the tool saved sets the panel, as typed there.
    tool("weights", "--rest", tmp_path / "rest.obj", "--pose", tmp_path / "poses.pc2", "--exponent", "0.45",
         "--only-positive", "--save-settings", tmp_path / "tool.json", "-o", tmp_path / "unused.npy")
    assert bpy.ops.kestrin.settings_load(filepath=str(tmp_path / "tool.json")) == {"FINISHED"}
    assert settings.exponent == np.float32(0.45) and settings.only_positive and not settings.switch
    # A channel no plug-in takes is refused as the operator's error, and a saved file mends it.
    settings.exponent = float("nan")
    with pytest.raises(RuntimeError, match="exponent: nan is not a finite number"):
        bpy.ops.kestrin.settings_save(filepath=str(tmp_path / "tool.json"))
    assert bpy.ops.kestrin.settings_load(filepath=str(tmp_path / "tool.json")) == {"FINISHED"}
    assert settings.exponent == np.float32(0.45)


@pytest.mark.parametrize("extension", [".pc2", ".mdd"])
def test_baked_corrective_equals_the_tools_morph_and_plays(scene, tmp_path, extension):
    obj = _rigged_grid(scene, tmp_path)
    rest = points(obj.data)
    lift = np.linspace(0.1, 0.6, len(rest), dtype=np.float32)[:, None]
    for name, shape in (("stretched", rest + lift * [0, 0, 1]), ("squashed", rest - lift * [0, 0.3, 1])):
        mesh = bpy.data.meshes.new(name)
        mesh.from_pydata(shape.tolist(), [], faces(obj.data))
        scene.collection.objects.link(bpy.data.objects.new(name, mesh))
        write_obj(tmp_path / f"{name}.obj", points(mesh), faces(mesh))
    influence = obj.vertex_groups.new(name="influence")
    share = np.linspace(0.0, 1.0, len(rest), dtype=np.float32)
    for index, weight in enumerate(share.tolist()):
        influence.add([index], weight, "REPLACE")
    (tmp_path / "map.csv").write_text("point,weight\n" + "".join(f"{i},{float(w)!r}\n" for i, w in enumerate(share)))
    bpy.context.view_layer.objects.active = obj
    frames = [2, 3]
    poses = _poses(scene, obj, frames)
    scene.frame_set(1)

    path = str(tmp_path / f"ours{extension}")
    with _umask(0o027):
        assert bpy.ops.kestrin.bake_corrective(
            filepath=path, stretch_target="stretched", squash_target="squashed", vertex_group="influence",
            frame_start=2, frame_end=3, exponent=0.3, post_multiplier=0.8) == {"FINISHED"}
    assert _mode(path) == 0o640

    kestrin.write_cache(tmp_path / "poses.pc2", poses, start=2.0)
    tool("morph", "--rest", tmp_path / "rest.obj", "--pose", tmp_path / "poses.pc2",
         "--stretch-target", tmp_path / "stretched.obj", "--squash-target", tmp_path / "squashed.obj",
         "--weight-map", tmp_path / "map.csv", "--exponent", "0.3", "--post-multiplier", "0.8",
         "-o", tmp_path / f"tool{extension}")
    ours, theirs = kestrin.read_cache(path), kestrin.read_cache(tmp_path / f"tool{extension}")
    np.testing.assert_array_equal(ours, theirs)
    assert np.abs(ours - poses).max() > 0.05

    # The modifier plays the cache: the evaluated mesh is the corrected one at each frame.
    for index, frame in enumerate(frames):
        scene.frame_set(frame)
        np.testing.assert_array_equal(points(evaluated(obj)), ours[index])
