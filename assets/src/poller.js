// One timer reads every domain for the health line and the overview. The event count is asked
// each round (it costs the controller nothing); the domain on the overview is read every round,
// the others less often. A round that cannot reach the service waits twice as long each time.
import {call, SessionExpired} from './rpc.js';
import {store, setData, onDomainChange} from './store.js';
import {DomainReader} from './devices.js';
import {TaskFailures} from './task-events.js';

export const ROUND_MS = 2000;
export const OTHER_DOMAIN_MS = 10000;
export const MAX_WAIT_MS = 30000;

const state = {
  running: false,
  fast: false,
  timer: null,
  round: null,
  again: false,
  wait: ROUND_MS,
  readers: new Map(),
  failures: new TaskFailures(),
  // domain -> {data, at, error}; `at` is the time of the last good read.
  results: new Map(),
  nextRead: new Map(),
  eventCount: null,
  lastGood: null,
  // The last round failed: what is on show is as old as `lastGood`.
  stale: null,
  nextRoundAt: null,
  forceShown: false,
};
const listeners = new Set();

// Runs `listener(snapshot())` after every round.
export function onRound(listener) {
  listeners.add(listener);
}

export function snapshot() {
  return {domainCount: store.domainCount, results: state.results, stale: state.stale,
          lastGood: state.lastGood, nextRoundAt: state.nextRoundAt, failures: state.failures};
}

function reader(domain) {
  if (!state.readers.has(domain)) state.readers.set(domain, new DomainReader(domain));
  return state.readers.get(domain);
}

function publishShown() {
  const result = state.results.get(store.domain);
  if (result && result.data && store.data !== result.data) setData(result.data);
}

function dueDomains(now, eventsChanged) {
  const list = [];
  for (let d = 0; d < store.domainCount; d++) {
    const shownFast = d === store.domain && state.fast;
    if (eventsChanged || (shownFast && state.forceShown) || !state.results.has(d) ||
        now >= (state.nextRead.get(d) || 0)) {
      list.push(d);
    }
  }
  // The domain on screen first.
  return list.sort((a, b) => (b === store.domain) - (a === store.domain));
}

async function readDomain(domain, eventCount, force, now) {
  const before = state.results.get(domain);
  try {
    const data = await reader(domain).read({eventCount, force, now});
    state.results.set(domain, {data, at: now, error: null});
  } catch (e) {
    // Lost the service midway: the whole round failed.
    if (e instanceof SessionExpired || e.code === 0) throw e;
    state.results.set(domain, {data: before ? before.data : null, at: before ? before.at : null, error: e});
  }
  const fast = domain === store.domain && state.fast;
  state.nextRead.set(domain, now + (fast ? ROUND_MS : OTHER_DOMAIN_MS));
}

async function runRound() {
  const now = Date.now();
  const force = state.forceShown;
  let ok = true;
  try {
    const count = await call('GetEventLogCount');
    const eventsChanged = count !== state.eventCount;
    const due = dueDomains(now, eventsChanged);
    state.forceShown = false;
    // Domains one after the other: a large machine is not asked everything at once.
    for (const d of due) await readDomain(d, count, force && d === store.domain, now);
    if (eventsChanged) await state.failures.update(count);
    state.eventCount = count;
    state.lastGood = now;
    state.stale = null;
  } catch (e) {
    if (e instanceof SessionExpired) return false;
    ok = false;
    if (!state.stale) state.stale = {since: now, error: e};
    else state.stale.error = e;
  }
  state.wait = ok ? ROUND_MS : Math.min(MAX_WAIT_MS, state.wait * 2);
  return true;
}

function schedule() {
  clearTimeout(state.timer);
  if (!state.running) return;
  state.nextRoundAt = Date.now() + state.wait;
  state.timer = setTimeout(() => {
    if (document.visibilityState === 'visible') roundNow();
    else schedule();
  }, state.wait);
}

// Runs a round now, or right after the one that is running. Resolves when it is done.
export function roundNow() {
  if (state.round) {
    state.again = true;
    return state.round;
  }
  clearTimeout(state.timer);
  state.round = (async () => {
    let going = true;
    do {
      state.again = false;
      going = await runRound();
      if (!state.running) return;
      publishShown();
      state.nextRoundAt = going ? Date.now() + state.wait : null;
      for (const listener of listeners) listener(snapshot());
    } while (going && state.again);
    state.round = null;
    if (going) schedule();
  })().finally(() => {
    state.round = null;
  });
  return state.round;
}

// After the user changed something on the shown domain: read it whole now.
export function refreshShown() {
  state.forceShown = true;
  state.nextRead.set(store.domain, 0);
  return roundNow();
}

// While the overview is on screen its domain is read every round.
export function setFast(fast) {
  state.fast = fast;
  if (fast && state.running) {
    const result = state.results.get(store.domain);
    if (!result || Date.now() - (result.at || 0) >= ROUND_MS) {
      state.nextRead.set(store.domain, 0);
      roundNow();
    }
  }
}

// The shown domain's data as soon as there is some.
export async function shownData() {
  for (let tries = 0; tries < 3; tries++) {
    const result = state.results.get(store.domain);
    if (result && result.data) return result.data;
    state.nextRead.set(store.domain, 0);
    await roundNow();
  }
  return null;
}

export function startPolling() {
  state.running = true;
  state.wait = ROUND_MS;
  roundNow();
}

// The session ended: nothing read for it is kept.
export function stopPolling() {
  state.running = false;
  clearTimeout(state.timer);
  state.readers.clear();
  state.results.clear();
  state.nextRead.clear();
  state.failures = new TaskFailures();
  Object.assign(state, {eventCount: null, lastGood: null, stale: null, nextRoundAt: null});
}

onDomainChange(() => {
  // Known data of the newly shown domain is on screen at once, and read again soon.
  Promise.resolve().then(() => {
    publishShown();
    if (state.running && state.fast) {
      state.nextRead.set(store.domain, 0);
      roundNow();
    }
  });
});

document.addEventListener('visibilitychange', () => {
  if (document.visibilityState === 'visible' && state.running && !state.round &&
      state.nextRoundAt !== null && Date.now() >= state.nextRoundAt) {
    roundNow();
  }
});
