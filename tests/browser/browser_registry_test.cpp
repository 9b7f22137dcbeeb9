// The known browsers as the registry gives them: each entry completed
// from its defaults and from App Paths, and the fallback list.
#include "browser/browser_registry_win32.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <shlwapi.h>

#include "observe/settings.h"

namespace {

class BrowserRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kBrowsersKeyPath);
        for (const char* program : {"Netscape.EXE", "spaced.exe"}) {
            SettingsKey app_paths(HKEY_LOCAL_MACHINE, kAppPathsKeyPath, true);
            SHDeleteKeyA(app_paths.handle(), program);
        }
    }
    void Value(const char* key_name, const char* name, const char* text) {
        SettingsKey browsers(HKEY_LOCAL_MACHINE, kBrowsersKeyPath, true);
        SettingsKey key(browsers, key_name, true);
        if (name) key.WriteText(name, text);
    }
    void AppPath(const char* program, const char* path) {
        SettingsKey app_paths(HKEY_LOCAL_MACHINE, kAppPathsKeyPath, true);
        SettingsKey key(app_paths, program, true);
        key.WriteText(0, path);
    }
};

}  // namespace

TEST_F(BrowserRegistryTest, EntriesAreCompletedFromDefaultsAndAppPaths) {
    AppPath("Netscape.EXE", "C:\\Netscape\\netscape.exe");
    AppPath("spaced.exe", "C:\\Program Files\\X\\spaced.exe");
    Value("Netscape.EXE", 0, 0);
    Value("opera.exe", 0, 0);
    Value("spaced.exe", 0, 0);
    Value("nets.exe", "service", "NetScape");
    Value("nets.exe", "flags", "2");
    Value("nets.exe", "description", "My browser");
    Value("nets.exe", "command", "c:\\n\\nets.exe -x");
    const struct {
        const char* key;
        const char* service;
        uint32_t flags;
        const char* description;
        const char* command;
    } cases[] = {
        {"Netscape.EXE", "netscape", 1, "netscape", "C:\\Netscape\\netscape.exe"},
        {"opera.exe", "mosaic", 0, "mosaic", "<undef>"},
        {"spaced.exe", "mosaic", 0, "mosaic", "\"C:\\Program Files\\X\\spaced.exe\""},
        {"nets.exe", "netscape", 2, "My browser", "c:\\n\\nets.exe -x"},  // a stored kind replaces the default
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.key);
        BrowserEntry e = ReadBrowserEntry(c.key);
        EXPECT_EQ(c.key, e.key_name);
        EXPECT_EQ(c.service, e.service);
        EXPECT_EQ(c.flags, e.flags);
        EXPECT_EQ(c.description, e.description);
        EXPECT_EQ(c.command, e.command);
    }
    BrowserList list;
    LoadBrowserList(&list);
    EXPECT_EQ(4u, list.entries().size());
    EXPECT_TRUE(list.Contains("netscape"));
    EXPECT_FALSE(list.Contains("NetScape"));
}

TEST_F(BrowserRegistryTest, TheFallbackListIsReadLowerCasedWithItsDefault) {
    BrowserList list;
    list.SetFallback("x");
    LoadBrowserList(&list);  // no browsers key at all
    EXPECT_EQ("*netscape;+iexplore;mosaic", list.fallback());
    EXPECT_TRUE(list.entries().empty());
    Value("x.exe", 0, 0);
    SettingsKey browsers(HKEY_LOCAL_MACHINE, kBrowsersKeyPath, true);
    browsers.WriteText("fallback", "*MyNav;+Other");
    LoadBrowserList(&list);
    EXPECT_EQ("*mynav;+other", list.fallback());
}
