#!/usr/bin/python3
"""Each known cause explains the difference it names and nothing else."""
import hashlib
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import known_differences as K  # noqa: E402


def person(addr, name=""):
    return {"addr": addr, "name": name}


def part(content_type, size=10, filename=None, sha="s"):
    return {"filename": filename, "content_type": content_type, "size": size, "sha256": sha, "sha256_eol": sha}


def embedded(subject):
    return {"filename": None, "content_type": "message/rfc822", "embedded": {"subject": subject}}


class KnownDifferencesTest(unittest.TestCase):
    def test_each_cause_only_where_the_facts_show_it(self):
        dsn, headers = part("message/delivery-status"), part("text/rfc822-headers")
        cases = [
            # field, expected record, actual record, reader, cause (None: not explained)
            ("subject", {"subject": "Hello\x00"}, {"subject": "Hello"}, "pst-extractor", K.NUL_DROPPED),
            ("subject", {"subject": "Hello\x00"}, {"subject": "Help"}, "pst-extractor", None),
            # The writer stores subjects as Outlook does, so that no reader loses their beginning.
            ("subject", {"subject": "メール"}, {"subject": "\ufffdール"}, "pffexport", None),
            ("subject", {"subject": "Mail"}, {"subject": "ail"}, "pffexport", None),
            # readpst's replacement characters are excused in an embedded message only.
            ("subject", {"subject": "メール"}, {"subject": "\ufffd" * 9}, "readpst", None),
            ("attachments", {"attachments": [embedded("メール")]}, {"attachments": [embedded("\ufffd" * 9)]},
             "readpst", K.READPST_EMBEDDED),
            ("attachments", {"attachments": [embedded("メール")]}, {"attachments": [embedded("\ufffd" * 8)]},
             "readpst", None),
            ("attachments", {"attachments": [embedded("Hi\x00")]}, {"attachments": [embedded("Hi")]},
             "pst-extractor", K.NUL_DROPPED),
            ("from", {"from": [person("a@x.org"), person("b@x.org")]}, {"from": [person("a@x.org")]}, "msgreader",
             K.ONE_SENDER),
            ("from", {"from": [person("a@x.org"), person("b@x.org")]}, {"from": [person("b@x.org")]}, "msgreader",
             None),
            ("from", {"from": []}, {"from": [person("mailer-daemon")]}, "readpst", K.READPST_DAEMON),
            ("from", {"from": []}, {"from": [person("mailer-daemon")]}, "pffexport", None),
            ("to", {"to": [person("@relay.org:m@x.org")]}, {"to": [person("m@x.org")]}, "msgreader", K.SOURCE_ROUTE),
            ("to", {"to": [person("@relay.org:m@x.org")]}, {"to": [person("n@x.org")]}, "msgreader", None),
            ("to", {"to": [person("mary")]}, {"to": [person("", "Mary Smith")]}, "msgreader", K.WORD_AS_ADDRESS),
            ("to", {"to": [person("mary")]}, {"to": [person("", "Ann Smith")]}, "msgreader", None),
            ("body_text", {"body_text": "a\x00b"}, {"body_text": "ab"}, "msgconvert", K.NUL_DROPPED),
            ("body_text", {"body_text": "a\x00b"}, {"body_text": "abc"}, "msgconvert", None),
            ("body_text", {"body_text": "crème = soft"}, {"body_text": "crème soft"}, "pffexport", K.QP_PADDED_SOFT_BREAK),
            ("body_text", {"body_text": "crème = soft"}, {"body_text": "crème hard"}, "pffexport", None),
            ("attachments", {"attachments": [part("message/delivery-status", filename="dsn", sha="1")]},
             {"attachments": [part("message/delivery-status", filename="dsn", sha="2")]}, "msgreader", K.DSN_BYTES),
            ("attachments", {"attachments": [part("text/plain", filename="a.txt", sha="1")]},
             {"attachments": [part("text/plain", filename="a.txt", sha="2")]}, "msgreader", None),
            ("attachments", {"attachments": [], "other_parts": [dsn, headers]},
             {"attachments": [], "other_parts": [headers, dsn]}, "readpst", K.INLINE_PARTS % "readpst"),
            ("attachments", {"attachments": [], "other_parts": [dsn, headers]},
             {"attachments": [], "other_parts": [headers]}, "readpst", None),
            ("attachments", {"attachments": [], "other_parts": [part("multipart/mixed", size=0)]},
             {"attachments": [], "other_parts": []}, "readpst", K.READPST_EMPTY),
            ("attachments", {"attachments": [], "body_text": "", "other_parts": [part("text/plain")]},
             {"attachments": [], "other_parts": []}, "msgconvert", K.MSGCONVERT_EMPTY_BODY),
            ("attachments", {"attachments": [], "body_text": "text", "other_parts": [part("text/plain")]},
             {"attachments": [], "other_parts": []}, "msgconvert", None),
            ("attachments", {"attachments": [], "body_text": "", "other_parts": [part("text/html")]},
             {"attachments": [], "other_parts": []}, "msgconvert", None),
            ("attachments", {"attachments": [embedded("メール")], "other_parts": [dsn]},
             {"attachments": [embedded("\ufffdール"), part(None)]}, "pffexport", None),
        ]
        for field, expected, actual, reader, cause in cases:
            with self.subTest(field=field, expected=expected, actual=actual, reader=reader):
                found = K.explain(field, expected, actual, reader)
                self.assertEqual(found, {cause} if cause else None)

    def test_a_delivery_report_is_proven_by_the_source_part_bytes(self):
        report = b"Reporting-MTA: dns; mx.example.org\r\nDiagnostic-Code: smtp; 550 a line longer than the " \
                 b"oracle's re-serialisation keeps on one line, which it folds\r\n\r\n"
        source = b"Content-Type: multipart/report; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\n" \
                 b"Failed.\r\n--b\r\nContent-Type: message/delivery-status; name=dsn\r\n\r\n" + report + \
                 b"\r\n--b--\r\n"
        kept = hashlib.sha256(report.replace(b"\r\n", b"\n")).hexdigest()
        expected = {"source": "1.eml", "attachments": [part("message/delivery-status", filename="dsn", sha="1")]}
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "1.eml"), "wb") as f:
                f.write(source)
            K.SOURCE_DIR = folder
            try:
                for sha, cause in ((kept, K.DSN_BYTES), ("2", None)):
                    with self.subTest(sha=sha):
                        actual = {"attachments": [part("message/delivery-status", filename="dsn", sha=sha)]}
                        found = K.explain("attachments", expected, actual, "msgreader")
                        self.assertEqual(found, {cause} if cause else None)
            finally:
                K.SOURCE_DIR = None
    def test_without_other_parts_only_the_attachments_count(self):
        dsn = part("message/delivery-status")
        cases = [
            # expected record, actual record, cause (None: not explained)
            ({"attachments": [embedded("メール")], "other_parts": [dsn]},
             {"attachments": [embedded("\ufffd" * 9)], "other_parts": [dsn]}, K.READPST_EMBEDDED),
            ({"attachments": [embedded("メール")], "other_parts": [dsn]},
             {"attachments": [embedded("\ufffd" * 9)], "other_parts": []}, K.READPST_EMBEDDED),
            ({"attachments": [embedded("メール")]},
             {"attachments": [embedded("\ufffd" * 9), part("text/plain", filename="x.txt")]}, None),
            # A nameless attachment comes back as an inline part of the same type and bytes.
            ({"attachments": [part("text/plain", sha="1")]},
             {"attachments": [], "other_parts": [part("text/plain", sha="1")]}, K.INLINE_PARTS % "readpst"),
            ({"attachments": [part("text/plain", sha="1")]},
             {"attachments": [], "other_parts": [part("text/plain", sha="2")]}, None),
            ({"attachments": [part("text/plain", filename="a.txt", sha="1")]},
             {"attachments": [], "other_parts": [part("text/plain", sha="1")]}, None),
            # An empty attachment is left out.
            ({"attachments": [part("text/plain", size=0, filename="e.txt")]}, {"attachments": []}, K.READPST_EMPTY),
            ({"attachments": [part("text/plain", size=1, filename="e.txt")]}, {"attachments": []}, None),
            # An embedded message loses its file name.
            ({"attachments": [dict(embedded("Hi"), filename="hi.eml")]}, {"attachments": [embedded("Hi")]},
             K.READPST_EMBEDDED_NAME),
            ({"attachments": [dict(embedded("Hi"), filename="hi.eml")]},
             {"attachments": [dict(embedded("Hi"), filename="other.eml")]}, None),
            # A nameless part with a Content-ID becomes an inline attachment.
            ({"attachments": [], "other_parts": [dict(part("image/gif", sha="1"), content_id="i@x")]},
             {"attachments": [dict(part("image/gif", sha="1"), content_id="i@x")]}, K.INLINE_CID % "readpst"),
            ({"attachments": [], "other_parts": [dict(part("image/gif", sha="1"), content_id="i@x")]},
             {"attachments": [dict(part("image/gif", sha="2"), content_id="i@x")]}, None),
            # A message/* part other than message/rfc822 in base64.
            ({"attachments": [part("message/external-body", filename="d.txt", sha="1")]},
             {"attachments": [part("message/external-body", filename="d.txt", sha="2")]}, K.READPST_BASE64_MESSAGE),
            ({"attachments": [part("text/plain", filename="d.txt", sha="1")]},
             {"attachments": [part("text/plain", filename="d.txt", sha="2")]}, None),
        ]
        for expected, actual, cause in cases:
            with self.subTest(expected=expected, actual=actual):
                found = K.explain("attachments", expected, actual, "readpst", other_parts=False)
                self.assertEqual(found, {cause} if cause else None)
        # The readers that show MAPI attachments as stored have none of readpst's habits.
        for expected, actual, _ in cases[3:]:
            with self.subTest(expected=expected, actual=actual, reader="pffexport"):
                self.assertIsNone(K.explain("attachments", expected, actual, "pffexport"))

    def test_readers_and_oracle_reading_addresses_and_fields(self):
        cases = [
            # field, expected record, actual record, reader, cause (None: not explained)
            ("from", {"from": [person("aliceexample")]}, {"from": [person("", "Alice Example")]}, "msgreader",
             K.QUOTED_NAME_AS_ADDRESS),
            ("from", {"from": [person("aliceexample")]}, {"from": [person("", "Alice Other")]}, "msgreader", None),
            ("from", {"from": [person('"johndoe"@x.org')]}, {"from": [person('"john doe"@x.org')]}, "pffexport",
             K.QUOTED_LOCAL_PART),
            ("from", {"from": [person('"johndoe"@x.org')]}, {"from": [person('"john roe"@x.org')]}, "pffexport", None),
            ("to", {"to": [person("a@x.org;b@x.org")]}, {"to": [person("a@x.org"), person("b@x.org")]}, "pst-extractor",
             K.SEMICOLON_LIST),
            ("to", {"to": [person("a@x.org;b@x.org")]}, {"to": [person("a@x.org"), person("c@x.org")]}, "pst-extractor",
             None),
            ("subject", {"subject": "=?utf-8?B?bad!?= and =?x-unknown?Q?abc?="}, {"subject": "\ufffd and abc"},
             "pffexport", K.UNDECODABLE_WORD),
            ("subject", {"subject": "=?utf-8?B?bad!?= and =?x-unknown?Q?abc?="}, {"subject": "\ufffd or abc"},
             "pffexport", None),
            ("subject", {"subject": "=?utf-8?Q?fine?="}, {"subject": "fine"}, "pffexport", None),
            ("from", {"from": [person("jörg@x.org")]}, {"from": [person("=?utf-8?q?j=c3=b6rg?=@x.org")]}, "pffexport",
             K.ENCODED_ADDRESS),
            ("from", {"from": [person("jörg@x.org")]}, {"from": [person("=?utf-8?q?j=c3=a4rg?=@x.org")]}, "pffexport",
             None),
            ("attachments", {"attachments": [part("text/plain", filename="x" * 300)]}, {"attachments": []},
             "pffexport", K.PFFEXPORT_LONG_NAME),
            ("attachments", {"attachments": [part("text/plain", filename="x" * 200)]}, {"attachments": []},
             "pffexport", None),
            ("attachments", {"attachments": [part("text/plain", filename="x" * 300)]}, {"attachments": []},
             "pst-extractor", None),
        ]
        for field, expected, actual, reader, cause in cases:
            with self.subTest(field=field, expected=expected, actual=actual):
                found = K.explain(field, expected, actual, reader)
                self.assertEqual(found, {cause} if cause else None)

    def test_a_base64_message_part_is_proven_by_the_source(self):
        inner = b"Subject: Inner\n\nx\n"
        import base64
        def source(encoding):
            return b"From x Thu Jan  1 00:00:00 2009\nContent-Type: multipart/mixed; boundary=b\n\n--b\n" \
                   b"Content-Type: message/rfc822\nContent-Transfer-Encoding: " + encoding + b"\n\n" + \
                   (base64.b64encode(inner) if encoding == b"base64" else inner) + b"\n--b--\n\n"
        expected = {"mbox_offset": 0, "attachments": [dict(embedded(None), embedded={"subject": None, "from": []})]}
        actual = {"attachments": [embedded("Inner")]}
        with tempfile.TemporaryDirectory() as folder:
            mbox = os.path.join(folder, "m.mbox")
            for encoding, cause in ((b"base64", K.BASE64_MESSAGE_PART), (b"7bit", None)):
                with open(mbox, "wb") as f:
                    f.write(source(encoding))
                K.SOURCE_MBOX = mbox
                try:
                    with self.subTest(encoding=encoding):
                        found = K.explain("attachments", expected, actual, "pffexport")
                        self.assertEqual(found, {cause} if cause else None)
                finally:
                    K.SOURCE_MBOX = None

    def test_a_sender_shown_as_from_is_proven_by_the_source_sender_field(self):
        with tempfile.TemporaryDirectory() as folder:
            mbox = os.path.join(folder, "m.mbox")
            with open(mbox, "wb") as f:
                f.write(b"From x Thu Jan  1 00:00:00 2009\nSender: Sec <sec@x.org>\nSubject: s\n\nbody\n\n")
            K.SOURCE_MBOX = mbox
            try:
                for shown, cause in (("sec@x.org", K.SENDER_AS_FROM), ("boss@x.org", None)):
                    with self.subTest(shown=shown):
                        found = K.explain("from", {"from": [], "mbox_offset": 0}, {"from": [person(shown)]}, "pffexport")
                        self.assertEqual(found, {cause} if cause else None)
            finally:
                K.SOURCE_MBOX = None
            self.assertIsNone(K.explain("from", {"from": [], "mbox_offset": 0}, {"from": [person("sec@x.org")]},
                                        "pffexport"))


    def test_a_blank_mailbox_may_give_one_empty_item_only(self):
        def extra(record, reader, blank=True):
            result = {"explained": {}, "unexplained": []}
            summary = {"mismatches": [], "missing": [], "extra": ["#1"], "expected_count": 0}
            K.classify(summary, [], [dict(record, index=1)], reader, "/m", result, blank)
            return list(result["explained"]), len(result["unexplained"])
        empty = {"subject": None, "from": [], "to": [], "body_text": " ", "attachments": []}
        self.assertEqual(extra(empty, "pffexport"), ([K.BLANK_MAILBOX], 0))
        self.assertEqual(extra(dict(empty, **{"from": [person("mailer-daemon")]}), "readpst"), ([K.BLANK_MAILBOX], 0))
        self.assertEqual(extra(dict(empty, **{"from": [person("mailer-daemon")]}), "pffexport"), ([], 1))
        self.assertEqual(extra(dict(empty, subject="Hi"), "pffexport"), ([], 1))
        self.assertEqual(extra(dict(empty, body_text="text"), "pst-extractor"), ([], 1))
        self.assertEqual(extra(empty, "pffexport", blank=False), ([], 1))


if __name__ == "__main__":
    unittest.main()
