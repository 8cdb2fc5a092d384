#!/usr/bin/env python3
"""The power-cut check of a real job: records one print job of the installed program
(crash_record), lays out every state a crash during it can leave on the disk in each
model (crash_model), checks each state on its own (every page of the job readable
somewhere; the merged file and the fax readable or absent), then starts the program on
the states (each distinct outcome once), has the printer send the same job again and
then one more, and checks the outbox and the boxes: no page sent twice, no page left in
a fax or file nobody was told of.

Usage: crash_check.py WIN_BUILD_DIR NATIVE_BUILD_DIR WORK_DIR [--short]
--short: the offline checks of every state, and the program on the few states where a
crash most plainly meets each road (a page merged but its image not yet deleted; the job
file deleted before the scheduler took the fax).
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
from crash_record import Recording, Watched, page_text, start_program, wait_for
from soak_pixels import signatures

PAGES = 5
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
                        self.rec.files.get(p) != d and self.files.pages(d) is None)
        if broken:
            found["broken"] = "unreadable: " + ", ".join(
                "%s (%d bytes)" % (self.rec.watched.name(p), len(state.files[p])) for p in broken)
        return found

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


class Runner:
    """A prefix with the installed program, where states are laid out and the job sent
    again; one per worker."""

    def __init__(self, recording, checker, px, installed):
        self.rec = recording
        self.checker = checker
        self.px = px
        self.watched = Watched(px)
        if not installed:
            px.install()    # with the person at the screen
            return
        (px.soak / "screen.stop").unlink()
        px.screen = px.start(["C:\\SOAK\\soakscreen.exe", "C:\\SOAK\\boxes.log", "1",
                              "C:\\SOAK\\screen.stop"])

    def here(self, path):
        """The place in this prefix of a path in the recording's."""
        return self.px.c / pathlib.Path(path).relative_to(self.rec.px.c)

    def lay_out(self, state):
        for folder in self.watched.folders:
            shutil.rmtree(folder, ignore_errors=True)
        for folder in sorted(state.folders):
            os.makedirs(self.here(folder), exist_ok=True)
        for path, data in state.files.items():
            self.here(path).write_bytes(data)
            # The job file's time is part of the merge marker's stamp.
            if self.rec.files.get(path) == data:
                os.utime(self.here(path), ns=(self.rec.mtimes[path], self.rec.mtimes[path]))

    def faxes_with(self, pages):
        """How many faxes in the outbox hold one of the pages."""
        return sum(1 for path in self.px.outbox.glob("FAX-*.TIF")
                   if set(self.checker.files.pages(path.read_bytes()) or []) & set(pages))

    def wait_job(self, ini, pages, before, boxes):
        """A job has ended when its job file is gone and a fax with its pages reached the
        outbox beyond the `before` there were (the scheduler may send an earlier fax
        first), or a box ended it (a box about left-out pages or a kept merged file comes
        before the hand-off)."""
        px = self.px

        def ended():
            if not ini.exists() and self.faxes_with(pages) > before:
                return True
            return any(not b["text"].startswith(("Pages left out", "The merged file of an"))
                       for b in px.boxes_since(boxes))
        wait_for(ended, JOB_END, "the job did not end")
        wait_for(lambda: not px.open_boxes(), JOB_END, "a box stayed open")

    def run(self, state):
        px = self.px
        if px.tavon:
            px.tavon.kill()
            px.tavon.wait(timeout=60)
        self.lay_out(state)
        boxes = px.box_count()
        start_program(px)
        ini = self.here(self.rec.ini)
        if ini.exists():
            before = self.faxes_with(self.checker.job_pages)
            px.send_raw(0, self.rec.ini_name)
            px.send_raw(1, px.win_path(self.here(self.rec.page_files[0])))
            px.send_raw(2, None)
            self.wait_job(ini, self.checker.job_pages, before, boxes)
        text = px.soak / "texts" / "next.txt"
        text.write_text(page_text(random.Random(5), 1), newline="\r\n")
        boxes_next = px.box_count()
        result = px.run(["C:\\FAX\\PROG\\FAXPRINT.EXE", "--pages", "1", px.win_path(text)])
        if result.returncode != 0:
            raise RuntimeError("printer: " + result.stderr)
        next_ini = px.unix_path(result.stdout.split(": ")[0])
        # Read before the program's pause after the end of the document is over.
        next_page = self.checker.files.pages(
            next_ini.with_name(next_ini.stem + "_P1.TIF").read_bytes())[0]
        self.wait_job(next_ini, [next_page], 0, boxes_next)
        return self.account(px.boxes_since(boxes), next_page)

    def account(self, boxes, next_page):
        contents, _ = self.watched.snapshot()
        pages = self.checker.job_pages + [next_page]
        labels = ["page %d" % (n + 1) for n in range(len(self.checker.job_pages))]
        labels.append("the next job's page")
        where = self.checker.holders(contents, pages)
        outbox = str(self.px.outbox) + "/"
        said = " ".join(b["text"] for b in boxes).upper()
        found = {}
        unsent = []
        for n, label in enumerate(labels):
            holders = sorted(set(where.get(n, [])))
            sent = sum(self.checker.files.pages(contents[p]).count(pages[n])
                       for p in holders if p.startswith(outbox))
            if sent > 1:
                found.setdefault("doubled", []).append("%s sent %d times" % (label, sent))
            elif not holders:
                found.setdefault("lost", []).append("%s gone after the resend" % label)
            elif not sent:
                unsent.append(n)
                if not any(self.watched.name(p).upper() in said for p in holders):
                    found.setdefault("stranded", []).append("%s only in %s, no box" % (
                        label, ", ".join(self.watched.name(p) for p in holders)))
        # A whole fax that was not sent is named to the user, wherever else its pages are.
        if any(n < len(self.checker.job_pages) for n in unsent):
            whole = set.intersection(
                *[set(where.get(n, [])) for n in range(len(self.checker.job_pages))])
            for path in sorted(p for p in whole if not p.startswith(outbox)):
                if self.watched.name(path).upper() not in said:
                    found.setdefault("stranded", []).append(
                        "the whole fax, unsent, in %s, no box" % self.watched.name(path))
        return {kind: "; ".join(lines) for kind, lines in found.items()}, boxes


def chosen_states(rec, states):
    """For --short: in order, a crash between a page's flush and the deletion of its image
    (page 2), and one between the job file's deletion and the scheduler's start."""
    ops = rec.ops
    name = rec.watched.name
    page2 = name(rec.page_files[1])
    points = [i for i, op in enumerate(ops) if op.kind == "unlink" and name(op.path) == page2][:1]
    points += [i + 1 for i, op in enumerate(ops)
               if op.kind == "unlink" and op.path == str(rec.ini)][:1]
    in_order = [s for s in states if s.model == "in-order"]
    # The state a crash at that point leaves: the last one reached by then.
    return [max((s for s in in_order if s.crash_at <= point), key=lambda s: s.crash_at)
            for point in points]


def describe(rec, state):
    ops = rec.ops
    name = rec.watched.name
    after = ops[state.crash_at].describe(name) if state.crash_at < len(ops) else "the end"
    text = "crash after op %d (%s), before %s" % (
        state.crash_at - 1, ops[state.crash_at - 1].describe(name), after) if state.crash_at \
        else "crash before op 0 (%s)" % after
    if state.missing:
        text += "; not on the disk: " + ", ".join(state.missing)
    return text


def main():
    win, native, work = sys.argv[1:4]
    short = "--short" in sys.argv[4:]
    work = pathlib.Path(work).resolve()
    work.mkdir(parents=True, exist_ok=True)
    started = time.monotonic()

    rec = Recording(win, work, PAGES)
    rec.run()
    files = Files(native, work)
    checker = Checker(rec, files)
    print("crashcheck: recorded a %d-page job: %d file operations (%.0f s)" %
          (PAGES, len(rec.ops), time.monotonic() - started), flush=True)

    states = {m: crash_model.crash_states(rec.ops, rec.files, rec.folders, m, rec.watched.name)
              for m in crash_model.MODELS}
    found = {}   # (model, state key) -> {kind: text}
    for model, group in states.items():
        for state in group:
            found[(model, state.key)] = checker.offline(state)
    print("crashcheck: %s states checked offline (%.0f s)" % (
        " + ".join("%d %s" % (len(g), m) for m, g in states.items()),
        time.monotonic() - started), flush=True)

    everything = [s for g in states.values() for s in g]
    to_run = chosen_states(rec, everything) if short else everything
    by_shape = {}
    for state in to_run:
        by_shape.setdefault(checker.shape(state), []).append(state)
    outcomes = run_states(rec, checker, work, [group[0] for group in by_shape.values()])
    for shape, group in by_shape.items():
        outcome = outcomes[group[0].key]
        for state in group:
            for kind, text in outcome.items():
                found[(state.model, state.key)].setdefault(kind, text)
    print("crashcheck: the program ran on %d distinct states (%.0f s)" % (
        len(by_shape), time.monotonic() - started), flush=True)
    sys.exit(report(rec, states, found, outcomes, short, time.monotonic() - started))


def run_states(rec, checker, work, states):
    """Each state's outcome in the program, on WORKERS prefixes side by side."""
    from soak_prefix import Prefix
    outcomes = {}
    queue = list(states)
    lock = threading.Lock()
    errors = []

    def worker(index):
        px = rec.px if index == 0 else Prefix(rec.px.win, work / ("replay%d" % index), 1)
        try:
            runner = Runner(rec, checker, px, installed=index == 0)
            while True:
                with lock:
                    if not queue:
                        return
                    state = queue.pop(0)
                try:
                    outcome, _ = runner.run(state)
                except (TimeoutError, RuntimeError) as error:
                    outcome = {"stuck": str(error)}
                with lock:
                    outcomes[state.key] = outcome
                    if len(outcomes) % 10 == 0:
                        print("crashcheck: %d of %d states run" % (len(outcomes), len(states)),
                              flush=True)
        except Exception as error:  # noqa: BLE001 - reported, and the run fails
            print("crashcheck: worker %d: %r" % (index, error), file=sys.stderr, flush=True)
            errors.append(error)
        finally:
            px.stop()

    threads = [threading.Thread(target=worker, args=(i,))
               for i in range(min(WORKERS, max(len(states), 1)))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    if errors:
        raise errors[0]
    return outcomes


def report(rec, states, found, outcomes, short, seconds):
    print()
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
    print("\ncrashcheck: %s, %.0f s: %s" % ("short" if short else "full", seconds,
                                              "FAIL" if failing else "PASS"))
    return 1 if failing else 0


if __name__ == "__main__":
    main()
