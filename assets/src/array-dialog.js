// One array: its details and everything that can be done to it. The dialog follows the
// overview's reloads, and closes with a notice when the array is gone.
import {h, fill, field, select, button} from './dom.js';
import {call} from './rpc.js';
import {store, onData} from './store.js';
import {openDialog, confirmAction, closeWithAbove} from './dialog.js';
import {messageLine, attempt, showError, showDone, clearMessage, announce} from './notice.js';
import {levelName, sectors, cachePolicyName, arrayState, has, ARRAY, diskLabel, diskLocation,
        isFreeDisk, DISK, CACHE_POLICIES} from './format.js';
import {badge, progressBar} from './rows.js';
import {memberDiskIds} from './devices.js';
import {openCreateDialog} from './create-array-dialog.js';
import {allowedPolicies, writeBackRisk, WRITE_BACK_POLICIES} from './levels.js';
import {smartVerdicts, SMART_FAILING} from './smart-table.js';

// The check answers of CheckDelete and CheckUnload as reasons.
export function checkReason(answer) {
  if (answer === 1) return 'a task is running on it or it is in use';
  if (answer === 2) return 'it is part of another array or of a transform';
  return 'the controller refuses (answer ' + answer + ')';
}

// Whether `id` is still in the domain's device lists; true when the lists cannot be read.
export async function stillListed(domain, id, method) {
  try {
    return (await call(method, {domain})).includes(id);
  } catch (e) {
    return true;
  }
}

const STARTS = [1, 4, 13];

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

// "Start verify" -> "Verify of array X started."
function taskDone(state, text, name) {
  const task = text.replace(/^(Start|Stop) /, '');
  return task[0].toUpperCase() + task.slice(1) + ' of array ' + name + (STARTS.includes(state) ? ' started.' : ' stopped.');
}

export function openArrayDialog(id, refreshOverview) {
  const domain = store.domain;
  let stopFollowing = () => {};
  const d = openDialog('Array', () => stopFollowing());
  d.dialog.classList.add('wide');
  // Every control sits in here, so one switch takes them all out of use while the array is unread.
  const live = h('fieldset', {class: 'dialog-live'});
  const factsBox = h('div', {});
  const tasksBox = h('div', {class: 'actions'});
  const rebuildBox = h('div', {});
  const taskLine = messageLine();
  let current = null;
  let shownSig = null;
  let tasksSig = null;
  // What to say when the array leaves the lists because of this dialog's own action.
  let goneText = null;
  const verdicts = new Map();
  const smartAsked = new Set();
  // The disk chosen in the rebuild picker, once the user has chosen one.
  let picked = null;

  function leave(text, kind) {
    if (!d.dialog.open) return;
    closeWithAbove(d.dialog);
    announce(text, kind);
  }

  function arrayGone() {
    const name = current ? current.array.aname : '#' + id;
    leave(goneText || 'Array ' + name + ' is no longer there; its dialog was closed.', goneText ? 'done' : 'error');
  }

  async function afterChange() {
    await refreshOverview();
    await load();
  }

  async function runTask(state, text, control) {
    const name = current.array.aname;
    const ok = await attempt(taskLine, text + ' failed', async () => {
      await call('ArrayTaskCtl', {domain, id, state});
      await afterChange();
    }, control, text + ' was refused by the controller: another task may be running, ' +
                'or the array\'s state does not allow it.');
    if (ok && d.dialog.open && !live.disabled) showDone(taskLine, taskDone(state, text, name));
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

  // The disks a rebuild could use, as far as the overview knows them.
  function candidateSig() {
    return (store.data ? store.data.disks : []).filter((x) => isFreeDisk(x.disk) || has(x.disk.flags, DISK.SPARE))
      .map((x) => [x.id, x.capacity]);
  }

  function drawTasks(vd) {
    const sig = JSON.stringify([vd.array.flags, candidateSig()]);
    if (sig === tasksSig) return;
    tasksSig = sig;
    const buttons = taskButtons(vd, runTask);
    fill(tasksBox, buttons.length ? buttons : h('span', {class: 'muted'}, 'No task can be started now.'));
    fill(rebuildBox, rebuildPart(vd));
  }

  // A critical array takes a free disk or a spare in place of the missing member: the spare
  // first, and only disks at least as large as the smallest member left.
  function rebuildPart(vd) {
    if (!has(vd.array.flags, ARRAY.CRITICAL) || has(vd.array.flags, ARRAY.REBUILDING)) return null;
    const all = store.data ? store.data.disks : [];
    const present = memberDiskIds(vd).map((m) => all.find((x) => x.id === m)).filter(Boolean);
    const smallest = present.length ? Math.min(...present.map((x) => Number(x.capacity))) : 0;
    const spare = (x) => has(x.disk.flags, DISK.SPARE);
    const usable = all.filter((x) => isFreeDisk(x.disk) || spare(x));
    const candidates = usable.filter((x) => Number(x.capacity) >= smallest)
      .sort((a, b) => Number(spare(b)) - Number(spare(a)));
    const hidden = usable.length - candidates.length;
    const smallNote = hidden > 0 ? h('p', {class: 'hint'}, hidden + (hidden > 1 ? ' disks are' : ' disk is') +
      ' not offered: smaller than the smallest member (' + sectors(smallest) + ').') : null;
    if (candidates.length === 0) {
      return h('div', {class: 'subcard'}, h('h3', {}, 'Rebuild'),
        h('p', {class: 'muted'}, 'The array is critical and no free disk or spare large enough is there to rebuild onto.'),
        smallNote);
    }
    // Each offered disk's SMART verdict is read once while the dialog is open.
    const unasked = candidates.filter((x) => !smartAsked.has(x.id));
    if (unasked.length > 0) {
      for (const x of unasked) smartAsked.add(x.id);
      smartVerdicts(domain, unasked).then((found) => {
        for (const [disk, healthy] of found) verdicts.set(disk, healthy);
        if (d.dialog.open && current) fill(rebuildBox, rebuildPart(current));
      }).catch(() => {});
    }
    const failing = (x) => verdicts.get(x.id) === false;
    // A redraw keeps the disk the user picked while it is still offered.
    const choice = candidates.find((x) => x.id === picked) || candidates.find((x) => spare(x) && !failing(x)) ||
                   candidates.find((x) => !failing(x)) || candidates[0];
    const pick = field('Disk to rebuild onto', select(candidates.map((x) => [x.id,
      diskLabel(x.disk) + ', ' + sectors(x.capacity) + (spare(x) ? ' (spare)' : '') +
        (failing(x) ? ' (' + SMART_FAILING + ')' : '')]), choice.id));
    const warning = h('p', {class: 'message warn', role: 'status', hidden: true});
    const line = messageLine();
    const chosen = () => candidates.find((x) => x.id === Number(pick.input.value));
    const markChoice = () => {
      const x = chosen();
      warning.hidden = !(x && failing(x));
      warning.textContent = x && failing(x) ? 'Disk ' + diskLocation(x.disk) + ': ' + SMART_FAILING +
        '; a rebuild onto it may fail, and the array with it.' : '';
    };
    pick.input.addEventListener('change', () => {
      picked = Number(pick.input.value);
      markChoice();
    });
    markChoice();
    const go = button('Rebuild onto this disk', async (e) => {
      const x = chosen();
      const name = vd.array.aname;
      const ok = await attempt(line, 'Adding the disk failed', async () => {
        await call('AddDiskToArray', {domain, idArray: id, idDisk: x.id});
        await afterChange();
      }, e.currentTarget, 'The controller refused to rebuild onto disk ' + diskLocation(x.disk) +
                          ': check that it is free, healthy and large enough.');
      if (ok && d.dialog.open && !live.disabled) {
        showDone(taskLine, 'Rebuild of array ' + name + ' onto disk ' + diskLocation(x.disk) + ' started.');
      }
    }, {icon: 'wrench', class: 'primary'});
    return h('div', {class: 'subcard'}, h('h3', {}, 'Rebuild'), pick.row, smallNote, warning, go, line);
  }

  function show(vd) {
    // A nested array's sub-arrays come with the overview's data.
    const known = store.data && store.data.arrays.find((x) => x.id === vd.id);
    if (!vd.subArrays && known && known.subArrays) vd.subArrays = known.subArrays;
    const sig = JSON.stringify(vd);
    // Read again after a failed read: its error no longer holds.
    if (live.disabled) clearMessage(taskLine);
    live.disabled = false;
    current = vd;
    if (sig === shownSig) return;
    shownSig = sig;
    drawFacts(vd);
    drawTasks(vd);
  }

  async function load() {
    try {
      const vd = await call('GetVDInfo', {domain, id});
      if (vd.type !== 1) {
        leave('Device #' + id + ' is no longer an array; its dialog was closed.', 'error');
        return;
      }
      show(vd);
    } catch (e) {
      if (!await stillListed(domain, id, 'GetLDList')) {
        arrayGone();
        return;
      }
      showError(taskLine, 'The array could not be read', e,
                'The array could not be read: the controller did not answer for it. ' +
                'Nothing can be done to it until it can be read again.');
      live.disabled = true;
    }
  }

  stopFollowing = onData((data) => {
    if (!d.dialog.open || data.domain !== domain) return;
    const vd = data.arrays.find((x) => x.id === id);
    if (!vd) arrayGone();
    else show(vd);
  });

  const renameLine = messageLine();
  const nameInput = h('input', {maxlength: '15', autocomplete: 'off'});
  const name = field('New name', nameInput, 'At most 15 characters.');
  const renameButton = h('button', {type: 'submit'}, h('span', {class: 'fa fa-pencil', 'aria-hidden': 'true'}), ' Rename');
  const renameForm = h('form', {novalidate: true}, name.row, renameButton, renameLine);
  renameForm.addEventListener('submit', async (event) => {
    event.preventDefault();
    clearMessage(renameLine);
    if (nameInput.value.trim() === '') {
      showError(renameLine, 'Not renamed', new Error('give the array a name'));
      nameInput.focus();
      return;
    }
    const done = await attempt(renameLine, 'Renaming failed', async () => {
      await call('SetArrayName', {domain, id, name: nameInput.value});
      await afterChange();
    }, renameButton, 'The controller refused the new name.');
    if (done && current) showDone(renameLine, 'The array is now called ' + current.array.aname + '.');
  });

  const policyLine = messageLine();
  const policyBox = h('div', {});
  const otherLine = messageLine();

  async function guarded(checkMethod, question) {
    const answer = await call(checkMethod, {domain, id});
    if (answer !== 0) throw new Error(question + ' ' + checkReason(answer));
  }

  const unplug = button('Unplug', (e) => attempt(otherLine, 'Unplugging failed', async () => {
    await guarded('CheckUnload', 'the array cannot be unplugged:');
    const aname = current.array.aname;
    const ok = await confirmAction('Unplug array ' + aname + '?', [
      'The host loses access to array ' + aname + ' until the next rescan.',
      'Programs that use it will see it disappear.'], 'Unplug');
    if (!ok) return;
    goneText = 'Array ' + aname + ' was unplugged.';
    await call('UnloadDevice', {domain, id});
    await afterChange();
    if (d.dialog.open) {
      showDone(otherLine, 'Array ' + aname + ' was unplugged: the host no longer sees it until the next rescan.');
    }
  }, e.currentTarget, 'The controller refused to unplug the array: it may be in use or busy.'), {icon: 'eject'});

  const del = button('Delete array', (e) => attempt(otherLine, 'Deleting failed', async () => {
    await guarded('CheckDelete', 'the array cannot be deleted:');
    const a = current.array;
    const ok = await confirmAction('Delete array ' + a.aname + '?', [
      'All data on array ' + a.aname + ' (' + levelName(a.raidlevel, a.sub_raidlevel) + ', ' +
        sectors(current.capacity) + ') will be lost.',
      'Its disks become free.'], 'Delete array');
    if (!ok) return;
    goneText = 'Array ' + a.aname + ' was deleted; its disks are free.';
    await call('DeleteArray', {domain, id, options: 0});
    await refreshOverview();
    if (d.dialog.open) leave(goneText, 'done');
  }, e.currentTarget, 'The controller refused to delete the array: it may be in use or busy.'),
  {icon: 'trash', class: 'danger'});

  const expand = button('Expand or migrate', () => {
    if (current && store.data) openCreateDialog(store.data, current, afterChange);
  }, {icon: 'expand'});

  live.append(factsBox,
    h('div', {class: 'subcard'}, h('h3', {}, 'Tasks'), tasksBox, taskLine),
    rebuildBox,
    h('div', {class: 'subcard'}, h('h3', {}, 'Name'), renameForm),
    h('div', {class: 'subcard'}, h('h3', {}, 'Cache policy'), policyBox, policyLine),
    h('div', {class: 'subcard'}, h('h3', {}, 'More'), h('div', {class: 'actions'}, expand, unplug, del), otherLine));
  d.body.append(live);

  load().then(() => {
    if (!current || !d.dialog.open) return;
    nameInput.value = current.array.aname;
    const level = current.array.sub_raidlevel || current.array.raidlevel;
    const allowed = store.data ? allowedPolicies(store.data.driver, level) : Object.keys(CACHE_POLICIES).map(Number);
    const pol = field('Cache policy', select(allowed.map((p) => [p, cachePolicyName(p)]), current.cache_policy));
    const apply = button('Apply cache policy', async (e) => {
      const control = e.currentTarget;
      const value = Number(pol.input.value);
      const risk = WRITE_BACK_POLICIES.includes(value) && store.data ? writeBackRisk(store.data.controllers) : null;
      const word = cachePolicyName(value).toLowerCase();
      if (risk && !await confirmAction('Use ' + word + ' without protection?', [risk], 'Use ' + word)) return;
      const done = await attempt(policyLine, 'Changing the cache policy failed', async () => {
        await call('SetCachePolicy', {domain, id, value});
        await afterChange();
      }, control, 'The controller refused the cache policy ' + cachePolicyName(value) + ' for this array.');
      if (done && current) showDone(policyLine, 'Cache policy: ' + cachePolicyName(current.cache_policy) + '.');
    }, {icon: 'check'});
    fill(policyBox, pol.row, apply);
  });
}
