// What the browser reports, kept as queued messages: the DDE callback
// must not act while it runs inside a transaction, so each report becomes
// a Message that the main window delivers later to its ATattler.
#ifndef SKEIND_BROWSER_MESSAGES_H
#define SKEIND_BROWSER_MESSAGES_H

#include <stdint.h>

#include <ostream>

#include "app/tattler.h"

class Message {
public:
    virtual ~Message() {}
    virtual void Deliver(ATattler& tattler) = 0;
    virtual void Print(std::ostream& out) = 0;
};

// An owned copy of a text that may be absent.
class OwnedText {
public:
    explicit OwnedText(const char* text);
    ~OwnedText();
    const char* get() const { return text_; }

private:
    OwnedText(const OwnedText&);
    OwnedText& operator=(const OwnedText&);
    char* text_;
};

// The browser's window or transaction number 0xFFFFFFFF, as the progress
// messages keep it.
uint32_t ProgressId(uint32_t id);

class MUrlEcho : public Message {
public:
    MUrlEcho(const char* url, const char* mime, uint32_t window, const char* parent)
        : url_(url), mime_(mime), window_(window), parent_(parent) {}
    void Deliver(ATattler& t) override { t.UrlEcho(url_.get(), mime_.get(), window_, parent_.get()); }
    void Print(std::ostream& out) override;

private:
    OwnedText url_, mime_;
    uint32_t window_;
    OwnedText parent_;
};

class MNewBrowser : public Message {
public:
    explicit MNewBrowser(int32_t value) : value_(value) {}
    void Deliver(ATattler& t) override { t.NewBrowser((uint32_t)value_); }
    void Print(std::ostream& out) override;

private:
    int32_t value_;
};

class MLostBrowser : public Message {
public:
    explicit MLostBrowser(int32_t value) : value_(value) {}
    void Deliver(ATattler& t) override { t.LostBrowser((uint32_t)value_); }
    void Print(std::ostream& out) override;

private:
    int32_t value_;
};

class MBeginProgress : public Message {
public:
    MBeginProgress(uint32_t id, const char* message) : id_(ProgressId(id)), message_(message) {}
    void Deliver(ATattler& t) override { t.BeginProgress(id_, message_.get()); }
    void Print(std::ostream& out) override;

private:
    uint32_t id_;
    OwnedText message_;
};

class MSetProgressRange : public Message {
public:
    MSetProgressRange(uint32_t id, uint32_t maximum) : id_(ProgressId(id)), maximum_(maximum) {}
    void Deliver(ATattler& t) override { t.SetProgressRange(id_, maximum_); }
    void Print(std::ostream& out) override;

private:
    uint32_t id_, maximum_;
};

class MMakingProgress : public Message {
public:
    MMakingProgress(uint32_t id, const char* message, uint32_t progress)
        : id_(ProgressId(id)), message_(message), progress_(progress) {}
    void Deliver(ATattler& t) override { t.MakingProgress(id_, message_.get(), progress_); }
    void Print(std::ostream& out) override;

private:
    uint32_t id_;
    OwnedText message_;
    uint32_t progress_;
};

class MEndProgress : public Message {
public:
    explicit MEndProgress(uint32_t id) : id_(ProgressId(id)) {}
    void Deliver(ATattler& t) override { t.EndProgress(id_); }
    void Print(std::ostream& out) override;

private:
    uint32_t id_;
};

class MOpenUrlResult : public Message {
public:
    MOpenUrlResult(uint32_t transaction, uint32_t window) : transaction_(transaction), window_(window) {}
    void Deliver(ATattler& t) override { t.OpenUrlResult(transaction_, window_); }
    void Print(std::ostream& out) override;

private:
    uint32_t transaction_, window_;
};

#endif
