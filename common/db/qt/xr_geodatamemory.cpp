#include "common/db/qt/xr_geodatamemory.h"

#include <atomic>
#include <cstdlib>

#include "common/db/qt/xr_geodata.h"

namespace {

std::atomic<std::uint64_t> g_in_use{0};
std::atomic<std::uint32_t> g_limit{0};

} // namespace

void CGeoDataMemory::set_limit(std::uint32_t limit)
{
    g_limit = limit;
}

std::uint64_t CGeoDataMemory::available()
{
    const std::uint64_t limit = g_limit;
    if (limit == 0)
        return 2147483647;
    const std::uint64_t used = g_in_use;
    return used >= limit ? 0 : limit - used;
}

std::uint64_t CGeoDataMemory::in_use()
{
    return g_in_use;
}

void* CGeoDataMemory::allocate(std::size_t size)
{
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr)
        g_in_use += size;
    return block;
}

void CGeoDataMemory::free(void* block, std::size_t size)
{
    if (block == nullptr)
        return;
    std::free(block);
    g_in_use -= size;
}

std::uint64_t geo_data_memory_in_use()
{
    return CGeoDataMemory::in_use();
}
