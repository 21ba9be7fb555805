// Maps built on several threads at once.
#include "map/map.h"
#include "tests/map_support.h"
#include <gtest/gtest.h>
#include <atomic>
#include <thread>
#include <vector>

using namespace orvane;
using namespace mapcheck;

// Each map keeps all of its state: two maps built at the same time on two
// threads come out exactly as the same maps built one after the other.
TEST(MapThreads, MapsBuiltAtOnceEqualMapsBuiltInTurn)
{
    struct Job {
        uint32_t seed;
        int n;
    };
    const std::vector<Job> first = {{11, 2000}, {12, 2000}, {13, 2000}, {14, 2000}};
    const std::vector<Job> second = {{0xBEEF01u, 3000}, {0xBEEF02u, 3000}, {0xBEEF03u, 3000}};
    struct Result {
        uint64_t digest;
        int edgeSplits;
        int flips;
    };
    auto buildAll = [](const std::vector<Job>& jobs) {
        MapBuilder builder;
        std::vector<Result> out;
        for (const Job& job : jobs) {
            const auto map = builder.build(job.seed, job.n);
            out.push_back({mapDigest(*map), builder.lastBuild().edgeSplits, builder.lastBuild().flips});
        }
        return out;
    };
    const std::vector<Result> firstInTurn = buildAll(first), secondInTurn = buildAll(second);

    // Both threads start building together.
    std::vector<Result> firstAtOnce, secondAtOnce;
    std::atomic<int> ready{0};
    auto together = [&ready](std::vector<Result>& out, const std::vector<Job>& jobs, auto build) {
        ready.fetch_add(1);
        while (ready.load() < 2) std::this_thread::yield();
        out = build(jobs);
    };
    std::thread a([&] { together(firstAtOnce, first, buildAll); });
    std::thread b([&] { together(secondAtOnce, second, buildAll); });
    a.join();
    b.join();

    auto expectSame = [](const std::vector<Result>& atOnce, const std::vector<Result>& inTurn) {
        ASSERT_EQ(atOnce.size(), inTurn.size());
        for (size_t i = 0; i < inTurn.size(); ++i) {
            EXPECT_EQ(atOnce[i].digest, inTurn[i].digest) << "map " << i;
            EXPECT_EQ(atOnce[i].edgeSplits, inTurn[i].edgeSplits) << "map " << i;
            EXPECT_EQ(atOnce[i].flips, inTurn[i].flips) << "map " << i;
        }
    };
    expectSame(firstAtOnce, firstInTurn);
    expectSame(secondAtOnce, secondInTurn);
    EXPECT_NE(firstInTurn[0].digest, firstInTurn[1].digest);
}
