// Running the companion as a user runs it, from the tests: a folder of the
// test's own, the companion's output, error text and exit status.
#pragma once
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#ifndef _WIN32
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace companion_testing {
namespace fs = std::filesystem;

// A whole file's bytes; empty when it cannot be read.
inline std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#ifndef _WIN32

struct Outcome {
    int status;
    std::string out, err;
};

// The companion with these arguments (a shell word list written by the test),
// its standard output and error caught in files beside `scratch`, standard
// input read from `input` when one is named.
inline Outcome runCompanion(const fs::path& scratch, const std::string& arguments, const std::string& input = "")
{
    const fs::path out = scratch.string() + ".out", err = scratch.string() + ".err";
    std::string command = std::string(ORVANE_CLI) + " " + arguments + " > " + out.string() + " 2> " + err.string();
    if (!input.empty()) command += " < " + input;
    const int status = std::system(command.c_str());
    Outcome o{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
    fs::remove(out);
    fs::remove(err);
    return o;
}

// A fixture with a fresh folder of its own, removed afterwards.
class CompanionTest : public ::testing::Test {
protected:
    fs::path folder;

    void SetUp() override
    {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() /
                 ("orvane-" + std::string(test->test_suite_name()) + "-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    Outcome companion(const std::string& arguments, const std::string& input = "")
    {
        return runCompanion(folder / "companion", arguments, input);
    }
    // Standard output of a run that must succeed.
    std::string runOk(const std::string& arguments)
    {
        const Outcome o = companion(arguments);
        EXPECT_EQ(o.status, 0) << arguments << ": " << o.err;
        return o.out;
    }
    fs::path write(const std::string& name, const std::string& text)
    {
        std::ofstream(folder / name, std::ios::binary) << text;
        return folder / name;
    }
};

#endif

}  // namespace companion_testing
