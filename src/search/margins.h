// SPDX-License-Identifier: GPL-3.0-or-later
// Every depth threshold, reduction and score margin of the tree search, in one place.
// Depths are in half plies (one ply = 2); scores in centipawns.
#pragma once

namespace zekora {

// Depth ranges of the node kinds: below these a node hands over to the next lighter kind.
constexpr int PvMinDepth = 2;       // PV nodes below it go to quiescence PV
constexpr int FullNodeMinDepth = 7; // cut and all nodes below it go to shallow nodes
constexpr int ShallowMinDepth = 2;  // shallow nodes below it go to quiescence

// Extensions.
constexpr int OnePly = 2;
constexpr int CheckExtension = 2;

// Null move at cut and all nodes.
constexpr int NullReduction = 8;      // nullDepth = depth - 8 ...
constexpr int DeepNullReduction = 10; // ... or depth - 10 when eval clears beta by the margin
constexpr int DeepNullEvalMargin = 160;
constexpr int ShallowNullMinDepth = 4; // shallow nodes try the null move from this depth

// Internal iterative deepening: depth from which a node without a table move first
// searches itself shallower, and by how much shallower.
constexpr int PvIidMinDepth = 8;
constexpr int CutIidMinDepth = 10;
constexpr int IidReduction = 4;

// Shallow-node pruning, margins per half ply of depth.
constexpr int RazorMarginPerDepth = 65;
constexpr int StaticNullMarginPerDepth = 55;

// Move-count pruning and late-move reductions.
constexpr int FutilityMargin = 335;
constexpr int FirstLateMove = 4;         // moves 1 to 3 are never reduced or pruned
constexpr int LateTacticalReduction = 2; // bad captures late in the list
constexpr int LastPruningTableDepth = 255;

// Quiescence: lowest quiescence depth at which quiet checks are tried.
constexpr int QuiesceCheckDepth = 0;
constexpr int QuiescePVCheckDepth = 0;

// Delta pruning in zero-window quiescence: when eval + margin < beta the captures of that
// class (and the cheaper ones) cannot reach beta, and best starts at eval + the optimistic
// gain instead.
constexpr int PawnDeltaMargin = 150;
constexpr int PawnDeltaScore = 95;
constexpr int MinorDeltaMargin = 498;
constexpr int MinorDeltaScore = 308;
constexpr int RookDeltaMargin = 760;
constexpr int RookDeltaScore = 475;

} // namespace zekora
