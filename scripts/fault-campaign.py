#!/usr/bin/env python3
"""The extent-browse fault campaign: what the tool does when it is killed
during saves, runs out of disk, file size or inodes, is given damaged,
hostile or special cache files and catalogues, and gets signals while its
standard output is read, stalled or gone.

Every run is judged from the outside: exit status, what standard error
says, the files left on disk, the peak memory and the time it took. A
cache must always be whole, hold only the catalogue's records, keep every
record a session that ended normally learnt, and leave no temporary file
once the next save ran; a refusal must be one line and leave the file as it
was; memory must stay within a small bound of a plain run whatever a file
holds; a signal must end the tool within a second.

    scripts/fault-campaign.py [--tool PATH] [--seed N] [--rounds N] [--signals N]
                              [--parts kills,disks,caches,catalogues,signals] [--quick]

With no --tool it runs build/release/tools/extent-browse/extent-browse.
The disk and inode cases mount small tmpfs file systems and need root;
without it they are counted as skipped. It prints one line of counts per
part and exits 1 when any case failed.
"""
import argparse
import os
import random
import re
import resource
import select
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import threading
import time

ITEM = "/c"
EXTENTS = 20000
MEMORY_SLACK_KB = 32 * 1024  # over a plain run's peak
SIGNAL_LATENCY = 1.0
RUN_LIMIT = 10.0  # seconds before a run counts as hung
START, END = "START_EXTENT_INFO", "END_EXTENT_INFO"
# The hostile files an earlier campaign measured, whose peaks are
# printed.
NAMED = ["a 300 MB line", "300 MB of records without an end", "4 GiB sparse after the start marker",
         "/dev/zero", "a 200 MB line"]


def entry(extent):
    """(archive file, value, empty) of an extent of the campaign's item."""
    return 1 + extent % 7, extent * 4096, extent % 11 == 0


class Campaign:
    def __init__(self, tool, seed, work):
        self.tool, self.work = tool, work
        self.seed = seed
        self.random = random.Random(seed)
        self.counts = {}
        self.failures = []
        self.peaks = {}
        self.kinds = {}
        self.catalogue = self.path("catalogue.tsv")
        with open(self.catalogue, "w") as out:
            for extent in range(EXTENTS):
                afile, value, empty = entry(extent)
                out.write("%s\t%d\t%d\t%d\t%d\n" % (ITEM, extent, afile, value, int(empty)))
        self.baseline_kb = max(self.run(["--index", self.catalogue, "lookup", "1"]).peak_kb
                               for _ in range(3))

    def path(self, name):
        return os.path.join(self.work, name)

    def count(self, part, what, by=1):
        self.counts.setdefault(part, {})
        self.counts[part][what] = self.counts[part].get(what, 0) + by

    def fail(self, part, case, why):
        self.count(part, "failures")
        self.failures.append("%s: %s: %s" % (part, case, why))
        kind = re.sub(r"\d+", "N", re.split(r"[:(]", why)[0]).strip()
        self.kinds.setdefault(part, {})
        self.kinds[part][kind] = self.kinds[part].get(kind, 0) + 1

    # -- running the tool ------------------------------------------------

    class Run:
        status = None
        out = err = b""
        peak_kb = 0
        seconds = 0.0

    def spawn(self, args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, limits=None,
              as_nobody=False):
        def child():
            # A tool gone wrong must not take the machine with it.
            resource.setrlimit(resource.RLIMIT_AS, (6 << 30, 6 << 30))
            for which, value in (limits or {}).items():
                resource.setrlimit(which, (value, resource.getrlimit(which)[1]))
            if as_nobody:
                os.setgroups([])
                os.setgid(65534)
                os.setuid(65534)
        return subprocess.Popen([self.tool] + args, stdin=stdin, stdout=stdout,
                                stderr=subprocess.PIPE, preexec_fn=child)

    def finish(self, process, started, run=None, deadline=RUN_LIMIT):
        """Reads the process's output to its end and waits for it."""
        run = run or Campaign.Run()
        out_fd = process.stdout.fileno() if process.stdout is not None else None
        err_fd = process.stderr.fileno()
        streams = {p.fileno(): p for p in (process.stdout, process.stderr) if p is not None}
        chunks = {fd: [] for fd in streams}
        while streams and time.monotonic() - started < deadline:
            ready, _, _ = select.select(list(streams), [], [], 0.05)
            for fd in ready:
                data = os.read(fd, 65536)
                if data:
                    chunks[fd].append(data)
                else:
                    streams.pop(fd).close()
        end = time.monotonic() + max(0.0, deadline - (time.monotonic() - started))
        while True:
            pid, raw, usage = os.wait4(process.pid, os.WNOHANG)
            if pid != 0:
                break
            if time.monotonic() > end:
                os.kill(process.pid, signal.SIGKILL)
                pid, raw, usage = os.wait4(process.pid, 0)
                run.hung = True
                break
            time.sleep(0.002)
        process.returncode = 0
        for stream in streams.values():
            stream.close()
        run.status = os.waitstatus_to_exitcode(raw)
        run.peak_kb = usage.ru_maxrss
        run.seconds = time.monotonic() - started
        run.out = b"".join(chunks.get(out_fd, []))
        run.err = b"".join(chunks.get(err_fd, []))
        return run

    def run(self, args, stdin_text=None, limits=None, as_nobody=False, stdout=subprocess.PIPE):
        stdin = subprocess.PIPE if stdin_text is not None else subprocess.DEVNULL
        started = time.monotonic()
        process = self.spawn(args, stdin, stdout, limits, as_nobody)
        if stdin_text is not None:
            try:
                process.stdin.write(stdin_text.encode())
            except BrokenPipeError:
                pass
            process.stdin.close()
        return self.finish(process, started)

    # -- judging -----------------------------------------------------------

    def read_cache(self, file):
        """The records of a whole cache file, or a string saying why it is not one."""
        try:
            text = open(file, "rb").read().decode()
        except (OSError, UnicodeDecodeError) as error:
            return str(error)
        lines = text.split("\n")
        if lines[-1] != "" or not lines[0].startswith("# extent-browse cache for"):
            return "torn: no line feed at its end, or no item line"
        lines.pop()
        try:
            start = lines.index(START)
        except ValueError:
            return "torn: no " + START
        if lines[-1] != END or lines.index(END) != len(lines) - 1:
            return "torn: it does not end with its only " + END
        empty = set()
        for line in lines[1:start]:
            if line.startswith("# empty extents"):
                for word in line.split()[3:]:
                    first, _, last = word.partition("-")
                    empty.update(range(int(first), int(last or first) + 1))
        records = {}
        for line in lines[start + 1:-1]:
            extent, afile, value = (int(field) for field in line.split(" "))
            if extent >= EXTENTS or entry(extent)[:2] != (afile, value):
                return "a record the catalogue does not hold: " + line
            records[extent] = (afile, value)
        wrong = [e for e in empty if e not in records or not entry(e)[2]]
        return "empty flags that are wrong: %s" % wrong[:5] if wrong else records

    @staticmethod
    def catches(pid, sig):
        """Whether the process has a handler for `sig` (before its handlers
        are in place, at exec, a signal ends any program by default)."""
        try:
            for line in open("/proc/%d/status" % pid):
                if line.startswith("SigCgt:"):
                    return (int(line.split()[1], 16) >> (sig - 1)) & 1 == 1
        except OSError:
            pass
        return False

    def leftovers(self, folder):
        return [n for n in os.listdir(folder) if ".extent-browse-save." in n]

    def judge_answers(self, part, case, run):
        for line in run.out.decode(errors="replace").splitlines():
            words = line.split()
            if len(words) == 4 and words[1] == "found":
                if entry(int(words[0]))[:2] != (int(words[2]), int(words[3])):
                    self.fail(part, case, "a wrong answer: " + line)

    def judge_message(self, part, case, run):
        err = run.err.decode(errors="replace")
        if err.count("\n") != 1 or not err.startswith("extent-browse: ") or len(err) > 700:
            self.fail(part, case, "not one short line of its own: %r" % err[:300])

    def judge_bounds(self, part, case, run, seconds=10.0):
        if case in NAMED:
            self.peaks["%s (%s)" % (case, part)] = (run.peak_kb, run.seconds)
        self.count(part, "peak KB over baseline (max)", 0)
        over = run.peak_kb - self.baseline_kb
        worst = self.counts[part]["peak KB over baseline (max)"]
        self.counts[part]["peak KB over baseline (max)"] = max(worst, over)
        if over > MEMORY_SLACK_KB:
            self.fail(part, case, "peak memory %d KB over a plain run's" % over)
        if getattr(run, "hung", False) or run.seconds > seconds:
            self.fail(part, case, "took %.1f s" % run.seconds)
        if run.status is not None and run.status < 0:
            self.fail(part, case, "killed by signal %d" % -run.status)

    # -- the parts ---------------------------------------------------------

    def kills_during_saves(self, rounds):
        part = "kills during saves"
        folder = self.path("shared")
        os.mkdir(folder)
        cache = os.path.join(folder, "c.cache")
        for number in range(rounds):
            if number % 25 == 0 and os.path.exists(cache):
                os.remove(cache)
            self.count(part, "rounds")
            sessions = []
            for _ in range(self.random.randint(2, 4)):
                page = self.random.choice([5, 50, 500, 5000])
                starts = [self.random.randrange(EXTENTS) for _ in range(self.random.randint(1, 3))]
                process = self.spawn(["--index", self.catalogue, "--cache", cache, "--page-size",
                                      str(page)], subprocess.PIPE, subprocess.DEVNULL)
                process.stdin.write(("lookup %s\n" % " ".join(map(str, starts))).encode())
                process.stdin.close()
                kill = self.random.random() < 0.7
                sessions.append((process, page, starts, kill, self.random.uniform(0, 0.04)))
            started = time.monotonic()
            for process, _, _, kill, delay in sorted(sessions, key=lambda s: s[4]):
                if kill:
                    time.sleep(max(0.0, started + delay - time.monotonic()))
                    os.kill(process.pid, signal.SIGKILL)
            # Every save joins the file's records with its own, so none that
            # the file held before the round may go, and a session that
            # ended normally saved at least the extents it looked up.
            before = self.read_cache(cache) if os.path.exists(cache) else {}
            learnt = set(before) if isinstance(before, dict) else set()
            for process, page, starts, kill, _ in sessions:
                self.count(part, "sessions")
                run = self.finish(process, started)
                if run.status == -signal.SIGKILL:
                    self.count(part, "killed")
                elif run.status != 0:
                    self.fail(part, "round %d" % number, "status %s: %r" % (run.status, run.err))
                else:
                    learnt.update(starts)
            records = self.read_cache(cache) if os.path.exists(cache) else {}
            if isinstance(records, str):
                self.fail(part, "round %d" % number, records)
                os.remove(cache)
                continue
            lost = learnt - set(records)
            if lost:
                self.fail(part, "round %d" % number, "%d records lost" % len(lost))
            self.count(part, "lost records", len(lost))
            left = self.leftovers(folder)
            if left:
                self.count(part, "saves killed between link and rename")
                self.run(["--index", self.catalogue, "--cache", cache, "lookup", "0"])
                if self.leftovers(folder):
                    self.fail(part, "round %d" % number, "the next save left %s" % left)

    def full_disks(self):
        part = "disk full, inodes, file size"
        limits = {resource.RLIMIT_FSIZE: 8192}
        cases = [("file size limit", None, limits, "File too large")]
        if os.geteuid() == 0:
            cases += [("disk full", "size=256k", None, "No space left on device"),
                      ("inodes used up", "size=8m,nr_inodes=16", None, "No space left on device")]
        else:
            self.count(part, "skipped (not root)", 2)
        for name, options, limits, reason in cases:
            folder = self.path("fs-" + name.replace(" ", "-"))
            os.mkdir(folder)
            mounted = options is not None and subprocess.call(
                ["mount", "-t", "tmpfs", "-o", options, "tmpfs", folder]) == 0
            if options is not None and not mounted:
                self.count(part, "skipped (no tmpfs)")
                continue
            try:
                self.count(part, "cases")
                cache = os.path.join(folder, "c.cache")
                self.run(["--index", self.catalogue, "--cache", cache, "--page-size", "5",
                          "lookup", "0"])
                before = open(cache, "rb").read()
                filled = 0
                while options is not None:
                    try:
                        with open(os.path.join(folder, "fill%d" % filled), "wb") as out:
                            out.write(b"x" * 4096 * (1 if "nr_inodes" in options else 64))
                        filled += 1
                    except OSError:
                        break
                run = self.run(["--index", self.catalogue, "--cache", cache, "--page-size",
                                "5000", "lookup", "10000"], limits=limits)
                self.judge_message(part, name, run)
                if run.status != 2 or reason not in run.err.decode():
                    self.fail(part, name, "status %s, %r" % (run.status, run.err))
                if open(cache, "rb").read() != before or self.leftovers(folder):
                    self.fail(part, name, "the old cache changed, or a temporary stayed")
            finally:
                if mounted:
                    subprocess.call(["umount", folder])
        # Standard output on a full disk: an error, and the cache still saved.
        self.count(part, "cases")
        cache = self.path("full-stdout.cache")
        with open("/dev/full", "wb") as full:
            run = self.run(["--index", self.catalogue, "--cache", cache, "lookup", "5", "6"],
                           stdout=full)
        if run.status != 2 or not isinstance(self.read_cache(cache), dict):
            self.fail(part, "/dev/full", "status %s, %r" % (run.status, run.err))

    def damaged_caches(self, quick):
        part = "damaged and special caches"
        good = self.path("good.cache")
        self.run(["--index", self.catalogue, "--cache", good, "--page-size", "60", "lookup",
                  "0", "1000", "7777"])
        text = open(good, "rb").read()
        lines = text.split(b"\n")[:-1]

        # Made one at a time: the campaign's own memory counts in its
        # children's peaks until they exec.
        def variants():
            for n in range(0, len(text), 7 if quick else 1):
                yield "cut at %d" % n, text[:n]
            for n in range(60 if quick else 1500):
                at = self.random.randrange(len(text))
                byte = self.random.choice(b"\0\n #-9x\r\t\xff")
                yield "byte %d set to %d" % (at, byte), text[:at] + bytes([byte]) + text[at + 1:]
            for n in range(len(lines)):
                yield "line %d dropped" % n, b"\n".join(lines[:n] + lines[n + 1:]) + b"\n"
                yield "line %d twice" % n, b"\n".join(lines[:n + 1] + lines[n:]) + b"\n"
            for tail in [b"END_EXTENT_INFO\n", b"9 9 9\nEND_EXTENT_INFO\n", b"garbage\x00\n"]:
                yield "a tail %r" % tail, text + tail

        item = lines[0] + b"\n"
        big = [("4 GiB sparse after the start marker", item + b"START_EXTENT_INFO\n", 4 << 30),
               ("1 GiB sparse after the item line", item, 1 << 30),
               ("1 GiB sparse in the empty-extents line", item + b"# empty extents", 1 << 30)]
        for name, content in variants():
            file = self.path("damaged.cache")
            with open(file, "wb") as out:
                out.write(content)
            self.judge_cache(part, name, file, content)
        for name, start, size in big:
            file = self.path("big.cache")
            with open(file, "wb") as out:
                out.write(start)
            os.truncate(file, size)
            self.judge_cache(part, name, file, None)
        for name, make in self.special_files():
            file = self.path("special-" + "".join(c if c.isalnum() else "-" for c in name))
            nobody = make(file)
            self.judge_cache(part, name, file, None, as_nobody=nobody, special=True)

    def special_files(self):
        def fifo(f):
            os.mkfifo(f)

        def folder(f):
            os.mkdir(f)

        def loop(f):
            os.symlink(os.path.basename(f), f)

        def dangling(f):
            os.symlink(f + ".target", f)

        def sock(f):
            socket.socket(socket.AF_UNIX).bind(f)

        def device(target):
            return lambda f: os.symlink(target, f)

        def unreadable(f):
            self.run(["--index", self.catalogue, "--cache", f, "lookup", "0"])
            os.chmod(f, 0)
            os.chmod(self.work, 0o777)
            os.chmod(self.catalogue, 0o644)
            return os.geteuid() == 0

        def huge_records(f):
            with open(f, "w") as out:
                out.write("START_EXTENT_INFO\n")
                chunk = "1 2 3\n" * 100000
                for _ in range(512):  # 300 MB without an end marker
                    out.write(chunk)

        def long_line(f):
            with open(f, "w") as out:
                out.write("START_EXTENT_INFO\n")
                for _ in range(300):
                    out.write("1" * (1 << 20))

        return [("FIFO", fifo), ("directory", folder), ("symlink loop", loop),
                ("dangling symlink", dangling), ("socket", sock),
                ("/dev/null", device("/dev/null")), ("/dev/zero", device("/dev/zero")),
                ("unreadable", unreadable), ("300 MB of records without an end", huge_records),
                ("a 300 MB line", long_line)]

    def judge_cache(self, part, name, file, content, as_nobody=False, special=False):
        self.count(part, "files")
        before = os.lstat(file) if os.path.lexists(file) else None
        run = self.run(["--index", self.catalogue, "--cache", file, "lookup", "3", "15000"],
                       as_nobody=bool(as_nobody))
        self.judge_bounds(part, name, run)
        self.judge_answers(part, name, run)
        if run.status == 2 and run.out:
            # It answered, so it had taken the file: then only a save failed.
            self.fail(part, name, "answered, then lost what it learnt: %r" % run.err[:200])
        elif run.status == 2:
            self.count(part, "refused")
            self.judge_message(part, name, run)
            after = os.lstat(file) if os.path.lexists(file) else None
            same = (before is None and after is None) or (
                before is not None and after is not None and before.st_ino == after.st_ino and
                before.st_mtime_ns == after.st_mtime_ns)
            if not same or (content is not None and open(file, "rb").read() != content):
                self.fail(part, name, "a refused file was changed")
        elif run.status == 0:
            self.count(part, "used or replaced")
            err = run.err.decode(errors="replace")
            if err and (err.count("\n") != 1 or "warning" not in err):
                self.fail(part, name, "more than a warning: %r" % err[:300])
            target = os.path.realpath(file)
            records = self.read_cache(target)
            if isinstance(records, str):
                self.fail(part, name, "after the save: " + records)
            elif 3 not in records or 15000 not in records:
                self.fail(part, name, "the session's records were not saved")
        else:
            self.fail(part, name, "status %s: %r" % (run.status, run.err[:300]))
        if os.path.isdir(file) and not os.path.islink(file):
            os.rmdir(file)
        elif os.path.lexists(file):
            os.remove(file)
        if os.path.lexists(file + ".target"):
            os.remove(file + ".target")

    def hostile_catalogues(self):
        part = "hostile catalogues"
        cases = []

        def write(name, *pieces, sparse=0):
            file = self.path(name)
            with open(file, "wb") as out:
                for piece in pieces:
                    out.write(piece)
            if sparse:
                os.truncate(file, sparse)
            return file

        cases.append(("a 200 MB line", write("long.tsv", *([b"x" * (1 << 20)] * 200))))
        cases.append(("4 GiB sparse after a path", write("sparse.tsv", b"/a\t", sparse=4 << 30)))
        cases.append(("/dev/zero", "/dev/zero"))
        cases.append(("/dev/urandom", "/dev/urandom"))
        cases.append(("a NUL in a path", write("nul.tsv", b"/a\0b\t0\t1\t0\t0\n/a\t1\t1\t0\t0\n")))
        cases.append(("a 60 KB path", write("path.tsv", b"/" + b"p" * 60000 + b"\t0\t1\t0\t0\n")))
        cases.append(("control bytes", write("ctl.tsv", b"/a\x1b[2J\t0\t1\t0\t0\n")))
        cases.append(("a long field", write("field.tsv", b"/a\t" + b"9" * 50000 + b"\t1\t0\t0\n")))
        fifo = self.path("nowriter.fifo")
        os.mkfifo(fifo)
        cases.append(("a FIFO without a writer", fifo))
        for n in range(40):
            noise = bytes(self.random.randrange(256) for _ in range(self.random.randint(1, 400)))
            cases.append(("noise %d" % n, write("noise.tsv", noise)))
        for name, file in cases:
            self.count(part, "catalogues")
            run = self.run(["--index", file, "lookup", "0"])
            self.judge_bounds(part, name, run, seconds=5.0)
            if run.status == 2:
                self.judge_message(part, name, run)
            elif run.status not in (0,):
                self.fail(part, name, "status %s: %r" % (run.status, run.err[:200]))
            if file.startswith(self.work) and os.path.isfile(file):
                os.remove(file)

    def signals(self, cases):
        part = "signals and pipes"
        for number in range(cases):
            self.count(part, "cases")
            sig = self.random.choice([signal.SIGINT, signal.SIGTERM, signal.SIGHUP])
            mode = self.random.choice(["read", "stalled", "stalled", "closed", "load"])
            delay = self.random.uniform(0, 0.3)
            cache = self.path("signal.cache")
            if os.path.exists(cache) and number % 10 == 0:
                os.remove(cache)
            case = "%s %s after %.0f ms" % (signal.Signals(sig).name, mode, delay * 1000)
            if mode == "load":
                process = self.spawn(["--index", "-", "lookup", "0"], subprocess.PIPE)
                process.stdin.write(b"/a\t0\t1\t0\t0\n")
                process.stdin.flush()
            else:
                process = self.spawn(["--index", self.catalogue, "--cache", cache,
                                      "--page-size", "20000"], subprocess.PIPE)
                command = "enum" if self.random.random() < 0.5 else "lookup " + " ".join(
                    str(e) for e in range(0, EXTENTS, 2))
                process.stdin.write((command + "\n").encode())
                process.stdin.flush()
            reader = None
            if mode == "closed":
                process.stdout.close()
                process.stdout = None
            elif mode == "read":
                read = []
                reader = threading.Thread(target=lambda out=process.stdout: read.append(out.read()))
                reader.start()
            for _ in range(1000):
                if self.catches(process.pid, sig):
                    break
                time.sleep(0.001)
            time.sleep(delay)
            sent = time.monotonic()
            os.kill(process.pid, sig)
            if mode == "stalled":
                # Nobody reads: wait without reading, as a stuck reader does.
                while (os.waitid(os.P_PID, process.pid, os.WEXITED | os.WNOHANG | os.WNOWAIT) is
                       None and time.monotonic() - sent < RUN_LIMIT):
                    time.sleep(0.002)
            if reader is not None:
                stdout, process.stdout = process.stdout, None
            run = self.finish(process, sent)
            latency = run.seconds
            if reader is not None:
                reader.join()
                stdout.close()
                run.out = read[0] if read else b""
            self.count(part, "latency ms (max)", 0)
            self.counts[part]["latency ms (max)"] = max(self.counts[part]["latency ms (max)"],
                                                        int(latency * 1000))
            if process.stdin:
                process.stdin.close()
            expected = {128 + sig}
            if mode == "closed":
                expected.add(141)
            if mode == "read":
                expected.add(0)  # done before the signal came
            if run.status not in expected:
                self.fail(part, case, "%s output, status %s: %r" % (mode, run.status, run.err[:200]))
            elif latency > SIGNAL_LATENCY:
                self.fail(part, case, "%s output, ended %.2f s after the signal" % (mode, latency))
            if mode != "load" and os.path.exists(cache):
                records = self.read_cache(cache)
                if isinstance(records, str):
                    self.fail(part, case, records)
            self.judge_answers(part, case, run)
            if mode == "read" and run.status == 128 + sig:
                last = run.out.decode().rstrip("\n").rsplit("\n", 1)[-1]
                # Nothing at all when the signal came before the session began.
                whole = not last or last.startswith(("19999 ", "19998 "))
                if not last.endswith("cut-short") and not whole:
                    self.fail(part, case, "a listing cut short without saying so: %r" % last)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build", "release",
                           "tools", "extent-browse", "extent-browse")
    parser.add_argument("--tool", default=default)
    parser.add_argument("--seed", type=int, default=28)
    parser.add_argument("--rounds", type=int, default=500, help="rounds of killed sessions")
    parser.add_argument("--signals", type=int, default=300, help="signal and pipe cases")
    parser.add_argument("--quick", action="store_true", help="a short run of each part")
    parser.add_argument("--failures", type=int, default=40, help="failures to print, at most")
    parser.add_argument("--parts", default="kills,disks,caches,catalogues,signals",
                        help="which parts to run, of kills,disks,caches,catalogues,signals")
    args = parser.parse_args()
    if args.quick:
        args.rounds, args.signals = 20, 20
    work = tempfile.mkdtemp(prefix="extent-browse-campaign.")
    os.chmod(work, 0o755)
    campaign = Campaign(os.path.abspath(args.tool), args.seed, work)
    started = time.monotonic()
    try:
        parts = args.parts.split(",")
        for name, run in [("kills", lambda: campaign.kills_during_saves(args.rounds)),
                          ("disks", campaign.full_disks),
                          ("caches", lambda: campaign.damaged_caches(args.quick)),
                          ("catalogues", campaign.hostile_catalogues),
                          ("signals", lambda: campaign.signals(args.signals))]:
            if name in parts:
                # Each part draws from its own seed, so it runs alike alone.
                campaign.random = random.Random("%d %s" % (args.seed, name))
                run()
    finally:
        subprocess.call(["rm", "-rf", work])
    print("fault campaign of %s, seed %d, %.0f s (a plain run peaks at %d KB):" % (
        args.tool, args.seed, time.monotonic() - started, campaign.baseline_kb))
    for part, counts in campaign.counts.items():
        counts.setdefault("failures", 0)
        print("  %s: %s" % (part, ", ".join("%s %d" % (k, v) for k, v in sorted(counts.items()))))
    for part, kinds in campaign.kinds.items():
        print("  %s, failures by kind: %s" % (
            part, "; ".join("%s: %d" % (k, v) for k, v in sorted(kinds.items()))))
    for name, (peak, seconds) in campaign.peaks.items():
        print("  %s: peak %d KB (%+d KB on a plain run's), %.2f s" % (
            name, peak, peak - campaign.baseline_kb, seconds))
    for failure in campaign.failures[:args.failures]:
        print("  FAILED " + failure)
    if len(campaign.failures) > args.failures:
        print("  ... and %d more failures" % (len(campaign.failures) - args.failures))
    return 1 if campaign.failures else 0


if __name__ == "__main__":
    sys.exit(main())
