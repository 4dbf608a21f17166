#pragma once

#include <string>

#include "framework/dialog.h"
#include "simulation/emission_source.h"

// The "From" panel's direction slider and "Spread" slider: where the next run's weather comes
// from. The direction slider stops at Above and the four sides, named beside the title; a session
// whose weather came from elsewhere (a command-line run's --from) adds its direction as one more
// stop, so opening it shows and keeps what it was weathered with. Window thread.

// The source the controls show.
Simulation::EmissionSource SourceOfControls(Dialog& panel);

// Shows source in the controls (a direction none of the stops has gets one of its own).
void ShowSource(Dialog& panel, const Simulation::EmissionSource& source);

// Keeps the direction's and the spread's labels in step with their sliders.
void UpdateSourceLabels(Dialog& panel);

// "+X, spread 20°", for the status line.
std::string SourceText(const Simulation::EmissionSource& source);
