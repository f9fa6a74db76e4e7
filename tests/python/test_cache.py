"""MDD and PC2 point caches and NPY weights: what is written reads back, and broken input is refused."""

import numpy as np
import pytest

import kestrin


@pytest.mark.parametrize("extension", [".mdd", ".pc2"])
def test_frames_read_back_as_written(tmp_path, extension):
    frames = np.random.default_rng(3).normal(size=(4, 11, 3))
    path = tmp_path / f"cache{extension}"
    kestrin.write_cache(path, frames, start=10.0, step=0.5)
    read = kestrin.read_cache(path)
    assert read.dtype == np.float32 and read.shape == (4, 11, 3)
    np.testing.assert_array_equal(read, frames.astype(np.float32))
    assert path.stat().st_size == {".mdd": 8 + 4 * 4, ".pc2": 32}[extension] + 4 * 11 * 12


def hand_laid_caches():
    frames = np.arange(6, dtype=np.float32).reshape(1, 2, 3)
    # Written by hand, as the formats lay them out.
    mdd = np.array([1, 2], ">i4").tobytes() + np.array([0.0], ">f4").tobytes() + frames.astype(">f4").tobytes()
    pc2 = (b"POINTCACHE2\0" + np.array([1, 2], "<i4").tobytes() + np.array([0.0, 1.0], "<f4").tobytes()
           + np.array([1], "<i4").tobytes() + frames.astype("<f4").tobytes())
    return mdd, pc2


@pytest.mark.parametrize("extension", [".mdd", ".pc2"])
def test_files_laid_out_by_hand_read_and_write_the_same(tmp_path, extension):
    mdd, pc2 = hand_laid_caches()
    expected = {".mdd": mdd, ".pc2": pc2}[extension]
    (tmp_path / f"hand{extension}").write_bytes(expected)
    frames = kestrin.read_cache(tmp_path / f"hand{extension}")
    np.testing.assert_array_equal(frames, np.arange(6, dtype=np.float32).reshape(1, 2, 3))
    kestrin.write_cache(tmp_path / f"ours{extension}", frames, fps=1.0)
    assert (tmp_path / f"ours{extension}").read_bytes() == expected


def test_broken_caches_are_refused(tmp_path):
    mdd, pc2 = hand_laid_caches()
    cases = {
        "short.mdd": mdd[:-1],
        "long.mdd": mdd + b"\0",
        "header only.mdd": mdd[:6],
        "negative.mdd": np.array([-1, 2], ">i4").tobytes(),
        "short.pc2": pc2[:-4],
        "signature.pc2": b"POINTCACHE3\0" + pc2[12:],
        "version.pc2": pc2[:12] + np.array([2], "<i4").tobytes() + pc2[16:],
        "header only.pc2": pc2[:20],
        "cache.txt": mdd,
    }
    for name, data in cases.items():
        (tmp_path / name).write_bytes(data)
        with pytest.raises(ValueError):
            kestrin.read_cache(tmp_path / name)
    for frames in [np.zeros((2, 3)), np.full((1, 2, 3), np.nan), np.zeros((1, 2, 3), dtype=complex)]:
        with pytest.raises(ValueError):
            kestrin.write_cache(tmp_path / "out.pc2", frames)
    # Weights: an earlier file is kept when the new ones cannot be written.
    kept = np.arange(6, dtype=np.float64).reshape(2, 3) / 7
    kestrin.write_weights(tmp_path / "w.npy", kept)
    for weights in [np.zeros((1, 2, 3)), np.array([[0.5, np.inf]]), np.array([[1e39]]), np.zeros((1, 2), dtype=complex)]:
        with pytest.raises(ValueError):
            kestrin.write_weights(tmp_path / "w.npy", weights)
    written = np.load(tmp_path / "w.npy")
    assert written.dtype == np.dtype("<f4") and written.tobytes() == kept.astype("<f4").tobytes()
    assert sorted(p.name for p in tmp_path.iterdir() if p.name.startswith("w")) == ["w.npy"]
