#pragma once

#include "framework/ui_button.h"

// A box with a mark and a label: element 0 is the box, element 1 the mark.
class CUICheckBox : public CUIButton {
public:
  explicit CUICheckBox(ControlHost* host, int type = kControlCheckBox) : CUIButton(host, type) {}

  void Render(float elapsedSeconds) override;
  void UpdateBounds() override;
  virtual void SetCheckedInternal(bool checked, bool fromInput);

  bool GetChecked() const { return checked; }
  // A change by the program: reported only when the dialog sends programmatic events.
  void SetChecked(bool check) { SetCheckedInternal(check, false); }

protected:
  friend class Dialog;  // sets the starting values without reporting them
  void OnClicked() override { SetCheckedInternal(!checked, true); }

  bool checked = false;
  UIRect boxRect;
  UIRect textRect;
};
