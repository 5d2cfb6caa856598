#!/usr/bin/env python3
"""Seeds the deliberate faults of faults.txt one at a time and tells which the tests catch.

  cmake -S SRC -B BUILD -DTVFTP_BENCH=OFF && make -C BUILD -j2
  python3 tests/faults/run_faults.py --source SRC --build BUILD [--faults FILE] [--only ID...]
      [--exclude REGEX] [--timeout S] [--all] [--targets T...] [--ctest-args ...]

For each fault: the old text must occur exactly once (else "stale"), the file is changed,
the build is remade (a fault that does not compile is caught by the build), ctest runs the
tests not matching --exclude (stopping at the first failure unless --all) and runs the
failed ones twice more (a failure that does not repeat is "flaky", not caught), and the file
is put back byte for byte, also on Ctrl-C. The unchanged tree is built and tested first (it
must pass) and built again at the end, so the build folder is left clean. SRC must be a
checkout nobody else edits meanwhile (a git worktree of the commit under test).
"""
import argparse, contextlib, os, re, signal, subprocess, sys, time

DEFAULT_EXCLUDE = r"RealServer|Wine|^windows\."  # real FTP servers, Wine, Windows builds


def load_faults(path):
    faults = []
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        if line.strip() and not line.lstrip().startswith("#"):
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
        with contextlib.suppress(ProcessLookupError):
            os.killpg(process.pid, signal.SIGKILL)
        process.wait()
    return process.returncode, output


def build(args):
    code, log = run(["make", "-C", args.build, "-j2", *args.targets])
    return code == 0, log


def ctest(args, *extra):
    code, log = run(["ctest", "-j2", "--timeout", str(args.timeout), "-E", args.exclude,
                     *extra, *args.ctest_args], cwd=args.build)
    # A parameterised test's name may carry its parameter after a '#' (Transcript.Plays).
    failed = re.findall(r"^\s*\d+ - (\S+)(?:\s+#.*)? \(([^()]+)\)\s*$", log, re.M)
    if code != 0 and not failed:
        return ["(ctest: " + (log.strip().splitlines() or ["?"])[-1] + ")"]
    return [name if why == "Failed" else f"{name}({why})" for name, why in failed]


def run_tests(args):
    """The failing tests, and whether they failed twice more when run again. A failure that
    does not repeat may have stopped the run before the test that catches the fault: then
    every test runs."""
    for extra in [[]] if args.all else [["--stop-on-failure"], []]:
        failing = ctest(args, *extra)
        if not failing:
            return [], False
        if ctest(args, "--rerun-failed", "--repeat", "until-pass:2"):
            return failing, True
    return failing, False


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--source", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--faults", default=os.path.join(os.path.dirname(__file__), "faults.txt"))
    parser.add_argument("--only", nargs="+", metavar="ID")
    parser.add_argument("--exclude", default=DEFAULT_EXCLUDE, help="ctest -E regex")
    parser.add_argument("--timeout", type=int, default=30,
                        help="seconds for a test without a TIMEOUT of its own (GoogleTest: 120)")
    parser.add_argument("--all", action="store_true", help="do not stop at the first failure")
    parser.add_argument("--targets", nargs="*", default=[], help="make targets (default all)")
    parser.add_argument("--ctest-args", nargs=argparse.REMAINDER, default=[])
    args = parser.parse_args()
    faults = load_faults(args.faults)
    if set(args.only or []) - {f[0] for f in faults}:
        sys.exit("unknown fault ids: " + " ".join(set(args.only) - {f[0] for f in faults}))
    faults = [f for f in faults if not args.only or f[0] in args.only]
    for stop in signal.SIGINT, signal.SIGTERM:  # both end the run as Ctrl-C: the file goes back
        signal.signal(stop, signal.default_int_handler)

    print(f"source {args.source}  build {args.build}  faults {args.faults}\ntests: ctest -j2 "
          f"--timeout {args.timeout}{' --stop-on-failure' * (not args.all)} -E '{args.exclude}' "
          f"{' '.join(args.ctest_args)}", flush=True)
    ok, log = build(args)
    failing = ctest(args) if ok else ["(build)\n" + log[-3000:]]
    if failing:
        sys.exit("the unchanged tree does not pass: " + " ".join(failing))

    counts = dict.fromkeys(["caught", "caught-by-build", "missed", "flaky", "stale"], 0)
    missed, started = [], time.monotonic()
    try:
        for ident, path, old, new in faults:
            t0, full = time.monotonic(), os.path.join(args.source, path)
            original = open(full, "rb").read() if os.path.isfile(full) else b""
            text = original.decode("utf-8", "surrogateescape")
            if text.count(old) != 1:
                counts["stale"] += 1
                print(f"{ident:22} stale ({text.count(old)} matches in {path})", flush=True)
                continue
            try:
                with open(full, "wb") as f:
                    f.write(text.replace(old, new).encode("utf-8", "surrogateescape"))
                ok, _ = build(args)
                failing, repeated = run_tests(args) if ok else ([], False)
            finally:
                with open(full, "wb") as f:
                    f.write(original)
            verdict = ("caught-by-build" if not ok else "caught" if repeated
                       else "flaky" if failing else "missed")
            counts[verdict] += 1
            missed += [ident] if verdict in ("missed", "flaky") else []
            shown = " ".join(failing[:3]) + (f" (+{len(failing) - 3})" if len(failing) > 3 else "")
            print(f"{ident:22} {verdict:15} {time.monotonic() - t0:4.0f}s  {shown}", flush=True)
    except KeyboardInterrupt:
        print("interrupted; the file in hand is restored", flush=True)
    finally:
        ok, log = build(args)
        print("build of the unchanged tree: " + ("ok" if ok else "FAILED\n" + log[-3000:]))
    tried, spent = sum(counts.values()) - counts["stale"], time.monotonic() - started
    print(f"\ntotal {tried} tried: {counts['caught']} caught by tests, {counts['caught-by-build']}"
          f" caught by the build, {counts['missed']} missed, {counts['flaky']} flaky (failed, then"
          f" passed), {counts['stale']} stale; {spent:.0f}s, {spent / max(tried, 1):.0f}s a fault")
    if missed:
        print("missed or flaky: " + " ".join(missed))


if __name__ == "__main__":
    main()
