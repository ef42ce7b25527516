#include "WindowsUndoJournal.h"

#include <utility>

namespace registry {

namespace {

// A key handle open for one step, closed when the step ends.
class StepKey
{
public:
    StepKey(const KeyPlace &place, REGSAM access)
        : m_result(RegOpenKeyExW(place.root, place.path.c_str(), 0, access, &m_key))
    {
    }
    ~StepKey()
    {
        if (m_result == ERROR_SUCCESS)
            RegCloseKey(m_key);
    }
    StepKey(const StepKey &) = delete;
    StepKey &operator=(const StepKey &) = delete;

    LONG result() const { return m_result; }
    HKEY handle() const { return m_key; }

private:
    HKEY m_key = nullptr;
    LONG m_result;
};

bool keyExists(const KeyPlace &place)
{
    return StepKey(place, KEY_QUERY_VALUE).result() != ERROR_FILE_NOT_FOUND;
}

void createKey(const KeyPlace &place)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(place.root, place.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)
        == ERROR_SUCCESS)
        RegCloseKey(key);
}

} // namespace

Result WindowsUndoJournal::start()
{
    if (m_recording)
        return InvalidParameter;
    m_recording = true;
    return Success;
}

Result WindowsUndoJournal::finish()
{
    if (!m_recording)
        return InvalidParameter;
    m_undoSteps.clear();
    m_recording = false;
    return Success;
}

// Best effort: a step that fails (a key another program has locked meanwhile)
// does not stop the steps before it.
void WindowsUndoJournal::undo()
{
    for (auto step = m_undoSteps.rbegin(); step != m_undoSteps.rend(); ++step)
        (*step)();
    m_undoSteps.clear();
    m_recording = false;
}

Result WindowsUndoJournal::beforeValueChange(const KeyPlace &key, const std::wstring &name)
{
    const StepKey opened(key, KEY_QUERY_VALUE);
    if (opened.result() != ERROR_SUCCESS)
        return opened.result();
    RawValue previous;
    const LONG read = readRawValue(opened.handle(), name, &previous);
    if (read != ERROR_SUCCESS && read != ERROR_FILE_NOT_FOUND)
        return read;
    restoreValueLater(key, name, read == ERROR_SUCCESS ? std::optional(std::move(previous)) : std::nullopt);
    return Success;
}

// Every component from the first missing one down is new, and goes on undo,
// the deepest first.
Result WindowsUndoJournal::beforeKeyCreation(const KeyPlace &key)
{
    bool missing = false;
    for (std::size_t end = 0; end != std::wstring::npos;) {
        end = key.path.find(L'\\', end + 1);
        const KeyPlace component{key.root, key.path.substr(0, end)};
        missing = missing || !keyExists(component);
        if (missing)
            m_undoSteps.emplace_back([component] { RegDeleteKeyW(component.root, component.path.c_str()); });
    }
    return Success;
}

// The registry deletes only keys without subkeys: the key's values are all
// there is to put back.
Result WindowsUndoJournal::beforeKeyDeletion(const KeyPlace &key)
{
    const StepKey opened(key, KEY_QUERY_VALUE);
    if (opened.result() == ERROR_FILE_NOT_FOUND)
        return Success;
    std::vector<NamedRawValue> values;
    const LONG read = opened.result() == ERROR_SUCCESS ? readRawValues(opened.handle(), &values) : opened.result();
    if (read != ERROR_SUCCESS)
        return read;
    for (NamedRawValue &value : values)
        restoreValueLater(key, value.name, std::move(value.value));
    m_undoSteps.emplace_back([key] { createKey(key); });
    return Success;
}

void WindowsUndoJournal::restoreValueLater(const KeyPlace &key, const std::wstring &name,
                                           std::optional<RawValue> previous)
{
    m_undoSteps.emplace_back([key, name, previous = std::move(previous)] {
        const StepKey opened(key, KEY_SET_VALUE);
        if (opened.result() != ERROR_SUCCESS)
            return;
        if (!previous) {
            RegDeleteValueW(opened.handle(), name.c_str());
            return;
        }
        RegSetValueExW(opened.handle(), name.c_str(), 0, previous->type, previous->data.data(),
                       static_cast<DWORD>(previous->data.size()));
    });
}

} // namespace registry
