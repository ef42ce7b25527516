#pragma once

#include "RegistryApi.h"
#include "WindowsRawValue.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace registry {

// A key by its root and its path below the root: unlike a handle, it still
// names the key after the key was deleted and created again.
struct KeyPlace
{
    HKEY root;
    std::wstring path;
};

// Windows cannot group registry writes. A batch there is this journal: before
// each write it keeps what the write will replace (a value or its absence,
// the keys a creation adds, a deleted key's values), and undo() puts all of
// it back, last write first. Other programs see the writes as they are made.
class WindowsUndoJournal
{
public:
    bool recording() const { return m_recording; }
    // InvalidParameter while a batch is open: batches do not nest.
    Result start();
    // Keeps the writes; InvalidParameter when no batch is open.
    Result finish();
    void undo();

    // Each answers Success, or why the write cannot be undone and must not be made.
    Result beforeValueChange(const KeyPlace &key, const std::wstring &name);
    Result beforeKeyCreation(const KeyPlace &key);
    Result beforeKeyDeletion(const KeyPlace &key);

private:
    void restoreValueLater(const KeyPlace &key, const std::wstring &name, std::optional<RawValue> previous);

    std::vector<std::function<void()>> m_undoSteps;
    bool m_recording = false;
};

} // namespace registry
