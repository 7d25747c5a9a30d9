// SPDX-License-Identifier: GPL-3.0-or-later
// Types of the Zekora package's library (index.js, index.cjs).

/** A score from the side to move: centipawns, or moves to mate (negative: being mated). */
export type Score =
  | { cp: number; mate?: undefined; bound?: 'lower' | 'upper' }
  | { mate: number; cp?: undefined; bound?: 'lower' | 'upper' };

/** The fields of a UCI "info" line. */
export interface Info {
  depth?: number;
  seldepth?: number;
  nodes?: number;
  nps?: number;
  time?: number;
  hashfull?: number;
  multipv?: number;
  currmovenumber?: number;
  currmove?: string;
  score?: Score;
  /** The principal variation, moves in UCI notation ('e2e4', 'e7e8q'). */
  pv?: string[];
  string?: string;
  [field: string]: unknown;
}

/** Parses an "info" line; null for any other line. */
export function parseInfo(line: string): Info | null;

export interface StartOptions {
  /** The table's size in megabytes (the engine's default is 64); the engine takes about this
   * much memory and a few megabytes more from the start. */
  hash?: number;
  /** The folder of the engine's files (zekora-blocking.js, zekora-suspending.js) when the site
   * serves them itself, relative to the page; under Node a path or a file URL. */
  url?: string | URL;
  /** Milliseconds to wait for the engine to answer as it starts (default 10000). */
  timeout?: number;
}

export interface SearchResult {
  /** The move found, in UCI notation; '(none)' or '0000' when there is none. */
  bestmove: string;
  /** The reply the engine expects, if it gave one. */
  ponder?: string;
  /** The last info line with a principal variation, parsed; null if the search gave none. */
  info: Info | null;
}

export class Zekora {
  /** Starts an engine (a Worker in a page, a thread under Node); resolves once it has answered
   * "uci" and "isready". */
  static start(options?: StartOptions): Promise<Zekora>;
  /** The build it runs: 'blocking' (a thread of its own) or 'suspending' (a page without
   * SharedArrayBuffer). */
  readonly build: 'blocking' | 'suspending';
  /** Calls listener with every line the engine writes; returns the function that stops it. */
  onLine(listener: (line: string) => void): () => void;
  /** Sends any UCI command. */
  send(command: string): void;
  /** Resolves once the engine has answered "isready". */
  ready(): Promise<void>;
  /** Sends "go" with these arguments ('depth 12', 'movetime 1000', 'infinite', 'wtime ...')
   * and resolves at "bestmove". One search at a time: "stop" ends an infinite one. */
  go(args?: string): Promise<SearchResult>;
  /** Ends the engine, a search in progress too. */
  quit(): Promise<void>;
}
