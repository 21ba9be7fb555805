// A disk that fills up, for real: the companion's batch, picture and export
// say so and leave the files that were there whole.
#include "tests/runs_fixture.h"
#include <cerrno>
#include <fstream>
#ifndef _WIN32
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace {
using namespace runs_testing;

#ifndef _WIN32
// A disk that fills up: a small memory file system, where the machine lets
// the tests mount one.
class FullDisk : public RunsTest {
protected:
    fs::path disk;
    bool mounted = false;

    void SetUp() override
    {
        RunsTest::SetUp();
        disk = folder / "disk";
        fs::create_directory(disk);
        mounted = geteuid() == 0 && mount("orvane-test", disk.c_str(), "tmpfs", 0, "size=64k") == 0;
    }

    void TearDown() override
    {
        if (mounted) umount(disk.c_str());
        RunsTest::TearDown();
    }
};

TEST_F(FullDisk, BatchRenderAndExportSayTheDiskIsFullAndKeepOldFiles)
{
    if (!mounted) GTEST_SKIP() << "cannot mount a small file system here (needs root)";
    // Fill most of the disk, then run until it is full.
    std::ofstream(disk / "filler", std::ios::binary) << std::string(40000, 'x');
    const Outcome batch = runCompanion(folder, "batch --seed 0 --nodes 20 --maps 1000000 --clock-step 20000 --jobs 1 --dir " + disk.string());
    EXPECT_EQ(batch.status, 1);
    EXPECT_NE(batch.err.find(errorText(ENOSPC)), std::string::npos) << batch.err;
    EXPECT_EQ(batch.out.find("log "), std::string::npos);

    fs::remove(disk / "filler");
    std::ofstream(disk / "picture.svg") << "old picture";
    std::ofstream(disk / "map.txt") << "old map";
    std::ofstream(disk / "filler", std::ios::binary) << std::string(50000, 'x');
    const Outcome render = runCompanion(folder, "render --seed 1 --nodes 3000 --svg " + (disk / "picture.svg").string());
    EXPECT_EQ(render.status, 1);
    EXPECT_EQ(readFile(disk / "picture.svg"), "old picture");
    const Outcome exported = runCompanion(folder, "map --seed 1 --nodes 3000 --export " + (disk / "map.txt").string());
    EXPECT_EQ(exported.status, 1);
    EXPECT_EQ(readFile(disk / "map.txt"), "old map");
    size_t sideFiles = 0;
    for (const auto& entry : fs::directory_iterator(disk)) sideFiles += entry.path().extension() == ".part";
    EXPECT_EQ(sideFiles, 0u);
}
#endif
}  // namespace
