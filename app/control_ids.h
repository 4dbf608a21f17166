#pragma once

// Identifiers of the panels' controls, unique across the panels; -1 marks a label that is never
// addressed.
inline constexpr int ID_LABEL = -1;
inline constexpr int ID_TOGGLE_FULLSCREEN = 1;
inline constexpr int ID_TOGGLE_REF = 2;
inline constexpr int ID_CHANGE_DEVICE = 3;
inline constexpr int ID_MODEL = 4;
inline constexpr int ID_TOGGLE_WARP = 5;
inline constexpr int ID_WEATHER = 6;
inline constexpr int ID_DENSITY = 7;
inline constexpr int ID_STEPS = 8;
inline constexpr int ID_TONS_PER_STEP = 9;
inline constexpr int ID_VIEW = 10;
inline constexpr int ID_STEP_LABEL = 11;
inline constexpr int ID_STEP = 12;
inline constexpr int ID_PROGRESS = 13;  // the status line
inline constexpr int ID_DIRT_FACTOR = 14;
inline constexpr int ID_RUST_FACTOR = 15;
inline constexpr int ID_EXPORT = 16;
inline constexpr int ID_EXPORT_NAME = 17;
inline constexpr int ID_EXPORT_FOLDER = 18;
inline constexpr int ID_ENVIRONMENT = 19;
inline constexpr int ID_BACKGROUND = 20;
inline constexpr int ID_QUIT_YES = 21;
inline constexpr int ID_QUIT_NO = 22;
inline constexpr int ID_SESSION = 23;
inline constexpr int ID_NEW_SESSION = 24;
inline constexpr int ID_DELETE_SESSION = 25;
inline constexpr int ID_QUESTION_TEXT = 26;
// The model panel's "Open" and the file browser it shows.
inline constexpr int ID_OPEN = 40;
inline constexpr int ID_BROWSER_PATH = 41;
inline constexpr int ID_BROWSER_PARENT = 42;
inline constexpr int ID_BROWSER_RECENT = 43;
inline constexpr int ID_BROWSER_LIST = 44;
inline constexpr int ID_BROWSER_MESSAGE = 45;
inline constexpr int ID_BROWSER_OPEN = 46;
inline constexpr int ID_BROWSER_CANCEL = 47;
// The From panel: the direction and spread sliders and their labels.
inline constexpr int ID_SOURCE = 50;
inline constexpr int ID_SPREAD = 51;
inline constexpr int ID_SPREAD_LABEL = 52;
inline constexpr int ID_SOURCE_LABEL = 53;
// The Look panel: its slider of looks and the chosen look's name.
inline constexpr int ID_LOOK = 54;
inline constexpr int ID_LOOK_LABEL = 55;
