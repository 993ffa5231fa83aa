// Helpers of the document tests: documents loaded from real files, and
// readable forms of line records and their marks.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "quenby/document/document_model.h"
#include "quenby/document/document_reader.h"
#include "support/test_support.h"

namespace DocumentTest {

using DocLayer::JobFileUnit;
using DocLayer::JobLineUnit;
using RawLayer::RawString;

inline RawString U8(const std::string& text) {
    return RawString::FromBytes(text.data(), static_cast<int32_t>(text.size()), RawLayer::KindUtf8);
}

inline std::string Bytes(const RawString& text) {
    RawString utf8 = text.As(RawLayer::KindUtf8);
    return std::string(utf8.Bytes(), static_cast<size_t>(utf8.Length()));
}

// A display text with its mark runs written as {code digits} and CR LF as
// "|n", for tables of expected texts.
inline std::string Visible(const RawString& text) {
    std::string s = Bytes(text), out;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\x1E') {
            out += '{';
            while (++i < s.size() && s[i] != '\x1F') out += s[i];
            out += '}';
        } else if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
            out += "|n";
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

// What the reader decided about a line: kind:flags:level:number, with
// `full` also quoteDepth:indent, then the display text (Visible), with
// `full` the alignment and the links, then " p<id>=<text>" per parameter.
inline std::string Describe(const JobLineUnit& line, bool full = false) {
    std::string s = std::to_string(line.kind) + ":";
    char flags[8];
    std::snprintf(flags, sizeof flags, "%02x", line.flags);
    s += std::string(flags) + ":" + std::to_string(line.level) + ":" + std::to_string(line.number) + ":";
    if (full) s += std::to_string(line.quoteDepth) + ":" + std::to_string(line.indent) + ":";
    s += Visible(line.text);
    if (full) {
        s += " [" + Bytes(line.alignment) + "]";
        for (const DocLayer::JobLinkDataUnit& u : line.links)
            s += " #" + std::to_string(u.serial) + "/" + std::to_string(u.kind) + " " + Bytes(u.text) + " -> " +
                 Bytes(u.target);
    }
    for (const DocLayer::JobParamUnit& p : line.params) s += " p" + std::to_string(p.id) + "=" + Bytes(p.text);
    return s;
}

inline std::vector<std::string> Describe(JobFileUnit& doc, bool full = false) {
    std::vector<std::string> out;
    for (JobLineUnit& line : doc) out.push_back(Describe(line, full));
    return out;
}

// A document whose style reads directives in the given form, with its path
// and folder set.
inline std::unique_ptr<JobFileUnit> NewDocument(const std::wstring& path, const char* prefix = "@",
                                                const char* suffix = "") {
    std::unique_ptr<JobFileUnit> doc(new JobFileUnit());
    doc->style.overview.enhancePrefix = RawString::FromText(prefix);
    doc->style.overview.enhanceSuffix = RawString::FromText(suffix);
    doc->style.documentPath = TestSupport::W(path);
    size_t cut = path.find_last_of(L"\\/");
    doc->style.documentFolder = TestSupport::W(cut == std::wstring::npos ? std::wstring() : path.substr(0, cut));
    return doc;
}

// Writes the bytes to a file of the folder and loads it.
inline std::unique_ptr<JobFileUnit> LoadBytes(const TestSupport::TempFolder& folder, const std::string& bytes,
                                              const char* prefix = "@", const char* suffix = "",
                                              const wchar_t* name = L"doc.md") {
    std::wstring path = folder.Join(name);
    EXPECT_TRUE(TestSupport::WriteFileBytes(path, bytes));
    std::unique_ptr<JobFileUnit> doc = NewDocument(path, prefix, suffix);
    DocLayer::LoadDocumentLines(*doc);
    return doc;
}

inline std::vector<JobLineUnit*> Lines(JobFileUnit& doc) {
    std::vector<JobLineUnit*> out;
    for (JobLineUnit& line : doc) out.push_back(&line);
    return out;
}

// The faults of a line's mark runs: each run must be whole (0x1E, a known
// code, digits after 'l' and 'm' and only there, 0x1F), each serial unique
// in the line and the serial of a unit of the line's links of the right
// kind. Empty when there is none; the serials go to `serials` in text order.
inline std::vector<std::string> MarkFaults(const JobLineUnit& line, std::vector<int32_t>* serials = nullptr) {
    std::vector<std::string> faults;
    std::vector<int32_t> seen;
    std::string s = Bytes(line.text);
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\x1F') {
            faults.push_back("a 0x1F outside a mark run at " + std::to_string(i));
            continue;
        }
        if (s[i] != '\x1E') continue;
        size_t close = s.find('\x1F', i);
        if (close == std::string::npos) {
            faults.push_back("an unclosed mark run");
            break;
        }
        std::string run = s.substr(i + 1, close - i - 1);
        i = close;
        if (run.empty() || std::string("dDbBiIsSuUlLmM").find(run[0]) == std::string::npos) {
            faults.push_back("unknown mark '" + run + "'");
            continue;
        }
        std::string digits = run.substr(1);
        if (run[0] != 'l' && run[0] != 'm') {
            if (!digits.empty()) faults.push_back("mark '" + run + "' carries digits");
            continue;
        }
        if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) {
            faults.push_back("bad serial '" + digits + "'");
            continue;
        }
        int32_t serial = std::stoi(digits);
        for (int32_t earlier : seen)
            if (earlier == serial) faults.push_back("serial " + digits + " twice");
        seen.push_back(serial);
        const DocLayer::JobLinkDataUnit* unit = line.links.FindSerial(serial);
        if (!unit)
            faults.push_back("serial " + digits + " has no unit");
        else if (unit->kind != (run[0] == 'l' ? DocLayer::LinkKindLink : DocLayer::LinkKindPicture))
            faults.push_back("serial " + digits + " of the wrong kind");
    }
    if (serials) *serials = seen;
    return faults;
}

// MarkFaults as a test expectation; returns the serials.
inline std::vector<int32_t> CheckMarks(const JobLineUnit& line, const std::string& where) {
    std::vector<int32_t> serials;
    for (const std::string& fault : MarkFaults(line, &serials)) ADD_FAILURE() << where << ": " << fault;
    return serials;
}

}  // namespace DocumentTest
