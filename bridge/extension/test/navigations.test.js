// Requests followed through their redirects to the navigation that
// commits, with the events in the order browsers send them.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { NavigationTracker } from '../lib/navigations.js';

const html = [{ name: 'content-type', value: 'text/html; charset=utf-8' }];

test('a redirected request commits with its chain, status and type', () => {
  const t = new NavigationTracker();
  t.beforeRequest({ requestId: '1', type: 'main_frame', tabId: 4, frameId: 0, method: 'POST', url: 'http://s.test/form' });
  t.beforeRequest({ requestId: '2', type: 'image', tabId: 4, frameId: 0, url: 'http://s.test/i.png' });
  t.beforeRedirect({ requestId: '1', statusCode: 303, redirectUrl: 'http://s.test/done' });
  // Chromium starts the redirected request again under its id.
  t.beforeRequest({ requestId: '1', type: 'main_frame', tabId: 4, frameId: 0, method: 'GET', url: 'http://s.test/done' });
  t.beforeRedirect({ requestId: '1', statusCode: 302, redirectUrl: 'http://s.test/final' });
  t.headersReceived({ requestId: '1', statusCode: 200, responseHeaders: html });
  assert.equal(t.committed({ tabId: 4, frameId: 0, url: 'http://s.test/final#x' }).status, 200);
  const n = t.completed({ tabId: 4, frameId: 0, url: 'http://s.test/final' });
  assert.equal(n.method, 'GET', 'a 303 goes on as a GET');
  assert.equal(n.status, 200);
  assert.equal(n.mime, 'text/html');
  assert.deepEqual(n.redirects, [
    { url: 'http://s.test/form', status: 303, to: 'http://s.test/done' },
    { url: 'http://s.test/done', status: 302, to: 'http://s.test/final' },
  ]);
  assert.equal(t.documentOf(4, 0), 'http://s.test/final#x');
  assert.equal(t.completed({ tabId: 4, frameId: 0, url: 'http://s.test/final' }), null, 'reported once');
});

test('frames are followed apart; a page from the history cache has no request', () => {
  const t = new NavigationTracker();
  // The frame commits before its request's events are in.
  t.committed({ tabId: 1, frameId: 9, url: 'http://s.test/f.html' });
  t.beforeRequest({ requestId: '7', type: 'sub_frame', tabId: 1, frameId: 9, url: 'http://s.test/f.html' });
  t.headersReceived({ requestId: '7', statusCode: 404, responseHeaders: html });
  t.committed({ tabId: 1, frameId: 0, url: 'http://s.test/old' });
  const back = t.completed({ tabId: 1, frameId: 0, url: 'http://s.test/old' });
  assert.equal(back.status, 0);
  assert.deepEqual(back.redirects, []);
  const frame = t.completed({ tabId: 1, frameId: 9, url: 'http://s.test/f.html' });
  assert.equal(frame.status, 404);
  assert.equal(t.completed({ tabId: 1, frameId: 9, url: 'http://s.test/other.html' }), null, 'not what committed');
  t.tabClosed(1);
  assert.equal(t.documentOf(1, 0), '');
});
