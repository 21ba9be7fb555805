// Worker threads of a batch run. A worker claims the next seed only while it
// lies within a window of the writer's position, so memory stays bounded
// however long the run.
#include "runs/batchworkers.h"

namespace orvane {

BatchWorkers::BatchWorkers(uint32_t firstSeed, int64_t maps, int32_t nodes, int jobs, Paths paths,
                           const ClockFactory& clocks)
    : firstSeed_(firstSeed), maps_(maps), nodes_(nodes), paths_(paths),
      window_(static_cast<size_t>(64 * (jobs > 0 ? jobs : 1)))
{
    for (int j = 0; j < jobs; ++j) threads_.emplace_back(&BatchWorkers::work, this, clocks());
}

BatchWorkers::~BatchWorkers()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    roomFree_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void BatchWorkers::work(Clock clock)
{
    MapBuilder builder;
    Colouring colouring(nullptr, clock, paths_);
    const int64_t windowSize = static_cast<int64_t>(window_.size());
    for (;;) {
        int64_t index;
        {
            std::unique_lock<std::mutex> guard(lock_);
            roomFree_.wait(guard, [&] { return stopping_ || claimed_ >= maps_ || claimed_ < taken_ + windowSize; });
            if (stopping_ || claimed_ >= maps_) return;
            index = claimed_++;
        }
        const BatchMap result = colourBatchMap(builder, colouring, firstSeed_ + static_cast<uint32_t>(index), nodes_, clock);
        {
            std::lock_guard<std::mutex> guard(lock_);
            window_[static_cast<size_t>(index % windowSize)] = {index, result};
        }
        resultReady_.notify_all();
    }
}

BatchMap BatchWorkers::next()
{
    std::unique_lock<std::mutex> guard(lock_);
    Slot& slot = window_[static_cast<size_t>(taken_ % static_cast<int64_t>(window_.size()))];
    resultReady_.wait(guard, [&] { return slot.index == taken_; });
    const BatchMap result = slot.map;
    ++taken_;
    guard.unlock();
    roomFree_.notify_all();
    return result;
}

}  // namespace orvane
