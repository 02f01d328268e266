#!/usr/bin/python3
"""Reads a PST with the independent readers and compares what they see with the source mailboxes.

    pst_roundtrip.py ORACLE_DIR PST OUT_DIR FOLDER=SOURCE...

SOURCE is an mbox file, or a folder of .eml files (the expected messages of a mailbox the oracle
cannot split itself). FOLDER is the PST folder path (as the oracle writes it, "/a/b") that must hold
the messages. Writes OUT_DIR/summary.json:

    {"pffinfo": {"status", "output"},
     "readers": {reader: {"error", "folders": {path: messages},
                          "fidelity": {folder: [faithful, expected, explained]},
                          "explained": {reason: count}, "unexplained": [text]}}}

Each reader is compared as the oracle's README says: pffexport and pst-extractor with --other-parts
(non-body parts kept as nameless attachments count as kept), readpst, which rebuilds MIME, without it.
A message that is not faithful is explained when each difference has one of the known causes of
known_differences.py (the readers' own defects, shown by their output); the rest are listed as
unexplained.

and leaves the facts and compare reports in OUT_DIR. readpst runs with -j 0 (one process): its
default parallel mode has misread messages of large stores that one process reads right.
"""
import json
import os
import shutil
import stat
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
import known_differences  # noqa: E402

BASE_READERS = ["readpst", "pffexport"]


def readers_of(oracle):
    """readpst and pffexport, and pst-extractor where the oracle folder has it installed."""
    if shutil.which("node") and os.path.isdir(os.path.join(oracle, "node_modules", "pst-extractor")):
        return BASE_READERS + ["pst-extractor"]
    return BASE_READERS


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, errors="replace", **kwargs)


def readpst_shim(out_dir):
    shim_dir = os.path.join(out_dir, "shim")
    os.makedirs(shim_dir, exist_ok=True)
    real = None
    for folder in os.environ.get("PATH", "").split(os.pathsep):
        candidate = os.path.join(folder, "readpst")
        if os.access(candidate, os.X_OK):
            real = candidate
            break
    if real:
        shim = os.path.join(shim_dir, "readpst")
        with open(shim, "w") as f:
            f.write('#!/bin/sh\nexec "%s" -j 0 "$@"\n' % real)
        os.chmod(shim, os.stat(shim).st_mode | stat.S_IEXEC)
    return shim_dir


def expected_facts(oracle, source, path):
    if os.path.isdir(source):
        emls = sorted((os.path.join(source, n) for n in os.listdir(source) if n.lower().endswith(".eml")),
                      key=lambda p: int(os.path.splitext(os.path.basename(p))[0]))
        command = [sys.executable, os.path.join(oracle, "facts.py"), "eml"] + emls
    else:
        command = [sys.executable, os.path.join(oracle, "facts.py"), "mbox", source]
    with open(path, "w") as out:
        subprocess.run(command, stdout=out, check=True)


def blank_file(source):
    if not os.path.isfile(source):
        return False
    with open(source, "rb") as f:
        return not f.read().strip()


def fidelity(report):
    last = report.strip().splitlines()[-1] if report.strip() else ""
    # "fidelity: N/M messages (P%)"
    try:
        counts = last.split()[1].split("/")
        return [int(counts[0]), int(counts[1])]
    except (IndexError, ValueError):
        return [0, -1]


def main():
    oracle, pst, out_dir = sys.argv[1], sys.argv[2], sys.argv[3]
    readers = readers_of(oracle)
    pairs = [arg.split("=", 1) for arg in sys.argv[4:]]
    os.makedirs(out_dir, exist_ok=True)
    summary = {"readers": {}}
    info = run(["pffinfo", pst])
    summary["pffinfo"] = {"status": info.returncode, "output": (info.stdout + info.stderr)[-4000:]}

    env = dict(os.environ, PATH=readpst_shim(out_dir) + os.pathsep + os.environ.get("PATH", ""))
    facts = os.path.join(out_dir, "actual.json")
    with open(facts, "w") as out:
        subprocess.run([sys.executable, os.path.join(oracle, "pst_facts.py"), pst, "--readers", ",".join(readers)],
                       stdout=out, env=env, check=True)
    with open(facts) as f:
        actual = json.load(f)

    for n, (folder, source) in enumerate(pairs):
        expected_facts(oracle, source, os.path.join(out_dir, "expected-%d.json" % n))
    for reader in readers:
        data = actual.get(reader, {})
        result = {"error": data.get("error"), "fidelity": {}, "explained": {}, "unexplained": [],
                  "folders": {path: sum(1 for r in recs if r.get("kind") in ("message", "error"))
                              for path, recs in data.get("folders", {}).items()}}
        for n, (folder, source) in enumerate(pairs):
            expected_path = os.path.join(out_dir, "expected-%d.json" % n)
            summary_path = os.path.join(out_dir, "compare-%s-%d.json" % (reader, n))
            # A reader that rebuilds MIME gives the non-body parts back as parts again: the oracle
            # compares it without counting them.
            other_parts = [] if reader in known_differences.MIME_REBUILDERS else ["--other-parts"]
            report = run([sys.executable, os.path.join(oracle, "compare.py"), expected_path, facts,
                          "--reader", reader, "--folder", folder, "--show", "50",
                          "--summary", summary_path] + other_parts).stdout
            with open(os.path.join(out_dir, "compare-%s-%d.txt" % (reader, n)), "w") as f:
                f.write(report)
            explained = 0
            if os.path.exists(summary_path):
                with open(summary_path) as f:
                    compared = json.load(f)
                with open(expected_path) as f:
                    expected = json.load(f)
                records = data.get("folders", {}).get(folder, [])
                known_differences.SOURCE_DIR = source if os.path.isdir(source) else None
                known_differences.SOURCE_MBOX = None if os.path.isdir(source) else source
                explained = known_differences.classify(compared, expected, records, reader, folder, result,
                                                       blank_file(source), other_parts=bool(other_parts))
            result["fidelity"][folder] = fidelity(report) + [explained]
        summary["readers"][reader] = result
    with open(os.path.join(out_dir, "summary.json"), "w") as f:
        json.dump(summary, f, indent=1, ensure_ascii=False)


if __name__ == "__main__":
    main()
