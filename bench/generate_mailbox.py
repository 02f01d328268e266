#!/usr/bin/env python3
"""Writes a deterministic, realistic mailbox of about the requested size from the message templates
in bench/templates: varied senders, subjects, dates, bodies, multipart messages and base64
attachments of varied sizes.

    generate_mailbox.py OUT SIZE [--eol lf|crlf] [--format mbox|imm] [--seed N]

SIZE accepts K, M and G suffixes (powers of 1024). With --format imm the messages carry no "From "
lines and are split only by their MIME-Version headers (CR LF line ends), as in .imm mailboxes.
"""
import argparse
import base64
import os
import random
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
WORDS = ("the report meeting budget quarter project review draft figures schedule customer order "
         "invoice travel lunch holiday update release server backup network office contract plan "
         "team note question answer thanks regards please attached below see agenda minutes cafe "
         "Köln Zürich naïve résumé déjà vu").split()
NAMES = ["Ann Example", "Bob Sample", "Carol Jones", "Dora Müller", "Erik Åström", "Fay O'Neil",
         "Gus Smith", "Hana Sato", "Ivan Petrov", "Jo Brown"]
TYPES = [("application/pdf", "pdf"), ("image/png", "png"), ("application/zip", "zip"),
         ("text/csv", "csv"), ("application/vnd.ms-excel", "xls")]


def size_arg(text):
    units = {"K": 1 << 10, "M": 1 << 20, "G": 1 << 30}
    text = text.strip().upper()
    if text and text[-1] in units:
        return int(float(text[:-1]) * units[text[-1]])
    return int(text)


def load_templates():
    folder = os.path.join(HERE, "templates")
    names = sorted(n for n in os.listdir(folder) if n.endswith(".eml"))
    return [open(os.path.join(folder, n), encoding="utf-8").read() for n in names]


class Generator:
    def __init__(self, seed):
        self.rng = random.Random(seed)
        self.templates = load_templates()
        # Weights: mostly small text messages, some with attachments.
        self.weights = [4, 1, 2, 4, 3][: len(self.templates)]  # alternative, attachment, forwarded, html_qp, plain
        self.blob = bytes(self.rng.getrandbits(8) for _ in range(1 << 16))
        self.count = 0

    def sentence(self):
        words = [self.rng.choice(WORDS) for _ in range(self.rng.randint(6, 16))]
        return " ".join(words).capitalize() + "."

    def paragraphs(self, n):
        return ["\n".join(self.sentence() for _ in range(self.rng.randint(1, 4))) for _ in range(n)]

    def attachment(self):
        kib = self.rng.choices([2, 8, 30, 120, 400, 1500], weights=[30, 30, 20, 12, 6, 2])[0]
        size = int(kib * 1024 * self.rng.uniform(0.5, 1.5))
        data = (self.blob * (size // len(self.blob) + 1))[:size]
        encoded = base64.encodebytes(data).decode("ascii").rstrip("\n")
        kind, ext = self.rng.choice(TYPES)
        return kind, "file%d.%s" % (self.count, ext), encoded

    def message(self):
        self.count += 1
        rng = self.rng
        paras = self.paragraphs(rng.randint(1, 8))
        body = "\n\n".join(paras)
        if rng.random() < 0.05:
            body += "\n\nFrom the notes of the meeting: quoted as >From in the mailbox."
        when = 1577836800 + self.count * 3607 + rng.randint(0, 3000)
        date = time.strftime("%a, %d %b %Y %H:%M:%S +0000", time.gmtime(when))
        sender, recipient, copy = rng.sample(NAMES, 3)
        addr = lambda name: name.split()[0].lower().replace("'", "") + "@example.com"
        kind, name, encoded = self.attachment()
        subject = "%s %s (%d)" % (rng.choice(WORDS).capitalize(), rng.choice(WORDS), self.count)
        values = {
            "from_name": sender, "from_addr": addr(sender), "to_name": recipient, "to_addr": addr(recipient),
            "cc_name": copy, "cc_addr": addr(copy), "subject": subject,
            "subject_q": subject.replace(" ", "_").replace("(", "=28").replace(")", "=29"),
            "date": date, "msgid": "m%d.%d@example.com" % (self.count, when),
            "msgid_short": "id%d" % self.count, "parent_msgid": "m%d@example.com" % (self.count - 1),
            "boundary": "=_b%08x" % rng.getrandbits(32), "body": body,
            "body_qp": body.replace("=", "=3D"),
            "body_html": "".join("<p>%s</p>\n" % p.replace("\n", "<br>\n") for p in paras),
            "attachment_type": kind, "attachment_name": name, "attachment_base64": encoded,
        }
        template = rng.choices(self.templates, weights=self.weights)[0]
        return template.format(**values)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("out")
    parser.add_argument("size", type=size_arg)
    parser.add_argument("--eol", choices=["lf", "crlf"], default="lf")
    parser.add_argument("--format", choices=["mbox", "imm"], default="mbox")
    parser.add_argument("--seed", type=int, default=20261210)
    args = parser.parse_args()
    eol = "\r\n" if args.eol == "crlf" or args.format == "imm" else "\n"
    gen = Generator(args.seed)
    written = 0
    with open(args.out, "wb") as out:
        while written < args.size:
            text = gen.message()
            if args.format == "mbox":
                lines = text.split("\n")
                lines = [">" + l if l.startswith("From ") else l for l in lines]
                text = "From %s %s\n" % ("bench@example.com", "Thu Jan  1 00:00:00 2026") + "\n".join(lines) + "\n"
            else:
                # .imm messages open with a Date line so that their MIME-Version line follows an LF.
                text = text.replace("MIME-Version: 1.0\n", "")
                head, _, rest = text.partition("\n")
                text = "X-IM-Received: %d\nMIME-Version: 1.0\n%s\n%s" % (gen.count, head, rest)
            data = text.replace("\n", eol).encode("utf-8")
            out.write(data)
            written += len(data)
    print("%s: %d messages, %d bytes" % (args.out, gen.count, written), file=sys.stderr)


if __name__ == "__main__":
    main()
