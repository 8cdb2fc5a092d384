"""The file operations of a recorded job (strace -f -xx -y of the wineserver and the
program) as a list of operations on the watched folders, and the crash states they can
leave on the disk under three models:

  in-order   every prefix of the operation list;
  writes     write-back, whole writes: metadata operations (create, truncate, rename,
             unlink, mkdir) reach the disk in order, as ext4's journal commits them
             (data=ordered); each file's data writes since its last fsync may be missing,
             each whole;
  blocks     the same, per 4 KiB block of the file: each block holds the writes that
             touched it since the last fsync up to some point (a page of the page cache
             is written back whole, at some moment).

Where the missing pieces at a crash point allow few combinations (CHOICE_LIMIT) all are
taken; otherwise the ones that cut the data most plainly: the first i pieces on the disk
and the rest not (every i), each piece alone missing, each piece alone on the disk.
A write that a later truncation removes whole is no piece: it leaves nothing on the disk.
In the last two models a crash just before a data write leaves nothing a crash just after
it cannot (the write may be missing), so only in order is there a crash point before each.
"""
import hashlib
import itertools
import re

BLOCK = 4096
CHOICE_LIMIT = 64
MODELS = ["in-order", "writes", "blocks"]

# What the model follows, and calls it does not model: seen on a watched file, the
# recording is refused rather than replayed wrong.
MODELLED = "open,openat,rename,unlink,mkdir,write,pwrite64,lseek,ftruncate,fsync,fdatasync"
UNMODELLED = ("creat,truncate,writev,pwritev,pwritev2,link,linkat,renameat,renameat2,unlinkat,"
              "mkdirat")

_LINE = re.compile(r"^(\d+)\s+([\d.]+)\s+(\w+)\((.*)\)\s+=\s+(-?\d+)")
_STRING = re.compile(r'"((?:\\x[0-9a-f]{2})*)"')
_FD = re.compile(r"^(\d+)<((?:\\x[0-9a-f]{2})*)>")


def _bytes(hex_text):
    return bytes.fromhex(hex_text.replace("\\x", ""))


def _text(hex_text):
    return _bytes(hex_text).decode("latin-1")


def joined_lines(path):
    """Trace lines with each call split by another process's joined again."""
    pending = {}
    for line in open(path, encoding="latin-1"):
        line = line.rstrip("\n")
        head = line.split(None, 2)
        if len(head) < 3:
            continue
        pid = head[0]
        if line.endswith("<unfinished ...>"):
            pending[pid] = line[: -len("<unfinished ...>")].rstrip()
        elif "<... " in head[2] and " resumed>" in head[2] and pid in pending:
            yield pending.pop(pid) + head[2].split(" resumed>", 1)[1]
        else:
            yield line


class Op:
    """One operation: kind in create, truncate, write, fsync, rename, unlink, mkdir."""

    def __init__(self, time, kind, path, **more):
        self.time, self.kind, self.path = time, kind, path
        self.offset = more.get("offset")
        self.data = more.get("data")
        self.size = more.get("size")
        self.target = more.get("target")

    def describe(self, name):
        if self.kind == "write":
            return "write %s @%d+%d" % (name(self.path), self.offset, len(self.data))
        if self.kind == "truncate":
            return "truncate %s to %d" % (name(self.path), self.size)
        if self.kind == "rename":
            return "rename %s -> %s" % (name(self.path), name(self.target))
        return "%s %s" % (self.kind, name(self.path))


def parse_trace(path, watched, normalize):
    """The operations on files under the watched folders (unix paths), in trace order.
    normalize(path) maps a path through the prefix's drive links to its real place."""
    ops = []
    positions = {}   # path -> offset of the next write(): plain writes go on from there

    def inside(p):
        return any(p == w or p.startswith(w + "/") for w in watched)

    for line in joined_lines(path):
        m = _LINE.match(line)
        if not m or int(m.group(5)) < 0:
            continue
        time, call, args, result = float(m.group(2)), m.group(3), m.group(4), int(m.group(5))

        def add(kind, p, **more):
            ops.append(Op(time, kind, p, **more))

        if call in UNMODELLED.split(","):
            # The file a vectored write goes to; every name another call takes.
            fd = _FD.match(args)
            named = ([normalize(_text(fd.group(2)))] if fd else []) if "writev" in call else \
                [normalize(_text(t)) for t in re.findall(r'[<"]((?:\\x[0-9a-f]{2})+)[>"]', args)]
            if any(inside(p) for p in named):
                raise ValueError("a call the model does not follow: %s on %s" % (call, named))
            continue
        if call in ("openat", "open"):
            p = normalize(_text(_STRING.search(args).group(1)))
            if inside(p):
                positions[p] = 0
                if "O_CREAT" in args:
                    add("create", p)
                if "O_TRUNC" in args:
                    add("truncate", p, size=0)
            continue
        if call == "rename":
            names = [normalize(_text(s)) for s in _STRING.findall(args)]
            if inside(names[0]) or inside(names[1]):
                add("rename", names[0], target=names[1])
            continue
        if call in ("unlink", "mkdir"):
            p = normalize(_text(_STRING.search(args).group(1)))
            if inside(p):
                add(call, p)
            continue
        fd = _FD.match(args)
        if not fd:
            continue
        p = normalize(_text(fd.group(2)))
        if not inside(p):
            continue
        if call == "lseek":
            positions[p] = result
        elif call in ("write", "pwrite64"):
            data = _bytes(_STRING.search(args).group(1))[:result]
            if call == "pwrite64":
                offset = int(args.rsplit(",", 1)[1])
            else:
                offset = positions.get(p, 0)
                positions[p] = offset + len(data)
            add("write", p, offset=offset, data=data)
        elif call == "ftruncate":
            add("truncate", p, size=int(args.rsplit(",", 1)[1]))
        elif call in ("fsync", "fdatasync"):
            add("fsync", p)
    return ops


class Disk:
    """Names, folders and file contents; each file's content on the disk and the log of
    its data writes and truncations since its last fsync."""

    def __init__(self, files, folders):
        self.names = {}
        self.files = {}      # inode -> [durable bytes, log]
        self.folders = set(folders)
        for path, data in files.items():
            self._new(path, data)

    def _new(self, path, data=b""):
        inode = len(self.files) + 1
        self.files[inode] = [bytearray(data), []]
        self.names[path] = inode

    def apply(self, op, seq):
        if op.kind == "create":
            if op.path not in self.names:
                self._new(op.path)
        elif op.kind == "mkdir":
            self.folders.add(op.path)
        elif op.kind == "unlink":
            self.names.pop(op.path, None)
        elif op.kind == "rename":
            if op.path in self.names:
                self.names[op.target] = self.names.pop(op.path)
        elif op.kind in ("write", "truncate") and op.path in self.names:
            self.files[self.names[op.path]][1].append((seq, op))
        elif op.kind == "fsync" and op.path in self.names:
            entry = self.files[self.names[op.path]]
            entry[0] = _replay(entry[0], entry[1], None)
            entry[1] = []

    def pieces(self, model):
        """The pieces that may be missing: (inode, key, [writes in order])."""
        pieces = []
        for inode in sorted(set(self.names.values())):
            log = _surviving_writes(self.files[inode][1])
            if model == "writes":
                pieces += [(inode, seq, [seq]) for seq, op in log if op.kind == "write"]
            else:
                blocks = {}
                for seq, op in log:
                    if op.kind == "write":
                        first = op.offset // BLOCK
                        last = (op.offset + max(len(op.data), 1) - 1) // BLOCK
                        for block in range(first, last + 1):
                            blocks.setdefault(block, []).append(seq)
                pieces += [(inode, block, seqs) for block, seqs in sorted(blocks.items())]
        pieces.sort(key=lambda piece: piece[2][0])
        return pieces

    def contents(self, kept=None):
        """Path -> bytes, with only the writes (and parts of writes) kept says;
        kept None: every write. kept maps inode -> {seq: set of blocks or None (whole)}."""
        result = {}
        for path, inode in self.names.items():
            durable, log = self.files[inode]
            chosen = None if kept is None else kept.get(inode, {})
            result[path] = bytes(_replay(durable, log, chosen))
        return result


def _surviving_writes(log):
    """The log's writes that no later truncation removes whole."""
    surviving, cut_to = [], None
    for seq, op in reversed(log):
        if op.kind == "truncate":
            cut_to = op.size if cut_to is None else min(cut_to, op.size)
        elif op.kind == "write" and (cut_to is None or op.offset < cut_to):
            surviving.append((seq, op))
    return surviving[::-1]


def _replay(durable, log, kept):
    """The content after the log, with the writes kept says (None: all; else seq ->
    None for the whole write or the set of its blocks)."""
    data = bytearray(durable)
    for seq, op in log:
        if op.kind == "truncate":
            del data[op.size:]
        elif kept is None:
            _write(data, op, None)
        elif seq in kept:
            _write(data, op, kept[seq])
    return data


def _write(data, op, blocks):
    end = op.offset + len(op.data)
    start = op.offset
    while start < end:
        stop = end if blocks is None else min(end, (start // BLOCK + 1) * BLOCK)
        if blocks is None or start // BLOCK in blocks:
            if len(data) < stop:
                data.extend(bytes(stop - len(data)))
            data[start:stop] = op.data[start - op.offset:stop - op.offset]
        start = stop


def _choices(pieces):
    """Each choice: for each piece how many of its writes reach the disk."""
    sizes = [len(seqs) + 1 for _, _, seqs in pieces]
    total = 1
    for size in sizes:
        total *= size
    if total <= CHOICE_LIMIT:
        return list(itertools.product(*[range(size) for size in sizes]))
    full = [size - 1 for size in sizes]
    choices = [tuple(full[:i] + [0] * (len(sizes) - i)) for i in range(len(sizes) + 1)]
    for i in range(len(sizes)):
        choices.append(tuple(full[:i] + [0] + full[i + 1:]))
        choices.append(tuple([0] * i + [full[i]] + [0] * (len(sizes) - i - 1)))
    return choices


class State:
    # Set on a state whose fax-API hand-off file the fax-API side took before the crash.
    taken = False

    def __init__(self, model, crash_at, files, folders, missing):
        self.model = model
        self.crash_at = crash_at      # the number of operations that happened
        self.files = files            # path -> bytes
        self.folders = folders
        self.missing = missing        # descriptions of the data that did not reach the disk
        self.key = hashlib.sha256(repr(sorted(
            (p, hashlib.sha256(d).hexdigest()) for p, d in files.items())).encode() +
            repr(sorted(folders)).encode()).hexdigest()


def crash_states(ops, files, folders, model, name):
    """The distinct states a crash during ops leaves under the model, each once (the
    first way it is reached), from the disk holding files and folders, all on it."""
    disk = Disk(files, folders)
    seen, contents = {}, {}
    for i, op in enumerate(ops):
        if model == "in-order" or op.kind != "write":
            _add_states(disk, model, i, ops, name, seen, contents)
        disk.apply(op, i)
    _add_states(disk, model, len(ops), ops, name, seen, contents)
    return list(seen.values())


def _add_states(disk, model, crash_at, ops, name, seen, contents):
    def keep(state):
        if state.key not in seen:
            # States share the bytes of files alike (contents): a control that rewrites a
            # file whole leaves many states, mostly of the same files.
            state.files = {p: contents.setdefault(d, d) for p, d in state.files.items()}
            seen[state.key] = state

    if model == "in-order":
        keep(State(model, crash_at, disk.contents(), set(disk.folders), []))
        return
    pieces = disk.pieces(model)
    for choice in _choices(pieces):
        kept, missing = {}, {}
        for (inode, key, seqs), count in zip(pieces, choice):
            for seq in seqs[:count]:
                entry = kept.setdefault(inode, {})
                if model == "writes":
                    entry[seq] = None
                else:
                    entry.setdefault(seq, set()).add(key)
            if count < len(seqs):
                missing.setdefault(seqs[count], []).append(key)
        missing = [_missing(ops[seq], seq, keys, model, name)
                   for seq, keys in sorted(missing.items())]
        keep(State(model, crash_at, disk.contents(kept), set(disk.folders), missing))


def _missing(op, seq, blocks, model, name):
    if model == "writes":
        return "%s (op %d)" % (op.describe(name), seq)
    runs = []
    for block in sorted(blocks):
        if runs and runs[-1][1] == block - 1:
            runs[-1][1] = block
        else:
            runs.append([block, block])
    return "%s (op %d) and later writes in block%s %s" % (
        op.describe(name), seq, "s" if len(blocks) > 1 else "",
        ",".join("%d" % a if a == b else "%d-%d" % (a, b) for a, b in runs))
