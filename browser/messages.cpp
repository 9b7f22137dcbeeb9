#include "browser/messages.h"

#include <stdlib.h>
#include <string.h>

OwnedText::OwnedText(const char* text) : text_(0) {
    if (text == 0) return;
    size_t n = strlen(text) + 1;
    text_ = (char*)malloc(n);
    if (text_) memcpy(text_, text, n);
}

OwnedText::~OwnedText() { free(text_); }

uint32_t ProgressId(uint32_t id) { return id == 0xFFFFFFFFu ? 0x7FFFFFFFu : id; }

namespace {

void Quoted(std::ostream& out, const char* text) { out << '"' << (text ? text : "") << '"'; }

void Hex(std::ostream& out, uint32_t value) { out << "0x" << std::hex << value << std::dec; }

}  // namespace

void MUrlEcho::Print(std::ostream& out) {
    out << "<url-echo ";
    Quoted(out, url_.get());
    out << ", content-type=";
    Quoted(out, mime_.get());
    out << ", win=";
    Hex(out, window_);
    if (parent_.get()) {
        out << ", parent=";
        Quoted(out, parent_.get());
    }
    out << '>';
}

void MNewBrowser::Print(std::ostream& out) { out << "<new-browser " << value_ << '>'; }

void MLostBrowser::Print(std::ostream& out) { out << "<lost-browser " << value_ << '>'; }

void MBeginProgress::Print(std::ostream& out) {
    out << "<begin-progress " << id_;
    if (message_.get()) {
        out << ", msg=";
        Quoted(out, message_.get());
    }
    out << '>';
}

void MSetProgressRange::Print(std::ostream& out) {
    out << "<set-progress-range " << id_ << ", max=" << maximum_ << '>';
}

void MMakingProgress::Print(std::ostream& out) {
    out << "<making-progress " << id_;
    if (message_.get()) {
        out << ", msg=";
        Quoted(out, message_.get());
    }
    out << ", progress=" << progress_ << '>';
}

void MEndProgress::Print(std::ostream& out) { out << "<end-progress " << id_ << '>'; }

void MOpenUrlResult::Print(std::ostream& out) {
    out << "<open-url-result " << transaction_ << ", win=";
    Hex(out, window_);
    out << '>';
}
