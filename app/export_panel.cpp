#include "app/control_ids.h"
#include "app/documents_folder.h"
#include "app/panels.h"
#include "framework/dialog.h"

void BuildExportPanel(Dialog& panel, DialogResourceManager& manager, GuiEventCallback callback, void* context) {
  panel.Init(&manager, true);
  panel.SetCallback(callback, context);
  StyleParameterPanel(panel, "EXPORT", 90);
  panel.AddButton(ID_EXPORT, "Export", 100, 4, 65, 24);
  // Long names and folders scroll inside their boxes.
  panel.AddStatic(ID_LABEL, "File", 12, 32, 44, 22);
  panel.AddEditBox(ID_EXPORT_NAME, "", 56, 32, 109, 24);
  panel.AddStatic(ID_LABEL, "Folder", 12, 58, 44, 22);
  panel.AddEditBox(ID_EXPORT_FOLDER, DefaultExportFolder(), 56, 58, 109, 24);
}
