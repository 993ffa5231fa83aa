// Loads that run out of memory, for every kind: the pool is held to a little
// more memory than it uses, at many heights, so that the load fails at many
// points (either side, or the compare). Each time the program goes on, frees
// what the load built, says "TooLargeFile", and a load with memory enough
// gives the same rows as a load that never failed.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/small_block.h"
#include "support/job_support.h"
#include "support/test_support.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/text/text_kind.h"

using namespace JobLayer;
using TestSupport::S;
using TestSupport::W;

namespace {

// Lifts the pool's limit however the test ends.
struct PoolLimitScope {
    ~PoolLimitScope() { RawLayer::SetSmallBlockTestLimit(0); }
};

std::vector<std::string> RowsOf(const JobGroupUnit& job) {
    std::vector<std::string> rows;
    for (const JobReportUnit& row : job.rows)
        rows.push_back(std::to_string(row.kind) + ":" + S(row.unit1->Text()) + "|" + S(row.unit2->Text()));
    return rows;
}

class LoadMemoryTest : public TestSupport::FolderJobFixture {
protected:
    std::unique_ptr<JobGroupUnit> NewJob(uint32_t kind, const std::wstring& a, const std::wstring& b) {
        JobKindControl* control = kind == KindText     ? static_cast<JobKindControl*>(&JobLineControl::Shared())
                                  : kind == KindBinary ? static_cast<JobKindControl*>(&JobBinaryControl::Shared())
                                                       : static_cast<JobKindControl*>(&JobPathControl::Shared());
        std::unique_ptr<JobGroupUnit> job(new JobGroupUnit(JobKindType::FromKind(kind), control));
        job->content1.path = W(a);
        job->content2.path = W(b);
        return job;
    }

    void ExpectFailuresAreSurvived(uint32_t kind, const std::wstring& a, const std::wstring& b) {
        PoolLimitScope scope;
        std::vector<std::string> expected;
        {
            // The first load also makes what lives on (shared units, texts).
            auto job = NewJob(kind, a, b);
            job->controller->Load(*job, ModeBoth);
            expected = RowsOf(*job);
            ASSERT_GT(expected.size(), 100u);
            ReportError(TooLargeFileText(), job->content1.path);
            // The partners of one-sided rows, made on first use.
            EmptyBinaryUnit();
            EmptyLineUnit();
            JobPathUnit::Placeholder();
        }
        output.lines.clear();
        const size_t baseline = RawLayer::SmallBlockState().liveBlocks;
        int failures = 0;
        bool whole = false;
        for (size_t extra = 0; !whole; extra = extra * 3 / 2 + 1) {
            ASSERT_LT(extra, 4096u) << "the load never fitted";
            SCOPED_TRACE(extra);
            auto job = NewJob(kind, a, b);
            const size_t inUse = RawLayer::SetSmallBlockTestLimit(0);
            RawLayer::SetSmallBlockTestLimit(inUse + extra * RawLayer::SmallChunkBytes);
            job->controller->Load(*job, ModeBoth);
            RawLayer::SetSmallBlockTestLimit(0);
            whole = output.lines.empty();
            if (whole) {
                EXPECT_EQ(RowsOf(*job), expected);
            } else {
                ++failures;
                for (const std::string& line : output.lines) EXPECT_EQ(line.rfind("TooLargeFile (", 0), 0u) << line;
                bool dropped = job->rows.IsEmpty();
                for (uint32_t side = 0; side < 2; ++side) {
                    const JobContentList& content = job->Content(side);
                    if ((content.flags & ContentCut) && content.IsEmpty()) dropped = true;
                }
                EXPECT_TRUE(dropped);
                output.lines.clear();
                job->controller->Load(*job, ModeBoth);
                EXPECT_TRUE(output.lines.empty());
                EXPECT_EQ(RowsOf(*job), expected);
            }
            job.reset();
            EXPECT_EQ(RawLayer::SmallBlockState().liveBlocks, baseline);
        }
        EXPECT_GE(failures, 3);
    }
};

}  // namespace

TEST_F(LoadMemoryTest, TextBinaryAndFolderLoadsSurviveRunningOutOfMemory) {
    std::mt19937 random(13);
    std::string text1, text2;
    for (int i = 0; i < 4000; ++i) {
        std::string line = "line " + std::to_string(i) + " of " + std::to_string(random() % 1000);
        text1 += line + "\r\n";
        text2 += (random() % 4 == 0 ? line + " changed" : line) + "\r\n";
    }
    std::vector<uint8_t> bytes1(200000), bytes2;
    for (uint8_t& b : bytes1) b = static_cast<uint8_t>(random());
    bytes2 = bytes1;
    for (size_t i = 0; i < bytes2.size(); i += 1 + random() % 64) bytes2[i] ^= 0x5A;
    std::wstring t1 = work.Join(L"a.txt"), t2 = work.Join(L"b.txt");
    std::wstring b1 = work.Join(L"a.bin"), b2 = work.Join(L"b.bin");
    ASSERT_TRUE(TestSupport::WriteFileBytes(t1, text1));
    ASSERT_TRUE(TestSupport::WriteFileBytes(t2, text2));
    ASSERT_TRUE(TestSupport::WriteFileBytes(b1, bytes1));
    ASSERT_TRUE(TestSupport::WriteFileBytes(b2, bytes2));
    for (int i = 0; i < 600; ++i) {
        std::wstring name = L"\\f" + std::to_wstring(i) + L".txt";
        if (i % 5 != 0) TestSupport::PutFile(left + name, "x");
        if (i % 7 != 0) TestSupport::PutFile(right + name, i % 3 ? "x" : "yy");
    }
    {
        SCOPED_TRACE("text");
        ExpectFailuresAreSurvived(KindText, t1, t2);
    }
    {
        SCOPED_TRACE("binary");
        ExpectFailuresAreSurvived(KindBinary, b1, b2);
    }
    {
        SCOPED_TRACE("folder");
        ExpectFailuresAreSurvived(KindPath, left, right);
    }
}
