#!/usr/bin/env python3
"""Runs the tool and the bare window alternately; see scripts/bench-startup."""
import argparse, os, pwd, re, selectors, shutil, statistics, subprocess, sys, tempfile, time

IDLE_SECONDS = 1.5  # after the first frame: start-up work that follows it counts towards the peak


def scratch_env(home, platform, **extra):
    """A run of its own: scratch HOME, no session bus (no desktop keychain), the given platform."""
    env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=home, QT_QPA_PLATFORM=platform, **extra)
    for name in ("XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME"):
        env.pop(name, None)
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    return env


MARK = re.compile(rb"corvanta\.startup (.+) at (\d+)$", re.M)


def run_once(program, platform):
    """(ms to the first frame, peak MiB, maps WebEngine, {step: ms it took}): a step ends at its mark,
    the first begins at exec."""
    home = tempfile.mkdtemp(prefix="bench-startup-")
    env = scratch_env(home, platform, QT_LOGGING_RULES="corvanta.startup.info=true",
                      QT_MESSAGE_PATTERN="%{category} %{message}")
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
    steps, previous = {}, started * 1e6
    for name, at in MARK.findall(buffer):
        steps[name.decode()] = (int(at) - previous) / 1000
        previous = int(at)
    return first_frame * 1000, peak_kib / 1024, webengine, steps


def print_steps(results):
    """Median of each step, in the order the tool takes them; the bare window lacks some."""
    names = list(dict.fromkeys(name for runs in results.values() for run in runs for name in run[2]))
    print("where the time went (medians, ms; a step ends at its mark, the first begins at exec):")
    print(f"  {'':28}{'tool':>10}{'bare':>10}")
    for name in names:
        cells = []
        for program in ("tool", "bare"):
            times = [run[2][name] for run in results[program] if name in run[2]]
            cells.append(f"{statistics.median(times):>10.1f}" if times else f"{'-':>10}")
        print(f"  {'up to ' + name:28}{''.join(cells)}")


def as_user(home, env):
    """The command prefix and environment that run a program as a user does, sandbox and all:
    as root the engine refuses its sandbox, so the run is nobody's, in a home of nobody's."""
    if os.geteuid() != 0:
        return [], env
    nobody = pwd.getpwnam("nobody")
    if env.get("XAUTHORITY"):
        shutil.copy(env["XAUTHORITY"], os.path.join(home, ".Xauthority"))
        env = dict(env, XAUTHORITY=os.path.join(home, ".Xauthority"))
    for folder, _, files in os.walk(home):
        for path in [folder] + [os.path.join(folder, name) for name in files]:
            os.chown(path, nobody.pw_uid, nobody.pw_gid)
    return ["runuser", "-u", "nobody", "--"], env


def online_figures(program, platform, runs, sandboxed):
    figures = []
    for _ in range(runs):
        home = tempfile.mkdtemp(prefix="bench-online-")
        env = scratch_env(home, platform, **({} if sandboxed else {"QTWEBENGINE_DISABLE_SANDBOX": "1"}))
        prefix, env = as_user(home, env) if sandboxed else ([], env)
        result = subprocess.run(prefix + [program, "--leave"], env=env, capture_output=True, text=True, timeout=180)
        shutil.rmtree(home, ignore_errors=True)
        line = result.stdout.strip().splitlines()[-1] if result.stdout.strip() else ""
        values = dict(item.split("=") for item in line.split())
        if result.returncode != 0 or values.get("loaded") != "1":
            sys.exit(f"{program} loaded no page:\n{result.stderr[-2000:]}")
        figures.append({key: int(value) for key, value in values.items()})
    return figures


def online_page(program, platform, runs):
    """The first online page's extra memory (tests/bench/bench_onlinepage), medians over fresh runs;
    then what stays 30 s after leaving it, tool and helpers together (PSS); without the engine's
    sandbox and with it (an engine in the tool's own process keeps its zygote for the tool's life;
    under X11 the pages run in a host program that ends)."""
    for sandboxed in (False, True):
        figures = online_figures(program, platform, runs, sandboxed)
        median = lambda key: statistics.median(f[key] for f in figures)
        own = (median("page-rss") - median("idle-rss")) / 1024
        helpers = median("helpers-pss") / 1024
        print(f"first online page, {'with' if sandboxed else 'without'} the engine's sandbox ({runs} runs, medians):"
              f" loaded in {median('load-ms'):.0f} ms")
        host = all(f.get("in-host") for f in figures)
        whose = "the pages' host program and its engine" if host else "the engine's"
        print(f"  extra memory of the first online page: {own + helpers:.1f} MiB"
              f" (tool process +{own:.1f} MiB resident, helper processes {helpers:.1f} MiB PSS: {whose})")
        print(f"  tool resident before {median('idle-rss') / 1024:.1f} MiB, after {median('page-rss') / 1024:.1f} MiB")
        print("  WebEngine mapped by the tool before the page: " + ("YES" if any(f["mapped-idle"] for f in figures) else "no")
              + ", after: " + ("no (the pages run in their host program)" if host
                               else "yes" if all(f["mapped-page"] for f in figures) else "NO"))
        idle = median("idle-pss") / 1024
        page = (median("page-pss") + median("helpers-pss")) / 1024
        left = (median("left-pss") + median("left-helpers-pss")) / 1024
        print(f"  memory, tool and helper processes together (PSS): idle {idle:.1f} MiB, first online page {page:.1f} MiB,"
              f" 30 s after leaving it {left:.1f} MiB ({left / idle:.2f}x idle;"
              f" helpers then {median('left-helpers-pss') / 1024:.1f} MiB)")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--platform", default="offscreen")
    parser.add_argument("tool")
    parser.add_argument("bare")
    parser.add_argument("--online", metavar="PROGRAM", help="also measure the first online page with PROGRAM")
    args = parser.parse_args()
    results = {"tool": [], "bare": []}
    run_once(args.bare, args.platform)  # warms the file cache for both
    run_once(args.tool, args.platform)
    mapped = False
    for _ in range(args.runs):
        for name, program in (("tool", args.tool), ("bare", args.bare)):
            ms, mib, webengine, steps = run_once(program, args.platform)
            results[name].append((ms, mib, steps))
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
    print_steps(results)
    print("idle tool maps a WebEngine library: " + ("YES" if mapped else "no"))
    if args.online:
        online_page(args.online, args.platform, min(args.runs, 3))


if __name__ == "__main__":
    main()
