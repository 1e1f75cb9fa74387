// The road graph reader on arbitrary bytes: open, then queries driven by the
// input's own bytes (tile lookups, edges by handle with their connections,
// edges by gid, manoeuvres).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/container/xr_bytes.h"
#include "common/graph/xr_graphaccessor.h"
#include "common/graph/xr_graphaccessor_alloc_maemo.h"
#include "common/storage/xr_storageaccessor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static XrTileHeap heap(1 << 20);
    std::vector<BYTE> bytes(data, data + size);
    XrMemoryStorageAccessor storage(true, bytes.data(), static_cast<std::uint32_t>(bytes.size()), false);
    XrGraphAccessor2 graph(&storage, 0x10000, &heap);
    XrRoutingParams params;
    if (graph.open(&params) != 0)
        return 0;
    // Query values from the last bytes of the input.
    std::uint32_t state = size >= 4 ? xr_bytes::get_u32_le(data + size - 4) : 1;
    auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    const int inner = graph.get_num_inner_nodes();
    const int tiles = inner + 4 * graph.get_num_leaves();
    for (int q = 0; q < 64; ++q) {
        const int x = static_cast<int>(next() & 0xFFFFF) - 0x80000;
        const int y = static_cast<int>(next() & 0xFFFFF) - 0x80000;
        graph.find_tile_for_coordinate(x, y, (q & 1) != 0);
        const int tile = inner + static_cast<int>(next() % static_cast<std::uint32_t>(tiles - inner + 1));
        const int h = graph.make_handle(tile, (next() & 1) != 0, static_cast<int>(next() & 0x7FF));
        XrGraphAccessor2::XrEdgeData e;
        if (graph.get_edge_by_handle(h, e) != -1) {
            int ch = 0, turn = 0;
            while (graph.get_next_edge_connection(e, ch, turn)) {
                XrGraphAccessor2::XrEdgeData f;
                graph.get_edge_by_handle(ch, f);
            }
            graph.get_edge_handle_by_gid(e.x, e.y, e.gid);
            graph.get_edge_end_state(h);
            graph.get_tile_flag(h);
            const std::uint32_t* entry = nullptr;
            int count = 0;
            graph.find_manoeuvre(graph.handle_to_reference(h), next(), 0, entry, count);
        }
        if ((q & 15) == 15)
            graph.free_cache(static_cast<int>(next() % 3) - 1);
    }
    return 0;
}
