// Where the bridge is made known: to Skeindle, as a browser in its list
// (found before the others), and on Windows to the browsers, which look
// for native-messaging hosts under keys of their own.
#ifndef SKEIND_BRIDGE_REGISTER_WIN32_H
#define SKEIND_BRIDGE_REGISTER_WIN32_H

#include <string>

extern const char kBridgeService[];      // the DDE service name
extern const char kBridgeDescription[];  // in the Start Web Browser list
// The bridge's name for the browsers, and the extension's ids: from the
// key in its manifest (Chromium-family browsers) and from the id the
// manifest gives Firefox.
extern const char kNativeHostName[];
extern const char kChromiumExtensionOrigin[];
extern const char kFirefoxExtensionId[];

// Writes the bridge's entry in Skeindle's browser list: its service, the
// Netscape kind, the description and the command that starts the user's
// browser (none: no command is written). False when the key cannot be
// written.
bool RegisterWithSkeindle(const std::string& description, const std::string& command);

// Windows: writes the two native-messaging manifests beside `host_exe` and
// the keys under which Chrome, Chromium, Edge and Firefox find them, for
// the current user.
bool RegisterWithBrowsers(const std::string& host_exe);

#endif
