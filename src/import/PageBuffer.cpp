#include "import/PageBuffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace vantrel {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} * 1024 * 1024;
// Below this a huge page would mostly be cleared for nothing.
constexpr std::size_t kHugePagesFrom = std::size_t{1} * 1024 * 1024;

std::size_t roundUp(std::size_t size, std::size_t unit) {
    return (size + unit - 1) / unit * unit;
}

}  // namespace

PageBuffer::PageBuffer(std::size_t capacity, std::size_t expectedUse) : m_capacity(capacity) {
    bool huge = expectedUse >= kHugePagesFrom;
    // A huge page needs an aligned start, so a huge mapping is one page larger and trimmed.
    m_mappingSize = roundUp(capacity + 1, 4096) + (huge ? kHugePage : 0);
    m_mapping =
        mmap(nullptr, m_mappingSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m_mapping == MAP_FAILED) throw std::bad_alloc();
    auto start = reinterpret_cast<std::uintptr_t>(m_mapping);
    m_data = static_cast<char*>(m_mapping);
    if (huge) {
        m_data += roundUp(start, kHugePage) - start;
        // Only advice: without huge pages the buffer works the same.
        madvise(m_data,
                static_cast<std::size_t>(static_cast<char*>(m_mapping) + m_mappingSize - m_data),
                MADV_HUGEPAGE);
    }
}

PageBuffer::~PageBuffer() {
    munmap(m_mapping, m_mappingSize);
}

}  // namespace vantrel
