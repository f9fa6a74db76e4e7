"""The module on the benchmark shot beside the kestrin tool, in one run.

    python3 bench/python/module_shot.py BUILD_DIR

The shot (250,000 points; kestrin_make_shot's 20 poses, and the same poses
cycled to 200 frames) is weighted by `kestrin weights -o w.npy` and by
kestrin.weights over read_cache(path, mmap=True) into a preallocated result.
Times are the best of three; the module's memory is its peak of anonymous
memory while computing beyond what it held before the call (the rest mesh
and the result array): the mapped cache is file-backed and not counted.
"""

import os
import subprocess
import sys
import tempfile
import time

BUILD = os.path.abspath(sys.argv[1])
TOOL = os.path.join(BUILD, "tools", "kestrin")
MAKE_SHOT = os.path.join(BUILD, "bench", "kestrin_make_shot")

MODULE_RUN = r"""
import sys, threading, time
import numpy as np
import kestrin

def anon_kib():
    with open("/proc/self/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("RssAnon:"))

rest, faces = kestrin.read_mesh(sys.argv[1])
poses = kestrin.read_cache(sys.argv[2], mmap=True)
# Filled, so that its pages are resident before the baseline: the result
# array is not the module's working memory.
out = np.ones((poses.shape[0], rest.shape[0]), dtype=np.float32)
before = anon_kib()
peak = [before]
done = threading.Event()
def sample():
    while not done.wait(0.005):
        peak[0] = max(peak[0], anon_kib())
sampler = threading.Thread(target=sample)
sampler.start()
start = time.perf_counter()
kestrin.weights(rest, faces, poses, out=out)
seconds = time.perf_counter() - start
done.set()
sampler.join()
np.save(sys.argv[3], out)
print(seconds, (max(peak[0], anon_kib()) - before) / 1024.0)
"""


def best_of_three(run):
    return min((run() for _ in range(3)), key=lambda result: result[0])


def tool_run(rest, cache, out):
    start = time.perf_counter()
    child = subprocess.Popen([TOOL, "weights", "--rest", rest, "--pose", cache, "-o", out],
                             stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    assert os.waitstatus_to_exitcode(status) == 0, "kestrin weights failed"
    return time.perf_counter() - start, usage.ru_maxrss / 1024.0


def module_run(rest, cache, out):
    env = dict(os.environ, PYTHONPATH=os.path.join(BUILD, "python"))
    result = subprocess.run([sys.executable, "-c", MODULE_RUN, rest, cache, out], env=env,
                            capture_output=True, text=True, check=True)
    seconds, extra_mb = (float(v) for v in result.stdout.split())
    return seconds, extra_mb


def write_long_shot(short, long, count):
    """The short MDD's frames cycled to count frames (times going on at its frame rate), written as bytes."""
    import numpy as np

    with open(short, "rb") as source:
        frames, points = np.frombuffer(source.read(8), ">i4")
        times = np.frombuffer(source.read(4 * int(frames)), ">f4")
        body = source.read()
    step = float(times[1] - times[0]) if frames > 1 else 1.0 / 24
    with open(long, "wb") as out:
        out.write(np.array([count, points], ">i4").tobytes())
        out.write((times[0] + step * np.arange(count)).astype(">f4").tobytes())
        for _ in range(count // int(frames)):
            out.write(body)


def main():
    sys.path.insert(0, os.path.join(BUILD, "python"))
    import numpy as np
    import kestrin

    with tempfile.TemporaryDirectory(prefix="kestrin-module-shot-") as folder:
        subprocess.run([MAKE_SHOT, folder], check=True)
        rest, short = os.path.join(folder, "rest.obj"), os.path.join(folder, "poses.mdd")
        long = os.path.join(folder, "long.mdd")
        write_long_shot(short, long, 200)
        print("Python module beside the tool (250,000 points), best of three")
        print(f"{'case':<22}{'tool s':>9}{'module s':>10}{'ratio':>7}{'tool peak MB':>14}{'module extra MB':>17}")
        verdicts = []
        for name, cache in [("20 poses MDD", short), ("200 poses MDD", long)]:
            tool_s, tool_mb = best_of_three(lambda: tool_run(rest, cache, os.path.join(folder, "tool.npy")))
            module_s, module_mb = best_of_three(lambda: module_run(rest, cache, os.path.join(folder, "module.npy")))
            same = np.array_equal(np.load(os.path.join(folder, "tool.npy")), np.load(os.path.join(folder, "module.npy")))
            ratio = module_s / tool_s
            print(f"{name:<22}{tool_s:>9.2f}{module_s:>10.2f}{ratio:>7.2f}{tool_mb:>14.0f}{module_mb:>17.0f}"
                  f"   {'identical' if same else 'DIFFERENT'}")
            verdicts.append(same and ratio <= 1.1 and module_mb <= 200)
        print("targets (module <= 1.1 x tool, <= 200 MB extra, identical):",
              "met" if all(verdicts) else "NOT met")


main()
