#include "tools/mapgen/pbf_writer.h"

#include <osmium/io/any_input.hpp>
#include <osmium/io/pbf_output.hpp>
#include <osmium/io/writer.hpp>

#include <exception>

bool xr_write_osm_pbf(const std::string& xml_path, const std::string& pbf_path, std::string& error)
{
    try {
        osmium::io::Reader reader(osmium::io::File(xml_path, "osm"));
        osmium::io::Header header = reader.header();
        osmium::io::Writer writer(osmium::io::File(pbf_path, "pbf"), header, osmium::io::overwrite::allow);
        while (osmium::memory::Buffer buffer = reader.read())
            writer(std::move(buffer));
        writer.close();
        reader.close();
    } catch (const std::exception& e) {
        error = "cannot write " + pbf_path + ": " + e.what();
        return false;
    }
    return true;
}
