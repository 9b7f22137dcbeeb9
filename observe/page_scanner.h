// PageScanner: the title, content type and links of one HTTP exchange, read
// as a stream of byte blocks and reported to an AClient as they are seen,
// except that links are held back until the end of their block or the next
// other report, and reported together (AClient::Links).
//
// The scanner builds no document. It is a byte-driven state machine over an
// optional response head (status line and header lines) and an HTML body,
// holding at most one 2048-byte buffer of pending text and a fixed batch of
// links not yet reported, so a page of any size is read in constant memory
// and without allocation, and a block may end anywhere, even inside a tag
// name or an attribute value: the reports are the same however the data
// after the first block is split (only the batches of links follow the
// blocks). Only the first block as a whole decides whether the data starts
// with a status line.
// The runs of bytes that cannot change the state (text between tags, the
// rest of an unknown tag, values, comments, script text) are found with a
// search of the whole block and passed over or copied at once; the bytes
// that end them go through the states one by one.
//
// Use: optionally RequestLine with the request's first line (so that the
// client learns the URL before anything else), or BeginWithoutHead for a
// body whose status and type are known; then Feed every block in order and
// Feed(..., 0) at the end of the data. Once stopped, every block is refused.
//
// Decisions beyond the plain rules:
//  - A NUL byte anywhere in the head or the body stops the scanner: such
//    data is not a page, and no report may hold a text cut short by a NUL.
//  - The first byte of a body without a head is read like any other, so a
//    body that starts with a tag has that tag read.
//  - No link, base or redirect is reported with an empty URL (after the
//    fragment is cut and white space trimmed), whatever tag it comes from.
//  - Header values lose trailing spaces and tabs; a header line without a
//    ':' is passed over (one over 64 bytes stops the scanner, as a header
//    name over 64 bytes does); in a "link" header each part may start with
//    spaces.
//  - "<>" is an empty (unknown) tag, and an attribute value that is empty
//    before its '>' ("href=>") is an empty value, not the start of one that
//    runs past the end of the tag.
//  - Inside a container (a, title, h1) the text after a comment or a
//    declaration is collected as after any unknown tag.
//  - A meta tag without a content value does nothing; http-equiv on any
//    other tag is passed over (it would otherwise be taken for a URL).
// Today's pages, read as a browser reads them:
//  - The text of a script or a style is no markup: nothing in it is read,
//    up to its end tag ("</script" or "</style" in any case, then white
//    space, '/' or '>'). Both are known tags, so they end an open container
//    as an image does. A script's src is an include: Link(url,
//    LT_INCLUDE, "script").
//  - A value in single quotes runs to the next single quote or '>', as one
//    in double quotes runs to the next double quote or '>'.
//  - Character references in href, src and background values, and in a
//    meta tag's content when its http-equiv names a header that carries a
//    URL (refresh, location, uri, link), are decoded (DecodeUrlReferences)
//    before the URL is cut at its '#' and trimmed.
#ifndef SKEIND_OBSERVE_PAGE_SCANNER_H
#define SKEIND_OBSERVE_PAGE_SCANNER_H

#include <stddef.h>
#include <stdint.h>

#include "observe/client.h"
#include "observe/link_batch.h"
#include "store/progress.h"

const int kScanBufferSize = 2048;

class PageScanner {
public:
    // `host` (kept by the caller for the scanner's life) and `port` complete
    // a request path that begins with '/'; none for the program's own loads.
    // `progress`, when given, is told the body bytes read out of the
    // response's content length.
    PageScanner(uint32_t id, AClient* client, const char* host = 0, int port = 0, AProgressbar* progress = 0);

    // The request's first line (read up to its line feed or NUL): reports
    // Request with the URL and OP_GET or OP_HEAD. An unknown method, or a
    // client that answers 0, stops the scanner; answers 0 then, else 1.
    int RequestLine(const char* line);

    // For a body whose status and type are known without a head (a local
    // or saved file): reports Status, ContentType and, when `title` is not
    // null, Title with `kind`. Stops unless the status is below 400 and the
    // type is exactly "text/html". Answers 1 when stopped, 0 when the body
    // is to be fed. Call it, if at all, before the first Feed.
    int BeginWithoutHead(int status, const char* type, const char* title, int kind);

    // Scans one block. A count of 0 (or a null block) is the end of the
    // data and stops the scanner. Answers 1 while scanning goes on, 0 once
    // stopped.
    int Feed(const char* bytes, size_t count);

    bool Stopped() const { return stopped_ != 0; }

private:
    void Scan(unsigned char c);
    void Act(unsigned char c);
    const unsigned char* Collect(const unsigned char* p, const unsigned char* end);

    // Buffer and modes.
    bool Put(char c);
    char* Item();
    int LookupItem(int category);
    void Restart() { write_ = start_; }
    void RestartAtBeginning() { start_ = write_ = 0; }
    void KeepItem();
    bool IsStop(unsigned char c) const;
    void SkipTo(int stops);
    void CollectTo(int stops, int mode = 0);
    void SkipWhiteSpace();
    void Stop() { stopped_ = 1; }

    // The head.
    void StartResponse(const char* bytes, size_t count);
    void CodeRead();
    void NameRead(unsigned char c);
    void NextLine(unsigned char c);
    void EndOfHead();
    void HandleHeader(int header, char* value);
    void LinkHeader(char* value);
    void LinkHeaderPart(char* part);
    void UriHeader(char* value);
    void RefreshHeader(char* value);

    // The body.
    void TagStart();
    void TagOpen(unsigned char c);
    void TagName(unsigned char c);
    void InTag(unsigned char c);
    void AttributeName(unsigned char c);
    void AfterName(unsigned char c);
    void ValueStart(unsigned char c);
    void ValueRead(unsigned char c);
    void HandleAttributeValue(int attribute, int at);
    void EndOfTag();
    void ReportTag(int tag);
    void ResumeText();
    void DeliverContainer(int end);
    void Declaration(unsigned char c);
    void OneDash(unsigned char c);
    void DashInComment(unsigned char c);
    void StartRawText(int tag);
    void RawEndTag(unsigned char c);

    const char* UrlValue() const;
    const char* TextValue() const;
    // Links are held back and reported together: those of a block before
    // Feed returns, and all of them before any other report (Client).
    void ReportLink(const char* url, int type, const char* extra);
    AClient* Client();
    int ScanBlock(const char* bytes, size_t count);
    void CountBlock(size_t count);

    int32_t state_;
    uint8_t mode_;
    uint8_t stopped_;
    uint8_t refused_;
    uint8_t stops_;      // the stop set: what ends a skip or a collection
    int32_t keyword_;    // the current tag, header or method
    int32_t container_;  // the open container tag, 0 when none
    int32_t attribute_;  // the attribute whose value is being read
    int32_t raw_tag_;    // the script or style tag whose text is being passed over
    int32_t raw_match_;  // how much of its end tag's name has been read
    int start_;          // where the current item began
    int write_;          // where the next byte goes
    int url_value_;      // position in the buffer, -1 for none
    int text_value_;     // position in the buffer, -1 for none
    const char* host_;
    uint16_t port_;
    AClient* client_;
    uint32_t id_;
    AProgressbar* progress_;
    int32_t bytes_read_;  // -1 while not counting
    uint32_t content_length_;
    LinkBatch links_;
    // Last, so that a stray write past it leaves the object, where the
    // address sanitizer sees it.
    char buffer_[kScanBufferSize];
};

#endif
