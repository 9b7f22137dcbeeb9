// The extension's background: follows every navigation of a normal window,
// reads the page when it has loaded, and sends what it saw to the bridge
// host (skeindbridge), which passes it on to Skeindle on this machine. It
// also does what Skeindle asks through the host: show a page, fetch a page
// with the user's cookies, bring a window forward.
import { collectPageContent } from './lib/collect.js';
import { NavigationTracker } from './lib/navigations.js';
import { loadReport, mimeOf, pageReport, pageUrl } from './lib/report.js';
import { kDefaultSettings, mayReport } from './lib/settings.js';

const api = globalThis.browser ?? globalThis.chrome;
const kHostName = 'skeindle_bridge';
const kReconnectMs = 5000;
const kAllUrls = { urls: ['<all_urls>'] };

const tracker = new NavigationTracker();
let settings = { ...kDefaultSettings };
const settingsRead = api.storage.local.get(kDefaultSettings).then((s) => {
  settings = { ...kDefaultSettings, ...s };
});
api.storage.onChanged.addListener((changes, area) => {
  if (area !== 'local') return;
  for (const [key, change] of Object.entries(changes)) settings[key] = change.newValue ?? kDefaultSettings[key];
});

// --- The host

let port = null;

function connect() {
  try {
    port = api.runtime.connectNative(kHostName);
  } catch (e) {
    port = null;
    setTimeout(connect, kReconnectMs);
    return;
  }
  port.onMessage.addListener(fromHost);
  port.onDisconnect.addListener(() => {
    port = null;
    setTimeout(connect, kReconnectMs);
  });
  tellFrontTab();
}

function send(message) {
  if (port) port.postMessage(message);
}

// --- Which tabs may be reported

const incognitoTabs = new Map(); // tabId -> incognito

async function tabInfo(tabId) {
  if (tabId < 0) return null;
  try {
    const tab = await api.tabs.get(tabId);
    incognitoTabs.set(tabId, tab.incognito);
    return tab;
  } catch (e) {
    return null;
  }
}

async function reportable(tabId, url) {
  await settingsRead;
  let incognito = incognitoTabs.get(tabId);
  if (incognito === undefined) {
    const tab = await tabInfo(tabId);
    if (!tab) return false;
    incognito = tab.incognito;
  }
  return mayReport(url, settings, incognito);
}

// --- Navigations

api.webRequest.onBeforeRequest.addListener((d) => tracker.beforeRequest(d), kAllUrls);
api.webRequest.onBeforeRedirect.addListener((d) => tracker.beforeRedirect(d), kAllUrls);
api.webRequest.onHeadersReceived.addListener((d) => tracker.headersReceived(d), kAllUrls, ['responseHeaders']);

const previousUrl = new Map(); // tabId -> the page the tab showed before

api.webNavigation.onCommitted.addListener(async (d) => {
  const navigation = tracker.committed(d);
  if (d.frameId !== 0) return;
  const referrer = previousUrl.get(d.tabId) || '';
  previousUrl.set(d.tabId, pageUrl(d.url));
  if (!(await reportable(d.tabId, d.url))) return;
  const tab = await tabInfo(d.tabId);
  if (!tab) return;
  send({ type: 'shown', url: pageUrl(d.url), mime: navigation.mime, window: tab.windowId, referrer, active: tab.active });
});

api.webNavigation.onCompleted.addListener(async (d) => {
  const navigation = tracker.completed(d);
  if (!navigation || !(await reportable(d.tabId, d.url))) return;
  let content = null;
  if (navigation.mime === '' || navigation.mime === 'text/html' || navigation.mime === 'application/xhtml+xml') {
    try {
      const [result] = await api.scripting.executeScript({
        target: { tabId: d.tabId, frameIds: [d.frameId] },
        func: collectPageContent,
      });
      content = result ? result.result : null;
    } catch (e) {
      content = null; // a page the extension may not read: reported without its links
    }
  }
  send(pageReport(navigation, content));
});

// Parts of pages: images, scripts, stylesheets... as they finish loading.
api.webRequest.onCompleted.addListener(
  async (d) => {
    if (d.type === 'main_frame' || d.type === 'sub_frame' || d.tabId < 0) return;
    const page = tracker.documentOf(d.tabId, d.frameId) || d.documentUrl || d.initiator || '';
    if (!page || !(await reportable(d.tabId, page))) return;
    const report = loadReport(d, page);
    if (report) send(report);
  },
  kAllUrls,
  ['responseHeaders'],
);

// --- The tab in front of each window, for the program's questions

async function tellFrontTab() {
  let tabs;
  try {
    tabs = await api.tabs.query({ active: true, lastFocusedWindow: true });
  } catch (e) {
    return;
  }
  const tab = tabs[0];
  if (!tab || tab.incognito || !(await reportable(tab.id, tab.url || ''))) return;
  send({ type: 'active', window: tab.windowId, url: pageUrl(tab.url), title: tab.title || '' });
}

api.tabs.onActivated.addListener(tellFrontTab);
api.windows.onFocusChanged.addListener(tellFrontTab);
api.tabs.onUpdated.addListener((tabId, change, tab) => {
  if (tab.active && (change.url || change.title)) tellFrontTab();
});
api.tabs.onRemoved.addListener((tabId) => {
  tracker.tabClosed(tabId);
  incognitoTabs.delete(tabId);
  previousUrl.delete(tabId);
});
api.windows.onRemoved.addListener((windowId) => send({ type: 'closed', window: windowId }));

// --- What the program asks

async function fromHost(message) {
  switch (message.type) {
    case 'open':
      return openUrl(message.url, message.window);
    case 'fetch':
      return fetchForProgram(message.id, message.url);
    case 'activate':
      return api.windows.update(message.window, { focused: true }).catch(() => {});
  }
}

async function openUrl(url, windowId) {
  if (!/^(https?|ftp|file):/i.test(String(url))) return;
  try {
    if (windowId) {
      const [tab] = await api.tabs.query({ active: true, windowId });
      if (tab) return await api.tabs.update(tab.id, { url });
    }
    await api.windows.create({ url });
  } catch (e) {
    // The window went: the page opens in a new one.
    api.windows.create({ url }).catch(() => {});
  }
}

function base64(bytes) {
  let text = '';
  for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(text);
}

async function fetchForProgram(id, url) {
  try {
    const response = await fetch(url, { credentials: 'include' });
    const body = new Uint8Array(await response.arrayBuffer());
    send({ type: 'fetched', id, ok: response.ok, mime: mimeOf(response.headers.get('content-type')), body: base64(body) });
  } catch (e) {
    send({ type: 'fetched', id, ok: false });
  }
}

connect();
