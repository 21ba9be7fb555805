// One-line summaries of the engine state, so that a colouring can be followed
// step by step and compared between builds.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "engine/colouring.h"

namespace orvane {

// The colour of every node (set-aside ones included) in number order, one
// letter per node from ".RGYB*".
std::string colourRow(const Colouring& colouring);
// "step K phase A->B result R colours C ring E cand X arc F,L pivot P path H,T cursor U flag G"
std::string traceLine(long step, Phase before, uint16_t result, const Colouring& colouring);

// FNV-1a, 64 bits.
inline uint64_t fnv1a(const std::string& text, uint64_t hash = 1469598103934665603ULL)
{
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ULL;
    return hash;
}

struct TraceSummary {
    long steps = 0;          // single steps until the colouring finished
    int verify = -1;         // the verification result
    uint64_t digest = 1469598103934665603ULL;  // FNV-1a of every trace line, each ended by '\n'
    std::string colours;     // the final colour row
};
// Steps the colouring one press at a time until it finishes, or until `most`
// presses: single steps have no time limit, and a colouring that cycles would
// otherwise never end (verify then stays -1).
long stepLimit(const Map& map);  // 20 presses a node: far beyond any colouring seen
TraceSummary stepToEnd(Colouring& colouring, long most);
TraceSummary stepToEnd(Colouring& colouring);

}  // namespace orvane
