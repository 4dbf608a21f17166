#pragma once

#include <cstdint>
#include <string>

#include "renderlib/triangle_soup.h"

namespace AssetExport {

// Whether the masks in folder are one history of the model, so that an export never lays
// another model's masks, or steps of two runs, on it. With a run record (simulation/run_record.h)
// it must name this model (by its geometry checksum) and its number of mask spaces, list every
// step whose masks are in the folder (of no space beyond the model's), and step's masks in every
// space (the highest step for step < 0) must be of the record's size. A
// folder without one, written before runs kept records, is taken when all its masks are of one
// size, with a warning saying it could not be checked. False, with the folder and the cause in
// error, otherwise.
bool CheckMaskHistory(const RenderLib::TriangleSoup& model, const std::string& folder, int32_t step,
                      std::string* warning, std::string* error);

}  // namespace AssetExport
