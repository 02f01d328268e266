#include "mime/html_simple_tree.h"

#include <gtest/gtest.h>

#include <string>

#include "html_tree_check.h"
#include "mime/html_nesting.h"
#include "mime/html_sanitizer.h"

namespace {

std::string document(std::string_view html) { return "<!DOCTYPE html>" + std::string(html); }

// Ordinary mail markup (and the program's own documents, which are read back once more): the simple
// builder takes it, and its tree equals gumbo's node by node.
TEST(HtmlSimpleTree, BuildsGumbosTreeForPlainMarkup) {
    const char* const cases[] = {
        "",
        "plain text only",
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"></head>\n"
        "<body><div style=\"font-family: Arial\">\n<p>K\xC3\xB6ln &amp; more<br>\nline</p>\n</div></body></html>\n",
        "<div style=\"font-size:10pt\"><table style=\"border-collapse:collapse\">\r\n<tr><td style=\"font-weight:bold\">"
        "From:</td><td>A &lt;a@x&gt;</td></tr>\r\n<tr><td>To:</td><td>b</td></tr>\r\n</table></div>\r\n",
        "<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"><head><meta name=Generator content=\"Microsoft Word 15\">"
        "<style><!--\r\np.MsoNormal {margin:0cm;}\r\n--></style><!--[if gte mso 9]><xml><o:shapedefaults v:ext=\"edit\" "
        "spidmax=\"1026\" /></xml><![endif]--></head><body lang=EN-US link=\"#0563C1\"><div class=WordSection1>"
        "<p class=MsoNormal>Hi<o:p></o:p></p><p class=MsoNormal><o:p>&nbsp;</o:p></p></div></body></html>",
        "<p>one<p>two<div>three</div><ul><li>a<li>b</ul><h1>t</h1><h2>x</h3>after",
        "<ul><li>a<ul><li>b</ul><li>c</ul><ol><li><p>x<li>y</ol><dl><dt>a<dd>b<dt>c</dl>",
        "<table><tr><td>a<td>b<tr><th><b>c</b></table>",
        "<table><tbody><tr><th>h</th></tr></tbody><tfoot><tr><td>f</td></tr></tfoot></table>",
        "<table><tr><td><table><tr><td>in</td></tr></table>out</td></tr></table>",
        "<table>\n<!--c-->\n<tr>\n<td>x</td>\n</tr>\n</table>",
        "<table><tr><td><b>x<i>y<td>z</table>after",
        "<table><tr><td>x</table>after<table><td>implied</td></table>",
        "<pre>\nfirst\n</pre><pre>\n\nsecond</pre><pre>third</pre>",
        "<b><i>x</i></b><font color=red><span>y</span></font><a href=\"http://x\">l</a><b><b><b>3</b></b></b>",
        "<title>T &amp; t</title><style>p{}</style>text",
        "<head></head>\n<style>b{}</style><body>x</body>\n",
        "<head><title>a &lt;b</title>\n</head>\n<body>y",
        "<!-- c --><p>x<!---->y</p>",
        "a < b & c <3 &#39;&#x2014;&quot;",
        "<body>x</body>\n<!-- after -->\n</html>\n<!-- end -->\n",
        "a\rb\r\nc<p title=\"1\r\n2\">d</p>",
        "<p>a<hr>b<p><span>a<div>b</div><div><p>a</div>b<blockquote><p>q</blockquote>",
        "<p class=x id='y' title=\"a &quot;b&quot;\" hidden>t</p><P CLASS=X>u</P><br/><img src=\"cid:a\"/>",
        "<center><font face=Arial size=2><strong>x</strong></font></center><sup>1</sup><del>d</del><ins>i</ins>",
        "<div><meta charset=utf-8><style>p{}</style></div>",
        "<html><body><!DOCTYPE html><p>x</p></body></html>",
    };
    for (const char* html : cases) {
        SCOPED_TRACE(html);
        const std::string input = document(html);
        const auto tree = mime::SimpleHtmlTree::parse(input);
        ASSERT_TRUE(tree);
        EXPECT_EQ(html_check::treeText(*tree->output().root), html_check::gumboTreeText(input));
        // With few tags, what it takes is what the sanitiser's nesting bound passes on unchanged.
        EXPECT_EQ(mime::limitHtmlNesting(html), html);
    }
}

// Markup where the parser moves, reopens, renames or drops what it reads, and characters or
// references it changes: the simple builder declines, and the sanitiser's general parser reads it.
TEST(HtmlSimpleTree, DeclinesMarkupItCannotBuildAlike) {
    const char* const cases[] = {
        "<b><p>x</b>y</p>",            // misnested formatting: reopened
        "<table>text</table>",         // text moved before the table
        "<table><div>x</div></table>", // element moved before the table
        "<script>x</script>",
        "<a href=x><a href=y>z</a></a>",
        "a&copy;b",
        "a&amp b",
        "<svg><circle/></svg>",
        "a\x01z",
        "a\xC2\x85z",
        "a\xEF\xBF\xBEz",
        "a\xEF\xB7\x90z",  // noncharacter U+FDD0
        "a\x7Fz",
        "a\xED\xA0\x80z",  // surrogate
        "a\xC0\xAFz",      // overlong
        "a\xE3\x81",       // cut short
        "\xFF",
        "<p>x</p></p>",
        "<b><b><b><b>x",
        "<form><input></form>",
        "<div>x</span>",
        "<textarea>x</textarea>",
        "<p a=1 a=2>",
        "<!--x--!>",
        "<?xml version=\"1.0\"?>",
        "<span/>",
        "<pre>&#10;x</pre>",
        "<td>cell outside a table</td>",
        "<image src=x>",
        "<html><body>x</body>y",
        "<title>a<b</title>",          // a tag to the nesting bound
    };
    for (const char* html : cases) {
        SCOPED_TRACE(html);
        EXPECT_FALSE(mime::SimpleHtmlTree::parse(document(html)));
    }
    EXPECT_FALSE(mime::SimpleHtmlTree::parse("<p>without the doctype"));
    std::string wide = "<p";
    for (std::size_t i = 0; i <= mime::kMaxHtmlAttributes; ++i) wide += " a" + std::to_string(i);
    EXPECT_FALSE(mime::SimpleHtmlTree::parse(document(wide + ">x")));
}

}  // namespace
