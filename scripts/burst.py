#!/usr/bin/env python3
"""Bursts of a site's pages sent to skeind.exe under Wine, and kills.

    burst.py curve [--rounds N] [--sizes P,P,...] [--rates R,R,...] [--out FILE]
    burst.py kill [--runs N] [--seed S] [--pages P] [--rate R] [--report FILE.xml]

Run through scripts/bench-burst.sh or scripts/kill-test.sh, which build the
tools and start the Wine prefix ($WINE and $WINEPREFIX set).

curve: for each burst size (in pages, six datagrams a page) sent as fast
as the socket takes them, and for each rate (datagrams a second, each
burst lasting about three seconds), a fresh workspace, the program started
on it, the burst sent (tools/burst/burstsend), the program closed once its
socket has nothing left to read, and the pages that reached the workspace
counted (burstcheck). The socket's own figures (the receive buffer the
kernel granted, the datagrams it dropped) come from `ss`.

kill: for each run a fresh workspace, the program started, a burst sent at
a rate it keeps up with, and at a random moment (from the printed seed) a
copy of the workspace file taken and the program ended at once with
TerminateProcess (tools/burst/startkill). The pages in the copy, read after
its own check, are the acknowledged ones; the killed file is then opened as
the program opens it at start-up (check and repair), and every acknowledged
page must be there with at least the links it had.
"""
import argparse
import os
import random
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WIN_BIN = os.path.join(TOP, "build", "win64", "bin")
NATIVE_BIN = os.environ.get("BURST_TOOLS", os.path.join(TOP, "build", "bench", "bin"))
PORT = 16659
DATAGRAMS_PER_PAGE = 6  # burst_site.h with its 24 anchors a page


def wine():
    return os.environ.get("WINE", "/usr/lib/wine/wine64")


def zpath(path):
    return "Z:" + path.replace("/", "\\")


def socket_figures():
    """(receive queue bytes, receive buffer bytes, drops) of the port's socket."""
    out = subprocess.run(["ss", "-u", "-a", "-n", "-m", "sport = :%d" % PORT], capture_output=True,
                         text=True).stdout
    queue = re.search(r"^UNCONN\s+(\d+)", out, re.M)
    mem = re.search(r"skmem:\(r\d+,rb(\d+),.*,d(\d+)\)", out)
    if not queue or not mem:
        return None
    return int(queue.group(1)), int(mem.group(1)), int(mem.group(2))


def wait_until(condition, seconds, step=0.05):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if condition():
            return True
        time.sleep(step)
    return False


class PortTaken(RuntimeError):
    pass


def start_program(workdir, workspace):
    """The program on a port of its own; another test that takes the port
    just as ours starts costs a retry, not the run."""
    for attempt in range(10):
        try:
            return Program(workdir, workspace)
        except PortTaken:
            if attempt == 9:
                raise
            time.sleep(10)


class Program:
    """skeind.exe under Wine, started and ended through startkill.exe."""

    def __init__(self, workdir, workspace):
        # Another program on the port would get the burst (and ours no
        # socket): wait for it to end, as it may be another test's.
        if not wait_until(lambda: socket_figures() is None, 600, 0.5):
            raise RuntimeError("UDP port %d is taken by another program" % PORT)
        self.proc = subprocess.Popen(
            [wine(), os.path.join(WIN_BIN, "startkill.exe"), zpath(workdir), zpath(os.path.join(WIN_BIN, "skeind.exe")),
             workspace], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        line = self.proc.stdout.readline()
        if not line.startswith("ready"):
            self.proc.kill()
            raise RuntimeError("the program did not come up: %r" % line)
        # The window may be up before the program reads its socket: it is
        # reading once an empty datagram (a head without records, which
        # stores nothing) has left the socket's queue.
        if not wait_until(lambda: socket_figures() is not None, 10):
            self.command("kill")
            raise RuntimeError("nothing listens on UDP port %d" % PORT)
        if not self.owns_port(workdir):
            self.command("kill")
            raise PortTaken("UDP port %d was taken by another program as ours started" % PORT)
        probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        probe.sendto(bytes([1, 0, 4, 0]), ("127.0.0.1", PORT))
        probe.close()
        if not wait_until(lambda: (socket_figures() or (1,))[0] == 0, 30):
            self.command("kill")
            raise RuntimeError("the program does not read its socket")

    @staticmethod
    def owns_port(workdir):
        """Whether the socket on the port is the one of the program started
        in workdir. Until the program has used it, only the Wine server of
        our prefix (where nothing else has sockets) holds it."""
        out = subprocess.run(["ss", "-u", "-a", "-n", "-p", "sport = :%d" % PORT], capture_output=True,
                             text=True).stdout
        ours = "WINEPREFIX=" + os.environ.get("WINEPREFIX", "")
        for name, pid in re.findall(r'"([^"]+)",pid=(\d+)', out):
            try:
                if name == "skeind.exe" and os.readlink("/proc/%s/cwd" % pid) == workdir:
                    return True
                if name.startswith("wineserver") and ours in open("/proc/%s/environ" % pid).read().split("\0"):
                    return True
            except OSError:
                pass
        return False

    def command(self, what):
        self.proc.stdin.write(what + "\n")
        self.proc.stdin.flush()
        answer = self.proc.stdout.readline().strip()
        self.proc.wait(timeout=60)
        return answer


def create_workspace(path):
    subprocess.run([os.path.join(NATIVE_BIN, "burstcheck"), path, "--create"], check=True)


def burstcheck(path, pages, *extra):
    out = subprocess.run([os.path.join(NATIVE_BIN, "burstcheck"), path, "--pages", str(pages)] + list(extra),
                         capture_output=True, text=True)
    figures = dict(pair.split("=", 1) for pair in out.stdout.split())
    figures["exit"] = out.returncode
    figures["stderr"] = out.stderr
    return figures


def send_command(pages, rate):
    command = [os.path.join(NATIVE_BIN, "burstsend"), "--pages", str(pages)]
    if rate:
        command += ["--rate", str(rate)]
    return command


def one_burst(pages, rate):
    """Sends a burst to a fresh program; answers a dict of figures."""
    work = tempfile.mkdtemp(prefix="burst-")
    try:
        workspace = os.path.join(work, "burst.sk1")
        create_workspace(workspace)
        program = start_program(work, "burst.sk1")
        _, granted, drops0 = socket_figures()
        sent = subprocess.run(send_command(pages, rate), capture_output=True, text=True, check=True).stdout
        m = re.search(r"(\d+) datagrams of \d+ pages in ([\d.]+) s", sent)
        datagrams, seconds = int(m.group(1)), float(m.group(2))
        # Read to the end: the queue stays empty for half a second.
        drained_since = [None]

        def drained():
            f = socket_figures()
            if f is None or f[0] != 0:
                drained_since[0] = None
                return False
            drained_since[0] = drained_since[0] or time.time()
            return time.time() - drained_since[0] > 0.5

        wait_until(drained, 600, 0.1)
        drops = socket_figures()[2] - drops0
        closed = program.command("close")
        figures = burstcheck(workspace, pages)
        return {"pages": pages, "rate": rate, "datagrams": datagrams, "send_s": seconds, "granted": granted,
                "dropped": drops, "kept": int(figures.get("kept", 0)), "complete": int(figures.get("complete", 0)),
                "closed": closed}
    finally:
        shutil.rmtree(work, ignore_errors=True)


def load():
    return open("/proc/loadavg").read().split()[:3]


def curve(args):
    sizes = [int(s) for s in args.sizes.split(",") if s]
    rates = [int(r) for r in args.rates.split(",") if r]
    rows = []
    print("burst: load %s" % " ".join(load()), flush=True)
    for r in range(1, args.rounds + 1):
        for pages in sizes:
            rows.append(dict(one_burst(pages, 0), round=r, mode="full"))
            print_row(rows[-1])
        for rate in rates:
            pages = max(200, rate * args.seconds // DATAGRAMS_PER_PAGE)
            rows.append(dict(one_burst(pages, rate), round=r, mode="rate"))
            print_row(rows[-1])
    print("burst: load afterwards %s" % " ".join(load()), flush=True)
    table(rows)
    if args.out:
        with open(args.out, "w") as f:
            keys = ["round", "mode", "pages", "rate", "datagrams", "send_s", "granted", "dropped", "kept", "complete"]
            f.write("\t".join(keys) + "\n")
            for row in rows:
                f.write("\t".join(str(row[k]) for k in keys) + "\n")


def print_row(row):
    print("  round %d: %d pages, %d datagrams in %.3f s (%s): kept %d, complete %d, socket dropped %d "
          "(buffer %d), %s" % (row["round"], row["pages"], row["datagrams"], row["send_s"],
                               "%d/s" % row["rate"] if row["rate"] else "full speed", row["kept"], row["complete"],
                               row["dropped"], row["granted"], row["closed"]), flush=True)


def table(rows):
    def median(values):
        values = sorted(values)
        return values[len(values) // 2] if len(values) % 2 else (values[len(values) // 2 - 1] + values[len(values) // 2]) / 2

    print("\n| sent | datagrams | rate sent (datagrams/s) | pages kept % (median, min-max) | complete % | "
          "datagrams dropped by the socket |")
    print("|---|---|---|---|---|---|")
    keys = []
    for row in rows:
        key = (row["mode"], row["pages"], row["rate"])
        if key not in keys:
            keys.append(key)
    for mode, pages, rate in keys:
        rs = [r for r in rows if (r["mode"], r["pages"], r["rate"]) == (mode, pages, rate)]
        kept = [100.0 * r["kept"] / r["pages"] for r in rs]
        complete = [100.0 * r["complete"] / r["pages"] for r in rs]
        sent_rate = [r["datagrams"] / r["send_s"] for r in rs if r["send_s"] > 0]
        print("| %s | %d | %.0f | %.1f (%.1f-%.1f) | %.1f | %d (%d-%d) |" % (
            "%d pages, full speed" % pages if mode == "full" else "%d pages at %d/s" % (pages, rate),
            rs[0]["datagrams"], median(sent_rate) if sent_rate else 0, median(kept), min(kept), max(kept),
            median(complete), median([r["dropped"] for r in rs]), min(r["dropped"] for r in rs),
            max(r["dropped"] for r in rs)))


def kill(args):
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    print("kill: seed %d (repeat with --seed %d), %d runs, %d pages at %d datagrams/s, load %s" % (
        seed, seed, args.runs, args.pages, args.rate, " ".join(load())), flush=True)
    rng = random.Random(seed)
    burst_s = args.pages * DATAGRAMS_PER_PAGE / args.rate
    results = []
    for run in range(1, args.runs + 1):
        delay = rng.uniform(0.0, burst_s * 1.1)
        results.append(one_kill(run, args.pages, args.rate, delay))
    summary = summarize_kills(results)
    if args.report:
        write_report(args.report, results)
    return 0 if summary["lost_runs"] == 0 and summary["failed_runs"] == 0 else 1


def one_kill(run, pages, rate, delay):
    work = tempfile.mkdtemp(prefix="kill-")
    result = {"run": run, "delay": delay}
    try:
        workspace = os.path.join(work, "burst.sk1")
        create_workspace(workspace)
        program = start_program(work, "burst.sk1")
        sender = subprocess.Popen(send_command(pages, rate), stdout=subprocess.DEVNULL)
        time.sleep(delay)
        dropped = socket_figures()[2]
        # The copy is taken before the kill: what it holds was written before.
        shutil.copyfile(workspace, os.path.join(work, "snapshot.sk1"))
        result["answer"] = program.command("kill")
        sender.wait()
        acked = os.path.join(work, "acked.txt")
        snap = burstcheck(os.path.join(work, "snapshot.sk1"), pages, "--save", acked)
        after = burstcheck(workspace, pages, "--expect", acked, "--save", os.path.join(work, "after.txt"))
        # A second opening finds nothing left to repair.
        again = burstcheck(workspace, pages)
        result.update(snapshot=snap, after=after, again=again, dropped=dropped)
        result["gaps"] = prefix_gaps(acked, os.path.join(work, "after.txt")) if dropped == 0 else None
    except Exception as e:  # a run that could not be carried out counts as failed
        result["error"] = str(e)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print_kill(result)
    return result


def saved_pages(path):
    pages = {}
    for line in open(path):
        page, state, links = (int(x) for x in line.split())
        pages[page] = (state, links)
    return pages


def prefix_gaps(acked_path, after_path):
    """Pages before the last acknowledged one that are not complete now.

    The program reads the datagrams in the order they were sent; with none
    dropped by the socket, every page sent before an acknowledged page had
    been stored whole before it, whether or not the copy shows it."""
    acked = saved_pages(acked_path)
    if not acked:
        return 0
    after = saved_pages(after_path)
    last = max(acked)
    return sum(1 for page in range(last) if after.get(page, (0, 0))[0] != 2)


def print_kill(r):
    if "error" in r:
        print("  run %d: kill at %.3f s: FAILED: %s" % (r["run"], r["delay"], r["error"]), flush=True)
        return
    s, a, g = r["snapshot"], r["after"], r["again"]
    print("  run %d: kill at %.3f s: acknowledged %s pages (%s complete); after the kill the check %s "
          "(flags %s, fixes %s), %s pages kept, %s complete; lost %s pages, %s links; reopened: %s%s" % (
              r["run"], r["delay"], s.get("kept"), s.get("complete"),
              "repaired" if a.get("repaired") == "1" else "found nothing to repair", a.get("flags"), a.get("fixes"),
              a.get("kept"), a.get("complete"), a.get("lost_pages"), a.get("lost_links"),
              "clean" if g.get("repaired") == "0" else "repaired again (flags %s, fixes %s)" % (
                  g.get("flags"), g.get("fixes")),
              "" if not a["stderr"] else "\n" + a["stderr"].strip()), flush=True)
    print("         earlier pages not whole after the kill: %s" % (
        "not counted (the socket dropped datagrams)" if r["gaps"] is None else r["gaps"]), flush=True)


def summarize_kills(results):
    done = [r for r in results if "error" not in r]
    failed = len(results) - len(done)
    repaired = [r for r in done if r["after"].get("repaired") == "1"]
    lost = [r for r in done if r["after"].get("lost_pages", "0") != "0" or r["after"].get("lost_links", "0") != "0"
            or r["after"].get("checked") != "1" or r["gaps"]]
    unclean = [r for r in done if r["again"].get("repaired") != "0"]
    fixes = {}
    for r in repaired:
        key = "flags %s fixes %s" % (r["after"]["flags"], r["after"]["fixes"])
        fixes[key] = fixes.get(key, 0) + 1
    acked = [int(r["snapshot"].get("kept", 0)) for r in done]
    kept = [int(r["after"].get("kept", 0)) for r in done]
    print("\nkill: %d runs, %d could not be carried out" % (len(results), failed))
    print("kill: %d needed repair after the kill: %s" % (
        len(repaired), ", ".join("%s (%d)" % kv for kv in sorted(fixes.items())) or "-"))
    if done:
        print("kill: pages acknowledged %d-%d (total %d), present after the kill %d-%d (total %d)" % (
            min(acked), max(acked), sum(acked), min(kept), max(kept), sum(kept)))
    print("kill: runs that lost an acknowledged page or link: %d%s" % (
        len(lost), " (runs %s)" % ", ".join(str(r["run"]) for r in lost) if lost else ""))
    print("kill: runs whose file needed repair at a second opening: %d" % len(unclean))
    print("kill: runs where the socket dropped datagrams (earlier pages not counted): %d" % sum(
        1 for r in done if r["gaps"] is None))
    return {"lost_runs": len(lost) + len(unclean), "failed_runs": failed}


def write_report(path, results):
    cases = []
    for r in results:
        name = "KillRun%d" % r["run"]
        problem = r.get("error")
        if not problem:
            a = r["after"]
            if a.get("checked") != "1":
                problem = "the check refused the killed file"
            elif a.get("lost_pages") != "0" or a.get("lost_links") != "0":
                problem = "acknowledged pages lost: %s, links: %s" % (a.get("lost_pages"), a.get("lost_links"))
            elif r["gaps"]:
                problem = "%d pages sent before an acknowledged one are not whole" % r["gaps"]
            elif r["again"].get("repaired") != "0":
                problem = "a second opening repaired again"
        if problem:
            cases.append('<testcase name="%s" classname="KillTest"><failure message="%s"/></testcase>' % (
                name, problem.replace('"', "'").replace("<", "(").replace("&", "and")))
        else:
            cases.append('<testcase name="%s" classname="KillTest"/>' % name)
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "w") as f:
        f.write('<?xml version="1.0"?><testsuites><testsuite name="KillTest">%s</testsuite></testsuites>\n' %
                "".join(cases))


def main():
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="what", required=True)
    c = sub.add_parser("curve")
    c.add_argument("--rounds", type=int, default=3)
    c.add_argument("--sizes", default="42,84,167,334,834,3334")
    c.add_argument("--rates", default="2000,5000,10000,20000")
    c.add_argument("--seconds", type=int, default=3)
    c.add_argument("--out")
    k = sub.add_parser("kill")
    k.add_argument("--runs", type=int, default=100)
    k.add_argument("--seed", type=int)
    k.add_argument("--pages", type=int, default=700)
    k.add_argument("--rate", type=int, default=4000)
    k.add_argument("--report")
    args = parser.parse_args()
    if args.what == "curve":
        curve(args)
        return 0
    return kill(args)


if __name__ == "__main__":
    sys.exit(main())
