// The render command: the map page as the window paints it, written as SVG.
#include <cstdio>
#include <cstdlib>
#include "cli/cli.h"
#include "platform/platform.h"
#include "runs/clocks.h"
#include "text/utf.h"
#include "ui/view.h"

namespace orvane::cli {

namespace {
constexpr int largestSide = 16384;

// "WxH" with both sides 1..16384.
bool parseSize(const std::string& text, int& w, int& h)
{
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos || x == 0 || x + 1 >= text.size()) return false;
    char* end = nullptr;
    const long width = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + x) return false;
    const long height = std::strtol(text.c_str() + x + 1, &end, 10);
    if (*end || width < 1 || height < 1 || width > largestSide || height > largestSide) return false;
    w = static_cast<int>(width);
    h = static_cast<int>(height);
    return true;
}

}  // namespace

int runRenderCommand(const Arguments& a)
{
    if (const int status = allowOnly(a, {"--seed", "--nodes", "--sites", "--steps", "--full", "--size", "--svg"})) return status;
    if (a.value("--svg").empty()) return usageError("render needs --svg PATH");
    if (a.has("--steps") && a.has("--full")) return usageError("--steps and --full exclude each other");
    int w = 800, h = 600;
    if (a.has("--size") && !parseSize(a.value("--size"), w, h))
        return usageError("--size takes WxH, each side 1.." + std::to_string(largestSide));

    std::shared_ptr<const Map> map;
    RequestedMap requested;
    if (const int status = buildRequestedMap(a, map, requested)) return status;
    Colouring colouring(std::move(map), platformClock());
    int status = 0;
    if (a.has("--steps") || a.has("--full")) {
        int verify;
        long calls;
        status = colourAsAsked(a, colouring, verify, calls);
    }
    if (status == 0) {
        const int error = writeWholeFile(utf8ToUtf16(a.value("--svg")), mapPageSvg(colouring, {w, h}));
        if (error == 0) {
            std::printf("render %s nodes=%d size=%dx%d\n", requested.label().c_str(), requested.nodes, w, h);
        } else {
            std::fprintf(stderr, "orvane-cli: cannot write the picture '%s': %s\n", a.value("--svg").c_str(),
                         errorText(error).c_str());
            status = 1;
        }
    }
    return status;
}

}  // namespace orvane::cli
