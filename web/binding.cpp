// The page's one way into the core. It carries out the window's commands on
// a Session (the keys through the window's keyboard table), reads back the
// control texts, enable and show states and the map view's drawing list, and
// hands over what the window writes to files (the export file, the run log,
// the settings) as bytes. Every text, enable rule and picture the page shows
// comes from here; the page's script only puts it on the screen.
//
// The headless platform back end holds the controls in memory; its files live
// in the module's in-memory file system, "beside" /orvane/Orvane.exe.
#include <emscripten/bind.h>
#include <emscripten/val.h>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>
#include "platform/headless.h"
#include "platform/platform.h"
#include "runs/batch.h"
#include "runs/clocks.h"
#include "runs/export.h"
#include "runs/fedbatch.h"
#include "runs/runlog.h"
#include "runs/sitesfile.h"
#include "runs/strings.h"
#include "runs/texts.h"
#include "runs/trace.h"
#include "text/utf.h"
#include "ui/controls.h"
#include "ui/keys.h"
#include "ui/session.h"
#include "ui/settings.h"
#include "ui/strings.h"
#include "ui/view.h"
#include "map/sites.h"

namespace orvane::web {

using emscripten::val;

namespace {
constexpr char16_t programFolder[] = u"/orvane";
constexpr char16_t programPath[] = u"/orvane/Orvane.exe";
constexpr int discRadius = 8;  // a click within a country's disc names it

std::u16string utf16(const std::string& s) { return utf8ToUtf16(s); }
std::string utf8(const std::u16string& s) { return utf16ToUtf8(s); }

// A copy of the bytes as a Uint8Array that outlives the module's memory growth.
val bytesValue(const std::string& bytes)
{
    const val view(emscripten::typed_memory_view(bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data())));
    return view.call<val>("slice");
}

std::string readFileBytes(const std::u16string& path)
{
    std::string bytes;
    FILE* f = openFile(path, "rb");
    if (!f) return bytes;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

// A file the window would have left on disk, as a download: its name and
// bytes. The in-memory copy is removed.
val takeFile(const std::u16string& path)
{
    if (path.empty() || fileKind(path) != FileKind::regular) return val::null();
    val file = val::object();
    file.set("name", utf8(path.substr(path.find_last_of(u'/') + 1)));
    file.set("bytes", bytesValue(readFileBytes(path)));
    removeFile(path);
    return file;
}

// x, y pairs from a typed array or an array of numbers.
std::vector<Point> sitesOf(const val& flat)
{
    const std::vector<int32_t> xy = emscripten::convertJSArrayToNumberVector<int32_t>(flat);
    std::vector<Point> sites;
    sites.reserve(xy.size() / 2);
    for (size_t i = 0; i + 1 < xy.size(); i += 2) sites.push_back({xy[i], xy[i + 1]});
    return sites;
}

val flatOf(const std::vector<Point>& sites)
{
    std::vector<int32_t> xy;
    xy.reserve(2 * sites.size());
    for (const Point& p : sites) xy.insert(xy.end(), {p.x, p.y});
    return val(emscripten::typed_memory_view(xy.size(), xy.data())).call<val>("slice");
}

// A problem of a site list as the page words it: its kind, the sites it names
// (by index) and the count.
val problemValue(const SiteProblem& p)
{
    val problem = val::object();
    problem.set("kind", std::string(siteProblemKey(p.kind)));
    val named = val::array();
    for (int s : p.sites)
        if (s >= 0) named.call<void>("push", s);
    problem.set("sites", named);
    problem.set("count", p.count);
    return problem;
}

}  // namespace

// The window program, one per module instance.
class PageSession {
public:
    PageSession()
    {
        headlessReset();
        headlessSetExecutablePath(programPath);
        createFolder(programFolder);
        current_ = this;
        headlessSetCommandHandler([](int id) {
            if (current_) current_->run(id);
        });
        session_.setCommandState(CommandState::allOff);
        takeEvents();
    }
    ~PageSession()
    {
        if (current_ == this) current_ = nullptr;
    }
    PageSession(const PageSession&) = delete;
    PageSession& operator=(const PageSession&) = delete;

    // The controls as the window's platform layer keeps them.
    void setText(int id, const std::string& text) { writeControlText(id, utf16(text).c_str()); }
    std::string text(int id) const { return utf8(headlessControlText(id)); }
    bool enabled(int id) const { return headlessControlEnabled(id); }
    bool shown(int id) const { return headlessControlShown(id); }
    int displayMode() const { return static_cast<int>(session_.displayMode); }

    // A click on a button, with the keyboard focus where the page has it;
    // gives where the focus is afterwards (0: the main window).
    int click(int id, int focused)
    {
        headlessSetFocus(focused);
        run(id);
        return afterInput();
    }

    // A key-down through the window's keyboard table.
    int keyDown(int virtualKey, int focused, bool shift)
    {
        headlessSetFocus(focused);
        headlessSetShift(shift);
        handleKeyDown(virtualKey);
        return afterInput();
    }

    // True once after anything invalidated the view.
    bool takeRepaint()
    {
        takeEvents();
        const bool r = repaint_;
        repaint_ = false;
        return r;
    }

    // The view's page for its size in CSS pixels: calls of 8 integers each
    // (operation, a, b, c, d, e, text start, text length) and their texts.
    void paint(int width, int height)
    {
        session_.viewWidth = width;
        session_.viewHeight = height;
        paintView(list_, session_);
    }
    val drawCalls() const
    {
        std::vector<int32_t> flat;
        flat.reserve(list_.calls.size() * 8);
        for (const DrawCall& c : list_.calls) {
            flat.insert(flat.end(), {static_cast<int32_t>(c.op), c.a, c.b, c.c, c.d, c.e,
                                     static_cast<int32_t>(c.textStart), static_cast<int32_t>(c.textLength)});
        }
        return val(emscripten::typed_memory_view(flat.size(), flat.data())).call<val>("slice");
    }
    std::string drawTexts() const { return utf8(list_.texts); }
    bool drawOffscreen() const { return list_.offscreen; }

    // The country whose disc is at (x, y) of the view, with its colour letter
    // and its neighbours in number order; null when there is none.
    val countryAt(int x, int y) const
    {
        const Map& map = *session_.map;
        const Colouring& colouring = session_.colouring;
        if (session_.displayMode != DisplayMode::map || map.empty()) return val::null();
        // The countries drawn: those in the colouring's node list, each with a border in it.
        std::vector<bool> drawn(static_cast<size_t>(map.nodeCount()) + 1);
        for (NodeIndex v = colouring.firstListed(); v != noNode; v = colouring.nextListed(v))
            for (const NodeIndex n : colouring.links(v))
                drawn[static_cast<size_t>(map.number(v))] = drawn[static_cast<size_t>(map.number(n))] = true;
        const ViewSize size{session_.viewWidth, session_.viewHeight};
        int best = 0;
        int64_t bestDistance = int64_t{discRadius} * discRadius + 1;
        for (int number = 1; number <= map.nodeCount(); ++number) {
            if (!drawn[static_cast<size_t>(number)]) continue;
            const Point p = map.position(number);
            const ViewPoint v = viewPoint(size, p.x, p.y);
            const int64_t dx = v.x - x, dy = v.y - y, d = dx * dx + dy * dy;
            if (d < bestDistance) best = number, bestDistance = d;
        }
        if (!best) return val::null();
        // Its borders as the colouring leaves them.
        std::vector<int> neighbours;
        for (const NodeIndex n : colouring.links(map.numbered(best))) neighbours.push_back(map.number(n));
        std::sort(neighbours.begin(), neighbours.end());
        val country = val::object();
        const int colour = static_cast<int>(colouring.colourOf(best));
        country.set("number", best);
        country.set("colour", std::string(1, colourLetters[colour >= 0 && colour <= 5 ? colour : 0]));
        val list = val::array();
        for (int n : neighbours) list.call<void>("push", n);
        country.set("neighbours", list);
        return country;
    }

    // Presses of step colouring since the map was built or cleared.
    double steps() const { return static_cast<double>(presses_); }
    bool fullRun() const { return fullRun_; }
    // The trace line of the engine after the last step or full colouring, as
    // the companion prints it; empty before the first.
    std::string traceLine() const
    {
        if (session_.map->empty() || (presses_ == 0 && !fullRun_)) return {};
        const long k = static_cast<long>(presses_) + (fullRun_ ? 1 : 0);
        return orvane::traceLine(k, before_, session_.lastStep.result, session_.colouring);
    }
    // Up to `count` presses of step colouring, while its button is enabled.
    double stepTimes(double count)
    {
        double done = 0;
        for (; done < count && headlessControlEnabled(idStep); ++done) {
            run(idStep);
            takeEvents();
        }
        return done;
    }
    // The map shown, built again and stepped `count` times: a colouring is a
    // pure function of seed and node count, so this is the state after that
    // many presses. The fields keep what they held. False when no map is shown.
    bool replay(double count)
    {
        if (session_.displayMode != DisplayMode::map || session_.map->empty()) return false;
        if (!session_.shownSites.empty()) {
            const std::vector<Point> sites = session_.shownSites;
            const std::u16string name = session_.shownSitesName;
            sitesRequest(sites, name);
            stepTimes(count);
            return true;
        }
        const std::u16string seed = headlessControlText(idSeedField), nodes = headlessControlText(idNodeField);
        writeControlText(idSeedField, seedDigits(session_.shownSeed).c_str());
        writeControlText(idNodeField, decimalText(session_.shownNodeCount).c_str());
        run(idMapRequest);
        writeControlText(idSeedField, seed.c_str());
        writeControlText(idNodeField, nodes.c_str());
        stepTimes(count);
        return true;
    }
    // Presses after which no colouring of the map shown is still going on.
    double stepLimit() const
    {
        return session_.map->empty() ? 0 : static_cast<double>(orvane::stepLimit(*session_.map));
    }
    std::string shownSeed() const { return utf8(seedDigits(session_.shownSeed)); }
    int shownNodeCount() const { return session_.shownNodeCount; }

    // The file the last EXPORT wrote, as a download; null when it wrote none.
    val takeExport()
    {
        if (session_.map->empty()) return val::null();
        return takeFile(exportFilePath(session_.shownMapName(), session_.shownNodeCount));
    }

    // ---- Maps of given sites: the page's clicks ----

    // Shows the map of the sites (x, y pairs; the k-th is country k), its
    // export named `name`; null, or the problem when they give no map.
    val placeSites(const val& flat, const std::string& name)
    {
        const SiteProblem p = sitesRequest(sitesOf(flat), utf16(name));
        return p ? problemValue(p) : val::null();
    }
    // The map of a sites file's bytes, read as the companion reads a sites
    // file and named after the file as the companion names it. Null when it
    // is shown; otherwise the map shown stays as it was and this says why:
    // {message} when the reader refuses the bytes (its text, naming the
    // line), {problem, sites, lines} when the sites give no map (the sites
    // as x, y pairs, and the line of each site the problem names).
    val openSitesFile(const std::string& bytes, const std::string& fileName)
    {
        SitesFile file;
        const std::string refused = bytes.size() > mostSitesFileBytes ? sitesFileTooLargeText() : readSitesText(bytes, file);
        if (!refused.empty()) {
            val why = val::object();
            why.set("message", refused);
            return why;
        }
        // Checked apart first, so that sites which give no map leave the map shown alone.
        std::shared_ptr<const Map> map;
        if (const SiteProblem p = buildMapFromSites(map, file.sites, {session_.colouring.paths()})) {
            val why = val::object();
            why.set("problem", problemValue(p));
            why.set("sites", flatOf(file.sites));
            val lines = val::array();
            for (int s : p.sites)
                if (s >= 0) lines.call<void>("push", file.lines[static_cast<size_t>(s)]);
            why.set("lines", lines);
            return why;
        }
        sitesRequest(file.sites, sitesMapName(utf16(fileName)));
        return val::null();
    }
    // The sites of the map shown in number order (set-aside nodes too),
    // whether seeded or given; empty when none is shown.
    val mapSites() const
    {
        std::vector<Point> sites;
        if (session_.displayMode == DisplayMode::map)
            for (int k = 1; k <= session_.map->nodeCount(); ++k) sites.push_back(session_.map->position(k));
        return flatOf(sites);
    }
    bool sitesShown() const { return !session_.shownSites.empty(); }
    std::string shownMapName() const { return utf8(session_.shownMapName()); }
    // The map point drawn at (x, y) of the view, clamped to the square.
    val mapPointAt(int x, int y) const
    {
        const Point p = orvane::mapPointAt({session_.viewWidth, session_.viewHeight}, x, y);
        val point = val::object();
        point.set("x", p.x);
        point.set("y", p.y);
        return point;
    }
    // Where the sites are drawn in the view: x, y pairs.
    val viewPoints(const val& flat) const
    {
        std::vector<Point> points;
        for (const Point& p : sitesOf(flat)) {
            const ViewPoint v = viewPoint({session_.viewWidth, session_.viewHeight}, p.x, p.y);
            points.push_back({v.x, v.y});
        }
        return flatOf(points);
    }
    // The site whose disc is at (x, y) of the view (the nearest one), or -1.
    int siteAt(const val& flat, int x, int y) const
    {
        const std::vector<Point> sites = sitesOf(flat);
        int best = -1;
        int64_t bestDistance = int64_t{discRadius} * discRadius + 1;
        for (size_t i = 0; i < sites.size(); ++i) {
            const ViewPoint v = viewPoint({session_.viewWidth, session_.viewHeight}, sites[i].x, sites[i].y);
            const int64_t dx = v.x - x, dy = v.y - y, d = dx * dx + dy * dy;
            if (d < bestDistance) best = static_cast<int>(i), bestDistance = d;
        }
        return best;
    }

    // The batch run, its maps coloured by the page's workers. Begins as the
    // button does; null when the run log could not be created.
    val beginBatch()
    {
        batch_ = std::make_unique<PageBatch>();
        if (!session_.beginBatchRun(batch_->settings, batch_->log)) {
            batch_.reset();
            return val::null();
        }
        batch_->run = std::make_unique<FedBatchRun>(batch_->settings, batch_->log, session_.batch,
                                                    &session_.batchListener());
        batch_->run->start();
        val run = val::object();
        run.set("firstSeed", batch_->settings.firstSeed);
        run.set("maps", batch_->settings.maps);
        run.set("nodes", batch_->settings.nodes);
        return run;
    }
    // Results in seed order, three numbers a map (result, map ms, colour ms);
    // gives the maps done so far.
    double feedBatch(const val& results)
    {
        if (!batch_) return 0;
        const std::vector<uint32_t> r = emscripten::convertJSArrayToNumberVector<uint32_t>(results);
        for (size_t i = 0; i + 2 < r.size() && !batch_->run->over(); i += 3)
            batch_->run->mapDone({static_cast<uint16_t>(r[i]), r[i + 1], r[i + 2]});
        takeEvents();
        return static_cast<double>(batch_->run->mapsDone());
    }
    bool batchOver() const { return !batch_ || batch_->run->over(); }
    // Ends the run (before its last map: stopped, the log as a killed run
    // leaves it); gives the run log as a download.
    val endBatch()
    {
        if (!batch_) return val::null();
        const BatchOutcome out = batch_->run->finish();
        session_.finishBatchRun(batch_->settings, out);
        batch_.reset();
        return takeFile(out.logPath);
    }

    // The settings file's text as the window writes it when it closes, and
    // the fields set from such a text as the window's start-up sets them.
    std::string settingsText()
    {
        Settings settings;
        settings.path = settingsPathBesideExecutable();
        saveSettings(settings, session_.fields);
        const std::string bytes = readFileBytes(settings.path);
        removeFile(settings.path);
        return utf8(utf16LeText(bytes));
    }
    void loadSettingsText(const std::string& text)
    {
        const std::string bytes = utf16LeFileBytes(utf16(text));
        Settings settings;
        loadSettingsFromBytes(settings, session_.fields, reinterpret_cast<const unsigned char*>(bytes.data()),
                              bytes.size());
        writeControlText(idSeedField, session_.fields.seedText);
        writeControlText(idNodeField, session_.fields.nodeCountText);
        writeControlText(idMapCountField, session_.fields.mapCountText);
    }

private:
    struct PageBatch {
        BatchSettings settings;
        RunLog log;
        std::unique_ptr<FedBatchRun> run;
    };

    // One command by control id, as the window's command table runs it, with
    // the count of presses and the phase before the last one for the trace.
    void run(int id)
    {
        const Phase before = session_.colouring.phase();
        runCommand(session_, id);
        if (id == idMapRequest || id == idClear) {
            presses_ = 0;
            fullRun_ = false;
        } else if ((id == idStep || id == idFull) && session_.lastStep.ran) {
            before_ = before;
            if (id == idStep) ++presses_;
            else fullRun_ = true;
        }
    }

    SiteProblem sitesRequest(const std::vector<Point>& sites, const std::u16string& name)
    {
        const SiteProblem p = session_.sitesRequest(sites, name);
        presses_ = 0;
        fullRun_ = false;
        takeEvents();
        return p;
    }

    int afterInput()
    {
        takeEvents();
        return focusedControl();
    }

    // The record of the platform's effects: only whether the view wants a repaint.
    void takeEvents()
    {
        for (const HeadlessEvent& e : headlessEvents()) {
            if (e.kind == HeadlessEvent::invalidate || e.kind == HeadlessEvent::invalidateRect ||
                e.kind == HeadlessEvent::updateView || e.kind == HeadlessEvent::updateMain)
                repaint_ = true;
        }
        headlessEvents().clear();
    }

    static inline PageSession* current_ = nullptr;
    Session session_;
    DrawList list_;
    long long presses_ = 0;
    bool fullRun_ = false;
    Phase before_ = Phase::prepare;
    bool repaint_ = true;
    std::unique_ptr<PageBatch> batch_;
};

// The maps of a batch, coloured in a web worker: each with its own map and
// colouring, timed by the worker's clock. For tests, a clock step other than
// 0 makes the clock move that many milliseconds a reading, as the companion's
// --clock-step does, so that the engine's time limit strikes after a known
// number of phases.
class MapColourer {
public:
    explicit MapColourer(int clockStep)
        : clock_(clockStep > 0 ? steppingClock(static_cast<uint32_t>(clockStep)) : platformClock()),
          colouring_(nullptr, clock_)
    {
    }

    // `count` consecutive seeds from `firstSeed` (wrapping): three numbers a
    // map (result, map ms, colour ms).
    val colour(uint32_t firstSeed, int count, int nodes)
    {
        std::vector<uint32_t> out;
        out.reserve(static_cast<size_t>(count > 0 ? count : 0) * 3);
        for (int i = 0; i < count; ++i) {
            const BatchMap m = colourBatchMap(builder_, colouring_, firstSeed + static_cast<uint32_t>(i), nodes, clock_);
            out.insert(out.end(), {m.result, m.mapMs, m.colourMs});
        }
        return val(emscripten::typed_memory_view(out.size(), out.data())).call<val>("slice");
    }

private:
    MapBuilder builder_;
    Clock clock_;
    Colouring colouring_;
};

// The window's own texts, for the page's captions and its English labels.
val windowTexts()
{
    namespace ws = windowstrings;
    namespace bs = batchstrings;
    val texts = val::object();
    val captions = val::array();
    for (const char16_t* c : ws::controlCaptions) captions.call<void>("push", utf8(c));
    texts.set("captions", captions);
    const std::pair<const char*, const char16_t*> named[] = {
        {"caption", ws::caption}, {"successText", ws::successText}, {"failureText", ws::failureText},
        {"runLogNotCreated", ws::runLogNotCreated}, {"runLogNotWritten", ws::runLogNotWritten},
        {"exportFailed", ws::exportFailed}, {"batchStopped", ws::batchStopped},
        {"successesLabel", ws::successesLabel}, {"failuresLabel", ws::failuresLabel}, {"viewLabel", ws::viewLabel},
        {"nodesOpen", bs::nodesOpen}, {"mapsOpen", bs::mapsOpen}, {"seedRangeOpen", bs::seedRangeOpen},
        {"totalTime", bs::totalTime}, {"minutes", bs::minutes}, {"seconds", bs::seconds},
        {"mapTime", bs::mapTime}, {"colourTime", bs::colourTime},
    };
    for (const auto& [name, text] : named) texts.set(name, utf8(text));
    return texts;
}

// What a player of the drawing list needs: the operations' codes and the
// pens and brushes the codes of selectPen and selectBrush name.
val drawingTable()
{
    val table = val::object();
    val ops = val::object();
    const std::pair<const char*, DrawOp> named[] = {
        {"selectPen", DrawOp::selectPen}, {"selectBrush", DrawOp::selectBrush}, {"moveTo", DrawOp::moveTo},
        {"lineTo", DrawOp::lineTo},       {"ellipse", DrawOp::ellipse},         {"fillRect", DrawOp::fillRect},
        {"textOut", DrawOp::textOut},     {"textRight", DrawOp::textRight},
    };
    for (const auto& [name, op] : named) ops.set(name, static_cast<int>(op));
    table.set("ops", ops);
    val pens = val::array();
    for (const PenStyle& p : penStyles) {
        val pen = val::object();
        pen.set("width", p.width);
        pen.set("colour", p.colour);
        pens.call<void>("push", pen);
    }
    table.set("pens", pens);
    val brushes = val::array();
    for (int b = 0; b < brushCount; ++b) brushes.call<void>("push", b == nullBrush ? val::null() : val(brushColours[b]));
    table.set("brushes", brushes);
    table.set("blackPen", static_cast<int>(blackPen));
    table.set("whiteBrush", static_cast<int>(whiteBrush));
    return table;
}

// The field rules, for checking a link's texts as the fields would read them.
std::string seedOf(const std::string& text) { return utf8(seedDigits(parseSeedText(utf16(text).c_str()))); }
int nodeCountOf(const std::string& text)
{
    return clampCount(parseCountText(utf16(text).c_str()), leastNodes, mostNodes);
}

EMSCRIPTEN_BINDINGS(orvane)
{
    using namespace emscripten;
    class_<PageSession>("Session")
        .constructor<>()
        .function("setText", &PageSession::setText)
        .function("text", &PageSession::text)
        .function("enabled", &PageSession::enabled)
        .function("shown", &PageSession::shown)
        .function("displayMode", &PageSession::displayMode)
        .function("click", &PageSession::click)
        .function("keyDown", &PageSession::keyDown)
        .function("takeRepaint", &PageSession::takeRepaint)
        .function("paint", &PageSession::paint)
        .function("drawCalls", &PageSession::drawCalls)
        .function("drawTexts", &PageSession::drawTexts)
        .function("drawOffscreen", &PageSession::drawOffscreen)
        .function("countryAt", &PageSession::countryAt)
        .function("steps", &PageSession::steps)
        .function("fullRun", &PageSession::fullRun)
        .function("traceLine", &PageSession::traceLine)
        .function("stepTimes", &PageSession::stepTimes)
        .function("replay", &PageSession::replay)
        .function("stepLimit", &PageSession::stepLimit)
        .function("shownSeed", &PageSession::shownSeed)
        .function("shownNodeCount", &PageSession::shownNodeCount)
        .function("takeExport", &PageSession::takeExport)
        .function("placeSites", &PageSession::placeSites)
        .function("openSitesFile", &PageSession::openSitesFile)
        .function("mapSites", &PageSession::mapSites)
        .function("sitesShown", &PageSession::sitesShown)
        .function("shownMapName", &PageSession::shownMapName)
        .function("mapPointAt", &PageSession::mapPointAt)
        .function("viewPoints", &PageSession::viewPoints)
        .function("siteAt", &PageSession::siteAt)
        .function("beginBatch", &PageSession::beginBatch)
        .function("feedBatch", &PageSession::feedBatch)
        .function("batchOver", &PageSession::batchOver)
        .function("endBatch", &PageSession::endBatch)
        .function("settingsText", &PageSession::settingsText)
        .function("loadSettingsText", &PageSession::loadSettingsText);
    class_<MapColourer>("MapColourer").constructor<int>().function("colour", &MapColourer::colour);
    function("windowTexts", &windowTexts);
    function("drawingTable", &drawingTable);
    function("seedOf", &seedOf);
    function("nodeCountOf", &nodeCountOf);
    function("sitesFileLimit", +[] { return static_cast<double>(mostSitesFileBytes); });
}

}  // namespace orvane::web
