#pragma once

#include "RegistryApi.h"
#include "WindowsUndoJournal.h"

#include <mutex>
#include <unordered_map>

namespace registry {

// The real Windows registry, through advapi32's wide calls: names and texts
// are UTF-8 here and UTF-16 at the registry, so every character survives,
// and sizes are those of the UTF-8 text. Binary data passes untouched. Text
// that is not valid UTF-8 is refused with InvalidParameter, as is a key name
// over 255 characters.
//
// A batch is undone rather than grouped (WindowsUndoJournal): other programs
// see its writes as they are made.
class WindowsRegistry final : public RegistryApi
{
public:
    Result openKey(Key parent, const std::string &subKey, std::uint32_t access, Key *opened) override;
    Result createKey(Key parent, const std::string &subKey, std::uint32_t access, Key *opened) override;
    Result closeKey(Key key) override;
    Result deleteKey(Key parent, const std::string &subKey) override;
    Result deleteValue(Key key, const std::string &name) override;
    Result queryValue(Key key, const std::string &name, std::uint32_t *type, std::uint8_t *data,
                      std::uint32_t *size) override;
    Result setValue(Key key, const std::string &name, std::uint32_t type, const std::uint8_t *data,
                    std::uint32_t size) override;
    Result enumKey(Key key, std::uint32_t index, char *name, std::uint32_t nameSize) override;
    Result enumValue(Key key, std::uint32_t index, char *name, std::uint32_t *nameLength, std::uint32_t *type,
                     std::uint8_t *data, std::uint32_t *dataSize) override;
    Result queryInfoKey(Key key, KeyInfo *info) override;
    Result saveKey(Key key, const std::string &file) override;
    std::uint32_t expandEnvironmentStrings(const char *source, char *destination, std::uint32_t size) override;
    Result beginBatch() override;
    Result commitBatch() override;
    void rollBackBatch() override;

    std::string toSystemText(const std::string &text) override;
    std::string fromSystemText(const std::string &text) override;

private:
    std::optional<KeyPlace> placeOf(Key parent, const std::wstring &subKey) const;
    template <typename Open>
    Result opening(Key parent, const std::string &subKey, Key *opened, Open open);
    Result readValue(Key key, const std::wstring &name, std::uint32_t *type, std::uint8_t *data,
                     std::uint32_t *size);
    template <typename Note>
    Result journalled(Key parent, const std::wstring &subKey, Note note);
    Result beforeValueChange(Key key, const std::wstring &name);

    std::mutex m_mutex;
    // Where each handle this object opened leads, for the batch's journal.
    std::unordered_map<Key, KeyPlace> m_places;
    WindowsUndoJournal m_journal;
};

} // namespace registry
