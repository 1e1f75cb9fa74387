// Plugs the engine's own layer kinds ("linelabel", "poi", "roadnumber") into
// the layer configuration reader. Whoever opens a map calls it once before
// reading the layer configuration; until then those kinds draw as plain
// geometry layers.
#pragma once

void register_map_layer_kinds();
