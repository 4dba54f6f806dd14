#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "model/Bytes.h"
#include "services/ImageProperties.h"

namespace vantrel {

/// Why picture bytes were refused.
enum class ImageRefusal { notAPhotoFormat, tooLarge, damaged };

/// The reason as the user reads it, e.g. "not a photo format".
std::string_view refusalText(ImageRefusal refusal);

/// Encoded image bytes whose header has been read: the format is a photo format (JPEG, PNG,
/// HEIF/HEIC, WebP or TIFF, told from the bytes, never from a file name) and the first frame
/// is small enough to decode safely. Pixels are decoded only when an image is made from it.
class ImageSource {
  public:
    /// Pictures above this many pixels are refused before any pixel is decoded, so that a small
    /// file declaring a huge canvas cannot exhaust memory.
    static constexpr long long kMaxPixels = 100'000'000;

    /// Absent when the bytes are in no photo format, their header cannot be read or the first
    /// frame exceeds `kMaxPixels`; `refusal`, when given, then says which.
    static std::optional<ImageSource> open(Bytes bytes, ImageRefusal* refusal = nullptr);

    int width() const { return m_width; }
    int height() const { return m_height; }
    /// The metadata of the first frame (empty fields when there is none).
    const ImageProperties& properties() const { return m_properties; }
    const Bytes& bytes() const { return *m_bytes; }
    /// The image library's loader, e.g. "jpegload_buffer".
    const std::string& loader() const { return m_loader; }

  private:
    std::shared_ptr<const Bytes> m_bytes;
    int m_width = 0;
    int m_height = 0;
    std::string m_loader;
    ImageProperties m_properties;
};

/// Makes sure the image library is initialised, with its loaders of formats that are no photos
/// (documents, vector drawings, scientific and generic converters) switched off; safe to call
/// from any thread, any number of times.
void initializeImageLibrary();

}  // namespace vantrel
