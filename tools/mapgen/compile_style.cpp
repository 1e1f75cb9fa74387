// The layer configuration and the visual setting "gt_vs" of compiled maps.
//
// Scale ranges: 0 up to 20000, 1 up to 150000, 2 above.
// Lines (the road layer draws record type & 15 = the road category):
//   0 motorway, 1 trunk and motorway links, 2 primary, 3 secondary,
//   4 tertiary, 5 residential and unclassified, 6 living streets and
//   service roads, 7 other; 9 rivers and canals.
// Polygons: 10 water, 11 parks and woods, 12 buildings, 13 built-up land.
// Texts: 0..7 place names (city, town, village, suburb, ...), 8 the names
// of a small country's main villages (as villages, and at small scales too), 1000 + road
// category the street names, 20 labels of the geometry layers.
#include "tools/mapgen/compile_osm.h"

namespace {

const char* const ROOT = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnok";

std::string style(const std::string& key)
{
    std::string t;
    t += "[" + key + "]\n";
    t += "[" + key + "\\themes]\n";
    // Theme 0: day; theme 1: night.
    t += "[" + key + "\\themes\\0]\ntxt_halo=255,255,255\nmap_bg_color=242,239,233\n";
    t += "[" + key + "\\themes\\0\\pens]\n"
         "1=120,110,100,SOLID\n2=255,255,255,SOLID\n3=230,130,60,SOLID\n4=250,200,90,SOLID\n"
         "5=250,235,150,SOLID\n6=170,170,170,SOLID\n7=110,160,220,SOLID\n8=170,80,30,SOLID\n"
         "9=150,195,135,SOLID\n10=222,214,205,SOLID\n11=20,60,160,SOLID\n12=60,130,240,SOLID\n";
    t += "[" + key + "\\themes\\0\\brushes]\n"
         "1=170,205,240,SOLID\n2=180,220,160,SOLID\n3=215,200,185,SOLID\n4=232,226,220,SOLID\n";
    t += "[" + key + "\\themes\\0\\fonts]\n1=40,40,40\n2=20,20,20\n3=0,0,0\n";
    t += "[" + key + "\\themes\\1]\ntxt_halo=30,30,30\nmap_bg_color=40,44,52\n";
    t += "[" + key + "\\themes\\1\\pens]\n"
         "1=20,20,20,SOLID\n2=110,110,120,SOLID\n3=170,100,50,SOLID\n4=170,140,70,SOLID\n"
         "5=150,140,100,SOLID\n6=90,90,90,SOLID\n7=50,80,130,SOLID\n8=110,60,20,SOLID\n"
         "9=40,70,50,SOLID\n10=55,58,66,SOLID\n11=20,50,120,SOLID\n12=50,110,210,SOLID\n";
    t += "[" + key + "\\themes\\1\\brushes]\n"
         "1=40,60,100,SOLID\n2=40,70,50,SOLID\n3=70,70,80,SOLID\n4=55,58,66,SOLID\n";
    t += "[" + key + "\\themes\\1\\fonts]\n1=220,220,220\n2=235,235,235\n3=255,255,255\n";
    t += "[" + key + "\\scales]\na=0,20000\nb=20001,150000\nc=150001,100000000\n";
    t += "[" + key + "\\lines]\n"
         "0=8,3,-12,8,3,-8,3,0,3\n"
         "1=1,4,-11,1,4,-7,4,0,2\n"
         "2=1,4,-11,1,4,-7,4,0,2\n"
         "3=1,5,-10,1,5,-6,5,0,1\n"
         "4=1,2,-10,1,2,-6,6,0,1\n"
         "5=1,2,-9,1,2,-4,0,0,0\n"
         "6=1,2,-6,6,0,1,0,0,0\n"
         "7=1,2,-6,6,0,1,0,0,0\n"
         "8=11,12,-12,11,12,-9,12,0,3\n"
         "9=7,0,3,7,0,2,7,0,1\n";
    t += "[" + key + "\\polygons]\n10=7,1,7,1,7,1\n11=9,2,9,2,9,2\n12=6,3,10,3,0,0\n13=10,4,10,4,10,4\n";
    t += "[" + key + "\\texts]\n"
         "0=3,3,3\n1=3,3,3\n2=2,2,0\n3=2,2,0\n4=1,1,0\n5=1,0,0\n6=1,0,0\n7=1,0,0\n8=2,2,2\n"
         "20=1,1,0\n"
         "1000=2,2,0\n1001=2,2,0\n1002=2,2,0\n1003=1,1,0\n1004=1,1,0\n1005=1,1,0\n1006=1,0,0\n1007=1,0,0\n"
         "1008=2,2,0\n";
    t += "[" + key + "\\symbols]\n";
    return t;
}

struct Layer {
    const char* name;
    int number;
    const char* type;
    const char* storage;
    const char* resource;
    const char* extra;
};

const Layer LAYERS[] = {
    {"wa", 10, "geom", "simple", "?:/mapdata/areas.qt", "double_bufferable=1\n"},
    {"road", 20, "linelabel", "simple", "?:/mapdata/roads.qt", "double_bufferable=1\nlines_in_2phases=1\ntype_override1=8\n"},
    {"rn", 30, "roadnumber", "simple", "?:/mapdata/numbers.qt", ""},
    {"sm", 40, "maptxt", "simple", "?:/mapdata/labels.qt", ""},
    {"poi", 50, "poi", "simple", "?:/mapdata/pois.qt", ""},
};

} // namespace

std::string xr_compiled_map_configuration()
{
    const std::string root = ROOT;
    std::string t = "REGEDIT4\n\n[" + root + "]\nmap_vs=gt_vs\n";
    t += "[" + root + "\\positioning]\n";
    t += "[" + root + "\\symbol_libs]\n";
    t += "[" + root + "\\visual_settings]\n";
    t += style(root + "\\visual_settings\\gt_vs");
    t += "[" + root + "\\visual_settings\\gt_vs\\layers]\n";
    for (const Layer& l : LAYERS)
        t += "[" + root + "\\visual_settings\\gt_vs\\layers\\" + l.name + "]\nvisible=1\n";
    t += "[" + root + "\\layers]\n";
    for (const Layer& l : LAYERS) {
        t += "[" + root + "\\layers\\" + l.name + "]\n";
        t += "number=" + std::to_string(l.number) + "\n";
        t += std::string("type=") + l.type + "\n";
        t += std::string("storage=") + l.storage + "\n";
        t += "visual_settings=gt_vs\n";
        if (l.resource != nullptr)
            t += std::string("resource=") + l.resource + "\n";
        t += l.extra;
    }
    return t;
}
