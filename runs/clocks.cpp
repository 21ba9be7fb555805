#include "runs/clocks.h"
#include <memory>
#include "platform/platform.h"

namespace orvane {

Clock platformClock()
{
    return [] { return clockMillis(); };
}

Clock steppingClock(uint32_t step, uint32_t start)
{
    return [step, now = std::make_shared<uint32_t>(start)] { return *now += step; };
}

}  // namespace orvane
