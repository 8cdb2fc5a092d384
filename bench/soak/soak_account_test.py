#!/usr/bin/env python3
"""The soak's account fed the faults its rules are there for: each must fail the run.
Pages are small uncompressed TIFF files; the account reads them with libtiff as it reads
the faxes of a soak."""
import pathlib
import struct
import sys
import tempfile
import types

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import soak  # noqa: E402
import soak_account  # noqa: E402

WIDTH, LENGTH = 16, 4


def write_tiff(path, pages):
    """A bilevel TIFF holding the given pages (each a number drawn into its rows)."""
    data = bytearray(b"II*\0\0\0\0\0")
    link = 4
    for page in pages:
        rows = bytes([page & 0xFF, page >> 8]) * LENGTH
        strip = len(data)
        data += rows
        tags = [(256, 3, WIDTH), (257, 3, LENGTH), (258, 3, 1), (259, 3, 1), (262, 3, 0),
                (273, 4, strip), (278, 3, LENGTH), (279, 4, len(rows))]
        if len(data) % 2:
            data += b"\0"
        struct.pack_into("<I", data, link, len(data))
        data += struct.pack("<H", len(tags))
        for tag, kind, value in tags:
            data += struct.pack("<HHI", tag, kind, 1)
            data += struct.pack("<HH", value, 0) if kind == 3 else struct.pack("<I", value)
        link = len(data)
        data += b"\0\0\0\0"
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(bytes(data))


class Run:
    """A finished soak of two jobs of three pages in a folder of its own: pages 101-103 and
    201-203, each job file JOB<n>.INI in the spool."""

    def __init__(self, folder):
        root = pathlib.Path(folder)
        self.px = types.SimpleNamespace(
            outbox=root / "PROG" / "outbox", soak=root / "SOAK", prog=root / "PROG",
            small_disk=root / "small-disk", private=root / "USERS" / "0001", seed=0)
        for place in (self.px.outbox, self.px.soak / "collected", self.px.prog / "SPOOL",
                      self.px.soak / "HELD", self.px.soak / "SMALLDISK", self.px.small_disk,
                      self.px.private):
            place.mkdir(parents=True)
        self.jobs = []
        self.findings = []
        self.kills = []
        for number in (1, 2):
            job = {"id": number, "fault": None, "pages": 3, "removed": [],
                   "boxes": [], "ini": "C:\\FAX\\PROG\\SPOOL\\JOB%d.INI" % number, "sources": []}
            for page in range(1, 4):
                source = root / "sources" / str(number) / ("%d.tif" % page)
                write_tiff(source, [number * 100 + page])
                job["sources"].append(source)
            self.jobs.append(job)
        self.fax_number = 0

    def fax(self, pages):
        self.fax_number += 1
        write_tiff(self.px.outbox / ("FAX-%d.TIF" % self.fax_number), pages)

    def keep(self, name, pages):
        write_tiff(self.px.prog / "SPOOL" / name, pages)

    def box(self, job, *lines):
        self.jobs[job - 1]["boxes"].append({"caption": "Information", "text": "\\n".join(lines)})

    def account(self):
        result = soak_account.account(self, {}, {})
        return result, soak_account.passed(dict(result, final_ok=True), memory_ok=True)


def check(name, prepare, expect):
    """prepare(run) sets up a finished run; expect(result) says what the account found."""
    with tempfile.TemporaryDirectory() as folder:
        run = Run(folder)
        prepare(run)
        result, ok = run.account()
        wanted_pass = name.startswith("sound")
        if not expect(result) or ok != wanted_pass:
            print("FAIL %s: passed=%s counts=%s findings=%s" %
                  (name, ok, dict(result["counts"]), result["findings"]))
            return False
        print("ok   %s" % name)
        return True


def findings_say(text):
    return lambda result: any(text in finding for finding in result["findings"])


def sound(run):
    run.fax([101, 102, 103])
    run.fax([201, 202, 203])


def page_twice(run):
    run.fax([101, 102, 103])
    run.fax([201, 202, 203, 202])
    run.fax([202])


def foreign_page(run):
    run.fax([101, 102, 103, 201])
    run.fax([202, 203])


def out_of_order(run):
    run.fax([101, 103, 102])
    run.fax([201, 202, 203])


def kept_other_page_named(run):
    run.fax([101, 103])
    run.fax([201, 202, 203])
    run.keep("JOB1_P2-kept-1.TIF", [102])
    run.box(1, "Pages left out of the fax:", "page 3 (not found): C:\\SPOOL\\JOB1_P3.TIF")


def kept_page_named(run):
    run.fax([101, 103])
    run.fax([201, 202, 203])
    run.keep("JOB1_P2-kept-1.TIF", [102])
    run.box(1, "Pages left out of the fax:", "page 2 (in use by another program): "
            "C:\\FAX\\PROG\\SPOOL\\JOB1_P2.TIF")


def kept_page_in_the_numbers_past_those_named(run, numbers="2"):
    run.fax([101])
    run.fax([201, 202, 203])
    run.keep("JOB1_P2-kept-1.TIF", [102])
    run.keep("JOB1_P3-kept-1.TIF", [103])
    run.box(1, "Pages left out of the fax:", "page 3 (in use by another program): "
            "C:\\FAX\\PROG\\SPOOL\\JOB1_P3-kept-1.TIF", "and 1 more: pages " + numbers)


def kept_file_named_by_a_later_job(run):
    run.fax([201, 202, 203])
    run.keep("FAX-kept-1.$$$", [101, 102, 103])
    run.box(2, "The fax of an earlier job was not sent. It is kept as "
            "C:\\FAX\\USERS\\0001\\FAX-kept-1.$$$")


def kept_under_a_reused_name_named_by_another_job(run):
    run.fax([201, 202, 203])
    run.keep("JOB1.TIF", [101, 102, 103])
    run.box(2, "The fax was not sent. It stays as C:\\FAX\\PROG\\SPOOL\\JOB1.TIF")


def pages_stay_with_the_job_file(run, job_file="C:\\FAX\\PROG\\SPOOL\\JOB1.INI"):
    run.fax([201, 202, 203])
    for page in (1, 2, 3):
        run.keep("JOB1_P%d.TIF" % page, [100 + page])
    run.box(1, "The imaging control damaged the merged file again. The fax was not sent; its "
            "pages and job file stay: " + job_file)


def removed_page_unnamed(run):
    run.fax([101, 103])
    run.fax([201, 202, 203])
    run.jobs[0]["removed"].append(2)
    run.box(1, "Pages left out of the fax:", "page 3 (not found): C:\\SPOOL\\JOB1_P3.TIF")


def removed_page_named(run):
    run.fax([101, 103])
    run.fax([201, 202, 203])
    run.jobs[0]["removed"].append(2)
    run.box(1, "Pages left out of the fax:", "page 2 (not found): C:\\SPOOL\\JOB1_P2.TIF")


def killed(run, faxes):
    """Job 1 killed in its merge and started again; its pages went out in those faxes."""
    run.kills.append({"job": 1, "merged_pages": 1, "left": [1, 2, 3]})
    for pages in faxes:
        run.fax(pages)
    run.fax([201, 202, 203])


def killed_page_left_out(run):
    killed(run, [[101, 103]])
    run.keep("JOB1_P2-kept-1.TIF", [102])
    run.box(1, "Pages left out of the fax:", "page 2 (in use by another program): "
            "C:\\FAX\\PROG\\SPOOL\\JOB1_P2-kept-1.TIF")


def any_finding(run):
    sound(run)
    run.findings.append("job 2: something the soak saw")


def check_entry(entry, boxes):
    """Soak.check_api_entry after a job that left the entry so, with those boxes."""
    settings = {"entry": entry}
    harness = types.SimpleNamespace(findings=[], px=types.SimpleNamespace(
        api_entry=lambda: settings["entry"],
        set_api_entry=lambda value: settings.update(entry=value)))
    job = {"id": 5, "fault": "settings_held", "boxes": [{"text": text} for text in boxes]}
    soak.Soak.check_api_entry(harness, job)
    return harness.findings, settings["entry"]


def main():
    results = [
        check("sound run", sound, lambda r: r["counts"]["delivered"] == 6),
        check("page delivered twice", page_twice,
              lambda r: r["counts"]["duplicate"] == 1 and findings_say("delivered 3 times")(r)),
        check("another job's page in a fax", foreign_page, findings_say("carries pages of jobs 1, 2")),
        check("pages out of order", out_of_order, findings_say("pages out of order: [1, 3, 2]")),
        check("kept page, the box names another page", kept_other_page_named,
              lambda r: r["counts"]["kept-silently"] == 1),
        check("sound: kept page named by its box", kept_page_named,
              lambda r: r["counts"]["kept-with-reason"] == 1),
        check("sound: kept page in the numbers past those the box names",
              kept_page_in_the_numbers_past_those_named,
              lambda r: r["counts"]["kept-with-reason"] == 2),
        check("kept page, the numbers past those named give another",
              lambda run: kept_page_in_the_numbers_past_those_named(run, "1, 4-9"),
              lambda r: r["counts"]["kept-silently"] == 1),
        check("sound: kept file named by a later job's box", kept_file_named_by_a_later_job,
              lambda r: r["counts"]["kept-with-reason"] == 3),
        check("kept under a reused name, named only by another job's box",
              kept_under_a_reused_name_named_by_another_job,
              lambda r: r["counts"]["kept-silently"] == 3),
        check("sound: pages stay with the job file its box names", pages_stay_with_the_job_file,
              lambda r: r["counts"]["kept-with-reason"] == 3),
        check("pages stay, the box names another job file",
              lambda run: pages_stay_with_the_job_file(run, "C:\\FAX\\PROG\\SPOOL\\JOB2.INI"),
              lambda r: r["counts"]["kept-silently"] == 3),
        check("removed page, the box names another page", removed_page_unnamed,
              findings_say("pages [2] unusable")),
        check("sound: removed page named", removed_page_named,
              lambda r: r["counts"]["removed-by-fault"] == 1),
        check("sound: killed job out once, whole", lambda run: killed(run, [[101, 102, 103]]),
              lambda r: r["counts"]["delivered"] == 6),
        check("killed job out in two faxes", lambda run: killed(run, [[101], [102, 103]]),
              findings_say("did not go out once, whole: pages [1, 2, 3] in FAX-1.TIF, FAX-2.TIF")),
        check("killed job out without a page, the box names it", killed_page_left_out,
              findings_say("did not go out once, whole: pages [1, 3] in FAX-1.TIF")),
        check("any finding fails the run", any_finding, findings_say("something the soak saw")),
    ]
    findings, entry = check_entry("C:\\API\\X.TIF", ["Pages left out of the fax:"])
    results.append(len(findings) == 1 and "left set and no box said so" in findings[0] and not entry)
    print("%s entry left set, no box about it: %s" % ("ok  " if results[-1] else "FAIL", findings))
    findings, _ = check_entry("C:\\API\\X.TIF", [soak.CLEAR_FAILED_BOX + ": the next fax..."])
    results.append(not findings)
    print("%s sound: entry left set, a box said so" % ("ok  " if results[-1] else "FAIL"))
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
