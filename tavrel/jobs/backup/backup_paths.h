// What the recording and the restoring halves of the backup store share.
#pragma once

#include "base/raw_string.h"

namespace JobLayer {

using RawLayer::RawString;

// The brackets around a name in a backup's title.
RAW_CONSTANT_TEXT(BackupOpenParenText, " (")
RAW_CONSTANT_TEXT(BackupCloseParenText, ")")

// The path without trailing separators (a drive root keeps its one), UTF-16.
RawString TrimTrailingSeparators(const RawString& path);
// Copies a kept file over a target, keeping its times and attributes.
bool CopyKeptFile(const RawString& target, const RawString& source);

}  // namespace JobLayer
