#pragma once

// Start-up in order: plain 8-bit back buffer, the nine callbacks, the three panels, the
// framework from the command line, the window "Patinex" and a windowed 800 × 600 device. Names
// the mask folder on stderr. False when the framework failed to start (its exit code says why).
bool StartApplication(bool parseCommandLine, const char* extraCommandLine = nullptr);
// Ends a running simulation and waits for it, then shuts the framework down (releasing the
// device objects) and frees the model and the samples. Returns the framework's exit code.
int ShutdownApplication();
