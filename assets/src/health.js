// The health line under the tabs: what needs attention in every domain, each entry opening its
// array or disk; the domain picker's marks and the count in the document title follow it.
import {h, fill, byId, icon} from './dom.js';
import {arrayState, diskState, diskLocation, bbuState, dateTime} from './format.js';
import {memberDiskIds} from './devices.js';

const RANK = {bad: 0, warn: 1, busy: 2};
// Array states that need attention; a running verify or initialisation does not.
const ARRAY_PROBLEMS = new Set(['Critical', 'Disabled', 'Needs rebuild', 'Rebuilding']);

let pageTitle = document.title;
let problemCount = 0;

function plural(n, one, many) {
  return n + ' ' + (n === 1 ? one : many);
}

// "just now", "40 seconds ago", "3 minutes ago", "2 hours ago".
export function ago(ms) {
  const s = Math.max(0, Math.round(ms / 1000));
  if (s < 10) return 'just now';
  if (s < 60) return s + ' seconds ago';
  const m = Math.floor(s / 60);
  if (m < 60) return plural(m, 'minute', 'minutes') + ' ago';
  return plural(Math.floor(m / 60), 'hour', 'hours') + ' ago';
}

// The worst state of an array and its sub-arrays.
function worstArrayState(vd) {
  const states = [vd, ...(vd.subArrays || [])].map((a) => arrayState(a.array));
  const problems = states.filter((s) => ARRAY_PROBLEMS.has(s.text));
  if (problems.length === 0) return null;
  return problems.sort((a, b) => RANK[a.kind] - RANK[b.kind])[0];
}

function arrayProblems(domain, data, failures) {
  const list = [];
  const present = new Set(data.disks.map((d) => d.id));
  for (const vd of data.arrays) {
    const name = vd.array.aname || '(no name)';
    const state = worstArrayState(vd);
    if (state) {
      const missing = memberDiskIds(vd).filter((id) => !present.has(id)).length;
      let text = 'array ' + name + ' is ' + state.text.toLowerCase();
      if (state.percent !== null && state.task) {
        text += ' (' + (state.task === state.text ? '' : state.task.toLowerCase() + ' ') + Math.floor(state.percent) + ' %)';
      }
      if (missing) text += ', ' + plural(missing, 'member disk is', 'member disks are') + ' missing';
      list.push({domain, kind: 'array', id: vd.id, severity: state.kind, text});
    }
    for (const failure of failures ? failures.of(vd.array.aname) : []) {
      list.push({domain, kind: 'array', id: vd.id, severity: 'warn',
                 text: 'array ' + name + ': ' + failure.text + ' (' + dateTime(failure.event.time) + ')'});
    }
  }
  return list;
}

function diskProblems(domain, data) {
  const list = [];
  for (const vd of data.disks) {
    const where = 'disk ' + diskLocation(vd.disk) + ' (' + vd.disk.model + ' ' + vd.disk.serial + ')';
    if (diskState(vd.disk).text === 'Failed') {
      list.push({domain, kind: 'disk', id: vd.id, severity: 'bad', text: where + ' has failed'});
    } else if (vd.smartFailing) {
      list.push({domain, kind: 'disk', id: vd.id, severity: 'bad', text: where + ' fails SMART: a threshold is exceeded'});
    }
  }
  return list;
}

function batteryProblems(domain, data) {
  return data.controllers.filter((c) => c.bbu && c.bbu.bbu_installed && bbuState(c.bbu.bbu_status).kind === 'bad')
    .map((c) => ({domain, kind: 'controller', id: c.id, severity: 'bad',
                  text: 'the battery unit of ' + c.info.product_str + ' has faulted'}));
}

// Everything that needs attention, worst first: [{domain, kind, id, severity, text}].
export function problems(snapshot) {
  const list = [];
  for (let d = 0; d < snapshot.domainCount; d++) {
    const result = snapshot.results.get(d);
    if (!result) continue;
    if (result.error) {
      list.push({domain: d, kind: 'domain', id: null, severity: 'bad',
                 text: 'could not be read: ' + result.error.message});
    }
    if (!result.data) continue;
    list.push(...arrayProblems(d, result.data, snapshot.failures), ...diskProblems(d, result.data),
              ...batteryProblems(d, result.data));
  }
  return list.sort((a, b) => RANK[a.severity] - RANK[b.severity] || a.domain - b.domain);
}

function titleNow() {
  document.title = (problemCount ? '(' + problemCount + ') ' : '') + pageTitle;
}

// The page's own title; while there are problems their number goes first.
export function setPageTitle(text) {
  pageTitle = text;
  titleNow();
}

function markPicker(list, domainCount) {
  const perDomain = new Map();
  for (const p of list) perDomain.set(p.domain, (perDomain.get(p.domain) || 0) + 1);
  const select = byId('domain-select');
  for (const option of select.options) {
    const d = Number(option.value);
    const n = perDomain.get(d) || 0;
    const text = 'Domain ' + d + (n ? ' (' + plural(n, 'problem', 'problems') + ')' : '');
    // Left alone when unchanged, so an open list does not flicker every round.
    if (option.textContent !== text) option.textContent = text;
  }
  let others = 0;
  for (let d = 0; d < domainCount; d++) {
    if (d !== Number(select.value)) others += perDomain.get(d) || 0;
  }
  byId('domain-picker').classList.toggle('attention', others > 0);
  byId('domain-attention').hidden = others === 0;
  byId('domain-attention').title = others ? 'Another domain needs attention' : '';
}

function sentence(text) {
  const t = String(text || 'no answer');
  return t.charAt(0).toUpperCase() + t.slice(1) + (/[.!?]$/.test(t) ? '' : '.');
}

function staleNote(snapshot, now) {
  if (!snapshot.stale) return null;
  const retry = snapshot.nextRoundAt ? Math.max(1, Math.round((snapshot.nextRoundAt - now) / 1000)) : null;
  return h('p', {class: 'stale-note', role: 'alert'}, icon('exclamation-triangle'), ' ',
    sentence(snapshot.stale.error.message) + ' ',
    snapshot.lastGood ? 'What is shown was read ' + ago(now - snapshot.lastGood) + ', at ' +
      dateTime(snapshot.lastGood / 1000) + '. ' : 'Nothing could be read yet. ',
    retry ? 'Trying again in ' + retry + ' s.' : '');
}

// {text, pending}: what was found well, and whether SMART statuses are still being read.
function summary(snapshot) {
  let arrays = 0;
  let disks = 0;
  let pending = 0;
  for (const result of snapshot.results.values()) {
    if (!result.data) continue;
    arrays += result.data.arrays.length;
    disks += result.data.disks.length;
    pending += result.data.smartPending || 0;
  }
  const what = plural(snapshot.domainCount, 'domain', 'domains') + ', ' + plural(arrays, 'array', 'arrays') + ', ' +
               plural(disks, 'disk', 'disks');
  if (pending) {
    return {pending, text: 'No problems found so far in ' + what + '; the SMART status of ' +
                           plural(pending, 'disk is', 'disks are') + ' still being read.'};
  }
  return {pending, text: 'All is well: ' + what + '.'};
}

// Draws the health line; `open(problem)` shows the device of an entry.
export function renderHealth(snapshot, open, now = Date.now()) {
  const box = byId('health');
  box.classList.toggle('stale', Boolean(snapshot.stale));
  document.body.classList.toggle('stale', Boolean(snapshot.stale));
  const list = problems(snapshot);
  problemCount = list.length;
  titleNow();
  markPicker(list, snapshot.domainCount);
  const read = [...snapshot.results.values()].filter((r) => r.data || r.error).length;
  let line;
  if (list.length) {
    const worst = list[0].severity;
    line = h('div', {class: 'health-line ' + worst},
      h('p', {class: 'health-head'}, icon(worst === 'busy' ? 'refresh' : 'exclamation-triangle'), ' ',
        h('strong', {}, plural(list.length, 'problem needs', 'problems need') + ' attention')),
      h('ul', {class: 'health-list'}, list.map((p) => h('li', {class: p.severity},
        h('button', {type: 'button', class: 'link', onclick: () => open(p), 'data-entry': entryKey(p)},
          h('span', {class: 'health-domain'}, 'Domain ' + p.domain + ':'), ' ', p.text)))));
  } else if (read < snapshot.domainCount) {
    line = h('p', {class: 'health-line busy'}, icon('refresh'), ' Checking ' +
             plural(snapshot.domainCount, 'domain', 'domains') + '…');
  } else {
    const {pending, text} = summary(snapshot);
    line = pending ? h('p', {class: 'health-line busy'}, icon('refresh'), ' ', text)
                   : h('p', {class: 'health-line ok'}, icon('check'), ' ', text);
  }
  const note = staleNote(snapshot, now);
  // Redrawn only when something reads differently, so screen readers are not told the same
  // again each round; a focused entry keeps the focus.
  const sig = (note ? note.textContent : '') + '|' + line.className + '|' + line.textContent;
  if (sig === box.dataset.sig) return;
  box.dataset.sig = sig;
  const focused = box.contains(document.activeElement) ? document.activeElement.dataset.entry : null;
  fill(box, note, line);
  if (focused) {
    const again = [...box.querySelectorAll('button[data-entry]')].find((b) => b.dataset.entry === focused);
    if (again) again.focus();
  }
}

function entryKey(p) {
  return [p.domain, p.kind, p.id, p.text.split(' (')[0]].join(':');
}

export function clearHealth() {
  problemCount = 0;
  titleNow();
  fill(byId('health'));
  delete byId('health').dataset.sig;
  document.body.classList.remove('stale');
}
