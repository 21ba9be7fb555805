// Scratch fields cleared "on every node". From preparation to completion the
// fast paths note which nodes they gave a value, so that a clear touches only
// those and leaves exactly the state a whole-list clear leaves. The first
// clear of each field in a colouring walks the whole list (a cleared
// colouring keeps the values its earlier run left), and so does every clear
// on the reference paths or outside a colouring.
#pragma once
#include <vector>
#include "engine/nodefields.h"

namespace orvane {

class ScratchField {
public:
    // A colouring starts: tracking on the fast paths, no node known clean.
    void begin(bool tracking, size_t nodes)
    {
        tracking_ = tracking;
        clean_ = false;
        touched_.clear();
        // A fill notes each node it reaches: room for a whole map's worth.
        if (tracking) touched_.reserve(nodes);
    }
    void end() { tracking_ = false; }

    bool tracking() const { return tracking_; }
    // The noted nodes are all the nodes with a value.
    bool tracked() const { return tracking_ && clean_; }
    void note(NodeIndex v)
    {
        if (tracked()) touched_.push_back(v);
    }
    void note(const NodeIndex* first, const NodeIndex* last)
    {
        if (tracked()) touched_.insert(touched_.end(), first, last);
    }
    const std::vector<NodeIndex>& touched() const { return touched_; }

    // Clears the field with clear(v): on the noted nodes, or on the whole list.
    template <typename Clear>
    void clear(const NodeList& list, Clear clear)
    {
        if (tracked()) {
            for (const NodeIndex v : touched_) clear(v);
        } else {
            list.forEach(clear);
            clean_ = tracking_;
        }
        touched_.clear();
    }
    // The caller cleared the whole list itself.
    void clearedWholeList()
    {
        touched_.clear();
        clean_ = tracking_;
    }

private:
    std::vector<NodeIndex> touched_;
    bool tracking_ = false;
    bool clean_ = false;
};

}  // namespace orvane
