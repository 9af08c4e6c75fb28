#!/usr/bin/env python3
"""Runs the tool and the bare window alternately; see scripts/bench-startup."""
import argparse, os, selectors, shutil, statistics, subprocess, sys, tempfile, time

IDLE_SECONDS = 1.5  # after the first frame: start-up work that follows it counts towards the peak


def run_once(program, platform):
    home = tempfile.mkdtemp(prefix="bench-startup-")
    env = dict(os.environ, HOME=home, QT_QPA_PLATFORM=platform,
               XDG_RUNTIME_DIR=home, QT_LOGGING_RULES="corvanta.startup.info=true",
               QT_MESSAGE_PATTERN="%{category} %{message}")
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    started = time.monotonic()
    process = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    selector = selectors.DefaultSelector()
    selector.register(process.stderr, selectors.EVENT_READ)
    buffer, first_frame = b"", None
    while first_frame is None and time.monotonic() - started < 30:
        if not selector.select(timeout=30):
            break
        chunk = os.read(process.stderr.fileno(), 65536)
        if not chunk:
            break
        buffer += chunk
        if b"corvanta.startup first frame painted" in buffer:
            first_frame = time.monotonic() - started
    time.sleep(IDLE_SECONDS)
    status = open(f"/proc/{process.pid}/status").read()
    peak_kib = int(next(l for l in status.splitlines() if l.startswith("VmHWM:")).split()[1])
    maps = open(f"/proc/{process.pid}/maps").read()
    webengine = "libQt6WebEngine" in maps
    process.kill()
    process.wait()
    shutil.rmtree(home, ignore_errors=True)
    if first_frame is None:
        sys.exit(f"{program} painted no frame:\n{buffer.decode(errors='replace')}")
    return first_frame * 1000, peak_kib / 1024, webengine


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--platform", default="offscreen")
    parser.add_argument("tool")
    parser.add_argument("bare")
    args = parser.parse_args()
    results = {"tool": [], "bare": []}
    run_once(args.bare, args.platform)  # warms the file cache for both
    run_once(args.tool, args.platform)
    mapped = False
    for _ in range(args.runs):
        for name, program in (("tool", args.tool), ("bare", args.bare)):
            ms, mib, webengine = run_once(program, args.platform)
            results[name].append((ms, mib))
            mapped |= name == "tool" and webengine
    print(f"platform {args.platform}, {args.runs} alternating runs, medians")
    print(f"{'':6}{'first frame':>14}{'peak memory':>14}")
    medians = {}
    for name in ("tool", "bare"):
        ms = statistics.median(r[0] for r in results[name])
        mib = statistics.median(r[1] for r in results[name])
        medians[name] = (ms, mib)
        print(f"{name:6}{ms:>11.1f} ms{mib:>10.1f} MiB")
    print(f"{'ratio':6}{medians['tool'][0] / medians['bare'][0]:>12.2f}x{medians['tool'][1] / medians['bare'][1]:>12.2f}x")
    print("idle tool maps a WebEngine library: " + ("YES" if mapped else "no"))


if __name__ == "__main__":
    main()
