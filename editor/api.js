// The editing service's HTTP API and its push channel. Requests carry the
// session cookie the service set when the page was first opened; every
// answer comes back as {ok, status, body} (never thrown), so callers decide
// what a refusal means. The push channel reconnects by itself.

// One JSON request; a network failure is status 0 with an error body.
// `started` is a fetch the page began before its modules loaded.
async function request(method, path, body, started) {
  const init = { method, headers: {}, credentials: 'same-origin', cache: 'no-store' };
  if (body !== undefined) {
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  let response;
  try {
    response = await (started || fetch(path, init));
  } catch (error) {
    return { ok: false, status: 0, body: { error: 'no connection to the service' } };
  }
  let parsed = null;
  try {
    parsed = await response.json();
  } catch (error) {
    parsed = { error: `the service answered ${response.status} without JSON` };
  }
  return { ok: response.ok, status: response.status, body: parsed };
}

// The request index.html started for `name`, handed out once.
function preloaded(name) {
  const early = window.tesselPreload && window.tesselPreload[name];
  if (early) window.tesselPreload[name] = null;
  return early || undefined;
}

export const api = {
  show: () => request('GET', '/api/show', undefined, preloaded('show')),
  waveform: () => request('GET', '/api/waveform', undefined, preloaded('waveform')),
  onsets: () => request('GET', '/api/onsets'),
  // ops as in the API; group merges consecutive edits into one undo step.
  edit: (ops, group) => request('POST', '/api/edit', group ? { ops, group } : { ops }),
  undo: () => request('POST', '/api/undo', {}),
  redo: () => request('POST', '/api/redo', {}),
  transport: (change) => request('POST', '/api/transport', change),
};

// The push channel: calls onMessage with each parsed message, onState with
// 'open' or 'lost'. After a loss it tries again, sooner at first.
export class LiveChannel {
  constructor(onMessage, onState) {
    this.onMessage = onMessage;
    this.onState = onState;
    this.delay = 200;
    this.socket = null;
    this.connect();
  }

  connect() {
    const scheme = location.protocol === 'https:' ? 'wss:' : 'ws:';
    let socket;
    try {
      socket = new WebSocket(`${scheme}//${location.host}/api/live`);
    } catch (error) {
      this.retry();
      return;
    }
    this.socket = socket;
    let opened = false;
    socket.onopen = () => {
      opened = true;
      this.delay = 200;
      this.onState('open');
    };
    socket.onmessage = (event) => {
      let message;
      try {
        message = JSON.parse(event.data);
      } catch (error) {
        return;
      }
      if (message && typeof message.type === 'string') this.onMessage(message);
    };
    socket.onclose = () => {
      if (this.socket !== socket) return;
      this.socket = null;
      this.onState('lost', opened);
      this.retry();
    };
  }

  retry() {
    const wait = this.delay;
    this.delay = Math.min(this.delay * 2, 2000);
    setTimeout(() => this.connect(), wait);
  }
}
