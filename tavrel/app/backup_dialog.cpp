// The backup dialog and its list.
#include "tavrel/app/backup_dialog.h"

#include <shellapi.h>

#include <algorithm>
#include <cmath>

#include "base/clipboard.h"
#include "base/language.h"
#include "tavrel/app/job_environment.h"
#include "tavrel/app/main_dialog.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"
#include "toolkit/info_dialog.h"
#include "toolkit/win_message.h"

namespace AppLayer {

using RawLayer::LanguageTable;
using RawLayer::RawLocaleRecord;
using RawLayer::RawParameterList;
using WinLayer::WinDrawContext;
using WinLayer::WinListBoxItemUnit;
using WinLayer::WinNotify;

namespace {

RAW_CONSTANT_TEXT(BackupDialogClassText, "Tavrel_Undo")
RAW_CONSTANT_TEXT(SampleLetterText, "A")
RAW_CONSTANT_TEXT(LoadingKeyText, "Loading")

constexpr uint16_t kDialogIcon = 130;
constexpr uint32_t kDialogStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
constexpr uint32_t kListExStyle = WS_EX_STATICEDGE | WS_EX_ACCEPTFILES;
constexpr UINT kMeasureFormat = DT_NOPREFIX | DT_TABSTOP | DT_EXPANDTABS;
constexpr UINT kDrawFormat = kMeasureFormat | DT_VCENTER;
constexpr LONG kLeastListWidth = 100;
constexpr LONG kLeastListHeight = 50;
constexpr uint16_t kRowLeftAnchors = 0x1121;
constexpr uint16_t kRowRightAnchors = 0x1112;
constexpr uint16_t kRowGroupAnchors = 0x2111;
constexpr uint16_t kFollowAll = 0x1111;
// The weight of the state colour over the selection colour.
constexpr int kStateBlendWeight = 128;

const RawLocaleRecord* BackupDialogTexts() {
    static const RawLocaleRecord table[] = {
        {"BackuppedList", "Backupped list"},
        {"Restore", "Restore !"},
        {"BackuppedData", "Backupped\\ndata"},
        {"SourceFolder", "Source\\nfolder"},
        {"Detail", "Detail"},
        {"Force", "Force"},
        {"Close", "Close"},
        {"Loading", "Backups are still being read. Please try again later."},
        {"", ""},
    };
    return table;
}

const RawLocaleRecord* RestoreMessageTexts() {
    static const RawLocaleRecord table[] = {
        {"Success", "Restore is succeeded.  Please reload on main dialog."},
        {"NoAction", "No action executed."},
        {"Inconsistent", "Some items are skipped by inconsistent state."},
        {"Failed", "Some items are failed to restore !"},
        {"", ""},
    };
    return table;
}

struct ButtonRecord {
    const char* key;
    uint32_t format;
    uint16_t code;
};

constexpr ButtonRecord kButtons[GuiBackupDialog::ButtonCount] = {
    {"Restore", 3, GuiBackupDialog::CodeRestore},
    {"Force", 0x10EC, GuiBackupDialog::CodeForce},
    {"BackuppedData", 3, GuiBackupDialog::CodeBackuppedData},
    {"SourceFolder", 12, GuiBackupDialog::CodeSourceFolder},
    {"Detail", 15, GuiBackupDialog::CodeDetail},
    {"Close", 15, GuiBackupDialog::CodeClose},
};

void Enable(WinLayer::WinView& view, bool on) {
    if (view.window) EnableWindow(view.window, on ? TRUE : FALSE);
}

LONG RectWidth(const RECT& r) { return r.right - r.left; }
LONG RectHeight(const RECT& r) { return r.bottom - r.top; }

// A window rectangle, or an empty one without a window.
RECT WindowRectOf(const WinLayer::WinView& view) {
    RECT r{};
    if (view.window) GetWindowRect(view.window, &r);
    return r;
}

// The relative luminance of a colour (sRGB, 0 to 1).
double Luminance(COLORREF colour) {
    auto channel = [](unsigned value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(GetRValue(colour)) + 0.7152 * channel(GetGValue(colour)) +
           0.0722 * channel(GetBValue(colour));
}

// How far apart two colours are in lightness: 1 (the same) to 21.
double Contrast(COLORREF a, COLORREF b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Small text needs this much contrast to be read with ease.
constexpr double kReadableContrast = 4.5;

// The colour itself when it reads on the background, else the colour moved
// step by step towards black or white, whichever lies further from the
// background; one of those two always reads.
COLORREF ReadableOn(COLORREF colour, COLORREF background) {
    if (Contrast(colour, background) >= kReadableContrast) return colour;
    const COLORREF target = Contrast(0, background) >= Contrast(0xFFFFFF, background) ? 0 : 0xFFFFFF;
    constexpr unsigned kSteps = 8;
    COLORREF moved = colour;
    for (unsigned step = 1; step <= kSteps; ++step) {
        auto mix = [step](unsigned from, unsigned to) { return (from * (kSteps - step) + to * step) / kSteps; };
        moved = RGB(mix(GetRValue(colour), GetRValue(target)), mix(GetGValue(colour), GetGValue(target)),
                    mix(GetBValue(colour), GetBValue(target)));
        if (Contrast(moved, background) >= kReadableContrast) break;
    }
    return moved;
}

// Shows a message over a window rectangle, modal to the backup dialog.
void ShowMessage(GuiBackupDialog& dialog, const RECT& over, const RawString& text, uint32_t icon) {
    WinLayer::WinInfoDialog message;
    message.Setup(over, ApplicationNameText(), text, WinLayer::OkButtonTable(), icon);
    dialog.RunNested(message);
}

}  // namespace

// ---- the list ----------------------------------------------------------------------

COLORREF GuiBackupBox::StateColor(uint32_t state) {
    switch (state) {
    case 1:
        return 0xD0FFFF;
    case 2:
    case 3:
        return 0xFFFFFF;
    case 4:
        return 0xE0FFE0;
    case 5:
        return 0xE0E0FF;
    default:
        return 0xE0E0E0;
    }
}

GuiBackupBox::GuiBackupBox(GuiBackupDialog& owningDialog, JobBackupListLink& listLink)
    : dialog(owningDialog), link(listLink) {
    Construct();
    style |= WS_HSCROLL;
    exStyle |= kListExStyle;
    mode |= ModeMultiple;
}

void GuiBackupBox::Fill() {
    scroll = POINT{0, 0};
    layoutPending = 1;
    keyWidth = 0;
    ClearItems();
    std::vector<JobBackupUnitLink*> records = link.Records();
    // The backup list is held oldest first: the newest is shown first, which
    // is also the order a restore of several backups must take.
    if (link.Kind() == JobBackupListLink::KindBackups) std::reverse(records.begin(), records.end());
    for (JobBackupUnitLink* record : records) AddItem(record);
    ReadStates();
    if (window) InvalidateRect(window, nullptr, FALSE);
}

void GuiBackupBox::ReadStates() {
    states_.clear();
    states_.reserve(static_cast<size_t>(Count()));
    for (WinListBoxItemUnit& unit : items) states_.push_back(ItemOf(unit)->State());
}

uint32_t GuiBackupBox::StateAt(int32_t index) const {
    return (index >= 0 && static_cast<size_t>(index) < states_.size()) ? states_[static_cast<size_t>(index)] : 0;
}

void GuiBackupBox::OpenDetail() {
    int32_t first = kNone;
    if (CountSelection(&first) != 1) return;
    JobBackupUnitLink* record = ItemOf(*ItemAt(first));
    JobLayer::JobBackupItemList* itemList = record ? record->Items() : nullptr;
    if (!itemList) return;
    GuiBackupDialog detail(*itemList);
    detail.Setup(*this, record->Title());
    dialog.RunNested(detail);
    if (window) InvalidateRect(window, nullptr, FALSE);
}

void GuiBackupBox::ShowRestoreResult(uint32_t bits) {
    const char* key = (bits & JobLayer::RestoreFailed)         ? "Failed"
                      : (bits & JobLayer::RestoreChangedSince) ? "Inconsistent"
                      : (bits & JobLayer::RestoreDone)         ? "Success"
                                                               : "NoAction";
    const RawString section = LanguageTable::Lookup(RestoreMessageSectionText(), RestoreMessageTexts());
    const RawString text = LanguageTable::Text(section, RawString::FromText(key));
    const bool warn = (bits & (JobLayer::RestoreFailed | JobLayer::RestoreChangedSince)) != 0;
    ShowMessage(dialog, WindowRectOf(*this), text,
                warn ? WinLayer::WinInfoDialog::IconExclamation : WinLayer::WinInfoDialog::IconAsterisk);
}

LRESULT GuiBackupBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        layoutPending = 1;
        if (window) InvalidateRect(window, nullptr, FALSE);
        break;
    case WM_DROPFILES:
        // Nothing is taken from a drop; the handle is given back.
        DragFinish(reinterpret_cast<HDROP>(wParam));
        return 0;
    default:
        break;
    }
    return WinListBoxR<JobBackupUnitLink>::OnMessage(message, wParam, lParam);
}

bool GuiBackupBox::OnItemDoubleClick(POINT, int32_t) {
    // Items have nothing more to show.
    return link.Kind() == JobBackupListLink::KindBackups;
}

void GuiBackupBox::SetPaintRect(WinDrawContext&, const RECT& rect, POINT) { paintArea = rect; }

void GuiBackupBox::MeasureRow(WinDrawContext& dc, SIZE& size) {
    MeasureSampleRow(dc, size);
    SetTextAlign(dc.dc, 0);
    RECT box{0, 0, 0, 0};
    const RawString sample = SampleLetterText();
    const int32_t height = MeasureTextRange(dc, box, kMeasureFormat, sample, sample.All(), tabLength) + 1;
    // A new font measures the key column again; a layout of the same font
    // keeps it, since the entries measured before are not measured again.
    if (height != rowHeight) keyWidth = 0;
    rowHeight = height;
}

LONG GuiBackupBox::MeasureWidth(WinDrawContext& dc, const RawString& text) const {
    RECT box{0, 0, 32767, 32767};
    MeasureTextRange(dc, box, kMeasureFormat, text, text.All(), tabLength);
    return box.right - box.left;
}

void GuiBackupBox::MeasureKeyColumn(WinDrawContext& dc) {
    // Every entry shares the column: its width is that of the widest label
    // of all entries, or a later entry's long label runs into its value.
    LONG widest = 0;
    for (WinListBoxItemUnit& unit : items) {
        JobBackupUnitLink* record = ItemOf(unit);
        if (!record) continue;
        const RawParameterList lines = record->DisplayParameters();
        for (const RawLayer::RawParameterUnit& line : lines) widest = std::max(widest, MeasureWidth(dc, line.key));
    }
    keyWidth = widest + 3;
}

void GuiBackupBox::BeginMeasure(WinDrawContext& dc, int32_t count) {
    WinListBoxR<JobBackupUnitLink>::BeginMeasure(dc, count);
    if (keyWidth == 0) MeasureKeyColumn(dc);
}

void GuiBackupBox::MeasureItemOf(WinDrawContext& dc, RECT& size, int32_t, WinListBoxItemUnit&,
                                 JobBackupUnitLink* record) {
    // An entry measured outside a layout.
    if (keyWidth == 0) MeasureKeyColumn(dc);
    const RawParameterList lines = record ? record->DisplayParameters() : RawParameterList();
    LONG widestValue = 0;
    for (const RawLayer::RawParameterUnit& line : lines) {
        widestValue = std::max(widestValue, MeasureWidth(dc, line.value));
    }
    size = RECT{0, 0, keyWidth + widestValue, 2 + lines.Count() * rowHeight};
}

void GuiBackupBox::DrawItemOf(WinDrawContext& dc, const RECT& rect, int32_t index, WinListBoxItemUnit& unit,
                              JobBackupUnitLink* record) {
    const COLORREF plain = WinLayer::ListWindowColor();
    const COLORREF fill = RawLayer::BlendColor(StateColor(StateAt(index)), ItemColor(unit), plain, kStateBlendWeight);
    RECT area{paintArea.left, rect.top, paintArea.right, rect.bottom};
    FillBackground(dc, area, fill);
    SetBkMode(dc.dc, TRANSPARENT);
    WinLayer::GdiSelection keepFont(dc.dc, GetEffectiveFont().handle);
    const RawParameterList lines = record ? record->DisplayParameters() : RawParameterList();
    // The grey of the labels is lost on the selection's colour.
    const bool selected = (unit.flags & WinListBoxItemUnit::ItemSelected) != 0;
    const COLORREF keyColour = selected ? ReadableOn(kKeyColor, fill) : kKeyColor;
    LONG top = rect.top + 1;
    for (const RawLayer::RawParameterUnit& line : lines) {
        RECT keyBox{rect.left, top, rect.right, top + rowHeight};
        SetTextColor(dc.dc, keyColour);
        DrawTextRange(dc, keyBox, kDrawFormat, line.key, line.key.All(), tabLength);
        RECT valueBox{rect.left + keyWidth, top, std::max(rect.right, paintArea.right), top + rowHeight};
        SetTextColor(dc.dc, WinLayer::ListTextColor());
        DrawTextRange(dc, valueBox, kDrawFormat, line.value, line.value.All(), tabLength);
        top += rowHeight;
    }
    RECT client{};
    if (window) GetClientRect(window, &client);
    RECT rule{0, rect.bottom - 1, std::max(client.right, paintArea.right), rect.bottom};
    FillBackground(dc, rule, kRuleColor);
}

// ---- the dialog --------------------------------------------------------------------

GuiBackupDialog::GuiBackupDialog(JobBackupListLink& listLink) : link(listLink), list(*this, listLink) {
    className = BackupDialogClassText();
    largeIconId = kDialogIcon;
    smallIconId = kDialogIcon;
    for (WinLayer::WinButton& button : buttons) button.Construct();
}

void GuiBackupDialog::Setup(WinLayer::WinView& ownerView, const RawString& caption) {
    const RawString section = LanguageTable::Lookup(BackupDialogSectionText(), BackupDialogTexts());
    for (int32_t i = 0; i < ButtonCount; ++i) {
        WinLayer::WinButton& button = buttons[i];
        button.SetCaption(LanguageTable::Text(section, RawString::FromText(kButtons[i].key)), kButtons[i].format,
                          kButtons[i].code);
        button.parentStyle = this;
        button.FitToContent();
    }
    const LONG g = WinLayer::WinEnvironment::Instance().margin;
    LONG rowHeight = 0;
    for (int32_t i = ButtonRestore; i <= ButtonDetail; ++i) rowHeight = std::max<LONG>(rowHeight, buttons[i].fittedHeight);

    // The row from x = 0; shifted by the margin when placed.
    LONG x = 0;
    LONG lefts[ButtonCount] = {};
    auto put = [&](int32_t i, LONG gapAfter) {
        lefts[i] = x;
        x += buttons[i].fittedWidth + gapAfter;
    };
    put(ButtonRestore, 0);
    put(ButtonForce, g);
    put(ButtonBackuppedData, 0);
    put(ButtonSourceFolder, g);
    if (ListsBackups()) put(ButtonDetail, g);
    put(ButtonClose, 0);
    const LONG rowWidth = x;
    const LONG w = std::max(rowWidth, kLeastListWidth);

    anchor.rect = RECT{0, 0, w + 2 * g, rowHeight + kLeastListHeight + 3 * g};
    buttonRow.rect = RECT{g, g, g + w, g + rowHeight};
    buttonRow.anchors = kRowGroupAnchors;
    buttonRow.Follow(&anchor.rect);
    listGroup.rect = RECT{g, rowHeight + 2 * g, g + w, rowHeight + 2 * g + kLeastListHeight};
    listGroup.anchors = kFollowAll;
    listGroup.Follow(&anchor.rect);
    for (int32_t i = 0; i < ButtonCount; ++i) {
        WinLayer::WinButton& button = buttons[i];
        const LONG left = g + lefts[i];
        button.rect = RECT{left, g, left + button.fittedWidth, g + rowHeight};
        button.anchors = i == ButtonClose ? kRowRightAnchors : kRowLeftAnchors;
        button.Follow(&buttonRow.rect);
    }
    list.rect = listGroup.rect;
    list.anchors = kFollowAll;
    list.Follow(&listGroup.rect);
    leastList = SIZE{RectWidth(listGroup.rect), RectHeight(listGroup.rect)};

    style |= kDialogStyle;
    exStyle |= WS_EX_TOOLWINDOW;
    anchor.minimum = anchor.rect;
    rect = anchor.rect;
    WindowRectFromClient();
    const LONG leastWidth = RectWidth(rect), leastHeight = RectHeight(rect);

    // 4/5 of the owner's width and its height, centred on it.
    const RECT over = WindowRectOf(ownerView);
    const LONG width = std::max<LONG>(4 * RectWidth(over) / 5, leastWidth);
    const LONG height = std::max<LONG>(RectHeight(over), leastHeight);
    const LONG left = over.left + RectWidth(over) / 2 - width / 2;
    const LONG top = over.top + RectHeight(over) / 2 - height / 2;
    rect = RECT{left, top, left + width, top + height};
    normalRect = rect;
    SetText(caption);
}

void GuiBackupDialog::CreateChildren() {
    for (int32_t i = 0; i < ButtonCount; ++i) {
        if (i == ButtonDetail && !ListsBackups()) continue;
        CreateChild(buttons[i]);
    }
    CreateChild(list);
}

void GuiBackupDialog::OnCreated() {
    WinDialog::OnCreated();
    if (!window) return;
    if (!link.WaitLoaded(JobBackupListLink::kLoadWaitMilliseconds)) {
        // Reading the list before the loader signalled would race it.
        notLoaded = true;
        const RawString section = LanguageTable::Lookup(BackupDialogSectionText(), BackupDialogTexts());
        ShowMessage(*this, WindowRectOf(*this), LanguageTable::Text(section, LoadingKeyText()),
                    WinLayer::WinInfoDialog::IconExclamation);
        Close();
        return;
    }
    list.Fill();
    if (list.window) SetFocus(list.window);
    UpdateButtons();
}

bool GuiBackupDialog::OnClose() { return true; }

void GuiBackupDialog::Close() { Finish(0); }

int32_t GuiBackupDialog::RunNested(WinLayer::WinDialog& nestedDialog) {
    ++nested;
    const int32_t answer = nestedDialog.RunModal(*this);
    --nested;
    return answer;
}

void GuiBackupDialog::UpdateButtons() {
    const int32_t selected = list.CountSelection();
    Enable(buttons[ButtonRestore], selected > 0);
    Enable(buttons[ButtonForce], true);
    Enable(buttons[ButtonBackuppedData], selected == 1);
    Enable(buttons[ButtonSourceFolder], selected == 1);
    Enable(buttons[ButtonDetail], selected == 1);
}

LRESULT GuiBackupDialog::OnChildCommand(WinLayer::WinView*, uint16_t code) {
    // A nested dialog or message runs: nothing here may start or close.
    if (nested > 0) return 0;
    switch (code) {
    case WinNotify::SelectionChanged:
        UpdateButtons();
        break;
    case WinNotify::Cancel:
    case CodeClose:
        Close();
        break;
    case CodeBackuppedData:
        OpenSelectedFolder(false);
        break;
    case CodeSourceFolder:
        OpenSelectedFolder(true);
        break;
    case CodeDetail:
    case WinNotify::Activate:
        list.OpenDetail();
        break;
    case CodeRestore:
        Restore();
        break;
    default:
        break;
    }
    return 0;
}

void GuiBackupDialog::OpenSelectedFolder(bool source) {
    int32_t first = WinLayer::WinListBoxInfo::kNone;
    if (list.CountSelection(&first) != 1) return;
    JobBackupUnitLink* record = GuiBackupBox::ItemOf(*list.ItemAt(first));
    if (!record) return;
    const RawString folder = source ? record->OpenFolder() : record->Folder();
    if (!folder.IsEmpty()) OpenFolderInShell(folder);
}

void GuiBackupDialog::Restore() {
    const bool force = buttons[ButtonForce].checked;
    if (list.CountSelection() == 0) return;
    uint32_t bits = JobLayer::RestoreNothing;
    // List order: newest first, so successive backups of one path unwind.
    for (WinListBoxItemUnit& unit : list.items) {
        if (!(unit.flags & WinListBoxItemUnit::ItemCounted)) continue;
        if (JobBackupUnitLink* record = GuiBackupBox::ItemOf(unit)) bits |= record->Restore(force);
    }
    list.ReadStates();
    list.ShowRestoreResult(bits);
    if (list.window) InvalidateRect(list.window, nullptr, FALSE);
}

bool GuiBackupDialog::OnMinMaxSize(SIZE& shrink, SIZE&) {
    shrink.cx = std::min<LONG>(shrink.cx, std::max<LONG>(RectWidth(listGroup.rect) - leastList.cx, 0));
    shrink.cy = std::min<LONG>(shrink.cy, std::max<LONG>(RectHeight(listGroup.rect) - leastList.cy, 0));
    return true;
}

void GuiBackupDialog::OnLayout() {
    buttonRow.Relayout();
    listGroup.Relayout();
    WinDialog::OnLayout();
}

void RunBackupDialog(WinLayer::WinView& mainDialog) {
    const RawString section = LanguageTable::Lookup(BackupDialogSectionText(), BackupDialogTexts());
    GuiBackupDialog dialog(JobLayer::JobBackupList::Instance());
    dialog.Setup(mainDialog, LanguageTable::Text(section, BackuppedListKeyText()));
    dialog.RunModal(mainDialog);
}

}  // namespace AppLayer
