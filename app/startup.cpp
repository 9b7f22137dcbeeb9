#include "app/startup.h"

#include <stdio.h>

#include "app/cmdline.h"
#include "res/resource.h"
#include "store/check.h"

namespace {

// Reads every token; gives false (after telling the user) when the line
// cannot be used.
bool ParseCommandLine(const char* line, AStartupUi& ui, StartupResult* result) {
    CommandToken token;
    const char* cursor = line;
    while (NextToken(&cursor, &token) != TokenEnd) {
        if (token.kind == TokenKeyword) {
            // No keyword is defined: say so, rather than run with an
            // option the user believes is in force.
            ui.Tell(IDS_UNKNOWN_KEYWORD, token.text, 0);
            return false;
        }
        if (token.length == 0) continue;  // "" names nothing
        if (result->name_from_command_line) {
            ui.Tell(IDS_TWO_WORKSPACE_NAMES, "", 0);
            return false;
        }
        if (token.too_long) {
            ui.Tell(IDS_CANNOT_CREATE_WORKSPACE, token.text, kErrorFilenameTooLong);
            return false;
        }
        result->name = token.text;
        result->name_from_command_line = true;
    }
    return true;
}

}  // namespace

StartupResult OpenWorkspace(const char* command_line, const char* default_name, AStartupUi& ui) {
    StartupResult result;
    result.name_from_command_line = false;
    result.created = false;
    result.exit_code = 0;
    if (!ParseCommandLine(command_line ? command_line : "", ui, &result)) return result;
    if (!result.name_from_command_line) result.name = default_name;
    const char* name = result.name.c_str();

    std::unique_ptr<NodeDb> db(new NodeDb);
    // Db's own open and create: the visited-sites list is built from the
    // map only once the check has made it safe to walk.
    if (db->Open(name)) {
        result.workspace = std::move(db);
        return result;
    }
    uint32_t code = db->error();
    if (code == kErrorFileInvalid) {
        bool made_by_open = db->created();
        db.reset();
        if (result.name_from_command_line &&
            !ui.AskYesNo(IDS_CREATE_WORKSPACE_QUESTION, name, code)) {
            // Leave no trace of the question: the open made an empty file.
            if (made_by_open) remove(name);
            return result;
        }
        db.reset(new NodeDb);
        if (db->Create(name)) {
            result.created = true;
            result.workspace = std::move(db);
            return result;
        }
        code = db->error();
    }
    db.reset();
    if (code == kErrorSharingViolation) {
        if (!ui.ActivateOtherCopy(name)) ui.Tell(IDS_WORKSPACE_IN_USE, name, code);
    }
    else
        ui.Tell(IDS_CANNOT_CREATE_WORKSPACE, name, code);
    return result;
}

bool CheckOpenedWorkspace(StartupResult& start, AProgressbar* progress, AStartupUi& ui) {
    if (!start.workspace) return false;
    VRStatus status(progress);
    if (!CheckWorkspaceFile(*start.workspace, status)) {
        ui.Tell(IDS_WORKSPACE_DAMAGED, start.name.c_str(), 0);
        start.workspace.reset();
        start.exit_code = 1;
        return false;
    }
    start.workspace->BuildVisitedList();
    return true;
}
