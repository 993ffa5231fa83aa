// Equality of a pair of folder entries: a chain of file tests (time, size,
// content, first bytes), each switched by an option, for two files of one
// kind; the child job's Same bit for two sub-folders.
#pragma once

#include <cstdint>

namespace JobLayer {

struct JobGroupUnit;
class JobPathUnit;

// The switches of one test set, with the two time rules.
struct PathCompareOptions {
    bool timeAsFat = true;     // "CompareTimeAsFatTime": at most two seconds apart
    bool timeBySecond = true;  // "CompareTimeBySecond": whole seconds
    bool time = true;          // "CompareTimeOn..."
    bool size = true;          // "CompareSizeOn..."
    bool byte = false;         // "CompareByteOn...": the first four bytes
    bool data = false;         // "CompareDataOn...": the whole content

    // The sets of text files and of other (binary) files, from the option
    // store.
    static PathCompareOptions Text();
    static PathCompareOptions Other();
};

// Bounds the nesting of child folder compares (a folder compare opens the
// child jobs of its sub-folder pairs, which compare their own sub-folders,
// and so on): `entered` is false, and the caller must not go deeper, when
// the nesting is already at its limit.
class PathDepthGuard {
public:
    PathDepthGuard();
    ~PathDepthGuard();
    PathDepthGuard(const PathDepthGuard&) = delete;
    PathDepthGuard& operator=(const PathDepthGuard&) = delete;
    static const int kMaxDepth = 128;
    bool entered;
};

// The two write times (100 ns units) by the time rules of the options.
bool PathTimesEqual(uint64_t time1, uint64_t time2, const PathCompareOptions& options);

// The file tests in order time, size, content, first bytes; the first that
// fails makes the pair unequal. Read failures report through the job
// environment's output.
bool PathFilesEqual(JobPathUnit& entry1, JobPathUnit& entry2, const PathCompareOptions& options);

// Whether two paired entries of a folder job are equal: two folders by their
// child job (reloaded when `reloadChildren`), two text files by the Text
// set, two binary files by the Other set, anything else unequal.
bool PathPairEqual(JobGroupUnit& job, bool reloadChildren, JobPathUnit& entry1, JobPathUnit& entry2);

}  // namespace JobLayer
