// Helpers shared by the compare-job tests: failure reports captured as text,
// and a fixture whose backups go to a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/logger.h"
#include "base/profile.h"
#include "base/raw_string.h"
#include "support/test_support.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/shell_commands.h"

namespace TestSupport {

// Keeps every reported line, as UTF-8.
class CaptureLogger : public RawLayer::JobServerControl::Logger {
public:
    void Report(const RawLayer::RawString& line) override {
        RawLayer::RawString u = line.As(RawLayer::KindUtf8);
        lines.push_back(std::string(u.Bytes(), static_cast<size_t>(u.Length())));
    }
    bool Has(const std::string& key) const {
        for (const std::string& l : lines)
            if (l.find(key) != std::string::npos) return true;
        return false;
    }
    std::vector<std::string> lines;
};

// Reports go to `logger`; backups to folder\Backups.
class BackupFixture : public ::testing::Test {
protected:
    void SetUp() override {
        JobLayer::ShellCommandStore::Instance().SetOutput(&logger);
        root = folder.Join(L"Backups");
        JobLayer::JobBackupList::Instance().SetOptions(W(root), 10, false);
    }
    void TearDown() override { JobLayer::ShellCommandStore::Instance().SetOutput(nullptr); }

    std::wstring File(const std::wstring& name, const std::string& bytes) {
        std::wstring path = folder.Join(name);
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }
    // The backup folders under the root.
    std::vector<std::wstring> BackupFolders() const {
        std::vector<std::wstring> out;
        WIN32_FIND_DATAW data;
        HANDLE h = FindFirstFileW((root + L"\\*").c_str(), &data);
        if (h == INVALID_HANDLE_VALUE) return out;
        do {
            std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") out.push_back(root + L"\\" + name);
        } while (FindNextFileW(h, &data));
        FindClose(h);
        return out;
    }

    TempFolder folder;
    std::wstring root;
    CaptureLogger logger;
};

// A file with the bytes and the write time.
inline void PutFile(const std::wstring& path, const std::string& bytes, uint64_t time = kBaseTime) {
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    ASSERT_TRUE(SetWriteTime(path, time));
}

// Every folder test starts with the kinds in the pool, the default extension
// table, reports going to `output`, no open job and two empty folders `left`
// and `right`; and leaves no job behind.
class FolderJobFixture : public ::testing::Test {
protected:
    void SetUp() override {
        static JobLayer::JobKindPool pool;
        JobLayer::JobGroupList::Instance().SetKindPool(&pool);
        std::wstring ini = config.Join(L"Tavrel.ini");
        WriteFileBytes(ini, "[Common]\r\nProgram=Tavrel\r\n");
        JobLayer::ExtensionKindTable::Shared().Load(RawLayer::ProfileFileRef::FromPath(W(ini)));
        JobLayer::ShellCommandStore::Instance().SetOutput(&output);
        CloseAll();
        left = work.Join(L"L");
        right = work.Join(L"R");
        CreateDirectoryW(left.c_str(), nullptr);
        CreateDirectoryW(right.c_str(), nullptr);
    }
    void TearDown() override {
        CloseAll();
        JobLayer::ShellCommandStore::Instance().SetOutput(nullptr);
    }
    static void CloseAll() {
        JobLayer::JobGroupList& list = JobLayer::JobGroupList::Instance();
        for (JobLayer::JobGroupUnit& job : list)
            job.flags = static_cast<uint16_t>(job.flags | JobLayer::JobClosed);
        list.PurgeClosed();
    }
    // "kind:name1|name2 " for every row.
    static std::string RowText(const JobLayer::JobGroupUnit* job) {
        std::string text;
        for (const JobLayer::JobReportUnit& row : job->rows)
            text += std::to_string(row.kind) + ":" + S(row.unit1->Text()) + "|" + S(row.unit2->Text()) + " ";
        return text;
    }

    TempFolder config;
    TempFolder work;
    std::wstring left, right;
    CaptureLogger output;
};

}  // namespace TestSupport
