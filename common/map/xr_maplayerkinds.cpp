#include "common/map/xr_maplayerkinds.h"

#include "common/map/xr_linelabellayer.h"
#include "common/map/xr_poilayer.h"
#include "common/map/xr_roadnumberlayer.h"

void register_map_layer_kinds()
{
    register_line_label_layer_kind();
    register_poi_layer_kind();
    register_road_number_layer_kind();
}
