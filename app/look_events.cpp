#include <string>

#include "app/application.h"
#include "app/status_line.h"

void PatinexApplication::ChooseLook() {
  std::string why;
  if (!looks.ChooseStop(panels.LookPanel(), &why)) {
    status.SetDetail("The look cannot be shown: " + AsSentence(why));
    return;
  }
  view.ShowLook(looks.Current());
  FrameworkRequestFrame();
  // A run writes the record with the look it started with; its end writes this one over it.
  if (run.Kept()) return;
  if (!sessions.RememberLook(&why)) status.SetDetail("The session keeps its earlier look: " + AsSentence(why));
}

void PatinexApplication::ReadLooksAgain() {
  std::string why;
  switch (looks.ReadAgain(panels.LookPanel(), &why)) {
    case LookChoice::Reread::kSame: break;
    case LookChoice::Reread::kChanged:
      view.ShowLook(looks.Current());
      FrameworkRequestFrame();
      break;
    case LookChoice::Reread::kFailed: status.SetDetail("The look stays as it was: " + AsSentence(why)); break;
  }
}
