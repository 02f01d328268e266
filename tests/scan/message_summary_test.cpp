#include "scan/message_summary.h"

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "scan/message_reader.h"
#include "support/test_support.h"

using scan::MessageSummary;

namespace {

MessageSummary summarize(std::string bytes, bool isImm = false, const scan::CMboxFile* mbox = nullptr) {
    static const scan::CMboxFile none;
    return scan::summarizeMessage(bytes, isImm, mbox ? *mbox : none);
}

std::string withEol(std::string text, const char* eol) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += eol;
        else
            out += c;
    }
    return out;
}

}  // namespace

TEST(SummarizeMessage, ReadsTheFourFieldsWhateverTheLineEnds) {
    const std::string message =
        "From ann@x Mon Mar  2 09:15:00 2026\nFrom: Ann <ann@x>\nto: Bob <bob@x>\nTo: second@x\n"
        "Subject: Lunch\n on Friday\nDate: Mon, 2 Mar 2026 09:15:00 +0100\n\nbody\n";
    for (const char* eol : {"\n", "\r\n", "\r"}) {
        SCOPED_TRACE(testing::PrintToString(std::string(eol)));
        MessageSummary summary = summarize(withEol(message, eol));
        EXPECT_EQ(summary.from, u"Ann <ann@x>");
        EXPECT_EQ(summary.to, u"Bob <bob@x>");  // the first field of a name wins, any case
        EXPECT_EQ(summary.subject, u"Lunch\r\n on Friday");  // folding kept, as the library stores it
        EXPECT_EQ(summary.date, u"Mon, 2 Mar 2026 09:15:00 +0100");
        EXPECT_FALSE(summary.hasAttachments);
    }
}

TEST(SummarizeMessage, ALeadingLineBreakIsSkippedBeforeParsing) {
    MessageSummary summary = summarize("\nFrom x\nSubject: second\n\nbody\n");
    EXPECT_EQ(summary.subject, u"second");
}

TEST(SummarizeMessage, DisplayTextIsUtf8OnlyForValidMultiByteText) {
    EXPECT_EQ(summarize("Subject: K\xC3\xB6ln\r\n\r\n").subject, u"K\u00F6ln");
    EXPECT_EQ(summarize("Subject: K\xF6ln\r\n\r\n").subject, u"K\u00F6ln");
    EXPECT_EQ(summarize("Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?=\r\n\r\n").subject, u"Gr\u00FC\u00DFe");
    EXPECT_EQ(summarize("Subject: =?ISO-8859-1?Q?Gr=FC=DFe?=\r\n\r\n").subject, u"Gr\u00FC\u00DFe");
}

TEST(SummarizeMessage, AttachmentFlagFromNamedLeavesOrTheImmNames) {
    const std::string mixed =
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\nx\r\n"
        "--b\r\nContent-Type: application/pdf\r\nContent-Disposition: attachment; filename=a.pdf\r\n\r\nAAAA\r\n--b--\r\n";
    const std::string alternative =
        "Content-Type: multipart/alternative; boundary=b\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\nx\r\n"
        "--b\r\nContent-Type: text/html\r\n\r\n<p>x</p>\r\n--b--\r\n";
    EXPECT_TRUE(summarize(mixed).hasAttachments);
    EXPECT_FALSE(summarize(alternative).hasAttachments);

    scan::CMboxFile imm;
    EXPECT_FALSE(summarize(mixed, true, &imm).hasAttachments);  // .imm: only the marker names count
    imm.imAttachmentNames.push_back(u"report.pdf");
    EXPECT_TRUE(summarize(alternative, true, &imm).hasAttachments);
}

TEST(SummarizeMessage, EmptyAndHeaderlessMessagesGiveAnEmptySummary) {
    for (std::string bytes : {std::string(), std::string("just a body line\r\n"), std::string("\0\0\0", 3)}) {
        MessageSummary summary = summarize(bytes);
        EXPECT_TRUE(summary.to.empty() && summary.from.empty() && summary.subject.empty() && summary.date.empty());
        EXPECT_FALSE(summary.hasAttachments);
    }
}

TEST(SummarizeMessage, EveryMessageOfTheSamplesAndTheCorpusIsSummarised) {
    std::vector<std::filesystem::path> mailboxes = {testing_support::sourceDir() / "samples" / "inbox.mbox",
                                                    testing_support::sourceDir() / "samples" / "imm" / "Mailbox.imm"};
    if (auto corpus = testing_support::sharedCorpus()) {
        for (const auto& file : testing_support::filesUnder(*corpus / "mbox")) mailboxes.push_back(file);
        for (const auto& file : testing_support::filesUnder(*corpus / "eml")) mailboxes.push_back(file);
    }
    std::size_t summarised = 0;
    for (const auto& path : mailboxes) {
        std::u16string widePath = platform::fromNativePath(path.string());
        scan::CMboxFile mbox;
        ASSERT_TRUE(mbox.file.open(widePath)) << path;
        bool imm = scan::isImmPath(widePath);
        if (imm)
            mbox.scanMimeVersion(widePath);
        else
            mbox.scanFromLines();
        for (std::uint64_t k = 0; k < mbox.messageCount(); ++k) {
            auto bytes = scan::readMessage(mbox, k, false);
            ASSERT_TRUE(bytes);
            if (imm) scan::collectImAttachmentNames(*bytes, mbox);
            MessageSummary summary = scan::summarizeMessage(*bytes, imm, mbox);
            mbox.imAttachmentNames.clear();
            ++summarised;
        }
    }
    EXPECT_GE(summarised, 9u);
}
