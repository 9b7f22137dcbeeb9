// A map window on a bare workspace (no visited-sites root row) in a
// temporary file, inside one shown host window that the whole suite
// shares: showing a window takes Wine a while, and a hidden frame's
// children are never painted. The pages the map opens are written down
// instead of going to a browser.
#ifndef SKEIND_TESTS_DISPLAY_MAP_WINDOW_FIXTURE_WIN32_H
#define SKEIND_TESTS_DISPLAY_MAP_WINDOW_FIXTURE_WIN32_H

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "display/graph_window.h"
#include "shell/topwin.h"
#include "store/nodedb.h"
#include "tests/display/graph_fixture.h"
#include "tests/support/temp_dir.h"

class RecordingGraphWindow : public GraphWindow {
public:
    void OpenPage(AWorkspace*, NodeId node) override { opened.push_back(node); }
    std::vector<NodeId> opened;
};

class MapWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        host_ = CreateWindowExA(0, "STATIC", "map host", WS_OVERLAPPEDWINDOW, 0, 0, 420, 300, 0, 0, 0, 0);
        ShowWindow(host_, SW_SHOW);
        frame_ = new Topwin(host_);
    }
    static void TearDownTestSuite() {
        delete frame_;
        DestroyWindow(host_);
    }
    // The map window, `height` pixels tall, showing the workspace.
    void OpenMap(int height) {
        ASSERT_TRUE(db_.Create(dir_.File("map.sk1").c_str()));
        ASSERT_TRUE(graph_.Create(0, 0, 400, height, frame_) != 0);
        model().SetWorkspace(&db_);
    }
    void TearDown() override { model().SetWorkspace(0); }

    Graph_model& model() { return graph_.model(); }
    // Page "http://h/<name>".
    NodeId Page(const std::string& name) {
        NodeId n = db_.FindNode(("http://h/" + name).c_str(), true);
        names_[n] = name;
        return n;
    }
    // Links between pages by name: "a>b a>c:q", the kind as the graph
    // model tests spell it.
    void Links(const std::string& line) {
        std::istringstream in(line);
        for (std::string t; in >> t;) {
            size_t arrow = t.find('>'), colon = t.find(':');
            NodeId from = Page(t.substr(0, arrow)), to = Page(t.substr(arrow + 1, colon - arrow - 1));
            ASSERT_NE(0u, db_.AddLink(from, to, KindOfLetter(colon != std::string::npos ? t[colon + 1] : 0)));
        }
    }
    // The rows as their pages' names: "a b c".
    std::string Rows() {
        std::string rows;
        for (int i = 0; i < model().RowCount(); ++i) rows += (i ? " " : "") + names_[model().Row(i).node()];
        return rows;
    }

    static inline HWND host_ = 0;
    static inline Topwin* frame_ = 0;
    TempDir dir_;
    NodeDb db_;
    RecordingGraphWindow graph_;
    std::map<NodeId, std::string> names_;
};

#endif
