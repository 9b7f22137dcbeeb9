// What the user said is never reported.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { mayReport, siteOf } from '../lib/settings.js';

test('sites are kept as host names', () => {
  assert.equal(siteOf(' Example.ORG '), 'example.org');
  assert.equal(siteOf('https://bank.test/login'), 'bank.test');
  assert.equal(siteOf(''), '');
  assert.equal(siteOf('http://'), '');
});

test('paused, private, blocked and non-web pages are not reported', () => {
  const s = { paused: false, blocked: ['bank.test'] };
  assert.equal(mayReport('http://site.test/', s, false), true);
  assert.equal(mayReport('https://www.bank.test/a', s, false), false);
  assert.equal(mayReport('https://bank.test/', s, false), false);
  assert.equal(mayReport('https://notbank.test/', s, false), true);
  assert.equal(mayReport('http://site.test/', s, true), false);
  assert.equal(mayReport('http://site.test/', { ...s, paused: true }, false), false);
  assert.equal(mayReport('file:///tmp/a.html', s, false), false);
  assert.equal(mayReport('chrome://newtab/', s, false), false);
});
