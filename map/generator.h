// The seeded pseudo-random generator: the only source of randomness of a map.
#pragma once
#include <cstdint>

namespace orvane {

class Generator {
public:
    explicit Generator(uint32_t seed = 0) : state_(seed) {}
    void seed(uint32_t seed) { state_ = seed; }
    // One draw, 0..32767.
    int draw()
    {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }

private:
    uint32_t state_;
};

}  // namespace orvane
