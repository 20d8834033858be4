#include "components/GridAccessible.h"

#include <windows.h>
#include <ole2.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "common/ZorvaneTPU.h"
#include "components/StringGrid.h"

// IID_IAccessible is not named anywhere here: linked after oleacc it binds to an import thunk
// instead of the GUID (mingw-w64), so every interface id is written with __uuidof.

struct GridAccessible::Link {
    TStringGrid* grid = nullptr;  // null once disconnected
    HWND hwnd = nullptr;
};

namespace {

using LinkPtr = std::shared_ptr<GridAccessible::Link>;

enum class Kind { Table, Row, Cell };

struct Element {
    Kind kind = Kind::Table;
    int col = 0, row = 0;
    bool operator==(const Element&) const = default;
};

// The boundary of every COM method: nothing thrown gets out, it becomes the method's result.
template <class F>
HRESULT Guard(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

BSTR ToBstr(const std::string& text) {
    const std::wstring wide = AnsiToWide(text);
    BSTR result = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!result)
        throw std::bad_alloc();
    return result;
}

bool IsFixedCell(const TStringGrid& grid, int col, int row) {
    return row < grid.FixedRows() || col < grid.FixedCols();
}

bool IsEditableCell(const TStringGrid& grid, int col, int row) {
    return !IsFixedCell(grid, col, row) && (grid.Options() & goEditing);
}

bool Exists(const TStringGrid& grid, const Element& element) {
    switch (element.kind) {
        case Kind::Table:
            return true;
        case Kind::Row:
            return element.row < grid.RowCount();
        case Kind::Cell:
            return element.row < grid.RowCount() && element.col < grid.ColCount();
    }
    return false;
}

// The element's rectangle in the grid's client area; empty when it is not in view.
RECT ClientBounds(const TStringGrid& grid, HWND hwnd, const Element& element) {
    RECT rect{};
    switch (element.kind) {
        case Kind::Table:
            GetClientRect(hwnd, &rect);
            break;
        case Kind::Row:
            rect = grid.RowRect(element.row);
            break;
        case Kind::Cell:
            rect = grid.CellRect(element.col, element.row);
            break;
    }
    return rect;
}

LONG RoleOf(const TStringGrid& grid, const Element& element) {
    switch (element.kind) {
        case Kind::Table:
            return ROLE_SYSTEM_TABLE;
        case Kind::Row:
            return ROLE_SYSTEM_ROW;
        case Kind::Cell:
            if (element.row < grid.FixedRows())
                return ROLE_SYSTEM_COLUMNHEADER;
            return element.col < grid.FixedCols() ? ROLE_SYSTEM_ROWHEADER : ROLE_SYSTEM_CELL;
    }
    return ROLE_SYSTEM_CLIENT;
}

LONG StateOf(const TStringGrid& grid, HWND hwnd, const Element& element) {
    LONG state = 0;
    if (!IsWindowVisible(hwnd))
        state |= STATE_SYSTEM_INVISIBLE;
    if (!IsWindowEnabled(hwnd))
        state |= STATE_SYSTEM_UNAVAILABLE;
    const bool focused = grid.Focused();
    switch (element.kind) {
        case Kind::Table:
            state |= STATE_SYSTEM_FOCUSABLE | (focused ? STATE_SYSTEM_FOCUSED : 0);
            break;
        case Kind::Row: {
            const RECT rect = grid.RowRect(element.row);
            if (IsRectEmpty(&rect))
                state |= STATE_SYSTEM_OFFSCREEN;
            break;
        }
        case Kind::Cell: {
            const int col = element.col, row = element.row;
            const RECT rect = grid.CellRect(col, row);
            if (grid.ColWidth(col) < 0)
                state |= STATE_SYSTEM_INVISIBLE;
            else if (IsRectEmpty(&rect))
                state |= STATE_SYSTEM_OFFSCREEN;
            if (IsFixedCell(grid, col, row)) {
                state |= STATE_SYSTEM_READONLY;
                break;
            }
            state |= STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE;
            if (!(grid.Options() & goEditing))
                state |= STATE_SYSTEM_READONLY;
            if (grid.Selection().Contains(col, row))
                state |= STATE_SYSTEM_SELECTED;
            if (focused && col == grid.Col() && row == grid.Row())
                state |= STATE_SYSTEM_FOCUSED;
            break;
        }
    }
    return state;
}

void SetEmpty(VARIANT* out) {
    VariantInit(out);
}

void SetId(VARIANT* out, LONG id) {
    out->vt = VT_I4;
    out->lVal = id;
}

// The id a cell has as a child of the table (negative) or of its row (col + 1); 0 when the object
// cannot name it.
LONG CellIdIn(const TStringGrid& grid, const Element& container, int col, int row) {
    if (container.kind == Kind::Table)
        return GridAccessible::CellChildId(grid.ColCount(), col, row);
    return container.kind == Kind::Row && container.row == row ? static_cast<LONG>(col) + 1 : 0;
}

// A table or a row; the cells are the simple elements these answer for.
class AccessibleElement final : public IAccessible {
  public:
    AccessibleElement(LinkPtr link, Element self) : link_(std::move(link)), self_(self) {}

    // A new object for a table or row, with one reference for the caller.
    static AccessibleElement* Make(const LinkPtr& link, Element element) {
        return new AccessibleElement(link, element);
    }

    // ---- IUnknown ----
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG refs = InterlockedDecrement(&refs_);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

    // ---- IDispatch: readers use the IAccessible methods themselves ----
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE
    Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // ---- IAccessible: the tree ----
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent)
            return E_POINTER;
        *parent = nullptr;
        return WithSelf([&](TStringGrid&, const Element&) -> HRESULT {
            if (self_.kind == Kind::Row) {
                *parent = Make(link_, Element{Kind::Table, 0, 0});
                return S_OK;
            }
            // The grid window's own object, whose client this table is.
            return CreateStdAccessibleObject(link_->hwnd, OBJID_WINDOW, __uuidof(IDispatch),
                                             reinterpret_cast<void**>(parent));
        });
    }

    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!count)
            return E_POINTER;
        *count = 0;
        return WithSelf([&](TStringGrid& grid, const Element&) -> HRESULT {
            *count = ChildCount(grid);
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT id, IDispatch** child) override {
        if (!child)
            return E_POINTER;
        *child = nullptr;
        return WithElement(id, [&](TStringGrid&, const Element& element) -> HRESULT {
            if (element == self_)
                return E_INVALIDARG;
            if (element.kind == Kind::Cell)
                return S_FALSE;  // a simple element: this object answers for it
            *child = Make(link_, element);
            return S_OK;
        });
    }

    // ---- IAccessible: what an element is ----
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* name) override {
        if (!name)
            return E_POINTER;
        *name = nullptr;
        return WithElement(id, [&](TStringGrid& grid, const Element& element) -> HRESULT {
            std::string text;
            if (element.kind == Kind::Table)
                text = grid.Caption();
            else if (element.kind == Kind::Cell)
                text = grid.Cell(element.col, 0);  // the column's header
            if (text.empty())
                return S_FALSE;
            *name = ToBstr(text);
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT id, BSTR* value) override {
        if (!value)
            return E_POINTER;
        *value = nullptr;
        return WithElement(id, [&](TStringGrid& grid, const Element& element) -> HRESULT {
            if (element.kind != Kind::Cell)
                return DISP_E_MEMBERNOTFOUND;
            *value = ToBstr(grid.Cell(element.col, element.row));
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT id, BSTR* description) override {
        return NoText(id, description);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT id, BSTR* help) override { return NoText(id, help); }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT id, BSTR* shortcut) override {
        return NoText(id, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT id, LONG* topic) override {
        if (topic)
            *topic = 0;
        return NoText(id, file);
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* role) override {
        if (!role)
            return E_POINTER;
        SetEmpty(role);
        return WithElement(id, [&](TStringGrid& grid, const Element& element) -> HRESULT {
            SetId(role, RoleOf(grid, element));
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* state) override {
        if (!state)
            return E_POINTER;
        SetEmpty(state);
        return WithElement(id, [&](TStringGrid& grid, const Element& element) -> HRESULT {
            SetId(state, StateOf(grid, link_->hwnd, element));
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE
    accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT id) override {
        if (!left || !top || !width || !height)
            return E_POINTER;
        *left = *top = *width = *height = 0;
        return WithElement(id, [&](TStringGrid& grid, const Element& element) -> HRESULT {
            RECT rect = ClientBounds(grid, link_->hwnd, element);
            if (IsRectEmpty(&rect))
                return S_FALSE;
            MapWindowPoints(link_->hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
            *left = rect.left;
            *top = rect.top;
            *width = rect.right - rect.left;
            *height = rect.bottom - rect.top;
            return S_OK;
        });
    }

    // ---- IAccessible: focus and selection ----
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!focus)
            return E_POINTER;
        SetEmpty(focus);
        return WithSelf([&](TStringGrid& grid, const Element&) -> HRESULT {
            if (!grid.Focused())
                return S_FALSE;
            const Element cursor{Kind::Cell, grid.Col(), grid.Row()};
            if (SetElement(focus, grid, cursor))
                return S_OK;
            if (self_.kind == Kind::Table) {
                // A cell beyond the ids: the row that holds it.
                SetElement(focus, grid, Element{Kind::Row, 0, cursor.row});
                return S_OK;
            }
            return S_FALSE;
        });
    }

    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override;

    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT id) override {
        return WithElement(id, [&](TStringGrid& grid, const Element& element) -> HRESULT {
            constexpr LONG kSupported = SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION | SELFLAG_EXTENDSELECTION;
            // The grid selects one range from the cursor's anchor: no cell is added or left out
            // on its own.
            if (flags == SELFLAG_NONE || (flags & ~kSupported))
                return E_INVALIDARG;
            if (element.kind == Kind::Table && flags == SELFLAG_TAKEFOCUS) {
                grid.SetFocus();
                return S_OK;
            }
            if (element.kind != Kind::Cell || IsFixedCell(grid, element.col, element.row))
                return E_INVALIDARG;
            if (flags & SELFLAG_TAKEFOCUS)
                grid.SetFocus();
            const bool extend = (flags & SELFLAG_EXTENDSELECTION) && !(flags & SELFLAG_TAKESELECTION);
            return grid.MoveCursor(element.col, element.row, extend) ? S_OK : S_FALSE;
        });
    }

    // ---- IAccessible: where things are ----
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        if (!end)
            return E_POINTER;
        SetEmpty(end);
        return WithElement(start, [&](TStringGrid& grid, const Element& from) -> HRESULT {
            std::optional<Element> target;
            switch (direction) {
                case NAVDIR_FIRSTCHILD:
                case NAVDIR_LASTCHILD: {
                    if (!(from == self_))
                        return E_INVALIDARG;  // a simple element has no children
                    const bool first = direction == NAVDIR_FIRSTCHILD;
                    if (self_.kind == Kind::Table)
                        target = Element{Kind::Row, 0, first ? 0 : grid.RowCount() - 1};
                    else
                        target = Element{Kind::Cell, first ? 0 : grid.ColCount() - 1, self_.row};
                    break;
                }
                case NAVDIR_UP:
                case NAVDIR_DOWN:
                case NAVDIR_LEFT:
                case NAVDIR_RIGHT:
                case NAVDIR_NEXT:
                case NAVDIR_PREVIOUS:
                    target = Neighbour(grid, from, direction);
                    break;
                default:
                    return E_INVALIDARG;
            }
            // A row names only its own cells: going up or down from one of them is the table's.
            return target && SetElement(end, grid, *target) ? S_OK : S_FALSE;
        });
    }

    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
        if (!hit)
            return E_POINTER;
        SetEmpty(hit);
        return WithSelf([&](TStringGrid& grid, const Element&) -> HRESULT {
            POINT point{x, y};
            ScreenToClient(link_->hwnd, &point);
            const RECT own = ClientBounds(grid, link_->hwnd, self_);
            if (!PtInRect(&own, point))
                return S_FALSE;
            int col = -1, row = -1;
            grid.MouseToCell(point.x, point.y, col, row);
            // The child under the point: a row of the table, a cell of a row.
            if (self_.kind == Kind::Table && row >= 0 && col >= 0)
                SetElement(hit, grid, Element{Kind::Row, 0, row});
            else if (self_.kind == Kind::Row && row == self_.row && col >= 0)
                SetElement(hit, grid, Element{Kind::Cell, col, row});
            else
                SetId(hit, CHILDID_SELF);
            return S_OK;
        });
    }

    // ---- IAccessible: a cell's action, editing it in place ----
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT id, BSTR* action) override {
        if (!action)
            return E_POINTER;
        *action = nullptr;
        return WithElement(id, [&](TStringGrid& grid, const Element& element) -> HRESULT {
            if (element.kind != Kind::Cell || !IsEditableCell(grid, element.col, element.row))
                return DISP_E_MEMBERNOTFOUND;
            *action = ToBstr("Edit");
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT id) override {
        return WithElement(id, [&](TStringGrid& grid, const Element& element) -> HRESULT {
            if (element.kind != Kind::Cell || !IsEditableCell(grid, element.col, element.row))
                return DISP_E_MEMBERNOTFOUND;
            if (!grid.MoveCursor(element.col, element.row, false))
                return S_FALSE;  // the selection handler kept the cursor elsewhere
            grid.SetFocus();
            grid.SetEditorMode(true);
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }

  private:
    LONG ChildCount(const TStringGrid& grid) const {
        return self_.kind == Kind::Table ? grid.RowCount() : grid.ColCount();
    }

    ~AccessibleElement() = default;

    // The grid while the window this object was made for is its window.
    TStringGrid* Grid() const {
        TStringGrid* grid = link_->grid;
        return grid && grid->HandleAllocated() && grid->Handle() == link_->hwnd ? grid : nullptr;
    }

    // The element a child id names from this object; nullopt when it names nothing (any more).
    std::optional<Element> Resolve(const VARIANT& id, const TStringGrid& grid) const {
        if (!Exists(grid, self_))
            return std::nullopt;
        LONG child = CHILDID_SELF;
        if (id.vt == VT_I4)
            child = id.lVal;
        else if (id.vt != VT_EMPTY)
            return std::nullopt;
        if (child == CHILDID_SELF)
            return self_;
        if (self_.kind == Kind::Row) {
            if (child < 1 || child > grid.ColCount())
                return std::nullopt;
            return Element{Kind::Cell, child - 1, self_.row};
        }
        if (child > 0)
            return child <= grid.RowCount() ? std::optional(Element{Kind::Row, 0, child - 1}) : std::nullopt;
        const int64_t index = -static_cast<int64_t>(child) - 1;
        const int64_t row = index / grid.ColCount();
        if (index >= LONG_MAX || row >= grid.RowCount())
            return std::nullopt;
        return Element{Kind::Cell, static_cast<int>(index % grid.ColCount()), static_cast<int>(row)};
    }

    // Puts an element into a result as a client takes it from this object: a row as an object, a
    // cell by its id here. False when this object cannot name the cell.
    bool SetElement(VARIANT* out, const TStringGrid& grid, const Element& element) const {
        if (element.kind == Kind::Row) {
            out->vt = VT_DISPATCH;
            out->pdispVal = Make(link_, element);
            return true;
        }
        const LONG id = element.kind == Kind::Cell ? CellIdIn(grid, self_, element.col, element.row) : 0;
        if (id == 0)
            return false;
        SetId(out, id);
        return true;
    }

    template <class F>
    HRESULT WithElement(const VARIANT& id, F&& body) noexcept {
        return Guard([&]() -> HRESULT {
            TStringGrid* grid = Grid();
            if (!grid)
                return RPC_E_DISCONNECTED;
            const std::optional<Element> element = Resolve(id, *grid);
            if (!element)
                return E_INVALIDARG;
            return body(*grid, *element);
        });
    }

    template <class F>
    HRESULT WithSelf(F&& body) noexcept {
        VARIANT self;
        SetId(&self, CHILDID_SELF);
        return WithElement(self, std::forward<F>(body));
    }

    // For the texts no element has: the id is checked all the same.
    HRESULT NoText(const VARIANT& id, BSTR* text) {
        if (!text)
            return E_POINTER;
        *text = nullptr;
        return WithElement(id, [](TStringGrid&, const Element&) -> HRESULT { return DISP_E_MEMBERNOTFOUND; });
    }

    // The row above or below a row; the cell beside, above or below a cell. Previous and next run
    // along a row's cells and along the table's rows.
    static std::optional<Element> Neighbour(const TStringGrid& grid, const Element& from, LONG direction) {
        if (from.kind == Kind::Table)
            return std::nullopt;  // the table's siblings are the window's
        const bool row = from.kind == Kind::Row;
        int dCol = 0, dRow = 0;
        switch (direction) {
            case NAVDIR_UP:
                dRow = -1;
                break;
            case NAVDIR_DOWN:
                dRow = 1;
                break;
            case NAVDIR_LEFT:
                dCol = -1;
                break;
            case NAVDIR_RIGHT:
                dCol = 1;
                break;
            case NAVDIR_PREVIOUS:
                (row ? dRow : dCol) = -1;
                break;
            case NAVDIR_NEXT:
                (row ? dRow : dCol) = 1;
                break;
            default:
                break;
        }
        if (row && dCol != 0)
            return std::nullopt;  // rows lie in one column
        const int64_t col = static_cast<int64_t>(from.col) + dCol;
        const int64_t r = static_cast<int64_t>(from.row) + dRow;
        if (col < 0 || r < 0 || col >= grid.ColCount() || r >= grid.RowCount())
            return std::nullopt;
        return Element{from.kind, static_cast<int>(col), static_cast<int>(r)};
    }

    LONG refs_ = 1;
    LinkPtr link_;
    Element self_;
};

// The selected cells of a table or a row, by their ids there, counted out as the client reads.
class SelectionEnumerator final : public IEnumVARIANT {
  public:
    SelectionEnumerator(LinkPtr link, Element container, GridRect cells, int64_t position = 0)
        : link_(std::move(link)), container_(container), cells_(cells), position_(position) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IEnumVARIANT)) {
            *object = static_cast<IEnumVARIANT*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG refs = InterlockedDecrement(&refs_);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* items, ULONG* fetched) override {
        if (fetched)
            *fetched = 0;
        if (!items)
            return E_POINTER;
        return Guard([&]() -> HRESULT {
            const TStringGrid* grid = link_->grid;
            if (!grid)
                return RPC_E_DISCONNECTED;
            ULONG done = 0;
            const int64_t width = static_cast<int64_t>(cells_.right) - cells_.left + 1;
            for (; done < count && position_ < Count(); ++position_) {
                const int col = cells_.left + static_cast<int>(position_ % width);
                const int row = cells_.top + static_cast<int>(position_ / width);
                const LONG id = CellIdIn(*grid, container_, col, row);
                if (id != 0)
                    SetId(&items[done++], id);
            }
            if (fetched)
                *fetched = done;
            return done == count ? S_OK : S_FALSE;
        });
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const int64_t target = position_ + count;
        position_ = std::min(target, Count());
        return target <= Count() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override {
        if (!copy)
            return E_POINTER;
        *copy = nullptr;
        return Guard([&]() -> HRESULT {
            *copy = new SelectionEnumerator(link_, container_, cells_, position_);
            return S_OK;
        });
    }

  private:
    ~SelectionEnumerator() = default;
    int64_t Count() const {
        return (static_cast<int64_t>(cells_.right) - cells_.left + 1) *
               (static_cast<int64_t>(cells_.bottom) - cells_.top + 1);
    }

    LONG refs_ = 1;
    LinkPtr link_;
    Element container_;
    GridRect cells_;
    int64_t position_;
};

HRESULT STDMETHODCALLTYPE AccessibleElement::get_accSelection(VARIANT* selection) {
    if (!selection)
        return E_POINTER;
    SetEmpty(selection);
    return WithSelf([&](TStringGrid& grid, const Element&) -> HRESULT {
        GridRect cells = grid.Selection();
        if (self_.kind == Kind::Row) {
            if (self_.row < cells.top || self_.row > cells.bottom)
                return S_FALSE;
            cells.top = cells.bottom = self_.row;
        }
        if (cells.left == cells.right && cells.top == cells.bottom)
            return SetElement(selection, grid, Element{Kind::Cell, cells.left, cells.top}) ? S_OK : S_FALSE;
        selection->vt = VT_UNKNOWN;
        selection->punkVal = new SelectionEnumerator(link_, self_, cells);
        return S_OK;
    });
}

}  // namespace

GridAccessible::GridAccessible(TStringGrid& grid) : link_(std::make_shared<Link>()) {
    link_->grid = &grid;
    link_->hwnd = grid.Handle();
    table_ = AccessibleElement::Make(link_, Element{Kind::Table, 0, 0});
}

GridAccessible::~GridAccessible() {
    // From here on every object handed out answers RPC_E_DISCONNECTED; the stubs that other
    // processes call through let go of the table at once.
    link_->grid = nullptr;
    CoDisconnectObject(table_, 0);
    table_->Release();
}

LRESULT GridAccessible::ClientObjectResult(WPARAM wParam) {
    return LresultFromObject(__uuidof(IAccessible), wParam, table_);
}

LONG GridAccessible::CellChildId(int colCount, int col, int row) {
    const int64_t index = static_cast<int64_t>(row) * colCount + col;
    if (index < 0 || index >= LONG_MAX)
        return 0;
    return -static_cast<LONG>(index + 1);
}

LONG GridAccessible::CursorChildId(const TStringGrid& grid) {
    const LONG cell = CellChildId(grid.ColCount(), grid.Col(), grid.Row());
    return cell != 0 ? cell : static_cast<LONG>(grid.Row()) + 1;
}
