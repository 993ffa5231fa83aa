// Folder compare of two trees, as the folder kind does it: the root pair is
// opened as a job, every sub-folder pair becomes a child job that is loaded
// and compared in turn (all levels), and every file pair is compared by
// time, size and content.
//
//   folder_compare_bench DIR1 DIR2 [ROUNDS]
//
// Prints the best time of the rounds and what the compare found.

#include <windows.h>

#include "bench/bench_clock.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/raw_string.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind_control.h"

using namespace JobLayer;
using RawLayer::RawString;

namespace {

// Opens, reads whole and closes every file under a folder through the
// system's own calls, nothing else: what any content compare of the tree
// costs at least on this system. Returns the number of files.
int ReadEveryFile(const std::wstring& folder, int depth) {
    if (depth > 32) return 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int files = 0;
    static char buffer[65536];
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = folder + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) files += ReadEveryFile(path, depth + 1);
            continue;
        }
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        DWORD got = 0;
        while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        }
        CloseHandle(file);
        ++files;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return files;
}

std::wstring Wide(const char* text) {
    int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring w(n > 0 ? static_cast<size_t>(n) : 1u, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text, -1, &w[0], n);
    w.resize(w.size() - 1);
    return w;
}

void CloseAll() {
    JobGroupList& list = JobGroupList::Instance();
    for (JobGroupUnit& job : list) job.flags = static_cast<uint16_t>(job.flags | JobClosed);
    list.PurgeClosed();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: folder_compare_bench DIR1 DIR2 [ROUNDS]\n");
        return 2;
    }
    int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    if (rounds < 1) rounds = 1;
    if (rounds > 20) rounds = 20;
    static JobKindPool pool;
    JobGroupList::Instance().SetKindPool(&pool);
    ConfigStore& store = ConfigStore::Instance();
    // A fourth argument "nodata" leaves content comparison off (to tell the
    // cost of listing from the cost of reading).
    bool data = !(argc > 4 && std::strcmp(argv[4], "nodata") == 0);
    store.compareDataOnText = data;
    store.compareDataOnOther = data;
    RawString left = RawString::FromText(argv[1]);
    RawString right = RawString::FromText(argv[2]);

    double best = -1;
    int32_t jobs = 0, rows = 0, same = 0, changed = 0, only1 = 0, only2 = 0;
    bool rootSame = false;
    for (int round = 0; round < rounds; ++round) {
        CloseAll();
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        JobGroupUnit* root = JobGroupList::Instance().OpenPair(left, right);
        QueryPerformanceCounter(&t1);
        double s = Seconds(t0, t1);
        if (std::getenv("FOLDER_BENCH_VERBOSE")) std::printf("round %d: %.4f s\n", round, s);
        if (best < 0 || s < best) best = s;
        if (root->kind.kind != KindPath) {
            std::fprintf(stderr, "not two folders\n");
            return 1;
        }
        rootSame = (root->flags & JobSame) != 0;
        jobs = rows = same = changed = only1 = only2 = 0;
        for (const JobGroupUnit& job : JobGroupList::Instance()) {
            ++jobs;
            for (const JobReportUnit& row : job.rows) {
                ++rows;
                bool folder = row.unit1->EntryKind() == KindPath || row.unit2->EntryKind() == KindPath;
                if (folder) continue;  // the files are counted in the folders' own jobs
                switch (row.kind) {
                    case RowSame: ++same; break;
                    case RowOnly1: ++only1; break;
                    case RowOnly2: ++only2; break;
                    default: ++changed; break;
                }
            }
        }
    }
    std::printf("jobs %d, rows %d; files: same %d, changed %d, only1 %d, only2 %d; root same %d\n",
                jobs, rows, same, changed, only1, only2, rootSame ? 1 : 0);
    // The floor: every file of both trees opened, read and closed once.
    double floor = -1;
    int files = 0;
    for (int round = 0; round < rounds; ++round) {
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        files = ReadEveryFile(Wide(argv[1]), 0) + ReadEveryFile(Wide(argv[2]), 0);
        QueryPerformanceCounter(&t1);
        double s = Seconds(t0, t1);
        if (floor < 0 || s < floor) floor = s;
    }
    std::printf("floor: opening, reading and closing the %d files alone takes %.4f s here\n", files, floor);
    std::printf("seconds %.4f\n", best);
    CloseAll();
    return 0;
}
