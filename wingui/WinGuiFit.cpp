// Captions that fit: growing a parent's controls to their captions and moving their neighbours
// along (see the note in WinGui.h). Works on 96-dpi bounds; the controls measure themselves.
#include "wingui/WinGui.h"

#include <algorithm>
#include <climits>

#include "common/ZorvaneTPU.h"
#include "wingui/WinGuiInternal.h"

namespace wingui_detail {

namespace {

// A control that grew keeps the distance the layout gave it to the controls beyond it, but no
// more than this: those further away stay where they are until it comes that close, and the form
// widens by what the captions need, not by the room the layout left for them at its own width.
constexpr int kMaxKeptGap = 16;

int Width(const RECT& r) {
    return r.right - r.left;
}
int Height(const RECT& r) {
    return r.bottom - r.top;
}
bool SideBySide(const RECT& a, const RECT& b) {  // their vertical extents overlap
    return a.top < b.bottom && b.top < a.bottom;
}
bool OneAboveTheOther(const RECT& a, const RECT& b) {  // their horizontal extents overlap
    return a.left < b.right && b.left < a.right;
}

// A word-wrapped button that needs more lines grows in height when the controls above and below
// it (its column) can move apart within the parent; the column keeps its centre where it can.
void FitHeights(const RECT& client, std::vector<FitBox>& boxes) {
    std::vector<bool> done(boxes.size(), false);
    for (size_t i = 0; i < boxes.size(); ++i) {
        FitBox& box = boxes[i];
        if (!box.takesPart || done[i] || box.control->CaptionHeight(Width(box.set)) <= Height(box.set))
            continue;
        std::vector<size_t> column;
        for (size_t j = 0; j < boxes.size(); ++j)
            if (boxes[j].takesPart && OneAboveTheOther(boxes[j].set, box.set))
                column.push_back(j);
        std::sort(column.begin(), column.end(),
                  [&](size_t a, size_t b) { return boxes[a].set.top < boxes[b].set.top; });
        bool stacked = true;
        for (size_t k = 1; k < column.size(); ++k)
            stacked = stacked && boxes[column[k]].set.top >= boxes[column[k - 1]].set.bottom;
        for (size_t j : column)
            done[j] = true;
        if (!stacked)
            continue;
        std::vector<int> heights, gaps;
        int total = 0;
        for (size_t k = 0; k < column.size(); ++k) {
            const FitBox& member = boxes[column[k]];
            heights.push_back(
                std::max<int>(Height(member.set), member.control->CaptionHeight(Width(member.set))));
            total += heights.back();
            if (k > 0) {
                gaps.push_back(member.set.top - boxes[column[k - 1]].set.bottom);
                total += gaps.back();
            }
        }
        if (total > Height(client))
            continue;  // no room: the width has to grow instead
        const int centre = (boxes[column.front()].set.top + boxes[column.back()].set.bottom) / 2;
        int top = std::clamp<int>(centre - total / 2, client.top, client.bottom - total);
        for (size_t k = 0; k < column.size(); ++k) {
            RECT& fitted = boxes[column[k]].fitted;
            if (k > 0)
                top += gaps[k - 1];
            fitted.top = top;
            fitted.bottom = top + heights[k];
            top = fitted.bottom;
        }
    }
}

// Each control takes the width its caption needs at its height; controls stacked in a column with
// the same bounds keep one width.
void FitWidths(std::vector<FitBox>& boxes) {
    std::vector<int> widths(boxes.size());
    for (size_t i = 0; i < boxes.size(); ++i)
        widths[i] =
            boxes[i].takesPart
                ? std::max<int>(Width(boxes[i].set),
                                boxes[i].control->CaptionWidth(Width(boxes[i].set), Height(boxes[i].fitted)))
                : Width(boxes[i].set);
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (!boxes[i].takesPart)
            continue;
        int width = widths[i];
        for (size_t j = 0; j < boxes.size(); ++j)
            if (boxes[j].takesPart && boxes[j].set.left == boxes[i].set.left &&
                boxes[j].set.right == boxes[i].set.right)
                width = std::max(width, widths[j]);
        RECT& fitted = boxes[i].fitted;
        if (boxes[i].rightAnchored)
            fitted.left = fitted.right - width;
        else
            fitted.right = fitted.left + width;
    }
}

// Controls beyond a grown one in its row move along as far as it comes closer than the distance
// the layout gave them (see kMaxKeptGap): rightwards from controls anchored left, leftwards from
// those anchored right. In order of their positions, so that what is pushed pushes in turn.
void PushAlong(std::vector<FitBox>& boxes, bool rightwards) {
    std::vector<FitBox*> flow;
    for (FitBox& box : boxes)
        if (box.takesPart && box.rightAnchored != rightwards)
            flow.push_back(&box);
    std::sort(flow.begin(), flow.end(), [rightwards](const FitBox* a, const FitBox* b) {
        return rightwards ? a->set.left < b->set.left : a->set.right > b->set.right;
    });
    for (size_t i = 0; i < flow.size(); ++i) {
        const FitBox& pusher = *flow[i];
        for (size_t j = i + 1; j < flow.size(); ++j) {
            FitBox& pushed = *flow[j];
            const bool beyond =
                rightwards ? pushed.set.left >= pusher.set.right : pushed.set.right <= pusher.set.left;
            if (!beyond || !SideBySide(pusher.fitted, pushed.fitted))
                continue;
            if (rightwards) {
                const int room =
                    pusher.fitted.right + std::min<int>(pushed.set.left - pusher.set.right, kMaxKeptGap);
                if (pushed.fitted.left < room)
                    OffsetRect(&pushed.fitted, room - pushed.fitted.left, 0);
            } else {
                const int room =
                    pusher.fitted.left - std::min<int>(pusher.set.left - pushed.set.right, kMaxKeptGap);
                if (pushed.fitted.right > room)
                    OffsetRect(&pushed.fitted, room - pushed.fitted.right, 0);
            }
        }
    }
}

}  // namespace

int FitCaptions(const RECT& client, int clientWidth, bool widensWithForm, std::vector<FitBox>& boxes) {
    for (FitBox& box : boxes)
        box.fitted = box.set;
    FitHeights(client, boxes);
    FitWidths(boxes);
    PushAlong(boxes, true);
    PushAlong(boxes, false);

    // Where the controls anchored left now reach those anchored right, or the parent's edge, the
    // parent needs to be wider by as much.
    int shortBy = INT_MIN;
    for (FitBox& left : boxes) {
        if (!left.takesPart || left.rightAnchored)
            continue;
        for (const FitBox& right : boxes) {
            if (!right.takesPart || !right.rightAnchored || !SideBySide(left.fitted, right.fitted))
                continue;
            // Their distance when the anchors were taken, at the width the layout was made for.
            const int gap = right.set.left + right.recordShift - left.set.right;
            if (gap < 0 || right.set.left < left.set.left)
                continue;  // laid out overlapping, or the other way round: not a row
            shortBy =
                std::max<int>(shortBy, left.fitted.right + std::min(gap, kMaxKeptGap) - right.fitted.left);
        }
        if (left.fitted.right > left.set.right) {
            const int margin = std::max<int>(0, client.right - left.set.right);
            if (widensWithForm)
                shortBy =
                    std::max<int>(shortBy, left.fitted.right + std::min(margin, kMaxKeptGap) - client.right);
            else if (left.fitted.right > client.right)
                OffsetRect(&left.fitted,
                           std::max<int>(client.right - left.fitted.right, client.left - left.fitted.left),
                           0);
        }
    }
    if (!widensWithForm || shortBy == INT_MIN)
        return -1;
    return std::max(clientWidth + shortBy, 0);
}

SIZE MeasureCaption(HFONT font, const std::string& caption, UINT format, int width) {
    // One memory DC for every measurement, kept for the process: a window's own DC measures the
    // same and costs the window manager a round trip each time.
    static const HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return SIZE{0, 0};
    const HGDIOBJ old =
        SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
    const std::wstring text = AnsiToWide(caption);
    RECT rect = {0, 0, width, 0};
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect, format | DT_CALCRECT);
    SelectObject(dc, old);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

int UnscaleUp(int devicePixels, int dpi) {
    return dpi > 0 ? (devicePixels * 96 + dpi - 1) / dpi : devicePixels;
}

}  // namespace wingui_detail
