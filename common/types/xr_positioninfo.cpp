#include "common/types/xr_positioninfo.h"

namespace {

constexpr int k_satellite_capacity = 8;

template <class T>
void copy_items(XrArray<T>& to, const XrStaticArray<T>& from)
{
    to.remove_all();
    for (int i = 0; i < from.get_num_items(); ++i)
        to.append(*from.get_item_ptr(i));
}

} // namespace

XrPositionInfo::XrPositionInfo()
    : m_used_satellites(k_satellite_capacity, 0), m_satellites_in_view(k_satellite_capacity, 0)
{
}

XrPositionInfo::XrPositionInfo(const XrPositionInfo& other) : XrPositionInfo()
{
    *this = other;
}

XrPositionInfo& XrPositionInfo::operator=(const XrPositionInfo& other)
{
    if (this == &other)
        return *this;
    m_coordinate = other.m_coordinate;
    m_speed = other.m_speed;
    m_heading = other.m_heading;
    copy_items(m_used_satellites, other.m_used_satellites);
    copy_items(m_satellites_in_view, other.m_satellites_in_view);
    m_fix = other.m_fix;
    m_receiver_a = other.m_receiver_a;
    m_receiver_b = other.m_receiver_b;
    m_receiver_c = other.m_receiver_c;
    return *this;
}

void XrPositionInfo::set_used_satellites(const XrStaticArray<int>& satellites)
{
    if (&satellites != &m_used_satellites)
        copy_items(m_used_satellites, satellites);
}

void XrPositionInfo::set_satellites_in_view(const XrStaticArray<XrSVData>& satellites)
{
    if (&satellites != &m_satellites_in_view)
        copy_items(m_satellites_in_view, satellites);
}
