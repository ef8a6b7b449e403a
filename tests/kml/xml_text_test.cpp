#include "kml/xml_text.hpp"

#include <gtest/gtest.h>

#include <string>

namespace omvo::kml {
namespace {

struct TextCase {
    const char* what;
    std::string in;
    std::string out;
};

TEST(EscapeText, WritesMarkupCharactersAsReferences) {
    const TextCase cases[] = {
        {"plain", "Калуга - Таруса (2/3)", "Калуга - Таруса (2/3)"},
        {"empty", "", ""},
        {"less and greater", "a<b>c", "a&lt;b&gt;c"},
        {"ampersand", "Tom & Jerry", "Tom &amp; Jerry"},
        {"ampersand at the end", "a&", "a&amp;"},
        {"references kept", "&amp;&lt;&gt;&quot;&apos;", "&amp;&lt;&gt;&quot;&apos;"},
        {"reference kept beside an escaped one", "&amp & &amp;", "&amp;amp &amp; &amp;"},
        {"other references escaped", "&nbsp;&#38;&AMP;", "&amp;nbsp;&amp;#38;&amp;AMP;"},
        {"quotes stay", "\"'", "\"'"},
        {"tab, LF and CR stay", "a\tb\nc\r", "a\tb\nc\r"},
        {"controls dropped", std::string("a\0b\x01\x1F\x7F" "c", 7), "abc"},
        {"control inside a reference", "&am\x01p;", "&amp;"},
        {"brackets stay", "]]>", "]]&gt;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(EscapeText(c.in), c.out);
    }
}

TEST(TextAsShown, ReadsBackWhatEscapeTextWrites) {
    const TextCase cases[] = {
        {"plain", "Калуга - Таруса (2/3)", "Калуга - Таруса (2/3)"},
        {"markup characters", "a<b>c & d", "a<b>c & d"},
        {"references read", "&amp;&lt;&gt;&quot;&apos;", "&<>\"'"},
        {"a reference beside a bare ampersand", "&amp & &amp;", "&amp & &"},
        {"other references stay", "&nbsp;&#38;&AMP;", "&nbsp;&#38;&AMP;"},
        {"no reference made of an escaped character", "<amp;&lt;amp;", "<amp;<amp;"},
        {"controls dropped", std::string("a\0b\x01\x1F\x7F" "c", 7), "abc"},
        {"control inside a reference", "&am\x01p;", "&"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TextAsShown(c.in), c.out);
    }
}

TEST(CdataText, SplitsEveryEndOfSection) {
    const TextCase cases[] = {
        {"plain", "<b>Озёра</b> & <br>", "<b>Озёра</b> & <br>"},
        {"empty", "", ""},
        {"one end", "a]]>b", "a]]]]><![CDATA[>b"},
        {"two ends", "]]>]]>", "]]]]><![CDATA[>]]]]><![CDATA[>"},
        {"three brackets", "]]]>", "]]]]]><![CDATA[>"},
        {"no end", "]] > ]>", "]] > ]>"},
        {"control hiding an end", "]]\x01>", "]]]]><![CDATA[>"},
        {"controls dropped", "a\x02\x7F" "b\tc", "ab\tc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CdataText(c.in), c.out);
    }
}

TEST(DropInvalidUtf8, KeepsWellFormedTextAndDropsTheRest) {
    const TextCase cases[] = {
        {"ASCII", "37.2,55.1,0 37.3,55.2,0", "37.2,55.1,0 37.3,55.2,0"},
        {"all lengths", "aЖ№😀\xEF\xBF\xBD", "aЖ№😀\xEF\xBF\xBD"},
        {"edges of the ranges", "\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
         "\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
        {"stray continuation", "a\x80" "b\xBF", "ab"},
        {"CP1251 text", "\xCC\xE5\xF9\xE5\xF0\xE0", ""},
        {"overlong two bytes", "a\xC0\xAF" "b\xC1\xBF", "ab"},
        {"overlong three bytes", "a\xE0\x80\xAF" "b", "ab"},
        {"overlong four bytes", "a\xF0\x80\x80\xAF" "b", "ab"},
        {"surrogate", "a\xED\xA0\x80" "b\xED\xBF\xBF", "ab"},
        {"above U+10FFFF", "a\xF4\x90\x80\x80" "b\xF5\x80\x80\x80\xFF", "ab"},
        {"truncated at the end", "a\xE2\x84", "a"},
        {"truncated before ASCII", "\xE2\x84" "a\xF0\x9F\x98" "b", "ab"},
        {"truncated before a letter", "\xD0Ж", "Ж"},
        {"noncharacters XML forbids", "a\xEF\xBF\xBE" "b\xEF\xBF\xBF", "ab"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DropInvalidUtf8(c.in), c.out);
    }
}

}  // namespace
}  // namespace omvo::kml
