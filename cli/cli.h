// Shared pieces of the companion's commands.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>
#include "engine/colouring.h"
#include "map/map.h"
#include "runs/shard.h"

namespace orvane::cli {

struct Arguments {
    std::string command;
    std::map<std::string, std::string> values;  // --name VALUE
    std::set<std::string> flags;                // --name
    std::vector<std::string> operands;          // the words after the command
    bool has(const std::string& name) const { return values.count(name) || flags.count(name); }
    std::string value(const std::string& name) const
    {
        auto it = values.find(name);
        return it == values.end() ? std::string() : it->second;
    }
};

// Prints a usage error and gives exit status 2.
int usageError(const std::string& message);
// Checks that only the named options and at most `operands` operands were
// given; returns 0 or the usage error status.
int allowOnly(const Arguments& a, const std::set<std::string>& allowed, size_t operands = 0);

// An option's text as the window's field of that kind reads it: at most
// `units` - 1 UTF-16 units.
std::u16string fieldText(const Arguments& a, const std::string& name, int units);
// The seed and node count as the map request reads its fields.
uint32_t seedFromArguments(const Arguments& a);
int nodesFromArguments(const Arguments& a);
Paths pathsFromArguments(const Arguments& a);
// The sharded run that --seed (required), --nodes and --maps (a whole number
// up to 2^32) ask for, cut into `shards`; returns 0 or the usage error status.
int shardedRunFromArguments(const Arguments& a, uint32_t shards, ShardedRun& run);
// The map a command builds: seeded (--seed, --nodes) or from --sites FILE.
struct RequestedMap {
    bool fromSites = false;
    uint32_t seed = 0;
    int nodes = 0;
    std::u16string name;  // of a map from sites: after the file
    // "seed=SSSSSSSS" or "sites=NAME", as the commands print it.
    std::string label() const;
};
// Builds the map that --seed and --nodes, or --sites, ask for into `map`; 0,
// or the exit status after a message (2 for sites that give no map, or a
// usage error), `map` then null.
int buildRequestedMap(const Arguments& a, std::shared_ptr<const Map>& map, RequestedMap& requested);
// Writes the export file when --export was given (into a folder: under the
// window's name for the map, NAME(N).txt): the map as built, or as the
// colouring leaves it; false (after a message) when it failed.
bool exportIfAsked(const Arguments& a, const Map& map, const RequestedMap& requested);
bool exportIfAsked(const Arguments& a, const Colouring& colouring, const RequestedMap& requested);
// Runs the engine as --steps K or --full ask, printing the trace when asked.
// Returns the exit status; fills verify and calls.
int colourAsAsked(const Arguments& a, Colouring& colouring, int& verify, long& calls);

// Commands: each returns the process exit status.
int runMapCommand(const Arguments& a);
int runColourCommand(const Arguments& a);
int runBatchCommand(const Arguments& a);
int runRenderCommand(const Arguments& a);
int runMergeCommand(const Arguments& a);
int runPendingCommand(const Arguments& a);
int runSitesCommand(const Arguments& a);

}  // namespace orvane::cli
