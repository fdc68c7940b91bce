#!/usr/bin/env python3
"""Mutation check: puts each fault of scripts/mutations.txt into a scratch copy of the repository,
one at a time, builds the test programs of the fault's layer, runs their tests and reports the
fault as CAUGHT (a test failed) or SURVIVED (every test passed).

A fault names its file, the function or class it lives in and a short pattern; the pattern is
looked for inside that function's body only, so the fault follows the function wherever it moves
in the file. A fault whose function or pattern is no longer found is STALE, one that no longer
compiles is BROKEN; both fail the run, so the list is kept in step with the code. Survivors fail the
run as well: each one is a fault no test notices.

  scripts/mutation-check.sh                      every fault
  scripts/mutation-check.sh --list               where each fault applies (STALE ones named); builds nothing
  scripts/mutation-check.sh --only 3,17 -j 1     two of them, one job at a time
  scripts/mutation-check.sh --all-tests          every test for every fault, not only its layer's

Environment: MUTATION_DIR (scratch folder, default /tmp/kuvrion-mutation-<checkout>), MUTATION_TIMEOUT
(seconds per test, default 60), MUTATION_EXCLUDE (ctest -E regex of tests too slow for the check).
Exit status: 0 when every fault chosen was caught, 1 when one survived, was stale or broken, 2 on a
wrong call or an unreadable fault list.
"""

import argparse
import functools
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass, field

REPO = os.path.realpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
FAULT_LIST = os.path.join(REPO, "scripts", "mutations.txt")
DEFAULT_EXCLUDE = "JobBeyondFourGiB|TenMillionTinyPages"
STOP_SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)


class Stop(Exception):
    """A signal arrived: restore the file and end."""


@dataclass
class Fault:
    number: int
    line: int  # where its block starts in the list
    reason: str = ""
    file: str = ""
    scope: str = ""
    find: str = ""
    into: str | None = None
    tests: list[str] = field(default_factory=list)


def die(message: str, status: int = 2):
    print(f"mutation check: {message}", file=sys.stderr)
    sys.exit(status)


# ---- the fault list -------------------------------------------------------------------------

KEYS = ("fault", "file", "in", "find", "into", "tests")


def read_faults(path: str) -> list[Fault]:
    """Blocks of `key: value` lines, separated by blank lines; `#` starts a comment line."""
    faults: list[Fault] = []
    current: Fault | None = None
    try:
        with open(path, encoding="utf-8") as f:
            lines = f.read().splitlines()
    except OSError as e:
        die(f"cannot read the fault list {path}: {e.strerror}")

    def close():
        nonlocal current
        if current is None:
            return
        missing = [k for k, v in (("fault", current.reason), ("file", current.file),
                                  ("in", current.scope), ("find", current.find))
                   if not v] + (["into"] if current.into is None else [])
        if missing:
            die(f"{path}, line {current.line}: the fault lacks {', '.join(missing)}")
        faults.append(current)
        current = None

    for n, raw in enumerate(lines, 1):
        if raw.strip() == "":
            close()
            continue
        if raw.lstrip().startswith("#"):
            continue
        m = re.match(r"(\w+):(?: (.*))?$", raw)
        if not m or m.group(1) not in KEYS:
            die(f"{path}, line {n}: not a line of a fault ({', '.join(KEYS)}): {raw}")
        key, value = m.group(1), m.group(2) or ""
        if current is None:
            current = Fault(number=len(faults) + 1, line=n)
        if key == "fault":
            current.reason = value
        elif key == "file":
            current.file = value
        elif key == "in":
            current.scope = value
        elif key == "find":
            current.find = value
        elif key == "into":
            current.into = value
        elif key == "tests":
            current.tests = value.split()
    close()
    if not faults:
        die(f"{path} holds no fault")
    return faults


# ---- finding a function's body and a pattern in it ------------------------------------------


@functools.lru_cache(maxsize=64)
def blank(text: str, strings: bool) -> str:
    """The text with every comment (and with `strings`, every string and character literal)
    replaced by blanks of the same length, line breaks kept: offsets stay valid."""
    out = list(text)
    i, n = 0, len(text)

    def wipe(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        c = text[i]
        if c == "/" and text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            wipe(i, j)
            i = j
        elif c == "/" and text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            wipe(i, j)
            i = j
        elif c == '"' or (c == "'" and not (i > 0 and text[i - 1].isalnum()
                                             and i + 1 < n and text[i + 1].isalnum())):
            raw = re.match(r'R"([^()\\\s]{0,16})\(', text[i - 1:i + 20]) if i > 0 else None
            if c == '"' and raw:
                j = text.find(")" + raw.group(1) + '"', i)
                j = n if j < 0 else j + len(raw.group(1)) + 2
            else:
                j = i + 1
                while j < n and text[j] != c and text[j] != "\n":
                    j += 2 if text[j] == "\\" else 1
                j = min(j + 1, n)
            if strings:
                wipe(i, j)
            i = j
        else:
            i += 1
    return "".join(out)


CLOSING = {"(": ")", "[": "]", "{": "}"}


def skip_group(code: str, i: int) -> int:
    """Index after the bracket group that opens at `i` (or len(code) when it never closes)."""
    depth = 0
    for k in range(i, len(code)):
        ch = code[k]
        if ch in "([{":
            depth += 1
        elif ch in ")]}":
            depth -= 1
            if depth == 0:
                return k + 1
    return len(code)


def skip_space(code: str, i: int) -> int:
    while i < len(code) and code[i].isspace():
        i += 1
    return i


def body_after_parameters(code: str, i: int):
    """After a parameter list closing before `i`: the body braces of a definition, or None for a
    call or a declaration. Allows qualifiers, a trailing return type and a constructor's
    initializer list."""
    in_init = False
    n = len(code)
    while i < n:
        ch = code[i]
        if ch.isspace() or ch.isalnum() or ch in "_&*<>,.":
            i += 1
        elif ch == ":":
            if code.startswith("::", i):
                i += 2
            else:
                in_init = True
                i += 1
        elif ch == "-" and code.startswith("->", i):
            i += 2
        elif ch in "([":
            i = skip_group(code, i)
        elif ch == "{":
            before = code[:i].rstrip()
            if in_init and before and (before[-1].isalnum() or before[-1] in "_>"):
                i = skip_group(code, i)  # a member's brace initializer
                continue
            return i, skip_group(code, i) - 1
        else:
            return None
    return None


def body_after_name(code: str, start: int, end: int):
    """(open, close) around the body of the definition whose name spans code[start:end], or None
    when the name is not defined there. A function's or class's body lies between its braces, a
    variable's between its `=` or `{` and the end of its initializer."""
    before = code[:start].rstrip()
    if before.endswith(".") or before.endswith("->"):
        return None  # a member used, not defined
    # The word before the name, past the qualifiers of a nested class (`class Outer::Inner`).
    word = re.search(r"(\w+)\s*(?:\w+\s*::\s*)*$", before)
    word = word.group(1) if word else ""
    if word in ("case", "return", "goto", "throw", "new", "delete", "else", "do", "public",
                "protected", "private", "virtual"):
        return None  # a name used in a statement, or a base class
    i = skip_space(code, end)
    if i >= len(code):
        return None
    if code[i] == "(":
        return body_after_parameters(code, skip_group(code, i))
    if word in ("class", "struct", "union", "enum", "namespace"):
        j = i
        while j < len(code) and code[j] not in "{;()":
            j += 1
        if j < len(code) and code[j] == "{":
            return j, skip_group(code, j) - 1
        return None
    # A table or a lambda held in a variable: `Name[] = {...};`, `Name{...}`, `Name = [](..) {}`.
    if not before or not (before[-1].isalnum() or before[-1] in "_>*&"):
        return None
    if code[i] == "[":
        i = skip_space(code, skip_group(code, i))
    if i < len(code) and code[i] == "{":
        return i, skip_group(code, i) - 1
    if i >= len(code) or code[i] != "=" or code.startswith("==", i):
        return None
    j = i + 1
    while j < len(code) and code[j] not in ";}":
        j = skip_group(code, j) if code[j] in "([{" else j + 1
    return (i, j) if j < len(code) and code[j] == ";" else None


def definitions(code: str, scope: str, lo: int, hi: int):
    """The bodies of `scope` ("Name", "Class::Name", ...) in code[lo:hi], in file order: a
    definition written with the qualified name, else the name inside the body of its class."""
    parts = [p.strip() for p in scope.split("::")]
    qualified = r"(?<![\w])" + r"\s*::\s*".join(map(re.escape, parts)) + r"(?!\w)"
    found = []
    for m in re.finditer(qualified, code[lo:hi]):
        body = body_after_name(code, lo + m.start(), lo + m.end())
        if body and body[1] < hi:
            found.append(body)
    if found:
        return found
    # The name inside the body of its class (or namespace), itself found the same way.
    for k in range(len(parts) - 1, 0, -1):
        for outer_open, outer_close in definitions(code, "::".join(parts[:k]), lo, hi):
            found += definitions(code, "::".join(parts[k:]), outer_open + 1, outer_close)
        if found:
            break
    return found


TOKEN = re.compile(r'"(?:\\.|[^"\\])*"|\'(?:\\.|[^\'\\])*\'|\w+|\S')


def pattern_regex(pattern: str) -> re.Pattern:
    """The pattern, token by token: any blanks or line breaks between tokens, at least one
    between two words."""
    tokens = TOKEN.findall(pattern)
    parts = []
    for k, t in enumerate(tokens):
        if k:
            words = re.match(r"\w", tokens[k - 1][-1]) and re.match(r"\w", t[0])
            parts.append(r"\s+" if words else r"\s*")
        parts.append(re.escape(t))
    return re.compile("".join(parts))


def locate(fault: Fault, root: str):
    """(text, start, end) of the pattern's first match in the fault's function, or a string
    saying why the fault is stale."""
    path = os.path.join(root, fault.file)
    try:
        with open(path, encoding="utf-8", newline="") as f:
            text = f.read()
    except OSError as e:
        return f"file {fault.file} not readable ({e.strerror})"
    code = blank(text, strings=True)
    bodies = definitions(code, fault.scope, 0, len(code))
    if not bodies:
        return f"no definition of {fault.scope} in {fault.file}"
    searchable = blank(text, strings=False)
    regex = pattern_regex(fault.find)
    for open_, close in bodies:
        m = regex.search(searchable, open_ + 1, close)
        if m:
            return text, m.start(), m.end()
    return f"pattern not in {fault.scope} ({fault.file}): {fault.find}"


def line_of(text: str, offset: int) -> int:
    return text.count("\n", 0, offset) + 1


# ---- the scratch copy and the build ---------------------------------------------------------


def run(cmd, log=None, **kw):
    """Runs `cmd` in its own process group; a Stop while it runs ends the group first."""
    out = open(log, "a") if log else subprocess.DEVNULL
    try:
        proc = subprocess.Popen(cmd, stdout=out, stderr=subprocess.STDOUT, start_new_session=True,
                                **kw)
        try:
            return proc.wait()
        except BaseException:
            try:
                os.killpg(proc.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            proc.wait()
            raise
    finally:
        if log:
            out.close()


def sync_copy(copy: str):
    """Makes `copy` hold the working tree's files (tracked, and new ones not ignored). Only files
    whose bytes differ are written, so an incremental build stays incremental."""
    listed = subprocess.run(["git", "-C", REPO, "ls-files", "-z", "--cached", "--others",
                             "--exclude-standard"], capture_output=True, check=False)
    if listed.returncode != 0:
        die(f"git ls-files failed in {REPO}: {listed.stderr.decode(errors='replace').strip()}", 1)
    names = {n for n in listed.stdout.decode().split("\0") if n}
    written = 0
    for name in names:
        src, dst = os.path.join(REPO, name), os.path.join(copy, name)
        if os.path.islink(src):
            target = os.readlink(src)
            if not os.path.islink(dst) or os.readlink(dst) != target:
                os.makedirs(os.path.dirname(dst), exist_ok=True)
                if os.path.lexists(dst):
                    os.remove(dst)
                os.symlink(target, dst)
            continue
        if not os.path.isfile(src):
            continue  # deleted in the working tree, not yet in the index
        with open(src, "rb") as f:
            data = f.read()
        try:
            with open(dst, "rb") as f:
                if f.read() == data:
                    continue
        except OSError:
            pass
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        with open(dst, "wb") as f:
            f.write(data)
        written += 1
    for folder, _, files in os.walk(copy):
        for f in files:
            path = os.path.join(folder, f)
            if os.path.relpath(path, copy) not in names:
                os.remove(path)
    return written


def test_targets(build: str, labels: list[str]) -> list[str]:
    """The build targets of the test programs that carry `labels` (tests/<label> is test_<label>
    and its variants; the fuzz replays are *_replay)."""
    out = subprocess.run(["ninja", "-C", build, "-t", "targets", "all"], capture_output=True,
                         text=True, check=False).stdout
    names = [line.split(":")[0] for line in out.splitlines() if line.endswith(": phony")]
    targets = []
    for label in labels:
        mine = [n for n in names if (n.endswith("_replay") and not n.startswith("cmake_")
                                     if label == "fuzz"
                                     else n == f"test_{label}" or n.startswith(f"test_{label}_"))]
        if not mine:
            die(f"no test program for the label \"{label}\" in {build}", 1)
        targets += mine
    return sorted(set(targets))


def label_regex(labels: list[str]) -> str:
    return "^(" + "|".join(map(re.escape, labels)) + ")$"


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                formatter_class=argparse.RawDescriptionHelpFormatter,
                                epilog=__doc__.split("\n\n", 1)[1])
    p.add_argument("--list", action="store_true", help="where each fault applies; runs nothing")
    p.add_argument("--only", default="", help="fault numbers, e.g. 3,17")
    p.add_argument("-j", type=int, default=2, dest="jobs", help="build and test jobs (2)")
    p.add_argument("--dir", default=os.environ.get("MUTATION_DIR",
                                                 f"/tmp/kuvrion-mutation-{os.path.basename(REPO)}"),
                   help="scratch folder, outside the repository")
    p.add_argument("--all-tests", action="store_true",
                   help="every test for every fault, not only the tests of its layer")
    p.add_argument("--faults", default=FAULT_LIST, help="the fault list (scripts/mutations.txt)")
    args = p.parse_args()
    if args.jobs < 1:
        die("-j needs a positive number")
    faults = read_faults(args.faults)
    if args.only:
        try:
            wanted = {int(n) for n in args.only.split(",")}
        except ValueError:
            die(f"--only takes fault numbers like 3,17, not {args.only}")
        unknown = sorted(wanted - {f.number for f in faults})
        if unknown:
            die(f"no fault numbered {', '.join(map(str, unknown))} (there are {len(faults)})")
        faults = [f for f in faults if f.number in wanted]
    for f in faults:
        if not f.tests:
            m = re.match(r"src/([^/]+)/", f.file)
            if not m:
                die(f"fault {f.number} (line {f.line}): {f.file} lies outside src/<layer>/; "
                    "name its tests with `tests:`")
            f.tests = [m.group(1)]
    width = len(str(max(f.number for f in faults)))

    def tag(f: Fault) -> str:
        return f"[{f.number:>{width}}]"

    if args.list:
        stale = 0
        for f in faults:
            where = locate(f, REPO)
            print(f"{tag(f)} {f.reason}")
            if isinstance(where, str):
                stale += 1
                print(f"     STALE: {where}")
            else:
                text, start, _ = where
                print(f"     {f.file}:{line_of(text, start)} in {f.scope}  (tests: "
                      f"{' '.join(f.tests)})")
            print(f"     - {f.find}\n     + {f.into}")
        if stale:
            print(f"{stale} of {len(faults)} faults are stale: bring {args.faults} up to the code")
            return 1
        print(f"All {len(faults)} faults found.")
        return 0

    for tool in ("git", "cmake", "ninja", "ctest"):
        if shutil.which(tool) is None:
            die(f"{tool} is needed", 1)
    scratch = os.path.realpath(args.dir)
    if (scratch + "/").startswith(REPO + "/"):
        die(f"the scratch folder must lie outside the repository: {scratch}")
    copy, build, logs, tmp = (os.path.join(scratch, d) for d in ("repo", "build", "logs", "tmp"))
    os.makedirs(copy, exist_ok=True)
    shutil.rmtree(logs, ignore_errors=True)
    os.makedirs(logs)
    marker = os.path.join(scratch, "mutated-file")
    start_time = time.monotonic()

    def elapsed(since=start_time) -> str:
        s = int(time.monotonic() - since)
        return f"{s // 60}m {s % 60:02d}s"

    def on_signal(signum, _frame):
        raise Stop(signal.Signals(signum).name)

    for s in STOP_SIGNALS:
        signal.signal(s, on_signal)

    # A run that was killed outright may have left a mutated object in the build: the file it
    # mutated is restored by the copy below and touched, so that it compiles again.
    if os.path.exists(marker):
        with open(marker) as m:
            left = os.path.join(copy, m.read().strip())
        sync_copy(copy)
        if os.path.exists(left):
            os.utime(left)
        os.remove(marker)
    else:
        sync_copy(copy)

    linker = []
    if shutil.which("ld.lld"):
        linker = ["-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld"]
    elif shutil.which("ld.gold"):
        linker = ["-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=gold"]
    labels = sorted({t for f in faults for t in f.tests})
    print(f"Kuvrion mutation check: {len(faults)} faults, scratch folder {scratch}, -j{args.jobs}")
    step = time.monotonic()
    print("Configuring (unoptimised, no desktop program) ... ", end="", flush=True)
    configure_log = os.path.join(logs, "configure.log")
    if run(["cmake", "-S", copy, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
            "-DCMAKE_CXX_FLAGS_DEBUG=-O0", *linker, "-DKUVRION_GUI=OFF", "-DKUVRION_MANUAL=OFF",
            "-DKUVRION_BENCH=OFF"], configure_log) != 0:
        die(f"cmake failed; see {configure_log}", 1)

    if args.all_tests:
        targets = ["all"]
    else:
        targets = test_targets(build, labels)
    print(f"building {' '.join(targets)} ... ", end="", flush=True)
    build_log = os.path.join(logs, "build.log")
    if run(["ninja", "-C", build, f"-j{args.jobs}", *targets], build_log) != 0:
        die(f"the unchanged code does not build; see {build_log}", 1)
    print(elapsed(step))

    timeout = os.environ.get("MUTATION_TIMEOUT", "60")
    exclude = os.environ.get("MUTATION_EXCLUDE", DEFAULT_EXCLUDE)

    def ctest(select: list[str], log: str) -> int:
        # A private temporary folder: some tests name their folders after themselves, so test
        # runs of other checkouts on the same machine would otherwise share (and remove) them.
        shutil.rmtree(tmp, ignore_errors=True)
        os.makedirs(tmp)
        env = dict(os.environ, TMPDIR=tmp, TEST_TMPDIR=tmp)
        return run(["ctest", "--test-dir", build, f"-j{args.jobs}", "--timeout", timeout,
                    "--no-tests=error", "--stop-on-failure", *select, "-E", exclude], log,
                   env=env)

    def selection(f: Fault) -> list[str]:
        return [] if args.all_tests else ["-L", label_regex(f.tests)]

    # Every layer's tests must exist and pass before a fault can be judged by them.
    step = time.monotonic()
    print("Tests on the unchanged code ... ", end="", flush=True)
    counts = {}
    for label in ([] if args.all_tests else labels):
        listing = subprocess.run(["ctest", "--test-dir", build, "-N", "-L", label_regex([label]),
                                  "-E", exclude], capture_output=True, text=True, check=False)
        m = re.search(r"Total Tests: (\d+)", listing.stdout)
        counts[label] = int(m.group(1)) if m else 0
        if counts[label] == 0:
            die(f"no tests carry the label \"{label}\" in {build}: nothing could catch its faults",
                1)
    baseline_log = os.path.join(logs, "baseline.log")
    baseline = [] if args.all_tests else ["-L", label_regex(labels)]
    if ctest(baseline, baseline_log) != 0:
        die(f"the tests fail on the unchanged code; see {baseline_log}", 1)
    with open(baseline_log) as f:
        passed = len(re.findall(r"Test +#\d+: .* Passed", f.read()))
    if passed == 0:
        die(f"no test ran on the unchanged code; see {baseline_log}", 1)
    print(f"{passed} tests pass in {elapsed(step)} "
          f"({', '.join(f'{k} {v}' for k, v in counts.items()) or 'every label'}; "
          f"excluded: {exclude})\n")

    results = {"CAUGHT": [], "SURVIVED": [], "STALE": [], "BROKEN": []}
    try:
        for f in faults:
            where = locate(f, copy)
            if isinstance(where, str):
                results["STALE"].append(f)
                print(f"{tag(f)} STALE     {where}  -- {f.reason}", flush=True)
                continue
            text, start, end = where
            spot = f"{f.file}:{line_of(text, start)} {f.scope}"
            path = os.path.join(copy, f.file)
            log = os.path.join(logs, f"{f.number}.log")
            with open(marker, "w") as m:
                m.write(f.file)
            try:
                with open(path, "w", encoding="utf-8", newline="") as out:
                    out.write(text[:start] + f.into + text[end:])
                targets = ["all"] if args.all_tests else test_targets(build, f.tests)
                built = run(["ninja", "-C", build, f"-j{args.jobs}", *targets], log)
                verdict, by = None, ""
                if built != 0:
                    with open(log, errors="replace") as lf:
                        output = lf.read()
                    # A test program that fails while its tests are listed caught the fault.
                    if "Error running test executable" in output:
                        verdict, by = "CAUGHT", "the test program fails at start"
                    else:
                        verdict = "BROKEN"
                elif ctest(selection(f), log) != 0:
                    verdict = "CAUGHT"
                    with open(log, errors="replace") as lf:
                        failed = re.search(r"The following tests FAILED:\n\s*\d+ - (.*?)"
                                           r"(?: \([^()]*\))*$", lf.read(), re.M)
                    by = failed.group(1) if failed else ""
                else:
                    verdict = "SURVIVED"
            finally:
                # Written anew, so its time stamp is newer than the mutated object's; no signal
                # may cut the restore short.
                signal.pthread_sigmask(signal.SIG_BLOCK, STOP_SIGNALS)
                with open(path, "w", encoding="utf-8", newline="") as out:
                    out.write(text)
                os.remove(marker)
                signal.pthread_sigmask(signal.SIG_UNBLOCK, STOP_SIGNALS)
            results[verdict].append(f)
            note = {"CAUGHT": f"  (by {by})" if by else "",
                    "BROKEN": f"  (does not build; see {log})", "SURVIVED": ""}[verdict]
            print(f"{tag(f)} {verdict:<9} {spot}  -- {f.reason}{note}", flush=True)
    except Stop as stop:
        print(f"\nmutation check: stopped by {stop}; every file is restored", file=sys.stderr)
        return 130

    caught, judged = len(results["CAUGHT"]), len(results["CAUGHT"]) + len(results["SURVIVED"])
    if results["SURVIVED"]:
        print("\nSurvived (no test fails with these faults):")
        for f in results["SURVIVED"]:
            print(f"{tag(f)} {f.reason}\n     {f.file} in {f.scope}\n     - {f.find}\n"
                  f"     + {f.into}")
    percent = round(100 * caught / judged) if judged else 0
    print(f"\ncaught {caught} of {judged} ({percent}%); stale {len(results['STALE'])}, broken "
          f"{len(results['BROKEN'])}; runtime {elapsed()}; logs in {logs}")
    if results["STALE"] or results["BROKEN"]:
        print(f"FAILED: stale or broken faults; bring {args.faults} up to the code (a renamed "
              "function is one `in:` line, a moved file one `file:` line)")
        return 1
    if results["SURVIVED"]:
        print("FAILED: faults survived; each one needs a test that catches it")
        return 1
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Stop as stop:
        print(f"\nmutation check: stopped by {stop}", file=sys.stderr)
        sys.exit(130)
