#pragma once

// Window and device creation made to fail on purpose, so tests can drive the failure paths of
// the real programs: PATINEX_FAIL_CREATION="window:2,device:3" makes the second window and the
// third device the framework creates (counted from the start of the program) fail.
enum class CreationKind { Window, Device };

// Counts one creation of the kind; true when this one is to fail.
bool CreationFailsOnPurpose(CreationKind kind);
