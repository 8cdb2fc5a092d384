"""The soak's account: where every page of every job ended up, found by the signature of
its decoded pixels, and the one table of the run."""
import collections
import hashlib
import re

import soak_pixels

DELIVERED, KEPT, KEPT_SILENT, REMOVED, LOST, DUPLICATE = (
    "delivered", "kept-with-reason", "kept-silently", "removed-by-fault", "lost", "duplicate")
# The box that refuses a printer output of another format: it is about the job's one page.
NOT_TIF_BOX = "Printer output is not TIF"
# A box that ends a job unmerged says this before the job file: its pages stay beside it.
PAGES_STAY = "its pages and job file stay: "


def page_signature(path):
    """A page's identity: its pixels for a TIFF, its bytes for anything else."""
    found = soak_pixels.signatures(path)
    if found:
        return found[0]
    return "bytes:" + hashlib.sha256(path.read_bytes()).hexdigest()


def failed_copy_targets(soak):
    """Hand-off files a box said were not written whole: not faxes."""
    targets = set()
    for job in soak.jobs:
        for box in job["boxes"]:
            if "excep. stream copy" in box["text"] and " to " in box["text"]:
                targets.add(box["text"].rsplit(" to ", 1)[1].rsplit("\\", 1)[-1].upper())
    return targets


def places(soak):
    """Every file that may hold a page: faxes delivered, and what stayed on disk."""
    px = soak.px
    failed = failed_copy_targets(soak)
    delivered = sorted(px.outbox.glob("FAX-*.TIF"))
    delivered += [p for p in sorted((px.soak / "collected").glob("*"))
                  if p.name.upper() not in failed]
    kept = sorted(px.outbox.glob("*.REFUSED"))
    kept += [p for p in sorted((px.soak / "collected").glob("*")) if p.name.upper() in failed]
    for folder in (px.prog / "SPOOL", px.soak / "HELD", px.soak / "SMALLDISK", px.small_disk,
                   px.private):
        kept += [p for p in sorted(folder.rglob("*")) if p.is_file()
                 and p.suffix.upper() in (".TIF", ".$$$", ".PCX")
                 and p.name not in ("README.TIF",)]
    return delivered, kept


def names_file(text, name):
    """Whether a box's text names the file (by its name after a folder)."""
    return ("\\" + name).upper() in text.upper()


def names_page(job, page):
    """Whether a box of the job has the line of that page left out, naming the page's
    image or its kept file: "page <n> (<reason>): ...\\JOB<k>_P<n>.TIF" or
    "...\\JOB<k>_P<n>-kept-...", or gives its number past the pages it names: "and <m>
    more: pages 11-12, 14". The box log writes each line break as a backslash and n."""
    if not job["ini"]:
        return False
    image = ("\\%s_P%d" % (job["ini"].rsplit("\\", 1)[-1].rsplit(".", 1)[0], page)).upper()
    for box in job["boxes"]:
        for line in box["text"].split("\\n"):
            if line.startswith("page %d (" % page) and \
                    (image + "." in line.upper() or image + "-KEPT-" in line.upper()):
                return True
            more = re.fullmatch(r"and \d+ more: pages ([\d, -]+)", line)
            if more and in_runs(more.group(1), page):
                return True
    return False


def in_runs(runs, page):
    """Whether page numbers in runs ("3-5, 9") hold the page."""
    for run in runs.split(", "):
        first, _, last = run.partition("-")
        if int(first) <= page <= int(last or first):
            return True
    return False


def reported(soak, job, page, left):
    """A kept page counts as reported only when a box names the page or the file it is
    kept in, not when the job showed a box about something else."""
    if names_page(job, page):
        return True
    if job["fault"] == "output_not_tif":
        return any(NOT_TIF_BOX in box["text"] for box in job["boxes"])
    # The job's own box says its pages stay with its job file: those under their names.
    own = "%s_P%d.TIF" % (job["ini"].rsplit("\\", 1)[-1].rsplit(".", 1)[0], page)
    if any((PAGES_STAY + job["ini"]).upper() in box["text"].upper() for box in job["boxes"]) \
            and any(spot[1].name.upper() == own.upper() for spot in left):
        return True
    # A kept name is the program's and unique; a name the printer reuses counts only in a
    # box of the job itself.
    return any(names_file(box["text"], spot[1].name)
               for spot in left
               for other in (soak.jobs if "-kept-" in spot[1].name else [job])
               for box in other["boxes"])


def account(soak, foreign_before, foreign_after):
    delivered_files, kept_files = places(soak)
    found = {str(p): soak_pixels.signatures(p) for p in delivered_files + kept_files}
    where = collections.defaultdict(list)   # signature -> [(kind, file, index)]
    for kind, files in (("delivered", delivered_files), ("kept", kept_files)):
        for path in files:
            for index, sig in enumerate(found[str(path)]):
                where[sig].append((kind, path, index))
            if not found[str(path)] and path.exists():
                where["bytes:" + hashlib.sha256(path.read_bytes()).hexdigest()].append(
                    (kind, path, 0))

    counts = collections.Counter()
    findings = list(soak.findings)
    fax_pages = collections.defaultdict(list)   # fax -> [(index, job, page)]
    silent = collections.defaultdict(list)      # (job, fault, folder) -> pages
    lost = collections.defaultdict(list)        # (job, fault, pages) -> pages
    for job in soak.jobs:
        job["outcome"] = collections.Counter()
        for page, source in enumerate(job["sources"], start=1):
            sig = page_signature(source)
            spots = where.get(sig, [])
            sent = [s for s in spots if s[0] == "delivered"]
            left = [s for s in spots if s[0] == "kept"]
            for _, fax, index in sent:
                fax_pages[fax].append((index, job["id"], page))
            if len(sent) > 1:
                outcome = DUPLICATE
                findings.append("job %d page %d delivered %d times: %s" %
                                (job["id"], page, len(sent), ", ".join(s[1].name for s in sent)))
            elif page in job["removed"]:
                outcome = REMOVED if not sent else DELIVERED
            elif sent:
                outcome = DELIVERED
                if left:
                    findings.append("job %d page %d delivered and also still on disk in %s" %
                                    (job["id"], page, left[0][1].name))
            elif left:
                outcome = KEPT if reported(soak, job, page, left) else KEPT_SILENT
                if outcome == KEPT_SILENT:
                    silent[(job["id"], job["fault"], str(left[0][1].parent))].append(page)
            else:
                outcome = LOST
                lost[(job["id"], job["fault"], job["pages"])].append(page)
            job["outcome"][outcome] += 1
            counts[outcome] += 1

    for (job, fault, folder), pages in silent.items():
        findings.append("job %d (%s): pages %s kept in %s and no box names them or their "
                        "files" % (job, fault, pages, folder))
    for (job, fault, total), pages in lost.items():
        findings.append("job %d (%s): pages %s of %d LOST" % (job, fault, pages, total))
    for job in soak.jobs:
        unnamed = [page for page in job["removed"] if not names_page(job, page)]
        if unnamed:
            findings.append("job %d (%s): pages %s unusable, the fax went without them and no "
                            "box named them" % (job["id"], job["fault"], unnamed))
    for fax, pages in fax_pages.items():
        pages.sort()
        jobs = sorted({job for _, job, _ in pages})
        if len(jobs) > 1:
            findings.append("%s carries pages of jobs %s" % (fax.name, ", ".join(map(str, jobs))))
        for job in jobs:
            order = [page for _, j, page in pages if j == job]
            if order != sorted(order):
                findings.append("%s: job %d pages out of order: %s" % (fax.name, job, order))

    # A job the program was killed in, started again, goes out once, whole: every page
    # but those a fault removed, in one fax.
    for kill in soak.kills:
        job = soak.jobs[kill["job"] - 1]
        wanted = [page for page in range(1, job["pages"] + 1) if page not in job["removed"]]
        faxes = sorted((fax for fax, pages in fax_pages.items()
                        if any(j == job["id"] for _, j, _ in pages)), key=str)
        carried = sorted(page for fax in faxes for _, j, page in fax_pages[fax] if j == job["id"])
        if len(faxes) != 1 or carried != wanted:
            findings.append("job %d (%s): killed and started again, it did not go out once, "
                            "whole: pages %s in %s, not pages %s in one fax" % (
                                job["id"], job["fault"], carried,
                                ", ".join(f.name for f in faxes) or "no fax", wanted))

    touched = sorted(k for k in set(foreign_before) | set(foreign_after)
                     if foreign_before.get(k) != foreign_after.get(k))
    return {"counts": counts, "findings": findings, "foreign": touched}


def passed(result, memory_ok):
    """Strict: a run that found anything fails, so no finding is printed beside a PASS."""
    counts = result["counts"]
    return not result["findings"] and not result["foreign"] and result["final_ok"] and \
        memory_ok and all(counts[name] == 0 for name in (KEPT_SILENT, DUPLICATE, LOST))


def print_table(soak, result):
    counts = result["counts"]
    jobs = soak.jobs
    pages = sum(counts.values())
    boxes = collections.Counter(b["caption"] + ": " + b["text"][:90]
                                for job in jobs for b in job["boxes"])
    faults = collections.Counter(job["fault"] or "clean" for job in jobs)
    seconds = [job["seconds"] for job in jobs if job["seconds"]]
    start, end = result["memory_start"], result["memory_end"]
    print()
    print("=" * 78)
    print("SOAK seed %d, imaging control %s: %d jobs, %d pages, %.0f s" % (
        soak.px.seed, soak.px.control, len(jobs), pages, result["elapsed"]))
    print("-" * 78)
    for name in (DELIVERED, KEPT, KEPT_SILENT, REMOVED, DUPLICATE, LOST):
        print("  %-28s %6d" % (name, counts[name]))
    print("  %-28s %6d" % ("foreign files touched", len(result["foreign"])))
    for name in result["foreign"]:
        print("      " + name)
    print("  time per job (s)             mean %.1f  max %.1f" %
          (sum(seconds) / max(1, len(seconds)), max(seconds or [0])))
    if start and end:
        print("  memory after 10 jobs         working set %d KB, private %d KB, %d handles" %
              (start["rss"] // 1024, start["private"] // 1024, start["handles"]))
        print("  memory at the end            working set %d KB, private %d KB, %d handles" %
              (end["rss"] // 1024, end["private"] // 1024, end["handles"]))
    print("  program answers at the end   %s" % ("yes" if result["final_ok"] else "NO"))
    print("  jobs by fault:")
    for name, n in sorted(faults.items()):
        print("      %-26s %4d" % (name, n))
    print("  boxes shown, by text:")
    for text, n in sorted(boxes.items()):
        print("      %4d  %s" % (n, text))
    for kill in soak.kills:
        print("  kill during job %d: %d page(s) in the merged file, images of pages %s there" %
              (kill["job"], kill["merged_pages"], kill["left"]))
    print("  findings:")
    for finding in result["findings"]:
        print("      " + finding)
    memory_ok = bool(start and end) and \
        end["rss"] <= start["rss"] + soak.memory_growth and \
        end["private"] <= start["private"] + soak.memory_growth and \
        end["handles"] <= start["handles"] + soak.handle_growth
    print("  bound: working set and private bytes within +%d MB, handles within +%d of "
          "after 10 jobs: %s" % (soak.memory_growth // (1024 * 1024), soak.handle_growth,
                                 "kept" if memory_ok else "EXCEEDED" if start and end
                                 else "NOT MEASURED"))
    ok = passed(result, memory_ok)
    print("RESULT: %s" % ("PASS" if ok else "FAIL"))
    print("=" * 78)
    return ok
