#pragma once

#include "imagelib/image.h"
#include "renderlib/reference_counted.h"

namespace RenderLib {

// A float image shared between materials through ImageHandle; deleted through the image's
// virtual destructor when the last handle lets go.
class RefCountedImage : public ImageLib::ImageF, public ReferenceCounted {};

using ImageHandle = CountedHandle<RefCountedImage>;

}  // namespace RenderLib
