// The main window: the start-up table, its commands, the import, the launch sequence, the
// backup script and the window's life from creation to destruction.
#pragma once

#include <set>
#include <unordered_map>
#include <string>
#include <vector>

#include "app/ImportPlan.h"
#include "app/KeptEntries.h"
#include "app/StartupSources.h"
#include "common/ZorvaneText.h"
#include "components/InternetLabel.h"
#include "components/UKITScan.h"
#include "components/ZorvaneFindFile.h"
#include "components/ZorvaneStatusBar.h"
#include "components/ZorvaneStringGrid.h"
#include "wingui/WinGui.h"

// True when the settings section did not exist as the main window was created; fixed for the run.
extern bool FirstRun;
// The launches of this run, appended to the log file when the window is destroyed.
extern std::string LaunchLog;

class TFrmMain : public TForm {
  public:
    explicit TFrmMain(TComponent* owner);

    // ---- Controls, as the window lays them out ----
    TPanel* pnlAds;
    TzorvaneStatusBar* Status;
    TPanel* pnlMain;
    TEnhancedStrGrid* Grid;
    TPanel* pnlBottom;

    TKITScanner* Scanner;
    TButton* btnStop;
    TPanel* pnlPretty2;
    TLabel* Label1;
    TInternetLabel* lbiHome;
    TInternetLabel* lbiSupport;
    TInternetLabel* lbiZorvane;
    TImage* imgLogo;

    TCheckBox* chkStartSelf;
    TCheckBox* chkEnabled;
    TCheckBox* chkAutoImport;
    TCheckBox* chkAutoClose;
    TCheckBox* chkMinimized;
    TPanel* pnlPretty;
    TButton* btnImport;
    TButton* btnExecute;
    TButton* btnBackup;
    TButton* btnRestore;
    TPanel* Panel1;
    TButton* btnDel;
    TButton* btnAdd;
    TButton* btnRenumber;
    TButton* btnMoveUp;
    TButton* btnDown;

    TTimer* Timer;
    TFindFile* LnkFiles;

    // ---- Event handlers ----
    void FormCreate(TObject* sender);
    void FormDestroy(TObject* sender);
    void chkStartSelfClick(TObject* sender);
    void btnImportClick(TObject* sender);
    void TimerTimer(TObject* sender);
    void btnStopClick(TObject* sender);
    void btnExecuteClick(TObject* sender);
    void chkAutoCloseClick(TObject* sender);
    void btnAddClick(TObject* sender);
    void btnDelClick(TObject* sender);
    void btnMoveUpClick(TObject* sender);
    void btnDownClick(TObject* sender);
    void btnRenumberClick(TObject* sender);
    void GridSelectCell(TObject* sender, int col, int row, bool& canSelect);
    void GridEndEdit(TObject* sender, int col, int row);
    void btnBackupClick(TObject* sender);
    void btnRestoreClick(TObject* sender);

    // ---- The start-up table ----
    int GetDelay(int row);
    void SetDelay(int row, int delay);
    bool IsItemEnabled(int row);
    std::string GetItemName(int row);
    std::string GetItemPath(int row);
    std::string GetItemParams(int row);
    void EnsureAscendingDelays();
    void RenumberDelays(int first);

    // ---- The launch sequence ----
    void StopLaunching();
    void UpdateRunButton();

  private:
    void CreateControls();
    // Loads the table file; false when it could not be read (it is then kept aside, the user is
    // told, and the table holds its header row only).
    [[nodiscard]] bool LoadTable(const std::string& tableFile);
    // Writes the backup script of the table; false, once the user is told (a box, or at log-on the
    // status bar and the error log), when it failed.
    bool WriteBackup();
    std::vector<StartupItem> TableItems();
    std::string TableFileName();
    void SetHeaderRow();
    // Moves an unreadable file aside so nothing overwrites it; returns the new name.
    std::string KeepUnreadableFile(const std::string& fileName);
    // An edit open in the table is taken into it (its end-of-edit sort included).
    void CommitEdit();
    [[nodiscard]] bool SaveTable();

    // ---- Telling the user ----
    // A box when the user acts by hand; while a later start creates its window nobody may have to
    // click, so the text goes to the status bar and the error log instead, once until it changes.
    // `condition` names what is told when the text holds something that differs from start to start
    // for the same condition (a time stamp); empty: the text itself.
    void Tell(MsgKind kind,
              const std::string& text,
              const std::string& statusText = {},
              const std::string& condition = {});
    void TellCollectedNotices();
    bool unattended_ = false;
    std::vector<std::string> notices_;
    std::vector<std::string> noticeConditions_;
    std::string noticeStatus_;

    // ---- The import ----
    void Import(bool automatic);
    // Reads Windows' start-up places; with `tell`, says what cannot be read or taken.
    void CollectSources(StartupSources& sources, bool tell);
    ImportPlan PlanFrom(const StartupSources& sources);
    // Without an import at this start: the rows whose entries Windows started at this log-on.
    void NoteWhatWindowsStarted();
    // The status bar when the user acts; the status bar and the error log at log-on.
    void Report(const std::string& text);
    [[nodiscard]] bool ImportConfirmed();

    // ---- What Windows held: the kept originals and the rows they became ----
    std::string KeptFolder();
    std::string KeptIndexFile();
    std::string KeptShortcutFolder(EntryPlace place);
    std::string KeptCopyOf(const KeptEntry& shortcut);
    // The shortcut entry of the store whose kept copy is file, if any.
    const KeptEntry* ShortcutKeptAs(const KeptEntries& store, const std::string& file);
    void LoadKept();
    [[nodiscard]] bool SaveKept();
    void LinkRowsToKept();
    uint32_t RowKey(int row);
    void SetRowKey(int row, uint32_t key);
    uint32_t NewRowKey();
    std::unordered_map<uint32_t, int> RowsByKey();
    ItemSignature RowSignature(int row);
    std::vector<HeldEntry> HeldEntries();
    void DropKeptRow(uint32_t key);
    // The kept shortcut a row is started through while it still starts what the import gave it.
    const KeptEntry* KeptShortcutOf(uint32_t key, const std::string& path, const std::string& params);
    KeptEntries kept_;
    std::vector<std::string> keptFilesToDelete_;
    // The store was read (or found missing), and may be written; one that could not be read nor
    // kept aside is never written over.
    bool keptReady_ = false;
    bool keptSaveBlocked_ = false;

    // ---- The launch sequence ----
    void LaunchItem(uint32_t key, const std::string& path, const std::string& params);
    void StartSequence();
    // Rows whose entries Windows has started at this log-on already: the automatic import of this
    // start found them in Windows' start-up places.
    std::set<uint32_t> startedByWindows_;
    bool inTick_ = false;

    bool creating_ = false;
    // No Sequora has started the sequence in this log-on session before this start.
    bool firstStartThisSession_ = false;
    // The grid holds the table as it is to be saved: loaded, or set up anew.
    bool tableReady_ = false;
    // The sequence ended and closed the window by itself: nobody is there to answer a box.
    bool closingItself_ = false;
    // The table file could not be read nor moved aside: it is never saved over.
    bool tableSaveBlocked_ = false;
};
