// The console's one small store: who is logged in, which domain is shown, and the domain's
// latest device data for the views that share it.

const listeners = new Set();
const dataListeners = new Set();

export const store = {
  user: null,
  domainCount: 0,
  domain: 0,
  // Device data of the current domain as devices.loadDomain returns it; null until loaded.
  data: null,
};

export function setDomain(domain) {
  store.domain = domain;
  store.data = null;
  for (const listener of listeners) listener();
}

// Runs `listener` whenever the shown domain changes.
export function onDomainChange(listener) {
  listeners.add(listener);
}

// Stores a successful reload of the shown domain and passes it to every data listener.
export function setData(data) {
  store.data = data;
  for (const listener of dataListeners) listener(data);
}

// Runs `listener(data)` after each successful reload of the shown domain; the returned
// function stops it (a dialog stops following when it closes).
export function onData(listener) {
  dataListeners.add(listener);
  return () => dataListeners.delete(listener);
}
