// TKITScanner: a row of LEDs of which one at a time lights up and runs along the row, driven by
// an animation timer of its own. It only draws; it has no events and takes no input. Screen readers
// meet it as an animation (ROLE_SYSTEM_ANIMATION), busy and animated while it scans, named by its
// AccessibleName. In high contrast its LEDs take system colours (COLOR_GRAYTEXT unlit,
// COLOR_HIGHLIGHT lit) instead of ScanColor's pair.
#pragma once

#include <cstdint>

#include "components/ScannerGeometry.h"
#include "wingui/WinGui.h"

class TKITScanner : public TGraphicControl {
  public:
    explicit TKITScanner(TComponent* owner);  // 82 x 12, not scanning
    ~TKITScanner() override;

    // 1 to 100: 0 (or less) is stored as 1, anything above 100 as 100.
    int HowManyLeds() const { return howManyLeds_; }
    void SetHowManyLeds(int value);
    // The animation interval in milliseconds. A negative value raises ERangeError "Range check
    // error" when it reaches the timer (at once while scanning, or when scanning starts); it is
    // stored all the same.
    int ScanSpeed() const { return scanSpeed_; }
    void SetScanSpeed(int value);
    // Takes effect at the next tick, from the current position and direction.
    TScanMode ScanMode() const { return scanMode_; }
    void SetScanMode(TScanMode value) { scanMode_ = value; }
    TScanColor ScanColor() const { return scanColor_; }
    void SetScanColor(TScanColor value);
    TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut value);
    TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut value);
    uint8_t BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(uint8_t value);
    bool Scanning() const { return timer_ != nullptr; }
    void SetScanning(bool value);

    // The lit LED's number (0 or above HowManyLeds: none) and whether it moves rightwards.
    int Position() const { return position_; }
    bool Direction() const { return direction_; }
    // The animation timer; null while not scanning.
    TTimer* AnimationTimer() const { return timer_; }
    // One animation step, as the timer runs it.
    void Tick();

  protected:
    void FillCreateParams(CreateParams& params) override;
    void Paint(TCanvas& canvas) override;
    bool DescribeAccessible(TAccessibleInfo& info) const override;

  private:
    void FullRepaint(TCanvas& canvas, int round);
    void RepaintIfShown();
    void FillLed(TCanvas& canvas, int index, TColor color);
    void CheckTimerInterval() const;

    int howManyLeds_ = 7;
    int scanSpeed_ = 100;
    TScanMode scanMode_ = smBoth;
    TScanColor scanColor_ = scRed;
    TBevelCut bevelOuter_ = bvRaised;
    TBevelCut bevelInner_ = bvNone;
    uint8_t bevelWidth_ = 1;

    uint8_t position_ = 1;
    bool direction_ = true;
    TTimer* timer_ = nullptr;  // owned through the component tree; exists only while scanning

    // Taken at each full repaint; the ticks draw with them.
    scanner::ScanColors colors_ = scanner::ColorsFor(scRed);
    scanner::Layout layout_;
};
