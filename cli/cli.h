// Shared pieces of the companion's commands.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>

struct Arguments {
    std::string command;
    std::map<std::string, std::string> values;  // --name VALUE
    std::set<std::string> flags;                // --name
    bool has(const std::string& name) const { return values.count(name) || flags.count(name); }
    std::string value(const std::string& name) const
    {
        auto it = values.find(name);
        return it == values.end() ? std::string() : it->second;
    }
};

// Prints a usage error and gives exit status 2.
int usageError(const std::string& message);
// Checks that only the named options were given; returns 0 or the usage error status.
int allowOnly(const Arguments& a, const std::set<std::string>& allowed);

std::u16string utf8ToUtf16(const std::string& text);
// The seed and node count as the map request reads its fields.
uint32_t seedFromArguments(const Arguments& a);
int nodesFromArguments(const Arguments& a);
// Writes the export file when --export was given; false (after a message) when it failed.
bool exportIfAsked(const Arguments& a);
// Runs the engine as --steps K or --full ask, printing the trace when asked.
// Returns the exit status; fills verify and calls.
int colourAsAsked(const Arguments& a, int& verify, long& calls);

// Commands: each returns the process exit status.
int runMapCommand(const Arguments& a);
int runColourCommand(const Arguments& a);
int runBatchWorkerCommand(const Arguments& a);
// Sets up the batch run's workers from --jobs (default: the number of cores);
// false when --jobs is not a whole number from 1 to 64.
bool useBatchJobs(const Arguments& a);
// --clock-step MS, for tests: every reading of the clock moves it on by MS, so
// that the engine's time limit strikes after a known number of phases.
bool useClockStep(const Arguments& a);
int runRenderCommand(const Arguments& a);
