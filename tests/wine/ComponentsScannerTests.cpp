// The scanner bar under Wine, checked on the pixels it leaves on screen and on what screen readers
// read of it.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/Exceptions.h"
#include "components/UKITScan.h"
#include "tests/wine/AccessibleSupport.h"
#include "tests/wine/ComponentsTestSupport.h"

using testsupport::PaintNow;
using testsupport::Pump;
using testsupport::PumpUntil;
using testsupport::WindowPixels;

namespace {

constexpr COLORREF kMaroon = RGB(128, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

COLORREF Sys(int index) {
    return GetSysColor(index);
}

// What the bar should look like, pixel by pixel, worked out from the frame rings inwards
// rather than in drawing order.
struct Picture {
    int width, height;
    TBevelCut outer = bvRaised, inner = bvNone;
    int bevelWidth = 1;
    COLORREF background = 0;
    int ledWidth = 0, ledCount = 7;
    COLORREF off = kMaroon, on = kRed;
    int lit = 0;  // 0: none

    int Frame() const { return (outer != bvNone ? bevelWidth : 0) + (inner != bvNone ? bevelWidth : 0); }

    COLORREF At(int x, int y) const {
        const int ring = std::min(std::min(x, y), std::min(width - 1 - x, height - 1 - y));
        if (ring < Frame()) {
            const TBevelCut kind = (outer != bvNone && ring < bevelWidth) ? outer : inner;
            const bool topLeft = (y == ring && x < width - 1 - ring) || (x == ring && y < height - 1 - ring);
            const bool lowered = kind == bvLowered;
            return Sys(topLeft == lowered ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT);
        }
        const int f = Frame();
        if (y >= f + 1 && y < height - f - 1 && x >= f + 1) {
            const int offset = x - (f + 1);
            const int led = offset / (ledWidth + 1) + 1;
            if (led <= ledCount && offset % (ledWidth + 1) < ledWidth)
                return led == lit ? on : off;
        }
        return background;
    }
};

// Compares every pixel; reports the first few differences.
void ExpectPicture(const WindowPixels& pixels, const Picture& want, const std::string& what) {
    ASSERT_EQ(pixels.Width(), want.width) << what;
    ASSERT_EQ(pixels.Height(), want.height) << what;
    int wrong = 0;
    for (int y = 0; y < want.height; ++y) {
        for (int x = 0; x < want.width; ++x) {
            if (pixels.At(x, y) != want.At(x, y) && ++wrong <= 3) {
                ADD_FAILURE() << what << ": pixel (" << x << ", " << y << ") is " << std::hex
                              << pixels.At(x, y) << ", want " << want.At(x, y);
            }
        }
    }
    EXPECT_EQ(wrong, 0) << what;
}

class ScannerTest : public testsupport::FormTest {
  protected:
    TKITScanner* NewScanner(int width, int height) {
        auto* bar = new TKITScanner(form);
        bar->SetParent(form);
        bar->SetBounds(28, 6, width, height);
        PaintNow(form->Handle());
        return bar;
    }
    COLORREF FormBackground() const { return ColorToRGB(form->Color()); }
    Picture MainWindowPicture() const {
        Picture picture{73, 17};
        picture.background = FormBackground();
        picture.ledWidth = 9;
        return picture;
    }
};

}  // namespace

TEST_F(ScannerTest, ConstructedState) {
    auto* bar = new TKITScanner(form);
    EXPECT_EQ(bar->Width(), 82);
    EXPECT_EQ(bar->Height(), 12);
    EXPECT_EQ(bar->HowManyLeds(), 7);
    EXPECT_EQ(bar->ScanSpeed(), 100);
    EXPECT_EQ(bar->ScanMode(), smBoth);
    EXPECT_EQ(bar->ScanColor(), scRed);
    EXPECT_EQ(bar->BevelOuter(), bvRaised);
    EXPECT_EQ(bar->BevelInner(), bvNone);
    EXPECT_EQ(bar->BevelWidth(), 1);
    EXPECT_FALSE(bar->Scanning());
    EXPECT_EQ(bar->AnimationTimer(), nullptr);
    EXPECT_EQ(bar->Position(), 1);
    EXPECT_TRUE(bar->Direction());
    EXPECT_EQ(bar->Align(), alNone);

    bar->SetParent(form);
    PaintNow(form->Handle());
    char className[64] = {};
    GetClassNameA(bar->Handle(), className, sizeof className);
    EXPECT_STREQ(className, "TKITScanner");
    // The first paint fits the width to the seven LEDs of ten pixels.
    EXPECT_EQ(bar->Width(), 80);
    Picture want{80, 12};
    want.background = FormBackground();
    want.ledWidth = 10;
    ExpectPicture(WindowPixels(bar->Handle()), want, "82 x 12");
}

TEST_F(ScannerTest, PaintsAndTicksOnADoubleBufferedParent) {
    // The main window is double-buffered: the corrections then happen while painting into a
    // buffer of the old size.
    form->SetDoubleBuffered(true);
    TKITScanner* bar = NewScanner(82, 4);
    EXPECT_EQ(bar->Width(), 80);
    EXPECT_EQ(bar->Height(), 5);
    Picture want{80, 5};
    want.background = FormBackground();
    want.ledWidth = 10;
    ExpectPicture(WindowPixels(bar->Handle()), want, "buffered");
    bar->Tick();
    want.lit = 2;
    ExpectPicture(WindowPixels(bar->Handle()), want, "buffered, ticked");
    form->SetDoubleBuffered(false);
}

TEST_F(ScannerTest, MainWindowInstanceKeepsItsSizeAndShowsUnlitLeds) {
    TKITScanner* bar = NewScanner(73, 17);
    EXPECT_EQ(bar->Width(), 73);
    EXPECT_EQ(bar->Height(), 17);
    ExpectPicture(WindowPixels(bar->Handle()), MainWindowPicture(), "73 x 17");
}

TEST_F(ScannerTest, TicksMoveOneLitLedAndAFullRepaintTurnsItOff) {
    TKITScanner* bar = NewScanner(73, 17);
    const int positions[] = {2, 3, 4, 5, 6, 7, 8, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0, 1, 2};
    Picture want = MainWindowPicture();
    for (int position : positions) {
        bar->Tick();
        ASSERT_EQ(bar->Position(), position);
        want.lit = position;
        ExpectPicture(WindowPixels(bar->Handle()), want, "after the tick to " + std::to_string(position));
    }
    PaintNow(bar->Handle());
    want.lit = 0;
    ExpectPicture(WindowPixels(bar->Handle()), want, "after a full repaint");
    EXPECT_EQ(bar->Position(), 2);  // a repaint does not move the light
}

TEST_F(ScannerTest, ColourPairsOnScreen) {
    struct Case {
        TScanColor color;
        COLORREF off, on;
    } cases[] = {
        {scBlue, RGB(0, 0, 128), RGB(0, 0, 255)},
        {scGreen, RGB(0, 128, 0), RGB(0, 255, 0)},
        {scYellow, RGB(128, 128, 0), RGB(255, 255, 0)},
        {scRed, RGB(128, 0, 0), RGB(255, 0, 0)},
    };
    TKITScanner* bar = NewScanner(73, 17);
    Picture want = MainWindowPicture();
    for (const Case& c : cases) {
        bar->SetScanColor(c.color);  // repaints at once: every LED off in the new colour
        want.off = c.off;
        want.on = c.on;
        want.lit = 0;
        ExpectPicture(WindowPixels(bar->Handle()), want, "repainted, colour " + std::to_string(c.color));
        bar->Tick();
        want.lit = bar->Position();
        ExpectPicture(WindowPixels(bar->Handle()), want, "ticked, colour " + std::to_string(c.color));
    }
}

TEST_F(ScannerTest, BevelKindsAndWidths) {
    struct Case {
        TBevelCut outer, inner;
        int bevelWidth;
        int wantWidth, wantLedWidth;
    } cases[] = {
        {bvLowered, bvNone, 1, 73, 9}, {bvRaised, bvLowered, 2, 72, 8},  // F = 4
        {bvNone, bvNone, 1, 71, 9},                                      // F = 0
        {bvSpace, bvRaised, 1, 68, 8},  // a space frame is drawn like a raised one
        {bvNone, bvLowered, 3, 70, 8},  // F = 3
    };
    for (const Case& c : cases) {
        auto* bar = new TKITScanner(form);
        bar->SetParent(form);
        bar->SetBevelOuter(c.outer);
        bar->SetBevelInner(c.inner);
        bar->SetBevelWidth(static_cast<uint8_t>(c.bevelWidth));
        bar->SetBounds(28, 6, 73, 17);
        PaintNow(form->Handle());
        EXPECT_EQ(bar->Width(), c.wantWidth);
        Picture want{c.wantWidth, 17};
        want.outer = c.outer;
        want.inner = c.inner;
        want.bevelWidth = c.bevelWidth;
        want.background = FormBackground();
        want.ledWidth = c.wantLedWidth;
        ExpectPicture(WindowPixels(bar->Handle()), want,
                      "bevels " + std::to_string(c.outer) + "/" + std::to_string(c.inner) + " width " +
                          std::to_string(c.bevelWidth));
        delete bar;
    }
}

TEST_F(ScannerTest, CorrectionsOnScreen) {
    struct Case {
        const char* what;
        int width, height, leds;
        int wantWidth, wantHeight;
    } cases[] = {
        {"too low", 73, 4, 7, 73, 5},
        {"too narrow", 15, 17, 7, 17, 17},
        {"one LED", 73, 17, 0, 73, 17},
        {"a hundred LEDs", 73, 17, 150, 203, 17},
    };
    for (const Case& c : cases) {
        auto* bar = new TKITScanner(form);
        bar->SetParent(form);
        bar->SetHowManyLeds(c.leds);
        bar->SetBounds(28, 6, c.width, c.height);
        PaintNow(form->Handle());
        EXPECT_EQ(bar->Width(), c.wantWidth) << c.what;
        EXPECT_EQ(bar->Height(), c.wantHeight) << c.what;
        RECT client{};
        GetClientRect(bar->Handle(), &client);
        EXPECT_EQ(client.right, c.wantWidth) << c.what;
        EXPECT_EQ(client.bottom, c.wantHeight) << c.what;
        Picture want{c.wantWidth, c.wantHeight};
        want.background = FormBackground();
        want.ledCount = bar->HowManyLeds();
        want.ledWidth = (c.wantWidth - 3 - want.ledCount) / want.ledCount;
        ExpectPicture(WindowPixels(bar->Handle()), want, c.what);
        delete bar;
    }
}

TEST_F(ScannerTest, ChangedLedCountRepaintsAtOnce) {
    TKITScanner* bar = NewScanner(73, 17);
    bar->SetHowManyLeds(3);  // W = (73 - 3 - 3) div 3 = 22: the width becomes 3 + 3 * 23 = 72
    EXPECT_EQ(bar->HowManyLeds(), 3);
    EXPECT_EQ(bar->Width(), 72);
    Pump();
    Picture want{72, 17};
    want.background = FormBackground();
    want.ledCount = 3;
    want.ledWidth = 22;
    ExpectPicture(WindowPixels(bar->Handle()), want, "3 LEDs");
}

TEST_F(ScannerTest, AlignedTopLeavesSparePixelsAtTheRight) {
    form->SetClientSize(470, 280);  // (470 - 10) div 7 = 65: 5 pixels to spare
    auto* bar = new TKITScanner(form);
    bar->SetParent(form);
    bar->SetHeight(17);
    bar->SetAlign(alTop);
    PaintNow(form->Handle());
    const int width = form->ClientWidth();
    ASSERT_EQ(bar->Width(), width);
    const int ledWidth = (width - 3 - 7) / 7;
    ASSERT_NE(3 + 7 * (ledWidth + 1), width) << "choose a form width that leaves spare pixels";
    Picture want{width, 17};
    want.background = FormBackground();
    want.ledWidth = ledWidth;
    ExpectPicture(WindowPixels(bar->Handle()), want, "aligned top");
}

TEST_F(ScannerTest, BackgroundComesFromTheParentUntilSet) {
    form->SetColor(clTeal);
    TKITScanner* bar = NewScanner(73, 17);
    Picture want = MainWindowPicture();
    want.background = RGB(0, 128, 128);
    ExpectPicture(WindowPixels(bar->Handle()), want, "teal parent");

    bar->SetColor(clWhite);
    PaintNow(bar->Handle());
    want.background = RGB(255, 255, 255);
    ExpectPicture(WindowPixels(bar->Handle()), want, "own colour");
}

TEST_F(ScannerTest, TimerExistsOnlyWhileScanningAndDrivesTheLight) {
    TKITScanner* bar = NewScanner(73, 17);
    bar->SetScanSpeed(10);
    bar->SetScanning(true);
    TTimer* timer = bar->AnimationTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(bar->Scanning());
    EXPECT_EQ(timer->Owner(), bar);
    EXPECT_TRUE(timer->Enabled());
    EXPECT_EQ(timer->Interval(), 10u);
    bar->SetScanning(true);
    EXPECT_EQ(bar->AnimationTimer(), timer);  // setting the same value does nothing

    bar->SetScanSpeed(15);
    EXPECT_EQ(timer->Interval(), 15u);

    // The real timer moves the light: wait until it has gone past LED 4.
    ASSERT_TRUE(PumpUntil([&] { return bar->Position() >= 5; }));
    bar->SetScanning(false);
    EXPECT_EQ(bar->AnimationTimer(), nullptr);
    for (TComponent* component : bar->Components())
        EXPECT_EQ(dynamic_cast<TTimer*>(component), nullptr) << "the timer is destroyed";

    // Stopping repaints nothing: the LED lit last stays lit, and the position stays.
    const int stoppedAt = bar->Position();
    const bool direction = bar->Direction();
    Pump();
    Sleep(50);
    Pump();
    EXPECT_EQ(bar->Position(), stoppedAt);
    Picture want = MainWindowPicture();
    want.lit = stoppedAt;
    ExpectPicture(WindowPixels(bar->Handle()), want, "stopped");

    // A new start goes on from there (slowly, so that the first tick is seen alone).
    uint8_t next = static_cast<uint8_t>(stoppedAt);
    bool nextDirection = direction;
    scanner::AdvancePosition(smBoth, 7, next, nextDirection);
    bar->SetScanSpeed(300);
    bar->SetScanning(true);
    ASSERT_TRUE(PumpUntil([&] { return bar->Position() != stoppedAt || bar->Direction() != direction; }));
    bar->SetScanning(false);
    EXPECT_EQ(bar->Position(), next);
    EXPECT_EQ(bar->Direction(), nextDirection);
}

TEST_F(ScannerTest, ScanModeChangeKeepsPositionAndDirection) {
    TKITScanner* bar = NewScanner(73, 17);
    for (int i = 0; i < 3; ++i)
        bar->Tick();  // 2, 3, 4
    bar->SetScanMode(smRightToLeft);
    EXPECT_EQ(bar->Position(), 4);
    bar->Tick();
    EXPECT_EQ(bar->Position(), 3);
    EXPECT_FALSE(bar->Direction());
    bar->SetScanMode(smBoth);
    bar->Tick();
    EXPECT_EQ(bar->Position(), 2);
    Picture want = MainWindowPicture();
    want.lit = 2;
    ExpectPicture(WindowPixels(bar->Handle()), want, "after the mode changes");
}

TEST_F(ScannerTest, NegativeSpeedIsARangeErrorAtTheTimer) {
    TKITScanner* bar = NewScanner(73, 17);
    bar->SetScanSpeed(-1);  // not scanning: only stored
    EXPECT_EQ(bar->ScanSpeed(), -1);
    try {
        bar->SetScanning(true);
        ADD_FAILURE() << "starting with a negative speed must fail";
    } catch (const ERangeError& error) {
        EXPECT_STREQ(error.what(), "Range check error");
    }
    EXPECT_FALSE(bar->Scanning());
    EXPECT_EQ(bar->AnimationTimer(), nullptr);

    bar->SetScanSpeed(50);
    bar->SetScanning(true);
    EXPECT_THROW(bar->SetScanSpeed(-20), ERangeError);
    EXPECT_EQ(bar->ScanSpeed(), -20);  // stored all the same
    ASSERT_NE(bar->AnimationTimer(), nullptr);
    EXPECT_EQ(bar->AnimationTimer()->Interval(), 50u);
    bar->SetScanning(false);
}

TEST_F(ScannerTest, ZeroSpeedNeverLightsAnything) {
    TKITScanner* bar = NewScanner(73, 17);
    bar->SetScanSpeed(0);
    bar->SetScanning(true);
    Sleep(100);
    Pump();
    EXPECT_EQ(bar->Position(), 1);
    ExpectPicture(WindowPixels(bar->Handle()), MainWindowPicture(), "speed 0");
    bar->SetScanning(false);
}

TEST_F(ScannerTest, DestroyedWhileScanning) {
    TKITScanner* bar = NewScanner(73, 17);
    bar->SetScanSpeed(1);
    bar->SetScanning(true);
    ASSERT_TRUE(PumpUntil([&] { return bar->Position() != 1; }));
    delete bar;
    // A tick reaching the destroyed bar would draw through freed memory.
    Sleep(30);
    Pump();
    EXPECT_TRUE(form->Controls().empty());
}

TEST_F(ScannerTest, ScreenReadersMeetABusyAnimationWhileItScans) {
    TKITScanner* bar = NewScanner(73, 17);
    bar->SetAccessibleName("Start-up sequence");
    testsupport::Accessible object(bar->Handle());
    ASSERT_TRUE(object);
    EXPECT_EQ(object.Role(), ROLE_SYSTEM_ANIMATION);
    EXPECT_EQ(object.Name(), "Start-up sequence");
    EXPECT_EQ(object.State(), STATE_SYSTEM_READONLY) << "idle, and no tab stop";
    bar->SetScanning(true);
    EXPECT_EQ(object.State(), STATE_SYSTEM_READONLY | STATE_SYSTEM_BUSY | STATE_SYSTEM_ANIMATED);
    bar->SetScanning(false);
    EXPECT_EQ(object.State(), STATE_SYSTEM_READONLY);
    EXPECT_EQ(object.DefaultAction(), "");
    EXPECT_EQ(object->accDoDefaultAction(testsupport::Accessible::Self()), DISP_E_MEMBERNOTFOUND);
}

TEST_F(ScannerTest, HighContrastDrawsTheLedsInSystemColoursAndNoLongerThanItLasts) {
    const COLORREF unlit = GetSysColor(COLOR_GRAYTEXT), lit = GetSysColor(COLOR_HIGHLIGHT);
    ASSERT_NE(unlit, kMaroon);
    ASSERT_NE(lit, kRed);
    TKITScanner* bar = NewScanner(73, 17);
    Picture want = MainWindowPicture();
    {
        testsupport::HighContrastScheme highContrast(form);
        want.off = unlit;
        want.on = lit;
        ExpectPicture(WindowPixels(bar->Handle()), want, "high contrast");
        bar->Tick();
        want.lit = 2;
        ExpectPicture(WindowPixels(bar->Handle()), want, "high contrast, ticked");

        highContrast.Off();
        want = MainWindowPicture();
        ExpectPicture(WindowPixels(bar->Handle()), want, "high contrast off again");
        bar->Tick();
        want.lit = 3;
        ExpectPicture(WindowPixels(bar->Handle()), want, "the scan colours again, ticked");
    }
}
