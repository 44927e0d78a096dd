// One disk: details, SMART, and its switches and actions. The dialog follows the overview's
// reloads, and closes with a notice when the disk is gone.
import {h, fill, button} from './dom.js';
import {call} from './rpc.js';
import {store, onData} from './store.js';
import {openDialog, confirmAction, closeWithAbove} from './dialog.js';
import {messageLine, attempt, showError, showDone, clearMessage, announce} from './notice.js';
import {sectors, diskLocation, diskState, diskRole, diskParents, has, DISK, isFreeDisk} from './format.js';
import {badge} from './rows.js';
import {smartPart} from './smart-table.js';
import {findArrayName} from './devices.js';
import {checkReason, stillListed} from './array-dialog.js';

function switchRow(label, on, supported, apply, note) {
  if (!supported) return h('tr', {}, h('th', {scope: 'row'}, label), h('td', {}, 'not supported'), h('td', {}));
  return h('tr', {}, h('th', {scope: 'row'}, label), h('td', {}, on ? 'On' : 'Off'),
           h('td', {}, note && on ? h('span', {class: 'muted'}, note)
                                 : button(on ? 'Turn off' : 'Turn on', (e) => apply(on ? 0 : 1, e.currentTarget),
                                          {label: (on ? 'Turn off ' : 'Turn on ') + label})));
}

export function openDiskDialog(id, refreshOverview) {
  const domain = store.domain;
  let stopFollowing = () => {};
  const d = openDialog('Disk', () => stopFollowing());
  d.dialog.classList.add('wide');
  // Every control sits in here, so one switch takes them all out of use while the disk is unread.
  const live = h('fieldset', {class: 'dialog-live'});
  const factsBox = h('div', {});
  const switchBox = h('div', {});
  const actionBox = h('div', {class: 'actions'});
  const smartBox = h('div', {});
  const line = messageLine();
  const smartLine = messageLine();
  let current = null;
  let shownSig = null;
  // What to say when the disk leaves the list because of this dialog's own action.
  let goneText = null;

  const where = () => (current ? diskLocation(current.disk) : '#' + id);

  function diskGone() {
    if (!d.dialog.open) return;
    closeWithAbove(d.dialog);
    announce(goneText || 'Disk ' + where() + ' is no longer there (unplugged, removed or failed); its dialog was closed.',
             goneText ? 'done' : 'error');
  }

  async function afterChange() {
    await refreshOverview();
    await load();
  }

  // `done`, when given, is said once the work has succeeded; `refusal` when the controller
  // refused without a reason.
  const act = (what, work, done, refusal) => async (control) => {
    const ok = await attempt(line, what, async () => {
      await work();
      await afterChange();
    }, control, refusal || 'The controller refused: ' + what.replace(/ failed$/, '').toLowerCase() +
                            ' is not possible on disk ' + where() + ' now.');
    // An unread disk keeps its error in the line, not the action's success.
    if (ok && done && d.dialog.open && !live.disabled) showDone(line, typeof done === 'function' ? done() : done);
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

    const setSwitch = (method, what, label) => (value, control) => act(what, () => call(method, {domain, id, value}),
      label + ' of disk ' + diskLocation(disk) + (value ? ' is on.' : ' is off.'))(control);
    fill(switchBox, h('div', {class: 'table-wrap'}, h('table', {class: 'switches'},
      h('caption', {class: 'sr-only'}, 'Disk settings'),
      h('tbody', {},
        switchRow('Read-ahead', has(f, DISK.RA_ON), has(f, DISK.RA_SUPPORTED),
                  setSwitch('SetDiskRA', 'Changing read-ahead failed', 'Read-ahead')),
        switchRow('Write cache', has(f, DISK.WC_ON), has(f, DISK.WC_SUPPORTED),
                  setSwitch('SetDiskWC', 'Changing the write cache failed', 'The write cache')),
        // The service takes only a non-zero queue setting, so queueing can be switched on only.
        switchRow('NCQ', has(f, DISK.QD_ON), has(f, DISK.QD_SUPPORTED), setSwitch('SetDiskQD', 'Changing NCQ failed', 'NCQ'),
                  'The service can switch NCQ on only.'),
        switchRow('SMART', has(f, DISK.SMART_ON), true, setSwitch('SetDiskSmart', 'Changing SMART failed', 'SMART'))))));

    const buttons = [
      button('Locate on', (e) => act('Locate failed', () => call('IdentifyDisk', {domain, id, value: 1}),
        'The locate light of disk ' + diskLocation(disk) + ' is on.')(e.currentTarget), {icon: 'lightbulb-o'}),
      button('Locate off', (e) => act('Locate failed', () => call('IdentifyDisk', {domain, id, value: 0}),
        'The locate light of disk ' + diskLocation(disk) + ' is off.')(e.currentTarget), {icon: 'power-off'}),
    ];
    if (has(f, DISK.SPARE)) {
      buttons.push(button('Unassign spare', (e) => act('Unassigning the spare failed',
        () => call('UnassignSpareDisk', {domain, disk: id}),
        'Disk ' + diskLocation(disk) + ' is no longer a spare; it is free.',
        'The controller refused to unassign the spare: it may be taking over for an array.')(e.currentTarget),
      {icon: 'minus-circle'}));
    } else if (isFreeDisk(disk)) {
      buttons.push(button('Assign as spare', (e) => act('Assigning the spare failed',
        () => call('AssignSpareDisk', {domain, disk: id}),
        'Disk ' + diskLocation(disk) + ' is now a spare: a critical array can rebuild onto it.',
        'The controller refused to make the disk a spare: check that it is free and healthy.')(e.currentTarget),
      {icon: 'plus-circle'}));
    }
    if (diskParents(disk).length === 0 && !has(f, DISK.SPARE)) {
      buttons.push(button('Initialize', async (e) => {
        const control = e.currentTarget;
        const ok = await confirmAction('Initialize disk ' + diskLocation(disk) + '?', [
          'Everything on disk ' + diskLocation(disk) + ' (' + disk.model + ', ' + disk.serial + ') will be lost.',
          'The disk is prepared for use in arrays.'], 'Initialize disk');
        if (ok) {
          act('Initializing the disk failed', () => call('InitDisk', {domain, id}),
              'Disk ' + diskLocation(disk) + ' was initialized and can now be used in arrays.',
              'The controller refused to initialize the disk: it may be in use, locked or failed.')(control);
        }
      }, {icon: 'magic', class: 'danger'}));
      buttons.push(button('Unplug', (e) => act('Unplugging failed', async () => {
        const answer = await call('CheckUnload', {domain, id});
        if (answer !== 0) throw new Error('the disk cannot be unplugged: ' + checkReason(answer));
        const ok = await confirmAction('Unplug disk ' + diskLocation(disk) + '?', [
          'Disk ' + diskLocation(disk) + ' goes off line until the next rescan.'], 'Unplug');
        if (!ok) return;
        goneText = 'Disk ' + diskLocation(disk) + ' was unplugged; it comes back with the next rescan.';
        await call('UnloadDevice', {domain, id});
      }, null, 'The controller refused to unplug the disk: it may be in use.')(e.currentTarget), {icon: 'eject'}));
    }
    fill(actionBox, buttons);
  }

  function show(vd) {
    current = vd;
    // Read again after a failed read: its error no longer holds.
    if (live.disabled) clearMessage(line);
    live.disabled = false;
    const sig = JSON.stringify(vd);
    if (sig === shownSig) return;
    shownSig = sig;
    draw(vd);
  }

  async function load() {
    try {
      show(await call('GetVDInfo', {domain, id}));
    } catch (e) {
      if (!await stillListed(domain, id, 'GetPDList')) {
        diskGone();
        return;
      }
      showError(line, 'The disk could not be read', e,
                'The disk could not be read: it may have failed or be on its way out. ' +
                'Nothing can be done to it until it can be read again.');
      live.disabled = true;
    }
  }

  stopFollowing = onData((data) => {
    if (!d.dialog.open || data.domain !== domain) return;
    const vd = data.disks.find((x) => x.id === id);
    if (!vd) diskGone();
    else show(vd);
  });

  const smartButton = button('Show SMART attributes', (e) => attempt(smartLine, 'SMART attributes could not be read',
    async () => {
      fill(smartBox, await smartPart(domain, id));
    }, e.currentTarget, 'SMART attributes could not be read: the disk did not answer the SMART commands.'),
  {icon: 'heartbeat'});

  live.append(factsBox,
    h('div', {class: 'subcard'}, h('h3', {}, 'Settings'), switchBox),
    h('div', {class: 'subcard'}, h('h3', {}, 'Actions'), actionBox, line),
    h('div', {class: 'subcard'}, h('h3', {}, 'SMART'), smartButton, smartLine, smartBox));
  d.body.append(live);
  load();
}
