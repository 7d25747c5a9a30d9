// SPDX-License-Identifier: GPL-3.0-or-later
#include "uci/uci.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "search/driver.h"
#include "search/timeman.h"
#include "search/tt.h"
#include "uci/console.h"
#include "uci/setup.h"

#ifndef ZEKORA_BUILD_TAG
#error "ZEKORA_BUILD_TAG must name the build (SP64o, SP64n, SP32o or SP32n)"
#endif

namespace zekora {

int32_t hashMegabytes = 64;
int32_t trafficLimit = TrafficNormal;
int32_t trafficDepthHalfPlies = 20;
bool searchRunning = false;

namespace {

constexpr const char* ProductName = "Zeko";
constexpr const char* Version = ZEKORA_VERSION; // CMake's project version and stage
constexpr const char* AuthorCredit = "the Zekora developers";

constexpr const char* OptionLines[] = {
    "option name Hash type spin default 64 min 1 max 2048 \n",
    ("option name Traffic Limit type combo default Normal var Ultrafast var Fast var Normal "
     "var Analyse var Ignore \n"), // one line in two pieces, not two entries
    "option name Traffic Depth type spin default 10 min 0 max 255 \n",
};

// Searched in this order, each one found overwriting the last.
struct TrafficLimitText {
    const char* text;
    int32_t code;
};
constexpr TrafficLimitText TrafficLimitTexts[] = {
    {"Traffic Limit value Normal", TrafficNormal},
    {"Traffic Limit value Ultrafast", TrafficUltrafast},
    {"Traffic Limit value Fast", TrafficFast},
    {"Traffic Limit value Analyse", TrafficAnalyse},
    {"Traffic Limit value Ignore", TrafficIgnore},
};

// The number written one character after `key` (normally a blank) wherever `key` appears in
// the line, read like strtoll: leading blanks, a sign, digits. 0 when the key is missing.
// A key at the very end of the line reads as 0 instead of reading past the line.
long long numberAfter(const char* line, const char* key) {
    const char* found = std::strstr(line, key);
    if (!found) return 0;
    const char* text = found + std::strlen(key);
    if (*text) ++text;
    return std::strtoll(text, nullptr, 10);
}

// Out-of-range option values saturate rather than wrap; the users of the value clamp it.
int32_t saturate32(long long value) {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return int32_t(value);
}

void commandUci(const char*) {
    sendText("%s", buildIdText());
    for (const char* option : OptionLines) sendText("%s", option);
    sendText("uciok\n");
}

void commandIsReady(const char*) { sendText("readyok\n"); }

// A new game keeps everything: the table, the history and the position stay as they are.
void commandNewGame(const char*) {}

// Until the first "position" (or "debugFen") there is none.
bool positionGiven = false;

void commandPosition(const char* line) {
    setupPosition(line);
    positionGiven = true;
}

void commandGo(const char* line) {
    // A second search started from inside the first would take over the first one's abort
    // point; such a "go" is ignored.
    if (searchRunning) return;
    // Interfaces and other engines take a "go" without a position for the start position.
    if (!positionGiven) commandPosition("position startpos");
    // A position that cannot be searched soundly gets the answer for "no move" at once.
    if (!currentPositionUsable) {
        sendText("bestmove a1a1 \n");
        return;
    }
    parseGo(line);
    prepareSearch(int(currentPosition.sideToMove));
    runSearch();
}

void commandPonderHit(const char*) {
    limits.ponderhitReceived = 1;
    startClock();
}

void commandStop(const char*) { limits.stopRequested = 1; }

void commandQuit(const char*) { endProcess(EXIT_SUCCESS); }

void commandSetOption(const char* line) { applySetOption(line); }

void commandDebugFen(const char* line) {
    (void)line;
    setupPosition(""); // the built-in debug text is empty: no pieces, White to move
    positionGiven = true;
}

struct Command {
    const char* word;
    bool exact; // the whole line must be the word; otherwise the line need only begin with it
    void (*action)(const char* line);
};

constexpr Command Commands[] = {
    {"uci", true, commandUci},
    {"isready", true, commandIsReady},
    {"ucinewgame", true, commandNewGame},
    {"position", false, commandPosition},
    {"go", false, commandGo},
    {"ponderhit", true, commandPonderHit},
    {"stop", true, commandStop},
    {"quit", true, commandQuit},
    {"setoption", false, commandSetOption},
    {"debugFen", false, commandDebugFen},
};

bool matches(const char* line, const Command& command) {
    if (command.exact) return std::strcmp(line, command.word) == 0;
    return std::strncmp(line, command.word, std::strlen(command.word)) == 0;
}

} // namespace

// No line can match two commands, so dispatch ends at the first match. That also keeps a
// line from being looked at again after a search, when a command polled inside the search
// has already reused the input buffer.
void dispatchCommand(const char* line) {
    for (const Command& command : Commands)
        if (matches(line, command)) {
            command.action(line);
            return;
        }
}

const char* buildIdText() {
    static char text[256];
    std::snprintf(text, sizeof text, "id name %s %s %s \nid author %s \n", ProductName,
                  ZEKORA_BUILD_TAG, Version, AuthorCredit);
    return text;
}

void applySetOption(const char* line) {
    if (std::strstr(line, "Hash value")) {
        hashMegabytes = saturate32(numberAfter(line, "Hash value"));
        resizeTable(hashMegabytes);
        clearTable();
    }
    for (const TrafficLimitText& entry : TrafficLimitTexts)
        if (std::strstr(line, entry.text)) trafficLimit = entry.code;
    if (std::strstr(line, "Traffic Depth value"))
        trafficDepthHalfPlies =
            saturate32(2LL * saturate32(numberAfter(line, "Traffic Depth value")));
}

void parseGo(const char* line) {
    limits = SearchLimits{};
    // "searchmoves" is accepted and its list ignored: the search always considers every
    // legal move.
    if (std::strstr(line, "ponder")) limits.ponder = 1;
    if (std::strstr(line, "infinite")) limits.infinite = 1;
    limits.depth = uint16_t(numberAfter(line, "depth"));
    limits.mate = int16_t(numberAfter(line, "mate"));
    limits.whiteTime = numberAfter(line, "wtime");
    limits.blackTime = numberAfter(line, "btime");
    limits.whiteIncrement = numberAfter(line, "winc");
    limits.blackIncrement = numberAfter(line, "binc");
    limits.nodeLimit = uint64_t(numberAfter(line, "nodes"));
    limits.moveTime = numberAfter(line, "movetime");
    limits.movesToGo = uint16_t(numberAfter(line, "movestogo"));
}

} // namespace zekora
