#!/usr/bin/env python3
"""mutate.py: put small faults into product code one at a time and record
which native test cases, and which rows of their tables, notice each one.

    python3 scripts/mutate.py SOURCE --target observe_tests \
        [--lines 10-80 ...] [--functions CanonicalUrl ...] \
        [--filter 'Url*'] [--reached COVERAGE.json] [--out results.json]

For each mutant the file is copied aside, the mutant written, the one test
target rebuilt in build/mutate (plain Debug without sanitizers: quicker) and the
binary run with a timeout. A mutant that does not compile is dropped. The
file is always put back, also on Ctrl-C.

A failure is named by its test and, for a table row, by the row: the text
of SCOPED_TRACE if any, otherwise the assertion's place and message with
the value the code under test gave left out (it differs from mutant to
mutant; the expected value and any streamed row text do not).

--reached takes a gcovr JSON file (scripts/coverage.sh): mutants on lines
no test reached are counted as surviving without being built.
"""
import argparse
import collections
import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "mutate")


# --- reading the source ---------------------------------------------------


def code_mask(text):
    """Per character: True where it is code, False inside comments and
    string or character literals (their quotes included)."""
    mask = [True] * len(text)
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            for k in range(i, j):
                mask[k] = False
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            for k in range(i, j):
                mask[k] = False
            i = j
        elif c in "\"'":
            # A raw string literal would need more; the sources have none.
            j = i + 1
            while j < n and text[j] != c:
                if text[j] == "\\":
                    j += 1
                elif text[j] == "\n":
                    break
                j += 1
            j = min(j + 1, n)
            for k in range(i, j):
                mask[k] = False
            i = j
        else:
            i += 1
    return mask


Line = collections.namedtuple("Line", "number start text code in_function function returns_bool")


def read_lines(text):
    """Lines with their code-only text (comments and literals blanked) and
    whether they sit inside a function body."""
    mask = code_mask(text)
    code_text = "".join(ch if mask[i] or ch == "\n" else " " for i, ch in enumerate(text))
    lines = []
    stack = []  # per open brace: "function", "block" or "other"
    pending = ""  # code since the last ; { or } at any depth
    function, returns_bool = None, False
    start = 0
    for number, (raw, code) in enumerate(zip(text.split("\n"), code_text.split("\n")), 1):
        was_in_function = "function" in stack
        start_of_line = start
        start += len(raw) + 1
        if code.lstrip().startswith("#"):
            lines.append(Line(number, start_of_line, raw, code, False, None, False))
            continue
        for ch in code:
            if ch == "{":
                head = " ".join(pending.split())
                if "function" in stack:
                    kind = "block"
                elif re.search(r"\b(namespace|struct|class|enum|union)\b", head) or "=" in head.split("(")[0]:
                    kind = "other"
                elif re.search(r"\)\s*(const)?\s*(noexcept)?\s*(->\s*[\w:<>*& ]+)?\s*$", head):
                    kind = "function"
                    m = re.search(r"([\w:~]+)\s*\(", head)
                    function = m.group(1) if m else None
                    before = head[: m.start()] if m else ""
                    returns_bool = re.search(r"\bbool\s*$", before) is not None
                else:
                    kind = "other"
                stack.append(kind)
                pending = ""
            elif ch == "}":
                if stack:
                    stack.pop()
                pending = ""
            elif ch == ";":
                pending = ""
            else:
                pending += ch
        pending += " "
        # A function written on one line counts as inside a function.
        in_function = was_in_function or "function" in stack or re.search(r"\)\s*(const\s*)?\{.*\}", code)
        in_function = bool(in_function) and function is not None
        lines.append(Line(number, start_of_line, raw, code, in_function, function if in_function else None,
                          returns_bool and in_function))
    return lines


def matching_paren(code, open_at):
    depth = 0
    for j in range(open_at, len(code)):
        if code[j] == "(":
            depth += 1
        elif code[j] == ")":
            depth -= 1
            if depth == 0:
                return j
    return -1


DECLARATION = re.compile(
    r"^\s*(static\s+|const\s+|constexpr\s+|unsigned\s+|struct\s+)*"
    r"(bool|char|int|long|short|size_t|unsigned|uint\d+_t|int\d+_t|double|float|auto|"
    r"std::[\w:<>, ]+|[A-Z]\w*)[\s*&]+\w+(\[[^\]]*\])?\s*(=|;|\(|\{)")


def mutants_of_line(line):
    """(column, old text, new text, kind) for one line of code."""
    code = line.code
    out = []

    def each(pattern, replace, kind):
        for m in re.finditer(pattern, code):
            for new in replace(m):
                out.append((m.start(), m.group(0), new, kind))

    relational = {" < ": [" <= "], " <= ": [" < "], " > ": [" >= "], " >= ": [" > "],
                  " == ": [" != "], " != ": [" == "]}
    each(r" (<=|>=|==|!=|<|>) ", lambda m: relational[m.group(0)], "relational")
    each(r" (&&|\|\|) ", lambda m: [" || " if m.group(1) == "&&" else " && "], "logical")
    each(r" (\+|-)=? ", lambda m: [m.group(0).replace("+", "#").replace("-", "+").replace("#", "-")],
         "arithmetic")
    # Integer constants, not parts of names or of floating point numbers.
    for m in re.finditer(r"(?<![\w.])(0[xX][0-9a-fA-F]+|\d+)([uUlL]*)(?![\w.])", code):
        value = int(m.group(1), 0)
        for v in (value + 1, value - 1):
            text = str(v) if v >= 0 else "(%d)" % v
            if m.group(1).lower().startswith("0x") and v >= 0:
                text = "0x%X" % v
            out.append((m.start(), m.group(0), text + m.group(2), "constant"))
    for m in re.finditer(r"\b(if|while)\s*\(", code):
        open_at = m.end() - 1
        close = matching_paren(code, open_at)
        if close > 0:
            old = code[open_at:close + 1]
            out.append((open_at, old, "(!" + old + ")", "negate"))
    one = re.search(r"\{\s*return\s+(.+);\s*\}\s*$", code)
    if one and line.returns_bool and not re.match(r"^(true|false)$", one.group(1)):
        old = code[one.start(1):one.end(1)]
        out.append((one.start(1), old, "!(" + old + ")", "return-bool"))
    m = re.match(r"^(\s*)return\s+(true|false);", code)
    if m:
        other = "false" if m.group(2) == "true" else "true"
        out.append((m.start(2), m.group(2), other, "return-bool"))
    elif line.returns_bool:
        m = re.match(r"^(\s*)return\s+(.+);\s*$", code)
        if m:
            old = code[m.start(2):m.end(2)]
            out.append((m.start(2), old, "!(" + old + ")", "return-bool"))
    stripped = code.strip()
    if (stripped.endswith(";") and not stripped.startswith(("}", "case ", "default", "return"))
            and not DECLARATION.match(code)):
        out.append((0, line.text, "", "delete"))
    return out


def in_literal_free_span(line, column, old):
    # Operators were found on the code-only text; the real text must agree.
    return line.text[column:column + len(old)] == old


def make_mutants(path, ranges, functions):
    with open(path) as f:
        text = f.read()
    lines = read_lines(text)
    chosen = []
    for line in lines:
        if not line.in_function:
            continue
        if ranges and not any(a <= line.number <= b for a, b in ranges):
            if not (functions and line.function in functions):
                continue
        elif functions and not ranges and line.function not in functions:
            continue
        if not line.code.strip() or line.code.lstrip().startswith("#"):
            continue
        for column, old, new, kind in mutants_of_line(line):
            if kind != "delete" and not in_literal_free_span(line, column, old):
                continue
            chosen.append({"line": line.number, "column": column, "kind": kind, "old": old, "new": new,
                           "function": line.function})
    return text, lines, chosen


def apply(text, lines, mutant):
    line = lines[mutant["line"] - 1]
    at = line.start + mutant["column"]
    return text[:at] + mutant["new"] + text[at + len(mutant["old"]):]


# --- building and running -------------------------------------------------


def configure():
    if os.path.exists(os.path.join(BUILD, "CMakeCache.txt")):
        return
    args = ["cmake", "-S", ROOT, "-B", BUILD, "-DCMAKE_BUILD_TYPE=Debug", "-DSKEIND_SANITIZE=OFF"]
    if shutil.which("ccache"):
        args += ["-DCMAKE_C_COMPILER_LAUNCHER=ccache", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"]
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)


def owners(source):
    """The library targets that compile source (Makefile generator)."""
    found = []
    for d, _, files in os.walk(BUILD):
        if "build.make" in files and d.endswith(".dir"):
            with open(os.path.join(d, "build.make")) as f:
                if re.search(r":\s*%s\s*$" % re.escape(source), f.read(), re.M):
                    found.append(os.path.basename(d)[: -len(".dir")])
    return found


def build(target, libraries=()):
    """Rebuild the libraries that hold the mutated file, then the test
    program, without make walking every other target's dependencies."""
    env = dict(os.environ, CCACHE_BASEDIR=ROOT)
    if os.path.exists(os.path.join(BUILD, "Makefile")) and libraries is not None:
        steps = [["make", "-C", BUILD, "--no-print-directory", t + "/fast"] for t in list(libraries) + [target]]
    else:
        steps = [["cmake", "--build", BUILD, "-j1", "--target", target]]
    log = ""
    for step in steps:
        r = subprocess.run(step, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env)
        log += r.stdout.decode(errors="replace")
        if r.returncode != 0:
            return False, log
    return True, log


def binary(target):
    for d in ("bin", "tests", "."):
        p = os.path.join(BUILD, d, target)
        if os.path.exists(p):
            return p
    raise SystemExit("no binary for %s under %s" % (target, BUILD))


SECOND_VALUE = re.compile(r"(Expected equality of these values:\n  .*\n(?:    Which is: .*\n)?  .*\n)"
                          r"    Which is: .*(\n|$)")
PLACE = re.compile(r"^(\S+?):(\d+)\n")


def failure_key(test, message):
    """A name for one failure that stays the same from mutant to mutant."""
    trace = None
    if "Google Test trace:" in message:
        message, trace = message.split("Google Test trace:", 1)
        trace = " | ".join(re.sub(r"^\S+:\d+: ", "", t) for t in trace.strip().split("\n"))
    if trace:
        return "%s [%s]" % (test, trace)
    message = re.sub(r"\n +As Text: .*", "", message)
    message = SECOND_VALUE.sub(r"\1", message)
    # Values the code gave in other assertion kinds.
    message = re.sub(r"\n  Actual: .*", "", message)
    place = PLACE.match(message)
    where = ""
    if place:
        where = "@%s " % place.group(2)
        message = message[place.end():]
    return "%s %s%s" % (test, where, " ".join(message.split())[:300])


def run_tests(exe, gfilter, timeout):
    """{test: [failure keys]} for the failing tests; a crash or a hang
    fails the test that was running and the rest are run again."""
    failed = {}
    excluded = []
    for _ in range(6):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "r.json")
            f = gfilter
            if excluded:
                f += ("-" if "-" not in f else ":") + ":".join(excluded)
            try:
                r = subprocess.run([exe, "--gtest_filter=" + f, "--gtest_output=json:" + out],
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout,
                                   cwd=os.path.dirname(exe), start_new_session=True)
                stdout, how = r.stdout.decode(errors="replace"), r.returncode
            except subprocess.TimeoutExpired as e:
                stdout, how = (e.stdout or b"").decode(errors="replace"), "timeout"
            if os.path.exists(out):
                with open(out) as fh:
                    data = json.load(fh)
                for suite in data.get("testsuites", []):
                    for t in suite.get("testsuite", []):
                        if t.get("failures"):
                            name = "%s.%s" % (suite["name"], t["name"])
                            failed[name] = sorted({failure_key(name, x["failure"]) for x in t["failures"]})
                return failed
            running = re.findall(r"^\[ RUN      \] (\S+)$", stdout, re.M)
            done = set(re.findall(r"^\[ +(?:OK|FAILED) +\] (\S+) \(", stdout, re.M))
            for name in re.findall(r"^\[  FAILED  \] (\S+) \(", stdout, re.M):
                failed.setdefault(name, [name + " (failed before a crash)"])
            open_tests = [t for t in running if t not in done]
            if not open_tests:
                failed.setdefault("<binary>", ["<binary> %s" % how])
                return failed
            name = open_tests[-1]
            failed[name] = ["%s <%s>" % (name, "timeout" if how == "timeout" else "crash %s" % how)]
            excluded.extend(t for t in running)
    return failed


# --- the whole run --------------------------------------------------------


def reached_lines(cov_path, source):
    with open(cov_path) as f:
        data = json.load(f)
    rel = os.path.relpath(source, ROOT)
    for entry in data["files"]:
        if entry["file"] == rel:
            return {l["line_number"] for l in entry["lines"] if l["count"] > 0}
    return set()


def summarise(results):
    made = [m for m in results if m["status"] != "compile-error"]
    killed = [m for m in made if m["status"] == "killed"]
    only = collections.defaultdict(list)
    only_test = collections.defaultdict(list)
    for m in killed:
        keys = {k for ks in m["failed"].values() for k in ks}
        if len(keys) == 1:
            only[next(iter(keys))].append(m["id"])
        if len(m["failed"]) == 1:
            only_test[next(iter(m["failed"]))].append(m["id"])
    return {
        "made": len(made),
        "killed": len(killed),
        "surviving": len(made) - len(killed),
        "unreached": sum(m["status"] == "unreached" for m in made),
        "compile_errors": len(results) - len(made),
        "only_this_row_kills": dict(sorted(only.items())),
        "only_this_test_kills": dict(sorted(only_test.items())),
    }


def parse_ranges(values):
    out = []
    for v in values or []:
        a, _, b = v.partition("-")
        out.append((int(a), int(b or a)))
    return out


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("source")
    ap.add_argument("--target", required=True)
    ap.add_argument("--filter", default="*")
    ap.add_argument("--lines", action="append", help="FIRST-LAST, may repeat")
    ap.add_argument("--functions", nargs="*")
    ap.add_argument("--reached", help="gcovr JSON: skip lines no test reached")
    ap.add_argument("--timeout", type=float, default=10)
    ap.add_argument("--out", default="mutants.json")
    ap.add_argument("--list", action="store_true", help="only list the mutants")
    ap.add_argument("--again", help="an earlier run's JSON: try only the mutants it killed and carry its "
                    "other results over (fewer tests can only kill fewer)")
    args = ap.parse_args()

    source = os.path.abspath(args.source)
    text, lines, mutants = make_mutants(source, parse_ranges(args.lines), set(args.functions or []))
    for i, m in enumerate(mutants):
        m["id"] = "%s:%d:%d:%s" % (os.path.relpath(source, ROOT), m["line"], m["column"], m["kind"])
        m["id"] += "" if m["kind"] == "delete" else ":%s->%s" % (m["old"].strip(), m["new"].strip())
    if args.list:
        for m in mutants:
            print(m["id"])
        print("%d mutants" % len(mutants))
        return

    reached = reached_lines(args.reached, source) if args.reached else None
    earlier = {}
    if args.again:
        with open(args.again) as f:
            earlier = {m["id"]: m for m in json.load(f)["mutants"]}
    configure()
    ok, log = build(args.target, None)
    if not ok:
        raise SystemExit("the unchanged tree does not build:\n" + log[-3000:])
    exe = binary(args.target)
    libraries = [t for t in owners(source) if t != args.target]
    base = run_tests(exe, args.filter, max(args.timeout, 60))
    if base:
        raise SystemExit("tests fail without a mutant: %s" % sorted(base))

    aside = source + ".mutate-orig"
    shutil.copy2(source, aside)
    results = []

    def restore(*_):
        shutil.copy2(aside, source)
        os.utime(source, None)

    previous = signal.signal(signal.SIGTERM, lambda *a: (_ for _ in ()).throw(KeyboardInterrupt()))
    started = time.time()
    try:
        for n, m in enumerate(mutants, 1):
            entry = dict(m)
            if m["id"] in earlier and earlier[m["id"]]["status"] != "killed":
                results.append(dict(earlier[m["id"]]))
                continue
            if reached is not None and m["line"] not in reached:
                entry.update(status="unreached", failed={})
                results.append(entry)
                continue
            with open(source, "w") as f:
                f.write(apply(text, lines, m))
            ok, _ = build(args.target, libraries)
            if not ok:
                entry.update(status="compile-error", failed={})
            else:
                failed = run_tests(exe, args.filter, args.timeout)
                entry.update(status="killed" if failed else "survived", failed=failed)
            restore()
            results.append(entry)
            print("[%d/%d %.0fs] %-9s %s" % (n, len(mutants), time.time() - started, entry["status"], m["id"]),
                  flush=True)
    finally:
        restore()
        os.remove(aside)
        signal.signal(signal.SIGTERM, previous)
        # Leave the tree built from the real source.
        build(args.target, None)
        summary = summarise(results)
        with open(args.out, "w") as f:
            json.dump({"source": os.path.relpath(source, ROOT), "target": args.target, "filter": args.filter,
                       "summary": summary, "mutants": results}, f, indent=1)
        print("mutants made %d, killed %d, surviving %d (of them unreached %d), compile errors %d"
              % (summary["made"], summary["killed"], summary["surviving"], summary["unreached"],
                 summary["compile_errors"]))
        print("written", args.out)


if __name__ == "__main__":
    main()
