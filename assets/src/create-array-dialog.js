// Creating an array, or expanding or migrating an existing one (a transform into a new array
// that takes the source's place when it finishes).
import {h, field, select, button, uniqueId} from './dom.js';
import {call} from './rpc.js';
import {openDialog, confirmAction} from './dialog.js';
import {messageLine, attempt, showError, clearMessage, announce} from './notice.js';
import {sectors, diskLabel, diskLocation, isFreeDisk, levelName, cachePolicyName, has, DISK} from './format.js';
import {driverLevels, allowedPolicies, memberCountProblem, writeBackRisk, WRITE_BACK_POLICIES} from './levels.js';
import {memberDiskIds} from './devices.js';
import {smartVerdicts, SMART_FAILING} from './smart-table.js';

const GB = 1e9;
// A member this much smaller than the largest one leaves most of the others unused.
const MUCH_SMALLER = 0.9;

// What is odd about the chosen member disks, as sentences: kinds mixed, sizes far apart, SMART
// failing. `verdicts` maps disk ids to their SMART verdict.
function memberWarnings(chosen, verdicts) {
  const out = [];
  const ssd = chosen.filter((x) => has(x.disk.flags, DISK.SSD)).length;
  if (ssd > 0 && ssd < chosen.length) {
    out.push('The chosen disks mix solid-state and hard disks: the array works at the pace of the slower ones.');
  }
  const largest = Math.max(0, ...chosen.map((x) => Number(x.capacity)));
  const small = chosen.filter((x) => Number(x.capacity) < MUCH_SMALLER * largest);
  if (small.length > 0) {
    out.push(small.map((x) => diskLocation(x.disk) + ' (' + sectors(x.capacity) + ')').join(', ') +
             (small.length > 1 ? ' are' : ' is') + ' much smaller than the largest chosen disk (' + sectors(largest) +
             '): each member gives only as much as the smallest one.');
  }
  const failing = chosen.filter((x) => verdicts.get(x.id) === false);
  if (failing.length > 0) {
    out.push(failing.map((x) => diskLocation(x.disk)).join(', ') + ': ' + SMART_FAILING +
             '; the disk may fail soon.');
  }
  return out;
}

export function openCreateDialog(data, source, onDone) {
  const domain = data.domain;
  const driver = data.driver;
  const title = source ? 'Expand or migrate array ' + source.array.aname : 'Create array';
  const d = openDialog(title);
  d.dialog.classList.add('wide');
  const line = messageLine();
  const capacityLine = messageLine();
  const sourceMembers = source ? memberDiskIds(source) : [];

  const levels = driverLevels(driver).filter((c) => !(source && c.nested));
  const sourceKey = source ? levelName(source.array.raidlevel, source.array.sub_raidlevel) : 'RAID1';
  const level = field('RAID level', select(levels.map((c) => [c.key, c.key]),
                                            levels.some((c) => c.key === sourceKey) ? sourceKey : levels[0].key));
  const name = field('Name', h('input', {maxlength: '15', autocomplete: 'off',
                                         value: source ? source.array.aname : ''}), 'At most 15 characters.');
  const subdisks = field('Disks per sub-array', h('input', {type: 'number', min: '2', max: '32', value: '2'}));
  const shifts = [];
  for (let s = driver.bs_shift_min; s <= driver.bs_shift_max; s++) shifts.push([s, (512 << s) / 1024 + ' KiB']);
  const blockDefault = shifts.some(([s]) => s === 7) ? 7 : driver.bs_shift_min;
  const block = field('Block size', select(shifts, source ? source.array.bs_shift : blockDefault));
  const policy = field('Cache policy', select([], 0));
  const init = field('Initialization', select([[0, 'None'], [1, 'Foreground (array waits)'],
                                               [2, 'Background']], 2));
  const capacity = field('Capacity in GB', h('input', {type: 'number', min: '0', step: 'any', placeholder: 'maximum'}),
                         'Leave empty for the largest capacity.');
  const maximum = h('p', {class: 'hint', id: uniqueId('max'), 'aria-live': 'polite'}, '');

  // Disks that can take part: free ones, plus the source's own members, which must stay. A
  // transform takes only disks at least as large as the smallest member.
  const own = data.disks.filter((x) => sourceMembers.includes(x.id));
  const smallest = own.length ? Math.min(...own.map((x) => Number(x.capacity))) : 0;
  const free = data.disks.filter((x) => isFreeDisk(x.disk) && !sourceMembers.includes(x.id));
  const candidates = [...own, ...free.filter((x) => Number(x.capacity) >= smallest)];
  const tooSmall = free.length - (candidates.length - own.length);
  const verdicts = new Map();
  const boxes = candidates.map((x) => {
    const id = uniqueId('m');
    const mine = sourceMembers.includes(x.id);
    const box = h('input', {type: 'checkbox', id, value: String(x.id), checked: mine, disabled: mine});
    const mark = h('span', {class: 'warn-mark'});
    return {box, vd: x, mark, row: h('div', {class: 'check'}, box, h('label', {for: id},
      diskLabel(x.disk) + ', ' + sectors(x.capacity) + (mine ? ' (member now)' : ''), mark))};
  });
  const members = h('fieldset', {class: 'members'}, h('legend', {}, 'Member disks'),
    boxes.length ? boxes.map((b) => b.row) : h('p', {class: 'muted'}, 'No free disks.'),
    tooSmall > 0 ? h('p', {class: 'hint'}, tooSmall + (tooSmall > 1 ? ' free disks are' : ' free disk is') +
                                           ' not offered: smaller than the smallest member (' + sectors(smallest) + ').')
                 : null);
  const warnings = h('div', {class: 'member-warnings'});

  function choice() {
    return levels.find((c) => c.key === level.input.value) || levels[0];
  }

  function params() {
    const c = choice();
    const checked = boxes.filter((b) => b.box.checked).map((b) => Number(b.box.value));
    // A transform keeps the source's members in their slots; added disks follow.
    const picked = [...sourceMembers, ...checked.filter((id) => !sourceMembers.includes(id))];
    const gb = capacity.input.value.trim();
    return {
      domain, source_id: source ? source.id : 0, ss_shift: source ? source.array.ss_shift : 0,
      raidlevel: c.level, bs_shift: Number(block.input.value),
      subdisks: c.nested ? Number(subdisks.input.value) : 0,
      init_options: source ? 0 : Number(init.input.value), cache_policy: Number(policy.input.value),
      aname: name.input.value, capacity: gb === '' ? 0 : Math.floor((Number(gb) * GB) / 512),
      members: picked,
    };
  }

  function updateChoices() {
    const c = choice();
    subdisks.row.hidden = !c.nested;
    init.row.hidden = Boolean(source);
    const keep = policy.input.value;
    const allowed = allowedPolicies(driver, c.level);
    policy.input.replaceChildren(...allowed.map((p) => h('option', {value: String(p)}, cachePolicyName(p))));
    const wanted = source ? String(source.cache_policy) : keep || '1';
    if (allowed.map(String).includes(wanted)) policy.input.value = wanted;
  }

  function updateWarnings() {
    const chosen = boxes.filter((b) => b.box.checked).map((b) => b.vd);
    const lines = memberWarnings(chosen, verdicts);
    const risk = WRITE_BACK_POLICIES.includes(Number(policy.input.value)) ? writeBackRisk(data.controllers) : null;
    if (risk) lines.push(risk);
    warnings.replaceChildren(...lines.map((text) => h('p', {class: 'message warn', role: 'status'}, text)));
  }

  // The live maximum for the chosen level and disks; Create waits until the disks make the level.
  let asked = 0;
  async function updateMaximum() {
    const c = choice();
    const p = params();
    const ask = ++asked;
    clearMessage(capacityLine);
    const problem = memberCountProblem(driver, c, p.members.length, p.subdisks);
    submit.disabled = Boolean(problem);
    if (problem) {
      maximum.textContent = problem;
      return;
    }
    try {
      const most = await call('GetRAIDCapacity', {...p, capacity: 0});
      if (ask === asked) maximum.textContent = 'Largest capacity: ' + (most * 512 / GB).toFixed(2) + ' GB.';
    } catch (e) {
      if (ask === asked) {
        maximum.textContent = '';
        showError(capacityLine, 'The controller refuses this combination', e, source
          ? 'The controller refuses this transform: the array must be idle (no task running, not critical) ' +
            'and the added disks free and large enough.'
          : 'The controller refuses this combination of level, block size, cache policy and disks.');
      }
    }
  }

  for (const input of [level.input, subdisks.input, block.input, policy.input, init.input, ...boxes.map((b) => b.box)]) {
    input.addEventListener('change', () => {
      updateChoices();
      updateMaximum();
      updateWarnings();
    });
  }

  const submit = h('button', {type: 'submit', class: 'primary', 'aria-describedby': maximum.id},
                   source ? 'Start transform' : 'Create array');
  const form = h('form', {class: 'create-form'},
    h('div', {class: 'grid'}, name.row, level.row, subdisks.row, block.row, policy.row, init.row),
    members, warnings, capacity.row, maximum, capacityLine, line,
    h('div', {class: 'dialog-footer'}, button('Cancel', d.close), submit));
  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    const p = params();
    const gb = capacity.input.value.trim();
    if (gb !== '' && !(Number(gb) > 0)) {
      showError(line, 'Not created', new Error('the capacity must be a positive number of GB, or empty for the largest'));
      capacity.input.focus();
      return;
    }
    const problem = memberCountProblem(driver, choice(), p.members.length, p.subdisks);
    if (problem) {
      showError(line, 'Not created', new Error(problem));
      return;
    }
    const risk = WRITE_BACK_POLICIES.includes(p.cache_policy) ? writeBackRisk(data.controllers) : null;
    if (risk && !await confirmAction('Use ' + cachePolicyName(p.cache_policy).toLowerCase() + ' without protection?',
                                     [risk, 'Write-through is safe on this controller.'],
                                     'Use ' + cachePolicyName(p.cache_policy).toLowerCase())) {
      policy.input.focus();
      return;
    }
    const refusal = source
      ? 'The controller refused the transform: check the disks\' state and size, and that the array is idle.'
      : 'The controller refused to create the array: check the disks\' state and size.';
    const ok = await attempt(line, source ? 'The transform could not be set up' : 'Creating the array failed', async () => {
      await call('CreateArray', p);
      // The new array takes the source's place once the transform has run.
      if (source) await call('ArrayTaskCtl', {domain, id: source.id, state: 13});
    }, submit, refusal);
    if (ok) {
      d.close();
      announce(source ? 'The transform of array ' + source.array.aname + ' has started.'
                      : 'Array ' + (p.aname || '(no name)') + ' was created.');
      onDone();
    }
  });
  d.body.appendChild(form);
  updateChoices();
  updateMaximum();
  updateWarnings();
  name.input.focus();
  // The SMART verdicts arrive after the dialog is up; a failing disk is marked where it is offered.
  smartVerdicts(domain, candidates.filter((x) => !sourceMembers.includes(x.id))).then((found) => {
    for (const [id, healthy] of found) verdicts.set(id, healthy);
    for (const b of boxes) b.mark.textContent = verdicts.get(b.vd.id) === false ? ' (' + SMART_FAILING + ')' : '';
    updateWarnings();
  }).catch(() => {});
}
