// RawLineFile: a text file read or written line by line, in any encoding kind.
//
// A reader takes the file in chunks, finds the encoding (byte-order mark,
// else a guess over the head of the file), and hands out lines that end at
// LF, CR or CR LF. Lines are found in the file's own bytes, so a line end is
// never confused with part of a multibyte character, a CR LF pair split over
// two chunks stays one line end, and the byte position of every line in the
// file is exact. Each line is then handed out either in the file's own kind
// (the default: 8-bit kinds as they stand, UTF-16 files as kind 7, so that an
// unchanged line written back gives the same bytes) or converted to a kind
// the caller asks for.
//
// A line longer than one chunk is read whole (the buffer grows) up to a
// bound the caller may set; past it the reader stops in state 12 (with
// LineFileKeepLongLine after handing out the line's first bytes, up to the
// bound and ending on a whole character, as a line without a line end). Every stop
// other than the end of the file leaves its own state, so callers can always
// tell "no more lines" (state 2) from "could not read on" (11 to 14).
//
// A writer converts texts into the file's kind, puts the byte-order mark in
// front of the first bytes when asked (also into an otherwise empty file),
// buffers its output and reports a failed write, flush or close from Close.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/file_system.h"
#include "base/raw_string.h"

namespace RawLayer {

// Option flags of a line file.
enum : uint32_t {
    LineFileAnsiText = 0x10,          // untyped 8-bit lines are ANSI (kind 0), not UTF-8
    LineFileWriteMark = 0x20,         // a writer puts the byte-order mark first
    LineFileNoFirstRead = 0x40,       // Open does not read the first chunk
    LineFileDecoderFlagsGiven = 0x80, // the low 16 bits are the decoder flags
    LineFileKeepLongLine = 0x1000000, // a line longer than the bound is handed out cut at it
    LineFileViewText = 0x2000000,     // an unconverted 8-bit line with a line end is handed out as a
                                      // view of the read buffer (no copy), good until the next read
    LineFileWriting = 0x40000000      // open for writing (set by BeginWrite)
};

// Decoder flags.
enum : uint32_t {
    LineDecodeDetectMark = 1,
    LineDecodeSkipMark = 2,
    LineDecodeGuess = 4,
    LineDecodeGuess8Bit = 8  // the guess never takes a zero byte for UTF-16 (the file
                             // read as UTF-16 would not decode)
};

// States of a line file.
enum : int32_t {
    LineStateClosed = 0,
    LineStateOpen = 1,
    LineStateEnd = 2,          // the end of the file was reached; lines may still stand
    LineStateOpenFailed = 4,
    LineStateWriteFailed = 7,
    LineStateConvertFailed = 11,  // also: an incomplete character at the end of the file
    LineStateTooLong = 12,        // a line longer than the bound
    LineStateOddStart = 13,       // a UTF-16 line that starts at an odd byte
    LineStateReadFailed = 14      // the platform refused to read on
};

// Kinds of the texts a reader hands out, besides the encoding kinds 0 to 7.
enum : uint8_t {
    LineKindOwn = 0xFE,   // the file's own kind; UTF-16 files as kind 7 (the default)
    LineKindNone = 0xFF   // no kind: bytes as they stand, kind 2 (or 0 with 0x10), no detection
};

// The current line of a reader.
struct RawLineRecord {
    int64_t number = 0;        // 1 for the first line; 0 before it
    RawString text;            // the line without its line end (the next ReadLine reuses
                               // its buffer; a copy taken of it stays as it is)
    int64_t position = 0;      // byte position of the line's first byte in the file
    int64_t nextPosition = 0;  // byte position where the next line starts
    uint32_t lineEnd[2] = {0, 0};  // the line-end units that ended it (CR, LF)
    int32_t lineEndCount = 0;      // 0 (last line without one), 1 or 2

    // The line end as a text of the line's kind ("", "\n", "\r" or "\r\n").
    RawString LineEndText() const;
    void Clear();
};

// The data of a line file; RawLineFile adds the operations.
class RawLineFileInfo {
public:
    RawLineFileInfo(const RawLineFileInfo&) = delete;
    RawLineFileInfo& operator=(const RawLineFileInfo&) = delete;

    int32_t State() const { return state_; }
    // True in the states 1 and 2: nothing went wrong so far.
    bool IsGood() const { return state_ == LineStateOpen || state_ == LineStateEnd; }
    // True when reading stopped on a failure rather than at the end.
    bool HasError() const { return state_ >= LineStateOpenFailed; }
    const RawLineRecord& Line() const { return line_; }
    const RawString& FileName() const { return fileName_; }
    uint32_t Options() const { return options_; }
    // The file's kind as found (after Open) or as given; 0 when not known,
    // 8 when the head of the file does not look like text.
    uint8_t FileKind() const { return fileKind_; }
    // The kind of a byte-order mark found at the start; 0 when none.
    uint8_t MarkKind() const { return markKind_; }
    bool HasMark() const { return markKind_ != 0; }
    uint8_t TextKind() const { return textKind_; }
    int32_t ChunkSize() const { return chunkSize_; }
    int32_t MaxLineLength() const { return maxLineBytes_; }
    // Bytes written so far (mark included).
    int64_t BytesWritten() const { return written_; }

    void SetOptions(uint32_t options) { options_ = options; }
    // The file's kind when known beforehand (0: find it). Set before Open or
    // BeginWrite. Kind 7 means UTF-16 little-endian.
    void SetFileKind(uint8_t kind) { givenFileKind_ = kind; }
    // The kind of the handed-out texts (LineKindOwn, LineKindNone or 0-7);
    // for a writer the kind written to the file (kinds 0-7; 7 as 6).
    void SetTextKind(uint8_t kind) { textKind_ = kind; }
    // The longest line a reader accepts, in bytes of the file. Reading stops
    // with state 12 at a longer line (after handing out its first bytes when
    // LineFileKeepLongLine is set).
    void SetMaxLineLength(int32_t bytes);

    // The file handle holder. A writer's owner may open it itself before
    // BeginWrite; BeginWrite opens it (CREATE_ALWAYS) when it is not open.
    RawFileHandle& File() { return file_; }

protected:
    RawLineFileInfo(const RawString& fileName, int32_t chunkSize);
    ~RawLineFileInfo();

    uint32_t options_ = 0;
    RawFileHandle file_;
    RawString fileName_;
    int32_t state_ = LineStateClosed;
    // Where the body of a line text that views the buffer is placed (it
    // outlives line_, which is destroyed first).
    alignas(8) unsigned char textPlace_[RawString::PlacedBodyBytes];
    RawLineRecord line_;

    // Buffer of file bytes: [unread_, end_) not yet handed out; buffer_[0]
    // stands at file position bufferFilePos_.
    uint8_t* buffer_ = nullptr;
    int32_t capacity_ = 0;
    int32_t unread_ = 0;
    int32_t end_ = 0;
    int64_t bufferFilePos_ = 0;
    int32_t dataStart_ = 0;     // file position after a skipped mark (parity of UTF-16 units)
    bool replay_ = false;       // the next ReadLine gives the current line again

    // Decoder.
    uint32_t decoderFlags_ = 0;
    uint8_t fileKind_ = 0;       // as found
    uint8_t givenFileKind_ = 0;  // as given by the caller
    uint8_t markKind_ = 0;
    uint8_t textKind_ = LineKindOwn;
    uint8_t lineKind_ = KindUtf8;  // kind of the texts of this open file
    uint8_t decodedKind_ = 0;      // kind whose units the line finder steps over
    bool convert_ = false;         // lines are converted from fileKind_ to lineKind_
    RawString work_;               // conversion work text (UTF-16)
    RawString target_;             // converted line

    int32_t chunkSize_ = 8192;
    int32_t maxLineBytes_ = 16 * 1024 * 1024;

    // Writer.
    int64_t written_ = 0;
    bool markDone_ = false;
    uint8_t writeKind_ = KindUtf8;
};

class RawLineFile : public RawLineFileInfo {
public:
    static constexpr int32_t DefaultChunkSize = 8192;
    static constexpr int32_t MinChunkSize = 4;
    static constexpr int32_t MaxChunkSize = 1 << 24;

    // A line file on a path. For reading, the chunk size may be given (it is
    // clamped to 4 .. 16 MiB); a writer writes kind 2 unless SetTextKind
    // says otherwise.
    explicit RawLineFile(const RawString& fileName, int32_t chunkSize = DefaultChunkSize);
    // Closes the file (a written file is flushed first).
    virtual ~RawLineFile();

    // Finds the next line in the buffer between two byte positions and makes
    // it current; false when no whole line stands there yet.
    virtual bool ReadNextLine(int32_t start, int32_t limit);
    // Position of the first LF or CR between the positions (stepping 2 bytes
    // in UTF-16 files, comparing the unit in the file's byte order); the
    // limit when there is none.
    virtual int32_t FindLineEnd(int32_t start, int32_t limit) const;

    // Opens the file for reading: state 1, or 4 when it cannot be opened.
    // Finds the encoding and, unless 0x40 is set, reads the first chunk.
    bool Open();
    // Makes the next line current; false at the end of the file and on any
    // failure (State() tells which).
    bool ReadLine();
    // Makes the next ReadLine give the current line again (a section reader
    // that stopped at the next section's line hands it back this way).
    void UnreadLine() { replay_ = line_.number > 0 && IsGood(); }
    // Closes the file. A written file gets its pending mark, its buffered
    // bytes and a flush first. True when the file was good (state 1 or 2)
    // and everything succeeded; otherwise false, and the state tells why (a
    // failed flush or close gives 7).
    bool Close();

    // Starts writing: creates (or truncates) the file unless it is open,
    // state 1, the file's kind (7 written as 6). False with state 4 when the
    // file cannot be created.
    bool BeginWrite();
    // Writes the text converted into the file's kind; no line end is added.
    bool WriteLine(const RawString& text);
    // Writes bytes of a kind converted into the file's kind (through UTF-16)
    // when the kinds differ; count is in bytes (kind 7: two a unit).
    bool WriteConverted(uint8_t kind, const void* bytes, int32_t count);
    // Writes bytes as they are; the mark goes first when 0x20 is set and
    // nothing was written yet. False unless the state is 1; a failed write
    // gives state 7.
    bool WriteBytes(const void* bytes, int32_t count);
    // CR LF in the file's kind.
    bool WriteLineBreak();

private:
    void ResetBuffers();
    bool EnsureCapacity(int32_t needed);
    // Reads one more chunk behind the unread bytes; false at the end of the
    // file (state 2) or on a failure.
    bool ReadChunk();
    void DetectKind();
    void SetupLineKind();
    bool MakeLine(int32_t start, int32_t endPos, int32_t next, uint32_t end1, uint32_t end2,
                  int32_t endCount);
    // Stops at a line from `start` that is longer than the bound (state 12);
    // with LineFileKeepLongLine its cut first bytes become the current line
    // (true).
    bool StopAtLongLine(int32_t start);
    bool FlushWrites();
    bool PutBytes(const void* bytes, int32_t count);
    bool WriteMarkOnce();

    uint8_t* writeBuffer_ = nullptr;
    int32_t writeFill_ = 0;
};

// Whether a file of `fileKind` (0-7; 7 as UTF-16 little-endian) holds the
// text without loss, as RawLineFile::WriteLine would write it.
bool KindHoldsText(uint8_t fileKind, const RawString& text);

}  // namespace RawLayer
