#!/usr/bin/env python3
"""Loads the HTML that mbox2pst writes from hostile mail (show --html and convert --to html) in headless
Chromium, with a recorder on 127.0.0.1 that every attack points at: no script may run (each would set
the title and call the recorder) and no request may arrive. Each document is loaded as written and
again without its Content-Security-Policy, so the sanitiser is tested on its own too. The raw attack
HTML is loaded first as a control: it must run script and reach the recorder.

Usage: html_in_chromium.py MBOX2PST. Exits 77 (skipped) when Chromium is not installed."""
import glob
import html.parser
import http.server
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
from concurrent.futures import ThreadPoolExecutor

# Each attack: {R} is the recorder URL for it, {J} script that sets the title and calls the recorder.
VECTORS = [
    ("script", "<script>{J}</script>"),
    ("handlers", "<img src=x onerror=\"{J}\"><body onload=\"{J}\"><svg onload=\"{J}\"></svg>"),
    ("noscript", "<noscript><p title=\"</noscript><img src=x onerror={J}>\"></p></noscript>"),
    ("template", "<template><img src=x onerror=\"{J}\"></template>"),
    ("math-style", "<math><mtext><table><mglyph><style><img src=x onerror=\"{J}\"></style></mglyph></table></mtext></math>"),
    ("svg-style", "<svg><style><img src=x onerror=\"{J}\"></style></svg>"),
    ("svg-image", "<svg><image href=\"{R}\"/><image xlink:href=\"{R}x\"/></svg>"),
    ("feimage", "<svg><filter id=f><feImage href=\"{R}\"/></filter><rect filter=\"url(#f)\" width=9 height=9/></svg>"),
    ("svg-script", "<svg><script>{J}</script><a xlink:href=\"javascript:{J}\"><text>t</text></a></svg>"),
    ("style-escape", "<style></style><script>{J}</script></style>"),
    ("import", "<style>@import url({R});</style><style>@import '{R}x';</style>"),
    ("css-url", "<div style=\"background:url({R})\">a</div><div style=\"background:u\\72l({R}x)\">b</div>"),
    ("css-sheet", "<style>body{{background-image:url('{R}')}} p{{background:image-set('{R}x' 1x)}}</style>"),
    ("font-face", "<style>@font-face{{font-family:f;src:url({R})}} p{{font-family:f}}</style>"),
    ("srcset", "<img srcset=\"{R} 1x\"><picture><source srcset=\"{R}x\"><img src=\"{R}y\"></picture>"),
    ("img-src", "<img src=\"{R}\"><img src=\"  {R}x\"><input type=image src=\"{R}y\">"),
    ("background", "<table background=\"{R}\"><tr><td background=\"{R}x\">c</td></tr></table>"),
    ("base", "<base href=\"{R}/\"><img src=\"pic.png\">"),
    ("link", "<link rel=stylesheet href=\"{R}\"><link rel=preload as=image href=\"{R}x\"><link rel=prefetch href=\"{R}y\">"),
    ("meta-refresh", "<meta http-equiv=\"refresh\" content=\"0;url={R}\">"),
    ("form", "<form action=\"{R}\" id=f><input name=q value=1></form><button form=f formaction=\"{R}x\">b</button>"
             "<form action=\"{R}y\"><input type=submit autofocus></form>"),
    ("iframe", "<iframe src=\"{R}\"></iframe><iframe srcdoc=\"<script>{J}</script>\"></iframe>"),
    ("object", "<object data=\"{R}\"></object><embed src=\"{R}x\"><applet code=A codebase=\"{R}y\"></applet>"),
    ("media", "<video poster=\"{R}\" src=\"{R}x\"></video><audio src=\"{R}y\" autoplay></audio>"
              "<video><source src=\"{R}z\"><track src=\"{R}t\"></video>"),
    ("data-url", "<a href=\"data:text/html,<script>{J}</script>\">d</a><iframe src=\"data:text/html,<script>{J}</script>\"></iframe>"
                 "<object data=\"data:text/html,<script>{J}</script>\"></object>"),
    ("js-urls", "<a href=\"javascript:{J}\">a</a><a href=\"java&#x09;script:{J}\">b</a>"
                "<a href=\"&#106;avascript:{J}\">c</a><a href=\" JaVaScRiPt:{J}\">d</a>"
                "<iframe src=\"javascript:{J}\"></iframe><img src=\"javascript:{J}\">"),
    ("comment", "<!--<img src=x onerror=\"{J}\">--><!--[if gte mso 9]><script>{J}</script><![endif]-->"),
    ("title", "<title></title><img src=x onerror=\"{J}\"></title>"),
    ("textarea", "<textarea><img src=x onerror=\"{J}\"></textarea><xmp><script>{J}</script></xmp>"),
    ("select", "<select><style><img src=x onerror=\"{J}\"></style></select>"),
    ("details", "<details open ontoggle=\"{J}\"><summary>s</summary></details><marquee onstart=\"{J}\">m</marquee>"),
    ("svg-image-data", "<img src=\"data:image/svg+xml,<svg xmlns='http://www.w3.org/2000/svg'><image href='{R}'/></svg>\">"),
    ("keep-text", "<p>Text that stays</p>"),
]
# Vectors that take over the rest of the document: a message each.
LAST = [("plaintext", "<plaintext><script>{J}</script><img src=\"{R}\">")]


class Recorder(http.server.BaseHTTPRequestHandler):
    requests = []

    def answer(self):
        Recorder.requests.append(self.path)
        self.send_response(200)
        self.send_header("Content-Type", "image/gif")
        self.end_headers()
        self.wfile.write(b"GIF89a\x01\x00\x01\x00\x00\x00\x00;")

    do_GET = do_POST = do_HEAD = do_OPTIONS = answer

    def log_message(self, *args):
        pass


def chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        if shutil.which(name):
            return shutil.which(name)
    return None


def body_of(vectors, base):
    parts = []
    for name, template in vectors:
        recorder = f"{base}/{name}"
        script = f"document.title='XSS-{name}';new(Image)().src='{recorder}/js'"  # no spaces: fits unquoted
        parts.append("<div>" + template.format(R=recorder, J=script) + "</div>")
    return "\n".join(parts)


def mailbox(bodies):
    out = []
    for i, body in enumerate(bodies):
        out.append(f"From sender@example.com Mon Jan  1 00:00:0{i} 2024\nFrom: sender@example.com\n"
                   f"To: you@example.com\nSubject: attack {i}\nMIME-Version: 1.0\n"
                   f"Content-Type: text/html; charset=utf-8\n\n{body}\n\n")
    return "".join(out)


class DomCheck(html.parser.HTMLParser):
    """What in the DOM Chromium built may still load or run."""
    URL_ATTRIBUTES = {"href", "src", "action", "formaction", "xlink:href", "background", "poster", "data",
                      "srcset", "ping", "codebase", "cite", "longdesc", "srcdoc"}
    FORBIDDEN = {"script", "iframe", "object", "embed", "applet", "svg", "math", "form", "input", "button",
                 "base", "link", "video", "audio", "source", "template", "noscript", "frame", "textarea"}

    def __init__(self):
        super().__init__()
        self.problems = []

    def handle_starttag(self, tag, attrs):
        if tag in self.FORBIDDEN:
            self.problems.append(f"<{tag}>")
        if tag == "meta" and not any(k in ("charset", "http-equiv") for k, _ in attrs):
            self.problems.append("<meta>")
        if tag == "meta" and any(k == "http-equiv" and (v or "").lower() == "refresh" for k, v in attrs):
            self.problems.append("meta refresh")
        for key, value in attrs:
            value = (value or "").strip().lower()
            if key.startswith("on"):
                self.problems.append(f"{tag}[{key}]")
            elif key in self.URL_ATTRIBUTES and not (
                    value.startswith(("http://", "https://", "mailto:", "#", "cid:"))
                    or (value.startswith("data:image/") and not value.startswith("data:image/svg"))):
                self.problems.append(f"{tag}[{key}={value[:40]}]")
            elif key in ("href", "src", "background") and "127.0.0.1" in value:
                self.problems.append(f"{tag}[{key}] to the recorder")


def load(browser, path, profile):
    result = subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                             "--disable-extensions", "--disable-background-networking", "--mute-audio",
                             f"--user-data-dir={profile}", "--virtual-time-budget=3000", "--dump-dom",
                             "file://" + path], capture_output=True, text=True, timeout=120)
    return result.stdout


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    browser = chromium()
    if not browser:
        print("Chromium is not installed: skipped")
        return 77
    program = sys.argv[1]
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Recorder)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_address[1]}"
    failures = []
    with tempfile.TemporaryDirectory() as work:
        groups = [VECTORS] + [[vector] for vector in LAST]
        bodies = [body_of(group, base) for group in groups]
        mbox = os.path.join(work, "attacks.mbox")
        with open(mbox, "w", encoding="utf-8") as f:
            f.write(mailbox(bodies))
        common = [program, "--no-progress", "--log-dir", work]
        documents = []
        for i in range(len(bodies)):
            out = os.path.join(work, f"show-{i}.html")
            subprocess.run(common + ["show", mbox, str(i), "--html", out], check=True, capture_output=True)
            documents.append(out)
        dest = os.path.join(work, "converted")
        os.mkdir(dest)
        subprocess.run(common + ["convert", mbox, "--to", "html", "--dest", dest], check=True, capture_output=True)
        converted = sorted(glob.glob(os.path.join(dest, "**", "*.html"), recursive=True))
        if len(converted) != len(bodies):
            failures.append(f"convert --to html wrote {len(converted)} documents, not {len(bodies)}")
        documents += converted

        # Each document as written and without its policy; the raw attack HTML as the control.
        pages = []
        for path in documents:
            text = open(path, encoding="utf-8").read()
            bare = path[:-5] + "-without-policy.html"
            with open(bare, "w", encoding="utf-8") as f:
                f.write(re.sub(r'<meta http-equiv="Content-Security-Policy"[^>]*>', "", text, count=1))
            pages += [path, bare]
        control = os.path.join(work, "control.html")
        with open(control, "w", encoding="utf-8") as f:
            f.write("<!DOCTYPE html><html><head><title>control</title></head><body>" + bodies[0] + "</body></html>")

        def run(index_and_page):
            index, page = index_and_page
            return page, load(browser, page, os.path.join(work, f"profile-{index}"))

        dom = load(browser, control, os.path.join(work, "profile-control"))
        fired = sorted({p.split("/")[1] for p in Recorder.requests})  # the vectors' names
        print(f"control: the raw attacks reached the recorder from {len(fired)} vectors: {' '.join(fired)}")
        if "/script/js" not in Recorder.requests or len(fired) < 5:
            failures.append("control: the raw attacks did not run in Chromium, so the check proves nothing")
        Recorder.requests.clear()

        with ThreadPoolExecutor(max_workers=2) as pool:
            for page, dom in pool.map(run, enumerate(pages)):
                name = os.path.relpath(page, work)
                if "<body" not in dom:
                    failures.append(f"{name}: Chromium gave no document")
                    continue
                if re.search(r"<title>[^<]*XSS", dom):
                    failures.append(f"{name}: script ran ({re.search(r'XSS [^<]*', dom).group(0)})")
                check = DomCheck()
                check.feed(dom)
                failures += [f"{name}: {problem}" for problem in check.problems]
                if "show-0" in page or "attack 0" in dom:
                    if "Text that stays" not in dom:
                        failures.append(f"{name}: the ordinary text is missing")
        for path in Recorder.requests:
            failures.append(f"request arrived: {path}")
    server.shutdown()
    print(f"loaded {len(pages)} documents in Chromium")
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
