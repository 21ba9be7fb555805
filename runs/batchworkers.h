// Worker threads of a batch run: each builds and colours seeds of the run on
// its own map and colouring, a bounded window ahead of the run's writer, and
// hands the results over in seed order.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>
#include "runs/batch.h"

namespace orvane {

class BatchWorkers {
public:
    BatchWorkers(uint32_t firstSeed, int64_t maps, int32_t nodes, int jobs, Paths paths, const ClockFactory& clocks);
    ~BatchWorkers();  // stops the workers and waits for them
    BatchWorkers(const BatchWorkers&) = delete;
    BatchWorkers& operator=(const BatchWorkers&) = delete;

    // The result of the next seed in order; waits until a worker has it.
    BatchMap next();

private:
    struct Slot {
        int64_t index = -1;  // which map the result belongs to
        BatchMap map;
    };
    void work(Clock clock);

    const uint32_t firstSeed_;
    const int64_t maps_;
    const int32_t nodes_;
    const Paths paths_;
    std::vector<Slot> window_;  // results by index modulo the window's size
    int64_t claimed_ = 0;       // maps handed to workers so far
    int64_t taken_ = 0;         // results handed to the writer so far
    bool stopping_ = false;
    std::mutex lock_;
    std::condition_variable resultReady_;
    std::condition_variable roomFree_;
    std::vector<std::thread> threads_;
};

}  // namespace orvane
