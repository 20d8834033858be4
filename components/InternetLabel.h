// TInternetLabel: a label that behaves as a hyperlink. One colour until its link has been
// opened, another afterwards, a third while the mouse is over it (underlined then too), the hand
// cursor, and a click opens Link through the shell's default action. It is a tab stop: Enter or
// Space opens the link as a click does, and a focus rectangle shows while it has the focus and
// the window shows focus cues.
#pragma once

#include <functional>
#include <string>

#include "wingui/WinGui.h"

// Asked just before the link opens; the handler may change CanActivate either way.
using TOnLinkActivating = std::function<void(TObject* sender, bool& canActivate)>;

class TInternetLabel : public TLabel {
  public:
    explicit TInternetLabel(TComponent* owner);

    const std::string& Link() const { return link_; }
    void SetLink(const std::string& link);  // also becomes the hint while LinkHint is on
    bool LinkHint() const { return linkHint_; }
    void SetLinkHint(bool value) { linkHint_ = value; }
    bool Visited() const { return visited_; }
    void SetVisited(bool value);
    TColor VisitedColor() const { return visitedColor_; }
    void SetVisitedColor(TColor color);
    TColor NotVisitedColor() const { return notVisitedColor_; }
    void SetNotVisitedColor(TColor color);
    TColor OverColor() const { return overColor_; }
    void SetOverColor(TColor color);
    // Always reads false; setting it to true shows the label's version box.
    bool About() const { return false; }
    void SetAbout(bool value);
    bool MouseOver() const { return mouseOver_; }

    // True when Link is not empty, then passed through OnLinkActivating.
    virtual bool CanActivateLink();

    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TOnLinkActivating OnLinkActivating;

  protected:
    void Click() override;
    void MouseEnter() override;
    void MouseLeave() override;
    void Paint(TCanvas& canvas) override;
    // In high contrast the text takes the system's link colour (COLOR_HOTLIGHT), and the
    // selection colour (COLOR_HIGHLIGHT) under the mouse, instead of the label's own colours.
    TColor TextColor() const override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Screen readers meet a link (ROLE_SYSTEM_LINK) named by the caption, with Link as its value
    // and "Jump" as its default action, which opens it as a click does.
    bool DescribeAccessible(TAccessibleInfo& info) const override;
    void DoAccessibleDefaultAction() override;

  private:
    std::string link_;
    bool linkHint_ = false;
    bool visited_ = false;
    TColor visitedColor_ = clPurple;
    TColor notVisitedColor_ = clBlue;
    TColor overColor_ = clRed;
    bool mouseOver_ = false;
};

namespace seams {
// The shell call the label opens its link with (ShellExecuteA by default). Tests put a recorder
// here to see the call without starting a browser; null restores ShellExecuteA. Returns the
// previous one.
using LinkShellExecuteProc = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
LinkShellExecuteProc SetLinkShellExecute(LinkShellExecuteProc proc);
}  // namespace seams
