// Settings: the service's own, the shown domain's controller settings, scheduled tasks and mail.
// Each field checks its own range before anything is sent, and leaving the page with changes
// that are not saved asks first.
import {h, field, checkField} from './dom.js';
import {call} from './rpc.js';
import {store, onDomainChange, setDomain} from './store.js';
import {confirmAction} from './dialog.js';
import {messageLine, attempt, showDone, showError, clearMessage, STORE_REFUSED} from './notice.js';
import {tasksPart} from './tasks-view.js';
import {mailPart} from './mail-view.js';
import {wholeNumber, rangeHint} from './format.js';

const DOMAIN_KEYS = [
  {key: 'HBAMode', label: 'HBA mode', onOff: true},
  {key: 'RebuildPriority', label: 'Rebuild priority', unit: '%', min: 0, max: 100},
  {key: 'AutoRebuild', label: 'Rebuild onto a spare automatically', onOff: true},
  {key: 'IgnoreRebuildErrors', label: 'Ignore rebuild errors', onOff: true},
  {key: 'DiskIdleTimer', label: 'Disk idle timer', unit: 'minutes', min: 0, max: 1440},
  {key: 'SpinupCount', label: 'Disks spun up at once', unit: '', min: 0, max: 64},
  {key: 'SpinupDelay', label: 'Spin-up delay', unit: 'seconds', min: 0, max: 60},
  {key: 'BBUTempThreshold', label: 'Battery temperature threshold', unit: '°C', min: 0, max: 100},
];

function card(title, iconName, ...content) {
  return h('section', {class: 'card'},
    h('div', {class: 'card-head'}, h('h2', {}, h('span', {class: 'fa fa-' + iconName, 'aria-hidden': 'true'}), ' ', title)),
    content);
}

// Runs `read` (which throws a field's range error) and reports a failure under the form,
// with the focus on the field at fault. Returns what `read` gave, or null.
function checked(line, what, read) {
  try {
    return read();
  } catch (e) {
    showError(line, what, e);
    if (e.input) e.input.focus();
    return null;
  }
}

function serverPart() {
  const line = messageLine();
  const portInput = h('input', {type: 'number', min: '1', max: '65535'});
  const port = field('Web console port', portInput, 'From 1 to 65535. Takes effect when the service starts again.');
  const localBox = h('input', {type: 'checkbox'});
  const local = checkField('Accept connections from this computer only', localBox,
                           'Takes effect when the service starts again.');
  const smartInput = h('input', {type: 'number', min: '0', max: '525600'});
  const smart = field('SMART check interval in minutes', smartInput,
                      'From 0 to 525600 minutes; 0 turns the periodic SMART check off.');
  let loaded = {};
  const save = h('button', {type: 'submit', class: 'primary'}, 'Save server settings');
  const form = h('form', {novalidate: true}, h('div', {class: 'grid'}, port.row, smart.row, local.row), line, save);
  const shown = () => ({port: String(loaded.ServerPort || ''), local: Boolean(loaded.RestrictLocal),
                        smart: String(loaded.SMARTInterval || 0)});
  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    clearMessage(line);
    const values = checked(line, 'Server settings not saved', () => ({
      ServerPort: wholeNumber('Web console port', portInput, 1, 65535, ''),
      SMARTInterval: wholeNumber('SMART check interval', smartInput, 0, 525600, 'minutes'),
    }));
    if (!values) return;
    const settings = {...loaded, ...values, RestrictLocal: localBox.checked ? 1 : 0};
    if (await attempt(line, 'Server settings not saved', () => call('SetConfig', {settings}), save, STORE_REFUSED)) {
      loaded = settings;
      showDone(line, 'Server settings saved.');
    }
  });
  return {
    node: card('Server', 'server', form),
    name: 'the server settings',
    changed() {
      const was = shown();
      return portInput.value !== was.port || localBox.checked !== was.local || smartInput.value !== was.smart;
    },
    async load() {
      await attempt(line, 'Server settings could not be read', async () => {
        loaded = await call('GetConfig', {key: 'settings'});
        const was = shown();
        portInput.value = was.port;
        localBox.checked = was.local;
        smartInput.value = was.smart;
      }, null, 'Server settings could not be read: the service could not read its configuration file.');
    },
  };
}

function domainPart() {
  const line = messageLine();
  const fields = h('div', {class: 'grid'});
  const heading = h('span', {}, 'Controller settings');
  let inputs = [];
  let shownDomain = null;
  const save = h('button', {type: 'submit', class: 'primary'}, 'Save controller settings');
  const form = h('form', {novalidate: true}, fields, line, save);
  const valueOf = ({input, onOff}) => (onOff ? (input.checked ? 1 : 0) : input.value.trim());
  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    clearMessage(line);
    const domain = shownDomain;
    const params = checked(line, 'Controller settings not saved', () => {
      const out = {domain};
      for (const entry of inputs) {
        const {key, input, onOff, was, k} = entry;
        // A value the controller reported is sent back as it is, whatever its range.
        if (onOff) out[key] = input.checked ? 1 : 0;
        else out[key] = valueOf(entry) === String(was) ? was : wholeNumber(k.label, input, k.min, k.max, k.unit);
      }
      return out;
    });
    if (!params) return;
    if (await attempt(line, 'Controller settings not saved', () => call('SetDomainConfig', params), save,
                      'The controller of domain ' + domain + ' refused one of the values; nothing was stored.')) {
      for (const entry of inputs) entry.was = params[entry.key];
      showDone(line, 'Controller settings of domain ' + domain + ' saved.');
    }
  });
  return {
    node: card('Controller settings', 'sliders', heading, form),
    get name() {
      return 'the controller settings of domain ' + shownDomain;
    },
    get domain() {
      return shownDomain;
    },
    changed() {
      return inputs.some((entry) => String(valueOf(entry)) !== String(entry.onOff ? (entry.was ? 1 : 0) : entry.was));
    },
    async load() {
      shownDomain = store.domain;
      heading.textContent = 'Domain ' + shownDomain + ': the settings this controller reports.';
      inputs = [];
      fields.replaceChildren();
      clearMessage(line);
      try {
        const values = await call('GetDomainConfig', {domain: shownDomain});
        for (const k of DOMAIN_KEYS) {
          if (!(k.key in values)) continue;
          const was = values[k.key];
          const input = k.onOff ? h('input', {type: 'checkbox', checked: Boolean(was)})
                                : h('input', {type: 'number', min: String(k.min), max: String(k.max), value: String(was)});
          const f = k.onOff ? checkField(k.label, input)
                            : field(k.label + (k.unit ? ' (' + k.unit + ')' : ''), input, rangeHint(k.min, k.max, k.unit));
          fields.appendChild(f.row);
          inputs.push({key: k.key, input, onOff: k.onOff, was, k});
        }
        save.hidden = inputs.length === 0;
        if (inputs.length === 0) fields.appendChild(h('p', {class: 'muted'}, 'The controller reports no settings.'));
      } catch (e) {
        showError(line, 'Controller settings could not be read', e,
                  'Controller settings could not be read: the controller did not answer.');
      }
    },
  };
}

const parts = [];
// Set while the user has agreed to leave with changes unsaved.
let leaving = false;

function unsaved() {
  return parts.filter((p) => p.changed && p.changed()).map((p) => p.name);
}

export const settingsPage = {
  mount(root) {
    parts.push(serverPart(), domainPart(), tasksPart(card), mailPart(card));
    root.append(h('div', {class: 'page-head'}, h('h2', {}, 'Settings')), ...parts.map((p) => p.node));
    // Another domain on this page replaces the controller settings shown: a change to them asks first.
    onDomainChange(async () => {
      const domainPart = parts[1];
      if (root.hidden || store.domain === domainPart.domain) return;
      if (domainPart.changed()) {
        const ok = await confirmAction('Show domain ' + store.domain + ' without saving?', [
          'Your changes to ' + domainPart.name + ' are not saved.',
          'They are lost if you show another domain now.'], 'Show domain ' + store.domain);
        if (!ok) {
          const picker = document.getElementById('domain-select');
          if (picker) picker.value = String(domainPart.domain);
          setDomain(domainPart.domain);
          return;
        }
      }
      domainPart.load();
    });
    // Going to another page with changes unsaved asks first. A capturing listener on the window
    // runs before the page switch and can stop it.
    window.addEventListener('hashchange', async (event) => {
      if (leaving || root.hidden || location.hash === '#settings') return;
      const names = unsaved();
      if (names.length === 0) return;
      event.stopImmediatePropagation();
      const target = location.hash;
      history.replaceState(null, '', '#settings');
      const ok = await confirmAction('Leave the settings without saving?', [
        'Your changes to ' + names.join(' and ') + ' are not saved.',
        'They are lost if you leave this page now.'], 'Leave without saving');
      if (!ok) return;
      leaving = true;
      location.hash = target;
    }, {capture: true});
    window.addEventListener('beforeunload', (event) => {
      if (!root.hidden && unsaved().length > 0) event.preventDefault();
    });
  },
  show() {
    leaving = false;
    for (const p of parts) p.load();
  },
  hide() {},
};
