#pragma once

#include <set>
#include <string>
#include <vector>

#include "assetexport/look.h"
#include "assetexport/look_catalog.h"
#include "framework/dialog.h"

// The "Look" panel's slider: which look the Shaded view shows, a new run records and the Export
// button bakes. Its stops are the valid looks of the catalog (shipped ones and the user's own,
// read at start and whenever the window gets the focus back, so that a look written or edited by
// hand meanwhile is there), bronze first selected; a session whose record names a look file
// outside the catalog adds it as one more stop, so opening it shows and keeps what it was
// weathered for. Window thread.
class LookChoice {
public:
  // Lists the catalog's looks into the panel's slider; looks whose files are not valid are left
  // out and named on stderr, as the command line's `looks` lists them with their reasons.
  void Fill(Dialog& panel);
  // The look at the slider's stop. False, with why, when its file no longer reads (the choice
  // stays as it was and the slider goes back to it).
  bool ChooseStop(Dialog& panel, std::string* why);
  // The look a session's record names (a name or a file; empty: bronze). False, with why, when
  // it cannot be found or read: the choice stays as it was.
  bool Show(Dialog& panel, const std::string& nameOrFile, std::string* why);

  // The slider's stop of a look, by its name or file; -1 when none has it.
  int StopOf(const std::string& nameOrFile) const;

  // Lists the catalog again and reads the chosen look's file again. kChanged when it reads
  // otherwise now (Current() is the new reading); kFailed, with why, when it no longer reads or
  // is gone (its last good reading stays chosen).
  enum class Reread { kSame, kChanged, kFailed };
  Reread ReadAgain(Dialog& panel, std::string* why);

  const AssetExport::Look& Current() const { return current; }
  // What a run record keeps for the look: its catalog name, or its file for one outside it.
  const std::string& Recorded() const { return recorded; }

private:
  void ListCatalog();
  void AddOutsider(const std::string& file);
  bool ReadEntry(size_t index, AssetExport::Look* look, std::string* why) const;
  void Select(Dialog& panel, int stop);

  std::vector<AssetExport::LookEntry> entries;
  AssetExport::Look current = AssetExport::BronzeLook();
  std::string recorded = "bronze";
  int stop = 0;
  std::set<std::string> leftOutSaid;  // the invalid look files said on stderr, with why
};
