// The bounded XML reader behind the layout files.
#include <gtest/gtest.h>

#include <string>

#include "app/platform/xml_reader.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::app {
namespace {

TEST(XmlReader, ReadsElementsAttributesTextAndReferences) {
    const auto root = parseXml(
        "\xEF\xBB\xBF<?xml version='1.0'?>\n<!DOCTYPE ui>\n<!-- c -->"
        "<ui version=\"4.0\" name='a&amp;b'>"
        "<p>x &lt; y &gt; z &quot;&apos; &#65;&#x42;&#xE9;</p>"
        "<q><![CDATA[<raw> & ]]></q><!-- inside --><e/>"
        "</ui>  ");
    EXPECT_EQ(root->name, "ui");
    ASSERT_NE(root->attribute("name"), nullptr);
    EXPECT_EQ(*root->attribute("name"), "a&b");
    EXPECT_EQ(root->child("p")->text, "x < y > z \"' AB\xC3\xA9");
    EXPECT_EQ(root->child("q")->text, "<raw> & ");
    ASSERT_NE(root->child("e"), nullptr);
    EXPECT_EQ(root->children.size(), 3u);
    EXPECT_EQ(root->attribute("missing"), nullptr);
}

struct BadXml {
    const char* name;
    std::string text;
    const char* fragment;  // part of the message
};

class XmlRefusal : public ::testing::TestWithParam<BadXml> {};

TEST_P(XmlRefusal, IsAnErrorNamingTheLine) {
    try {
        (void)parseXml(GetParam().text);
        FAIL() << "accepted";
    } catch (const Error& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("line"), std::string::npos) << what;
        EXPECT_NE(what.find(GetParam().fragment), std::string::npos) << what;
    }
}

std::string nested(std::size_t depth) {
    std::string s;
    for (std::size_t i = 0; i < depth; ++i) s += "<a>";
    for (std::size_t i = 0; i < depth; ++i) s += "</a>";
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XmlRefusal,
    ::testing::Values(BadXml{"empty", "", "no root"}, BadXml{"unclosed", "<a><b></b>", "not closed"},
                      BadXml{"mismatched", "<a>\n<b></a></b>", "closes"},
                      BadXml{"two_roots", "<a/><b/>", "after the root"},
                      BadXml{"unknown_entity", "<a>&nbsp;</a>", "unknown entity"},
                      BadXml{"null_reference", "<a>&#0;</a>", "out of range"},
                      BadXml{"huge_reference", "<a>&#x110000;</a>", "out of range"},
                      BadXml{"surrogate", "<a>&#xD800;</a>", "out of range"},
                      BadXml{"unquoted", "<a b=c/>", "quoted"},
                      BadXml{"twice", "<a b='1' b='2'/>", "twice"},
                      BadXml{"lt_in_attribute", "<a b='<'/>", "'<'"},
                      BadXml{"internal_subset", "<!DOCTYPE a [<!ENTITY x 'y'>]><a/>", "internal subset"},
                      BadXml{"unterminated_comment", "<a><!-- </a>", "unterminated comment"},
                      BadXml{"too_deep", nested(kMaxXmlDepth + 1), "deeper"},
                      BadXml{"too_large", "<a>" + std::string(kMaxXmlBytes, 'x') + "</a>", "larger"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(XmlReader, TakesTheDeepestAllowedNesting) { EXPECT_NO_THROW((void)parseXml(nested(kMaxXmlDepth))); }

TEST(XmlReader, RefusesTooManyAttributes) {
    std::string s = "<a";
    for (std::size_t i = 0; i <= kMaxXmlAttributes; ++i) s += " k" + std::to_string(i) + "='v'";
    EXPECT_THROW((void)parseXml(s + "/>"), Error);
}

TEST(XmlReader, RefusesTooManyElements) {
    std::string s = "<a>";
    for (std::size_t i = 0; i < kMaxXmlElements; ++i) s += "<b/>";
    s += "</a>";
    EXPECT_THROW((void)parseXml(s), Error);
}

}  // namespace
}  // namespace tolvane::app
