// FIT decoding against the least work that reads every byte of a FIT file: its own CRC-16.
// Run with --benchmark_filter=<file> to compare the passes over one file.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "import/FITParser.h"

namespace {

const std::vector<std::string> kFiles{
    "sportslib__fr935-triathlon-4623204522.fit",
    "fitparse__wahoo-elemnt-2019-02-17.fit",
    "fitparse__garmin-edge-500-activity.fit",
};

vantrel::Bytes readCorpusFile(const std::string& name) {
    std::ifstream in(std::filesystem::path(VANTREL_CORPUS_DIR) / name, std::ios::binary);
    return vantrel::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// The FIT checksum as the protocol documents it: two nibble lookups per byte.
constexpr std::array<std::uint16_t, 16> kNibbleTable{0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00,
                                                     0x2800, 0xE401, 0xA001, 0x6C00, 0x7800, 0xB401,
                                                     0x5000, 0x9C01, 0x8801, 0x4400};

std::uint16_t nibbleCrc(const vantrel::Bytes& bytes) {
    std::uint16_t crc = 0;
    for (std::uint8_t byte : bytes) {
        std::uint16_t tmp = kNibbleTable[crc & 0xF];
        crc = ((crc >> 4) & 0x0FFF) ^ tmp ^ kNibbleTable[byte & 0xF];
        tmp = kNibbleTable[crc & 0xF];
        crc = ((crc >> 4) & 0x0FFF) ^ tmp ^ kNibbleTable[(byte >> 4) & 0xF];
    }
    return crc;
}

/// The same CRC (reflected polynomial 0xA001) with one 256-entry lookup per byte: the faster
/// and therefore stricter baseline.
constexpr std::array<std::uint16_t, 256> makeByteTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        table[i] = crc;
    }
    return table;
}
constexpr std::array<std::uint16_t, 256> kByteTable = makeByteTable();

std::uint16_t byteCrc(const vantrel::Bytes& bytes) {
    std::uint16_t crc = 0;
    for (std::uint8_t byte : bytes) crc = (crc >> 8) ^ kByteTable[(crc ^ byte) & 0xFF];
    return crc;
}

void decodeFIT(benchmark::State& state, const std::string& name) {
    vantrel::Bytes bytes = readCorpusFile(name);
    for (auto _ : state) {
        vantrel::ImportedActivity activity = vantrel::FITParser().parse(bytes);
        benchmark::DoNotOptimize(activity.trackpoints.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

template <std::uint16_t (*Crc)(const vantrel::Bytes&)>
void checksum(benchmark::State& state, const std::string& name) {
    vantrel::Bytes bytes = readCorpusFile(name);
    for (auto _ : state) benchmark::DoNotOptimize(Crc(bytes));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

int registerAll() {
    for (const std::string& name : kFiles) {
        benchmark::RegisterBenchmark(("FITDecode/" + name).c_str(), decodeFIT, name);
        benchmark::RegisterBenchmark(("CRC16Byte/" + name).c_str(), checksum<byteCrc>, name);
        benchmark::RegisterBenchmark(("CRC16Nibble/" + name).c_str(), checksum<nibbleCrc>, name);
    }
    return 0;
}

const int kRegistered = registerAll();

}  // namespace
