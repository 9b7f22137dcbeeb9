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
    this.frames = new Map(); // "tab/frame" -> navigation committed there
  }

  beforeRequest(d) {
    if (!kDocumentTypes.has(d.type)) return;
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

  // The navigation that committed in a frame: the request that loaded it,
  // or, for a page that came without one (from the history cache), the
  // bare URL.
  committed(d) {
    let found = null;
    for (const [id, n] of this.requests) {
      if (n.tabId === d.tabId && n.frameId === d.frameId && pageUrl(n.url) === pageUrl(d.url)) {
        found = n;
        this.requests.delete(id);
      }
    }
    const navigation = found || { tabId: d.tabId, frameId: d.frameId, method: 'GET', url: d.url, status: 0, mime: '', redirects: [] };
    navigation.url = d.url;
    this.frames.set(frameKey(d.tabId, d.frameId), navigation);
    return navigation;
  }

  // The navigation of a frame whose document has finished loading, once.
  completed(d) {
    const key = frameKey(d.tabId, d.frameId);
    const n = this.frames.get(key);
    if (!n || n.reported || pageUrl(n.url) !== pageUrl(d.url)) return null;
    n.reported = true;
    return n;
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
