#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace registry {

// Writes a file whole or not at all: the text goes to a new file beside the
// target, which is renamed over the target only by commit(). Until then, and
// when anything fails, the target is left as it was and the new file is
// removed. A target that is a symbolic link is written where it points; a
// regular file replaced keeps its permissions and, where the system lets us,
// its owner and group.
// What cannot be replaced is written into directly, as a shell redirection
// would: "-", standard output, and a target that exists and is no regular
// file (a FIFO, a terminal, another device). What was written then stays.
class ReplacingFile
{
public:
    explicit ReplacingFile(const std::filesystem::path &target);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile &) = delete;
    ReplacingFile &operator=(const ReplacingFile &) = delete;

    // False, with error() set, once anything failed.
    bool write(std::string_view bytes);
    bool commit();
    // What failed, as the system says it ("No space left on device").
    const std::string &error() const { return m_error; }

private:
    void openTemporary();
    bool fail();

    std::filesystem::path m_target;
    std::filesystem::path m_temporary; // empty when the target is written into directly
    std::FILE *m_file = nullptr;
    std::string m_error;
};

} // namespace registry
