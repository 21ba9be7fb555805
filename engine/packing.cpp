// The packed copies of the fields the fills read and the compact borders,
// made when a colouring starts tracking (after the deferral, so the border
// lists stay as they are until completion).
#include "engine/internal.h"

namespace orvane {

void Engine::packNodes()
{
    const MapNode* storage = map.nodeStorage();
    const size_t count = static_cast<size_t>(map.nodeStorageCount());
    hot.resize(count);
    chainDegrees.resize(count);
    chainParents.resize(count);
    borders.start.resize(count + 1);
    rings.start.resize(count + 1);
    uint32_t total = 0;
    for (size_t slot = 0; slot < count; ++slot) {
        borders.start[slot] = rings.start[slot] = total;
        total += static_cast<uint32_t>(countLinks(&storage[slot]));
    }
    borders.start[count] = rings.start[count] = total;
    borders.neighbours.resize(total);
    rings.neighbours.resize(total);
    uint16_t* inList = borders.neighbours.data();
    uint16_t* inRing = rings.neighbours.data();
    for (size_t slot = 0; slot < count; ++slot) {
        const MapNode& n = storage[slot];
        hot[slot] = {n.colour, n.chainMark, n.visited, 0};
        chainDegrees[slot] = n.chainDegree;
        chainParents[slot] = n.chainParent ? static_cast<uint32_t>(slotOf(n.chainParent)) : UINT32_MAX;
        for (const NodeLink* l = n.links; l; l = l->next) *inList++ = static_cast<uint16_t>(slotOf(l->node));
        // The ring from the first link, as many places as links (a node whose
        // ring was never linked keeps its list order).
        const NodeLink* l = n.links;
        for (uint32_t k = borders.start[slot]; k < borders.start[slot + 1]; ++k) {
            *inRing++ = l ? static_cast<uint16_t>(slotOf(l->node)) : borders.neighbours[k];
            if (l) l = l->aroundNext;
        }
    }
    // A fill notes each node it reaches: room for a whole map's worth up front.
    for (ScratchField* f : {&markField, &visitedField, &trimField, &swapField}) f->touched.reserve(count);
}

}  // namespace orvane
