#include "common/base/xr_singleton.h"
#include "common/base/xr_singletonref.h"

#include <atomic>
#include <new>

#include "common/container/xr_hash.h"

namespace {

XrHash<XrString, void*>* l_singletons = nullptr;
std::atomic<unsigned> l_generation{1};

} // namespace

void XrSingleton::set_instance(const XrString& name, void* instance)
{
    // 0 is never a generation: a fresh reference always looks up.
    if (l_generation.fetch_add(1) + 1 == 0)
        l_generation.fetch_add(1);
    if (instance == nullptr) {
        if (l_singletons != nullptr)
            l_singletons->remove(name);
        return;
    }
    if (l_singletons == nullptr)
        l_singletons = new (std::nothrow) XrHash<XrString, void*>(10, true, 80);
    XR_ASSERT_MSG(l_singletons != nullptr, "l_singletons != 0");
    XR_ASSERT_MSG(l_singletons->num_items_for_key(name) == 0, "l_singletons->num_items_for_key( name ) == 0");
    l_singletons->insert(name, instance);
}

void* XrSingleton::get_instance(const XrString& name)
{
    if (l_singletons == nullptr)
        return nullptr;
    void* instance = nullptr;
    l_singletons->find(name, instance);
    return instance;
}

unsigned xr_singleton_generation() { return l_generation.load(std::memory_order_relaxed); }

void XrObservableBase::add_listener_ptr(void* listener)
{
    m_listeners.append(listener);
}

void XrObservableBase::remove_listener_ptr(void* listener)
{
    if (listener == nullptr)
        return;
    const int n = m_listeners.get_num_items();
    for (int i = 0; i < n; ++i) {
        if (m_listeners.get_item(i) != listener)
            continue;
        if (m_notify_depth > 0) {
            *m_listeners.get_item_ptr(i) = nullptr;
            m_has_holes = true;
        } else {
            m_listeners.remove_item(i);
        }
        return;
    }
}

void XrObservableBase::end_notify()
{
    if (--m_notify_depth > 0 || !m_has_holes)
        return;
    m_has_holes = false;
    for (int i = m_listeners.get_num_items() - 1; i >= 0; --i) {
        if (m_listeners.get_item(i) == nullptr)
            m_listeners.remove_item(i);
    }
}
