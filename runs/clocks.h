// The millisecond clocks that the window, the companion, the batch runs and
// the tests hand to a colouring.
#pragma once
#include <cstdint>
#include "engine/colouring.h"

namespace orvane {

// The platform's millisecond clock: the window system's, or the one the
// headless back end keeps (which a test may replace).
Clock platformClock();

// A clock that moves on by `step` ms at every reading, the first reading being
// start + step: the engine's time limit then strikes after a known number of
// phases. Copies read the same clock, as clocks must.
Clock steppingClock(uint32_t step, uint32_t start = 0);

}  // namespace orvane
