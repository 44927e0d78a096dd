// A disk's SMART attributes; those at or below their threshold are marked.
import {h} from './dom.js';
import {call} from './rpc.js';
import {table} from './rows.js';

// An attribute fails when its threshold is set and the current value has come down to it.
export function attributeFailing(a) {
  return a.threshold > 0 && a.current <= a.threshold;
}

export async function smartPart(domain, id) {
  const info = await call('GetSmartInfo', {domain, id});
  const t = table('SMART attributes', ['ID', 'Attribute', 'Current', 'Worst', 'Threshold', 'Raw', 'Type', 'Updated']);
  for (const a of info.attrs) {
    const failing = attributeFailing(a);
    t.tbody.appendChild(h('tr', {class: failing ? 'failing' : '', 'data-attr': String(a.id)},
      h('td', {class: 'num'}, String(a.id)),
      h('th', {scope: 'row'}, failing ? h('span', {class: 'fa fa-exclamation-triangle', 'aria-hidden': 'true'}) : null,
        failing ? ' ' : null, a.name, failing ? h('span', {class: 'sr-only'}, ' (at or below threshold)') : null),
      h('td', {class: 'num'}, String(a.current)),
      h('td', {class: 'num'}, String(a.worst)),
      h('td', {class: 'num'}, String(a.threshold)),
      h('td', {class: 'mono'}, a.raw),
      h('td', {}, a.type),
      h('td', {}, a.update)));
  }
  const verdict = info.status
    ? h('p', {class: 'badge ok'}, 'SMART status: healthy')
    : h('p', {class: 'badge bad'}, 'SMART status: threshold exceeded');
  return h('div', {class: 'smart'}, verdict, t.node);
}
