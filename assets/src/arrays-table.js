// The arrays of a domain: level, capacity, state with the progress of a running task, cache
// policy and members.
import {h} from './dom.js';
import {levelName, sectors, cachePolicyName, arrayState, diskLocation} from './format.js';
import {table, patchRows, badge, progressBar} from './rows.js';
import {memberDiskIds} from './devices.js';

export function arraysTable() {
  return table('Arrays', ['Name', 'RAID level', 'Capacity', 'State', 'Cache policy', 'Members', ''], {stacked: true});
}

function memberText(vd, disksById) {
  return memberDiskIds(vd).map((id) => {
    const disk = disksById.get(id);
    return disk ? diskLocation(disk.disk) : 'missing';
  }).join(', ');
}

export function stateCell(vd) {
  const state = arrayState(vd.array);
  return h('td', {class: 'state'}, badge(state),
           state.percent !== null ? progressBar(state.task + ' ' + vd.array.aname, state.percent) : null);
}

export function renderArrays(tbody, data, onManage) {
  const disksById = new Map(data.disks.map((d) => [d.id, d]));
  patchRows(tbody, data.arrays.map((vd) => ({
    key: vd.id,
    data: [vd, memberText(vd, disksById)],
    build: () => h('tr', {'data-array-id': String(vd.id), class: arrayState(vd.array).kind === 'bad' ? 'attention' : null},
      h('th', {scope: 'row'}, vd.array.aname || '(no name)'),
      h('td', {}, levelName(vd.array.raidlevel, vd.array.sub_raidlevel)),
      h('td', {class: 'num'}, sectors(vd.capacity)),
      stateCell(vd),
      h('td', {}, cachePolicyName(vd.cache_policy)),
      h('td', {}, memberText(vd, disksById)),
      h('td', {class: 'row-actions'},
        h('button', {type: 'button', 'data-focus': 'manage', onclick: () => onManage(vd.id),
                     'aria-label': 'Manage array ' + vd.array.aname},
          h('span', {class: 'fa fa-sliders', 'aria-hidden': 'true'}), ' Manage'))),
  })));
  if (data.arrays.length === 0) {
    tbody.replaceChildren(h('tr', {}, h('td', {colspan: '7', class: 'muted'}, 'No arrays.')));
  }
}
