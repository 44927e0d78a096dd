// Start-up: server information, the session check that keeps a reloaded page logged in, and
// the page navigation.
import {byId, h, fill} from './dom.js';
import {call} from './rpc.js';
import {initSession, showLogin, enterConsole, rememberedUser} from './session.js';
import {store, setDomain} from './store.js';
import {overviewPage} from './overview-view.js';
import {eventLogPage} from './event-log-view.js';
import {settingsPage} from './settings-view.js';
import {firmwarePage} from './firmware-view.js';
import {startPolling, stopPolling, onRound} from './poller.js';
import {renderHealth, clearHealth, setPageTitle} from './health.js';
import {showDevice} from './overview-view.js';

// `perDomain`: the page shows one domain, so the domain picker goes with it.
const pages = [
  {key: 'overview', title: 'Overview', icon: 'tachometer', page: overviewPage, perDomain: true},
  {key: 'events', title: 'Event log', icon: 'list-alt', page: eventLogPage},
  {key: 'settings', title: 'Settings', icon: 'cogs', page: settingsPage, perDomain: true},
  {key: 'firmware', title: 'Firmware', icon: 'microchip', page: firmwarePage},
];
let current = null;

function pageFromHash() {
  const key = location.hash.replace('#', '');
  return pages.find((p) => p.key === key) || pages[0];
}

function showPage(entry) {
  if (current && current !== entry) current.page.hide();
  current = entry;
  for (const p of pages) {
    const active = p === entry;
    p.tab.setAttribute('aria-current', active ? 'page' : 'false');
    p.section.hidden = !active;
  }
  byId('domain-picker').hidden = store.domainCount < 2 || !entry.perDomain;
  setPageTitle(entry.title + ' - ' + byId('title').textContent);
  entry.page.show();
}

function buildNavigation() {
  const list = byId('nav-tabs');
  const main = byId('pages');
  for (const p of pages) {
    p.tab = h('a', {href: '#' + p.key, class: 'tab'},
              h('span', {class: 'fa fa-' + p.icon, 'aria-hidden': 'true'}), ' ', p.title);
    list.appendChild(h('li', {}, p.tab));
    p.section = h('section', {id: 'page-' + p.key, 'aria-label': p.title, hidden: true});
    main.appendChild(p.section);
    p.page.mount(p.section);
  }
  window.addEventListener('hashchange', () => {
    if (store.user) showPage(pageFromHash());
  });
  byId('domain-select').addEventListener('change', (event) => {
    setDomain(Number(event.target.value));
  });
}

async function startConsole() {
  try {
    store.domainCount = await call('GetDomainCount');
  } catch (e) {
    store.domainCount = 0;
  }
  const options = [];
  for (let d = 0; d < store.domainCount; d++) {
    options.push(h('option', {value: String(d), selected: d === store.domain}, 'Domain ' + d));
  }
  fill(byId('domain-select'), options);
  if (store.domain >= store.domainCount) setDomain(0);
  startPolling();
  showPage(pageFromHash());
  // Keyboard and screen reader users start at the heading of the page they came to.
  const heading = current.section.querySelector('h2');
  if (heading) {
    heading.setAttribute('tabindex', '-1');
    heading.focus();
  }
}

function stopConsole() {
  if (current) current.page.hide();
  current = null;
  stopPolling();
  clearHealth();
}

async function loadServerInfo() {
  try {
    const info = await call('GetServerInfo');
    if (info.title) byId('title').textContent = info.title;
    if (info.logo) byId('logo').src = 'images/' + info.logo;
    byId('version').textContent = 'Version ' + info.version + (info.os ? ' (' + info.os + ')' : '');
    if (info.copyright) byId('copyright').textContent = info.copyright;
  } catch (e) {
    byId('version').textContent = 'Server information unavailable: ' + e.message;
  }
}

// A reloaded page whose session is still open goes straight back to the console.
async function resumeSession() {
  try {
    await call('GetDomainCount');
    enterConsole(rememberedUser() || 'admin');
  } catch (e) {
    // An unknown session has already sent the page to the login; anything else is said there.
    if (byId('login-page').hidden) showLogin('The service cannot be reached: ' + e.message, true);
  }
}

onRound((snapshot) => renderHealth(snapshot, showDevice));
initSession(startConsole, stopConsole);
buildNavigation();
loadServerInfo();
resumeSession();
