// Follows each document request of a tab's frames from its start through
// its redirects to its answer, so that a committed navigation can be
// reported with its method, status, content type and redirects. Fed plain
// event details (webRequest, webNavigation), so Node runs its tests.
import { headerValue, mimeOf, pageUrl } from './report.js';

const kDocumentTypes = new Set(['main_frame', 'sub_frame']);
// Requests that never commit (downloads, failures) are forgotten after this many.
const kMaxRequests = 200;

function frameKey(tabId, frameId) {
  return tabId + '/' + frameId;
}

export class NavigationTracker {
  constructor() {
    this.requests = new Map(); // requestId -> navigation being loaded
    this.frames = new Map(); // "tab/frame" -> { url, reported } of the document there
  }

  beforeRequest(d) {
    if (!kDocumentTypes.has(d.type)) return;
    // A redirected request starts again under the same id: it goes on.
    const going = this.requests.get(d.requestId);
    if (going && going.url === d.url) return;
    this.requests.set(d.requestId, {
      tabId: d.tabId,
      frameId: d.frameId,
      method: d.method || 'GET',
      url: d.url,
      status: 0,
      mime: '',
      redirects: [],
    });
    if (this.requests.size > kMaxRequests) this.requests.delete(this.requests.keys().next().value);
  }

  beforeRedirect(d) {
    const n = this.requests.get(d.requestId);
    if (!n) return;
    n.redirects.push({ url: n.url, status: d.statusCode, to: d.redirectUrl });
    n.url = d.redirectUrl;
    // A 303 (and, as browsers do, a 301 or 302 after a POST) goes on as a GET.
    if (d.statusCode === 303 || ((d.statusCode === 301 || d.statusCode === 302) && n.method === 'POST')) n.method = 'GET';
  }

  headersReceived(d) {
    const n = this.requests.get(d.requestId);
    if (!n) return;
    n.status = d.statusCode;
    n.mime = mimeOf(headerValue(d.responseHeaders, 'content-type'));
  }

  // The request that loaded what a frame shows now, taken from the table
  // when `take`; a page that came without one (from the history cache) has
  // a bare navigation. The browser's events for a request and for the
  // frame's navigation come in no fixed order, until the document has
  // loaded.
  requestFor(tabId, frameId, url, take) {
    let found = null;
    for (const [id, n] of this.requests) {
      if (n.tabId !== tabId || n.frameId !== frameId || pageUrl(n.url) !== pageUrl(url)) continue;
      found = n;
      if (take) this.requests.delete(id);
    }
    return found || { tabId, frameId, method: 'GET', url, status: 0, mime: '', redirects: [] };
  }

  // A navigation committed in a frame: what is known of it so far.
  committed(d) {
    this.frames.set(frameKey(d.tabId, d.frameId), { url: d.url, reported: false });
    return this.requestFor(d.tabId, d.frameId, d.url, false);
  }

  // The navigation of a frame whose document has finished loading, once.
  completed(d) {
    const frame = this.frames.get(frameKey(d.tabId, d.frameId));
    if (!frame || frame.reported || pageUrl(frame.url) !== pageUrl(d.url)) return null;
    frame.reported = true;
    const navigation = this.requestFor(d.tabId, d.frameId, d.url, true);
    navigation.url = d.url;
    return navigation;
  }

  // The URL of the document in a frame now ('' when none is known).
  documentOf(tabId, frameId) {
    const n = this.frames.get(frameKey(tabId, frameId));
    return n ? n.url : '';
  }

  tabClosed(tabId) {
    for (const key of [...this.frames.keys()]) if (key.startsWith(tabId + '/')) this.frames.delete(key);
    for (const [id, n] of this.requests) if (n.tabId === tabId) this.requests.delete(id);
  }
}
