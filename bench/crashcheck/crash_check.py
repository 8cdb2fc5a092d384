#!/usr/bin/env python3
"""The power-cut check of a real job on each road, with each imaging control (ours, and
the one built as a vendor builds it): records one print job of the installed program by
the scheduler's road and one by the fax-API road (crash_record),
lays out every state a crash during each can leave on the disk in each model
(crash_model), checks each state on its own (every page of the job readable somewhere;
the merged file and the fax readable or absent), then starts the program alone on the
states (each distinct outcome once), which must finish the job it recorded by itself,
prints one more job, and checks the outbox, the fax-API side's sent faxes and the boxes:
no page sent twice, no page left in a fax or file nobody was told of.

Usage: crash_check.py WIN_BUILD_DIR NATIVE_BUILD_DIR WORK_DIR [--short] [--control=ours|vendor]
--short: the offline checks of every state, and the program on the few states where a
crash most plainly meets each road (see chosen_states); the vendor's control by the
scheduler's road alone.
--control: that control alone (default: ours, then the vendor's).
Exit status 0 only when no state loses, doubles, strands or breaks anything.
"""
import hashlib
import os
import random
import pathlib
import re
import shutil
import subprocess
import sys
import threading
import time

import crash_model
from crash_record import API_FILE, SENT, Recording, Watched, page_text, start_program, wait_for
from soak_pixels import signatures
from soak_prefix import CONTROLS, Prefix, api_entry_in

PAGES = 5
# The recorded jobs: the seed of their pages, and whether by the fax-API road.
ROADS = ((11, False), (13, True))
CONTROL_NAMES = {"ours": "our control", "vendor": "the vendor's control"}
JOB_END = 120
WORKERS = int(os.environ.get("CRASHCHECK_WORKERS", "2"))
COLUMNS = ["lost", "doubled", "stranded", "broken"]


class Files:
    """Whether a file is one the engine and libtiff read whole, by content, once."""

    def __init__(self, native, work):
        self.faxtiff = str(pathlib.Path(native) / "src" / "tiff" / "faxtiff")
        self.scratch = pathlib.Path(work) / "scratch.tif"
        self.known = {}
        self.lock = threading.Lock()   # the workers share the scratch file

    def pages(self, data):
        """The page signatures of a file read whole, or None."""
        key = hashlib.sha256(data).hexdigest()
        with self.lock:
            return self.known[key] if key in self.known else self._read(key, data)

    def _read(self, key, data):
        self.scratch.write_bytes(data)
        info = subprocess.run([self.faxtiff, "info", str(self.scratch)], capture_output=True,
                              text=True)
        count = len(re.findall(r"^page \d+:", info.stdout, re.M))
        pages = signatures(self.scratch) if info.returncode == 0 and count else []
        self.known[key] = pages if pages and len(pages) == count else None
        return self.known[key]


def is_fax_file(path):
    """The merged file, the scheduler's image, the outbox's faxes and their kept copies:
    not the printer's page images or a half-written temporary file."""
    name = os.path.basename(path).upper()
    return (name.endswith((".TIF", ".$$$")) and not re.match(r"JOB\d+_P\d+", name) and
            not name.endswith(".PARTIAL"))


class Checker:
    def __init__(self, recording, files):
        self.rec = recording
        self.files = files
        self.job_pages = [files.pages(recording.files[str(p)])[0] for p in recording.page_files]
        self.merged = str(recording.ini.with_suffix(".TIF"))
        # The vendor's control rebuilds the merged file on each save and never flushes it,
        # as such a control may: a crash can leave it cut, and the program, started again,
        # must merge again from the page images. Every other fax file is whole or absent.
        self.may_be_cut = {self.merged} if recording.px.control == "vendor" else set()

    def holders(self, contents, pages=None):
        """Page index (in pages, default the job's) -> paths of the files read whole
        that hold it."""
        pages = pages or self.job_pages
        where = {}
        for path, data in contents.items():
            for sig in self.files.pages(data) or []:
                if sig in pages:
                    where.setdefault(pages.index(sig), []).append(path)
        return where

    def offline(self, state):
        found = {}
        where = self.holders(state.files)
        lost = [n + 1 for n in range(len(self.job_pages)) if n not in where]
        if lost:
            found["lost"] = "page %s in no readable file" % ",".join(map(str, lost))
        broken = sorted(p for p, d in state.files.items() if is_fax_file(p) and
                        p not in self.may_be_cut and
                        self.rec.files.get(p) != d and self.files.pages(d) is None)
        if broken:
            found["broken"] = "unreadable: " + ", ".join(
                "%s (%d bytes)" % (self.rec.watched.name(p), len(state.files[p])) for p in broken)
        return found

    def cut(self, state):
        """Whether the state holds a merged file the control may leave cut, cut."""
        return any(p in state.files and self.files.pages(state.files[p]) is None
                   for p in self.may_be_cut)

    def shape(self, state):
        """What the program can tell apart in a state: which files, which pages each
        readable one holds, the bytes of small other ones (job file, marker); unreadable
        files of a block or more (cut images, cut copies) are alike but for being empty."""
        parts = []
        for path, data in sorted(state.files.items()):
            pages = self.files.pages(data)
            if path.endswith("queue.log"):
                parts.append((path,))
            elif pages is not None:
                parts.append((path, tuple(self.job_pages.index(s) if s in self.job_pages else -1
                                          for s in pages)))
            elif len(data) < crash_model.BLOCK:
                parts.append((path, hashlib.sha256(data).hexdigest()))
            else:
                parts.append((path, "unreadable"))
        return tuple(parts), tuple(sorted(state.folders))


class Road:
    """One recorded job, its crash states by model, and what was found in each."""

    def __init__(self, rec, files):
        self.rec = rec
        self.checker = Checker(rec, files)
        self.states = {m: crash_model.crash_states(rec.ops, rec.files, rec.folders, m,
                                                   rec.watched.name)
                       for m in crash_model.MODELS}
        if rec.api:
            for model, group in self.states.items():
                self.states[model] = group + taken_twins(rec, group)
        self.found = {(m, s.key): self.checker.offline(s)
                      for m, group in self.states.items() for s in group}
        # The trace must show the control's saves: somewhere the merged file holds the
        # whole job (its writes are the control's, in the program's process).
        merged = self.checker.merged
        if not any(merged in s.files and files.pages(s.files[merged]) == self.checker.job_pages
                   for s in self.states["in-order"]):
            raise RuntimeError("the trace never shows the merged file holding the job's "
                               "pages: the control's writes were not followed")


def taken_twins(rec, states):
    """The fax-API side may take the hand-off file as soon as the entry is empty: where a
    state has the entry empty on the disk and the file there, the same state with the file
    taken before the power went."""
    hand_off = str(rec.px.unix_path(API_FILE))
    settings = str(rec.px.settings)
    twins = []
    for state in states:
        if hand_off in state.files and not api_entry_in(state.files[settings].decode("latin-1")):
            files = dict(state.files)
            files[str(rec.px.unix_path(SENT) / sent_name(0))] = files.pop(hand_off)
            twin = crash_model.State(state.model, state.crash_at, files, state.folders,
                                     state.missing)
            twin.taken = True
            twins.append(twin)
    return twins


def sent_name(count):
    """The name the fax-API side gives the fax it takes after count others."""
    return "%d.TIF" % (count + 1)


def held_open(path):
    """Whether a process has the file open (a Wine handle's file is open in the
    wineserver)."""
    for fds in pathlib.Path("/proc").glob("[0-9]*/fd"):
        try:
            if any(os.readlink(fd) == str(path) for fd in fds.iterdir()):
                return True
        except OSError:
            continue
    return False


class Runner:
    """A prefix with the installed program, where states are laid out and the program
    started on them; one per worker. record_px is the prefix the states were recorded in."""

    def __init__(self, record_px, px, installed):
        self.record_px = record_px
        self.px = px
        self.hand_off = px.unix_path(API_FILE)
        self.sent = px.unix_path(SENT)
        if installed:
            (px.soak / "screen.stop").unlink()
            px.screen = px.start(["C:\\SOAK\\soakscreen.exe", "C:\\SOAK\\boxes.log", "1",
                                  "C:\\SOAK\\screen.stop"])
        else:
            px.install()    # with the person at the screen
        # The per-user folder is found in the laid-out prefix.
        self.watched = Watched(px)

    def here(self, path):
        """The place in this prefix of a path in the recording's."""
        return self.px.c / pathlib.Path(path).relative_to(self.record_px.c)

    def lay_out(self, rec, state):
        for folder in self.watched.folders:
            shutil.rmtree(folder, ignore_errors=True)
        for folder in sorted(state.folders):
            os.makedirs(self.here(folder), exist_ok=True)
        for path, data in state.files.items():
            self.here(path).write_bytes(data)
            written = rec.time_of(path, data)
            if written is not None:
                os.utime(self.here(path), ns=(written, written))

    def fax_api_side(self):
        """Plays the fax API: takes the hand-off file to the sent place once the entry is
        empty and the program has let go of it."""
        if self.hand_off.exists() and not self.px.api_entry() and not held_open(self.hand_off):
            self.hand_off.rename(self.sent / sent_name(len(list(self.sent.iterdir()))))

    def faxes_with(self, checker, pages):
        """How many faxes in the outbox and the fax-API side's sent place hold one of the
        pages."""
        faxes = list(self.px.outbox.glob("FAX-*.TIF")) + list(self.sent.glob("*.TIF"))
        return sum(1 for path in faxes
                   if set(checker.files.pages(path.read_bytes()) or []) & set(pages))

    def wait_job(self, road, ini, pages, boxes):
        """A job has ended when its record is gone, and its job file is gone and its
        hand-off done, or a box ended it (a box about left-out pages or a kept merged file
        comes before the hand-off). By the scheduler's road it is done when a fax with its
        pages is in the outbox (the scheduler may have taken it before the stop); by the
        fax-API road when the entry is empty and the fax-API side took the file (a fax
        handed on before the stop goes no further)."""
        px = self.px

        def ended():
            self.fax_api_side()
            if px.job_records():
                return False
            if road.rec.api:
                done = not px.api_entry() and not self.hand_off.exists()
            else:
                done = self.faxes_with(road.checker, pages) > 0
            if not ini.exists() and done:
                return True
            return any(not b["text"].startswith(("Pages left out", "The merged file of an",
                                                 "The imaging control damaged the merged file:"))
                       for b in px.boxes_since(boxes))
        try:
            wait_for(ended, JOB_END, "the job did not end")
        except TimeoutError:
            raise TimeoutError("the job did not end: " + self.unended(road, ini, pages)) from None
        wait_for(lambda: not px.open_boxes(), JOB_END, "a box stayed open")

    def unended(self, road, ini, pages):
        """What is left of a job that did not end."""
        px = self.px
        left = [what for what, there in (
            ("its record", px.job_records()), ("its job file", ini.exists()),
            ("the fax-API entry set", road.rec.api and px.api_entry()),
            (self.watched.name(self.hand_off), road.rec.api and self.hand_off.exists()),
            ("no fax with its pages in the outbox",
             not road.rec.api and not self.faxes_with(road.checker, pages)),
            (self.watched.name(px.scheduler_image()), px.scheduler_image().exists())) if there]
        return ", ".join(left) or "nothing"

    def run(self, road, state):
        px = self.px
        rec = road.rec
        if px.tavon:
            px.tavon.kill()
            px.tavon.wait(timeout=60)
        self.lay_out(rec, state)
        recorded = bool(px.job_records())
        boxes = px.box_count()
        start_program(px)
        # Alone: the program finishes the job it recorded before the stop by itself.
        if recorded:
            self.wait_job(road, self.here(rec.ini), road.checker.job_pages, boxes)
        if rec.api:
            # The fax-API side asks for the next fax only once it has the last one.
            self.fax_api_side()
            if px.api_entry():
                return self.account(road, state, px.boxes_since(boxes), None)
            px.set_api_entry(API_FILE)
        text = px.soak / "texts" / "next.txt"
        text.write_text(page_text(random.Random(5), 1), newline="\r\n")
        boxes_next = px.box_count()
        result = px.run(["C:\\FAX\\PROG\\FAXPRINT.EXE", "--pages", "1", px.win_path(text)])
        if result.returncode != 0:
            raise RuntimeError("printer: " + result.stderr)
        next_ini = px.unix_path(result.stdout.split(": ")[0])
        # Read before the program's pause after the end of the document is over.
        next_page = road.checker.files.pages(
            next_ini.with_name(next_ini.stem + "_P1.TIF").read_bytes())[0]
        self.wait_job(road, next_ini, [next_page], boxes_next)
        return self.account(road, state, px.boxes_since(boxes), next_page)

    def account(self, road, state, boxes, next_page):
        """next_page None: no next job was printed."""
        checker = road.checker
        contents, _ = self.watched.snapshot()
        pages = checker.job_pages + ([next_page] if next_page else [])
        labels = ["page %d" % (n + 1) for n in range(len(checker.job_pages))]
        labels.append("the next job's page")
        where = checker.holders(contents, pages)
        sent_places = (str(self.px.outbox) + "/", str(self.sent) + "/")
        said = " ".join(b["text"] for b in boxes).upper()
        found = {}
        unsent = []
        for n in range(len(pages)):
            label = labels[n]
            holders = sorted(set(where.get(n, [])))
            sent = sum(checker.files.pages(contents[p]).count(pages[n])
                       for p in holders if p.startswith(sent_places))
            if sent > 1:
                found.setdefault("doubled", []).append("%s sent %d times" % (label, sent))
            elif not holders:
                found.setdefault("lost", []).append("%s gone after the run" % label)
            elif not sent:
                unsent.append(n)
                if not any(self.watched.name(p).upper() in said for p in holders):
                    found.setdefault("stranded", []).append("%s only in %s, no box" % (
                        label, ", ".join(self.watched.name(p) for p in holders)))
        # The fax files the program made or changed are whole, and so is a merged file the
        # control may have cut.
        laid = {str(self.here(p)): d for p, d in state.files.items()}
        cut = {str(self.here(p)) for p in checker.may_be_cut}
        broken = sorted(self.watched.name(p) for p, d in contents.items()
                        if is_fax_file(p) and (laid.get(p) != d or p in cut) and
                        checker.files.pages(d) is None)
        if broken:
            found["broken"] = ["unreadable after the run: " + ", ".join(broken)]
        # A whole fax that was not sent (in the hand-off file with the entry still set,
        # too) is named to the user, wherever else its pages are.
        if any(n < len(checker.job_pages) for n in unsent):
            whole = set.intersection(
                *[set(where.get(n, [])) for n in range(len(checker.job_pages))])
            for path in sorted(p for p in whole if not p.startswith(sent_places)):
                if self.watched.name(path).upper() not in said:
                    found.setdefault("stranded", []).append(
                        "the whole fax, unsent, in %s, no box" % self.watched.name(path))
        return {kind: "; ".join(lines) for kind, lines in found.items()}, boxes


def chosen_states(road, states):
    """For --short, crashes in order. By the scheduler's road: in page 3's save into the
    merged file (the last state before the file holds it whole); with our control also in
    the pause after the end of the document (the job recorded, nothing merged), once the
    fax is handed on and before the scheduler's start (its first act or the record of it,
    whichever comes first), and once the start is recorded, before the first page image
    goes. By the fax-API road: just before the entry's emptying, and the first crash after
    which the fax-API side may have taken the hand-off file, taken."""
    rec, checker = road.rec, road.checker
    ops = rec.ops
    in_order = [s for s in states if s.model == "in-order" and not s.taken]

    def first(test):
        return [i for i, op in enumerate(ops) if test(op)][:1]

    def last_before(point):
        """The state a crash at that point leaves: the last one reached by then."""
        return max((s for s in in_order if s.crash_at <= point), key=lambda s: s.crash_at)

    if rec.api:
        chosen = [last_before(p) for p in first(lambda op: op.path == str(rec.px.settings))]
    else:
        three = checker.job_pages[:3]
        whole = min(s.crash_at for s in in_order
                    if checker.files.pages(s.files.get(checker.merged, b"")) == three)
        chosen = [last_before(whole - 1)]
        if rec.px.control == "ours":
            started = str(rec.px.records_folder() / "SCHEDULER.REC")
            outbox = str(rec.px.outbox) + "/"
            images = [str(p) for p in rec.page_files]
            start = first(lambda op: op.path.startswith((started, outbox)))
            points = [0, start[0]] if start else [0]
            points += first(lambda op: op.kind == "unlink" and op.path in images)
            chosen += [last_before(p) for p in points]
    taken = [s for s in states if s.model == "in-order" and s.taken]
    if taken:
        chosen.append(min(taken, key=lambda s: s.crash_at))
    return chosen


def describe(rec, state):
    ops = rec.ops
    name = rec.watched.name
    after = ops[state.crash_at].describe(name) if state.crash_at < len(ops) else "the end"
    text = "crash after op %d (%s), before %s" % (
        state.crash_at - 1, ops[state.crash_at - 1].describe(name), after) if state.crash_at \
        else "crash before op 0 (%s)" % after
    if state.missing:
        text += "; not on the disk: " + ", ".join(state.missing)
    if state.taken:
        text += "; the fax-API side had taken %s" % API_FILE
    return text


def main():
    win, native, work = sys.argv[1:4]
    options = sys.argv[4:]
    short = "--short" in options
    controls = [o.split("=", 1)[1] for o in options if o.startswith("--control=")] or \
        list(CONTROLS)
    work = pathlib.Path(work).resolve()
    work.mkdir(parents=True, exist_ok=True)
    started = time.monotonic()
    files = Files(native, work)
    failing = sum(check_control(win, work / control, control, files, short, started)
                  for control in controls)
    print("\ncrashcheck: %s, %s, %.0f s: %s" % (
        "short" if short else "full", " and ".join(CONTROL_NAMES[c] for c in controls),
        time.monotonic() - started, "FAIL" if failing else "PASS"))
    sys.exit(1 if failing else 0)


def check_control(win, work, control, files, short, started):
    """Records and checks the roads with that imaging control in prefixes of its own under
    work; returns how many states fail. The short run takes the vendor's control by the
    scheduler's road alone: its saves are the same on both roads."""
    name = CONTROL_NAMES[control]
    px = Prefix(win, work / "record", 1, control)
    px.install()
    roads = []
    for seed, api in ROADS[:1] if short and control == "vendor" else ROADS:
        rec = Recording(px, PAGES, seed, api)
        rec.run()
        print("crashcheck: %s: recorded a %d-page job by the %s road: %d file operations "
              "(%.0f s)" % (name, PAGES, rec.road, len(rec.ops), time.monotonic() - started),
              flush=True)
        roads.append(Road(rec, files))
        print("crashcheck: %s states checked offline (%.0f s)" % (
            " + ".join("%d %s" % (len(g), m) for m, g in roads[-1].states.items()),
            time.monotonic() - started), flush=True)

    by_shape = {}
    for road in roads:
        everything = [s for g in road.states.values() for s in g]
        for state in chosen_states(road, everything) if short else everything:
            by_shape.setdefault((road.rec.road, road.checker.shape(state)), (road, []))[1].append(
                state)
            if short:
                print("crashcheck: the %s road: %s" % (road.rec.road, describe(road.rec, state)),
                      flush=True)
    outcomes = run_states(px, work, [(road, group[0]) for road, group in by_shape.values()])
    for road, group in by_shape.values():
        outcome = outcomes[group[0]]
        for state in group:
            for kind, text in outcome.items():
                road.found[(state.model, state.key)].setdefault(kind, text)
    print("crashcheck: %s: the program ran on %d distinct states (%.0f s)" % (
        name, len(by_shape), time.monotonic() - started), flush=True)
    return sum(report(road) for road in roads)


def run_states(record_px, work, items):
    """Each (road, state)'s outcome in the program, by state, on WORKERS prefixes side by
    side."""
    outcomes = {}
    queue = list(items)
    lock = threading.Lock()
    errors = []

    def worker(index):
        px = record_px if index == 0 else Prefix(record_px.win, work / ("replay%d" % index), 1,
                                                 record_px.control)
        try:
            runner = Runner(record_px, px, installed=index == 0)
            while True:
                with lock:
                    if not queue:
                        return
                    road, state = queue.pop(0)
                try:
                    outcome, _ = runner.run(road, state)
                except (TimeoutError, RuntimeError) as error:
                    outcome = {"stuck": str(error)}
                with lock:
                    outcomes[state] = outcome
                    if len(outcomes) % 10 == 0:
                        print("crashcheck: %d of %d states run" % (len(outcomes), len(items)),
                              flush=True)
        except Exception as error:  # noqa: BLE001 - reported, and the run fails
            print("crashcheck: worker %d: %r" % (index, error), file=sys.stderr, flush=True)
            errors.append(error)
        finally:
            px.stop()

    threads = [threading.Thread(target=worker, args=(i,))
               for i in range(min(WORKERS, max(len(items), 1)))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    if errors:
        raise errors[0]
    return outcomes


def report(road):
    """Prints the road's table and its failing states; returns how many fail."""
    rec, states, found = road.rec, road.states, road.found
    print("\nthe %s road, %s:" % (rec.road, CONTROL_NAMES[rec.px.control]))
    print("%-9s %7s %13s %15s %26s %24s" % ("model", "states", "losing a page", "doubling a page",
                                           "stranding a fax unsaid", "broken merged file/fax"))
    failing = 0
    for model, group in states.items():
        counts = {k: sum(1 for s in group if k in found[(model, s.key)]) for k in COLUMNS}
        stuck = sum(1 for s in group if "stuck" in found[(model, s.key)])
        failing += sum(counts.values()) + stuck
        print("%-9s %7d %13d %15d %26d %24d%s" % (model, len(group), counts["lost"],
                                                  counts["doubled"], counts["stranded"],
                                                  counts["broken"],
                                                  "  (%d stuck)" % stuck if stuck else ""))
    if road.checker.may_be_cut:
        print("(the merged file cut by the control's unflushed saves, as it may be: %s)" %
              ", ".join("%d %s" % (sum(1 for s in group if road.checker.cut(s)), model)
                        for model, group in states.items()))
    classes = {}
    for model, group in states.items():
        for state in group:
            for kind, text in found[(model, state.key)].items():
                # One class whatever the kept names' times and the short files' sizes.
                what = re.sub(r" \(\d+ bytes\)", "", re.sub(r"\d{8}-\d{6}-\d+", "<time>", text))
                entry = classes.setdefault((kind, what), [])
                entry.append((model, state))
    if classes:
        print("\nfailing states, by what went wrong (count, models, first example):")
    for (kind, text), entries in sorted(classes.items()):
        model, state = min(entries, key=lambda e: (len(e[1].missing), e[1].crash_at))
        models = sorted({m for m, _ in entries}, key=crash_model.MODELS.index)
        print("- %s: %s\n    %d state(s) [%s]; e.g. %s: %s" % (
            kind, text, len(entries), ", ".join(models), model, describe(rec, state)))
    return failing


if __name__ == "__main__":
    main()
