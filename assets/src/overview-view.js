// The overview of the shown domain, drawn from each read of the poller while it is on screen.
import {h, fill, button, byId} from './dom.js';
import {call} from './rpc.js';
import {store, onDomainChange, onData, setDomain} from './store.js';
import {refreshShown, setFast, shownData, onRound} from './poller.js';
import {ago} from './health.js';
import {renderControllers} from './controllers-view.js';
import {arraysTable, renderArrays} from './arrays-table.js';
import {disksTable, renderDisks} from './disks-table.js';
import {openArrayDialog} from './array-dialog.js';
import {openDiskDialog} from './disk-dialog.js';
import {openCreateDialog} from './create-array-dialog.js';
import {messageLine, showError, clearMessage, attempt} from './notice.js';
import {dateTime} from './format.js';

const view = {
  running: false,
  controllersSig: null,
  data: null,
};

function section(title, iconName, ...content) {
  return h('section', {class: 'card'},
           h('div', {class: 'card-head'},
             h('h2', {}, h('span', {class: 'fa fa-' + iconName, 'aria-hidden': 'true'}), ' ', title)),
           content);
}

// After the user changed something: the shown domain is read whole, now.
export function refreshOverview() {
  return refreshShown();
}

function draw(data) {
  view.data = data;
  view.heading.textContent = 'Domain ' + data.domain + ' (driver ' + data.driver.driver_name + ')';
  const sig = JSON.stringify([data.controllers, data.pcache, data.driver.hwraid]);
  if (sig !== view.controllersSig) {
    view.controllersSig = sig;
    fill(view.controllers, renderControllers(data, refreshOverview));
  }
  renderArrays(view.arrays.tbody, data, (id) => openArrayDialog(id, refreshOverview));
  renderDisks(view.disks.tbody, data, (id) => openDiskDialog(id, refreshOverview));
}

// The time of the last good read, and whether what is on show is older than it should be.
function drawStamp(snap, now = Date.now()) {
  const result = snap.results.get(store.domain);
  if (!result) return;
  const stale = Boolean(snap.stale || result.error);
  view.root.classList.toggle('stale', stale);
  const error = snap.stale ? snap.stale.error : result.error;
  if (error) showError(view.refreshLine, 'The overview could not be refreshed', error);
  else clearMessage(view.refreshLine);
  if (!result.at) view.stamp.textContent = '';
  else if (stale) view.stamp.textContent = 'Last read ' + ago(now - result.at) + ' (' + dateTime(result.at / 1000) + ')';
  else view.stamp.textContent = 'Updated ' + dateTime(result.at / 1000);
}

// Opens what a health line entry is about: its domain's overview, then its dialog.
export async function showDevice(problem) {
  if (problem.domain !== store.domain) {
    byId('domain-select').value = String(problem.domain);
    setDomain(problem.domain);
  }
  if (location.hash !== '#overview') location.hash = '#overview';
  const data = await shownData();
  if (!data || data.domain !== problem.domain) return;
  if (problem.kind === 'array') openArrayDialog(problem.id, refreshOverview);
  else if (problem.kind === 'disk') openDiskDialog(problem.id, refreshOverview);
  else if (problem.kind === 'controller') {
    const card = view.controllers.querySelector('[data-controller="' + problem.id + '"]');
    if (card) {
      card.scrollIntoView({block: 'center'});
      card.focus();
    }
  }
}

export const overviewPage = {
  mount(root) {
    view.heading = h('span', {}, '');
    view.stamp = h('span', {class: 'muted stamp'}, '');
    view.refreshLine = messageLine();
    view.controllers = h('div', {});
    view.arrays = arraysTable();
    view.disks = disksTable();
    const rescanLine = messageLine();
    const createLine = messageLine();
    view.root = root;
    const rescan = button('Rescan devices', (event) => attempt(rescanLine, 'Rescan failed', async () => {
      await call('RescanDevices', {domain: store.domain});
      await refreshOverview();
    }, event.currentTarget), {icon: 'refresh'});
    const create = button('Create array', () => {
      if (store.data) openCreateDialog(store.data, null, refreshOverview);
      else showError(createLine, 'Create array', new Error('the disks are not loaded yet'));
    }, {icon: 'plus', class: 'primary'});
    root.append(
      h('div', {class: 'page-head'}, h('h2', {}, view.heading), view.stamp,
        h('div', {class: 'actions'}, rescan)),
      rescanLine, view.refreshLine,
      section('Controllers', 'server', view.controllers),
      section('Arrays', 'cubes', h('div', {class: 'actions'}, create), createLine, view.arrays.node),
      section('Disks', 'hdd-o', view.disks.node));
    onDomainChange(() => {
      view.controllersSig = null;
      view.data = null;
      view.heading.textContent = 'Domain ' + store.domain;
      view.stamp.textContent = '';
      view.arrays.tbody.replaceChildren();
      view.disks.tbody.replaceChildren();
    });
    onData((data) => {
      if (data.domain === store.domain) draw(data);
    });
    onRound((snap) => drawStamp(snap));
  },
  show() {
    view.running = true;
    if (!view.data) view.heading.textContent = 'Domain ' + store.domain;
    if (store.data && store.data !== view.data) draw(store.data);
    setFast(true);
  },
  hide() {
    view.running = false;
    setFast(false);
  },
};
