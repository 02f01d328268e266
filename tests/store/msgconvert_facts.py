#!/usr/bin/python3
"""Facts of .msg files read back with msgconvert, with and without undoing msgconvert's own artefacts.

    msgconvert_facts.py ORACLE_DIR SOURCE_DIR MSG_DIR OUT_PREFIX NAME...

For each NAME, MSG_DIR/NAME.msg is converted with msgconvert (one process for all files, one per file
when that fails) and SOURCE_DIR/NAME.eml is the message it was made from. Writes
  OUT_PREFIX.raw.json        facts of msgconvert's output as it is (what msg_facts.py gives)
  OUT_PREFIX.json            facts after undoing the artefacts below
  OUT_PREFIX.fixes.json      which artefact was undone in which message
Every record carries msg_structure from msg_facts.check_structure (olefile).

Artefacts of msgconvert 0.921 with Email::MIME 1.953 that are undone (none of them is in the .msg file):
  wide-header   A header value with a character above U+00FF makes Perl write the whole message as
                UTF-8, so the 8-bit body octets are encoded twice; the body is turned back into octets.
  generated-cid Email::MIME gives every part of a multipart with three or more parts a new
                Content-ID (or an empty one), which makes an inline body part read as an attachment; Content-IDs that
                do not occur in the source message are removed.
  ascii-name    Next to a correct RFC 2231 name*= / filename*= parameter Email::MIME writes an ASCII
                transliteration as name= / filename=, which the oracle prefers; it is removed.
  invented-date Without a submit time in the .msg file msgconvert puts the conversion time in a
                Date field; it is removed.
  dsn-encoding  msgconvert writes every attachment in base64. Python's email package splits a
                message/delivery-status part into header blocks (another message/* part but
                message/rfc822 into a header and body) (and the oracle hashes their
                re-serialisation) only when it is not base64-encoded; such parts are decoded back.
"""
import base64
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile


CID_RE = re.compile(rb"^Content-ID: *(?:<([^>\r\n]*)>)? *\r?\n", re.M | re.I)
# name*=...; or name*0*=...; name*1*=...; (or name*0=...; name*1=...;) followed by the plain name=... fallback.
ASCII_NAME_RE = re.compile(rb"((?:file)?name)(\*(?:0\*?)?=[^;\r\n]*;(?:\s*\1\*\d+\*?=[^;\r\n]*;)*)\s*\1=(\"[^\"]*\"|[^;\r\n]*)",
                           re.I)


DSN_RE = re.compile(rb"((?:^[^\r\n]+\r?\n)*?Content-Type: message/(?!rfc822|global\b)[\w.+-]+[^\n]*\n(?:^[^\r\n]+\r?\n)*?)"
                    rb"Content-Transfer-Encoding: base64(\r?\n(?:^[^\r\n]+\r?\n)*\r?\n)([A-Za-z0-9+/=\r\n]*?)(?=\r?\n--)",
                    re.M | re.I)


def header_end(data):
    m = re.search(rb"\r?\n\r?\n", data)
    return m.end() if m else len(data)


def has_submit_time(msg_path):
    try:
        import olefile
        ole = olefile.OleFileIO(msg_path)
        try:
            data = ole.openstream("__properties_version1.0").read()
        finally:
            ole.close()
        # 16-byte entries after the 32-byte header of a top-level message; the tag's id in bytes 2..3.
        return any(int.from_bytes(data[i + 2:i + 4], "little") == 0x0039 for i in range(32, len(data) - 15, 16))
    except Exception:
        return True


def perl_octets(text):
    """The bytes of a Perl string printed without an encoding layer after it was upgraded: characters
    up to U+00FF stood for octets, wider ones for themselves (written as UTF-8)."""
    return b"".join(bytes([ord(c)]) if ord(c) <= 0xFF else c.encode("utf-8") for c in text)


def undo_artefacts(data, source, msg_path):
    fixes = []
    try:
        text = data.decode("utf-8")
        if any(ord(c) > 0xFF for c in text):
            end = header_end(data)
            head = data[:end]
            body = perl_octets(text[len(head.decode("utf-8")):])
            # A wide character in the header shows the whole message was upgraded. Without one, only
            # octets that form UTF-8 again show it (text bodies are written in UTF-8); a UTF-8 body
            # with wide characters under a header of encoded words is written as it is.
            if not any(ord(c) > 0xFF for c in head.decode("utf-8")):
                body.decode("utf-8")
            data = head + body
            fixes.append("wide-header")
    except UnicodeDecodeError:
        pass
    end = header_end(data)
    head, body = data[:end], data[end:]
    if not has_submit_time(msg_path):
        def drop_date(m):
            if m.group(2).strip() and m.group(2).strip() in source:
                return m.group(0)
            fixes.append("invented-date")
            return m.group(1)
        head = re.sub(rb"(^|\n)Date: ([^\r\n]*)\r?\n", drop_date, head, count=1)
    data = head + body

    def drop_cid(m):
        if m.group(1) and m.group(1) in source:
            return m.group(0)
        fixes.append("generated-cid")
        return b""
    data = CID_RE.sub(drop_cid, data)

    def decode_dsn(m):
        fixes.append("dsn-encoding")
        decoded = base64.b64decode(m.group(3))
        if b"\r\n" not in data:
            decoded = decoded.replace(b"\r\n", b"\n")
        return m.group(1) + b"Content-Transfer-Encoding: 7bit" + m.group(2) + decoded
    data = DSN_RE.sub(decode_dsn, data)

    def drop_ascii(m):
        fixes.append("ascii-name")
        return m.group(1) + m.group(2)
    data = ASCII_NAME_RE.sub(drop_ascii, data)
    return data, sorted(set(fixes))


def convert(msg_paths, work):
    """Runs msgconvert; returns {msg path: (eml bytes or None, error text)}."""
    out = {}
    batch = subprocess.run(["msgconvert"] + msg_paths, cwd=work, capture_output=True, timeout=3600)
    for p in msg_paths:
        eml = os.path.join(work, os.path.splitext(os.path.basename(p))[0] + ".eml")
        if batch.returncode != 0 or not os.path.exists(eml):
            one = subprocess.run(["msgconvert", "--outfile", eml, p], capture_output=True, timeout=600)
            if one.returncode != 0 or not os.path.exists(eml):
                out[p] = (None, one.stderr.decode("utf-8", "replace")[-300:])
                continue
        with open(eml, "rb") as fh:
            out[p] = (fh.read(), "")
    return out


def main():
    sys.path.insert(0, sys.argv[1])
    global F, msg_facts
    import facts as F  # noqa: E402
    import msg_facts  # noqa: E402
    source_dir, msg_dir, prefix, names = sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:]
    msgs = [os.path.join(msg_dir, n + ".msg") for n in names]
    work = tempfile.mkdtemp(prefix="msgconvert_facts.")
    try:
        converted = convert(msgs, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    raw, fixed, log = [], [], {}
    for i, (name, path) in enumerate(zip(names, msgs), 1):
        data, error = converted[path]
        structure = msg_facts.check_structure(path)
        label = os.path.basename(path)
        if data is None:
            rec = {"source": label, "index": i, "kind": "error", "error": "msgconvert: " + error,
                   "msg_structure": structure}
            raw.append(rec)
            fixed.append(rec)
            continue
        with open(os.path.join(source_dir, name + ".eml"), "rb") as fh:
            source = fh.read()
        r = F.facts_from_bytes(data, source=label, index=i)
        r["msg_structure"] = structure
        raw.append(r)
        clean, fixes = undo_artefacts(data, source, path)
        c = F.facts_from_bytes(clean, source=label, index=i)
        c["msg_structure"] = structure
        fixed.append(c)
        if fixes:
            log[name] = fixes
    for suffix, value in ((".raw.json", raw), (".json", fixed), (".fixes.json", log)):
        with open(prefix + suffix, "w", encoding="utf-8") as fh:
            json.dump(value, fh, ensure_ascii=False, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
