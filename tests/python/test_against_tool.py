"""The module gives the kestrin tool's results, bit for bit, on the same files."""

import json

import numpy as np
import pytest

import kestrin
from conftest import bent_poses, grid, read_obj_points, read_weight_csv, targets, tool_options, write_obj

WEIGHT_SETTINGS = [
    {},
    {"exponent": 0.35, "clamp": False},
    {"pre_multiplier": 0.7, "post_multiplier": 0.4, "only_positive": True},
    {"stretch_multiplier": 0.3, "squash_multiplier": 0.8, "switch": True},
]


@pytest.fixture
def files(tmp_path):
    rest, faces = grid()
    stretch, squash = targets(rest)
    names = {"rest": write_obj(tmp_path / "rest.obj", rest, faces),
             "stretch": write_obj(tmp_path / "stretch.obj", stretch, faces),
             "squash": write_obj(tmp_path / "squash.obj", squash, faces),
             "poses": [write_obj(tmp_path / f"pose{i}.obj", pose, faces) for i, pose in enumerate(bent_poses(rest))]}
    return names


def read_poses(files):
    return np.stack([kestrin.read_mesh(path)[0] for path in files["poses"]])


@pytest.mark.parametrize("settings", WEIGHT_SETTINGS, ids=str)
def test_weights_equal_the_tools(files, run_tool, tmp_path, settings):
    pose_args = [arg for path in files["poses"] for arg in ("--pose", path)]
    run_tool("weights", "--rest", files["rest"], *pose_args, "-o", tmp_path / "w.csv", *tool_options(settings))
    # pose0.obj, pose1.obj...: numbered outputs carry the names' numbers.
    expected = np.stack([read_weight_csv(tmp_path / f"w_{i:04d}.csv") for i in range(len(files["poses"]))])

    rest, faces = kestrin.read_mesh(files["rest"])
    assert isinstance(faces, list)  # quads and triangles
    ours = kestrin.weights(rest, faces, read_poses(files), **settings)
    assert ours.dtype == np.float32
    np.testing.assert_array_equal(ours, expected)
    assert np.count_nonzero(expected) > expected.size // 2  # the poses do stretch or squash


@pytest.mark.parametrize("settings", [{}, {"exponent": 0.1, "stretch_multiplier": 0.7}], ids=str)
@pytest.mark.parametrize("mapped", [False, True], ids=["no map", "weight map"])
def test_corrected_positions_equal_the_tools(files, run_tool, tmp_path, settings, mapped):
    rest, faces = kestrin.read_mesh(files["rest"])
    # Eighths: exact in the CSV text and in float32.
    weight_map = (np.arange(rest.shape[0]) % 9) / 8.0 if mapped else None
    map_args = []
    if mapped:
        (tmp_path / "map.csv").write_text("point,weight\n" + "".join(f"{i},{w}\n" for i, w in enumerate(weight_map)))
        map_args = ["--weight-map", tmp_path / "map.csv"]
    pose_args = [arg for path in files["poses"] for arg in ("--pose", path)]
    run_tool("morph", "--rest", files["rest"], *pose_args, "--stretch-target", files["stretch"],
             "--squash-target", files["squash"], *map_args, "-o", tmp_path / "out.obj", *tool_options(settings))

    fx = kestrin.Strainshaper(rest, faces, stretch_target=kestrin.read_mesh(files["stretch"])[0],
                              squash_target=kestrin.read_mesh(files["squash"])[0], weight_map=weight_map,
                              **settings)
    with fx:
        ours = fx.displace(read_poses(files))
    for i in range(len(files["poses"])):
        np.testing.assert_array_equal(ours[i], read_obj_points(tmp_path / f"out_{i:04d}.obj"))
    assert not np.array_equal(ours, read_poses(files))  # the effect moved points


def test_weight_settings_round_trip_between_tool_and_module(files, run_tool, tmp_path):
    # Tool -> module: the file the tool saved gives the module the same settings and weights.
    settings = {"exponent": 0.45, "pre_multiplier": 0.6, "clamp": False, "switch": True}
    run_tool("weights", "--rest", files["rest"], "--pose", files["poses"][3], "-o", tmp_path / "a.csv",
             "--save-settings", tmp_path / "tool.json", *tool_options(settings))
    rest, faces = kestrin.read_mesh(files["rest"])
    with kestrin.Strainmark(rest, faces) as tool:
        tool.load_settings(tmp_path / "tool.json")
        assert (tool.exponent, tool.pre_multiplier, tool.clamp, tool.switch) == (0.45, 0.6, False, True)
        pose = kestrin.read_mesh(files["poses"][3])[0]
        np.testing.assert_array_equal(tool.weights(pose), read_weight_csv(tmp_path / "a.csv"))
        tool.save_settings(tmp_path / "module.json")
        assert json.loads((tmp_path / "module.json").read_text()) == json.loads((tmp_path / "tool.json").read_text())

        # Module -> tool: settings changed here and saved drive the tool the same way.
        tool.exponent, tool.post_multiplier, tool.only_positive = 0.15, 0.65, True
        tool.save_settings(tmp_path / "changed.json")
        ours = tool.weights(pose)
    run_tool("weights", "--rest", files["rest"], "--pose", files["poses"][3], "-o", tmp_path / "b.csv",
             "--settings", tmp_path / "changed.json")
    np.testing.assert_array_equal(ours, read_weight_csv(tmp_path / "b.csv"))


def test_effect_settings_round_trip_between_tool_and_module(files, run_tool, tmp_path):
    args = ["--rest", files["rest"], "--pose", files["poses"][3], "--stretch-target", files["stretch"],
            "--squash-target", files["squash"]]
    run_tool("morph", *args, "-o", tmp_path / "a.obj", "--save-settings", tmp_path / "tool.json",
             "--exponent", "0.05", "--squash-multiplier", "0.9")
    rest, faces = kestrin.read_mesh(files["rest"])
    pose = kestrin.read_mesh(files["poses"][3])[0]
    with kestrin.Strainshaper(rest, faces, kestrin.read_mesh(files["stretch"])[0],
                              kestrin.read_mesh(files["squash"])[0]) as fx:
        fx.load_settings(tmp_path / "tool.json")
        assert (fx.exponent, fx.squash_multiplier) == (0.05, 0.9)
        np.testing.assert_array_equal(fx.displace(pose), read_obj_points(tmp_path / "a.obj"))
        fx.stretch_multiplier = 0.2
        fx.save_settings(tmp_path / "module.json")
        ours = fx.displace(pose)
    run_tool("morph", *args, "-o", tmp_path / "b.obj", "--settings", tmp_path / "module.json")
    np.testing.assert_array_equal(ours, read_obj_points(tmp_path / "b.obj"))
