#!/usr/bin/python3
"""Checks RTF and HTML item files against the facts of the messages they were made from.

    item_files_check.py ORACLE_DIR SOURCE_DIR ITEM_DIR NAME...

For each NAME, ITEM_DIR/NAME.rtf (read with `unrtf --html`) and ITEM_DIR/NAME.html must contain the
subject and the body text of SOURCE_DIR/NAME.eml as the oracle's facts.py sees them (white space
ignored), and the HTML file must hold no script: no script element, no on... attribute and no
javascript: or vbscript: URL. Prints a JSON summary: total, rtf_ok, html_ok and the failures.

Reading fixes, none of which concerns the files themselves:
- unrtf writes each half of a surrogate pair (RTF \\uN escapes of characters beyond U+FFFF) as its own
  numeric reference; the two are joined before the references are decoded.
- HTML decodes numeric references to U+0080..U+009F as Windows-1252 characters; unrtf's references
  to those control characters are taken as the characters they name.
- A <body> start tag ends an unclosed <head> (as browsers read it); the oracle's text extraction
  would skip the rest of the document.
- The import drops U+0000 (MAPI strings end at it), so it is not looked for.
"""
import html.parser
import json
import re
import subprocess
import sys
import unicodedata

sys.path.insert(0, sys.argv[1])
import facts as F  # noqa: E402


def key(text):
    return re.sub(r"\s+", "", unicodedata.normalize("NFC", text or "")).replace("\x00", "")


class PageText(F._HTMLText):
    def handle_starttag(self, tag, attrs):
        if tag == "body":
            self.skip = 0
        super().handle_starttag(tag, attrs)


def page_text(page):
    p = PageText()
    p.feed(page)
    p.close()
    return F.collapse("".join(p.out))


def unrtf_references(page):
    def pair(m):
        hi, lo = int(m.group(1)), int(m.group(2))
        return "&#%d;" % (0x10000 + ((hi - 0xD800) << 10) + (lo - 0xDC00))
    page = re.sub(r"&#(5[5-6]\d{3});&#(5[6-7]\d{3});",
                  lambda m: pair(m) if 0xD800 <= int(m.group(1)) < 0xDC00 <= int(m.group(2)) < 0xE000 else m.group(0), page)
    return re.sub(r"&#(1[2-5]\d);", lambda m: chr(int(m.group(1))) if 128 <= int(m.group(1)) < 160 else m.group(0), page)


class ActiveContent(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.found = []

    def handle_starttag(self, tag, attrs):
        if tag in ("script", "iframe", "object", "embed", "applet"):
            self.found.append("<%s>" % tag)
        for name, value in attrs:
            if name.startswith("on"):
                self.found.append("%s=" % name)
            if value and re.match(r"\s*(javascript|vbscript):", value, re.I):
                self.found.append("%s URL" % name)


def missing(text, fact, what):
    k = key(fact)
    return [] if not k or k in key(text) else ["%s not found: %r" % (what, (fact or "")[:80])]


def main():
    source_dir, item_dir, names = sys.argv[2], sys.argv[3], sys.argv[4:]
    summary = {"total": len(names), "rtf_ok": 0, "html_ok": 0, "failures": []}
    for name in names:
        with open("%s/%s.eml" % (source_dir, name), "rb") as fh:
            f = F.facts_from_bytes(fh.read())
        subject = f.get("subject")

        rtf = subprocess.run(["unrtf", "--html", "%s/%s.rtf" % (item_dir, name)], capture_output=True, timeout=300)
        rtf_text = page_text(unrtf_references(rtf.stdout.decode("utf-8", "replace"))) if rtf.returncode == 0 else ""
        problems = [] if rtf.returncode == 0 else ["unrtf failed"]
        problems += missing(rtf_text, subject, "subject") + missing(rtf_text, f.get("body_text"), "body")
        if problems:
            summary["failures"].append({"name": name, "file": "rtf", "problems": problems})
        else:
            summary["rtf_ok"] += 1

        with open("%s/%s.html" % (item_dir, name), encoding="utf-8", errors="replace") as fh:
            page = fh.read()
        checker = ActiveContent()
        checker.feed(page)
        html_text = page_text(page)
        body = f.get("html_text") if f.get("has_html") else f.get("body_text")
        problems = missing(html_text, subject, "subject") + missing(html_text, body, "body")
        problems += ["active content: " + ", ".join(checker.found)] if checker.found else []
        if problems:
            summary["failures"].append({"name": name, "file": "html", "problems": problems})
        else:
            summary["html_ok"] += 1
    json.dump(summary, sys.stdout, ensure_ascii=False, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
