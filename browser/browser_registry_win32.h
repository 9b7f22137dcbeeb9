// The known browsers as the registry keeps them, under the local machine:
// one subkey per browser (named after its program file) and the fallback
// list of service names.
#ifndef SKEIND_BROWSER_BROWSER_REGISTRY_WIN32_H
#define SKEIND_BROWSER_BROWSER_REGISTRY_WIN32_H

#include "browser/browser_list.h"

extern const char kBrowsersKeyPath[];
extern const char kAppPathsKeyPath[];

// Empties `list` and reads it again; a missing key gives no entries and
// the default fallback list.
void LoadBrowserList(BrowserList* list);
// One entry as its subkey gives it, completed from defaults and App Paths.
BrowserEntry ReadBrowserEntry(const char* key_name);

#endif
