// Encoding and decoding a property bag of about 1 MB of mixed values.
#include <benchmark/benchmark.h>

#include "common/ber/xr_propertybag.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

// Bools, ints, doubles, strings, date-times, blobs and nested bags under
// 1000 keys (so most keys hold several values).
void fill(XrPropertyBag& bag, int target_bytes)
{
    XrByteArray blob_bytes;
    for (int i = 0; i < 64; ++i)
        blob_bytes.append_byte(static_cast<BYTE>(i));
    int i = 0;
    for (XrByteArray probe; probe.get_num_items() < target_bytes; ++i) {
        const int key = i % 1000;
        switch (i % 7) {
        case 0: bag.add_bool(key, i % 2 == 0); break;
        case 1: bag.add_int(key, i * 7919); break;
        case 2: bag.add_double(key, i * 0.37); break;
        case 3: bag.add_string(key, XrString(L"Kestrova street name \u00E4\u00F6")); break;
        case 4: bag.add_datetime(key, XrDatetime(1234567890 + i)); break;
        case 5: {
            XrByteArray* blob = new XrByteArray();
            *blob = blob_bytes;
            bag.add_blob(key, blob);
            break;
        }
        default: {
            XrPropertyBag* nested = new XrPropertyBag();
            nested->add_int(1, i);
            nested->add_string(2, XrString(L"nested"));
            bag.add_bag(key, nested);
            break;
        }
        }
        if (i % 1000 == 999) {
            probe.remove_all();
            bag.encode(probe);
        }
    }
}

void BM_EncodeBag(benchmark::State& state)
{
    XrPropertyBag bag;
    fill(bag, 1 << 20);
    XrByteArray out;
    for (auto _ : state) {
        out.remove_all();
        bag.encode(out);
        benchmark::DoNotOptimize(out.get_items());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * out.get_num_items());
}
BENCHMARK(BM_EncodeBag)->Unit(benchmark::kMillisecond);

void BM_DecodeBag(benchmark::State& state)
{
    XrPropertyBag bag;
    fill(bag, 1 << 20);
    XrByteArray encoded;
    bag.encode(encoded);
    for (auto _ : state) {
        XrMemoryStorageAccessor input(true, encoded.get_items(), static_cast<std::uint32_t>(encoded.get_num_items()), false);
        XrPropertyBag back;
        if (back.decode(&input) != XrPropertyBag::OK)
            state.SkipWithError("decode failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * encoded.get_num_items());
}
BENCHMARK(BM_DecodeBag)->Unit(benchmark::kMillisecond);

} // namespace
