// Long random sequences of workspace operations, mirrored on a plain
// in-memory model. After every batch the workspace must show exactly what
// the model holds, and every invariant of the file must hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "store/check.h"
#include "store/nodedb.h"
#include "store/undo.h"
#include "tests/store/random_runs.h"
#include "tests/store/workspace_checker.h"
#include "tests/support/temp_dir.h"

using namespace layout;

namespace {

struct ModelLink {
    std::string other;
    int kind;
};

struct ModelNode {
    std::string title;  // "" = none
    std::string label;  // "" = none
    bool deleted = false;
    std::string body;
    uint32_t mark = 0;               // display mark
    std::vector<ModelLink> out, in;  // in list order, links to deleted nodes included
};

struct ModelUndo {
    std::vector<std::string> nodes;
    bool void_ = false;
    std::unique_ptr<Undo_delete> real;
};

class Model {
public:
    std::map<std::string, ModelNode> nodes;

    bool Live(const std::string& u) const {
        auto it = nodes.find(u);
        return it != nodes.end() && !it->second.deleted;
    }
    bool HasLiveIn(const std::string& u) const {
        for (const ModelLink& l : nodes.at(u).in)
            if (Live(l.other)) return true;
        return false;
    }
    void AddLink(const std::string& a, const std::string& b, int k) {
        for (const ModelLink& l : nodes[a].out)
            if (l.other == b && l.kind == k && Live(b)) return;
        // The real check starts at the first live cell and then follows raw
        // links, so a double behind it is found too; mirror that.
        bool seen_live = false;
        for (const ModelLink& l : nodes[a].out) {
            if (Live(l.other)) seen_live = true;
            if (seen_live && l.other == b && l.kind == k) return;
        }
        nodes[a].out.push_back({b, k});
        nodes[b].in.push_back({a, k});
    }
    int RemoveLinks(const std::string& a, const std::string& b, int mask) {
        auto drop = [&](std::vector<ModelLink>& v, const std::string& who) {
            size_t before = v.size();
            v.erase(std::remove_if(v.begin(), v.end(),
                                   [&](const ModelLink& l) { return l.other == who && (l.kind & mask); }),
                    v.end());
            return before != v.size();
        };
        if (!drop(nodes[a].out, b)) return 0;
        return drop(nodes[b].in, a) ? 1 : 0;
    }
    // Marks and cascades as the workspace does (no pinned pages are made
    // by this test, so the cascade never files anything under a site).
    std::vector<std::string> Delete(const std::string& n) {
        std::vector<std::string> marked{n}, work{n};
        nodes[n].deleted = true;
        while (!work.empty()) {
            std::string x = work.back();
            work.pop_back();
            for (const ModelLink& l : nodes[x].out) {
                if (!Live(l.other) || HasLiveIn(l.other)) continue;
                nodes[l.other].deleted = true;
                marked.push_back(l.other);
                work.push_back(l.other);
            }
        }
        return marked;
    }
    void Purge() {
        std::vector<std::string> doomed;
        for (auto& kv : nodes)
            if (kv.second.deleted) doomed.push_back(kv.first);
        for (const std::string& d : doomed) nodes.erase(d);
        for (auto& kv : nodes) {
            auto gone = [&](const ModelLink& l) { return nodes.count(l.other) == 0; };
            kv.second.out.erase(std::remove_if(kv.second.out.begin(), kv.second.out.end(), gone), kv.second.out.end());
            kv.second.in.erase(std::remove_if(kv.second.in.begin(), kv.second.in.end(), gone), kv.second.in.end());
        }
    }
};

std::string UrlOf(NodeDb& db, NodeId n) {
    return db.Text(db.Name(n));
}

// Compares everything visible through the workspace with the model.
std::string Compare(NodeDb& db, const Model& m) {
    std::vector<std::string> want, got;
    for (auto& kv : m.nodes)
        if (!kv.second.deleted) want.push_back(kv.first);
    std::map<std::string, NodeId> ids;
    for (NodeId n = db.FirstNode(); n; n = db.NextNode(n)) {
        got.push_back(UrlOf(db, n));
        ids[got.back()] = n;
    }
    if (want != got) return "live node sets differ";
    for (const std::string& u : want) {
        const ModelNode& mn = m.nodes.at(u);
        NodeId n = ids[u];
        std::string title = db.Title(n) ? db.Text(db.Title(n)) : "";
        if (title != mn.title) return "title of " + u;
        if (std::string(db.GetLabelView(n).text) != (mn.label.empty() ? u : mn.label)) return "label of " + u;
        std::string body = db.Body(n) ? db.Text(db.Body(n)) : "";
        if (body != mn.body) return "body of " + u;
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<std::pair<std::string, int>> a, b;
            for (const ModelLink& l : pass ? mn.in : mn.out)
                if (m.Live(l.other)) a.push_back({l.other, l.kind});
            for (LinkId l = pass ? db.FirstIn(n) : db.FirstOut(n); l; l = db.NextLink(l))
                b.push_back({UrlOf(db, db.LinkNode(l)), db.LinkKindOf(l)});
            if (a != b) return std::string(pass ? "in" : "out") + "-links of " + u;
        }
        // The in-memory copy of the incoming links, built on first use and
        // kept in step since.
        std::vector<uint32_t> mirrored;
        db.LiveInLinks(n, &mirrored);
        std::vector<std::pair<std::string, int>> c, a;
        for (uint32_t l : mirrored) c.push_back({UrlOf(db, l & ~kLinkKindMask), (int)(l & kLinkKindMask)});
        for (const ModelLink& l : mn.in)
            if (m.Live(l.other)) a.push_back({l.other, l.kind});
        if (a != c) return "mirrored in-links of " + u;
        if (db.DisplayMark(n) != mn.mark) return "display mark of " + u;
    }
    return "";
}

void RunModel(unsigned seed, int steps) {
    TempDir dir;
    std::string file = dir.File("model.sk1");
    std::unique_ptr<NodeDb> db(new NodeDb);
    ASSERT_TRUE(db->Create(file.c_str()));
    Model m;
    std::vector<ModelUndo> undos;
    std::mt19937 rng(seed);

    std::vector<std::string> pool;
    for (int h = 0; h < 4; ++h)
        for (int p = 0; p < 15; ++p)
            pool.push_back("http://h" + std::to_string(h) + ".example.com/" + (p % 3 ? "dir/" : "") + "p" +
                           std::to_string(p) + (p % 2 ? ".html" : ""));
    auto pick = [&]() { return pool[rng() % pool.size()]; };
    auto live_pick = [&](std::string* u) {
        std::vector<std::string> live;
        for (auto& kv : m.nodes)
            if (!kv.second.deleted) live.push_back(kv.first);
        if (live.empty()) return false;
        *u = live[rng() % live.size()];
        return true;
    };
    auto text = [&](size_t max) {
        std::string s;
        size_t n = 1 + rng() % max;
        for (size_t i = 0; i < n; ++i) s += (char)('a' + rng() % 26);
        return s;
    };

    for (int step = 0; step < steps; ++step) {
        std::string u, v;
        switch (rng() % 15) {
        case 0:
        case 1:
        case 2: {  // find or create, reviving deleted ones
            u = pick();
            NodeId n = db->FindNode(u.c_str(), true);
            ASSERT_NE(0u, n);
            m.nodes[u].deleted = false;
            break;
        }
        case 3:
            if (!live_pick(&u)) break;
            {
                std::string t = rng() % 5 ? text(rng() % 2 ? 20 : 300) : "";
                db->SetTitle(db->FindNode(u.c_str(), false), t.c_str());
                m.nodes[u].title = t;
            }
            break;
        case 4:
            if (!live_pick(&u)) break;
            {
                std::string l = rng() % 3 ? "http://label/" + text(40) : "";
                db->SetLabel(db->FindNode(u.c_str(), false), l.empty() ? 0 : l.c_str());
                m.nodes[u].label = l;
            }
            break;
        case 5:
        case 6:
        case 7:
            if (!live_pick(&u) || !live_pick(&v)) break;
            {
                int k = 1 << (rng() % 6);
                db->AddLink(db->FindNode(u.c_str(), false), db->FindNode(v.c_str(), false), (LinkKind)k);
                m.AddLink(u, v, k);
            }
            break;
        case 8:
            if (!live_pick(&u) || !live_pick(&v)) break;
            {
                int mask = (int)(rng() % 64);
                int got = db->RemoveLinks(db->FindNode(u.c_str(), false), db->FindNode(v.c_str(), false), mask);
                ASSERT_EQ(m.RemoveLinks(u, v, mask), got) << "step " << step;
            }
            break;
        case 9:
            if (!live_pick(&u)) break;
            {
                ModelUndo rec;
                rec.nodes = m.Delete(u);
                rec.real.reset(db->Delete(db->FindNode(u.c_str(), false), true, 0));
                ASSERT_TRUE(rec.real) << "step " << step;
                ASSERT_EQ(rec.nodes.size(), rec.real->count());
                undos.push_back(std::move(rec));
            }
            break;
        case 10:
            if (undos.empty()) break;
            {
                ModelUndo& rec = undos.back();
                ASSERT_EQ(!rec.void_, rec.real->CanUndo()) << "step " << step;
                if (!rec.void_) {
                    rec.real->Undo();
                    for (const std::string& n : rec.nodes) m.nodes[n].deleted = false;
                }
                undos.pop_back();
            }
            break;
        case 11:
            if (rng() % 4) break;
            {
                uint32_t live = db->Purge();
                m.Purge();
                ASSERT_EQ(m.nodes.size(), live);
                for (ModelUndo& rec : undos) rec.void_ = true;
            }
            break;
        case 12:
            if (!live_pick(&u)) break;
            {
                std::string b = rng() % 4 ? text(rng() % 2 ? 30 : 2000) : "";
                db->SetBodyBytes(db->FindNode(u.c_str(), false), b.data(), (uint32_t)b.size());
                m.nodes[u].body = b;
            }
            break;
        case 13:
            if (rng() % 8) break;
            // Close and open again: the file is all there is. Half the time
            // the start-up check follows, as in the program: it purges the
            // deleted pages, marks every page, and leaves the name index and
            // the in-link mirror made from what it read.
            undos.clear();
            db.reset(new NodeDb);
            ASSERT_TRUE(db->Open(file.c_str())) << db->error();
            if (rng() % 2) {
                VRStatus status(0);
                status.mark = (uint32_t)rng();
                ASSERT_EQ(1, CheckWorkspaceFile(*db, status));
                m.Purge();
                for (auto& kv : m.nodes) kv.second.mark = status.mark;
            }
            break;
        case 14:
            if (!live_pick(&u)) break;
            {
                uint32_t mark = (uint32_t)rng();
                db->SetDisplayMark(db->FindNode(u.c_str(), false), mark);
                m.nodes[u].mark = mark;
            }
            break;
        }
        if (step % 25 == 24 || step == steps - 1) {
            ASSERT_EQ("", Compare(*db, m)) << "seed " << seed << " step " << step;
            ASSERT_EQ("", CheckWorkspace(*db)) << "seed " << seed << " step " << step;
        }
    }
}

TEST(WorkspaceModel, AgreesWithTheModelAndKeepsEveryInvariant) {
    int seeds = FromEnvironment("SKEIND_RANDOM_SEEDS", 4);
    int steps = FromEnvironment("SKEIND_RANDOM_STEPS", 1500);
    for (int s = 0; s < seeds; ++s) {
        RunModel(7000u + (unsigned)s, steps);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
