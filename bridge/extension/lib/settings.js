// The user's say over what is reported: a pause switch and a list of
// sites never to report (a site covers its subdomains).

export const kDefaultSettings = { paused: false, blocked: [] };

// A site as the user typed it, as a host name in lower case ('' if none).
export function siteOf(text) {
  let t = String(text || '').trim().toLowerCase();
  if (!t) return '';
  if (!/^[a-z][a-z0-9+.-]*:\/\//.test(t)) t = 'http://' + t;
  try {
    return new URL(t).hostname.replace(/^\.+|\.+$/g, '');
  } catch (e) {
    return '';
  }
}

export function isBlocked(url, blocked) {
  let host;
  try {
    host = new URL(url).hostname.toLowerCase();
  } catch (e) {
    return false;
  }
  return (blocked || []).some((site) => site && (host === site || host.endsWith('.' + site)));
}

// Whether a page (and what it loads) may be reported at all.
export function mayReport(url, settings, incognito) {
  if (incognito || settings.paused) return false;
  if (!/^https?:/i.test(String(url || ''))) return false;
  return !isBlocked(url, settings.blocked);
}
