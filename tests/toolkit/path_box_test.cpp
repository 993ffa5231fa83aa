// The path box on real folders: drives, a folder's own row, the longest
// common prefix, a network chain, hidden entries, a shortcut resolved
// through the shell link object, a path of thousands of components, the
// icon pool made once while many listings run, and the listing's cursor
// that neither writes the shared path nor reports.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/raw_string.h"
#include "support/test_support.h"
#include "support/window_support.h"
#include "toolkit/path_box.h"
#include "toolkit/win_message.h"
#include "toolkit/work_counts.h"

using namespace WinLayer;
using RawLayer::RawString;
using TestSupport::TempFolder;
using TestSupport::S;
using TestSupport::TestDialog;

namespace {

RawString Path(const std::wstring& text) { return RawString::FromWideText(text.c_str()); }

struct BoxFixture {
    BoxFixture() : dialog("TkPathBox", L"Path box", RECT{40, 40, 440, 440}), box(&shared) {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        box.Construct();
        box.rect = RECT{10, 10, 380, 360};
        dialog.makeChildren = [this](TestDialog& d) { d.CreateChild(box); };
        dialog.handler = [this](UINT message, WPARAM wParam, LPARAM) -> LRESULT {
            if (message != WinMessage::PathDialogCommand) return kNotHandled;
            if (wParam == WinPathBox::CommandPathShown) ++reports;
            if (wParam == WinPathBox::CommandAccept) ++accepts;
            return 0;
        };
        dialog.Create();
    }
    ~BoxFixture() { CoUninitialize(); }
    void List(const RawString& folder) {
        box.currentFolder = folder;
        box.Refresh();
    }
    WinPathBoxItem* Current() {
        WinListBoxItemUnit* unit = box.cursor >= 0 ? box.ItemAt(box.cursor) : nullptr;
        return unit ? WinPathBox::ItemOf(*unit) : nullptr;
    }
    bool Lists(const char* name) {
        for (const WinPathBoxItem& item : box.pathItems)
            if (item.generated && S(item.name) == name) return true;
        return false;
    }

    WinPathBoxShared shared;
    TestDialog dialog;
    WinPathBox box;
    int reports = 0;
    int accepts = 0;
};

bool SaveShortcut(const std::wstring& target, const std::wstring& at) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    bool saved = SUCCEEDED(link->SetPath(target.c_str())) &&
                 SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                 SUCCEEDED(file->Save(at.c_str(), TRUE));
    if (file) file->Release();
    link->Release();
    return saved;
}

}  // namespace

TEST(PathBox, DrivesFolderPrefixAndServer) {
    BoxFixture f;
    f.List(RawString::FromLiteral("c:"));
    ASSERT_NE(f.Current(), nullptr);
    EXPECT_EQ(S(f.Current()->name), "C:");
    EXPECT_EQ(f.Current()->kind, uint32_t(WinPathBoxItem::KindDrive));

    TempFolder temp;
    CreateDirectoryW(temp.Join(L"alpha").c_str(), nullptr);
    CreateDirectoryW(temp.Join(L"Subway").c_str(), nullptr);
    CreateDirectoryW(temp.Join(L"sub").c_str(), nullptr);
    TestSupport::WriteFileBytes(temp.Join(L"notes.txt"), std::string("x"));
    f.List(Path(temp.Path() + L"\\"));
    ASSERT_NE(f.Current(), nullptr);
    EXPECT_EQ(RawString::EqualsNoCase(f.Current()->path, Path(temp.Path())), true) << S(f.Current()->path);
    EXPECT_EQ(f.Current()->kind, uint32_t(WinPathBoxItem::KindChainFolder));
    EXPECT_TRUE(f.Lists("notes.txt") && f.Lists("alpha"));

    // "SUB" shares three units with both "Subway" and "sub": the first
    // listed of the longest wins, and nothing was written or reported.
    f.shared.path = RawString::FromLiteral("typed");
    f.List(Path(temp.Path() + L"\\SUBw"));
    ASSERT_NE(f.Current(), nullptr);
    EXPECT_EQ(S(f.Current()->name), "Subway");
    EXPECT_EQ(S(f.shared.path), "typed");
    EXPECT_EQ(f.reports, 0);

    f.List(RawString::FromLiteral("\\\\server\\share\\x"));
    ASSERT_GE(f.box.Count(), 5);
    EXPECT_EQ(S(WinPathBox::ItemOf(*f.box.ItemAt(3))->name), "\\\\server");
    EXPECT_EQ(WinPathBox::ItemOf(*f.box.ItemAt(3))->kind, uint32_t(WinPathBoxItem::KindServer));
    EXPECT_EQ(S(WinPathBox::ItemOf(*f.box.ItemAt(4))->path), "\\\\server\\share");
}

TEST(PathBox, HiddenEntriesOnlyWithTheOption) {
    BoxFixture f;
    TempFolder temp;
    TestSupport::WriteFileBytes(temp.Join(L"secret.txt"), std::string("x"));
    TestSupport::WriteFileBytes(temp.Join(L"system.txt"), std::string("x"));
    SetFileAttributesW(temp.Join(L"secret.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW(temp.Join(L"system.txt").c_str(), FILE_ATTRIBUTE_SYSTEM);
    f.List(Path(temp.Path() + L"\\"));
    EXPECT_FALSE(f.Lists("secret.txt") || f.Lists("system.txt"));
    f.shared.options = WinPathBoxShared::OptionHidden;
    f.List(Path(temp.Path() + L"\\"));
    EXPECT_TRUE(f.Lists("secret.txt") && f.Lists("system.txt"));
}

TEST(PathBox, UserMoveWritesThePathAndReports) {
    BoxFixture f;
    TempFolder temp;
    CreateDirectoryW(temp.Join(L"one").c_str(), nullptr);
    f.List(Path(temp.Path() + L"\\"));
    const int32_t row = f.box.cursor;
    SetFocus(f.box.window);
    TestSupport::SendKey(f.box.window, VK_DOWN);
    TestSupport::PumpUntilIdle();
    ASSERT_EQ(f.box.cursor, row + 1);
    EXPECT_EQ(f.reports, 1);
    EXPECT_EQ(f.shared.path, f.Current()->path);

    // Enter hands the cursor's path over as the choice.
    f.shared.path = RawString::FromLiteral("typed");
    TestSupport::SendKey(f.box.window, VK_RETURN);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(f.accepts, 1);
    EXPECT_EQ(f.shared.path, f.Current()->path);
}

TEST(PathBox, ShortcutOpensTheTargetsFolder) {
    BoxFixture f;
    TempFolder temp;
    CreateDirectoryW(temp.Join(L"deep").c_str(), nullptr);
    TestSupport::WriteFileBytes(temp.Join(L"deep\\target.txt"), std::string("x"));
    ASSERT_TRUE(SaveShortcut(temp.Join(L"deep\\target.txt"), temp.Join(L"go.lnk")));
    f.List(Path(temp.Path() + L"\\go"));
    ASSERT_NE(f.Current(), nullptr);
    ASSERT_EQ(f.Current()->kind, uint32_t(WinPathBoxItem::KindShortcut));
    f.box.OpenItem();
    ASSERT_NE(f.Current(), nullptr);
    EXPECT_EQ(S(f.Current()->name), "target.txt");
    EXPECT_EQ(f.shared.path, f.Current()->path);
    int places = 0;
    for (const WinPathBoxItem& item : f.box.pathItems)
        if (!item.generated && S(item.name) == "[LinkBackword]") {
            ++places;
            EXPECT_TRUE(RawString::EqualsNoCase(item.path, Path(temp.Path())));
        }
    EXPECT_EQ(places, 1);
}

TEST(PathBox, ThousandsOfComponentsDoNotOverflow) {
    BoxFixture f;
    std::wstring path = L"c:";
    for (int i = 0; i < 20000; ++i) path += L"\\a";
    f.List(Path(path));
    EXPECT_EQ(f.box.Count(), 4 + WinPathBox::kMaxChainRows);
    ASSERT_NE(f.Current(), nullptr);
    EXPECT_EQ(f.Current()->kind, uint32_t(WinPathBoxItem::KindChainMissing));
}

TEST(PathBox, IconPoolMadeOnceAcrossListings) {
    BoxFixture f;
    TempFolder temp;
    CreateDirectoryW(temp.Join(L"folder").c_str(), nullptr);
    f.List(Path(temp.Path() + L"\\f"));
    UpdateWindow(f.box.window);
    const int32_t loads = WinWorkCounts::Instance().iconLoads;
    TestSupport::GdiHog hog(300);
    const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (int i = 0; i < 300; ++i) {
        f.List(Path(temp.Path() + L"\\f"));
        UpdateWindow(f.box.window);
    }
    EXPECT_EQ(WinWorkCounts::Instance().iconLoads, loads);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before + 8);
    // The rows still paint the folder icon's yellow.
    const TestSupport::DibCanvas shot = TestSupport::DibCanvas::CaptureClient(f.box.window);
    EXPECT_GT(shot.CountColor(RGB(0xF0, 0xD0, 0x40)), 0);
    // The folder icon's yellow is in its cell.
    const uint32_t* cell = WinPathBox::IconPool().CellPixels(WinPathBoxItem::KindFolder);
    ASSERT_NE(cell, nullptr);
    const int32_t count = WinPathBox::IconPool().cellWidth * WinPathBox::IconPool().cellHeight;
    bool yellow = false;
    for (int32_t i = 0; i < count && !yellow; ++i) yellow = (cell[i] & 0xFFFFFF) == 0xF0D040;
    EXPECT_TRUE(yellow);
}

TEST(PathBox, PoolEmptiedOnlyWithTheLastBox) {
    WinPathBoxShared shared;
    auto* first = new WinPathBox(&shared);
    {
        BoxFixture f;
        f.List(RawString::FromLiteral("c:"));
        UpdateWindow(f.box.window);
        ASSERT_TRUE(WinPathBox::IconPool().filled);
    }
    EXPECT_TRUE(WinPathBox::IconPool().filled);
    EXPECT_NE(WinPathBox::IconPool().CellPixels(WinPathBoxItem::KindFile), nullptr);
    delete first;
    EXPECT_FALSE(WinPathBox::IconPool().filled);
    EXPECT_EQ(WinPathBox::IconPool().CellPixels(WinPathBoxItem::KindFile), nullptr);
}

TEST(PathBox, SpaceOpensTheCursorFolder) {
    BoxFixture f;
    TempFolder temp;
    CreateDirectoryW(temp.Join(L"inner").c_str(), nullptr);
    TestSupport::WriteFileBytes(temp.Join(L"inner\\leaf.txt"), std::string("x"));
    f.List(Path(temp.Path() + L"\\inn"));
    ASSERT_EQ(S(f.Current()->name), "inner");
    TestSupport::SendKey(f.box.window, VK_SPACE);
    TestSupport::PumpUntilIdle();
    EXPECT_TRUE(f.Lists("leaf.txt"));
    EXPECT_EQ(S(f.Current()->name), "inner");
}

TEST(PathBox, IconsComeFromTheProgramsResources) {
    // Every icon holds 32-bit images with alpha at the four sizes: smooth
    // edges (partial alpha) around an opaque inside.
    for (uint16_t id = WinPathBox::IconChainFolder; id <= WinPathBox::IconShortcut; ++id) {
        for (int side : {48, 32, 24, 16}) {
            HICON icon = static_cast<HICON>(
                LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, side, side, LR_DEFAULTCOLOR));
            ASSERT_NE(icon, nullptr) << id << " at " << side;
            ICONINFO info{};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP colour{};
            ASSERT_TRUE(info.hbmColor && GetObjectW(info.hbmColor, sizeof(colour), &colour));
            EXPECT_EQ(colour.bmWidth, side);
            EXPECT_EQ(colour.bmBitsPixel, 32);
            std::vector<uint32_t> bits(static_cast<size_t>(side) * side);
            BITMAPINFO request{};
            request.bmiHeader = {sizeof(BITMAPINFOHEADER), side, -side, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
            HDC screen = GetDC(nullptr);
            GetDIBits(screen, info.hbmColor, 0, side, bits.data(), &request, DIB_RGB_COLORS);
            ReleaseDC(nullptr, screen);
            int partial = 0, opaque = 0;
            for (uint32_t pixel : bits) {
                const uint32_t alpha = pixel >> 24;
                partial += alpha > 0 && alpha < 255;
                opaque += alpha == 255;
            }
            EXPECT_GT(partial, 0) << id << " at " << side;
            EXPECT_GT(opaque, side * side / 8) << id << " at " << side;
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
    }
    // The box's pool holds exactly those images.
    BoxFixture f;
    f.List(RawString::FromLiteral("c:"));
    UpdateWindow(f.box.window);
    const WinBitmapPool& pool = WinPathBox::IconPool();
    ASSERT_TRUE(pool.filled);
    for (uint32_t kind = 0; kind < WinPathBoxItem::KindCount; ++kind) {
        WinBitmapPool own;
        ASSERT_TRUE(own.SetCellSize(pool.cellWidth, pool.cellHeight) && own.Reserve(1));
        HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                                   MAKEINTRESOURCEW(WinPathBox::IconResourceOf(kind)), IMAGE_ICON,
                                                   pool.cellWidth, pool.cellHeight, LR_DEFAULTCOLOR));
        ASSERT_GE(own.ReadIcon(0, icon), 0);
        DestroyIcon(icon);
        const size_t count = static_cast<size_t>(pool.cellWidth) * pool.cellHeight;
        EXPECT_TRUE(std::equal(own.CellPixels(0), own.CellPixels(0) + count, pool.CellPixels(kind))) << kind;
    }
}
