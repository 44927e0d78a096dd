// One array: its details and everything that can be done to it.
import {h, fill, field, select, button} from './dom.js';
import {call} from './rpc.js';
import {store} from './store.js';
import {openDialog, confirmAction} from './dialog.js';
import {messageLine, attempt, showError, showDone} from './notice.js';
import {levelName, sectors, cachePolicyName, arrayState, has, ARRAY, diskLabel,
        isFreeDisk, DISK, CACHE_POLICIES} from './format.js';
import {badge, progressBar} from './rows.js';
import {memberDiskIds} from './devices.js';
import {openCreateDialog} from './create-array-dialog.js';
import {allowedPolicies} from './levels.js';

const REFRESH_MS = 2000;

// The check answers of CheckDelete and CheckUnload as reasons.
export function checkReason(answer) {
  if (answer === 1) return 'a task is running on it or it is in use';
  if (answer === 2) return 'it is part of another array or of a transform';
  return 'the controller refuses (answer ' + answer + ')';
}

function taskButtons(vd, run) {
  const f = vd.array.flags;
  const uninit = has(f, ARRAY.UNINITIALIZED);
  const list = [];
  const add = (text, state, iconName) => list.push(button(text, (e) => run(state, text, e.currentTarget), {icon: iconName}));
  if (has(f, ARRAY.VERIFYING)) add('Stop verify', 5, 'stop');
  if (has(f, ARRAY.REBUILDING)) add(uninit ? 'Stop initialization' : 'Stop rebuild', 2, 'stop');
  if (has(f, ARRAY.FG_INIT)) add('Stop initialization', 8, 'stop');
  if (has(f, ARRAY.TRANSFORMING)) add('Stop transform', 14, 'stop');
  const busy = has(f, ARRAY.BUSY);
  if (!busy && has(f, ARRAY.NEED_TRANSFORM)) add('Start transform', 13, 'play');
  if (!busy && (has(f, ARRAY.NEED_REBUILD) || uninit)) add(uninit ? 'Start initialization' : 'Start rebuild', 1, 'play');
  const level = vd.array.sub_raidlevel || vd.array.raidlevel;
  if (!busy && !uninit && [2, 3, 4].includes(level) &&
      !has(f, ARRAY.CRITICAL | ARRAY.DISABLED | ARRAY.NEED_REBUILD)) {
    add('Start verify', 4, 'check-square-o');
  }
  return list;
}

export function openArrayDialog(id, refreshOverview) {
  const domain = store.domain;
  const d = openDialog('Array', () => clearTimeout(timer));
  d.dialog.classList.add('wide');
  const factsBox = h('div', {});
  const tasksBox = h('div', {class: 'actions'});
  const rebuildBox = h('div', {});
  const taskLine = messageLine();
  let timer = null;
  let current = null;
  let tasksSig = null;

  async function afterChange() {
    await refreshOverview();
    await load();
  }

  async function runTask(state, text, control) {
    await attempt(taskLine, text + ' failed', async () => {
      await call('ArrayTaskCtl', {domain, id, state});
      await afterChange();
    }, control);
  }

  function drawFacts(vd) {
    const a = vd.array;
    const state = arrayState(a);
    const disks = new Map((store.data ? store.data.disks : []).map((x) => [x.id, x]));
    d.dialog.querySelector('h2').textContent = 'Array ' + a.aname;
    fill(factsBox, h('dl', {class: 'facts'},
      h('dt', {}, 'RAID level'), h('dd', {}, levelName(a.raidlevel, a.sub_raidlevel)),
      h('dt', {}, 'Capacity'), h('dd', {}, sectors(vd.capacity)),
      h('dt', {}, 'State'), h('dd', {}, badge(state),
        state.percent !== null ? progressBar(state.task + ' ' + a.aname, state.percent) : null),
      h('dt', {}, 'Cache policy'), h('dd', {}, cachePolicyName(vd.cache_policy)),
      h('dt', {}, 'Block size'), h('dd', {}, (512 * 2 ** a.bs_shift) / 1024 + ' KiB'),
      h('dt', {}, 'Sector size'), h('dd', {}, String(512 * 2 ** a.ss_shift) + ' bytes'),
      h('dt', {}, 'Host target'), h('dd', {}, vd.target_id === 255 ? 'not exposed' : String(vd.target_id)),
      h('dt', {}, 'Members'), h('dd', {}, h('ul', {class: 'plain'}, memberDiskIds(vd).map((m) => {
        const disk = disks.get(m);
        return h('li', {}, disk ? diskLabel(disk.disk) : 'missing disk');
      })))));
  }

  function drawTasks(vd) {
    const sig = JSON.stringify([vd.array.flags]);
    if (sig === tasksSig) return;
    tasksSig = sig;
    const buttons = taskButtons(vd, runTask);
    fill(tasksBox, buttons.length ? buttons : h('span', {class: 'muted'}, 'No task can be started now.'));
    fill(rebuildBox, rebuildPart(vd));
  }

  // A critical array takes a free disk or a spare in place of the missing member.
  function rebuildPart(vd) {
    if (!has(vd.array.flags, ARRAY.CRITICAL) || has(vd.array.flags, ARRAY.REBUILDING)) return null;
    const candidates = (store.data ? store.data.disks : []).filter(
      (x) => isFreeDisk(x.disk) || has(x.disk.flags, DISK.SPARE));
    const line = messageLine();
    if (candidates.length === 0) {
      return h('p', {class: 'muted'}, 'The array is critical and no free disk or spare is there to rebuild onto.');
    }
    const pick = field('Disk to rebuild onto', select(candidates.map((x) => [x.id,
      diskLabel(x.disk) + (has(x.disk.flags, DISK.SPARE) ? ' (spare)' : '')])));
    const go = button('Rebuild onto this disk', (e) => attempt(line, 'Adding the disk failed', async () => {
      await call('AddDiskToArray', {domain, idArray: id, idDisk: Number(pick.input.value)});
      await afterChange();
    }, e.currentTarget), {icon: 'wrench', class: 'primary'});
    return h('div', {class: 'subcard'}, h('h3', {}, 'Rebuild'), pick.row, go, line);
  }

  async function load() {
    try {
      const vd = await call('GetVDInfo', {domain, id});
      if (vd.type !== 1) throw new Error('the device is no longer an array');
      current = vd;
      drawFacts(vd);
      drawTasks(vd);
    } catch (e) {
      showError(taskLine, 'The array could not be read', e);
    }
  }

  function poll() {
    timer = setTimeout(async () => {
      if (!d.dialog.open) return;
      await load();
      poll();
    }, REFRESH_MS);
  }

  const renameLine = messageLine();
  const nameInput = h('input', {maxlength: '15', autocomplete: 'off'});
  const name = field('New name', nameInput, 'At most 15 characters.');
  const renameButton = button('Rename', async (e) => {
    const done = await attempt(renameLine, 'Renaming failed', async () => {
      await call('SetArrayName', {domain, id, name: nameInput.value});
      await afterChange();
    }, e.currentTarget);
    if (done) showDone(renameLine, 'The array is now called ' + current.array.aname + '.');
  }, {icon: 'pencil'});

  const policyLine = messageLine();
  const policyBox = h('div', {});
  const otherLine = messageLine();

  async function guarded(checkMethod, question) {
    const answer = await call(checkMethod, {domain, id});
    if (answer !== 0) throw new Error(question + ' ' + checkReason(answer));
  }

  const unplug = button('Unplug', (e) => attempt(otherLine, 'Unplugging failed', async () => {
    await guarded('CheckUnload', 'the array cannot be unplugged:');
    const ok = await confirmAction('Unplug array ' + current.array.aname + '?', [
      'The host loses access to array ' + current.array.aname + ' until the next rescan.',
      'Programs that use it will see it disappear.'], 'Unplug');
    if (!ok) return;
    await call('UnloadDevice', {domain, id});
    await afterChange();
  }, e.currentTarget), {icon: 'eject'});

  const del = button('Delete array', (e) => attempt(otherLine, 'Deleting failed', async () => {
    await guarded('CheckDelete', 'the array cannot be deleted:');
    const a = current.array;
    const ok = await confirmAction('Delete array ' + a.aname + '?', [
      'All data on array ' + a.aname + ' (' + levelName(a.raidlevel, a.sub_raidlevel) + ', ' +
        sectors(current.capacity) + ') will be lost.',
      'Its disks become free.'], 'Delete array');
    if (!ok) return;
    await call('DeleteArray', {domain, id, options: 0});
    await refreshOverview();
    d.close();
  }, e.currentTarget), {icon: 'trash', class: 'danger'});

  const expand = button('Expand or migrate', () => {
    if (current && store.data) openCreateDialog(store.data, current, afterChange);
  }, {icon: 'expand'});

  d.body.append(factsBox,
    h('div', {class: 'subcard'}, h('h3', {}, 'Tasks'), tasksBox, taskLine),
    rebuildBox,
    h('div', {class: 'subcard'}, h('h3', {}, 'Name'), name.row, renameButton, renameLine),
    h('div', {class: 'subcard'}, h('h3', {}, 'Cache policy'), policyBox, policyLine),
    h('div', {class: 'subcard'}, h('h3', {}, 'More'), h('div', {class: 'actions'}, expand, unplug, del), otherLine));

  load().then(() => {
    if (!current) return;
    nameInput.value = current.array.aname;
    const level = current.array.sub_raidlevel || current.array.raidlevel;
    const allowed = store.data ? allowedPolicies(store.data.driver, level) : Object.keys(CACHE_POLICIES).map(Number);
    const pol = field('Cache policy', select(allowed.map((p) => [p, cachePolicyName(p)]), current.cache_policy));
    const apply = button('Apply cache policy', async (e) => {
      const done = await attempt(policyLine, 'Changing the cache policy failed', async () => {
        await call('SetCachePolicy', {domain, id, value: Number(pol.input.value)});
        await afterChange();
      }, e.currentTarget);
      if (done) showDone(policyLine, 'Cache policy: ' + cachePolicyName(current.cache_policy) + '.');
    }, {icon: 'check'});
    fill(policyBox, pol.row, apply);
    poll();
  });
}
