// What one open page costs the controllers on a large machine (128 disks, 32 arrays over two
// domains): JSON-RPC calls counted over a minute of the overview, idle and with a rebuild
// running. The figures are printed; the checks hold the page to its way of reading: devices
// are read again on a change or a slow full read, SMART once a minute per disk at most.
import {test} from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {startService, startBrowser, login, apiSession, until, countCalls, SHOTS} from './harness.mjs';

const MINUTE = 60000;

async function machineSize(api) {
  let devices = 0;
  let disks = 0;
  for (let domain = 0; domain < await api('GetDomainCount'); domain++) {
    const ld = await api('GetLDList', {domain});
    const pd = await api('GetPDList', {domain});
    devices += new Set([...ld, ...pd]).size;
    disks += pd.length;
  }
  return {devices, disks};
}

// One minute of the overview after it has settled, counted by method.
async function countMinute(scenario, name, ready, check) {
  const service = await startService({scenario});
  const chromium = await startBrowser();
  try {
    const api = await apiSession(service.port);
    const size = await machineSize(api);
    const page = await chromium.newPage();
    const calls = countCalls(page);
    await login(page, service);
    await page.locator('tr[data-array-id]').first().waitFor();
    // Every disk's SMART status known (a few disks a round), or a problem found.
    await page.locator('#health .health-line:not(.busy), #health .health-line li').first().waitFor({timeout: 60000});
    if (ready) await ready(page);
    // Counted from here: the first reads of every device are behind us.
    calls.reset();
    await page.waitForTimeout(MINUTE);
    const total = calls.total();
    const byMethod = calls.byMethod();
    console.log(name + ': ' + total + ' calls in one minute over ' + size.devices + ' devices: ' +
                JSON.stringify(byMethod));
    // The window, not the whole page of 128 disks: the health line and the arrays are what count.
    fs.mkdirSync(SHOTS, {recursive: true});
    await page.screenshot({path: path.join(SHOTS, 'refresh-budget-' + name + '.png')});
    if (check) await check(page);
    assert.deepEqual(page.errors, []);
    return {total, calls, size, page};
  } finally {
    await chromium.close();
    await service.stop();
  }
}

// The page's reading pattern, as budgets: a round every 2 s (event count and the shown domain's
// two lists), the other domain's lists every 10 s, each device at most three times a minute
// (the slow full read every 30 s, once more at the window's edges), each disk's SMART once.
function budget(size, domains) {
  const rounds = MINUTE / 2000 + 1;
  return {
    GetEventLogCount: rounds,
    lists: 2 * rounds + 2 * (domains - 1) * (MINUTE / 10000 + 1),
    GetVDInfo: 3 * size.devices,
    GetSmartInfo: size.disks + 8,
  };
}

function checkBudget(result, extraVDInfo = 0) {
  const b = budget(result.size, 2);
  const {calls} = result;
  assert.ok(calls.of('GetEventLogCount') <= b.GetEventLogCount, 'event count asked ' + calls.of('GetEventLogCount'));
  const lists = calls.of('GetLDList') + calls.of('GetPDList');
  assert.ok(lists <= b.lists, 'device lists asked ' + lists);
  assert.ok(calls.of('GetVDInfo') <= b.GetVDInfo + extraVDInfo, 'device records read ' + calls.of('GetVDInfo'));
  assert.ok(calls.of('GetSmartInfo') <= b.GetSmartInfo, 'SMART read ' + calls.of('GetSmartInfo'));
}

// The whole minute: the budgets above plus the controllers, battery units and preserved cache
// of each full read (five calls a domain). A page that read every device every round sent
// 2612 calls a minute over this machine, its rounds slowed down by the reads themselves.
function totalBudget(size, domains, extra = 0) {
  const b = budget(size, domains);
  return b.GetEventLogCount + b.lists + b.GetVDInfo + b.GetSmartInfo + 3 * 5 * domains + extra;
}

test('an idle overview of 128 disks and 32 arrays stays within its call budget', async () => {
  const result = await countMinute('large.json', 'idle', null, async (page) => {
    assert.equal((await page.locator('#health').textContent()).trim(), 'All is well: 2 domains, 32 arrays, 128 disks.');
  });
  checkBudget(result);
  assert.ok(result.total <= totalBudget(result.size, 2), 'idle total ' + result.total);
  // Nothing changed, so no more than the slow full reads: SMART and records, not every round.
  assert.ok(result.calls.of('GetVDInfo') >= result.size.devices, 'the slow full read still happens');
});

test('with a rebuild running, only the rebuilding array is read every round on top', async () => {
  const result = await countMinute('large-rebuild.json', 'rebuild', async (page) => {
    await until('the rebuild on screen', async () =>
      (await page.locator('tr[data-array-id]', {hasText: 'Bulk01'}).locator('progress').count()) > 0, 30000);
  }, async (page) => {
    // The failed disk and the rebuild are named on the health line, with the rebuild's progress.
    const text = await page.locator('#health').textContent();
    assert.match(text, /Domain 0: array Bulk01 is rebuilding \(\d+ %\)/);
    assert.match(text, /Domain 0: disk 1\/E1\/2 \(HD7200 4T0A610 Bulk-001\) has failed/);
  });
  // The rebuilding array (one record) every round, and the shown domain's full reads.
  checkBudget(result, MINUTE / 2000 + 1);
  assert.ok(result.total <= totalBudget(result.size, 2, MINUTE / 2000 + 1), 'total with a rebuild ' + result.total);
});
