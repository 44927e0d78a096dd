// Element building. Text always goes in as text nodes, so nothing the service sends can become
// markup.

// h('button', {class: 'x', onclick: fn, 'aria-label': 'y'}, 'text', child, ...)
export function h(tag, props, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(props || {})) {
    if (value === undefined || value === null || value === false) continue;
    if (key.startsWith('on') && typeof value === 'function') {
      node.addEventListener(key.slice(2), value);
    } else if (key === 'class') {
      node.className = value;
    } else if (key === 'value' || key === 'checked' || key === 'selected' || key === 'disabled') {
      node[key] = value;
    } else {
      node.setAttribute(key, value === true ? '' : String(value));
    }
  }
  append(node, children);
  return node;
}

function append(node, children) {
  for (const child of children) {
    if (child === undefined || child === null || child === false) continue;
    if (Array.isArray(child)) append(node, child);
    else if (child instanceof Node) node.appendChild(child);
    else node.appendChild(document.createTextNode(String(child)));
  }
}

// A Font Awesome icon; decorative, so screen readers skip it.
export function icon(name, extra) {
  return h('span', {class: 'fa fa-' + name + (extra ? ' ' + extra : ''), 'aria-hidden': 'true'});
}

export function byId(id) {
  return document.getElementById(id);
}

export function fill(node, ...children) {
  node.replaceChildren();
  append(node, children);
  return node;
}

let uniqueCounter = 0;
export function uniqueId(prefix) {
  uniqueCounter += 1;
  return prefix + '-' + uniqueCounter;
}

// A labelled form control: returns {row, input}. `control` is an input, select or textarea.
export function field(labelText, control, hint) {
  if (!control.id) control.id = uniqueId('f');
  const row = h('div', {class: 'field'}, h('label', {for: control.id}, labelText), control,
                hint ? h('span', {class: 'hint'}, hint) : null);
  return {row, input: control};
}

export function select(options, current) {
  const node = h('select', {});
  for (const [value, text] of options) {
    node.appendChild(h('option', {value: String(value), selected: String(value) === String(current)},
                       text));
  }
  return node;
}

export function button(text, onclick, opts = {}) {
  return h('button', {type: 'button', class: opts.class || '', onclick,
                      'aria-label': opts.label, title: opts.title, disabled: opts.disabled},
           opts.icon ? icon(opts.icon) : null, opts.icon && text ? ' ' : null, text);
}

// A checkbox with its label after it: returns {row, input}.
export function checkField(labelText, box, hint) {
  if (!box.id) box.id = uniqueId('f');
  const row = h('div', {class: 'field check-field'},
                h('span', {class: 'check'}, box, h('label', {for: box.id}, labelText)),
                hint ? h('span', {class: 'hint'}, hint) : null);
  return {row, input: box};
}
