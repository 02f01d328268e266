#!/usr/bin/python3
"""The mailboxes people have, converted by mbox2pst and read back by independent readers.

    mailbox_shapes_e2e.py MBOX2PST [ORACLE_DIR]

Builds a Gmail-style mbox (labels and state), a Thunderbird-shaped tree (.sbd, .msf, X-Mozilla-Status),
an Apple Mail bundle, an mboxrd and an mboxcl2 mailbox; converts them and checks folders, placement and
flags with readpst and pffexport, pst-extractor where ORACLE_DIR has it installed, and olefile for MSG
files where it is installed. Exits 77 (skipped) without readpst or pffexport.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

FAILURES = []

MSGFLAG_READ = 0x1
ICON_REPLIED, ICON_FORWARDED = 0x105, 0x106
VERB_REPLY, VERB_FORWARD = 102, 104
FLAGGED = 2


def check(condition, text):
    if not condition:
        FAILURES.append(text)
        print("FAIL:", text)


def message(subject, headers="", body="Body\n"):
    return ("From sender@example.com Mon Jan  1 10:00:00 2024\n" + headers +
            "From: A <a@example.com>\nTo: b@example.com\nSubject: " + subject +
            "\nDate: Mon, 1 Jan 2024 10:00:00 +0000\nContent-Type: text/plain\n\n" + body + "\n")


GMAIL = [  # subject, labels
    ("inbox read", "Inbox,Opened,Important,Work/Projects"),
    ("inbox unread", "Unread,Inbox,Category Updates"),
    ("sent", "Sent,Opened"),
    ("starred", "Starred,Opened,\"Family, Friends\""),
    ("trashed", "Trash,Opened"),
    ("spam", "Spam,Unread"),
    ("state only", "Opened"),
    ("encoded label", "=?UTF-8?Q?Re=C3=A7u?=,Opened"),
]


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)


def make_sources(root):
    write(os.path.join(root, "gmail.mbox"),
          "".join(message(s, "X-GM-THRID: 1\nX-Gmail-Labels: %s\n" % labels) for s, labels in GMAIL))
    tb = os.path.join(root, "profile", "Mail", "Local Folders")
    write(os.path.join(tb, "Inbox"), message("tb read", "X-Mozilla-Status: 0001\n") +
          message("tb unread", "X-Mozilla-Status: 0000\n") + message("tb replied flagged", "X-Mozilla-Status: 0007\n"))
    write(os.path.join(tb, "Inbox.msf"), "// <!-- <mdb:mork:z v=\"1.4\"/> -->\n")
    write(os.path.join(tb, "Inbox.sbd", "Work"), message("tb forwarded", "X-Mozilla-Status: 1001\n"))
    write(os.path.join(tb, "Inbox.sbd", "Work.msf"), "// mork\n")
    write(os.path.join(tb, "Inbox.sbd", "Work.sbd", "Deep"), message("tb classic", "Status: O\nX-Status: AF\n"))
    write(os.path.join(tb, "filterlog.html"), "<html></html>\n")
    write(os.path.join(root, "apple", "Archive.mbox", "mbox"), message("apple one") + message("apple two"))
    write(os.path.join(root, "apple", "Archive.mbox", "Info.plist"), "<plist/>\n")
    write(os.path.join(root, "rd.mbox"), message("rd", body=">From the start\n>>From deeper\n"))
    body = "one\nFrom inside the body\nlast\n"
    write(os.path.join(root, "cl2.mbox"),
          message("cl one", "Content-Length: %d\n" % len(body), body) + message("cl two", "Content-Length: 2\n", "x\n"))
    return tb


def run(argv, **kwargs):
    return subprocess.run(argv, capture_output=True, text=True, errors="replace", **kwargs)


def convert(tool, work, args):
    result = run([tool, "--log-dir", os.path.join(work, "logs"), "--no-progress"] + args)
    check(result.returncode == 0, "mbox2pst %s: exit %d\n%s" % (args, result.returncode, result.stderr))
    return result


# ---- readers ----------------------------------------------------------------------------------------------

def readpst_tree(pst, out):
    """{folder path below the store: sorted subjects} as readpst -S writes them."""
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    run(["readpst", "-S", "-D", "-j", "0", "-q", "-o", out, pst])
    tree = {}
    for top in os.listdir(out):
        base = os.path.join(out, top)
        for folder, _dirs, files in os.walk(base):
            rel = os.path.relpath(folder, base).replace(os.sep, "/")
            subjects = []
            for name in files:
                with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
                    found = re.search(r"^Subject: (.*)$", f.read(), re.M)
                subjects.append(found.group(1).strip() if found else "?")
            tree[rel] = sorted(subjects)
    return tree


def parse_item_values(path):
    props, tag, vtype, data = {}, None, None, bytearray()
    with open(path, encoding="utf-8", errors="replace") as f:
        lines = f.read().splitlines() + [""]
    for line in lines:
        if line.startswith("Entry type:"):
            tag, data = int(line.split(":", 1)[1], 16), bytearray()
        elif line.startswith("Value type:"):
            vtype = int(line.split(":", 1)[1], 16)
        elif line.startswith("0x") and tag is not None:
            data.extend(bytes.fromhex("".join(t for t in line[12:61].split() if re.fullmatch(r"[0-9a-fA-F]{2}", t))))
        elif not line.strip() and tag is not None:
            props[tag] = (vtype, bytes(data))
            tag = None
    return props


def int_prop(props, tag):
    value = props.get(tag)
    return struct.unpack("<i", value[1][:4])[0] if value and len(value[1]) >= 4 else None


def pffexport_states(pst, out):
    """{subject: (flags, icon, verb, flag status)} from pffexport's property dump."""
    shutil.rmtree(out + ".export", ignore_errors=True)
    run(["pffexport", "-d", "-q", "-t", out, pst])
    states = {}
    for folder, _dirs, files in os.walk(out + ".export"):
        if not re.search(r"Message\d+$", folder) or "ItemValues.txt" not in files:
            continue
        props = parse_item_values(os.path.join(folder, "ItemValues.txt"))
        subject = props.get(0x0037, (0, b""))[1].decode("utf-16-le", "replace").rstrip("\x00")
        if subject[:1] == "\x01":  # Outlook's marker: U+0001 and the prefix length
            subject = subject[2:]
        states[subject] = (int_prop(props, 0x0E07), int_prop(props, 0x1080), int_prop(props, 0x1081),
                           int_prop(props, 0x1090))
    return states


EXTRACTOR = r"""
const path = require('path');
const { PSTFile } = require(path.join(process.argv[1], 'node_modules', 'pst-extractor'));
const out = [];
function walk(folder, prefix) {
  if (folder.contentCount > 0) {
    for (let m = folder.getNextChild(); m; m = folder.getNextChild())
      out.push({folder: prefix, subject: m.subject, read: m.isRead, icon: m.iconIndex,
                verb: m.lastVerbExecuted, flag: m.getIntItem(0x1090)});
  }
  if (folder.hasSubfolders)
    for (const sub of folder.getSubFolders()) walk(sub, prefix ? prefix + '/' + sub.displayName : sub.displayName);
}
walk(new PSTFile(process.argv[2]).getRootFolder(), '');
console.log(JSON.stringify(out));
"""


def extractor_items(oracle, pst):
    import json
    result = run(["node", "-e", EXTRACTOR, oracle, pst])
    check(result.returncode == 0, "pst-extractor: " + result.stderr)
    return json.loads(result.stdout or "[]")


def msg_state(path):
    """(flags, icon, verb, flag status) from an .msg file's property stream."""
    import olefile
    with olefile.OleFileIO(path) as ole:
        data = ole.openstream("__properties_version1.0").read()
    values = {}
    for at in range(32, len(data) - 15, 16):
        tag, _flags, value = struct.unpack("<IIQ", data[at:at + 16])
        values[tag >> 16] = value & 0xFFFFFFFF
    return tuple(values.get(t) for t in (0x0E07, 0x1080, 0x1081, 0x1090))


# ---- checks -----------------------------------------------------------------------------------------------

def expect_state(states, subject, read, icon=None, verb=None, flag=None, reader="pffexport"):
    got = states.get(subject)
    check(got is not None, "%s: no message %r" % (reader, subject))
    if got is None:
        return
    flags, got_icon, got_verb, got_flag = got
    check(bool((flags or 0) & MSGFLAG_READ) == read, "%s: %r read should be %s (flags %s)" % (reader, subject, read, flags))
    if icon is not None:
        check(got_icon == icon, "%s: %r icon %s, expected %s" % (reader, subject, got_icon, icon))
    check(got_verb == verb, "%s: %r last verb %s, expected %s" % (reader, subject, got_verb, verb))
    check(got_flag == flag, "%s: %r flag status %s, expected %s" % (reader, subject, got_flag, flag))


def gmail_checks(tool, work, oracle):
    out = os.path.join(work, "gmail-pst")
    os.makedirs(out)
    convert(tool, work, ["convert", "--to", "pst", "--dest", out, "--labels", "--message-state",
                         os.path.join(work, "gmail.mbox")])
    pst = os.path.join(out, "gmail.mbox.pst")
    tree = readpst_tree(pst, os.path.join(work, "rp-gmail"))
    expected = {
        ".": [], "gmail.mbox": ["state only"],
        "gmail.mbox/Inbox": ["inbox read", "inbox unread"],
        "gmail.mbox/Work": [], "gmail.mbox/Work/Projects": ["inbox read"],
        "gmail.mbox/Sent Items": ["sent"], "gmail.mbox/Family, Friends": ["starred"],
        "gmail.mbox/Deleted Items": ["trashed"], "gmail.mbox/Junk Email": ["spam"],
        "gmail.mbox/Reçu": ["encoded label"],
    }
    tree.pop("Deleted Items", None)  # the store's own
    check(tree == expected, "readpst: Gmail folders\n  got      %s\n  expected %s" % (tree, expected))
    states = pffexport_states(pst, os.path.join(work, "pff-gmail"))
    expect_state(states, "inbox read", True, icon=0x100)
    expect_state(states, "inbox unread", False, icon=0x101)
    expect_state(states, "spam", False)
    expect_state(states, "starred", True, flag=FLAGGED)
    if oracle:
        items = extractor_items(oracle, pst)
        placed = sorted((i["folder"], i["subject"]) for i in items)
        check(("Top of Personal Folders/gmail.mbox/Work/Projects", "inbox read") in placed,
              "pst-extractor: placement %s" % placed)
        by_subject = {i["subject"]: (int(i["read"]), i["icon"], i["verb"] or None, i["flag"] or None) for i in items}
        expect_state(by_subject, "inbox unread", False, reader="pst-extractor")
        expect_state(by_subject, "starred", True, flag=FLAGGED, reader="pst-extractor")

    first = os.path.join(work, "gmail-first")
    os.makedirs(first)
    convert(tool, work, ["convert", "--to", "pst", "--dest", first, "--labels=first", os.path.join(work, "gmail.mbox")])
    tree = readpst_tree(os.path.join(first, "gmail.mbox.pst"), os.path.join(work, "rp-first"))
    check(sum(len(v) for v in tree.values()) == len(GMAIL), "--labels=first stores each message once: %s" % tree)
    check(tree.get("gmail.mbox/Inbox") == ["inbox read", "inbox unread"], "--labels=first: %s" % tree)
    check("gmail.mbox/Work/Projects" not in tree, "--labels=first: only the first label's folder: %s" % tree)

    plain = os.path.join(work, "gmail-plain")
    os.makedirs(plain)
    convert(tool, work, ["convert", "--to", "pst", "--dest", plain, os.path.join(work, "gmail.mbox")])
    pst = os.path.join(plain, "gmail.mbox.pst")
    tree = readpst_tree(pst, os.path.join(work, "rp-plain"))
    tree.pop("Deleted Items", None)
    check(set(tree) == {".", "gmail.mbox"}, "without options one folder: %s" % tree)
    states = pffexport_states(pst, os.path.join(work, "pff-plain"))
    expect_state(states, "inbox unread", True)  # as before: every message read, no icon set
    check(states.get("inbox unread", (0, 0))[1] is None, "without --message-state no icon")

    files = os.path.join(work, "gmail-eml")
    os.makedirs(files)
    convert(tool, work, ["convert", "--to", "eml", "--dest", files, "--labels", os.path.join(work, "gmail.mbox")])
    folder = os.path.join(files, "gmail.mbox")
    check(os.path.isfile(os.path.join(folder, "Work", "Projects", "1.eml")) and
          os.path.isfile(os.path.join(folder, "Inbox", "1.eml")) and os.path.isfile(os.path.join(folder, "7.eml")),
          "EML export: label folders %s" % sorted(os.walk(folder)))

    try:
        import olefile  # noqa: F401
    except ImportError:
        print("olefile is not installed: MSG flags not checked")
        return
    msgs = os.path.join(work, "gmail-msg")
    os.makedirs(msgs)
    convert(tool, work, ["convert", "--to", "msg", "--dest", msgs, "--message-state", os.path.join(work, "gmail.mbox")])
    folder = os.path.join(msgs, "gmail.mbox")
    expect_state({"inbox unread": msg_state(os.path.join(folder, "2.msg"))}, "inbox unread", False, icon=0x101,
                 reader="olefile")
    expect_state({"starred": msg_state(os.path.join(folder, "4.msg"))}, "starred", True, flag=FLAGGED, reader="olefile")


def thunderbird_checks(tool, work, tb):
    out = os.path.join(work, "tb-pst")
    os.makedirs(out)
    result = convert(tool, work, ["--search", tb, "--mailboxes-only", "convert", "--to", "single-pst", "--dest", out,
                                  "--hierarchy-root", tb, "--message-state"])
    check(".msf" not in result.stdout and "filterlog" not in result.stdout, "--mailboxes-only skips .msf and html")
    pst = os.path.join(out, "Resultant.pst")
    tree = readpst_tree(pst, os.path.join(work, "rp-tb"))
    tree.pop("Deleted Items", None)
    expected = {".": [], "Inbox": ["tb read", "tb replied flagged", "tb unread"], "Inbox/Work": ["tb forwarded"],
                "Inbox/Work/Deep": ["tb classic"]}
    check(tree == expected, "readpst: Thunderbird folders\n  got      %s\n  expected %s" % (tree, expected))
    states = pffexport_states(pst, os.path.join(work, "pff-tb"))
    expect_state(states, "tb read", True)
    expect_state(states, "tb unread", False)
    expect_state(states, "tb replied flagged", True, icon=ICON_REPLIED, verb=VERB_REPLY, flag=FLAGGED)
    expect_state(states, "tb forwarded", True, icon=ICON_FORWARDED, verb=VERB_FORWARD)
    expect_state(states, "tb classic", False, icon=ICON_REPLIED, verb=VERB_REPLY, flag=FLAGGED)

    files = os.path.join(work, "tb-eml")
    os.makedirs(files)
    convert(tool, work, ["--search", tb, "--mailboxes-only", "convert", "--to", "eml", "--dest", files,
                         "--hierarchy-root", tb])
    found = sorted(os.path.relpath(os.path.join(d, f), files) for d, _s, fs in os.walk(files) for f in fs)
    check(found == ["Inbox/1.eml", "Inbox/2.eml", "Inbox/3.eml", "Inbox/Work/1.eml", "Inbox/Work/Deep/1.eml"],
          "EML export of the Thunderbird tree: %s" % found)

    # A mailbox outside the root keeps its full path, and the log says so.
    outside = os.path.join(work, "gmail.mbox")
    result = convert(tool, work, ["--verbose", "convert", "--to", "eml", "--dest", os.path.join(work, "tb-outside"),
                                  "--hierarchy-root", tb, outside, os.path.join(tb, "Inbox")])
    notice = "The mailbox %s is not inside the hierarchy root %s: its folders follow its full path." % (outside, tb)
    check(result.stdout.count(notice) == 1 and result.stdout.count("is not inside the hierarchy root") == 1,
          "notice for a mailbox outside the root:\n%s" % result.stdout)


def apple_checks(tool, work):
    out = os.path.join(work, "apple-pst")
    os.makedirs(out)
    convert(tool, work, ["convert", "--to", "pst", "--dest", out, os.path.join(work, "apple", "Archive.mbox")])
    check(os.listdir(out) == ["Archive.mbox.pst"], "Apple bundle PST name: %s" % os.listdir(out))
    tree = readpst_tree(os.path.join(out, "Archive.mbox.pst"), os.path.join(work, "rp-apple"))
    check(tree.get("Archive.mbox") == ["apple one", "apple two"], "readpst: Apple bundle folder %s" % tree)
    files = os.path.join(work, "apple-eml")
    os.makedirs(files)
    convert(tool, work, ["--search", os.path.join(work, "apple"), "convert", "--to", "eml", "--dest", files])
    check(sorted(os.listdir(files)) == ["Archive.mbox"], "search of a bundle: one mailbox %s" % os.listdir(files))


def variant_checks(tool, work):
    for flag, expected in (([], ">From the start\n>>From deeper"), (["--unescape-from"], "From the start\n>From deeper")):
        out = os.path.join(work, "rd" + "".join(flag))
        os.makedirs(out)
        convert(tool, work, ["convert", "--to", "eml", "--dest", out] + flag + [os.path.join(work, "rd.mbox")])
        with open(os.path.join(out, "rd.mbox", "1.eml"), encoding="utf-8", newline="") as f:
            text = f.read().replace("\r\n", "\n")
        check(expected in text, "mboxrd %s: %r" % (flag, text))
    for flag, count in (([], 3), (["--content-length"], 2)):
        result = convert(tool, work, flag + ["scan", os.path.join(work, "cl2.mbox")])
        check(": %d messages" % count in result.stdout, "mboxcl2 %s: %s" % (flag, result.stdout))


def usage_checks(tool, work):
    for args in (["--labels=bogus"], ["--hierarchy-root", os.path.join(work, "gmail.mbox")]):
        result = run([tool, "--log-dir", os.path.join(work, "logs"), "convert", "--to", "pst", "--dest", work] + args +
                     [os.path.join(work, "gmail.mbox")])
        check(result.returncode == 2 and "convert: --" in result.stderr, "usage error for %s: %s" % (args, result.stderr))


def main():
    tool = sys.argv[1]
    candidates = sys.argv[2:] + [os.path.join(os.environ.get("KELVA_SHARED_DIR", ""), "tools", "oracle")]
    oracle = next((c for c in candidates if os.path.isdir(os.path.join(c, "node_modules", "pst-extractor"))), "")
    if not (shutil.which("readpst") and shutil.which("pffexport")):
        print("readpst or pffexport is not installed")
        return 77
    if not (oracle and shutil.which("node")):
        print("pst-extractor is not installed: its checks are left out")
        oracle = ""
    work = tempfile.mkdtemp(prefix="mailbox-shapes-")
    try:
        tb = make_sources(work)
        gmail_checks(tool, work, oracle)
        thunderbird_checks(tool, work, tb)
        apple_checks(tool, work)
        variant_checks(tool, work)
        usage_checks(tool, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d failures" % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
