// What a page's content and its loading make of the reports the bridge
// host turns into the program's datagrams (bridge/page_report.h). Plain
// functions of plain data, so that Node runs their tests.

// Schemes of pages a map can hold; scripts, data and the browser's own
// pages are no links.
const kPageSchemes = new Set(['http:', 'https:', 'ftp:', 'file:', 'mailto:', 'news:', 'gopher:']);
const kMaxText = 300;

// The URL without its fragment, or '' when it names no page of the map.
export function pageUrl(url) {
  let u;
  try {
    u = new URL(url);
  } catch (e) {
    return '';
  }
  if (!kPageSchemes.has(u.protocol)) return '';
  u.hash = '';
  return u.href;
}

// White space folded and ends trimmed, cut at kMaxText characters.
export function foldText(text) {
  const folded = String(text || '').replace(/\s+/g, ' ').trim();
  return folded.length > kMaxText ? folded.slice(0, kMaxText) : folded;
}

// The kind of link an element makes, and the text that goes with it.
function kindOf(element) {
  switch (element.tag) {
    case 'a':
    case 'area':
      return { kind: 'anchor', text: foldText(element.text) };
    case 'img':
    case 'embed':
      return { kind: 'include', text: 'image' };
    case 'script':
      return { kind: 'include', text: 'script' };
    case 'frame':
    case 'iframe':
      return { kind: 'frame', text: '' };
    case 'form':
      return { kind: 'query', text: '' };
    case 'link': {
      const rels = String(element.extra || '').split(/\s+/);
      if (rels.includes('stylesheet')) return { kind: 'include', text: 'stylesheet' };
      if (rels.includes('icon')) return { kind: 'include', text: 'icon' };
      return { kind: 'other', text: foldText(element.text || element.extra) };
    }
    default:
      return null;
  }
}

// Every link of a page, once per kind and target. Empty references and
// those to a place in the page itself ("#top") are no links, as the
// program's own scanner has it; a form's empty action is its own page.
export function pageLinks(content) {
  const links = [];
  const seen = new Set();
  for (const element of (content && content.elements) || []) {
    const raw = String(element.raw ?? '').trim();
    if (element.tag !== 'form' && (raw === '' || raw.startsWith('#'))) continue;
    const kind = kindOf(element);
    const url = pageUrl(element.url);
    if (!kind || !url) continue;
    const key = kind.kind + ' ' + url;
    if (seen.has(key)) continue;
    seen.add(key);
    links.push({ kind: kind.kind, url, text: kind.text });
  }
  return links;
}

// The MIME type of a Content-Type header value, in lower case.
export function mimeOf(contentType) {
  return String(contentType || '').split(';')[0].trim().toLowerCase();
}

export function isHtml(mime) {
  return mime === '' || mime === 'text/html' || mime === 'application/xhtml+xml';
}

// The report of one navigation: its request, answer and redirects (from
// navigations.js) and, for an HTML page, its content.
export function pageReport(navigation, content) {
  const report = {
    type: 'page',
    method: navigation.method || 'GET',
    url: pageUrl(navigation.url),
    status: navigation.status || 0,
    mime: navigation.mime || '',
    redirects: navigation.redirects.map((r) => ({ url: pageUrl(r.url), status: r.status, to: pageUrl(r.to) })),
  };
  if (content && isHtml(report.mime)) {
    report.title = foldText(content.title);
    report.heading = foldText(content.heading);
    if (content.base) report.base = pageUrl(content.base);
    report.links = pageLinks(content);
  }
  return report;
}

// Parts of a page seen loading that are parts of it; what a page fetches
// for its scripts (XMLHttpRequest, fetch, beacons) is not.
const kIncludedTypes = {
  image: 'image',
  imageset: 'image',
  script: 'script',
  stylesheet: 'stylesheet',
  font: 'font',
  media: 'media',
  object: 'object',
};

// The report of a part of page `page` seen loading, or null. The icon a
// browser looks for by itself at /favicon.ico is no part of the page (a
// page that names its icon has a link element for it).
export function loadReport(details, page) {
  const what = kIncludedTypes[details.type];
  const url = pageUrl(details.url);
  if (!what || !url || new URL(url).pathname === '/favicon.ico') return null;
  return {
    type: 'load',
    url,
    status: details.statusCode || 0,
    mime: mimeOf(headerValue(details.responseHeaders, 'content-type')),
    page: pageUrl(page),
    what,
  };
}

export function headerValue(headers, name) {
  for (const h of headers || []) if (String(h.name).toLowerCase() === name) return h.value || '';
  return '';
}
