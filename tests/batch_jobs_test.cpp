// A batch on several workers writes the run log that a batch on one writes:
// the same error lines in seed order, in-progress, first-seed and summary
// lines; only the time lines may differ.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;

struct BatchOutcome {
    int status;
    std::string log;
    std::string errors;  // what the run printed on stderr
};

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

BatchOutcome runBatch(const std::string& options)
{
    const fs::path dir = fs::temp_directory_path() / ("orvane-jobs-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path errors = dir.string() + ".err";
    const std::string command = std::string(ORVANE_CLI) + " batch " + options + " --dir " + dir.string() +
                                " > /dev/null 2> " + errors.string();
    BatchOutcome outcome{std::system(command.c_str()), {}, {}};
    for (const auto& folder : fs::directory_iterator(dir))
        for (const auto& file : fs::directory_iterator(folder.path())) outcome.log = readFile(file.path());
    outcome.errors = readFile(errors);
    fs::remove(errors);
    fs::remove_all(dir);
    return outcome;
}

// The log without its last three lines (total, map and colouring times).
std::string withoutTimes(const std::string& log)
{
    size_t end = log.size();
    for (int i = 0; i < 4 && end != std::string::npos && end > 0; ++i) end = log.rfind('\n', end - 1);
    return end == std::string::npos ? std::string() : log.substr(0, end + 1);
}

}  // namespace

TEST(BatchJobs, LastMapFailingAndSuccessfulRunsMatchToo)
{
    for (const std::string run : {"--seed 1 --nodes 200 --maps 30", "--seed 2a --nodes 20 --maps 7 --clock-step 2000",
                                  "--seed 5 --nodes 50 --maps 1"}) {
        SCOPED_TRACE(run);
        const BatchOutcome one = runBatch(run + " --jobs 1");
        const BatchOutcome two = runBatch(run + " --jobs 2");
        const BatchOutcome three = runBatch(run + " --jobs 3");
        EXPECT_EQ(withoutTimes(one.log), withoutTimes(two.log));
        EXPECT_EQ(withoutTimes(one.log), withoutTimes(three.log));
        EXPECT_EQ(two.errors + three.errors, "");
    }
}

TEST(BatchJobs, JobsMustBeAWholeNumberInRange)
{
    for (const char* jobs : {"0", "65", "x", "-2", ""}) {
        const std::string command = std::string(ORVANE_CLI) + " batch --nodes 3 --maps 1 --jobs '" + jobs + "' 2>/dev/null >/dev/null";
        EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 2) << jobs;
    }
}
#endif
