// The batch run: a range of consecutive seeds built and fully coloured with one
// node count, counted, timed and recorded in a run log.
#include "runs/runlog.h"
#include "runs/runs.h"
#include "engine/engine.h"
#include "map/map.h"
#include "platform/platform.h"
#include "ui/ui.h"

BatchProgressFunction batchProgress = nullptr;
const BatchMapSource* batchMapSource = nullptr;

namespace {
inline constexpr int32_t mostMaps = 1000000;

// Copies text into a fixed buffer, cut to fit and terminated.
void setText(char16_t* buffer, int capacity, const std::u16string& text)
{
    int n = static_cast<int>(text.size()) < capacity - 1 ? static_cast<int>(text.size()) : capacity - 1;
    for (int i = 0; i < n; ++i) buffer[i] = text[i];
    buffer[n] = 0;
}

std::u16string formatted(const char* format, long long value)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, format, value);
    return toUtf16(buf);
}

std::u16string seedDigits(uint32_t seed)
{
    char16_t text[16];
    formatSeed(seed, text);
    return text;
}

// Reads a count field (at most 7 characters), clamps it and writes it back.
int32_t readCountField(int id, char16_t* text, int32_t least, int32_t most)
{
    readControlText(id, text, 8);
    const int32_t value = clampCount(parseCountText(text), least, most);
    formatDecimal(value, text);
    writeControlText(id, text);
    return value;
}

uint32_t readFirstSeed()
{
    char16_t field[textBufferUnits];
    readControlText(idSeedField, field, textBufferUnits);
    const uint32_t seed = field[0] ? parseSeedText(field) : clockMillis();
    writeControlText(idSeedLabel, seedDigits(seed).c_str());
    return seed;
}

void formatBatchHeader(int32_t nodes, int32_t maps, uint32_t first)
{
    setText(batchHeader, batchTextUnits,
            u"ノード数 (" + formatted("%lld", nodes) + u")   地図数 (" + formatted("%lld", maps) + u")");
    const uint32_t last = first + static_cast<uint32_t>(maps) - 1;
    setText(batchSeedRange, batchTextUnits, u"乱数コード ( " + seedDigits(first) + u" ) ～ ( " + seedDigits(last) + u" )");
}

void resetCounters()
{
    setText(counterText[0], 16, u"0");
    setText(counterText[1], 16, u"0");
}

// Shows the new value of one counter: only its rectangle, without erasing.
void showCounter(int slot, uint32_t value)
{
    setText(counterText[slot], 16, formatted("%lld", static_cast<int32_t>(value)));
    const ViewRect& r = counterRect[slot];
    invalidateViewRect(r.left, r.top, r.right, r.bottom, false);
    updateView();
}

// The controls come back and the status text tells how the run went.
void endBatchRun(bool succeeded)
{
    EnginePhase = phasePrepare;
    setCommandState(1);
    writeControlText(idStatus, succeeded ? successText : failureText);
    invalidateView(true);
    updateMainWindow();
}
}  // namespace

BatchMap colourBatchMap(uint32_t seed, int32_t nodes)
{
    seedGenerator(seed);
    EnginePhase = phasePrepare;
    const uint32_t t0 = clockMillis();
    buildMap(nodes);
    const uint32_t t1 = clockMillis();
    const uint16_t result = engineStep(true);
    const uint32_t t2 = clockMillis();
    return {result, t1 - t0, t2 - t1};
}

uint32_t batchElapsed(uint32_t start, uint32_t now)
{
    return now >= start ? now - start : 0xFFFFFFFFu - start + now;
}

void formatBatchTimes(uint32_t elapsedMs, uint32_t mapMs, uint32_t colourMs)
{
    const uint64_t seconds = (uint64_t{elapsedMs} + 500) / 1000;
    setText(batchTotalTime, batchTextUnits,
            u"総処理時間 :  " + formatted("%02lld", static_cast<long long>(seconds / 60)) + u" 分 " +
                formatted("%02lld", static_cast<long long>(seconds % 60)) + u" 秒");
    setText(batchMapTime, batchTextUnits, u"地図 : " + formatted("%8lld", static_cast<int32_t>(mapMs)) + u" (msec)");
    setText(batchColourTime, batchTextUnits,
            u"着色 : " + formatted("%8lld", static_cast<int32_t>(colourMs)) + u" (msec)");
}

void batchRun()
{
    displayMode = 1;
    resetCounters();
    releaseMap();
    const int32_t nodes = readCountField(idNodeField, nodeCountText, leastNodes, mostNodes);
    const int32_t maps = readCountField(idMapCountField, mapCountText, 1, mostMaps);
    const uint32_t first = readFirstSeed();
    formatBatchHeader(nodes, maps, first);
    setCommandState(-1);
    invalidateView(true);
    updateMainWindow();

    RunLog log;
    runLogPath = runLogFilePath(localTime(), nodeCountText, mapCountText);
    if (!createRunLog(log, runLogPath, first, nodes)) {
        runLogPath.clear();
        endBatchRun(false);
        return;
    }
    uint32_t mapSum = 0, colourSum = 0, counts[2] = {0, 0};
    const uint32_t start = clockMillis();
    if (batchMapSource) batchMapSource->start(first, maps, nodes);
    for (int32_t i = 0; i < maps; ++i) {
        const uint32_t seed = first + static_cast<uint32_t>(i);
        formatSeed(seed, seedText);
        logMapStarted(log, seed);
        const BatchMap m = batchMapSource ? batchMapSource->next(seed) : colourBatchMap(seed, nodes);
        mapSum += m.mapMs;
        colourSum += m.colourMs;
        const int slot = m.result == 0 ? 0 : 1;
        showCounter(slot, ++counts[slot]);
        logMapFinished(log, seed, m.result, i + 1 == maps);
        releaseMap();
        if (batchProgress) batchProgress({i + 1, maps, counts[0], counts[1], batchElapsed(start, clockMillis())});
    }
    if (batchMapSource) batchMapSource->stop();
    displayMode = 2;
    formatBatchTimes(batchElapsed(start, clockMillis()), mapSum, colourSum);
    logSummary(log, maps);
    endBatchRun(counts[1] == 0);
}
