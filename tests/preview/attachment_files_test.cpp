#include "preview/attachment_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "mime/message_render.h"
#include "platform/paths.h"
#include "support/test_support.h"

using preview::attachmentFilesOf;

namespace {

const std::string kMessage =
    "From: a@x\nSubject: files\nContent-Type: multipart/mixed; boundary=b\n\n"
    "--b\nContent-Type: text/plain\n\nthe body\n"
    "--b\nContent-Type: application/pdf; name=\"a.pdf\"\nContent-Transfer-Encoding: base64\n\nJVBERi0xLjQK/w==\n"
    "--b\nContent-Type: text/plain; charset=utf-8\nContent-Disposition: attachment; filename=\"notes.txt\"\n"
    "Content-Transfer-Encoding: quoted-printable\n\nline one=0Aline =3D two\n"
    "--b\nContent-Type: text/plain; name=\"inline.txt\"\n\nshown as a body\n"
    "--b\nContent-Type: application/octet-stream\nContent-Disposition: attachment; filename=\"../../etc/x\"\n\nraw\n"
    "--b--\n";

}  // namespace

TEST(AttachmentFiles, TheListedPartsDecodedInListOrder) {
    std::vector<preview::AttachmentFile> files = attachmentFilesOf(kMessage);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].name, u"a.pdf");
    EXPECT_EQ(files[0].bytes, std::string("%PDF-1.4\n\xff"));
    EXPECT_EQ(files[1].name, u"notes.txt");
    EXPECT_EQ(files[1].bytes, "line one\nline = two");
    EXPECT_EQ(files[2].name, u"../../etc/x");  // the name as sent: the desktop makes it safe
    // The same names as the preview's list, so a row of the list finds its part.
    std::u16string listed;
    for (const auto& file : files) listed += (listed.empty() ? u"" : u",") + file.name;
    EXPECT_EQ(listed, mime::ListAttachmentNamesOf(kMessage));
}

TEST(AttachmentFiles, MessageFileByIndex) {
    testing_support::TempDir dir;
    testing_support::writeFile(dir / "m.mht", kMessage);
    const std::u16string path = platform::fromNativePath((dir / "m.mht").string());
    auto second = preview::attachmentOfMessageFile(path, 1);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->name, u"notes.txt");
    EXPECT_FALSE(preview::attachmentOfMessageFile(path, 3));
    EXPECT_FALSE(preview::attachmentOfMessageFile(path + u".missing", 0));
}

TEST(AttachmentFiles, ImMarkersStayInsideTheAttachmentsFolder) {
    testing_support::TempDir dir;
    std::filesystem::create_directories(dir / "att" / "sub");
    std::filesystem::create_symlink("/etc", dir / "att" / "link");
    const std::u16string folder = platform::fromNativePath((dir / "att").string());
    struct Case {
        std::u16string marker;
        std::u16string expected;  // relative to the folder; empty: refused
    } cases[] = {
        {u"-----report.pdf", u"report.pdf"},
        {u"sub\\sheet.csv", u"sub/sheet.csv"},
        {u"../outside.txt", u""},
        {u"sub\\..\\..\\outside.txt", u""},
        {u"/etc/passwd", u""},
        {u"link/passwd", u""},
        {u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::nativePath(c.marker));
        const std::u16string path = preview::imAttachmentPath(folder, c.marker);
        EXPECT_EQ(path, c.expected.empty() ? u"" : platform::withTrailingSeparator(folder) + c.expected);
    }
}
