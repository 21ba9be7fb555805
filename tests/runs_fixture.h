// Shared set-up for the tests of the runs and the settings file: a fresh
// headless window, a temporary folder posing as the executable's, a fixed
// local time and a clock the test drives.
#pragma once
#include <gtest/gtest.h>
#include "engine/engine.h"
#include "map/map.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "runs/runlog.h"
#include "runs/runs.h"
#include "ui/ui.h"
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>

namespace runs_testing {
namespace fs = std::filesystem;

// The test clock: stands still, except that while a map of a seed in
// failingSeeds exists every reading jumps past the engine's time limit. A
// colouring that never ends still meets the limit after a million readings
// with the same map.
inline uint32_t clockNow = 0;
inline uint32_t clockReadings = 0;
inline std::set<uint32_t> failingSeeds;
inline uint32_t testClock()
{
    if (nodeList && !failingSeeds.empty() && failingSeeds.count(parseSeedText(seedText))) clockNow += 20001;
    clockReadings = nodeList ? clockReadings + 1 : 0;
    if (clockReadings % 1000000 == 999999) clockNow += 20001;
    return clockNow;
}

inline std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string utf8(const std::u16string& text) { return toLocaleEncoding(text); }

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
    fs::path folder;

    void SetUp() override
    {
        headlessReset();
        releaseMap();
        resetEngine(false);
        EnginePhase = phasePrepare;
        displayMode = -1;
        seedText[0] = nodeCountText[0] = mapCountText[0] = 0;
        clockNow = 1000;
        failingSeeds.clear();
        headlessSetClock(testClock);
        headlessSetLocalTime(2026, 12, 7, 22, 45, 30);
        folder = freshFolder();
        headlessSetExecutablePath((folder / "orvane.exe").u16string());
        runLogParent.clear();
        batchProgress = nullptr;
    }

    void TearDown() override
    {
        releaseMap();
        resetEngine(false);
        EnginePhase = phasePrepare;
        displayMode = -1;
        headlessSetClock(nullptr);
        headlessSetExecutablePath(u"");
        runLogParent.clear();
        batchProgress = nullptr;
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
}  // namespace runs_testing
