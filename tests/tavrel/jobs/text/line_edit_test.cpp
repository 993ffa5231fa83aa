// The edit commands of a text side on real files: the enable rules, the
// commands' own cases, text the side's encoding cannot hold, and a random
// walk over the editing commands whose undo, redo and save must give back
// exactly the lines they should. Copies and pastes are read back with
// ClipboardGetText.
// RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/clipboard.h"
#include "base/encoding.h"
#include "support/text_edit_support.h"
#include "tavrel/jobs/cursor.h"
#include "tavrel/jobs/text/line_edit.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::Units;
using TestSupport::Utf16Bytes;

namespace {

class LineEditTest : public TestSupport::TextEditFixture {
protected:
    JobLineBaseData& Data(JobGroupUnit* job, uint32_t side) { return *LineBaseData(job->Side(side)); }
    // Relabels a loaded side as holding another encoding kind (what choosing
    // the side's encoding does): the bytes stay, the kind changes.
    void ForceKind(JobGroupUnit* job, uint32_t side, uint8_t kind) {
        JobContentList& content = job->Content(side);
        for (JobContentUnit& unit : content) {
            JobLineUnit& line = static_cast<JobLineUnit&>(unit);
            RawString text = line.LineText();
            line.SetText(RawString::FromBytes(text.Bytes(), text.Length(), kind));
        }
        RawString end = content.lineEnd;
        content.lineEnd = RawString::FromBytes(end.Bytes(), end.Length(), kind);
        content.encodingKind = kind;
        Data(job, side).textKind = kind;
    }
    std::string Saved(JobGroupUnit* job, uint32_t side) {
        EXPECT_TRUE(job->controller->SaveFile(*job, side));
        return TestSupport::FileText(TestSupport::Ws(job->Path(side)));
    }
};

struct OptionScope {
    ConfigStore& store = ConfigStore::Instance();
    int32_t maxText = store.maxTextLoading;
    int32_t maxClip = store.maxClipLoading;
    ~OptionScope() {
        store.maxTextLoading = maxText;
        store.maxClipLoading = maxClip;
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// Enable rules

TEST_F(LineEditTest, EnableTableRefusesUnknownCommandsAndSidesNotEditable) {
    JobGroupUnit* job = Open("ab\r\ncd\r\n", "ab\r\ncd\r\n");
    for (uint32_t command : {0u, 27u, 0xFFFFFFFFu}) {
        int before = editor.alerts;
        EXPECT_FALSE(Run(job, 0, command)) << command;
        EXPECT_FALSE(job->controller->CanExecute(editor, *job, 0, command));
        EXPECT_EQ(editor.alerts, before + 1) << command;
    }
    // Without its edit byte a side refuses to copy lines in or delete them.
    job->edit.edit1 = 0;
    job->rows.At(0)->flags |= RowMarked;
    for (uint32_t command : {CommandCopyLinesTo, CommandDeleteLines}) {
        int before = editor.alerts;
        EXPECT_FALSE(Run(job, 0, command)) << command;
        EXPECT_EQ(editor.alerts, before + 1);
    }
    EXPECT_EQ(Lines(job, 0), (std::vector<std::string>{"ab", "cd"}));
    EXPECT_TRUE(Run(job, 0, CommandGotoLine, "2"));

    // A side cut at "MaxTextLoading" never changes, whatever its edit byte.
    OptionScope options;
    options.store.maxTextLoading = 4;
    JobGroupUnit* cut = Open("one\r\ntwo\r\nthree\r\n", "x\r\n");
    ASSERT_TRUE(cut->content1.flags & ContentCut);
    cut->edit.edit1 = 1;
    Place(cut, 0, 0, 0, 0, 2);
    cut->rows.At(0)->flags |= RowMarked;
    args.operands[0] = RawString::FromText("Q");
    args.operands[1] = RawString::FromText("Q");
    std::vector<std::string> lines = Lines(cut, 0);
    for (uint32_t command : {6u, 7u, 8u, 9u, 10u, 11u, 13u, 14u, 15u, 16u, 17u, 18u, 21u, 23u, 24u, 25u, 26u}) {
        int before = editor.alerts;
        EXPECT_FALSE(cut->controller->CanExecute(editor, *cut, 0, command)) << command;
        EXPECT_FALSE(Run(cut, 0, command)) << command;
        EXPECT_EQ(editor.alerts, before + 1) << command;
    }
    EXPECT_EQ(Lines(cut, 0), lines);
    EXPECT_EQ(cut->content1.flags & ContentChanged, 0);
}

// ---------------------------------------------------------------------------
// The commands' own cases

TEST_F(LineEditTest, TabsGoToEveryLineOfTheSelectedRowsAndComeOffOneAtATime) {
    JobGroupUnit* job = Open("l0\r\nl1\r\nl2\r\nl3\r\nl5\r\n", "l0\r\nl1\r\nl2\r\nl3\r\nX\r\nl5\r\n");
    ASSERT_EQ(job->rows.Count(), 6);
    ASSERT_TRUE(job->rows.At(4)->unit1->IsPlaceholder());
    // No selection: one tab at the caret.
    Place(job, 0, 1, 1, 1, 1);
    EXPECT_TRUE(Run(job, 0, CommandInsertLineTabs));
    EXPECT_EQ(Lines(job, 0)[1], "l\t1");
    // Rows 3 to 5, row 4 without a line on this side: rows 3 and 5 get one.
    Place(job, 0, 3, 1, 5, 1);
    EXPECT_TRUE(Run(job, 0, CommandInsertLineTabs));
    EXPECT_EQ(Lines(job, 0), (std::vector<std::string>{"l0", "l\t1", "l2", "\tl3", "\tl5"}));
    EXPECT_EQ(job->side1.anchorRow, 3);
    EXPECT_EQ(job->side1.anchorColumn, 0);
    EXPECT_EQ(job->side1.cursorRow, 5);
    EXPECT_EQ(job->side1.cursorColumn, 3);
    EXPECT_TRUE(Run(job, 0, CommandInsertLineTabs));
    EXPECT_TRUE(Run(job, 0, CommandRemoveLineTabs));
    EXPECT_EQ(Lines(job, 0), (std::vector<std::string>{"l0", "l\t1", "l2", "\tl3", "\tl5"}));
    // Lines that begin with spaces keep them.
    Place(job, 0, 5, 0, 5, 0);
    EXPECT_TRUE(Run(job, 0, CommandInsertText, "  "));
    Place(job, 0, 0, 0, 5, 0);
    EXPECT_TRUE(Run(job, 0, CommandRemoveLineTabs));
    EXPECT_EQ(Lines(job, 0), (std::vector<std::string>{"l0", "l\t1", "l2", "l3", "  \tl5"}));
    ExpectConsistent(job);
}

TEST_F(LineEditTest, BackspaceAtTheStartAndLineBreaksInsideInsertedText) {
    JobGroupUnit* job = Open("xy\r\nz\r\n", "xy\r\nz\r\n");
    Place(job, 0, 0, 0, 0, 0);
    EXPECT_FALSE(Run(job, 0, CommandBackspace));
    EXPECT_EQ(Data(job, 0).undo.Count(), 0);
    EXPECT_EQ(job->content1.flags & ContentChanged, 0);

    Place(job, 0, 0, 1, 0, 1);
    EXPECT_TRUE(Run(job, 0, CommandInsertText, "a\r\nb"));
    EXPECT_EQ(Lines(job, 0), (std::vector<std::string>{"xa", "by", "z"}));
    EXPECT_EQ(job->side1.cursorColumn, 1);
    EXPECT_EQ(job->rows.At(job->side1.cursorRow)->unit1->Text().Length(), 2);
    ExpectConsistent(job);
    // Backspace at the start of a line joins it to the line above.
    Place(job, 0, 1, 0, 1, 0);
    EXPECT_TRUE(Run(job, 0, CommandBackspace));
    EXPECT_EQ(Lines(job, 0), (std::vector<std::string>{"xaby", "z"}));
    EXPECT_TRUE(Run(job, 0, CommandUndo));
    EXPECT_TRUE(Run(job, 0, CommandUndo));
    EXPECT_EQ(Lines(job, 0), (std::vector<std::string>{"xy", "z"}));
    EXPECT_FALSE(job->controller->CanExecute(editor, *job, 0, CommandUndo));
    ExpectConsistent(job);
}

// A line whose text an edit leaves as it was keeps its own line end, even
// where it differs from the side's (taken from the first line, CR LF
// here): a break after a line's last character, typed, pasted, pasted with
// more lines or replaced in, gives the side's end to the new lines; a break
// inside a line gives it to the changed head, and its tail keeps the
// line's end; an empty line joined to the end of the one above takes
// nothing from it. In UTF-8 and in UTF-16 LE with a mark, through the
// commands and the save; undoing everything gives the file back byte for
// byte, and redoing it the edit again.
TEST_F(LineEditTest, LinesTheEditLeavesWholeKeepTheirOwnLineEnds) {
    struct Case {
        const char* name;
        std::string file;
        int32_t row, column;
        // The operand; of a paste the clipboard's text, of a replacement
        // the text that replaces the hit.
        std::vector<std::pair<uint32_t, std::string>> commands;
        std::string saved;
    };
    const std::vector<Case> cases = {
        {"Enter at a line's end", "h\r\na\nb\n", 1, 1,
         {{CommandInsertNewLine, ""}, {CommandInsertTypedText, "x"}}, "h\r\na\nx\r\nb\n"},
        {"paste starting with a break at a line's end", "h\r\na\nb\n", 1, 1,
         {{CommandPasteFromClipboard, "\nx"}}, "h\r\na\nx\r\nb\n"},
        {"paste of lines at a line's end", "h\r\na\nb\n", 1, 1,
         {{CommandPasteFromClipboard, "\r\ny\rx"}}, "h\r\na\ny\r\nx\r\nb\n"},
        {"paste of lines ending in a break at a line's end", "h\r\na\nb\n", 1, 1,
         {{CommandPasteFromClipboard, "\ny\n"}}, "h\r\na\ny\r\n\r\nb\n"},
        {"replacement starting with a break at a line's end", "h\r\nab\nc\n", 1, 0,
         {{CommandSearchForward, "b"}, {CommandReplaceText, "\nx"}}, "h\r\na\nx\r\nc\n"},
        {"Enter at the last line's end", "h\r\na\nb\n", 2, 1,
         {{CommandInsertNewLine, ""}, {CommandInsertTypedText, "x"}}, "h\r\na\nb\nx\r\n"},
        {"Enter at the end of a last line without an end", "h\r\na\nb", 2, 1,
         {{CommandInsertNewLine, ""}, {CommandInsertTypedText, "x"}}, "h\r\na\nb\r\nx"},
        {"Enter on an empty line", "h\r\n\nb\n", 1, 0,
         {{CommandInsertNewLine, ""}, {CommandInsertTypedText, "x"}}, "h\r\n\nx\r\nb\n"},
        {"Enter at a line's start", "h\r\na\nb\n", 1, 0,
         {{CommandInsertNewLine, ""}, {CommandInsertTypedText, "x"}}, "h\r\n\r\nxa\nb\n"},
        {"Enter inside a line", "h\r\nab\nc\n", 1, 1,
         {{CommandInsertNewLine, ""}, {CommandInsertTypedText, "x"}}, "h\r\na\r\nxb\nc\n"},
        {"an empty line joined to the one above", "h\r\na\n\r\nb\n", 2, 0, {{CommandBackspace, ""}},
         "h\r\na\nb\n"},
        {"a line joined to the one above", "h\r\na\nb\r\nc\n", 2, 0, {{CommandBackspace, ""}},
         "h\r\nab\r\nc\n"},
    };
    struct Form {
        const char* name;
        std::string mark;
        bool wide;
    };
    for (const Form& form : {Form{"UTF-8", "", false}, Form{"UTF-16 LE with a mark", "\xFF\xFE", true}}) {
        auto bytes = [&form](const std::string& text) {
            return form.mark + (form.wide ? Utf16Bytes(text, false) : text);
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(form.name) + ", " + c.name);
            JobGroupUnit* job = Open(bytes(c.file), bytes(c.file));
            ASSERT_EQ(job->content1.encodingKind,
                      uint32_t(form.wide ? RawLayer::KindUtf16LE : RawLayer::KindUtf8));
            Place(job, 0, c.row, c.column, c.row, c.column);
            for (const auto& command : c.commands) {
                if (command.first == CommandPasteFromClipboard) {
                    ASSERT_TRUE(RawLayer::ClipboardSetText(RawString::FromText(command.second.c_str())));
                }
                if (command.first == CommandReplaceText) {
                    args.operands[1] = RawString::FromText(command.second.c_str());
                    ASSERT_TRUE(Run(job, 0, command.first));
                } else {
                    ASSERT_TRUE(Run(job, 0, command.first, command.second));
                }
            }
            ExpectConsistent(job);
            EXPECT_EQ(Saved(job, 0), bytes(c.saved));
            const uint32_t done = Data(job, 0).undo.position;
            while (LineCanExecute(*job, 0, CommandUndo)) ASSERT_TRUE(Run(job, 0, CommandUndo));
            EXPECT_EQ(Saved(job, 0), bytes(c.file));
            while (Data(job, 0).undo.position < done) ASSERT_TRUE(Run(job, 0, CommandRedo));
            EXPECT_EQ(Saved(job, 0), bytes(c.saved));
            CloseAll();
        }
    }
    EXPECT_TRUE(logger.lines.empty());
}

TEST_F(LineEditTest, ReplaceIsOneUndoStepAndDeleteLinesTakesEachLineOnce) {
    JobGroupUnit* job = Open("abc\r\nk1\r\nk2\r\nk3\r\nk4\r\n", "abc\r\nk1\r\nm\r\nk3\r\nk4\r\n");
    Place(job, 0, 0, 0, 0, 0);
    args.operands[1] = RawString::FromText("XY");
    EXPECT_TRUE(Run(job, 0, CommandSearchForward, "b"));
    EXPECT_TRUE(Run(job, 0, CommandReplaceText));
    EXPECT_EQ(Lines(job, 0)[0], "aXYc");
    // The stored hit is used up: a second replace does nothing.
    EXPECT_FALSE(Run(job, 0, CommandReplaceText));
    EXPECT_TRUE(Run(job, 0, CommandUndo));
    EXPECT_EQ(Lines(job, 0)[0], "abc");

    // Rows 1, 2 and 4 marked: each of their side-1 lines goes once.
    for (int32_t r : {1, 2, 4}) job->rows.At(r)->flags |= RowMarked;
    EXPECT_TRUE(Run(job, 0, CommandDeleteLines));
    EXPECT_EQ(Lines(job, 0), (std::vector<std::string>{"abc", "k3"}));
    EXPECT_EQ(Lines(job, 1), (std::vector<std::string>{"abc", "k1", "m", "k3", "k4"}));
    EXPECT_GT(editor.restored, 0);
    ExpectConsistent(job);
    EXPECT_TRUE(Run(job, 0, CommandUndo));
    EXPECT_EQ(Lines(job, 0), (std::vector<std::string>{"abc", "k1", "k2", "k3", "k4"}));
    ExpectConsistent(job);
}

TEST_F(LineEditTest, GotoLineReadsItsNumberInSixtyFourBits) {
    JobGroupUnit* job = Open("1\r\n2\r\n3\r\n4\r\n5\r\n", "1\r\n2\r\n3\r\n4\r\n5\r\n");
    Place(job, 0, 1, 0, 1, 0);
    for (const char* bad : {"0", "-1", "6", "4294967297", "", "x"}) {
        EXPECT_FALSE(Run(job, 0, CommandGotoLine, bad)) << bad;
        EXPECT_EQ(job->side1.cursorRow, 1) << bad;
    }
    EXPECT_TRUE(Run(job, 0, CommandGotoLine, " 0x5 "));
    EXPECT_EQ(job->side1.cursorRow, 4);
    EXPECT_EQ(job->currentRow, 4);
}

TEST_F(LineEditTest, PasteIsCutAtTheLimitOnACharacterBoundary) {
    JobGroupUnit* job = Open("\r\n", "\r\n");
    for (int pairAt : {32765, 32766}) {
        std::wstring text(40000, L'a');
        text[static_cast<size_t>(pairAt)] = 0xD83D;
        text[static_cast<size_t>(pairAt) + 1] = 0xDE00;
        ASSERT_TRUE(RawLayer::ClipboardSetText(RawString::FromWideText(text.c_str())));
        Place(job, 0, 0, 0, 0, static_cast<int32_t>(job->content1.At(0)->Text().Length()));
        Run(job, 0, CommandSelectAll);
        EXPECT_TRUE(Run(job, 0, CommandPasteFromClipboard));
        RawString pasted = job->content1.At(0)->Text().As(RawLayer::KindUtf16);
        // The pair is kept whole (at 32765) or dropped whole (at 32766).
        EXPECT_EQ(pasted.Length(), pairAt == 32765 ? 32767 : 32766);
        EXPECT_FALSE(RawLayer::HasLoneSurrogate(pasted.Wide(), pasted.Length()));
    }
    // Copy gives the selected text back through the clipboard.
    Place(job, 0, 0, 2, 0, 5);
    EXPECT_TRUE(Run(job, 0, CommandCopyToClipboard));
    EXPECT_EQ(TestSupport::S(RawLayer::ClipboardGetText(100)), "aaa");
}

// ---------------------------------------------------------------------------
// Encodings

TEST_F(LineEditTest, TypedTextTheEncodingCannotHoldIsRefused) {
    const std::string nihon = "\xE6\x97\xA5\xE6\x9C\xAC";  // 日本 in UTF-8
    struct Case {
        const char* name;
        std::string file;
        int forceKind;
        std::string expected;
    };
    const std::string sjisA = "\x83\x41";                                // ア
    const std::string eucNihon = "\xC6\xFC\xCB\xDC";
    std::vector<Case> cases = {
        {"sjis", sjisA + "x\r\nkeep " + sjisA + "\r\n", -1, sjisA + "\x93\xFA\x96\x7B" "x\r\nkeep " + sjisA + "\r\n"},
        {"eucjp", eucNihon + "x\nkeep\n", RawLayer::KindEucJp, eucNihon + eucNihon + "x\nkeep\n"},
        {"utf16le", "\xFF\xFE" + Utf16Bytes("ax\r\nkeep\r\n", false), -1,
         "\xFF\xFE" + Utf16Bytes("a" + nihon + "x\r\nkeep\r\n", false)},
        {"utf16be", Utf16Bytes("ax\nkeep", true), -1, Utf16Bytes("a" + nihon + "x\nkeep", true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JobGroupUnit* job = Open(c.file, "other\r\n");
        if (c.forceKind >= 0) ForceKind(job, 0, static_cast<uint8_t>(c.forceKind));
        int32_t column = c.forceKind == RawLayer::KindEucJp ? 4 : (job->content1.encodingKind == 1 ? 2 : 1);
        Place(job, 0, 0, column, 0, column);
        EXPECT_TRUE(Run(job, 0, CommandInsertTypedText, "\xE6\x97\xA5"));
        EXPECT_TRUE(Run(job, 0, CommandInsertTypedText, "\xE6\x9C\xAC"));
        // A character no Japanese or Unicode side lacks, and one they do.
        if (job->content1.encodingKind != RawLayer::KindUtf16LE && job->content1.encodingKind != RawLayer::KindUtf16BE) {
            EXPECT_FALSE(Run(job, 0, CommandInsertTypedText, "\xF0\x9F\x98\x80"));
        }
        EXPECT_EQ(TestSupport::FileText(TestSupport::Ws(job->Path(0))), c.file);
        EXPECT_EQ(Saved(job, 0), c.expected);
    }
    // The system code page as the side's kind: 日本 only under code page 932.
    JobGroupUnit* job = Open("plain\r\n", "plain\r\n");
    ForceKind(job, 0, RawLayer::KindAnsi);
    Place(job, 0, 0, 0, 0, 0);
    const bool japanese = GetACP() == 932;
    EXPECT_EQ(Run(job, 0, CommandInsertTypedText, "\xE6\x97\xA5"), japanese);
    EXPECT_EQ(Run(job, 0, CommandInsertText, "\xE6\x97\xA5\xE6\x9C\xAC"), japanese);
    EXPECT_EQ(Lines(job, 0).size(), 1u);
    if (!japanese) {
        EXPECT_EQ(Lines(job, 0)[0], "plain");
        EXPECT_EQ(job->content1.flags & ContentChanged, 0);
        EXPECT_EQ(Data(job, 0).undo.Count(), 0);
    }
    // Controls, DEL and a lone surrogate are never typed.
    EXPECT_FALSE(Run(job, 0, CommandInsertTypedText, "\x7F"));
    EXPECT_FALSE(Run(job, 0, CommandInsertTypedText, "\t"));
    args.operands[0] = RawString::FromWideText(L"\xD83D");
    EXPECT_FALSE(Run(job, 0, CommandInsertTypedText));
}

// Files without a byte-order mark, read as a text side, edited at the end
// of a line and saved: UTF-16 in either byte order is found by its zero
// bytes whatever script it is written in and whatever byte it starts with
// (Chinese too, whose ideographs are often two bytes of ASCII), and 8-bit
// text keeps its reading, stray zero bytes and all. Either way the side
// shows the file's lines, and the save gives back the file's own bytes with
// only the typed character added, in the file's encoding: every line keeps
// the line end it had, mixed ends and the odd ends of a file read as 8-bit
// only because it does not decode as the UTF-16 it looks like alike.
TEST_F(LineEditTest, FilesWithoutAMarkReadInTheirEncodingAndSaveBackOnlyTheTypedCharacter) {
    struct Case {
        std::string name;
        std::string bytes;          // the file
        int kind;                   // the encoding found; -1 any 8-bit kind
        std::vector<std::string> lines;   // UTF-8 for UTF-16 files, else the bytes
        std::string typed;          // UTF-8
        std::string saved;          // the file after the edit
        int line = -1;              // the line typed into, at its end; -1 the last
        bool walk = false;          // also edited at random and undone (below)
    };
    std::vector<Case> cases;
    // UTF-16: one line and two, with and without a final line end, in both
    // byte orders. Every one-line text holds a space, the only zero bytes a
    // one-line text without a line end can have.
    struct Script { const char* name; const char* one; const char* two; const char* typed; };
    const Script scripts[] = {
        {"Japanese", "\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8 1", "\u4e8c\u884c\u76ee", "\u8a9e"},
        {"Arabic", "\u0645\u0631\u062d\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645",
         "\u0633\u0637\u0631 \u062b\u0627\u0646", "\u0645"},
        {"Hindi", "\u0928\u092e\u0938\u094d\u0924\u0947 \u0926\u0941\u0928\u093f\u092f\u093e",
         "\u0926\u0942\u0938\u0930\u0940 \u092a\u0902\u0915\u094d\u0924\u093f", "\u0915"},
        {"Thai", "\u0e2a\u0e27\u0e31\u0e2a\u0e14\u0e35 \u0e0a\u0e32\u0e27\u0e42\u0e25\u0e01",
         "\u0e1a\u0e23\u0e23\u0e17\u0e31\u0e14\u0e17\u0e35\u0e48\u0e2a\u0e2d\u0e07", "\u0e01"},
        {"Russian", "\u041f\u0440\u0438\u0432\u0435\u0442 \u043c\u0438\u0440",
         "\u0412\u0442\u043e\u0440\u0430\u044f \u0441\u0442\u0440\u043e\u043a\u0430", "\u042f"},
        {"ASCII", "hello world", "second line", "Z"},
    };
    // UTF-16 lines joined by `end`, the last one ended or not, typed into
    // at the end of line `line` (-1 the last).
    auto utf16 = [&cases](const std::string& name, const std::vector<std::string>& lines, const std::string& end,
                          bool ended, bool big, const std::string& typed, int line = -1) {
        const size_t target = line < 0 ? lines.size() - 1 : static_cast<size_t>(line);
        std::string text, edited;
        for (size_t i = 0; i < lines.size(); ++i) {
            const bool last = i + 1 == lines.size();
            const std::string tail = !last || ended ? end : "";
            text += lines[i] + tail;
            edited += lines[i] + (i == target ? typed : "") + tail;
        }
        cases.push_back({name + (ended ? " ended" : "") + (big ? " BE" : " LE"), Utf16Bytes(text, big),
                         big ? RawLayer::KindUtf16BE : RawLayer::KindUtf16LE, lines, typed, Utf16Bytes(edited, big),
                         line});
    };
    for (const Script& script : scripts) {
        for (const bool two : {false, true}) {
            for (const bool ended : {false, true}) {
                for (const bool big : {false, true}) {
                    std::vector<std::string> lines{script.one};
                    if (two) lines.push_back(script.two);
                    utf16(std::string(script.name) + (two ? " two lines" : " one line"), lines,
                          two && !ended ? "\n" : "\r\n", ended, big, script.typed);
                }
            }
        }
    }
    // Japanese UTF-16 whose first byte is a kanji's.
    const std::string japanese = "\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8";
    const std::string second = "\u4e8c\u884c\u76ee";
    for (const bool big : {false, true}) utf16("kanji first", {japanese, second}, "\r\n", true, big, "Z");
    // Chinese, Simplified and Traditional: 1 to 5 lines, CR LF or LF, with
    // and without a final line end, in both byte orders. A text without a
    // final line end, or of one line, starts with a line indented by spaces.
    struct Chinese { const char* name; const char* spaced; const char* lines[5]; const char* typed; };
    const Chinese chinese[] = {
        {"Simplified",
         "     \u5149\u6807\u653e\u5728\u90a3\u4e00\u884c\u7684\u54ea\u4e2a\u5b57\u7b26\u4e0a\u5e76\u4e0d\u91cd"
         "\u8981\u3002",
         {"\u663e\u793a\u5e2e\u52a9\u4fe1\u606f\u5e76\u9000\u51fa\u3002",
          "\u91cd\u7f6e\u767b\u5f55\u5931\u8d25\u8ba1\u6570\u3002", "\u7528\u6237\u8d26\u6237\u4fe1\u606f\u3002",
          "\u65e0\u6548\u7684\u6b63\u5219\u8868\u8fbe\u5f0f", "\u5185\u5b58\u8017\u5c3d"},
         "\u5b57"},
        {"Traditional", "     \u4f4d\u65bc\u78c1\u5e36\u8d77\u59cb\u90e8\u5206\uff0c\u7acb\u523b\u9000\u51fa",
         {"\u7121\u6548\u7684\u6b63\u898f\u8868\u793a\u5f0f", "\u8a18\u61b6\u9ad4\u7528\u76e1",
          "\u4e0d\u652f\u63f4\u4e3b\u6a5f\u540d\u7a31\u7684\u4f4d\u5740\u5bb6\u65cf",
          "\u6240\u6709\u8acb\u6c42\u5b8c\u6210", "\u532f\u6d41\u6392\u932f\u8aa4"},
         "\u9ad4"},
    };
    for (const Chinese& script : chinese) {
        for (size_t count = 1; count <= 5; ++count) {
            for (const bool ended : {false, true}) {
                for (const bool big : {false, true}) {
                    std::vector<std::string> lines;
                    if (!ended || count == 1) lines.push_back(script.spaced);
                    for (size_t i = 0; lines.size() < count; ++i) lines.push_back(script.lines[i]);
                    utf16(std::string(script.name) + " " + std::to_string(count) + " lines", lines,
                          count % 2 ? "\r\n" : "\n", ended, big, script.typed);
                }
            }
        }
    }
    // 8-bit text, the lines as their bytes, ended by CR LF, a lone CR or a
    // lone LF as the reader ends them; typed into line `line` (-1 the last).
    auto eightBit = [&cases](const std::string& name, const std::string& bytes, int kind, int line = -1,
                             bool walk = false) {
        std::vector<std::string> lines;
        std::vector<size_t> ends;   // where each line's text ends in the file
        size_t start = 0;
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] != '\r' && bytes[i] != '\n') continue;
            lines.push_back(bytes.substr(start, i - start));
            ends.push_back(i);
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            start = i + 1;
        }
        if (start < bytes.size()) {
            lines.push_back(bytes.substr(start));
            ends.push_back(bytes.size());
        }
        std::string saved = bytes;
        saved.insert(ends[line < 0 ? ends.size() - 1 : static_cast<size_t>(line)], "Z");
        cases.push_back({name, bytes, kind, lines, "Z", saved, line, walk});
    };
    eightBit("stray zero 12 bytes", std::string("hello\0world\n", 12), -1);
    eightBit("stray zero 12 bytes, other parity", std::string("hell\0oworld\n", 12), -1);
    eightBit("stray zero 40 bytes", std::string("line one\nli\0ne two\nline three\nline four\n", 40), -1);
    eightBit("stray zero next to a line end", std::string("first line\n\0second line\nthird line\n", 35), -1);
    eightBit("Shift_JIS",
             "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67\r\n\x93\xF1\x8D\x73\x96\xDA\r\n",
             RawLayer::KindSjis);
    eightBit("EUC-JP", "\xC6\xFC\xCB\xDC\xB8\xEC\xA4\xCE\xA5\xC6\xA5\xAD\xA5\xB9\xA5\xC8\n\xC6\xF3\xB9\xD4\xCC\xDC\n", -1);
    eightBit("UTF-8", japanese + "\r\n" + second + "\r\n", RawLayer::KindUtf8);
    eightBit("Latin-1", "caf\xE9 cr\xE8me\n\xE0 la carte\n", -1);
    eightBit("GBK", "\xCF\xD4\xCA\xBE\xB0\xEF\xD6\xFA\xD0\xC5\xCF\xA2\xB2\xA2\xCD\xCB\xB3\xF6\xA1\xA3\r\n"
             "\xD6\xD8\xD6\xC3\xB5\xC7\xC2\xBC\xCA\xA7\xB0\xDC\xBC\xC6\xCA\xFD\xA1\xA3\r\n"
             "\xD3\xC3\xBB\xA7\xD5\xCB\xBB\xA7\xD0\xC5\xCF\xA2\xA1\xA3\r\n", -1);
    eightBit("Big5", "\xB5\x4C\xAE\xC4\xAA\xBA\xA5\xBF\xB3\x57\xAA\xED\xA5\xDC\xA6\xA1\r\n"
             "\xB0\x4F\xBE\xD0\xC5\xE9\xA5\xCE\xBA\xC9\r\n\xA9\xD2\xA6\xB3\xBD\xD0\xA8\x44\xA7\xB9\xA6\xA8\r\n", -1);
    eightBit("GBK with a stray zero", std::string("\xCF\xD4\xCA\xBE\xB0\xEF\xD6\xFA\xD0\xC5\r\n\xD6\xD8\xD6\xC3\0\xB5\xC7"
                                                 "\xC2\xBC\r\n\xD3\xC3\xBB\xA7:\r\n", 30), -1);
    // UTF-16 with one byte more, which no UTF-16 file has: read as 8-bit,
    // every byte kept, each line's own end too (an 8-bit reading ends a
    // line at a lone CR byte, and the next one at the LF after the CR's
    // zero). Typed into the first line; the CR LF files are also edited at
    // random and undone.
    eightBit("UTF-16 of odd length", Utf16Bytes(japanese + "\n" + second + "\n", false) + "x", -1);
    for (const Script& script : scripts) {
        const std::string one = script.one, two = script.two;
        for (const bool big : {false, true})
            eightBit(script.name + std::string(" UTF-16 CR LF of odd length") + (big ? " BE" : " LE"),
                     Utf16Bytes(one + "\r\n" + two + "\r\n\r\n" + two + " " + one + "\r\n" + one + "\r\n", big) + "!",
                     -1, 0, true);
    }
    // Texts whose UTF-16 the guess once took for 8-bit text, typed into at
    // the end of their first line, CR LF and LF, in both byte orders:
    // Cantonese and Mandarin with characters of CJK Extension A (their
    // units look like ASCII capitals and digits), Yi (its units look like
    // the full-width signs of GBK), Malayalam and Sinhala without spaces
    // (the high byte 0x0D of every letter stands before each LF, as an
    // 8-bit CR would), and Chinese whose one ideograph (U+89C9, U+8FC7 or U+8BDD) is two
    // bytes of valid UTF-8 among ASCII-looking others.
    struct Rare { const char* name; std::vector<std::string> lines; const char* typed; };
    const Rare rare[] = {
        {"Cantonese", {"\u4f62\u4eca\u65e5\u5187\u8fd4\u5de5\uff0c\u8a71\u500b\u982d\u597d\u75db\u35ce\u3002",
                       "\u807d\u65e5\u518d\u8b1b\u5566\u3002"}, "\u35ce"},
        {"Cantonese spaced", {"\u4f60\u8981\u5514\u8981\u676f\u51cd\u6ab8\u8336\u5440\uff1f \u597d\u98f2\u35ce\uff01"},
         "\u35ce"},
        {"Cantonese without signs", {"\u3a52\u4e00\u4e0b\u500b\u63a3\u5c31\u5f97\u35ce\u5587", "\u5514\u4f7f\u9a5a"},
         "\u3a52"},
        {"Cantonese one line", {"\u4f62\u3a52\u5497\u5e7e\u6b21\u9580\u9418\u90fd\u5187\u4eba\u61c9\u3002"}, "\u3deb"},
        {"Extension A", {"\u6731\u4d09\u662f\u56fd\u5bb6\u4e00\u7ea7\u4fdd\u62a4\u52a8\u7269\u3002",
                         "\u6d0b\u53bf\u662f\u6731\u4d09\u7684\u6545\u4e61\u3002"}, "\u4d09"},
        {"Extension A without signs", {"\u4c9f\u9c7c\u5e38\u5e38\u5438\u9644\u5728\u9ca8\u9c7c\u8eab\u4e0a",
                                       "\u7af9\u8282\u866b\u53c8\u53eb\u45db"}, "\u4dae"},
        {"Yi", {"\ua188\ua320\ua259", "\ua038\ua3b9\ua12b\ua3cb\ua2cd\uff0c"}, "\ua259"},
        {"Yi one line", {"\ua440\ua36b\ua283\ua3a0\ua2e4\ua1fc\ua170\ua1f3\ua0a7"}, "\ua188"},
        {"Yi spaced", {"\ua0c3 \ua488 \ua44a \ua2e8 \ua034\ua090\ua1a9"}, "\ua320"},
        {"Malayalam", {"\u0d38\u0d02\u0d30\u0d15\u0d4d\u0d37\u0d3f\u0d15\u0d4d\u0d15\u0d41\u0d15",
                       "\u0d31\u0d26\u0d4d\u0d26\u0d3e\u0d15\u0d4d\u0d15\u0d41\u0d15", "\u0d24\u0d3f\u0d30\u0d2f\u0d41\u0d15"},
         "\u0d15"},
        {"Malayalam two", {"\u0d2a\u0d15\u0d7c\u0d24\u0d4d\u0d24\u0d41\u0d15", "\u0d12\u0d1f\u0d4d\u0d1f\u0d3f\u0d15\u0d4d\u0d15\u0d41\u0d15"},
         "\u0d2e"},
        {"Sinhala", {"\u0dc3\u0dd0\u0d9a\u0dc3\u0dd4\u0db8\u0dca", "\u0dc3\u0ddc\u0dba\u0db1\u0dca\u0db1", "\u0d8b\u0daf\u0dc0\u0dca"},
         "\u0dc3"},
        {"Sinhala two", {"\u0d85\u0dbd\u0dc0\u0db1\u0dca\u0db1", "\u0d9a\u0db4\u0db1\u0dca\u0db1"}, "\u0db8"},
        {"Chinese with one UTF-8 pair", {"\u597d\u597d\u7761\u89c9"}, "\u5b57"},
        {"Chinese with UTF-8 pairs", {"\u5728\u7761\u89c9", "\u5929\u5929\u597d\u8fc7"}, "\u5b57"},
        {"Chinese with one UTF-8 pair, short", {"\u662f\u597d\u8bdd"}, "\u5b57"},
    };
    for (const Rare& text : rare)
        for (const char* end : {"\r\n", "\n"})
            for (const bool big : {false, true})
                utf16(std::string(text.name) + (end[0] == '\r' ? " CR LF" : " LF"), text.lines, end, true, big,
                      text.typed, 0);
    // 8-bit text with a zero between a CR and its LF: read as 8-bit, the CR
    // ends one line and the LF the next, which holds the zero; each keeps
    // its end. Typed into the first line.
    eightBit("zero in a CR LF", std::string("first line\r\0\nsecond line\r\nthird\r\n", 33), -1, 0);
    eightBit("zero in a CR LF, other parity", std::string("first\r\0\nsecond line\r\nthird\r\n", 28), -1, 0);
    eightBit("zero in a CR LF, Shift_JIS",
             std::string("\x93\xFA\x96\x7B\x8C\xEA\r\n\x93\xF1\x8D\x73\x96\xDA\r\0\n\x83\x65\x83\x4C\r\n", 23),
             -1, 0);
    eightBit("zero in a CR LF, GBK", std::string("\xC4\xE3\xBA\xC3\xCA\xC0\xBD\xE7\r\0\n\xD4\xD9\xBC\xFB\r\n", 17),
             -1, 0);
    eightBit("zero in the last CR LF, Latin-1", std::string("caf\xE9 cr\xE8me\r\nna\xEFve\r\0\n", 20), -1, 0);
    // 8-bit text with a zero before each LF, or between each CR and LF, as a
    // program that writes a zero with every line end leaves it: the zeros
    // stand where UTF-16 puts its line ends, the text between is no UTF-16
    // (Big5 and GBK read as units are Yi, Extension A and Hangul; UTF-8
    // letters stand side by side; Latin words give Extension A units).
    // Read as 8-bit, each line ends at its LF and holds its zero (or ends
    // at its CR, and the next one holds the zero). From the system's
    // translations.
    auto withZeros = [](const auto& literal) { return std::string(literal, sizeof(literal) - 1); };
    eightBit("Big5, a zero before each LF", withZeros("\xA4\x5A\xAB\xB0\0\n\xA5\xCB\xAF\xC7\0\n"), -1, 0);
    eightBit("Big5 with a sign, a zero before each LF",
             withZeros("\xB7\x6A\xB4\x4D\0\n\xB7\x6A\xB4\x4D\xA1\x47\0\n"), -1, 0);
    eightBit("Big5, a zero between each CR and LF",
             withZeros("\xB6\x67\xA5\x7C\r\0\n\xB6\x67\xA4\x47\r\0\n\xB6\x67\xA4\x54\r\0\n\xB0\xCA\xA7\x40\xA6\x57\xBA"
                       "\xD9\xA5\xB2\xB6\xB7\xA6\x62\xC0\xB3\xA5\xCE\xB5\x7B\xA6\xA1 id \xA4\xA7\xAB\xE1\r\0\n"),
             -1, 0);
    eightBit("GBK, a zero before each LF",
             withZeros("\xB2\xBB\xCA\xC7\xC4\xBF\xC2\xBC\0\n\xD5\xD2\xB2\xBB\xB5\xBD\0\n\xD5\xD2\xB2\xBB\xB5\xBD\xA3\xAC"
                       "\xC3\xBB\xD3\xD0\xC4\xC7\xB8\xF6\xC3\xFB\xD7\xD6\0\n"),
             -1, 0);
    eightBit("UTF-8, a zero before each LF",
             withZeros("math\0\n\xD7\x91\xD7\x99\xD7\xA0\xD7\x95\xD7\xA0\xD7\x99\0\nmenu\0\nmenu bar"), -1, 0);
    eightBit("Latin, a zero before each LF", withZeros("Ekoi\0\nEjamat\0\n"), -1, 0);
    // Ordinary 8-bit files whose lines end in CR LF, LF and CR mixed: every
    // line keeps its own end, through random edits undone too.
    eightBit("mixed line ends", "alpha\r\nbeta\ngamma\rdelta\r\nepsilon\n", -1, 0, true);
    eightBit("mixed line ends, last line unended", "one\ntwo\r\nthree\rfour", -1, 1, true);
    eightBit("mixed line ends, Shift_JIS",
             "\x93\xFA\x96\x7B\x8C\xEA\n\x93\xF1\x8D\x73\x96\xDA\r\n\x83\x65\x83\x4C\x83\x58\x83\x67\r"
             "\x8E\x4F\r\n",
             RawLayer::KindSjis, 0, true);
    eightBit("mixed line ends, Latin-1", "caf\xE9\rna\xEFve\r\nd\xE9j\xE0 vu\n\xE0 la carte\r", -1, 2, true);
    eightBit("mixed line ends, UTF-8", japanese + "\n" + second + "\r\n" + japanese + "\r" + second + "\r\n",
             RawLayer::KindUtf8, 0, true);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        logger.lines.clear();
        JobGroupUnit* job = Open(c.bytes, "other\n");
        const uint32_t kind = job->content1.encodingKind;
        if (c.kind >= 0) {
            EXPECT_EQ(kind, uint32_t(c.kind));
        } else {
            EXPECT_NE(kind, uint32_t(RawLayer::KindUtf16LE));
            EXPECT_NE(kind, uint32_t(RawLayer::KindUtf16BE));
        }
        const bool wide = kind == RawLayer::KindUtf16LE || kind == RawLayer::KindUtf16BE;
        EXPECT_EQ(wide ? Text(job, 0) : Lines(job, 0), c.lines);
        // The row of the line typed into.
        const int32_t target = c.line >= 0 ? c.line : job->content1.Count() - 1;
        int32_t row = -1;
        for (int32_t r = 0, line = 0; r < job->rows.Count() && row < 0; ++r)
            if (!job->rows.At(r)->unit1->IsPlaceholder() && line++ == target) row = r;
        ASSERT_GE(row, 0) << "side 1 has no line " << target;
        const int32_t end = job->rows.At(row)->unit1->Text().Length();
        Place(job, 0, row, end, row, end);
        EXPECT_TRUE(Run(job, 0, CommandInsertTypedText, c.typed));
        EXPECT_EQ(Saved(job, 0), c.saved);
        EXPECT_TRUE(logger.lines.empty());
        if (!c.walk) continue;

        // Random deletes over lines, whole lines deleted, line breaks and
        // typed text. Edited, the save gives each line whose text an edit
        // left whole the end it had (a model of the lines and their ends
        // says which); all undone, the file's bytes, each line with its own
        // end; redone and undone again, the same.
        JobGroupUnit* walked = Open(c.bytes, "other\n");
        std::mt19937 rng(static_cast<uint32_t>(c.bytes.size()) * 7919u + (c.name.back() == 'E' ? 1u : 0u));
        auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
        // The file's lines with their ends; an empty end is the side's (the
        // first line's), which new lines take, and a changed head of a
        // split line, and an unended last line once lines follow it.
        struct ModelLine {
            std::string text, end;
        };
        std::vector<ModelLine> loaded;
        for (const std::string& text : Lines(walked, 0)) loaded.push_back({text, ""});
        {
            size_t at = 0;
            for (ModelLine& line : loaded) {
                ASSERT_EQ(c.bytes.compare(at, line.text.size(), line.text), 0);
                at += line.text.size();
                const size_t width = c.bytes.compare(at, 2, "\r\n") == 0 ? 2
                                     : at < c.bytes.size() && (c.bytes[at] == '\r' || c.bytes[at] == '\n') ? 1
                                                                                                           : 0;
                line.end = c.bytes.substr(at, width);
                at += width;
            }
            ASSERT_EQ(at, c.bytes.size());
        }
        const std::string sideEnd = loaded[0].end.empty() ? "\r\n" : loaded[0].end;
        const bool lastEnded = !loaded.back().end.empty();
        for (int round = 0; round < 12 && !HasFailure(); ++round) {
            std::string log;
            std::vector<ModelLine> model = loaded;
            // A range from (a, from) to (b, to) taken out: a line left whole
            // keeps its end, else the joined line takes the last one's.
            auto join = [&model](size_t a, size_t from, size_t b, size_t to) {
                if (a == b) {
                    model[a].text.erase(std::min(from, to), std::max(from, to) - std::min(from, to));
                    return;
                }
                const bool whole = from == model[a].text.size() && to == model[b].text.size();
                model[a].text = model[a].text.substr(0, from) + model[b].text.substr(to);
                if (!whole) model[a].end = model[b].end;
                model.erase(model.begin() + static_cast<long>(a) + 1, model.begin() + static_cast<long>(b) + 1);
            };
            for (int step = 0; step < 10; ++step) {
                std::vector<int32_t> real;
                for (int32_t r = 0; r < walked->rows.Count(); ++r)
                    if (!walked->rows.At(r)->unit1->IsPlaceholder()) real.push_back(r);
                if (real.empty()) break;
                auto lineOf = [&real](int32_t row) {
                    return static_cast<size_t>(std::find(real.begin(), real.end(), row) - real.begin());
                };
                auto spot = [&](int32_t& row, int32_t& column) {
                    row = real[static_cast<size_t>(pick(static_cast<int>(real.size())))];
                    JobContentUnit* unit = walked->rows.At(row)->unit1;
                    column = unit->FitCharIndex(pick(unit->Text().Length() + 1));
                };
                int32_t row = 0, column = 0, toRow = 0, toColumn = 0;
                spot(row, column);
                spot(toRow, toColumn);
                if (toRow < row) {
                    std::swap(row, toRow);
                    std::swap(column, toColumn);
                }
                const int kind = pick(5);
                uint32_t command = CommandDeleteSelections;
                const size_t line = lineOf(row);
                ModelLine& here = model[line];
                const size_t at = static_cast<size_t>(column);
                if (kind == 0) {
                    Place(walked, 0, row, column, toRow, toColumn);
                    join(line, at, lineOf(toRow), static_cast<size_t>(toColumn));
                } else if (kind == 1) {
                    for (JobReportUnit& r : walked->rows)
                        r.flags = pick(3) == 0 ? (r.flags | RowMarked) : (r.flags & ~RowMarked);
                    command = CommandDeleteLines;
                    for (size_t k = real.size(); k-- > 0;)
                        if (walked->rows.At(real[k])->flags & RowMarked)
                            model.erase(model.begin() + static_cast<long>(k));
                } else {
                    // A break, a typed character, or a line joined to the one
                    // above.
                    Place(walked, 0, row, kind == 4 ? 0 : column, row, kind == 4 ? 0 : column);
                    command = kind == 2 ? CommandInsertNewLine : kind == 3 ? CommandInsertTypedText : CommandBackspace;
                    args.operands[0] = RawString::FromText(c.typed.c_str());
                    if (kind == 2 && at == here.text.size()) {
                        model.insert(model.begin() + static_cast<long>(line) + 1, ModelLine{"", ""});
                    } else if (kind == 2) {
                        const ModelLine tail{here.text.substr(at), here.end};
                        here = ModelLine{here.text.substr(0, at), ""};
                        model.insert(model.begin() + static_cast<long>(line) + 1, tail);
                    } else if (kind == 3) {
                        here.text.insert(at, c.typed);
                    } else if (line > 0) {
                        join(line - 1, model[line - 1].text.size(), line, 0);
                    }
                }
                log += std::to_string(command) + (Run(walked, 0, command) ? "+ " : "- ");
                for (JobReportUnit& r : walked->rows) r.flags &= ~static_cast<uint32_t>(RowMarked);
            }
            SCOPED_TRACE("round " + std::to_string(round) + ": " + log);
            const uint32_t done = Data(walked, 0).undo.position;
            // Every fourth round: a save takes long.
            if (done > 0 && round % 4 == 0) {
                std::string edited;
                for (size_t i = 0; i < model.size(); ++i)
                    edited += model[i].text + (i + 1 == model.size() && !lastEnded ? ""
                                               : model[i].end.empty()              ? sideEnd
                                                                                   : model[i].end);
                EXPECT_EQ(Saved(walked, 0), edited);
            }
            while (LineCanExecute(*walked, 0, CommandUndo)) ASSERT_TRUE(Run(walked, 0, CommandUndo));
            if (done == 0) continue;
            EXPECT_EQ(Saved(walked, 0), c.bytes);
            while (Data(walked, 0).undo.position < done) ASSERT_TRUE(Run(walked, 0, CommandRedo));
            while (LineCanExecute(*walked, 0, CommandUndo)) ASSERT_TRUE(Run(walked, 0, CommandUndo));
            EXPECT_EQ(Saved(walked, 0), c.bytes);
        }
        EXPECT_TRUE(logger.lines.empty());
    }
}

TEST_F(LineEditTest, LinesAndResultsTheEncodingCannotHoldChangeNothing) {
    // Side 1 is Shift_JIS; side 2's second line holds a character it lacks.
    JobGroupUnit* job = Open("\x95\x5C\r\nb\r\n", "\xE8\xA1\xA8\r\n\xC3\xA9\r\n");
    ASSERT_EQ(job->content1.encodingKind, uint32_t(RawLayer::KindSjis));
    for (JobReportUnit& row : job->rows) row.flags |= RowMarked;
    const std::vector<std::string> lines = Lines(job, 0);
    EXPECT_FALSE(Run(job, 0, CommandCopyLinesTo));
    EXPECT_EQ(Lines(job, 0), lines);
    EXPECT_EQ(Data(job, 0).undo.Count(), 0);
    // An input-method result it cannot hold leaves the text as it was.
    Place(job, 0, 1, 0, 1, 1);
    EXPECT_TRUE(Run(job, 0, CommandImeCompositionStart));
    job->side1.composition[0].text = RawString::FromText("\xC3\xA9");
    job->side1.compositionContents = 4;
    EXPECT_FALSE(Run(job, 0, CommandImeCompositionUpdate));
    EXPECT_TRUE(Run(job, 0, CommandImeCompositionEnd));
    EXPECT_EQ(Lines(job, 0), lines);
    EXPECT_EQ(job->content1.flags & ContentChanged, 0);
    EXPECT_EQ(Data(job, 0).undo.Count(), 0);
}

TEST_F(LineEditTest, WordSelectionKeepsShiftJisCharactersWhole) {
    // ア is 83 41: its trail byte is the letter A.
    JobGroupUnit* job = Open("\x83\x41" "A b\r\n", "x\r\n");
    ASSERT_EQ(job->content1.encodingKind, uint32_t(RawLayer::KindSjis));
    Place(job, 0, 0, 2, 0, 2);
    EXPECT_TRUE(Run(job, 0, CommandSelectWord));
    EXPECT_EQ(job->side1.anchorColumn, 2);
    EXPECT_EQ(job->side1.cursorColumn, 3);
    Place(job, 0, 0, 1, 0, 1);
    EXPECT_TRUE(Run(job, 0, CommandSelectWordEx));
    EXPECT_EQ(job->side1.anchorColumn, 0);
    EXPECT_EQ(job->side1.cursorColumn, 2);
}

// ---------------------------------------------------------------------------
// Random walk

namespace {

struct Encoding {
    const char* name;
    uint8_t fileKind;  // what the loader finds
    bool mark;
    // Characters (UTF-8) the encoding holds, and ones it does not.
    std::vector<std::string> held;
    std::vector<std::string> foreign;
};

// The file bytes of lines (UTF-8) in an encoding.
std::string Encode(const Encoding& e, const std::vector<std::string>& lines, const std::string& end, bool lastEnded) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) text += lines[i] + (i + 1 < lines.size() || lastEnded ? end : "");
    RawString wide = RawString::FromText(text.c_str()).As(RawLayer::KindUtf16);
    if (e.fileKind == RawLayer::KindUtf16LE) {
        return (e.mark ? std::string("\xFF\xFE") : std::string()) + Units(wide);
    }
    RawString bytes = wide.As(e.fileKind);
    return (e.mark ? std::string("\xEF\xBB\xBF") : std::string()) + Units(bytes);
}

}  // namespace

TEST_F(LineEditTest, RandomEditsUndoRedoAndSaveGiveBackTheirLines) {
    const std::vector<std::string> common = {"a", "b", "x", " ", "\t", "\xE3\x81\x82", "\xE8\xA1\xA8", "\xE3\x82\xA2", "_"};
    std::vector<Encoding> encodings = {
        {"utf8", RawLayer::KindUtf8, false, common, {}},
        {"utf8-mark", RawLayer::KindUtf8, true, common, {}},
        {"sjis", RawLayer::KindSjis, false, common, {"\xF0\x9F\x98\x80", "\xC3\xA9"}},
        {"utf16le", RawLayer::KindUtf16LE, true, common, {}},
    };
    encodings[0].held.push_back("\xF0\x9F\x98\x80");
    encodings[3].held.push_back("\xC3\xA9");
    std::mt19937 rng(20240611);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
    const uint32_t commands[] = {6, 7, 8, 9, 10, 11, 13, 16, 17, 18, 19, 21, 23, 24, 25, 26, 14, 15};
    const int runs = 2000;
    int saves = 0, refused = 0, changedRuns = 0;
    for (int run = 0; run < runs && !HasFailure(); ++run) {
        const Encoding& e = encodings[static_cast<size_t>(pick(static_cast<int>(encodings.size())))];
        auto word = [&](bool foreign) {
            std::string w;
            int n = 1 + pick(4);
            for (int i = 0; i < n; ++i) {
                if (foreign && !e.foreign.empty() && pick(3) == 0)
                    w += e.foreign[static_cast<size_t>(pick(static_cast<int>(e.foreign.size())))];
                else
                    w += e.held[static_cast<size_t>(pick(static_cast<int>(e.held.size())))];
            }
            return w;
        };
        std::vector<std::string> one, two;
        for (int i = pick(6); i > 0; --i) one.push_back(word(false));
        for (const std::string& line : one) two.push_back(pick(3) == 0 ? word(false) : line);
        const std::string end = pick(2) ? "\r\n" : "\n";
        const bool lastEnded = pick(4) != 0;
        JobGroupUnit* job = Open(Encode(e, one, end, lastEnded), Encode(e, two, end, true));
        SCOPED_TRACE(std::string(e.name) + " run " + std::to_string(run));
        // A short 8-bit file may be taken for the other 8-bit encoding (7-bit
        // text is UTF-8); its lines keep their bytes all the same.
        if (e.fileKind != RawLayer::KindUtf16LE)
            ASSERT_TRUE(job->content1.encodingKind == RawLayer::KindSjis || job->content1.encodingKind == RawLayer::KindUtf8);
        else
            ASSERT_EQ(job->content1.encodingKind, e.fileKind);
        const std::vector<std::string> loaded = Lines(job, 0);
        const std::string oldFile = TestSupport::FileText(TestSupport::Ws(job->Path(0)));
        if (pick(4) == 0) RawLayer::ClipboardSetText(RawString::FromText(word(true).c_str()));
        std::string log;
        for (int step = 0; step < 24 && !HasFailure(); ++step) {
            // A random selection on rows that hold a line of side 1.
            std::vector<int32_t> real;
            for (int32_t r = 0; r < job->rows.Count(); ++r)
                if (!job->rows.At(r)->unit1->IsPlaceholder()) real.push_back(r);
            if (!real.empty() && !(job->side1.imeState & 1)) {
                auto spot = [&](int32_t& row, int32_t& column) {
                    row = real[static_cast<size_t>(pick(static_cast<int>(real.size())))];
                    JobContentUnit* unit = job->rows.At(row)->unit1;
                    column = unit->FitCharIndex(pick(unit->Text().Length() + 1));
                };
                JobSideRecord& s = job->side1;
                spot(s.cursorRow, s.cursorColumn);
                if (pick(2)) {
                    s.anchorRow = s.cursorRow;
                    s.anchorColumn = s.cursorColumn;
                } else {
                    spot(s.anchorRow, s.anchorColumn);
                }
            }
            const uint32_t command = commands[pick(static_cast<int>(sizeof(commands) / sizeof(commands[0])))];
            std::string operand = word(true);
            if (command == CommandInsertText && pick(3) == 0) operand += (pick(2) ? "\r\n" : "\n") + word(false);
            if (command == CommandSearchForward) operand = pick(2) ? "*" : word(false).substr(0, 1);
            args.operands[0] = RawString::FromText(operand.c_str());
            args.operands[1] = RawString::FromText(pick(2) ? "%0y" : word(true).c_str());
            if (command == CommandCopyLinesTo || command == CommandDeleteLines)
                for (JobReportUnit& row : job->rows) row.flags = pick(3) == 0 ? (row.flags | RowMarked) : (row.flags & ~RowMarked);
            if (command == CommandImeCompositionUpdate) {
                job->side1.composition[0].text = RawString::FromText(word(true).c_str());
                job->side1.compositionContents = pick(3) == 0 ? 4 : 1;
            }
            // A composition shown without a record goes before any other
            // command.
            if (Data(job, 0).composition.shown && command != CommandImeCompositionUpdate &&
                command != CommandImeCompositionStart && command != CommandImeCompositionEnd)
                Run(job, 0, CommandImeCompositionEnd);
            const std::vector<std::string> before = Lines(job, 0);
            const int32_t records = Data(job, 0).undo.Count();
            const bool done = Run(job, 0, command);
            log += std::to_string(command) + (done ? "+ " : "- ") + "[" + std::to_string(Lines(job, 0).size()) + "] ";
            // Text the side cannot hold changes nothing.
            RawString converted;
            bool holdable = RawLayer::ConvertTextExactly(args.operands[0], job->content1.encodingKind == 1 ? 1 : 2, converted);
            if ((command == CommandInsertText || command == CommandInsertTypedText) && !holdable) {
                EXPECT_FALSE(done);
                EXPECT_EQ(Lines(job, 0), before);
                EXPECT_EQ(Data(job, 0).undo.Count(), records);
                ++refused;
            }
            for (JobReportUnit& row : job->rows) row.flags &= ~static_cast<uint32_t>(RowMarked);
            ExpectConsistent(job);
        }
        // A composition still shown goes when composing ends.
        if (LineCanExecute(*job, 0, CommandImeCompositionEnd)) Run(job, 0, CommandImeCompositionEnd);
        const std::vector<std::string> edited = Lines(job, 0);
        const uint32_t donePosition = Data(job, 0).undo.position;
        if (edited != loaded) ++changedRuns;
        while (LineCanExecute(*job, 0, CommandUndo)) ASSERT_TRUE(Run(job, 0, CommandUndo));
        EXPECT_EQ(Lines(job, 0), loaded);
        ExpectConsistent(job);
        // Redone up to where the walk left the list (it may have undone
        // its last steps).
        while (Data(job, 0).undo.position < donePosition) ASSERT_TRUE(Run(job, 0, CommandRedo));
        EXPECT_EQ(Lines(job, 0), edited) << log;
        ExpectConsistent(job);
        if (run % 25 == 0 && (job->content1.flags & ContentChanged)) {
            // The save writes exactly the edited lines as the file was
            // written: its kind, mark and line end; the old file goes into a
            // dated backup.
            std::vector<std::wstring> backupsBefore = BackupFolders();
            JobLineBaseData& data = Data(job, 0);
            std::string expected = e.mark ? (e.fileKind == RawLayer::KindUtf16LE ? "\xFF\xFE" : "\xEF\xBB\xBF") : "";
            const std::string lineEnd = Units(job->content1.lineEnd);
            for (size_t i = 0; i < edited.size(); ++i)
                expected += edited[i] + (i + 1 < edited.size() || data.lastLineEnded ? lineEnd : "");
            EXPECT_EQ(Saved(job, 0), expected);
            std::vector<std::wstring> backups = BackupFolders();
            ASSERT_EQ(backups.size(), backupsBefore.size() + 1);
            std::wstring name = TestSupport::Ws(job->Path(0));
            name = name.substr(name.find_last_of(L'\\') + 1);
            bool kept = false;
            for (const std::wstring& b : backups)
                kept = kept || TestSupport::FileText(b + L"\\" + name) == oldFile;
            EXPECT_TRUE(kept);
            ++saves;
        }
        CloseAll();
    }
    EXPECT_GT(saves, 10);
    EXPECT_GT(refused, 10);
    EXPECT_GT(changedRuns, runs / 2);
}

// ---------------------------------------------------------------------------
// Many lines at once

// Rows of many lines, marked at random in runs, and ranges over many lines:
// each command gives the lines a row-by-row model of it gives, undo gives
// back the lines before, redo the lines after; and undo and redo leave the
// rows, the cursor and the records exactly as applying the records one by
// one does to a twin of the job, where a text of several lines goes in one
// line break at a time, each after the line the one before made.
TEST_F(LineEditTest, CommandsOverManyLinesGiveWhatTheyWouldLineByLine) {
    std::mt19937 rng(38);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
    auto state = [&](JobGroupUnit* job, uint32_t side) {
        std::string s;
        for (const JobReportUnit& row : job->rows) {
            s += std::to_string(row.kind) + "/" + std::to_string(row.flags);
            for (const JobContentUnit* unit : {row.unit1, row.unit2})
                s += unit->IsPlaceholder() ? " -" : " " + Units(unit->Text());
            s += "\n";
        }
        const JobSideRecord& at = job->Side(side);
        for (int32_t value : {at.anchorRow, at.anchorColumn, at.cursorRow, at.cursorColumn, job->currentRow})
            s += std::to_string(value) + " ";
        const JobUndoDataList& undo = Data(job, side).undo;
        s += "at " + std::to_string(undo.position) + ":";
        for (const JobUndoDataUnit& record : undo)
            s += " " + std::to_string(record.operation) + "(" + std::to_string(record.startRow) + "," +
                 std::to_string(record.startColumn) + "," + std::to_string(record.endRow) + "," +
                 std::to_string(record.endColumn) + ")" + Units(record.text);
        return s;
    };
    // An insertion of text applied as insertions of one line break each,
    // without records; the record turns into its inverse as applying it
    // does.
    auto lineByLine = [](LineEditContext& context, JobUndoDataUnit& record) {
        const RawString text = record.text;
        if (record.operation != UndoInsertText || text.IsEmpty()) return ApplyUndoRecord(context, record);
        JobTextPosition at = {record.startRow, record.startColumn};
        for (int32_t from = 0, i = 0; i <= text.Length(); ++i) {
            const uint32_t unit = i < text.Length() ? text.UnitAt(i) : 0;
            if (i < text.Length() && unit != '\r' && unit != '\n') continue;
            RawString piece = RawString::ReserveAs(text.Kind(), i - from + 2);
            piece.AppendRange(text, RawRange{from, i});
            if (i < text.Length()) {
                piece.AppendChar('\r');
                piece.AppendChar('\n');
                if (unit == '\r' && i + 1 < text.Length() && text.UnitAt(i + 1) == '\n') ++i;
            }
            from = i + 1;
            if (!piece.IsEmpty() && !InsertTextAt(context, 0, at, piece, &at)) return false;
        }
        record.operation = UndoDeleteText;
        record.endRow = at.line;
        record.endColumn = at.column;
        record.text = RawString();
        return true;
    };
    auto oneByOne = [&](JobGroupUnit* job, uint32_t side, bool undo) {
        LineEditContext context(editor, *job, side);
        const bool done = StepUndoRecords(Data(job, side).undo, undo,
                                          [&](JobUndoDataUnit& record) { return lineByLine(context, record); });
        return LineEditFinish(context, done);
    };
    for (int run = 0; run < 60 && !HasFailure(); ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        std::string one, two;
        for (int i = 0, n = 20 + pick(200); i < n; ++i) {
            const std::string line = "l" + std::to_string(pick(40));
            if (pick(4)) one += line + "\r\n";
            if (pick(4)) two += (pick(5) ? line : "o" + std::to_string(i)) + "\r\n";
        }
        JobGroupUnit* job = Open(one, two);
        JobGroupUnit* twin = Open(one, two);
        const uint32_t side = static_cast<uint32_t>(pick(2));
        const std::vector<std::string> loaded = Lines(job, side);
        const int32_t rows = job->rows.Count();
        std::vector<std::string> expected;
        const int what = pick(3);
        if (what < 2) {
            // Runs of marked rows.
            bool marked = false;
            for (int32_t r = 0; r < rows; ++r) {
                if (pick(6) == 0) marked = !marked;
                JobReportUnit* row = job->rows.At(r);
                if (marked) {
                    row->flags |= RowMarked;
                    twin->rows.At(r)->flags |= RowMarked;
                }
                const bool here = !row->Unit(side)->IsPlaceholder(), there = !row->Unit(1 - side)->IsPlaceholder();
                if (what == 0 && marked && there)
                    expected.push_back(Units(row->Unit(1 - side)->Text()));
                else if (here && !(what == 1 && marked))
                    expected.push_back(Units(row->Unit(side)->Text()));
            }
            for (JobGroupUnit* j : {job, twin}) Run(j, side, what == 0 ? CommandCopyLinesTo : CommandDeleteLines);
        } else {
            // A range from one line to another, deleted.
            std::vector<int32_t> real;
            for (int32_t r = 0; r < rows; ++r)
                if (!job->rows.At(r)->Unit(side)->IsPlaceholder()) real.push_back(r);
            if (real.size() < 2) continue;
            size_t a = static_cast<size_t>(pick(static_cast<int>(real.size())));
            size_t b = static_cast<size_t>(pick(static_cast<int>(real.size())));
            if (a > b) std::swap(a, b);
            const int32_t from = std::min<int32_t>(1, static_cast<int32_t>(loaded[a].size()));
            const int32_t to = static_cast<int32_t>(loaded[b].size());
            expected.assign(loaded.begin(), loaded.begin() + static_cast<long>(a));
            expected.push_back(loaded[a].substr(0, static_cast<size_t>(from)) + loaded[b].substr(static_cast<size_t>(to)));
            expected.insert(expected.end(), loaded.begin() + static_cast<long>(b) + 1, loaded.end());
            for (JobGroupUnit* j : {job, twin}) {
                Place(j, side, real[a], from, real[b], to);
                Run(j, side, CommandDeleteSelections);
            }
        }
        for (JobGroupUnit* j : {job, twin})
            for (JobReportUnit& row : j->rows) row.flags &= ~static_cast<uint32_t>(RowMarked);
        EXPECT_EQ(Lines(job, side), expected);
        ExpectConsistent(job);
        // One command: one undo, one redo.
        for (const bool undo : {true, false}) {
            EXPECT_EQ(Run(job, side, undo ? CommandUndo : CommandRedo), oneByOne(twin, side, undo));
            EXPECT_FALSE(LineCanExecute(*job, side, undo ? CommandUndo : CommandRedo));
            EXPECT_EQ(Lines(job, side), undo ? loaded : expected);
            EXPECT_EQ(state(job, side), state(twin, side));
            ExpectConsistent(job);
        }
        CloseAll();
    }
}

// Undoing a deletion of every line, deleting the first half, copying every
// row from the other side, and undoing and redoing the deletion of every
// row's line grow with the lines, not with their square: eight times the
// lines take well under 64 times as long.
TEST_F(LineEditTest, EditsOverManyLinesTakeTimeInProportion) {
    auto seconds = [](LARGE_INTEGER a, LARGE_INTEGER b) {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        // Below 10 ms a busy machine's noise outweighs the work.
        return std::max(double(b.QuadPart - a.QuadPart) / double(f.QuadPart), 0.01);
    };
    auto measure = [&](int lines) {
        std::string many, tail;
        for (int i = 0; i < lines; ++i) many += "line " + std::to_string(i) + "\r\n";
        std::vector<double> times;
        LARGE_INTEGER t0, t1;
        // Every line deleted, then undone.
        JobGroupUnit* job = Open(many, "x\r\n");
        Place(job, 0, 0, 0, 0, 0);
        EXPECT_TRUE(Run(job, 0, CommandSelectAll));
        EXPECT_TRUE(Run(job, 0, CommandDeleteSelections));
        QueryPerformanceCounter(&t0);
        EXPECT_TRUE(Run(job, 0, CommandUndo));
        QueryPerformanceCounter(&t1);
        times.push_back(seconds(t0, t1));
        EXPECT_EQ(job->content1.Count(), lines);
        // The first half deleted.
        Place(job, 0, 0, 0, lines / 2, 0);
        QueryPerformanceCounter(&t0);
        EXPECT_TRUE(Run(job, 0, CommandDeleteSelections));
        QueryPerformanceCounter(&t1);
        times.push_back(seconds(t0, t1));
        EXPECT_EQ(job->content1.Count(), lines - lines / 2);
        // Every row copied into a side of one line, below them all.
        JobGroupUnit* other = Open("end\r\n", many + "end\r\n");
        for (JobReportUnit& row : other->rows) row.flags |= RowMarked;
        QueryPerformanceCounter(&t0);
        EXPECT_TRUE(Run(other, 0, CommandCopyLinesTo));
        QueryPerformanceCounter(&t1);
        times.push_back(seconds(t0, t1));
        EXPECT_EQ(other->content1.Count(), lines + 1);
        // Every row's line deleted against the same lines, then undone and
        // redone.
        JobGroupUnit* rows = Open(many, many);
        for (JobReportUnit& row : rows->rows) row.flags |= RowMarked;
        EXPECT_TRUE(Run(rows, 0, CommandDeleteLines));
        for (JobReportUnit& row : rows->rows) row.flags &= ~static_cast<uint32_t>(RowMarked);
        for (const uint32_t command : {CommandUndo, CommandRedo}) {
            QueryPerformanceCounter(&t0);
            EXPECT_TRUE(Run(rows, 0, command));
            QueryPerformanceCounter(&t1);
            times.push_back(seconds(t0, t1));
            EXPECT_EQ(rows->content1.Count(), command == CommandUndo ? lines : 0);
        }
        CloseAll();
        return times;
    };
    // The better of two tries: a busy machine stalls one now and then.
    auto best = [&](int lines) {
        std::vector<double> times = measure(lines);
        const std::vector<double> again = measure(lines);
        for (size_t i = 0; i < times.size(); ++i) times[i] = std::min(times[i], again[i]);
        return times;
    };
    const std::vector<double> small = best(10000);
    const std::vector<double> large = best(80000);
    const char* const names[] = {"undo of deleting every line", "deleting the first half", "copying every row",
                                 "undo of deleting every row's line", "its redo"};
    for (size_t i = 0; i < small.size(); ++i)
        EXPECT_LT(large[i] / small[i], 24.0) << names[i] << ": " << small[i] << " s, then " << large[i] << " s";
}

// ---------------------------------------------------------------------------
// Search and replace commands

TEST_F(LineEditTest, SearchCommandsStepAndTheReplaceLoopEnds) {
    JobGroupUnit* job = Open("abc\r\nfoo abc\r\nbar\r\nbaz\r\n", "x\r\n");
    Place(job, 0, 0, 1, 0, 1);
    // An empty expression finds nothing and moves nothing.
    EXPECT_FALSE(Run(job, 0, CommandSearchForward, ""));
    EXPECT_FALSE(Run(job, 0, CommandSearchBackward, ""));
    EXPECT_EQ(job->side1.cursorColumn, 1);

    // "*" and "&" hit successive places.
    for (const char* expression : {"*", "&"}) {
        Place(job, 0, 0, 0, 0, 0);
        std::vector<int32_t> columns;
        for (int i = 0; i < 5; ++i) {
            ASSERT_TRUE(Run(job, 0, CommandSearchForward, expression));
            columns.push_back(job->side1.cursorRow * 100 + job->side1.cursorColumn);
        }
        EXPECT_EQ(columns, (std::vector<int32_t>{0, 1, 2, 3, 100})) << expression;
    }
    // Backward right after a forward hit does not find it again.
    Place(job, 0, 0, 0, 0, 0);
    ASSERT_TRUE(Run(job, 0, CommandSearchForward, "abc"));
    ASSERT_TRUE(Run(job, 0, CommandSearchForward, "abc"));
    EXPECT_EQ(job->side1.cursorRow, 1);
    ASSERT_TRUE(Run(job, 0, CommandSearchBackward, "abc"));
    EXPECT_EQ(job->side1.anchorRow, 0);
    EXPECT_EQ(job->side1.anchorColumn, 0);
    EXPECT_FALSE(Run(job, 0, CommandSearchBackward, "abc"));
    // "!abc" steps line by line over the lines without abc, both ways.
    Place(job, 0, 0, 0, 0, 0);
    std::vector<int32_t> rows;
    while (Run(job, 0, CommandSearchForward, "!abc")) rows.push_back(job->side1.cursorRow);
    EXPECT_EQ(rows, (std::vector<int32_t>{2, 3}));
    EXPECT_TRUE(Run(job, 0, CommandSearchBackward, "!abc"));
    EXPECT_EQ(job->side1.cursorRow, 2);
    EXPECT_FALSE(Run(job, 0, CommandSearchBackward, "!abc"));

    // The replace loop of "*" by x ends.
    JobGroupUnit* loop = Open("abc\r\n", "abc\r\n");
    Place(loop, 0, 0, 0, 0, 0);
    args.operands[1] = RawString::FromText("x");
    int replacements = 0;
    while (replacements < 100 && Run(loop, 0, CommandSearchForward, "*") && Run(loop, 0, CommandReplaceText))
        ++replacements;
    EXPECT_EQ(Lines(loop, 0), (std::vector<std::string>{"xaxbxcx"}));
    EXPECT_EQ(replacements, 4);
    // Each replacement is one undo step.
    EXPECT_TRUE(Run(loop, 0, CommandUndo));
    EXPECT_EQ(Lines(loop, 0), (std::vector<std::string>{"xaxbxc"}));

    // A replacement needs the stored hit selected on its unchanged line.
    Place(job, 0, 0, 0, 0, 0);
    args.operands[1] = RawString::FromText("[%0]");
    ASSERT_TRUE(Run(job, 0, CommandSearchForward, "@b."));
    Place(job, 0, 0, 0, 0, 3);
    EXPECT_FALSE(Run(job, 0, CommandReplaceText));
    Place(job, 0, 0, 1, 0, 3);
    EXPECT_TRUE(Run(job, 0, CommandReplaceText));
    EXPECT_EQ(Lines(job, 0)[0], "a[c]");
    ASSERT_TRUE(Run(job, 0, CommandSearchForward, "@o."));
    job->rows.At(1)->unit1->markKind = 0;
    static_cast<JobLineUnit*>(job->rows.At(1)->unit1)->SetText(RawString::FromText("foo abd"));
    EXPECT_FALSE(Run(job, 0, CommandReplaceText));
}

TEST_F(LineEditTest, SearchMatchesInTheLinesOwnEncoding) {
    // 表 is 95 5C in Shift_JIS: its trail byte is a backslash.
    JobGroupUnit* job = Open("\x95\x5C\x95\x5C" "a\\\r\n\x95\x5C\r\n", "x\r\n");
    ASSERT_EQ(job->content1.encodingKind, uint32_t(RawLayer::KindSjis));
    Place(job, 0, 1, 2, 1, 2);
    ASSERT_TRUE(Run(job, 0, CommandSearchBackward, "\\"));
    EXPECT_EQ(job->side1.anchorRow, 0);
    EXPECT_EQ(job->side1.anchorColumn, 5);
    EXPECT_FALSE(Run(job, 0, CommandSearchBackward, "\\"));
    // The expression and the replacement are converted to the line's kind.
    Place(job, 0, 0, 0, 0, 0);
    args.operands[1] = RawString::FromText("\xE3\x81\x82%0");  // あ
    ASSERT_TRUE(Run(job, 0, CommandSearchForward, "\xE8\xA1\xA8" "a"));  // 表a
    EXPECT_EQ(job->side1.anchorColumn, 2);
    EXPECT_TRUE(Run(job, 0, CommandReplaceText));
    EXPECT_EQ(Lines(job, 0)[0], "\x95\x5C\x82\xA0\\");
    // What the kind cannot hold is found nowhere, and replaces nothing.
    Place(job, 0, 0, 0, 0, 0);
    EXPECT_FALSE(Run(job, 0, CommandSearchForward, "\xF0\x9F\x98\x80"));
    ASSERT_TRUE(Run(job, 0, CommandSearchForward, "\\"));
    EXPECT_EQ(job->side1.anchorColumn, 4);
    args.operands[1] = RawString::FromText("\xC3\xA9");
    EXPECT_FALSE(Run(job, 0, CommandReplaceText));
    EXPECT_EQ(Lines(job, 0)[0], "\x95\x5C\x82\xA0\\");
}

TEST_F(LineEditTest, SearchOverLongLinesAnswersWithinASecond) {
    std::string many(10000, 'a');
    JobGroupUnit* job = Open(many + "\r\n" + many + "\r\n", "x\r\n");
    Place(job, 0, 0, 0, 0, 0);
    auto start = GetTickCount();
    EXPECT_FALSE(Run(job, 0, CommandSearchForward, "*a*a*a*a*a*b"));
    EXPECT_FALSE(Run(job, 0, CommandSearchBackward, "*a*a*a*a*a*b"));
    EXPECT_LT(GetTickCount() - start, 1000u);
}
