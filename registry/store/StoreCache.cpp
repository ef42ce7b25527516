#include "StoreCache.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_map>

#include <sys/mman.h>

namespace registry::store {

namespace {

// Past this, the cache is dropped and fills again with the keys in use.
constexpr std::size_t cacheBudgetBytes = std::size_t{32} << 20;
constexpr std::size_t pageBytes = 4096;
constexpr std::size_t hugePageBytes = std::size_t{2} << 20;
// A program that reads a few values keeps to the first, small block; a walk
// over thousands of keys goes on in blocks of huge pages.
constexpr std::size_t firstBlockBytes = std::size_t{256} << 10;
constexpr std::size_t blockBytes = 2 * hugePageBytes;

std::uint32_t byteCount(std::size_t size)
{
    return static_cast<std::uint32_t>(size);
}

// Blocks of huge pages start on a huge-page boundary, so that all of them
// can be backed by huge pages.
std::byte *mapBlock(std::size_t size)
{
    const bool huge = size >= hugePageBytes;
    const std::size_t mapped = huge ? size + hugePageBytes : size;
    void *region = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region == MAP_FAILED)
        throw std::bad_alloc();
    auto *start = static_cast<std::byte *>(region);
    if (!huge)
        return start;
    const std::size_t head = (hugePageBytes - reinterpret_cast<std::uintptr_t>(start) % hugePageBytes) % hugePageBytes;
    if (head)
        ::munmap(start, head);
    if (const std::size_t tail = mapped - head - size)
        ::munmap(start + head + size, tail);
#ifdef MADV_HUGEPAGE
    ::madvise(start + head, size, MADV_HUGEPAGE); // a hint: without huge pages, plain pages serve
#endif
    return start + head;
}

std::size_t roundUp(std::size_t size, std::size_t unit)
{
    return (size + unit - 1) / unit * unit;
}

struct TextHash
{
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

void arrange(NodeRows &rows)
{
    std::sort(rows.subKeys.begin(), rows.subKeys.end(),
              [](const SubKey &a, const SubKey &b) { return a.folded < b.folded; });
    std::sort(rows.values.begin(), rows.values.end(), [](const Value &a, const Value &b) { return a.id < b.id; });
}

KeyInfo infoOf(const NodeRows &rows)
{
    KeyInfo info;
    info.subKeys = byteCount(rows.subKeys.size());
    info.values = byteCount(rows.values.size());
    for (const SubKey &key : rows.subKeys)
        info.maxSubKeyLength = std::max(info.maxSubKeyLength, byteCount(key.name.size()));
    for (const Value &value : rows.values) {
        info.maxValueNameLength = std::max(info.maxValueNameLength, byteCount(value.name.size()));
        info.maxValueLength = std::max(info.maxValueLength, byteCount(value.data.size()));
    }
    return info;
}

} // namespace

const SubKey *Node::subKey(std::string_view foldedName) const
{
    const auto found = std::lower_bound(subKeys.begin(), subKeys.end(), foldedName,
                                        [](const SubKey &key, std::string_view name) { return key.folded < name; });
    return found != subKeys.end() && found->folded == foldedName ? &*found : nullptr;
}

const Value *Node::value(std::string_view foldedName) const
{
    const auto found = std::lower_bound(
        valuesByName.begin(), valuesByName.end(), foldedName,
        [this](std::uint32_t index, std::string_view name) { return values[index].folded < name; });
    return found != valuesByName.end() && values[*found].folded == foldedName ? &values[*found] : nullptr;
}

Arena::~Arena()
{
    for (const Block &block : m_blocks)
        ::munmap(block.start, block.size);
}

// The first block is kept: a cache dropped at every write fills it again at
// no cost.
void Arena::release()
{
    for (std::size_t i = 1; i < m_blocks.size(); ++i)
        ::munmap(m_blocks[i].start, m_blocks[i].size);
    m_blocks.resize(std::min<std::size_t>(m_blocks.size(), 1));
    m_used = 0;
    m_inUse = 0;
}

void *Arena::do_allocate(std::size_t bytes, std::size_t alignment)
{
    std::size_t offset = m_blocks.empty() ? 0 : roundUp(m_used, alignment);
    if (m_blocks.empty() || offset + bytes > m_blocks.back().size) {
        const bool first = m_blocks.empty();
        const std::size_t size = roundUp(std::max(bytes, first ? firstBlockBytes : blockBytes),
                                         first ? pageBytes : hugePageBytes);
        m_blocks.push_back({mapBlock(size), size});
        offset = 0;
    }
    m_used = offset + bytes;
    m_inUse += bytes;
    return m_blocks.back().start + offset;
}

struct Cache::Maps
{
    explicit Maps(std::pmr::memory_resource *memory)
        : nodes(memory)
        , keys(memory)
    {
    }

    std::pmr::unordered_map<std::int64_t, Node> nodes;
    std::pmr::unordered_map<std::string_view, KeyEntry, TextHash, std::equal_to<>> keys; // paths in the arena
};

Cache::Cache()
    : m_maps(std::make_unique<Maps>(&m_arena))
{
}

Cache::~Cache()
{
    m_maps.reset(); // before the arena under it
}

const Node *Cache::node(std::int64_t id) const
{
    const auto found = m_maps->nodes.find(id);
    return found == m_maps->nodes.end() ? nullptr : &found->second;
}

std::string_view Cache::keepText(std::string_view text)
{
    if (text.empty())
        return {};
    auto *copy = static_cast<char *>(m_arena.allocate(text.size(), 1));
    std::memcpy(copy, text.data(), text.size());
    return {copy, text.size()};
}

std::span<const std::uint8_t> Cache::keepBytes(std::span<const std::uint8_t> bytes)
{
    const std::string_view copy = keepText({reinterpret_cast<const char *>(bytes.data()), bytes.size()});
    return {reinterpret_cast<const std::uint8_t *>(copy.data()), copy.size()};
}

template <typename Item>
std::span<const Item> Cache::keepItems(const std::vector<Item> &items)
{
    if (items.empty())
        return {};
    auto *copy = static_cast<Item *>(m_arena.allocate(items.size() * sizeof(Item), alignof(Item)));
    std::uninitialized_copy(items.begin(), items.end(), copy);
    return {copy, items.size()};
}

const Node &Cache::keep(std::int64_t id, NodeRows rows)
{
    arrange(rows);
    std::vector<std::uint32_t> byName(rows.values.size());
    for (std::uint32_t i = 0; i < byName.size(); ++i)
        byName[i] = i;
    std::sort(byName.begin(), byName.end(),
              [&rows](std::uint32_t a, std::uint32_t b) { return rows.values[a].folded < rows.values[b].folded; });
    const Node node{keepItems(rows.subKeys), keepItems(rows.values), keepItems(byName), infoOf(rows)};
    return m_maps->nodes.emplace(id, node).first->second;
}

KeyEntry *Cache::key(std::string_view path)
{
    const auto found = m_maps->keys.find(path);
    return found == m_maps->keys.end() ? nullptr : &found->second;
}

KeyEntry &Cache::keepKey(std::string_view path, std::int64_t id)
{
    if (KeyEntry *known = key(path))
        return *known;
    return m_maps->keys.emplace(keepText(path), KeyEntry{id, nullptr}).first->second;
}

void Cache::clear()
{
    m_maps.reset();
    m_arena.release();
    m_maps = std::make_unique<Maps>(&m_arena);
    ++m_generation;
}

bool Cache::overBudget() const
{
    return m_arena.bytesInUse() > cacheBudgetBytes;
}

} // namespace registry::store
