// The page's small courtesies: nothing it loads is missing, the focus starts at the page's
// heading after login, and a login the service refuses for a reason of its own says that reason.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {fixture, login, screenshot, rpc} from './harness.mjs';

const f = fixture();
before(f.before);
after(f.after);

test('nothing the page loads is missing, the icon included, and the focus starts at the heading', async () => {
  const page = await f.chromium.newPage();
  const missing = [];
  page.on('response', (response) => {
    if (response.status() >= 400) missing.push(response.status() + ' ' + response.url());
  });
  await login(page, f.service);
  await page.locator('tr[data-array-id]').first().waitFor();
  // The icon is inline: no request can miss it.
  assert.match(await page.locator('link[rel="icon"]').getAttribute('href'), /^data:image\/svg\+xml,/);
  const focused = await page.evaluate(() => ({tag: document.activeElement.tagName,
                                               text: document.activeElement.textContent}));
  assert.equal(focused.tag, 'H2');
  assert.match(focused.text, /^Domain 0/);
  // Reloading the icon as the browser would: it draws.
  const drawn = await page.evaluate(() => new Promise((resolve) => {
    const img = new Image();
    img.onload = () => resolve(img.naturalWidth > 0);
    img.onerror = () => resolve(false);
    img.src = document.querySelector('link[rel="icon"]').href;
  }));
  assert.ok(drawn, 'the inline icon is a picture');
  for (const tab of ['Event log', 'Settings', 'Firmware', 'Overview']) {
    await page.getByRole('link', {name: tab}).click();
    await page.waitForTimeout(500);
  }
  assert.deepEqual(missing, []);
  await screenshot(page, 'page-basics-focus');
  assert.deepEqual(page.errors, []);
});

test('a login refused for too many failures says so as the service puts it', async () => {
  const page = await f.chromium.newPage();
  // The service's answer once it locks logins out (its text stands as it is).
  await page.route(f.service.url, async (route) => {
    const body = route.request().postData() || '';
    if (route.request().method() !== 'POST' || !body.includes('"Login"')) return route.continue();
    return route.fulfill({status: 200, contentType: 'application/json; charset=utf-8', body: JSON.stringify({
      jsonrpc: '2.0', id: JSON.parse(body).id, error: {code: 401, message: 'too many failed logins, try again later'}})});
  });
  await page.goto(f.service.url);
  const form = page.locator('#login-form');
  await form.getByLabel('Password').fill('anything');
  await form.getByRole('button', {name: 'Log in'}).click();
  const message = page.locator('#login-message');
  await message.waitFor({state: 'visible'});
  assert.equal(await message.textContent(), 'Login failed: too many failed logins, try again later');
  assert.equal(await page.locator('#console').isVisible(), false);
  await screenshot(page, 'login-locked-out');
  assert.deepEqual(page.errors, []);
});

// Last in this file: it locks logins from this address out for a while.
test('the lockout the service sets after repeated failures is shown as it stands', async () => {
  const page = await f.chromium.newPage();
  await page.goto(f.service.url);
  const fail = async () => (await rpc(f.service.port, 'Login', {username: 'admin', password: 'wrong'})).reply.error;
  // Five failures in a row lock the address out for a second; each failure once the wait has
  // passed doubles it. Three more make it 8 s, time enough for the page's attempt.
  for (let i = 0; i < 5; i++) await fail();
  for (const waitMs of [1000, 2000, 4000]) {
    await page.waitForTimeout(waitMs + 200);
    await fail();
  }
  assert.deepEqual(await fail(), {code: 401, message: 'too many failed logins, try again later'});
  const form = page.locator('#login-form');
  await form.getByLabel('Password').fill('');
  await form.getByRole('button', {name: 'Log in'}).click();
  const message = page.locator('#login-message');
  await message.waitFor({state: 'visible'});
  assert.equal(await message.textContent(), 'Login failed: too many failed logins, try again later');
  assert.equal(await page.locator('#console').isVisible(), false, 'even the right password waits');
  await screenshot(page, 'login-locked-out-by-service');
  assert.deepEqual(page.errors, []);
});
