// The hyperlink label.
#include "components/InternetLabel.h"

#include <oleacc.h>
#include <shellapi.h>

#include <cstdint>
#include <utility>

#include "common/ZorvaneText.h"

namespace {

seams::LinkShellExecuteProc gLinkShellExecute = ShellExecuteA;

}  // namespace

seams::LinkShellExecuteProc seams::SetLinkShellExecute(LinkShellExecuteProc proc) {
    return std::exchange(gLinkShellExecute, proc ? proc : ShellExecuteA);
}

TInternetLabel::TInternetLabel(TComponent* owner) : TLabel(owner) {
    SetTabStop(true);
    SetCursor(crHandPoint);
    SetFontColor(notVisitedColor_);
    SetFontStyle(0);
}

void TInternetLabel::SetLink(const std::string& link) {
    link_ = link;
    if (linkHint_)
        SetHint(link_);
}

void TInternetLabel::SetVisited(bool value) {
    const bool changed = value != visited_;
    visited_ = value;
    // Even under the mouse: a successful click shows the visited colour at once.
    SetFontColor(visited_ ? visitedColor_ : notVisitedColor_);
    if (changed)
        NotifyAccessible(EVENT_OBJECT_STATECHANGE);
}

void TInternetLabel::SetVisitedColor(TColor color) {
    visitedColor_ = color;
    if (visited_ && !mouseOver_)
        SetFontColor(visitedColor_);
}

void TInternetLabel::SetNotVisitedColor(TColor color) {
    notVisitedColor_ = color;
    if (!visited_ && !mouseOver_)
        SetFontColor(notVisitedColor_);
}

void TInternetLabel::SetOverColor(TColor color) {
    overColor_ = color;
    if (mouseOver_)
        SetFontColor(overColor_);
}

void TInternetLabel::SetAbout(bool value) {
    if (value)
        ShowMsg("Internet Label 2.0");
}

bool TInternetLabel::CanActivateLink() {
    bool canActivate = !link_.empty();
    if (OnLinkActivating)
        OnLinkActivating(this, canActivate);
    return canActivate;
}

void TInternetLabel::Click() {
    TLabel::Click();
    if (!CanActivateLink())
        return;
    // No verb: the shell's default action for the target, which is not always "open".
    HINSTANCE result = gLinkShellExecute(nullptr, nullptr, link_.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    SetVisited(reinterpret_cast<intptr_t>(result) > 32);
}

void TInternetLabel::MouseEnter() {
    mouseOver_ = true;
    SetFontColor(overColor_);
    SetFontStyle(Font().Style | fsUnderline);
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TInternetLabel::MouseLeave() {
    mouseOver_ = false;
    SetFontStyle(Font().Style & ~static_cast<TFontStyles>(fsUnderline));
    SetFontColor(visited_ ? visitedColor_ : notVisitedColor_);
    if (OnMouseLeave)
        OnMouseLeave(this);
}

TColor TInternetLabel::TextColor() const {
    if (!HighContrast())
        return Font().Color;
    return mouseOver_ ? clHighlight : clHotLight;
}

void TInternetLabel::Paint(TCanvas& canvas) {
    TLabel::Paint(canvas);
    if (!Focused() || FocusCuesHidden())
        return;
    RECT rect = {0, 0, Scale(Width()), Scale(Height())};
    if (HandleAllocated())
        GetClientRect(Handle(), &rect);
    DrawFocusRect(canvas.Handle(), &rect);
}

LRESULT TInternetLabel::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            Invalidate();
            break;
        case WM_KEYDOWN: {
            constexpr LPARAM kRepeat = 1 << 30;  // a held key opens the link once
            if ((wParam == VK_RETURN || wParam == VK_SPACE) && !(lParam & kRepeat)) {
                Click();
                return 0;
            }
            break;
        }
        default:
            break;
    }
    return TLabel::WndProc(msg, wParam, lParam);
}

bool TInternetLabel::DescribeAccessible(TAccessibleInfo& info) const {
    info.role = ROLE_SYSTEM_LINK;
    info.value = link_;
    info.defaultAction = "Jump";
    info.state = STATE_SYSTEM_LINKED | (visited_ ? STATE_SYSTEM_TRAVERSED : 0) |
                 (mouseOver_ ? STATE_SYSTEM_HOTTRACKED : 0);
    return true;
}

void TInternetLabel::DoAccessibleDefaultAction() {
    Click();
}
