// Files and faults: every write either completes or says it failed. Planned
// faults of the platform's file operations stop a batch at the first one and
// keep earlier exports, settings and pictures whole; real files show the same
// on a full disk, with two runs in one second, with links, pipes and devices.
#include "tests/runs_fixture.h"
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>
#include "engine/colouring.h"
#include "runs/export.h"
#include "runs/runlog.h"
#include "ui/settings.h"
#include "ui/strings.h"
#ifndef _WIN32
#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {
using namespace runs_testing;
namespace ws = windowstrings;

size_t filesIn(const fs::path& folder)
{
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class FileFaults : public RunsTest {
protected:
    void TearDown() override
    {
        headlessClearFileFaults();
        RunsTest::TearDown();
    }

    // The run log of the last batch, or an empty text.
    std::string runLog() const { return session.runLogPath.empty() ? std::string() : readFile(session.runLogPath); }
};

// Every kind of planned fault at several moments of a run: the run stops at
// the first one, builds no map after it, says so and gives the controls back.
TEST_F(FileFaults, BatchStopsAtTheFirstFailedWriteSeekOrFlush)
{
    for (const FileOperation op : {FileOperation::write, FileOperation::seek, FileOperation::flush}) {
        for (const long nth : {1L, 2L, 7L}) {
            SCOPED_TRACE("operation " + std::to_string(static_cast<int>(op)) + " call " + std::to_string(nth));
            setFields(u"100", u"30", u"20");
            headlessFailFileOperation(op, nth, ENOSPC);
            session.batchRun();
            headlessClearFileFaults();
            EXPECT_EQ(session.lastLogError, ENOSPC);
            EXPECT_EQ(headlessControlText(idStatus), ws::runLogNotWritten);
            for (int id = idSeedLabel; id <= idBatch; ++id) EXPECT_TRUE(headlessControlShown(id)) << id;
            const uint32_t counted = static_cast<uint32_t>(parseCountText(session.batch.counterText[0]) +
                                                           parseCountText(session.batch.counterText[1]));
            // Each map costs at most three writes, seeks and flushes of the log.
            EXPECT_LE(counted, static_cast<uint32_t>(nth));
            EXPECT_LT(counted, 20u);
            EXPECT_EQ(runLog().find("---"), std::string::npos) << "no summary after a failed write";
        }
    }
}

TEST_F(FileFaults, BatchReportsAFailedCloseOfAFinishedLog)
{
    setFields(u"100", u"30", u"4");
    headlessFailFileOperation(FileOperation::close, 1, EIO);
    session.batchRun();
    EXPECT_EQ(session.lastLogError, EIO);
    EXPECT_EQ(headlessControlText(idStatus), ws::runLogNotWritten);
}

// The companion's path: runBatch with a created log stops at the failed write
// and names the file.
TEST_F(FileFaults, RunBatchStopsAndNamesTheLog)
{
    RunLog log;
    const std::u16string path = (folder / "log.txt").u16string();
    ASSERT_EQ(log.create(path, 5, 20), 0);
    BatchSettings s;
    s.firstSeed = 5;
    s.nodes = 20;
    s.maps = 50;
    BatchTexts texts;
    headlessFailFileOperation(FileOperation::write, 4, ENOSPC);
    const BatchOutcome out = runBatch(s, log, texts, nullptr);
    EXPECT_EQ(out.logError, ENOSPC);
    EXPECT_FALSE(out.completed);
    EXPECT_EQ(out.logPath, path);
    EXPECT_LE(out.mapsDone, 3);
    EXPECT_EQ(errorText(ENOSPC), std::string(std::strerror(ENOSPC)));
}

// Files written whole or not at all keep what was there and leave no side file.
TEST_F(FileFaults, ExportSettingsAndPicturesKeepTheOldFile)
{
    const Map map = *Map::build(1, 30);
    const fs::path target = folder / "kept.txt";
    std::ofstream(target, std::ios::binary) << "old";
    for (const FileOperation op : {FileOperation::write, FileOperation::flush, FileOperation::close}) {
        headlessFailFileOperation(op, 1, ENOSPC);
        EXPECT_EQ(writeExportFile(map, target.u16string()), ENOSPC);
        EXPECT_EQ(readFile(target), "old");
        headlessFailFileOperation(op, 1, ENOSPC);
        EXPECT_EQ(writeWholeFile(target.u16string(), "picture"), ENOSPC);
        EXPECT_EQ(readFile(target), "old");
        Settings settings;
        settings.path = target.u16string();
        FieldTexts fields;
        headlessFailFileOperation(op, 1, ENOSPC);
        saveSettings(settings, fields);
        EXPECT_EQ(readFile(target), "old");
        EXPECT_EQ(filesIn(folder), 1u) << "a side file was left";
    }
    headlessClearFileFaults();
    EXPECT_EQ(writeExportFile(map, target.u16string()), 0);
    EXPECT_EQ(readFile(target), exportContent(map));
}

TEST_F(FileFaults, AFailedExportSaysSoInTheWindow)
{
    setFields(u"1", u"20");
    session.mapRequest();
    headlessFailFileOperation(FileOperation::write, 1, ENOSPC);
    session.exportMap();
    EXPECT_EQ(headlessControlText(idStatus), ws::exportFailed);
    EXPECT_EQ(filesIn(folder / "Export"), 0u);
}

// Two runs started in the same second never share a log: the second takes the
// first free name with _2, _3 ...
TEST_F(FileFaults, RunsInTheSameSecondGetLogsOfTheirOwn)
{
    setFields(u"1", u"10", u"2");
    session.batchRun();
    const std::u16string first = session.runLogPath;
    session.batchRun();
    const std::u16string second = session.runLogPath;
    session.batchRun();
    const fs::path folderOfLogs = folder / "Log_2026";
    EXPECT_EQ(fs::path(first), folderOfLogs / "(10)2_@1207224530.txt");
    EXPECT_EQ(fs::path(second), folderOfLogs / "(10)2_@1207224530_2.txt");
    EXPECT_EQ(fs::path(session.runLogPath), folderOfLogs / "(10)2_@1207224530_3.txt");
    EXPECT_EQ(readFile(first), readFile(second));
    EXPECT_NE(readFile(first).find("---"), std::string::npos);
}

#ifndef _WIN32

TEST_F(FileFaults, CompanionReportsFilesItCannotWrite)
{
    const Outcome full = runCompanion(folder, "map --seed 1 --nodes 50 --export /dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find(errorText(ENOSPC)), std::string::npos) << full.err;

    const Outcome folderTaken = runCompanion(folder, "render --seed 1 --nodes 20 --svg " + folder.string());
    EXPECT_EQ(folderTaken.status, 1);
    EXPECT_NE(folderTaken.err.find(errorText(EISDIR)), std::string::npos) << folderTaken.err;

    std::ofstream(folder / "plain") << "x";
    const Outcome blocked = runCompanion(folder, "batch --seed 1 --nodes 5 --maps 2 --dir " + (folder / "plain").string());
    EXPECT_EQ(blocked.status, 1);
    EXPECT_NE(blocked.err.find("plain"), std::string::npos) << blocked.err;
    EXPECT_NE(blocked.err.find(errorText(ENOTDIR)), std::string::npos) << blocked.err;

    const Outcome deep = runCompanion(folder, "batch --seed 1 --nodes 5 --maps 2 --dir " + (folder / "a" / "b").string());
    EXPECT_EQ(deep.status, 0) << deep.err;
    EXPECT_TRUE(fs::is_directory(folder / "a" / "b" / "Log_2026") || fs::exists(folder / "a" / "b"));

    const int closedOutput = std::system((std::string(ORVANE_CLI) + " map --seed 1 --nodes 5 >&- 2>/dev/null").c_str());
    EXPECT_EQ(WEXITSTATUS(closedOutput), 1);
    const fs::path err = folder / "err.txt";
    const int fullOutput = std::system((std::string(ORVANE_CLI) + " map --seed 1 --nodes 5 > /dev/full 2> " + err.string()).c_str());
    EXPECT_EQ(WEXITSTATUS(fullOutput), 1);
    EXPECT_NE(readFile(err).find(errorText(ENOSPC)), std::string::npos) << readFile(err);
}

TEST_F(FileFaults, StepsEndWithTheColouringAndAbsurdCountsAreRefused)
{
    const Outcome past = runCompanion(folder, "colour --seed 1 --nodes 8 --steps 9223372036854775807 --trace");
    EXPECT_EQ(past.status, 0);
    EXPECT_NE(past.out.find("verify=0 steps=7"), std::string::npos) << past.out;
    for (const char* steps : {"99999999999999999999", "-1", "1e3", "x"}) {
        const Outcome absurd = runCompanion(folder, std::string("colour --seed 1 --nodes 8 --steps ") + steps);
        EXPECT_EQ(absurd.status, 2) << steps;
        EXPECT_EQ(absurd.out, "") << steps;
    }
}

TEST_F(FileFaults, ExportThroughALinkKeepsTheLinkAndIntoAPipeDeliversTheWholeText)
{
    const Map map = *Map::build(0x1a2b, 300);
    const fs::path real = folder / "real.txt", link = folder / "link.txt";
    std::ofstream(real) << "old";
    fs::create_symlink(real, link);
    ASSERT_EQ(writeExportFile(map, link.u16string()), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFile(real), exportContent(map));

    const fs::path pipe = folder / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = readFile(pipe); });
    EXPECT_EQ(writeExportFile(map, pipe.u16string()), 0);
    reader.join();
    EXPECT_EQ(received, exportContent(map));
    EXPECT_EQ(filesIn(folder), 3u);
}

// Ten companions export ten maps to one path at once: one whole export stays.
TEST_F(FileFaults, ExportsToOnePathAtOnceLeaveOneWholeFile)
{
    const fs::path target = folder / "same.txt";
    std::vector<std::string> expected;
    std::string command;
    for (int k = 1; k <= 10; ++k) {
        expected.push_back(exportContent(*Map::build(static_cast<uint32_t>(k), 400)));
        char seed[16];
        std::snprintf(seed, sizeof seed, "%x", k);  // the seed option is hexadecimal
        command += std::string(ORVANE_CLI) + " map --seed " + seed + " --nodes 400 --export " +
                   target.string() + " >/dev/null & ";
    }
    ASSERT_EQ(std::system((command + "wait").c_str()), 0);
    const std::string text = readFile(target);
    EXPECT_NE(std::find(expected.begin(), expected.end(), text), expected.end());
    EXPECT_EQ(filesIn(folder), 1u);
}

// A folder that nobody may write into, root included: a read-only file
// system where the tests may mount one (as root), else, for a user, a folder
// without write permission. What cannot be made is named with the error of
// the making, not with what a look at the missing folder says afterwards.
class UnwritableFolder : public FileFaults {
protected:
    fs::path locked;
    int expected = 0;  // the error of making a folder in it
    bool mounted = false;

    void SetUp() override
    {
        FileFaults::SetUp();
        locked = folder / "locked";
        fs::create_directory(locked);
        if (geteuid() == 0) {
            mounted = mount("orvane-test", locked.c_str(), "tmpfs", MS_RDONLY, "size=64k") == 0;
            if (mounted) expected = EROFS;
        } else {
            fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
            expected = EACCES;
        }
    }

    void TearDown() override
    {
        if (mounted) umount(locked.c_str());
        fs::permissions(locked, fs::perms::owner_all);
        FileFaults::TearDown();
    }
};

TEST_F(UnwritableFolder, FoldersThatCannotBeMadeAreNamedWithTheRealReason)
{
    if (!expected) GTEST_SKIP() << "no read-only file system can be mounted here";
    std::u16string failed;
    EXPECT_EQ(createFolders((locked / "a" / "b").u16string(), failed), expected);
    EXPECT_EQ(failed, (locked / "a").u16string());
    EXPECT_FALSE(createFolder((locked / "c").u16string()));
    // Through a regular file the reason is that it is no folder.
    std::ofstream(folder / "plain") << "x";
    EXPECT_EQ(createFolders((folder / "plain" / "a").u16string(), failed), ENOTDIR);
    EXPECT_EQ(failed, (folder / "plain").u16string());
}

// The companion's commands that make folders say which one and why.
TEST_F(UnwritableFolder, TheCompanionNamesTheFolderAndTheReason)
{
    if (!expected) GTEST_SKIP() << "no read-only file system can be mounted here";
    const std::string below = (locked / "x").string(), reason = ": " + errorText(expected) + "; ";
    Outcome o = runCompanion(folder, "batch --seed 1 --nodes 5 --maps 2 --dir " + below);
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("cannot make the folder '" + below + "' for the run log" + reason + "no map was built"),
              std::string::npos) << o.err;
    o = runCompanion(folder, "batch --seed 1 --nodes 5 --maps 2 --shard 0/1 --out " + below);
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("cannot make the folder '" + below + "' for the shard file" + reason + "no map was built"),
              std::string::npos) << o.err;
    const std::string shards = (folder / "shards").string();
    ASSERT_EQ(runCompanion(folder, "batch --seed 1 --nodes 5 --maps 2 --shard 0/1 --out " + shards).status, 0);
    o = runCompanion(folder, "merge " + shards + " --dir " + below);
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("merge: cannot make the folder '" + below + "' for the run log" + reason + "no run log written"),
              std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
}

// Permission denied, for root too: the folder is made by another user.
TEST_F(FileFaults, AFolderWithoutWritePermissionIsReportedAsSuch)
{
    const fs::path locked = folder / "no-write";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    std::u16string failed;
    int error = 0;
    if (geteuid() != 0) {
        error = createFolders((locked / "x").u16string(), failed);
    } else {
        fs::permissions(folder, fs::perms::others_exec, fs::perm_options::add);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const gid_t nobody = 65534;
            if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0) _exit(255);
            _exit(createFolders((locked / "x").u16string(), failed));
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 255) GTEST_SKIP() << "cannot run as another user here";
        error = WEXITSTATUS(status);
    }
    EXPECT_EQ(error, EACCES) << errorText(error);
    fs::permissions(locked, fs::perms::owner_all);
}
#endif
}  // namespace
