#!/usr/bin/env python3
"""Seeds the deliberate faults of faults.txt one at a time and tells which the tests catch.

  cmake -S SRC -B BUILD -DTVFTP_BENCH=OFF && make -C BUILD -j2
  python3 tests/faults/run_faults.py --source SRC --build BUILD [--faults FILE] [--only ID...]
      [--exclude REGEX] [--timeout S] [--all] [--targets T...] [--ctest-args ...]

For each fault: the old text must occur exactly once (else "stale"), the file is changed,
the build is remade (a fault that does not compile is caught by the build), ctest runs the
tests not matching --exclude (stopping at the first failure unless --all), and the file is
put back byte for byte, also on Ctrl-C. The unchanged tree is built and tested first (it
must pass) and built again at the end, so the build folder is left clean. SRC must be a
checkout nobody else edits meanwhile (a git worktree of the commit under test).
"""
import argparse, os, re, signal, subprocess, sys, time

DEFAULT_EXCLUDE = r"RealServer|Wine|^windows\."  # real FTP servers, Wine, Windows builds


def load_faults(path):
    faults = []
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        fields = [f.strip() for f in line.rstrip("\n").split(" | ", 3)]
        if len(fields) != 4 or not all(fields[:3]):
            sys.exit(f"{path}:{number}: want 'id | path | old text | new text'")
        faults.append(fields)
    return faults


def run(command, cwd=None):
    """Runs command in a session of its own; whatever of it is left (a hung test) is killed."""
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True, start_new_session=True)
    try:
        output = process.communicate()[0]
    finally:
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait()
    return process.returncode, output


def build(args):
    code, log = run(["make", "-C", args.build, "-j2", *args.targets])
    return code == 0, log


def run_tests(args):
    """The names of the failing tests (empty when all pass)."""
    stop = [] if args.all else ["--stop-on-failure"]
    code, log = run(["ctest", "-j2", "--timeout", str(args.timeout), *stop, "-E", args.exclude,
                     *args.ctest_args], cwd=args.build)
    failed = re.findall(r"^\s*\d+ - (\S+) \((.+?)\)\s*$", log, re.M)
    if code != 0 and not failed:
        return ["(ctest failed: " + (log.strip().splitlines() or ["?"])[-1] + ")"]
    return [f"{name}({why})" if why != "Failed" else name for name, why in failed]


def interrupt(*_):
    raise KeyboardInterrupt


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--source", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--faults", default=os.path.join(here, "faults.txt"))
    parser.add_argument("--only", nargs="+", metavar="ID")
    parser.add_argument("--exclude", default=DEFAULT_EXCLUDE, help="ctest -E regex")
    parser.add_argument("--timeout", type=int, default=30,
                        help="seconds per test without a TIMEOUT of its own (GoogleTest ones have 120)")
    parser.add_argument("--all", action="store_true", help="run every test of a caught fault "
                        "(default: stop at the first failure)")
    parser.add_argument("--targets", nargs="*", default=[], help="make targets (default all)")
    parser.add_argument("--ctest-args", nargs=argparse.REMAINDER, default=[])
    args = parser.parse_args()
    faults = load_faults(args.faults)
    if args.only:
        unknown = set(args.only) - {f[0] for f in faults}
        if unknown:
            sys.exit("unknown fault ids: " + " ".join(sorted(unknown)))
        faults = [f for f in faults if f[0] in args.only]
    signal.signal(signal.SIGTERM, interrupt)  # ends the run like Ctrl-C: the file is put back

    print(f"source {args.source}  build {args.build}  faults {args.faults}")
    stop = "" if args.all else " --stop-on-failure"
    print(f"tests: ctest -j2 --timeout {args.timeout}{stop} -E '{args.exclude}' {' '.join(args.ctest_args)}")
    ok, log = build(args)
    failing = run_tests(args) if ok else ["(build)"]
    if failing:
        sys.exit("the unchanged tree does not pass: " + " ".join(failing) + ("" if ok else "\n" + log[-3000:]))
    sys.stdout.flush()

    counts = {"caught": 0, "caught-by-build": 0, "missed": 0, "stale": 0}
    missed, started = [], time.monotonic()
    try:
        for ident, path, old, new in faults:
            t0 = time.monotonic()
            full = os.path.join(args.source, path)
            try:
                original = open(full, "rb").read()
            except OSError:
                original = b""
            text = original.decode("utf-8", "surrogateescape")
            if text.count(old) != 1:
                counts["stale"] += 1
                print(f"{ident:22} stale ({text.count(old)} matches in {path})", flush=True)
                continue
            try:
                with open(full, "wb") as f:
                    f.write(text.replace(old, new).encode("utf-8", "surrogateescape"))
                ok, _ = build(args)
                failing = run_tests(args) if ok else []
            finally:
                with open(full, "wb") as f:
                    f.write(original)
            verdict = "caught-by-build" if not ok else "caught" if failing else "missed"
            counts[verdict] += 1
            if verdict == "missed":
                missed.append(ident)
            shown = " ".join(failing[:4]) + (f" (+{len(failing) - 4} more)" if len(failing) > 4 else "")
            print(f"{ident:22} {verdict:16} {time.monotonic() - t0:5.0f}s  {shown}", flush=True)
    except KeyboardInterrupt:
        print("interrupted; the file in hand is restored", flush=True)
    finally:
        ok, log = build(args)
        print("build of the unchanged tree: " + ("ok" if ok else "FAILED\n" + log[-3000:]))
    tried = sum(counts.values()) - counts["stale"]
    print(f"\ntotal {tried} tried: {counts['caught']} caught by tests, {counts['caught-by-build']} "
          f"caught by the build, {counts['missed']} missed, {counts['stale']} stale; "
          f"{time.monotonic() - started:.0f}s ({(time.monotonic() - started) / max(tried, 1):.0f}s a fault)")
    if missed:
        print("missed: " + " ".join(missed))


if __name__ == "__main__":
    main()
