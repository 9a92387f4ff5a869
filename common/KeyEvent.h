#pragma once
// What happened to a key. One name for the registry's change kinds, the token
// library's device changes and the passes that follow them; the values are
// the ones the registry and the token library have always used.
enum ZTKeyEvent {
    ZT_KEY_EVENT_INIT = 1,  // no single change: read every key again
    ZT_KEY_EVENT_ADDED = 2,
    ZT_KEY_EVENT_REMOVED = 3,
};
