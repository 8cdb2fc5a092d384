"""Records one real print job of the installed program: the printer's files and the job's
record on the disk before the program acts (the baseline) and every file operation of the
program, its scheduler and the wineserver (which deletes and renames for them) under
strace. A job goes by the scheduler's road, or, with [GXAPI] FileName set, by the fax-API
road."""
import hashlib
import os
import pathlib
import random
import re
import signal
import subprocess
import time

import crash_model
from soak_prefix import wait_for

JOB_WAIT = 120
PIPE_WAIT = 60
# The fax-API side's hand-off file, in a folder of its own, and where it puts what it took.
API_FILE = "C:\\FAX\\API\\OUT.TIF"
SENT = "C:\\FAX\\SENT"


def start_program(px):
    """Starts TAVON.EXE and returns once its pipe takes a record (an unknown code, which
    it ignores). Just after a copy was killed, a new one may still find it and end: it
    is started again. A record sent while it starts can stay unread for good (its printer
    waits in the pipe's flush): such a try is ended and made again."""
    end = time.monotonic() + PIPE_WAIT
    px.tavon = None
    while time.monotonic() < end:
        if px.tavon is None or px.tavon.poll() is not None:
            px.start_tavon()
        try:
            if px.run(["C:\\FAX\\PROG\\FAXPRINT.EXE", "--raw", "7"], timeout=10).returncode == 0:
                return
        except subprocess.TimeoutExpired:
            continue
    raise TimeoutError("the program did not open its pipe")


def page_text(rng, pages):
    """Dense lines, so that each page's image spans several 4 KiB blocks."""
    return "\f".join(
        "CRASHCHECK page %d of %d\n" % (page, pages) +
        "\n".join(" ".join("%08x" % rng.getrandbits(32) for _ in range(8)) for _ in range(50))
        for page in range(1, pages + 1))


class Watched:
    """Where a job's files live: the spool, the private directory, the outbox, the fax-API
    side's folders, the program's per-user folder (the job's record, the scheduler's start)
    and the settings file, whose entry hands the fax-API file on."""

    def __init__(self, px):
        self.px = px
        self.folders = [str(px.prog / "SPOOL"), str(px.private), str(px.outbox),
                        str(px.unix_path(API_FILE).parent), str(px.unix_path(SENT)),
                        str(px.records_folder())]
        self.files = [str(px.settings)]
        self.paths = self.folders + self.files

    def normalize(self, path):
        path = path.replace(str(self.px.prefix / "dosdevices" / "c:"), str(self.px.c))
        return os.path.normpath(path)

    def name(self, path):
        """The file's name as the program sees it (C:\\...)."""
        return self.px.win_path(path)

    def snapshot(self):
        files, folders = {}, set()
        for folder in self.folders:
            for root, dirs, names in os.walk(folder):
                folders.add(root)
                for n in names:
                    files[os.path.join(root, n)] = pathlib.Path(root, n).read_bytes()
        for path in self.files:
            files[path] = pathlib.Path(path).read_bytes()
        return files, folders


class Recording:
    """One job in px, a prefix with the program installed; api: by the fax-API road. The
    seed makes the job's pages unlike another recording's in the same prefix."""

    def __init__(self, px, pages, seed, api):
        self.work = px.work
        self.px = px
        self.watched = Watched(px)
        self.pages = pages
        self.seed = seed
        self.api = api
        self.road = "fax-API" if api else "scheduler"

    def run(self):
        px = self.px
        px.stop()
        # The fax-API side's folders are its own, there before any job (the outbox is the
        # scheduler's to make).
        for folder in (px.unix_path(API_FILE).parent, px.unix_path(SENT)):
            os.makedirs(folder, exist_ok=True)
        if self.api:
            px.set_api_entry(API_FILE)
            self.other_settings = px.settings_without_entry()
        subprocess.run(["wineserver", "-w"], env=px.env)
        server = subprocess.Popen(["wineserver", "-f", "-p"], env=px.env)
        try:
            start_program(px)
            trace = self.work / ("job-%s.strace" % self.road)
            tracer = subprocess.Popen(
                ["strace", "-f", "-ttt", "-xx", "-s", "1048576", "-y", "-e",
                 "trace=" + crash_model.MODELLED + "," + crash_model.UNMODELLED,
                 "-o", str(trace), "-p", str(server.pid), "-p", str(px.tavon.pid)],
                stderr=subprocess.PIPE, text=True)
            attached = 0
            while attached < 2:
                line = tracer.stderr.readline()
                if not line:
                    raise RuntimeError("strace did not attach")
                attached += " attached" in line
            saves = px.vendor_saves()
            self.print_job()
            wait_for(self.ended, JOB_WAIT, "the recorded job did not end")
            if px.control == "vendor" and px.vendor_saves() - saves < self.pages:
                raise RuntimeError("the vendor's control did not save the job's pages")
            tracer.send_signal(signal.SIGINT)
            tracer.wait(timeout=60)
            self.final, _ = self.watched.snapshot()
            self.final_times = {hashlib.sha256(data).digest(): os.stat(path).st_mtime_ns
                                for path, data in self.final.items()}
        finally:
            subprocess.run(["wineserver", "-k"], env=px.env)
            server.wait(timeout=60)
        self.ops = self.job_ops(trace)

    def ended(self):
        px = self.px
        if self.api:
            # The job's files deleted and the entry emptied, in either order. Wine writes
            # the settings file anew, truncated first: it is done when every other key
            # is back and the entry's key is there, empty.
            text = px.settings.read_text(errors="replace")
            return not any(self.ini.with_suffix(s).exists() for s in (".INI", ".TIF", ".MRG")) \
                and not px.job_records() and not px.api_entry() \
                and re.search(r"^FileName=", text, re.M | re.I) \
                and px.settings_without_entry() == self.other_settings
        # The scheduler's log line is its last act, the record's deletion the program's.
        return px.queue_entries() > self.queued_before and not self.ini.exists() and \
            not px.job_records()

    def time_of(self, path, data):
        """The write time a file of a crash state has, where the program reads it back:
        the job file's is part of the merge marker's stamp, the scheduler's image's part of
        the record of its start. A file as it was in the baseline has its time then; one
        with the bytes of a file the job left has that file's (the scheduler's move keeps
        the image's time); None for others."""
        if self.files.get(path) == data:
            return self.mtimes[path]
        return self.final_times.get(hashlib.sha256(data).digest())

    def print_job(self):
        px = self.px
        text = px.soak / "texts" / "job.txt"
        text.write_text(page_text(random.Random(self.seed), self.pages), newline="\r\n")
        self.queued_before = px.queue_entries()
        result = px.run(["C:\\FAX\\PROG\\FAXPRINT.EXE", "--pages", str(self.pages),
                         px.win_path(text)])
        if result.returncode != 0:
            raise RuntimeError("printer: " + result.stderr)
        # The job is accepted once its record is on the disk; the program then waits 4 s
        # before it acts: the printer's files and the record are taken as they are then.
        wait_for(px.job_records, PIPE_WAIT, "the program recorded no job")
        self.snapshot_from = time.time()
        self.files, self.folders = self.watched.snapshot()
        self.mtimes = {p: os.stat(p).st_mtime_ns for p in self.files}
        self.snapshot_to = time.time()
        self.ini_name = re.match(r"(\S+\.INI): ", result.stdout).group(1)
        self.ini = px.unix_path(self.ini_name)
        self.page_files = [self.ini.with_name(self.ini.stem + "_P%d.TIF" % n)
                           for n in range(1, self.pages + 1)]

    def job_ops(self, trace):
        ops = crash_model.parse_trace(trace, self.watched.paths, self.watched.normalize)
        during = [op for op in ops if self.snapshot_from <= op.time <= self.snapshot_to]
        if during:
            raise RuntimeError("the program changed files while the baseline was taken: " +
                               during[0].describe(self.watched.name))
        ops = [op for op in ops if op.time > self.snapshot_to]
        # Replayed whole, the operations must give the disk the job left.
        replayed = crash_model.Disk(self.files, self.folders)
        for i, op in enumerate(ops):
            replayed.apply(op, i)
        if replayed.contents() != self.final:
            differ = sorted(set(replayed.contents().items()) ^ set(self.final.items()))
            raise RuntimeError("the trace does not replay to the disk the job left: " +
                               ", ".join(sorted({self.watched.name(p) for p, _ in differ})))
        return ops
