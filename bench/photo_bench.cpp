// Processing one 24-megapixel camera JPEG into the stored image and thumbnail, against the
// image library's own command-line thumbnailer making the same two sizes from the same file.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vips/vips8>

#include "services/PhotoImportService.h"

namespace {

struct CameraPhoto {
    std::filesystem::path folder;
    std::filesystem::path file;
    vantrel::Bytes bytes;

    // 6000 × 4000 px of smooth gradients plus sensor-like noise, so that it compresses like a
    // photo.
    CameraPhoto() {
        vantrel::initializeImageLibrary();
        folder = std::filesystem::temp_directory_path() / "vantrel-photo-bench";
        std::filesystem::create_directories(folder);
        file = folder / "camera.jpg";
        auto xyz = vips::VImage::xyz(6000, 4000);
        auto noise = vips::VImage::gaussnoise(6000, 4000, vips::VImage::option()->set("sigma", 12));
        auto red = xyz[0] / 24 + noise, green = xyz[1] / 16 + noise, blue = (xyz[0] + xyz[1]) / 40;
        red.bandjoin({green, blue})
            .cast(VIPS_FORMAT_UCHAR)
            .jpegsave(file.c_str(), vips::VImage::option()->set("Q", 92));
        std::ifstream in(file, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

const CameraPhoto& cameraPhoto() {
    static const CameraPhoto photo;
    return photo;
}

void BM_ProcessPhoto24MP(benchmark::State& state) {
    const auto& photo = cameraPhoto();
    for (auto _ : state) {
        auto processed = vantrel::PhotoImportService::processPhoto(photo.bytes);
        if (!processed) state.SkipWithError("processing failed");
        benchmark::DoNotOptimize(processed);
    }
}
BENCHMARK(BM_ProcessPhoto24MP)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_VipsthumbnailTwoSizes24MP(benchmark::State& state) {
    const auto& photo = cameraPhoto();
    std::string base =
        "vipsthumbnail '" + photo.file.string() + "' -o '" + (photo.folder / "%s_").string();
    std::string large = base + "2048.jpg[Q=85,strip]' -s 2048";
    std::string small = base + "256.jpg[Q=85,strip]' -s 256";
    for (auto _ : state) {
        if (std::system(large.c_str()) != 0 || std::system(small.c_str()) != 0) {
            state.SkipWithError("vipsthumbnail failed");
        }
    }
}
BENCHMARK(BM_VipsthumbnailTwoSizes24MP)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
