#include "ReplacingFile.h"

#include <cerrno>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace registry {

namespace {

// A new file that no one else has opened, or null with errno set. A file it
// replaces lends it its permissions and owner, as far as we may give them.
std::FILE *createNew(const std::filesystem::path &file, const std::filesystem::path &replaced)
{
#ifdef _WIN32
    (void)replaced;
    const int descriptor = _wopen(file.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    return descriptor < 0 ? nullptr : _fdopen(descriptor, "wb");
#else
    const int descriptor = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return nullptr;
    struct stat old = {};
    if (::stat(replaced.c_str(), &old) == 0) {
        // Another user's file that we may not give back becomes ours, and
        // then without its set-user and set-group bits.
        const bool owned = ::fchown(descriptor, old.st_uid, old.st_gid) == 0;
        ::fchmod(descriptor, old.st_mode & (owned ? 07777 : 0777));
    }
    return fdopen(descriptor, "wb");
#endif
}

// Standard output, or the target opened as it is, without creating or
// truncating it; null with errno set.
std::FILE *openDirectly(const std::filesystem::path &target)
{
#ifdef _WIN32
    if (target == "-") {
        const int descriptor = _dup(_fileno(stdout));
        if (descriptor >= 0)
            _setmode(descriptor, _O_BINARY);
        return descriptor < 0 ? nullptr : _fdopen(descriptor, "wb");
    }
    return _wfopen(target.c_str(), L"wb");
#else
    const int descriptor =
        target == "-" ? ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0) : ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    return descriptor < 0 ? nullptr : fdopen(descriptor, "wb");
#endif
}

bool isReplaceable(const std::filesystem::path &target)
{
    if (target == "-")
        return false;
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(target, error);
    return !std::filesystem::exists(status) || std::filesystem::is_regular_file(status)
        || std::filesystem::is_directory(status);
}

std::filesystem::path resolved(const std::filesystem::path &target)
{
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(target, error);
    return error ? target : real;
}

} // namespace

ReplacingFile::ReplacingFile(const std::filesystem::path &target)
    : m_target(target == "-" ? target : resolved(target))
{
    if (isReplaceable(m_target))
        openTemporary();
    else
        m_file = openDirectly(m_target);
    if (!m_file) {
        fail();
        m_temporary.clear();
    }
}

void ReplacingFile::openTemporary()
{
    std::random_device random;
    for (int attempt = 0; attempt < 16 && !m_file; ++attempt) {
        m_temporary = m_target;
        m_temporary += ".tmp" + std::to_string(random());
        m_file = createNew(m_temporary, m_target);
        if (!m_file && errno != EEXIST)
            break;
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
    if (m_temporary.empty())
        return true;
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
