// Tables that refresh every few seconds without taking the keyboard focus away: a row is
// rebuilt only when its data changed, and focus moves to the same control of the new row.
import {h} from './dom.js';

// rows: [{key, data (anything JSON), build: () => <tr>}]
export function patchRows(tbody, rows) {
  const old = new Map();
  for (const tr of tbody.children) old.set(tr.dataset.key, tr);
  const active = document.activeElement;
  const focusRow = active && active.closest ? active.closest('tr') : null;
  const focusKey = focusRow && tbody.contains(focusRow) ? active.dataset.focus : null;

  const next = rows.map((row) => {
    const sig = JSON.stringify(row.data);
    const existing = old.get(String(row.key));
    if (existing && existing.dataset.sig === sig) return existing;
    const tr = row.build();
    labelCells(tr, tbody.headers);
    tr.dataset.key = String(row.key);
    tr.dataset.sig = sig;
    return tr;
  });
  tbody.replaceChildren(...next);
  if (focusKey && !tbody.contains(active)) {
    const again = tbody.querySelector('tr[data-key="' + focusRow.dataset.key + '"] [data-focus="' + focusKey + '"]');
    if (again) again.focus();
  }
}

// Each cell carries its column's name, shown beside it where a narrow window stacks the row.
function labelCells(tr, headers) {
  if (!headers) return;
  [...tr.children].forEach((cell, i) => {
    if (headers[i]) cell.dataset.label = headers[i];
  });
}

// A table with a caption and column headers. In a narrow window its rows become stacked
// entries (`stacked`), or the table scrolls in its own box.
export function table(caption, headers, {stacked = false} = {}) {
  const tbody = h('tbody', {});
  tbody.headers = headers;
  const node = h('div', {class: stacked ? 'table-wrap stacked' : 'table-wrap'},
                 h('table', {},
                   h('caption', {class: 'sr-only'}, caption),
                   h('thead', {}, h('tr', {}, headers.map((t) => h('th', {scope: 'col'}, t)))),
                   tbody));
  return {node, tbody};
}

export function badge(state) {
  return h('span', {class: 'badge ' + state.kind}, state.text);
}

// A progress bar with its figure, e.g. for a verify at 42.5 %.
export function progressBar(label, percent) {
  return h('div', {class: 'progress'},
           h('progress', {max: '100', value: String(percent), 'aria-label': label}),
           h('span', {class: 'progress-text'}, percent.toFixed(percent % 1 ? 1 : 0) + ' %'));
}
