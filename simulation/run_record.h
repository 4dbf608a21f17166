#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "renderlib/triangle_soup.h"
#include "simulation/emission_source.h"

namespace Simulation {

// The history a mask folder holds, written beside its masks as patinex_run.json by every run
// (the command line's and the window's alike) and brought up to date after each step saved. It
// says which surface the masks belong to, so that a later run or an export can tell one history
// from another: masks of another model, size or density are never taken for this one's.

inline constexpr const char* kRunRecordName = "patinex_run.json";
// The samples' state a run can be continued from (session_file.h), kept beside the record.
inline constexpr const char* kSessionName = "patinex_session.bin";

// What makes two runs' masks steps of one history: the same geometry and texture coordinates,
// masks of one size and format, samples of one density.
struct HistoryIdentity {
  std::string modelName;       // the model's file name, for people; the checksum decides
  uint64_t modelChecksum = 0;  // ModelChecksum of its triangles
  uint32_t maskWidth = 0;
  uint32_t maskHeight = 0;
  int32_t maskFormat = 0;  // kMaskJpeg or kMaskPng
  int32_t density = 0;
  int32_t maskSpaces = 1;  // sets of masks a step makes (MaskSpaces); records from before them had one

  // The first way other differs from this ("another model", "masks of 512 x 512", ...), or
  // empty when both belong to one history.
  std::string Difference(const HistoryIdentity& other) const;
};

struct RecordedStep {
  int32_t step = 0;  // the number in the mask file names
  int32_t tons = 0;
  std::optional<uint32_t> seed;  // of the run that made it, when that run was seeded
  bool deterministic = false;    // made by a reproducible run (SimulationParams::deterministic)
  EmissionSource source;         // where its weather came from; records from before say none: above
};

struct RunRecord {
  HistoryIdentity identity;
  std::vector<RecordedStep> steps;  // in the order they were written
  // The names of the materials in each mask space, for people (identity.maskSpaces decides);
  // empty when the record does not say.
  std::vector<std::vector<std::string>> spaceMaterials;
  // The look the run was asked to show (weather --look: a look's name or file), which an export
  // of the folder bakes unless told otherwise; empty for the shipped bronze.
  std::string look;

  bool HoldsStep(int32_t step) const;
};

// A checksum of the positions, texture coordinates and triangles, the same for one model file
// however it is loaded (normals, materials and textures do not enter it).
uint64_t ModelChecksum(const RenderLib::TriangleSoup& soup);

// The record's text, and the record read back from it (false, with what is wrong, for a text
// that is not one).
std::string RunRecordText(const RunRecord& record);
bool ParseRunRecord(const std::string& text, RunRecord* record, std::string* error);

// What a folder's record says of its history. kNone: the folder has no record; kUnreadable:
// there is one that cannot be read or parsed (error says why).
enum class RecordState { kFound, kNone, kUnreadable };
RecordState ReadRunRecord(const std::string& folder, RunRecord* record, std::string* error);

// Whether the folder's history is one history with mine: empty when its record names the same
// model, mask size, format and density; otherwise why not (no record, an unreadable one, or
// the first difference). This is the one place that reads a folder's record to decide.
std::string HistoryDifference(const std::string& folder, const HistoryIdentity& mine);

// Writes the record into folder (whole or not at all). False, with why, when it cannot be.
bool WriteRunRecord(const std::string& folder, const RunRecord& record, std::string* error);

// The folder's record names look from now on (an empty look and "bronze" are the same: the look
// when none is named). True when it already did or there is no record yet (the first run writes
// the look); false, with why, when the record cannot be read or written.
bool RecordLook(const std::string& folder, const std::string& look, std::string* error);

// Whether the folder holds mask files.
bool HoldsMasks(const std::string& folder);

// Moves the folder's masks, its record and its session into folder/earlier/<UTC date-time>/ (never deleting
// anything); *movedTo receives that folder, empty when there was nothing to move. False, with
// why, when the folder cannot be read or a file not moved.
bool MoveHistoryAside(const std::string& folder, std::string* movedTo, std::string* error);

}  // namespace Simulation
