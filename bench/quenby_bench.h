// Shared pieces of the help viewer's benchmarks.
#pragma once

#include <string>

#include "base/raw_string.h"

namespace QuenbyBench {

inline RawLayer::RawString Utf8(const char* text) { return RawLayer::RawString::FromText(text); }

// A program file beside the document, so the run's profile lands there.
inline RawLayer::RawString ProgramBeside(const char* document) {
    std::string path = document;
    const size_t cut = path.find_last_of("\\/");
    path = (cut == std::string::npos ? std::string(".") : path.substr(0, cut)) + "\\Quenby.exe";
    return Utf8(path.c_str());
}

}  // namespace QuenbyBench
