// The main window: the start-up table, its commands, the import, the launch sequence, the
// backup script and the window's life from creation to destruction.
#pragma once

#include <string>
#include <vector>

#include "app/ImportPlan.h"
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
    // Writes the backup script of the table; false, after the error message, when it failed.
    bool WriteBackup();
    std::vector<StartupItem> TableItems();
    std::string TableFileName();
    void SetHeaderRow();
    // Moves an unreadable table file aside so nothing overwrites it; returns the new name.
    std::string KeepUnreadableTable(const std::string& fileName);
};
