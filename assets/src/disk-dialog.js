// One disk: details, SMART, and its switches and actions.
import {h, fill, button} from './dom.js';
import {call} from './rpc.js';
import {store} from './store.js';
import {openDialog, confirmAction} from './dialog.js';
import {messageLine, attempt, showError, showDone} from './notice.js';
import {sectors, diskLocation, diskState, diskRole, diskParents, has, DISK, isFreeDisk} from './format.js';
import {badge} from './rows.js';
import {smartPart} from './smart-table.js';
import {findArrayName} from './devices.js';
import {checkReason} from './array-dialog.js';

function switchRow(label, on, supported, apply, note) {
  if (!supported) return h('tr', {}, h('th', {scope: 'row'}, label), h('td', {}, 'not supported'), h('td', {}));
  return h('tr', {}, h('th', {scope: 'row'}, label), h('td', {}, on ? 'On' : 'Off'),
           h('td', {}, note && on ? h('span', {class: 'muted'}, note)
                                 : button(on ? 'Turn off' : 'Turn on', (e) => apply(on ? 0 : 1, e.currentTarget),
                                          {label: (on ? 'Turn off ' : 'Turn on ') + label})));
}

export function openDiskDialog(id, refreshOverview) {
  const domain = store.domain;
  const d = openDialog('Disk');
  d.dialog.classList.add('wide');
  const factsBox = h('div', {});
  const switchBox = h('div', {});
  const actionBox = h('div', {class: 'actions'});
  const smartBox = h('div', {});
  const line = messageLine();
  const smartLine = messageLine();
  let current = null;

  async function afterChange() {
    await refreshOverview();
    await load();
  }

  // `done`, when given, is said once the work has succeeded.
  const act = (what, work, done) => async (control) => {
    const ok = await attempt(line, what, async () => {
      await work();
      await afterChange();
    }, control);
    if (ok && done) showDone(line, done);
  };

  function draw(vd) {
    const disk = vd.disk;
    const f = disk.flags;
    d.dialog.querySelector('h2').textContent = 'Disk ' + diskLocation(disk);
    const data = store.data;
    const parents = diskParents(disk).map((p) => (data ? findArrayName(data, p) : '#' + p));
    fill(factsBox, h('dl', {class: 'facts'},
      h('dt', {}, 'Model'), h('dd', {}, disk.model),
      h('dt', {}, 'Serial number'), h('dd', {}, disk.serial),
      h('dt', {}, 'Firmware'), h('dd', {}, disk.fwrev),
      h('dt', {}, 'Capacity'), h('dd', {}, sectors(vd.capacity)),
      h('dt', {}, 'State'), h('dd', {}, badge(diskState(disk))),
      h('dt', {}, 'Role'), h('dd', {}, diskRole(disk) + (parents.length ? ' of ' + [...new Set(parents)].join(', ') : '')),
      h('dt', {}, 'Kind'), h('dd', {}, has(f, DISK.SSD) ? 'Solid-state disk' : 'Hard disk'),
      h('dt', {}, 'Free space'), h('dd', {}, sectors(disk.total_free) + ' (largest piece ' + sectors(disk.max_free) + ')'),
      h('dt', {}, 'Link rate'), h('dd', {}, 'actual ' + disk.linkrate_actual + ', max ' + disk.linkrate_max +
                                      ', set ' + disk.linkrate_set)));

    const setSwitch = (method, what) => (value, control) => act(what, () => call(method, {domain, id, value}))(control);
    fill(switchBox, h('div', {class: 'table-wrap'}, h('table', {class: 'switches'},
      h('caption', {class: 'sr-only'}, 'Disk settings'),
      h('tbody', {},
        switchRow('Read-ahead', has(f, DISK.RA_ON), has(f, DISK.RA_SUPPORTED), setSwitch('SetDiskRA', 'Changing read-ahead failed')),
        switchRow('Write cache', has(f, DISK.WC_ON), has(f, DISK.WC_SUPPORTED), setSwitch('SetDiskWC', 'Changing the write cache failed')),
        // The service takes only a non-zero queue setting, so queueing can be switched on only.
        switchRow('NCQ', has(f, DISK.QD_ON), has(f, DISK.QD_SUPPORTED), setSwitch('SetDiskQD', 'Changing NCQ failed'),
                  'The service can switch NCQ on only.'),
        switchRow('SMART', has(f, DISK.SMART_ON), true, setSwitch('SetDiskSmart', 'Changing SMART failed'))))));

    const buttons = [
      button('Locate on', (e) => act('Locate failed', () => call('IdentifyDisk', {domain, id, value: 1}),
        'The locate light of disk ' + diskLocation(disk) + ' is on.')(e.currentTarget), {icon: 'lightbulb-o'}),
      button('Locate off', (e) => act('Locate failed', () => call('IdentifyDisk', {domain, id, value: 0}),
        'The locate light of disk ' + diskLocation(disk) + ' is off.')(e.currentTarget), {icon: 'power-off'}),
    ];
    if (has(f, DISK.SPARE)) {
      buttons.push(button('Unassign spare', (e) => act('Unassigning the spare failed',
        () => call('UnassignSpareDisk', {domain, disk: id}))(e.currentTarget), {icon: 'minus-circle'}));
    } else if (isFreeDisk(disk)) {
      buttons.push(button('Assign as spare', (e) => act('Assigning the spare failed',
        () => call('AssignSpareDisk', {domain, disk: id}))(e.currentTarget), {icon: 'plus-circle'}));
    }
    if (diskParents(disk).length === 0 && !has(f, DISK.SPARE)) {
      buttons.push(button('Initialize', async (e) => {
        const control = e.currentTarget;
        const ok = await confirmAction('Initialize disk ' + diskLocation(disk) + '?', [
          'Everything on disk ' + diskLocation(disk) + ' (' + disk.model + ', ' + disk.serial + ') will be lost.',
          'The disk is prepared for use in arrays.'], 'Initialize disk');
        if (ok) act('Initializing the disk failed', () => call('InitDisk', {domain, id}))(control);
      }, {icon: 'magic', class: 'danger'}));
      buttons.push(button('Unplug', (e) => act('Unplugging failed', async () => {
        const answer = await call('CheckUnload', {domain, id});
        if (answer !== 0) throw new Error('the disk cannot be unplugged: ' + checkReason(answer));
        const ok = await confirmAction('Unplug disk ' + diskLocation(disk) + '?', [
          'Disk ' + diskLocation(disk) + ' goes off line until the next rescan.'], 'Unplug');
        if (ok) await call('UnloadDevice', {domain, id});
      })(e.currentTarget), {icon: 'eject'}));
    }
    fill(actionBox, buttons);
  }

  async function load() {
    try {
      current = await call('GetVDInfo', {domain, id});
      draw(current);
    } catch (e) {
      showError(line, 'The disk could not be read', e);
    }
  }

  const smartButton = button('Show SMART attributes', (e) => attempt(smartLine, 'SMART attributes could not be read', async () => {
    fill(smartBox, await smartPart(domain, id));
  }, e.currentTarget), {icon: 'heartbeat'});

  d.body.append(factsBox,
    h('div', {class: 'subcard'}, h('h3', {}, 'Settings'), switchBox),
    h('div', {class: 'subcard'}, h('h3', {}, 'Actions'), actionBox, line),
    h('div', {class: 'subcard'}, h('h3', {}, 'SMART'), smartButton, smartLine, smartBox));
  load();
}
