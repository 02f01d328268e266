#include "mime/html_sanitizer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "html_tree_check.h"
#include "mime/html_bytes.h"
#include "mime/html_nesting.h"
#include "support/test_support.h"

using mime::sanitizeHtmlDocument;

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string joined(const std::vector<std::string>& list) {
    std::string out;
    for (const auto& item : list) out += item + "\n";
    return out;
}

}  // namespace

// Known ways past tag filters and sanitisers: the output holds only allowed elements, attributes and
// URLs (as a browser's parser reads it back), nothing of the attack, the text that should stay, and
// sanitising it again changes nothing.
TEST(HtmlSanitizer, KnownBypassVectorsComeOutInert) {
    struct Case {
        const char* html;
        std::vector<const char*> gone;  // compared in lower case
        const char* kept;
    };
    const Case cases[] = {
        {"<noscript><p title=\"</noscript><img src=x onerror=alert(1)>\">n</noscript>ok", {"<img", "<noscript"}, "ok"},
        {"<template><img src=x onerror=alert(1)></template>ok", {"onerror", "<img"}, "ok"},
        {"<math><mtext><table><mglyph><style><img src=x onerror=alert(1)>", {"onerror", "<img", "mglyph"}, ""},
        {"<svg><style><img src=x onerror=alert(1)></style></svg>ok", {"onerror", "<svg", "<style"}, "ok"},
        {"<svg><image href=\"http://127.0.0.1/a\"/><filter><feImage href=\"http://127.0.0.1/b\"/></filter></svg>ok",
         {"127.0.0.1", "image", "feimage"}, "ok"},
        {"<svg><a xlink:href=\"javascript:alert(1)\"><text>t</text></a></svg>ok", {"javascript", "xlink"}, "ok"},
        {"<style>@import 'http://x.test/a.css';p{color:red}</style><p>ok</p>", {"@import", "x.test"}, "p{color:red}"},
        {"<style>p{background:u\\72l(http://x.test/b)}</style><p>ok</p>", {"x.test"}, "ok"},
        {"<style></style><script>alert(1)</script></style>ok", {"<script", "alert"}, "ok"},
        {"<div style=\"color:red;background-image:image-set('http://x.test/c' 1x)\">ok</div>", {"x.test"},
         "style=\"color:red;\""},
        {"<div style=\"width: expression(alert(7))\">ok</div>", {"expression", "alert"}, "ok"},
        {"<img srcset=\"http://x.test/d 1x\" src=\"http://x.test/e\">", {"x.test", "srcset"}, "[remote image blocked]"},
        {"<table background=\"http://x.test/f\"><tr><td background=\"javascript:alert(1)\">ok</td></tr></table>",
         {"x.test", "javascript", "background"}, "ok"},
        {"<base href=\"http://x.test/\"><link rel=stylesheet href=\"http://x.test/g.css\"><a href=\"page\">ok</a>",
         {"x.test", "<base", "<link", "href"}, "ok"},
        {"<meta http-equiv=\"refresh\" content=\"0;url=http://x.test/\">ok", {"refresh", "x.test"}, "ok"},
        {"<form action=\"http://x.test/\"><input name=q><button formaction=\"javascript:alert(1)\">ok</button></form>",
         {"x.test", "<form", "<input", "javascript"}, "ok"},
        {"<a href=\"java&#x09;script:alert(1)\">a</a><a href=\"&#106;avascript:alert(1)\">b</a>"
         "<a href=\" JaVaScRiPt:alert(1)\">c</a><a href=\"vbscript:x\">d</a>ok",
         {"script:", "href"}, "ok"},
        {"<a href=\"data:text/html,<script>alert(1)</script>\">ok</a>", {"data:", "href"}, "ok"},
        {"<img src=\"data:image/svg+xml,<svg onload=alert(1)>\">", {"svg", "onload"}, "[remote image blocked]"},
        {"<iframe srcdoc=\"<script>alert(1)</script>\"></iframe><object data=x></object><embed src=x>ok",
         {"iframe", "srcdoc", "object", "embed", "alert"}, "ok"},
        {"<!--<img src=x onerror=alert(1)>-->ok<!--[if IE]><script>alert(1)</script><![endif]-->", {"onerror", "alert"},
         "ok"},
        {"<title></title><img src=x onerror=alert(1)></title>ok", {"onerror"}, "ok"},
        {"<textarea><img src=x onerror=alert(1)></textarea><xmp><script>alert(1)</script></xmp>ok", {"onerror", "<script"},
         "ok"},
        {"<select><style><img src=x onerror=alert(1)></style></select>ok", {"onerror", "<img"}, "ok"},
        {"<body onload=alert(1)><p onclick=\"alert(1)\" ONMOUSEOVER=x>ok</p>", {"onload", "onclick", "onmouseover"},
         "<p>ok</p>"},
        {"<video poster=\"http://x.test/h\"><source src=\"http://x.test/i\"></video><audio src=x></audio>ok",
         {"x.test", "video", "audio"}, "ok"},
        {"<a href=\"http://example.com/?a=1&amp;b=2\" target=_blank ping=\"http://x.test/\">ok</a>",
         {"ping", "target", "x.test"}, "href=\"http://example.com/?a=1&amp;b=2\""},
        {"<plaintext><script>alert(1)</script>", {"<script"}, "&lt;script&gt;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.html);
        const std::string out = sanitizeHtmlDocument(c.html);
        EXPECT_EQ(joined(html_check::violations(out)), "") << out;
        const std::string body = lowered(out.substr(out.find("<body")));
        for (const char* g : c.gone) EXPECT_EQ(body.find(g), std::string::npos) << g << "\n" << out;
        EXPECT_NE(out.find(c.kept), std::string::npos) << out;
        EXPECT_EQ(sanitizeHtmlDocument(out), out);
    }
}

TEST(HtmlSanitizer, KeepsOrdinaryMailFormatting) {
    const std::pair<const char*, const char*> cases[] = {
        {"<p>Hi <b>there</b> &amp; <i>you</i></p>", "<p>Hi <b>there</b> &amp; <i>you</i></p>"},
        {"<table border=1 cellpadding=\"2\"><tr><td colspan=2 style=\"color:#333\">x</td></tr></table>",
         "<table border=\"1\" cellpadding=\"2\"><tbody><tr><td colspan=\"2\" style=\"color:#333\">x</td></tr></tbody></table>"},
        {"<a href=\"https://example.com/\">l</a><a href=\"MailTo:a@example.com\">m</a><a href=\"#top\">t</a>",
         "<a href=\"https://example.com/\">l</a><a href=\"MailTo:a@example.com\">m</a><a href=\"#top\">t</a>"},
        {"<img src=\"cid:logo@x\" alt=\"Logo\"><img src=\"data:image/png;base64,iVBO\">",
         "<img src=\"cid:logo@x\" alt=\"Logo\"><img src=\"data:image/png;base64,iVBO\">"},
        {"<o:p>Office</o:p><font face=\"Arial\" color=red>f</font>", "Office<font face=\"Arial\" color=\"red\">f</font>"},
        {"<pre>\n\nline</pre><pre>flush</pre>", "<pre>\n\nline</pre><pre>flush</pre>"},
        {"a < b and <3 stays", "a &lt; b and &lt;3 stays"},
        {"C1 \xC2\x86 control, private \xEF\x9E\x86 use", "C1 \xEF\xBF\xBD control, private \xEF\x9E\x86 use"},
        {"only C1 \xC2\x86", "only C1 \xC2\x86"},
        {"<p title='say \"hi\"'>q</p>", "<p title=\"say &quot;hi&quot;\">q</p>"},
        {"<head><title>T &amp; U</title><style>p{color:red}</style></head>x", "<title>T &amp; U</title><style>p{color:red}</style>"},
        {"<span style=\"font-family:\\5b8b\\4f53\">\xE5\xAE\x8B</span>", "<span style=\"font-family:\\5b8b\\4f53\">\xE5\xAE\x8B</span>"},
    };
    for (const auto& [in, expected] : cases) {
        const std::string out = sanitizeHtmlDocument(in);
        EXPECT_NE(out.find(expected), std::string::npos) << in << "\n" << out;
        EXPECT_EQ(joined(html_check::violations(out)), "") << out;
    }
}

TEST(HtmlSanitizer, DocumentStartsWithThePolicyAndTakesTheProgramsOwnParts) {
    mime::HtmlSanitizeOptions own;
    own.bodyPrefix = "<div>Header</div>";
    own.fallbackTitle = "Subject <1>";
    const std::string out = sanitizeHtmlDocument(
        "<html><head><meta charset=iso-8859-1></head><body bgcolor=white onload=x()>text</body></html>", own);
    EXPECT_EQ(out.rfind(mime::htmlDocumentStart(), 0), 0u) << out;
    EXPECT_NE(out.find("<title>Subject &lt;1&gt;</title>"), std::string::npos) << out;
    EXPECT_NE(out.find("<body bgcolor=\"white\"><div>Header</div>text</body>"), std::string::npos) << out;
    EXPECT_EQ(out.find("iso-8859-1"), std::string::npos);

    // Content-ID pictures through the resolver; only picture data: URLs are taken from it.
    mime::HtmlSanitizeOptions options;
    options.resolveContentId = [](std::string_view id) -> std::optional<std::string> {
        if (id == "a@x") return "data:image/gif;base64,R0lG";
        if (id == "b@x") return "data:text/html,<script>alert(1)</script>";
        return std::nullopt;
    };
    const std::string pictures =
        sanitizeHtmlDocument("<img src=\"cid:a@x\"><img src=\"CID:a%40x\"><img src=\"cid:b@x\"><img src=cid:c@x>", options);
    EXPECT_NE(pictures.find("<img src=\"data:image/gif;base64,R0lG\"><img src=\"data:image/gif;base64,R0lG\">"),
              std::string::npos)
        << pictures;
    EXPECT_EQ(pictures.find("cid:"), std::string::npos);
    EXPECT_EQ(pictures.find("text/html"), std::string::npos);
}

// Markup nested far deeper than any mail is cut to a bounded depth before parsing (the parser's time
// grows with the square of the depth); the text stays.
TEST(HtmlSanitizer, BoundsNestingAndAttributes) {
    std::string deep;
    for (int i = 0; i < 20000; ++i) deep += "<div>";
    deep += "bottom";
    const std::string limited = mime::limitHtmlNesting(deep);
    EXPECT_EQ(std::count(limited.begin(), limited.end(), '<'), static_cast<std::ptrdiff_t>(mime::kMaxHtmlNesting));
    EXPECT_NE(sanitizeHtmlDocument(deep).find("bottom"), std::string::npos);

    std::string reopened;
    for (int i = 0; i < 5000; ++i) reopened += "<p><b id=" + std::to_string(i) + "></p>x";
    const std::string cut = mime::limitHtmlNesting(reopened);
    EXPECT_LE(std::count(cut.begin(), cut.end(), 'b'), static_cast<std::ptrdiff_t>(mime::kMaxHtmlNesting + 3));

    std::string wide = "<p";
    for (int i = 0; i < 5000; ++i) wide += " a" + std::to_string(i) + "=1";
    wide += " title=t>w";
    const std::string fewer = mime::limitHtmlNesting(wide);
    EXPECT_EQ(std::count(fewer.begin(), fewer.end(), '='), static_cast<std::ptrdiff_t>(mime::kMaxHtmlAttributes));
    EXPECT_NE(fewer.find(">w"), std::string::npos);

    // Ordinary sloppy mail is passed on unchanged: unclosed paragraphs, list items, cells, fonts.
    std::string sloppy;
    for (int i = 0; i < 1000; ++i) sloppy += "<p><font face=Arial>para<li>item<table><tr><td>c<td>d</table>";
    EXPECT_EQ(mime::limitHtmlNesting(sloppy), sloppy);
}

// Inputs the fuzz target or a reading of the code once found wanting, kept as files.
TEST(HtmlSanitizer, RegressionInputs) {
    const auto folder = testing_support::sourceDir() / "tests" / "mime" / "html_regressions";
    const auto files = testing_support::filesUnder(folder);
    EXPECT_FALSE(files.empty()) << folder;
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        const std::string out = sanitizeHtmlDocument(testing_support::readFile(path));
        EXPECT_EQ(joined(html_check::violations(out)), "") << out;
        EXPECT_EQ(out.find("x.test"), std::string::npos) << out;
        EXPECT_EQ(sanitizeHtmlDocument(out), out);
    }
}

// The eight-bytes-at-a-time count against std::count: every length and position around the word, any
// byte value, and texts long enough (all of them the byte) that the lane sums must be flushed.
TEST(HtmlBytesTest, CountMatchesTheByteByByteCount) {
    std::vector<std::string> texts = {"", "<", "a", "<<", std::string(1, '\0'), "\xFF\x3C\xBC"};
    for (const char special : {'<', '\xBC', '\0', '\xFF'}) {
        for (const std::size_t at : {0, 1, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100}) {
            std::string text(101, 'x');
            text.insert(at, 1, special);
            texts.push_back(text);
            texts.push_back(text.substr(0, at + 1));
        }
    }
    for (const std::size_t size : {2039, 2040, 2041, 4096, 100000}) texts.push_back(std::string(size, '<'));
    std::string mixed;
    for (int i = 0; i < 5000; ++i) mixed.push_back(static_cast<char>(i * 37 % 256));
    texts.push_back(mixed);
    for (const std::string& text : texts) {
        for (const char c : {'<', '\xBC', '\0', '\xFF', 'x'})
            EXPECT_EQ(mime::html_bytes::count(text, c), static_cast<std::size_t>(std::count(text.begin(), text.end(), c)))
                << text.size() << " bytes, counting " << static_cast<int>(static_cast<unsigned char>(c));
    }
}
