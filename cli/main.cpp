// orvane-cli: the headless companion. Builds, colours and exports maps exactly
// as the window program does.
#include "cli/cli.h"
#include "orvane/version.h"
#include "platform/arguments.h"
#include "text/utf.h"
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace orvane::cli {

namespace {
const char usageText[] =
    "usage: orvane-cli COMMAND [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  map      build a map and print: seed, node count, borders, outer nodes\n"
    "  colour   build a map and colour it step by step or at once\n"
    "  batch    colour --maps consecutive seeds from --seed, as the batch button\n"
    "           does, writing the run log (progress on stderr when a terminal);\n"
    "           with --shard I/K only the I-th of K slices of the seeds, writing\n"
    "           a shard file into --out DIR (docs/cluster.md)\n"
    "  merge    merge DIR [--dir LOGDIR]: put the shard files of one run in DIR\n"
    "           together into the run log one sequential run writes; prints its\n"
    "           path. Missing, broken or foreign shards are named and no log is\n"
    "           written (exit 1). The log goes under LOGDIR, by default DIR\n"
    "  pending  print the shards of a run (--seed, --nodes, --maps, --shards K,\n"
    "           --out DIR) that have no complete file in DIR yet, as a job array\n"
    "           lists indices (\"0-3,7\"); nothing when all are there\n"
    "  render   build (and colour) a map and write the map page as SVG\n"
    "  sites    print the sites of the map of --seed and --nodes as a sites file:\n"
    "           one 'x y' a line, country 1 first (the last site drawn); fed\n"
    "           back with --sites they build exactly that map\n"
    "\n"
    "options:\n"
    "  --seed TEXT    seed in hexadecimal, read as the seed field reads it (its\n"
    "                 first 15 characters); empty or missing: the millisecond clock\n"
    "  --nodes TEXT   node count, read as the node count field reads it (its first\n"
    "                 7 characters, clamped to 3..10000)\n"
    "  --sites FILE   map, colour, render: the map of the sites in FILE (- for\n"
    "                 standard input) instead of --seed and --nodes: one site a\n"
    "                 line as two whole numbers 'x y' (0..32767), the k-th site\n"
    "                 country k; '#' starts a comment. Sites that give no map\n"
    "                 (fewer than 3 or more than 10000, outside the square,\n"
    "                 repeated, all on one line, or too close in direction for\n"
    "                 the neighbour order) are named with their lines (exit 2)\n"
    "  --export PATH  write the export file of the map (after the last step); into\n"
    "                 a folder PATH as the window names it: SSSSSSSS(N).txt, or\n"
    "                 NAME(N).txt for a sites file NAME.ext\n"
    "  --steps K      colour: K single steps (as K presses of step colouring)\n"
    "  --full         colour: one run to the end (the default)\n"
    "  --trace        colour: print the engine state after every step\n"
    "  --digest       colour: step to the end and print a digest of the whole trace\n"
    "  --size WxH     render: the view's size in pixels (default 800x600)\n"
    "  --svg PATH     render: where to write the picture\n"
    "  --maps TEXT    batch: map count, read as the map count field (its first 7\n"
    "                 characters, clamped to 1..1000000); with --shard a whole\n"
    "                 number from 1 to 4294967296 (the whole seed space)\n"
    "  --dir DIR      batch: make the Log_YYYY folder in DIR, not beside orvane-cli;\n"
    "                 merge: there, not in the shard folder\n"
    "  --jobs J       batch: colour the maps on J threads (default: the number of\n"
    "                 cores); the run log is the same as with one\n"
    "  --shard I/K    batch: run only slice I (0 <= I < K <= 1000000) of the seeds;\n"
    "                 needs --seed, --out and a whole --maps from 1 to 4294967296\n"
    "  --out DIR      batch --shard, pending: the folder of the shard files\n"
    "  --shards K     pending: the number of shards of the run\n"
    "  --clock-step MS  batch, for tests: the clock moves MS per reading, so the\n"
    "                 engine's 10-second limit strikes after a known number of phases\n"
    "  --reference    map, colour, batch: take the slow reference paths (whole-list walks\n"
    "                 and clears); the results are the same, only slower\n"
    "  --help         show this text\n"
    "  --version      print the version\n";

const std::set<std::string> flagNames = {"--full", "--trace", "--digest", "--reference", "--help", "-h", "--version"};

struct Command {
    const char* name;
    int (*run)(const Arguments&);
};

const std::vector<Command>& commands()
{
    static const std::vector<Command> table = {
        {"map", runMapCommand},
        {"colour", runColourCommand},
        {"color", runColourCommand},
        {"batch", runBatchCommand},
        {"render", runRenderCommand},
        {"merge", runMergeCommand},
        {"pending", runPendingCommand},
        {"sites", runSitesCommand},
    };
    return table;
}

// Options that name a file or a folder.
const std::set<std::string> pathOptions = {"--sites", "--export", "--svg", "--dir", "--out"};

int parse(const std::vector<std::string>& words, Arguments& a)
{
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& arg = words[i];
        if (flagNames.count(arg)) {
            a.flags.insert(arg);
        } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            if (i + 1 >= words.size()) return usageError(arg + " needs a value");
            a.values[arg] = words[++i];
        } else if (!arg.empty() && arg[0] != '-') {
            (a.command.empty() ? a.command : a.operands.emplace_back()) = arg;
        } else {
            return usageError("unexpected argument '" + arg + "'");
        }
    }
    return 0;
}

// Names go to the system as UTF-16 text: bytes that are not UTF-8 would come
// out as another name than the one given, so they are refused.
int checkNamesAreText(const Arguments& a)
{
    for (const std::string& name : pathOptions)
        if (a.values.count(name) && !isUtf8(a.value(name)))
            return usageError(name + ": the name is not UTF-8 text; give file and folder names in UTF-8");
    for (const std::string& operand : a.operands)
        if (!isUtf8(operand)) return usageError("an argument is not UTF-8 text; give file and folder names in UTF-8");
    return 0;
}
}  // namespace

int usageError(const std::string& message)
{
    std::fprintf(stderr, "orvane-cli: %s\n(run 'orvane-cli --help' for the options)\n", message.c_str());
    return 2;
}

int allowOnly(const Arguments& a, const std::set<std::string>& allowed, size_t operands)
{
    if (a.operands.size() > operands) return usageError("unexpected argument '" + a.operands[operands] + "'");
    for (const auto& [name, value] : a.values)
        if (!allowed.count(name)) return usageError("unknown option '" + name + "' for " + a.command);
    for (const auto& name : a.flags)
        if (!allowed.count(name)) return usageError("unknown option '" + name + "' for " + a.command);
    return 0;
}

// What the command printed must have reached standard output: a full disk
// or a closed output fails the run.
int withOutputChecked(int status)
{
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    const int error = errno ? errno : EIO;
    std::fprintf(stderr, "orvane-cli: cannot write to standard output: %s\n", std::strerror(error));
    return status ? status : 1;
}

int run(const std::vector<std::string>& words)
{
    Arguments a;
    if (const int status = parse(words, a)) return status;
    if (a.flags.count("--help") || a.flags.count("-h")) {
        std::fputs(usageText, stdout);
        return 0;
    }
    if (a.flags.count("--version")) {
        std::printf("orvane-cli %s\n", orvane::version);
        return 0;
    }
    if (a.command.empty()) return usageError("no command given");
    if (const int status = checkNamesAreText(a)) return status;
    for (const Command& c : commands())
        if (a.command == c.name) return c.run(a);
    return usageError("unknown command '" + a.command + "'");
}
}  // namespace orvane::cli

int main(int argc, char** argv)
{
    using namespace orvane::cli;
    return withOutputChecked(run(orvane::programArguments(argc, argv)));
}
