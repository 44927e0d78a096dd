// The console's own rules, run in Node without a browser: the member counts Create waits for,
// when write-back is asked about, memory in binary units and the settings' range checks.
import {test} from 'node:test';
import assert from 'node:assert/strict';
import {LEVEL_CHOICES, memberCountProblem, writeBackRisk} from '../../assets/src/levels.js';
import {memory, wholeNumber} from '../../assets/src/format.js';

const level = (key) => LEVEL_CHOICES.find((c) => c.key === key);
// RAID0, RAID1 (at most 2), RAID5, RAID6, JBOD (no limit given: 64).
const DRIVER = {raid_levels: [1, 2, 3, 4, 7], max_mpa: [16, 2, 16, 16, 0], cache_policies: [15, 15, 15, 15, 15]};

test('member counts: what each level needs before Create is offered', () => {
  const cases = [
    ['RAID0', 1, 0, null],
    ['RAID1', 1, 0, 'RAID1 needs at least 2 disks.'],
    ['RAID1', 3, 0, 'RAID1 takes at most 2 disks.'],          // the driver's max_mpa
    ['RAID5', 2, 0, 'RAID5 needs at least 3 disks.'],
    ['RAID5', 3, 0, null],
    ['RAID6', 3, 0, 'RAID6 needs at least 4 disks.'],
    ['RAID6', 17, 0, 'RAID6 takes at most 16 disks.'],
    ['JBOD', 64, 0, null],                                      // max_mpa 0: the request's 64
    ['JBOD', 65, 0, 'JBOD takes at most 64 disks.'],
    ['RAID10', 3, 2, 'RAID10 needs at least 4 disks.'],
    ['RAID10', 5, 2, 'RAID10 needs a multiple of 2 disks.'],
    ['RAID10', 6, 2, null],
    ['RAID50', 6, 2, 'RAID50 needs at least 3 disks per sub-array.'],
    ['RAID50', 5, 3, 'RAID50 needs at least 6 disks.'],
    ['RAID50', 6, 3, null],
    ['RAID60', 68, 4, 'RAID60 takes at most 64 disks.'],
  ];
  for (const [key, count, subdisks, expected] of cases) {
    assert.equal(memberCountProblem(DRIVER, level(key), count, subdisks), expected, key + ' with ' + count + '/' + subdisks);
  }
});

test('write-back is asked about unless a controller has both cache memory and a ready battery', () => {
  const ctrl = (ramsize, bbu) => ({info: {ramsize}, bbu});
  const ready = {bbu_installed: 1, bbu_status: 0x1};
  const cases = [
    [[ctrl(2 ** 31, ready)], null],
    [[ctrl(0, null)], 'has no cache memory and no battery unit'],
    [[ctrl(0, ready)], 'has no cache memory:'],
    [[ctrl(2 ** 31, null)], 'has no battery unit that is ready'],
    [[ctrl(2 ** 31, {bbu_installed: 0, bbu_status: 0x1})], 'has no battery unit that is ready'],
    [[ctrl(2 ** 31, {bbu_installed: 1, bbu_status: 0x9})], 'has no battery unit that is ready'],   // faulted
    [[ctrl(2 ** 31, {bbu_installed: 1, bbu_status: 0x0})], 'has no battery unit that is ready'],   // disabled
    [[ctrl(2 ** 31, {bbu_installed: 1, bbu_status: 0x3})], null],                                   // charging
  ];
  for (const [controllers, expected] of cases) {
    const risk = writeBackRisk(controllers);
    const name = JSON.stringify(controllers);
    if (expected === null) assert.equal(risk, null, name);
    else {
      assert.ok(risk.includes(expected), name + ': ' + risk);
      assert.ok(risk.includes('lost if the power fails'), 'the risk is named');
    }
  }
});

test('memory sizes read in binary units', () => {
  const cases = [[0, '0 B'], [1023, '1023 B'], [1024, '1 KiB'], [2048 * 512, '1 MiB'], [1536 * 2 ** 20, '1.50 GiB'],
                 [2 ** 31, '2 GiB'], [2 ** 40, '1 TiB'], [3 * 2 ** 50, '3072 TiB']];
  for (const [n, expected] of cases) assert.equal(memory(n), expected, String(n));
});

test('a settings field is a whole number within its range, or an error naming it', () => {
  const field = (value) => {
    const attrs = new Map();
    return {value, setAttribute: (k, v) => attrs.set(k, v), removeAttribute: (k) => attrs.delete(k), attrs};
  };
  for (const [text, expected] of [['0', 0], [' 7 ', 7], ['100', 100], ['1e2', 100]]) {
    const input = field(text);
    assert.equal(wholeNumber('Rebuild priority', input, 0, 100, '%'), expected, text);
    assert.equal(input.attrs.has('aria-invalid'), false);
  }
  for (const text of ['', '-3', '101', '2.5', 'ten']) {
    const input = field(text);
    assert.throws(() => wholeNumber('Rebuild priority', input, 0, 100, '%'), (e) => {
      assert.equal(e.message, 'Rebuild priority must be a whole number from 0 to 100 %.');
      assert.equal(e.input, input, 'the error points at the field');
      return true;
    }, text);
    assert.equal(input.attrs.get('aria-invalid'), 'true', text);
  }
  assert.throws(() => wholeNumber('Web console port', field('0'), 1, 65535, ''),
                /^Error: Web console port must be a whole number from 1 to 65535\.$/);
});
