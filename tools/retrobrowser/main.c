/* retrobrowser: a Web browser of the old kind, as the network sees it. It
 * starts at a URL, reads each page for links, follows those to the same
 * server breadth first and fetches every URL once, using only the Winsock
 * 1.1 calls of wsock32.dll: blocking sockets with select(), or
 * WSAAsyncSelect on a hidden window; a connection per request, or
 * Keep-Alive connections, pipelined if asked. A doctored copy of it (its
 * socket import renamed) shows what the shim sees of such a browser, and
 * --rounds times it.
 *
 *   retrobrowser [URL] [--keep-alive] [--pipeline] [--async] [--max N]
 *                [--rounds N] [--pause MS] [--log FILE]
 *
 * --pipeline (implies --keep-alive) sends up to four requests before
 * reading their answers once a connection has shown it stays open.
 * --pause waits that many milliseconds after each fetch, as a reader would.
 * Without a URL on the command line, the first line of homepage.txt in the
 * program's folder is the URL and its second line more options; a relative
 * --log there is in that folder.
 *
 * The log has a line "<status> <content-type> <bytes> <url>" per fetch
 * (status 0 when no response came, "-" for no content type) and ends with
 * "done <fetches> <wall ms> <cpu ms>". Exit code 0 when every fetch got a
 * whole response, 1 when one did not, 2 when there was nothing to start. */
#include <windows.h>
#include <winsock.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tools/retrobrowser/links.h"

#define MAX_BODY (4 * 1024 * 1024)
#define MAX_HEAD (64 * 1024)
#define MAX_PIPELINE 4
#define REQUEST_MAX (URL_PATH_MAX + URL_HOST_MAX + 128)
#define RECEIVE_ROOM 16384
#define TIMEOUT_MS 10000

typedef struct {
    char start[URL_TEXT_MAX];
    int keep_alive, pipeline, async;
    int max_fetches, rounds;
    int pause_ms; /* a reader's pause after each fetch, for demonstrations */
    char log_path[MAX_PATH];
} Options;

typedef struct {
    char *url;
    int follow; /* read it for links when it is an HTML page */
} Entry;

/* One connection at a time. Responses come in the order asked, so the
 * requests waiting for an answer are the entries first .. first+waiting-1,
 * and every entry before first is finished. */
typedef struct {
    SOCKET s;
    char out[MAX_PIPELINE * REQUEST_MAX];
    size_t out_len, out_sent;
    int first, waiting;
    char *in; /* received and not yet used: the answer to first, then more */
    size_t in_len, in_size;
    int answered;    /* responses read whole on this connection */
    int read_to_end; /* the server closes it after this response: ask nothing more */
} Connection;

typedef struct {
    const Options *options;
    Entry *entries; /* every URL found, in the order found: the queue */
    int count, size;
    int *slots; /* a hash set over the entries: index + 1, 0 when free */
    unsigned slot_count;
    int next; /* entries before next have been asked for */
    HttpUrl site;
    char host_header[URL_HOST_MAX + 8];
    struct sockaddr_in address;
    int finished, failed;
    FILE *log;
    Connection conn;
} Crawl;

typedef struct {
    int status;
    size_t head_len;
    long long length; /* Content-Length; -1 when there is none */
    int keep_alive;
    char type[128];
    char location[URL_TEXT_MAX];
} Head;

/* --- The queue: each URL once */

static unsigned HashText(const char *s) {
    unsigned h = 2166136261u;
    while (*s) h = (h ^ (unsigned char)*s++) * 16777619u;
    return h;
}

static int *FindSlot(Crawl *cr, const char *url) {
    unsigned i = HashText(url) & (cr->slot_count - 1);
    while (cr->slots[i] && strcmp(cr->entries[cr->slots[i] - 1].url, url) != 0) i = (i + 1) & (cr->slot_count - 1);
    return &cr->slots[i];
}

static int GrowSlots(Crawl *cr) {
    unsigned count = cr->slot_count ? cr->slot_count * 2 : 256;
    int *old = cr->slots, i;
    int *slots = (int *)calloc(count, sizeof *slots);
    if (!slots) return 0;
    cr->slots = slots;
    cr->slot_count = count;
    for (i = 0; i < cr->count; i++) *FindSlot(cr, cr->entries[i].url) = i + 1;
    free(old);
    return 1;
}

/* Puts url at the end of the queue unless it is there already. */
static void AddEntry(Crawl *cr, const char *url, int follow) {
    int *slot;
    char *copy;
    if ((unsigned)cr->count * 2 >= cr->slot_count && !GrowSlots(cr)) return;
    slot = FindSlot(cr, url);
    if (*slot) return;
    if (cr->count == cr->size) {
        int size = cr->size ? cr->size * 2 : 256;
        Entry *entries = (Entry *)realloc(cr->entries, size * sizeof *entries);
        if (!entries) return;
        cr->entries = entries;
        cr->size = size;
    }
    copy = (char *)malloc(strlen(url) + 1);
    if (!copy) return;
    strcpy(copy, url);
    cr->entries[cr->count].url = copy;
    cr->entries[cr->count].follow = follow;
    *slot = ++cr->count;
}

static int HasWork(const Crawl *cr) { return cr->next < cr->count && cr->next < cr->options->max_fetches; }

/* --- Pages read for links */

typedef struct {
    Crawl *cr;
    HttpUrl base;
} PageReading;

static void AddLink(Crawl *cr, const HttpUrl *base, const char *ref, size_t len, int follow) {
    HttpUrl url;
    char text[URL_TEXT_MAX];
    if (!ResolveUrl(base, ref, len, &url)) return;
    if (strcmp(url.host, cr->site.host) != 0 || url.port != cr->site.port) return;
    if (FormatUrl(&url, text, sizeof text)) AddEntry(cr, text, follow);
}

static void LinkInPage(void *context, int kind, const char *value, size_t len) {
    PageReading *page = (PageReading *)context;
    if (kind == LINK_BASE) {
        HttpUrl base;
        if (ResolveUrl(&page->base, value, len, &base)) page->base = base;
        return;
    }
    AddLink(page->cr, &page->base, value, len, kind == LINK_PAGE);
}

static int IsHtml(const char *type) { return _strnicmp(type, "text/html", 9) == 0; }

/* --- Fetches finished */

static void Finish(Crawl *cr, int index, int status, const char *type, size_t bytes, const char *why) {
    const char *url = cr->entries[index].url;
    cr->finished++;
    if (why) {
        cr->failed++;
        fprintf(stderr, "retrobrowser: %s: %s\n", url, why);
    }
    if (cr->log) fprintf(cr->log, "%d %s %lu %s\n", status, type && type[0] ? type : "-", (unsigned long)bytes, url);
    if (cr->options->pause_ms) Sleep((DWORD)cr->options->pause_ms);
}

/* The first waiting request failed: the ones behind it go back to the queue. */
static void FailFirst(Crawl *cr, Connection *c, int status, const char *type, size_t bytes, const char *why) {
    if (c->waiting == 0) return;
    Finish(cr, c->first, status, type, bytes, why);
    cr->next = c->first + 1;
    c->waiting = 0;
    c->read_to_end = 1;
}

/* The connection ended before the first waiting request got any answer.
 * After an answer on it, that is a server closing an idle Keep-Alive
 * connection as it may: all of them are asked again on a new one. */
static void MissFirst(Crawl *cr, Connection *c, const char *why) {
    if (c->answered == 0) {
        FailFirst(cr, c, 0, NULL, 0, why);
        return;
    }
    cr->next = c->first;
    c->waiting = 0;
    c->read_to_end = 1;
}

/* The response to the first waiting request is whole: log it, read it for
 * links and let go of its bytes. */
static void Complete(Crawl *cr, Connection *c, const Head *head, size_t body_len) {
    int index = c->first;
    const char *body = c->in + head->head_len;
    size_t used = head->head_len + body_len;

    Finish(cr, index, head->status, head->type, body_len, NULL);
    if (cr->entries[index].follow) {
        PageReading page;
        page.cr = cr;
        if (ParseHttpUrl(cr->entries[index].url, strlen(cr->entries[index].url), &page.base)) {
            if (head->status == 200 && IsHtml(head->type)) ReadLinks(body, body_len, LinkInPage, &page);
            if (head->status >= 300 && head->status < 400 && head->location[0])
                AddLink(cr, &page.base, head->location, strlen(head->location), 1);
        }
    }
    memmove(c->in, c->in + used, c->in_len - used);
    c->in_len -= used;
    c->first++;
    c->waiting--;
    c->answered++;
}

/* --- Responses read */

static int SameName(const char *a, size_t n, const char *name) {
    return strlen(name) == n && _strnicmp(a, name, n) == 0;
}

static void CopyValue(char *to, size_t size, const char *value, size_t n) {
    size_t i;
    if (n >= size) n = size - 1;
    for (i = 0; i < n; i++) to[i] = (unsigned char)value[i] < 0x20 || value[i] == 0x7f ? '?' : value[i];
    to[n] = 0;
}

static int HasToken(const char *value, size_t n, const char *token) {
    size_t i = 0;
    while (i < n) {
        size_t start, end;
        while (i < n && (value[i] == ' ' || value[i] == '\t' || value[i] == ',')) i++;
        start = i;
        while (i < n && value[i] != ',') i++;
        end = i;
        while (end > start && (value[end - 1] == ' ' || value[end - 1] == '\t')) end--;
        if (SameName(value + start, end - start, token)) return 1;
    }
    return 0;
}

/* Reads one header line into head; the text of what is wrong, or NULL. */
static const char *ReadHeader(const char *line, size_t n, Head *head) {
    const char *colon = (const char *)memchr(line, ':', n);
    size_t name_len, value_len, i;
    const char *value;
    if (!colon) return NULL;
    name_len = (size_t)(colon - line);
    while (name_len > 0 && (line[name_len - 1] == ' ' || line[name_len - 1] == '\t')) name_len--;
    value = colon + 1;
    value_len = n - (size_t)(value - line);
    while (value_len > 0 && (value[0] == ' ' || value[0] == '\t')) value++, value_len--;
    while (value_len > 0 && (value[value_len - 1] == ' ' || value[value_len - 1] == '\t')) value_len--;

    if (SameName(line, name_len, "Content-Length")) {
        long long length = 0;
        if (value_len == 0) return "bad Content-Length";
        for (i = 0; i < value_len; i++) {
            if (value[i] < '0' || value[i] > '9') return "bad Content-Length";
            if (length < 1000000000000LL) length = length * 10 + (value[i] - '0');
        }
        if (head->length >= 0 && head->length != length) return "two different Content-Lengths";
        head->length = length;
    } else if (SameName(line, name_len, "Content-Type")) {
        CopyValue(head->type, sizeof head->type, value, value_len);
    } else if (SameName(line, name_len, "Connection")) {
        if (HasToken(value, value_len, "keep-alive")) head->keep_alive = 1;
    } else if (SameName(line, name_len, "Location")) {
        if (value_len < sizeof head->location) CopyValue(head->location, sizeof head->location, value, value_len);
    }
    return NULL;
}

/* Reads a response head at in: 1 when it is whole (head filled in), 0 when
 * more is needed, -1 when it is no response (*why says what is wrong). */
static int ReadHead(const char *in, size_t len, Head *head, const char **why) {
    size_t limit = len < MAX_HEAD ? len : MAX_HEAD, end = 0, i, line, next;
    int digits = 0;

    if (memcmp(in, "HTTP/", len < 5 ? len : 5) != 0) {
        *why = "not an HTTP response";
        return -1;
    }
    for (i = 0; i < limit && !end; i++) {
        if (in[i] != '\n') continue;
        if (i + 1 < limit && in[i + 1] == '\n') end = i + 2;
        if (i + 2 < limit && in[i + 1] == '\r' && in[i + 2] == '\n') end = i + 3;
    }
    if (!end) {
        *why = "response head longer than 64 KB";
        return len >= MAX_HEAD ? -1 : 0;
    }

    memset(head, 0, sizeof *head);
    head->head_len = end;
    head->length = -1;
    /* "HTTP/1.0 200 OK": the version, then the three digits of the status. */
    for (i = 5; i < end && ((in[i] >= '0' && in[i] <= '9') || in[i] == '.'); i++) {
    }
    if (i == 5 || in[i] != ' ') {
        *why = "bad status line";
        return -1;
    }
    while (i < end && in[i] == ' ') i++;
    for (; i < end && in[i] >= '0' && in[i] <= '9' && digits < 4; i++, digits++)
        head->status = head->status * 10 + (in[i] - '0');
    if (digits != 3 || (in[i] != ' ' && in[i] != '\r' && in[i] != '\n')) {
        *why = "bad status line";
        return -1;
    }

    for (line = (size_t)((const char *)memchr(in, '\n', end) - in) + 1; line < end; line = next) {
        size_t n;
        const char *bad;
        next = (size_t)((const char *)memchr(in + line, '\n', end - line) - in) + 1;
        n = next - 1 - line;
        if (n > 0 && in[line + n - 1] == '\r') n--;
        bad = ReadHeader(in + line, n, head);
        if (bad) {
            *why = bad;
            return -1;
        }
    }
    return 1;
}

static int HasNoBody(int status) { return (status >= 100 && status < 200) || status == 204 || status == 304; }

/* Reads the responses that are in whole. 0 when the connection must end
 * now (a response it cannot read). */
static int TakeResponses(Crawl *cr, Connection *c) {
    while (c->waiting > 0 && c->in_len > 0) {
        Head head;
        const char *why = NULL;
        size_t body_in;
        int r = ReadHead(c->in, c->in_len, &head, &why);
        if (r < 0) {
            FailFirst(cr, c, 0, NULL, c->in_len, why);
            return 0;
        }
        if (r == 0) return 1;
        body_in = c->in_len - head.head_len;
        if (head.length > MAX_BODY || (head.length < 0 && body_in > MAX_BODY)) {
            FailFirst(cr, c, head.status, head.type, body_in, "response larger than 4 MB");
            return 0;
        }
        if (HasNoBody(head.status) && head.length < 0) head.length = 0;
        if (!cr->options->keep_alive || !head.keep_alive || head.length < 0) {
            /* Whole when the server closes; bytes past its length answer nothing. */
            if (head.length >= 0 && body_in > (size_t)head.length) c->in_len = head.head_len + (size_t)head.length;
            c->read_to_end = 1;
            return 1;
        }
        if (body_in < (size_t)head.length) return 1;
        Complete(cr, c, &head, (size_t)head.length);
    }
    /* Bytes that answer nothing: do not trust this connection further. */
    if (c->waiting == 0 && c->in_len > 0) c->read_to_end = 1;
    return 1;
}

/* The server closed the connection: a response read to the end is whole. */
static void ConnectionClosed(Crawl *cr, Connection *c) {
    Head head;
    const char *why = NULL;
    size_t body_in;
    int r;

    if (c->waiting == 0) return;
    if (c->in_len == 0) {
        MissFirst(cr, c, "connection closed without a response");
        return;
    }
    r = ReadHead(c->in, c->in_len, &head, &why);
    if (r <= 0) {
        FailFirst(cr, c, 0, NULL, c->in_len, r < 0 ? why : "connection closed inside the response head");
        return;
    }
    body_in = c->in_len - head.head_len;
    if (head.length >= 0 && body_in < (size_t)head.length) {
        char text[80];
        snprintf(text, sizeof text, "connection closed after %lu of %lu bytes", (unsigned long)body_in,
                 (unsigned long)head.length);
        FailFirst(cr, c, head.status, head.type, body_in, text);
        return;
    }
    if (head.length >= 0) body_in = (size_t)head.length;
    Complete(cr, c, &head, body_in);
    cr->next = c->first; /* the rest were asked on a connection that is gone */
    c->waiting = 0;
}

/* A receive failed: like a close, except that nothing read counts. */
static void ConnectionBroken(Crawl *cr, Connection *c, const char *why) {
    if (c->in_len == 0)
        MissFirst(cr, c, why);
    else
        FailFirst(cr, c, 0, NULL, c->in_len, why);
}

/* --- Requests and the bytes of one connection */

static void ResetConnection(Connection *c) {
    c->s = INVALID_SOCKET;
    c->out_len = c->out_sent = 0;
    c->first = c->waiting = 0;
    c->in_len = 0;
    c->answered = 0;
    c->read_to_end = 0;
}

/* Asks for the next entries: one per connection without Keep-Alive, one at
 * a time with it, up to four once the connection has shown that it stays
 * open when pipelining. */
static void AskMore(Crawl *cr, Connection *c) {
    const Options *o = cr->options;
    int depth = o->pipeline && c->answered > 0 ? MAX_PIPELINE : 1;
    if (c->read_to_end || (!o->keep_alive && (c->answered > 0 || c->waiting > 0))) return;
    if (c->out_sent > 0) {
        memmove(c->out, c->out + c->out_sent, c->out_len - c->out_sent);
        c->out_len -= c->out_sent;
        c->out_sent = 0;
    }
    while (c->waiting < depth && HasWork(cr)) {
        const char *url = cr->entries[cr->next].url;
        const char *path = strchr(url + 7, '/'); /* every URL here was written by FormatUrl */
        int n = snprintf(c->out + c->out_len, sizeof c->out - c->out_len,
                         "GET %s HTTP/1.0\r\nHost: %s\r\nUser-Agent: retrobrowser/1.0\r\nAccept: */*\r\n%s\r\n", path,
                         cr->host_header, o->keep_alive ? "Connection: Keep-Alive\r\n" : "");
        if (n < 0 || (size_t)n >= sizeof c->out - c->out_len) break; /* cannot happen: room for four */
        c->out_len += (size_t)n;
        if (c->waiting == 0) c->first = cr->next;
        c->waiting++;
        cr->next++;
    }
}

/* 1 when everything is sent or the rest waits for FD_WRITE. */
static int SendRequests(Connection *c) {
    while (c->out_sent < c->out_len) {
        int n = send(c->s, c->out + c->out_sent, (int)(c->out_len - c->out_sent), 0);
        if (n == SOCKET_ERROR) return WSAGetLastError() == WSAEWOULDBLOCK;
        c->out_sent += (size_t)n;
    }
    return 1;
}

/* Reads what has come: the number of bytes, 0 when the server closed,
 * -1 on an error, -2 when nothing is there yet. */
static int Receive(Connection *c) {
    int n;
    if (c->in_size - c->in_len < RECEIVE_ROOM) {
        size_t size = c->in_size ? c->in_size * 2 : 4 * RECEIVE_ROOM;
        char *in = (char *)realloc(c->in, size);
        if (!in) return -1;
        c->in = in;
        c->in_size = size;
    }
    n = recv(c->s, c->in + c->in_len, (int)(c->in_size - c->in_len), 0);
    if (n == SOCKET_ERROR) return WSAGetLastError() == WSAEWOULDBLOCK ? -2 : -1;
    c->in_len += (size_t)n;
    return n;
}

/* After bytes came in: takes the whole responses and asks for more. 0 when
 * the connection has nothing more to do. */
static int Advance(Crawl *cr, Connection *c) {
    if (!TakeResponses(cr, c)) return 0;
    AskMore(cr, c);
    if (c->waiting == 0) return 0;
    if (!SendRequests(c)) {
        ConnectionBroken(cr, c, "send failed");
        return 0;
    }
    return 1;
}

/* --- Blocking sockets, select() before each recv */

static void ReadBlocking(Crawl *cr, Connection *c) {
    for (;;) {
        fd_set readable;
        struct timeval wait;
        int n;
        wait.tv_sec = TIMEOUT_MS / 1000;
        wait.tv_usec = 0;
        FD_ZERO(&readable);
        FD_SET(c->s, &readable);
        n = select(0, &readable, NULL, NULL, &wait);
        if (n <= 0) {
            FailFirst(cr, c, 0, NULL, c->in_len, n == 0 ? "no answer for 10 s" : "select failed");
            return;
        }
        n = Receive(c);
        if (n < 0) {
            ConnectionBroken(cr, c, "receive failed");
            return;
        }
        if (n == 0) {
            ConnectionClosed(cr, c);
            return;
        }
        if (!Advance(cr, c)) return;
    }
}

static void CrawlBlocking(Crawl *cr) {
    Connection *c = &cr->conn;
    for (;;) {
        ResetConnection(c);
        AskMore(cr, c);
        if (c->waiting == 0) return;
        c->s = socket(AF_INET, SOCK_STREAM, 0);
        if (c->s == INVALID_SOCKET) {
            FailFirst(cr, c, 0, NULL, 0, "no socket");
            continue;
        }
        if (connect(c->s, (struct sockaddr *)&cr->address, sizeof cr->address) == SOCKET_ERROR)
            FailFirst(cr, c, 0, NULL, 0, "could not connect");
        else if (!SendRequests(c))
            FailFirst(cr, c, 0, NULL, 0, "send failed");
        else
            ReadBlocking(cr, c);
        closesocket(c->s);
    }
}

/* --- WSAAsyncSelect on a hidden window, as event-driven browsers did */

#define SOCKET_MESSAGE_FIRST (WM_APP + 16)

static HWND g_window;
static Crawl *g_crawl;
/* A message and a timer of its own for each connection, so that late
 * messages for a closed socket are not taken for the next one's. */
static unsigned g_connection_serial;
static UINT g_socket_message;
static UINT_PTR g_timer_id;

/* Starts the next connection, or ends the message loop when none is needed. */
static void OpenAsync(Crawl *cr) {
    Connection *c = &cr->conn;
    for (;;) {
        ResetConnection(c);
        AskMore(cr, c);
        if (c->waiting == 0) {
            PostQuitMessage(0);
            return;
        }
        c->s = socket(AF_INET, SOCK_STREAM, 0);
        if (c->s == INVALID_SOCKET) {
            FailFirst(cr, c, 0, NULL, 0, "no socket");
            continue;
        }
        g_connection_serial++;
        g_socket_message = SOCKET_MESSAGE_FIRST + g_connection_serial % 0x3000;
        g_timer_id = g_connection_serial;
        if (WSAAsyncSelect(c->s, g_window, g_socket_message, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) == 0 &&
            (connect(c->s, (struct sockaddr *)&cr->address, sizeof cr->address) == 0 ||
             WSAGetLastError() == WSAEWOULDBLOCK)) {
            SetTimer(g_window, g_timer_id, TIMEOUT_MS, NULL);
            return;
        }
        FailFirst(cr, c, 0, NULL, 0, "could not connect");
        closesocket(c->s);
    }
}

static void CloseAsync(Crawl *cr) {
    KillTimer(g_window, g_timer_id);
    WSAAsyncSelect(cr->conn.s, g_window, 0, 0);
    closesocket(cr->conn.s);
    cr->conn.s = INVALID_SOCKET;
    OpenAsync(cr);
}

static int SendOrBreak(Crawl *cr, Connection *c) {
    if (SendRequests(c)) return 1;
    ConnectionBroken(cr, c, "send failed");
    return 0;
}

/* 1 while the connection goes on. */
static int OnSocketEvent(Crawl *cr, int event, int error) {
    Connection *c = &cr->conn;
    int n;
    switch (event) {
        case FD_CONNECT:
            if (error) {
                FailFirst(cr, c, 0, NULL, 0, "could not connect");
                return 0;
            }
            return SendOrBreak(cr, c);
        case FD_WRITE:
            return SendOrBreak(cr, c);
        case FD_READ:
            n = Receive(c);
            if (n == -2) return 1;
            if (n < 0) {
                ConnectionBroken(cr, c, "receive failed");
                return 0;
            }
            if (n == 0) {
                ConnectionClosed(cr, c);
                return 0;
            }
            return Advance(cr, c);
        case FD_CLOSE:
            /* What is left to read comes before the end. */
            while ((n = Receive(c)) > 0)
                if (!Advance(cr, c)) return 0;
            if (n == -1)
                ConnectionBroken(cr, c, "receive failed");
            else
                ConnectionClosed(cr, c);
            return 0;
    }
    return 1;
}

static LRESULT CALLBACK SocketWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Crawl *cr = g_crawl;
    if (message == g_socket_message && cr && (SOCKET)wparam == cr->conn.s) {
        SetTimer(window, g_timer_id, TIMEOUT_MS, NULL);
        if (!OnSocketEvent(cr, WSAGETSELECTEVENT(lparam), WSAGETSELECTERROR(lparam))) CloseAsync(cr);
        return 0;
    }
    if (message == WM_TIMER && wparam == g_timer_id && cr && cr->conn.s != INVALID_SOCKET) {
        FailFirst(cr, &cr->conn, 0, NULL, cr->conn.in_len, "no answer for 10 s");
        CloseAsync(cr);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

static int MakeSocketWindow(void) {
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = SocketWindowProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "RetroBrowserSockets";
    if (!RegisterClassA(&wc)) return 0;
    /* Message-only: never shown, and made even where there is no desktop. */
    g_window = CreateWindowA(wc.lpszClassName, "retrobrowser", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, wc.hInstance, NULL);
    return g_window != NULL;
}

static void CrawlAsync(Crawl *cr) {
    MSG msg;
    g_crawl = cr;
    OpenAsync(cr);
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    g_crawl = NULL;
}

/* --- A crawl from the start URL */

static int FindServer(Crawl *cr) {
    unsigned long ip = inet_addr(cr->site.host);
    memset(&cr->address, 0, sizeof cr->address);
    cr->address.sin_family = AF_INET;
    cr->address.sin_port = htons((unsigned short)cr->site.port);
    if (ip == INADDR_NONE) {
        struct hostent *h = gethostbyname(cr->site.host);
        if (!h || h->h_addrtype != AF_INET || !h->h_addr_list[0]) return 0;
        memcpy(&ip, h->h_addr_list[0], 4);
    }
    cr->address.sin_addr.s_addr = ip;
    return 1;
}

/* One crawl, from nothing: returns the fetches it made (and failures in
 * *failed). */
static int RunCrawl(const Options *o, const HttpUrl *start, FILE *log, int *failed) {
    Crawl cr;
    char url[URL_TEXT_MAX];
    int i, finished;

    memset(&cr, 0, sizeof cr);
    cr.options = o;
    cr.site = *start;
    cr.log = log;
    cr.conn.s = INVALID_SOCKET;
    snprintf(cr.host_header, sizeof cr.host_header, "%s:%u", start->host, start->port);
    FormatUrl(start, url, sizeof url);
    AddEntry(&cr, url, 1);
    if (cr.count == 0) {
        fprintf(stderr, "retrobrowser: out of memory\n");
        *failed = 1;
        return 0;
    }
    if (!FindServer(&cr)) {
        Finish(&cr, 0, 0, NULL, 0, "host not found");
    } else if (o->async) {
        CrawlAsync(&cr);
    } else {
        CrawlBlocking(&cr);
    }
    finished = cr.finished;
    *failed = cr.failed;
    for (i = 0; i < cr.count; i++) free(cr.entries[i].url);
    free(cr.entries);
    free(cr.slots);
    free(cr.conn.in);
    return finished;
}

static double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (double)(to.QuadPart - from.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

static double CpuMilliseconds(void) {
    FILETIME created, ended, kernel, user;
    ULARGE_INTEGER k, u;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return (double)(k.QuadPart + u.QuadPart) / 10000.0;
}

/* --- Options, from the command line or homepage.txt */

static int IsRelativePath(const char *path) {
    return path[0] != '\\' && path[0] != '/' && !(path[0] && path[1] == ':');
}

static int ReadCount(const char *text, int *value) {
    char *end;
    long n = strtol(text, &end, 10);
    if (*end || n < 1 || n > 10000000) return 0;
    *value = (int)n;
    return 1;
}

/* Reads options and at most one URL. folder, when not NULL, is where a
 * relative --log goes. 0 with a message when one is wrong. */
static int ReadOptions(int argc, char **argv, Options *o, const char *folder) {
    int i;
    for (i = 0; i < argc; i++) {
        const char *a = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : NULL;
        if (strcmp(a, "--keep-alive") == 0) {
            o->keep_alive = 1;
        } else if (strcmp(a, "--pipeline") == 0) {
            o->keep_alive = o->pipeline = 1;
        } else if (strcmp(a, "--async") == 0) {
            o->async = 1;
        } else if (strcmp(a, "--max") == 0 || strcmp(a, "--rounds") == 0 || strcmp(a, "--pause") == 0) {
            int *count = a[2] == 'm' ? &o->max_fetches : a[2] == 'r' ? &o->rounds : &o->pause_ms;
            if (!value || !ReadCount(value, count)) {
                fprintf(stderr, "retrobrowser: %s needs a count from 1\n", a);
                return 0;
            }
            i++;
        } else if (strcmp(a, "--log") == 0) {
            int n;
            if (!value) {
                fprintf(stderr, "retrobrowser: --log needs a file name\n");
                return 0;
            }
            if (folder && IsRelativePath(value))
                n = snprintf(o->log_path, sizeof o->log_path, "%s\\%s", folder, value);
            else
                n = snprintf(o->log_path, sizeof o->log_path, "%s", value);
            if (n < 0 || (size_t)n >= sizeof o->log_path) {
                fprintf(stderr, "retrobrowser: the log's name is too long\n");
                return 0;
            }
            i++;
        } else if (a[0] == '-') {
            fprintf(stderr, "retrobrowser: unknown option %s\n", a);
            return 0;
        } else if (strlen(a) < sizeof o->start) {
            strcpy(o->start, a);
        } else {
            fprintf(stderr, "retrobrowser: the URL is too long\n");
            return 0;
        }
    }
    return 1;
}

static void TrimLine(char *line) {
    size_t n = strlen(line);
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r' || line[n - 1] == ' ' || line[n - 1] == '\t'))
        line[--n] = 0;
}

/* The start URL and options of homepage.txt beside the program. */
static int ReadHomepage(Options *o) {
    char folder[MAX_PATH], path[MAX_PATH + 16], url[URL_TEXT_MAX], line[1024];
    char *words[64];
    int count = 0;
    char *slash, *word;
    FILE *f;
    DWORD n = GetModuleFileNameA(NULL, folder, sizeof folder);

    if (n == 0 || n >= sizeof folder) return 0;
    slash = strrchr(folder, '\\');
    if (!slash) return 0;
    *slash = 0;
    snprintf(path, sizeof path, "%s\\homepage.txt", folder);
    f = fopen(path, "r");
    if (!f) return 0;
    if (!fgets(url, sizeof url, f)) {
        fclose(f);
        return 0;
    }
    TrimLine(url);
    if (!fgets(line, sizeof line, f)) line[0] = 0;
    fclose(f);
    for (word = strtok(line, " \t\r\n"); word && count < 64; word = strtok(NULL, " \t\r\n")) words[count++] = word;
    if (!ReadOptions(count, words, o, folder)) return 0;
    if (url[0] == 0 || strlen(url) >= sizeof o->start) return 0;
    strcpy(o->start, url);
    return 1;
}

static void Usage(void) {
    fprintf(stderr,
            "usage: retrobrowser [URL] [--keep-alive] [--pipeline] [--async] [--max N] [--rounds N]\n"
            "                    [--pause MS] [--log FILE]\n"
            "       without a URL, homepage.txt beside the program gives it (first line) and options (second)\n");
}

int main(int argc, char **argv) {
    Options o;
    HttpUrl start;
    WSADATA wsa;
    FILE *log = NULL;
    LARGE_INTEGER began, ended;
    int round, fetches = 0, failures = 0;
    double wall, cpu;

    memset(&o, 0, sizeof o);
    o.max_fetches = 200;
    o.rounds = 1;
    if (!ReadOptions(argc - 1, argv + 1, &o, NULL)) {
        Usage();
        return 2;
    }
    if (!o.start[0]) {
        /* The command line's options win over the file's. */
        if (!ReadHomepage(&o)) {
            fprintf(stderr, "retrobrowser: no URL given, and no readable homepage.txt with one beside the program\n");
            Usage();
            return 2;
        }
        ReadOptions(argc - 1, argv + 1, &o, NULL);
    }
    if (!ParseHttpUrl(o.start, strlen(o.start), &start)) {
        fprintf(stderr, "retrobrowser: not an http URL: %s\n", o.start);
        return 2;
    }
    if (o.log_path[0] && !(log = fopen(o.log_path, "w"))) {
        fprintf(stderr, "retrobrowser: cannot write %s\n", o.log_path);
        return 2;
    }
    if (WSAStartup(MAKEWORD(1, 1), &wsa) != 0) {
        fprintf(stderr, "retrobrowser: no Winsock 1.1\n");
        return 2;
    }
    if (o.async && !MakeSocketWindow()) {
        fprintf(stderr, "retrobrowser: cannot make the socket window\n");
        WSACleanup();
        return 2;
    }

    QueryPerformanceCounter(&began);
    for (round = 1; round <= o.rounds; round++) {
        LARGE_INTEGER from, to;
        int failed, n;
        QueryPerformanceCounter(&from);
        n = RunCrawl(&o, &start, log, &failed);
        QueryPerformanceCounter(&to);
        fetches += n;
        failures += failed;
        printf("round %d: %d fetches, %d failed, %.0f ms\n", round, n, failed, Milliseconds(from, to));
    }
    QueryPerformanceCounter(&ended);
    wall = Milliseconds(began, ended);
    cpu = CpuMilliseconds();
    printf("done %d %.0f %.0f\n", fetches, wall, cpu);
    if (log) {
        fprintf(log, "done %d %.0f %.0f\n", fetches, wall, cpu);
        fclose(log);
    }
    if (g_window) DestroyWindow(g_window);
    WSACleanup();
    return failures ? 1 : 0;
}
