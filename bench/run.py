#!/usr/bin/env python3
"""Runs the project's benchmarks next to peer tools on the same generated data, in the same run, and
prints the figures and ratios.

    bench/run.py [BENCH ...] [--size 1G] [--data DIR] [--build DIR]

BENCH names: scan, summary, mime, msg, items, pst, eml, recipients, throughput (default: all). Inputs are generated once into DIR (default $KELVA_BENCH_DIR or
/tmp/kelva-bench) and reused; they are never committed.

pst exports the mailbox with `mbox2pst convert --to eml` and `--to single-pst` in the same run; a PST
above 4 GiB (e.g. `run.py pst --size 5G`) is also read back with pffinfo, readpst and pffexport.

throughput prints the goals of the exports side by side: each format against the EML export on a
memory file system, PST against EML on disk, EML against git mailsplit, cores used, peak memory, one
large attachment, and the listing.

recipients exports one message whose To field repeats the same short address list up to 20k, 40k, 80k
and 120k recipients (`--recipients 20000,40000` chooses others) as MSG and as PST, one process per
export, and prints wall time and peak RSS: time per recipient shows whether the work grows linearly.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
BENCHES = {}


def bench(name):
    def register(function):
        BENCHES[name] = function
        return function
    return register


def ensure_input(args, name, *options):
    path = os.path.join(args.data, name)
    if not os.path.exists(path):
        os.makedirs(args.data, exist_ok=True)
        subprocess.run([sys.executable, os.path.join(HERE, "generate_mailbox.py"), path + ".part", args.size,
                        *options], check=True)
        os.replace(path + ".part", path)
    return path


def warm(path):
    with open(path, "rb") as f:
        while f.read(1 << 24):
            pass


def best_time(command, runs=3, **kwargs):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        # Output goes to a pipe: grep stops at the first match when it writes to /dev/null.
        subprocess.run(command, check=False, stdout=subprocess.PIPE, **kwargs)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def google_benchmark(args, binary, env, filter_regex):
    out = subprocess.run([os.path.join(args.build, "bench", binary), "--benchmark_format=json",
                          "--benchmark_filter=" + filter_regex], env={**os.environ, **env},
                         check=True, capture_output=True, text=True).stdout
    return {b["name"].split("/")[0]: b for b in json.loads(out)["benchmarks"]}


def mb_per_s(size, seconds):
    return size / seconds / 1e6


@bench("scan")
def scan(args):
    mbox = ensure_input(args, "bench-%s.mbox" % args.size)
    imm = ensure_input(args, "bench-%s.imm" % args.size, "--format", "imm")
    size, imm_size = os.path.getsize(mbox), os.path.getsize(imm)
    warm(mbox)
    warm(imm)
    results = google_benchmark(args, "scan_bench", {"KELVA_BENCH_MBOX": mbox, "KELVA_BENCH_IMM": imm}, ".")
    ours = results["BM_ScanFromLines"]
    ours_imm = results["BM_ScanMimeVersion"]
    ours_speed = ours["bytes_per_second"] / 1e6
    imm_speed = ours_imm["bytes_per_second"] / 1e6
    grep = mb_per_s(size, best_time(["grep", "-c", "^From ", mbox], env={**os.environ, "LC_ALL": "C"}))
    py = mb_per_s(size, best_time([sys.executable, "-c",
                                   "import mailbox,sys; print(len(mailbox.mbox(sys.argv[1]).keys()))", mbox], runs=1))
    messages = int(ours["messages"])
    print("scan: %s, %d bytes, %d messages" % (mbox, size, messages))
    print("  scanFromLines            %8.0f MB/s  peak RSS %.1f MiB (goal < %.1f MiB)" % (
        ours_speed, ours["peak_rss_mib"], 64 + 8 * messages / 2**20))
    print("  grep -c '^From '         %8.0f MB/s  -> ours %.2fx grep (goal >= 2x)" % (grep, ours_speed / grep))
    print("  python mailbox keys()    %8.0f MB/s  -> ours %.1fx python" % (py, ours_speed / py))
    print("  scanMimeVersion (.imm)   %8.0f MB/s  -> scanFromLines is %.2fx faster (goal <= 3x)" % (
        imm_speed, ours_speed / imm_speed))


PY_SUMMARY = """
import mailbox, sys, time, email.parser, email.policy
parser = email.parser.BytesHeaderParser(policy=email.policy.compat32)
box = mailbox.mbox(sys.argv[1])
start = time.perf_counter()
count = 0
for key in box.iterkeys():
    message = parser.parsebytes(box.get_bytes(key))
    row = (message['To'], message['From'], message['Subject'], message['Date'])
    count += 1
print(count, time.perf_counter() - start)
"""


@bench("summary")
def summary(args):
    mbox = ensure_input(args, "bench-%s.mbox" % args.size)
    warm(mbox)
    ours = google_benchmark(args, "summary_bench", {"KELVA_BENCH_MBOX": mbox}, ".")["BM_ReadAndSummarize"]
    out = subprocess.run([sys.executable, "-c", PY_SUMMARY, mbox], check=True, capture_output=True, text=True).stdout
    count, seconds = out.split()
    py_rate = int(count) / float(seconds)
    rate = ours["items_per_second"]
    listing = list_rate(args, mbox, int(count))
    print("summary: %s, %d messages" % (mbox, int(count)))
    print("  readMessage + summarizeMessage  %9.0f messages/s  %6.0f MB/s  peak RSS %.1f MiB" % (
        rate, ours["bytes_per_second"] / 1e6, ours["peak_rss_mib"]))
    print("  python mailbox + BytesHeaderParser %6.0f messages/s  -> ours %.1fx python (goal >= 10x)" % (
        py_rate, rate / py_rate))
    if listing:
        print("  mbox2pst list --json (scan + listing, whole program) %7.0f messages/s  -> %.1fx python, %.2fx the"
              " %d messages/s of the earlier listing (goal >= 2x)" % (listing, listing / py_rate, listing / LIST_BEFORE,
                                                                        LIST_BEFORE))


# `mbox2pst list --json` messages/s when the listing was last measured before it handed rows over in batches.
LIST_BEFORE = 18000


def list_rate(args, mbox, count):
    """Messages per second of the listing as the user waits for it: `mbox2pst list --json` from start to
    end (scan, summaries, JSON rows), best of 3, or nothing without the program."""
    cli = os.path.join(args.build, "src", "cli", "mbox2pst")
    if not os.path.exists(cli):
        return None
    logs = tempfile.mkdtemp(prefix="list-bench.")
    try:
        seconds = best_time([cli, "--no-progress", "--log-dir", logs, "list", "--json", mbox])
    finally:
        shutil.rmtree(logs, ignore_errors=True)
    return count / seconds


PY_MIME = """
import email.parser, email.policy, json, sys, time
path, limit = sys.argv[1], int(sys.argv[2])
data = open(path, 'rb').read()
messages, total, start = [], 0, 0
while start < len(data) and total < limit:
    next = data.find(b'\\nFrom ', start)
    next = len(data) if next < 0 else next + 1
    message = data[start:next]
    if b'\\r\\n' not in message:
        message = message.replace(b'\\n', b'\\r\\n')
    messages.append(message)
    total += len(message)
    start = next
del data
parser = email.parser.BytesParser(policy=email.policy.compat32)
def timed(headersonly):
    begin = time.perf_counter()
    for message in messages:
        parsed = parser.parsebytes(message, headersonly=headersonly)
        if headersonly:
            row = (parsed['To'], parsed['From'], parsed['Subject'], parsed['Date'])
    return time.perf_counter() - begin
print(json.dumps({"messages": len(messages), "bytes": total, "header": timed(True), "tree": timed(False)}))
"""


@bench("mime")
def mime(args, limit=64 << 20):
    mbox = ensure_input(args, "bench-%s.mbox" % args.size)
    warm(mbox)
    env = {"KELVA_BENCH_MBOX": mbox, "KELVA_BENCH_MIME_LIMIT": str(limit)}
    results = google_benchmark(args, "mime_bench", env, ".")
    py = json.loads(subprocess.run([sys.executable, "-c", PY_MIME, mbox, str(limit)], check=True,
                                   capture_output=True, text=True).stdout)
    print("mime: first %d MiB of %s, %d messages" % (limit >> 20, mbox, py["messages"]))
    if int(results["BM_ParseHeaderOnly"]["messages"]) != py["messages"]:
        print("  warning: the benchmark cut %d messages, python %d" % (results["BM_ParseHeaderOnly"]["messages"],
                                                                       py["messages"]))
    for name, key, what, goal in (("BM_ParseHeaderOnly", "header", "header only", 20),
                                  ("BM_ParseWholeTree", "tree", "whole tree ", 10)):
        ours = results[name]
        rate, py_rate = ours["items_per_second"], py["messages"] / py[key]
        print("  %s  ours %9.0f messages/s %7.0f MB/s | python email %7.0f messages/s %5.0f MB/s"
              "  -> %.1fx python (goal >= %dx)" % (what, rate, ours["bytes_per_second"] / 1e6, py_rate,
                                                  py["bytes"] / py[key] / 1e6, rate / py_rate, goal))


@bench("msg")
def msg(args):
    mbox = ensure_input(args, "bench-%s.mbox" % args.size)
    warm(mbox)
    ours = google_benchmark(args, "msg_bench", {"KELVA_BENCH_MBOX": mbox, "KELVA_BENCH_OUT": args.data},
                            ".")["BM_ImportAndWriteMsg"]
    print("msg: %s, %d messages" % (mbox, int(ours["messages"])))
    print("  readMessage + import + writeMsgFile  %7.0f messages/s  %6.1f MB/s  %.0f bytes per .msg  peak RSS %.1f MiB" % (
        ours["items_per_second"], ours["bytes_per_second"] / 1e6, ours["msg_bytes_per_message"], ours["peak_rss_mib"]))


def convert_time(cli, mbox, target, work, runs, temp=None):
    """Best wall time of mbox2pst convert --to target into a fresh folder, and the files written. Each
    run's files are removed afterwards and the disk is given a few seconds: ext4 without a journal
    makes new files slow to create while many were deleted moments ago, which would charge one run's
    clean-up to the next."""
    import shutil
    best, written = None, 0
    for run in range(runs):
        dest = os.path.join(work, "%s-%d" % (target, run))
        os.makedirs(dest)
        subprocess.run(["sync"])
        start = time.perf_counter()
        subprocess.run([cli, "--no-progress", "--temp", temp or work, "--log-dir", work, "convert", mbox, "--to",
                        target, "--dest", dest], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        written = sum(1 for _, _, names in os.walk(dest) for n in names if n.endswith("." + target))
        shutil.rmtree(dest, ignore_errors=True)
        subprocess.run(["sync"])
        time.sleep(6)
        best = elapsed if best is None else min(best, elapsed)
    return best, written


@bench("items")
def items(args):
    """EML, MSG, RTF and HTML export of the same mailbox through mbox2pst convert. MSG, RTF and HTML
    write each message to a temporary file first; the MSG export is also timed with that folder on
    tmpfs (/dev/shm) where there is one."""
    import tempfile
    mbox = ensure_input(args, "bench-%s.mbox" % args.size)
    warm(mbox)
    size = os.path.getsize(mbox)
    cli = os.path.join(args.build, "src", "cli", "mbox2pst")
    runs = 1 if size > 256 << 20 else 3
    work = tempfile.mkdtemp(prefix="items-bench.", dir=args.data)
    shm = tempfile.mkdtemp(prefix="items-bench.", dir="/dev/shm") if os.access("/dev/shm", os.W_OK) else None
    try:
        figures = {target: convert_time(cli, mbox, target, work, runs) for target in ("eml", "msg", "rtf", "html")}
        if shm:
            figures["msg, temp on tmpfs"] = convert_time(cli, mbox, "msg", work, runs, shm)
    finally:
        subprocess.run(["rm", "-rf", work] + ([shm] if shm else []))
    print("items: %s, %d bytes, %d messages, best of %d run(s), files written into %s" % (
        mbox, size, figures["eml"][1], runs, args.data))
    eml_seconds = figures["eml"][0]
    for target, (seconds, written) in figures.items():
        ratio = "" if target == "eml" else "  -> %.2fx the EML export's speed%s" % (
            eml_seconds / seconds, " (goal >= 0.33x)" if target.startswith("msg") else "")
        print("  convert --to %-22s %7.0f messages/s %6.1f MB/s  %d files%s" % (
            target, written / seconds, mb_per_s(size, seconds), written, ratio))


def run_measured(command):
    """Runs a command; its wall time in seconds and peak resident memory in MiB (its own rusage)."""
    start = time.perf_counter()
    with tempfile.TemporaryFile() as errors:
        process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=errors)
        _, status, usage = os.wait4(process.pid, 0)
        elapsed = time.perf_counter() - start
        if status != 0:
            errors.seek(0)
            print("  warning: %s exited with status %d: %s" % (" ".join(command[:3]), os.waitstatus_to_exitcode(status),
                                                               errors.read()[-500:].decode("utf-8", "replace")))
    return elapsed, usage.ru_maxrss / 1024


def run_timed(command):
    """Runs a command; its wall time and CPU time (user + system) in seconds and peak resident memory in MiB.
    CPU time shows the work done even when other processes share the machine."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    if status != 0:
        print("  warning: %s exited with status %d" % (" ".join(command[:3]), os.waitstatus_to_exitcode(status)))
    return time.perf_counter() - start, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024


def tree_size(folder):
    return sum(os.path.getsize(os.path.join(d, n)) for d, _, names in os.walk(folder) for n in names)


def pst_readers_count(pst, work):
    """Messages each independent reader finds in a PST (readpst with -j 0, one process: its default
    parallel mode has misread messages of large stores), and whether pffinfo reports an error."""
    counts = {}
    info = subprocess.run(["pffinfo", pst], capture_output=True, text=True, errors="replace")
    counts["pffinfo"] = "ok" if info.returncode == 0 and "rror" not in info.stdout + info.stderr else "ERROR"
    out = os.path.join(work, "readpst")
    os.makedirs(out)
    subprocess.run(["readpst", "-j", "0", "-e", "-D", "-b", "-8", "-q", "-o", out, pst], check=False)
    counts["readpst"] = sum(1 for _, _, names in os.walk(out) for n in names if n.endswith(".eml"))
    shutil.rmtree(out, ignore_errors=True)
    subprocess.run(["pffexport", "-m", "items", "-f", "text", "-q", "-t", os.path.join(work, "pff"), pst],
                   check=False, stdout=subprocess.DEVNULL)
    # Items of folders; embedded messages (under an Attachments folder) are not counted.
    counts["pffexport"] = sum(1 for folder, _, names in os.walk(os.path.join(work, "pff.export"))
                              for n in names if n == "OutlookHeaders.txt" and "/Attachment" not in folder)
    shutil.rmtree(os.path.join(work, "pff.export"), ignore_errors=True)
    return counts


def split_mailbox(mbox, most):
    """The mailbox cut into parts of at most `most` messages (written once beside it)."""
    parts, count, out = [], 0, None
    with open(mbox, "rb") as f:
        for line in f:
            if line.startswith(b"From "):
                if out is None or count == most:
                    if out:
                        out.close()
                    parts.append("%s.part%d" % (mbox, len(parts) + 1))
                    out = open(parts[-1] + ".tmp", "wb")
                    count = 0
                count += 1
            if out:
                out.write(line)
    if out:
        out.close()
    for part in parts:
        os.replace(part + ".tmp", part)
    return parts


@bench("pst")
def pst(args):
    mbox = ensure_input(args, "bench-%s.mbox" % args.size)
    warm(mbox)
    size = os.path.getsize(mbox)
    messages = int(subprocess.run(["grep", "-c", "^From ", mbox], capture_output=True, text=True,
                                  env={**os.environ, "LC_ALL": "C"}).stdout)
    inputs = [mbox]
    if size > 2 << 30:
        # pffexport lists at most 99,999 items per folder: a large store gets one folder per 90,000.
        inputs = sorted(p for p in (os.path.join(args.data, n) for n in os.listdir(args.data))
                        if p.startswith(mbox + ".part"))
        inputs = inputs or split_mailbox(mbox, 90000)
    cli = os.path.join(args.build, "src", "cli", "mbox2pst")
    work = tempfile.mkdtemp(prefix="pst-bench.", dir=args.data)
    # The PST export passes every message through a temporary file that it deletes again; on a disk file
    # system the creation of a file right after many deletions can cost more than the conversion, so
    # the temporary files go to memory when the machine has a memory file system (as /tmp often is).
    temp = tempfile.mkdtemp(prefix="pst-bench.", dir=args.temp if os.path.isdir(args.temp) else work)
    try:
        figures = {}
        for target in ("eml", "single-pst"):
            dest = os.path.join(work, target)
            os.makedirs(dest)
            seconds, peak = run_measured([cli, "--no-progress", "--temp", temp, "--log-dir", temp, "convert",
                                          *inputs, "--to", target, "--dest", dest])
            figures[target] = (seconds, peak, tree_size(dest))
            if target == "single-pst":
                pst_file = os.path.join(dest, "Resultant.pst")
                if os.path.getsize(pst_file) > 4 << 30 or args.check_readers:
                    figures["readers"] = pst_readers_count(pst_file, work)
            shutil.rmtree(dest, ignore_errors=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)
        shutil.rmtree(temp, ignore_errors=True)
    print("pst: %s, %d bytes, %d messages%s, temporary files in %s" % (
        mbox, size, messages, " in %d mailboxes" % len(inputs) if len(inputs) > 1 else "", os.path.dirname(temp)))
    for target, label in (("eml", "convert --to eml       "), ("single-pst", "convert --to single-pst")):
        seconds, peak, written = figures[target]
        print("  %s %7.0f messages/s %6.1f MB/s  peak RSS %6.1f MiB  wrote %.2f GiB" % (
            label, messages / seconds, mb_per_s(size, seconds), peak, written / 2**30))
    pst_seconds, pst_peak, pst_size = figures["single-pst"]
    print("  -> PST at %.2fx the EML export's speed (goal >= 0.33x); peak %.1f MiB (goal < %.1f MiB)" % (
        figures["eml"][0] / pst_seconds, pst_peak, 100 + 200 * messages / 2**20))
    if "readers" in figures:
        print("  readers on the %.2f GiB PST: %s (of %d messages)" % (pst_size / 2**30, figures["readers"], messages))


PY_SPLIT = """
import mailbox, os, sys
box = mailbox.mbox(sys.argv[1])
count = 0
for key in box.iterkeys():
    count += 1
    with open(os.path.join(sys.argv[2], '%d.eml' % count), 'wb') as f:
        f.write(box.get_bytes(key))
"""


def split_time(command, dest, runs=3):
    """Best wall time of a command that writes into dest, which is emptied before each run."""
    best = None
    for _ in range(runs):
        shutil.rmtree(dest, ignore_errors=True)
        os.makedirs(dest)
        subprocess.run(["sync"])
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


@bench("eml")
def eml(args):
    size_text = "100M" if args.size == "1G" else args.size  # a 100 MiB mailbox unless another size is asked
    mbox = ensure_input(args, "bench-%s.mbox" % size_text)
    warm(mbox)
    size = os.path.getsize(mbox)
    messages = int(subprocess.run(["grep", "-c", "^From ", mbox], capture_output=True, text=True,
                                  env={**os.environ, "LC_ALL": "C"}).stdout)
    work = tempfile.mkdtemp(prefix="eml-bench.", dir=args.data)
    dest = os.path.join(work, "out")
    cli = os.path.join(args.build, "src", "cli", "mbox2pst")
    commands = [
        ("mbox2pst convert --to eml", [cli, "--no-progress", "--temp", work, "--log-dir", work, "convert", mbox,
                                       "--to", "eml", "--dest", dest]),
        ("bare split (create+write only)", [os.path.join(args.build, "bench", "bare_split"), mbox, dest]),
        ("git mailsplit", ["git", "mailsplit", "-o" + dest, mbox]),
        ("python mailbox split", [sys.executable, "-c", PY_SPLIT, mbox, dest]),
    ]
    try:
        times = {label: split_time(command, dest) for label, command in commands}
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("eml: %s, %d bytes, %d messages, files written into %s" % (mbox, size, messages, args.data))
    ours = times[commands[0][0]]
    for label, _ in commands:
        seconds = times[label]
        print("  %-32s %7.0f messages/s %6.1f MB/s  -> ours %.2fx its speed" % (
            label, messages / seconds, mb_per_s(size, seconds), seconds / ours))
    print("  goals: faster than git mailsplit, >= 5x python; ours reaches %.0f%% of the bare loop's speed" % (
        100 * times[commands[1][0]] / ours))


def convert_measured(cli, inputs, target, dest, temp, runs, threads=None):
    """Best of `runs` exports into a fresh dest: wall seconds, CPU seconds (user + system) and peak RSS in
    MiB of the best run."""
    best = None
    for _ in range(runs):
        shutil.rmtree(dest, ignore_errors=True)
        os.makedirs(dest)
        command = [cli, "--no-progress", "--temp", temp, "--log-dir", temp, "convert", *inputs, "--to", target,
                   "--dest", dest]
        env = dict(os.environ, **({"KELVA_EXPORT_THREADS": str(threads)} if threads else {}))
        start = time.perf_counter()
        process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        _, status, usage = os.wait4(process.pid, 0)
        figures = (time.perf_counter() - start, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024)
        if status != 0:
            print("  warning: convert --to %s exited with status %d" % (target, os.waitstatus_to_exitcode(status)))
        best = figures if best is None or figures[0] < best[0] else best
    shutil.rmtree(dest, ignore_errors=True)
    return best


def attachment_mailbox(path, size):
    """One message carrying one base64 attachment of `size` bytes of random data."""
    import base64
    with open(path, "wb") as f:
        f.write(b"From sender@example.com Mon Jan  5 10:00:00 2026\nFrom: Sender <sender@example.com>\n"
                b"To: to@example.com\nSubject: one large attachment\nDate: Mon, 5 Jan 2026 10:00:00 +0000\n"
                b"MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"cut\"\n\n--cut\n"
                b"Content-Type: text/plain\n\nSee the attachment.\n--cut\nContent-Type: application/octet-stream;"
                b" name=\"large.bin\"\nContent-Transfer-Encoding: base64\n\n")
        chunk = os.urandom(57 * 1024 * 16)
        for _ in range(max(1, size // len(chunk))):
            encoded = base64.encodebytes(chunk)
            f.write(encoded)
        f.write(b"--cut--\n\n")


@bench("throughput")
def throughput(args):
    """The exports side by side in one run: every format on a memory file system (mailbox, --temp and
    --dest in /dev/shm) as a ratio to the EML export, PST against EML on disk, EML against git
    mailsplit, the listing against Python's header parsing, cores used ((user + system) / wall), peak
    memory per message, and the peak memory of one message with a large attachment."""
    mbox = ensure_input(args, "bench-%s.mbox" % args.size)
    size = os.path.getsize(mbox)
    messages = int(subprocess.run(["grep", "-c", "^From ", mbox], capture_output=True, text=True,
                                  env={**os.environ, "LC_ALL": "C"}).stdout)
    cli = os.path.join(args.build, "src", "cli", "mbox2pst")
    runs = args.runs
    shm = tempfile.mkdtemp(prefix="throughput-bench.", dir="/dev/shm")
    work = tempfile.mkdtemp(prefix="throughput-bench.", dir=args.data)
    try:
        in_memory = os.path.join(shm, os.path.basename(mbox))
        shutil.copyfile(mbox, in_memory)
        memory = {target: convert_measured(cli, [in_memory], target, os.path.join(shm, "out"), shm, runs)
                  for target in ("eml", "single-pst", "msg", "rtf", "html")}
        one_thread = convert_measured(cli, [in_memory], "single-pst", os.path.join(shm, "out"), shm, runs, threads=1)
        os.remove(in_memory)
        warm(mbox)
        disk = {target: convert_measured(cli, [mbox], target, os.path.join(work, "out"), work, runs)
                for target in ("eml", "single-pst")}
        mailsplit = split_time(["git", "mailsplit", "-o" + os.path.join(work, "split"), mbox],
                               os.path.join(work, "split"), runs)
        large = os.path.join(shm, "large.mbox")
        attachment_mailbox(large, args.attachment_mib << 20)
        large_size = os.path.getsize(large)
        large_pst = convert_measured(cli, [large], "single-pst", os.path.join(shm, "out"), shm, 1)
        os.remove(large)
    finally:
        shutil.rmtree(shm, ignore_errors=True)
        shutil.rmtree(work, ignore_errors=True)
    print("throughput: %s, %d bytes, %d messages, %d cores, best of %d" % (mbox, size, messages, os.cpu_count(), runs))
    eml_memory = memory["eml"][0]
    print("  on /dev/shm (mailbox, --temp, --dest):")
    for target, (seconds, cpu, peak) in memory.items():
        goal = "" if target == "eml" else " (goal >= %s)" % ("1.0x" if target == "single-pst" else "0.7x")
        print("    convert --to %-11s %6.2f s  %7.0f messages/s  %.2fx EML%-15s  cores used %.2f  peak RSS %6.1f MiB" % (
            target, seconds, messages / seconds, eml_memory / seconds, goal, cpu / seconds, peak))
    seconds, cpu, peak = one_thread
    print("    convert --to single-pst, one worker thread: %.2f s (%.2fx EML), cores used %.2f" % (
        seconds, eml_memory / seconds, cpu / seconds))
    pst_seconds, pst_cpu, pst_peak = memory["single-pst"]
    print("  PST cores used %.2f (goal > 1.6 on 2 cores); peak %.1f MiB (goal < %.1f MiB)" % (
        pst_cpu / pst_seconds, pst_peak, 100 + 200 * messages / 2**20))
    print("  on disk (%s): EML %.2f s, PST %.2f s -> PST %.2fx EML (goal >= 1.5x)" % (
        args.data, disk["eml"][0], disk["single-pst"][0], disk["eml"][0] / disk["single-pst"][0]))
    print("  git mailsplit %.2f s -> EML export %.2fx its speed (goal > 1x)" % (mailsplit, mailsplit / disk["eml"][0]))
    seconds, cpu, peak = large_pst
    print("  one message of %.0f MiB (%d MiB attachment) to PST: %.2f s, peak RSS %.1f MiB = %.2fx the message,"
          " %.2fx the attachment (goal: 1 GiB attachment under 2.5 GiB)" % (
              large_size / 2**20, args.attachment_mib, seconds, peak, peak * 2**20 / large_size,
              peak / args.attachment_mib))
    if os.path.exists(os.path.join(args.build, "bench", "summary_bench")):
        summary(args)


RECIPIENT_LIST = ('Ann Archer <ann.archer@example.com>, "Boole, Bob" <bob@example.org>, '
                  'carl@example.net (Carl Cole), =?UTF-8?Q?D=C3=B6rte_D=C3=BCrr?= <doerte@example.de>')


def recipients_mailbox(path, count):
    """One message whose To field holds `count` recipients: the list above repeated, folded."""
    repeats = (count + 3) // 4
    with open(path, "w", encoding="ascii") as f:
        f.write("From sender@example.com Mon Jan  5 10:00:00 2026\n")
        f.write("From: Sender <sender@example.com>\nTo: ")
        for k in range(repeats):
            f.write(RECIPIENT_LIST if k + 1 == repeats else RECIPIENT_LIST + ",\n ")
        f.write("\nSubject: many recipients\nDate: Mon, 5 Jan 2026 10:00:00 +0000\nMessage-ID: <many@example.com>\n"
                "MIME-Version: 1.0\nContent-Type: text/plain; charset=us-ascii\n\nHello all.\n\n")


@bench("recipients")
def recipients(args):
    cli = os.path.join(args.build, "src", "cli", "mbox2pst")
    work = tempfile.mkdtemp(prefix="recipients-bench.", dir=args.data if os.path.isdir(args.data) else None)
    counts = [int(n) for n in args.recipients.split(",")]
    print("recipients: one message, To field of N recipients, files written into %s" % work)
    try:
        for count in counts:
            mbox = os.path.join(work, "recipients-%d.mbox" % count)
            recipients_mailbox(mbox, count)
            for target, suffix in (("msg", "msg"), ("single-pst", "pst")):
                dest = os.path.join(work, "out")
                os.makedirs(dest)
                seconds, cpu, peak = run_timed([cli, "--no-progress", "--temp", work, "--log-dir", work, "convert",
                                                mbox, "--to", target, "--dest", dest])
                written = tree_size(dest)
                files = sum(1 for _, _, names in os.walk(dest) for n in names if n.endswith("." + suffix))
                shutil.rmtree(dest, ignore_errors=True)
                print("  %7d recipients  %-10s %7.2f s wall %7.2f s CPU  %6.2f us CPU/recipient  peak RSS %7.1f MiB"
                      "  wrote %7.1f MiB in %d file(s)" % (count, target, seconds, cpu, 1e6 * cpu / count, peak,
                                                           written / 2**20, files))
            os.remove(mbox)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("  goals: CPU time per recipient about constant; peak RSS < 500 MiB at 120k recipients")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("benches", nargs="*", default=[])
    parser.add_argument("--size", default="1G")
    parser.add_argument("--data", default=os.environ.get("KELVA_BENCH_DIR", "/tmp/kelva-bench"))
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--temp", default="/dev/shm", help="pst: folder for the temporary files (default /dev/shm "
                        "when present, else the data folder)")
    parser.add_argument("--recipients", default="20000,40000,80000,120000",
                        help="recipients: the recipient counts, comma-separated")
    parser.add_argument("--runs", type=int, default=3, help="throughput: runs per figure (the best counts)")
    parser.add_argument("--attachment-mib", type=int, default=256,
                        help="throughput: size of the large attachment in MiB")
    parser.add_argument("--check-readers", action="store_true",
                        help="pst: also read the PST with pffinfo, readpst and pffexport (always above 4 GiB)")
    args = parser.parse_args()
    for name in args.benches or list(BENCHES):
        if name not in BENCHES:
            parser.error("unknown benchmark %s (known: %s)" % (name, ", ".join(BENCHES)))
        BENCHES[name](args)


if __name__ == "__main__":
    main()
