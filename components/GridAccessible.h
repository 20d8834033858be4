// The string grid as Microsoft Active Accessibility shows it to screen readers (and, through its
// proxy, to UI Automation clients): the grid window's OBJID_CLIENT object is a table.
//
// The tree. The table (ROLE_SYSTEM_TABLE) holds every row of the grid, top to bottom, the header
// row 0 included (ROLE_SYSTEM_ROW); each row holds its cells, left to right. A cell is named by
// its column's header, the text of row 0 of its column, and holds its own text as value. Cells in
// fixed rows are ROLE_SYSTEM_COLUMNHEADER, the other cells of fixed columns ROLE_SYSTEM_ROWHEADER,
// all others ROLE_SYSTEM_CELL. The cursor cell is focused while the grid has the keyboard focus,
// the cells of the selection are selected, and locations are screen rectangles of what is in view
// (cells scrolled out of view are offscreen and have no location). Rows are objects of their own,
// made when a client asks for one (get_accChild, accNavigate, accHitTest); cells are simple
// elements, which the row (or the table) that names them answers for, so that reading a cell
// costs a client one call and no object.
//
// Child ids, as every method of an object takes them:
//   table  CHILDID_SELF: the table; 1 .. RowCount: the rows (row + 1), as objects; a negative id:
//          the cell whose row-major index is -id - 1, that is id = -(row * ColCount + col + 1),
//          for every cell whose index fits in a LONG. EVENT_OBJECT_FOCUS (OBJID_CLIENT) names the
//          cursor cell by this id (its row, row + 1, in a grid too large for the cell to have
//          one), and so do the table's get_accFocus, get_accSelection and accNavigate.
//   row    CHILDID_SELF: the row; 1 .. ColCount: its cells (col + 1).
// Ids are positions: after rows move (a sort) an id names whatever cell is there now.
//
// Lifetime. The grid holds one GridAccessible while its window lives; destroying it (with the
// window or the grid) disconnects every object handed out, and clients that still hold one get
// RPC_E_DISCONNECTED from every call. Every method runs on the grid's thread (COM brings calls of
// other processes there) and lets no exception out.
#pragma once

#include <windows.h>

#include <memory>

class TStringGrid;
struct IAccessible;

class GridAccessible {
  public:
    explicit GridAccessible(TStringGrid& grid);
    ~GridAccessible();
    GridAccessible(const GridAccessible&) = delete;
    GridAccessible& operator=(const GridAccessible&) = delete;

    // The answer to WM_GETOBJECT for OBJID_CLIENT: the table, through LresultFromObject.
    LRESULT ClientObjectResult(WPARAM wParam);

    // The table's child id of a cell, or 0 when its index does not fit.
    static LONG CellChildId(int colCount, int col, int row);
    // The child id a focus event gives for the grid's cursor cell.
    static LONG CursorChildId(const TStringGrid& grid);

    struct Link;  // what every object handed out shares: the grid while it is there

  private:
    std::shared_ptr<Link> link_;
    IAccessible* table_ = nullptr;
};
