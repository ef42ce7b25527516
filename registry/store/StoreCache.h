#pragma once

#include "RegistryApi.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <span>
#include <string_view>
#include <vector>

namespace registry::store {

// What the cache holds points into its own memory: valid until it is cleared.
struct SubKey
{
    std::string_view name;
    std::string_view folded;
    std::int64_t id;
};

struct Value
{
    std::string_view name;
    std::string_view folded;
    std::uint32_t type;
    std::span<const std::uint8_t> data;
    std::int64_t id;
};

// A key as loaded from the store: subkeys in enumeration order, values in
// creation order.
struct Node
{
    std::span<const SubKey> subKeys;
    std::span<const Value> values;
    std::span<const std::uint32_t> valuesByName; // indexes into values
    KeyInfo info;

    const SubKey *subKey(std::string_view foldedName) const;
    const Value *value(std::string_view foldedName) const;
};

// A key's rows as they come from the store, in any order.
struct NodeRows
{
    std::vector<SubKey> subKeys;
    std::vector<Value> values;
};

// A key found by its path, with its contents once they are loaded.
struct KeyEntry
{
    std::int64_t id;
    const Node *node;
};

// The cache's memory: large blocks handed out piece by piece and given back
// all at once when the cache is cleared, since nothing in it is freed alone.
// The blocks ask for huge pages where the system has them: a fresh process
// filling 16 MB would otherwise fault in four thousand pages one by one.
class Arena final : public std::pmr::memory_resource
{
public:
    Arena() = default;
    ~Arena() override;
    Arena(const Arena &) = delete;
    Arena &operator=(const Arena &) = delete;

    void release();
    std::size_t bytesInUse() const { return m_inUse; }

private:
    struct Block
    {
        std::byte *start;
        std::size_t size;
    };

    void *do_allocate(std::size_t bytes, std::size_t alignment) override;
    void do_deallocate(void *, std::size_t, std::size_t) override {}
    bool do_is_equal(const std::pmr::memory_resource &other) const noexcept override { return this == &other; }

    std::vector<Block> m_blocks;
    std::size_t m_used = 0; // in the last block
    std::size_t m_inUse = 0;
};

// What was read since the store last changed: keys' contents by id, and keys
// by (base key, folded path).
class Cache
{
public:
    Cache();
    ~Cache();
    Cache(const Cache &) = delete;
    Cache &operator=(const Cache &) = delete;

    const Node *node(std::int64_t id) const;
    // Copies of what a row holds, kept with the nodes.
    std::string_view keepText(std::string_view text);
    std::span<const std::uint8_t> keepBytes(std::span<const std::uint8_t> bytes);
    const Node &keep(std::int64_t id, NodeRows rows);

    KeyEntry *key(std::string_view path);
    KeyEntry &keepKey(std::string_view path, std::int64_t id);

    void clear();
    bool overBudget() const;
    // Changes whenever the nodes handed out so far are gone.
    std::uint64_t generation() const { return m_generation; }

private:
    template <typename Item>
    std::span<const Item> keepItems(const std::vector<Item> &items);

    struct Maps;
    Arena m_arena;
    std::unique_ptr<Maps> m_maps; // in m_arena
    std::uint64_t m_generation = 1;
};

} // namespace registry::store
