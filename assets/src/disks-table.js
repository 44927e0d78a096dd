// The disks of a domain: location, model, serial, capacity, state (with a SMART failure) and role.
import {h} from './dom.js';
import {sectors, diskLocation, diskState, diskRole, diskParents} from './format.js';
import {table, patchRows, badge} from './rows.js';
import {findArrayName} from './devices.js';

export function disksTable() {
  return table('Disks', ['Location', 'Model', 'Serial number', 'Capacity', 'State', 'Role', ''], {stacked: true});
}

function roleText(vd, data) {
  const role = diskRole(vd.disk);
  if (role !== 'Member') return role;
  const names = [...new Set(diskParents(vd.disk).map((id) => findArrayName(data, id)))];
  return 'Member of ' + names.join(', ');
}

export function renderDisks(tbody, data, onManage) {
  patchRows(tbody, data.disks.map((vd) => ({
    key: vd.id,
    data: [vd, roleText(vd, data)],
    build: () => h('tr', {'data-disk-id': String(vd.id), class: vd.smartFailing || diskState(vd.disk).kind === 'bad' ? 'attention' : null},
      h('th', {scope: 'row'}, diskLocation(vd.disk)),
      h('td', {}, vd.disk.model),
      h('td', {}, vd.disk.serial),
      h('td', {class: 'num'}, sectors(vd.capacity)),
      h('td', {class: 'state'}, badge(diskState(vd.disk)),
        vd.smartFailing ? [' ', badge({text: 'SMART threshold exceeded', kind: 'bad'})] : null),
      h('td', {class: 'role'}, roleText(vd, data)),
      h('td', {class: 'row-actions'},
        h('button', {type: 'button', 'data-focus': 'manage', onclick: () => onManage(vd.id),
                     'aria-label': 'Manage disk ' + diskLocation(vd.disk)},
          h('span', {class: 'fa fa-sliders', 'aria-hidden': 'true'}), ' Manage'))),
  })));
}
