// Dialogs follow the state: a disk pulled or an array deleted elsewhere takes its dialog with
// it, the dialog's own unplug and delete close it with a notice, and successful actions say so.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {fixture, login, screenshot, apiSession, until, watchCalls} from './harness.mjs';

const f = fixture({scenario: 'follow.json'});
before(f.before);
after(f.after);

async function diskId(api, serial) {
  for (const id of await api('GetPDList', {domain: 0})) {
    if ((await api('GetVDInfo', {domain: 0, id})).disk.serial === serial) return id;
  }
  throw new Error('no disk ' + serial);
}

function openDisk(page, id) {
  return page.locator('tr[data-disk-id="' + id + '"] button').click();
}

test('a disk pulled while its dialog is open closes the dialog with a notice', async () => {
  const api = await apiSession(f.service.port);
  const id = await diskId(api, 'GOES-AWAY');
  const page = await f.chromium.newPage();
  await login(page, f.service);
  await openDisk(page, id);
  const dialog = page.getByRole('dialog', {name: 'Disk 1/3'});
  const locate = dialog.getByRole('button', {name: 'Locate on'});
  await locate.waitFor();
  assert.equal(await locate.isEnabled(), true, 'the disk is there, its buttons work');
  await screenshot(page, 'follow-disk-before');

  // The emulator pulls the disk at its 25th tick; the overview's next reload sees it gone.
  await dialog.waitFor({state: 'detached', timeout: 60000});
  assert.equal(await page.locator('dialog[open]').count(), 0, 'no dialog is left with buttons for the disk');
  const notice = page.locator('.notices .message.error');
  await notice.waitFor();
  assert.equal(await notice.locator('span').textContent(),
               'Disk 1/3 is no longer there (unplugged, removed or failed); its dialog was closed.');
  assert.ok(!(await api('GetPDList', {domain: 0})).includes(id));
  assert.equal(await page.locator('tr[data-disk-id="' + id + '"]').count(), 0);
  await screenshot(page, 'follow-disk-pulled');
  assert.deepEqual(page.errors, []);
});

test('spare, initialise and unplug from the disk dialog each say what happened', async () => {
  const api = await apiSession(f.service.port);
  const id = await diskId(api, 'FREE-X');
  const page = await f.chromium.newPage();
  await login(page, f.service);
  await openDisk(page, id);
  const dialog = page.getByRole('dialog', {name: 'Disk 1/4'});
  const line = dialog.locator('.subcard', {hasText: 'Actions'}).locator('.message');

  await dialog.getByRole('button', {name: 'Assign as spare'}).click();
  await until('the spare notice', async () =>
    (await line.textContent()) === 'Disk 1/4 is now a spare: a critical array can rebuild onto it.');
  assert.ok(((await api('GetVDInfo', {domain: 0, id})).disk.flags >>> 0) & 0x80000000);
  await dialog.getByRole('button', {name: 'Unassign spare'}).click();
  await until('the unassign notice', async () => (await line.textContent()) === 'Disk 1/4 is no longer a spare; it is free.');
  assert.equal(((await api('GetVDInfo', {domain: 0, id})).disk.flags >>> 0) & 0x80000000, 0);

  await dialog.getByRole('button', {name: 'Initialize'}).click();
  await page.getByRole('dialog', {name: 'Initialize disk 1/4?'}).getByRole('button', {name: 'Initialize disk'}).click();
  await until('the initialise notice', async () =>
    (await line.textContent()) === 'Disk 1/4 was initialized and can now be used in arrays.');
  await screenshot(page, 'follow-disk-initialized');

  await dialog.getByRole('button', {name: 'Unplug'}).click();
  await page.getByRole('dialog', {name: 'Unplug disk 1/4?'}).getByRole('button', {name: 'Unplug'}).click();
  await dialog.waitFor({state: 'detached'});
  const notice = page.locator('.notices .message.done', {hasText: 'Disk 1/4'});
  await notice.waitFor();
  assert.equal(await notice.locator('span').textContent(), 'Disk 1/4 was unplugged; it comes back with the next rescan.');
  assert.ok(!(await api('GetPDList', {domain: 0})).includes(id));
  await screenshot(page, 'follow-disk-unplugged');
  assert.deepEqual(page.errors, []);
});

test('an array deleted elsewhere closes its dialog; one deleted from it says so', async () => {
  const api = await apiSession(f.service.port);
  const ids = {};
  for (const id of await api('GetLDList', {domain: 0})) ids[(await api('GetVDInfo', {domain: 0, id})).array.aname] = id;
  const page = await f.chromium.newPage();
  await login(page, f.service);

  const calls = watchCalls(page);
  await page.getByRole('button', {name: 'Manage array Pair', exact: true}).click();
  let dialog = page.getByRole('dialog', {name: 'Array Pair'});
  // The dialog's own question is open when the array goes elsewhere: both close, nothing is sent.
  await dialog.getByRole('button', {name: 'Delete array'}).click();
  const ask = page.getByRole('dialog', {name: 'Delete array Pair?'});
  await ask.waitFor();
  await api('DeleteArray', {domain: 0, id: ids.Pair, options: 0});
  await until('the dialog and its question to close', async () => (await page.locator('dialog').count()) === 0, 40000);
  assert.ok(!calls.includes('DeleteArray'), 'the page sent no deletion: ' + calls.join(' '));
  await page.locator('.notices .message.error', {hasText: 'Array Pair is no longer there; its dialog was closed.'}).waitFor();
  await screenshot(page, 'follow-array-gone');

  await page.getByRole('button', {name: 'Manage array Twin', exact: true}).click();
  dialog = page.getByRole('dialog', {name: 'Array Twin'});
  await dialog.getByRole('button', {name: 'Delete array'}).click();
  await page.getByRole('dialog', {name: 'Delete array Twin?'}).getByRole('button', {name: 'Delete array'}).click();
  await dialog.waitFor({state: 'detached'});
  await page.locator('.notices .message.done', {hasText: 'Array Twin was deleted; its disks are free.'}).waitFor();
  assert.ok(!(await api('GetLDList', {domain: 0})).includes(ids.Twin));
  await page.locator('tr[data-array-id="' + ids.Twin + '"]').waitFor({state: 'detached'});
  await screenshot(page, 'follow-array-deleted');
  assert.deepEqual(page.errors, []);
});

test('a disk that cannot be read keeps no live buttons until it reads again', async () => {
  const api = await apiSession(f.service.port);
  const id = await diskId(api, 'PAIR-A');
  const page = await f.chromium.newPage();
  await login(page, f.service);
  await openDisk(page, id);
  const dialog = page.getByRole('dialog', {name: 'Disk 1/1'});
  await dialog.getByRole('button', {name: 'Locate on'}).waitFor();
  const live = () => dialog.locator('.dialog-body button, .dialog-body select, .dialog-body input')
    .evaluateAll((list) => list.filter((el) => !el.matches(':disabled')).map((el) => el.textContent.trim()));
  assert.ok((await live()).length > 3, 'the buttons work while the disk reads');

  // The disk stays listed but its record no longer reads, as a disk on its way out would.
  const refuse = async (route) => {
    const body = JSON.parse(route.request().postData() || '{}');
    if (body.method === 'GetVDInfo' && body.params && body.params.id === id) {
      await route.fulfill({contentType: 'application/json',
                           body: JSON.stringify({jsonrpc: '2.0', id: body.id, error: {code: -32603, message: 'internal server error'}})});
    } else {
      await route.continue();
    }
  };
  await page.route(f.service.url, refuse);
  await dialog.getByRole('button', {name: 'Locate on'}).click();
  const line = dialog.locator('.subcard', {hasText: 'Actions'}).locator('.message.error');
  await line.waitFor();
  assert.equal(await line.textContent(), 'The disk could not be read: it may have failed or be on its way out. ' +
               'Nothing can be done to it until it can be read again.');
  assert.deepEqual(await live(), [], 'no button acts on the unread disk');
  await screenshot(page, 'follow-disk-unread');

  await page.unroute(f.service.url, refuse);
  await until('the buttons to work again', async () => (await live()).includes('Locate off'), 30000);
  assert.equal(await line.isHidden(), true, 'the read error is gone with the good read');
  assert.deepEqual(page.errors, []);
});
