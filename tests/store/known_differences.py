#!/usr/bin/python3
"""The known causes of differences between a source message's facts and what a reader gives back.

    known_differences.py EXPECTED.json ACTUAL.json COMPARE_SUMMARY.json READER [SOURCE_DIR]

prints {"explained": {reason: messages}, "unexplained": [text]} for the mismatches of a compare.py
summary (pairs by source name). The PST round trip imports explain() and classify(). With SOURCE_DIR
(the source messages, named as the records' "source"), a delivery report's bytes must be the source
part's bytes as they stand.

A message counts as explained when every differing core field has one of the causes below, each
checked against the facts (not assumed): defects of the readers (each shown by the reader's own
output) and of the oracle's reading of it. What the converter writes is never a cause, but for its
named rules: a MAPI string ends at U+0000, a blank mailbox is one empty message, a message without
From has the mailbox of its Sender field as its sender.
"""
import hashlib
import json
import os
import re
import sys

CORE_FIELDS = ("subject", "from", "to", "date", "body_text", "attachments")
# Where the source messages are, when the delivery reports' bytes or header fields are to be proven:
# a folder of messages named as the records' "source", or an mbox read at the records' "mbox_offset".
SOURCE_DIR = None
SOURCE_MBOX = None

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
READPST_EMBEDDED_NAME = "readpst writes an embedded message as a message/rfc822 part without its file name"
EXTRACTOR_EMBEDDED = "pst-extractor gives no embedded message object: the attachment's display name (its file " \
                     "name, as Outlook sets it) stands for the embedded subject"
INLINE_CID = "%s writes a nameless part that has a Content-ID as \"Content-Disposition: inline\", which the " \
             "oracle's rule makes an attachment: the same part (type, Content-ID, bytes) that the source has " \
             "as an other part"
READPST_BASE64_MESSAGE = "readpst writes a message/* part other than message/rfc822 in base64, which Python's " \
                         "parser does not decode for such a part: the oracle hashes the encoded text"
QUOTED_NAME_AS_ADDRESS = "a quoted name without address: the oracle (Python's getaddresses) takes the name's " \
                         "words, joined, as the address"
QUOTED_LOCAL_PART = "a quoted local part with blanks: the oracle (Python's getaddresses) drops the blanks " \
                    "inside the quotes"
SEMICOLON_LIST = "addresses separated by \";\": the oracle reads the list as one address, the import (as " \
                 "Outlook) as one address each"
UNDECODABLE_WORD = "an encoded word Python cannot decode (bad base64 padding, an unknown charset): the oracle " \
                   "keeps the whole field as written, the import decodes what it can (RFC 2047, 6.2)"
SENDER_AS_FROM = "a message without From: the import names the mailbox of its Sender field as the sender " \
                 "(checked against the source's Sender field), the oracle reads no From"
PFFEXPORT_LONG_NAME = "pffexport cannot create a file whose name is longer than the file system allows " \
                      "(\"unable to export attachment data\"): the attachment is missing from its export"
ENCODED_ADDRESS = "an encoded word inside an address (RFC 2047 allows none there): the oracle decodes it, the " \
                  "import keeps the address as written"
BASE64_MESSAGE_PART = "a message/rfc822 part in base64 (RFC 2046 allows none): Python's parser reads no " \
                      "message in it, the import decodes the part first (checked in the source)"
MSGCONVERT_EMPTY_BODY = "msgconvert writes no text/plain part for an empty plain body: the oracle takes the " \
                        "next nameless inline text/plain part (one of the source's other parts) as the body"
QP_PADDED_SOFT_BREAK = "an '=' with blanks after it at a line end: RFC 2045 makes the blanks transport padding " \
                       "and the '=' a soft line break, Python's decoder keeps the '=' as text"
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
    if not embedded and undecodable_field(expected, actual):
        return UNDECODABLE_WORD
    return None


ENCODED_WORD = re.compile(r"=\?[^?\s]+\?[bBqQ]\?.*?\?=")


def undecodable_field(expected, actual):
    """The oracle kept the field as written because Python cannot decode one of its encoded words; the
    text around the words is the reader's, in order."""
    import email.header
    expected = expected or ""
    if not ENCODED_WORD.search(expected):
        return False
    try:
        str(email.header.make_header(email.header.decode_header(expected)))
        return False
    except Exception:
        pass
    pattern = ".*".join(re.escape(squeezed(piece)) for piece in ENCODED_WORD.split(expected))
    return re.fullmatch(pattern, squeezed(actual), re.S) is not None


def attachment_key(a):
    if a.get("embedded") is not None:
        return ("msg",)
    return ("file", a.get("filename"), a.get("sha256_eol") or a.get("sha256"))


def embedded_name_cause(e, a, reader):
    """The cause of an embedded message read back under another name or subject, or None."""
    if a.get("filename") == e.get("filename"):
        return set()
    if reader == "readpst" and a.get("filename") is None:
        return {READPST_EMBEDDED_NAME}
    return None


def explain_attachments(exp, act, reader, other_parts=True):
    expected = list(exp.get("attachments") or [])
    actual = list(act.get("attachments") or [])
    shown_parts = list(act.get("other_parts") or [])
    source_parts = list(exp.get("other_parts") or [])
    reasons, rest = set(), []
    for a in actual:
        for i, e in enumerate(expected):
            if attachment_key(a) != attachment_key(e):
                continue
            if a.get("embedded") is not None:
                subjects = e["embedded"].get("subject"), a["embedded"].get("subject")
                if reader == "pst-extractor" and e.get("filename") and subjects[1] == e.get("filename"):
                    reasons.add(EXTRACTOR_EMBEDDED)
                elif subjects[0] is None and not e["embedded"].get("from") and subjects[1] and \
                        base64_message_part(exp):
                    reasons.add(BASE64_MESSAGE_PART)
                elif collapsed(subjects[0]) != collapsed(subjects[1]):
                    reason = subject_cause(*subjects, reader, embedded=True)
                    if reason is None:
                        continue
                    reasons.add(reason)
                named = embedded_name_cause(e, a, reader) if reader != "pst-extractor" else set()
                if named is None:
                    continue
                reasons |= named
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
    if reader in MIME_REBUILDERS:
        reasons |= rebuilt_attachments(expected, rest, shown_parts, source_parts, reader)
    if reader == "pffexport":
        for e in list(expected):
            # pffexport writes "N_" before the name; most file systems allow 255 bytes.
            if len((e.get("filename") or "").encode("utf-8")) + 3 > 255:
                expected.remove(e)
                reasons.add(PFFEXPORT_LONG_NAME)
    if expected:
        return None
    if not other_parts:  # compared as the oracle compares a MIME rebuilder: attachments only
        if rest:
            return None
    elif reader in MIME_REBUILDERS:
        reason = None if rest else rebuilt_parts_reason(source_parts, shown_parts, reader,
                                                        not norm(exp.get("body_text")))
        if reason is None:
            return None
        reasons |= reason
    elif not nameless_kept(exp, rest):
        return None
    return reasons or None


def same_bytes(a, b):
    return (a.get("sha256_eol") or a.get("sha256")) == (b.get("sha256_eol") or b.get("sha256"))


def rebuilt_attachments(expected, rest, shown_parts, source_parts, reader):
    """What a MIME rebuilder does to attachments, each checked against the facts; the parts it explains
    are taken out of the lists."""
    reasons = set()
    for e in list(expected):
        if e.get("filename") or e.get("embedded") is not None:
            continue
        # A nameless attachment given back as a nameless inline part: the same type and bytes.
        for p in shown_parts:
            if (p.get("content_type") or "").lower() == (e.get("content_type") or "").lower() and same_bytes(p, e):
                shown_parts.remove(p)
                expected.remove(e)
                reasons.add(INLINE_PARTS % reader)
                break
    if reader == "readpst":
        for e in list(expected):
            if e.get("embedded") is None and e.get("size") == 0:
                expected.remove(e)
                reasons.add(READPST_EMPTY)
        for a in list(rest):
            for e in expected:
                content_type = (e.get("content_type") or "").lower()
                if e.get("filename") and e.get("filename") == a.get("filename") and content_type.startswith("message/") \
                        and content_type != "message/rfc822" and (a.get("content_type") or "").lower() == content_type:
                    expected.remove(e)
                    rest.remove(a)
                    reasons.add(READPST_BASE64_MESSAGE)
                    break
    for a in list(rest):
        if a.get("filename") or not a.get("content_id"):
            continue
        for p in source_parts:
            if p.get("content_id") == a.get("content_id") and same_bytes(p, a):
                source_parts.remove(p)
                rest.remove(a)
                reasons.add(INLINE_CID % reader)
                break
    return reasons


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


def rebuilt_parts_reason(others, shown_parts, reader, empty_body=False):
    """A MIME rebuilder's other parts against the source's: the same types, or (readpst) the same
    types but for the empty ones. An empty set when there are none to compare, None when they differ."""
    def types(parts):
        return sorted((p.get("content_type") or "").lower() for p in parts)
    shown = types(shown_parts)
    if shown == types(others):
        return {INLINE_PARTS % reader} if others else set()
    if reader == "readpst" and shown == types(p for p in others if p.get("size")):
        return {READPST_EMPTY} | ({INLINE_PARTS % reader} if shown else set())
    if reader == "msgconvert" and empty_body and sorted(shown + ["text/plain"]) == types(others):
        return {MSGCONVERT_EMPTY_BODY} | ({INLINE_PARTS % reader} if shown else set())
    return None


def addresses(record, field):
    return [a.get("addr") or "" for a in record.get(field) or []]


def first_word_taken(expected, actual):
    """The oracle's address for a name the reader shows without address is the name's first word."""
    if "@" in expected["addr"] or actual.get("addr"):
        return False
    words = (actual.get("name") or "").split()
    return bool(words) and words[0].lower() == expected["addr"]


def quoted_name_taken(expected, actual):
    """The oracle's address for a quoted name the reader shows without address: the words joined."""
    if "@" in expected["addr"] or actual.get("addr"):
        return False
    words = (actual.get("name") or "").split()
    return len(words) > 1 and "".join(words).lower() == expected["addr"]


def quoted_blanks_dropped(expected, actual):
    addr = actual.get("addr") or ""
    return '"' in addr and re.search(r"\s", addr) is not None and \
        re.sub(r"\s", "", addr).lower() == (expected.get("addr") or "").lower()


def source_message(exp):
    """The source message's bytes (from SOURCE_DIR or SOURCE_MBOX), or None when not at hand."""
    try:
        if SOURCE_DIR is not None:
            with open(os.path.join(SOURCE_DIR, exp.get("source") or ""), "rb") as f:
                return f.read()
        if SOURCE_MBOX is not None and exp.get("mbox_offset") is not None:
            with open(SOURCE_MBOX, "rb") as f:
                f.seek(exp["mbox_offset"])
                data = f.read(1 << 20)
            data = data.split(b"\n", 1)[1] if data.startswith(b"From ") else data
            return re.split(rb"\n(?=From )", data, 1)[0]
    except (OSError, IndexError):
        pass
    return None


def source_fields(exp, name):
    """The values of one header field of the source message, or None when the source is not at hand."""
    import email
    data = source_message(exp)
    if data is None:
        return None
    header = re.split(rb"\r?\n\r?\n", data, 1)[0]
    return email.message_from_bytes(header + b"\n\n").get_all(name) or []


def base64_message_part(exp):
    """The source has a message/rfc822 part in base64."""
    data = source_message(exp) or b""
    for head in re.findall(rb"(?:^|\n)((?:Content-[^\n]*\n(?:[ \t][^\n]*\n)*)+)", data.replace(b"\r\n", b"\n"), re.I):
        if re.search(rb"Content-Type:\s*message/rfc822", head, re.I) and \
                re.search(rb"Content-Transfer-Encoding:\s*base64", head, re.I):
            return True
    return False


def decoded_words(text):
    import email.header
    try:
        return str(email.header.make_header(email.header.decode_header(text)))
    except Exception:
        return text


def sender_field_shown(exp, act):
    """A source without From whose Sender field names the one sender the reader shows."""
    import email.utils
    shown = addresses(act, "from")
    if exp.get("from") or len(shown) != 1:
        return False
    senders = source_fields(exp, "Sender")
    return bool(senders) and [a.lower() for _, a in email.utils.getaddresses(senders)] == shown


def explain_addresses(field, exp, act, reader):
    expected, actual = exp.get(field) or [], act.get(field) or []
    if field == "from" and reader == "readpst" and not [a for a in expected if a.get("addr")] and \
            addresses(act, "from") == ["mailer-daemon"]:
        return {READPST_DAEMON}
    if field == "from" and len(expected) > 1 and addresses(act, "from") == addresses(exp, "from")[:1]:
        return {ONE_SENDER}
    if field == "from" and sender_field_shown(exp, act):
        return {SENDER_AS_FROM}
    reasons, left = set(), list(actual)
    for e in expected:
        parts = [p.strip() for p in (e.get("addr") or "").split(";")]
        if len(parts) > 1 and all(parts) and [a.get("addr") for a in left[:len(parts)]] == parts:
            del left[:len(parts)]
            reasons.add(SEMICOLON_LIST)
            continue
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
            if quoted_name_taken(e, a):
                reasons.add(QUOTED_NAME_AS_ADDRESS)
                break
            if quoted_blanks_dropped(e, a):
                reasons.add(QUOTED_LOCAL_PART)
                break
            if "=?" in (a.get("addr") or "") and squeezed(decoded_words(a["addr"])).lower() == e.get("addr"):
                reasons.add(ENCODED_ADDRESS)
                break
        else:
            return None
        left.pop(i)
    return reasons if reasons and not left else None


def explain_body(exp, act, reader):
    if squeezed(norm(exp.get("body_text"))) == squeezed(norm(act.get("body_text"))) and \
            "\x00" in (exp.get("body_text") or ""):
        return {NUL_DROPPED}
    expected = exp.get("body_text") or ""
    if re.search(r"=\s", expected) and squeezed(re.sub(r"=(?=\s)", "", expected)) == squeezed(act.get("body_text")):
        return {QP_PADDED_SOFT_BREAK}
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
