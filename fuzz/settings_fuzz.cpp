// The settings loader on arbitrary bytes: it must never read or write out of
// bounds, and it must leave terminated texts that fit their buffers and a
// placement that is either plausible or all zeros.
#include <cstdlib>
#include "ui/settings.h"

namespace {
using namespace orvane;

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
    Settings settings;
    FieldTexts fields;
    loadSettingsFromBytes(settings, fields, data, size);
    for (const char16_t* text : {fields.seedText, fields.nodeCountText, fields.mapCountText})
        check(unitsOf(text) < textBufferUnits);
    const WindowPlacement& p = settings.windowPlacement;
    if (settings.placementLoaded) {
        check(p.length == 44);
        check(p.normalRight > p.normalLeft && p.normalBottom > p.normalTop);
        // What is saved loads back the same.
        const std::string bytes = settingsContent(settings, fields);
        Settings again;
        FieldTexts againFields;
        loadSettingsFromBytes(again, againFields, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        check(again.placementLoaded && again.windowPlacement == p);
    } else {
        check(p == WindowPlacement{});
    }
    return 0;
}
