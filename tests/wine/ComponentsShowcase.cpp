// A window that shows the visual components together, laid out as the main window's side bar
// and status line: for looking at them, not a test.
#include <windows.h>

#include "components/InternetLabel.h"
#include "components/UKITScan.h"
#include "components/ZorvaneStringGrid.h"
#include "components/ZorvaneStatusBar.h"
#include "wingui/WinGui.h"

namespace {

class TShowcaseForm : public TForm {
  public:
    explicit TShowcaseForm(TComponent* owner) : TForm(owner, "TShowcaseForm") {
        SetCaption("Components showcase");
        SetBounds(60, 60, 640, 400);

        auto* side = new TPanel(this);
        side->SetParent(this);
        side->SetWidth(126);
        side->SetAlign(alRight);

        auto* scanner = new TKITScanner(this);
        scanner->SetParent(side);
        scanner->SetBounds(28, 6, 73, 17);
        scanner->SetScanning(true);

        auto* links = new TLabel(this);
        links->SetParent(side);
        links->SetBounds(8, 112, 35, 13);
        links->SetCaption("Links:");
        TFont bold = links->Font();
        bold.Style = fsBold;
        links->SetFont(bold);

        AddLink(side, 136, "How it works", "https://example.com/how-it-works", false);
        AddLink(side, 160, "Online support", "https://example.com/support", true);

        auto* status = new TzorvaneStatusBar(this);
        status->SetParent(this);
        status->SetSimplePanel(true);
        status->SetSimpleText("The program will not shutdown itself");

        // A control placed on the status bar, which only this status bar allows.
        auto* onBar = new TButton(this);
        onBar->SetParent(status);
        onBar->SetBounds(420, 1, 60, 17);
        onBar->SetAnchors(akTop | akRight);
        onBar->SetCaption("On bar");

        AddGrid();
    }

  private:
    // The start-up table as the main window sets it up, with a header row and a few items.
    void AddGrid() {
        auto* grid = new TEnhancedStrGrid(this);
        grid->SetParent(this);
        grid->SetAlign(alClient);
        grid->SetColCount(6);
        grid->SetFixedCols(0);
        grid->SetDefaultColWidth(80);
        grid->SetDefaultRowHeight(15);
        grid->SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect |
                         goDrawFocusSelected | goColSizing | goRowMoving | goEditing | goThumbTracking);
        grid->SetSeparator(" | ");
        grid->SetForceKeepHeaders(true);
        const int widths[] = {53, 71, 283, 80, 80, 35};
        for (int col = 0; col < 6; ++col)
            grid->SetColWidth(col, widths[col]);
        const char* rows[][6] = {
            {"Enabled", "Name", "Full path", "Parameters", "Delay", "Search"},
            {"+", "Notepad", "C:\\windows\\notepad.exe", "", "5", "?"},
            {"+", "Calculator", "C:\\windows\\system32\\calc.exe", "", "7", "?"},
            {"-", "Updater", "C:\\Program Files\\Updater\\update.exe", "/silent", "9", "?"},
            {"+", "Mixer", "C:\\windows\\system32\\sndvol.exe", "-t", "11", "?"},
        };
        grid->SetRowCount(5);
        grid->SetFixedRows(0);
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 6; ++col)
                grid->SetCell(col, row, rows[row][col]);
    }

    void AddLink(TWinControl* parent, int top, const char* caption, const char* link, bool visited) {
        auto* label = new TInternetLabel(this);
        label->SetParent(parent);
        label->SetBounds(27, top, 61, 13);
        TFont font = label->Font();
        font.Style = fsUnderline;  // as the form gives it; the first leave takes it away
        label->SetFont(font);
        label->SetCaption(caption);
        label->SetLink(link);
        label->SetVisited(visited);
        label->SetShowHint(true);
    }
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Application.Initialize();
    Application.SetTitle("Components showcase");
    Application.CreateForm<TShowcaseForm>();
    return Application.Run();
}
