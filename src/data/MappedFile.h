// Read-only access to a whole file's bytes: memory-mapped where possible.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvalis {

// The bytes of one file, mapped read-only (regular files) or read into memory
// (pipes and other special files). Opening throws FileError with a sentence
// that names the file and the reason (missing, a directory, no permission).
class MappedFile {
public:
    explicit MappedFile(const std::string& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::string_view bytes() const { return {m_data, m_size}; }

private:
    const char* m_data = nullptr;
    std::size_t m_size = 0;
    void* m_mapping = nullptr;
    std::vector<char> m_buffer;
};

} // namespace orvalis
