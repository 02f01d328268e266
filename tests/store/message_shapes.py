#!/usr/bin/python3
"""Mail of the shapes real mailboxes hold and the converter's other tests were not written from.

    message_shapes.py OUT_DIR [--crlf]

Writes one .eml file per shape into OUT_DIR, with LF line ends as a Unix mailbox holds them (CR LF
with --crlf): text attachments in every transfer encoding and charset, calendar invites, messages
forwarded twice, S/MIME and PGP signed parts, winmail.dat-like parts, delivery and read reports,
long folded headers, missing or odd Date, From and To fields, groups, raw 8-bit headers, RFC 2231
and RFC 2047 file names, damaged transfer encodings.
"""
import base64
import os
import quopri
import sys

out = sys.argv[1]
crlf = "--crlf" in sys.argv[2:]
os.makedirs(out, exist_ok=True)
n = [0]


def write(name, head, body):
    n[0] += 1
    data = head.strip("\n").replace("\n", "\r\n").encode("utf-8", "surrogateescape") if isinstance(head, str) else head
    if isinstance(body, str):
        body = body.encode("utf-8", "surrogateescape")
    data = data + b"\r\n\r\n" + body
    with open(os.path.join(out, "%03d-%s.eml" % (n[0], name)), "wb") as f:
        f.write(data if crlf else data.replace(b"\r\n", b"\n"))


def b64(data):
    text = base64.b64encode(data).decode()
    return "\r\n".join(text[i:i + 76] for i in range(0, len(text), 76)) + "\r\n"


def qp(data):
    return quopri.encodestring(data.replace(b"\r\n", b"\n")).decode("ascii").replace("\n", "\r\n")


STD = """From: Alice Example <alice@example.com>
To: Bob Example <bob@example.org>
Date: Tue, 03 Mar 2020 10:11:12 +0100
MIME-Version: 1.0"""


def mixed(name, subject, parts, extra="", body="Hello,\r\nsee the attached file.\r\n"):
    b = "b1_" + name
    text = "--%s\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n%s\r\n" % (b, body) if body is not None else ""
    for p in parts:
        text += "--%s\r\n%s\r\n" % (b, p)
    text += "--%s--\r\n" % b
    write(name, STD + "\nSubject: %s\nMessage-ID: <%s@gen.example>\n%sContent-Type: multipart/mixed; boundary=\"%s\"" %
          (subject, name, extra, b), text)


def part(ctype, data, cte, disp="attachment", fname=None, extra=""):
    head = "Content-Type: %s" % ctype
    if fname and "name=" not in ctype:
        head += '; name="%s"' % fname
    head += "\r\nContent-Transfer-Encoding: %s\r\n" % cte
    if disp:
        head += "Content-Disposition: %s" % disp
        if fname:
            head += '; filename="%s"' % fname
        head += "\r\n"
    head += extra
    if cte == "base64":
        payload = b64(data)
    elif cte == "quoted-printable":
        payload = qp(data)
    else:
        payload = data.decode("utf-8", "surrogateescape")
    return head + "\r\n" + payload


crlf_text = "Line one\r\nLine two\r\nUmlaut äöü\r\n".encode("utf-8")
lf_text = b"col1,col2\nx,1\ny,2\n"
latin = "Caf\xe9 cr\xe8me\r\nna\xefve\r\n".encode("latin-1")
cp1252 = "\u201cquoted\u201d \u20ac 5\r\n".encode("cp1252")

# Text attachments in every transfer encoding and charset.
mixed("txt-b64-utf8-crlf", "Text attachment base64 CRLF", [part("text/plain; charset=utf-8", crlf_text, "base64", fname="notes.txt")])
mixed("txt-b64-lf", "CSV attachment base64 LF", [part("text/csv", lf_text, "base64", fname="data.csv")])
mixed("txt-b64-noeol", "Text attachment without final line end", [part("text/plain", b"no final newline", "base64", fname="noeol.txt")])
mixed("txt-b64-cr", "Text attachment with bare CR", [part("text/plain", b"a\rb\rc\r", "base64", fname="cr.txt")])
mixed("txt-b64-mixed-eol", "Text attachment with mixed line ends", [part("text/plain", b"a\r\nb\nc\rd\r\n", "base64", fname="mixed.txt")])
mixed("txt-qp-latin1", "Text attachment QP latin-1", [part("text/plain; charset=iso-8859-1", latin, "quoted-printable", fname="latin.txt")])
mixed("txt-qp-trailing-space", "Text attachment QP trailing blanks", [part("text/plain; charset=us-ascii", b"trailing   \r\ntab\t\r\nlong " + b"x" * 150 + b"\r\n", "quoted-printable", fname="blanks.txt")])
mixed("txt-8bit-cp1252", "Text attachment 8bit windows-1252", [part("text/plain; charset=windows-1252", cp1252, "8bit", fname="w.txt")])
mixed("txt-7bit", "Text attachment 7bit", [part("text/plain", b"seven bit\r\ntext\r\n", "7bit", fname="seven.txt")])
mixed("txt-7bit-nofinal", "Text attachment 7bit without final line end", [part("text/plain", b"seven bit\r\nno end", "7bit", fname="seven2.txt")])
mixed("txt-7bit-trailing-blank", "Text attachment 7bit with blank lines at end", [part("text/plain", b"body\r\n\r\n\r\n", "7bit", fname="blank-end.txt")])
mixed("txt-utf16", "Text attachment UTF-16", [part("text/plain; charset=utf-16", "Hallo Welt\r\n".encode("utf-16"), "base64", fname="u16.txt")])
mixed("txt-noname-attach", "Text attachment without a name", [part("text/plain; charset=utf-8", b"nameless attachment\r\n", "7bit")])
mixed("txt-wrong-charset", "Text attachment with a wrong charset", [part("text/plain; charset=utf-8", latin, "8bit", fname="wrong.txt")])
mixed("txt-unknown-charset", "Text attachment unknown-8bit", [part("text/plain; charset=unknown-8bit", latin, "8bit", fname="unk.txt")])
mixed("html-attach", "HTML attachment", [part("text/html; charset=utf-8", b"<html><body><p>Att</p></body></html>\r\n", "quoted-printable", fname="page.html")])
mixed("xml-attach", "XML attachment 8bit LF", [part("application/xml", b"<?xml version=\"1.0\"?>\n<a>\xc3\xa4</a>\n", "8bit", fname="a.xml")])
mixed("empty-text", "Empty text attachment", [part("text/plain", b"", "7bit", fname="empty.txt")])
mixed("octet-txt", "Octet stream named .txt", [part("application/octet-stream", b"plain\r\n", "base64", fname="readme.txt")])
mixed("text-inline-named", "Inline text part with a name", [part("text/plain; charset=utf-8", b"inline named\r\n", "7bit", disp="inline", fname="inline.txt")])
mixed("text-second-inline", "Second inline text part without a name", [part("text/plain; charset=utf-8", b"second inline text\r\n", "7bit", disp="inline")])
mixed("uuencode", "x-uuencode attachment", [part("application/octet-stream", b"begin 644 u.txt\r\n#86)C\r\n`\r\nend\r\n", "x-uuencode", fname="u.txt")])
mixed("rfc2231", "RFC 2231 file name",
      ["Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n"
       "Content-Disposition: attachment;\r\n filename*0*=utf-8''%C3%A4rger%20mit;\r\n filename*1*=%20Namen.txt\r\n\r\n" + b64(b"x\r\n")])
mixed("rfc2047-name", "RFC 2047 file name",
      ["Content-Type: text/plain; name=\"=?iso-8859-1?Q?B=FCro.txt?=\"\r\nContent-Transfer-Encoding: base64\r\n"
       "Content-Disposition: attachment; filename=\"=?iso-8859-1?Q?B=FCro.txt?=\"\r\n\r\n" + b64(b"y\r\n")])
mixed("name-only-ct", "File name only in Content-Type",
      ["Content-Type: text/plain; name=\"ct-only.txt\"\r\nContent-Transfer-Encoding: 7bit\r\n\r\nfile in ct\r\n"])
mixed("smime-opaque", "S/MIME opaque", [part("application/pkcs7-mime; smime-type=enveloped-data", b"\x30\x82\x01\x00" + bytes(range(64)), "base64", fname="smime.p7m")])
mixed("winmail", "winmail.dat", [part("application/ms-tnef", b"\x78\x9f\x3e\x22" + bytes(range(100)), "base64", fname="winmail.dat")])
mixed("ics-attach", "ICS attachment",
      [part("text/calendar; charset=utf-8; method=REQUEST", b"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nMETHOD:REQUEST\r\nBEGIN:VEVENT\r\nUID:1@x\r\nDTSTART:20200303T100000Z\r\nSUMMARY:Meet\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n", "base64", fname="invite.ics")])
mixed("vcard", "vCard attachment", [part("text/x-vcard; charset=utf-8", b"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bob\r\nEND:VCARD\r\n", "7bit", fname="bob.vcf")])
mixed("inline-cid", "Inline with Content-ID", [part("image/png", b"\x89PNG\r\n\x1a\n" + bytes(20), "base64", disp="inline", fname="i.png", extra="Content-ID: <img1@x>\r\n")])
mixed("delivery-status-named", "Delivery status attachment with a name",
      ["Content-Type: message/delivery-status; name=\"status.txt\"\r\nContent-Disposition: attachment; filename=\"status.txt\"\r\n\r\n"
       "Reporting-MTA: dns; mx.example.org\r\n\r\nFinal-Recipient: rfc822; x@example.org\r\nAction: failed\r\nStatus: 5.1.1\r\n"])
mixed("rfc822-headers-named", "Header part attachment with a name",
      ["Content-Type: text/rfc822-headers\r\nContent-Disposition: attachment; filename=\"headers.txt\"\r\n\r\nFrom: a@b\r\nSubject: x\r\n"])
mixed("only-attachment", "Only an attachment", [part("text/plain", crlf_text, "base64", fname="only.txt")], body=None)

# Calendar invite as Outlook sends it.
write("calendar", STD + "\nSubject: Invitation: Meet\nContent-Type: multipart/alternative; boundary=\"cal\"",
      "--cal\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nYou are invited.\r\n"
      "--cal\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>You are invited.</p>\r\n"
      "--cal\r\nContent-Type: text/calendar; charset=utf-8; method=REQUEST\r\nContent-Transfer-Encoding: 7bit\r\n\r\n"
      "BEGIN:VCALENDAR\r\nMETHOD:REQUEST\r\nBEGIN:VEVENT\r\nUID:2@x\r\nSUMMARY:Meet\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n--cal--\r\n")

# Forwarded twice.
inner = "From: Carol <carol@example.net>\r\nTo: alice@example.com\r\nSubject: Original\r\nDate: Mon, 02 Mar 2020 09:00:00 +0000\r\n\r\nThe original text.\r\n"
middle = ("From: Alice <alice@example.com>\r\nTo: dave@example.net\r\nSubject: Fwd: Original\r\nDate: Mon, 02 Mar 2020 10:00:00 +0000\r\n"
          "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"mid\"\r\n\r\n--mid\r\nContent-Type: text/plain\r\n\r\nForwarding.\r\n"
          "--mid\r\nContent-Type: message/rfc822\r\n\r\n" + inner + "--mid--\r\n")
mixed("forward-twice", "Fwd: Fwd: Original", ["Content-Type: message/rfc822\r\nContent-Disposition: attachment\r\n\r\n" + middle])
mixed("forward-named", "Fwd: named", ["Content-Type: message/rfc822; name=\"orig.eml\"\r\nContent-Disposition: attachment; filename=\"orig.eml\"\r\n\r\n" + inner])
mixed("forward-inline", "Fwd: inline", ["Content-Type: message/rfc822\r\nContent-Disposition: inline\r\n\r\n" + inner])

# S/MIME signed.
write("smime-signed", STD + "\nSubject: Signed\nContent-Type: multipart/signed; protocol=\"application/pkcs7-signature\"; micalg=sha-256; boundary=\"sig\"",
      "This is an S/MIME signed message\r\n\r\n--sig\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nSigned text.\r\n"
      "--sig\r\nContent-Type: application/pkcs7-signature; name=\"smime.p7s\"\r\nContent-Transfer-Encoding: base64\r\n"
      "Content-Disposition: attachment; filename=\"smime.p7s\"\r\n\r\n" + b64(b"\x30\x82" + bytes(50)) + "--sig--\r\n")
write("smime-signed-mixed", STD + "\nSubject: Signed with attachment\nContent-Type: multipart/signed; protocol=\"application/pkcs7-signature\"; micalg=sha-256; boundary=\"sig2\"",
      "--sig2\r\nContent-Type: multipart/mixed; boundary=\"in2\"\r\n\r\n--in2\r\nContent-Type: text/plain\r\n\r\nSigned.\r\n"
      "--in2\r\nContent-Type: text/plain; name=\"a.txt\"\r\nContent-Disposition: attachment; filename=\"a.txt\"\r\n\r\nsigned attachment\r\n--in2--\r\n"
      "--sig2\r\nContent-Type: application/pkcs7-signature; name=\"smime.p7s\"\r\nContent-Transfer-Encoding: base64\r\n"
      "Content-Disposition: attachment; filename=\"smime.p7s\"\r\n\r\n" + b64(bytes(40)) + "--sig2--\r\n")
write("pgp-signed", STD + "\nSubject: PGP signed\nContent-Type: multipart/signed; protocol=\"application/pgp-signature\"; micalg=pgp-sha256; boundary=\"pgp\"",
      "--pgp\r\nContent-Type: text/plain\r\n\r\nPGP text.\r\n--pgp\r\nContent-Type: application/pgp-signature; name=\"signature.asc\"\r\n"
      "Content-Description: OpenPGP digital signature\r\n\r\n-----BEGIN PGP SIGNATURE-----\r\nabc\r\n-----END PGP SIGNATURE-----\r\n--pgp--\r\n")

# Delivery status report.
write("dsn", "From: Mail Delivery System <MAILER-DAEMON@mx.example.org>\nTo: alice@example.com\nSubject: Undelivered Mail\n"
      "Date: Tue, 03 Mar 2020 10:11:12 +0100\nMIME-Version: 1.0\nContent-Type: multipart/report; report-type=delivery-status; boundary=\"r\"",
      "--r\r\nContent-Description: Notification\r\nContent-Type: text/plain\r\n\r\nDelivery failed.\r\n"
      "--r\r\nContent-Description: Delivery report\r\nContent-Type: message/delivery-status\r\n\r\nReporting-MTA: dns; mx\r\n\r\n"
      "Final-Recipient: rfc822; x@y\r\nAction: failed\r\n\r\n--r\r\nContent-Type: text/rfc822-headers\r\n\r\nFrom: a@b\r\nSubject: s\r\n--r--\r\n")
write("dsn-qp", "From: MAILER-DAEMON\nTo: alice@example.com\nSubject: Undeliverable\n"
      "Date: Tue, 03 Mar 2020 10:11:12 +0100\nMIME-Version: 1.0\nContent-Type: multipart/report; report-type=delivery-status; boundary=\"r2\"",
      "--r2\r\nContent-Type: text/plain\r\n\r\nFailed.\r\n"
      "--r2\r\nContent-Type: message/delivery-status\r\nContent-Transfer-Encoding: 7bit\r\n\r\nReporting-MTA: dns; mx\r\nArrival-Date: x\r\n\r\n"
      "Final-Recipient: rfc822; x@y\r\nAction: failed\r\nStatus: 5.0.0\r\n--r2\r\nContent-Type: message/rfc822\r\n\r\n" + inner + "--r2--\r\n")

# Headers: long folded, missing, odd, groups, 8-bit.
many = ",\n ".join("Person %d <p%d@example.com>" % (i, i) for i in range(30))
write("long-folded", "From: Alice <alice@example.com>\nTo: " + many + "\nSubject: A very long subject that goes on and on\n and is folded over\n\tseveral lines of the header\nDate: Tue, 03 Mar 2020 10:11:12 +0100",
      "Body.\r\n")
write("no-date", "From: Alice <alice@example.com>\nTo: bob@example.org\nSubject: No date", "Body without date.\r\n")
write("no-from", "To: bob@example.org\nSubject: No from\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "Body without from.\r\n")
write("no-to", "From: alice@example.com\nSubject: No to\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "Body without to.\r\n")
write("no-headers-but-subject", "Subject: only a subject", "Body.\r\n")
write("from-name-only", "From: Alice Example\nTo: bob@example.org\nSubject: Sender name only\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("from-quoted-name-only", "From: \"Alice Example\"\nTo: bob@example.org\nSubject: Sender quoted name only\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("from-local-only", "From: alice\nTo: bob\nSubject: Local parts only\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("from-name-local", "From: Alice <alice>\nTo: Bob <bob>\nSubject: Names with local parts\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("from-empty-angle", "From: <>\nTo: bob@example.org\nSubject: Empty sender\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("from-empty", "From: \nTo: bob@example.org\nSubject: Empty From field\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("from-group", "From: Team: alice@example.com;\nTo: bob@example.org\nSubject: Sender group\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("sender-only", "Sender: Secretary <sec@example.com>\nTo: bob@example.org\nSubject: Sender without From\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("from-and-sender", "From: Boss <boss@example.com>\nSender: Secretary <sec@example.com>\nTo: bob@example.org\nSubject: From and Sender\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("to-undisclosed", "From: alice@example.com\nTo: undisclosed-recipients:;\nSubject: Undisclosed\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("to-group", "From: alice@example.com\nTo: Friends: a@example.com, B <b@example.com>;, c@example.com\nCc: Empty:;\nSubject: Groups\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("to-comment", "From: alice@example.com (Alice Comment)\nTo: bob@example.org (Bob), carol@example.net\nSubject: Comments\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("to-quoted-local", "From: \"john doe\"@example.com\nTo: \"a,b\" <ab@example.com>, \"x@y\" <xy@example.com>\nSubject: Quoted locals\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("to-semicolon", "From: alice@example.com\nTo: a@example.com; b@example.com\nSubject: Semicolons\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("to-encoded-names", "From: =?utf-8?B?w4RsaWNl?= <alice@example.com>\nTo: =?iso-8859-1?Q?J=F6rg?= <joerg@example.org>, \"=?utf-8?Q?Z=C3=BC?=\" <z@example.org>\nSubject: =?utf-8?Q?Encoded_=C3=BCber?= words\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("to-duplicate-fields", "From: alice@example.com\nTo: a@example.com\nTo: b@example.com\nSubject: Two To fields\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("raw-utf8-headers", "From: J\xc3\xb6rg M\xc3\xbcller <joerg@example.org>\nTo: \xc3\x84nne <anne@example.org>\nSubject: Gr\xc3\xbc\xc3\x9fe aus K\xc3\xb6ln\nDate: Tue, 03 Mar 2020 10:11:12 +0100".encode("latin-1").decode("utf-8", "surrogateescape").encode("utf-8", "surrogateescape").replace(b"\n", b"\r\n"),
      "Hallo.\r\n")
write("raw-latin1-headers", "From: J\xf6rg <joerg@example.org>\nTo: bob@example.org\nSubject: Caf\xe9 cr\xe8me\nDate: Tue, 03 Mar 2020 10:11:12 +0100".encode("latin-1").replace(b"\n", b"\r\n"),
      "x\r\n")
write("raw-utf8-filename", STD.encode() .replace(b"\n", b"\r\n") + b"\r\nSubject: Raw UTF-8 file name\r\nContent-Type: multipart/mixed; boundary=\"rf\"",
      "--rf\r\nContent-Type: text/plain\r\n\r\nx\r\n--rf\r\nContent-Type: text/plain\r\nContent-Disposition: attachment; filename=\"\xc3\xa4pfel.txt\"\r\n\r\napple\r\n--rf--\r\n".encode("latin-1"))
write("date-no-zone", "From: alice@example.com\nTo: bob@example.org\nSubject: Date without zone\nDate: Tue, 03 Mar 2020 10:11:12", "x\r\n")
write("date-two-digit", "From: alice@example.com\nTo: bob@example.org\nSubject: Two digit year\nDate: 3 Mar 99 10:11:12 GMT", "x\r\n")
write("date-named-zone", "From: alice@example.com\nTo: bob@example.org\nSubject: Named zone\nDate: Tue, 03 Mar 2020 10:11:12 PST", "x\r\n")
write("date-garbage", "From: alice@example.com\nTo: bob@example.org\nSubject: Garbage date\nDate: yesterday afternoon", "x\r\n")
write("date-no-weekday", "From: alice@example.com\nTo: bob@example.org\nSubject: No weekday\nDate: 03 Mar 2020 10:11:12 -0800 (PST)", "x\r\n")
write("date-empty", "From: alice@example.com\nTo: bob@example.org\nSubject: Empty date\nDate: ", "x\r\n")
write("date-1970", "From: alice@example.com\nTo: bob@example.org\nSubject: Epoch\nDate: Thu, 01 Jan 1970 00:00:00 +0000", "x\r\n")
write("date-far", "From: alice@example.com\nTo: bob@example.org\nSubject: Far future\nDate: Fri, 31 Dec 2100 23:59:59 +1400", "x\r\n")
write("subject-empty", "From: alice@example.com\nTo: bob@example.org\nSubject:\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("subject-missing", "From: alice@example.com\nTo: bob@example.org\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("subject-prefix", "From: alice@example.com\nTo: bob@example.org\nSubject: RE: AW: Fwd: topic\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("subject-bad-encoded", "From: alice@example.com\nTo: bob@example.org\nSubject: =?utf-8?B?not base64!?= and =?x-unknown?Q?abc?=\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("message-id-odd", "From: alice@example.com\nTo: bob@example.org\nSubject: Odd id\nMessage-ID: no-angle-brackets@example.com\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")

# Bodies.
write("body-b64-utf8", STD + "\nSubject: Base64 body\nContent-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64", b64("Gr\u00fc\u00dfe\r\nZeile 2\r\n".encode("utf-8")))
write("body-qp-cp1252", STD + "\nSubject: QP cp1252 body\nContent-Type: text/plain; charset=windows-1252\nContent-Transfer-Encoding: quoted-printable", qp(cp1252))
write("body-html-only", STD + "\nSubject: HTML only\nContent-Type: text/html; charset=utf-8", "<html><body><p>Only <b>HTML</b> &amp; entities &euro;</p></body></html>\r\n")
write("body-related", STD + "\nSubject: Related HTML\nContent-Type: multipart/related; boundary=\"rel\"",
      "--rel\r\nContent-Type: text/html\r\n\r\n<p>Image <img src=\"cid:i1@x\"></p>\r\n--rel\r\nContent-Type: image/gif\r\nContent-Transfer-Encoding: base64\r\nContent-ID: <i1@x>\r\n\r\n" + b64(b"GIF89a" + bytes(10)) + "--rel--\r\n")
write("body-alt-related-mixed", STD + "\nSubject: Nested alternative\nContent-Type: multipart/mixed; boundary=\"m\"",
      "--m\r\nContent-Type: multipart/alternative; boundary=\"a\"\r\n\r\n--a\r\nContent-Type: text/plain\r\n\r\nplain\r\n--a\r\nContent-Type: multipart/related; boundary=\"r\"\r\n\r\n"
      "--r\r\nContent-Type: text/html\r\n\r\n<p>html</p>\r\n--r\r\nContent-Type: image/png\r\nContent-ID: <p@x>\r\nContent-Transfer-Encoding: base64\r\n\r\n" + b64(bytes(8)) + "--r--\r\n--a--\r\n"
      "--m\r\nContent-Type: application/pdf; name=\"x.pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + b64(b"%PDF-1.4\n") + "--m--\r\n")
write("body-no-ct-8bit", "From: alice@example.com\nTo: bob@example.org\nSubject: 8bit body no charset\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "Gr\xfc\xdfe\r\n".encode("latin-1"))
write("body-empty", "From: alice@example.com\nTo: bob@example.org\nSubject: Empty body\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "")
write("body-multipart-empty", STD + "\nSubject: Empty multipart\nContent-Type: multipart/mixed; boundary=\"e\"", "--e--\r\n")
write("body-missing-boundary", STD + "\nSubject: Missing end boundary\nContent-Type: multipart/mixed; boundary=\"mb\"",
      "--mb\r\nContent-Type: text/plain\r\n\r\ntext\r\n--mb\r\nContent-Type: text/plain; name=\"t.txt\"\r\n\r\nunterminated\r\n")
write("body-text-flowed", STD + "\nSubject: Format flowed\nContent-Type: text/plain; charset=utf-8; format=flowed; delsp=yes", "This is a long line that \r\nis flowed.\r\n")
write("body-from-lines", STD + "\nSubject: From lines in body", "From here on\r\n>From quoted\r\nend\r\n")
write("body-unknown-charset", STD + "\nSubject: Unknown charset\nContent-Type: text/plain; charset=x-foo", "abc \xe4\r\n".encode("latin-1"))
write("body-big5", STD + "\nSubject: Big5\nContent-Type: text/plain; charset=big5\nContent-Transfer-Encoding: 8bit", "\u4e2d\u6587\r\n".encode("big5"))
write("body-iso2022jp", STD + "\nSubject: =?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=\nContent-Type: text/plain; charset=iso-2022-jp\nContent-Transfer-Encoding: 7bit", "\u65e5\u672c\u8a9e\r\n".encode("iso-2022-jp"))
write("body-koi8", STD + "\nSubject: KOI8\nContent-Type: text/plain; charset=koi8-r\nContent-Transfer-Encoding: 8bit", "\u041f\u0440\u0438\u0432\u0435\u0442\r\n".encode("koi8-r"))

# More shapes.
mixed("bom-utf8", "Text attachment with a BOM", [part("text/plain; charset=utf-8", b"\xef\xbb\xbfBOM text\r\n", "base64", fname="bom.txt")])
write("mdn", STD + "\nSubject: Read: hello\nContent-Type: multipart/report; report-type=disposition-notification; boundary=\"md\"",
      "--md\r\nContent-Type: text/plain\r\n\r\nYour message was read.\r\n--md\r\nContent-Type: message/disposition-notification\r\n\r\n"
      "Reporting-UA: x; y\r\nFinal-Recipient: rfc822; bob@example.org\r\nDisposition: manual-action/MDN-sent-manually; displayed\r\n--md--\r\n")
mixed("qp-soft-end", "QP text attachment ending in a soft break", [part("text/plain", b"", "quoted-printable", fname="soft.txt").replace("\r\n\r\n", "\r\n\r\nend without newline=\r\n", 1)])
mixed("name-star", "RFC 2231 name in Content-Type only",
      ["Content-Type: application/pdf; name*=iso-8859-1''r%E9sum%E9.pdf\r\nContent-Transfer-Encoding: base64\r\n\r\n" + b64(b"%PDF-1.4\n%\xe2\xe3\n")])
mixed("path-name", "File name with a path", [part("text/plain", b"p\r\n", "7bit", fname="C:\\\\Users\\\\x\\\\report.txt")])
mixed("slash-name", "File name with a slash", [part("text/plain", b"s\r\n", "7bit", fname="../../etc/passwd")])
mixed("long-name", "Very long file name", [part("text/plain", b"l\r\n", "7bit", fname="x" * 300 + ".txt")])
mixed("encoded-in-name", "Encoded word inside a file name", [part("text/plain", b"e\r\n", "7bit", fname="=?utf-8?Q?caf=C3=A9?=.txt")])
mixed("upper-cte", "Upper-case transfer encoding", ["Content-Type: text/plain; name=\"u.txt\"\r\nContent-Transfer-Encoding: BASE64\r\n\r\n" + b64(b"upper\r\n")])
mixed("bad-cte", "Unknown transfer encoding", ["Content-Type: application/octet-stream; name=\"b.bin\"\r\nContent-Transfer-Encoding: 7-bit\r\n\r\nraw\r\nbytes\r\n"])
mixed("bad-base64", "Base64 with stray characters", ["Content-Type: application/octet-stream; name=\"s.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\nYWJj!ZGVm\r\n*Z2hp\r\n"])
write("digest", STD + "\nSubject: Digest\nContent-Type: multipart/digest; boundary=\"dg\"",
      "--dg\r\n\r\n" + inner + "--dg\r\n\r\n" + inner.replace("Original", "Second") + "--dg--\r\n")
write("from-comma-name", "From: \"Doe, John\" <john@example.com>\nTo: \"Roe, Jane\" <jane@example.com>, x@example.com\nSubject: Names with commas\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("reply-to-only", "Reply-To: list@example.com\nTo: bob@example.org\nSubject: Reply-To only\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("from-encoded-addr", "From: =?utf-8?Q?J=C3=B6rg?= <=?utf-8?Q?j=C3=B6rg?=@example.org>\nTo: bob@example.org\nSubject: Encoded address\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("from-idn", "From: J\xc3\xb6rg <j\xc3\xb6rg@b\xc3\xbccher.example>\nTo: bob@example.org\nSubject: Internationalised address\nDate: Tue, 03 Mar 2020 10:11:12 +0100".encode("latin-1").replace(b"\n", b"\r\n"), "x\r\n")
write("html-attach-only", STD + "\nSubject: HTML body and HTML attachment\nContent-Type: multipart/mixed; boundary=\"ha\"",
      "--ha\r\nContent-Type: text/html\r\n\r\n<p>body</p>\r\n--ha\r\nContent-Type: text/html; name=\"a.html\"\r\nContent-Disposition: attachment; filename=\"a.html\"\r\n\r\n<p>attached</p>\r\n--ha--\r\n")
write("text-then-html-inline", STD + "\nSubject: Plain, then inline HTML\nContent-Type: multipart/mixed; boundary=\"ti\"",
      "--ti\r\nContent-Type: text/plain\r\n\r\nfirst\r\n--ti\r\nContent-Type: text/html\r\nContent-Disposition: inline\r\n\r\n<p>second</p>\r\n--ti--\r\n")
write("alt-empty-plain", STD + "\nSubject: Empty plain alternative\nContent-Type: multipart/alternative; boundary=\"ae\"",
      "--ae\r\nContent-Type: text/plain\r\n\r\n\r\n--ae\r\nContent-Type: text/html\r\n\r\n<p>only html has text</p>\r\n--ae--\r\n")
write("nested-rfc822-base64", STD + "\nSubject: Base64 forwarded message\nContent-Type: multipart/mixed; boundary=\"nb\"",
      "--nb\r\nContent-Type: text/plain\r\n\r\nsee\r\n--nb\r\nContent-Type: message/rfc822\r\nContent-Transfer-Encoding: base64\r\n\r\n" + b64(inner.replace("\r\n", "\n").encode()) + "--nb--\r\n")

# Shapes of old and bulk mail.
write("html-meta-charset", "From: promo@example.com\nTo: bob@example.org\nSubject: HTML with the charset in a meta tag\nDate: Tue, 03 Mar 2020 10:11:12 +0100\nContent-Type: text/html",
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\"></head><body>Gr\xfc\xdfe</body></html>\r\n".encode("latin-1"))
write("ascii-declared-8bit", STD + "\nSubject: US-ASCII declared, 8-bit sent\nContent-Type: text/plain; charset=us-ascii", "na\xefve caf\xe9\r\n".encode("latin-1"))
write("multipart-no-boundary", STD + "\nSubject: Multipart without boundary\nContent-Type: multipart/mixed", "just text\r\n")
write("boundary-spaces", STD + "\nSubject: Boundary with blanks\nContent-Type: multipart/mixed; boundary=\"a b:c\"",
      "--a b:c\r\nContent-Type: text/plain\r\n\r\nbody\r\n--a b:c\r\nContent-Type: text/plain; name=\"s.txt\"\r\n\r\nattached\r\n--a b:c--\r\n")
write("no-space-after-colon", "From:alice@example.com\nTo:bob@example.org\nSubject:no blank\nDate:Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("lower-case-names", "from: alice@example.com\nto: bob@example.org\nSUBJECT: Case of names\ndate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("two-subjects", "From: alice@example.com\nTo: bob@example.org\nSubject: first subject\nSubject: second subject\nDate: Tue, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("very-long-line", "From: alice@example.com\nTo: bob@example.org\nSubject: " + "long " * 300 + "\nDate: Tue, 03 Mar 2020 10:11:12 +0100", ("word " * 400) + "\r\n")
write("qp-bad-escapes", STD + "\nSubject: Bad QP escapes\nContent-Type: text/plain\nContent-Transfer-Encoding: quoted-printable", "100=ZZ percent =3D ok =\r\nsoft =4\r\n")
for cs, text in (("utf8", "\u00e4\u00f6\u00fc"), ("latin1", "\u00e4\u00f6\u00fc"), ("windows-1251", "\u041f\u0440\u0438\u0432\u0435\u0442"),
                 ("gb2312", "\u4e2d\u6587"), ("ks_c_5601-1987", "\ud55c\uad6d\uc5b4"), ("iso-8859-15", "\u20ac 5")):
    codec = {"ks_c_5601-1987": "cp949", "utf8": "utf-8", "latin1": "latin-1"}.get(cs, cs)
    write("charset-" + cs, STD + "\nSubject: =?%s?B?%s?=\nContent-Type: text/plain; charset=\"%s\"\nContent-Transfer-Encoding: 8bit" %
          (cs, base64.b64encode(text.encode(codec)).decode(), cs), text.encode(codec) + b"\r\n")
write("date-ut", "From: alice@example.com\nTo: bob@example.org\nSubject: UT zone\nDate: Tue, 3 Mar 2020 10:11:12 UT", "x\r\n")
write("date-wrong-weekday", "From: alice@example.com\nTo: bob@example.org\nSubject: Wrong weekday\nDate: Mon, 03 Mar 2020 10:11:12 +0100", "x\r\n")
write("date-trailing-text", "From: alice@example.com\nTo: bob@example.org\nSubject: Date with text after\nDate: Tue, 03 Mar 2020 10:11:12 +0100 (CET) extra", "x\r\n")
write("date-iso", "From: alice@example.com\nTo: bob@example.org\nSubject: ISO date\nDate: 2020-03-03T10:11:12Z", "x\r\n")
write("spam-html-alt", "From: \"Best Deals\" <deals@promo.example>\nTo: undisclosed-recipients:;\nSubject: =?windows-1252?Q?Save_50=80_today?=\nDate: Tue, 03 Mar 2020 10:11:12 +0100\nMIME-Version: 1.0\nContent-Type: multipart/alternative; boundary=\"----=_NextPart_000_0001\"",
      "This is a multi-part message in MIME format.\r\n\r\n------=_NextPart_000_0001\r\nContent-Type: text/plain; charset=\"windows-1252\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\nSave 50=80 today=21\r\n\r\n"
      "------=_NextPart_000_0001\r\nContent-Type: text/html; charset=\"windows-1252\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n<HTML><BODY><FONT size=3D2>Save 50=80 today!</FONT></BODY></HTML>\r\n\r\n------=_NextPart_000_0001--\r\n")
mixed("attachment-no-ct", "Attachment without Content-Type", ["Content-Disposition: attachment; filename=\"plain.txt\"\r\n\r\nno type\r\n"])
mixed("ct-params-odd", "Odd Content-Type parameters", ["Content-Type: text/plain;charset=utf-8;name=odd.txt;format=flowed\r\nContent-Disposition: attachment\r\n\r\nodd params\r\n"])
mixed("image-8bit", "Image sent as 8bit", [part("image/png", b"\x89PNG\r\n\x1a\nbinary\n", "binary", fname="raw.png")])
write("qp-lower-hex", STD + "\nSubject: =?utf-8?q?lower_case_caf=c3=a9?=\nContent-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: quoted-printable", "caf=c3=a9 cr=c3=a8me =  \r\nsoft\r\n")
