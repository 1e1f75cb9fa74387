// XrRouteLayer: signpost set-up and the route arrow list.
#include "common/map/xr_routelayer.h"

#include "common/addr/xr_signpostacc.h"

void XrRouteLayer::set_signpost_accessor(XrSignpostAccessor* accessor) { signposts.reset(accessor); }

void XrRouteLayer::initialize_signpost_drawer() {}

bool XrRouteLayer::parse_scheme_prefix(const XrString& /*text*/, int& text_start, int& scheme)
{
    text_start = 0;
    scheme = 0;
    return false;
}

void XrRouteLayer::clear_signpost_items() { signpost_items.remove_all(); }

void XrRouteLayer::clear_route_arrows()
{
    for (int i = 0; i < arrows.get_num_items(); ++i)
        delete arrows.get_item(i);
    arrows.remove_all();
}
