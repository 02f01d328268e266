#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "body_test_util.h"

namespace {
// The dynamic type of an object; typeid on a call would evaluate the call inside typeid.
template <class T>
const std::type_info& dynamicType(const T& object) {
    return typeid(object);
}
}  // namespace

using namespace mime;
using mime_test::parse;

namespace {

std::unique_ptr<CMimeBody> withContentType(const char* value) {
    auto body = std::make_unique<CMimeBody>();
    if (value) body->PutFieldText("Content-Type", value);
    return body;
}

}  // namespace

TEST(BodyContentType, MediaTypeMainAndSubType) {
    struct Case {
        const char* contentType;  // null: no Content-Type field
        int index;
        std::string mainType;
        std::string subType;
    } cases[] = {
        {nullptr, kMediaText, "text", ""},
        {"TEXT/Plain", kMediaText, "TEXT", "Plain"},
        {"image/png", kMediaImage, "image", "png"},
        {"audio/basic", kMediaAudio, "audio", "basic"},
        {"video/mpeg", kMediaVideo, "video", "mpeg"},
        {"Application/pdf; name=\"a/b\"", kMediaApplication, "Application", "pdf"},
        {"multipart/mixed; boundary=x/y", kMediaMultipart, "multipart", "mixed"},
        {"message/rfc822", kMediaMessage, "message", "rfc822"},
        {"model/vrml", kMediaOther, "model", "vrml"},
        {"", kMediaOther, "", ""},
        {"textual", kMediaText, "textual", ""},  // only the start is compared
    };
    for (const auto& c : cases) {
        CMimeBody body;
        if (c.contentType) body.PutFieldText("Content-Type", c.contentType);
        const std::string label = c.contentType ? c.contentType : "(none)";
        EXPECT_EQ(body.MediaTypeIndex(), c.index) << label;
        EXPECT_EQ(body.MainTypeText(), c.mainType) << label;
        EXPECT_EQ(body.SubTypeText(), c.subType) << label;
    }
}

TEST(BodyContentType, NamesAndAttachmentTest) {
    struct Case {
        std::string header;
        std::string partName;
        std::string fileName;
        bool attachment;
    } cases[] = {
        {"Content-Type: application/pdf; name=\"a.pdf\"\r\n", "a.pdf", "", true},
        {"Content-Disposition: attachment; filename=b.pdf\r\n", "", "b.pdf", true},
        {"Content-Disposition: attachment\r\n", "", "", false},
        {"Content-Type: text/plain\r\nContent-Disposition: inline; filename=\"=?UTF-8?Q?x_y?=\"\r\n", "",
         "x y", true},
        {"Content-Type: image/png; name=\"=?UTF-8?B?w6k=?=.png\"\r\n", "\xC3\xA9.png", "", true},
    };
    for (const auto& c : cases) {
        CMimeBody body;
        parse(body, c.header + "\r\n");
        EXPECT_EQ(body.PartName(), c.partName) << c.header;
        EXPECT_EQ(body.DispositionFileName(), c.fileName) << c.header;
        EXPECT_EQ(body.HasAttachmentName(), c.attachment) << c.header;
    }
}

TEST(BodyContentType, PutPartNameDerivesTheTypeFromTheExtension) {
    struct Case {
        const char* existing;
        std::string name;
        std::string contentType;
    } cases[] = {
        {nullptr, "report.PDF", "application/pdf; name=\"report.PDF\""},
        {nullptr, "archive.tar.gz", "application/octet-stream; name=\"archive.tar.gz\""},
        {nullptr, "noext", "application/octet-stream; name=\"noext\""},
        {nullptr, "trailing.", "application/octet-stream; name=\"trailing.\""},
        {nullptr, "photo.JPG", "image/jpeg; name=\"photo.JPG\""},
        {nullptr, "scan.tif", "image/tiff; name=\"scan.tif\""},
        {nullptr, "song.mp3", "audio/basic; name=\"song.mp3\""},
        {nullptr, "clip.mpeg", "video/mpeg; name=\"clip.mpeg\""},
        {nullptr, "sheet.xls", "application/vnd.ms-excel; name=\"sheet.xls\""},
        {nullptr, "=?utf-8?B?YS5wZGY=?=", "application/octet-stream; name=\"=?utf-8?B?YS5wZGY=?=\""},
        {"image/png", "a.pdf", "image/png; name=\"a.pdf\""},
        {"image/png; name=old.png", "a.pdf", "image/png; name=\"a.pdf\""},
    };
    for (const auto& c : cases) {
        auto body = withContentType(c.existing);
        body->PutPartName(c.name);
        ASSERT_EQ(body->Fields().size(), 1u);
        EXPECT_EQ(*body->ContentTypeText(), c.contentType) << c.name;
    }
}

TEST(BodyContentType, PutCharset) {
    auto none = withContentType(nullptr);
    none->PutCharset("UTF-8");
    EXPECT_EQ(*none->ContentTypeText(), "text/plain; charset=\"UTF-8\"");
    auto html = withContentType("text/html; charset=us-ascii");
    html->PutCharset("UTF-8");
    EXPECT_EQ(*html->ContentTypeText(), "text/html; charset=\"UTF-8\"");
}

TEST(BodyContentType, NewBoundary) {
    const std::regex format(R"(__=_Part_Boundary_00[1-9]_\d{6,}\.\d{6,})");
    struct Case {
        const char* existing;
        std::string typeBefore;  // the Content-Type value before the boundary parameter
    } cases[] = {
        {nullptr, "multipart/mixed"},
        {"text/plain; charset=x", "multipart/mixed"},
        {"Multipart/Alternative", "Multipart/Alternative"},
        {"multipart/related; boundary=old", "multipart/related"},
    };
    for (const auto& c : cases) {
        auto body = withContentType(c.existing);
        const std::string boundary = body->NewBoundary();
        EXPECT_TRUE(std::regex_match(boundary, format)) << boundary;
        EXPECT_EQ(*body->ContentTypeText(), c.typeBefore + "; boundary=\"" + boundary + "\"");
        EXPECT_EQ(body->BoundaryText(), boundary);
    }
    // Nine boundaries in a row from one body differ in the counter field.
    CMimeBody body;
    std::set<std::string> counters;
    for (int i = 0; i < 9; ++i) counters.insert(body.NewBoundary().substr(18, 3));
    EXPECT_EQ(counters.size(), 9u);
}

TEST(BodyContent, PutReserveAndReset) {
    CMimeBody body;
    EXPECT_EQ(body.Content(), nullptr);
    EXPECT_EQ(body.PutContent("abc", 0), 3);
    EXPECT_STREQ(body.Content(), "abc");
    EXPECT_EQ(body.PutContent("a\0b\0c", 5), 5);
    EXPECT_EQ(body.ContentView(), std::string_view("a\0b\0c", 5));
    EXPECT_EQ(body.Content()[5], '\0');

    ASSERT_TRUE(body.ReserveContent(4));
    EXPECT_EQ(body.ContentView(), std::string_view("\0\0\0\0", 4));
    body.Content()[0] = 'x';
    body.SetContentSize(1);
    EXPECT_EQ(body.ContentView(), "x");
    body.SetContentSize(100);  // clamped to the reserved size
    EXPECT_EQ(body.ContentSize(), 4);
    EXPECT_FALSE(body.ReserveContent(-1));
    EXPECT_EQ(body.Content(), nullptr);

    body.PutFieldText("Content-Type", "multipart/mixed; boundary=b");
    body.PutContent("x", 0);
    body.AddChildPart();
    body.Reset();
    EXPECT_TRUE(body.Fields().empty());
    EXPECT_TRUE(body.Parts().empty());
    EXPECT_EQ(body.Content(), nullptr);
    EXPECT_EQ(body.ContentSize(), 0);
}

TEST(BodyTree, CollectLeavesInDocumentOrder) {
    CMimeMessage message;
    parse(message,
          "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type: multipart/alternative; "
          "boundary=i\r\n"
          "\r\n--i\r\n\r\none\r\n--i\r\n\r\ntwo\r\n--i--\r\n--b\r\n\r\nthree\r\n--b--\r\n");
    std::vector<CMimeBody*> leaves;
    EXPECT_EQ(message.CollectLeaves(leaves), 3);
    ASSERT_EQ(leaves.size(), 3u);
    EXPECT_EQ(leaves[0]->ContentView(), "one");
    EXPECT_EQ(leaves[1]->ContentView(), "two");
    EXPECT_EQ(leaves[2]->ContentView(), "three");

    std::vector<const CMimeBody*> more = {nullptr};  // appended after what is there
    CMimeMessage single;
    parse(single, "Subject: s\r\n\r\nx");
    EXPECT_EQ(std::as_const(single).CollectLeaves(more), 1);
    EXPECT_EQ(more.size(), 2u);
    EXPECT_EQ(more[1], &single);

    message.RemoveChildParts();
    leaves.clear();
    EXPECT_EQ(message.CollectLeaves(leaves), 0);
}

TEST(BodyRegistry, MakeBodyAndRegisteredTypes) {
    struct Tagged : CMimeBody {};
    EXPECT_EQ(dynamicType(*MakeBody("")), typeid(CMimeBody));
    EXPECT_EQ(dynamicType(*MakeBody("image")), typeid(CMimeBody));
    AddMediaType("Image", [] { return std::unique_ptr<CMimeBody>(std::make_unique<Tagged>()); });
    EXPECT_EQ(dynamicType(*MakeBody("IMAGE")), typeid(Tagged));
    // Parts are created by their main type while a type is registered.
    CMimeMessage message;
    parse(message,
          "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type: "
          "image/png\r\n\r\nx\r\n--b\r\n\r\ny\r\n--b--\r\n");
    ASSERT_EQ(message.Parts().size(), 2u);
    EXPECT_EQ(dynamicType(*message.Parts().front()), typeid(Tagged));
    EXPECT_EQ(dynamicType(*message.Parts().back()), typeid(CMimeBody));
    AddMediaType("image", nullptr);
    EXPECT_EQ(dynamicType(*MakeBody("image")), typeid(CMimeBody));
}
