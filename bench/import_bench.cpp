// GPX and TCX reading against a bare expat pass with empty handlers over the same bytes: the
// least work any reader built on expat can do. Compare the MB/s of each pair.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <filesystem>
#include <string>

#include "import/ActivityImporter.h"
#include "import/FileBytes.h"
#include "import/GPXParser.h"
#include "import/Gunzip.h"
#include "import/TCXParser.h"

namespace {

vantrel::Bytes corpusBytes(const std::string& name) {
    return vantrel::readWholeFile(std::filesystem::path(VANTREL_CORPUS_DIR) / name);
}

void XMLCALL emptyStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL emptyEnd(void*, const XML_Char*) {}
void XMLCALL emptyCharacters(void*, const XML_Char*, int) {}

bool bareExpatPass(const vantrel::Bytes& bytes, bool namespaces) {
    XML_Parser parser =
        namespaces ? XML_ParserCreateNS(nullptr, '\xFF') : XML_ParserCreate(nullptr);
    XML_SetElementHandler(parser, emptyStart, emptyEnd);
    XML_SetCharacterDataHandler(parser, emptyCharacters);
    bool ok = XML_Parse(parser, reinterpret_cast<const char*>(bytes.data()),
                        static_cast<int>(bytes.size()), XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree(parser);
    return ok;
}

template <typename Read>
void runPass(benchmark::State& state, const vantrel::Bytes& bytes, Read read) {
    for (auto _ : state) read(bytes);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void gpxReader(benchmark::State& state) {
    static const vantrel::Bytes bytes = corpusBytes("sportslib__strava.gpx");
    runPass(state, bytes, [](const auto& b) {
        benchmark::DoNotOptimize(vantrel::GPXParser().parse(b).trackpoints.size());
    });
}

// The path `inspect` takes: the file read straight into the parser, nothing held in between.
void gpxReaderFromFile(benchmark::State& state) {
    static const auto file = std::filesystem::path(VANTREL_CORPUS_DIR) / "sportslib__strava.gpx";
    for (auto _ : state) {
        benchmark::DoNotOptimize(vantrel::readActivityFile(file).trackpoints.size());
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(file)));
}

void gpxBareExpat(benchmark::State& state) {
    static const vantrel::Bytes bytes = corpusBytes("sportslib__strava.gpx");
    runPass(state, bytes, [](const auto& b) { benchmark::DoNotOptimize(bareExpatPass(b, true)); });
}

void tcxReader(benchmark::State& state) {
    static const vantrel::Bytes bytes = corpusBytes("gpsbabel__edge705-power.tcx");
    runPass(state, bytes, [](const auto& b) {
        benchmark::DoNotOptimize(vantrel::TCXParser().parse(b).trackpoints.size());
    });
}

void tcxReaderFromFile(benchmark::State& state) {
    static const auto file =
        std::filesystem::path(VANTREL_CORPUS_DIR) / "gpsbabel__edge705-power.tcx";
    for (auto _ : state) {
        benchmark::DoNotOptimize(vantrel::readActivityFile(file).trackpoints.size());
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(file)));
}

void tcxBareExpat(benchmark::State& state) {
    static const vantrel::Bytes bytes = corpusBytes("gpsbabel__edge705-power.tcx");
    runPass(state, bytes, [](const auto& b) { benchmark::DoNotOptimize(bareExpatPass(b, false)); });
}

void gunzipTcx(benchmark::State& state) {
    static const vantrel::Bytes bytes = corpusBytes("gpsbabel__edge705-power.tcx.gz");
    for (auto _ : state) benchmark::DoNotOptimize(vantrel::gunzip(bytes).size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

}  // namespace

BENCHMARK(gpxReader)->Unit(benchmark::kMillisecond);
BENCHMARK(gpxReaderFromFile)->Unit(benchmark::kMillisecond);
BENCHMARK(gpxBareExpat)->Unit(benchmark::kMillisecond);
BENCHMARK(tcxReader)->Unit(benchmark::kMillisecond);
BENCHMARK(tcxReaderFromFile)->Unit(benchmark::kMillisecond);
BENCHMARK(tcxBareExpat)->Unit(benchmark::kMillisecond);
BENCHMARK(gunzipTcx)->Unit(benchmark::kMillisecond);
