// The key manager's page protocol: one text request, one text reply
// "Command&&result". Requests go out one at a time.
//
// A site the user has not allowed yet gets no reply until the user answers
// the key manager's question; a refusal (or no answer within a minute) closes
// the connection with code 1008.
'use strict';

// Close code of a site the user (or the site's policy) did not allow.
const KEY_BRIDGE_REFUSED = 1008;
// Without a reply by then, the manager (or the browser) is most likely asking the user.
const KEY_BRIDGE_PERMISSION_HINT_MS = 1000;

class KeyBridgeRefused extends Error {}

// No port answered; reason says why, as far as the page can tell:
// 'absent'     no key manager answers on this computer;
// 'blocked'    the browser blocks this page from reaching programs on this
//              computer (its site settings, or no policy for the site);
// 'unanswered' the browser asked the user and got no "Allow";
// 'insecure'   the browser lets only https pages reach this computer.
class KeyBridgeUnreachable extends Error {
  constructor(reason) {
    super(`The key manager cannot be reached (${reason}).`);
    this.reason = reason;
  }
}

class KeyBridge {
  constructor(ports) {
    this.ports = ports;
    this.socket = null;
    this.queue = Promise.resolve();
    this.answered = false;
    // Called when the first request waits for the user's permission.
    this.onWaitingForPermission = () => {};
    // Called when the browser holds the connection to ask the user.
    this.onBrowserAsking = () => {};
  }

  // Tries the ports in order; the manager listens on the first free one.
  async connect() {
    let asked = false;
    const hint = setTimeout(async () => {
      if (await KeyBridge.browserPermission() === 'prompt') {
        asked = true;
        this.onBrowserAsking();
      }
    }, KEY_BRIDGE_PERMISSION_HINT_MS);
    try {
      for (const port of this.ports) {
        try {
          this.socket = await KeyBridge.open(`ws://127.0.0.1:${port}/`);
          this.port = port;
          this.answered = false;
          return port;
        } catch (e) {
          // next port
        }
      }
    } finally {
      clearTimeout(hint);
    }
    throw new KeyBridgeUnreachable(await KeyBridge.whyUnreachable(asked));
  }

  // The browser's local network access permission of this page for programs
  // on this computer: 'granted', 'denied', 'prompt', or null where it has none.
  static async browserPermission() {
    try {
      return (await navigator.permissions.query({ name: 'loopback-network' })).state;
    } catch (e) {
      return null;
    }
  }

  // A page of this computer is never held back by that permission.
  static pageOnThisComputer() {
    const host = location.hostname;
    return location.protocol === 'file:' || host === 'localhost' || host.endsWith('.localhost')
      || /^127\./.test(host) || host === '[::1]';
  }

  static async whyUnreachable(asked) {
    const state = KeyBridge.pageOnThisComputer() ? null : await KeyBridge.browserPermission();
    if (state === 'denied')
      return isSecureContext ? 'blocked' : 'insecure';
    // Still undecided after the browser held the connection: no "Allow".
    if (state === 'prompt' && asked)
      return 'unanswered';
    return 'absent';
  }

  static open(url) {
    return new Promise((resolve, reject) => {
      const socket = new WebSocket(url);
      socket.onopen = () => resolve(socket);
      socket.onerror = () => reject(new Error(`cannot open ${url}`));
    });
  }

  // Sends "Command#&arg1#&arg2&#end" and resolves with the result text.
  request(command, ...args) {
    for (const arg of args) {
      if (arg.includes('#&') || arg.includes('&#end'))
        return Promise.reject(new Error('The text contains characters the key cannot take.'));
    }
    const text = args.length ? `${command}#&${args.join('#&')}&#end` : command;
    const run = () => new Promise((resolve, reject) => {
      if (!this.socket || this.socket.readyState !== WebSocket.OPEN) {
        reject(new Error('Not connected to the key manager.'));
        return;
      }
      const hint = this.answered ? null
        : setTimeout(() => this.onWaitingForPermission(), KEY_BRIDGE_PERMISSION_HINT_MS);
      this.socket.onmessage = (event) => {
        clearTimeout(hint);
        this.answered = true;
        const prefix = `${command}&&`;
        const reply = String(event.data);
        resolve(reply.startsWith(prefix) ? reply.slice(prefix.length) : reply);
      };
      this.socket.onclose = (event) => {
        clearTimeout(hint);
        if (event.code === KEY_BRIDGE_REFUSED)
          reject(new KeyBridgeRefused('This site was not allowed to use your key. '
            + 'Allow it in the key manager\'s question (or forget your earlier choice in its options), then connect again.'));
        else
          reject(new Error('The key manager closed the connection.'));
      };
      this.socket.send(text);
    });
    const result = this.queue.then(run, run);
    this.queue = result.catch(() => undefined);
    return result;
  }
}

// "0" success, "-1" locked, a number the tries left, anything else an error text.
function describePinResult(result) {
  if (result === '0')
    return { ok: true, text: 'done' };
  if (result === '-1')
    return { ok: false, text: 'The PIN is locked (or the key is not ready). Contact your bank.' };
  if (/^[0-9]+$/.test(result))
    return { ok: false, text: `Wrong PIN: ${result} tries left.` };
  return { ok: false, text: result };
}
