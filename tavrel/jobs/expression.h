// Search and replace expressions: one language for the search commands of
// every kind and for the replace command. An expression is matched against
// one line of text at a time, anchored at a start position that the callers
// move; the parts of the text that its wildcards took can be put back into
// a replacement.
//
// Leading marks, in any order and number: "!" inverts the result of a
// search, "&" makes ASCII letters compare without case. The next character
// chooses the mode: "$" literal (the rest compared unit by unit), "@"
// pattern (".", classes, "*" and "+" after a token), anything else wildcard
// ("*", "?" and "%" escapes).
//
// Matching never reads or moves past the end of the range it is given, and
// no expression hangs or runs deep: the matcher keeps its choices on a heap
// stack, and remembers over one search which (pattern token, text position)
// pairs failed, so that each is tried once.
#pragma once

#include <cstdint>
#include <vector>

#include "base/raw_list.h"
#include "base/raw_string.h"

namespace JobLayer {

using RawLayer::RawRange;
using RawLayer::RawString;

// Flag bits of an expression and of a search.
enum : uint32_t {
    ExpressionLiteral = 1,    // "$": the pattern is compared unit by unit
    ExpressionWildcard = 2,   // "*", "?", "%" escapes
    ExpressionPattern = 4,    // "@": ".", classes, "*" and "+" quantifiers
    ExpressionModeMask = 7,
    ExpressionInvert = 16,    // "!": the search result is inverted
    ExpressionFoldCase = 32,  // "&": ASCII letters compare without case
    ExpressionWholeRange = 64 // a match must take the whole range
};

// The leading marks of an expression: the flag word and the index where the
// pattern starts. "!" and "&" set their bits (repeating one changes
// nothing) and reading goes on; "$" and "@" set their mode and the pattern
// starts after them; any other character sets the wildcard mode and the
// pattern starts at it. An expression of marks only has no mode bit and its
// pattern (empty) starts after the last mark. In UTF-16 byte texts (kinds 5
// and 6) a character is two bytes.
struct ExpressionPrefix {
    uint32_t flags;
    int32_t start;
};
ExpressionPrefix ExpressionFlags(const RawString& expression);

// One recorded part of a hit: [start, end) in code units of the text.
struct JobHitRange : RawLayer::SmallBlockObject {
    JobHitRange() : start(0), end(0) {}
    JobHitRange(int32_t s, int32_t e) : start(s), end(e) {}
    int32_t start;
    int32_t end;
};

class JobHitRangeListAllocator : public RawLayer::RawListDeleteAllocator<JobHitRange> {};

// The parts of a hit, in the order they were recorded.
class JobHitRangeList : public RawLayer::RawListR<JobHitRangeListAllocator, JobHitRange> {
public:
    using RawLayer::RawListBodyT<JobHitRange>::Add;
    JobHitRange* Add(int32_t start, int32_t end) { return AddNew(start, end); }
};

// How a replacement reads the situation of a hit.
class JobExpressionUtility {
public:
    class Situation {
    public:
        virtual ~Situation() {}
        // 1: the line-break text, "\r\n".
        virtual RawString LineBreakText() const;
        // 2: the text of part n; here the digit of n itself.
        virtual RawString PartText(int32_t n) const;
    };
};

// The line of the last hit and the hit's parts, kept in the argument record
// of the edit commands between a search and the replace that follows it.
class JobExpressionReplace : public JobExpressionUtility::Situation {
public:
    // The text of part n of the line, in the line's kind; empty for a part
    // that was not recorded.
    RawString PartText(int32_t n) const override;

    RawString lineText;
    JobHitRangeList parts;
};

// The number of text units that the escape "%" c matches at t, without
// passing `end`; 0 for no match. c is the character at pattern[c.start,
// c.end); an empty range stands for the character 0 (a "%" that ends a
// wildcard pattern).
//   N  CR LF (2), or a lone LF (1); a CR not followed by LF fails
//   n  LF     r  CR     t  tab     s  space     q  '"'     d  ';'     e  '%'
//   any other character: that character itself
int32_t ExpressionEscapeMatch(const RawString& text, int32_t t, int32_t end, const RawString& pattern,
                              RawRange c);

// A search expression, ready to match lines.
class ExpressionSearch {
public:
    explicit ExpressionSearch(const RawString& expression);

    // Whether the pattern can be held by texts of a kind (the expression is
    // converted to the kind of the text it is matched against; a kind that
    // cannot hold it finds nothing).
    bool Prepare(uint8_t kind);

    // One attempt at [range.start, range.end): true when the expression
    // matches from the range's start (to its end with the whole-range
    // flag); the hit and its parts are then set. The result is not
    // inverted.
    bool MatchAt(const RawString& text, RawRange range);
    // The first hit at a character start from range.start up to range.end
    // (inclusive); clears the whole-range flag.
    bool From(const RawString& text, RawRange range);
    // The last hit inside the range: attempts over [p, range.end) for each
    // character start p from the last one below range.end down to
    // range.start; clears the whole-range flag.
    bool Previous(const RawString& text, RawRange range);
    // Whether the whole range is one hit; sets the whole-range flag.
    bool Next(const RawString& text, RawRange range);
    // From over [from, text end], passing over an empty hit at `found` (where
    // the last hit, or its replacement, ended: found already) one character
    // at a time; a `found` of -1 passes over nothing.
    bool FromPast(const RawString& text, int32_t from, int32_t found);

    uint32_t flags;
    int32_t patternStart;
    RawString expression;
    int32_t hitStart = 0;
    int32_t hitEnd = 0;
    JobHitRangeList parts;

private:
    enum : uint8_t {
        TokenLiteral,     // one character, compared unit by unit
        TokenAny,         // wildcard "?"
        TokenRun,         // wildcard "*"
        TokenEscape,      // "%" c
        TokenNul,         // a "%" that ends a wildcard pattern
        TokenEmpty,       // a "%" that ends a pattern: an empty run
        TokenDot,         // pattern "."
        TokenClass        // pattern "[...]" or "[^...]"
    };
    enum : uint8_t { RepeatOnce, RepeatAny, RepeatSome };
    struct Member {
        uint8_t type;  // 0 single, 1 range, 2 escape
        RawRange a;
        RawRange b;
    };
    struct Token {
        uint8_t type;
        uint8_t repeat;
        bool negated;
        RawRange units;         // the character (or escape character) in the pattern
        int32_t firstMember;    // class members [firstMember, lastMember)
        int32_t lastMember;
    };
    struct Frame {
        int32_t token;      // the repeated token
        int32_t runStart;   // where its part starts
        int32_t chainStart; // the first end position tried
        int32_t at;         // the end position tried last
        int32_t parts;      // parts recorded before the frame
    };

    void Compile();
    int32_t CompileClass(int32_t p, int32_t end, Token& token);
    // One repetition of a token at t: the position after it, or -1.
    int32_t MatchOne(const Token& token, const RawString& text, int32_t t, int32_t end) const;
    bool ClassHas(const Token& token, const RawString& text, int32_t t, int32_t length,
                  int32_t end) const;
    bool LiteralAt(RawRange units, const RawString& text, int32_t t, int32_t end, bool fold) const;
    // The token machine behind both matchers.
    bool Run(const RawString& text, int32_t t, int32_t end);
    bool Attempt(const RawString& text, int32_t t, int32_t end);
    // Memory of failed (repeated token, position) pairs for one search.
    void ResetMemory(int32_t base, int32_t end);
    bool KnownFailed(int32_t token, int32_t t) const;
    void MarkFailed(int32_t token, int32_t t);
    void Finish(bool found);
    bool FinishSearch(bool found);
    // The first candidate start at or after t where a hit can begin, or -1
    // when no such start exists before `end`; t itself when candidates
    // cannot be skipped.
    int32_t NextCandidate(const RawString& text, int32_t t, int32_t end) const;
    // Whether the lead units after the first stand at t.
    bool LeadAt(const RawString& text, int32_t t, int32_t end) const;

    uint32_t mode_ = 0;
    uint8_t kind_ = 0xFF;   // the kind the pattern was compiled for
    bool usable_ = false;   // the kind holds the pattern
    RawString pattern_;     // the pattern part in kind_
    std::vector<Token> tokens_;
    std::vector<Member> members_;
    // Leading literal unit (and its other case) when a hit must begin with
    // it; -1 when hits cannot be skipped to.
    int32_t firstUnit_ = -1;
    int32_t firstUnitOther_ = -1;
    // The units pattern_[leadStart_, + leadLength_) every hit begins with
    // (its first unit also as firstUnitOther_ under the case flag).
    int32_t leadStart_ = 0;
    int32_t leadLength_ = 0;
    int32_t probe_ = 0;     // the lead unit a search skips to
    bool repeats_ = false;  // a token repeats: failed pairs are remembered
    std::vector<Frame> stack_;
    std::vector<JobHitRange> found_;
    int32_t memoryBase_ = 0;
    int32_t memoryWidth_ = 0;
    std::vector<std::vector<uint64_t>> failed_;
    std::vector<int32_t> touched_;
};

// Appends the text of one unit of a replacement expression read at `pos`
// and returns the position after it: "%0" to "%9" the part texts, "%N" the
// line-break text, "%n" LF, "%r" CR, "%t" tab, "%s" space, "%q" '"', "%d"
// ';', "%e" '%', "%" and any other character that character, a "%" at the
// end nothing, any other character itself.
int32_t ReplacementUnit(const RawString& replacement, int32_t pos,
                        const JobExpressionUtility::Situation& situation, RawString& out);

// The text a replacement expression makes for a hit: after "$" the rest as
// it stands; otherwise the leading marks as literal text followed by the
// replacement units. In the replacement's kind.
RawString ExpressionReplaceText(const RawString& replacement,
                                const JobExpressionUtility::Situation& situation);

}  // namespace JobLayer
