// The map object: its node storage, border record blocks, release and reads.
#include "map/builder.h"
#include <algorithm>

namespace orvane {

namespace {
constexpr size_t linksPerBlock = 8192;
}  // namespace

Map::Map() = default;
Map::~Map() = default;

void Map::release()
{
    // Nodes and border records go at once; their storage stays for the next build.
    nodeList = nullptr;
    deferredList = nullptr;
    outerStart = nullptr;
    linkBlocks_.clear();
    usedInLastBlock_ = 0;
    storageCount_ = 0;
    ++generation_;
}

MapNode* Map::allocateNodes(int n)
{
    release();
    if (n > storageCapacity_) {
        storage_ = std::make_unique<MapNode[]>(static_cast<size_t>(n));
        storageCapacity_ = n;
    } else {
        std::fill(storage_.get(), storage_.get() + n, MapNode{});
    }
    storageCount_ = n;
    return storage_.get();
}

BuildPools& Map::pools()
{
    if (!pools_) pools_ = std::make_unique<BuildPools>();
    return *pools_;
}

// No node refers to the records of an earlier map, so they are simply written over.
NodeLink* Map::builtLinks(size_t count)
{
    if (builtLinks_.size() < count) builtLinks_.resize(count);
    return builtLinks_.data();
}

NodeLink* Map::newLink()
{
    if (linkBlocks_.empty() || usedInLastBlock_ == linkBlocks_.back().size) {
        linkBlocks_.push_back({std::make_unique<NodeLink[]>(linksPerBlock), linksPerBlock});
        usedInLastBlock_ = 0;
    }
    return &linkBlocks_.back().links[usedInLastBlock_++];
}

void Map::compactLinks()
{
    size_t total = 0;
    for (const MapNode* n = nodeList; n; n = n->next) total += static_cast<size_t>(countLinks(n));
    const size_t size = total ? total : 1;
    auto block = std::make_unique<NodeLink[]>(size);
    size_t k = 0;
    for (MapNode* n = nodeList; n; n = n->next) {
        NodeLink** tail = &n->links;
        for (NodeLink* l = n->links; l; l = l->next) {
            block[k].node = l->node;
            *tail = &block[k];
            tail = &block[k].next;
            ++k;
        }
    }
    linkBlocks_.clear();
    linkBlocks_.push_back({std::move(block), size});
    usedInLastBlock_ = size;
}

MapNode* Map::numbered(int number) const
{
    // A built map numbers its nodes from the last site drawn: number k sits in slot N - k.
    if (number >= 1 && number <= storageCount_ && storage_[static_cast<size_t>(storageCount_ - number)].number == number)
        return &storage_[static_cast<size_t>(storageCount_ - number)];
    for (int i = 0; i < storageCount_; ++i)
        if (storage_[static_cast<size_t>(i)].number == number) return &storage_[static_cast<size_t>(i)];
    return nullptr;
}

Point Map::position(int number) const
{
    const MapNode* n = numbered(number);
    return n ? Point{n->x, n->y} : Point{0, 0};
}

ColourCode Map::colourOf(int number) const
{
    const MapNode* n = numbered(number);
    return n ? n->colour : colourNone;
}

std::vector<int> Map::neighbours(int number) const
{
    std::vector<int> out;
    const MapNode* n = numbered(number);
    if (!n || !n->links) return out;
    const NodeLink* l = n->links;
    do {
        out.push_back(l->node->number);
        l = l->aroundNext;
    } while (l && l != n->links && out.size() <= static_cast<size_t>(storageCount_));
    return out;
}

std::vector<int> Map::outerCycle() const
{
    std::vector<int> out;
    for (const MapNode* n = outerStart; n && out.size() <= static_cast<size_t>(storageCount_); n = n->outer) {
        out.push_back(n->number);
        if (n->outer == outerStart) break;
    }
    return out;
}

std::vector<std::pair<int, int>> Map::borders() const
{
    std::vector<std::pair<int, int>> out;
    for (const MapNode* n = nodeList; n; n = n->next)
        for (const NodeLink* l = n->links; l; l = l->next)
            if (n->number < l->node->number) out.push_back({n->number, l->node->number});
    std::sort(out.begin(), out.end());
    return out;
}

NodeLink* findLink(const MapNode* owner, const MapNode* neighbour)
{
    for (NodeLink* l = owner->links; l; l = l->next)
        if (l->node == neighbour) return l;
    return nullptr;
}

int countLinks(const MapNode* node)
{
    int c = 0;
    for (const NodeLink* l = node->links; l; l = l->next) ++c;
    return c;
}

}  // namespace orvane
