// PageLoader: reads pages the program fetches itself and runs them through
// a PageScanner that reports to the program's client exactly as the shim
// would. Three sources, in order: a local file, read at once; a copy that
// the browser saves into a temporary file, read as the browser reports its
// progress and finished on the main window's 5-second tick; and the
// program's own HTTP client.
#ifndef SKEIND_OBSERVE_PAGE_LOADER_H
#define SKEIND_OBSERVE_PAGE_LOADER_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "observe/client.h"
#include "observe/page_scanner.h"
#include "store/progress.h"
#include "store/workspace.h"

class LoadFile;

const uint32_t kLoaderIdBase = 0x09870000;
const uint32_t kUnsetWindow = 0x7FFFFFFF;
const uint32_t kBrowserCannotSave = 0xFFFFFFF1;
const int kLoadBlock = 1024;
const uint32_t kEndCountdown = 5;

// What the first block of a file says it is.
enum SniffedType { SniffedHtml, SniffedPlainText, SniffedGif, SniffedOther };
SniffedType SniffFirstBlock(const char* bytes, size_t count);

// What the loader needs from the rest of the program.
class APageSources {
public:
    // Asks the browser to save `url` into `file`: its window id (1 to
    // 0x7FFFFFFF), kBrowserCannotSave, or anything else for a failure.
    virtual uint32_t SaveToFile(const char* url, const char* file) = 0;
    // Starts the program's own fetch of `url`; its number, or -1.
    virtual int32_t FetchOverNetwork(const char* url) = 0;
    // The map brings itself up to date with what was learnt.
    virtual void RefreshMap() = 0;

protected:
    ~APageSources() {}
};

// Flags of a load entry.
const uint32_t kEntryFirstBlock = 0x01;  // the first block is still to come
const uint32_t kEntryReadDone = 0x02;    // not a text page, or read to the end
const uint32_t kEntryLocal = 0x04;       // a local file read at once
const uint32_t kEntryEnded = 0x10;       // the browser reported the end of its load

struct LoadEntry {
    uint32_t flags = kEntryFirstBlock;
    uint32_t window = kUnsetWindow;
    AWorkspace* workspace = 0;
    NodeId page = 0;
    std::string temporary;  // the file the browser writes; empty once open
    LoadFile* file = 0;
    PageScanner* scanner = 0;
    uint32_t id = 0;  // the scanner's connection
    uint32_t size = 0;
    uint32_t countdown = kEndCountdown;
};

class PageLoader {
public:
    PageLoader(AClient* client, AProgressbar* progress, APageSources* sources);
    ~PageLoader();

    // Learns the page's links from its local file (`path`, or the file
    // its file: URL names), else from a copy the browser saves, else over
    // the network.
    void LoadPage(AWorkspace* workspace, NodeId page, const char* path);

    // The browser's progress on its windows.
    void BeginProgress(uint32_t window, const char* text);
    void SetProgressRange(uint32_t window, uint32_t maximum);
    void MakingProgress(uint32_t window, const char* text, uint32_t amount);
    void EndProgress(uint32_t window);
    // Once every 5 seconds: finishes the loads whose files are complete
    // and gives up on those the browser never wrote.
    void Tick();

    size_t entry_count() const { return entries_.size(); }
    const LoadEntry& entry(size_t i) const { return *entries_[i]; }

private:
    PageLoader(const PageLoader&);
    PageLoader& operator=(const PageLoader&);

    LoadEntry* EntryFor(uint32_t window);
    void AddEntry(uint32_t window, AWorkspace* workspace, NodeId page, const std::string& temporary);
    void LoadLocalFile(AWorkspace* workspace, NodeId page, LoadFile* file);
    void StartScanner(LoadEntry* e);
    bool OpenFile(LoadEntry* e);
    void ReadFile(LoadEntry* e);
    void Finish(LoadEntry* e);
    void Remove(size_t i);
    std::string UrlOf(const LoadEntry* e) const;
    void SetBusy(AWorkspace* workspace, NodeId page, bool busy);

    AClient* client_;
    AProgressbar* progress_;
    APageSources* sources_;
    std::vector<LoadEntry*> entries_;
    uint32_t random_;
};

#endif
