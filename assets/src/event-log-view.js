// The event log, newest first, 100 events a page, with clearing and the database download.
import {h, fill, button} from './dom.js';
import {call} from './rpc.js';
import {confirmAction} from './dialog.js';
import {messageLine, attempt, clearMessage, showDone} from './notice.js';
import {table} from './rows.js';
import {dateTime} from './format.js';
import {eventText, SEVERITY} from './event-texts.js';

const PAGE = 100;
const view = {page: 0, count: 0};

function eventRow(e) {
  const sev = SEVERITY[e.type] || {name: 'Type ' + e.type, icon: 'question-circle', kind: 'info'};
  return h('tr', {class: 'event ' + sev.kind},
    h('td', {class: 'nowrap'}, dateTime(e.time)),
    h('td', {class: 'severity ' + sev.kind}, h('span', {class: 'fa fa-' + sev.icon, 'aria-hidden': 'true'}), ' ', sev.name),
    h('td', {}, eventText(e)),
    h('td', {}, e.devname),
    h('td', {}, e.data),
    h('td', {class: 'num'}, String(e.code)));
}

async function loadPage() {
  const count = await call('GetEventLogCount');
  view.count = count;
  const pages = Math.max(1, Math.ceil(count / PAGE));
  if (view.page >= pages) view.page = pages - 1;
  const events = await call('GetEventLog', {start: view.page * PAGE, length: PAGE});
  fill(view.table.tbody, events.length ? events.map(eventRow)
    : h('tr', {}, h('td', {colspan: '6', class: 'muted'}, 'The event log is empty.')));
  view.position.textContent = count === 0 ? 'No events' : 'Events ' + (view.page * PAGE + 1) + '-' +
    (view.page * PAGE + events.length) + ' of ' + count + ' (page ' + (view.page + 1) + ' of ' + pages + ')';
  view.newer.disabled = view.page === 0;
  view.older.disabled = view.page + 1 >= pages;
}

function reload() {
  return attempt(view.line, 'The event log could not be read', loadPage);
}

export const eventLogPage = {
  mount(root) {
    view.line = messageLine();
    view.table = table('Events, newest first', ['Time', 'Severity', 'Event', 'Device', 'Details', 'Code']);
    view.position = h('span', {class: 'muted', 'aria-live': 'polite'}, '');
    view.newer = button('Newer', () => {
      view.page -= 1;
      reload();
    }, {icon: 'chevron-left', label: 'Newer events'});
    view.older = button('Older', () => {
      view.page += 1;
      reload();
    }, {icon: 'chevron-right', label: 'Older events'});
    const refresh = button('Refresh', reload, {icon: 'refresh'});
    const clear = button('Clear event log', async (e) => {
      const control = e.currentTarget;
      const ok = await confirmAction('Clear the event log?', [
        'All ' + view.count + ' events will be deleted from the event log.',
        'Download the event log first to keep a copy.'], 'Clear event log');
      if (!ok) return;
      const done = await attempt(view.line, 'Clearing the event log failed', async () => {
        await call('ClearEventLog');
        view.page = 0;
        await loadPage();
      }, control);
      if (done) showDone(view.line, 'The event log was cleared.');
    }, {icon: 'trash', class: 'danger'});
    const download = h('a', {href: '/eventlog', download: 'eventlog.db', class: 'button'},
                       h('span', {class: 'fa fa-download', 'aria-hidden': 'true'}), ' Download event log');
    root.append(
      h('div', {class: 'page-head'}, h('h2', {}, 'Event log'),
        h('div', {class: 'actions'}, refresh, download, clear)),
      view.line,
      h('section', {class: 'card'},
        h('div', {class: 'pager'}, view.newer, view.position, view.older),
        view.table.node));
  },
  show() {
    view.page = 0;
    clearMessage(view.line);
    reload();
  },
  hide() {},
};

