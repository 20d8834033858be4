#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "components/ScannerGeometry.h"

using scanner::Rect;

TEST(ScannerLayout, SizeCorrections) {
    struct Case {
        const char* what;
        int width, height, leds, frame;
        bool widthFollowsLeds;
        int wantWidth, wantHeight, wantLedWidth, wantLedHeight;
    } cases[] = {
        {"constructor size, defaults", 82, 12, 7, 1, true, 80, 12, 10, 8},
        {"main window's instance", 73, 17, 7, 1, true, 73, 17, 9, 13},
        {"too low", 82, 4, 7, 1, true, 80, 5, 10, 1},
        {"too low, no frame", 40, 1, 7, 0, true, 36, 3, 4, 1},
        {"too narrow", 15, 12, 7, 1, true, 17, 12, 1, 8},
        {"zero width", 0, 12, 7, 1, true, 17, 12, 1, 8},
        // The minimum width is applied whatever the alignment; only the exact fit depends on it.
        {"too narrow, aligned top", 15, 12, 7, 1, false, 17, 12, 1, 8},
        {"aligned top keeps spare pixels", 82, 12, 7, 1, false, 82, 12, 10, 8},
        {"no frame, aligned client", 100, 12, 7, 0, false, 100, 12, 13, 10},
        {"no frame, free width", 100, 12, 7, 0, true, 99, 12, 13, 10},
        {"two frames fit exactly", 82, 12, 7, 2, true, 82, 12, 10, 6},
        {"thick frames", 82, 12, 7, 6, true, 76, 15, 8, 1},
        {"one LED", 10, 12, 1, 1, true, 10, 12, 6, 8},
        {"hundred LEDs", 82, 12, 100, 1, true, 203, 12, 1, 8},
    };
    for (const Case& c : cases) {
        scanner::Layout layout =
            scanner::ResolveLayout(c.width, c.height, c.leds, c.frame, c.widthFollowsLeds);
        EXPECT_EQ(layout.width, c.wantWidth) << c.what;
        EXPECT_EQ(layout.height, c.wantHeight) << c.what;
        EXPECT_EQ(layout.ledWidth, c.wantLedWidth) << c.what;
        EXPECT_EQ(layout.ledHeight, c.wantLedHeight) << c.what;
        ASSERT_EQ(layout.leds.size(), static_cast<size_t>(c.leds)) << c.what;
    }
}

TEST(ScannerLayout, EachCorrectionIsOneStep) {
    // Height first, then the minimum width, then the exact fit: one correction per round.
    scanner::LayoutStep step = scanner::LayoutOnce(15, 4, 7, 1, true);
    EXPECT_EQ(step.kind, scanner::LayoutStep::FixHeight);
    EXPECT_EQ(step.newSize, 5);
    step = scanner::LayoutOnce(15, 5, 7, 1, true);
    EXPECT_EQ(step.kind, scanner::LayoutStep::FixWidth);
    EXPECT_EQ(step.newSize, 17);
    step = scanner::LayoutOnce(17, 5, 7, 1, true);
    EXPECT_EQ(step.kind, scanner::LayoutStep::Done);
    step = scanner::LayoutOnce(82, 12, 7, 1, true);
    EXPECT_EQ(step.kind, scanner::LayoutStep::FixWidth);
    EXPECT_EQ(step.newSize, 80);
    EXPECT_EQ(scanner::LayoutOnce(82, 12, 7, 1, false).kind, scanner::LayoutStep::Done);
}

TEST(ScannerLayout, LedRectanglesLeaveOnePixelAround) {
    scanner::Layout layout = scanner::ResolveLayout(73, 17, 7, 1, true);
    ASSERT_EQ(layout.leds.size(), 7u);
    EXPECT_EQ(layout.leds.front(), (Rect{2, 2, 11, 15}));
    EXPECT_EQ(layout.leds.back(), (Rect{62, 2, 71, 15}));
    for (size_t i = 1; i < layout.leds.size(); ++i)
        EXPECT_EQ(layout.leds[i].left, layout.leds[i - 1].right + 1) << i;
    // Frame (1) + background (1) on the right edge too.
    EXPECT_EQ(layout.leds.back().right + 2, layout.width);

    scanner::Layout framed = scanner::ResolveLayout(82, 12, 7, 2, true);
    EXPECT_EQ(framed.leds.front(), (Rect{3, 3, 13, 9}));
}

TEST(ScannerLayout, LedCountClamping) {
    struct Case {
        int requested, stored;
    } cases[] = {{0, 1}, {-3, 1}, {1, 1}, {7, 7}, {100, 100}, {101, 100}, {150, 100}, {255, 100}};
    for (const Case& c : cases)
        EXPECT_EQ(scanner::ClampLedCount(c.requested), c.stored) << c.requested;
}

TEST(ScannerLayout, FrameWidth) {
    EXPECT_EQ(scanner::FrameWidth(true, false, 1), 1);
    EXPECT_EQ(scanner::FrameWidth(true, true, 3), 6);
    EXPECT_EQ(scanner::FrameWidth(false, true, 2), 2);
    EXPECT_EQ(scanner::FrameWidth(false, false, 5), 0);
}

TEST(ScannerColors, Pairs) {
    struct Case {
        TScanColor color;
        uint32_t off, on;
    } cases[] = {
        {scBlue, 0x800000, 0xFF0000},
        {scGreen, 0x008000, 0x00FF00},
        {scRed, 0x000080, 0x0000FF},
        {scYellow, 0x008080, 0x00FFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scanner::ColorsFor(c.color).off, c.off) << c.color;
        EXPECT_EQ(scanner::ColorsFor(c.color).on, c.on) << c.color;
    }
}

namespace {

std::vector<int> Ticks(TScanMode mode, int leds, uint8_t& position, bool& direction, int ticks) {
    std::vector<int> seen;
    for (int i = 0; i < ticks; ++i) {
        scanner::AdvancePosition(mode, leds, position, direction);
        seen.push_back(position);
    }
    return seen;
}

}  // namespace

TEST(ScannerStepping, SequencesFromTheStartingState) {
    struct Case {
        TScanMode mode;
        int leds;
        std::vector<int> positions;
        bool finalDirection;
    } cases[] = {
        {smBoth, 7, {2, 3, 4, 5, 6, 7, 8, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0, 1, 2}, true},
        {smLeftToRight, 3, {2, 3, 4, 0, 1, 2, 3, 4, 0, 1}, true},
        {smRightToLeft, 3, {0, 4, 3, 2, 1, 0, 4, 3}, false},
        {smBoth, 1, {2, 2, 1, 0, 0, 1, 2}, true},
        {smLeftToRight, 1, {2, 0, 1, 2}, true},
    };
    for (const Case& c : cases) {
        uint8_t position = 1;
        bool direction = true;
        EXPECT_EQ(Ticks(c.mode, c.leds, position, direction, static_cast<int>(c.positions.size())),
                  c.positions)
            << "mode " << c.mode << ", " << c.leds << " LEDs";
        EXPECT_EQ(direction, c.finalDirection) << "mode " << c.mode;
    }
}

TEST(ScannerStepping, ModeChangeKeepsPositionAndDirection) {
    uint8_t position = 1;
    bool direction = true;
    Ticks(smBoth, 7, position, direction, 4);  // 2, 3, 4, 5
    EXPECT_EQ(Ticks(smRightToLeft, 7, position, direction, 3), (std::vector<int>{4, 3, 2}));
    EXPECT_FALSE(direction);
    // smBoth takes over the leftward direction that smRightToLeft left behind.
    EXPECT_EQ(Ticks(smBoth, 7, position, direction, 4), (std::vector<int>{1, 0, 0, 1}));
    EXPECT_EQ(Ticks(smLeftToRight, 7, position, direction, 2), (std::vector<int>{2, 3}));
    EXPECT_TRUE(direction);
}

TEST(ScannerStepping, FewerLedsThanThePosition) {
    // The count can shrink under a running light: the position beyond the end is dark and the
    // path picks up from there.
    uint8_t position = 9;
    bool direction = true;
    EXPECT_EQ(Ticks(smLeftToRight, 3, position, direction, 3), (std::vector<int>{0, 1, 2}));
    position = 9;
    direction = true;
    EXPECT_EQ(Ticks(smBoth, 3, position, direction, 3), (std::vector<int>{9, 8, 7}));
}

TEST(ScannerStepping, CyclesReturnToTheStartForEveryCount) {
    for (int leds = 1; leds <= scanner::kMaxLeds; ++leds) {
        struct Mode {
            TScanMode mode;
            int cycle;
        } modes[] = {{smBoth, 2 * (leds + 2)}, {smLeftToRight, leds + 2}, {smRightToLeft, leds + 2}};
        for (const Mode& m : modes) {
            uint8_t position = 1;
            bool direction = m.mode != smRightToLeft;
            int dark = 0;
            for (int tick = 0; tick < m.cycle; ++tick) {
                scanner::AdvancePosition(m.mode, leds, position, direction);
                dark += scanner::IsLit(position, leds) ? 0 : 1;
                ASSERT_LE(position, leds + 1) << leds;
            }
            EXPECT_EQ(position, 1) << "mode " << m.mode << ", " << leds << " LEDs";
            EXPECT_EQ(dark, m.mode == smBoth ? 4 : 2) << "mode " << m.mode << ", " << leds << " LEDs";
        }
    }
}
