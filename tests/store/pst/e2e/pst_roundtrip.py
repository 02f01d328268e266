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

A message that is not faithful is explained when each difference has one of the known causes below
(the readers' and the oracle's own ways, and what the converter does on purpose); the rest are listed
as unexplained.

and leaves the facts and compare reports in OUT_DIR. readpst runs with -j 0 (one process): its
default parallel mode has misread messages of large stores that one process reads right.
"""
import json
import os
import shutil
import stat
import subprocess
import sys

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


def norm(text):
    return " ".join((text or "").replace("\x00", "").split())


def same_subject(expected, actual, reader):
    expected, actual = norm(expected), norm(actual)
    if expected == actual:
        return True
    # pffexport prints a subject whose first character is not ASCII without its first two UTF-8 bytes
    # (it takes the first byte for the control code of a subject prefix; its property dump and the
    # conversation topic hold the whole text).
    if reader == "pffexport" and expected and ord(expected[0]) > 0x7F and \
            norm(expected.encode("utf-8")[2:].decode("utf-8", "replace")) == actual:
        return True
    # readpst writes the subject of an embedded message as raw UTF-8, which the oracle does not decode
    # there: one replacement character per byte.
    return reader == "readpst" and set(actual) == {"\ufffd"} and len(actual) == len(expected.encode("utf-8"))


def attachment_key(a):
    if a.get("embedded") is not None:
        return ("msg", norm(a.get("filename")))
    return ("file", a.get("filename"), a.get("sha256_eol") or a.get("sha256"))


def explain_attachments(exp, act, reader):
    expected = list(exp.get("attachments") or [])
    actual = list(act.get("attachments") or [])
    rest = []
    for a in actual:
        match = None
        for i, e in enumerate(expected):
            if attachment_key(a) == attachment_key(e) and (
                    a.get("embedded") is None or same_subject(e["embedded"].get("subject"),
                                                              a["embedded"].get("subject"), reader)):
                match = i
                break
        if match is None:
            rest.append(a)
        else:
            expected.pop(match)
    others = exp.get("other_parts") or []
    if not expected and rest and all(not a.get("filename") and a.get("embedded") is None for a in rest) \
            and len(rest) == len(others):
        return "parts without a file name that are not the body (delivery status, header parts, empty parts) " \
               "are nameless attachments in the store; the oracle lists them as other parts"
    if not expected and not rest:
        if reader == "readpst" and exp.get("other_parts") and \
                len(exp.get("other_parts")) == len(act.get("other_parts") or []):
            return "readpst writes the nameless attachments back as parts without a file name, which the " \
                   "oracle lists as other parts: as many as the source has"
        return "embedded subjects differ only by the reader's way of printing them"
    return None


def explain(field, exp, act, reader):
    if field == "subject":
        if "\x00" in (exp.get("subject") or "") and norm(exp.get("subject")) == norm(act.get("subject")):
            return "NUL characters of the source are dropped on import"
        if same_subject(exp.get("subject"), act.get("subject"), reader):
            return "pffexport prints a subject starting with a non-ASCII character without its first two bytes"
        return None
    if field == "from":
        expected = [a["addr"] for a in exp.get("from") or [] if a.get("addr")]
        actual = [a["addr"] for a in act.get("from") or [] if a.get("addr")]
        if reader == "readpst" and not expected and actual == ["mailer-daemon"]:
            return "readpst writes MAILER-DAEMON as the sender of a message without one"
        if reader in ("pffexport", "pst-extractor") and expected and not actual and \
                all("@" not in a for a in expected):
            return "the From field holds no address ('user at host'); the oracle takes a word of it as the " \
                   "address, the store keeps the text as the sender's name"
        return None
    if field == "attachments":
        return explain_attachments(exp, act, reader)
    return None


def explain_extra(source):
    if os.path.isfile(source):
        with open(source, "rb") as f:
            if not f.read().strip():
                return "the mailbox holds only blank text, which the converter counts as one message and the " \
                       "oracle does not"
    return None


def label_of(r):
    return r.get("source") or ("#%s" % r.get("index"))


def classify(summary, expected, actual, reader, folder, source, result):
    exp = {label_of(r): r for r in expected}
    act = {}
    for path, recs in actual.get("folders", {}).items():
        for r in recs:
            act[label_of(r)] = r
    explained = 0
    for m in summary.get("mismatches", []):
        e, a = exp.get(m["expected"]), act.get(m["actual"])
        reasons = [explain(f, e, a, reader) if e and a else None
                   for f in m["fields"] if f in ("subject", "from", "to", "date", "body_text", "attachments")]
        if reasons and all(reasons):
            explained += 1
            for reason in set(reasons):
                result["explained"][reason] = result["explained"].get(reason, 0) + 1
        else:
            result["unexplained"].append("%s %s: %s <-> %s: %s" % (reader, folder, m["expected"], m["actual"],
                                                                  ", ".join(m["fields"])))
    for label in summary.get("missing", []):
        result["unexplained"].append("%s %s: %s missing" % (reader, folder, label))
    for label in summary.get("extra", []):
        reason = explain_extra(source) if summary.get("expected_count") == 0 else None
        if reason:
            result["explained"][reason] = result["explained"].get(reason, 0) + 1
        else:
            result["unexplained"].append("%s %s: %s extra" % (reader, folder, label))
    return explained


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
            report = run([sys.executable, os.path.join(oracle, "compare.py"), expected_path, facts,
                          "--reader", reader, "--folder", folder, "--other-parts", "--show", "50",
                          "--summary", summary_path]).stdout
            with open(os.path.join(out_dir, "compare-%s-%d.txt" % (reader, n)), "w") as f:
                f.write(report)
            explained = 0
            if os.path.exists(summary_path):
                with open(summary_path) as f:
                    compared = json.load(f)
                with open(expected_path) as f:
                    expected = json.load(f)
                folder_facts = {"folders": {p: r for p, r in data.get("folders", {}).items() if p == folder}}
                explained = classify(compared, expected, folder_facts, reader, folder, source, result)
            result["fidelity"][folder] = fidelity(report) + [explained]
        summary["readers"][reader] = result
    with open(os.path.join(out_dir, "summary.json"), "w") as f:
        json.dump(summary, f, indent=1, ensure_ascii=False)


if __name__ == "__main__":
    main()
