#include "renderlib/gltf_source.h"

#include <tiny_gltf.h>

namespace RenderLib {

GltfSource::GltfSource() = default;
GltfSource::~GltfSource() = default;

}  // namespace RenderLib
