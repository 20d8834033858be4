// TzorvaneStatusBar: the framework's status bar, changed only so that other controls can be
// placed on it as its children.
#pragma once

#include "wingui/WinGui.h"

class TzorvaneStatusBar : public TStatusBar {
  public:
    explicit TzorvaneStatusBar(TComponent* owner);
};
