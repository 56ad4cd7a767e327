// How much memory this process may still take, so that a large allocation can be refused instead of killed;
// large blocks straight from the kernel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace orvalis {

// Bytes of memory the process may still allocate: the least of the machine's
// available memory, the room left under each control group's limit (cgroup
// v1 or v2, the process's own group and its parents), and the room left under
// the address-space and data-size limits (ulimit -v, ulimit -d). Returns
// UINT64_MAX when nothing can be read. Never throws.
std::uint64_t availableMemory();

// A byte count for messages: "512 bytes", "12.3 KB", "1.5 MB", "8.0 GB"
// (decimal units, one decimal).
std::string formatByteSize(std::uint64_t bytes);

// Memory for a large table or file. A block of 2 MB or more is mapped from
// the kernel, aligned to 2 MB and marked for huge pages where the kernel
// offers them, so that filling 80 MB takes 40 page faults instead of 20,000
// (page faults are costly, above all in a virtual machine); its pages stay
// untouched until first written. A smaller block comes from the heap. The
// contents start unset. Throws std::bad_alloc.
class LargeBlock {
public:
    LargeBlock() = default;
    explicit LargeBlock(std::size_t bytes);
    ~LargeBlock();
    LargeBlock(LargeBlock&& other) noexcept { swap(other); }
    LargeBlock& operator=(LargeBlock&& other) noexcept
    {
        LargeBlock moved(std::move(other));
        swap(moved);
        return *this;
    }
    void swap(LargeBlock& other) noexcept;

    char* data() const { return m_data; }
    std::size_t capacity() const { return m_capacity; }

private:
    char* m_mapped = nullptr;
    std::size_t m_mappedBytes = 0;
    char* m_data = nullptr;
    std::size_t m_capacity = 0;
};

} // namespace orvalis
