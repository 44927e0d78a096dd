// The controllers of a domain with their battery unit, and the domain's preserved cache.
import {h, button} from './dom.js';
import {call} from './rpc.js';
import {memory, bbuState, volts, celsius, has, BBU} from './format.js';
import {badge} from './rows.js';
import {messageLine, attempt} from './notice.js';
import {confirmAction} from './dialog.js';

function facts(pairs) {
  return h('dl', {class: 'facts'}, pairs.map(([term, value]) => [h('dt', {}, term), h('dd', {}, value)]));
}

function pciLocation(info) {
  const hex = (n, width) => Number(n).toString(16).padStart(width, '0');
  return hex(info.pci_tree, 4) + ':' + hex(info.pci_bus, 2) + ':' + hex(info.pci_device, 2) + '.' +
         Number(info.pci_function).toString(16);
}

function batteryPart(domain, ctrl, refresh) {
  const bbu = ctrl.bbu;
  if (!bbu || !bbu.bbu_installed) return h('p', {class: 'muted'}, 'No battery unit installed.');
  const line = messageLine();
  const command = (status, what) => attempt(line, what, async () => {
    await call('SetBBUStatus', {domain, status});
    refresh();
  });
  const state = bbuState(bbu.bbu_status);
  const discharging = has(bbu.bbu_status, BBU.DISCHARGING);
  return h('div', {class: 'battery'},
    h('h4', {}, h('span', {class: 'fa fa-battery-three-quarters', 'aria-hidden': 'true'}), ' Battery unit'),
    facts([['State', badge(state)], ['Voltage', volts(bbu.voltage_mv)],
           ['Temperature', celsius(bbu.temperature)], ['Type', String(bbu.bbu_type)]]),
    h('div', {class: 'actions'},
      discharging
        ? button('Stop discharge test', () => command(3, 'Stopping the discharge test failed'), {icon: 'stop'})
        : button('Start discharge test', () => command(5, 'Starting the discharge test failed'), {icon: 'play'}),
      button('Disable battery unit', async () => {
        const ok = await confirmAction('Disable the battery unit?', [
          'The battery unit of ' + ctrl.info.product_str + ' will be disabled.',
          'Cached data that is not yet on the disks is then lost if the power fails.'],
          'Disable battery unit');
        if (ok) command(0, 'Disabling the battery unit failed');
      }, {icon: 'power-off', class: 'danger'})),
    line);
}

function controllerCard(domain, ctrl, refresh) {
  const info = ctrl.info;
  return h('article', {class: 'controller', 'data-controller': String(ctrl.id), tabindex: '-1'},
    h('h3', {}, h('span', {class: 'fa fa-server', 'aria-hidden': 'true'}), ' ', info.product_str,
      h('span', {class: 'muted'}, ' (controller ' + ctrl.id + ')')),
    facts([
      ['Vendor', info.vendor_str], ['Chip', info.ioc_str], ['Firmware', info.fw_rev],
      ['Serial number', info.sn_str], ['PCIe link', 'Gen' + info.pcie_speed + ' x' + info.pcie_width],
      ['PCI location', pciLocation(info)], ['Memory', info.ramsize ? memory(info.ramsize) : 'none'],
      ['Ports', String(info.num_ports)],
    ]),
    batteryPart(domain, ctrl, refresh));
}

// Shown for controllers with cache memory, or wherever preserved data is waiting.
function cachePart(domain, pcache, hwraid, refresh) {
  if (pcache === null || pcache === undefined || (!hwraid && pcache === 0)) return null;
  const line = messageLine();
  return h('div', {class: 'pcache'},
    h('h4', {}, h('span', {class: 'fa fa-database', 'aria-hidden': 'true'}), ' Preserved cache'),
    facts([['Size', pcache + ' sectors (' + memory(pcache * 512) + ')']]),
    pcache > 0 ? h('div', {class: 'actions'}, button('Clear preserved cache', async (event) => {
      const control = event.currentTarget;
      const ok = await confirmAction('Clear the preserved cache?', [
        'The preserved cache holds ' + pcache + ' sectors of data that did not reach the disks.',
        'Clearing it discards that data for good.'], 'Clear preserved cache');
      if (ok) attempt(line, 'Clearing the preserved cache failed', async () => {
        await call('ClearPCache', {domain});
        refresh();
      }, control);
    }, {icon: 'eraser', class: 'danger'})) : null,
    line);
}

export function renderControllers(data, refresh) {
  return h('div', {class: 'controllers'},
    data.controllers.map((c) => controllerCard(data.domain, c, refresh)),
    cachePart(data.domain, data.pcache, data.driver.hwraid, refresh));
}
