// The overview shows the controllers, arrays and disks with the values the service reports.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {fixture, login, screenshot, apiSession, until} from './harness.mjs';

const f = fixture();
before(f.before);
after(f.after);

// Written apart from the console's own formatting: decimal units, two decimals.
function size(sectorCount) {
  let v = sectorCount * 512;
  const units = ['B', 'KB', 'MB', 'GB', 'TB', 'PB'];
  let u = 0;
  while (v >= 1000 && u < units.length - 1) {
    v /= 1000;
    u++;
  }
  return (u ? v.toFixed(2) : String(v)) + ' ' + units[u];
}

const LEVEL = {'1:0': 'RAID0', '2:0': 'RAID1', '3:0': 'RAID5', '4:0': 'RAID6', '7:0': 'JBOD',
               '1:2': 'RAID10', '1:3': 'RAID50', '1:4': 'RAID60'};

async function cells(row) {
  return (await row.locator('th, td').allTextContents()).map((t) => t.trim());
}

async function checkDomain(page, api, domain) {
  const count = await api('GetControllerCount', {domain});
  for (let id = 0; id < count; id++) {
    const info = await api('GetControllerInfo', {domain, id});
    const card = page.locator('article[data-controller="' + id + '"]');
    const text = await card.textContent();
    for (const value of [info.product_str, info.vendor_str, info.fw_rev, info.sn_str,
                         'Gen' + info.pcie_speed + ' x' + info.pcie_width]) {
      assert.ok(text.includes(value), 'controller ' + id + ' shows ' + value);
    }
    const bbu = await api('GetBBUInfo', {domain, id});
    if (bbu.bbu_installed) {
      assert.ok(text.includes((bbu.voltage_mv / 1000).toFixed(3) + ' V'), 'battery voltage');
      assert.ok(text.includes((bbu.temperature / 100).toFixed(1) + ' °C'), 'battery temperature');
    } else {
      assert.ok(text.includes('No battery unit installed.'));
    }
  }
  for (const id of await api('GetLDList', {domain})) {
    const vd = await api('GetVDInfo', {domain, id});
    if (vd.type !== 1) continue;
    const row = page.locator('tr[data-array-id="' + id + '"]');
    const c = await cells(row);
    assert.equal(c[0], vd.array.aname);
    assert.equal(c[1], LEVEL[vd.array.raidlevel + ':' + vd.array.sub_raidlevel]);
    assert.equal(c[2], size(vd.capacity));
    assert.equal(c[3], 'Normal');
  }
  const disks = await api('GetPDList', {domain});
  assert.equal(await page.locator('tr[data-disk-id]').count(), disks.length, 'one row per disk');
  for (const id of disks) {
    const vd = await api('GetVDInfo', {domain, id});
    const c = await cells(page.locator('tr[data-disk-id="' + id + '"]'));
    assert.equal(c[1], vd.disk.model);
    assert.equal(c[2], vd.disk.serial);
    assert.equal(c[3], size(vd.capacity));
    const spare = (vd.disk.flags & 0x80000000) !== 0;
    const member = vd.disk.parents.some((p) => p);
    // Failed, locked, not initialised or erasing: not free for a new array.
    const unusable = (vd.disk.flags & (0x1 | 0x8 | 0x10000 | 0x80000)) !== 0;
    const role = spare ? 'Spare' : member ? 'Member of ' : unusable ? 'Unusable' : 'Free';
    assert.equal(c[5].startsWith(role), true, 'role of disk ' + id + ': ' + c[5]);
  }
}

test('the overview lists every controller, array and disk of each domain as the API reports them', async () => {
  const page = await f.chromium.newPage();
  const api = await apiSession(f.service.port);
  await login(page, f.service);
  await page.locator('tr[data-array-id]').first().waitFor();
  await checkDomain(page, api, 0);
  await screenshot(page, 'overview-domain0');

  // The second domain through the picker: the hardware-RAID controller with its battery.
  assert.equal(await api('GetDomainCount'), 2);
  await page.getByLabel('Domain').selectOption('1');
  await page.locator('article[data-controller="0"]', {hasText: 'AX 3808'}).waitFor();
  await page.locator('tr[data-array-id]').first().waitFor();
  await checkDomain(page, api, 1);
  const pcache = await api('GetPCacheSize', {domain: 1});
  assert.ok((await page.locator('.pcache').textContent()).includes(pcache + ' sectors'));
  await screenshot(page, 'overview-domain1');
  assert.deepEqual(page.errors, []);
});

test('a narrow window keeps the page inside its width; wide tables scroll in their own box', async () => {
  const page = await f.chromium.newPage({width: 420, height: 800});
  await login(page, f.service);
  await page.locator('tr[data-array-id]').first().waitFor();
  // Wide tables scroll inside their box instead of widening the page.
  const pageWidth = await page.evaluate(() => document.documentElement.scrollWidth);
  assert.ok(pageWidth <= 420, 'page width ' + pageWidth);
  // Every tab and the title bar's buttons stay inside the window.
  for (const control of [...await page.locator('.tab').all(), page.getByRole('button', {name: 'Log out'})]) {
    const box = await control.boundingBox();
    assert.ok(box.x >= 0 && box.x + box.width <= 420, (await control.textContent()) + ' at ' + JSON.stringify(box));
  }
  await screenshot(page, 'overview-narrow');
  await page.getByRole('button', {name: /^Manage array /}).first().click();
  const dialog = page.getByRole('dialog', {name: /^Array /});
  await dialog.locator('dl.facts').waitFor();
  const box = await dialog.boundingBox();
  assert.ok(box.x >= 0 && box.x + box.width <= 420, 'the dialog fits: ' + JSON.stringify(box));
  await screenshot(page, 'array-dialog-narrow');
  await page.keyboard.press('Escape');
  await page.getByRole('link', {name: 'Settings'}).click();
  await page.locator('#page-settings .grid input').first().waitFor();
  const settingsWidth = await page.evaluate(() => document.documentElement.scrollWidth);
  assert.ok(settingsWidth <= 420, 'settings width ' + settingsWidth);
  await screenshot(page, 'settings-narrow');
  assert.deepEqual(page.errors, []);
});

test('the battery test starts and stops, and the preserved cache is cleared after confirmation', async () => {
  const page = await f.chromium.newPage();
  const api = await apiSession(f.service.port);
  await login(page, f.service);
  await page.getByLabel('Domain').selectOption('1');
  const card = page.locator('article[data-controller="0"]', {hasText: 'AX 3808'});
  await card.waitFor();
  await card.getByRole('button', {name: 'Start discharge test'}).click();
  await card.getByRole('button', {name: 'Stop discharge test'}).waitFor();
  assert.ok((await card.locator('.battery .badge').textContent()).startsWith('Discharge test running'));
  assert.notEqual((await api('GetBBUInfo', {domain: 1, id: 0})).bbu_status & 0x4, 0);
  await card.getByRole('button', {name: 'Stop discharge test'}).click();
  await card.getByRole('button', {name: 'Start discharge test'}).waitFor();

  const size = await api('GetPCacheSize', {domain: 1});
  assert.ok(size > 0);
  await page.getByRole('button', {name: 'Clear preserved cache'}).click();
  const confirm = page.getByRole('dialog', {name: 'Clear the preserved cache?'});
  assert.ok((await confirm.textContent()).includes(size + ' sectors of data that did not reach the disks'));
  await confirm.getByRole('button', {name: 'Clear preserved cache'}).click();
  await page.locator('.pcache', {hasText: '0 sectors'}).waitFor();
  assert.equal(await api('GetPCacheSize', {domain: 1}), 0);

  await card.getByRole('button', {name: 'Disable battery unit'}).click();
  const ask = page.getByRole('dialog', {name: 'Disable the battery unit?'});
  assert.ok((await ask.textContent()).includes('The battery unit of Arkmoor AX 3808 HW will be disabled.'));
  await ask.getByRole('button', {name: 'Disable battery unit'}).click();
  await until('the disabled battery', async () => (await card.locator('.battery .badge').textContent()) === 'Disabled');
  assert.equal((await api('GetBBUInfo', {domain: 1, id: 0})).bbu_status & 0x1, 0);
  await screenshot(page, 'battery-and-cache');
  assert.deepEqual(page.errors, []);
});

// Controls on screen that a screen reader could not name.
function unnamedControls(page) {
  return page.evaluate(() => {
    const visible = (el) => el.getClientRects().length > 0;
    const named = (el) => {
      if (el.getAttribute('aria-label')) return true;
      if (el.tagName === 'BUTTON' || el.tagName === 'A') return el.textContent.trim() !== '';
      return el.labels && el.labels.length > 0 && [...el.labels].some((l) => l.textContent.trim() !== '');
    };
    return [...document.querySelectorAll('input, select, textarea, button, a[href], progress')]
      .filter((el) => visible(el) && !named(el))
      .map((el) => el.outerHTML.slice(0, 120));
  });
}

test('every control on every page and dialog carries a name', async () => {
  const page = await f.chromium.newPage();
  await login(page, f.service);
  await page.locator('tr[data-array-id]').first().waitFor();
  assert.deepEqual(await unnamedControls(page), [], 'overview');
  for (const [tab, ready] of [['Event log', '#page-events tbody tr'], ['Settings', '#page-settings .grid input'],
                              ['Firmware', '#page-firmware option']]) {
    await page.getByRole('link', {name: tab}).click();
    await page.locator(ready).first().waitFor({state: 'attached'});
    assert.deepEqual(await unnamedControls(page), [], tab);
  }
  await page.getByRole('link', {name: 'Settings'}).click();
  await page.getByRole('button', {name: 'Add recipient'}).click();
  await page.getByRole('button', {name: 'Add scheduled task'}).click();
  await page.getByRole('dialog', {name: 'Add scheduled task'}).waitFor();
  for (const repeat of ['1', '2', '3', '4']) {
    await page.getByLabel('Repeat').selectOption(repeat);
    assert.deepEqual(await unnamedControls(page), [], 'task dialog, repeat ' + repeat);
  }
  await page.keyboard.press('Escape');

  await page.getByRole('link', {name: 'Overview'}).click();
  for (const [open, name] of [[/^Manage array /, /^Array /], [/^Manage disk /, /^Disk /], ['Create array', 'Create array']]) {
    await page.getByRole('button', {name: open}).first().click();
    const dialog = page.getByRole('dialog', {name});
    await dialog.locator('button').first().waitFor();
    await dialog.locator('dl.facts, fieldset').first().waitFor();
    assert.deepEqual(await unnamedControls(page), [], String(name));
    await page.keyboard.press('Escape');
    await dialog.waitFor({state: 'detached'});
  }
  await screenshot(page, 'controls-named');
  assert.deepEqual(page.errors, []);
});

// Last in this file: it stops the service.
test('a service that stops answering is reported over the last overview it gave', async () => {
  const page = await f.chromium.newPage();
  await login(page, f.service);
  await page.locator('tr[data-array-id]').first().waitFor();
  const rows = await page.locator('tr[data-array-id]').count();
  await f.service.stop();
  const message = page.locator('#page-overview .message.error');
  await message.waitFor({timeout: 20000});
  assert.equal(await message.textContent(), 'The overview could not be refreshed: the service cannot be reached');
  assert.equal(await page.locator('tr[data-array-id]').count(), rows, 'the last readings stay on screen');
  await screenshot(page, 'service-gone');
  assert.deepEqual(page.errors, []);
});
