// Settings: the service's own, the shown domain's controller settings, scheduled tasks and mail.
import {h, field, checkField} from './dom.js';
import {call} from './rpc.js';
import {store, onDomainChange} from './store.js';
import {messageLine, attempt, showDone, showError} from './notice.js';
import {tasksPart} from './tasks-view.js';
import {mailPart} from './mail-view.js';

const DOMAIN_KEYS = [
  {key: 'HBAMode', label: 'HBA mode', onOff: true},
  {key: 'RebuildPriority', label: 'Rebuild priority'},
  {key: 'AutoRebuild', label: 'Rebuild onto a spare automatically', onOff: true},
  {key: 'IgnoreRebuildErrors', label: 'Ignore rebuild errors', onOff: true},
  {key: 'DiskIdleTimer', label: 'Disk idle timer'},
  {key: 'SpinupCount', label: 'Disks spun up at once'},
  {key: 'SpinupDelay', label: 'Spin-up delay'},
  {key: 'BBUTempThreshold', label: 'Battery temperature threshold'},
];

function card(title, iconName, ...content) {
  return h('section', {class: 'card'},
    h('div', {class: 'card-head'}, h('h2', {}, h('span', {class: 'fa fa-' + iconName, 'aria-hidden': 'true'}), ' ', title)),
    content);
}

function serverPart() {
  const line = messageLine();
  const port = field('Web console port', h('input', {type: 'number', min: '1', max: '65535', required: true}),
                     'Takes effect when the service starts again.');
  const localBox = h('input', {type: 'checkbox'});
  const local = checkField('Accept connections from this computer only', localBox,
                           'Takes effect when the service starts again.');
  const smart = field('SMART check interval in minutes', h('input', {type: 'number', min: '0', max: '100000'}),
                      '0 turns the periodic SMART check off.');
  let loaded = {};
  const save = h('button', {type: 'submit', class: 'primary'}, 'Save server settings');
  const form = h('form', {}, h('div', {class: 'grid'}, port.row, smart.row, local.row), line, save);
  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    const settings = {...loaded, ServerPort: Number(port.input.value), RestrictLocal: localBox.checked ? 1 : 0,
                      SMARTInterval: Number(smart.input.value || 0)};
    if (await attempt(line, 'Server settings not saved', () => call('SetConfig', {settings}), save)) {
      loaded = settings;
      showDone(line, 'Server settings saved.');
    }
  });
  return {
    node: card('Server', 'server', form),
    async load() {
      await attempt(line, 'Server settings could not be read', async () => {
        loaded = await call('GetConfig', {key: 'settings'});
        port.input.value = loaded.ServerPort || '';
        localBox.checked = Boolean(loaded.RestrictLocal);
        smart.input.value = loaded.SMARTInterval || 0;
      });
    },
  };
}

function domainPart() {
  const line = messageLine();
  const fields = h('div', {class: 'grid'});
  const heading = h('span', {}, 'Controller settings');
  let inputs = [];
  const save = h('button', {type: 'submit', class: 'primary'}, 'Save controller settings');
  const form = h('form', {}, fields, line, save);
  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    const params = {domain: store.domain};
    for (const {key, input, onOff} of inputs) params[key] = onOff ? (input.checked ? 1 : 0) : Number(input.value);
    if (await attempt(line, 'Controller settings not saved', () => call('SetDomainConfig', params), save)) {
      showDone(line, 'Controller settings of domain ' + store.domain + ' saved.');
    }
  });
  return {
    node: card('Controller settings', 'sliders', heading, form),
    async load() {
      heading.textContent = 'Domain ' + store.domain + ': the settings this controller reports.';
      inputs = [];
      fields.replaceChildren();
      try {
        const values = await call('GetDomainConfig', {domain: store.domain});
        for (const k of DOMAIN_KEYS) {
          if (!(k.key in values)) continue;
          const input = k.onOff ? h('input', {type: 'checkbox', checked: Boolean(values[k.key])})
                                : h('input', {type: 'number', value: String(values[k.key])});
          const f = k.onOff ? checkField(k.label, input) : field(k.label, input);
          fields.appendChild(f.row);
          inputs.push({key: k.key, input, onOff: k.onOff});
        }
        save.hidden = inputs.length === 0;
        if (inputs.length === 0) fields.appendChild(h('p', {class: 'muted'}, 'The controller reports no settings.'));
      } catch (e) {
        showError(line, 'Controller settings could not be read', e);
      }
    },
  };
}

const parts = [];

export const settingsPage = {
  mount(root) {
    parts.push(serverPart(), domainPart(), tasksPart(card), mailPart(card));
    root.append(h('div', {class: 'page-head'}, h('h2', {}, 'Settings')), ...parts.map((p) => p.node));
    onDomainChange(() => {
      if (!root.hidden) parts[1].load();
    });
  },
  show() {
    for (const p of parts) p.load();
  },
  hide() {},
};

