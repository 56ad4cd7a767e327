// availableMemory from /proc/meminfo, the control-group files and getrlimit; LargeBlock from mmap.
#include "common/SystemMemory.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string_view>
#include <new>
#include <sys/mman.h>
#include <sys/resource.h>

namespace orvalis {
namespace {

constexpr std::uint64_t Unlimited = std::numeric_limits<std::uint64_t>::max();

std::optional<std::string> readText(const std::string& path)
{
    std::ifstream in(path);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The first whole number in a file; nothing for "max", a missing file or no number.
std::optional<std::uint64_t> readNumber(const std::string& path)
{
    const std::optional<std::string> text = readText(path);
    if (!text) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc()) {
        return std::nullopt;
    }
    return value;
}

// A "Key:   123 kB" line of /proc/meminfo or /proc/self/status, in bytes.
std::optional<std::uint64_t> kilobyteField(const std::string& text, std::string_view key)
{
    const std::size_t at = text.find(key);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    std::size_t pos = at + key.size();
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
        ++pos;
    }
    std::uint64_t kilobytes = 0;
    const auto [end, error] = std::from_chars(text.data() + pos, text.data() + text.size(), kilobytes);
    if (error != std::errc()) {
        return std::nullopt;
    }
    return kilobytes * 1024;
}

std::uint64_t roomUnder(std::uint64_t limit, std::uint64_t used)
{
    return limit > used ? limit - used : 0;
}

// The least room under the memory limits of the process's control group and
// its parents, for one hierarchy: root is where it is mounted, path the
// group's path in /proc/self/cgroup.
std::uint64_t cgroupRoom(const std::string& root, std::string path, const char* limitFile, const char* usageFile)
{
    std::uint64_t room = Unlimited;
    for (;;) {
        const std::string directory = root + path;
        const std::optional<std::uint64_t> limit = readNumber(directory + "/" + limitFile);
        const std::optional<std::uint64_t> used = readNumber(directory + "/" + usageFile);
        if (limit && used) {
            room = std::min(room, roomUnder(*limit, *used));
        }
        if (path.empty() || path == "/") {
            break;
        }
        const std::size_t slash = path.rfind('/');
        path.resize(slash == std::string::npos ? 0 : slash);
    }
    return room;
}

std::uint64_t controlGroupRoom()
{
    const std::optional<std::string> groups = readText("/proc/self/cgroup");
    if (!groups) {
        return Unlimited;
    }
    std::uint64_t room = Unlimited;
    std::istringstream lines(*groups);
    std::string line;
    while (std::getline(lines, line)) {
        // "hierarchy-ID:controllers:path"
        const std::size_t first = line.find(':');
        const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos) {
            continue;
        }
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string path = line.substr(second + 1);
        if (!path.empty() && path.back() == '/') {
            path.pop_back();
        }
        if (controllers.empty()) {
            room = std::min(room, cgroupRoom("/sys/fs/cgroup", path, "memory.max", "memory.current"));
        } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
            room = std::min(
                room, cgroupRoom("/sys/fs/cgroup/memory", path, "memory.limit_in_bytes", "memory.usage_in_bytes"));
        }
    }
    return room;
}

std::uint64_t resourceLimitRoom()
{
    const std::optional<std::string> status = readText("/proc/self/status");
    std::uint64_t room = Unlimited;
    const std::pair<int, std::string_view> limits[] = {{RLIMIT_AS, "VmSize:"}, {RLIMIT_DATA, "VmData:"}};
    for (const auto& [resource, field] : limits) {
        rlimit limit{};
        if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
            continue;
        }
        const std::uint64_t used = status ? kilobyteField(*status, field).value_or(0) : 0;
        room = std::min(room, roomUnder(limit.rlim_cur, used));
    }
    return room;
}

} // namespace

std::uint64_t availableMemory()
{
    std::uint64_t room = Unlimited;
    if (const std::optional<std::string> meminfo = readText("/proc/meminfo")) {
        if (const std::optional<std::uint64_t> available = kilobyteField(*meminfo, "MemAvailable:")) {
            room = *available;
        }
    }
    room = std::min(room, controlGroupRoom());
    room = std::min(room, resourceLimitRoom());
    return room;
}

std::string formatByteSize(std::uint64_t bytes)
{
    if (bytes < 1000) {
        return std::to_string(bytes) + " bytes";
    }
    const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    double value = static_cast<double>(bytes) / 1000.0;
    std::size_t unit = 0;
    while (value >= 999.95 && unit + 1 < std::size(units)) {
        value /= 1000.0;
        ++unit;
    }
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return std::string(text, written.ptr) + " " + units[unit];
}

LargeBlock::LargeBlock(std::size_t bytes)
{
    constexpr std::size_t HugePage = std::size_t{2} << 20;
    if (bytes < HugePage) {
        // Small blocks come from the heap: a mapping each would cost a system call.
        m_data = static_cast<char*>(::operator new(std::max<std::size_t>(bytes, 1)));
        m_capacity = bytes;
        return;
    }
    const std::size_t rounded = (bytes + HugePage - 1) / HugePage * HugePage;
    // Room to move the start to the next 2 MB boundary.
    m_mappedBytes = rounded + HugePage;
    void* memory = ::mmap(nullptr, m_mappedBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        m_mappedBytes = 0;
        throw std::bad_alloc();
    }
    m_mapped = static_cast<char*>(memory);
    const auto address = reinterpret_cast<std::uintptr_t>(m_mapped);
    m_data = m_mapped + ((HugePage - address % HugePage) % HugePage);
    m_capacity = rounded;
    ::madvise(m_data, m_capacity, MADV_HUGEPAGE);
}

LargeBlock::~LargeBlock()
{
    if (m_mapped != nullptr) {
        ::munmap(m_mapped, m_mappedBytes);
    } else {
        ::operator delete(m_data);
    }
}

void LargeBlock::swap(LargeBlock& other) noexcept
{
    std::swap(m_mapped, other.m_mapped);
    std::swap(m_mappedBytes, other.m_mappedBytes);
    std::swap(m_data, other.m_data);
    std::swap(m_capacity, other.m_capacity);
}

} // namespace orvalis
