// A disk's SMART attributes; those at or below their threshold are marked.
import {h} from './dom.js';
import {call, SessionExpired} from './rpc.js';
import {table} from './rows.js';
import {has, DISK} from './format.js';

// An attribute fails when its threshold is set and the current value has come down to it.
export function attributeFailing(a) {
  return a.threshold > 0 && a.current <= a.threshold;
}

// Each disk's SMART verdict: Map id -> true (healthy) or false (threshold exceeded). Disks with
// SMART off, or that do not answer, are left out. Every read is ATA commands through the
// controller, so pickers read it once when they open, never on a refresh.
export async function smartVerdicts(domain, disks) {
  const verdicts = new Map();
  await Promise.all(disks.filter((x) => has(x.disk.flags, DISK.SMART_ON)).map(async (x) => {
    try {
      verdicts.set(x.id, Boolean((await call('GetSmartInfo', {domain, id: x.id})).status));
    } catch (e) {
      if (e instanceof SessionExpired) throw e;
    }
  }));
  return verdicts;
}

export const SMART_FAILING = 'SMART threshold exceeded';

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
