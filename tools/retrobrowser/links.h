/* links.h: what retrobrowser reads in a page. The URLs an HTML page links
 * to, as a simple browser of the old kind finds them, and http URLs parsed,
 * resolved and written back. No system calls, so that it also builds and is
 * tested natively. */
#ifndef RETROBROWSER_LINKS_H
#define RETROBROWSER_LINKS_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define URL_HOST_MAX 256
#define URL_PATH_MAX 2048
/* "http://" host ":" port path, with its NUL. */
#define URL_TEXT_MAX (7 + URL_HOST_MAX + 6 + URL_PATH_MAX)

typedef struct {
    char host[URL_HOST_MAX]; /* lower case */
    unsigned port;
    char path[URL_PATH_MAX]; /* begins with '/'; query kept, fragment dropped */
} HttpUrl;

/* 1 when text (len bytes) is an absolute http URL with a host; 0 otherwise. */
int ParseHttpUrl(const char *text, size_t len, HttpUrl *url);

/* Resolves ref (len bytes, an attribute's value) against base. 1 when the
 * result is an http URL; 0 for other schemes (mailto:, ftp:, ...) and for
 * what does not fit or makes no sense. */
int ResolveUrl(const HttpUrl *base, const char *ref, size_t len, HttpUrl *out);

/* Writes "http://host:port/path" into buf. 0 when it does not fit. */
int FormatUrl(const HttpUrl *url, char *buf, size_t size);

enum {
    LINK_PAGE = 1,      /* followed: <a href>, <area href>, <frame src>, <iframe src> */
    LINK_INCLUSION = 2, /* fetched with the page: <img src>, <body background>, ... */
    LINK_BASE = 3       /* <base href>: what later links are relative to */
};

/* Called for each link in document order; value is the attribute's value
 * with &amp; decoded, NUL-terminated, len bytes. */
typedef void (*LinkFound)(void *context, int kind, const char *value, size_t len);

/* Reads len bytes of HTML for links. Comments and the text of <script> and
 * <style> elements are skipped; a page cut short ends the reading quietly. */
void ReadLinks(const char *html, size_t len, LinkFound found, void *context);

#ifdef __cplusplus
}
#endif

#endif
