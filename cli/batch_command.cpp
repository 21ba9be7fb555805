// The batch command: the batch run exactly as the program's button runs it,
// with live progress on a terminal and Ctrl-C leaving the log as a killed run.
#include "cli/cli.h"
#include "map/map.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "runs/runlog.h"
#include "runs/runs.h"
#include "ui/ui.h"
#include <csignal>
#include <cstdio>
#include <cstdlib>
#ifdef _WIN32
#include <io.h>
#define write _write
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {
volatile std::sig_atomic_t progressShown = 0;
uint32_t lastProgressMs = 0;
bool progressPending = false;

// Every log write is flushed as it is made, so the file on disk is always a
// log of whole lines: stopping here leaves it as a killed run leaves it.
extern "C" void stopOnInterrupt(int)
{
    static const char message[] = "\norvane-cli: interrupted; the run log names the map in progress\n";
    const char* text = progressShown ? message : message + 1;
    const int length = static_cast<int>(sizeof message - 1) - (progressShown ? 0 : 1);
    if (write(2, text, length) < 0) {}
    std::_Exit(130);
}

std::string minutesAndSeconds(uint64_t ms)
{
    const uint64_t s = (ms + 500) / 1000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02llu:%02llu", static_cast<unsigned long long>(s / 60),
                  static_cast<unsigned long long>(s % 60));
    return buf;
}

void printProgress(const BatchProgress& p)
{
    const uint64_t remaining = p.done > 0 ? uint64_t{p.elapsedMs} * (p.total - p.done) / p.done : 0;
    std::fprintf(stderr, "\r%d/%d maps  %u ok  %u failed  elapsed %s  remaining %s ", p.done, p.total, p.successes,
                 p.failures, minutesAndSeconds(p.elapsedMs).c_str(), minutesAndSeconds(remaining).c_str());
    std::fflush(stderr);
    progressShown = 1;
}

// Called after every map: keeps the recorded window events from piling up and
// shows progress on a terminal at most five times a second.
void afterMap(const BatchProgress& p)
{
    headlessEvents().clear();
    if (!progressPending) return;
    if (p.done == p.total || p.elapsedMs - lastProgressMs >= 200 || p.done == 1) {
        lastProgressMs = p.elapsedMs;
        printProgress(p);
    }
}

std::string localText(const char16_t* text) { return toLocaleEncoding(text); }

void printBatchTexts()
{
    std::printf("%s\n%s\n", localText(batchHeader).c_str(), localText(batchSeedRange).c_str());
    std::printf("%s %s\n%s %s\n", localText(u"成功 :").c_str(), localText(counterText[0]).c_str(),
                localText(u"失敗 :").c_str(), localText(counterText[1]).c_str());
    std::printf("%s\n%s\n%s\n", localText(batchTotalTime).c_str(), localText(batchMapTime).c_str(),
                localText(batchColourTime).c_str());
    std::printf("%s\n", localText(headlessControlText(idStatus).c_str()).c_str());
    std::printf("log %s\n", toLocaleEncoding(runLogPath).c_str());
}
}  // namespace

int runBatchCommand(const Arguments& a)
{
    if (const int status = allowOnly(a, {"--seed", "--nodes", "--maps", "--dir", "--jobs", "--clock-step", "--reference"})) return status;
    if (a.has("--dir") && a.value("--dir").empty()) return usageError("--dir needs a folder");
    if (!useBatchJobs(a)) return usageError("--jobs takes a whole number from 1 to 64");
    if (!useClockStep(a)) return usageError("--clock-step takes a whole number from 1 to 100000");
    literalReference = a.has("--reference");
    writeControlText(idSeedField, utf8ToUtf16(a.value("--seed")).c_str());
    writeControlText(idNodeField, utf8ToUtf16(a.value("--nodes")).c_str());
    writeControlText(idMapCountField, utf8ToUtf16(a.value("--maps")).c_str());
    runLogParent = utf8ToUtf16(a.value("--dir"));
    progressPending = isatty(fileno(stderr)) != 0;
    batchProgress = afterMap;
    std::signal(SIGINT, stopOnInterrupt);
    batchRun();
    std::signal(SIGINT, SIG_DFL);
    batchProgress = nullptr;
    if (progressShown) std::fputc('\n', stderr);
    if (runLogPath.empty()) {
        std::fprintf(stderr, "orvane-cli: cannot create the run log; no map was built\n");
        return 1;
    }
    printBatchTexts();
    return 0;
}
