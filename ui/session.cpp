// The window program's commands: map request, colouring, export and batch run,
// with the enable states, status texts and repaints they call for.
#include "ui/session.h"
#include "platform/platform.h"
#include "runs/clocks.h"
#include "runs/export.h"
#include "runs/runlog.h"
#include "runs/texts.h"
#include "ui/strings.h"
#include "ui/view.h"

namespace orvane {

namespace ws = windowstrings;

namespace {
std::u16string readField(int id, int units)
{
    char16_t buffer[textBufferUnits];
    readControlText(id, buffer, units < textBufferUnits ? units : textBufferUnits);
    return buffer;
}

// Reads a count field (at most 7 characters), clamps it, writes it back and
// keeps the normalised text.
int32_t readCountField(int id, char16_t* text, int32_t least, int32_t most)
{
    readControlText(id, text, countFieldReadUnits);
    const int32_t value = clampCount(parseCountText(text), least, most);
    copyText(text, textBufferUnits, decimalText(value));
    writeControlText(id, text);
    return value;
}
}  // namespace

Session::Session() : map(std::make_shared<const Map>()), colouring(map, platformClock()) {}
Session::~Session() = default;

void Session::setCommandState(CommandState state)
{
    if (state == CommandState::hideAll) {
        for (int id = idSeedLabel; id <= idBatch; ++id) showControl(id, false);
        return;
    }
    if (state == CommandState::showAll) {
        for (int id = idSeedLabel; id <= idBatch; ++id) showControl(id, true);
        state = CommandState::allOff;
    }
    // step, full, clear, export
    static constexpr bool table[5][4] = {
        {false, false, false, false}, {false, false, false, false},
        {false, false, true, true},   {true, true, false, true},   {true, true, true, true},
    };
    const int row = static_cast<int>(state);
    if (row < 0 || row > 4) return;
    enableControl(idStep, table[row][0]);
    enableControl(idFull, table[row][1]);
    enableControl(idClear, table[row][2]);
    enableControl(idExport, table[row][3]);
    focusMainWindow();
}

void Session::fixSeed()
{
    readControlText(idSeedLabel, fields.seedText, textBufferUnits);
    writeControlText(idSeedField, fields.seedText);
}

void Session::autoSeed()
{
    readControlText(idSeedField, fields.seedText, textBufferUnits);
    if (fields.seedText[0]) writeControlText(idSeedLabel, fields.seedText);
    writeControlText(idSeedField, u"");
}

void Session::mapRequest()
{
    displayMode = DisplayMode::map;
    writeControlText(idStatus, u"");
    setCommandState(CommandState::allOff);
    // The seed field: an empty field gives the clock, and stays empty.
    readControlText(idSeedField, fields.seedText, textBufferUnits);
    const bool typed = fields.seedText[0] != 0;
    const uint32_t seed = typed ? parseSeedText(fields.seedText) : clockMillis();
    copyText(fields.seedText, textBufferUnits, seedDigits(seed));
    writeControlText(idSeedLabel, fields.seedText);
    if (typed) writeControlText(idSeedField, fields.seedText);
    // The node count field, clamped and shown as used.
    const int32_t nodes = readCountField(idNodeField, fields.nodeCountText, leastNodes, mostNodes);
    updateControl(idNodeField);
    map = Map::build(seed, nodes, {colouring.paths()});
    colouring.restart(map);
    shownSeed = seed;
    shownNodeCount = nodes;
    shownSites.clear();
    shownSitesName.clear();
    invalidateView(true);
    setCommandState(CommandState::fresh);
}

SiteProblem Session::sitesRequest(const std::vector<Point>& sites, const std::u16string& name)
{
    displayMode = DisplayMode::map;
    writeControlText(idStatus, u"");
    setCommandState(CommandState::allOff);
    std::shared_ptr<const Map> built;
    const SiteProblem problem = buildMapFromSites(built, sites, {colouring.paths()});
    map = problem ? std::make_shared<const Map>() : std::move(built);
    colouring.restart(map);
    shownSeed = 0;
    shownNodeCount = problem ? 0 : map->nodeCount();
    shownSites = problem ? std::vector<Point>{} : sites;
    shownSitesName = problem ? u"" : name;
    invalidateView(true);
    if (!problem) setCommandState(CommandState::fresh);
    return problem;
}

std::u16string Session::shownMapName() const { return shownSites.empty() ? seedDigits(shownSeed) : shownSitesName; }

// The driver's display rules: the status text after verification unless a
// batch page is shown; the buttons and a repaint only while the map is shown.
void Session::applyStepEffects(const StepReport& report)
{
    if (!report.ran) return;
    if (report.verified && displayMode != DisplayMode::batchRunning)
        writeControlText(idStatus, report.result == 0 ? ws::successText : ws::failureText);
    if (displayMode == DisplayMode::map) {
        setCommandState(report.finished ? CommandState::finished : CommandState::stepping);
        invalidateView(true);
    }
}

void Session::stepColouring()
{
    lastStep = colouring.step(false);
    applyStepEffects(lastStep);
}

void Session::fullColouring()
{
    setCommandState(CommandState::allOff);
    lastStep = colouring.step(true);
    applyStepEffects(lastStep);
}

void Session::clearColouring()
{
    writeControlText(idStatus, u"");
    colouring.clear();
    invalidateView(true);
    setCommandState(CommandState::fresh);
}

void Session::exportMap()
{
    if (map->empty()) return;
    // Named after the map shown, not after seedText, which FIX and AUTO reuse.
    const std::u16string path = exportFilePath(shownMapName(), shownNodeCount);
    if (path.empty() || writeExportFile(colouring, path) != 0) writeControlText(idStatus, ws::exportFailed);
}

void Session::counterChanged(int slot, uint32_t count)
{
    copyText(batch.counterText[slot], 16, decimalText(static_cast<int32_t>(count)));
    // Only the counter's rectangle, without erasing: the counters only grow.
    const ViewRect& r = counterRect[slot];
    invalidateViewRect(r.left, r.top, r.right, r.bottom, false);
    updateView();
}

// The controls come back and the status text tells how the run went.
void Session::endBatchRun(const char16_t* status)
{
    colouring.restart();
    setCommandState(CommandState::showAll);
    writeControlText(idStatus, status);
    invalidateView(true);
    updateMainWindow();
}

bool Session::beginBatchRun(BatchSettings& s, RunLog& log)
{
    s.nodes = readCountField(idNodeField, fields.nodeCountText, leastNodes, mostNodes);
    s.maps = readCountField(idMapCountField, fields.mapCountText, 1, mostBatchMaps);
    const std::u16string seedField = readField(idSeedField, textBufferUnits);
    s.firstSeed = seedField.empty() ? clockMillis() : parseSeedText(seedField.c_str());
    writeControlText(idSeedLabel, seedDigits(s.firstSeed).c_str());
    s.jobs = batchJobs;
    s.paths = colouring.paths();

    // The log comes first: when it cannot be created, the map stays on show.
    lastLogError = log.create(runLogFilePath(localTime(), fields.nodeCountText, fields.mapCountText, runLogParent),
                              s.firstSeed, s.nodes);
    runLogPath = log.path();
    if (lastLogError) {
        runLogPath.clear();
        writeControlText(idStatus, ws::runLogNotCreated);
        return false;
    }

    displayMode = DisplayMode::batchRunning;
    copyText(batch.counterText[0], 16, u"0");
    copyText(batch.counterText[1], 16, u"0");
    // The map shown goes: a batch builds maps of its own.
    map = std::make_shared<const Map>();
    colouring.restart(map);
    shownSites.clear();
    shownSitesName.clear();
    formatBatchHeader(batch, s.nodes, s.maps, s.firstSeed);
    setCommandState(CommandState::hideAll);
    invalidateView(true);
    updateMainWindow();
    return true;
}

void Session::finishBatchRun(const BatchSettings& s, const BatchOutcome& out)
{
    lastLogError = out.logError;
    if (out.mapsDone > 0)
        copyText(fields.seedText, textBufferUnits, seedDigits(s.firstSeed + static_cast<uint32_t>(out.mapsDone) - 1));
    displayMode = DisplayMode::batchFinished;
    if (out.logError) endBatchRun(ws::runLogNotWritten);
    else if (!out.completed) endBatchRun(ws::batchStopped);
    else endBatchRun(out.failures == 0 ? ws::successText : ws::failureText);
}

void Session::batchRun()
{
    BatchSettings s;
    RunLog log;
    if (!beginBatchRun(s, log)) return;
    finishBatchRun(s, runBatch(s, log, batch, this));
}

}  // namespace orvane
