// The settings loader on arbitrary bytes: it must never read or write out of
// bounds, and it must leave terminated texts that fit their buffers and a
// placement that is either plausible or all zeros.
#include "ui/settings.h"
#include "ui/ui.h"
#include <cstdlib>
#include <cstring>

namespace {
void check(bool condition)
{
    if (!condition) std::abort();
}

size_t unitsOf(const char16_t* text)
{
    size_t n = 0;
    while (n < textBufferUnits && text[n]) ++n;
    return n;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    loadSettingsFromBytes(data, size);
    for (const char16_t* text : {seedText, nodeCountText, mapCountText}) check(unitsOf(text) < textBufferUnits);
    if (placementUsable()) {
        check(windowPlacement[0] == 44);
        check(windowPlacement[9] > windowPlacement[7] && windowPlacement[10] > windowPlacement[8]);
        // What is saved loads back the same.
        const std::string bytes = settingsContent();
        int32_t before[11];
        std::memcpy(before, windowPlacement, sizeof before);
        loadSettingsFromBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        check(placementUsable() && std::memcmp(before, windowPlacement, sizeof before) == 0);
    } else {
        for (int32_t v : windowPlacement) check(v == 0);
    }
    return 0;
}
