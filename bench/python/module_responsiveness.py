"""How soon the module answers while another object computes, and how soon Ctrl-C stops a call.

    python3 bench/python/module_responsiveness.py BUILD_DIR

On a 10,000-point grid, with poses of about a millisecond:
- the worst of 20 property reads of one object while another object's long
  `weights` call runs on a second thread (target: 50 ms);
- the delay from SIGINT to KeyboardInterrupt in a `weights` call on the main
  thread, alone and while a second thread computes on another object, the
  worst of 5 each (target: one pose each; a pose of the other thread's may
  come first).
"""

import os
import signal
import sys
import threading
import time

BUILD = os.path.abspath(sys.argv[1])
sys.path.insert(0, os.path.join(BUILD, "python"))

import numpy as np  # noqa: E402

import kestrin  # noqa: E402

SIDE = 100
LONG = 3000  # poses: seconds of work, longer than anything measured here


def grid():
    xs, ys = np.meshgrid(np.arange(SIDE, dtype=float), np.arange(SIDE, dtype=float))
    rest = np.stack([xs.ravel(), ys.ravel(), 0.2 * np.sin(xs.ravel())], axis=1)
    faces = np.array([[r * SIDE + c, r * SIDE + c + 1, (r + 1) * SIDE + c + 1, (r + 1) * SIDE + c]
                      for r in range(SIDE - 1) for c in range(SIDE - 1)])
    return rest, faces


def background(tool, poses):
    """tool.weights(poses) on another thread until stopped: (thread, stop)."""
    stop = threading.Event()

    def run():
        while not stop.is_set():
            tool.weights(poses)

    thread = threading.Thread(target=run)
    thread.start()
    return thread, stop


def worst_read(reader, busy, poses):
    thread, stop = background(busy, poses)
    time.sleep(0.2)
    reads = []
    for _ in range(20):
        start = time.perf_counter()
        reader.exponent  # noqa: B018
        reads.append(time.perf_counter() - start)
        time.sleep(0.01)
    stop.set()
    thread.join()
    return max(reads)


def interrupt_delay(tool, poses):
    sent = []

    def send():
        sent.append(time.perf_counter())
        os.kill(os.getpid(), signal.SIGINT)

    timer = threading.Timer(0.3, send)
    timer.start()
    try:
        tool.weights(poses)
    except KeyboardInterrupt:
        delay = time.perf_counter() - sent[0]
    else:
        raise SystemExit("the call ended before Ctrl-C came: make LONG longer")
    timer.join()
    return delay


def main():
    rest, faces = grid()
    poses = np.broadcast_to(rest * [1.2, 1.0, 1.0], (LONG,) + rest.shape)
    with kestrin.Strainmark(rest, faces) as tool, kestrin.Strainmark(rest, faces) as other:
        start = time.perf_counter()
        tool.weights(poses[:200])
        pose = (time.perf_counter() - start) / 200
        read = worst_read(other, tool, poses)
        alone = max(interrupt_delay(tool, poses) for _ in range(5))
        thread, stop = background(other, poses)
        contended = max(interrupt_delay(tool, poses) for _ in range(5))
        stop.set()
        thread.join()
    print(f"Python module responsiveness ({SIDE * SIDE:,} points, a pose takes {pose * 1000:.2f} ms)")
    print(f"  worst of 20 property reads during another object's weights  {read * 1000:8.2f} ms   (target 50 ms)")
    print(f"  Ctrl-C to KeyboardInterrupt, worst of 5, call alone           {alone * 1000:8.2f} ms   (target one pose)")
    print(f"  Ctrl-C to KeyboardInterrupt, worst of 5, beside another call  {contended * 1000:8.2f} ms"
          f"   (target two poses)")
    met = read <= 0.05 and alone <= pose and contended <= 2 * pose
    print("targets:", "met" if met else "NOT met")


main()
