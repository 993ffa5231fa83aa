// Saving and discarding binary sides through the backup store on real
// files: the round trip of an edited buffer, the kept old file, a side cut
// at the loading limit that is never written over the whole file, and a
// failed write that keeps the file and the edits.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/job_support.h"
#include "support/test_support.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/shell_commands.h"
#include "tavrel/jobs/side_edit.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::ReadFileBytes;
using TestSupport::TempFolder;
using TestSupport::WriteFileBytes;
using TestSupport::FileText;
using TestSupport::W;

namespace {

class BinarySaveTest : public TestSupport::BackupFixture {
protected:
    void TearDown() override {
        BackupFixture::TearDown();
        ConfigStore::Instance().maxBinaryLoading = maxBinary;
    }
    std::unique_ptr<JobGroupUnit> Open(const std::wstring& path1) {
        std::unique_ptr<JobGroupUnit> job(
            new JobGroupUnit(JobKindType::FromKind(KindBinary), &JobBinaryControl::Shared()));
        job->content1.path = W(path1);
        job->edit.edit1 = job->edit.edit2 = 1;
        job->controller->Load(*job, ModeBoth);
        return job;
    }
    // Changes one byte of side 1's buffer as an edit would.
    static void EditByte(JobGroupUnit& job, int32_t index, uint32_t value) {
        JobBinaryBaseData* data = BinaryDataOf(job.side1);
        ASSERT_NE(data, nullptr);
        ASSERT_LT(index, data->Length());
        data->bytes.SetUnitAt(index, value);
        job.content1.flags = static_cast<uint16_t>(job.content1.flags | ContentChanged);
    }

    int32_t maxBinary = ConfigStore::Instance().maxBinaryLoading;
};

std::string AllBytes() {
    std::string s;
    for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
    return s;
}

}  // namespace

TEST_F(BinarySaveTest, SaveRoundTripKeepsOldFileInBackup) {
    const std::string original = AllBytes();
    std::wstring path = File(L"b.bin", original);
    std::unique_ptr<JobGroupUnit> job = Open(path);
    EditByte(*job, 5, 0xAB);
    EXPECT_TRUE(job->controller->SaveFile(*job, ModeSide1));
    std::string expected = original;
    expected[5] = static_cast<char>(0xAB);
    EXPECT_EQ(FileText(path), expected);
    EXPECT_EQ(job->content1.flags & ContentChanged, 0);
    std::vector<std::wstring> folders = BackupFolders();
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(FileText(folders[0] + L"\\b.bin"), original);
    std::string ini = FileText(folders[0] + L"\\Backup.ini");
    EXPECT_NE(ini.find("Action=Save file Side1 (Binary type)"), std::string::npos) << ini;

    // The saved file loads back as the saved buffer, and an unchanged save
    // writes it back byte for byte.
    std::unique_ptr<JobGroupUnit> again = Open(path);
    again->content1.flags = static_cast<uint16_t>(again->content1.flags | ContentChanged);
    EXPECT_TRUE(again->controller->SaveFile(*again, ModeSide1));
    EXPECT_EQ(FileText(path), expected);
}

TEST_F(BinarySaveTest, EmptyFileSavesEmpty) {
    std::wstring path = File(L"e.bin", "");
    std::unique_ptr<JobGroupUnit> job = Open(path);
    job->content1.flags = static_cast<uint16_t>(job->content1.flags | ContentChanged);
    EXPECT_TRUE(job->controller->SaveFile(*job, ModeSide1));
    EXPECT_EQ(FileText(path), "");
}

TEST_F(BinarySaveTest, SideCutAtLimitIsNeverSaved) {
    ConfigStore::Instance().maxBinaryLoading = 16;
    const std::string original = AllBytes();
    std::wstring path = File(L"big.bin", original);
    std::unique_ptr<JobGroupUnit> job = Open(path);
    EXPECT_NE(job->content1.flags & ContentCut, 0);
    EXPECT_FALSE(SideMayBeEdited(*job, 0));
    EditByte(*job, 0, 0x55);
    EXPECT_FALSE(job->controller->SaveFile(*job, ModeSide1));
    EXPECT_TRUE(logger.Has("SaveError"));
    EXPECT_EQ(FileText(path), original);
    EXPECT_NE(job->content1.flags & ContentChanged, 0);
}

TEST_F(BinarySaveTest, ReadOnlyTargetKeepsFileAndEdits) {
    const std::string original = "0123456789";
    std::wstring path = File(L"ro.bin", original);
    std::unique_ptr<JobGroupUnit> job = Open(path);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EditByte(*job, 0, 'X');
    EXPECT_FALSE(job->controller->SaveFile(*job, ModeSide1));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(FileText(path), original);
    EXPECT_NE(job->content1.flags & ContentChanged, 0);
    EXPECT_TRUE(logger.Has("WriteError"));
}

TEST_F(BinarySaveTest, DiscardKeepsEditedBufferInBackup) {
    const std::string original = "abcdefghijklmnopqrstuvwxyz";
    std::wstring path = File(L"d.bin", original);
    std::unique_ptr<JobGroupUnit> job = Open(path);
    EditByte(*job, 1, 'B');
    EXPECT_TRUE(job->controller->DiscardFile(*job, ModeSide1));
    EXPECT_EQ(job->content1.flags & ContentChanged, 0);
    EXPECT_EQ(FileText(path), original);
    std::vector<std::wstring> folders = BackupFolders();
    ASSERT_EQ(folders.size(), 1u);
    std::string kept = original;
    kept[1] = 'B';
    EXPECT_EQ(FileText(folders[0] + L"\\d.bin"), kept);
}
