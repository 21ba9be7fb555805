// The batch run's test fixture: a session with its fields, the run log of a
// run, its time lines and counters, and the lines a forced failure writes.
#pragma once
#include "tests/runs_fixture.h"

namespace runs_testing {

inline std::string seedLine(const char* seed, const char* rest) { return std::string(seed) + "(5)\t;" + rest; }

// The engine's result for a seed whose colouring the clock cuts short: every
// reading of its clock is past the limit.
inline uint16_t forcedResult(uint32_t seed)
{
    uint32_t now = 0;
    Colouring colouring(Map::build(seed, 5), [&now] { return now += 20001; });
    return colouring.run();
}

inline std::string errorLine(uint32_t seed)
{
    return seedLine(utf8(seedDigits(seed)).c_str(),
                    ("Error(" + std::to_string(static_cast<int16_t>(forcedResult(seed))) + ")\r\n").c_str());
}

inline std::string summary(int maps, const std::string& times)
{
    return "--------------------------\r\nノード数 : 5\r\n地図数 : " + std::to_string(maps) +
           "\r\n--------------------------\r\n" + times;
}

// The log without its last three lines (total, map and colouring times).
inline std::string withoutTimes(const std::string& log)
{
    size_t end = log.size();
    for (int i = 0; i < 4 && end != std::string::npos && end > 0; ++i) end = log.rfind('\n', end - 1);
    return end == std::string::npos ? std::string() : log.substr(0, end + 1);
}

class BatchRunTest : public RunsTest {
protected:
    std::string runLog(const char* maps)
    {
        return readFile(folder / "Log_2026" / ("(5)" + std::string(maps) + "_@1207224530.txt"));
    }

    std::string timeLines() const
    {
        const BatchTexts& t = session.batch;
        return utf8(t.batchTotalTime) + "\r\n" + utf8(t.batchMapTime) + "\r\n" + utf8(t.batchColourTime) + "\r\n";
    }

    std::u16string counter(int slot) const { return session.batch.counterText[slot]; }
};

}  // namespace runs_testing
