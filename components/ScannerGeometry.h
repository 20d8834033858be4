// The scanner light bar's arithmetic, free of any window system: the colour pairs, the LED layout
// with its size corrections, and the path of the lit LED. UKITScan draws what this computes.
#pragma once

#include <cstdint>
#include <vector>

enum TScanColor { scBlue, scGreen, scRed, scYellow };
enum TScanMode { smLeftToRight, smRightToLeft, smBoth };

namespace scanner {

constexpr int kMinLeds = 1;
constexpr int kMaxLeds = 100;

// Any requested count is kept within 1..100 (0 and negatives become 1).
int ClampLedCount(int requested);

// RGB values in the 0x00BBGGRR layout of the GUI layer's colours.
struct ScanColors {
    uint32_t off;
    uint32_t on;
};
ScanColors ColorsFor(TScanColor color);

// The frame width F: one bevel width for each frame that is drawn.
int FrameWidth(bool outerFrame, bool innerFrame, int bevelWidth);

// One step of the layout. Either a size correction (the control takes the new size and lays out
// again), or the final measures.
struct LayoutStep {
    enum Kind { Done, FixHeight, FixWidth } kind = Done;
    int newSize = 0;  // the corrected height or width, for FixHeight / FixWidth
    int ledHeight = 0;
    int ledWidth = 0;
};

// widthFollowsLeds: the control may size its width to fit the LEDs exactly (Align alNone,
// alLeft or alRight); otherwise the parent decides the width and spare pixels stay at the right.
LayoutStep LayoutOnce(int width, int height, int ledCount, int frame, bool widthFollowsLeds);

struct Rect {
    int left, top, right, bottom;  // right and bottom exclusive
    bool operator==(const Rect&) const = default;
};

struct Layout {
    int width = 0, height = 0;  // the size after every correction
    int frame = 0;
    int ledHeight = 0, ledWidth = 0;
    std::vector<Rect> leds;  // LED 1 first
};

// Applies corrections until the size is stable (they always settle within three steps) and
// returns the resulting size and LED rectangles.
Layout ResolveLayout(int width, int height, int ledCount, int frame, bool widthFollowsLeds);

// The rectangle of LED i (1-based) for the given measures.
Rect LedRect(int index, int frame, int ledWidth, int height);

// Moves the lit LED one tick along its path. position 0 or above ledCount means no LED is lit.
void AdvancePosition(TScanMode mode, int ledCount, uint8_t& position, bool& direction);

// True when position names an LED that is lit.
inline bool IsLit(int position, int ledCount) {
    return position >= 1 && position <= ledCount;
}

}  // namespace scanner
