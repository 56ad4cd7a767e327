// How much memory this process may still take, so that a large allocation can be refused instead of killed.
#pragma once

#include <cstdint>
#include <string>

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

} // namespace orvalis
