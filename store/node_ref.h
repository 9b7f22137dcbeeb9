// NodeRef: a workspace and one of its nodes, with the policies shared by
// everything that stores titles and links: provisional titles, ftp
// directory titles, attachment links that real links replace, and filing a
// page under its site and the site under the group of its host's ending.
#ifndef SKEIND_STORE_NODE_REF_H
#define SKEIND_STORE_NODE_REF_H

#include "store/workspace.h"

class NodeRef {
public:
    NodeRef(AWorkspace& workspace, NodeId node) : workspace_(&workspace), node_(node) {}

    AWorkspace& workspace() const { return *workspace_; }
    NodeId node() const { return node_; }

    // Stores a title. A provisional title only fills a node still Untitled;
    // a real one clears Untitled.
    void SetTitleText(const char* text, bool provisional);
    // Adds a link of `kind` to `target` unless one is there, retiring the
    // Attach link that hung the target under its site.
    void LinkTo(AWorkspace& target_workspace, NodeId target, LinkKind kind);
    // Hangs the node under its site's node and files a new site under the
    // group of its host name's ending.
    void FileUnderHost();
    // The title, or a short name made from the URL (stored as the title).
    const char* DisplayTitle();

private:
    AWorkspace* workspace_;
    NodeId node_;
};

#endif
