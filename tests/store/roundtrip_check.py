#!/usr/bin/python3
"""Round trips of item files through independent readers, with nothing but the repository, Python's
email package, python3-olefile, msgconvert and unrtf.

    roundtrip_check.py SOURCE_DIR ITEM_DIR NAME...

SOURCE_DIR/NAME.eml is the message; ITEM_DIR holds what was made of it, any of NAME.msg,
NAME.props.msg (written without the transport headers, so that msgconvert rebuilds the header from
the properties), NAME.rtf and NAME.html. Checks:
  msg   olefile finds the required streams and storages; msgconvert's reading (its own artefacts
        undone, see msgconvert_facts.py) has the source's subject, sender, To and Cc addresses, date,
        body text and attachments (names and SHA-256; embedded messages by subject).
  rtf   the text unrtf reads holds the subject and the body text.
  html  the document's text holds the subject and the body text, and it holds no script.
White space is ignored in texts. Prints a JSON summary: per format the files checked and the files
that passed, and the failures.
"""
import email
import email.header
import email.message
import email.policy
import email.utils
import hashlib
import html.parser
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unicodedata

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import msgconvert_facts  # noqa: E402


def key(text):
    return re.sub(r"\s+", "", unicodedata.normalize("NFC", text or "")).replace("\x00", "")


def header_text(value):
    """A header value as text: raw 8-bit octets as UTF-8 when valid, else Windows-1252; encoded words
    decoded."""
    if value is None:
        return ""
    if any("\udc80" <= c <= "\udcff" for c in value):
        raw = value.encode("utf-8", "surrogateescape")
        try:
            value = raw.decode("utf-8")
        except UnicodeDecodeError:
            value = raw.decode("windows-1252", "replace")
    try:
        return str(email.header.make_header(email.header.decode_header(value)))
    except Exception:
        return value


class Text(html.parser.HTMLParser):
    """The text a reader sees: no head, script or style; also notes active content."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.out, self.skip, self.active = [], 0, []

    def handle_starttag(self, tag, attrs):
        if tag == "body":
            self.skip = 0
        if tag in ("script", "style", "head"):
            self.skip += 1
        if tag == "script":
            self.active.append("script element")
        for name, value in attrs:
            if name.startswith("on") or re.match(r"\s*(java|vb)script:", value or "", re.I):
                self.active.append("%s=%s" % (name, value))

    def handle_endtag(self, tag):
        if tag in ("script", "style", "head") and self.skip:
            self.skip -= 1

    def handle_data(self, data):
        if not self.skip:
            self.out.append(data)


def html_text(markup):
    parser = Text()
    parser.feed(markup)
    parser.close()
    return "".join(parser.out), parser.active


def part_text(part):
    payload = part.get_payload(decode=True) or b""
    for charset in (part.get_content_charset(), "utf-8", "windows-1252"):
        try:
            if charset:
                return payload.decode(charset)
        except (LookupError, UnicodeDecodeError):
            continue
    return payload.decode("latin-1")


def file_name(part):
    name = part.get_filename()
    return header_text(name) if name else None


def leaves(part):
    """Leaf parts in order; an embedded message is a leaf (checked by its subject only)."""
    if part.get_content_type() == "message/rfc822" or not part.is_multipart():
        yield part
        return
    for sub in part.get_payload():
        yield from leaves(sub)


def raw_headers(message, name):
    return [v for k, v in message.raw_items() if k.lower() == name]


def facts(data):
    message = email.message_from_bytes(data, policy=email.policy.compat32)
    f = {"subject": " ".join(header_text((raw_headers(message, "subject") or [""])[0]).split())}
    for field in ("from", "to", "cc"):
        values = [header_text(v) for v in raw_headers(message, field)]
        f[field] = sorted(a.lower() for _, a in email.utils.getaddresses(values) if a)
    try:
        f["date"] = int(email.utils.parsedate_to_datetime(message["Date"]).timestamp())
    except Exception:
        f["date"] = None
    plain, markup, attachments = None, None, []
    for part in leaves(message):
        name = file_name(part)
        disposition = (part.get("Content-Disposition") or "").split(";")[0].strip().lower()
        if part.get_content_type() == "message/rfc822":
            inner = part.get_payload()
            inner = inner[0] if isinstance(inner, list) and inner else inner
            subject = header_text((raw_headers(inner, "subject") or [""])[0]) \
                if isinstance(inner, email.message.Message) else ""
            attachments.append(("message", " ".join(subject.split())))
        elif name or disposition == "attachment":
            attachments.append((name or "", hashlib.sha256(part.get_payload(decode=True) or b"").hexdigest()))
        elif part.get_content_type() == "text/plain" and plain is None:
            plain = part_text(part)
        elif part.get_content_type() == "text/html" and markup is None:
            markup = part_text(part)
    f["body"] = plain if plain is not None else html_text(markup or "")[0]
    f["html_body"] = html_text(markup)[0] if markup is not None else f["body"]
    f["attachments"] = sorted(attachments)
    return f


def check_msg(source, path, data, failures, name):
    structure = msg_structure(path)
    if structure:
        failures.append({"name": name, "format": "msg", "field": "structure", "actual": structure})
        return False
    if data is None:
        failures.append({"name": name, "format": "msg", "field": "msgconvert", "actual": "no output"})
        return False
    data, _ = msgconvert_facts.undo_artefacts(data, source, path)
    expected, actual = facts(source), facts(data)
    # msgconvert rebuilds To and Cc from the display names when the transport headers are absent, so the
    # recipients table is read directly.
    actual.update(msg_recipients(path))
    ok = True
    for field in ("subject", "from", "to", "cc", "date", "body", "attachments"):
        e, a = expected[field], actual[field]
        if field in ("subject", "body"):
            e, a = key(e), key(a)
        if e != a:
            failures.append({"name": name, "format": os.path.basename(path), "field": field, "expected": e,
                             "actual": a})
            ok = False
    return ok


def msg_recipients(path):
    """SMTP addresses of the recipients table by type ("to", "cc"), read with olefile."""
    import olefile
    out = {"to": [], "cc": []}
    with olefile.OleFileIO(path) as ole:
        for entry in ole.listdir(streams=False, storages=True):
            if len(entry) != 1 or not entry[0].startswith("__recip_version1.0_#"):
                continue
            props = ole.openstream(entry[0] + "/__properties_version1.0").read()
            kind = None
            for i in range(8, len(props) - 15, 16):
                if props[i:i + 4] == b"\x03\x00\x15\x0c":  # PidTagRecipientType
                    kind = {1: "to", 2: "cc"}.get(int.from_bytes(props[i + 8:i + 12], "little"))
            for stream in ("__substg1.0_39FE001F", "__substg1.0_3003001F"):
                if kind and ole.exists(entry[0] + "/" + stream):
                    out[kind].append(ole.openstream(entry[0] + "/" + stream).read().decode("utf-16-le").lower())
                    break
    return {k: sorted(v) for k, v in out.items()}


def msg_structure(path):
    """What olefile misses in a .msg file (empty when everything required is there)."""
    import olefile
    if not olefile.isOleFile(path):
        return ["not a compound file"]
    missing = []
    with olefile.OleFileIO(path) as ole:
        entries = ole.listdir(streams=True, storages=True)
        top = {e[0] for e in entries if len(e) == 1}
        for required in ("__properties_version1.0", "__nameid_version1.0", "__substg1.0_001A001F",
                         "__substg1.0_0037001F"):
            if required not in top:
                missing.append(required)
        subs = sorted(n for n in top if n.startswith(("__recip_version1.0_#", "__attach_version1.0_#")))
        missing += [s + "/__properties_version1.0" for s in subs if not ole.exists(s + "/__properties_version1.0")]
        header = ole.openstream("__properties_version1.0").read()[16:24] if "__properties_version1.0" in top else b""
        counts = (sum(s.startswith("__recip") for s in subs), sum(s.startswith("__attach") for s in subs))
        if len(header) == 8 and (int.from_bytes(header[:4], "little"), int.from_bytes(header[4:], "little")) != counts:
            missing.append("counts in the property header differ from the storages")
    return missing


def unrtf_text(path):
    out = subprocess.run(["unrtf", "--html", path], capture_output=True, timeout=120).stdout.decode("utf-8", "replace")
    # unrtf writes each half of a surrogate pair as its own reference.
    out = re.sub(r"&#(5[5-6]\d{3});&#(5[6-7]\d{3});",
                 lambda m: chr(0x10000 + ((int(m.group(1)) - 0xD800) << 10) + int(m.group(2)) - 0xDC00), out)
    return html_text(out)[0]


def check_text(expected, text, fmt, name, failures):
    ok = True
    for field in ("subject", "html_body" if fmt == "html" else "body"):
        if key(expected[field]) not in key(text):
            failures.append({"name": name, "format": fmt, "field": field, "expected": expected[field][:200],
                             "actual": text[:400]})
            ok = False
    return ok


def main():
    source_dir, item_dir, names = sys.argv[1], sys.argv[2], sys.argv[3:]
    summary = {"msg": [0, 0], "props.msg": [0, 0], "rtf": [0, 0], "html": [0, 0]}
    failures = []
    msgs = [os.path.join(item_dir, n + "." + f) for n in names for f in ("msg", "props.msg")]
    msgs = [p for p in msgs if os.path.exists(p)]
    work = tempfile.mkdtemp(prefix="roundtrip_check.")
    try:
        converted = msgconvert_facts.convert(msgs, work) if msgs else {}
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for name in names:
        with open(os.path.join(source_dir, name + ".eml"), "rb") as fh:
            source = fh.read()
        expected = facts(source)
        for fmt in summary:
            path = os.path.join(item_dir, name + "." + fmt)
            if not os.path.exists(path):
                continue
            summary[fmt][0] += 1
            if fmt.endswith("msg"):
                ok = check_msg(source, path, converted[path][0], failures, name)
            elif fmt == "rtf":
                ok = check_text(expected, unrtf_text(path), fmt, name, failures)
            else:
                with open(path, encoding="utf-8", errors="replace") as fh:
                    text, active = html_text(fh.read())
                ok = check_text(expected, text, fmt, name, failures)
                if active:
                    failures.append({"name": name, "format": fmt, "field": "script", "actual": active})
                    ok = False
            summary[fmt][1] += ok
    print(json.dumps({"checked": {k: v[0] for k, v in summary.items()},
                      "passed": {k: v[1] for k, v in summary.items()}, "failures": failures},
                     ensure_ascii=False, indent=1))
    return 0


if __name__ == "__main__":
    sys.exit(main())
