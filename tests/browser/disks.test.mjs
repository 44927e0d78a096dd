// Disk work from the overview: the SMART table with failing attributes marked, the switches,
// spares and the keyboard road to them.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {fixture, login, screenshot, apiSession, until} from './harness.mjs';

const f = fixture();
before(f.before);
after(f.after);

async function diskBySerial(api, serial) {
  for (const id of await api('GetPDList', {domain: 0})) {
    const vd = await api('GetVDInfo', {domain: 0, id});
    if (vd.disk.serial === serial) return vd;
  }
  throw new Error('no disk ' + serial);
}

test('the SMART table shows what the service reads and marks attributes at or below threshold', async () => {
  const api = await apiSession(f.service.port);
  // The default machine's disk whose SMART threshold is exceeded.
  const disk = await diskBySerial(api, 'ZFL0ABCD');
  const smart = await api('GetSmartInfo', {domain: 0, id: disk.id});
  const page = await f.chromium.newPage();
  await login(page, f.service);
  await page.locator('tr[data-disk-id="' + disk.id + '"] button').click();
  const dialog = page.getByRole('dialog', {name: /^Disk /});
  await dialog.getByRole('button', {name: 'Show SMART attributes'}).click();
  const rows = dialog.locator('.smart tbody tr');
  await until('the SMART rows', async () => (await rows.count()) === smart.attrs.length);
  assert.equal(await dialog.locator('.smart p.badge').textContent(),
               smart.status ? 'SMART status: healthy' : 'SMART status: threshold exceeded');
  let failing = 0;
  for (const a of smart.attrs) {
    const row = dialog.locator('.smart tr[data-attr="' + a.id + '"]');
    const cells = (await row.locator('th, td').allTextContents()).map((t) => t.trim());
    assert.deepEqual([cells[0], cells[2], cells[3], cells[4], cells[5], cells[6], cells[7]],
                     [String(a.id), String(a.current), String(a.worst), String(a.threshold), a.raw, a.type, a.update]);
    assert.ok(cells[1].startsWith(a.name));
    const low = a.threshold > 0 && a.current <= a.threshold;
    assert.equal((await row.getAttribute('class')) === 'failing', low, 'attribute ' + a.id);
    if (low) failing++;
  }
  assert.ok(failing > 0, 'this disk has an attribute at or below its threshold');
  await dialog.locator('.smart tr.failing').first().scrollIntoViewIfNeeded();
  await screenshot(page, 'smart-table');
  assert.deepEqual(page.errors, []);
});

test('write cache, spare and SMART switches reach the disk, by keyboard alone', async () => {
  const api = await apiSession(f.service.port);
  const disk = await diskBySerial(api, 'SSDN81230123480BG');  // free, its write cache off
  assert.equal(disk.disk.flags & 0x8000, 0);
  const page = await f.chromium.newPage();
  await login(page, f.service);
  const manage = page.getByRole('button', {name: 'Manage disk ' + await page.locator('tr[data-disk-id="' + disk.id + '"] th').textContent()});
  await manage.focus();
  await page.keyboard.press('Enter');
  const dialog = page.getByRole('dialog', {name: /^Disk /});
  await dialog.getByRole('button', {name: 'Turn on Write cache'}).waitFor();

  // Tab from the dialog's start to the write-cache switch and press it.
  const target = dialog.getByRole('button', {name: 'Turn on Write cache'});
  for (let i = 0; i < 20 && !(await target.evaluate((el) => el === document.activeElement)); i++) {
    await page.keyboard.press('Tab');
  }
  assert.ok(await target.evaluate((el) => el === document.activeElement), 'the switch is reached with Tab');
  await page.keyboard.press('Enter');
  await dialog.getByRole('button', {name: 'Turn off Write cache'}).waitFor();
  assert.notEqual((await api('GetVDInfo', {domain: 0, id: disk.id})).disk.flags & 0x8000, 0);

  await dialog.getByRole('button', {name: 'Assign as spare'}).click();
  await dialog.getByRole('button', {name: 'Unassign spare'}).waitFor();
  assert.ok(((await api('GetVDInfo', {domain: 0, id: disk.id})).disk.flags >>> 0) & 0x80000000);
  await until('the overview to show the spare', async () =>
    (await page.locator('tr[data-disk-id="' + disk.id + '"] td').nth(4).textContent()) === 'Spare');
  await dialog.getByRole('button', {name: 'Unassign spare'}).click();
  await dialog.getByRole('button', {name: 'Assign as spare'}).waitFor();

  await dialog.getByRole('button', {name: 'Locate on'}).click();
  await dialog.getByText(/^The locate light of disk .* is on\.$/).waitFor();

  await dialog.getByRole('button', {name: 'Turn off SMART'}).click();
  await dialog.getByRole('button', {name: 'Turn on SMART'}).waitFor();
  await dialog.getByRole('button', {name: 'Show SMART attributes'}).click();
  const error = dialog.locator('.message.error');
  await error.waitFor();
  assert.equal(await error.textContent(), 'SMART attributes could not be read: SMART feature not enabled');
  await error.scrollIntoViewIfNeeded();
  await screenshot(page, 'disk-dialog');
  await page.keyboard.press('Escape');
  await dialog.waitFor({state: 'detached'});
  assert.deepEqual(page.errors, []);
});
