#!/usr/bin/python3
"""What lorvantide.channel adds to the computation, against the console program on the same data.

    bench/python_bench.py BUILD [SIZE] [--scenario dense|sparse] [--runs N]

Writes the scenario (floodplain_bench --write-only) into a temporary folder,
then times, each --runs times (default 5), least and median wall time and
median processor time (user + system, every thread):
  console: the whole process lorvantide < answers (reading, computing, writing);
  module, first call: a fresh Python process's first channel() (imports excluded);
  module, channel(): channel() on arrays already in memory;
  module, files to files: np.fromfile of the inputs, channel(), tofile of the result;
and prints the module against the console program (ratio and difference).
Each module run's elevations must equal the console's result.
"""

import argparse
import os
import pathlib
import resource
import statistics
import subprocess
import sys
import tempfile
import time

FIRST_CALL = """
import sys, time, numpy
sys.path.insert(0, sys.argv[1])
import lorvantide
arrays = [numpy.load(sys.argv[2] + f"/{k}.npy") for k in range(4)]
keywords = dict(numpy.load(sys.argv[2] + "/keywords.npz"))
keywords = {k: (int(v) if v.ndim == 0 else v) for k, v in keywords.items()}
start, processor = time.perf_counter(), time.process_time()
lorvantide.channel(*arrays, **keywords)
print(time.perf_counter() - start, time.process_time() - processor)
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("size", nargs="?", type=int, default=1024)
    parser.add_argument("--scenario", default="dense")
    parser.add_argument("--runs", type=int, default=5)
    options = parser.parse_args()
    build = pathlib.Path(options.build).resolve()
    sys.path.insert(0, str(build / "python"))
    sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "tests" / "python"))
    os.environ.setdefault("LORVANTIDE_SOURCE_DIR", str(pathlib.Path(__file__).resolve().parent.parent))
    import numpy
    import lorvantide
    from conftest import load_run

    with tempfile.TemporaryDirectory() as temporary:
        root = pathlib.Path(temporary)
        subprocess.run([build / "bench" / "floodplain_bench", str(options.size), "--scenario", options.scenario,
                        "--write-only", root / "run"], check=True, capture_output=True)
        answers = (root / "run" / "answers.txt").read_text()
        env = dict(os.environ, LORVANTIDE_IMAGES=str(root))

        def console():
            start, before = time.perf_counter(), resource.getrusage(resource.RUSAGE_CHILDREN)
            subprocess.run([build / "lorvantide"], input=answers.encode(), env=env, cwd=root,
                           stdout=subprocess.DEVNULL, check=True)
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            return (time.perf_counter() - start,
                    after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)

        times = {"console (whole process)": [console() for _ in range(options.runs)]}
        run = load_run(root, answers)
        expected = numpy.fromfile(run.result.with_suffix(".raw"), "<i4").reshape(run.arrays[0].shape)

        for k, array in enumerate(run.arrays):
            numpy.save(root / f"{k}.npy", array)
        numpy.savez(root / "keywords.npz", **run.keywords)
        times["module, first call of a process"] = [
            tuple(float(word) for word in subprocess.run(
                [sys.executable, "-c", FIRST_CALL, str(build / "python"), str(root)],
                capture_output=True, text=True, check=True).stdout.split())
            for _ in range(options.runs)]

        def in_memory():
            start, processor = time.perf_counter(), time.process_time()
            elevations, _ = lorvantide.channel(*run.arrays, **run.keywords)
            elapsed = time.perf_counter() - start, time.process_time() - processor
            assert (elevations == expected).all()
            return elapsed

        times["module, channel() on arrays"] = [in_memory() for _ in range(options.runs)]

        def files_to_files():
            start, processor = time.perf_counter(), time.process_time()
            fresh = load_run(root, answers)
            elevations, _ = lorvantide.channel(*fresh.arrays, **fresh.keywords)
            elevations.tofile(root / "module.raw")
            elapsed = time.perf_counter() - start, time.process_time() - processor
            assert (elevations == expected).all()
            return elapsed

        times["module, files to files"] = [files_to_files() for _ in range(options.runs)]

    print(f"{options.scenario} {options.size} x {options.size}, {options.runs} runs, "
          f"LORVANTIDE_THREADS={os.environ.get('LORVANTIDE_THREADS', 'unset')}, load {os.getloadavg()[0]:.2f}")
    base = statistics.median(wall for wall, _ in times["console (whole process)"])
    for name, values in times.items():
        walls = [wall for wall, _ in values]
        median = statistics.median(walls)
        processor = statistics.median(cpu for _, cpu in values)
        print(f"  {name:34s} wall least {min(walls) * 1000:7.1f} ms, median {median * 1000:7.1f} ms, "
              f"processor {processor * 1000:7.1f} ms; median against the console {median / base:5.2f} x "
              f"({(median - base) * 1000:+.1f} ms)")


if __name__ == "__main__":
    main()
