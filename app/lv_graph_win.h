// LvGraphWin: the map window of the main window. Opening a page from the
// map (a double click) does what the Open command does.
#ifndef SKEIND_APP_LV_GRAPH_WIN_H
#define SKEIND_APP_LV_GRAPH_WIN_H

#include "display/graph_window.h"

class SkeindleTopwin;

class LvGraphWin : public GraphWindow {
public:
    explicit LvGraphWin(SkeindleTopwin& top) : top_(top) {}
    ~LvGraphWin() override {}
    void OpenPage(AWorkspace* workspace, NodeId node) override;

private:
    SkeindleTopwin& top_;
};

#endif
