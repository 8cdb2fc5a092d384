#!/usr/bin/env python3
"""A soak of the installed program: N seeded print jobs, about one in three hit by a
fault, then an account of every page: delivered (pixel-exact, in order), kept with a
reason, or lost. Exit status 0 only with no finding at all (no page lost, kept silently
or delivered twice, no fax with another job's page or pages out of order, no fax-API
entry left set unsaid), 0 foreign files touched, the program alive and answering, and
its memory and handles within bound.

Usage: soak.py WIN_BUILD_DIR WORK_DIR   (SOAK_JOBS, SOAK_SEED from the environment;
SOAK_FAULTS=a,b runs just those faults after the clean jobs, to reproduce one;
SOAK_CONTROL=vendor puts the vendor-built imaging control in the place of ours)
Runs under an X display (soak.sh provides one); WORK_DIR gets the Wine prefix and the
small disk's mount point.
"""
import os
import random
import re
import shutil
import subprocess
import sys
import threading
import time

from soak_account import account, print_table
from soak_prefix import Prefix, ProgramGone, linked_pages

JOBS = int(os.environ.get("SOAK_JOBS", "200"))
SEED = int(os.environ.get("SOAK_SEED", "1"))
# Reproduces chosen faults: these, in this order, after the clean jobs.
ONLY = [f for f in os.environ.get("SOAK_FAULTS", "").split(",") if f]
CONTROL = os.environ.get("SOAK_CONTROL", "ours")

FAULTS = ["hold_page_brief", "hold_page_whole", "page_missing", "page_not_tiff",
          "output_not_tif", "fax_api", "fax_api_flip", "handoff_held", "settings_held",
          "scheduler_missing", "second_printer", "pipe_stall", "pipe_flood",
          "kill_merge", "disk_full_save", "disk_full_copy", "merged_held",
          "scheduler_not_program", "slow_scheduler", "kill_removed"]
# What a short run meets after its clean jobs, in a seeded order: the new faults and the
# held settings file (not the whole-wait hold, whose 500001 open attempts alone take
# minutes).
SHORT_RUN_FAULTS = ["merged_held", "scheduler_not_program", "slow_scheduler", "kill_removed",
                    "settings_held"]

# Faults that need pages around the one they hit, or a merge long enough for another
# program to take the settings file before the program clears its entry.
MIN_PAGES = {"kill_merge": 3, "hold_page_brief": 3, "hold_page_whole": 3, "page_missing": 3,
             "page_not_tiff": 3, "disk_full_save": 4, "merged_held": 3, "kill_removed": 3,
             "settings_held": 10}
JOB_TIMEOUT = 900.0        # the whole-wait hold spends 500001 open attempts (minutes)
# A slow scheduler holds its image open this long from its start, then takes it: longer
# than the next job's printing and 4 s pause, shorter than those and the 10 s the program
# then waits for the image to be let go.
SLOW_SCHEDULER_MS = (7000, 11000)
NOT_A_PROGRAM = b"this is not a program\r\n" * 8
CLEAR_FAILED_BOX = "The fax-API entry could not be cleared"
LEFT_OUT_BOX = "Pages left out of the fax:"
# A hand-off copy that failed: the box ends the scheduler's road (no scheduler starts).
NOT_SENT_BOX = "The fax was not sent. It "
# Boxes after which a job goes no further: no scheduler started, or no merge at all.
END_BOXES = ("Could not find scheduler.", "Could not create private image.",
             "Printer output is not TIF", "Printer file name cannot be used", "The job lists",
             "The merged file of an interrupted job is in use",
             "The merge marker could not be written",
             "The imaging control damaged the merged file again")
MEMORY_GROWTH_BYTES = 16 * 1024 * 1024
HANDLE_GROWTH = 32


class Soak:
    def __init__(self, win, work):
        self.rng = random.Random(SEED)
        self.px = Prefix(win, work, SEED, CONTROL)
        self.jobs = []          # one record per job: see new_job
        self.findings = []
        self.kills = []
        self.memory_growth = MEMORY_GROWTH_BYTES
        self.handle_growth = HANDLE_GROWTH

    # ----- one job -----
    def new_job(self, fault, pages):
        job = {"id": len(self.jobs) + 1, "fault": fault, "pages": pages, "ini": None,
               "sources": [], "removed": [], "boxes": [], "seconds": 0.0,
               "printer_error": None, "expect_api": None}
        self.jobs.append(job)
        return job

    def text_for(self, job):
        lines = []
        for page in range(1, job["pages"] + 1):
            words = " ".join("%08x" % self.rng.getrandbits(32) for _ in range(6))
            lines.append("SOAK seed %d job %d page %d of %d\n%s\n" %
                         (SEED, job["id"], page, job["pages"], words))
        path = self.px.soak / "texts" / ("J%d.txt" % job["id"])
        path.write_text("\f".join(lines), newline="\r\n")
        return path

    def print_job(self, job, spool=None):
        """Prints the job's text through FAXPRINT and keeps a link to every page image
        it spooled before the program's 4 s pause ends."""
        text = self.text_for(job)
        args = ["C:\\FAX\\PROG\\FAXPRINT.EXE"]
        if spool:
            args += ["--spool", spool]
        args += ["--pages", str(job["pages"]), self.px.win_path(text)]
        result = self.px.run(args)
        if result.returncode != 0:
            self.px.check_program()   # the printer fails when the program is gone
            job["printer_error"] = result.stderr.strip() or "exit %d" % result.returncode
            return False
        match = re.search(r"^(\S+\.INI): (\d+) page", result.stdout, re.M)
        job["ini"] = match.group(1)
        ini = self.px.unix_path(job["ini"])
        store = self.px.soak / "sources" / str(job["id"])
        store.mkdir(parents=True)
        for page in range(1, job["pages"] + 1):
            image = ini.with_name(ini.stem + "_P%d.TIF" % page)
            kept = store / ("%d.tif" % page)
            try:
                os.link(image, kept)
            except OSError:
                shutil.copyfile(image, kept)
            job["sources"].append(kept)
        return True

    def page_image(self, job, page):
        ini = self.px.unix_path(job["ini"])
        return ini.with_name(ini.stem + "_P%d.TIF" % page)

    def merged_file(self, job):
        return self.px.unix_path(job["ini"]).with_suffix(".TIF")

    def wait_done(self, job, queued_before, boxes_before, job_file_stays=False):
        """The job has ended when a box said it goes no further, or when its record is gone,
        its job file is gone (or may stay: a page of it was left in place) and its hand-off
        is done: the fax-API entry emptied (or a box said it could not be), or the
        scheduler took the image and logged it (or a box said the fax was not sent). Boxes
        shown on the way (pages left out, an earlier job's fax or merged file kept, a failed
        copy to the fax-API file) do not end it."""
        ini = self.px.unix_path(job["ini"])

        def ended():
            boxes = [box["text"] for box in self.px.boxes_since(boxes_before)]
            if any(text.startswith(END_BOXES) for text in boxes):
                return True
            if job["ini"].upper() in self.px.recorded_job_files():
                return False
            if ini.exists() and not job_file_stays:
                return False
            if job["expect_api"]:
                return not self.px.api_entry() or any(CLEAR_FAILED_BOX in text for text in boxes)
            return (self.px.queue_entries() > queued_before and
                    not self.px.scheduler_image().exists()) or \
                any(NOT_SENT_BOX in text for text in boxes)
        self.px.wait(ended, JOB_TIMEOUT, "job %d did not end in %d s" % (job["id"], JOB_TIMEOUT))

    def run_job(self, index):
        fault = self.schedule[index]
        pages = max(self.rng.randint(1, 30), MIN_PAGES.get(fault, 1))
        job = self.new_job(fault, pages)
        queued_before = self.px.queue_entries()
        boxes_before = self.px.box_count()
        start = time.monotonic()
        handler = getattr(self, "fault_" + fault, None) if fault else None
        if handler:
            handler(job, queued_before, boxes_before)
        else:
            if self.print_job(job):
                self.wait_done(job, queued_before, boxes_before)
        self.px.collect_api_file()
        self.settle_boxes()
        job["boxes"] = self.px.boxes_since(boxes_before)
        job["seconds"] = time.monotonic() - start
        self.check_api_entry(job)
        return job

    def check_api_entry(self, job):
        """A [GXAPI] FileName left set sends the next fax to the fax API again: a box must
        have said so. The user (here the soak) then empties it."""
        entry = self.px.api_entry()
        if not entry:
            return
        if not any(CLEAR_FAILED_BOX in box["text"] for box in job["boxes"]):
            self.findings.append(
                "job %d (%s): [GXAPI] FileName=%s left set and no box said so; the next job "
                "would go to the fax API again" % (job["id"], job["fault"], entry))
        self.px.set_api_entry("")

    def settle_boxes(self):
        """Every box the program showed has been answered before the next job."""
        self.px.wait(lambda: not self.px.open_boxes(), 30, "a box stayed open")

    # ----- faults -----
    def fault_hold_page_brief(self, job, queued_before, boxes_before):
        page = self.rng.randint(1, job["pages"])
        if not self.print_job(job):
            return
        self.px.hold("page", self.page_image(job, page))
        # Released well before the 500001 attempts end: the page is still merged.
        self.px.wait(lambda: linked_pages(self.merged_file(job)) >= page - 1, 60,
                     "merge did not start")
        time.sleep(self.rng.uniform(0.5, 3.0))  # the other program's own use of the file
        self.px.release("page")
        self.wait_done(job, queued_before, boxes_before)

    def fault_hold_page_whole(self, job, queued_before, boxes_before):
        page = self.rng.randint(1, job["pages"])
        if not self.print_job(job):
            return
        self.px.hold("page", self.page_image(job, page))
        # Let go once the box names the page left out: while the user reads it, or after.
        queued = self.wait_left_out_box(job, boxes_before)
        self.px.release("page")
        # Then the fax without it (that box does not end the job).
        self.wait_done(job, queued, self.px.box_count(), job_file_stays=True)

    def wait_left_out_box(self, job, boxes_before):
        """Waits for the box naming pages left out: the merge has ended, the hand-off not
        begun. Returns the scheduler's log length then, which counts any fax of an earlier
        job the program handed on before the merge."""
        self.px.wait(lambda: any(box["text"].startswith(LEFT_OUT_BOX)
                                 for box in self.px.boxes_since(boxes_before)),
                     JOB_TIMEOUT, "no box for job %d's pages left out" % job["id"])
        return self.px.queue_entries()

    def fault_page_missing(self, job, queued_before, boxes_before):
        page = self.rng.randint(1, job["pages"])
        if not self.print_job(job):
            return
        self.page_image(job, page).unlink()
        job["removed"].append(page)
        self.wait_done(job, queued_before, boxes_before)

    def fault_page_not_tiff(self, job, queued_before, boxes_before):
        page = self.rng.randint(1, job["pages"])
        if not self.print_job(job):
            return
        image = self.page_image(job, page)
        image.unlink()  # the linked source keeps the page the printer made
        image.write_bytes(b"this page is not a TIFF file\r\n" * 20)
        job["removed"].append(page)
        job["junk"] = image
        self.wait_done(job, queued_before, boxes_before)

    def fault_output_not_tif(self, job, queued_before, boxes_before):
        """The printer set to another format: it wrote a PCX page and said so. The job
        file and the page stay where they are, and a box says why."""
        held = self.px.soak / "HELD"
        ini = held / ("NOTTIF%d.INI" % job["id"])
        page = held / ("NOTTIF%d_P1.PCX" % job["id"])
        page.write_bytes(b"PCX page of job %d\r\n" % job["id"])
        ini.write_text("[Orvik Printer]\nFirst Page Section=Print Page 1\nTotal Page Number=1\n"
                       "First Page=1\n[Print Page 1]\nImage File Name=%s\n" %
                       self.px.win_path(page), newline="\r\n")
        job["pages"] = 1
        job["ini"] = self.px.win_path(ini)
        store = self.px.soak / "sources" / str(job["id"])
        store.mkdir(parents=True)
        shutil.copyfile(page, store / "1.pcx")
        job["sources"].append(store / "1.pcx")
        self.px.send_raw(0, job["ini"])
        self.px.send_raw(1, self.px.win_path(page))
        self.px.send_raw(2, "")
        self.px.wait(lambda: self.px.box_count() > boxes_before, 60, "no box for a PCX output")

    def fault_fax_api(self, job, queued_before, boxes_before):
        target = "C:\\SOAK\\API\\HANDOFF%d.TIF" % job["id"]
        self.px.set_api_entry(target)
        job["expect_api"] = target
        if self.print_job(job):
            self.wait_done(job, queued_before, boxes_before)

    def fault_fax_api_flip(self, job, queued_before, boxes_before):
        self.px.set_api_entry("C:\\SOAK\\API\\FLIP%d.TIF" % job["id"])
        self.px.set_api_entry("")
        if self.print_job(job):
            self.wait_done(job, queued_before, boxes_before)

    def fault_handoff_held(self, job, queued_before, boxes_before):
        target = "C:\\SOAK\\API\\HELD%d.TIF" % job["id"]
        self.px.make_held("handoff", target)
        self.px.set_api_entry(target)
        job["expect_api"] = target
        if self.print_job(job):
            self.wait_done(job, queued_before, boxes_before)
        self.px.release("handoff")

    def fault_settings_held(self, job, queued_before, boxes_before):
        target = "C:\\SOAK\\API\\SETHELD%d.TIF" % job["id"]
        self.px.set_api_entry(target)
        job["expect_api"] = target
        if not self.print_job(job):
            return
        # Held from the first merged page (the settings were read) until after the clear:
        # page 2, held a moment, keeps the merge from going on meanwhile.
        self.stop_merge_after(job, 1)
        self.px.hold("settings", self.px.settings)
        self.px.release("next")
        ini = self.px.unix_path(job["ini"])
        self.px.wait(lambda: not ini.exists(), JOB_TIMEOUT, "job %d did not end" % job["id"])
        time.sleep(2.0)  # the other program keeps the settings file a while longer
        self.px.release("settings")
        # The clear comes after the job file went: the job has ended once the entry is
        # empty, or once the box that says it is not was answered (the program tries once
        # more after it). An entry still set then, with no box, is the fault check_api_entry
        # reports.
        def cleared_or_said():
            boxes, closed = self.px.read_boxes()
            return not self.px.api_entry() or any(
                CLEAR_FAILED_BOX in box["text"] and box["hwnd"] in closed
                for box in boxes[boxes_before:])
        try:
            self.px.wait(cleared_or_said, 30, "entry still set")
        except TimeoutError:
            pass  # check_api_entry reports it

    def fault_scheduler_missing(self, job, queued_before, boxes_before):
        self.px.hide_scheduler()
        if self.print_job(job):
            self.wait_done(job, queued_before, boxes_before)
        self.px.restore_scheduler()

    def fault_scheduler_not_program(self, job, queued_before, boxes_before):
        """QUEUEMGR.EXE is there but is no program: both starts fail, a box says "Could not
        find scheduler." and the fax waits as the scheduler's image for the next job, which
        starts the scheduler for it once more."""
        self.px.hide_scheduler(NOT_A_PROGRAM)
        if self.print_job(job):
            self.wait_done(job, queued_before, boxes_before)
        self.px.restore_scheduler()

    def fault_slow_scheduler(self, job, queued_before, boxes_before):
        """A scheduler still at work: it holds its image open from its start and takes it
        seconds later. The next job, printed at once, finds the image there, in use, and
        waits for it."""
        self.px.slow_scheduler(self.rng.randint(*SLOW_SCHEDULER_MS))
        if self.print_job(job):
            ini = self.px.unix_path(job["ini"])
            self.px.wait(lambda: not ini.exists(), JOB_TIMEOUT, "job %d did not end" % job["id"])
            other = self.new_job("slow_scheduler(next)", self.rng.randint(1, 30))
            if self.print_job(other):
                # Both faxes queued: the slow starts of both jobs have run the scheduler.
                self.wait_done(other, queued_before + 1, boxes_before)
        self.px.restore_scheduler()

    def fault_second_printer(self, job, queued_before, boxes_before):
        other = self.new_job(None, self.rng.randint(1, 30))
        other["fault"] = "second_printer(other)"
        if not self.print_job(job):
            return
        self.print_job(other)
        self.wait_done(job, queued_before, boxes_before)
        if other["ini"]:
            self.wait_done(other, queued_before + 1, boxes_before)

    def fault_pipe_stall(self, job, queued_before, boxes_before):
        stall_ms = self.rng.randint(1000, 15000)
        stall = self.px.start(["C:\\SOAK\\soakpipe.exe", "stall", str(stall_ms)],
                              stdout=subprocess.PIPE)
        if stall.stdout.readline().strip() != b"connected":
            raise RuntimeError("the stalling client did not connect")
        printed = self.print_job(job)
        stall.wait()
        if not printed:
            # The printer said so (busy pipe) and spooled nothing; the user prints again.
            self.findings.append("job %d: printer refused while the pipe stalled %d ms: %s" %
                                 (job["id"], stall_ms, job["printer_error"]))
            job["printer_error"] = None
            printed = self.print_job(job)
        if printed:
            self.wait_done(job, queued_before, boxes_before)

    def fault_pipe_flood(self, job, queued_before, boxes_before):
        flood = self.px.start(["C:\\SOAK\\soakpipe.exe", "flood", "2000"])
        if self.print_job(job):
            self.wait_done(job, queued_before, boxes_before)
        flood.wait()

    def resend(self, job):
        """The printer tells the program about the job again."""
        self.px.send_raw(0, job["ini"])
        self.px.send_raw(1, self.px.win_path(self.page_image(job, 1)))
        self.px.send_raw(2, "")

    def stop_merge_after(self, job, page):
        """Returns once the merge has taken the job's pages up to page, with page + 1 held
        by another program (as "next") so that the merge goes no further until it is
        released. The program deletes no page image before the hand-off: the merged file
        shows how far the merge is."""
        self.px.hold("next", self.page_image(job, page + 1))
        merged_pages = page - sum(1 for p in job["removed"] if p <= page)
        self.px.wait(lambda: linked_pages(self.merged_file(job)) >= merged_pages, JOB_TIMEOUT,
                     "job %d's merge did not reach page %d" % (job["id"], page))

    def fault_kill_merge(self, job, queued_before, boxes_before, remove_a_page=False):
        """Ends the program once the merge has taken a seeded page, while it waits for the
        next one, and starts it again, and nothing more: the program finishes the job it
        recorded by itself, and the job goes out once, whole (the account checks it). With
        remove_a_page another program removes some other page of the job first (not the
        one the merge then waits for)."""
        if not self.print_job(job):
            return
        stop_after = self.rng.randint(1, job["pages"] - 1)
        if remove_a_page:
            page = self.rng.choice([p for p in range(1, job["pages"] + 1)
                                    if p not in (stop_after, stop_after + 1)])
            self.page_image(job, page).unlink()
            job["removed"].append(page)
        self.stop_merge_after(job, stop_after)
        self.px.kill_program()
        self.px.release("next")
        left = [p for p in range(1, job["pages"] + 1) if self.page_image(job, p).exists()]
        self.kills.append({"job": job["id"], "merged_pages": linked_pages(self.merged_file(job)),
                           "left": left})
        self.px.start_program()
        self.wait_done(job, queued_before, boxes_before)

    def fault_kill_removed(self, job, queued_before, boxes_before):
        """A page removed by another program, then the program killed in the merge and
        started again: the box names the removed page, no page goes in twice."""
        self.fault_kill_merge(job, queued_before, boxes_before, remove_a_page=True)

    def fault_merged_held(self, job, queued_before, boxes_before):
        """Another program opens the merged file without sharing while the job reports its
        last page left out (removed), and keeps it through the hand-off: the fax is not
        sent, and the merged file is kept aside, or stays with its job file; then, let go,
        the job sent again hands it on."""
        if not self.print_job(job):
            return
        self.page_image(job, job["pages"]).unlink()
        job["removed"].append(job["pages"])
        queued = self.wait_left_out_box(job, boxes_before)
        ini = self.px.unix_path(job["ini"])
        self.px.hold("merged", ini.with_suffix(".TIF"))
        self.wait_done(job, queued, boxes_before, job_file_stays=True)
        self.px.release("merged")
        if ini.exists():
            self.settle_boxes()
            queued, boxes = self.px.queue_entries(), self.px.box_count()
            self.resend(job)
            self.wait_done(job, queued, boxes)

    def fault_disk_full_save(self, job, queued_before, boxes_before):
        self.px.empty_small_disk()
        page = self.rng.randint(2, job["pages"] - 2)
        if not self.print_job(job, spool="S:\\SPOOL\\"):
            return
        # Another program holds a page while the merge waits for it and fills the disk
        # meanwhile (the merge deletes no page image to make room). So that page meets a
        # full disk, or a later one: up to 4 KB of the merged file's last block is still
        # free, and three pages take more.
        self.px.hold("page", self.page_image(job, page))
        self.px.wait(lambda: linked_pages(self.merged_file(job)) >= page - 1, 60,
                     "merge did not reach page %d" % page)
        self.px.fill_small_disk(leave=0)
        self.px.release("page")
        self.wait_done(job, queued_before, boxes_before)

    def fault_disk_full_copy(self, job, queued_before, boxes_before):
        self.px.empty_small_disk()
        target = "S:\\HANDOFF%d.TIF" % job["id"]
        self.px.set_api_entry(target)
        job["expect_api"] = target
        self.px.fill_small_disk(leave=self.rng.randint(0, 20000))
        if self.print_job(job):
            self.wait_done(job, queued_before, boxes_before)

    # ----- the run -----
    def make_schedule(self):
        schedule = []
        for _ in range(JOBS):
            schedule.append(self.rng.choice(FAULTS) if self.rng.random() < 1 / 3 else None)
        # The first ten jobs are clean: memory and handles are measured after them.
        for i in range(min(10, JOBS)):
            schedule[i] = None
        if ONLY:
            return schedule + ONLY + [None]
        if JOBS <= 20:
            picks = list(SHORT_RUN_FAULTS)
            self.rng.shuffle(picks)
            schedule += picks
        return schedule

    def run(self):
        self.schedule = self.make_schedule()
        started = time.monotonic()
        self.px.install()
        foreign_before = self.px.foreign_snapshot()
        memory_start = None
        final_ok = False
        try:
            self.px.start_program()
            for index in range(len(self.schedule)):
                job = self.run_job(index)
                print("soak: job %d %s %d page(s) %.1f s%s" %
                      (job["id"], job["fault"] or "clean", job["pages"], job["seconds"],
                       " boxes: " + "; ".join(b["text"] for b in job["boxes"])
                       if job["boxes"] else ""), flush=True)
                if index == min(10, len(self.schedule)) - 1:
                    memory_start = self.px.probe()
            final_ok = self.final_job()
        except (ProgramGone, TimeoutError) as error:
            self.findings.insert(0, self.cut_short(error))
            print("soak: stopped: " + self.findings[0], flush=True)
        memory_end = self.px.probe()
        foreign_after = self.px.foreign_snapshot()
        elapsed = time.monotonic() - started
        self.px.stop()
        result = account(self, foreign_before, foreign_after)
        # Each page delivered went through a save of the control in place.
        saves, delivered = self.px.vendor_saves(), result["counts"]["delivered"]
        if CONTROL == "vendor" and saves < delivered:
            result["findings"].append("the vendor's control logged %d saves for %d pages "
                                      "delivered: another control merged them" % (saves, delivered))
        result.update(memory_start=memory_start, memory_end=memory_end, elapsed=elapsed,
                      final_ok=final_ok)
        ok = print_table(self, result)
        return 0 if ok else 1

    def final_job(self):
        """A final clean job proves the program still takes work."""
        final = self.new_job("final_clean", 3)
        queued = self.px.queue_entries()
        boxes = self.px.box_count()
        if not self.print_job(final):
            return False
        self.wait_done(final, queued, boxes)
        return True

    def cut_short(self, error):
        """The finding of a program that ended, or a job that did not end: in which job,
        and the last boxes the program showed (the soak answers each)."""
        job = self.jobs[-1] if self.jobs else None
        where = "job %d (%s)" % (job["id"], job["fault"] or "clean") if job else "at the start"
        boxes, closed = self.px.read_boxes()
        shown = ["%s %s: %s (%s)" % (box["image"], box["caption"], box["text"],
                                     "answered" if box["hwnd"] in closed else "still open")
                 for box in boxes[-3:]]
        return "%s: %s; the run stops. The last boxes shown: %s. The program's output: %s" % (
            where, error, "; ".join(shown) or "none", self.px.work / "program.log")


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    return Soak(sys.argv[1], sys.argv[2]).run()


if __name__ == "__main__":
    sys.exit(main())
