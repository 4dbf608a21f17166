// patinex: ages a model step by step and shows its dirt and rust.
#include "app/application.h"
#include "framework/framework.h"
#include "framework/program_arguments.h"

namespace {

const char kAbout[] =
    "Opens the window \"Patinex\": pick a model, set Density, Tons/Step and Steps and press\n"
    "\"Weather\" to age it step by step; the step slider and the Shaded, Dirt and Rust views show\n"
    "the result. An OBJ or glTF file dropped on the window joins the model picker. The masks of every step\n"
    "go to the media folder, or to $XDG_DATA_HOME/Patinex/masks when it cannot be written.\n"
    "F2 opens the device settings; F3 and F4 switch to the reference and the software\n"
    "rasteriser and back. Alt+Enter toggles full screen, Escape quits.\n";

}  // namespace

int main(int argc, char** argv) {
  if (const int status = CheckProgramArguments(argc, argv, "patinex", kAbout); status >= 0) return status;
  if (StartApplication(true)) FrameworkMainLoop();
  return ShutdownApplication();
}
