#include "bridge/register_win32.h"

#include <windows.h>

#include <stdio.h>

#include "bridge/json.h"
#include "browser/browser_registry_win32.h"
#include "observe/settings.h"

const char kBridgeService[] = "skeindbridge";
const char kBridgeDescription[] = "Today's browser, through the Skeindle extension";
const char kNativeHostName[] = "skeindle_bridge";
const char kChromiumExtensionOrigin[] = "chrome-extension://nogplmelfmokkoccgiohdkfllnkjhfdh/";
const char kFirefoxExtensionId[] = "bridge@skeindle.invalid";

namespace {

// The list is tried from its last subkey to its first, in the registry's
// order of names: a name that sorts after every program file's name puts
// the bridge first.
const char kBridgeKeyName[] = "~skeindbridge";

const char* const kBrowserKeys[] = {
    "Software\\Google\\Chrome\\NativeMessagingHosts\\",
    "Software\\Chromium\\NativeMessagingHosts\\",
    "Software\\Microsoft\\Edge\\NativeMessagingHosts\\",
    "Software\\Mozilla\\NativeMessagingHosts\\",
};

bool WriteWholeFile(const std::string& path, const std::string& text) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && ok;
}

std::string Manifest(const std::string& host_exe, const char* allowed_key, const char* allowed) {
    return "{\n  \"name\": " + JsonQuote(kNativeHostName) +
           ",\n  \"description\": \"Skeindle's bridge to this browser\",\n  \"path\": " + JsonQuote(host_exe) +
           ",\n  \"type\": \"stdio\",\n  \"" + allowed_key + "\": [" + JsonQuote(allowed) + "]\n}\n";
}

}  // namespace

bool RegisterWithSkeindle(const std::string& description, const std::string& command) {
    SettingsKey browsers(HKEY_LOCAL_MACHINE, kBrowsersKeyPath, true);
    SettingsKey entry(browsers, kBridgeKeyName, true);
    if (!entry.IsOpen()) return false;
    int failed = entry.WriteText("service", kBridgeService);
    failed |= entry.WriteText("description", description.c_str());
    failed |= entry.WriteNumber("flags", 1);
    if (!command.empty()) failed |= entry.WriteText("command", command.c_str());
    return failed == 0;
}

bool RegisterWithBrowsers(const std::string& host_exe) {
    std::string folder = host_exe.substr(0, host_exe.find_last_of("\\/") + 1);
    std::string chromium = folder + kNativeHostName + "-chromium.json";
    std::string firefox = folder + kNativeHostName + "-firefox.json";
    bool ok = WriteWholeFile(chromium, Manifest(host_exe, "allowed_origins", kChromiumExtensionOrigin)) &&
              WriteWholeFile(firefox, Manifest(host_exe, "allowed_extensions", kFirefoxExtensionId));
    for (const char* key : kBrowserKeys) {
        std::string path = std::string(key) + kNativeHostName;
        bool is_firefox = strstr(key, "Mozilla") != 0;
        SettingsKey host(HKEY_CURRENT_USER, path.c_str(), true);
        ok = host.WriteText(0, (is_firefox ? firefox : chromium).c_str()) == 0 && ok;
    }
    return ok;
}
