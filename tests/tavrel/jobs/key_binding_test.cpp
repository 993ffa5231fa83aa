// Key bindings: the two key files, key texts, action lists, the queries on
// an action, the lookup by the modifiers held, and a fuzz of the parse.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/key_binding.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::S;
using TestSupport::TempFolder;
using TestSupport::W;
using TestSupport::WriteFileBytes;

namespace {

RawString T(const std::string& text) { return RawString::FromBytes(text.data(), static_cast<int32_t>(text.size()), RawLayer::KindUtf8); }

const char kKeyNames[] =
    "[VirtualKey]\r\n"
    "F3=0x72\r\n"
    "Tab=9\r\n"
    "Big=0x100000041\r\n"
    "Negative=-65\r\n"
    "Minus-Key=0xBD\r\n";

const char kBindings[] =
    "[KeyBinding]\r\n"
    "CS-F3=SearchBackward(Side2, \"x\", 3)\r\n"          // 0
    "F3=SearchForward\r\n"                                // 1
    "SA-0x70=ViewHelp\r\n"                                // 2
    "CC-F3=OpenConfig\r\n"                                // 3
    "cS-F3=First\r\n"                                     // 4
    "S-F3=Second\r\n"                                     // 5
    "2A-0x41=Digit\r\n"                                   // 6
    "0x100000041=Wrap\r\n"                                // 7
    "Big=Named\r\n"                                       // 8
    "Negative=Minus\r\n"                                  // 9
    "Unknown=Nothing\r\n"                                 // 10
    "Minus-Key=Hyphen\r\n"                                // 11
    "tab=Lower\r\n"                                       // 12
    "C-0x72=Text(\"a;b\", Pivot) ; ; SelectAll ;Input(Input)\r\n";  // 13

struct Loaded {
    TempFolder folder;
    JobBindingOwner owner;
    Loaded() {
        WriteFileBytes(folder.Join(L"VirtualKey.ini"), std::string(kKeyNames));
        WriteFileBytes(folder.Join(L"KeyBinding.ini"), std::string(kBindings));
        ConfigStore& options = ConfigStore::Instance();
        const RawString savedNames = options.virtualKeyFile;
        const RawString savedBindings = options.keyBindingFile;
        options.virtualKeyFile = W(folder.Join(L"VirtualKey.ini"));
        options.keyBindingFile = W(folder.Join(L"KeyBinding.ini"));
        KeyBindingStore::Load(owner);
        options.virtualKeyFile = savedNames;
        options.keyBindingFile = savedBindings;
    }
    const JobBindingUnit& At(int32_t index) const { return *owner.bindings.At(index); }
};

// The reference parse of an action list, byte by byte over UTF-8 (whose
// multi-byte characters hold no ASCII byte): pieces at semicolons outside
// quotes, the name before the piece's first '(' outside quotes, the words up
// to the first ')' outside quotes in the rest of the text, split at commas.
struct RefAction {
    std::string name;
    std::vector<std::string> words;
};

std::string Trim(const std::string& text) {
    size_t a = 0, b = text.size();
    while (a < b && (text[a] == ' ' || text[a] == '\t')) ++a;
    while (b > a && (text[b - 1] == ' ' || text[b - 1] == '\t')) --b;
    return text.substr(a, b - a);
}

// The first `c` outside quotes in [from, to), counting quotes from `from`.
size_t FindOutside(const std::string& text, size_t from, size_t to, char c) {
    bool quoted = false;
    for (size_t i = from; i < to; ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (!quoted && text[i] == c)
            return i;
    }
    return to;
}

std::vector<RefAction> ReferenceParse(const std::string& text) {
    std::vector<RefAction> actions;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = FindOutside(text, start, text.size(), ';');
        size_t a = start, b = end;
        while (a < b && (text[a] == ' ' || text[a] == '\t')) ++a;
        while (b > a && (text[b - 1] == ' ' || text[b - 1] == '\t')) --b;
        start = end + 1;
        if (a == b) continue;
        RefAction action;
        size_t open = FindOutside(text, a, b, '(');
        action.name = Trim(text.substr(a, open - a));
        if (open < b) {
            size_t close = FindOutside(text, open, text.size(), ')');
            std::string words = Trim(text.substr(open + 1, close - open - 1));
            size_t pos = 0;
            while (pos < words.size()) {
                size_t comma = FindOutside(words, pos, words.size(), ',');
                action.words.push_back(Trim(words.substr(pos, comma - pos)));
                pos = comma + 1;
            }
        }
        actions.push_back(action);
    }
    return actions;
}

std::string RandomText(std::mt19937& random, size_t maxLength) {
    static const char* const kPieces[] = {"\"", "(", ")", ";", ",", " ", "\t", "-", "C", "S", "A", "c",
                                          "0x", "1", "9", "F3", "Side1", "Input", "\xE3\x81\x82",
                                          "\xF0\x9F\x98\x80", "\xC3\xA9", "x", "Pivot"};
    std::string text;
    const size_t length = random() % (maxLength + 1);
    for (size_t i = 0; i < length; ++i) text += kPieces[random() % (sizeof(kPieces) / sizeof(kPieces[0]))];
    return text;
}

}  // namespace

TEST(KeyBindingFiles, KeyTextsGiveMaskAndCode) {
    Loaded loaded;
    ASSERT_EQ(loaded.owner.bindings.Count(), 14);
    struct Expect {
        uint32_t mask, code;
    } expected[] = {
        {0x3000, 0x72}, {0, 0x72}, {0x6000, 0x70}, {0x1000, 0x72}, {0x2000, 0x72}, {0x2000, 0x72},
        {0x4004, 0x41}, {0, 0},    {0, 0},         {0, 0},         {0, 0},         {0, 0},
        {0, 9},         {0x1000, 0x72},
    };
    for (int32_t i = 0; i < 14; ++i) {
        EXPECT_EQ(loaded.At(i).mask, expected[i].mask) << i;
        EXPECT_EQ(loaded.At(i).code, expected[i].code) << i;
    }
    EXPECT_EQ(KeyCodeValue(T("0x100000041"), loaded.owner.keyNames), 0);
    EXPECT_EQ(KeyCodeValue(T("0xFF"), loaded.owner.keyNames), 0);
    EXPECT_EQ(KeyCodeValue(T("0xFE"), loaded.owner.keyNames), 0xFE);
    EXPECT_EQ(KeyCodeValue(T("f3"), loaded.owner.keyNames), 0x72);

    // A second load appends; a missing file keeps the table and the list.
    KeyBindingStore::Load(loaded.owner, W(loaded.folder.Join(L"None.ini")), W(loaded.folder.Join(L"None.ini")));
    EXPECT_EQ(loaded.owner.bindings.Count(), 14);
    EXPECT_EQ(KeyCodeValue(T("Tab"), loaded.owner.keyNames), 9);
    KeyBindingStore::Load(loaded.owner, RawString(), W(loaded.folder.Join(L"KeyBinding.ini")));
    EXPECT_EQ(loaded.owner.bindings.Count(), 28);
}

TEST(KeyBindingFiles, ActionsAndTheirQueries) {
    Loaded loaded;
    const JobActionList& search = loaded.At(0).actions;
    ASSERT_EQ(search.Count(), 1);
    const JobActionUnit& action = *search.First();
    EXPECT_EQ(S(action.name), "SearchBackward");
    EXPECT_EQ(S(action.ArgumentText(0)), "x");
    EXPECT_EQ(S(action.ArgumentText(1)), "3");
    EXPECT_TRUE(action.ArgumentText(2).IsEmpty());
    EXPECT_EQ(action.TargetSide(0), 1u);
    EXPECT_EQ(action.TargetSide(1), 1u);
    EXPECT_FALSE(action.HasPivot());

    const JobActionList& list = loaded.At(13).actions;
    ASSERT_EQ(list.Count(), 3);
    const JobActionUnit& text = *list.At(0);
    EXPECT_EQ(S(text.name), "Text");
    EXPECT_EQ(S(text.ArgumentText(0)), "a;b");
    EXPECT_TRUE(text.HasPivot());
    EXPECT_EQ(text.TargetSide(1), 1u);
    const JobActionUnit& all = *list.At(1);
    EXPECT_EQ(S(all.name), "SelectAll");
    EXPECT_EQ(all.ArgumentText(0), EmptyMarkText());
    EXPECT_TRUE(all.ArgumentText(1).IsEmpty());
    const JobActionUnit& input = *list.At(2);
    EXPECT_EQ(input.ArgumentText(0), InputMarkText());
    EXPECT_TRUE(input.ArgumentText(1).IsEmpty());

    JobActionList open;
    ParseActionList(open, T("A(x; B(y) ;SideR"));
    ASSERT_EQ(open.Count(), 3);
    EXPECT_EQ(S(open.At(0)->name), "A");
    ASSERT_EQ(open.At(0)->words.Count(), 1);
    EXPECT_EQ(S(*open.At(0)->words.First()), "x; B(y");
    EXPECT_EQ(S(open.At(1)->name), "B");
    JobActionUnit sideR(T("X"), RawLayer::RawStringList::FromCommaText(T("SideR")));
    EXPECT_EQ(sideR.TargetSide(0), 1u);
    EXPECT_EQ(sideR.TargetSide(1), 0u);
}

TEST(KeyBindingLookup, ModifiersHeldNowChooseTheBinding) {
    Loaded loaded;
    BYTE state[256] = {};
    ASSERT_TRUE(GetKeyboardState(state));
    BYTE held[256];
    std::copy(state, state + 256, held);
    held[VK_SHIFT] = 0x80;
    held[VK_CONTROL] = 0;
    held[VK_MENU] = 0;
    ASSERT_TRUE(SetKeyboardState(held));
    const JobBindingUnit* shifted = FindKeyBinding(loaded.owner.bindings, 0x72);
    held[VK_SHIFT] = 0;
    ASSERT_TRUE(SetKeyboardState(held));
    const JobBindingUnit* plain = FindKeyBinding(loaded.owner.bindings, 0x72);
    SetKeyboardState(state);
    EXPECT_EQ(shifted, &loaded.At(4));  // the first of two equal bindings
    EXPECT_EQ(plain, &loaded.At(1));
    EXPECT_EQ(FindKeyBinding(loaded.owner.bindings, 0, 0), nullptr);
    EXPECT_EQ(FindKeyBinding(loaded.owner.bindings, 0x41, 0x4004), &loaded.At(6));
}

TEST(KeyBindingFuzz, RandomTextsParseAsTheReferenceInLinearTime) {
    std::mt19937 random(21);
    RawLayer::RawParameterList names(false);
    names.Add(T("F3"), T("0x72"));
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < 100000; ++i) {
        const std::string key = RandomText(random, 8);
        const std::string value = RandomText(random, 24);
        JobBindingUnit binding;
        ParseKeyBinding(binding, T(key), T(value), names);
        ASSERT_EQ(binding.mask & ~0x73FFu, 0u) << key;
        ASSERT_LE(binding.code, 254u) << key;
        const std::vector<RefAction> expected = ReferenceParse(value);
        ASSERT_EQ(binding.actions.Count(), static_cast<int32_t>(expected.size())) << value;
        int32_t index = 0;
        for (const JobActionUnit& action : binding.actions) {
            const RefAction& ref = expected[static_cast<size_t>(index++)];
            ASSERT_EQ(S(action.name), ref.name) << value;
            ASSERT_EQ(action.words.Count(), static_cast<int32_t>(ref.words.size())) << value;
            int32_t w = 0;
            for (const RawString& word : action.words) ASSERT_EQ(S(word), ref.words[static_cast<size_t>(w++)]) << value;
            action.ArgumentText(static_cast<int32_t>(random() % 4));
        }
    }
    // A long value of unclosed parentheses: the first actions' words run to
    // the end of the value, as written; once they have taken many times the
    // value's length, words stop at their own piece, so memory stays linear.
    std::string many;
    for (int i = 0; i < 200000; ++i) many += "a(;";
    JobActionList actions;
    ParseActionList(actions, T(many));
    ASSERT_EQ(actions.Count(), 200000);
    EXPECT_EQ(actions.First()->words.First()->Length(), static_cast<int32_t>(many.size()) - 2);
    int64_t copied = 0;
    for (const JobActionUnit& action : actions)
        for (const RawString& word : action.words) copied += word.Length();
    EXPECT_LT(copied, 20 * static_cast<int64_t>(many.size()));
    EXPECT_TRUE(actions.Last()->words.IsEmpty());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_LT(seconds, 60.0);
}

TEST(KeyBindingFuzz, HundredThousandBindingsLoad) {
    TempFolder folder;
    std::string text = "[KeyBinding]\r\n";
    for (int i = 0; i < 100000; ++i) {
        text += "CS-0x" + std::to_string(10 + i % 200) + "=Act" + std::to_string(i) + "(Side1, \"q;" +
                std::to_string(i) + "\")\r\n";
    }
    WriteFileBytes(folder.Join(L"KeyBinding.ini"), text);
    JobBindingOwner owner;
    const auto begin = std::chrono::steady_clock::now();
    KeyBindingStore::Load(owner, RawString(), W(folder.Join(L"KeyBinding.ini")));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    ASSERT_EQ(owner.bindings.Count(), 100000);
    EXPECT_EQ(S(owner.bindings.Last()->actions.First()->ArgumentText(0)), "q;99999");
    EXPECT_LT(seconds, 20.0);
}
