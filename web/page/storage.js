// SPDX-License-Identifier: GPL-3.0-or-later
// What survives a reload: the settings, the game against Zekora and the analysis board, in
// localStorage under one key. A browser that refuses storage (private modes, full quota) only
// loses that.
const KEY = 'zekora-page';

export function loadState() {
  try {
    return JSON.parse(localStorage.getItem(KEY)) ?? {};
  } catch {
    return {};
  }
}

export function saveState(state) {
  try {
    localStorage.setItem(KEY, JSON.stringify(state));
  } catch {
    // Nothing to do: the page goes on without it.
  }
}
