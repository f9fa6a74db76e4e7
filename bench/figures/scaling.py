"""How time and memory grow with a shot's size: the figures of docs/performance.md.

    python3 bench/figures/scaling.py BUILD_DIR [OUT_DIR]

For quad grids of 10,000 to 2 million points (kestrin_make_shot), each with
5 OBJ poses and the same poses cycled to 30 frames in an MDD cache, it runs
the kestrin tool, the Python module and the one-thread floors (kestrin_floor)
as real processes, one case after another, three rounds, and takes each
case's median. Time is wall time per frame; memory is the process's peak
resident memory as the kernel counts it (what /usr/bin/time reports: mapped
input included). Where blender is installed, two more cases run the same
grid skinned to two bones in a fresh headless Blender each
(bench/blender/scaling.py): the add-on's live attribute (the build's add-on,
BUILD_DIR/python/blender) and a geometry-nodes stretch made without us, a
frame step's median time and Blender's peak memory, its own included. It
prints the figures and the memory targets and writes
scaling_time.svg and scaling_memory.svg into OUT_DIR (docs/ by default).
"""

import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

BUILD = os.path.abspath(sys.argv[1])
OUT = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(__file__), "..", "..", "docs"))
TOOL = os.path.join(BUILD, "tools", "kestrin")
FLOOR = os.path.join(BUILD, "bench", "kestrin_floor")
MAKE_SHOT = os.path.join(BUILD, "bench", "kestrin_make_shot")
BLENDER = shutil.which("blender")
BLENDER_SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "blender", "scaling.py")
BLENDER_LINE = "kestrin-blender-scaling "

SIDES = [100, 224, 500, 708, 1000, 1415]  # 10k, 50k, 250k, 500k, 1M, 2M points
OBJ_POSES = 5
CACHE_FRAMES = 30
ROUNDS = 3
MB = 1024.0 * 1024.0

MODULE_RUN = r"""
import sys, time
import numpy as np
import kestrin
rest, faces = kestrin.read_mesh(sys.argv[1])
poses = kestrin.read_cache(sys.argv[2], mmap=True)
out = np.empty((poses.shape[0], rest.shape[0]), dtype=np.float32)
start = time.perf_counter()
kestrin.weights(rest, faces, poses, out=out)
print(time.perf_counter() - start)
"""


def run(words, env=None):
    """Wall seconds and peak resident MB of one process, started after a sync."""
    os.sync()
    start = time.perf_counter()
    child = subprocess.Popen(words, stdout=subprocess.PIPE, env=env)
    output = child.stdout.read()
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.stderr.write(output.decode(errors="replace"))  # Blender says what went wrong on its standard output
        sys.exit(f"failed: {' '.join(words)}")
    return seconds, usage.ru_maxrss / 1024.0, output


def blender(side, mode):
    """Seconds per frame and peak MB of one fresh Blender process, as it reports them."""
    frames = 8 if side < 1000 else 4  # a 2M-point run takes about 20 s a process, most of it building the scene
    env = dict(os.environ, BLENDER_USER_SCRIPTS=os.path.join(BUILD, "python", "blender"), PYTHONDONTWRITEBYTECODE="1")
    output = run([BLENDER, "-b", "--factory-startup", "--python-exit-code", "1", "--python", BLENDER_SCRIPT, "--",
                  str(side), mode, str(frames)], env)[2]
    line = next(line for line in output.decode().splitlines() if line.startswith(BLENDER_LINE))
    figure = json.loads(line[len(BLENDER_LINE):])
    return figure["seconds_per_frame"], figure["peak_mb"]


def cases(folder, side):
    rest = os.path.join(folder, "rest.obj")
    cache = os.path.join(folder, "poses.mdd")
    poses = [os.path.join(folder, f"pose_{i + 1}.obj") for i in range(OBJ_POSES)]
    out = lambda name: os.path.join(folder, name)
    morph = [TOOL, "morph", "--rest", rest, "--stretch-target", rest, "--squash-target", rest]
    module_env = dict(os.environ, PYTHONPATH=os.path.join(BUILD, "python"))

    def module():
        seconds, peak, output = run([sys.executable, "-c", MODULE_RUN, rest, cache], module_env)
        return float(output), peak

    # name: (frames, run() -> (seconds, peak MB))
    chosen = {
        "weights floor (OBJ -> CSV)": (OBJ_POSES, lambda: run([FLOOR, "weights", folder, rest] + poses)[:2]),
        "weights OBJ -> .csv": (OBJ_POSES, lambda: run([TOOL, "weights", "--rest", rest, "-o", out("w.csv"), "--pose"] + poses)[:2]),
        "morph floor (OBJ -> OBJ)": (OBJ_POSES, lambda: run([FLOOR, "morph", folder, rest] + poses)[:2]),
        "morph OBJ -> .obj": (OBJ_POSES, lambda: run(morph + ["-o", out("c.obj"), "--pose"] + poses)[:2]),
        "weights MDD -> .npy": (CACHE_FRAMES, lambda: run([TOOL, "weights", "--rest", rest, "--pose", cache, "-o", out("w.npy")])[:2]),
        "weights MDD -> .npy, 5 frames": (5, lambda: run([TOOL, "weights", "--rest", rest, "--pose", cache, "--frames", "1-5", "-o", out("w5.npy")])[:2]),
        "morph MDD -> .mdd": (CACHE_FRAMES, lambda: run(morph + ["--pose", cache, "-o", out("c.mdd")])[:2]),
        "morph MDD -> .mdd, 5 frames": (5, lambda: run(morph + ["--pose", cache, "--frames", "1-5", "-o", out("c5.mdd")])[:2]),
        "Python module, MDD": (CACHE_FRAMES, module),
    }
    if BLENDER:
        chosen["Blender add-on"] = (1, lambda: blender(side, "addon"))
        chosen["geometry nodes"] = (1, lambda: blender(side, "geometry-nodes"))
    return chosen


def memory_report(folder, points):
    """Where the memory of the two memory-bound runs goes, stage by stage (the tool's KESTRIN_MEMORY_REPORT)."""
    rest = os.path.join(folder, "rest.obj")
    cache = os.path.join(folder, "poses.mdd")
    env = dict(os.environ, KESTRIN_MEMORY_REPORT="1")
    for name, words in [("weights MDD -> .npy", [TOOL, "weights", "--rest", rest, "--pose", cache, "-o",
                                                 os.path.join(folder, "r.npy")]),
                        ("morph MDD -> .mdd", [TOOL, "morph", "--rest", rest, "--stretch-target", rest,
                                               "--squash-target", rest, "--pose", cache, "-o",
                                               os.path.join(folder, "r.mdd")])]:
        result = subprocess.run(words, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                                check=True)
        print(f"\nWhere the memory goes: {name}, {points} points, {CACHE_FRAMES} frames")
        for line in result.stderr.splitlines():
            if line.startswith("memory: "):
                print("  " + line[len("memory: "):])


def measure():
    figures = {}  # case -> [(points, seconds per frame, peak MB)]
    if not BLENDER:
        print("Blender add-on and geometry nodes: blender is not installed, skipped", flush=True)
    for side in SIDES:
        points = side * side
        with tempfile.TemporaryDirectory(prefix="kestrin-scaling-") as folder:
            subprocess.run([MAKE_SHOT, folder, "--side", str(side), "--frames", str(CACHE_FRAMES),
                            "--obj-poses", str(OBJ_POSES)], check=True)
            if side == 708:
                memory_report(folder, points)
            runs = {name: [] for name in cases(folder, side)}
            for _ in range(ROUNDS):
                for name, (frames, once) in cases(folder, side).items():
                    runs[name].append(once())
            for name, (frames, _) in cases(folder, side).items():
                seconds = statistics.median(r[0] for r in runs[name])
                peak = statistics.median(r[1] for r in runs[name])
                figures.setdefault(name, []).append((points, seconds / frames, peak))
                print(f"{points:>9} {name:<32} {1000 * seconds / frames:9.2f} ms/frame {peak:9.1f} MB", flush=True)
    return figures


def targets(figures):
    print("\nMemory targets (peak resident memory, medians of three)")
    verdicts = []
    for name, per_point in [("weights MDD -> .npy", 250), ("morph MDD -> .mdd", 500)]:
        for points, _, peak in figures[name]:
            if points < 400_000:
                continue
            bound = (per_point * points + 40 * MB) / MB
            met = peak <= bound
            verdicts.append(met)
            print(f"  {name:<22} {points:>9} points {peak:8.1f} MB  "
                  f"({(peak - 40) * MB / points:6.1f} B/point over 40 MB)  <= {bound:7.1f} MB  {'met' if met else 'MISSED'}")
        five = dict((p, m) for p, _, m in figures[name + ", 5 frames"])
        for points, _, peak in figures[name]:
            if points >= 400_000:
                growth = peak / five[points]
                verdicts.append(growth <= 1.1)
                print(f"  {name:<22} {points:>9} points, 30 frames / 5 frames {growth:6.3f}  <= 1.1   "
                      f"{'met' if growth <= 1.1 else 'MISSED'}")
    return all(verdicts)


def draw(figures):
    import matplotlib

    matplotlib.use("svg")
    matplotlib.rcParams["svg.hashsalt"] = "kestrin"  # the same figures give the same file
    import matplotlib.pyplot as plt

    shown = [name for name in figures if not name.endswith("5 frames")]
    styles = {name: ("--" if "floor" in name else "-") for name in shown}
    for what, column, label, file in [("time", 1, "wall time per frame (ms)", "scaling_time.svg"),
                                      ("memory", 2, "peak resident memory (MB)", "scaling_memory.svg")]:
        figure, axes = plt.subplots(figsize=(7.5, 4.8))
        for name in shown:
            rows = figures[name]
            values = [row[column] * (1000 if what == "time" else 1) for row in rows]
            axes.plot([row[0] for row in rows], values, styles[name], marker="o", markersize=3, label=name)
        if what == "memory":
            points = [row[0] for row in figures["weights MDD -> .npy"]]
            for per_point, name in [(250, "weights MDD target"), (500, "morph MDD target")]:
                axes.plot(points, [(per_point * p + 40 * MB) / MB for p in points], ":", color="grey", label=name)
        axes.set_xscale("log")
        axes.set_yscale("log")
        axes.set_xlabel("points")
        axes.set_ylabel(label)
        axes.grid(True, which="both", alpha=0.3)
        axes.legend(fontsize=7)
        figure.tight_layout()
        figure.savefig(os.path.join(OUT, file), metadata={"Date": None})
        plt.close(figure)
        print("wrote", os.path.join(OUT, file))


def main():
    figures = measure()
    met = targets(figures)
    draw(figures)
    print("memory targets:", "met" if met else "NOT met")


main()
