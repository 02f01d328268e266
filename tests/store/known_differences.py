#!/usr/bin/python3
"""The known causes of differences between a source message's facts and what a reader gives back.

    known_differences.py EXPECTED.json ACTUAL.json COMPARE_SUMMARY.json READER [SOURCE_DIR]

prints {"explained": {reason: messages}, "unexplained": [text]} for the mismatches of a compare.py
summary (pairs by source name). The PST round trip imports explain() and classify(). With SOURCE_DIR
(the source messages, named as the records' "source"), a delivery report's bytes must be the source
part's bytes as they stand.

A message counts as explained when every differing core field has one of the causes below, each
checked against the facts (not assumed): defects of the readers (each shown by the reader's own
output) and of the oracle's reading of it. What the converter writes is never a cause.
"""
import hashlib
import json
import os
import re
import sys

CORE_FIELDS = ("subject", "from", "to", "date", "body_text", "attachments")
# Where the source messages are, when the delivery reports' bytes are to be proven.
SOURCE_DIR = None

NUL_DROPPED = "U+0000 in the source: a MAPI string ends at its first U+0000, and no reader shows one " \
              "(pst-extractor removes every U+0000 from a string, pffexport and readpst end a string at it)"
READPST_EMBEDDED = "readpst puts a \">From\" line before the header of an embedded message; the oracle " \
                   "re-parses such a part and reads its raw 8-bit Subject (the source's bytes, which readpst " \
                   "keeps) as one replacement character per byte"
READPST_DAEMON = "readpst writes MAILER-DAEMON as the sender of a message without one"
MIME_REBUILDERS = ("readpst", "msgconvert")  # readers that give the message back as MIME text
INLINE_PARTS = "%s writes a nameless attachment as a nameless inline part (\"Content-Disposition: inline\"), " \
               "which the oracle lists as an other part: the same parts, of the same types"
READPST_EMPTY = "readpst leaves out an attachment of no bytes (it writes one only when it has data; its " \
                "debug log says \"Attempting Attachment encoding\" and nothing follows); the source part is empty"
ONE_SENDER = "a second From mailbox: a message has one sender, the first one is kept (the transport " \
             "headers hold the field)"
SOURCE_ROUTE = "the oracle keeps the obsolete source route of an address, the import drops it"
WORD_AS_ADDRESS = "a name without address: the oracle (Python's getaddresses) takes its first word as the " \
                  "address"
DSN_BYTES = "a message/delivery-status attachment: the oracle hashes its own re-serialisation of the " \
            "part, the store holds the part's bytes as the source has them"
BLANK_MAILBOX = "the mailbox holds only blank text, which the converter lists as one message (a file " \
                "without boundary lines is one message) and writes as an empty item; the oracle counts none"


def norm(text):
    return " ".join((text or "").replace("\x00", "").split())


def collapsed(text):
    return " ".join((text or "").split())


def squeezed(text):
    return "".join((text or "").split())


def subject_cause(expected, actual, reader, embedded=False):
    """The cause of a difference between two subjects, or None when no known cause fits."""
    if "\x00" in (expected or "") and norm(expected) == norm(actual):
        return NUL_DROPPED
    # readpst writes a ">From" line at the top of an embedded message, so the oracle re-parses the part
    # and loses its raw 8-bit header bytes: one replacement character per byte of the source's text.
    if embedded and reader == "readpst" and actual and set(actual) == {"\ufffd"} and \
            len(actual) == len((expected or "").encode("utf-8")):
        return READPST_EMBEDDED
    return None


def attachment_key(a):
    if a.get("embedded") is not None:
        return ("msg",)
    return ("file", a.get("filename"), a.get("sha256_eol") or a.get("sha256"))


def explain_attachments(exp, act, reader, other_parts=True):
    expected = list(exp.get("attachments") or [])
    actual = list(act.get("attachments") or [])
    reasons, rest = set(), []
    for a in actual:
        for i, e in enumerate(expected):
            if attachment_key(a) != attachment_key(e):
                continue
            if a.get("embedded") is not None:
                subjects = e["embedded"].get("subject"), a["embedded"].get("subject")
                if collapsed(subjects[0]) != collapsed(subjects[1]):
                    reason = subject_cause(*subjects, reader, embedded=True)
                    if reason is None:
                        continue
                    reasons.add(reason)
            expected.pop(i)
            break
        else:
            rest.append(a)
    # Delivery reports with the same name whose bytes differ.
    for a in list(rest):
        for i, e in enumerate(expected):
            if e.get("filename") and e.get("filename") == a.get("filename") and \
                    (e.get("content_type") or "").lower() == "message/delivery-status" and \
                    source_bytes_kept(exp, a):
                expected.pop(i)
                rest.remove(a)
                reasons.add(DSN_BYTES)
                break
    if expected:
        return None
    if not other_parts:  # compared as the oracle compares a MIME rebuilder: attachments only
        if rest:
            return None
    elif reader in MIME_REBUILDERS:
        reason = None if rest else rebuilt_parts_reason(exp, act, reader)
        if reason is None:
            return None
        reasons |= reason
    elif not nameless_kept(exp, rest):
        return None
    return reasons or None


def source_bytes_kept(exp, actual_part):
    """Without SOURCE_DIR, true; with it, whether the reader's bytes of a delivery report are those of
    a message/delivery-status part of the source file as they stand (line ends aside)."""
    if SOURCE_DIR is None:
        return True
    try:
        with open(os.path.join(SOURCE_DIR, exp.get("source") or ""), "rb") as f:
            data = f.read()
    except OSError:
        return False
    lf = data.replace(b"\r\n", b"\n")
    for boundary in set(re.findall(rb'boundary="?([^";\r\n]+)"?', lf, re.I)):
        for piece in re.split(rb"\n--" + re.escape(boundary) + rb"(?:--)?[ \t]*\n", lf)[1:]:
            head, _, body = piece.partition(b"\n\n")
            if b"message/delivery-status" in head.lower() and \
                    hashlib.sha256(body).hexdigest() == actual_part.get("sha256_eol"):
                return True
    return False


def nameless_kept(exp, rest):
    """The unmatched attachments are nameless ones, as many as the source's other parts."""
    nameless = [a for a in rest if not a.get("filename") and a.get("embedded") is None]
    return len(nameless) == len(rest) == len(exp.get("other_parts") or [])


def rebuilt_parts_reason(exp, act, reader):
    """A MIME rebuilder's other parts against the source's: the same types, or (readpst) the same
    types but for the empty ones. An empty set when there are none to compare, None when they differ."""
    def types(parts):
        return sorted((p.get("content_type") or "").lower() for p in parts)
    others = exp.get("other_parts") or []
    shown = types(act.get("other_parts") or [])
    if shown == types(others):
        return {INLINE_PARTS % reader} if others else set()
    if reader == "readpst" and shown == types(p for p in others if p.get("size")):
        return {READPST_EMPTY} | ({INLINE_PARTS % reader} if shown else set())
    return None


def addresses(record, field):
    return [a.get("addr") or "" for a in record.get(field) or []]


def first_word_taken(expected, actual):
    """The oracle's address for a name the reader shows without address is the name's first word."""
    if "@" in expected["addr"] or actual.get("addr"):
        return False
    words = (actual.get("name") or "").split()
    return bool(words) and words[0].lower() == expected["addr"]


def explain_addresses(field, exp, act, reader):
    expected, actual = exp.get(field) or [], act.get(field) or []
    if field == "from" and reader == "readpst" and not [a for a in expected if a.get("addr")] and \
            addresses(act, "from") == ["mailer-daemon"]:
        return {READPST_DAEMON}
    if field == "from" and len(expected) > 1 and addresses(act, "from") == addresses(exp, "from")[:1]:
        return {ONE_SENDER}
    reasons, left = set(), list(actual)
    for e in expected:
        for i, a in enumerate(left):
            if e.get("addr") == a.get("addr"):
                break
            route = e.get("addr", "").rsplit(":", 1)
            if e.get("addr", "").startswith("@") and len(route) == 2 and route[1] == a.get("addr"):
                reasons.add(SOURCE_ROUTE)
                break
            if first_word_taken(e, a):
                reasons.add(WORD_AS_ADDRESS)
                break
        else:
            return None
        left.pop(i)
    return reasons if reasons and not left else None


def explain_body(exp, act, reader):
    if squeezed(norm(exp.get("body_text"))) == squeezed(norm(act.get("body_text"))) and \
            "\x00" in (exp.get("body_text") or ""):
        return {NUL_DROPPED}
    return None


def explain(field, exp, act, reader, other_parts=True):
    """The set of causes of one differing field, or None when no known cause fits."""
    if field == "subject":
        reason = subject_cause(exp.get("subject"), act.get("subject"), reader)
        return {reason} if reason else None
    if field in ("from", "to"):
        return explain_addresses(field, exp, act, reader)
    if field == "body_text":
        return explain_body(exp, act, reader)
    if field == "attachments":
        return explain_attachments(exp, act, reader, other_parts)
    return None


def empty_item(record, reader):
    """A message with nothing in it: no subject, recipients, body or attachments, and no sender but the
    one readpst writes for every message without one."""
    if not record:
        return False
    senders = addresses(record, "from")
    return not norm(record.get("subject")) and not record.get("to") and not record.get("cc") and \
        not norm(record.get("body_text")) and not record.get("attachments") and \
        (not senders or (reader == "readpst" and senders == ["mailer-daemon"]))


def label_of(r):
    return r.get("source") or ("#%s" % r.get("index"))


def classify(summary, expected, actual, reader, where, result, blank_source=False, other_parts=True):
    """Adds the mismatches, missing and extra messages of a compare.py summary to result's "explained"
    counts and "unexplained" list; returns the number of explained messages."""
    exp = {label_of(r): r for r in expected}
    act = {label_of(r): r for r in actual}
    explained = 0
    for m in summary.get("mismatches", []):
        e, a = exp.get(m["expected"]), act.get(m["actual"])
        reasons = [explain(f, e, a, reader, other_parts) if e and a else None for f in m["fields"] if f in CORE_FIELDS]
        if reasons and all(reasons):
            explained += 1
            for reason in set().union(*reasons):
                result["explained"][reason] = result["explained"].get(reason, 0) + 1
        else:
            result["unexplained"].append("%s %s: %s <-> %s: %s" % (reader, where, m["expected"], m["actual"],
                                                                  ", ".join(m["fields"])))
    for label in summary.get("missing", []):
        result["unexplained"].append("%s %s: %s missing" % (reader, where, label))
    for label in summary.get("extra", []):
        if blank_source and summary.get("expected_count") == 0 and empty_item(act.get(label), reader):
            result["explained"][BLANK_MAILBOX] = result["explained"].get(BLANK_MAILBOX, 0) + 1
        else:
            result["unexplained"].append("%s %s: %s extra" % (reader, where, label))
    return explained


def main():
    expected_path, actual_path, summary_path, reader = sys.argv[1:5]
    with open(expected_path) as f:
        expected = json.load(f)
    with open(actual_path) as f:
        actual = json.load(f)
    with open(summary_path) as f:
        summary = json.load(f)
    result = {"explained": {}, "unexplained": []}
    global SOURCE_DIR
    SOURCE_DIR = sys.argv[5] if len(sys.argv) > 5 else None
    result["explained_messages"] = classify(summary, expected, actual, reader, "", result)
    json.dump(result, sys.stdout, indent=1, ensure_ascii=False)


if __name__ == "__main__":
    main()
