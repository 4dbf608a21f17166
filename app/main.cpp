// patinex: ages a model step by step and shows its dirt and rust.
#include <string>

#include "app/application.h"
#include "framework/framework.h"
#include "framework/program_arguments.h"

namespace {

const char kAbout[] =
    "Opens the window \"Patinex\": pick a model, set Density, Tons/Step and Steps and press\n"
    "\"Weather\" to age it step by step; the step slider and the Shaded, Dirt, Rust and Points views\n"
    "show the result, and the status line under them what happened. An OBJ or glTF file dropped on\n"
    "the window, or found with \"Open\", joins the model picker, which lists the models opened\n"
    "recently again at the next start ($XDG_STATE_HOME/Patinex/recent-models). The masks of every\n"
    "step go to a session folder under the media folder, or under $XDG_DATA_HOME/Patinex/masks\n"
    "when it cannot be written:\n"
    "sessions/<model>-<hash>/<n>/, which 'patinex-cli weather MODEL --out FOLDER --resume' also\n"
    "continues. A model opens its latest session and Weather numbers its steps on; a new density\n"
    "or \"New\" starts another session beside it, the session picker opens an earlier one and\n"
    "\"Delete\" deletes the one shown, after asking.\n"
    "Dragging turns the model, the wheel zooms, and Home or F shows its front again, framed whole.\n"
    "F2 opens the device settings; F3 and F4 switch to Mesa's softpipe and llvmpipe and back.\n"
    "Alt+Enter toggles full screen, Escape quits (asking first during a run).\n"
    "MODEL, an OBJ or glTF file (its path absolute or from the current folder), is opened at start\n"
    "as if dropped; when it cannot be read the window opens without it and the status line says why.\n";

}  // namespace

int main(int argc, char** argv) {
  std::string model;
  if (const int status = CheckProgramArguments(argc, argv, "patinex", kAbout, "MODEL", &model); status >= 0) {
    return status;
  }
  PatinexApplication application;
  if (application.Start(true)) {
    if (!model.empty()) application.OpenModelFile(model);
    FrameworkMainLoop();
  }
  return application.Shutdown();
}
