#include "observe/page_loader.h"

#include <string.h>

#include "observe/load_file.h"
#include "observe/url.h"
#include "store/layout.h"

namespace {

const size_t kSniffLength = 256;

bool IsTextByte(unsigned char c) {
    return (c >= 0x20 && c <= 0x7E) || c >= 0xA0 || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' ||
           c == '\v' || c == 0x99;
}

}  // namespace

SniffedType SniffFirstBlock(const char* bytes, size_t count) {
    size_t n = count < kSniffLength ? count : kSniffLength;
    bool text = true;
    for (size_t i = 0; i < n && text; ++i) text = IsTextByte((unsigned char)bytes[i]);
    if (text) {
        const char* lt = (const char*)memchr(bytes, '<', n);
        if (lt && lt + 1 < bytes + n) {
            char next = lt[1];
            if (next >= 'A' && next <= 'Z') next = (char)(next - 'A' + 'a');
            if (next == '!' || next == 'h' || next == 't') return SniffedHtml;
        }
        return SniffedPlainText;
    }
    if (n > 6 && (memcmp(bytes, "GIF89a", 6) == 0 || memcmp(bytes, "GIF87a", 6) == 0)) return SniffedGif;
    return SniffedOther;
}

PageLoader::PageLoader(AClient* client, AProgressbar* progress, APageSources* sources)
    : client_(client), progress_(progress), sources_(sources), random_(0x5EED) {}

PageLoader::~PageLoader() {
    for (size_t i = 0; i < entries_.size(); ++i) {
        LoadEntry* e = entries_[i];
        delete e->scanner;
        delete e->file;
        if (!e->temporary.empty()) LoadFile::Delete(e->temporary.c_str());
        delete e;
    }
}

std::string PageLoader::UrlOf(const LoadEntry* e) const {
    if (!e->workspace || !e->page) return std::string();
    const char* url = e->workspace->Text(e->workspace->Name(e->page));
    return url ? url : "";
}

void PageLoader::SetBusy(AWorkspace* workspace, NodeId page, bool busy) {
    if (!workspace || !page) return;
    if (busy)
        workspace->SetFlags(page, Busy);
    else
        workspace->ClearFlags(page, Busy);
}

// --- Starting loads

void PageLoader::LoadPage(AWorkspace* workspace, NodeId page, const char* path) {
    if (!workspace || !page) return;
    const char* text = workspace->Text(workspace->Name(page));
    std::string url = text ? text : "";
    UrlBuffer local;
    if (!path && LocalPathOfUrl(url.c_str(), &local)) path = local.text;
    if (path && *path) {
        LoadFile* file = LoadFile::Open(path, false);
        if (file) {
            LoadLocalFile(workspace, page, file);
            return;
        }
    }
    std::string temporary;
    uint32_t answer = kBrowserCannotSave;
    if (LoadFile::MakeTemporaryName(&temporary)) answer = sources_->SaveToFile(url.c_str(), temporary.c_str());
    if (answer >= 1 && answer <= 0x7FFFFFFF) {
        AddEntry(answer, workspace, page, temporary);
        return;
    }
    if (!temporary.empty()) LoadFile::Delete(temporary.c_str());
    // A fetch reports its request at once, which marks the page fetched;
    // either way the page may be queued again.
    if (answer == kBrowserCannotSave) sources_->FetchOverNetwork(url.c_str());
    SetBusy(workspace, page, false);
}

void PageLoader::AddEntry(uint32_t window, AWorkspace* workspace, NodeId page, const std::string& temporary) {
    LoadEntry* e = 0;
    // One that so far only follows a window's progress is the browser
    // reporting on this very request.
    for (size_t i = 0; i < entries_.size() && !e; ++i)
        if (entries_[i]->temporary.empty() && !entries_[i]->file && !entries_[i]->page) e = entries_[i];
    if (!e) {
        e = new LoadEntry;
        e->window = window;
        entries_.push_back(e);
    } else if (e->window == kUnsetWindow) {
        e->window = window;
    }
    e->workspace = workspace;
    e->page = page;
    e->temporary = temporary;
    SetBusy(workspace, page, true);
}

void PageLoader::StartScanner(LoadEntry* e) {
    random_ = random_ * 1103515245u + 12345u;
    e->id = ((random_ >> 16) & 0x7FFF) | kLoaderIdBase;
    e->scanner = new PageScanner(e->id, client_);
    std::string line = "GET " + UrlOf(e) + " HTTP/1.0\r\n\r\n";
    e->scanner->RequestLine(line.c_str());
}

void PageLoader::LoadLocalFile(AWorkspace* workspace, NodeId page, LoadFile* file) {
    LoadEntry* e = new LoadEntry;
    e->flags = kEntryFirstBlock | kEntryLocal;
    e->workspace = workspace;
    e->page = page;
    e->file = file;
    int64_t size = file->Size();
    e->size = size > 0xFFFFFFFF ? 0xFFFFFFFFu : (uint32_t)size;
    entries_.push_back(e);
    SetBusy(workspace, page, true);
    StartScanner(e);
    ReadFile(e);
    Finish(e);
    Remove(entries_.size() - 1);
}

// --- Reading

bool PageLoader::OpenFile(LoadEntry* e) {
    if (e->file) return true;
    if (e->temporary.empty()) return false;
    if (LoadFile::SizeOf(e->temporary.c_str()) <= 0) return false;
    LoadFile* file = LoadFile::Open(e->temporary.c_str(), true);
    if (!file) return false;
    e->file = file;
    e->temporary.clear();
    StartScanner(e);
    ReadFile(e);
    return true;
}

void PageLoader::ReadFile(LoadEntry* e) {
    if (!e->file || (e->flags & kEntryReadDone)) return;
    std::string url = UrlOf(e);
    char block[kLoadBlock];
    uint64_t position = 0;
    for (;;) {
        int n = e->file->Read(block, sizeof block);
        if (n < 0) {
            e->flags |= kEntryReadDone;  // a read error ends reading
            break;
        }
        if (n == 0) break;
        if (e->flags & kEntryFirstBlock) {
            e->flags &= ~kEntryFirstBlock;
            SniffedType type = SniffFirstBlock(block, (size_t)n);
            if (type == SniffedHtml || type == SniffedPlainText) {
                e->scanner->BeginWithoutHead(200, type == SniffedHtml ? "text/html" : "text/plain", 0, 0);
            } else {
                if (type == SniffedGif) e->scanner->BeginWithoutHead(200, "image/gif", 0, 0);
                e->flags |= kEntryReadDone;
                break;
            }
        }
        e->scanner->Feed(block, (size_t)n);
        position += (uint64_t)n;
        if ((e->flags & kEntryLocal) && progress_) {
            uint32_t done = position > e->size ? e->size : (uint32_t)position;
            progress_->Progress(done, e->size ? e->size : 1, url.c_str());
        }
    }
    sources_->RefreshMap();
}

void PageLoader::Finish(LoadEntry* e) {
    std::string url = UrlOf(e);
    if (progress_) progress_->Progress(e->size ? e->size : 1, e->size ? e->size : 1, url.c_str());
    SetBusy(e->workspace, e->page, false);
    if (!e->file) {
        // Never written: nothing to read, and no copy to leave behind.
        if (!e->temporary.empty()) LoadFile::Delete(e->temporary.c_str());
        e->temporary.clear();
    } else {
        ReadFile(e);
        if (e->scanner) {
            e->scanner->Feed(0, 0);
            client_->Close(e->id);
        }
        sources_->RefreshMap();
        delete e->scanner;
        e->scanner = 0;
        delete e->file;  // deletes a temporary file
        e->file = 0;
    }
    if (progress_) progress_->Progress(0, 0, "");
}

void PageLoader::Remove(size_t i) {
    delete entries_[i];
    entries_.erase(entries_.begin() + (ptrdiff_t)i);
}

// --- The browser's progress

LoadEntry* PageLoader::EntryFor(uint32_t window) {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i]->window == window) return entries_[i];
    return 0;
}

void PageLoader::BeginProgress(uint32_t window, const char* text) {
    if (window == kUnsetWindow) {
        if (progress_) progress_->Progress(0, 1, text);
        return;
    }
    LoadEntry* e = EntryFor(window);
    if (!e) {
        e = EntryFor(kUnsetWindow);
        if (e) e->window = window;
    }
    if (!e) {
        if (progress_) progress_->Progress(0, 1, text);
        e = new LoadEntry;
        e->window = window;
        entries_.push_back(e);
        return;
    }
    if (!e->temporary.empty() || e->file) {
        OpenFile(e);
        if (progress_) progress_->Progress(0, e->size ? e->size : 1, UrlOf(e).c_str());
    }
}

void PageLoader::SetProgressRange(uint32_t window, uint32_t maximum) {
    LoadEntry* e = EntryFor(window);
    if (!e) return;
    e->size = maximum;
    if (progress_) progress_->Progress(0, maximum, 0);
}

void PageLoader::MakingProgress(uint32_t window, const char*, uint32_t amount) {
    LoadEntry* e = EntryFor(window);
    if (!e) return;
    if (e->file)
        ReadFile(e);
    else if (!OpenFile(e))
        return;
    if (progress_) progress_->Progress(amount, e->size ? e->size : 1, 0);
    sources_->RefreshMap();
}

void PageLoader::EndProgress(uint32_t window) {
    if (window == kUnsetWindow) return;
    LoadEntry* e = EntryFor(window);
    if (!e) return;
    e->flags |= kEntryEnded;
    e->countdown = kEndCountdown;
}

void PageLoader::Tick() {
    for (size_t i = entries_.size(); i-- > 0;) {
        LoadEntry* e = entries_[i];
        bool has_file = e->file || !e->temporary.empty();
        bool done = false;
        if (e->window == kUnsetWindow) {
            done = OpenFile(e);
        } else if (has_file && (e->flags & kEntryEnded)) {
            done = OpenFile(e) || --e->countdown == 0;
        } else if (!has_file && !e->page && (e->flags & kEntryEnded)) {
            done = true;  // followed a load that was not ours to the end
        }
        if (!done) continue;
        Finish(e);
        Remove(i);
    }
}
