#!/usr/bin/env python3
"""A/B benchmark of two Verdance builds, or of one build under two settings.

Runs A and B in turn (A B, then B A, ...) so that drift of a shared machine falls on both alike, and
quotes every figure as a median with the A/B ratio taken pair by pair. Each side is a repository root
with its build (build/tools/capture/capture) and baked assets/; the programs run from that root.

  frames   renders play times (default 5 40 86 150) with both sides and counts differing pixels.
           Particle bursts draw from std::random_device; a preloaded shim fixes it, so that both
           sides, and two runs of one side, draw the same particles.
  play     the capture tool's --bench per pass at the given play times (default 40 100), in CPU
           milliseconds of the whole process (--clock wall for wall-clock).
  load     start of the process to the first play frame saved, and the whole process, against a
           general glTF viewer (f3d) rendering the same level file to a PNG.
  memory   peak resident memory of a run through the whole play (the frames run).
  first    the load part's whole process as a user's first start: each run with a new, empty
           XDG_CACHE_HOME and without VERDANCE_CACHE_DIR and MESA_SHADER_CACHE_DIR, so the user's
           lighting cache and Mesa's shader cache are both empty (what the build keeps in its own
           tree still counts), against f3d's whole render with its caches warm.
  cold     start to first play frame and the second play frame with an empty Mesa shader cache and
           an empty lighting cache, then warm (the same caches again).

Each side keeps its lighting cache (VERDANCE_CACHE_DIR, unless --a-env/--b-env set it) in the work
folder; one unmeasured run per side fills it first, so frames, play, load and memory are warm starts.

Example:
  scripts/ab-bench.py --a . --b ../baseline --rounds 5 --frames 8
  scripts/ab-bench.py --a . --b . --b-env LP_NUM_THREADS=1 play
"""

import argparse
import os
import re
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import zlib

LEVEL = "assets/scene/thistle_exploration_scene3.gltf"
CAPTURE = "build/tools/capture/capture"

SEED_SHIM = r"""
/* std::random_device drawn as a constant: every particle burst of a run is the same in both builds. */
unsigned int _ZNSt13random_device9_M_getvalEv(void *self) { (void)self; return 20261210u; }
"""


class Side:
    def __init__(self, name, root, env):
        self.name = name
        self.root = os.path.abspath(root)
        self.env = dict(os.environ)
        for item in env:
            key, _, value = item.partition("=")
            self.env[key] = value
        self.capture = os.path.join(self.root, CAPTURE)
        if not os.access(self.capture, os.X_OK):
            sys.exit(f"ERROR: no capture tool at '{self.capture}' (build side {name} first)")


def run(argv, cwd, env, timeout=900):
    """Runs a process; returns (wall seconds, seconds to each output line, output lines, peak RSS in MiB)."""
    start = time.monotonic()
    proc = subprocess.Popen(argv, cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            stdin=subprocess.DEVNULL)
    lines, stamps = [], []
    for raw in proc.stdout:
        stamps.append(time.monotonic() - start)
        lines.append(raw.decode("utf-8", "replace").rstrip("\n"))
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.monotonic() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        sys.exit(f"ERROR: '{' '.join(argv)}' exited with {proc.returncode}:\n" + "\n".join(lines[-20:]))
    return wall, stamps, lines, usage.ru_maxrss / 1024.0


def line_buffered(argv):
    # The capture tool prints with printf: without a terminal its lines would come at exit.
    return (["stdbuf", "-oL"] + argv) if shutil.which("stdbuf") else argv


def median(values):
    return statistics.median(values) if values else float("nan")


def ratio_text(a, b):
    return f"{a / b:6.3f}" if b else "   n/a"


# --- PNG, just enough to read what stb_image_write produces (8-bit RGB or RGBA, not interlaced) ---

def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG")
    pos, idat, width = 8, b"", 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour not in (2, 6) or interlace:
                raise ValueError(f"{path}: only 8-bit RGB/RGBA without interlacing")
            channels = 4 if colour == 6 else 3
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + ((left + up) >> 1)) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[i] = (line[i] + predictor) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, channels, rows


def write_mask_png(path, width, height, mask_rows):
    """Greyscale PNG: white where the pictures differ."""
    raw = b"".join(b"\x00" + bytes(row) for row in mask_rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def compare_png(path_a, path_b, mask_path):
    wa, ha, ca, rows_a = read_png(path_a)
    wb, hb, cb, rows_b = read_png(path_b)
    if (wa, ha) != (wb, hb):
        return None
    differing, largest, mask = 0, 0, []
    for ra, rb in zip(rows_a, rows_b):
        row = bytearray(wa)
        if ra != rb:
            for x in range(wa):
                pa, pb = ra[x * ca:x * ca + 3], rb[x * cb:x * cb + 3]
                if pa != pb:
                    differing += 1
                    row[x] = 255
                    largest = max(largest, max(abs(p - q) for p, q in zip(pa, pb)))
        mask.append(row)
    if differing:
        write_mask_png(mask_path, wa, ha, mask)
    return differing, largest, wa * ha


# --- the parts ---

def seed_shim(workdir):
    source = os.path.join(workdir, "seed.c")
    library = os.path.join(workdir, "libverdance-seed.so")
    with open(source, "w") as f:
        f.write(SEED_SHIM)
    subprocess.run(["cc", "-shared", "-fPIC", "-O2", "-o", library, source], check=True)
    return library


def frames_part(sides, times, workdir, memory):
    shim = seed_shim(workdir)
    peaks = {}
    for side in sides:
        out = os.path.join(workdir, f"frames-{side.name}")
        env = dict(side.env, LD_PRELOAD=shim)
        _, _, _, peak = run([side.capture, "--out", out] + [str(t) for t in times], side.root, env)
        peaks[side.name] = peak
    print("\n== frames (A against B, particles seeded alike) ==")
    for t in times:
        name = f"frame_{t:06.2f}.png"
        result = compare_png(os.path.join(workdir, "frames-A", name), os.path.join(workdir, "frames-B", name),
                             os.path.join(workdir, f"diff_{t:06.2f}.png"))
        if result is None:
            print(f"  {t:7.2f} s  sizes differ")
        elif result[0] == 0:
            print(f"  {t:7.2f} s  identical")
        else:
            print(f"  {t:7.2f} s  {result[0]} of {result[2]} pixels differ (largest channel step {result[1]}); "
                  f"mask: {os.path.join(workdir, f'diff_{t:06.2f}.png')}")
    if memory:
        print("\n== peak resident memory, one run through the whole play (MiB) ==")
        print(f"  A {peaks['A']:8.1f}   B {peaks['B']:8.1f}   A/B {ratio_text(peaks['A'], peaks['B'])}")


def parse_bench(lines, clock="wall"):
    """The capture tool's --bench table of `clock` ("wall" or "cpu"): pass name to median ms."""
    table, seen = {}, False
    for line in lines:
        if line.startswith("pass") and "median" in line:
            seen = ("(cpu ms)" in line) == (clock == "cpu")
            continue
        if seen:
            match = re.match(r"^(.*?)\s+(-?[\d.]+)\s+(-?[\d.]+)\s+(-?[\d.]+)\s*$", line)
            if match:
                table[match.group(1).strip()] = float(match.group(2))
            else:
                seen = False
    return table


def play_part(sides, times, rounds, frames, workdir, clock):
    print(f"\n== play frame per pass: median {clock} ms of {frames} frames per run, median of {rounds} rounds ==")
    for t in times:
        samples = {"A": [], "B": []}
        for r in range(rounds):
            order = sides if r % 2 == 0 else sides[::-1]
            for side in order:
                _, _, lines, _ = run([side.capture, "--out", os.path.join(workdir, "bench"), "--bench", str(frames),
                                      str(t)], side.root, side.env)
                samples[side.name].append(parse_bench(lines, clock))
        passes = list(samples["A"][0].keys()) if samples["A"] else []
        print(f"  play time {t} s{'':14}{'A':>9}{'B':>9}   A/B (median of pairs)")
        for name in passes:
            a = [s.get(name, float("nan")) for s in samples["A"]]
            b = [s.get(name, float("nan")) for s in samples["B"]]
            ratios = [x / y for x, y in zip(a, b) if y > 0]
            print(f"    {name:<22}{median(a):9.2f}{median(b):9.2f}   {median(ratios):6.3f}")


def load_part(sides, rounds, workdir, with_viewer):
    viewer = shutil.which("f3d") if with_viewer else None
    print(f"\n== load: {rounds} rounds, seconds (median) ==")
    results = {"A": {"first": [], "whole": []}, "B": {"first": [], "whole": []}, "f3d": {"whole": []}}
    for r in range(rounds):
        order = sides if r % 2 == 0 else sides[::-1]
        for side in order:
            wall, stamps, lines, _ = run(line_buffered([side.capture, "--out", os.path.join(workdir, "load"), "0"]),
                                         side.root, side.env)
            saved = [s for s, line in zip(stamps, lines) if line.startswith("saved ")]
            results[side.name]["first"].append(saved[0] if saved else float("nan"))
            results[side.name]["whole"].append(wall)
        if viewer:
            wall, _, _, _ = run([viewer, "--output", os.path.join(workdir, "f3d.png"), "--resolution", "800,800",
                                 LEVEL], sides[0].root, sides[0].env)
            results["f3d"]["whole"].append(wall)
    for name in ("A", "B"):
        first, whole = results[name]["first"], results[name]["whole"]
        line = f"  {name}: start to first play frame saved {median(first):6.3f}, whole process {median(whole):6.3f}"
        if viewer:
            pairs = [x / y for x, y in zip(whole, results["f3d"]["whole"])]
            line += f", whole / f3d {median(pairs):6.3f}"
        print(line)
    if viewer:
        print(f"  f3d: whole process render to PNG {median(results['f3d']['whole']):6.3f}")
    pairs = [x / y for x, y in zip(results["A"]["whole"], results["B"]["whole"])]
    print(f"  A/B whole process {median(pairs):6.3f}")


def first_part(sides, rounds, workdir, with_viewer):
    viewer = shutil.which("f3d") if with_viewer else None
    print(f"\n== first start (empty user caches): {rounds} rounds, seconds (median) ==")
    results = {"A": [], "B": [], "f3d": []}
    for r in range(rounds):
        order = sides if r % 2 == 0 else sides[::-1]
        for side in order:
            home = tempfile.mkdtemp(prefix="first-cache-", dir=workdir)
            env = dict(side.env, XDG_CACHE_HOME=home)
            for name in ("VERDANCE_CACHE_DIR", "MESA_SHADER_CACHE_DIR"):
                env.pop(name, None)
            wall, _, _, _ = run(line_buffered([side.capture, "--out", os.path.join(workdir, "first"), "0"]),
                                side.root, env)
            results[side.name].append(wall)
            shutil.rmtree(home, ignore_errors=True)
        if viewer:
            wall, _, _, _ = run([viewer, "--output", os.path.join(workdir, "f3d.png"), "--resolution", "800,800",
                                 LEVEL], sides[0].root, sides[0].env)
            results["f3d"].append(wall)
    for name in ("A", "B"):
        line = f"  {name}: whole process {median(results[name]):6.3f}"
        if viewer:
            line += f", whole / f3d {median([x / y for x, y in zip(results[name], results['f3d'])]):6.3f}"
        print(line)
    if viewer:
        print(f"  f3d: whole process render to PNG {median(results['f3d']):6.3f}")
    print(f"  A/B whole process {median([x / y for x, y in zip(results['A'], results['B'])]):6.3f}")


def cold_part(sides, rounds, workdir):
    print(f"\n== first play frames, empty and then warm Mesa shader and lighting caches: {rounds} rounds, "
          "seconds (median) ==")
    results = {s.name: {k: [] for k in ("cold first", "cold second", "warm first", "warm second")} for s in sides}
    for r in range(rounds):
        order = sides if r % 2 == 0 else sides[::-1]
        for side in order:
            cache = tempfile.mkdtemp(prefix="shader-cache-", dir=workdir)
            env = dict(side.env, MESA_SHADER_CACHE_DIR=cache, MESA_SHADER_CACHE_DISABLE="false")
            if env.get("VERDANCE_CACHE_DIR") != "off":
                env["VERDANCE_CACHE_DIR"] = os.path.join(cache, "lighting")
            for state in ("cold", "warm"):
                _, stamps, lines, _ = run(line_buffered([side.capture, "--out", os.path.join(workdir, "cold"),
                                                         "--bench", "1", "0"]), side.root, env)
                saved = [s for s, line in zip(stamps, lines) if line.startswith("saved ")]
                second = parse_bench(lines).get("whole frame", float("nan")) / 1000.0
                results[side.name][f"{state} first"].append(saved[0] if saved else float("nan"))
                results[side.name][f"{state} second"].append(second)
            shutil.rmtree(cache, ignore_errors=True)
    print(f"  {'':34}{'A':>9}{'B':>9}   A/B")
    for key, label in (("cold first", "cold: start to first play frame"), ("cold second", "cold: second play frame"),
                       ("warm first", "warm: start to first play frame"), ("warm second", "warm: second play frame")):
        a, b = results["A"][key], results["B"][key]
        print(f"  {label:<34}{median(a):9.3f}{median(b):9.3f}   {median([x / y for x, y in zip(a, b)]):6.3f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("parts", nargs="*", default=["frames", "play", "load", "first", "memory", "cold"],
                        help="which parts to run (default: all)")
    parser.add_argument("--a", required=True, help="repository root of side A (the change)")
    parser.add_argument("--b", required=True, help="repository root of side B (the baseline)")
    parser.add_argument("--a-env", action="append", default=[], metavar="K=V", help="environment for A only")
    parser.add_argument("--b-env", action="append", default=[], metavar="K=V", help="environment for B only")
    parser.add_argument("--rounds", type=int, default=3, help="interleaved rounds per figure (default 3)")
    parser.add_argument("--frames", type=int, default=6, help="frames per --bench run (default 6)")
    parser.add_argument("--clock", choices=["cpu", "wall"], default="cpu",
                        help="play part: CPU time of the whole process per pass (default; a shared machine "
                             "disturbs it little) or wall-clock time")
    parser.add_argument("--play-times", type=float, nargs="+", default=[40.0, 100.0])
    parser.add_argument("--compare-times", type=float, nargs="+", default=[5.0, 40.0, 86.0, 150.0])
    parser.add_argument("--no-viewer", action="store_true", help="leave f3d out of the load part")
    parser.add_argument("--keep", metavar="DIR", help="write pictures and masks here instead of a temporary folder")
    args = parser.parse_args()

    sides = [Side("A", args.a, args.a_env), Side("B", args.b, args.b_env)]
    workdir = args.keep or tempfile.mkdtemp(prefix="verdance-ab-")
    os.makedirs(workdir, exist_ok=True)
    print(f"A: {sides[0].root} {' '.join(args.a_env)}\nB: {sides[1].root} {' '.join(args.b_env)}\nwork: {workdir}")
    if not os.environ.get("DISPLAY"):
        print("note: DISPLAY is not set; the capture tool needs one (Xvfb)")
    for side in sides:
        side.env.setdefault("VERDANCE_CACHE_DIR", os.path.join(workdir, f"lighting-{side.name}"))
    for side in sides:  # a build without the lighting cache ignores the folder
        run([side.capture, "--out", os.path.join(workdir, "prime"), "0"], side.root, side.env)
    if "frames" in args.parts or "memory" in args.parts:
        frames_part(sides, args.compare_times, workdir, "memory" in args.parts)
    if "play" in args.parts:
        play_part(sides, args.play_times, args.rounds, args.frames, workdir, args.clock)
    if "load" in args.parts:
        load_part(sides, args.rounds, workdir, not args.no_viewer)
    if "first" in args.parts:
        first_part(sides, args.rounds, workdir, not args.no_viewer)
    if "cold" in args.parts:
        cold_part(sides, args.rounds, workdir)


if __name__ == "__main__":
    main()
