// SPDX-License-Identifier: GPL-3.0-or-later
// Types of the Zekora package's level module (levels.js, levels.cjs).
import type { Info } from './index.js';

export interface Level {
  /** 1 for the weakest, up to LEVELS.length for full strength. */
  level: number;
  /** 'Level 3, about 1600'. */
  label: string;
  /** The estimated rating, where there is one. */
  rating?: number;
  description: string;
  /** The most nodes the level searches for one move. */
  nodes: number;
}

/** The levels, weakest first; the last is full strength. */
export const LEVELS: Level[];

/** A repeatable source of numbers in [0, 1) from a number or a string. */
export function createRandom(seed?: number | string): () => number;

/** Anything that takes UCI commands and gives their lines: a Zekora engine, for one. */
export interface UciEngine {
  send(command: string): void;
  onLine(listener: (line: string) => void): () => void;
}

/** Chooses a move at the given level for the side to move in position (what follows
 * "position ": 'startpos moves e2e4', 'fen ... moves ...'). Resolves the move in UCI notation
 * and the parsed info of the search that chose it (null where none was needed), or null once
 * signal has aborted it and the engine is idle. The engine must be idle when it is called. */
export function chooseMove(
  engine: UciEngine,
  position: string,
  level: number,
  options?: { random?: () => number; signal?: AbortSignal },
): Promise<{ move: string; info: Info | null } | null>;
