// Settings stored as text, read as numbers.
#include "observe/setting_number.h"

#include <gtest/gtest.h>

namespace {

TEST(SettingNumberTest, DecimalHexOctalAndWhatIsNoNumber) {
    struct Case {
        const char* text;
        int32_t value;
    } cases[] = {
        {"61", 61},        {"0x3d", 61},      {"0X3D", 61},       {"075", 61},
        {"-12", -12},      {"+7", 7},         {" 42 ", 42},       {"0", 0},
        {"0x80000000", (int32_t)0x80000000u}, {"4294967295", -1}, {"-0x10", -16},
        {"", 0},           {"x", 0},          {"12abc", 0},       {"0x", 0},
        {"08", 0},         {"4294967296", 0}, {"0x100000000", 0}, {"--1", 0},
        {"1 2", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.value, SettingNumberOfText(c.text)) << '"' << c.text << '"';
    EXPECT_EQ(0, SettingNumberOfText(0));
}

}  // namespace
