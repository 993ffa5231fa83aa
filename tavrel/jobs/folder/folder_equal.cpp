#include "tavrel/jobs/folder/folder_equal.h"

#include <cstring>

#include "base/date_time.h"
#include "base/file_system.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind.h"
#include "tavrel/jobs/shell_commands.h"

namespace JobLayer {

using RawLayer::RawFileHandle;

namespace {

// Two seconds in 100 ns units, plus the one unit that "less than" admits.
constexpr uint64_t kFatTolerance = 20000001;
constexpr uint64_t kUnitsPerSecond = 10000000;
constexpr DWORD kBlockSize = 4096;

int g_childDepth = 0;

// The outcome of one block read: data, the end of the file, or a failure.
enum class ReadOutcome { Data, End, Failed };

ReadOutcome ReadBlock(RawFileHandle& file, uint8_t* buffer, DWORD& got) {
    bool ok = file.Read(buffer, kBlockSize);
    got = file.Transferred();
    if (!ok) return ReadOutcome::Failed;
    return got > 0 ? ReadOutcome::Data : ReadOutcome::End;
}

bool ContentEqual(const JobPathUnit& entry1, const JobPathUnit& entry2) {
    RawFileHandle file1;
    RawFileHandle file2;
    bool open1 = file1.OpenRead(entry1.fullPath);
    bool open2 = file2.OpenRead(entry2.fullPath);
    if (!open1 || !open2) {
        if (!open1) ReportError(ReadOpenErrorText(), entry1.fullPath);
        if (!open2) ReportError(ReadOpenErrorText(), entry2.fullPath);
        return false;
    }
    uint8_t block1[kBlockSize];
    uint8_t block2[kBlockSize];
    // Each pass consumes at least one byte of each file (or ends), so the
    // loop ends with the shorter file.
    for (;;) {
        DWORD got1 = 0;
        DWORD got2 = 0;
        ReadOutcome read1 = ReadBlock(file1, block1, got1);
        ReadOutcome read2 = ReadBlock(file2, block2, got2);
        // A failed read is no end of file: two files that both fail to read
        // are not known to be equal.
        if (read1 == ReadOutcome::Failed || read2 == ReadOutcome::Failed) {
            if (read1 == ReadOutcome::Failed) ReportError(ReadErrorText(), entry1.fullPath);
            if (read2 == ReadOutcome::Failed) ReportError(ReadErrorText(), entry2.fullPath);
            return false;
        }
        if (read1 != read2) return false;
        if (read1 == ReadOutcome::End) return true;
        if (got1 != got2) return false;
        if (std::memcmp(block1, block2, got1) != 0) return false;
    }
}

// Reads up to four bytes into the entry's buffer (zeroed first); the count
// read, or -1 when the file cannot be read.
int ReadFirstBytes(JobPathUnit& entry) {
    std::memset(entry.firstBytes, 0, sizeof entry.firstBytes);
    RawFileHandle file;
    if (!file.OpenRead(entry.fullPath)) {
        ReportError(ReadOpenErrorText(), entry.fullPath);
        return -1;
    }
    if (!file.Read(entry.firstBytes, sizeof entry.firstBytes)) {
        ReportError(ReadErrorText(), entry.fullPath);
        return -1;
    }
    return static_cast<int>(file.Transferred());
}

bool FirstBytesEqual(JobPathUnit& entry1, JobPathUnit& entry2) {
    int count1 = ReadFirstBytes(entry1);
    if (&entry1 == &entry2) return count1 >= 0;
    int count2 = ReadFirstBytes(entry2);
    if (count1 < 0 || count2 < 0) return false;
    if (count1 != count2) return false;
    return std::memcmp(entry1.firstBytes, entry2.firstBytes, sizeof entry1.firstBytes) == 0;
}

// Two links are never walked into: they count as equal when both sides are
// links whose own times agree.
bool LinksEqual(const JobPathUnit& entry1, const JobPathUnit& entry2) {
    if (!entry1.IsLink() || !entry2.IsLink()) return false;
    return PathTimesEqual(RawLayer::FileTimeValue(entry1.writeTime), RawLayer::FileTimeValue(entry2.writeTime),
                          PathCompareOptions::Other());
}

}  // namespace

PathDepthGuard::PathDepthGuard() : entered(g_childDepth < kMaxDepth) {
    if (entered) ++g_childDepth;
}

PathDepthGuard::~PathDepthGuard() {
    if (entered) --g_childDepth;
}

namespace {

// The options of one set of files, with the time rules that both share.
PathCompareOptions OptionSet(bool time, bool size, bool byte, bool data) {
    const ConfigStore& store = ConfigStore::Instance();
    PathCompareOptions o;
    o.timeAsFat = store.compareTimeAsFatTime;
    o.timeBySecond = store.compareTimeBySecond;
    o.time = time;
    o.size = size;
    o.byte = byte;
    o.data = data;
    return o;
}

}  // namespace

PathCompareOptions PathCompareOptions::Text() {
    const ConfigStore& store = ConfigStore::Instance();
    return OptionSet(store.compareTimeOnText, store.compareSizeOnText, store.compareByteOnText,
                     store.compareDataOnText);
}

PathCompareOptions PathCompareOptions::Other() {
    const ConfigStore& store = ConfigStore::Instance();
    return OptionSet(store.compareTimeOnOther, store.compareSizeOnOther, store.compareByteOnOther,
                     store.compareDataOnOther);
}

bool PathTimesEqual(uint64_t time1, uint64_t time2, const PathCompareOptions& options) {
    if (options.timeAsFat) {
        uint64_t distance = time1 > time2 ? time1 - time2 : time2 - time1;
        return distance < kFatTolerance;
    }
    if (options.timeBySecond) return time1 / kUnitsPerSecond == time2 / kUnitsPerSecond;
    return time1 == time2;
}

bool PathFilesEqual(JobPathUnit& entry1, JobPathUnit& entry2, const PathCompareOptions& options) {
    if (options.time &&
        !PathTimesEqual(RawLayer::FileTimeValue(entry1.writeTime), RawLayer::FileTimeValue(entry2.writeTime), options))
        return false;
    if (options.size && entry1.size != entry2.size) return false;
    if (options.data && !ContentEqual(entry1, entry2)) return false;
    if (options.byte && !FirstBytesEqual(entry1, entry2)) return false;
    return true;
}

bool PathPairEqual(JobGroupUnit& job, bool reloadChildren, JobPathUnit& entry1, JobPathUnit& entry2) {
    JobKindType pair = JobKindType::FromSideKinds(static_cast<uint32_t>(entry1.entryKind),
                                                  static_cast<uint32_t>(entry2.entryKind));
    switch (pair.kind) {
        case KindPath: {
            if (entry1.IsLink() || entry2.IsLink()) return LinksEqual(entry1, entry2);
            PathDepthGuard guard;
            if (!guard.entered) {
                ReportError(DirectoryErrorText(), entry1.fullPath);
                return false;
            }
            JobGroupUnit* child =
                JobGroupUnit::ChildJob(&job, entry1.fullPath, entry2.fullPath, reloadChildren);
            return child && (child->flags & JobSame) != 0;
        }
        case KindText:
            return PathFilesEqual(entry1, entry2, PathCompareOptions::Text());
        case KindBinary:
            return PathFilesEqual(entry1, entry2, PathCompareOptions::Other());
        default:
            return false;
    }
}

}  // namespace JobLayer
