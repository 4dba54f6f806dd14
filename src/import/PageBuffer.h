#pragma once

#include <cstddef>

namespace vantrel {

/// Uncleared memory for one large document, mapped afresh. Where the system allows it, a large
/// buffer is backed by huge pages: filling a few megabytes of ordinary pages costs a page fault
/// for every 4 KiB, which shows in the time of a whole import.
class PageBuffer {
  public:
    /// Room for `capacity` bytes, of which about `expectedUse` will be written (it decides
    /// whether huge pages are worth asking for). Throws std::bad_alloc.
    PageBuffer(std::size_t capacity, std::size_t expectedUse);
    ~PageBuffer();
    PageBuffer(const PageBuffer&) = delete;
    PageBuffer& operator=(const PageBuffer&) = delete;

    char* data() const { return m_data; }
    std::size_t capacity() const { return m_capacity; }

  private:
    void* m_mapping = nullptr;
    std::size_t m_mappingSize = 0;
    char* m_data = nullptr;
    std::size_t m_capacity = 0;
};

}  // namespace vantrel
