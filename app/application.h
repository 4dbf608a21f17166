#pragma once

#include <cstdint>

#include "app/asset_export_command.h"
#include "app/file_browser.h"
#include "app/look_choice.h"
#include "app/mask_history.h"
#include "app/media_folders.h"
#include "app/model_table.h"
#include "app/number_boxes.h"
#include "app/recent_list.h"
#include "app/scene_view.h"
#include "app/simulation_run.h"
#include "app/status_line.h"
#include "app/surface_samples.h"
#include "app/window_panels.h"
#include "app/window_sessions.h"
#include "app/work_model.h"
#include "framework/framework.h"
#include "platform/window_event.h"

class CUIControl;

// The window program: owns the objects that make it up and is what the framework's callbacks and
// the panels' controls are handed. It turns input into their operations and ties them together
// where one's change concerns another (a new model ends the run and frees the samples first).
// Window thread.
class PatinexApplication {
public:
  PatinexApplication();
  PatinexApplication(const PatinexApplication&) = delete;
  PatinexApplication& operator=(const PatinexApplication&) = delete;

  // Start-up in order: plain 8-bit back buffer, the nine callbacks, the three panels, the
  // framework from the command line, the window "Patinex" and a windowed 800 × 600 device. Names
  // the mask folder on stderr. False when the framework failed to start (its exit code says why).
  bool Start(bool parseCommandLine, const char* extraCommandLine = nullptr);
  // Ends a running simulation and waits for it, then shuts the framework down (releasing the
  // device objects) and frees the model and the samples. Returns the framework's exit code.
  int Shutdown();

  // What the framework's callbacks do; they reach these through their user context.
  Platform::Result OnDeviceCreated(Platform::GraphicsDevice* device);
  Platform::Result OnSwapChainResized(Platform::GraphicsDevice* device, const Platform::SurfaceDescription& backBuffer);
  void OnSwapChainReleasing();
  void OnDeviceDestroyed();
  void OnFrameMove(float elapsedSeconds);
  void OnFrameRender(Platform::GraphicsDevice* device, float elapsedSeconds);
  bool OnModifyDeviceSettings(FrameworkDeviceSettings* settings);
  // Every control of the three panels reports here; the action depends on the control and, for
  // the number boxes, on whether the user is done typing (Enter or leaving the box).
  void OnGuiEvent(uint32_t eventCode, int controlId);

  // Ends a running simulation, releases the model, its samples and masks, and loads the picker's
  // selection (framing the camera and placing the lights around it). The status line says what
  // was loaded, or which file could not be read and why.
  void LoadSelectedModel();
  // A dropped model file becomes a picker entry and is loaded as if picked; one that cannot be
  // loaded leaves the picker as it was (false then). The file browser opens files this way too.
  bool AddDroppedModel(const std::string& path);
  // A model file named on the command line: made absolute (relative paths are from the current
  // folder) and opened as if dropped.
  void OpenModelFile(const std::string& path);
  // Escape quits, but not a run by surprise: during a run it asks first (false then).
  bool EscapeMayQuit(const Platform::WindowEvent& event);
  // A question asked in the window (whether to quit during a run, whether to delete a session):
  // the frames go on under it (a run's progress stays up to date) while it takes every key and
  // click. Y or its Yes button says yes; N, Enter, Escape or its No button say no. The key that
  // answered is spent: its release and the character it types reach nothing else.
  enum class Question { kQuit, kDeleteSession };
  void AskQuestion(Question question, const std::string& text);
  bool QuitQuestionOpen() { return panels.QuitQuestion().IsVisible(); }
  void AnswerQuitQuestion(bool yes);

  // The look panel's slider: the Shaded view shows the look at once, and the current session
  // keeps it (during a run, once the run ends: the run writes the session's record).
  void ChooseLook();
  // The looks listed again and the chosen one read again; a change to it shows at once.
  void ReadLooksAgain();
  // The session picker, "New session" and "Delete" (session_events.cpp). None of them acts
  // during a run, which writes into the current session; the status line says so.
  void ChooseSession();
  void StartNewSession();
  void AskToDeleteSession();
  // True when the question (open, or the key that answered it) used the event.
  bool HandleQuitQuestion(Platform::Window* window, const Platform::WindowEvent& event);

  MediaFolders& Folders() { return folders; }
  WindowPanels& Panels() { return panels; }
  StatusLine& Status() { return status; }
  NumberBoxes& Numbers() { return numbers; }
  MaskHistory& History() { return history; }
  WorkModel& Model() { return model; }
  SurfaceSamples& Samples() { return samples; }
  SceneView& View() { return view; }
  ModelTable& Models() { return models; }
  SimulationRun& Run() { return run; }
  WindowSessions& Sessions() { return sessions; }
  LookChoice& Looks() { return looks; }
  AssetExportCommand& Exporter() { return exporter; }
  FileBrowser& Browser() { return browser; }
  const RecentList& RecentModels() const { return recentModels; }
  const RecentList& RecentFolders() const { return recentFolders; }

  // The framework's event callback: the dialogs, the panels and the camera in turn.
  static void OnMessage(Platform::Window* window, const Platform::WindowEvent& event, bool* noFurtherProcessing,
                        void* userContext);

private:
  // Registers the nine framework callbacks, in this order, with this application as their context
  // (application_callbacks.cpp); each forwards to the operation above.
  void RegisterCallbacks();
  static bool DeviceAcceptableCallback(uint32_t adapter, uint32_t output, Platform::DriverType driverType,
                                       Platform::Format backBufferFormat, bool windowed, void* userContext);
  static Platform::Result DeviceCreatedCallback(Platform::GraphicsDevice* device,
                                                const Platform::SurfaceDescription* backBuffer, void* userContext);
  static Platform::Result SwapChainResizedCallback(Platform::GraphicsDevice* device,
                                                   const Platform::SurfaceDescription* backBuffer, void* userContext);
  static void SwapChainReleasingCallback(void* userContext);
  static void DeviceDestroyedCallback(void* userContext);
  static void FrameRenderCallback(Platform::GraphicsDevice* device, double time, float elapsedSeconds,
                                  void* userContext);
  static void FrameMoveCallback(double time, float elapsedSeconds, void* userContext);
  static bool ModifyDeviceSettingsCallback(FrameworkDeviceSettings* settings, void* userContext);
  // The panels' controls report here.
  static void ControlEventCallback(uint32_t eventCode, int controlId, CUIControl* control, void* userContext);

  // The "Change device (F2)" button: shows the device settings dialog, or hides it when shown.
  void OpenDeviceSettings();
  // Frames come after input on their own; these ask for the ones that nothing else would bring.
  void RequestFramesForChanges();
  // Frees the model (cancelling a sampling of it, which holds it until it stops).
  void ReleaseModel();
  // A model file loaded from outside the shipped ones goes first in the recent models, its folder
  // first in the recent folders; both lists are written at once, so a crash later forgets nothing.
  void RememberModel(const std::string& path);

  MediaFolders folders;
  WindowPanels panels;
  StatusLine status;
  NumberBoxes numbers;
  MaskHistory history;
  WorkModel model;
  SurfaceSamples samples;
  SceneView view;
  ModelTable models;
  LookChoice looks;
  WindowSessions sessions;
  SimulationRun run;
  AssetExportCommand exporter;
  RecentList recentModels;
  RecentList recentFolders;
  FileBrowser browser;
  // The key that answered the quit question, until it is released (0: none).
  uint32_t answeringKey = 0;
  Question asked = Question::kQuit;
  // Yes was answered: the window closes, or the session goes, on the next frame, outside the
  // question's own handling.
  bool quitAnswered = false;
  bool deleteAnswered = false;
  bool referenceWarningChecked = false;
};
