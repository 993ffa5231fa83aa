// Helpers of the document tests: documents loaded from real files, and
// readable forms of line records and their marks.
#pragma once

#include <gtest/gtest.h>

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

// Every mark run of a text is whole: 0x1E, a known code, digits after 'l'
// and 'm' (and only there), 0x1F; every serial is unique in the line and
// names a unit of the line's links of the right kind. Returns the serials
// in text order.
inline std::vector<int32_t> CheckMarks(const JobLineUnit& line, const std::string& where) {
    std::vector<int32_t> serials;
    std::string s = Bytes(line.text);
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\x1F') {
            ADD_FAILURE() << where << ": a 0x1F outside a mark run at " << i;
            continue;
        }
        if (s[i] != '\x1E') continue;
        size_t close = s.find('\x1F', i);
        if (close == std::string::npos) {
            ADD_FAILURE() << where << ": an unclosed mark run";
            break;
        }
        std::string run = s.substr(i + 1, close - i - 1);
        static const std::string codes = "dDbBiIsSuUlLmM";
        if (run.empty() || codes.find(run[0]) == std::string::npos) {
            ADD_FAILURE() << where << ": unknown mark '" << run << "'";
        } else if (run[0] == 'l' || run[0] == 'm') {
            std::string digits = run.substr(1);
            bool ok = !digits.empty() && digits.size() < 10 &&
                      digits.find_first_not_of("0123456789") == std::string::npos;
            if (!ok) {
                ADD_FAILURE() << where << ": bad serial '" << digits << "'";
            } else {
                int32_t serial = std::stoi(digits);
                for (int32_t seen : serials)
                    if (seen == serial) ADD_FAILURE() << where << ": serial " << serial << " twice";
                serials.push_back(serial);
                const DocLayer::JobLinkDataUnit* unit = line.links.FindSerial(serial);
                if (!unit)
                    ADD_FAILURE() << where << ": serial " << serial << " has no unit";
                else if (unit->kind != (run[0] == 'l' ? DocLayer::LinkKindLink : DocLayer::LinkKindPicture))
                    ADD_FAILURE() << where << ": serial " << serial << " of the wrong kind";
            }
        } else if (run.size() != 1) {
            ADD_FAILURE() << where << ": mark '" << run << "' carries digits";
        }
        i = close;
    }
    return serials;
}

}  // namespace DocumentTest
