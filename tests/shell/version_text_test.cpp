// The About box's version lines: how a file version is written, and the
// lines with and without the shim, cut to the box's buffer.
#include "shell/version_text.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

TEST(FileVersionText, TheThirdPartHasTwoDigitsAndIsLeftOutWhenZero) {
    EXPECT_EQ("0.11.05", FileVersionText(0, 11, 5));
    EXPECT_EQ("1.2", FileVersionText(1, 2, 0));
    EXPECT_EQ("1.0.16", FileVersionText(1, 0, 16));
    EXPECT_EQ("2.5.123", FileVersionText(2, 5, 123));
    EXPECT_EQ("65535.65535.65535", FileVersionText(65535, 65535, 65535));
}

TEST(AboutVersionText, OneLineOrTwoAndNeverPastTheBuffer) {
    char text[256];
    AboutVersionText(text, sizeof text, "version", "1.0.16d", 0, 0);
    EXPECT_STREQ("version 1.0.16d", text);
    AboutVersionText(text, sizeof text, "version", "1.0.16d", "qmrsk32.dll", "0.11.05");
    EXPECT_STREQ("version 1.0.16d\nqmrsk32.dll version 0.11.05", text);
    AboutVersionText(text, sizeof text, "version", "1.0.16d", "qmrsk32.dll", 0);
    EXPECT_STREQ("version 1.0.16d", text) << "a shim without a version adds no line";

    std::string long_name(300, 'n');
    memset(text, 'x', sizeof text);
    AboutVersionText(text, 40, "version", "1.0.16d", long_name.c_str(), "1.2");
    EXPECT_EQ(39u, strlen(text));
    EXPECT_EQ('x', text[40]);
    memset(text, 'x', sizeof text);
    AboutVersionText(text, 0, "version", "1.0.16d", 0, 0);
    EXPECT_EQ('x', text[0]) << "no room, nothing written";
}

}  // namespace
