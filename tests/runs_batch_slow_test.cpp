// The batch run at its largest: a million maps, the most a run takes.
#include "tests/batch_fixture.h"
#include <algorithm>

using namespace runs_testing;

namespace {

TEST_F(BatchRunTest, MapCountAboveTheLimitRunsAMillionMaps)
{
#ifdef ORVANE_SANITIZED
    GTEST_SKIP() << "a million maps take too long under the sanitizers";
#endif
    dropBatchEvents = true;
    setFields(u"0", u"3", u"99999999");
    session.batchRun();
    EXPECT_EQ(headlessControlText(idMapCountField), u"1000000");
    EXPECT_EQ(counter(0), u"1000000");
    EXPECT_EQ(std::u16string(session.batch.batchSeedRange), u"乱数コード ( 00000000 ) ～ ( 000f423f )");
    const std::string log = readFile(folder / "Log_2026" / "(3)1000000_@1207224530.txt");
    EXPECT_EQ(log.substr(0, std::min<size_t>(log.find("---"), 200)), local("000f423f(3)\t;最終地図\r\n00000000(3)\t;初期地図\r\n"));
}

}  // namespace
