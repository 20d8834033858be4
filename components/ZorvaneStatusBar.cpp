// The status bar that accepts child controls.
#include "components/ZorvaneStatusBar.h"

TzorvaneStatusBar::TzorvaneStatusBar(TComponent* owner) : TStatusBar(owner) {
    acceptsControls_ = true;
}
