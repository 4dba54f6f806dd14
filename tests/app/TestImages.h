#pragma once

#include "model/Bytes.h"

namespace vantrel::test {

/// A plain grey JPEG; with `withPosition`, carrying GPS 47.3769 N, 8.5417 E in its EXIF data.
/// (Kept apart from the Qt tests: the image library's headers clash with Qt's keywords.)
Bytes testJpeg(int width, int height, bool withPosition = false);

}  // namespace vantrel::test
