#include "simulation/session_file.h"

#include <zlib.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <new>

#include "platform_os/temporary_file.h"
#include "simulation/mask_files.h"
#include "simulation/simulation_params.h"

namespace Simulation {
namespace {

// The file: magic, version, the payload's length, the payload, the crc32 of the payload. The
// numbers are little-endian, the samples their records as they lie in memory.
static_assert(std::endian::native == std::endian::little, "the session file is written as memory holds it");

constexpr char kMagic[8] = {'P', 'T', 'X', 'S', 'E', 'S', 'S', '\x1a'};
// Version 2 added whether the history is reproducible; a version 1 session is read as one that
// is not. Version 3 added the weather's source; older sessions are read as weather from above
// with a spread of 90 degrees, the only weather there was.
constexpr uint32_t kVersion = 3;
constexpr uint32_t kOldestVersion = 1;
constexpr size_t kHeaderBytes = sizeof kMagic + 4 + 8;
constexpr size_t kTrailerBytes = 4;
constexpr uint32_t kMaxNameBytes = 4096;
// The masks the export reads are at most this big on a side; a session claiming more is wrong.
constexpr uint32_t kMaxMaskSide = 16384;
constexpr int32_t kMaxMaskSpaces = 4096;

class Writer {
public:
  template <class T>
  void Put(const T& value) {
    const size_t at = bytes.size();
    bytes.resize(at + sizeof value);
    std::memcpy(bytes.data() + at, &value, sizeof value);
  }
  void PutText(const std::string& text) {
    Put(uint32_t(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
  }
  std::vector<unsigned char> bytes;
};

class Reader {
public:
  Reader(const unsigned char* data, size_t size) : data(data), size(size) {}
  template <class T>
  bool Get(T* value) {
    if (size - at < sizeof *value) return false;
    std::memcpy(value, data + at, sizeof *value);
    at += sizeof *value;
    return true;
  }
  bool GetText(std::string* text) {
    uint32_t length = 0;
    if (!Get(&length) || length > kMaxNameBytes || size - at < length) return false;
    text->assign(reinterpret_cast<const char*>(data + at), length);
    at += length;
    return true;
  }
  size_t Left() const { return size - at; }

private:
  const unsigned char* data;
  size_t size;
  size_t at = 0;
};

// Everything but the samples, which follow it.
std::vector<unsigned char> HeadFields(const SessionState& state, uint32_t count) {
  Writer out;
  const HistoryIdentity& id = state.identity;
  out.PutText(id.modelName);
  out.Put(id.modelChecksum);
  out.Put(id.maskWidth);
  out.Put(id.maskHeight);
  out.Put(id.maskFormat);
  out.Put(id.density);
  out.Put(id.maskSpaces);
  out.Put(state.lastStep);
  out.Put(state.tonsPerStep);
  out.Put(state.seed);
  out.Put(uint8_t(state.seeded ? 1 : 0));
  out.Put(uint8_t(state.deterministic ? 1 : 0));
  out.Put(state.emissionRotation);
  out.Put(state.emissionsUsed);
  out.Put(state.sampleSpacing);
  out.Put(state.source.towards.x);
  out.Put(state.source.towards.y);
  out.Put(state.source.towards.z);
  out.Put(state.source.spreadDegrees);
  out.Put(count);
  return out.bytes;
}

uint32_t Crc(uint32_t crc, const void* data, size_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const uInt run = uInt(std::min<size_t>(size, 1u << 30));
    crc = uint32_t(crc32(crc, bytes, run));
    bytes += run;
    size -= run;
  }
  return crc;
}

// Why the fields before the samples cannot be a session's, or empty.
std::string CheckHeadFields(const SessionState& s) {
  const HistoryIdentity& id = s.identity;
  if (id.maskWidth < 1 || id.maskWidth > kMaxMaskSide || id.maskHeight < 1 || id.maskHeight > kMaxMaskSide) {
    return "it gives impossible masks of " + std::to_string(id.maskWidth) + " x " + std::to_string(id.maskHeight);
  }
  if (id.maskFormat != kMaskJpeg && id.maskFormat != kMaskPng) return "it names an unknown mask format";
  if (id.density < kMinDensity || id.density > kMaxDensity) return "it gives an impossible density";
  if (id.maskSpaces < 1 || id.maskSpaces > kMaxMaskSpaces) return "it gives an impossible number of mask spaces";
  // Step numbers go into mask file names and are counted on from.
  if (s.lastStep < 0 || s.lastStep > 1000000) return "it gives an impossible last step";
  if (s.tonsPerStep < kMinTonsPerStep || s.tonsPerStep > kMaxTonsPerStep) return "it gives impossible tons";
  if (!std::isfinite(s.emissionRotation) || !std::isfinite(s.sampleSpacing) || s.sampleSpacing < 0.0f) {
    return "it gives an impossible emission turn or sample spacing";
  }
  EmissionSource source;
  std::string why;
  if (!MakeEmissionSource(s.source.towards, s.source.spreadDegrees, &source, &why)) {
    return "it gives an impossible weather source: " + why;
  }
  return {};
}

// Whether a sample can be searched and baked: a finite position, a mask space the history has.
bool SampleIsSound(const SurfaceSample& sample, int32_t maskSpaces) {
  const RenderLib::Vector3& p = sample.position;
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) && MaskSpaceOf(sample) < maskSpaces;
}

}  // namespace

bool WriteSessionFile(const std::string& path, const SurfaceSample* samples, uint32_t count,
                      const SessionState& state, std::string* error) {
  const std::vector<unsigned char> fixed = HeadFields(state, count);
  const uint64_t sampleBytes = uint64_t(count) * sizeof(SurfaceSample);
  const uint64_t payload = fixed.size() + sampleBytes;
  uint32_t crc = Crc(uint32_t(crc32(0, nullptr, 0)), fixed.data(), fixed.size());
  crc = Crc(crc, samples, size_t(sampleBytes));

  Platform::TemporaryFile file(path);
  std::string why;
  const auto put = [&file](const void* data, size_t size) {
    return std::fwrite(data, 1, size, file.File()) == size;
  };
  if (!file.Create(&why) || !put(kMagic, sizeof kMagic) || !put(&kVersion, 4) || !put(&payload, 8) ||
      !put(fixed.data(), fixed.size()) || !put(samples, size_t(sampleBytes)) || !put(&crc, 4) ||
      !file.Publish(&why)) {
    *error = "cannot write " + path + ": " + (why.empty() ? std::strerror(errno) : why);
    return false;
  }
  return true;
}

bool ReadSession(std::FILE* file, SessionState* state, std::string* error) {
  if (std::fseek(file, 0, SEEK_END) != 0) {
    *error = "it cannot be read";
    return false;
  }
  const long length = std::ftell(file);
  std::rewind(file);
  unsigned char header[kHeaderBytes];
  if (length < 0 || size_t(length) < kHeaderBytes || std::fread(header, 1, kHeaderBytes, file) != kHeaderBytes) {
    *error = "it is too short to be a Patinex session";
    return false;
  }
  if (std::memcmp(header, kMagic, sizeof kMagic) != 0) {
    *error = "it is not a Patinex session";
    return false;
  }
  uint32_t version = 0;
  uint64_t payload = 0;
  std::memcpy(&version, header + sizeof kMagic, 4);
  std::memcpy(&payload, header + sizeof kMagic + 4, 8);
  if (version < kOldestVersion || version > kVersion) {
    *error = "it is a session of version " + std::to_string(version) + ", this program reads versions " +
             std::to_string(kOldestVersion) + " to " + std::to_string(kVersion);
    return false;
  }
  // The length said must be the length there is: a cut file is refused before any allocation.
  const uint64_t fileBytes = uint64_t(length);
  if (fileBytes < kHeaderBytes + kTrailerBytes || payload != fileBytes - kHeaderBytes - kTrailerBytes) {
    *error = "it is truncated or has bytes added (" + std::to_string(fileBytes) + " bytes, its header says " +
             std::to_string(payload + kHeaderBytes + kTrailerBytes) + ")";
    return false;
  }
  // The fields before the samples are few; read what there is of them, at most their largest size.
  constexpr size_t kMaxFixed = 4 + kMaxNameBytes + 96;
  unsigned char fixedBytes[kMaxFixed];
  const size_t fixedRead = std::fread(fixedBytes, 1, std::min<uint64_t>(payload, kMaxFixed), file);
  Reader in(fixedBytes, fixedRead);
  SessionState s;
  HistoryIdentity& id = s.identity;
  uint8_t seeded = 0;
  uint8_t deterministic = 0;
  uint32_t count = 0;
  const bool whole = in.GetText(&id.modelName) && in.Get(&id.modelChecksum) && in.Get(&id.maskWidth) &&
                     in.Get(&id.maskHeight) && in.Get(&id.maskFormat) && in.Get(&id.density) &&
                     in.Get(&id.maskSpaces) && in.Get(&s.lastStep) && in.Get(&s.tonsPerStep) && in.Get(&s.seed) &&
                     in.Get(&seeded) && (version < 2 || in.Get(&deterministic)) && in.Get(&s.emissionRotation) && in.Get(&s.emissionsUsed) &&
                     in.Get(&s.sampleSpacing) &&
                     (version < 3 || (in.Get(&s.source.towards.x) && in.Get(&s.source.towards.y) &&
                                      in.Get(&s.source.towards.z) && in.Get(&s.source.spreadDegrees))) &&
                     in.Get(&count);
  const size_t fixedSize = fixedRead - in.Left();
  if (!whole || (payload - fixedSize) != uint64_t(count) * sizeof(SurfaceSample) || count == 0) {
    *error = "it is damaged: its samples do not fill it";
    return false;
  }
  s.seeded = seeded != 0;
  s.deterministic = deterministic != 0;
  uint32_t crc = Crc(uint32_t(crc32(0, nullptr, 0)), fixedBytes, fixedSize);
  try {
    s.samples.resize(count);
  } catch (const std::bad_alloc&) {
    *error = "out of memory for its " + std::to_string(count) + " samples";
    return false;
  }
  uint32_t stored = 0;
  if (std::fseek(file, long(kHeaderBytes + fixedSize), SEEK_SET) != 0 ||
      std::fread(s.samples.data(), sizeof(SurfaceSample), count, file) != count || std::fread(&stored, 4, 1, file) != 1) {
    *error = "it cannot be read whole";
    return false;
  }
  crc = Crc(crc, s.samples.data(), s.samples.size() * sizeof(SurfaceSample));
  if (crc != stored) {
    *error = "it is corrupted (its checksum does not match)";
    return false;
  }
  if (std::string why = CheckHeadFields(s); !why.empty()) {
    *error = why;
    return false;
  }
  for (const SurfaceSample& sample : s.samples) {
    if (!SampleIsSound(sample, id.maskSpaces)) {
      *error = "it holds a sample with an impossible position or mask space";
      return false;
    }
  }
  *state = std::move(s);
  return true;
}

SessionLoad ReadSessionFile(const std::string& folder, SessionState* state, std::string* error) {
  const std::filesystem::path path = std::filesystem::path(folder) / kSessionName;
  std::error_code code;
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, code))) return SessionLoad::kNone;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = path.string() + " cannot be opened: " + std::strerror(errno);
    return SessionLoad::kUnreadable;
  }
  std::string why;
  const bool read = ReadSession(file, state, &why);
  std::fclose(file);
  if (!read) {
    *error = path.string() + " was refused: " + why;
    return SessionLoad::kUnreadable;
  }
  return SessionLoad::kFound;
}

}  // namespace Simulation
