// The window program's application state: the three field texts, the map
// shown and its colouring, the batch page, and the commands that the buttons
// and keys run on them. The program holds one; the tests make their own.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "engine/colouring.h"
#include "map/map.h"
#include "map/sites.h"
#include "runs/batch.h"
#include "ui/controls.h"

namespace orvane {

class RunLog;

// The batch page: the run's texts and the two counters, successes and failures.
struct BatchPage : BatchTexts {
    char16_t counterText[2][16] = {};
};

// The texts of the three fields as the program keeps them between commands.
struct FieldTexts {
    char16_t seedText[textBufferUnits] = {};
    char16_t nodeCountText[textBufferUnits] = {};
    char16_t mapCountText[textBufferUnits] = {};
};

class Session : private BatchListener {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The commands of the buttons.
    void fixSeed();
    void autoSeed();
    void mapRequest();
    // Shows the map of given sites (a page's clicks, a sites file) instead of
    // the fields' seed and count; `name` names its export file. Sites that
    // give no map leave none shown, the colouring commands off, and return
    // the problem.
    SiteProblem sitesRequest(const std::vector<Point>& sites, const std::u16string& name);
    void stepColouring();
    void fullColouring();
    void clearColouring();
    void exportMap();
    void batchRun();

    // The batch run in two halves, for a caller that colours the maps itself
    // (a web page's workers) and feeds their results to a FedBatchRun: the
    // first reads the fields, creates the run log and shows the batch page
    // (false: the log could not be created, and the status says so); the
    // second shows how the run ended. batchRun is the two around runBatch.
    bool beginBatchRun(BatchSettings& settings, RunLog& log);
    void finishBatchRun(const BatchSettings& settings, const BatchOutcome& outcome);
    // Where a batch run reports its counters: the view's counter rectangles.
    BatchListener& batchListener() { return *this; }

    // Applies one row of the enable table.
    void setCommandState(CommandState state);

    DisplayMode displayMode = DisplayMode::blank;
    FieldTexts fields;
    // The map shown (an empty one before the first map request and while a
    // batch runs) and its colouring.
    std::shared_ptr<const Map> map;
    Colouring colouring;
    // Seed and node count of the map the last map request built: the map shown,
    // whatever FIX and AUTO have since put into seedText.
    uint32_t shownSeed = 0;
    int32_t shownNodeCount = 0;
    // The sites and name of the map shown when it came from sitesRequest;
    // empty for a seeded map.
    std::vector<Point> shownSites;
    std::u16string shownSitesName;
    // The map shown as its export file is named: the seed's digits or the sites' name.
    std::u16string shownMapName() const;
    BatchPage batch;
    // What the last step or full colouring command did.
    StepReport lastStep;
    int32_t viewWidth = 0;   // the map view's size, from the main window's last size message
    int32_t viewHeight = 0;

    // Batch settings the program leaves at their defaults: the run log's
    // parent folder (empty: beside the executable), the worker threads, and
    // the path of the last run log (empty when it could not be created).
    std::u16string runLogParent;
    int batchJobs = 1;
    std::u16string runLogPath;
    int lastLogError = 0;  // why the last run log could not be created or written (an errno value)

private:
    void counterChanged(int slot, uint32_t count) override;
    void applyStepEffects(const StepReport& report);
    void endBatchRun(const char16_t* status);
};

}  // namespace orvane
