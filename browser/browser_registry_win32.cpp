#include "browser/browser_registry_win32.h"

#include <string>

#include "observe/settings.h"

const char kBrowsersKeyPath[] = "Software\\Quillmere Systems\\Skeindle\\1.0\\browsers";
const char kAppPathsKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";

namespace {

// The program path App Paths holds for `program`, quoted when it has a
// space.
std::string CommandFromAppPaths(const char* program) {
    SettingsKey app_paths(HKEY_LOCAL_MACHINE, kAppPathsKeyPath, false);
    SettingsKey entry(app_paths, program, false);
    std::string path;
    entry.ReadText(0, &path, "<undef>");
    if (path.find(' ') != std::string::npos) path = "\"" + path + "\"";
    return path;
}

uint32_t DefaultFlags(const std::string& service) {
    if (service == "netscape") return 1;
    if (service == "iexplore") return 2;
    return 0;
}

}  // namespace

BrowserEntry ReadBrowserEntry(const char* key_name) {
    SettingsKey browsers(HKEY_LOCAL_MACHINE, kBrowsersKeyPath, false);
    SettingsKey key(browsers, key_name, false);
    BrowserEntry e;
    e.key_name = key_name;
    e.list_item = 0;
    std::string text;
    if (key.ReadText("service", &text, 0)) {
        e.service = LowerAscii(text.c_str());
    } else {
        e.service = GuessServiceName(key_name);
    }
    if (key.ReadText("command", &text, 0))
        e.command = text;
    else
        e.command = CommandFromAppPaths(key_name);
    key.ReadText("description", &e.description, e.service.c_str());
    e.flags = (uint32_t)key.ReadNumber("flags", (int32_t)DefaultFlags(e.service));
    return e;
}

void LoadBrowserList(BrowserList* list) {
    list->Clear();
    SettingsKey browsers(HKEY_LOCAL_MACHINE, kBrowsersKeyPath, false);
    std::string fallback;
    browsers.ReadText("fallback", &fallback, kDefaultFallbackList);
    list->SetFallback(fallback.c_str());
    SubkeyIterator it = {};
    while (browsers.NextSubkey(&it)) list->Append(ReadBrowserEntry(it.name));
}
