// Scheduled tasks: each starts a verify (or a pending rebuild or initialization) of one array
// at the times it names. The list is stored whole in the configuration.
import {h, fill, field, select, button, uniqueId} from './dom.js';
import {call} from './rpc.js';
import {store} from './store.js';
import {openDialog, confirmAction} from './dialog.js';
import {messageLine, attempt, showError, showDone, STORE_REFUSED} from './notice.js';
import {table} from './rows.js';
import {levelName, wholeNumber} from './format.js';
import {TASK_TYPES, WEEKDAYS, localDate, localTime, toSeconds, bitsOf, maskOf, describe} from './schedule.js';

// Every array of every domain: {domain, id, signature, name, level}.
async function allArrays() {
  const list = [];
  for (let domain = 0; domain < store.domainCount; domain++) {
    const ids = await call('GetLDList', {domain});
    for (const id of ids) {
      const vd = await call('GetVDInfo', {domain, id});
      if (vd.type !== 1) continue;
      list.push({domain, id, signature: vd.array.signature, name: vd.array.aname,
                 level: levelName(vd.array.raidlevel, vd.array.sub_raidlevel)});
    }
  }
  return list;
}

function checkboxes(legend, items, checked) {
  const boxes = items.map(([value, text]) => {
    const id = uniqueId('c');
    const box = h('input', {type: 'checkbox', id, value: String(value), checked: checked.includes(value)});
    return {box, node: h('span', {class: 'check'}, box, h('label', {for: id}, text))};
  });
  return {node: h('fieldset', {class: 'days'}, h('legend', {}, legend), boxes.map((b) => b.node)),
          picked: () => boxes.filter((b) => b.box.checked).map((b) => Number(b.box.value))};
}

// The add/edit form. `task` is null for a new one. Resolves through onSave(newTask).
function taskDialog(task, arrays, onSave) {
  const d = openDialog(task ? 'Edit scheduled task' : 'Add scheduled task');
  const line = messageLine();
  const now = Math.floor(Date.now() / 1000);
  // A new task: weekly on Mondays at 02:00, from today.
  const t = task || {type: 3, days: 2, startdate: now, date: toSeconds(localDate(now), '02:00')};
  const keyOf = (a) => a.domain + ':' + a.signature;
  const target = field('Array', select(arrays.map((a) => [keyOf(a), 'Domain ' + a.domain + ': ' + a.name + ' (' + a.level + ')']),
                                       task ? task.domain + ':' + task.signature : ''));
  const type = field('Repeat', select(TASK_TYPES, t.type));
  const once = field('Date and time', h('input', {type: 'datetime-local', value: localDate(t.date) + 'T' + localTime(t.date)}));
  const every = field('Every how many days', h('input', {type: 'number', min: '1', max: '365', value: String(Number(t.type) === 2 ? Number(t.days) || 1 : 1)}));
  const weekly = checkboxes('Weekdays', WEEKDAYS.map((n, i) => [i, n]), Number(t.type) === 3 ? bitsOf(t.days, 0, 6) : [1]);
  const monthDays = [];
  for (let day = 1; day <= 31; day++) monthDays.push([day, String(day)]);
  const monthly = checkboxes('Days of the month', monthDays, Number(t.type) === 4 ? bitsOf(t.days, 1, 31) : [1]);
  const start = field('Starting on', h('input', {type: 'date', value: localDate(t.startdate)}));
  const time = field('Time of day', h('input', {type: 'time', value: localTime(t.date)}));

  function showFields() {
    const kind = Number(type.input.value);
    once.row.hidden = kind !== 1;
    every.row.hidden = kind !== 2;
    weekly.node.hidden = kind !== 3;
    monthly.node.hidden = kind !== 4;
    start.row.hidden = kind === 1;
    time.row.hidden = kind === 1;
  }
  type.input.addEventListener('change', showFields);

  const save = h('button', {type: 'submit', class: 'primary'}, 'Save task');
  const form = h('form', {novalidate: true}, target.row, type.row, once.row, every.row, weekly.node, monthly.node, start.row, time.row,
                 line, h('div', {class: 'dialog-footer'}, button('Cancel', d.close), save));
  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    const array = arrays.find((a) => keyOf(a) === target.input.value);
    const kind = Number(type.input.value);
    const next = {...(task || {}), domain: array ? array.domain : 0, id: array ? array.id : 0,
                  signature: array ? array.signature : 0, memberIndex: task ? task.memberIndex : -1, type: kind};
    try {
      if (!array) throw new Error('choose an array');
      if (kind === 1) {
        if (!once.input.value) throw new Error('give the date and time');
        next.days = 0;
        next.date = Math.floor(new Date(once.input.value).getTime() / 1000);
        next.startdate = next.date;
      } else {
        if (!start.input.value || !time.input.value) throw new Error('give the start date and the time');
        next.startdate = toSeconds(start.input.value, '00:00');
        next.date = toSeconds(start.input.value, time.input.value);
        if (kind === 2) next.days = wholeNumber('Every how many days', every.input, 1, 365, 'days');
        if (kind === 3) next.days = maskOf(weekly.picked());
        if (kind === 4) next.days = maskOf(monthly.picked());
        if (next.days === 0) throw new Error('choose at least one day');
      }
    } catch (e) {
      showError(line, 'Task not saved', e);
      return;
    }
    if (await attempt(line, 'Task not saved', () => onSave(next), save, STORE_REFUSED)) d.close();
  });
  d.body.appendChild(form);
  showFields();
  target.input.focus();
}

export function tasksPart(card) {
  const line = messageLine();
  const t = table('Scheduled tasks', ['Array', 'Task', 'Schedule', '']);
  let tasks = [];
  let arrays = [];

  const nameOf = (task) => {
    const a = arrays.find((x) => x.domain === Number(task.domain) && x.signature === Number(task.signature));
    return a ? 'Domain ' + a.domain + ': ' + a.name : 'No array with signature ' + task.signature + ' in domain ' + task.domain;
  };

  async function saveTasks(next, done) {
    await call('SetConfig', {tasks: next});
    tasks = next;
    draw();
    showDone(line, done);
  }

  function draw() {
    fill(t.tbody, tasks.length ? tasks.map((task, i) => h('tr', {'data-task': String(i)},
      h('th', {scope: 'row'}, nameOf(task)),
      h('td', {}, Number(task.memberIndex) >= 0 ? 'Verify of member ' + task.memberIndex : 'Verify'),
      h('td', {}, describe(task)),
      h('td', {class: 'row-actions'},
        button('Edit', () => taskDialog(task, arrays, (changed) => saveTasks(tasks.map((x, j) => (j === i ? changed : x)), 'Task changed.')),
               {icon: 'pencil', label: 'Edit task ' + (i + 1)}),
        button('Delete', async (e) => {
          const control = e.currentTarget;
          const ok = await confirmAction('Delete this scheduled task?', [
            'The scheduled verify of ' + nameOf(task) + ' (' + describe(task) + ') will no longer run.'], 'Delete task');
          if (ok) {
            attempt(line, 'Task not deleted', () => saveTasks(tasks.filter((x, j) => j !== i), 'Task deleted.'), control,
                    STORE_REFUSED);
          }
        }, {icon: 'trash', class: 'danger', label: 'Delete task ' + (i + 1)}))))
      : h('tr', {}, h('td', {colspan: '4', class: 'muted'}, 'No scheduled tasks.')));
  }

  const add = button('Add scheduled task', () => {
    if (arrays.length === 0) {
      showError(line, 'No task added', new Error('there is no array to schedule'));
      return;
    }
    taskDialog(null, arrays, (task) => saveTasks([...tasks, task], 'Task added.'));
  }, {icon: 'plus'});

  return {
    node: card('Scheduled tasks', 'clock-o', h('div', {class: 'actions'}, add), line, t.node),
    async load() {
      await attempt(line, 'Scheduled tasks could not be read', async () => {
        const [stored, found] = await Promise.all([call('GetConfig', {key: 'tasks'}), allArrays()]);
        tasks = Array.isArray(stored) ? stored : [];
        arrays = found;
        draw();
      }, null, 'Scheduled tasks could not be read: the service could not read its configuration file or the arrays.');
    },
  };
}
