// The reporting interface through which the compare jobs hand messages to
// the program's output (the main window's status box implements it). It is
// declared here, beneath both programs, so that any layer can hold one.
#pragma once

#include "base/raw_string.h"

namespace RawLayer {

class JobServerControl {
public:
    class Logger {
    public:
        virtual ~Logger() {}
        // Adds one status line.
        virtual void Report(const RawString& line) = 0;
    };
};

}  // namespace RawLayer
