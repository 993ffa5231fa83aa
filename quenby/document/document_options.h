// The viewer's option set: the configuration profile, section "Job", the
// page-view flag, the documents to open and the extensions that links may
// open inside the viewer.
#pragma once

#include <cstdint>

#include "base/profile.h"
#include "base/raw_list.h"
#include "base/raw_string.h"

namespace DocLayer {

using RawLayer::ProfileFileRef;
using RawLayer::RawParameterList;
using RawLayer::RawString;
using RawLayer::RawStringList;

class JobOptions {
public:
    JobOptions();
    JobOptions(const JobOptions&) = delete;
    JobOptions& operator=(const JobOptions&) = delete;

    static JobOptions& Instance();

    ProfileFileRef config;
    RawString configPath;
    RawString autoLoad;              // "AutoLoad" wildcard patterns
    bool withTreeDotMark = false;
    bool pageView = false;
    RawStringList extensions;        // "txt", "md", then "LinkWith"
    RawStringList pending;           // documents to open, in order
    int32_t firstIndex = 0;

    // Stores the path, reads "Job", applies the command line and settles
    // the pending list.
    void Initialize(const RawString& path, const RawParameterList& arguments);
    void ReadJobSection();
    void ApplyArguments(const RawParameterList& arguments);
    // With nothing pending, queues the full path of the first file of the
    // configuration folder that "AutoLoad" matches.
    void SettlePendingDocuments();
    // Resolves a link target and, when it is a file, makes it the only
    // pending document. False (pending list unchanged) otherwise.
    bool QueueLinkedFile(const RawString& target, const RawString& current);
};

// The target taken from the current document's folder (an absolute target
// stays as it is), or that with ".txt" appended; empty when neither is a
// file.
RawString ResolveLinkTarget(const RawString& target, const RawString& current);

}  // namespace DocLayer
