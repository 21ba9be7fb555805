// A batch run of the companion killed at random moments leaves a run log of
// whole lines: the error lines so far, then the in-progress line of the map
// being built, nothing else. Ctrl-C leaves the same and exits with 130.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

pid_t startBatch(const fs::path& dir, const char* nodes)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl(ORVANE_CLI, ORVANE_CLI, "batch", "--seed", "0", "--nodes", nodes, "--maps", "9999999", "--dir",
              dir.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// The run log in dir, or an empty text when the run died before creating it.
std::string runLog(const fs::path& dir)
{
    for (const auto& folder : fs::directory_iterator(dir))
        for (const auto& file : fs::directory_iterator(folder.path())) return readFile(file.path());
    return {};
}

bool wholeLinesOfAKilledRun(const std::string& log, const std::string& nodes)
{
    const std::string seed = "[0-9a-f]{8}\\(" + nodes + "\\)\t;";
    const std::regex shape("(" + seed + "Error\\(-?[0-9]+\\)\r\n)*(" + seed + "最終地図(\r\n)?)?");
    return std::regex_match(log, shape);
}

class KilledBatchTest : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override
    {
        char pattern[] = "/tmp/orvane-kill-XXXXXX";
        dir = mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(dir); }
};

TEST_F(KilledBatchTest, LogHoldsOnlyWholeLinesWheneverTheRunIsKilled)
{
    std::mt19937 random(std::random_device{}());
    for (int round = 0; round < 8; ++round) {
        const fs::path runDir = dir / std::to_string(round);
        fs::create_directory(runDir);
        const char* nodes = round % 2 ? "1000" : "3";
        const int delayMs = 20 + static_cast<int>(random() % 500);
        const pid_t pid = startBatch(runDir, nodes);
        ASSERT_GT(pid, 0);
        usleep(static_cast<useconds_t>(delayMs) * 1000);
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it was killed";
        const std::string log = runLog(runDir);
        EXPECT_TRUE(wholeLinesOfAKilledRun(log, nodes)) << "killed after " << delayMs << " ms:\n" << log;
    }
}

TEST_F(KilledBatchTest, InterruptStopsWithStatus130AndTheLogNamingTheMapInProgress)
{
    const pid_t pid = startBatch(dir, "1000");
    ASSERT_GT(pid, 0);
    usleep(400 * 1000);
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    const std::string log = runLog(dir);
    EXPECT_TRUE(wholeLinesOfAKilledRun(log, "1000")) << log;
    EXPECT_NE(log.find("最終地図"), std::string::npos) << log;
}
}  // namespace
#endif
