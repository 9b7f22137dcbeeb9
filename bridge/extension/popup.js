// The popup: the pause switch and the list of sites never reported, kept
// in the extension's local storage, which the background reads.
import { kDefaultSettings, siteOf } from './lib/settings.js';

const api = globalThis.browser ?? globalThis.chrome;
const paused = document.getElementById('paused');
const list = document.getElementById('sites');

async function show() {
  const s = await api.storage.local.get(kDefaultSettings);
  paused.checked = s.paused;
  list.replaceChildren();
  for (const site of s.blocked) {
    const item = document.createElement('li');
    const remove = document.createElement('button');
    remove.textContent = 'Remove';
    remove.onclick = async () => {
      const now = await api.storage.local.get(kDefaultSettings);
      await api.storage.local.set({ blocked: now.blocked.filter((b) => b !== site) });
      show();
    };
    item.append(site, remove);
    list.append(item);
  }
}

paused.onchange = () => api.storage.local.set({ paused: paused.checked });
document.getElementById('add').onsubmit = async (event) => {
  event.preventDefault();
  const field = document.getElementById('site');
  const site = siteOf(field.value);
  if (!site) return;
  const s = await api.storage.local.get(kDefaultSettings);
  if (!s.blocked.includes(site)) await api.storage.local.set({ blocked: [...s.blocked, site] });
  field.value = '';
  show();
};
show();
