#include "app/FormMain.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <climits>
#include <map>

#include "app/BackupScript.h"
#include "app/StartupSources.h"
#include "app/resource.h"
#include "common/ZorvaneTPU.h"

bool FirstRun = false;
std::string LaunchLog;

namespace {

const char* const kSection = "Sequora";
const char* const kTableFile = "StartUpObjects.bin";
const char* const kLogFile = "sequora-log.txt";
const char* const kSearchAddress = "https://www.google.com/search?q=";

// The maker's pages behind the side bar's links.
const char* const kLinkHome = "https://www.zorvane.example/sequora/how-it-works";
const char* const kLinkSupport = "https://www.zorvane.example/support/contact";
const char* const kLinkZorvane = "https://www.zorvane.example/";

enum Column { kColEnabled = 0, kColName = 1, kColPath = 2, kColParams = 3, kColDelay = 4, kColSearch = 5 };

std::string LocalDateText() {
    char text[128] = {};
    if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text, sizeof text) == 0)
        return {};
    return text;
}

// The date and time as the user's locale writes them: short date, a blank, long time.
std::string LocalDateTimeText() {
    char time[128] = {};
    if (GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, sizeof time) == 0)
        time[0] = '\0';
    return LocalDateText() + " " + time;
}

// Items keep their path and parameters as Windows' Run values hold them, environment
// references included ("%windir%\..."): they are expanded only when the item is started.
std::string ExpandEnvironment(const std::string& text) {
    if (text.find('%') == std::string::npos)
        return text;
    DWORD length = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (length == 0)
        return text;
    std::string expanded(length, '\0');
    length = ExpandEnvironmentStringsA(text.c_str(), expanded.data(), length);
    if (length == 0 || length > expanded.size())
        return text;
    expanded.resize(length - 1);
    return expanded;
}

[[nodiscard]] bool Launch(const std::string& path, const std::string& params) {
    return ExecuteFile(ExpandEnvironment(path), ExpandEnvironment(params));
}

TFont LinkFont() {
    TFont font;
    font.Style = fsUnderline;
    font.Color = clBlue;
    return font;
}

}  // namespace

// ---- The window as its form lays it out ---------------------------------------------------------

TFrmMain::TFrmMain(TComponent* owner) : TForm(owner, "TFrmMain") {
    Name = "FrmMain";
    CreateControls();
    OnCreate = [this](TObject* sender) { FormCreate(sender); };
    OnDestroy = [this](TObject* sender) { FormDestroy(sender); };
}

void TFrmMain::CreateControls() {
    SetBounds(527, 356, 1051, 431);
    SetClientSize(1035, 392);
    SetColor(clBtnFace);
    SetAlphaBlend(true);
    SetAlphaBlendValue(250);
    // The layout below is made for 8-pt "MS Sans Serif" at 96 dpi; where the system's font or DPI
    // gives wider captions, the controls grow to them and their neighbours move along.
    SetFitCaptions(true);

    auto place = [](TControl* control, TWinControl* parent, const char* name, int left, int top, int width,
                    int height) {
        control->Name = name;
        control->SetParent(parent);
        control->SetBounds(left, top, width, height);
    };

    // The client area: the side bar on the right, the status bar at the bottom, the table and
    // its command strip in the rest.
    pnlAds = new TPanel(this);
    place(pnlAds, this, "pnlAds", 909, 0, 126, 373);
    pnlAds->SetAlign(alRight);
    pnlAds->SetTabOrder(0);

    Status = new TzorvaneStatusBar(this);
    place(Status, this, "Status", 0, 373, 1035, 19);
    Status->SetAlign(alBottom);
    Status->SetSimplePanel(true);

    pnlMain = new TPanel(this);
    place(pnlMain, this, "pnlMain", 0, 0, 909, 373);
    pnlMain->SetAlign(alClient);
    pnlMain->SetTabOrder(2);

    pnlBottom = new TPanel(this);
    place(pnlBottom, pnlMain, "pnlBottom", 1, 298, 907, 74);
    pnlBottom->SetAlign(alBottom);
    pnlBottom->SetTabOrder(0);
    pnlBottom->SetShowHint(true);

    Grid = new TEnhancedStrGrid(this);
    place(Grid, pnlMain, "Grid", 1, 1, 907, 297);
    Grid->SetAlign(alClient);
    Grid->SetTabOrder(1);
    Grid->SetFixedCols(0);
    Grid->SetFixedRows(0);
    Grid->SetRowCount(1);
    Grid->SetColCount(6);
    Grid->SetDefaultColWidth(80);
    Grid->SetDefaultRowHeight(15);
    const int kWidths[] = {53, 71, 283, 80, 80, 35};
    for (int col = 0; col < 6; ++col)
        Grid->SetColWidth(col, kWidths[col]);
    Grid->SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect |
                     goDrawFocusSelected | goColSizing | goRowMoving | goEditing | goThumbTracking);
    Grid->SetSeparator(" | ");
    Grid->SetForceKeepHeaders(true);
    Grid->SetHint("Double click a cell to edit it");
    Grid->SetShowHint(true);

    // The side bar.
    Scanner = new TKITScanner(this);
    place(Scanner, pnlAds, "Scanner", 28, 6, 73, 17);
    Scanner->SetAccessibleName("Start-up sequence");

    btnStop = new TButton(this);
    place(btnStop, pnlAds, "btnStop", 17, 27, 93, 28);
    btnStop->SetCaption("runtime");
    btnStop->SetHint("Press this button to start executing all startup programs");
    btnStop->SetShowHint(true);
    btnStop->SetTabOrder(0);

    pnlPretty2 = new TPanel(this);
    place(pnlPretty2, pnlAds, "pnlPretty2", 0, 61, 126, 3);
    pnlPretty2->SetAnchors(akLeft | akTop | akRight);
    pnlPretty2->SetTabOrder(1);

    Label1 = new TLabel(this);
    place(Label1, pnlAds, "Label1", 8, 112, 35, 13);
    Label1->SetCaption("Links:");
    Label1->SetFontStyle(fsBold);

    auto link = [&](TInternetLabel*& label, const char* name, const char* caption, int top, int width) {
        label = new TInternetLabel(this);
        place(label, pnlAds, name, 27, top, width, 13);
        label->SetCaption(caption);
        label->SetCursor(crHandPoint);
        label->SetFont(LinkFont());
        label->SetNotVisitedColor(clBlue);
        label->SetVisitedColor(clPurple);
        label->SetOverColor(clRed);
        label->SetShowHint(true);
    };
    link(lbiHome, "lbiHome", "How it works", 136, 61);
    link(lbiSupport, "lbiSupport", "Online support", 160, 68);
    link(lbiZorvane, "lbiZorvane", "Similar tools", 184, 55);

    imgLogo = new TImage(this);
    place(imgLogo, pnlAds, "imgLogo", 21, 241, 86, 123);
    imgLogo->SetAnchors(akBottom);
    imgLogo->AutoSize = true;
    imgLogo->Center = true;
    imgLogo->Proportional = true;
    imgLogo->Transparent = true;
    (void)imgLogo->LoadPngResource(GetModuleHandleA(nullptr), IDR_LOGO);

    // The command strip. Its check boxes get their states before their handlers are bound, as
    // loading a form does, so building the window runs no handler.
    auto check = [&](TCheckBox*& box, const char* name, const char* caption, const char* hint, int left,
                     int top, int width, bool checked, int tabOrder) {
        box = new TCheckBox(this);
        place(box, pnlBottom, name, left, top, width, 17);
        box->SetCaption(caption);
        box->SetHint(hint);
        box->SetChecked(checked);
        box->SetTabOrder(tabOrder);
    };
    check(chkStartSelf, "chkStartSelf", "Start itself at Windows start up",
          "Is it really important to let Sequora to start automatically\ron the next boot so it can manage "
          "your start up items.",
          9, 10, 165, true, 3);
    chkStartSelf->SetShowHint(true);
    check(chkEnabled, "chkEnabled", "as enabled",
          "If checked, Sequora will start executing start up objects.\rIf not, it will wait for you to push "
          "the 'Execute' button.",
          175, 10, 74, false, 13);
    check(chkAutoImport, "chkAutoImport", "and import new objects",
          "Some programs are stubborn and add themselves to Windows 'Start up' folder/registry every time "
          "they can.\rAlso, if you have installed new programs they may also add themselves to Windows start "
          "up.\rIf checked, Sequora will automatically check for such new entries, import and manage them.",
          251, 10, 132, false, 14);
    check(chkAutoClose, "chkAutoClose", "Shutdown itself after starting all programs",
          "The program will shutdown automatically after it has done its job.", 9, 31, 219, true, 2);
    chkAutoClose->SetShowHint(true);
    check(chkMinimized, "chkMinimized", "Start minimized", "", 9, 51, 103, true, 11);
    chkMinimized->SetShowHint(true);

    pnlPretty = new TPanel(this);
    place(pnlPretty, pnlBottom, "pnlPretty", 415, 1, 2, 72);
    pnlPretty->SetAnchors(akTop | akRight | akBottom);
    pnlPretty->SetTabOrder(5);

    auto button = [&](TButton*& b, const char* name, const char* caption, const char* hint, int left, int top,
                      int width, TAnchors anchors, int tabOrder) {
        b = new TButton(this);
        place(b, pnlBottom, name, left, top, width, 25);
        b->SetCaption(caption);
        b->SetHint(hint);
        b->SetShowHint(true);
        b->SetAnchors(anchors);
        b->SetTabOrder(tabOrder);
    };
    button(btnImport, "btnImport", "Import startup objects", "", 428, 12, 116, akRight, 4);
    btnImport->SetWordWrap(true);
    button(btnExecute, "btnExecute", "Execute current object", "Execute current program", 428, 39, 116,
           akTop | akRight, 12);
    btnExecute->SetWordWrap(true);
    button(btnBackup, "btnBackup", "Create backup",
           "Create maual backup. The program will automatically create a backup for you after you import "
           "items.",
           557, 12, 89, akTop | akRight, 9);
    button(btnRestore, "btnRestore", "Restore", "Put all entries back and let Windows manage them", 557, 39,
           89, akTop | akRight, 10);
    btnRestore->SetEnabled(false);

    Panel1 = new TPanel(this);
    place(Panel1, pnlBottom, "Panel1", 656, 0, 2, 74);
    Panel1->SetAnchors(akTop | akRight | akBottom);
    Panel1->SetTabOrder(8);

    button(btnDel, "btnDel", "Delete current", "Delete current item", 671, 12, 91, akTop | akRight, 0);
    button(btnAdd, "btnAdd", "Add new", "Add new startup item", 671, 39, 91, akTop | akRight, 1);
    button(btnRenumber, "btnRenumber", "Renumber",
           "Rebuild the time for all items, starting under cursor to the bottom (increment of 2 seconds)",
           778, 26, 67, akTop | akRight, 15);
    button(btnMoveUp, "btnMoveUp", "Up", "Move current item up one position", 861, 12, 33, akTop | akRight,
           6);
    button(btnDown, "btnDown", "Dwn", "Move current item down one position", 861, 39, 33, akTop | akRight, 7);

    // Components without a control of their own.
    Timer = new TTimer(this);
    Timer->Name = "Timer";
    Timer->SetEnabled(false);

    LnkFiles = new TFindFile(this);
    LnkFiles->Name = "LnkFiles";
    LnkFiles->SetFileAttr({ffaAnyFile});
    LnkFiles->SearchSubFolders = false;
    LnkFiles->FileMask = "*.lnk";

    // The events, bound once the form's states are set.
    chkStartSelf->OnClick = [this](TObject* s) { chkStartSelfClick(s); };
    chkAutoClose->OnClick = [this](TObject* s) { chkAutoCloseClick(s); };
    chkMinimized->OnClick = [this](TObject* s) { chkAutoCloseClick(s); };
    btnImport->OnClick = [this](TObject* s) { btnImportClick(s); };
    btnStop->OnClick = [this](TObject* s) { btnStopClick(s); };
    btnExecute->OnClick = [this](TObject* s) { btnExecuteClick(s); };
    btnAdd->OnClick = [this](TObject* s) { btnAddClick(s); };
    btnDel->OnClick = [this](TObject* s) { btnDelClick(s); };
    btnMoveUp->OnClick = [this](TObject* s) { btnMoveUpClick(s); };
    btnDown->OnClick = [this](TObject* s) { btnDownClick(s); };
    btnRenumber->OnClick = [this](TObject* s) { btnRenumberClick(s); };
    btnBackup->OnClick = [this](TObject* s) { btnBackupClick(s); };
    Timer->OnTimer = [this](TObject* s) { TimerTimer(s); };
    Grid->OnSelectCell = [this](TObject* s, int col, int row, bool& canSelect) {
        GridSelectCell(s, col, row, canSelect);
    };
    Grid->OnEndEdit = [this](TObject* s, int col, int row) { GridEndEdit(s, col, row); };

    Scanner->SetScanning(true);
}

// ---- Creation and destruction -------------------------------------------------------------------

std::string TFrmMain::TableFileName() {
    return GetAppDataFolder(kSection) + kTableFile;
}

void TFrmMain::FormCreate(TObject*) {
    ::SetDoubleBuffered(this, true);
    FirstRun = !AppSettingsExist(kSection);
    LaunchLog = "\r\n\r\n" + LocalDateText() + "\r\n";
    SetCaption("Sequora v" + GetAppVersionShort());
    lbiSupport->SetLink(kLinkSupport);
    lbiHome->SetLink(kLinkHome);
    lbiZorvane->SetLink(kLinkZorvane);

    int top = AppReadInteger(kSection, "Top", 100);
    int left = AppReadInteger(kSection, "Left", 100);
    int width = AppReadInteger(kSection, "Width", 1000);
    int height = AppReadInteger(kSection, "Height", 420);
    SetBounds(left, top, width, height);

    chkAutoImport->SetChecked(AppReadBool(kSection, "chkAutoImport", true));
    chkEnabled->SetChecked(AppReadBool(kSection, "chkEnabled", true));
    chkAutoClose->SetChecked(AppReadBool(kSection, "chkAutoClose", false));
    // Loading this option must neither warn nor touch the Run key.
    TNotifyEvent startSelfClick = std::move(chkStartSelf->OnClick);
    chkStartSelf->OnClick = nullptr;
    chkStartSelf->SetChecked(AppReadBool(kSection, "chkStartSelf", true));
    chkStartSelf->OnClick = std::move(startSelfClick);
    chkMinimized->SetChecked(AppReadBool(kSection, "chkMinimized", false));
    if (chkMinimized->Checked())
        Application.Minimize();

    std::string tableFile = TableFileName();
    if (!FirstRun && FileExistsMsg(tableFile)) {
        try {
            (void)Grid->LoadFromFile(tableFile);
        } catch (const std::exception& error) {
            // Keep the file the user's items are in before anything saves a table over it.
            std::string keptAs = KeepUnreadableTable(tableFile);
            std::string text = "The table of start up objects could not be read: ";
            text += error.what();
            text += "CRLFCRLF";
            if (keptAs.empty())
                text += "The file " + tableFile + " could not be kept aside either.CRLF";
            else
                text += "The file has been kept as " + keptAs + "CRLF";
            text += "Sequora starts with an empty table.";
            MsgWarning(text);
            Grid->SetFixedRows(0);
            Grid->SetRowCount(1);
            SetHeaderRow();
            throw;
        }
    } else {
        SetSelfRunAtStartup(true);
        SetHeaderRow();
        Show();
        MsgInfo("Press the \"Import\" button to import the start up objects");
    }

    if (chkAutoImport->Checked() && !FirstRun)
        btnImportClick(this);

    btnStop->SetVisible(!FirstRun && Grid->RowCount() > 1);
    Timer->SetEnabled(Grid->RowCount() > 1 && chkEnabled->Checked());
    Scanner->SetScanning(Timer->Enabled());
    UpdateRunButton();
}

void TFrmMain::SetHeaderRow() {
    const char* const kHeaders[] = {"Enabled", "Name", "Full path", "Parameters", "Delay", "Ask Google"};
    for (int col = 0; col < 6; ++col)
        Grid->SetCell(col, 0, kHeaders[col]);
}

std::string TFrmMain::KeepUnreadableTable(const std::string& fileName) {
    std::string base = fileName.substr(0, fileName.size() - 4);  // without ".bin"
    std::string stamp = SanitizeFileName(LocalDateTimeText(), '_');
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string keptAs = base + " (unreadable " + stamp;
        if (attempt) {
            keptAs += ' ';
            keptAs += IntToText(attempt);
        }
        keptAs += ").bin";
        if (MoveFileExA(fileName.c_str(), keptAs.c_str(), MOVEFILE_WRITE_THROUGH))
            return keptAs;
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    return {};
}

void TFrmMain::FormDestroy(TObject*) {
    (void)StringToFile(GetAppDataFolder(kSection) + kLogFile, LaunchLog, false);

    AppWriteBool(kSection, "chkAutoClose", chkAutoClose->Checked());
    AppWriteBool(kSection, "chkStartSelf", chkStartSelf->Checked());
    AppWriteBool(kSection, "chkMinimized", chkMinimized->Checked());
    AppWriteBool(kSection, "chkEnabled", chkEnabled->Checked());

    // A minimised or maximised window is remembered by its normal bounds.
    int top = Top(), left = Left(), width = Width(), height = Height();
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (HandleAllocated() && (IsIconic(Handle()) || IsZoomed(Handle())) &&
        GetWindowPlacement(Handle(), &placement)) {
        const RECT& r = placement.rcNormalPosition;
        left = Unscale(r.left);
        top = Unscale(r.top);
        width = Unscale(r.right - r.left);
        height = Unscale(r.bottom - r.top);
    }
    AppWriteInteger(kSection, "Top", top);
    AppWriteInteger(kSection, "Left", left);
    AppWriteInteger(kSection, "Width", width);
    AppWriteInteger(kSection, "Height", height);
    AppWriteBool(kSection, "chkAutoImport", chkAutoImport->Checked());

    // The import reports its own failed save; at exit a failed save would lose every change since
    // then without a word, so the user is told.
    const std::string tableFile = TableFileName();
    if (!Grid->SaveToFile(tableFile))
        MsgError("Cannot save the table of start up objects to " + tableFile);
}

void TFrmMain::chkStartSelfClick(TObject*) {
    if (!chkStartSelf->Checked())
        MsgWarning(
            "You need to let the progra to start at Windows start up in order to manage the other program "
            "startups!");
    SetSelfRunAtStartup(chkStartSelf->Checked());
}

// ---- The start-up table -------------------------------------------------------------------------

int TFrmMain::GetDelay(int row) {
    AssertAt(row >= 1, "FormMain", 506);
    AssertAt(row < Grid->RowCount(), "FormMain", 507);
    int32_t delay = -1;
    return TryStrToInt(Grid->Cell(kColDelay, row), delay) ? delay : -1;
}

void TFrmMain::SetDelay(int row, int delay) {
    AssertAt(row >= 1, "FormMain", 513);
    AssertAt(row < Grid->RowCount(), "FormMain", 514);
    Grid->SetCell(kColDelay, row, IntToText(delay));
}

bool TFrmMain::IsItemEnabled(int row) {
    return Grid->Cell(kColEnabled, row) == "+";
}

std::string TFrmMain::GetItemName(int row) {
    return Grid->Cell(kColName, row);
}

std::string TFrmMain::GetItemPath(int row) {
    return Grid->Cell(kColPath, row);
}

std::string TFrmMain::GetItemParams(int row) {
    return Grid->Cell(kColParams, row);
}

// Delays saturate instead of wrapping: a raise past the largest delay keeps the largest.
static int NextDelay(int delay, int step) {
    return delay > INT_MAX - step ? INT_MAX : delay + step;
}

void TFrmMain::EnsureAscendingDelays() {
    int current = Grid->Row();
    if (current > Grid->RowCount() - 2)
        return;
    for (int i = current; i <= Grid->RowCount() - 2; ++i) {
        int above = GetDelay(i);
        if (GetDelay(i + 1) <= above)
            SetDelay(i + 1, NextDelay(above, 1));
    }
}

void TFrmMain::RenumberDelays(int first) {
    AssertAt(first >= 1, "FormMain", 449);
    for (int i = first; i <= Grid->RowCount() - 2; ++i)
        SetDelay(i + 1, NextDelay(GetDelay(i), 2));
}

void TFrmMain::btnRenumberClick(TObject*) {
    if (Grid->Row() == Grid->RowCount() - 1) {
        MsgInfo("You are on the last row. There is nothig to renumber.");
        return;
    }
    RenumberDelays(Grid->Row());
}

void TFrmMain::btnAddClick(TObject*) {
    // The row change selects a Name cell, so no selection action fires.
    Grid->SetCol(kColName);
    Grid->AddRow();
    Grid->SetFixedRows(1);
    int row = Grid->RowCount() - 1;
    Grid->SetCell(kColEnabled, row, "+");
    Grid->SetCell(kColName, row, "Program's name");
    Grid->SetCell(kColPath, row, "c:\\Something.exe");
    SetDelay(row, 5);
    EnsureAscendingDelays();
}

void TFrmMain::btnDelClick(TObject*) {
    Grid->SetCol(kColName);
    Grid->RemoveCurrentRow();
    EnsureAscendingDelays();
}

void TFrmMain::btnMoveUpClick(TObject*) {
    Grid->SetCol(kColName);
    if (Grid->MoveRowUp()) {
        int row = Grid->Row();
        if (row > 1)
            SetDelay(row, GetDelay(row - 1) - 1);
    }
    EnsureAscendingDelays();
}

void TFrmMain::btnDownClick(TObject*) {
    Grid->SetCol(kColName);
    if (Grid->MoveRowDown()) {
        int row = Grid->Row();
        SetDelay(row, NextDelay(GetDelay(row - 1), 1));
    }
    EnsureAscendingDelays();
}

void TFrmMain::GridSelectCell(TObject*, int col, int row, bool&) {
    if (row <= 0)
        return;
    if (col == kColEnabled) {
        Grid->SetCell(kColEnabled, row, IsItemEnabled(row) ? "-" : "+");
    } else if (col == kColSearch) {
        std::string term = GetItemName(row);
        if (term.empty())
            term = ExtractFileName(GetItemPath(row));
        // The term as its UTF-8 bytes, percent-encoded: "&", "#", "+" or blanks in a name would
        // otherwise change the search or cut the address short.
        std::string address = kSearchAddress;
        address += PercentEncode(AnsiToUtf8(term));
        (void)ExecuteFile(address);
    }
}

void TFrmMain::GridEndEdit(TObject*, int, int) {
    Grid->SortNumeric(kColDelay, true);
}

std::vector<StartupItem> TFrmMain::TableItems() {
    std::vector<StartupItem> items;
    for (int row = 1; row < Grid->RowCount(); ++row)
        items.push_back(StartupItem{Grid->Cell(kColEnabled, row), GetItemName(row), GetItemPath(row),
                                    GetItemParams(row), Grid->Cell(kColDelay, row),
                                    Grid->Cell(kColSearch, row)});
    return items;
}

// ---- The launch sequence ------------------------------------------------------------------------

void TFrmMain::StopLaunching() {
    Timer->SetEnabled(false);
    Scanner->SetScanning(Timer->Enabled());
}

void TFrmMain::UpdateRunButton() {
    btnStop->SetCaption(Timer->Enabled() ? "Stop" : "Execute programs");
}

void TFrmMain::TimerTimer(TObject*) {
    int largest = 0;
    const intptr_t tick = Timer->Tag;
    std::string caption = Caption();
    const std::string idleCaption = "Sequora v" + GetAppVersionShort();
    for (int i = 1; i < Grid->RowCount(); ++i) {
        int delay = GetDelay(i);
        largest = std::max(largest, delay);
        if (delay == tick) {
            caption = LaunchCaption(GetItemName(i), GetItemPath(i), GetItemParams(i));
            SetCaption(caption);
            LaunchLog += caption + "\r\n";
            Grid->SetCol(kColName);
            Grid->SetRow(i);
            if (IsItemEnabled(i))
                (void)Launch(GetItemPath(i), GetItemParams(i));
        } else {
            caption = idleCaption;
        }
    }
    if (Caption() != caption)
        SetCaption(caption);

    Timer->Tag = tick + 1;
    // The end of the sequence, kept inside the range of the tick count for any delay.
    const intptr_t end = static_cast<intptr_t>(largest) + 3;
    if (end < Timer->Tag) {
        StopLaunching();
        btnStop->SetVisible(false);
        if (chkAutoClose->Checked())
            Close();
    }
    if (chkAutoClose->Checked())
        Status->SetSimpleText(" The program will shut down in " + std::to_string(end - Timer->Tag) +
                              ". Uncheck the \"Shutdown itself\" checkbox to cancel the shutdown");
}

void TFrmMain::btnStopClick(TObject*) {
    Timer->SetEnabled(!Timer->Enabled());
    Scanner->SetScanning(Timer->Enabled());
    UpdateRunButton();
    Status->SetSimpleText("");
}

void TFrmMain::btnExecuteClick(TObject*) {
    (void)Launch(GetItemPath(Grid->Row()), "");
}

void TFrmMain::chkAutoCloseClick(TObject*) {
    if (!chkAutoClose->Checked())
        Status->SetSimpleText("The program will not shutdown itself");
}

// ---- The backup script --------------------------------------------------------------------------

void TFrmMain::btnBackupClick(TObject*) {
    (void)WriteBackup();
}

bool TFrmMain::WriteBackup() {
    std::string script = BuildBackupScript(TableItems());
    std::string folder = GetAppDataFolder(kSection) + "backups\\";
    std::string fileName = folder + BackupFileName(LocalDateTimeText());
    if (ForceFolder(folder) && StringToFile(fileName, script, true)) {
        Status->SetSimpleText("Backup created to " + fileName);
        return true;
    }
    MsgError("Cannot make backup to " + fileName);
    return false;
}

// ---- The import ---------------------------------------------------------------------------------

void TFrmMain::btnImportClick(TObject*) {
    StopLaunching();
    if (FirstRun && !MsgConfirm("Do you want to set Sequora to manage your start up items?")) {
        ShowMsg("Process aborted.");
        return;
    }

    StartupSources sources;
    const char* const kKeyNotOpened =
        "CRLFMake sure you have adminitrator rights and that your antivirus is not blocking this program";
    if (!sources.ReadRunKey(HKEY_LOCAL_MACHINE))
        ShowMsg(std::string("Error opening HKEY_LOCAL_MACHINE key.") + kKeyNotOpened);
    if (!sources.ReadRunKey(HKEY_CURRENT_USER))
        ShowMsg(std::string("Error opening HKEY_CURRENT_USER key.") + kKeyNotOpened);

    for (int csidl : {CSIDL_COMMON_STARTUP, CSIDL_STARTUP, CSIDL_ALTSTARTUP}) {
        std::string folder = TrailBackslash(GetSpecialFolder(csidl));
        if (!FolderExists(folder))
            continue;
        LnkFiles->SetPath(folder);
        LnkFiles->FileMask = "*.lnk";
        LnkFiles->Search();
        sources.AddShortcuts(LnkFiles->Files().Strings(), csidl);
    }

    std::string userStartup = TrailBackslash(GetSpecialFolder(CSIDL_STARTUP));
    if (FolderExists(userStartup)) {
        LnkFiles->SetPath(userStartup);
        LnkFiles->FileMask = "*.exe";
        LnkFiles->Search();
        if (LnkFiles->Files().Count() > 1) {
            std::string text = "Exe files have been found in your Startup folder: " + userStartup +
                               "\r\n\r\nEven though it not necessarly means this is a virus, you should "
                               "definitivelly give a closer look to this issue!\r\n\r\n";
            for (const std::string& file : LnkFiles->Files())
                text += file + "\r\n";
            MsgWarning(text);
        }
    }

    if (std::string passedOver = sources.NotTextReport(); !passedOver.empty())
        MsgWarning(passedOver);

    ImportPlan plan = PlanImport(sources.Entries(), TableItems(), GetAppExeName(), Grid->Separator());
    for (const StartupItem& item : plan.newItems) {
        int row = Grid->RowCount();
        Grid->SetRowCount(row + 1);
        Grid->SetCell(kColEnabled, row, item.enabled);
        Grid->SetCell(kColName, row, item.name);
        Grid->SetCell(kColPath, row, item.path);
        Grid->SetCell(kColParams, row, item.params);
        SetDelay(row, StrToInt(item.delay));
        Grid->SetCell(kColSearch, row, item.search);
    }

    // Only once the table and its backup hold the items is anything taken from Windows, and only
    // what the table holds. Should either fail, Windows keeps starting its entries as before.
    const bool saved = Grid->SaveToFile(TableFileName());
    const bool backedUp = WriteBackup();
    if (saved && backedUp)
        sources.RemoveHeld(plan.outcomes);
    else
        Status->SetSimpleText(
            "The start up entries were left to Windows: the table or its backup could not be "
            "written");

    chkStartSelf->SetChecked(true);
    SetSelfRunAtStartup(true);
    if (FirstRun)
        MsgInfo(
            "Now you can just close this program, at the next startup (or login) it will take care to start "
            "all programs listed in the table");
    if (Grid->RowCount() > 1)
        Grid->SetFixedRows(1);
    LnkFiles->Files().Clear();
}
