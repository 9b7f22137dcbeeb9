// Choosing, opening or creating the workspace file at start-up.
//
// The decisions live here, away from the message boxes, so that every path
// (two names, a file in use, a refused or failed creation) can be tested
// without a display. The caller supplies the user-facing half.
#ifndef SKEIND_APP_STARTUP_H
#define SKEIND_APP_STARTUP_H

#include <stdint.h>

#include <memory>
#include <string>

#include "store/nodedb.h"
#include "store/progress.h"

// How start-up talks to the user. Messages are string-table numbers; the
// text argument fills the template's %s and the code its %ld.
class AStartupUi {
public:
    virtual void Tell(int message, const char* text, uint32_t code) = 0;
    virtual bool AskYesNo(int message, const char* text, uint32_t code) = 0;
    // The file is in use: asks the copy of the program that has it open
    // to come forward. True when one did; start-up then ends silently.
    virtual bool ActivateOtherCopy(const char* name) = 0;

protected:
    ~AStartupUi() {}
};

struct StartupResult {
    std::unique_ptr<NodeDb> workspace;  // null when start-up was refused
    std::string name;               // as the user gave it, or the default
    bool name_from_command_line;
    bool created;                   // a new workspace file was made
    int exit_code;                  // the program's, when it ends here
};

// Reads the command line (without the program's own name), then opens the
// named or default workspace, creating it when it does not exist. On any
// refusal the user has been told why and the result holds no workspace;
// the program then ends with its exit code, 0. The file is only opened:
// nothing reads the map before CheckOpenedWorkspace has checked it.
StartupResult OpenWorkspace(const char* command_line, const char* default_name, AStartupUi& ui);

// Checks and repairs the opened workspace, reporting to `progress` (none
// while there is no window), then builds its list of visited sites. A file
// the check refuses is reported with message 87 and closed: false, no
// workspace, and exit code 1.
bool CheckOpenedWorkspace(StartupResult& start, AProgressbar* progress, AStartupUi& ui);

#endif
