// The GUI layer: a small component/control framework over Win32 and comctl32.
//
// Every control is owned by a component (its owner deletes it) and placed in a parent window
// control. Bounds are given in 96-dpi pixels relative to the parent's client area and scaled to
// the monitor's DPI when applied to the window. Align and Anchors lay children out when their
// parent's size changes. Every event handler runs inside one exception boundary (Guarded) that
// hands errors to Application's global error handler, so the message loop always goes on.
//
// Graphic controls (labels, images, the scanner bar) are realised as child windows too, for
// painting and hit testing, but the framework treats them as non-window controls
// (IsWindowControl() is false): they hold no children and are not double-buffered on request,
// and they take the focus only when they are tab stops themselves (a link label). They are
// painted into their parent's buffer when the parent is double-buffered.
//
// Keyboard: Tab and Shift+Tab move among the tab stops (TApplication::PreTranslate); Enter or
// Space presses a focused button or toggles a focused check box. Focus rectangles and accelerator
// underlines follow the window's UI state as in dialog boxes: a form starts with UIS_INITIALIZE
// (hidden unless the system always shows them), and keyboard navigation clears UISF_HIDEFOCUS
// (Tab) and UISF_HIDEACCEL (Alt). The framework's own windows keep that state themselves and pass
// WM_UPDATEUISTATE on to their children, which Wine's default handling does not do.
//
// Coordinates: bounds (Left, Top, Width, Height, ClientWidth) are 96-dpi pixels; the canvas, the
// mouse handlers (MouseDown x, y ...) and ScreenToClient use the window's device pixels.
// A form's Left and Top are screen pixels, its Width and Height 96-dpi pixels.
//
// Anchor distances are taken against the parent's client size whenever a control is placed, its
// bounds are set from outside the layout, or its anchors are set; they are applied on every
// layout of the parent. Size a parent before placing anchored children in it.
//
// Captions that fit (TForm::SetFitCaptions): a layout is made for one font's metrics. On a form
// that fits captions, each layout of a parent measures the captions of its buttons, check boxes
// and labels with the control's own font at its DPI (CaptionWidth, CaptionHeight) and, where one
// does not fit, grows the control: in width, or a word-wrapped button in height where the
// controls above and below it leave room in the parent. A control grows away from the side it is
// anchored to, and the controls beyond it in its row (those beside it that it did not overlap)
// move along by as much. Where controls anchored to the left would reach those anchored to the
// right, the parent needs more width: the form will not be made narrower than that, and grows to
// it when it is. Where captions fit, the bounds are exactly those set. Fitting comes on top of
// the bounds set and is worked out anew at each layout (a resize, a caption, font, visibility or
// DPI change), so it never accumulates; Left() ... Height() report the fitted bounds, and a
// SetBounds value equal to the one shown keeps the one that was set.
//
// Child notifications (WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR*, WM_DRAWITEM, WM_HSCROLL/WM_VSCROLL)
// that a framework window receives from a framework child are handed to that child's WndProc
// as CN_BASE + the message (CN_COMMAND, CN_NOTIFY ...), with the same parameters.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/Exceptions.h"

// An operation the control tree cannot carry out (a child placed on a control that holds none).
class EInvalidOperation : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EInvalidOperation"; }
};

// Reflected child notifications, see above.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_HSCROLL = CN_BASE + WM_HSCROLL;
constexpr UINT CN_VSCROLL = CN_BASE + WM_VSCROLL;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;

// ---- Basic types --------------------------------------------------------------------------------

class TObject {
  public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

// Colours: an RGB value (0x00BBGGRR), or a system colour when kSystemColorFlag is set.
using TColor = uint32_t;
constexpr TColor kSystemColorFlag = 0x80000000u;
constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF;
constexpr TColor clBtnFace = kSystemColorFlag | COLOR_BTNFACE;
constexpr TColor clBtnShadow = kSystemColorFlag | COLOR_BTNSHADOW;
constexpr TColor clBtnHighlight = kSystemColorFlag | COLOR_BTNHIGHLIGHT;
constexpr TColor clWindow = kSystemColorFlag | COLOR_WINDOW;
constexpr TColor clWindowText = kSystemColorFlag | COLOR_WINDOWTEXT;
constexpr TColor clHighlight = kSystemColorFlag | COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = kSystemColorFlag | COLOR_HIGHLIGHTTEXT;
constexpr TColor clInfoBk = kSystemColorFlag | COLOR_INFOBK;
constexpr TColor clGrayText = kSystemColorFlag | COLOR_GRAYTEXT;
constexpr TColor clHotLight = kSystemColorFlag | COLOR_HOTLIGHT;
constexpr TColor clDefault = 0x20000000u;  // "the parent's colour" where a control allows it
COLORREF ColorToRGB(TColor color);         // clDefault gives the button-face colour

// True while the user runs a high-contrast colour scheme (SPI_GETHIGHCONTRAST), or while a test
// says so. Controls with fixed colours of their own draw with system colours then; forms repaint
// everything when the setting or the system colours change (WM_SETTINGCHANGE, WM_SYSCOLORCHANGE).
bool HighContrast();
namespace seams {
// Stands in for the system setting until called with nullopt; a test then sends the form
// WM_SETTINGCHANGE as the system would.
void OverrideHighContrast(std::optional<bool> on);
}  // namespace seams

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

enum TAnchorKind : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = unsigned;
constexpr TAnchors kDefaultAnchors = akLeft | akTop;

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

enum TCursor { crDefault, crArrow, crHandPoint, crHourGlass, crIBeam, crSizeWE, crSizeNS, crCross };

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftFlag : unsigned {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
    ssDouble = 64
};
using TShiftState = unsigned;
TShiftState ShiftStateFromKeys();  // the keyboard's Shift/Ctrl/Alt state right now

// A font description; the default is the window font of the main window: "MS Sans Serif",
// 8 point (height -11 at 96 dpi).
struct TFont {
    std::string Name = "MS Sans Serif";
    int Height = -11;  // in 96-dpi pixels; negative: character height, as LOGFONT
    TFontStyles Style = 0;
    TColor Color = clWindowText;
    bool operator==(const TFont&) const = default;
};

// ---- Canvas -------------------------------------------------------------------------------------

// Drawing on a device context, with a brush, a pen and a font of its own. Coordinates are device
// pixels. The canvas selects its objects into the DC and restores the DC's own on destruction.
// Texts are in the process's ANSI code page, as everywhere in the program.
class TCanvas {
  public:
    explicit TCanvas(HDC dc);
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    HDC Handle() const { return dc_; }
    TColor BrushColor() const { return brushColor_; }
    void SetBrushColor(TColor color);
    TColor PenColor() const { return penColor_; }
    void SetPenColor(TColor color);
    void SetPenWidth(int width);
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& font, int dpi = 96);

    void FillRect(const RECT& rect);                           // with the brush
    void Rectangle(int left, int top, int right, int bottom);  // pen outline, brush fill
    void FrameRect(const RECT& rect);                          // one-pixel frame in the brush colour
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void TextOut(int x, int y, const std::string& text);  // transparent background
    // Fills the rectangle with the brush and draws the text at (x, y), clipped to the rectangle.
    void TextRect(const RECT& rect, int x, int y, const std::string& text);
    SIZE TextExtent(const std::string& text);
    void Pixel(int x, int y, TColor color);
    COLORREF PixelAt(int x, int y) const;
    // DrawText with the canvas font and colour, transparent background (DT_CALCRECT measures).
    int DrawTextRect(RECT& rect, const std::string& text, UINT format);

  private:
    void Apply();
    HDC dc_;
    int savedDc_;
    TColor brushColor_ = clWhite;
    TColor penColor_ = clBlack;
    int penWidth_ = 1;
    TFont font_;
    int fontDpi_ = 96;
    HBRUSH brush_ = nullptr;
    HPEN pen_ = nullptr;
    HFONT hfont_ = nullptr;
};

// ---- Components and controls -------------------------------------------------------------------

// A component owns the components created with it as owner and deletes them, in reverse order
// of creation, when it is destroyed.
class TComponent : public TObject {
  public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::vector<TComponent*>& Components() const { return components_; }
    TComponent* FindComponent(const std::string& name) const;

    std::string Name;
    intptr_t Tag = 0;

  private:
    TComponent* owner_;
    std::vector<TComponent*> components_;
};

class TWinControl;
class TForm;
namespace wingui_detail {
class AccessibleObject;
}

// What a control tells screen readers (Microsoft Active Accessibility) beyond what its window's
// standard object says. Controls that fill one in answer WM_GETOBJECT (OBJID_CLIENT) with an
// IAccessible of their own; the others keep the system's object, which standard controls (buttons,
// check boxes) fill from their window. Focus, visibility and availability come from the window.
struct TAccessibleInfo {
    long role = 0;  // ROLE_SYSTEM_*
    std::string name;
    std::string value;
    std::string defaultAction;  // empty: the control has none
    long state = 0;             // STATE_SYSTEM_* flags of the control's own
};

class TControl : public TComponent {
  public:
    // The framework control whose window this is, or null for any other window.
    static TControl* FromHandle(HWND hwnd);

    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    void SetParent(TWinControl* parent);
    TForm* ParentForm() const;  // the top-level form this control is placed on, or null

    // Bounds in 96-dpi pixels, relative to the parent's client area.
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    virtual void SetBounds(int left, int top, int width, int height);
    void SetLeft(int value) { SetBounds(value, top_, width_, height_); }
    void SetTop(int value) { SetBounds(left_, value, width_, height_); }
    void SetWidth(int value) { SetBounds(left_, top_, value, height_); }
    void SetHeight(int value) { SetBounds(left_, top_, width_, value); }
    // The client area in 96-dpi pixels (the whole control for most controls).
    virtual int ClientWidth() const { return width_; }
    virtual int ClientHeight() const { return height_; }

    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);
    TAnchors Anchors() const { return anchors_; }
    void SetAnchors(TAnchors anchors);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    const std::string& Caption() const { return caption_; }
    virtual void SetCaption(const std::string& caption);

    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint);  // a CR breaks the hint into lines
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show);  // also switches ParentShowHint off, as the framework does
    bool ParentShowHint() const { return parentShowHint_; }
    void SetParentShowHint(bool value);
    bool EffectiveShowHint() const;  // ShowHint, or the parent's when ParentShowHint is on

    const TFont& Font() const { return font_; }
    void SetFont(const TFont& font);
    void SetFontColor(TColor color);
    void SetFontStyle(TFontStyles style);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TColor EffectiveColor() const;  // Color, or the parent's when it is clDefault
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor);

    TNotifyEvent OnClick;

    // True for controls that are windows in the framework's sense (can hold focus and children,
    // can be double-buffered); false for graphic controls.
    virtual bool IsWindowControl() const { return false; }

    // The control's window, created on demand; null while the control has no parent with a
    // window (forms have none and are always created).
    HWND Handle();
    bool HandleAllocated() const { return hwnd_ != nullptr; }
    int Dpi() const;               // the DPI the control is shown at (96 when not shown)
    int Scale(int value) const;    // 96-dpi pixels -> device pixels
    int Unscale(int value) const;  // device pixels -> 96-dpi pixels
    void Invalidate();
    void Repaint();                            // invalidate and paint now
    POINT ScreenToClient(POINT screen) const;  // device pixels

    // The name screen readers give a control whose caption does not say what it is (or that has
    // none); empty: the caption.
    const std::string& AccessibleName() const { return accessibleName_; }
    void SetAccessibleName(const std::string& name);
    // Tells screen readers that what they read of the control changed (EVENT_OBJECT_STATECHANGE ...).
    void NotifyAccessible(DWORD event);

    // Caption fitting (see the note at the top), for the control at width x height (96-dpi
    // pixels): the width at which it shows its whole caption (width itself when it does already),
    // and the height it needs for that at this width; 0 for no need. Measured with the control's
    // font at its DPI, so only while it has a window.
    virtual int CaptionWidth(int /*width*/, int /*height*/) const { return 0; }
    virtual int CaptionHeight(int /*width*/) const { return 0; }

    // True for the controls Tab reaches: window controls with TabStop, and graphic controls that
    // are tab stops themselves.
    virtual bool IsTabStop() const { return false; }
    void SetFocus();
    bool Focused() const;

  protected:
    struct CreateParams {
        std::string className;  // a registered or system class ("BUTTON", "msctls_statusbar32")
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
        DWORD exStyle = 0;
        bool ownClass = true;  // true: the framework registers className with its own WndProc
    };
    virtual void FillCreateParams(CreateParams& params);
    virtual void CreateWnd();
    virtual void DestroyWnd();
    virtual void AfterCreateWnd() {}

    // Message handling. The default passes the message to the window class's own procedure
    // (a subclassed standard control) or DefWindowProc.
    virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam);

    virtual void Click();  // runs OnClick
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}
    virtual void MouseDown(TMouseButton, TShiftState, int /*x*/, int /*y*/) {}
    virtual void MouseUp(TMouseButton, TShiftState, int /*x*/, int /*y*/) {}
    virtual void MouseMove(TShiftState, int /*x*/, int /*y*/) {}
    virtual void DblClick() {}
    // Painting for controls that draw themselves: the canvas is a memory DC when the control is
    // double-buffered. The default fills the client area with Color.
    virtual void Paint(TCanvas& canvas);
    virtual bool PaintsItself() const { return false; }  // true: WM_PAINT goes to Paint
    virtual void FontChanged() {}
    virtual void BoundsChanged() {}
    // The font the window draws with (also its WM_GETFONT answer), at its DPI; null without a window.
    HFONT FontHandle() const { return hfont_; }
    // The caption measured with that font in device pixels (DrawText DT_CALCRECT with the format;
    // width limits DT_WORDBREAK lines), remembered until the caption or the font changes: every
    // layout asks again.
    SIZE MeasuredCaption(UINT format, int width = 0) const;
    // Its form fits captions and it is laid out by a parent: what changes its caption's needs
    // has the parent lay out again.
    bool FitsCaptions() const;
    // Paints what the parent shows under this control, for see-through controls.
    void PaintParentBackground(TCanvas& canvas);
    // Screen readers: a control that describes itself fills info and answers true; it is asked
    // again at each question. Its default action, when it has one, runs later, from the message loop,
    // never inside the screen reader's call.
    virtual bool DescribeAccessible(TAccessibleInfo& /*info*/) const { return false; }
    virtual void DoAccessibleDefaultAction() {}
    // The window's UI state (WM_QUERYUISTATE): whether focus rectangles and accelerator underlines
    // are hidden now.
    bool FocusCuesHidden() const { return (uiState_ & UISF_HIDEFOCUS) != 0; }
    bool AcceleratorsHidden() const { return (uiState_ & UISF_HIDEACCEL) != 0; }
    // Own-class controls capture the mouse on a left press and run Click when it is released
    // over them; subclasses that click some other way switch this off.
    bool clickOnMouseUp_ = true;

    HWND hwnd_ = nullptr;
    WNDPROC classProc_ = nullptr;  // the standard control's own procedure when subclassed

  private:
    friend class TWinControl;
    friend class TForm;
    friend class TControlCanvas;
    friend class wingui_detail::AccessibleObject;
    friend LRESULT CALLBACK ControlWndProc(HWND, UINT, WPARAM, LPARAM) noexcept;
    LRESULT AnswerGetObject(WPARAM wParam, LPARAM lParam);
    void ApplyBounds();
    void ApplyFont();
    void UpdateAnchorRules();
    void PaintTo(HDC dc, bool buffered);
    void PaintHandler();
    void WindowDestroyed();
    void RelayToHint(UINT msg, WPARAM wParam, LPARAM lParam);
    int CreationDpi() const;
    bool topLevel_ = false;  // a form: outer bounds in screen pixels
    bool clicked_ = false;
    bool applyingBounds_ = false;

    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    TAlign align_ = alNone;
    TAnchors anchors_ = kDefaultAnchors;
    bool visible_ = true;
    bool enabled_ = true;
    std::string caption_;
    std::string hint_;
    bool showHint_ = false;
    bool parentShowHint_ = true;
    TFont font_;
    TColor color_ = clBtnFace;
    TCursor cursor_ = crDefault;
    HFONT hfont_ = nullptr;
    bool mouseInside_ = false;
    WORD uiState_ = 0;  // UISF_HIDEFOCUS | UISF_HIDEACCEL
    std::string accessibleName_;
    struct Measured {
        UINT format;
        int width;
        SIZE size;
    };
    mutable std::vector<Measured> measured_;
    mutable std::string measuredCaption_;
    wingui_detail::AccessibleObject* accessible_ = nullptr;  // one reference, while the window lives
    // Anchor rules: the distances to the parent's edges when the anchors were set.
    int anchorRight_ = 0, anchorBottom_ = 0, anchorParentWidth_ = 0, anchorParentHeight_ = 0;
    // What the caption fitting added to the bounds set (and anchored) at the last layout.
    int fitDx_ = 0, fitDy_ = 0, fitDw_ = 0, fitDh_ = 0;
};

// A control that can hold child controls, take focus and be double-buffered.
class TWinControl : public TControl {
  public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    bool IsWindowControl() const override { return true; }
    const std::vector<TControl*>& Controls() const { return controls_; }
    bool DoubleBuffered() const { return doubleBuffered_; }
    void SetDoubleBuffered(bool value);
    int TabOrder() const { return tabOrder_; }
    void SetTabOrder(int order);  // orders the window among its siblings (Tab moves in this order)
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool value);
    bool IsTabStop() const override { return tabStop_; }
    // Tab moves the focus among the TabStop controls of a form in TabOrder, parent by parent.
    // A control that wants the Tab key (or arrows, characters) answers WM_GETDLGCODE.
    // Lays the children out by Align and Anchors (called when the client size changes).
    void Realign();
    // False for controls that refuse children: SetParent onto them raises EInvalidOperation.
    virtual bool AcceptsControls() const { return true; }

  protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void AfterCreateWnd() override;
    // The part of the client area (96-dpi pixels) that aligned children share.
    virtual void AdjustClientRect(RECT& /*rect*/) {}

  private:
    friend class TControl;
    friend class TForm;
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    void ApplyTabOrder();
    void CollectTabList(std::vector<TControl*>& list);
    void PaintBuffered();
    std::vector<TControl*> controls_;
    bool aligning_ = false;
    bool destroying_ = false;
    bool creatingChildren_ = false;
    bool doubleBuffered_ = false;
    // The client width below which the fitted children would overlap; -1 when none limits it.
    int fitMinClientWidth_ = -1;
    int tabOrder_ = -1;
    bool tabStop_ = false;
};

// A window control that paints itself through Paint (double-buffered when asked).
class TCustomControl : public TWinControl {
  public:
    explicit TCustomControl(TComponent* owner);

  protected:
    bool PaintsItself() const override { return true; }
};

// A non-window control that paints itself (see the note at the top). As a tab stop it comes
// after its parent's window controls, in placement order.
class TGraphicControl : public TControl {
  public:
    explicit TGraphicControl(TComponent* owner);
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool value) { tabStop_ = value; }
    bool IsTabStop() const override { return tabStop_; }

  protected:
    bool PaintsItself() const override { return true; }

  private:
    bool tabStop_ = false;
};

// ---- Standard controls ----------------------------------------------------------------------

class TPanel : public TCustomControl {
  public:
    explicit TPanel(TComponent* owner);  // raised outer bevel of width 1, no inner bevel
    TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut value);
    TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut value);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int value);

  protected:
    void Paint(TCanvas& canvas) override;
    void AdjustClientRect(RECT& rect) override;  // inside the bevels

  private:
    TBevelCut bevelOuter_ = bvRaised;
    TBevelCut bevelInner_ = bvNone;
    int bevelWidth_ = 1;
};

// Draws a 3-D frame of the given kind and width inside rect and shrinks rect by it. For each pixel
// of width the top and left edges take the top colour, the right and bottom edges (with the
// top-right and bottom-left corners) the bottom colour: button shadow over highlight for
// bvLowered, highlight over shadow for bvRaised and bvSpace. bvNone draws nothing.
void DrawBevel(TCanvas& canvas, RECT& rect, TBevelCut kind, int width);

// A push button; Enter or Space presses it when it has the focus.
class TButton : public TWinControl {
  public:
    explicit TButton(TComponent* owner);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);
    int CaptionWidth(int width, int height) const override;
    int CaptionHeight(int width) const override;  // only a word-wrapped button needs a height

  protected:
    void FillCreateParams(CreateParams& params) override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    bool wordWrap_ = false;
};

// A check box whose Checked setter runs OnClick whenever it changes the state, as a click does.
// Enter or Space toggles it when it has the focus.
class TCheckBox : public TWinControl {
  public:
    explicit TCheckBox(TComponent* owner);
    bool Checked() const { return checked_; }
    void SetChecked(bool value);
    int CaptionWidth(int width, int height) const override;  // its box, the gap and the text

  protected:
    void FillCreateParams(CreateParams& params) override;
    void AfterCreateWnd() override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    bool checked_ = false;
};

class TLabel : public TGraphicControl {
  public:
    // Auto-size on (measured at the label's DPI once it has a window), transparent.
    explicit TLabel(TComponent* owner);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    void SetCaption(const std::string& caption) override;
    int CaptionWidth(int width, int height) const override;

  protected:
    void Paint(TCanvas& canvas) override;
    void FontChanged() override;
    void AfterCreateWnd() override;
    // The colour the enabled text is drawn in: the font's.
    virtual TColor TextColor() const { return Font().Color; }

  private:
    void AdjustSize();
    bool autoSize_ = true;
};

// Shows a PNG picture (with alpha), optionally centred, scaled proportionally and transparent.
// Picture pixels count as 96-dpi pixels. AutoSize takes effect when a picture is loaded;
// Proportional only shrinks a picture that does not fit. Not Transparent: the control's colour
// is filled under the picture; Transparent: what the parent shows there.
class TImage : public TGraphicControl {
  public:
    explicit TImage(TComponent* owner);
    ~TImage() override;
    [[nodiscard]] bool LoadPng(const void* data, size_t size);               // false for data that is no PNG
    [[nodiscard]] bool LoadPngResource(HINSTANCE instance, int resourceId);  // an RCDATA resource
    int PictureWidth() const { return pictureWidth_; }
    int PictureHeight() const { return pictureHeight_; }
    bool AutoSize = false, Center = false, Proportional = false, Transparent = false;

  protected:
    void Paint(TCanvas& canvas) override;

  private:
    HBITMAP bitmap_ = nullptr;  // 32-bit premultiplied BGRA
    int pictureWidth_ = 0, pictureHeight_ = 0;
};

class TStatusBar : public TWinControl {
  public:
    explicit TStatusBar(TComponent* owner);  // aligned to the bottom, 19 pixels high
    bool AcceptsControls() const override { return acceptsControls_; }
    bool SimplePanel() const { return simplePanel_; }
    void SetSimplePanel(bool value);
    const std::string& SimpleText() const { return simpleText_; }
    void SetSimpleText(const std::string& text);

  protected:
    void FillCreateParams(CreateParams& params) override;
    void AfterCreateWnd() override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool acceptsControls_ = false;  // set by subclasses that host child controls

  private:
    bool simplePanel_ = false;
    std::string simpleText_;
};

// A window-message timer: OnTimer runs on the GUI thread every Interval milliseconds while
// Enabled. Tag is free for the owner's use.
class TTimer : public TComponent {
  public:
    explicit TTimer(TComponent* owner);  // enabled, 1000 ms
    ~TTimer() override;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned milliseconds);
    TNotifyEvent OnTimer;

  private:
    void Update();
    static LRESULT CALLBACK TimerWndProc(HWND, UINT, WPARAM, LPARAM) noexcept;
    bool enabled_ = true;
    unsigned interval_ = 1000;
    HWND window_ = nullptr;  // a message-only window of its own
};

// ---- Forms and the application -----------------------------------------------------------------

class TForm : public TWinControl {
  public:
    // className: the window class registered for this form ("TFrmMain").
    TForm(TComponent* owner, const std::string& className);
    ~TForm() override;

    // Left/Top/Width/Height of a form are its outer window bounds.
    void SetClientSize(int width, int height);
    int ClientWidth() const override;
    int ClientHeight() const override;
    bool AlphaBlend() const { return alphaBlend_; }
    void SetAlphaBlend(bool value);
    int AlphaBlendValue() const { return alphaBlendValue_; }
    void SetAlphaBlendValue(int value);

    void Show();
    // Moves (and, where it is larger, shrinks) the window into the work area of the monitor
    // nearest to it: bounds stored for a monitor that is gone or for a larger screen leave the
    // window where the user can reach it. A window narrower than its controls allow keeps that
    // width with its left edge on the work area's.
    void KeepOnScreen();
    // Closes the form; closing the main form ends Application.Run (the window stays until Run
    // destroys the forms), another form runs OnDestroy and loses its window at once. When the
    // Windows session ends, every form's OnDestroy runs before the process is ended.
    void Close();
    bool Showing() const;

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;

    // Creates the window and runs OnCreate (inside the exception boundary). Called by
    // Application.CreateForm.
    void DoCreate();
    // Runs OnDestroy (inside the exception boundary), once.
    void DoDestroy();

    // Captions that fit (see the note at the top); off by default. Switched on before the window
    // exists, the first layout already fits.
    bool FitCaptions() const { return fitCaptions_; }
    void SetFitCaptions(bool value);
    // The narrowest client width (96-dpi pixels) at which the fitted controls do not overlap; 0
    // when nothing limits it.
    int MinClientWidth() const;

    HWND HintWindow() const { return tooltip_; }
    // Moves the focus to the next (or previous) focusable control in tab order; true when
    // there was one.
    bool SelectNext(bool forward);
    // The text the hint window shows for a control: its hint with every lone CR made CR LF, or
    // empty when its hints are off.
    static std::string HintTextFor(const TControl& control);

  protected:
    void FillCreateParams(CreateParams& params) override;
    void AfterCreateWnd() override;
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    friend class TControl;
    friend class TWinControl;
    friend class TApplication;
    void RegisterHint(TControl* control);
    void UnregisterHint(TControl* control);
    void ReadBoundsFromWindow();
    void RequestMinWidthCheck();
    void RefreshFonts();
    std::string className_;
    std::string hintText_;
    std::wstring hintTextW_;
    HWND lastFocus_ = nullptr;
    bool alphaBlend_ = false;
    int alphaBlendValue_ = 255;
    HWND tooltip_ = nullptr;
    bool destroyed_ = false;
    bool fitCaptions_ = false;
    bool minWidthCheckPosted_ = false;
};

class TApplication {
  public:
    // Common controls, DPI awareness.
    void Initialize();
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title);  // also the title of the program's messages

    // Creates a form (the first one becomes the main form), its window, and runs its OnCreate.
    template <class F, class... Args>
    F* CreateForm(Args&&... args) {
        F* form = new F(nullptr, std::forward<Args>(args)...);
        forms_.emplace_back(form);
        if (!mainForm_) {
            mainForm_ = form;
            terminated_ = false;
        }
        form->DoCreate();
        return form;
    }
    TForm* MainForm() const { return mainForm_; }

    // Shows the main form unless OnCreate already did, runs the message loop until the main form
    // closes, then destroys the forms (their OnDestroy runs) before returning.
    int Run();
    void ProcessMessages();
    void Minimize();
    void Terminate();
    bool Terminated() const { return terminated_; }
    // The Windows session is ending: the forms' OnDestroy runs for it, and nobody is there to
    // answer a box.
    bool SessionEnding() const { return sessionEnding_; }
    void CancelHint();  // hides the hint window shown now

    // The global error handler: every exception that leaves an event handler comes here. The
    // default shows a box naming the error.
    std::function<void(const std::exception& error)> OnException;
    void HandleException(const std::exception& error);

    // Runs OnDestroy of every form and deletes them, newest first (Run does this at its end).
    void DestroyForms();
    // The keyboard handling the message loop does before dispatching: Tab among tab stops, and
    // the focus cues the keyboard shows; true when the message was used up.
    bool PreTranslate(MSG& msg);

  private:
    friend class TForm;
    std::string title_;
    std::vector<std::unique_ptr<TForm>> forms_;
    TForm* mainForm_ = nullptr;
    bool terminated_ = false;
    bool sessionEnding_ = false;
};

extern TApplication Application;

// The exception boundary around every event handler and window procedure.
template <class F>
void Guarded(F&& f) noexcept {
    try {
        f();
    } catch (const std::exception& error) {
        Application.HandleException(error);
    } catch (...) {
        Application.HandleException(std::runtime_error("Unknown error"));
    }
}

// The screen cursor, for the whole application (crHourGlass while sorting).
class TScreen {
  public:
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor);

  private:
    TCursor cursor_ = crDefault;
};

extern TScreen Screen;

HCURSOR CursorHandle(TCursor cursor);

// A canvas on a control's window outside the paint cycle (GetDC ... ReleaseDC). On a control
// without a window it draws into a scratch memory DC, so nothing reaches the screen.
class TControlCanvas {
  public:
    explicit TControlCanvas(TControl& control);
    ~TControlCanvas();
    TControlCanvas(const TControlCanvas&) = delete;
    TControlCanvas& operator=(const TControlCanvas&) = delete;
    TCanvas& Canvas() { return *canvas_; }

  private:
    HWND hwnd_;
    HDC dc_;
    std::unique_ptr<TCanvas> canvas_;
};

// Double buffering for a component and the window controls it owns directly: when the
// component is a window control its DoubleBuffered is set; then each owned component that is a
// window control gets it too, in ownership order. Owned components are not descended into, and
// graphic controls are passed over.
void SetDoubleBuffered(TComponent* component, bool value);
