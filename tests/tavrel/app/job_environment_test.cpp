// The side operations through the job environment, seen from outside: open
// and user commands whose program is a batch file appending its arguments
// to a log, the "Extension" section written back into the configuration,
// the editable mode and the dividing point.
#include "tab_view_fixture.h"

#include "tavrel/app/job_environment.h"
#include "tavrel/app/status_box.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/shell_commands.h"

namespace TabViewTest {
namespace {

class JobEnvironmentTest : public MainWindowFixture {
protected:
    // A batch file that appends its arguments to the log, and the
    // configuration's commands running it.
    void WriteCommands(const std::string& userKind) {
        const std::wstring batch = temp.Join(L"record.bat");
        // A blank before the redirection, so that a last argument "2" is
        // no redirection of its own; LogText drops it again.
        WriteFileBytes(batch, "@echo %* >>\"" + Utf8(Log()) + "\"\r\n");
        const std::string command = "Command=" + Utf8(batch) + "\r\n";
        WriteProfile("[OpenCommand]\r\n" + command + "Parameter=%s\r\nParameterNum=%s %n\r\nExtension=txt\r\n" +
                     "[OpenCommand]\r\n" + command + "Parameter=%s\r\nExtension=Folder\r\n" + "[UserCommand]\r\n" +
                     command + "Name=Both\r\nParameter=%s1 %s2\r\nTargetKind=" + userKind + "\r\n");
    }
    std::wstring Log() const { return temp.Join(L"log.txt"); }
    // The log once it holds `lines` lines (waiting for the batch runs).
    std::string LogText(size_t lines) {
        PumpUntil([&] { return LineCount(FileText(Log())) >= lines; }, 15000);
        PumpFor(300);
        std::string text = FileText(Log());
        DeleteFileW(Log().c_str());
        for (size_t at = text.find(" \r\n"); at != std::string::npos; at = text.find(" \r\n")) text.erase(at, 1);
        return text;
    }
    static size_t LineCount(const std::string& text) {
        size_t n = 0;
        for (char c : text) n += c == '\n';
        return n;
    }
    std::wstring Folder(const std::wstring& name) {
        const std::wstring path = temp.Join(name);
        CreateDirectoryW(path.c_str(), nullptr);
        return path;
    }
    void SelectAll() {
        for (WinLayer::WinListBoxItemUnit& unit : Box().items) unit.flags |= WinLayer::WinListBoxItemUnit::ItemSelected;
        Box().NoteSelected(0, Box().Count() - 1);
    }
    bool StatusHas(const std::string& line) {
        AppLayer::GuiStatusBox& box = Views().statusBox;
        box.ShowQueued();
        for (const WinLayer::WinListBoxItemUnit& unit : box.items) {
            const AppLayer::JobStatusUnit* status = AppLayer::GuiStatusBox::ItemOf(unit);
            if (status && S(status->text) == line) return true;
        }
        return false;
    }
};

TEST_F(JobEnvironmentTest, OpenCommandsGetTheLineOfTheSelectionAndTheParentFolder) {
    WriteCommands("Folder");
    const std::wstring a = temp.Join(L"a.txt"), b = temp.Join(L"b.txt");
    WriteFileBytes(a, std::string("one\r\nthree\r\n"));
    WriteFileBytes(b, std::string("one\r\ntwo\r\nthree\r\n"));
    OpenPair(a, b);
    // Rows: one, two (side 2 only), three; the third is selected.
    ASSERT_EQ(ItemOfKind(JobLayer::RowOnly2), 1);
    Box().MoveCursorTo(2);
    AppLayer::ShellOpenPath(Box(), 0);
    EXPECT_EQ(LogText(1), Utf8(a) + " 2\r\n");
    AppLayer::ShellOpenParent(Box(), 1);
    EXPECT_EQ(LogText(1), Utf8(temp.Path()) + "\r\n");
    const std::wstring left = Folder(L"left"), right = Folder(L"right");
    Views().tabBar.LoadPair(W(left), W(right));
    ShowCurrentTab(Views());
    AppLayer::ShellOpenParent(Box(), 0);
    EXPECT_EQ(LogText(1), Utf8(left) + "\r\n");
}

TEST_F(JobEnvironmentTest, FolderUserCommandRunsOnlyForFolderPairs) {
    WriteCommands("Folder");
    const std::wstring left = Folder(L"L"), right = Folder(L"R");
    Folder(L"L\\sub"), Folder(L"R\\sub");
    WriteFileBytes(temp.Join(L"L\\f.txt"), std::string("x"));
    WriteFileBytes(temp.Join(L"R\\f.txt"), std::string("y"));
    OpenPair(left, right);
    SelectAll();
    JobLayer::JobUserShellUnit* command = JobLayer::ShellCommandStore::Instance().userCommands.First();
    ASSERT_NE(command, nullptr);
    EXPECT_TRUE(AppLayer::RunUserCommandOnRows(Box(), *command, 0));
    EXPECT_EQ(LogText(1), Utf8(left) + "\\sub " + Utf8(right) + "\\sub\r\n");
}

TEST_F(JobEnvironmentTest, AsTextWritesOnlyThatEntrysExtensionAndAReadOnlyConfigurationIsReported) {
    WriteProfile();
    const std::wstring left = Folder(L"L"), right = Folder(L"R");
    WriteFileBytes(temp.Join(L"R\\x.abc"), std::string("x"));
    WriteFileBytes(temp.Join(L"L\\y.def"), std::string("y"));
    WriteFileBytes(temp.Join(L"R\\y.def"), std::string("y"));
    OpenPair(left, right);
    const std::wstring config = Ws(JobLayer::ConfigStore::Instance().configPath);
    const std::string before = FileText(config);
    ASSERT_NE(before.find("[Extension]"), std::string::npos);
    const int32_t row = ItemOfKind(JobLayer::RowOnly2);
    ASSERT_GE(row, 0);
    Box().MoveCursorTo(row);
    EXPECT_TRUE(AppLayer::SetExtensionKind(Box(), 0, 1));
    std::string after = FileText(config);
    const size_t added = after.find("abc=Text\r\n");
    ASSERT_NE(added, std::string::npos);
    after.erase(added, 10);
    EXPECT_EQ(after, before);
    EXPECT_EQ(JobLayer::ShellCommandStore::Instance().extensionTable.KindOfPath(W(L"z.abc")), 1u);
    // The side menu's "as binary" item and the key action reach the same
    // table: the entry's extension turns binary, then text again.
    EXPECT_TRUE(Box().ExecuteSideMenu(24, 1));
    EXPECT_EQ(JobLayer::ShellCommandStore::Instance().extensionTable.KindOfPath(W(L"z.abc")), 2u);
    EXPECT_TRUE(Box().ExecuteSideMenu(23, 1));
    EXPECT_EQ(JobLayer::ShellCommandStore::Instance().extensionTable.KindOfPath(W(L"z.abc")), 1u);

    SetFileAttributesW(config.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(AppLayer::SetExtensionKind(Box(), 1, 2));
    SetFileAttributesW(config.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(StatusHas("WriteError (" + Utf8(config) + ")"));
}

TEST_F(JobEnvironmentTest, EditableNeedsAReadSideAndAResizeCentresTheDividingPoint) {
    const std::wstring a = temp.Join(L"a.txt");
    WriteFileBytes(a, std::string("one\r\n"));
    OpenPair(a, temp.Join(L"missing.txt"));
    EXPECT_FALSE(AppLayer::SetSideEditable(Box(), 1, true));
    EXPECT_EQ(Current()->edit.edit2, 0);

    Box().SetDividingPoint(7);
    Current()->side1.scrollX = 30;
    Current()->side2.scrollX = 40;
    RECT frame{};
    GetWindowRect(Dialog().window, &frame);
    SetWindowPos(Dialog().window, nullptr, 0, 0, frame.right - frame.left + 80, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    PumpUntilIdle();
    const RECT client = Box().GetClientRect();
    EXPECT_EQ(Box().GetDividingPoint(), (client.left + client.right) / 2);
    EXPECT_EQ(Current()->side1.scrollX, 0);
    EXPECT_EQ(Current()->side2.scrollX, 0);
}

}  // namespace
}  // namespace TabViewTest
