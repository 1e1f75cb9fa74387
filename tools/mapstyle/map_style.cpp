#include "tools/mapstyle/map_style.h"

#include "tools/mapgen/geom_tree.h"

#include <cstdio>

std::string xr_city_style_text(const std::string& key)
{
    std::string t;
    t += "[" + key + "]\n";
    t += "[" + key + "\\themes]\n";
    t += "[" + key + "\\themes\\0]\ntxt_halo=255,255,255\nmap_bg_color=245,240,230\n";
    t += "[" + key + "\\themes\\0\\pens]\n"
         "1=80,60,40,SOLID\n2=255,255,255,SOLID\n3=250,200,60,SOLID\n4=200,0,0,SOLID\n5=60,90,200,SOLID\n"
         "6=150,150,150,SOLID\n";
    t += "[" + key + "\\themes\\0\\brushes]\n"
         "1=150,190,240,SOLID\n2=170,220,150,SOLID\n3=220,200,180,SOLID\n4=0,0,0,NULL\n";
    t += "[" + key + "\\themes\\0\\fonts]\n1=0,0,0\n2=0,0,0\n3=0,0,0\n";
    t += "[" + key + "\\scales]\na=0,20000\nb=20001,100000\nc=100001,100000000\n";
    t += "[" + key + "\\lines]\n"
         "1=1,3,-6,1,3,-4,1,3,-2\n"
         "2=1,2,-4,1,2,-2,6,0,1\n"
         "3=0,6,1,0,6,1,0,6,1\n"
         "4=4,5,3,4,5,3,4,5,3\n";
    t += "[" + key + "\\polygons]\n10=6,1,6,1,6,1\n11=6,2,6,2,6,2\n12=6,3,6,3,0,0\n";
    t += "[" + key + "\\texts]\n";
    for (int c = 0; c < 16; ++c) {
        const int font = c == 0 ? 3 : c < 4 ? 2 : 1;
        t += std::to_string(c) + "=" + std::to_string(font) + "," + std::to_string(font) + "," +
             (c == 15 ? "0" : std::to_string(font)) + "\n";
    }
    t += "20=1,1,1\n";
    t += "[" + key + "\\symbols]\n";
    return t;
}

std::string xr_map_config_text(const std::vector<XrLayerDef>& layers, const std::vector<std::string>& symbol_libs,
                               const std::string& vector_directory)
{
    std::string t = "REGEDIT4\n[\\map]\nmap_vs=city\n";
    if (!vector_directory.empty())
        t += "vector_directory=" + vector_directory + "\n";
    t += "[\\map\\symbol_libs]\n";
    for (size_t i = 0; i < symbol_libs.size(); ++i)
        t += "lib" + std::to_string(i) + "=" + symbol_libs[i] + "\n";
    t += "[\\map\\visual_settings]\n";
    t += xr_city_style_text("\\map\\visual_settings\\city");
    t += "[\\map\\layers]\n";
    for (const XrLayerDef& l : layers) {
        t += "[\\map\\layers\\" + l.name + "]\n";
        t += "number=" + std::to_string(l.number) + "\n";
        if (!l.type.empty())
            t += "type=" + l.type + "\n";
        if (!l.storage.empty())
            t += "storage=" + l.storage + "\n";
        if (!l.visual_settings.empty())
            t += "visual_settings=" + l.visual_settings + "\n";
        if (!l.resource.empty())
            t += "resource=" + l.resource + "\n";
        for (const std::string& e : l.extra)
            t += e + "\n";
    }
    return t;
}

bool xr_write_text_file(const std::string& path, const std::string& text)
{
    std::string error;
    return xr_write_file_atomic(path, std::vector<BYTE>(text.begin(), text.end()), error);
}
