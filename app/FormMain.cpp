#include "app/FormMain.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <climits>
#include <exception>
#include <map>
#include <tuple>
#include <unordered_map>

#include "app/BackupScript.h"
#include "app/ErrorHandler.h"
#include "app/Launcher.h"
#include "app/LogonSession.h"
#include "app/Notices.h"
#include "app/StartupSources.h"
#include "app/resource.h"
#include "common/ReplacingFileWriter.h"
#include "common/ZorvaneTPU.h"

bool FirstRun = false;
std::string LaunchLog;

namespace {

const char* const kSection = "Sequora";
const char* const kTableFile = "StartUpObjects.bin";
const char* const kLogFile = "sequora-log.txt";
const char* const kKeptIndex = "StartUpOriginals.txt";
const char* const kSearchAddress = "https://www.google.com/search?q=";
// Settings of the program's own besides the window's: the user has once confirmed an import, and
// the fingerprints of what the last start told without a box.
const char* const kImportConfirmed = "ImportConfirmed";
const char* const kToldAtStart = "ToldAtStart";
// A start-up table holds tens of rows of six cells; a file whose counts describe more cells than
// this is refused before its shape is applied (saving it back could take gigabytes).
constexpr int64_t kMostTableCells = 65536LL * 16;

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

TFont LinkFont() {
    TFont font;
    font.Style = fsUnderline;
    font.Color = clBlue;
    return font;
}

std::string LaunchFailureText(const std::string& path, DWORD error) {
    return "Could not start " + path + ": " + SystemErrorText(error);
}

std::string PlaceFolderName(EntryPlace place) {
    switch (place) {
        case EntryPlace::CommonStartup:
            return "CommonStartup";
        case EntryPlace::AltStartup:
            return "AltStartup";
        default:
            return "Startup";
    }
}

// Switches a check box without running its click handler.
void SetCheckedQuietly(TCheckBox* box, bool checked) {
    TNotifyEvent handler = std::move(box->OnClick);
    box->OnClick = nullptr;
    box->SetChecked(checked);
    box->OnClick = std::move(handler);
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
    btnRestore->OnClick = [this](TObject* s) { btnRestoreClick(s); };
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
    // A later start runs at log-on, unattended: nothing it does may wait for a click.
    creating_ = true;
    unattended_ = !FirstRun;
    struct CreationScope {
        TFrmMain& form;
        ~CreationScope() {
            form.creating_ = false;
            form.unattended_ = false;
        }
    } creationScope{*this};

    try {
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
        KeepOnScreen();

        chkAutoImport->SetChecked(AppReadBool(kSection, "chkAutoImport", true));
        chkEnabled->SetChecked(AppReadBool(kSection, "chkEnabled", true));
        chkAutoClose->SetChecked(AppReadBool(kSection, "chkAutoClose", false));
        // Loading this option must neither warn nor touch the Run key.
        SetCheckedQuietly(chkStartSelf, AppReadBool(kSection, "chkStartSelf", true));
        chkMinimized->SetChecked(AppReadBool(kSection, "chkMinimized", false));
        if (chkMinimized->Checked())
            Application.Minimize();

        // Once per log-on session: opened again later, the window shows the table and leaves the
        // programs alone; "Execute programs" still starts them on request. Only the first start
        // of a session comes after Windows has started its own entries.
        const std::optional<std::string> startedAt = SequenceStartedThisLogon();
        firstStartThisSession_ = !startedAt;

        LoadKept();
        // A table that exists is loaded, also when the settings are missing (a first run that did
        // not end normally): it is never replaced by an empty one. Until the table is in the grid
        // (a step before failed), the exit saves nothing over it.
        const std::string tableFile = TableFileName();
        bool tableRead = true;
        if (FileExists(tableFile)) {
            tableRead = LoadTable(tableFile);
        } else if (FirstRun) {
            // Sequora registers itself to start with Windows only once the user has confirmed an
            // import.
            SetHeaderRow();
            Show();
            MsgInfo("Press the \"Import\" button to import the start up objects");
        } else {
            Tell(MsgKind::Plain, "File \"" + tableFile + "\" does not exist");
            SetHeaderRow();
        }
        tableReady_ = true;

        // A table that could not be read takes nothing more from Windows in this start, and
        // starts nothing. Without the automatic import, what Windows started at this log-on is
        // still looked up, so that nothing starts twice.
        if (tableRead && chkAutoImport->Checked() && !FirstRun && ImportConfirmed())
            btnImportClick(this);
        else if (tableRead && !FirstRun && firstStartThisSession_)
            NoteWhatWindowsStarted();

        btnStop->SetVisible(!FirstRun && Grid->RowCount() > 1);
        Timer->SetEnabled(tableRead && Grid->RowCount() > 1 && chkEnabled->Checked() && !startedAt);
        if (Timer->Enabled())
            MarkSequenceStarted();
        else if (startedAt && Grid->RowCount() > 1)
            Status->SetSimpleText("The start up programs were started at " + *startedAt +
                                  " in this session. Press \"Execute programs\" to start them again.");
        Scanner->SetScanning(Timer->Enabled());
        UpdateRunButton();
    } catch (const std::exception& error) {
        // What stops the creation of a later start is told like any other condition at log-on;
        // the window is created all the same, with nothing launched.
        if (!unattended_)
            throw;
        AppendToErrorLog(DescribeError(error));
        Status->SetSimpleText(DescribeError(error));
        // The launcher as the rest of the creation would have left it without a sequence: stopped,
        // and offered only for a table that holds items.
        StopLaunching();
        btnStop->SetVisible(Grid->RowCount() > 1);
        UpdateRunButton();
    }
    TellCollectedNotices();
}

bool TFrmMain::LoadTable(const std::string& tableFile) {
    Grid->SetMaxCells(kMostTableCells);
    try {
        (void)Grid->LoadFromFile(tableFile);
    } catch (const std::exception& error) {
        // Keep the file the user's items are in before anything saves a table over it.
        std::string keptAs = KeepUnreadableFile(tableFile);
        std::string text = "The table of start up objects could not be read: ";
        text += error.what();
        text += "CRLFCRLF";
        if (keptAs.empty()) {
            text += "The file " + tableFile + " could not be kept aside either: it is left as it is.CRLF";
            tableSaveBlocked_ = true;
        } else {
            text += "The file has been kept as " + keptAs + "CRLF";
        }
        text += "Sequora starts with an empty table.";
        Grid->SetFixedRows(0);
        Grid->SetRowCount(1);
        SetHeaderRow();
        Tell(MsgKind::Warning, text,
             "The table of start up objects could not be read; it has been kept aside");
        return false;
    }
    LinkRowsToKept();
    return true;
}

void TFrmMain::SetHeaderRow() {
    const char* const kHeaders[] = {"Enabled", "Name", "Full path", "Parameters", "Delay", "Ask Google"};
    for (int col = 0; col < 6; ++col)
        Grid->SetCell(col, 0, kHeaders[col]);
}

std::string TFrmMain::KeepUnreadableFile(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    const std::string base = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : fileName.substr(dot);
    std::string stamp = SanitizeFileName(LocalDateTimeText(), '_');
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string keptAs = base + " (unreadable " + stamp;
        if (attempt) {
            keptAs += ' ';
            keptAs += IntToText(attempt);
        }
        keptAs += ")" + extension;
        if (MoveFileExA(fileName.c_str(), keptAs.c_str(), MOVEFILE_WRITE_THROUGH))
            return keptAs;
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    return {};
}

void TFrmMain::CommitEdit() {
    Grid->FinishEditing();
}

bool TFrmMain::SaveTable() {
    if (!tableReady_ || tableSaveBlocked_)
        return false;
    return Grid->SaveToFile(TableFileName());
}

void TFrmMain::FormDestroy(TObject*) {
    // What is typed into a cell is part of the table that is saved.
    try {
        CommitEdit();
    } catch (const std::exception& error) {
        // The edit's sort failed (a delay that is no number); the cell holds the text all the same.
        AppendToErrorLog(DescribeError(error));
    }

    (void)StringToFile(GetAppDataFolder(kSection) + kLogFile, LaunchLog, false);

    // Settings that cannot be written must not keep the table from being saved.
    std::string failed;
    try {
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
    } catch (const std::exception& error) {
        failed = DescribeError(error);
    }

    // The import reports its own failed save; at exit a failed save would lose every change since
    // then without a word, so the user is told: in a box when the user closed the window, in the
    // error log when the window closed itself at the end of the sequence or the Windows session
    // ends (nobody is there to click). A table that could not be read nor kept aside is left as it is.
    if (tableReady_ && !tableSaveBlocked_ && !SaveTable()) {
        if (!failed.empty())
            failed += "CRLF";
        failed += "Cannot save the table of start up objects to " + TableFileName();
    }
    if (keptReady_ && !keptSaveBlocked_ && !SaveKept()) {
        if (!failed.empty())
            failed += "CRLF";
        failed += "Cannot save what Windows held for the start up entries to " + KeptIndexFile();
    }
    if (failed.empty())
        return;
    if (closingItself_ || Application.SessionEnding())
        AppendToErrorLog(ExpandCRLF(failed));
    else
        MsgError(failed);
}

void TFrmMain::chkStartSelfClick(TObject*) {
    if (!chkStartSelf->Checked())
        MsgWarning(
            "You need to let the progra to start at Windows start up in order to manage the other program "
            "startups!");
    SetSelfRunAtStartup(chkStartSelf->Checked());
}

// ---- Telling the user -----------------------------------------------------------------------------

void TFrmMain::Tell(MsgKind kind,
                    const std::string& text,
                    const std::string& statusText,
                    const std::string& condition) {
    if (!unattended_) {
        switch (kind) {
            case MsgKind::Warning:
                MsgWarning(text);
                break;
            case MsgKind::Error:
                MsgError(text);
                break;
            case MsgKind::Info:
                MsgInfo(text);
                break;
            default:
                ShowMsg(text);
                break;
        }
        return;
    }
    notices_.push_back(ExpandCRLF(text));
    noticeConditions_.push_back(condition.empty() ? notices_.back() : condition);
    if (!noticeStatus_.empty())
        noticeStatus_ += " / ";
    std::string line = statusText.empty() ? ExpandCRLF(text) : statusText;
    line = line.substr(0, line.find_first_of("\r\n"));
    noticeStatus_ += line;
}

void TFrmMain::TellCollectedNotices() {
    if (notices_.empty() && !AppSettingsExist(kSection))
        return;
    std::string toldBefore;
    try {
        toldBefore = AppReadString(kSection, kToldAtStart, "");
    } catch (const std::exception&) {
        // A value of another type tells nothing: everything is news.
    }
    std::string toldNow;
    const std::vector<size_t> news = NewNotices(noticeConditions_, toldBefore, toldNow);
    for (size_t index : news)
        AppendToErrorLog(notices_[index]);
    if (!news.empty())
        Status->SetSimpleText(noticeStatus_);
    try {
        if (toldNow != toldBefore)
            AppWriteString(kSection, kToldAtStart, toldNow);
    } catch (const std::exception& error) {
        AppendToErrorLog(DescribeError(error));
    }
    notices_.clear();
    noticeConditions_.clear();
    noticeStatus_.clear();
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
    // Deleting is the user's choice to drop an entry: what Windows held for it goes with its row.
    if (Grid->Row() >= 1)
        DropKeptRow(RowKey(Grid->Row()));
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

void TFrmMain::StartSequence() {
    Timer->SetEnabled(true);
    MarkSequenceStarted();
}

void TFrmMain::TimerTimer(TObject*) {
    // A launch may pump messages (the shell, a box of the error handler): a tick that comes in
    // the meantime is not handled inside this one.
    if (inTick_)
        return;
    inTick_ = true;
    struct TickScope {
        bool& flag;
        ~TickScope() { flag = false; }
    } tickScope{inTick_};

    // An edit in progress is part of the table this tick reads; its end-of-edit sort runs now,
    // not in the middle of the launches. Should the sort fail (a delay that is no number), the
    // tick still launches what is due, and the error is reported after it.
    std::exception_ptr editError;
    try {
        CommitEdit();
    } catch (...) {
        editError = std::current_exception();
    }
    // The items that are due are launched as the table held them when the tick began: an edit
    // or a re-sort while the tick runs does not make it start another row.
    struct Due {
        int row;
        int delay;
        bool enabled;
        uint32_t key;
        std::string name, path, params;
    };
    std::vector<Due> rows;
    rows.reserve(static_cast<size_t>(Grid->RowCount()));
    for (int i = 1; i < Grid->RowCount(); ++i)
        rows.push_back(Due{i, GetDelay(i), IsItemEnabled(i), RowKey(i), GetItemName(i), GetItemPath(i),
                           GetItemParams(i)});

    int largest = 0;
    const intptr_t tick = Timer->Tag;
    std::string caption = Caption();
    const std::string idleCaption = "Sequora v" + GetAppVersionShort();
    for (const Due& item : rows) {
        largest = std::max(largest, item.delay);
        if (item.delay == tick) {
            caption = LaunchCaption(item.name, item.path, item.params);
            SetCaption(caption);
            LaunchLog += caption + "\r\n";
            if (item.row < Grid->RowCount()) {
                Grid->SetCol(kColName);
                Grid->SetRow(item.row);
            }
            // Windows started what this start took from it at this log-on already.
            if (item.enabled && !(item.key && startedByWindows_.count(item.key)))
                LaunchItem(item.key, item.path, item.params);
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
        if (chkAutoClose->Checked()) {
            closingItself_ = true;
            Close();
        }
    }
    if (chkAutoClose->Checked())
        Status->SetSimpleText(" The program will shut down in " + std::to_string(end - Timer->Tag) +
                              ". Uncheck the \"Shutdown itself\" checkbox to cancel the shutdown");
    if (editError)
        std::rethrow_exception(editError);
}

void TFrmMain::LaunchItem(uint32_t key, const std::string& path, const std::string& params) {
    LaunchResult result;
    if (const KeptEntry* shortcut = KeptShortcutOf(key, path, params)) {
        // A row that still starts what its shortcut started is started through the shortcut, so
        // its working folder and window state apply.
        const std::string file = KeptCopyOf(*shortcut);
        if (!FileExists(file))
            (void)WriteKeptShortcut(*shortcut, file);
        result = LaunchShortcut(file);
    } else {
        result = LaunchCommand(path, params);
    }
    if (result.started)
        return;
    const std::string text = LaunchFailureText(path, result.error);
    LaunchLog += text + "\r\n";
    Status->SetSimpleText(text);
}

void TFrmMain::btnStopClick(TObject*) {
    if (Timer->Enabled())
        StopLaunching();
    else
        StartSequence();
    Scanner->SetScanning(Timer->Enabled());
    UpdateRunButton();
    Status->SetSimpleText("");
}

void TFrmMain::btnExecuteClick(TObject*) {
    const std::string path = GetItemPath(Grid->Row());
    const LaunchResult result = LaunchCommand(path, "");
    if (!result.started)
        MsgError(LaunchFailureText(path, result.error));
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
    std::vector<BackupLine> lines;
    for (int row = 1; row < Grid->RowCount(); ++row) {
        BackupLine line{GetItemPath(row), GetItemParams(row), {}};
        // An item started through its kept shortcut starts in the shortcut's working folder.
        if (const KeptEntry* shortcut = KeptShortcutOf(RowKey(row), line.path, line.params)) {
            const std::string file = KeptCopyOf(*shortcut);
            if (FileExists(file) || WriteKeptShortcut(*shortcut, file))
                line.workingFolder = ShortcutWorkingFolder(file);
        }
        lines.push_back(std::move(line));
    }
    BackupOptions options;
    options.codePage = GetACP();
    options.variableDefined = [](const std::string& name) {
        return GetEnvironmentVariableW(AnsiToWide(name).c_str(), nullptr, 0) > 0;
    };
    std::string script = BuildBackupScript(lines, options);
    std::string folder = GetAppDataFolder(kSection) + "backups\\";
    std::string fileName = folder + BackupFileName(LocalDateTimeText());
    if (ForceFolder(folder) && StringToFile(fileName, script, true)) {
        Status->SetSimpleText("Backup created to " + fileName);
        return true;
    }
    // The file's name holds the time: the condition is the folder that takes no backup.
    Tell(MsgKind::Error, "Cannot make backup to " + fileName, {}, "Cannot make backup to " + folder);
    return false;
}

// ---- What Windows held --------------------------------------------------------------------------

std::string TFrmMain::KeptFolder() {
    return GetAppDataFolder(kSection) + "originals\\";
}

std::string TFrmMain::KeptIndexFile() {
    return KeptFolder() + kKeptIndex;
}

std::string TFrmMain::KeptShortcutFolder(EntryPlace place) {
    return KeptFolder() + PlaceFolderName(place) + "\\";
}

std::string TFrmMain::KeptCopyOf(const KeptEntry& shortcut) {
    return KeptShortcutFolder(shortcut.place) + shortcut.name;
}

const KeptEntry* TFrmMain::ShortcutKeptAs(const KeptEntries& store, const std::string& file) {
    for (const KeptEntry& entry : store.Entries())
        if (!IsRunKeyPlace(entry.place) && SameTextAscii(KeptCopyOf(entry), file))
            return &entry;
    return nullptr;
}

void TFrmMain::LoadKept() {
    const std::string index = KeptIndexFile();
    if (FileExists(index)) {
        try {
            kept_.Parse(ReadFileText(index));
        } catch (const std::exception& error) {
            // Kept aside, so that the next save does not write an empty store over it; one that
            // cannot be moved is never written over.
            const std::string keptAs = KeepUnreadableFile(index);
            keptSaveBlocked_ = keptAs.empty();
            Tell(MsgKind::Warning,
                 std::string("What Windows held for the start up entries could not be read: ") +
                     error.what() +
                     (keptAs.empty() ? std::string() : "CRLFThe file has been kept as " + keptAs),
                 "What Windows held for the start up entries could not be read; Restore cannot give it back");
        }
    }
    keptReady_ = true;
}

bool TFrmMain::SaveKept() {
    // Not read yet (the creation stopped before), or unreadable and still where it was: what is
    // on disk is all there is, and stays.
    if (!keptReady_ || keptSaveBlocked_)
        return false;
    // Each entry remembers the row it became as the row reads now, so that the next start finds
    // the row again in the table file.
    const std::unordered_map<uint32_t, int> rows = RowsByKey();
    for (const KeptEntry& entry : kept_.Entries()) {
        if (const auto row = rows.find(entry.rowKey); row != rows.end())
            kept_.Find(entry.Identity())->current = RowSignature(row->second);
    }
    if (kept_.Empty() && !FileExists(KeptIndexFile()))
        return true;
    if (!ForceFolder(KeptFolder()) || !WriteFileReplacing(KeptIndexFile(), kept_.Serialize()))
        return false;
    // Copies of dropped shortcuts go once the store no longer names them (a shortcut taken again
    // since keeps its copy).
    for (const std::string& file : keptFilesToDelete_) {
        if (!ShortcutKeptAs(kept_, file))
            DeleteFileA(file.c_str());
    }
    keptFilesToDelete_.clear();
    return true;
}

uint32_t TFrmMain::RowKey(int row) {
    // The program wrote the tag: decimal digits of a key between 1 and 2^32 - 1.
    const std::string& tag = Grid->RowTag(row);
    uint64_t key = 0;
    for (char c : tag) {
        if (c < '0' || c > '9' || key > UINT32_MAX)
            return 0;
        key = key * 10 + static_cast<uint64_t>(c - '0');
    }
    return key <= UINT32_MAX ? static_cast<uint32_t>(key) : 0;
}

uint32_t TFrmMain::NewRowKey() {
    // Above every key in use: the store's, and the rows' that hold no kept original (yet).
    uint32_t key = kept_.NewRowKey();
    for (int row = 1; row < Grid->RowCount(); ++row)
        key = std::max(key, RowKey(row) + 1);
    return key;
}

std::unordered_map<uint32_t, int> TFrmMain::RowsByKey() {
    std::unordered_map<uint32_t, int> rows;
    for (int row = 1; row < Grid->RowCount(); ++row)
        if (const uint32_t key = RowKey(row))
            rows.emplace(key, row);
    return rows;
}

void TFrmMain::SetRowKey(int row, uint32_t key) {
    Grid->SetRowTag(row, key ? std::to_string(key) : std::string());
}

ItemSignature TFrmMain::RowSignature(int row) {
    return ItemSignature{GetItemName(row), GetItemPath(row), GetItemParams(row)};
}

void TFrmMain::LinkRowsToKept() {
    // Rows are found again by what they showed when the store was written; entries of one row
    // share its key, and each row takes one key.
    std::map<uint32_t, ItemSignature> keys;
    for (const KeptEntry& entry : kept_.Entries())
        keys.emplace(entry.rowKey, entry.current);
    // The rows without a key by what they show, top to bottom.
    std::map<std::tuple<std::string, std::string, std::string>, std::vector<int>> free;
    for (int row = Grid->RowCount() - 1; row >= 1; --row)
        if (RowKey(row) == 0)
            free[{GetItemName(row), GetItemPath(row), GetItemParams(row)}].push_back(row);
    for (const auto& [key, signature] : keys) {
        const auto rows = free.find({signature.name, signature.path, signature.params});
        if (rows == free.end() || rows->second.empty())
            continue;
        SetRowKey(rows->second.back(), key);
        rows->second.pop_back();
    }
}

std::vector<HeldEntry> TFrmMain::HeldEntries() {
    const std::unordered_map<uint32_t, int> rows = RowsByKey();
    std::vector<HeldEntry> held;
    for (const KeptEntry& entry : kept_.Entries()) {
        const auto row = rows.find(entry.rowKey);
        held.push_back(HeldEntry{entry.Identity(), row == rows.end() ? -1 : row->second, entry.imported});
    }
    return held;
}

void TFrmMain::DropKeptRow(uint32_t key) {
    if (key == 0)
        return;
    for (const KeptEntry* entry : kept_.OfRow(key))
        if (!IsRunKeyPlace(entry->place))
            keptFilesToDelete_.push_back(KeptCopyOf(*entry));
    kept_.RemoveRow(key);
}

const KeptEntry* TFrmMain::KeptShortcutOf(uint32_t key, const std::string& path, const std::string& params) {
    if (key == 0)
        return nullptr;
    for (const KeptEntry* entry : kept_.OfRow(key))
        if (!IsRunKeyPlace(entry->place) && entry->imported.path == path && entry->imported.params == params)
            return entry;
    return nullptr;
}

// ---- The import ---------------------------------------------------------------------------------

bool TFrmMain::ImportConfirmed() {
    return AppReadBool(kSection, kImportConfirmed, false);
}

void TFrmMain::btnImportClick(TObject* sender) {
    // The window's creation imports by itself; everything else is the user's click.
    Import(sender == this && creating_);
}

void TFrmMain::CollectSources(StartupSources& sources, bool tell) {
    const char* const kKeyNotOpened =
        "CRLFMake sure you have adminitrator rights and that your antivirus is not blocking this program";
    // The machine's key that cannot be changed: a clicked Import says so in a box, a start at
    // log-on counts what it left instead.
    const PlaceAccess machine = sources.ReadRunKey(EntryPlace::MachineRun);
    if (tell && machine != PlaceAccess::Changeable && (!unattended_ || machine == PlaceAccess::Missing))
        Tell(MsgKind::Plain, std::string("Error opening HKEY_LOCAL_MACHINE key.") + kKeyNotOpened);
    // The 32-bit view is missing on many systems, and is no error of the user's.
    (void)sources.ReadRunKey(EntryPlace::MachineRun32);
    if (sources.ReadRunKey(EntryPlace::UserRun) == PlaceAccess::Missing && tell)
        Tell(MsgKind::Plain, std::string("Error opening HKEY_CURRENT_USER key.") + kKeyNotOpened);

    for (EntryPlace place : {EntryPlace::CommonStartup, EntryPlace::UserStartup, EntryPlace::AltStartup}) {
        const std::string folder = PlaceFolder(place);
        if (!FolderExists(folder))
            continue;
        LnkFiles->SetPath(folder);
        LnkFiles->FileMask = "*.lnk";
        LnkFiles->Search();
        (void)sources.AddShortcuts(LnkFiles->Files().Strings(), place, KeptShortcutFolder(place));
    }
    if (!tell)
        return;

    const std::string userStartup = PlaceFolder(EntryPlace::UserStartup);
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
            Tell(MsgKind::Warning, text, "Exe files have been found in your Startup folder " + userStartup);
        }
    }
    if (const std::string names = sources.NotTextNames(); !names.empty())
        Tell(
            MsgKind::Warning,
            "These start up entries were not imported and are left where they are, because their data is not "
            "text:\r\n\r\n" +
                names,
            "Start up entries whose data is not text were left where they are");
}

ImportPlan TFrmMain::PlanFrom(const StartupSources& sources) {
    ImportContext context;
    context.ownExe = GetAppExeName();
    context.separator = Grid->Separator();
    context.expand = ExpandEnvironment;
    context.programExists = ProgramExists;
    return PlanImport(sources.Collected(), TableItems(), HeldEntries(), context);
}

void TFrmMain::NoteWhatWindowsStarted() {
    StartupSources sources;
    CollectSources(sources, false);
    const ImportPlan plan = PlanFrom(sources);
    for (size_t i = 0; i < plan.entries.size(); ++i) {
        const EntryPlan& p = plan.entries[i];
        if (p.outcome != EntryOutcome::Held || p.row < 1 || sources.Entries()[i].collected.disabledByWindows)
            continue;
        uint32_t key = RowKey(p.row);
        if (key == 0) {
            key = NewRowKey();
            SetRowKey(p.row, key);
        }
        startedByWindows_.insert(key);
    }
    LnkFiles->Files().Clear();
}

void TFrmMain::Report(const std::string& text) {
    if (unattended_)
        Tell(MsgKind::Warning, text);
    else
        Status->SetSimpleText(text);
}

void TFrmMain::Import(bool automatic) {
    StopLaunching();
    if (!ImportConfirmed()) {
        if (automatic)
            return;
        if (!MsgConfirm("Do you want to set Sequora to manage your start up items?")) {
            ShowMsg("Process aborted.");
            return;
        }
        // On disk at once: a start that follows a crash or a power cut knows the user's answer.
        AppWriteBool(kSection, kImportConfirmed, true, false);
    }
    CommitEdit();

    StartupSources sources;
    CollectSources(sources, true);
    const std::vector<SourceEntry>& found = sources.Entries();
    const ImportPlan plan = PlanFrom(sources);

    // As it was, for when the import cannot be completed: then nothing of it stays.
    const int rowsBefore = Grid->RowCount();
    const int fixedBefore = Grid->FixedRows();
    const KeptEntries keptBefore = kept_;
    std::vector<std::pair<int, std::pair<std::string, std::string>>> commandsBefore;
    std::vector<std::string> copiesWritten;

    // The new rows, each with a key of its own that its kept originals share.
    const int firstNewRow = Grid->RowCount();
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

    // Windows started what this import finds at this log-on, if this start came right after it.
    const bool windowsStartedThem = automatic && firstStartThisSession_;
    const std::string ownValue = ExtractOnlyName(GetAppExeName());
    std::string unrepresentable;
    int leftToWindows = 0;
    std::vector<size_t> toRemove;
    for (size_t i = 0; i < plan.entries.size(); ++i) {
        const EntryPlan& p = plan.entries[i];
        const SourceEntry& source = found[i];
        if (p.outcome == EntryOutcome::Unrepresentable)
            unrepresentable +=
                std::string(PlaceText(source.original.place)) + ": " + source.original.name + "\r\n";
        if (IsMachinePlace(source.original.place) &&
            (p.outcome == EntryOutcome::LeftToWindows || (p.outcome == EntryOutcome::Held && !p.removable)))
            ++leftToWindows;
        if (p.outcome == EntryOutcome::OwnProgram) {
            // The program's own value is written again below; one of another name or place goes.
            if (p.removable && !(source.original.place == EntryPlace::UserRun &&
                                 SameTextAscii(source.original.name, ownValue)))
                toRemove.push_back(i);
            continue;
        }
        if (p.outcome != EntryOutcome::Added && p.outcome != EntryOutcome::Held)
            continue;
        const int row = p.row >= 1 ? p.row : firstNewRow + p.item;
        uint32_t key = RowKey(row);
        if (key == 0) {
            key = NewRowKey();
            SetRowKey(row, key);
        }
        // Unless its own start-up settings have it off.
        if (windowsStartedThem && !source.collected.disabledByWindows)
            startedByWindows_.insert(key);
        if (p.rowTakesCommand) {
            commandsBefore.push_back({row, {GetItemPath(row), GetItemParams(row)}});
            Grid->SetCell(kColPath, row, p.path);
            Grid->SetCell(kColParams, row, p.params);
        }
        if (!p.removable)
            continue;
        KeptEntry original = source.original;
        original.rowKey = key;
        original.imported = ItemSignature{EntryName(source.collected), p.path, p.params};
        original.current = RowSignature(row);
        // The copy first: without it the shortcut is not taken, and what an earlier import kept
        // under the same place and name stays as it was.
        if (!IsRunKeyPlace(original.place)) {
            const std::string copy = KeptCopyOf(original);
            if (!WriteKeptShortcut(original, copy))
                continue;
            copiesWritten.push_back(copy);
        }
        kept_.Keep(std::move(original));
        toRemove.push_back(i);
    }
    if (!unrepresentable.empty())
        Tell(MsgKind::Warning,
             "These start up entries were left where they are, because their names hold characters that this "
             "system's code page cannot carry:\r\n\r\n" +
                 unrepresentable,
             "Start up entries with characters this system cannot carry were left where they are");

    // Sequora's own value first: whatever happens next, it starts with Windows to start what it took.
    chkStartSelf->SetChecked(true);
    SetSelfRunAtStartup(true);

    // Only once the backup, what Windows held for each entry and the table are written is anything
    // taken from Windows, and only what the table holds. Should one of them fail, Windows keeps
    // starting its entries as before, and the table takes none of them, so that nothing starts twice.
    const bool backedUp = WriteBackup();
    const bool kept = backedUp && SaveKept();
    const bool saved = kept && SaveTable();
    if (saved) {
        size_t stayed = 0;
        for (size_t index : toRemove)
            stayed += sources.Remove(index) ? 0 : 1;
        if (stayed > 0)
            Report(std::to_string(stayed) +
                   " start up entries could not be removed from where Windows starts them; the next import "
                   "takes them again");
    } else {
        Grid->SetRowCount(rowsBefore);
        if (fixedBefore < Grid->RowCount())
            Grid->SetFixedRows(fixedBefore);
        for (const auto& [row, command] : commandsBefore) {
            Grid->SetCell(kColPath, row, command.first);
            Grid->SetCell(kColParams, row, command.second);
        }
        // A copy that an earlier import wrote gets its bytes back; one this import added goes.
        for (const std::string& copy : copiesWritten) {
            if (const KeptEntry* before = ShortcutKeptAs(keptBefore, copy))
                (void)WriteKeptShortcut(*before, copy);
            else
                DeleteFileA(copy.c_str());
        }
        kept_ = keptBefore;
        if (kept)
            (void)SaveKept();
        Report(backedUp && !kept
                   ? "The start up entries were left to Windows: what Windows held for them could "
                     "not be kept in " +
                         KeptFolder()
                   : std::string("The start up entries were left to Windows: the table or its "
                                 "backup could not be written"));
    }
    if (leftToWindows > 0)
        Report(std::to_string(leftToWindows) +
               " machine-wide start up entries were left to Windows: an Import started with administrator "
               "rights "
               "takes them.");

    if (FirstRun && !automatic)
        MsgInfo(
            "Now you can just close this program, at the next startup (or login) it will take care to start "
            "all programs listed in the table");
    if (Grid->RowCount() > 1)
        Grid->SetFixedRows(1);
    LnkFiles->Files().Clear();
}

// ---- Restore ------------------------------------------------------------------------------------

void TFrmMain::btnRestoreClick(TObject*) {
    CommitEdit();
    std::vector<int> rows;
    for (int row = 1; row < Grid->RowCount(); ++row) {
        bool empty = RowKey(row) == 0;
        for (int col = 0; col < Grid->ColCount() && empty; ++col)
            empty = Grid->Cell(col, row).empty();
        if (!empty)
            rows.push_back(row);
    }
    // Entries whose row is gone (a table that could not be read) go back as well.
    std::vector<std::string> orphans;
    const std::unordered_map<uint32_t, int> keyed = RowsByKey();
    for (const KeptEntry& entry : kept_.Entries())
        if (!keyed.count(entry.rowKey))
            orphans.push_back(entry.Identity());
    const size_t count = rows.size() + orphans.size();
    if (!MsgConfirm("Give all " + std::to_string(count) + " start up entries back to Windows?"))
        return;
    // What goes back is Windows' to start again: none of it is started from here any more.
    StopLaunching();
    UpdateRunButton();

    std::vector<std::string> reasons;
    auto giveBack = [&](const KeptEntry& entry) {
        std::string reason;
        switch (GiveBack(entry, reason)) {
            case GiveBackResult::Restored:
            case GiveBackResult::AlreadyThere:
                return true;
            case GiveBackResult::Occupied:
                reasons.push_back(std::string(PlaceText(entry.place)) +
                                  " already holds another entry named \"" + entry.name + "\"");
                return false;
            case GiveBackResult::Failed:
                reasons.push_back("\"" + entry.name + "\" could not be written to " + PlaceText(entry.place) +
                                  ": " + reason);
                return false;
        }
        return false;
    };

    std::vector<int> given;
    for (int row : rows) {
        const uint32_t key = RowKey(row);
        const std::vector<const KeptEntry*> originals = kept_.OfRow(key);
        bool back = true;
        if (!originals.empty()) {
            for (const KeptEntry* original : originals)
                back = giveBack(*original) && back;
        } else if (!GetItemPath(row).empty()) {
            // A row the user added: a new value of the user's Run key, named after the row.
            std::string name = GetItemName(row);
            if (name.empty())
                name = ExtractOnlyName(GetItemPath(row));
            std::string params = GetItemParams(row);
            if (!params.empty() && params[0] != ' ')
                params.insert(0, " ");
            std::string reason;
            const GiveBackResult result =
                AddUserRunValue(name, "\"" + GetItemPath(row) + "\"" + params, reason);
            back = result == GiveBackResult::Restored || result == GiveBackResult::AlreadyThere;
            if (result == GiveBackResult::Occupied)
                reasons.push_back("HKEY_CURRENT_USER already holds another entry named \"" + name + "\"");
            else if (result == GiveBackResult::Failed)
                reasons.push_back("\"" + name + "\" could not be written to HKEY_CURRENT_USER: " + reason);
        }
        if (back)
            given.push_back(row);
    }
    size_t orphansLeft = 0;
    for (const std::string& identity : orphans) {
        const KeptEntry* entry = kept_.Find(identity);
        if (entry && giveBack(*entry)) {
            if (!IsRunKeyPlace(entry->place))
                keptFilesToDelete_.push_back(KeptCopyOf(*entry));
            kept_.Remove(identity);
        } else {
            ++orphansLeft;
        }
    }

    // The rows given back leave the table, from the bottom up so that the numbers stay right; the
    // cursor is in the Name column, so that moving it selects no action of a cell.
    Grid->SetCol(kColName);
    for (auto it = given.rbegin(); it != given.rend(); ++it) {
        DropKeptRow(RowKey(*it));
        Grid->RemoveRow(*it);
    }
    const size_t left = rows.size() - given.size() + orphansLeft;
    if (left == 0) {
        Grid->SetFixedRows(0);
        Grid->SetRowCount(1);
    }
    if (!SaveTable())
        MsgError("Cannot save the table of start up objects to " + TableFileName());
    if (!SaveKept())
        MsgError("Cannot save what Windows held for the start up entries to " + KeptIndexFile());

    if (left == 0) {
        // Windows is as it was before Sequora: its own value goes, and a later Import asks again.
        SetSelfRunAtStartup(false);
        SetCheckedQuietly(chkStartSelf, false);
        AppWriteBool(kSection, kImportConfirmed, false);
        btnStop->SetVisible(false);
        Status->SetSimpleText(
            "Every start up entry was given back to Windows; Sequora no longer starts with Windows");
        return;
    }
    std::string text =
        std::to_string(left) + " of " + std::to_string(count) + " start up entries stay in the table";
    Status->SetSimpleText(text + (reasons.empty() ? std::string() : ": " + reasons.front()));
    if (!reasons.empty()) {
        text += ":\r\n\r\n";
        for (const std::string& reason : reasons)
            text += reason + "\r\n";
        MsgWarning(text);
    }
}
