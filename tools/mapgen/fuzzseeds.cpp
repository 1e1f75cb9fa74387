// fuzzseeds: writes structured seeds for the fuzz targets of readers whose
// inputs come from the writers here (zlib streams, packed file arrays, MBM
// files and records) and for the line splitter.
//   fuzzseeds <seeds folder>      (writes <folder>/fuzz_<target>/<name>)
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/container/xr_bytes.h"
#include "common/ber/xr_propertybag.h"
#include "tools/mapgen/gdiff_writer.h"
#include "tools/mapgen/mbm_writer.h"
#include "tools/mapgen/servcom_writer.h"
#include "tools/mapgen/trafficdata_writer.h"
#include "tools/mapgen/trafficstrings_writer.h"
#include "tools/mapgen/zlib_stream.h"

namespace {

namespace M = xr_mbm_layout;

bool write_seed(const std::string& folder, const std::string& target, const std::string& name,
                const std::vector<BYTE>& bytes)
{
    const std::filesystem::path dir = std::filesystem::path(folder) / target;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<BYTE> text(const std::string& s)
{
    return std::vector<BYTE>(s.begin(), s.end());
}

std::vector<BYTE> noise(size_t n, std::uint32_t seed)
{
    std::vector<BYTE> out(n);
    for (BYTE& b : out) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<BYTE>(seed >> 23);
    }
    return out;
}

std::vector<BYTE> joined(std::vector<BYTE> a, const std::vector<BYTE>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The zlib target takes two bytes of output size before the stream.
std::vector<BYTE> sized(std::uint16_t out_size, const std::vector<BYTE>& stream)
{
    std::vector<BYTE> head(2);
    xr_bytes::put_u16_le(head.data(), out_size);
    return joined(head, stream);
}

std::vector<std::uint32_t> gradient(std::uint32_t w, std::uint32_t h)
{
    std::vector<std::uint32_t> rgb(w * h);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x)
            rgb[y * w + x] = (x * 37 & 0xFF) << 16 | (y * 53 & 0xFF) << 8 | ((x + y) & 1 ? 0xFF : 0);
    return rgb;
}

std::vector<bool> checkers(std::uint32_t w, std::uint32_t h)
{
    std::vector<bool> set(w * h);
    for (std::uint32_t i = 0; i < w * h; ++i)
        set[i] = (i / w + i % w) % 3 == 0;
    return set;
}

// A bitmap of depth 4, 8 or 16 with raw rows of the given bytes per row.
XrMbmBitmap raw_bitmap(std::uint32_t w, std::uint32_t h, std::uint32_t bpp, std::uint32_t compression,
                       std::vector<BYTE> data)
{
    XrMbmBitmap b;
    b.width = w;
    b.height = h;
    b.bits_per_pixel = bpp;
    b.compression = compression;
    b.data = std::move(data);
    return b;
}

bool zlib_seeds(const std::string& folder)
{
    const std::string t = "fuzz_zlib";
    const std::vector<BYTE> words = text("the quick brown fox jumps over the lazy dog; the lazy dog sleeps\n");
    std::vector<BYTE> repeated;
    for (int i = 0; i < 40; ++i)
        repeated = joined(repeated, words);
    const std::vector<BYTE> random = noise(3000, 7);
    bool ok = true;
    ok = ok && write_seed(folder, t, "text_default", sized(4096, xr_zlib_stream(repeated)));
    ok = ok && write_seed(folder, t, "text_stored", sized(4096, xr_zlib_stream(repeated, 0)));
    ok = ok && write_seed(folder, t, "text_fast", sized(4096, xr_zlib_stream(repeated, 1)));
    ok = ok && write_seed(folder, t, "text_too_small", sized(100, xr_zlib_stream(repeated, 9)));
    ok = ok && write_seed(folder, t, "text_head_only", sized(8, xr_zlib_stream(repeated, 9)));
    ok = ok && write_seed(folder, t, "noise_exact", sized(3000, xr_zlib_stream(random)));
    ok = ok && write_seed(folder, t, "empty_stream", sized(16, xr_zlib_stream({})));
    ok = ok && write_seed(folder, t, "trailing_bytes", sized(4096, joined(xr_zlib_stream(words), text("tail"))));
    return ok;
}

bool packed_seeds(const std::string& folder)
{
    // The target reads the directory at 0 and at the offset held in the
    // first word: a four-byte head pointing behind itself.
    const std::string t = "fuzz_packed_file_array";
    std::vector<BYTE> head(4);
    xr_bytes::put_u32_le(head.data(), 4);
    bool ok = true;
    ok = ok && write_seed(folder, t, "three_items",
                          packed_file_array(head, {text("first item"), noise(600, 3), std::vector<BYTE>(900, 'z')}));
    ok = ok && write_seed(folder, t, "one_empty_item", packed_file_array(head, {{}}));
    ok = ok && write_seed(folder, t, "directory_at_0", packed_file_array({}, {text("alpha"), text("beta")}));
    ok = ok && write_seed(folder, t, "mbm_packed",
                          mbm_packed_file({mbm_make_rgb(5, 3, gradient(5, 3)), mbm_make_mono(9, 4, checkers(9, 4))}));
    return ok;
}

bool mbm_seeds(const std::string& folder)
{
    // Whole files, plain and packed, of every depth and compression the
    // decoder knows.
    const std::string t = "fuzz_gdi_bitmap";
    std::vector<std::uint16_t> px12;
    for (int i = 0; i < 6 * 4; ++i)
        px12.push_back(static_cast<std::uint16_t>((i / 5) * 0x123 & 0x0FFF));
    XrMbmBitmap rle12;
    rle12.width = 6;
    rle12.height = 4;
    rle12.bits_per_pixel = 12;
    rle12.compression = M::COMPRESSION_RLE_12BIT;
    rle12.data = mbm_encode_rle_12bit(px12);
    const std::vector<XrMbmBitmap> all = {
        mbm_make_rgb(7, 5, gradient(7, 5)),
        mbm_make_rgb(6, 4, gradient(6, 4), 32, M::COMPRESSION_RLE_BYTE),
        mbm_make_rgb(3, 3, gradient(3, 3), 24, M::COMPRESSION_RLE_BYTE),
        mbm_make_mono(33, 5, checkers(33, 5)),
        mbm_make_mono(17, 3, checkers(17, 3), M::COMPRESSION_RLE_BYTE),
        rle12,
        raw_bitmap(8, 2, 4, M::COMPRESSION_NONE, noise(8, 5)),
        raw_bitmap(4, 2, 8, M::COMPRESSION_RLE_BYTE, mbm_encode_rle_byte(std::vector<BYTE>(8, 0x42))),
        raw_bitmap(2, 2, 16, M::COMPRESSION_NONE, noise(8, 9)),
    };
    bool ok = write_seed(folder, t, "plain_all", mbm_file(all));
    ok = ok && write_seed(folder, t, "packed_all", mbm_packed_file(all));
    ok = ok && write_seed(folder, t, "plain_mono", mbm_file({all[3]}));
    ok = ok && write_seed(folder, t, "record_rle12", mbm_record(rle12));
    ok = ok && write_seed(folder, t, "record_rgb32_rle", mbm_record(all[1]));
    return ok;
}

bool line_seeds(const std::string& folder)
{
    // The first byte is dropped by the filter, the second picks the piece
    // size, the third the line after which the watch is removed (0: never).
    const std::string t = "fuzz_linewatch";
    const std::string nmea = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
                             "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";
    bool ok = write_seed(folder, t, "nmea_crlf", joined(text("~\x07"), joined({0}, text(nmea))));
    ok = ok && write_seed(folder, t, "breaks_mixed", text("#\x01\x02one\rtwo\nthree\r\nfour\n\rfive\r\r\n\nsix"));
    ok = ok && write_seed(folder, t, "long_line", joined(text("\x01\x3f\x00"), std::vector<BYTE>(5000, 'L')));
    ok = ok && write_seed(folder, t, "nul_and_latin1", text(std::string("\x01\x05" "\x00" "a\0b\xe9\xff\ncc\n", 12)));
    return ok;
}

} // namespace

// Traffic data files, an update between two of them, and speed-camera
// service replies.
bool traffic_seeds(const std::string& folder)
{
    XrTrafficRecordDef jam;
    jam.event_id = 7;
    jam.flags = xr_trafficdata_layout::FLAG_TMC;
    jam.start = 1000;
    jam.end = 9000;
    jam.name = "Jam";
    jam.items = {{1, 101, 1, "", 0.0}, {2, 202, 0, "Q05", 12.5}};
    jam.tmc_table = 0x0A05;
    jam.tmc_codes = {1, 2, 3};
    jam.tmc_point = std::make_pair(100u, 200u);
    XrTrafficRecordDef works = jam;
    works.event_id = 9;
    works.flags = xr_trafficdata_layout::FLAG_COORDINATES;
    works.points = {{1, 2}, {3, 4}};
    XrTrafficFileDef file;
    file.header_value = 3;
    file.country = "ATL";
    file.penalty = XrTrafficPenaltyDef{50, 80, 150, {{1, 50, 3}}, {{0x1F, 7, 9, 150}}};
    file.records = {jam};
    const std::vector<BYTE> old_file = build_traffic_file(file);
    file.records.push_back(works);
    const std::vector<BYTE> new_file = build_traffic_file(file);
    std::vector<BYTE> update(2);
    xr_bytes::put_u16_le(update.data(), static_cast<std::uint16_t>(old_file.size()));
    update = joined(joined(update, old_file), make_gdiff(old_file, new_file));

    // A successful reply of the speed-camera service carrying data.
    auto reply = [](XrPropertyBag* data) {
        auto* payload = new XrPropertyBag();
        payload->add_bag(0, data);
        XrPropertyBag bag;
        bag.add_int(xr_servcom_layout::KEY_SERVICE_ID, 4);
        bag.add_int(xr_servcom_layout::KEY_VALUE_A, 1);
        bag.add_int(xr_servcom_layout::KEY_VALUE_B, 1);
        bag.add_bool(xr_servcom_layout::KEY_SUCCESS, true);
        bag.add_bag(xr_servcom_layout::KEY_PAYLOAD, payload);
        XrByteArray encoding;
        bag.encode(encoding);
        const BYTE* bytes = encoding.get_items();
        return servcom_reply_body(std::vector<BYTE>(bytes, bytes + encoding.get_num_items()));
    };
    auto* check = new XrPropertyBag();
    check->add_string(1, XrString(L"0123456789abcdef0123456789abcdef"));
    auto* download = new XrPropertyBag();
    auto* blob = new XrByteArray();
    blob->set(new_file.data(), static_cast<int>(new_file.size()));
    download->add_blob(2, blob);
    return write_seed(folder, "fuzz_traffic_data", "two_records", new_file) &&
           write_seed(folder, "fuzz_traffic_data", "one_record", old_file) &&
           write_seed(folder, "fuzz_traffic_update", "add_record", update) &&
           write_seed(folder, "fuzz_service_reply", "check", reply(check)) &&
           write_seed(folder, "fuzz_service_reply", "download", reply(download)) &&
           write_seed(folder, "fuzz_traffic_strings", "three_texts",
                      traffic_strings_file({{1, "Queue"}, {101, "Stationary traffic"}, {2047, "Stra\xc3\x9f" "e"}}));
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzzseeds <seeds folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    if (!zlib_seeds(folder) || !packed_seeds(folder) || !mbm_seeds(folder) || !line_seeds(folder) ||
        !traffic_seeds(folder)) {
        std::fprintf(stderr, "fuzzseeds: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
