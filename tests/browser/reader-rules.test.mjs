// The console's reading rules, run in Node against a stand-in service (no browser, no clock):
// which records a domain read asks for again, and how failed array tasks are taken from the
// event log.
import {test} from 'node:test';
import assert from 'node:assert/strict';
import {DomainReader, FULL_READ_MS, SMART_MS} from '../../assets/src/devices.js';
import {TaskFailures} from '../../assets/src/task-events.js';

const SMART_ON = 0x800000;
const REBUILDING = 0x4;

// A domain of `disks` disks (ids 1..n, SMART on) and arrays (ids 100..), answering as the
// service would; `calls` lists what was asked.
function standIn({disks = 4, arrays = 1, events = []} = {}) {
  const machine = {
    disks: new Map(Array.from({length: disks}, (_, i) => [i + 1, {flags: SMART_ON, failing: i === 0}])),
    arrays: new Map(Array.from({length: arrays}, (_, i) => [100 + i, {flags: 0}])),
    events,
  };
  const calls = [];
  const answer = (method, p) => {
    switch (method) {
      case 'GetLDList': return [...machine.arrays.keys()];
      case 'GetPDList': return [...machine.disks.keys()];
      case 'GetDriverInfo': return {driver_name: 'x', hwraid: 0};
      case 'GetControllerCount': return 1;
      case 'GetControllerInfo': return {product_str: 'c'};
      case 'GetBBUInfo': return {bbu_installed: 0};
      case 'GetPCacheSize': return 0;
      case 'GetVDInfo':
        if (machine.arrays.has(p.id)) {
          return {id: p.id, type: 1, array: {aname: 'A' + p.id, flags: machine.arrays.get(p.id).flags, members: [1, 2]}};
        }
        return {id: p.id, type: 2, disk: {flags: machine.disks.get(p.id).flags, parents: []}};
      case 'GetSmartInfo': return {status: !machine.disks.get(p.id).failing};
      case 'GetEventLog': return machine.events.slice(p.start, p.start + p.length);
      default: throw new Error('unexpected ' + method);
    }
  };
  globalThis.fetch = async (url, init) => {
    const body = JSON.parse(init.body);
    calls.push([body.method, body.params]);
    return {status: 200, json: async () => ({jsonrpc: '2.0', id: body.id, result: answer(body.method, body.params)})};
  };
  const count = (method) => calls.filter(([m]) => m === method).length;
  const vdIds = () => calls.filter(([m]) => m === 'GetVDInfo').map(([, p]) => p.id).sort((a, b) => a - b);
  return {machine, calls, count, vdIds, reset: () => calls.splice(0)};
}

test('a domain read asks again only for what may have changed', async () => {
  const s = standIn({disks: 4, arrays: 2});
  const reader = new DomainReader(0);
  const t0 = 1000000;
  const first = await reader.read({eventCount: 7, now: t0});
  assert.deepEqual(s.vdIds(), [1, 2, 3, 4, 100, 101], 'everything at first');
  assert.equal(s.count('GetSmartInfo'), 4);
  assert.equal(first.disks[0].smartFailing, true);
  assert.equal(first.smartPending, 0);

  const rounds = [
    // [what happens, when, event count, device records expected, SMART reads expected]
    ['nothing', t0 + 2000, 7, () => {}, [], 0],
    ['a rebuild starts: its event, everything', t0 + 4000, 8, (m) => { m.arrays.get(101).flags = REBUILDING; },
     [1, 2, 3, 4, 100, 101], 0],
    ['the rebuilding array each round', t0 + 6000, 8, () => {}, [101], 0],
    ['the rebuild ends before its event: the array is still read', t0 + 8000, 8, (m) => { m.arrays.get(101).flags = 0; },
     [101], 0],
    ['idle again', t0 + 10000, 8, () => {}, [], 0],
    ['a disk is plugged in: the lists changed', t0 + 12000, 8, (m) => { m.disks.set(5, {flags: SMART_ON}); },
     [1, 2, 3, 4, 5, 100, 101], 1],
    ['the slow full read', t0 + 4000 + FULL_READ_MS, 8, () => {}, [1, 2, 3, 4, 5, 100, 101], 0],
    ['SMART a minute after the first read, the plugged disk later', t0 + SMART_MS, 8, () => {}, [], 4],
  ];
  for (const [what, now, eventCount, change, records, smart] of rounds) {
    change(s.machine);
    s.reset();
    await reader.read({eventCount, now});
    assert.deepEqual(s.vdIds(), records, what + ': records');
    assert.equal(s.count('GetSmartInfo'), smart, what + ': SMART reads');
    assert.equal(s.count('GetLDList') + s.count('GetPDList'), 2, what + ': the two lists');
  }
  s.reset();
  await reader.read({eventCount: 8, force: true, now: t0 + SMART_MS + 2000});
  assert.equal(s.vdIds().length, 7, 'a forced read reads everything');
});

test('SMART is read a few disks at a time, and all is not well until every disk was read', async () => {
  const s = standIn({disks: 40, arrays: 0});
  const reader = new DomainReader(0);
  const reads = [];
  const pending = [];
  for (let round = 0; round < 4; round++) {
    s.reset();
    const data = await reader.read({eventCount: 1, now: 5000 + 2000 * round});
    reads.push(s.count('GetSmartInfo'));
    pending.push(data.smartPending);
  }
  assert.deepEqual(reads, [16, 16, 8, 0]);
  assert.deepEqual(pending, [24, 8, 0, 0]);
});

test('failed tasks: the latest event of a task on an array decides', async () => {
  // Newest first, as GetEventLog gives them.
  const events = (list) => list.map(([code, devname], i) => ({time: 100 + list.length - i, code, devname})).reverse();
  const cases = [
    ['a failed verify', [[9, 'Vault'], [11, 'Vault']], {Vault: ['its verify failed']}],
    ['a failed verify run again and finished', [[11, 'Vault'], [9, 'Vault'], [12, 'Vault']], {Vault: []}],
    ['a sub-array\'s failed rebuild belongs to its array', [[8, 'Deep [2]']], {Deep: ['its rebuild failed']}],
    ['inconsistent data, then a rebuild finished: the verify stays', [[17, 'Vault'], [6, 'Vault']],
     {Vault: ['its verify found inconsistent data']}],
    ['a scheduled task not started, then the task started', [[113, 'Vault'], [9, 'Vault']], {Vault: []}],
    ['aborted by hand is no failure', [[10, 'Vault'], [5, 'Vault']], {Vault: []}],
    ['two arrays apart', [[20, 'One'], [15, 'Two'], [21, 'One']], {One: [], Two: ['its initialization failed']}],
  ];
  for (const [what, list, expected] of cases) {
    standIn({events: events(list)});
    const failures = new TaskFailures();
    await failures.update(list.length);
    for (const [name, texts] of Object.entries(expected)) {
      assert.deepEqual(failures.of(name).map((f) => f.text), texts, what + ': ' + name);
    }
  }
  // New events are read on top; a cleared log starts over.
  const s = standIn({events: events([[11, 'Vault']])});
  const failures = new TaskFailures();
  await failures.update(1);
  s.machine.events.unshift({time: 200, code: 12, devname: 'Vault'});
  await failures.update(2);
  assert.deepEqual(failures.of('Vault'), []);
  s.machine.events.splice(0);
  s.machine.events.push({time: 300, code: 15, devname: 'Vault'});
  await failures.update(1);
  assert.deepEqual(failures.of('Vault').map((f) => f.text), ['its initialization failed']);
});
