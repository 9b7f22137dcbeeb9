// The settings on the real registry, under a key of the test's own so that
// the program's settings are left alone.
#include "observe/settings.h"

#include <shlwapi.h>

#include <gtest/gtest.h>
#include <stdio.h>

#include <set>
#include <string>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char path[128];
        snprintf(path, sizeof path, "Software\\Quillmere Systems\\Skeindle\\test-%lu",
                 (unsigned long)GetCurrentProcessId());
        path_ = path;
        SHDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
    }
    void TearDown() override { SHDeleteKeyA(HKEY_CURRENT_USER, path_.c_str()); }

    std::string path_;
};

TEST_F(SettingsTest, AnEmptyRegistryGivesEveryDefault) {
    SettingsKey missing(HKEY_CURRENT_USER, path_.c_str(), false);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, missing.result());
    char buffer[32] = "unchanged";
    EXPECT_EQ(0, missing.ReadText("workspace", buffer, sizeof buffer, 0));
    EXPECT_STREQ("default.sk1", missing.ReadText("workspace", buffer, sizeof buffer, "default.sk1"));
    EXPECT_EQ(0x3D, missing.ReadNumber("flags", 0x3D));
    EXPECT_EQ(1, missing.WriteNumber("flags", 1)) << "writes are skipped";

    WindowValues w = ReadWindowValues(missing);
    EXPECT_EQ((int32_t)CW_USEDEFAULT, w.x);
    EXPECT_EQ(0, w.y);
    EXPECT_EQ((int32_t)CW_USEDEFAULT, w.x_size);
    EXPECT_EQ(0, w.y_size);
    LOGFONTA font;
    DefaultFont(&font);
    ReadFont(missing, &font);
    LOGFONTA expected = {};
    expected.lfPitchAndFamily = 0x22;
    EXPECT_EQ(0, memcmp(&expected, &font, sizeof font));
}

TEST_F(SettingsTest, ValuesReadAcrossTypes) {
    SettingsKey key(HKEY_CURRENT_USER, path_.c_str(), true);
    ASSERT_TRUE(key.IsOpen()) << key.result();
    ASSERT_EQ(0, key.WriteText("flags", "0x3d"));
    ASSERT_EQ(0, key.WriteNumber("workspace", 42));
    ASSERT_EQ(0, key.WriteNumber("big", 0xFFFFFFFFu));
    const char multi[] = "first\0second\0";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.handle(), "multi", 0, REG_MULTI_SZ, (const BYTE*)multi, sizeof multi));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.handle(), "expand", 0, REG_EXPAND_SZ, (const BYTE*)"%TEMP%\\x", 9));
    const BYTE binary[] = {1, 2, 3};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.handle(), "binary", 0, REG_BINARY, binary, sizeof binary));

    EXPECT_EQ(61, key.ReadNumber("flags", 0));
    std::string text;
    EXPECT_TRUE(key.ReadText("workspace", &text, "default.sk1"));
    EXPECT_EQ("42", text);
    EXPECT_TRUE(key.ReadText("big", &text, 0));
    EXPECT_EQ("4294967295", text);
    EXPECT_EQ(-1, key.ReadNumber("big", 0));
    EXPECT_TRUE(key.ReadText("multi", &text, 0));
    EXPECT_EQ("first", text);
    EXPECT_TRUE(key.ReadText("expand", &text, 0));
    EXPECT_EQ("%TEMP%\\x", text) << "stored texts are not expanded";
    EXPECT_FALSE(key.ReadText("binary", &text, "fallback"));
    EXPECT_EQ("fallback", text);
    EXPECT_EQ(7, key.ReadNumber("binary", 7));
    EXPECT_EQ(7, key.ReadNumber("missing", 7));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.result());
    char small[4];
    EXPECT_STREQ("no", key.ReadText("multi", small, sizeof small, "no")) << "too long for the buffer";
}

TEST_F(SettingsTest, WindowAndFontRoundTripUnderTheirSubkeysWhichAreEnumerated) {
    SettingsKey key(HKEY_CURRENT_USER, path_.c_str(), true);
    RECT rect = {-10, 20, 630, 500};
    EXPECT_EQ(0, WriteWindowRect(key, rect));
    WindowValues w = ReadWindowValues(key);
    EXPECT_EQ(-10, w.x);
    EXPECT_EQ(20, w.y);
    EXPECT_EQ(640, w.x_size);
    EXPECT_EQ(480, w.y_size);

    LOGFONTA font;
    DefaultFont(&font);
    font.lfHeight = -13;
    font.lfWeight = 700;
    font.lfItalic = 1;
    font.lfCharSet = 238;
    font.lfPitchAndFamily = 0x31;
    strcpy(font.lfFaceName, "Tahoma");
    EXPECT_EQ(0, WriteFont(key, font));
    LOGFONTA back;
    DefaultFont(&back);
    ReadFont(key, &back);
    EXPECT_EQ(0, memcmp(&font, &back, sizeof font));

    // Every key made has the program's class.
    SettingsKey sub(key, "font", false);
    char cls[32] = "";
    DWORD cls_size = sizeof cls;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(sub.handle(), cls, &cls_size, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_STREQ("xyzzy", cls);

    // A face name too long for its field is not read.
    SettingsKey(key, "font", true).WriteText("face name", std::string(32, 'F').c_str());
    strcpy(back.lfFaceName, "Kept");
    ReadFont(key, &back);
    EXPECT_STREQ("Kept", back.lfFaceName);
    EXPECT_EQ(-13, back.lfHeight);

    // The subkeys made are enumerated, each once.
    std::set<std::string> seen;
    SubkeyIterator it = {};
    while (key.NextSubkey(&it)) seen.insert(it.name);
    EXPECT_EQ(std::set<std::string>({"font", "window"}), seen);
    EXPECT_EQ(2u, it.index);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, key.result());
}

}  // namespace
