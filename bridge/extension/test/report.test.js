// Page content and loading made into reports, as the host will read them.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { foldText, loadReport, pageLinks, pageReport, pageUrl } from '../lib/report.js';

const page = 'http://site.test/dir/page.html';
const el = (tag, raw, url, text = '', extra = '') => ({ tag, raw, url, text, extra });

test('every kind of element makes its kind of link', () => {
  const content = {
    elements: [
      el('a', 'next.html', 'http://site.test/dir/next.html', '  Next\n  page '),
      el('area', '/map#part', 'http://site.test/map#part', 'Map'),
      el('img', 'i.png', 'http://site.test/dir/i.png'),
      el('embed', 'e.svg', 'http://site.test/dir/e.svg'),
      el('script', '/s.js', 'http://site.test/s.js'),
      el('link', 's.css', 'http://site.test/dir/s.css', '', 'alternate stylesheet'),
      el('link', '/favicon.ico', 'http://site.test/favicon.ico', '', 'icon'),
      el('link', 'next2.html', 'http://site.test/dir/next2.html', '', 'next'),
      el('frame', 'top.html', 'http://site.test/dir/top.html'),
      el('iframe', 'ad.html', 'http://other.test/ad.html'),
      el('form', '/find', 'http://site.test/find'),
      el('video', 'v.mp4', 'http://site.test/v.mp4'),
    ],
  };
  assert.deepEqual(pageLinks(content), [
    { kind: 'anchor', url: 'http://site.test/dir/next.html', text: 'Next page' },
    { kind: 'anchor', url: 'http://site.test/map', text: 'Map' },
    { kind: 'include', url: 'http://site.test/dir/i.png', text: 'image' },
    { kind: 'include', url: 'http://site.test/dir/e.svg', text: 'image' },
    { kind: 'include', url: 'http://site.test/s.js', text: 'script' },
    { kind: 'include', url: 'http://site.test/dir/s.css', text: 'stylesheet' },
    { kind: 'include', url: 'http://site.test/favicon.ico', text: 'icon' },
    { kind: 'other', url: 'http://site.test/dir/next2.html', text: 'next' },
    { kind: 'frame', url: 'http://site.test/dir/top.html', text: '' },
    { kind: 'frame', url: 'http://other.test/ad.html', text: '' },
    { kind: 'query', url: 'http://site.test/find', text: '' },
  ]);
});

test('references to no page, or to a place in this one, are no links', () => {
  const content = {
    elements: [
      el('a', '', page),
      el('a', '#top', page + '#top'),
      el('a', ' #x', page + '#x'),
      el('a', 'javascript:go()', 'javascript:go()'),
      el('img', 'data:image/png;base64,AAAA', 'data:image/png;base64,AAAA'),
      el('a', 'blob:x', 'blob:http://site.test/1'),
      el('a', 'about:blank', 'about:blank'),
      el('a', 'bad', 'not a url'),
      el('a', 'mailto:me@site.test', 'mailto:me@site.test', 'Mail'),
      el('form', '', page),
    ],
  };
  assert.deepEqual(pageLinks(content), [
    { kind: 'anchor', url: 'mailto:me@site.test', text: 'Mail' },
    { kind: 'query', url: page, text: '' },
  ]);
});

test('a target is linked once per kind; the first anchor text stands', () => {
  const content = {
    elements: [
      el('a', 'x.html', 'http://site.test/x.html', 'First'),
      el('a', 'x.html#b', 'http://site.test/x.html#b', 'Second'),
      el('img', 'x.html', 'http://site.test/x.html'),
    ],
  };
  assert.deepEqual(pageLinks(content).map((l) => `${l.kind} ${l.text}`), ['anchor First', 'include image']);
});

test('a navigation becomes a page report, its content only when it is HTML', () => {
  const navigation = {
    method: 'GET',
    url: page + '#frag',
    status: 200,
    mime: 'text/html',
    redirects: [{ url: 'http://site.test/old#a', status: 301, to: page }],
  };
  const content = { title: ' A\tpage ', heading: 'Welcome', base: 'http://site.test/b/#x', elements: [el('a', 'n', 'http://site.test/n', 'N')] };
  assert.deepEqual(pageReport(navigation, content), {
    type: 'page',
    method: 'GET',
    url: page,
    status: 200,
    mime: 'text/html',
    redirects: [{ url: 'http://site.test/old', status: 301, to: page }],
    title: 'A page',
    heading: 'Welcome',
    base: 'http://site.test/b/',
    links: [{ kind: 'anchor', url: 'http://site.test/n', text: 'N' }],
  });
  const image = pageReport({ ...navigation, mime: 'image/png' }, content);
  assert.equal(image.links, undefined);
  assert.equal(image.title, undefined);
});

test('parts seen loading are reported with their page; what scripts fetch is not', () => {
  const headers = [{ name: 'Content-Type', value: 'image/PNG; x=1' }];
  assert.deepEqual(loadReport({ type: 'image', url: 'http://cdn.test/i.png#x', statusCode: 200, responseHeaders: headers }, page), {
    type: 'load',
    url: 'http://cdn.test/i.png',
    status: 200,
    mime: 'image/png',
    page,
    what: 'image',
  });
  assert.equal(loadReport({ type: 'xmlhttprequest', url: 'http://site.test/api' }, page), null);
  assert.equal(loadReport({ type: 'image', url: 'data:image/gif;base64,R0' }, page), null);
  assert.equal(loadReport({ type: 'image', url: 'http://site.test/favicon.ico' }, page), null, "the browser's own look");
});

test('texts are folded and cut; URLs lose their fragment', () => {
  assert.equal(foldText(' a \n\t b '), 'a b');
  assert.equal(foldText('x'.repeat(400)).length, 300);
  assert.equal(pageUrl('HTTP://Site.TEST:80/a b#c'), 'http://site.test/a%20b');
  assert.equal(pageUrl('chrome://settings'), '');
});
