// The grid's accessible table: read from another process as a screen reader reads it (the grid of
// grid_target.exe, through oleacc and out-of-context focus events), and in detail in this one.
#include <windows.h>
#include <ole2.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "components/GridAccessible.h"
#include "tests/e2e/UiDriver.h"
#include "tests/wine/GridTargetCells.h"
#include "tests/wine/GridTestSupport.h"

#ifndef SEQUORA_GRID_TARGET
#error "SEQUORA_GRID_TARGET must name the built grid_target.exe"
#endif

using Microsoft::WRL::ComPtr;
using namespace gridtest;

namespace {

constexpr DWORD kTimeoutMs = 20000;

VARIANT Id(LONG id) {
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_I4;
    variant.lVal = id;
    return variant;
}

std::string Text(BSTR text) {
    std::string result = e2e::NarrowText(text, text ? static_cast<int>(SysStringLen(text)) : 0);
    SysFreeString(text);
    return result;
}

// What a client holds: an object (id CHILDID_SELF) or a simple element the object answers for.
struct Element {
    ComPtr<IAccessible> object;
    LONG id = CHILDID_SELF;
    explicit operator bool() const { return object != nullptr; }
};

// The element a result names, as from takes it: an object of its own, or an id of from's.
Element FromResult(IAccessible* from, VARIANT& result) {
    Element element;
    if (result.vt == VT_DISPATCH && result.pdispVal) {
        result.pdispVal->QueryInterface(__uuidof(IAccessible),
                                        reinterpret_cast<void**>(element.object.GetAddressOf()));
    } else if (result.vt == VT_I4) {
        element.object = from;
        element.id = result.lVal;
    }
    VariantClear(&result);
    return element;
}

LONG Role(const Element& e) {
    VARIANT role;
    VariantInit(&role);
    if (FAILED(e.object->get_accRole(Id(e.id), &role)) || role.vt != VT_I4)
        return -1;
    return role.lVal;
}

LONG State(const Element& e) {
    VARIANT state;
    VariantInit(&state);
    if (FAILED(e.object->get_accState(Id(e.id), &state)) || state.vt != VT_I4)
        return -1;
    return state.lVal;
}

// Empty also when the element has none (S_FALSE).
std::string Name(const Element& e) {
    BSTR name = nullptr;
    return SUCCEEDED(e.object->get_accName(Id(e.id), &name)) ? Text(name) : "(failed)";
}

std::string Value(const Element& e) {
    BSTR value = nullptr;
    return SUCCEEDED(e.object->get_accValue(Id(e.id), &value)) ? Text(value) : "(failed)";
}

// The children as a reader gets them with AccessibleChildren.
std::vector<Element> Children(IAccessible* parent) {
    LONG count = 0;
    if (FAILED(parent->get_accChildCount(&count)) || count <= 0)
        return {};
    std::vector<VARIANT> items(static_cast<size_t>(count));
    LONG obtained = 0;
    if (FAILED(AccessibleChildren(parent, 0, count, items.data(), &obtained)))
        return {};
    std::vector<Element> children;
    for (LONG i = 0; i < obtained; ++i)
        children.push_back(FromResult(parent, items[static_cast<size_t>(i)]));
    return children;
}

Element Child(IAccessible* parent, LONG id) {
    VARIANT child = Id(id);
    ComPtr<IDispatch> dispatch;
    if (parent->get_accChild(child, dispatch.GetAddressOf()) == S_OK && dispatch) {
        VARIANT result;
        result.vt = VT_DISPATCH;
        result.pdispVal = dispatch.Detach();
        return FromResult(parent, result);
    }
    return Element{ComPtr<IAccessible>(parent), id};
}

ComPtr<IAccessible> TableOf(HWND grid) {
    ComPtr<IAccessible> table;
    AccessibleObjectFromWindow(grid, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                               reinterpret_cast<void**>(table.GetAddressOf()));
    return table;
}

RECT ScreenRectOf(const Element& e, HRESULT* result = nullptr) {
    LONG x = 0, y = 0, width = 0, height = 0;
    const HRESULT hr = e.object->accLocation(&x, &y, &width, &height, Id(e.id));
    if (result)
        *result = hr;
    return RECT{x, y, x + width, y + height};
}

RECT ToScreen(HWND window, RECT rect) {
    MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// A rectangle's edges, to compare and print.
std::tuple<LONG, LONG, LONG, LONG> Edges(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// The ids an IEnumVARIANT of simple elements gives.
std::set<LONG> EnumeratedIds(VARIANT& selection) {
    std::set<LONG> ids;
    if (selection.vt == VT_I4)
        ids.insert(selection.lVal);
    ComPtr<IEnumVARIANT> items;
    if (selection.vt == VT_UNKNOWN && selection.punkVal &&
        SUCCEEDED(selection.punkVal->QueryInterface(__uuidof(IEnumVARIANT),
                                                    reinterpret_cast<void**>(items.GetAddressOf())))) {
        VARIANT item;
        ULONG fetched = 0;
        while (items->Next(1, &item, &fetched) == S_OK && fetched == 1) {
            if (item.vt == VT_I4)
                ids.insert(item.lVal);
            VariantClear(&item);
        }
    }
    VariantClear(&selection);
    return ids;
}

// Focus events of another process, received out of context as a screen reader receives them.
class FocusEvents {
  public:
    struct Event {
        HWND hwnd;
        LONG object, child;
    };

    explicit FocusEvents(DWORD processId) {
        sink_ = this;
        hook_ = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, &FocusEvents::Received,
                                processId, 0, WINEVENT_OUTOFCONTEXT);
    }
    ~FocusEvents() {
        if (hook_)
            UnhookWinEvent(hook_);
        sink_ = nullptr;
    }
    FocusEvents(const FocusEvents&) = delete;
    FocusEvents& operator=(const FocusEvents&) = delete;

    bool Hooked() const { return hook_ != nullptr; }
    void Clear() { events_.clear(); }
    // Runs this thread's messages (the events come as messages) until an event for the window's
    // client arrives; the last such event.
    std::optional<Event> WaitFor(HWND hwnd, DWORD timeoutMs) {
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        for (;;) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            for (auto event = events_.rbegin(); event != events_.rend(); ++event)
                if (event->hwnd == hwnd && event->object == OBJID_CLIENT)
                    return *event;
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline)
                return std::nullopt;
            MsgWaitForMultipleObjects(
                0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 50)), QS_ALLINPUT);
        }
    }

  private:
    static void CALLBACK Received(HWINEVENTHOOK, DWORD, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
        if (sink_)
            sink_->events_.push_back({hwnd, object, child});
    }
    static inline FocusEvents* sink_ = nullptr;
    HWINEVENTHOOK hook_ = nullptr;
    std::vector<Event> events_;
};

// grid_target.exe, started for each test and ended after it.
class GridReader : public testing::Test {
  protected:
    void SetUp() override {
        target =
            std::make_unique<e2e::Process>(e2e::Process::Start(e2e::HostPathToWindows(SEQUORA_GRID_TARGET)));
        window = e2e::WaitForTopLevelWindow(target->Id(), "GridTargetForm", kTimeoutMs);
        ASSERT_NE(window, nullptr);
        grid = e2e::FindChild(window, "TEnhancedStrGrid");
        ASSERT_NE(grid, nullptr);
    }

    std::unique_ptr<e2e::Process> target;
    HWND window = nullptr;
    HWND grid = nullptr;
};

}  // namespace

TEST_F(GridReader, AReaderInAnotherProcessFindsEveryCellByRowAndColumnAndFollowsTheCursor) {
    const auto& cells = gridtarget::kCells;
    ComPtr<IAccessible> table = TableOf(grid);
    ASSERT_TRUE(table);
    EXPECT_EQ(Role({table, CHILDID_SELF}), ROLE_SYSTEM_TABLE);
    EXPECT_EQ(e2e::WindowText(grid), "") << "the window text no longer carries the table";

    const std::vector<Element> rows = Children(table.Get());
    ASSERT_EQ(rows.size(), cells.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        ASSERT_TRUE(rows[r]);
        ASSERT_EQ(rows[r].id, CHILDID_SELF) << "rows are objects";
        EXPECT_EQ(Role(rows[r]), ROLE_SYSTEM_ROW);
        const std::vector<Element> rowCells = Children(rows[r].object.Get());
        ASSERT_EQ(rowCells.size(), cells[r].size());
        for (size_t c = 0; c < rowCells.size(); ++c) {
            SCOPED_TRACE(testing::Message() << "row " << r << ", column " << c);
            EXPECT_EQ(Role(rowCells[c]), r == 0 ? ROLE_SYSTEM_COLUMNHEADER : ROLE_SYSTEM_CELL);
            EXPECT_EQ(Name(rowCells[c]), cells[0][c]) << "named by the column's header";
            EXPECT_EQ(Value(rowCells[c]), cells[r][c]);
        }
    }

    FocusEvents events(target->Id());
    ASSERT_TRUE(events.Hooked());
    struct Move {
        WPARAM key;
        int col, row;
    } moves[] = {{VK_RIGHT, 1, 1}, {VK_DOWN, 1, 2}, {VK_END, 2, 2}, {VK_DOWN, 2, 3}, {VK_HOME, 0, 3}};
    for (const Move& move : moves) {
        SCOPED_TRACE(testing::Message() << "to column " << move.col << ", row " << move.row);
        events.Clear();
        PostMessageA(grid, WM_KEYDOWN, move.key, 1);
        PostMessageA(grid, WM_KEYUP, move.key, static_cast<LPARAM>(0xC0000001u));
        const std::optional<FocusEvents::Event> event = events.WaitFor(grid, 5000);
        ASSERT_TRUE(event.has_value());
        EXPECT_EQ(event->child, -(move.row * 3 + move.col + 1)) << "the cell's id in the table";
        ComPtr<IAccessible> object;
        VARIANT child;
        VariantInit(&child);
        ASSERT_EQ(AccessibleObjectFromEvent(event->hwnd, static_cast<DWORD>(event->object),
                                            static_cast<DWORD>(event->child), object.GetAddressOf(), &child),
                  S_OK);
        const Element focused = FromResult(object.Get(), child);
        ASSERT_TRUE(focused);
        EXPECT_EQ(Value(focused), cells[static_cast<size_t>(move.row)][static_cast<size_t>(move.col)]);
        EXPECT_EQ(Name(focused), cells[0][static_cast<size_t>(move.col)]);
        EXPECT_EQ(Role(focused), ROLE_SYSTEM_CELL);
        EXPECT_EQ(State(focused) & (STATE_SYSTEM_FOCUSED | STATE_SYSTEM_SELECTED),
                  STATE_SYSTEM_FOCUSED | STATE_SYSTEM_SELECTED);
        // The table says the same when asked.
        VARIANT focus;
        VariantInit(&focus);
        ASSERT_EQ(table->get_accFocus(&focus), S_OK);
        EXPECT_EQ(focus.vt, VT_I4);
        EXPECT_EQ(focus.lVal, event->child);
        VariantClear(&focus);
    }
}

TEST_F(GridReader, AReaderStillHoldingTheTableWhenTheGridWindowGoesIsToldItIsDisconnected) {
    ComPtr<IAccessible> table = TableOf(grid);
    ASSERT_TRUE(table);
    const Element row = Child(table.Get(), 2);
    ASSERT_TRUE(row);
    ASSERT_EQ(Value({row.object, 2}), "Editor");

    // A child window's default answer to WM_CLOSE is to destroy itself; the program goes on.
    PostMessageA(grid, WM_CLOSE, 0, 0);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(grid); }, kTimeoutMs));
    auto disconnected = [](HRESULT hr) { return hr == RPC_E_DISCONNECTED || hr == CO_E_OBJNOTCONNECTED; };
    VARIANT role;
    VariantInit(&role);
    EXPECT_PRED1(disconnected, table->get_accRole(Id(CHILDID_SELF), &role));
    LONG count = 0;
    EXPECT_PRED1(disconnected, table->get_accChildCount(&count));
    BSTR value = nullptr;
    EXPECT_PRED1(disconnected, row.object->get_accValue(Id(2), &value));
    EXPECT_EQ(value, nullptr);
    EXPECT_TRUE(target->Running());
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer), 0);
}

// ---- In this process, with the grid of the shared form ------------------------------------------

TEST_F(GridTest, AccessibleCellsAndRowsLieWhereTheyAreDrawnAndAreFoundByPoint) {
    ComPtr<IAccessible> table = TableOf(grid->Handle());
    ASSERT_TRUE(table);
    const HWND hwnd = grid->Handle();
    struct Probe {
        int col, row;
    } probes[] = {{0, 0}, {2, 1}, {1, 4}};
    for (const Probe& p : probes) {
        SCOPED_TRACE(testing::Message() << "column " << p.col << ", row " << p.row);
        const RECT drawn = ToScreen(hwnd, grid->CellRect(p.col, p.row));
        const Element inTable{table, GridAccessible::CellChildId(3, p.col, p.row)};
        const Element row = Child(table.Get(), p.row + 1);
        ASSERT_TRUE(row);
        const Element inRow{row.object, p.col + 1};
        EXPECT_EQ(Edges(ScreenRectOf(inTable)), Edges(drawn));
        EXPECT_EQ(Edges(ScreenRectOf(inRow)), Edges(drawn));
        EXPECT_EQ(Value(inTable), grid->Cell(p.col, p.row));
        const RECT band = ScreenRectOf(row);
        EXPECT_EQ(band.top, drawn.top);
        EXPECT_EQ(band.bottom, drawn.bottom);
        EXPECT_EQ(band.left, ToScreen(hwnd, grid->CellRect(0, p.row)).left);
        EXPECT_EQ(band.right, ToScreen(hwnd, grid->CellRect(2, p.row)).right);

        // At the cell's centre the table finds the row, the row the cell.
        const LONG x = (drawn.left + drawn.right) / 2, y = (drawn.top + drawn.bottom) / 2;
        VARIANT hit;
        ASSERT_EQ(table->accHitTest(x, y, &hit), S_OK);
        const Element hitRow = FromResult(table.Get(), hit);
        ASSERT_TRUE(hitRow);
        EXPECT_EQ(Role(hitRow), ROLE_SYSTEM_ROW);
        ASSERT_EQ(hitRow.object->accHitTest(x, y, &hit), S_OK);
        const Element hitCell = FromResult(hitRow.object.Get(), hit);
        EXPECT_EQ(hitCell.id, p.col + 1);
        EXPECT_EQ(Value(hitCell), grid->Cell(p.col, p.row));
    }
    // Beside the grid there is nothing of it.
    const RECT whole = ToScreen(hwnd, RECT{0, 0, 0, 0});
    VARIANT hit;
    EXPECT_EQ(table->accHitTest(whole.left - 2, whole.top - 2, &hit), S_FALSE);
    EXPECT_EQ(hit.vt, VT_EMPTY);

    // Rows scrolled away and hidden columns have no place on the screen.
    grid->SetRowCount(200);
    grid->SetColWidth(2, -1);
    const LONG farCell = GridAccessible::CellChildId(3, 0, 150);
    HRESULT located = S_OK;
    const RECT nowhere = ScreenRectOf({table, farCell}, &located);
    EXPECT_EQ(located, S_FALSE);
    EXPECT_TRUE(IsRectEmpty(&nowhere));
    EXPECT_TRUE(State({table, farCell}) & STATE_SYSTEM_OFFSCREEN);
    EXPECT_TRUE(State(Child(table.Get(), 151)) & STATE_SYSTEM_OFFSCREEN);
    EXPECT_FALSE(State({table, GridAccessible::CellChildId(3, 0, 2)}) &
                 (STATE_SYSTEM_OFFSCREEN | STATE_SYSTEM_INVISIBLE));
    EXPECT_TRUE(State({table, GridAccessible::CellChildId(3, 2, 2)}) & STATE_SYSTEM_INVISIBLE);
}

TEST_F(GridTest, AccessibleStatesAndSelectionFollowTheGridsSelectionAndFocus) {
    ComPtr<IAccessible> table = TableOf(grid->Handle());
    ASSERT_TRUE(table);
    KeyWith(grid->Handle(), VK_RIGHT, ssShift);
    KeyWith(grid->Handle(), VK_DOWN, ssShift);
    ASSERT_EQ(grid->Selection(), (GridRect{0, 1, 1, 2}));
    auto id = [](int col, int row) { return GridAccessible::CellChildId(3, col, row); };
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 3; ++c) {
            SCOPED_TRACE(testing::Message() << "column " << c << ", row " << r);
            const LONG state = State({table, id(c, r)});
            if (r == 0) {
                EXPECT_EQ(state & (STATE_SYSTEM_READONLY | STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE),
                          STATE_SYSTEM_READONLY)
                    << "headers are read, not chosen";
                continue;
            }
            const bool inRange = c <= 1 && r <= 2;
            EXPECT_EQ((state & STATE_SYSTEM_SELECTED) != 0, inRange);
            EXPECT_EQ((state & STATE_SYSTEM_FOCUSED) != 0, c == 1 && r == 2);
            EXPECT_EQ(state & (STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_READONLY),
                      STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE);
        }
    }
    VARIANT focus;
    ASSERT_EQ(table->get_accFocus(&focus), S_OK);
    EXPECT_EQ(focus.vt, VT_I4);
    EXPECT_EQ(focus.lVal, id(1, 2));
    VARIANT selection;
    ASSERT_EQ(table->get_accSelection(&selection), S_OK);
    EXPECT_EQ(EnumeratedIds(selection), (std::set<LONG>{id(0, 1), id(1, 1), id(0, 2), id(1, 2)}));
    const Element row2 = Child(table.Get(), 3);
    ASSERT_EQ(row2.object->get_accSelection(&selection), S_OK);
    EXPECT_EQ(EnumeratedIds(selection), (std::set<LONG>{1, 2}))
        << "row 2's selected cells, by their ids there";
    EXPECT_EQ(Child(table.Get(), 4).object->get_accSelection(&selection), S_FALSE);

    // Without the focus no cell is focused; without editing every cell is read-only.
    SetFocus(nullptr);
    Pump();
    EXPECT_EQ(table->get_accFocus(&focus), S_FALSE);
    EXPECT_EQ(focus.vt, VT_EMPTY);
    EXPECT_FALSE(State({table, id(1, 2)}) & STATE_SYSTEM_FOCUSED);
    EXPECT_FALSE(State({table, CHILDID_SELF}) & STATE_SYSTEM_FOCUSED);
    grid->SetOptions(grid->Options() & ~goEditing);
    EXPECT_TRUE(State({table, id(2, 3)}) & STATE_SYSTEM_READONLY);
}

TEST_F(GridTest, AccessibleNavigationAndParentsLinkTheWindowTheTableItsRowsAndCells) {
    ComPtr<IAccessible> table = TableOf(grid->Handle());
    ASSERT_TRUE(table);
    auto id = [](int col, int row) { return GridAccessible::CellChildId(3, col, row); };
    auto navigate = [](const Element& from, LONG direction) {
        VARIANT end;
        VariantInit(&end);
        const HRESULT hr = from.object->accNavigate(direction, Id(from.id), &end);
        Element to = FromResult(from.object.Get(), end);
        return std::make_pair(hr, std::move(to));
    };
    // The table's rows, first and last.
    const Element first = navigate({table, CHILDID_SELF}, NAVDIR_FIRSTCHILD).second;
    ASSERT_TRUE(first);
    EXPECT_EQ(Value({first.object, 1}), "Name");
    const Element last = navigate({table, CHILDID_SELF}, NAVDIR_LASTCHILD).second;
    ASSERT_TRUE(last);
    EXPECT_EQ(Value({last.object, 1}), "delta");
    const Element beforeLast = navigate({last.object, CHILDID_SELF}, NAVDIR_PREVIOUS).second;
    ASSERT_TRUE(beforeLast);
    EXPECT_EQ(Value({beforeLast.object, 1}), "gamma");

    // Cells by the table's ids: every direction; by a row's: along the row only.
    struct Step {
        int col, row;
        LONG direction;
        std::optional<std::pair<int, int>> to;
    } steps[] = {
        {1, 2, NAVDIR_DOWN, std::pair{1, 3}}, {1, 2, NAVDIR_UP, std::pair{1, 1}},
        {1, 2, NAVDIR_LEFT, std::pair{0, 2}}, {1, 2, NAVDIR_NEXT, std::pair{2, 2}},
        {2, 2, NAVDIR_RIGHT, std::nullopt},   {1, 0, NAVDIR_UP, std::nullopt},
        {1, 4, NAVDIR_DOWN, std::nullopt},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message()
                     << "from " << step.col << ", " << step.row << " to " << step.direction);
        auto [hr, to] = navigate({table, id(step.col, step.row)}, step.direction);
        if (!step.to) {
            EXPECT_EQ(hr, S_FALSE);
            continue;
        }
        EXPECT_EQ(hr, S_OK);
        EXPECT_EQ(to.id, id(step.to->first, step.to->second));
    }
    const Element row2 = Child(table.Get(), 3);
    EXPECT_EQ(navigate({row2.object, 1}, NAVDIR_NEXT).second.id, 2);
    EXPECT_EQ(navigate({row2.object, 1}, NAVDIR_DOWN).first, S_FALSE) << "other rows' cells are the table's";
    EXPECT_EQ(navigate({row2.object, CHILDID_SELF}, NAVDIR_FIRSTCHILD).second.id, 1);
    const Element row3 = navigate({row2.object, CHILDID_SELF}, NAVDIR_NEXT).second;
    ASSERT_TRUE(row3);
    EXPECT_EQ(Value({row3.object, 1}), "gamma");

    // Up the tree: cell's row, the table, the grid window's own object.
    ComPtr<IDispatch> parent;
    ASSERT_EQ(row2.object->get_accParent(parent.GetAddressOf()), S_OK);
    ComPtr<IAccessible> rowParent;
    ASSERT_EQ(parent.As(&rowParent), S_OK);
    EXPECT_EQ(Role({rowParent, CHILDID_SELF}), ROLE_SYSTEM_TABLE);
    ASSERT_EQ(table->get_accParent(parent.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IAccessible> windowObject;
    ASSERT_EQ(parent.As(&windowObject), S_OK);
    // Wine's standard window object answers E_NOTIMPL to every property: not the table's answer.
    VARIANT windowRole;
    VariantInit(&windowRole);
    const HRESULT windowRoleResult = windowObject->get_accRole(Id(CHILDID_SELF), &windowRole);
    if (e2e::RunningUnderWine()) {
        EXPECT_EQ(windowRoleResult, E_NOTIMPL);
    } else {
        ASSERT_EQ(windowRoleResult, S_OK);
        EXPECT_EQ(windowRole.vt, VT_I4);
        EXPECT_EQ(windowRole.lVal, ROLE_SYSTEM_WINDOW);
    }
    VariantClear(&windowRole);

    // Ids that name nothing.
    VARIANT role;
    for (const LONG bad : {6L, id(0, 5), -1000L})
        EXPECT_EQ(table->get_accRole(Id(bad), &role), E_INVALIDARG) << bad;
    EXPECT_EQ(row2.object->get_accRole(Id(4), &role), E_INVALIDARG);
}

TEST_F(GridTest, AccessibleClientsMoveTheCursorAndEditACellAsAUserWould) {
    ComPtr<IAccessible> table = TableOf(grid->Handle());
    ASSERT_TRUE(table);
    auto id = [](int col, int row) { return GridAccessible::CellChildId(3, col, row); };
    SetFocus(nullptr);
    EXPECT_EQ(table->accSelect(SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION, Id(id(2, 3))), S_OK);
    EXPECT_EQ(GetFocus(), grid->Handle());
    EXPECT_EQ(grid->Selection(), (GridRect{2, 3, 2, 3}));
    EXPECT_EQ(table->accSelect(SELFLAG_EXTENDSELECTION, Id(id(1, 4))), S_OK);
    EXPECT_EQ(grid->Selection(), (GridRect{1, 3, 2, 4}));
    EXPECT_EQ(selected, (std::vector<Cell>{{2, 3}, {1, 4}})) << "through the selection handler";
    EXPECT_EQ(table->accSelect(SELFLAG_ADDSELECTION, Id(id(0, 1))), E_INVALIDARG) << "one range only";
    EXPECT_EQ(table->accSelect(SELFLAG_TAKESELECTION, Id(id(0, 0))), E_INVALIDARG) << "a header";
    refuseSelection = true;
    EXPECT_EQ(table->accSelect(SELFLAG_TAKESELECTION, Id(id(0, 1))), S_FALSE);
    EXPECT_EQ(grid->Row(), 4);
    refuseSelection = false;

    BSTR action = nullptr;
    ASSERT_EQ(table->get_accDefaultAction(Id(id(0, 2)), &action), S_OK);
    EXPECT_EQ(Text(action), "Edit");
    EXPECT_EQ(table->get_accDefaultAction(Id(id(0, 0)), &action), DISP_E_MEMBERNOTFOUND);
    ASSERT_EQ(table->accDoDefaultAction(Id(id(0, 2))), S_OK);
    Pump();
    ASSERT_TRUE(grid->EditorMode());
    EXPECT_EQ(WindowText(grid->InplaceEditor()), "beta");
    Key(grid->InplaceEditor(), VK_ESCAPE);
    EXPECT_EQ(ended, (std::vector<Edit>{{0, 2, "beta"}}));
}

TEST_F(GridTest, AnAccessibleTableThatOutlivesItsGridAnswersDisconnected) {
    ComPtr<IAccessible> table = TableOf(grid->Handle());
    ASSERT_TRUE(table);
    const Element row = Child(table.Get(), 2);
    ASSERT_EQ(Value({row.object, 1}), "alpha");
    delete grid;
    grid = nullptr;
    VARIANT role;
    EXPECT_EQ(table->get_accRole(Id(CHILDID_SELF), &role), RPC_E_DISCONNECTED);
    BSTR value = nullptr;
    EXPECT_EQ(row.object->get_accValue(Id(1), &value), RPC_E_DISCONNECTED);
    EXPECT_EQ(value, nullptr);
    VARIANT hit;
    EXPECT_EQ(table->accHitTest(0, 0, &hit), RPC_E_DISCONNECTED);
}
