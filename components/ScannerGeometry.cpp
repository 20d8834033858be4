// The scanner light bar's layout and stepping.
#include "components/ScannerGeometry.h"

#include <algorithm>

namespace scanner {

int ClampLedCount(int requested) {
    return std::clamp(requested, kMinLeds, kMaxLeds);
}

ScanColors ColorsFor(TScanColor color) {
    switch (color) {
        case scBlue:
            return {0x800000, 0xFF0000};  // navy, blue
        case scGreen:
            return {0x008000, 0x00FF00};  // green, lime
        case scYellow:
            return {0x008080, 0x00FFFF};  // olive, yellow
        case scRed:
            break;
    }
    return {0x000080, 0x0000FF};  // maroon, red
}

int FrameWidth(bool outerFrame, bool innerFrame, int bevelWidth) {
    return (outerFrame ? bevelWidth : 0) + (innerFrame ? bevelWidth : 0);
}

LayoutStep LayoutOnce(int width, int height, int ledCount, int frame, bool widthFollowsLeds) {
    ledCount = ClampLedCount(ledCount);  // the division below needs at least one LED
    LayoutStep step;
    step.ledHeight = height - 2 * frame - 2;
    if (step.ledHeight < 1) {
        step.kind = LayoutStep::FixHeight;
        step.newSize = 2 * frame + 3;
        return step;
    }
    // C++ division truncates towards zero, which is what makes a too narrow control (a negative
    // numerator) land on W < 1 rather than on a floor value.
    step.ledWidth = (width - 2 * frame - 1 - ledCount) / ledCount;
    if (step.ledWidth < 1) {
        step.kind = LayoutStep::FixWidth;
        step.newSize = 2 * ledCount + 2 * frame + 1;
        return step;
    }
    const int exactWidth = 2 * frame + 1 + ledCount * (step.ledWidth + 1);
    if (exactWidth != width && widthFollowsLeds) {
        step.kind = LayoutStep::FixWidth;
        step.newSize = exactWidth;
    }
    return step;
}

Rect LedRect(int index, int frame, int ledWidth, int height) {
    const int left = frame + 1 + (index - 1) * (ledWidth + 1);
    return {left, frame + 1, left + ledWidth, height - frame - 1};
}

Layout ResolveLayout(int width, int height, int ledCount, int frame, bool widthFollowsLeds) {
    ledCount = ClampLedCount(ledCount);
    Layout layout;
    LayoutStep step;
    // Each correction makes the next step's condition false, so a few rounds always settle.
    for (int round = 0; round < 4; ++round) {
        step = LayoutOnce(width, height, ledCount, frame, widthFollowsLeds);
        if (step.kind == LayoutStep::FixHeight)
            height = step.newSize;
        else if (step.kind == LayoutStep::FixWidth)
            width = step.newSize;
        else
            break;
    }
    layout.width = width;
    layout.height = height;
    layout.frame = frame;
    layout.ledHeight = step.ledHeight;
    layout.ledWidth = step.ledWidth;
    for (int i = 1; i <= ledCount; ++i)
        layout.leds.push_back(LedRect(i, frame, step.ledWidth, height));
    return layout;
}

void AdvancePosition(TScanMode mode, int ledCount, uint8_t& position, bool& direction) {
    switch (mode) {
        case smLeftToRight:
            direction = true;
            position = static_cast<uint8_t>(position > ledCount ? 0 : position + 1);
            break;
        case smRightToLeft:
            direction = false;
            position = static_cast<uint8_t>(position == 0 ? ledCount + 1 : position - 1);
            break;
        case smBoth:
            // At either end the direction turns first and the light moves on the next tick: that
            // pause is the two dark ticks beyond each end.
            if (direction) {
                if (position > ledCount)
                    direction = false;
                else
                    ++position;
            } else {
                if (position == 0)
                    direction = true;
                else
                    --position;
            }
            break;
    }
}

}  // namespace scanner
