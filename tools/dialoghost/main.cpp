// dialoghost: one of the program's dialogs by itself, for pictures of it
// (scripts/screenshot-dialogs.sh). The options sheet edits the flags of a
// map window that is not shown; the annotation dialog opens on a new
// annotation of a page of the workspace; Start Web Browser lists the
// descriptions given, as browsers of its own (the registry is read only
// after Add or Remove).
//
//   dialoghost about
//   dialoghost options
//   dialoghost annotation WORKSPACE URL [TITLE [CONTENT]]
//   dialoghost start-browser [DESCRIPTION...]
//   dialoghost add-browser
#include <windows.h>

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "app/annotation_dialog.h"
#include "browser/browser_dialogs_win32.h"
#include "display/graph_window.h"
#include "res/resource.h"
#include "res/strings.h"
#include "shell/about_box.h"
#include "shell/help.h"
#include "shell/topwin.h"
#include "shell/view_page.h"
#include "store/node_ref.h"
#include "store/nodedb.h"

namespace {

class HostGraph : public GraphWindow {
public:
    void OpenPage(AWorkspace*, NodeId) override {}
};

// The sheet for a map window with the default view flags.
int ShowOptions() {
    HWND frame = CreateWindowExA(0, "STATIC", AppString(IDS_PROGRAM_TITLE), WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, 0,
                                 0, 0, 0);
    Topwin top(frame);
    HostGraph graph;
    graph.Create(0, 0, 400, 300, &top);
    SHelp help;
    ShowViewOptions(GetModuleHandleA(0), frame, &graph, &help);
    DestroyWindow(frame);
    return 0;
}

// A new annotation of the page, made as New Annotation makes it.
int ShowAnnotation(NodeDb& db, const char* url, const char* title, const char* content) {
    NodeId page = db.FindNode(url, false);
    if (!page) {
        fprintf(stderr, "dialoghost: no page %s\n", url);
        return 1;
    }
    NodeId note = db.NewAnnotation();
    char text[512];
    snprintf(text, sizeof text, AppString(IDS_ANNOTATION_TO), NodeRef(db, page).DisplayTitle());
    NodeRef(db, note).SetTitleText(title ? title : text, false);
    NodeRef(db, page).LinkTo(db, note, Attach);
    if (content) db.SetBodyBytes(note, content, (uint32_t)strlen(content));
    RunAnnotationDialog(GetModuleHandleA(0), 0, NodeRef(db, note));
    return 0;
}

// Start Web Browser over a list of browsers with these descriptions.
int ShowStartBrowser(int count, char** descriptions) {
    BrowserList browsers;
    for (int i = 0; i < count; ++i) {
        BrowserEntry e = {0, descriptions[i], "mosaic", "<undef>", descriptions[i], 0};
        browsers.Append(e);
    }
    Browser_dialogue start(&browsers);
    start.RunModal(GetModuleHandleA(0), 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    std::string what = argc > 1 ? argv[1] : "";
    if (what == "about" && argc == 2) {
        Aboutbox about(0);
        about.RunModal(GetModuleHandleA(0), 0);
        return 0;
    }
    if (what == "options" && argc == 2) return ShowOptions();
    if (what == "annotation" && argc >= 4 && argc <= 6) {
        NodeDb db;
        if (!db.OpenWorkspace(argv[2])) {
            fprintf(stderr, "dialoghost: cannot open %s\n", argv[2]);
            return 1;
        }
        return ShowAnnotation(db, argv[3], argc > 4 ? argv[4] : 0, argc > 5 ? argv[5] : 0);
    }
    if (what == "start-browser") return ShowStartBrowser(argc - 2, argv + 2);
    if (what == "add-browser" && argc == 2) {
        Add_dialogue add;
        add.RunModal(GetModuleHandleA(0), 0);
        return 0;
    }
    fprintf(stderr,
            "usage: dialoghost about | options | annotation WORKSPACE URL [TITLE [CONTENT]]\n"
            "                  | start-browser [DESCRIPTION...] | add-browser\n");
    return 2;
}
