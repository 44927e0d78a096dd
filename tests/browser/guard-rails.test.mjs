// The risky dialogs check what they can before sending: Create waits for enough member disks
// and asks before write-back without protection, the rebuild picker offers the spare and only
// disks large enough, rename refuses an empty name.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {fixture, login, screenshot, apiSession, until, watchCalls} from './harness.mjs';

const f = fixture({scenario: 'guard.json'});
before(f.before);
after(f.after);

async function disksBySerial(api) {
  const map = new Map();
  for (const id of await api('GetPDList', {domain: 0})) {
    const vd = await api('GetVDInfo', {domain: 0, id});
    map.set(vd.disk.serial, vd);
  }
  return map;
}

async function arrayByName(api, name) {
  for (const id of await api('GetLDList', {domain: 0})) {
    const vd = await api('GetVDInfo', {domain: 0, id});
    if (vd.type === 1 && vd.array.aname === name) return vd;
  }
  return null;
}

function memberBox(dialog, id) {
  return dialog.locator('fieldset.members input[value="' + id + '"]');
}

test('Create stays shut until the level has its disks, points out odd members and asks before unprotected write-back', async () => {
  const api = await apiSession(f.service.port);
  const disks = await disksBySerial(api);
  const page = await f.chromium.newPage();
  const calls = watchCalls(page);
  await login(page, f.service);
  await page.locator('tr[data-array-id]').first().waitFor();
  await page.getByRole('button', {name: 'Create array'}).click();
  const dialog = page.getByRole('dialog', {name: 'Create array'});
  const create = dialog.getByRole('button', {name: 'Create array'});
  await dialog.getByLabel('Name').fill('Small5');
  await dialog.getByLabel('RAID level').selectOption('RAID5');
  await memberBox(dialog, disks.get('SMALL-A').id).check();
  await memberBox(dialog, disks.get('SMALL-B').id).check();
  await dialog.getByText('RAID5 needs at least 3 disks.').waitFor();
  assert.equal(await create.isDisabled(), true, 'two disks do not make a RAID5');
  // Enter in the name field does not get round the rule either.
  await dialog.getByLabel('Name').press('Enter');
  await screenshot(page, 'guard-create-too-few');

  // The SMART verdicts are read once as the dialog opens; the failing disk is marked.
  const failing = dialog.locator('fieldset.members label', {hasText: 'SMART-BAD'});
  await until('the SMART mark', async () => (await failing.textContent()).includes('(SMART threshold exceeded)'));
  const healthy = dialog.locator('fieldset.members label', {hasText: 'FREE-4T'});
  assert.ok(!(await healthy.textContent()).includes('SMART'), 'a healthy disk is not marked');

  // A solid-state disk far smaller than the rest is pointed out; so is the failing disk once chosen.
  await memberBox(dialog, disks.get('SSD-480').id).check();
  assert.equal(await create.isDisabled(), false);
  const warnings = dialog.locator('.member-warnings .message.warn');
  await until('the member warnings', async () => (await warnings.count()) === 2);
  const said = (await warnings.allTextContents()).join('\n');
  assert.match(said, /mix solid-state and hard disks/);
  assert.match(said, /1\/4 \(480\.\d\d GB\) is much smaller than the largest chosen disk \(2\.00 TB\)/);
  await memberBox(dialog, disks.get('SMART-BAD').id).check();
  await until('the SMART warning', async () => (await warnings.allTextContents()).some((t) => t.includes('1/6: SMART threshold exceeded')));
  await screenshot(page, 'guard-create-warnings');
  await memberBox(dialog, disks.get('SSD-480').id).uncheck();
  await memberBox(dialog, disks.get('SMART-BAD').id).uncheck();
  await memberBox(dialog, disks.get('SMALL-C').id).check();
  await until('no member warnings', async () => (await warnings.count()) === 0);

  // Write-back on a controller with neither cache memory nor battery: said, and asked.
  await dialog.getByLabel('Cache policy').selectOption({label: 'Write-back'});
  await until('the write-back risk', async () => (await warnings.allTextContents()).some((t) => t.includes('no cache memory and no battery unit')));
  await create.click();
  const ask = page.getByRole('dialog', {name: 'Use write-back without protection?'});
  assert.match(await ask.textContent(), /data the host counts as written is lost if the power fails/);
  await screenshot(page, 'guard-create-write-back');
  await ask.getByRole('button', {name: 'Cancel'}).click();
  await ask.waitFor({state: 'detached'});
  assert.ok(!calls.includes('CreateArray'), 'nothing was sent: ' + calls.join(' '));

  // The controller refuses the first creation without a reason; the dialog says what to check.
  await dialog.getByLabel('Cache policy').selectOption({label: 'Write-through'});
  await create.click();
  const refusal = dialog.locator('.message.error');
  await refusal.waitFor();
  assert.equal(await refusal.textContent(), 'The controller refused to create the array: check the disks\' state and size.');
  await screenshot(page, 'guard-create-refused');
  assert.equal(calls.filter((m) => m === 'CreateArray').length, 1);

  await create.click();
  await dialog.waitFor({state: 'detached'});
  await page.locator('.notices', {hasText: 'Array Small5 was created.'}).waitFor();
  await page.locator('tr[data-array-id]', {hasText: 'Small5'}).waitFor();
  const made = await arrayByName(api, 'Small5');
  assert.ok(made, 'the service lists Small5');
  assert.equal(made.array.raidlevel, 3);
  assert.equal(made.cache_policy, 1);
  assert.equal(calls.filter((m) => m === 'CreateArray').length, 2);
  await screenshot(page, 'guard-create-done');
  assert.deepEqual(page.errors, []);
});

test('the rebuild picker takes the spare first and offers only disks as large as the members', async () => {
  const api = await apiSession(f.service.port);
  const page = await f.chromium.newPage();
  await login(page, f.service);
  const row = page.locator('tr[data-array-id]', {hasText: 'Vault'});
  await until('Vault to be critical', async () => (await row.locator('.badge').textContent()) === 'Critical', 30000);
  const disks = await disksBySerial(api);
  const vault = await arrayByName(api, 'Vault');
  const present = vault.array.members.map((id) => [...disks.values()].find((x) => x.id === id)).filter(Boolean);
  const smallest = Math.min(...present.map((x) => x.capacity));
  const spare = disks.get('SPARE-4T');
  // What may carry the rebuild, read from the service: free or spare, and large enough.
  const usable = [...disks.values()].filter((x) => {
    const f = x.disk.flags >>> 0;
    const free = (x.disk.parents || []).every((p) => !p) && (f & 0x800b0009) === 0;
    return free || (f & 0x80000000) !== 0;
  });
  const expected = usable.filter((x) => x.capacity >= smallest).map((x) => String(x.id)).sort();
  assert.ok(usable.length > expected.length, 'the scenario has free disks too small for the array');

  await page.getByRole('button', {name: 'Manage array Vault', exact: true}).click();
  const dialog = page.getByRole('dialog', {name: 'Array Vault'});
  const pick = dialog.getByLabel('Disk to rebuild onto');
  await pick.waitFor();
  assert.equal(await pick.inputValue(), String(spare.id), 'the spare is chosen');
  const offered = (await pick.locator('option').evaluateAll((os) => os.map((o) => o.value))).sort();
  assert.deepEqual(offered, expected);
  for (const serial of ['SSD-480', 'SSD-960']) assert.ok(!offered.includes(String(disks.get(serial).id)), serial + ' is hidden');
  const hidden = usable.length - expected.length;
  assert.ok((await dialog.locator('.subcard', {hasText: 'Rebuild'}).textContent())
    .includes(hidden + ' disks are not offered: smaller than the smallest member'));

  const bad = disks.get('SMART-BAD');
  const badOption = pick.locator('option[value="' + bad.id + '"]');
  await until('the SMART mark', async () => (await badOption.textContent()).includes('(SMART threshold exceeded)'));
  await pick.selectOption(String(bad.id));
  await dialog.getByText('a rebuild onto it may fail').waitFor();
  await screenshot(page, 'guard-rebuild-picker');
  await pick.selectOption(String(spare.id));
  await dialog.getByRole('button', {name: 'Rebuild onto this disk'}).click();
  await dialog.getByText('Rebuild of array Vault onto disk 1/8 started.').waitFor();
  await dialog.getByRole('button', {name: 'Stop rebuild'}).waitFor();
  const after = await api('GetVDInfo', {domain: 0, id: vault.id});
  assert.ok(after.array.members.includes(spare.id), 'the spare took the missing place');
  await screenshot(page, 'guard-rebuild-started');
  assert.deepEqual(page.errors, []);
});

test('an empty name is refused in the dialog and Enter renames', async () => {
  const api = await apiSession(f.service.port);
  const page = await f.chromium.newPage();
  const calls = watchCalls(page);
  await login(page, f.service);
  await page.getByRole('button', {name: 'Manage array Vault', exact: true}).click();
  await page.getByRole('dialog', {name: 'Array Vault'}).waitFor();
  // The dialog's title follows the name, so it is found by being open.
  const dialog = page.locator('dialog[open]');
  const name = dialog.getByLabel('New name');
  await until('the name field', async () => (await name.inputValue()) === 'Vault');
  await name.fill('   ');
  await name.press('Enter');
  const line = dialog.locator('.subcard', {hasText: 'New name'}).locator('.message');
  await until('the refusal', async () => (await line.textContent()) === 'Not renamed: give the array a name');
  assert.ok(!calls.includes('SetArrayName'), 'nothing was sent');
  assert.equal(await name.evaluate((el) => el === document.activeElement), true, 'the field keeps the focus');
  await screenshot(page, 'guard-rename-empty');

  await name.fill('Strongbox');
  await name.press('Enter');
  await until('the rename', async () => (await line.textContent()) === 'The array is now called Strongbox.');
  await page.getByRole('dialog', {name: 'Array Strongbox'}).waitFor();
  assert.ok(await arrayByName(api, 'Strongbox'), 'the service has the new name');
  await screenshot(page, 'guard-rename-done');
  assert.deepEqual(page.errors, []);
});

test('expanding an array offers only free disks at least as large as its smallest member', async () => {
  const api = await apiSession(f.service.port);
  const disks = await disksBySerial(api);
  const small = await arrayByName(api, 'Small5');
  assert.ok(small, 'the first test made Small5');
  const members = [...disks.values()].filter((x) => small.array.members.includes(x.id));
  const smallest = Math.min(...members.map((x) => x.capacity));
  const page = await f.chromium.newPage();
  await login(page, f.service);
  await page.getByRole('button', {name: 'Manage array Small5', exact: true}).click();
  await page.getByRole('dialog', {name: 'Array Small5'}).getByRole('button', {name: 'Expand or migrate'}).click();
  const dialog = page.getByRole('dialog', {name: 'Expand or migrate array Small5'});
  const boxes = dialog.locator('fieldset.members input[type="checkbox"]');
  await boxes.first().waitFor();
  const offered = (await boxes.evaluateAll((list) => list.map((b) => Number(b.value)))).sort();
  const free = [...disks.values()].filter((x) => (x.disk.parents || []).every((p) => !p) &&
                                                  ((x.disk.flags >>> 0) & 0x800b0009) === 0);
  const expected = [...members, ...free.filter((x) => x.capacity >= smallest)].map((x) => x.id).sort();
  assert.deepEqual(offered, expected);
  const tooSmall = free.filter((x) => x.capacity < smallest);
  assert.ok(tooSmall.length > 0, 'the SSDs are smaller than the 2 TB members');
  for (const x of tooSmall) assert.ok(!offered.includes(x.id), x.disk.serial + ' is not offered');
  await dialog.getByText(tooSmall.length + ' free disks are not offered: smaller than the smallest member (2.00 TB).').waitFor();
  // Small5 is still initialising, so the controller will not size a transform of it; the
  // dialog says why instead of the service's bare "internal server error".
  await dialog.locator('.message.error').waitFor();
  assert.equal(await dialog.locator('.message.error').textContent(),
               'The controller refuses this transform: the array must be idle (no task running, not critical) ' +
               'and the added disks free and large enough.');
  await screenshot(page, 'guard-expand-picker');
  await dialog.getByRole('button', {name: 'Cancel'}).click();
  assert.deepEqual(page.errors, []);
});
