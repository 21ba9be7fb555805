// The fast candidate search of ring growth: the frontier holds every
// uncoloured node with at least two coloured neighbours, as bits by the rank
// the whole-list scan gives them (distance from the centre, then node-list
// position), so the first of them that touches the ring along one stretch is
// the node the scan would choose. Contacts only grow and coloured nodes stay
// coloured while a colouring runs, so a node enters the frontier once, when
// its second contact is counted, and leaves once coloured.
#pragma once
#include <bit>
#include <cstdint>
#include <vector>
#include "engine/nodefields.h"

namespace orvane {

class Frontier {
public:
    // Ranks the listed nodes and enters the ones the start triangle touches twice.
    void start(const Map& map, const NodeList& list, const NodeFields& fields);
    void stop() { active_ = false; }
    bool active() const { return active_; }

    // v has just counted its second contact.
    void enter(NodeIndex v)
    {
        const uint32_t r = rank_[v];
        bits_[r >> 6] |= uint64_t{1} << (r & 63);
        if ((r >> 6) < lowest_) lowest_ = r >> 6;
    }

    // The first uncoloured node of the frontier by rank that `accepts`
    // (the contact-arc test); noNode when none does.
    template <typename Accepts>
    NodeIndex candidate(const NodeFields& fields, Accepts accepts)
    {
        while (lowest_ < bits_.size() && bits_[lowest_] == 0) ++lowest_;
        for (size_t w = lowest_; w < bits_.size(); ++w) {
            for (uint64_t word = bits_[w]; word; word &= word - 1) {
                const int bit = std::countr_zero(word);
                const NodeIndex v = byRank_[(w << 6) + static_cast<size_t>(bit)];
                if (fields.colour(v) != colourNone) {
                    bits_[w] &= ~(uint64_t{1} << bit);
                    continue;
                }
                if (accepts(v)) return v;
            }
        }
        return noNode;
    }

private:
    std::vector<uint64_t> bits_;   // bit r: the node of rank r is in
    std::vector<uint32_t> rank_;   // by node
    std::vector<NodeIndex> byRank_;
    std::vector<uint32_t> count_;  // scratch of the ranking: by distance,
    std::vector<uint64_t> keys_;   // or the distance, list position and node of each node
    size_t lowest_ = 0;            // no bit is set in the words below this one
    bool active_ = false;
};

}  // namespace orvane
