// The one place that talks to the service. A session that has expired sends the user back to
// the login page instead of leaving a half-filled view.

export class RpcError extends Error {
  constructor(method, code, message) {
    super(message || 'no answer');
    this.method = method;
    this.code = code;
  }
}

export class SessionExpired extends Error {
  constructor() {
    super('Your session has expired. Please log in again.');
  }
}

let nextId = 1;
let expiredHandler = () => {};

// A call that gets no answer in this time is reported instead of waiting for ever; a test mail
// may wait for a slow mail server.
const ANSWER_MS = 60000;
const SLOW_ANSWER_MS = {SendMail: 300000};

// Called once by the session module: what happens when the service no longer knows us.
export function onSessionExpired(handler) {
  expiredHandler = handler;
}

export async function call(method, params = {}) {
  const waitMs = SLOW_ANSWER_MS[method] || ANSWER_MS;
  const abort = new AbortController();
  const timer = setTimeout(() => abort.abort(), waitMs);
  let res;
  let reply;
  try {
    try {
      res = await fetch('/', {
        method: 'POST',
        headers: {'Content-Type': 'application/json'},
        credentials: 'same-origin',
        body: JSON.stringify({jsonrpc: '2.0', id: nextId++, method, params}),
        signal: abort.signal,
      });
    } catch (e) {
      throw new RpcError(method, 0, abort.signal.aborted
        ? 'the service did not answer within ' + waitMs / 1000 + ' seconds' : 'the service cannot be reached');
    }
    try {
      reply = await res.json();
    } catch (e) {
      throw new RpcError(method, res.status, abort.signal.aborted
        ? 'the service did not answer within ' + waitMs / 1000 + ' seconds'
        : 'the service sent an answer that is not JSON (HTTP ' + res.status + ')');
    }
  } finally {
    clearTimeout(timer);
  }
  if (reply.error) {
    if (reply.error.code === 401 && method !== 'Login') {
      const expired = new SessionExpired();
      expiredHandler(expired);
      throw expired;
    }
    throw new RpcError(method, reply.error.code, reply.error.message);
  }
  return reply.result;
}

// Several calls at once; the first failure rejects.
export function callAll(calls) {
  return Promise.all(calls.map(([method, params]) => call(method, params)));
}

// Sends one file as a form upload to `path`, reporting progress as 0..100. Resolves with the
// service's JSON-RPC result; rejects with an RpcError that carries a readable sentence.
export function upload(path, file, onProgress) {
  return new Promise((resolve, reject) => {
    const xhr = new XMLHttpRequest();
    xhr.open('POST', path);
    xhr.upload.addEventListener('progress', (event) => {
      if (event.lengthComputable && event.total > 0) {
        onProgress(Math.floor((event.loaded * 100) / event.total));
      }
    });
    xhr.upload.addEventListener('load', () => onProgress(100));
    xhr.addEventListener('error', () => {
      reject(new RpcError('FlashUpdate', 0, 'the upload was broken off before the service answered'));
    });
    xhr.addEventListener('load', () => {
      if (xhr.status === 413) {
        reject(new RpcError('FlashUpdate', 413, 'the file is larger than the service accepts'));
        return;
      }
      if (xhr.status !== 200) {
        reject(new RpcError('FlashUpdate', xhr.status,
                            'the service found no firmware file in the upload (HTTP ' + xhr.status + ')'));
        return;
      }
      let reply;
      try {
        reply = JSON.parse(xhr.responseText);
      } catch (e) {
        reject(new RpcError('FlashUpdate', 0, 'the service sent an answer that is not JSON'));
        return;
      }
      if (reply.error) {
        if (reply.error.code === 401) {
          const expired = new SessionExpired();
          expiredHandler(expired);
          reject(expired);
          return;
        }
        reject(new RpcError('FlashUpdate', reply.error.code, reply.error.message));
        return;
      }
      resolve(reply.result);
    });
    const form = new FormData();
    form.append('firmware', file, file.name);
    xhr.send(form);
  });
}
