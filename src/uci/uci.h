// SPDX-License-Identifier: GPL-3.0-or-later
// The command interpreter: option values, the command table, "setoption" and "go" parsing.
#pragma once

#include <cstdint>

namespace zekora {

// Codes of the "Traffic Limit" option, from the fewest info lines to no limit at all.
enum TrafficLimitCode : int32_t {
    TrafficUltrafast = 0,
    TrafficFast = 1,
    TrafficNormal = 2,
    TrafficAnalyse = 3,
    TrafficIgnore = 4,
};

extern int32_t hashMegabytes;
extern int32_t trafficLimit;
// The "Traffic Depth" option is given in plies and kept in the search's half plies.
extern int32_t trafficDepthHalfPlies;

// Set by the search driver while a search runs; commands then arrive from its time check.
extern bool searchRunning;

void dispatchCommand(const char* line);
const char* buildIdText();
void applySetOption(const char* line);
void parseGo(const char* line);

} // namespace zekora
