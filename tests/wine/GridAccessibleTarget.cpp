// A window with one string grid of known cells (GridTargetCells.h), for tests that read the grid
// from their own process as a screen reader does. The grid has the focus, its cursor on the first
// item's first cell; the program runs until its window is closed.
#include <windows.h>
#include <objbase.h>

#include "components/ZorvaneStringGrid.h"
#include "tests/wine/GridTargetCells.h"
#include "wingui/WinGui.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Application.Initialize();
    auto* form = Application.CreateForm<TForm>("GridTargetForm");
    form->SetCaption("Grid target");
    form->SetBounds(60, 60, 520, 240);
    auto* grid = new TEnhancedStrGrid(form);
    grid->SetParent(form);
    grid->SetBounds(8, 8, 480, 180);
    const auto& cells = gridtarget::kCells;
    grid->SetRowCount(static_cast<int>(cells.size()));
    grid->SetColCount(static_cast<int>(cells[0].size()));
    for (int r = 0; r < grid->RowCount(); ++r)
        for (int c = 0; c < grid->ColCount(); ++c)
            grid->SetCell(c, r, cells[static_cast<size_t>(r)][static_cast<size_t>(c)]);
    grid->SetColWidth(2, 200);
    grid->SetCol(0);
    grid->SetRow(1);
    form->Show();
    grid->SetFocus();
    const int exitCode = Application.Run();
    if (SUCCEEDED(com))
        CoUninitialize();
    return exitCode;
}
