#include <gtest/gtest.h>

#include <string>

#include "base/text.hpp"

namespace tolvane {
namespace {

// Only ASCII capitals fold: the bytes of a UTF-8 letter stay as they are,
// whatever the locale.
TEST(Text, FoldsAsciiCapitalsOnly) {
    EXPECT_EQ(asciiLower("RTS/CTS xOn"), "rts/cts xon");
    EXPECT_EQ(asciiLower("\xC3\x84Q"), "\xC3\x84q");  // "ÄQ"
    EXPECT_EQ(asciiLower(std::string("A\0B", 3)), std::string("a\0b", 3));

    EXPECT_TRUE(equalsIgnoringCase("GpIb", "gpib"));
    EXPECT_TRUE(equalsIgnoringCase("", ""));
    EXPECT_FALSE(equalsIgnoringCase("gpib0", "gpib"));
    EXPECT_FALSE(equalsIgnoringCase("gpi", "gpib"));
    EXPECT_FALSE(equalsIgnoringCase("\xC3\xA4", "\xC3\x84"));  // "ä" and "Ä" differ beyond ASCII
}

TEST(Text, ExtensionOfTheLastName) {
    const struct {
        const char* path;
        const char* extension;
    } cases[] = {
        {"out/Frame.PNG", ".png"},
        {"a.tar.Gz", ".gz"},
        {"waveform", ""},
        {"dir.d/waveform", ""},
        {".hidden", ""},
        {"name.", "."},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(lowerExtension(c.path), c.extension) << c.path;
}

}  // namespace
}  // namespace tolvane
