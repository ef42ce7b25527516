#pragma once

#include "RegistryApi.h"

#include <string>

namespace registry {

// A key opened for one operation and closed when the operation leaves.
class OpenKey
{
public:
    explicit OpenKey(RegistryApi &api) : m_api(api) {}
    ~OpenKey()
    {
        if (m_open)
            m_api.closeKey(m_key);
    }
    OpenKey(const OpenKey &) = delete;
    OpenKey &operator=(const OpenKey &) = delete;

    bool open(Key root, const std::string &path, std::uint32_t access)
    {
        return opened(m_api.openKey(root, path, access, &m_key)) == Success;
    }
    // Creates the key and its missing parents, or opens it if it exists.
    Result create(Key root, const std::string &path)
    {
        return opened(m_api.createKey(root, path, AllKeyRights, &m_key));
    }
    Key handle() const { return m_key; }

private:
    Result opened(Result result)
    {
        m_open = result == Success;
        return result;
    }

    RegistryApi &m_api;
    Key m_key = 0;
    bool m_open = false;
};

} // namespace registry
