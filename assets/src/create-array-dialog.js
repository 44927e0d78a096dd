// Creating an array, or expanding or migrating an existing one (a transform into a new array
// that takes the source's place when it finishes).
import {h, field, select, button, uniqueId} from './dom.js';
import {call} from './rpc.js';
import {openDialog} from './dialog.js';
import {messageLine, attempt, showError, clearMessage} from './notice.js';
import {sectors, diskLabel, isFreeDisk, levelName, cachePolicyName} from './format.js';
import {driverLevels, allowedPolicies, maxMembers} from './levels.js';
import {memberDiskIds} from './devices.js';

const GB = 1e9;

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
  const maximum = h('p', {class: 'hint', 'aria-live': 'polite'}, '');

  // Disks that can take part: free ones, plus the source's own members, which must stay.
  const candidates = data.disks.filter((x) => isFreeDisk(x.disk) || sourceMembers.includes(x.id));
  const boxes = candidates.map((x) => {
    const id = uniqueId('m');
    const own = sourceMembers.includes(x.id);
    const box = h('input', {type: 'checkbox', id, value: String(x.id), checked: own, disabled: own});
    return {box, row: h('div', {class: 'check'}, box, h('label', {for: id},
      diskLabel(x.disk) + ', ' + sectors(x.capacity) + (own ? ' (member now)' : '')))};
  });
  const members = h('fieldset', {class: 'members'}, h('legend', {}, 'Member disks'),
    boxes.length ? boxes.map((b) => b.row) : h('p', {class: 'muted'}, 'No free disks.'));

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

  // The live maximum for the chosen level and disks.
  let asked = 0;
  async function updateMaximum() {
    const c = choice();
    const p = params();
    const ask = ++asked;
    clearMessage(capacityLine);
    const limit = c.nested ? 64 : maxMembers(driver, c.level);
    if (p.members.length < c.min || (c.nested && p.members.length < 2 * p.subdisks)) {
      maximum.textContent = c.key + ' needs at least ' + (c.nested ? 2 * Math.max(c.min, p.subdisks) : c.min) + ' disks.';
      return;
    }
    if (p.members.length > limit) {
      maximum.textContent = c.key + ' takes at most ' + limit + ' disks.';
      return;
    }
    try {
      const most = await call('GetRAIDCapacity', {...p, capacity: 0});
      if (ask === asked) maximum.textContent = 'Largest capacity: ' + (most * 512 / GB).toFixed(2) + ' GB.';
    } catch (e) {
      if (ask === asked) {
        maximum.textContent = '';
        showError(capacityLine, 'The controller refuses this combination', e);
      }
    }
  }

  for (const input of [level.input, subdisks.input, block.input, policy.input, init.input, ...boxes.map((b) => b.box)]) {
    input.addEventListener('change', () => {
      updateChoices();
      updateMaximum();
    });
  }

  const submit = h('button', {type: 'submit', class: 'primary'}, source ? 'Start transform' : 'Create array');
  const form = h('form', {class: 'create-form'},
    h('div', {class: 'grid'}, name.row, level.row, subdisks.row, block.row, policy.row, init.row),
    members, capacity.row, maximum, capacityLine, line,
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
    if (p.members.length === 0) {
      showError(line, 'Not created', new Error('choose the member disks first'));
      return;
    }
    const ok = await attempt(line, source ? 'The transform could not be set up' : 'Creating the array failed', async () => {
      await call('CreateArray', p);
      // The new array takes the source's place once the transform has run.
      if (source) await call('ArrayTaskCtl', {domain, id: source.id, state: 13});
    }, submit);
    if (ok) {
      d.close();
      onDone();
    }
  });
  d.body.appendChild(form);
  updateChoices();
  updateMaximum();
  name.input.focus();
}
