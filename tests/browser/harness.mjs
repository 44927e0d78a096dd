// Shared set-up of the console's browser tests: the emulator build of the service on a free
// port with its own configuration folder, Debian's Chromium driven by playwright-core, and a
// screenshot of each test's final state under the build folder.
import {spawn} from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import {chromium} from 'playwright-core';

export const SERVICE = process.env.HXRAIDSVC_EMU;
export const SHOTS = process.env.CONSOLE_SCREENSHOT_DIR || path.join(os.tmpdir(), 'console-screenshots');
export const SMTP_SCRIPT = process.env.SMTP_SERVER_SCRIPT;
export const SCENARIOS = path.join(path.dirname(new URL(import.meta.url).pathname), 'scenarios');

const CHROMIUM_ARGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                       '--disable-background-networking', '--disable-component-update', '--disable-sync'];

export function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const {port} = server.address();
      server.close(() => resolve(port));
    });
  });
}

export async function until(what, check, timeoutMs = 20000) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) throw new Error('timed out waiting for ' + what);
    await new Promise((r) => setTimeout(r, 100));
  }
}

// JSON-RPC from the test itself, with or without a session cookie.
export async function rpc(port, method, params = {}, cookie = '') {
  const res = await fetch('http://127.0.0.1:' + port + '/', {
    method: 'POST',
    headers: {'Content-Type': 'application/json', Cookie: cookie},
    body: JSON.stringify({jsonrpc: '2.0', id: 1, method, params}),
  });
  const reply = await res.json();
  return {reply, cookie: res.headers.get('set-cookie') || ''};
}

export async function apiSession(port, password = '') {
  const {reply, cookie} = await rpc(port, 'Login', {username: 'admin', password});
  if (reply.error) throw new Error('API login failed: ' + reply.error.message);
  const sid = /sid=([0-9a-f]+)/.exec(cookie)[1];
  const session = 'sid=' + sid;
  return async (method, params) => {
    const r = await rpc(port, method, params, session);
    if (r.reply.error) throw new Error(method + ': ' + r.reply.error.message);
    return r.reply.result;
  };
}

// The service over the emulator; `scenario` names a file under scenarios/ (else the built-in one).
export async function startService({scenario, configJson} = {}) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'console-test-'));
  const config = path.join(dir, 'cfg');
  fs.mkdirSync(config, {mode: 0o700});
  if (configJson) fs.writeFileSync(path.join(config, 'config.json'), JSON.stringify(configJson));
  const env = {...process.env};
  if (scenario) env.ARK_EMULATOR_SCENARIO = path.join(SCENARIOS, scenario);
  else delete env.ARK_EMULATOR_SCENARIO;
  let lastError = null;
  for (let tries = 0; tries < 3; tries++) {
    const port = await freePort();
    const child = spawn(SERVICE, ['-debug', '-port', String(port), '-config', config, '-log',
                                  path.join(dir, 'service.log')], {env, stdio: ['ignore', 'ignore', 'pipe']});
    let stderr = '';
    child.stderr.on('data', (chunk) => { stderr += chunk; });
    let exited = false;
    child.on('exit', () => { exited = true; });
    try {
      await until('the service on port ' + port, async () => {
        if (exited) throw new Error('the service ended: ' + stderr);
        try {
          const {reply} = await rpc(port, 'GetServerInfo');
          return reply.result !== undefined;
        } catch (e) {
          return false;
        }
      }, 30000);
      return {
        port, dir, config, url: 'http://127.0.0.1:' + port + '/',
        configFile: () => JSON.parse(fs.readFileSync(path.join(config, 'config.json'), 'utf8')),
        async stop() {
          if (!exited) {
            child.kill('SIGINT');
            await until('the service to stop', () => exited, 30000).catch(() => child.kill('SIGKILL'));
          }
          fs.rmSync(dir, {recursive: true, force: true});
        },
      };
    } catch (e) {
      lastError = e;
      if (!exited) child.kill('SIGKILL');
    }
  }
  throw lastError;
}

// Chromium with a fresh profile folder of its own; each page starts without cookies.
export async function startBrowser() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'console-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: CHROMIUM_ARGS,
    acceptDownloads: true,
    viewport: {width: 1280, height: 800},
  });
  return {
    context,
    async newPage(viewport = {width: 1280, height: 800}) {
      await context.clearCookies();
      const page = await context.newPage();
      await page.setViewportSize(viewport);
      page.errors = [];
      page.on('pageerror', (e) => page.errors.push(e.message));
      return page;
    },
    async close() {
      await context.close();
      fs.rmSync(profile, {recursive: true, force: true});
    },
  };
}

export async function screenshot(page, name) {
  fs.mkdirSync(SHOTS, {recursive: true});
  // With a dialog open, what the user sees is the window, not the page under the backdrop.
  const dialogOpen = await page.locator('dialog[open]').count();
  await page.screenshot({path: path.join(SHOTS, name + '.png'), fullPage: !dialogOpen});
}

export async function login(page, service, password = '') {
  await page.goto(service.url);
  const form = page.locator('#login-form');
  await form.getByLabel('Password').fill(password);
  await form.getByRole('button', {name: 'Log in'}).click();
  await page.locator('#console').waitFor({state: 'visible'});
}

// One service and one browser for the tests of a file; each test gets a fresh page.
export function fixture(options) {
  const f = {};
  f.before = async () => {
    f.service = await startService(options);
    f.chromium = await startBrowser();
  };
  f.after = async () => {
    if (f.chromium) await f.chromium.close();
    if (f.service) await f.service.stop();
  };
  return f;
}

// The project's loopback SMTP server (tests/smtp/smtp_server.py): {ports, spool(), stop()}.
export async function startSmtp(user, password) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'console-smtp-'));
  const child = spawn('/usr/bin/python3', [SMTP_SCRIPT, dir, user, password], {stdio: ['pipe', 'pipe', 'pipe']});
  let out = '';
  child.stdout.on('data', (chunk) => { out += chunk; });
  const ports = await until('the SMTP server', () => {
    const m = /^READY (.*)$/m.exec(out);
    return m ? JSON.parse(m[1]) : null;
  }, 30000);
  return {
    ports,
    // The messages received so far on `listener`, as text.
    messages(listener) {
      const spool = path.join(dir, 'spool');
      if (!fs.existsSync(spool)) return [];
      return fs.readdirSync(spool).filter((n) => n.startsWith(listener + '-') && n.endsWith('.eml')).sort()
        .map((n) => fs.readFileSync(path.join(spool, n), 'utf8'));
    },
    async stop() {
      child.stdin.end();
      child.kill('SIGTERM');
      fs.rmSync(dir, {recursive: true, force: true});
    },
  };
}

// The JSON-RPC methods the page sends from now on, in order (a list that grows as it sends).
export function watchCalls(page) {
  const methods = [];
  page.on('request', (request) => {
    if (request.method() !== 'POST') return;
    try {
      methods.push(JSON.parse(request.postData() || '{}').method);
    } catch (e) {
      // an upload, not a call
    }
  });
  return methods;
}

// Counts the page's JSON-RPC calls by method, from the requests it sends (not from timing).
export function countCalls(page) {
  let counts = new Map();
  page.on('request', (request) => {
    if (request.method() !== 'POST' || new URL(request.url()).pathname !== '/') return;
    let method = '?';
    try {
      method = JSON.parse(request.postData() || '{}').method || '?';
    } catch (e) {
      // Not JSON-RPC: counted under '?'.
    }
    counts.set(method, (counts.get(method) || 0) + 1);
  });
  return {
    total: () => [...counts.values()].reduce((a, b) => a + b, 0),
    of: (method) => counts.get(method) || 0,
    byMethod: () => Object.fromEntries([...counts.entries()].sort((a, b) => b[1] - a[1])),
    reset() {
      counts = new Map();
    },
  };
}
