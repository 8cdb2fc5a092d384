"""The soak's Wine prefix: the installed program, its files, its imaging control (ours,
or the one built as a vendor builds it), and the helpers that act in it (the person at
the screen, the file holder, the process probe)."""
import hashlib
import os
import pathlib
import re
import shutil
import struct
import subprocess
import time

HERE = pathlib.Path(__file__).resolve().parent
SCRIPTS = HERE.parent.parent / "scripts"
JOB_WAIT = 900
HELPERS = ["soakscreen.exe", "soakhold.exe", "soakproc.exe", "soakpipe.exe", "soakslow.exe"]
# The imaging controls a prefix can have: the setup's (ours), or the vendor-built one
# (tests/product) in its place, with the program built with its runtime licence key.
CONTROLS = ("ours", "vendor")


class ProgramGone(Exception):
    """The program ended while nothing meant it to."""


def wait_for(condition, timeout, what):
    """Polls for an outcome the program gives no signal of (a file, a log line)."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.02)
    raise TimeoutError(what)


def api_entry_in(text):
    """The [GXAPI] FileName a settings file's text holds, or ""."""
    section = re.search(r"^\[GXAPI\][^\[]*", text, re.M | re.I)
    if not section:
        return ""
    value = re.search(r"^FileName=(.*)$", section.group(0), re.M | re.I)
    return value.group(1).strip() if value else ""


def linked_pages(path):
    """How many pages the TIFF file's chain of directories links, read from this side (no
    Windows handle that could get in the program's way); 0 for a file that is missing or
    no TIFF; a cut file counts the directories it still holds."""
    try:
        data = path.read_bytes()
    except OSError:
        return 0
    order = {b"II*\0": "<", b"MM\0*": ">"}.get(data[:4])
    if not order:
        return 0
    count, seen = 0, set()
    offset = struct.unpack_from(order + "I", data, 4)[0]
    while offset and offset not in seen and offset + 2 <= len(data):
        seen.add(offset)
        end = offset + 2 + 12 * struct.unpack_from(order + "H", data, offset)[0]
        if end + 4 > len(data):
            break
        count += 1
        offset = struct.unpack_from(order + "I", data, end)[0]
    return count


class Prefix:
    def __init__(self, win, work, seed, control="ours"):
        if control not in CONTROLS:
            raise ValueError("no such imaging control: %s (%s)" % (control, ", ".join(CONTROLS)))
        self.win = pathlib.Path(win).resolve()
        self.work = pathlib.Path(work).resolve()
        self.seed = seed
        self.control = control
        self.prefix = self.work / "prefix"
        self.small_disk = self.work / "small-disk"
        self.c = self.prefix / "drive_c"
        self.prog = self.c / "FAX" / "PROG"
        self.private = self.c / "FAX" / "USERS" / "0001"
        self.settings = self.c / "windows" / "QFSCH.INI"
        # Where the setup's controls go: a 32-bit program's system directory in a 64-bit
        # prefix is syswow64.
        win32 = any(self.win.glob("dist/Kelvarin-*-win32-setup.exe"))
        self.system = self.c / "windows" / ("syswow64" if win32 else "system32")
        self.soak = self.c / "SOAK"
        self.outbox = self.prog / "outbox"
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.holder = None
        self.screen = None
        self.tavon = None
        self.box_lines = []

    # ----- paths -----
    def records_folder(self):
        """The program's per-user folder (%LOCALAPPDATA%\\Kelvarin): its job records and
        the scheduler's start. The user is the prefix's own, whatever its name."""
        local = list(self.c.glob("users/*/AppData/Local"))
        if len(local) != 1:
            raise RuntimeError("not one user's AppData\\Local in the prefix: %s" % local)
        return local[0] / "Kelvarin"

    def job_records(self):
        """The jobs the program has accepted and not yet run to their end."""
        return sorted((self.records_folder() / "Jobs").glob("*.JOB"))

    def recorded_job_files(self):
        """The job files those records name (their first line), in capitals."""
        names = set()
        for record in self.job_records():
            try:
                first = record.read_text(errors="replace").split("\n", 1)[0]
            except FileNotFoundError:
                continue    # the job ran to its end meanwhile
            if first.startswith("job "):
                names.add(first[len("job "):].upper())
        return names

    def unix_path(self, win_path):
        win_path = str(win_path)
        drive, rest = win_path[0].lower(), win_path[2:].lstrip("\\")
        base = {"c": self.c, "s": self.small_disk}[drive]
        return base.joinpath(*[p for p in rest.split("\\") if p])

    def win_path(self, path):
        path = pathlib.Path(path)
        for base, drive in ((self.c, "C:"), (self.small_disk, "S:")):
            try:
                return drive + "\\" + "\\".join(path.relative_to(base).parts)
            except ValueError:
                continue
        raise ValueError(path)

    # ----- programs -----
    def run(self, args, timeout=120):
        return subprocess.run([str(SCRIPTS / "wine-run.sh")] + args, env=self.env,
                              capture_output=True, text=True, timeout=timeout)

    def start(self, args, **popen):
        return subprocess.Popen([str(SCRIPTS / "wine-run.sh")] + args, env=self.env, **popen)

    def send_raw(self, code, path):
        result = self.run(["C:\\FAX\\PROG\\FAXPRINT.EXE", "--raw", str(code)] +
                          ([path] if path else []))
        if result.returncode != 0:
            raise RuntimeError("raw record %d not sent: exit %d: %s%s" % (
                code, result.returncode, result.stderr, result.stdout))

    def install(self):
        shutil.rmtree(self.prefix, ignore_errors=True)
        subprocess.run([str(SCRIPTS / "install.sh"), str(self.win), str(self.prefix)],
                       env=self.env, check=True, stdout=subprocess.DEVNULL)
        if self.control == "vendor":
            self.use_vendor_control()
        (self.prefix / "dosdevices" / "s:").symlink_to(self.small_disk)
        for folder in ("texts", "sources", "API", "HELD", "collected", "SMALLDISK", "FOREIGN"):
            (self.soak / folder).mkdir(parents=True, exist_ok=True)
        for helper in HELPERS:
            shutil.copy(self.win / "bin" / helper, self.soak / helper)
        self.make_decoys()
        self.box_log = self.soak / "boxes.log"
        self.box_log.touch()
        self.screen = self.start(["C:\\SOAK\\soakscreen.exe", "C:\\SOAK\\boxes.log",
                                  str(self.seed), "C:\\SOAK\\screen.stop"])
        self.holder = self.start(["C:\\SOAK\\soakhold.exe"], stdin=subprocess.PIPE,
                                 stdout=subprocess.PIPE, text=True, bufsize=1)

    def use_vendor_control(self):
        """Makes the installed prefix a machine with the vendor's control, as the fax
        product leaves it: the control in the system directory (and the program directory,
        where the registration tool takes it from), registered there, with no design-time
        licence on the machine; TAVON.EXE built with the control's runtime key."""
        vendor = self.win / "vendor"
        control = self.win_path(self.system / "IMOCX32.OCX")
        self.register("/u", control)    # ours goes with all it registered
        for place in (self.system, self.prog):
            shutil.copyfile(vendor / "IMOCX32.OCX", place / "IMOCX32.OCX")
            if (place / "IMOCX32.LIC").exists():
                raise RuntimeError("a design-time licence is on the machine: " + str(place))
        self.register(control)
        shutil.copyfile(vendor / "keyed" / "TAVON.exe", self.prog / "TAVON.EXE")

    def register(self, *args):
        regsvr32 = "C:\\windows\\%s\\regsvr32.exe" % self.system.name
        result = self.run([regsvr32, "/s"] + list(args))
        if result.returncode != 0:
            raise RuntimeError("regsvr32 %s: exit %d" % (" ".join(args), result.returncode))

    def vendor_saves(self):
        """How many saves the vendor's control logged beside itself."""
        try:
            text = (self.system / "IMOCX32.LOG").read_text(errors="replace")
        except FileNotFoundError:
            return 0
        return sum(1 for line in text.splitlines() if line.startswith("SaveAs "))

    def make_decoys(self):
        """Files of other programs, some named like the jobs' own: none may change."""
        decoys = {self.soak / "FOREIGN" / "JOB1.INI": b"[Orvik Printer]\r\n",
                  self.soak / "FOREIGN" / "JOB1.TIF": b"II*\0decoy",
                  self.soak / "FOREIGN" / "JOB1_P1.TIF": b"II*\0decoy page",
                  self.soak / "FOREIGN" / "FAX.$$$": b"decoy fax",
                  self.prog / "SPOOL" / "README.TIF": b"not a job",
                  self.prog / "SPOOL" / "JOB.TXT": b"not a job",
                  self.private / "FAX.BAK": b"an older fax"}
        for path, data in decoys.items():
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)

    def start_tavon(self):
        """Starts TAVON.EXE as at log-on; what it writes goes to program.log in the work
        folder, after a line for each start."""
        with open(self.work / "program.log", "ab") as log:
            log.write(b"---- started %s\n" % time.strftime("%H:%M:%S").encode())
            log.flush()
            self.tavon = self.start(["C:\\FAX\\PROG\\TAVON.EXE"], stdout=log,
                                    stderr=subprocess.STDOUT)
        return self.tavon

    def start_program(self):
        self.start_tavon()
        # Answers once its pipe takes a record (an unknown code, which it ignores).
        self.wait(lambda: self.run(["C:\\FAX\\PROG\\FAXPRINT.EXE", "--raw", "7"]).returncode == 0,
                  60, "the program did not open its pipe")

    def check_program(self):
        """Raises ProgramGone once the program started last has ended."""
        code = self.tavon.poll() if self.tavon is not None else None
        if code is not None:
            raise ProgramGone("the program ended (%s)" % (
                "killed by signal %d" % -code if code < 0 else "exit code %d" % code))

    def wait(self, condition, timeout, what):
        """wait_for, given up at once when the program ends meanwhile."""
        def met():
            self.check_program()
            return condition()
        return wait_for(met, timeout, what)

    def kill_program(self):
        """Ends the program at once (TerminateProcess), as Task Manager does."""
        if self.run(["C:\\SOAK\\soakproc.exe", "kill"]).returncode != 0:
            raise RuntimeError("the program was not killed")
        if self.tavon:
            self.tavon.wait(timeout=30)

    def probe(self):
        result = self.run(["C:\\SOAK\\soakproc.exe", "probe"])
        if result.returncode != 0:
            return None
        pid, working_set, pagefile, handles = (int(v) for v in result.stdout.split())
        return {"pid": pid, "rss": working_set, "private": pagefile, "handles": handles}

    def stop(self):
        (self.soak / "screen.stop").touch()
        if self.holder:
            self.holder.stdin.close()
            self.holder.wait(timeout=30)
        if self.screen:
            self.screen.wait(timeout=30)
        subprocess.run(["wineserver", "-k"], env=self.env)

    # ----- held files -----
    def _command(self, line):
        self.holder.stdin.write(line + "\n")
        self.holder.stdin.flush()
        answer = self.holder.stdout.readline().split()
        if not answer or answer[0] != "ok":
            raise RuntimeError("holder: %s -> %s" % (line, answer))

    def hold(self, tag, path):
        self._command("hold %s %s" % (tag, self.win_path(path)))

    def make_held(self, tag, win_path):
        self._command("make %s %s" % (tag, win_path))

    def release(self, tag):
        self._command("release " + tag)

    # ----- what the program left -----
    def queue_entries(self):
        try:
            text = (self.outbox / "queue.log").read_text(errors="replace")
        except FileNotFoundError:
            return 0
        return len(re.findall(r" (?:queued|refused) ", text))

    def read_boxes(self):
        text = self.box_log.read_text(errors="replace")
        boxes, closed = [], set()
        for line in text.splitlines():
            parts = line.split("\t")
            if parts[0] == "seen" and len(parts) >= 6:
                boxes.append({"hwnd": parts[1], "image": parts[3], "caption": parts[4],
                              "text": parts[5]})
            elif parts[0] == "closed" and len(parts) >= 2:
                closed.add(parts[1])
        return boxes, closed

    def box_count(self):
        return len(self.read_boxes()[0])

    def boxes_since(self, count):
        return self.read_boxes()[0][count:]

    def open_boxes(self):
        boxes, closed = self.read_boxes()
        return [b for b in boxes if b["hwnd"] not in closed]

    # ----- the settings file -----
    def api_entry(self):
        return api_entry_in(self.settings.read_text(errors="replace"))

    def set_api_entry(self, target):
        text = self.settings.read_bytes().decode("latin-1")
        section = re.search(r"^\[GXAPI\][^\[]*", text, re.M | re.I)
        if not section:
            text = text.rstrip("\r\n") + "\r\n[GXAPI]\r\nFileName=%s\r\n" % target
        else:
            body = section.group(0)
            if re.search(r"^FileName=", body, re.M | re.I):
                body = re.sub(r"^FileName=.*?(\r?)$", lambda m: "FileName=%s%s" % (target, m.group(1)),
                              body, count=1, flags=re.M | re.I)
            else:
                body = body.replace("[GXAPI]\r\n", "[GXAPI]\r\nFileName=%s\r\n" % target, 1)
            text = text[:section.start()] + body + text[section.end():]
        self.settings.write_bytes(text.encode("latin-1"))

    def settings_without_entry(self):
        """Every key of the settings file but the one the fax API and the program share."""
        values, section = [], ""
        for line in self.settings.read_bytes().decode("latin-1").splitlines():
            line = line.strip()
            if line.startswith("["):
                section = line.upper()
            elif "=" in line:
                key, value = line.split("=", 1)
                if (section, key.strip().upper()) != ("[GXAPI]", "FILENAME"):
                    values.append("%s %s=%s" % (section, key.strip().upper(), value.strip()))
        return "\n".join(sorted(values))

    # ----- the scheduler -----
    def scheduler_image(self):
        return self.private / "FAX.$$$"

    def hide_scheduler(self, stand_in=None):
        """Sets the scheduler aside, beside itself (so it still finds its outbox), and puts
        the bytes stand_in, if any, in its place."""
        (self.prog / "QUEUEMGR.EXE").rename(self.prog / "QUEUEMGR-ASIDE.EXE")
        if stand_in is not None:
            (self.prog / "QUEUEMGR.EXE").write_bytes(stand_in)

    def slow_scheduler(self, delay_ms):
        """In the scheduler's place, soakslow: at each start it holds the scheduler's image
        open for delay_ms, then has the scheduler take it."""
        (self.soak / "slow.txt").write_text("%d\r\n%s\r\n" % (
            delay_ms, self.win_path(self.scheduler_image())))
        self.hide_scheduler((self.soak / "soakslow.exe").read_bytes())

    def slow_starts_ended(self):
        try:
            lines = (self.soak / "slow.log").read_text().split()
        except FileNotFoundError:
            return True
        return lines.count("start") == lines.count("end")

    def restore_scheduler(self):
        """Once every slow start has run the scheduler set aside, puts it back."""
        self.wait(self.slow_starts_ended, JOB_WAIT, "a slow scheduler did not end")
        (self.prog / "QUEUEMGR.EXE").unlink(missing_ok=True)
        (self.prog / "QUEUEMGR-ASIDE.EXE").rename(self.prog / "QUEUEMGR.EXE")

    # ----- the small disk -----
    def empty_small_disk(self):
        """Moves what an earlier job left on the small disk aside, under its own name."""
        (self.small_disk / "filler").unlink(missing_ok=True)
        leftovers = [p for p in self.small_disk.rglob("*") if p.is_file()]
        if not leftovers:
            return
        aside = self.soak / "SMALLDISK" / str(len(list((self.soak / "SMALLDISK").iterdir())) + 1)
        for path in leftovers:
            target = aside / path.relative_to(self.small_disk)
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.move(path, target)

    def fill_small_disk(self, leave):
        stat = os.statvfs(self.small_disk)
        free = stat.f_bavail * stat.f_frsize
        with open(self.small_disk / "filler", "ab") as filler:
            filler.write(b"\0" * max(0, free - leave))

    def keep_small_disk_full(self, leave, done):
        """Takes up the disk's free space but `leave` bytes until done() is true."""
        while not done():
            self.fill_small_disk(leave)
            time.sleep(0.005)

    def collect_api_file(self):
        """Plays the fax API: takes each hand-off file once the program let go of it."""
        for folder in (self.soak / "API", self.small_disk):
            for path in folder.glob("*.TIF"):
                shutil.move(path, self.soak / "collected" / path.name)

    # ----- foreign files -----
    def foreign_snapshot(self):
        files = []
        for folder in (self.c / "FAX" / "ADMIN", self.soak / "FOREIGN", self.private,
                       self.prog):
            for path in sorted(folder.rglob("*")):
                # The scheduler's image, and one no scheduler took, kept aside: the program's.
                if not path.is_file() or path.name == "FAX.$$$" or \
                        (path.parent == self.private and path.name.startswith("FAX-kept-")):
                    continue
                if self.prog in path.parents and path.parent != self.prog and \
                        path.name not in ("README.TIF", "JOB.TXT"):
                    continue
                files.append(path)
        for name in ("IMOCX32.OCX", "IMTWAIN3.OCX"):
            files.append(self.system / name)
        snapshot = {str(p): hashlib.sha256(p.read_bytes()).hexdigest() for p in files}
        snapshot["QFSCH.INI without [GXAPI] FileName"] = hashlib.sha256(
            self.settings_without_entry().encode("latin-1")).hexdigest()
        return snapshot
