// The scanner light bar. The arithmetic lives in ScannerGeometry; this file draws it.
#include "components/UKITScan.h"

#include <oleacc.h>

#include <utility>

#include "common/Exceptions.h"

namespace {

// The size corrections settle within three rounds; the bound only matters when the parent
// keeps overriding the size the bar asks for.
constexpr int kMaxRepaintRounds = 4;

}  // namespace

TKITScanner::TKITScanner(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(Left(), Top(), 82, 12);
}

TKITScanner::~TKITScanner() {
    SetScanning(false);
}

void TKITScanner::FillCreateParams(CreateParams& params) {
    TGraphicControl::FillCreateParams(params);
    params.className = "TKITScanner";
}

void TKITScanner::SetHowManyLeds(int value) {
    const int stored = scanner::ClampLedCount(value);
    if (stored == howManyLeds_)
        return;
    howManyLeds_ = stored;
    RepaintIfShown();
}

void TKITScanner::CheckTimerInterval() const {
    // The timer's interval is unsigned: a negative speed must not wrap into a huge interval.
    if (scanSpeed_ < 0)
        throw ERangeError("Range check error");
}

void TKITScanner::SetScanSpeed(int value) {
    scanSpeed_ = value;
    if (timer_) {
        CheckTimerInterval();
        timer_->SetInterval(static_cast<unsigned>(scanSpeed_));
    }
}

void TKITScanner::SetScanColor(TScanColor value) {
    if (value == scanColor_)
        return;
    scanColor_ = value;
    RepaintIfShown();
}

void TKITScanner::SetBevelOuter(TBevelCut value) {
    if (value == bevelOuter_)
        return;
    bevelOuter_ = value;
    RepaintIfShown();
}

void TKITScanner::SetBevelInner(TBevelCut value) {
    if (value == bevelInner_)
        return;
    bevelInner_ = value;
    RepaintIfShown();
}

void TKITScanner::SetBevelWidth(uint8_t value) {
    if (value == bevelWidth_)
        return;
    bevelWidth_ = value;
    RepaintIfShown();
}

void TKITScanner::SetScanning(bool value) {
    if (value == Scanning())
        return;
    if (value) {
        CheckTimerInterval();  // before anything changes, so a refused start leaves no timer
        auto* timer = new TTimer(this);
        timer->SetEnabled(false);
        timer->SetInterval(static_cast<unsigned>(scanSpeed_));
        timer->OnTimer = [this](TObject*) { Tick(); };
        timer->SetEnabled(true);
        timer_ = timer;
    } else {
        // Nothing is repainted: the LED lit last stays lit until the next full repaint.
        delete std::exchange(timer_, nullptr);
    }
    NotifyAccessible(EVENT_OBJECT_STATECHANGE);
}

bool TKITScanner::DescribeAccessible(TAccessibleInfo& info) const {
    // An animation rather than a progress bar: it tells that the launch runs, not how far it is.
    info.role = ROLE_SYSTEM_ANIMATION;
    info.state = STATE_SYSTEM_READONLY | (Scanning() ? STATE_SYSTEM_BUSY | STATE_SYSTEM_ANIMATED : 0);
    return true;
}

void TKITScanner::RepaintIfShown() {
    if (HandleAllocated())
        Repaint();
}

namespace {

RECT DeviceRect(const TControl& control, int left, int top, int right, int bottom) {
    return RECT{control.Scale(left), control.Scale(top), control.Scale(right), control.Scale(bottom)};
}

}  // namespace

void TKITScanner::Paint(TCanvas& canvas) {
    FullRepaint(canvas, 0);
}

void TKITScanner::FullRepaint(TCanvas& canvas, int round) {
    const int frame = scanner::FrameWidth(bevelOuter_ != bvNone, bevelInner_ != bvNone, bevelWidth_);
    RECT rect = DeviceRect(*this, 0, 0, Width(), Height());
    DrawBevel(canvas, rect, bevelOuter_, Scale(bevelWidth_));
    DrawBevel(canvas, rect, bevelInner_, Scale(bevelWidth_));
    canvas.SetBrushColor(EffectiveColor());
    canvas.FillRect(DeviceRect(*this, frame, frame, Width() - frame, Height() - frame));

    const bool widthFollowsLeds = Align() == alNone || Align() == alLeft || Align() == alRight;
    const scanner::LayoutStep step =
        scanner::LayoutOnce(Width(), Height(), howManyLeds_, frame, widthFollowsLeds);
    if (step.kind != scanner::LayoutStep::Done) {
        const int oldWidth = Width(), oldHeight = Height();
        if (step.kind == scanner::LayoutStep::FixHeight)
            SetHeight(step.newSize);
        else
            SetWidth(step.newSize);
        // A parent that aligns the bar may refuse the new size; drawing again would then repeat
        // the same correction forever, so the bar stays without LEDs at that size.
        if ((Width() != oldWidth || Height() != oldHeight) && round + 1 < kMaxRepaintRounds)
            FullRepaint(canvas, round + 1);
        else
            layout_ = {};
        return;
    }

    // In high contrast the LEDs take system colours: unlit as dimmed text, lit as the selection.
    colors_ = HighContrast() ? scanner::ScanColors{clGrayText, clHighlight} : scanner::ColorsFor(scanColor_);
    layout_ = scanner::ResolveLayout(Width(), Height(), howManyLeds_, frame, widthFollowsLeds);
    for (int i = 1; i <= static_cast<int>(layout_.leds.size()); ++i)
        FillLed(canvas, i, colors_.off);
}

void TKITScanner::FillLed(TCanvas& canvas, int index, TColor color) {
    const scanner::Rect& led = layout_.leds[static_cast<size_t>(index - 1)];
    canvas.SetBrushColor(color);
    canvas.FillRect(DeviceRect(*this, led.left, led.top, led.right, led.bottom));
}

void TKITScanner::Tick() {
    // Drawn straight onto the window, outside the paint cycle: a full repaint in between turns
    // every LED off again until the next tick.
    TControlCanvas target(*this);
    TCanvas& canvas = target.Canvas();
    const int ledCount = static_cast<int>(layout_.leds.size());
    for (int i = 1; i <= ledCount; ++i)
        FillLed(canvas, i, colors_.off);
    scanner::AdvancePosition(scanMode_, howManyLeds_, position_, direction_);
    if (scanner::IsLit(position_, howManyLeds_) && position_ <= ledCount)
        FillLed(canvas, position_, colors_.on);
}
