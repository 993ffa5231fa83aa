// RawLineFile: chunked line reading and buffered line writing in every
// encoding kind.
//
// Reading works on the file's own bytes: the line finder steps over the units
// of the file's kind (2 bytes in UTF-16 files, 1 byte otherwise), so lines are
// cut where the file has its line ends, whatever the chunk size, and each line
// is converted (when a conversion is asked for) as a whole. LF and CR bytes
// never occur inside a multibyte character of the 8-bit kinds (Shift_JIS and
// the ANSI double-byte trail bytes start at 0x40, EUC-JP and UTF-8 trail bytes
// at 0x80), so no chunk edge can split a character into two lines.

#include "base/line_file.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "base/encoding.h"

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace RawLayer {

namespace {

constexpr uint32_t kLf = 0x0A;
constexpr uint32_t kCr = 0x0D;
// Bytes kept free behind the data.
constexpr int32_t kSlack = 8;
// The head of the file that the encoding guess looks at before reading on
// block by block. Fixed, so that the guess does not depend on the chunk size.
constexpr int32_t kGuessBlock = 64 * 1024;

inline bool IsUtf16File(uint8_t kind) { return kind == KindUtf16BE || kind == KindUtf16LE; }

// Whether every byte is 7-bit.
bool AllAscii(const void* bytes, int32_t count) {
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    for (int32_t i = 0; i < count; ++i)
        if (b[i] >= 0x80) return false;
    return true;
}

#if defined(__i386__) || defined(__x86_64__)
// The first LF or CR byte in [p, end), or end, sixteen bytes at a time.
__attribute__((target("sse2"))) const uint8_t* FindLineEndWide(const uint8_t* p, const uint8_t* end) {
    const __m128i lf = _mm_set1_epi8(static_cast<char>(kLf));
    const __m128i cr = _mm_set1_epi8(static_cast<char>(kCr));
    while (end - p >= 16) {
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(w, lf), _mm_cmpeq_epi8(w, cr)));
        if (hits != 0) return p + __builtin_ctz(static_cast<unsigned>(hits));
        p += 16;
    }
    while (p < end) {
        if (*p == kLf || *p == kCr) return p;
        ++p;
    }
    return end;
}

#endif

// The first LF or CR byte in [p, end), or end. Eight bytes at a time: a
// word has a byte equal to c when (w ^ c...c) has a zero byte.
const uint8_t* FindLineEndByte(const uint8_t* p, const uint8_t* end) {
#if defined(__i386__) || defined(__x86_64__)
    if (HasSse2()) return FindLineEndWide(p, end);
#endif
    while (p < end && (reinterpret_cast<uintptr_t>(p) & 7) != 0) {
        if (*p == kLf || *p == kCr) return p;
        ++p;
    }
    const uint64_t ones = 0x0101010101010101ull;
    const uint64_t highs = 0x8080808080808080ull;
    const uint64_t lf = ones * kLf;
    const uint64_t cr = ones * kCr;
    while (end - p >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        uint64_t a = w ^ lf;
        uint64_t b = w ^ cr;
        if ((((a - ones) & ~a) | ((b - ones) & ~b)) & highs) break;
        p += 8;
    }
    while (p < end) {
        if (*p == kLf || *p == kCr) return p;
        ++p;
    }
    return end;
}

}  // namespace

// ---------------------------------------------------------------------------
// RawLineRecord

RawString RawLineRecord::LineEndText() const {
    uint8_t kind = text.Kind();
    RawString s(kind);
    for (int32_t i = 0; i < lineEndCount && i < 2; ++i) {
        if (kind == KindUtf16BE) {
            s.AppendChar(0);
            s.AppendChar(lineEnd[i]);
        } else if (kind == KindUtf16LE) {
            s.AppendChar(lineEnd[i]);
            s.AppendChar(0);
        } else {
            s.AppendChar(lineEnd[i]);
        }
    }
    return s;
}

void RawLineRecord::Clear() {
    number = 0;
    text = RawString();
    position = 0;
    nextPosition = 0;
    lineEnd[0] = lineEnd[1] = 0;
    lineEndCount = 0;
}

// ---------------------------------------------------------------------------
// RawLineFileInfo

RawLineFileInfo::RawLineFileInfo(const RawString& fileName, int32_t chunkSize)
    : fileName_(fileName) {
    if (chunkSize < RawLineFile::MinChunkSize) chunkSize = RawLineFile::MinChunkSize;
    if (chunkSize > RawLineFile::MaxChunkSize) chunkSize = RawLineFile::MaxChunkSize;
    chunkSize_ = chunkSize;
}

RawLineFileInfo::~RawLineFileInfo() { std::free(buffer_); }

void RawLineFileInfo::SetMaxLineLength(int32_t bytes) {
    if (bytes < 1) bytes = 1;
    // The buffer must hold the line, its line end and a chunk; keep the sum
    // far from overflowing.
    if (bytes > (1 << 30)) bytes = 1 << 30;
    maxLineBytes_ = bytes;
}

// ---------------------------------------------------------------------------
// RawLineFile: life

RawLineFile::RawLineFile(const RawString& fileName, int32_t chunkSize)
    : RawLineFileInfo(fileName, chunkSize) {}

RawLineFile::~RawLineFile() {
    if (file_.IsOpen() || writeBuffer_ || buffer_) Close();
    std::free(writeBuffer_);
}

void RawLineFile::ResetBuffers() {
    line_.Clear();
    unread_ = 0;
    end_ = 0;
    bufferFilePos_ = 0;
    dataStart_ = 0;
    replay_ = false;
    work_ = RawString();
    target_ = RawString();
}

bool RawLineFile::EnsureCapacity(int32_t needed) {
    if (needed <= capacity_) return true;
    int64_t grown = static_cast<int64_t>(capacity_) * 2;
    if (grown < needed) grown = needed;
    // Never more than a longest line, its line end and one chunk.
    int64_t cap = static_cast<int64_t>(maxLineBytes_) + 8 + chunkSize_;
    if (grown > cap) grown = cap;
    if (grown < needed) return false;
    void* fresh = std::realloc(buffer_, static_cast<size_t>(grown) + kSlack);
    if (!fresh) return false;
    buffer_ = static_cast<uint8_t*>(fresh);
    capacity_ = static_cast<int32_t>(grown);
    return true;
}

// ---------------------------------------------------------------------------
// Reading

bool RawLineFile::Open() {
    if (file_.IsOpen()) Close();
    ResetBuffers();
    options_ &= ~static_cast<uint32_t>(LineFileWriting);
    fileKind_ = givenFileKind_ == KindUtf16 ? NativeUtf16Kind() : givenFileKind_;
    if (fileKind_ > KindError) fileKind_ = 0;
    markKind_ = 0;
    if (options_ & LineFileDecoderFlagsGiven)
        decoderFlags_ = options_ & 0xFFFF;
    else if (textKind_ != LineKindNone && fileKind_ == 0)
        decoderFlags_ = LineDecodeDetectMark | LineDecodeSkipMark | LineDecodeGuess;
    else
        decoderFlags_ = 0;

    if (!file_.OpenRead(fileName_)) {
        state_ = LineStateOpenFailed;
        return false;
    }
    state_ = LineStateOpen;
    if (!EnsureCapacity(chunkSize_ + 8)) {
        state_ = LineStateReadFailed;
        return false;
    }
    if (decoderFlags_ & (LineDecodeDetectMark | LineDecodeGuess)) {
        DetectKind();
        if (state_ != LineStateOpen) return false;
    }
    SetupLineKind();
    bufferFilePos_ = dataStart_;
    if (!(options_ & LineFileNoFirstRead)) ReadChunk();
    return IsGood();
}

// Finds the mark and guesses the kind from the head of the file, then sets
// the file position back to where the text starts.
void RawLineFile::DetectKind() {
    uint8_t* scratch = static_cast<uint8_t*>(std::malloc(kGuessBlock));
    if (!scratch) {
        state_ = LineStateReadFailed;
        return;
    }
    int32_t n = 0;
    bool eof = false;
    // Fill the whole block (a read may return less than asked).
    while (n < kGuessBlock) {
        if (!file_.Read(scratch + n, static_cast<DWORD>(kGuessBlock - n))) {
            state_ = LineStateReadFailed;
            std::free(scratch);
            return;
        }
        DWORD got = file_.Transferred();
        if (got == 0) {
            eof = true;
            break;
        }
        n += static_cast<int32_t>(got);
    }
    if (decoderFlags_ & LineDecodeDetectMark) {
        uint8_t mark = DetectBom(scratch, n);
        if (mark != 0) {
            markKind_ = mark;
            if (fileKind_ == 0) fileKind_ = mark;
            if (decoderFlags_ & LineDecodeSkipMark) dataStart_ = BomLength(mark);
        }
    }
    if ((decoderFlags_ & LineDecodeGuess) && fileKind_ == 0) {
        GuessState guess;
        if (decoderFlags_ & LineDecodeGuess8Bit) guess.flag = false;
        uint8_t kind = GuessTextKind(guess, scratch + dataStart_, n - dataStart_);
        // Undecided: read on block by block with the same state. Every
        // round reads more of a finite file, so the loop ends.
        while (kind == 0 && !eof) {
            int32_t got = 0;
            while (got < kGuessBlock) {
                if (!file_.Read(scratch + got, static_cast<DWORD>(kGuessBlock - got))) {
                    state_ = LineStateReadFailed;
                    std::free(scratch);
                    return;
                }
                DWORD t = file_.Transferred();
                if (t == 0) {
                    eof = true;
                    break;
                }
                got += static_cast<int32_t>(t);
            }
            if (got > 0) kind = GuessTextKind(guess, scratch, got);
        }
        fileKind_ = kind;  // 0 when the whole file left it open
    }
    std::free(scratch);
    // Back to the start of the text.
    LARGE_INTEGER to;
    to.QuadPart = dataStart_;
    if (!SetFilePointerEx(file_.Handle(), to, nullptr, FILE_BEGIN)) state_ = LineStateReadFailed;
}

// Chooses the kind of the handed-out lines and whether they are converted.
void RawLineFile::SetupLineKind() {
    uint8_t f = fileKind_;
    uint8_t untyped = (options_ & LineFileAnsiText) ? static_cast<uint8_t>(KindAnsi)
                                                   : static_cast<uint8_t>(KindUtf8);
    convert_ = false;
    decodedKind_ = IsUtf16File(f) ? f : static_cast<uint8_t>(KindUtf8);
    if (textKind_ == LineKindNone) {
        lineKind_ = IsUtf16File(f) ? f : untyped;
        return;
    }
    if (textKind_ == LineKindOwn) {
        if (IsUtf16File(f)) {
            lineKind_ = KindUtf16;
            convert_ = f != NativeUtf16Kind();
        } else if (f >= KindSjis && f <= KindEucJp) {
            lineKind_ = f;
        } else {
            lineKind_ = untyped;  // 0 (nothing but 7-bit text) or 8 (not text)
        }
        return;
    }
    uint8_t w = textKind_ > KindUtf16 ? static_cast<uint8_t>(KindUtf8) : textKind_;
    if (f == KindError) {
        // Not text: the bytes as they stand, named as untyped 8-bit text,
        // never as a kind they are not.
        lineKind_ = untyped;
        return;
    }
    lineKind_ = w;
    if (f == 0) {
        // Nothing but 7-bit text: it reads the same in every 8-bit kind.
        convert_ = w == KindUtf16BE || w == KindUtf16LE || w == KindUtf16;
        return;
    }
    if (f == w) return;
    if (f == NativeUtf16Kind() && w == KindUtf16) return;  // a view of the units
    convert_ = true;
}

bool RawLineFile::ReadChunk() {
    if (state_ != LineStateOpen) return false;
    // A line text that views the buffer would see other bytes from here on.
    if (line_.text.Ownership() == OwnView) line_.text = RawString(line_.text.Kind());
    // Move the unread bytes to the front. Units stay aligned: the unread
    // position always stands on a unit boundary of the file.
    if (unread_ > 0) {
        int32_t rest = end_ - unread_;
        if (rest > 0) std::memmove(buffer_, buffer_ + unread_, static_cast<size_t>(rest));
        bufferFilePos_ += unread_;
        end_ = rest;
        unread_ = 0;
    }
    if (!EnsureCapacity(end_ + chunkSize_)) {
        // Past the bound the line cannot be held; below it memory ran out.
        state_ = end_ > maxLineBytes_ ? LineStateTooLong : LineStateReadFailed;
        return false;
    }
    if (!file_.Read(buffer_ + end_, static_cast<DWORD>(chunkSize_))) {
        state_ = LineStateReadFailed;
        return false;
    }
    DWORD got = file_.Transferred();
    if (got == 0) {
        state_ = LineStateEnd;
        return false;
    }
    end_ += static_cast<int32_t>(got);
    return true;
}

int32_t RawLineFile::FindLineEnd(int32_t start, int32_t limit) const {
    if (start >= limit) return limit;
    if (decodedKind_ == KindUtf16BE || decodedKind_ == KindUtf16LE) {
        bool big = decodedKind_ == KindUtf16BE;
        for (int32_t i = start; i + 1 < limit; i += 2) {
            uint32_t unit = big ? (uint32_t(buffer_[i]) << 8) | buffer_[i + 1]
                                : (uint32_t(buffer_[i + 1]) << 8) | buffer_[i];
            if (unit == kLf || unit == kCr) return i;
        }
        return limit;
    }
    const uint8_t* s = buffer_ + start;
    return start + static_cast<int32_t>(FindLineEndByte(s, buffer_ + limit) - s);
}

bool RawLineFile::ReadNextLine(int32_t start, int32_t limit) {
    if (!buffer_ || start >= limit) return false;
    int32_t width = IsUtf16File(decodedKind_) ? 2 : 1;
    bool atEnd = state_ == LineStateEnd;
    int32_t p = FindLineEnd(start, limit);
    if (p < limit) {
        if (p - start > maxLineBytes_) return StopAtLongLine(start);
        auto unitAt = [&](int32_t i) -> uint32_t {
            if (width == 1) return buffer_[i];
            return decodedKind_ == KindUtf16BE ? (uint32_t(buffer_[i]) << 8) | buffer_[i + 1]
                                               : (uint32_t(buffer_[i + 1]) << 8) | buffer_[i];
        };
        uint32_t u = unitAt(p);
        if (u == kLf) return MakeLine(start, p, p + width, kLf, 0, 1);
        // CR: a CR LF pair, or a CR alone.
        if (p + 2 * width <= limit) {
            if (unitAt(p + width) == kLf) return MakeLine(start, p, p + 2 * width, kCr, kLf, 2);
            return MakeLine(start, p, p + width, kCr, 0, 1);
        }
        // The CR ends the buffer: only at the end of the file is it alone.
        // The next line starts right after it: an odd byte behind a UTF-16
        // CR is a line of its own (and an incomplete character).
        if (atEnd) return MakeLine(start, p, p + width, kCr, 0, 1);
        return false;
    }
    // No line end in the buffer.
    if (limit - start > maxLineBytes_) return StopAtLongLine(start);
    if (!atEnd) return false;
    // The rest of the file is the last line, without a line end.
    return MakeLine(start, limit, limit, 0, 0, 0);
}

bool RawLineFile::StopAtLongLine(int32_t start) {
    bool kept = false;
    if (options_ & LineFileKeepLongLine) {
        // The buffer holds more than the bound from `start` on.
        int32_t count = WholeCharLength(fileKind_, buffer_ + start, maxLineBytes_);
        kept = count > 0 && MakeLine(start, start + count, start + count, 0, 0, 0);
    }
    // A failure of the cut line's own (a conversion) keeps its state.
    if (kept || IsGood()) state_ = LineStateTooLong;
    return kept;
}

bool RawLineFile::MakeLine(int32_t start, int32_t endPos, int32_t next, uint32_t end1,
                           uint32_t end2, int32_t endCount) {
    int32_t count = endPos - start;
    if (IsUtf16File(decodedKind_) && ((bufferFilePos_ + start - dataStart_) & 1) != 0) {
        state_ = LineStateOddStart;
        return false;
    }
    bool lastWithoutEnd = endCount == 0;
    // A UTF-16 text cannot hold half a unit: a lone last byte is an
    // incomplete character unless the bytes are handed out as they stand.
    if (IsUtf16File(decodedKind_) && (count & 1) != 0 && lineKind_ != decodedKind_) {
        state_ = LineStateConvertFailed;
        return false;
    }
    // Bytes of an incomplete character at the end of a converted file.
    if (convert_ && lastWithoutEnd && count > 0 && !IsUtf16File(fileKind_) &&
        WholeCharLength(fileKind_, buffer_ + start, count) != count) {
        state_ = LineStateConvertFailed;
        return false;
    }

    line_.number += 1;
    line_.position = bufferFilePos_ + start;
    line_.nextPosition = bufferFilePos_ + next;
    line_.lineEnd[0] = end1;
    line_.lineEnd[1] = end2;
    line_.lineEndCount = endCount;
    unread_ = next;

    if (convert_) {
        uint8_t source = fileKind_ == 0 ? static_cast<uint8_t>(KindAnsi) : fileKind_;
        bool ok = ConvertToUtf16(source, buffer_ + start, count, work_);
        if (ok && lineKind_ != KindUtf16) {
            ok = ConvertFromUtf16(lineKind_, work_.Wide(), work_.Length(), target_);
            line_.text = target_;
        } else {
            line_.text = work_;
        }
        work_ = RawString();
        target_ = RawString();
        if (!ok) {
            line_.text = RawString();
            state_ = LineStateConvertFailed;
            return false;
        }
        return true;
    }

    // The line's units copied into the record's text. The text's buffer is
    // reused from line to line while nobody else holds it; a caller that
    // kept a copy keeps its own text and the record gets a new one.
    uint8_t kind = lineKind_;
    int32_t units = kind == KindUtf16 ? count / 2 : count;
    RawString& text = line_.text;
    if ((options_ & LineFileViewText) && UnitWidth(kind) == 1 && !IsUtf16File(decodedKind_) && endCount > 0) {
        // The line end is handed out with the line: its first byte becomes
        // the text's terminating zero. The old view goes before its place
        // is used again.
        buffer_[endPos] = 0;
        text = RawString();
        text = RawString::ViewInPlace(textPlace_, buffer_ + start, count, kind);
        return true;
    }
    if (text.Kind() != kind || text.ShareCount() != 0 || text.Ownership() != OwnHeap) {
        if (UnitWidth(kind) == 1 && count > 0) {
            // A new text of the line's own size, in one block: a caller that
            // kept the last line (a compare's load keeps every one) keeps
            // this one too, and room to grow would only waste its memory.
            text = RawString::FromBytes(buffer_ + start, count, kind);
            return true;
        }
        text = RawString(kind);
    }
    text.Grow(units);
    std::memcpy(text.WritableData(), buffer_ + start, static_cast<size_t>(count));
    text.SyncLength(units);
    return true;
}

bool RawLineFile::ReadLine() {
    if (replay_) {
        replay_ = false;
        if (IsGood() && line_.number > 0) return true;
    }
    if (!IsGood()) {
        line_.text.Clear();
        return false;
    }
    for (;;) {
        if (ReadNextLine(unread_, end_)) return true;
        if (state_ != LineStateOpen) break;  // the end, or a failure
        // Not yet a whole line: read on. ReadChunk either adds bytes or
        // changes the state, so the loop ends.
        ReadChunk();
        if (state_ != LineStateOpen && state_ != LineStateEnd) break;
    }
    line_.text.Clear();
    return false;
}

bool RawLineFile::Close() {
    bool wasGood = IsGood();
    if (options_ & LineFileWriting) {
        if (state_ == LineStateOpen) {
            // An empty file written with a mark still gets its mark.
            if ((options_ & LineFileWriteMark) && !markDone_) WriteMarkOnce();
            FlushWrites();
            if (state_ == LineStateOpen && file_.IsOpen() && !file_.Flush())
                state_ = LineStateWriteFailed;
        }
        wasGood = IsGood();
        std::free(writeBuffer_);
        writeBuffer_ = nullptr;
        writeFill_ = 0;
        options_ &= ~static_cast<uint32_t>(LineFileWriting);
    }
    if (file_.IsOpen()) file_.Close();
    std::free(buffer_);
    buffer_ = nullptr;
    capacity_ = 0;
    unread_ = end_ = 0;
    line_.text = RawString();
    work_ = RawString();
    target_ = RawString();
    replay_ = false;
    if (wasGood) {
        state_ = LineStateClosed;
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Writing

bool RawLineFile::BeginWrite() {
    if (!file_.IsOpen() && !file_.OpenWrite(fileName_)) {
        state_ = LineStateOpenFailed;
        return false;
    }
    uint8_t kind = KindUtf8;
    if (textKind_ <= KindUtf16)
        kind = textKind_;
    else if (givenFileKind_ >= KindSjis && givenFileKind_ <= KindUtf16)
        kind = givenFileKind_;
    if (kind == KindUtf16) kind = NativeUtf16Kind();
    writeKind_ = kind;
    fileKind_ = kind;
    markKind_ = 0;
    written_ = 0;
    markDone_ = false;
    std::free(writeBuffer_);
    int32_t size = chunkSize_ < DefaultChunkSize ? DefaultChunkSize : chunkSize_;
    writeBuffer_ = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size)));
    writeFill_ = 0;
    options_ |= LineFileWriting;
    if (!writeBuffer_) {
        state_ = LineStateWriteFailed;
        return false;
    }
    state_ = LineStateOpen;
    return true;
}

bool RawLineFile::FlushWrites() {
    if (writeFill_ == 0) return state_ == LineStateOpen;
    int32_t fill = writeFill_;
    writeFill_ = 0;
    if (state_ != LineStateOpen) return false;
    if (!file_.Write(writeBuffer_, static_cast<DWORD>(fill)) ||
        file_.Transferred() != static_cast<DWORD>(fill)) {
        state_ = LineStateWriteFailed;
        return false;
    }
    return true;
}

bool RawLineFile::PutBytes(const void* bytes, int32_t count) {
    if (state_ != LineStateOpen) return false;
    if (count <= 0) return true;
    int32_t size = chunkSize_ < DefaultChunkSize ? DefaultChunkSize : chunkSize_;
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    if (writeFill_ + count <= size) {
        std::memcpy(writeBuffer_ + writeFill_, b, static_cast<size_t>(count));
        writeFill_ += count;
        written_ += count;
        return true;
    }
    if (!FlushWrites()) return false;
    if (count <= size) {
        std::memcpy(writeBuffer_, b, static_cast<size_t>(count));
        writeFill_ = count;
        written_ += count;
        return true;
    }
    if (!file_.Write(b, static_cast<DWORD>(count)) ||
        file_.Transferred() != static_cast<DWORD>(count)) {
        state_ = LineStateWriteFailed;
        return false;
    }
    written_ += count;
    return true;
}

bool RawLineFile::WriteMarkOnce() {
    if (markDone_) return true;
    markDone_ = true;
    int32_t n = 0;
    const uint8_t* mark = BomBytes(writeKind_, &n);
    if (n == 0) return true;
    if (!PutBytes(mark, n)) return false;
    markKind_ = writeKind_;
    return true;
}

bool RawLineFile::WriteBytes(const void* bytes, int32_t count) {
    if (state_ != LineStateOpen || !(options_ & LineFileWriting)) return false;
    if (count < 0 || (count > 0 && !bytes)) return false;
    if ((options_ & LineFileWriteMark) && !markDone_ && written_ == 0) {
        if (!WriteMarkOnce()) return false;
    }
    markDone_ = true;
    return PutBytes(bytes, count);
}

namespace {

// What `count` bytes of text of `kind` become in a file of `fileKind` (kinds
// 0-6). `asIs` is set when they go unchanged (same kind, 7-bit text between
// ASCII-compatible kinds, or bytes of no text kind); otherwise `out` holds
// the converted bytes. False when the file's kind cannot hold the text
// without loss: no such character in its code page, a lone surrogate.
bool EncodeForFile(uint8_t fileKind, uint8_t kind, const void* bytes, int32_t count,
                   RawString& out, bool& asIs) {
    asIs = true;
    if (count <= 0) return true;
    uint8_t k = kind == KindUtf16 ? NativeUtf16Kind() : kind;
    if (kind > KindUtf16 || k == fileKind) return true;
    if (IsAsciiCompatibleKind(k) && IsAsciiCompatibleKind(fileKind) && AllAscii(bytes, count))
        return true;
    asIs = false;
    RawString wide;
    if (k == NativeUtf16Kind()) {
        if (count & 1) return false;
        wide = RawString::FromWideText(static_cast<const wchar_t*>(bytes), count / 2);
    } else if (!ConvertToUtf16(k, bytes, count, wide)) {
        return false;
    }
    if (!ConvertFromUtf16(fileKind, wide.Wide(), wide.Length(), out)) return false;
    if (IsUtf16File(fileKind)) return true;
    RawString back;
    return ConvertToUtf16(fileKind, out.Data(), out.Length(), back) && back.Equals(wide);
}

}  // namespace

bool KindHoldsText(uint8_t fileKind, const RawString& text) {
    RawString out;
    bool asIs = true;
    uint8_t f = fileKind == KindUtf16 ? NativeUtf16Kind() : fileKind;
    return EncodeForFile(f, text.Kind(), text.Data(), text.Length() * UnitWidth(text.Kind()), out,
                         asIs);
}

bool RawLineFile::WriteConverted(uint8_t kind, const void* bytes, int32_t count) {
    if (state_ != LineStateOpen || !(options_ & LineFileWriting)) return false;
    RawString out;
    bool asIs = true;
    if (!EncodeForFile(writeKind_, kind, bytes, count, out, asIs)) {
        // Refused rather than written changed.
        state_ = LineStateConvertFailed;
        return false;
    }
    if (asIs) return WriteBytes(bytes, count > 0 ? count : 0);
    return WriteBytes(out.Data(), out.Length());
}

bool RawLineFile::WriteLine(const RawString& text) {
    int32_t bytes = text.Length() * UnitWidth(text.Kind());
    return WriteConverted(text.Kind(), text.Data(), bytes);
}

bool RawLineFile::WriteLineBreak() {
    static const uint8_t be[] = {0, 0x0D, 0, 0x0A};
    static const uint8_t le[] = {0x0D, 0, 0x0A, 0};
    static const uint8_t narrow[] = {0x0D, 0x0A};
    if (writeKind_ == KindUtf16BE) return WriteBytes(be, 4);
    if (writeKind_ == KindUtf16LE) return WriteBytes(le, 4);
    return WriteBytes(narrow, 2);
}

}  // namespace RawLayer
