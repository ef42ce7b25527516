#include "ReplacingFile.h"

#include <cerrno>
#include <cstring>
#include <random>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace registry {

namespace {

// A new file that no one else has opened, or null with errno set.
std::FILE *createNew(const std::filesystem::path &file)
{
#ifdef _WIN32
    const int descriptor = _wopen(file.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    return descriptor < 0 ? nullptr : _fdopen(descriptor, "wb");
#else
    const int descriptor = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    return descriptor < 0 ? nullptr : fdopen(descriptor, "wb");
#endif
}

std::filesystem::path resolved(const std::filesystem::path &target)
{
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(target, error);
    return error ? target : real;
}

} // namespace

ReplacingFile::ReplacingFile(const std::filesystem::path &target) : m_target(resolved(target))
{
    std::random_device random;
    for (int attempt = 0; attempt < 16 && !m_file; ++attempt) {
        m_temporary = m_target;
        m_temporary += ".tmp" + std::to_string(random());
        m_file = createNew(m_temporary);
        if (!m_file && errno != EEXIST)
            break;
    }
    if (!m_file) {
        fail();
        m_temporary.clear();
    }
}

ReplacingFile::~ReplacingFile()
{
    if (m_file)
        std::fclose(m_file);
    if (!m_temporary.empty()) {
        std::error_code ignored; // nothing more to be done about a file left behind
        std::filesystem::remove(m_temporary, ignored);
    }
}

bool ReplacingFile::write(std::string_view bytes)
{
    if (!m_file)
        return false;
    return std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size() || fail();
}

bool ReplacingFile::commit()
{
    if (!m_file)
        return false;
    const int closed = std::fclose(m_file);
    m_file = nullptr;
    if (closed != 0)
        return fail();
    std::error_code error;
    std::filesystem::rename(m_temporary, m_target, error);
    if (error) {
        m_error = error.message();
        return false;
    }
    m_temporary.clear();
    return true;
}

bool ReplacingFile::fail()
{
    if (m_error.empty())
        m_error = std::strerror(errno);
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    return false;
}

} // namespace registry
