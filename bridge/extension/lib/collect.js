// Runs inside a page (handed to scripting.executeScript, so it must not
// use anything from outside itself): the page's title, first heading, base
// and every element that refers to another URL, as plain data. What they
// mean is decided by report.js, which tests can run without a page.
export function collectPageContent() {
  const kMaxElements = 5000;
  const content = { title: document.title || '', heading: '', base: '', elements: [] };
  const h1 = document.querySelector('h1');
  if (h1) content.heading = h1.textContent || '';
  const base = document.querySelector('base[href]');
  if (base) content.base = base.href;
  const add = (tag, raw, url, text, extra) => {
    if (content.elements.length < kMaxElements) content.elements.push({ tag, raw, url, text, extra });
  };
  // An attribute resolved as the document resolves it (also for SVG links,
  // whose href property is no string).
  const resolve = (raw) => {
    try {
      return new URL(raw, document.baseURI).href;
    } catch (e) {
      return '';
    }
  };
  for (const e of document.querySelectorAll('a[href], area[href]')) {
    const raw = e.getAttribute('href');
    add(e.localName, raw, resolve(raw), e.textContent || e.getAttribute('alt') || '', '');
  }
  for (const e of document.querySelectorAll('img[src], script[src], frame[src], iframe[src], embed[src]')) {
    const raw = e.getAttribute('src');
    add(e.localName, raw, resolve(raw), '', '');
  }
  for (const e of document.querySelectorAll('link[href]')) {
    const raw = e.getAttribute('href');
    add('link', raw, resolve(raw), e.getAttribute('title') || '', (e.getAttribute('rel') || '').toLowerCase());
  }
  // A form without an action submits to the page itself: its action
  // property says so.
  for (const f of document.forms) add('form', f.getAttribute('action') || '', f.action, '', '');
  return content;
}
