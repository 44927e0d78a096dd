// The overview of the shown domain, refreshed every few seconds while it is on screen.
import {h, fill, button} from './dom.js';
import {call} from './rpc.js';
import {store, onDomainChange, setData} from './store.js';
import {loadDomain} from './devices.js';
import {renderControllers} from './controllers-view.js';
import {arraysTable, renderArrays} from './arrays-table.js';
import {disksTable, renderDisks} from './disks-table.js';
import {openArrayDialog} from './array-dialog.js';
import {openDiskDialog} from './disk-dialog.js';
import {openCreateDialog} from './create-array-dialog.js';
import {messageLine, showError, clearMessage, attempt} from './notice.js';
import {dateTime} from './format.js';

const REFRESH_MS = 2000;

const view = {
  timer: null,
  running: false,
  loading: null,
  controllersSig: null,
};

function section(title, iconName, ...content) {
  return h('section', {class: 'card'},
           h('div', {class: 'card-head'},
             h('h2', {}, h('span', {class: 'fa fa-' + iconName, 'aria-hidden': 'true'}), ' ', title)),
           content);
}

// Reloads the domain and redraws what changed. Overlapping calls share one load.
export function refreshOverview() {
  if (view.loading) return view.loading;
  const domain = store.domain;
  view.loading = (async () => {
    try {
      const data = await loadDomain(domain);
      if (domain !== store.domain) return;
      draw(data);
      setData(data);
      clearMessage(view.refreshLine);
      view.stamp.textContent = 'Updated ' + dateTime(Date.now() / 1000);
    } catch (e) {
      showError(view.refreshLine, 'The overview could not be refreshed', e);
    } finally {
      view.loading = null;
      // The domain changed while this load ran: load the one now shown.
      if (domain !== store.domain && view.running) refreshOverview();
    }
  })();
  return view.loading;
}

function draw(data) {
  view.heading.textContent = 'Domain ' + data.domain + ' (driver ' + data.driver.driver_name + ')';
  const sig = JSON.stringify([data.controllers, data.pcache, data.driver.hwraid]);
  if (sig !== view.controllersSig) {
    view.controllersSig = sig;
    fill(view.controllers, renderControllers(data, refreshOverview));
  }
  renderArrays(view.arrays.tbody, data, (id) => openArrayDialog(id, refreshOverview));
  renderDisks(view.disks.tbody, data, (id) => openDiskDialog(id, refreshOverview));
}

function schedule() {
  clearTimeout(view.timer);
  if (!view.running) return;
  view.timer = setTimeout(async () => {
    if (document.visibilityState === 'visible') await refreshOverview();
    schedule();
  }, REFRESH_MS);
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
      view.arrays.tbody.replaceChildren();
      view.disks.tbody.replaceChildren();
      if (view.running) refreshOverview();
    });
  },
  show() {
    view.running = true;
    refreshOverview();
    schedule();
  },
  hide() {
    view.running = false;
    clearTimeout(view.timer);
  },
};
