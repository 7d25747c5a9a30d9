#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Nodes per second of a Zekora program against Glaurung 2.2, side by side.

Each turn gives both engines the same position and "go movetime"; the engines take turns
(the one going first alternates), so both see the same machine. The final "nps" each reports
gives one ratio (Zekora over Glaurung) per turn; the median of those is printed last. Both get
a 64 MB table; Glaurung keeps its default thread count (two) unless --glaurung-threads says
otherwise. Glaurung (Debian package "glaurung") is needed only here.

    tools/vs-glaurung.py [--zekora PROGRAM] [--glaurung PROGRAM] [--glaurung-threads N]
                         [--rounds N] [--movetime MS]
"""
import argparse
import shutil
import statistics
import subprocess
import sys

# Not from the bench: an opening, two middlegames and an endgame.
POSITIONS = [
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bq1rk1/pp3ppp/2nbpn2/3p4/2PP4/2NBPN2/PP3PPP/R2QK2R w KQ - 0 9",
    "r2q1rk1/pp1nbppp/2p1pn2/3p1b2/2PP4/1QN1PN2/PP1B1PPP/R3KB1R w KQ - 2 9",
    "8/5pk1/6p1/3R4/5P1P/r5P1/6K1/8 b - - 0 40",
]

SETUP = {
    "zekora": ["setoption name Hash value 64"],
    "glaurung": ["setoption name Hash value 64", "setoption name OwnBook value false",
                 "setoption name Ponder value false"],
}


def search(program, kind, fen, movetime, extra):
    """Starts the engine afresh, searches the position and returns the last nps it reported."""
    proc = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True, bufsize=1)

    def send(line):
        proc.stdin.write(line + "\n")
        proc.stdin.flush()

    def wait_for(prefix):
        for line in proc.stdout:
            if line.startswith(prefix):
                return line
        raise RuntimeError(f"{program} ended before '{prefix}'")

    send("uci")
    wait_for("uciok")
    for line in SETUP[kind] + extra:
        send(line)
    send("ucinewgame")
    send(f"position fen {fen}")
    send("isready")
    wait_for("readyok")
    send(f"go movetime {movetime}")
    nps = None
    for line in proc.stdout:
        words = line.split()
        if words and words[0] == "info" and "nps" in words:
            nps = int(words[words.index("nps") + 1])
        if words and words[0] == "bestmove":
            break
    send("quit")
    proc.wait(timeout=10)
    if nps is None:
        raise RuntimeError(f"{program} reported no nps")
    return nps


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zekora", default="build/bin/zekora64-popcnt")
    parser.add_argument("--glaurung", default=shutil.which("glaurung") or "/usr/games/glaurung")
    parser.add_argument("--glaurung-threads", type=int)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--movetime", type=int, default=2000)
    args = parser.parse_args()

    extra = {"zekora": [], "glaurung": []}
    if args.glaurung_threads:
        extra["glaurung"].append(f"setoption name Threads value {args.glaurung_threads}")
    ratios = []
    for r in range(1, args.rounds + 1):
        for i, fen in enumerate(POSITIONS):
            turn = [("zekora", args.zekora), ("glaurung", args.glaurung)]
            if (r + i) % 2:
                turn.reverse()
            nps = {kind: search(prog, kind, fen, args.movetime, extra[kind]) for kind, prog in turn}
            ratio = nps["zekora"] / nps["glaurung"]
            ratios.append(ratio)
            print(f"round {r} position {i + 1}: zekora {nps['zekora']} nps, "
                  f"glaurung {nps['glaurung']} nps, ratio {ratio:.3f}", flush=True)
    print(f"median ratio {statistics.median(ratios):.3f} "
          f"(range {min(ratios):.3f} to {max(ratios):.3f})")


if __name__ == "__main__":
    sys.exit(main())
