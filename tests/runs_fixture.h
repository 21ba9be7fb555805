// Shared set-up for the tests of the runs and the settings file: a session
// with a fresh headless window, a temporary folder posing as the executable's,
// a fixed local time and a clock the test drives.
#pragma once
#include <gtest/gtest.h>
#include "map/map.h"
#include "tests/companion_support.h"
#include "platform/filefaults.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "runs/batch.h"
#include "runs/texts.h"
#include "text/utf.h"
#include "ui/controls.h"
#include "ui/session.h"
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace runs_testing {
using namespace orvane;
namespace fs = std::filesystem;

// The test clock: stands still, except that while a map of a seed in
// failingSeeds is being built or coloured every reading jumps past the
// engine's time limit. A colouring that never ends still meets the limit
// after a million readings with the same map.
//
// The session's own map is the map shown; while the session's batch runs,
// its maps are the batch's own, and the one in hand is the first seed (the
// seed label) plus the maps the two counters have counted so far. The clock
// is read on the batch's calling thread only: batches under this clock keep
// one job.
inline const Session* clockSession = nullptr;
inline uint32_t clockNow = 0;
inline uint32_t clockReadings = 0;
inline std::set<uint32_t> failingSeeds;
// For runs of very many maps: the events recorded while the batch runs are
// dropped from time to time, so that the record does not grow with the run.
inline bool dropBatchEvents = false;

struct MapInHand {
    bool exists = false;
    bool inBatch = false;
    uint64_t which = 0;  // the map shown (its address), or the batch's map index
    uint32_t seed = 0;
};

inline MapInHand mapInHand()
{
    MapInHand m;
    if (!clockSession) return m;
    const Session& s = *clockSession;
    if (s.displayMode == DisplayMode::batchRunning) {
        m.exists = m.inBatch = true;
        m.which = static_cast<uint64_t>(parseCountText(s.batch.counterText[0])) +
                  static_cast<uint64_t>(parseCountText(s.batch.counterText[1]));
        if (!failingSeeds.empty())
            m.seed = parseSeedText(headlessControlText(idSeedLabel).c_str()) + static_cast<uint32_t>(m.which);
        return m;
    }
    if (s.map->empty()) return m;
    m.exists = true;
    // A new map is built while the old one is still held: two maps in turn
    // never share an address.
    m.which = reinterpret_cast<uintptr_t>(s.map.get());
    m.seed = s.map->seed();
    return m;
}

inline MapInHand lastMapInHand;  // at the previous reading

inline uint32_t testClock()
{
    MapInHand& last = lastMapInHand;
    const MapInHand now = mapInHand();
    if (now.exists && failingSeeds.count(now.seed)) clockNow += 20001;
    const bool sameMap = now.exists && last.exists && now.inBatch == last.inBatch && now.which == last.which;
    clockReadings = sameMap ? clockReadings + 1 : 0;
    last = now;
    if (clockReadings % 1000000 == 999999) clockNow += 20001;
    if (dropBatchEvents && now.inBatch && headlessEvents().size() > 4096) headlessEvents().clear();
    return clockNow;
}

using companion_testing::readFile;

inline std::string utf8(const std::u16string& text) { return toLocaleEncoding(text); }
// A text written here in UTF-8, as the run log holds it: in the locale's encoding.
inline std::string local(const std::string& text) { return toLocaleEncoding(utf8ToUtf16(text)); }

// A new empty folder under the system's temporary folder.
inline fs::path freshFolder()
{
    static std::random_device entropy;
    for (;;) {
        const fs::path path = fs::temp_directory_path() / ("orvane-runs-" + std::to_string(entropy()));
        if (fs::create_directory(path)) return path;
    }
}

class RunsTest : public ::testing::Test {
protected:
    Session session;
    fs::path folder;

    void SetUp() override
    {
        headlessReset();
        clockNow = 1000;
        clockReadings = 0;
        lastMapInHand = {};
        failingSeeds.clear();
        dropBatchEvents = false;
        clockSession = &session;
        headlessSetClock(testClock);
        headlessSetLocalTime(2026, 12, 7, 22, 45, 30);
        folder = freshFolder();
        headlessSetExecutablePath((folder / "orvane.exe").u16string());
    }

    void TearDown() override
    {
        headlessSetClock(nullptr);
        clockSession = nullptr;
        failingSeeds.clear();
        dropBatchEvents = false;
        headlessSetExecutablePath(u"");
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    static void setFields(const char16_t* seed, const char16_t* nodes, const char16_t* maps = u"")
    {
        writeControlText(idSeedField, seed);
        writeControlText(idNodeField, nodes);
        writeControlText(idMapCountField, maps);
        headlessEvents().clear();
    }
};
#ifndef _WIN32
using companion_testing::Outcome;
using companion_testing::runCompanion;
#endif

}  // namespace runs_testing
