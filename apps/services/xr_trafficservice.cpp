#include "apps/services/xr_trafficservice.h"

#include <cstdint>
#include <algorithm>
#include <ctime>

#include "common/base/xr_singleton.h"
#include "common/config/xr_storageconfiguration.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_path_resolver.h"

namespace {

XrAppSettingsProvider* app_settings()
{
    return static_cast<XrAppSettingsProvider*>(XrSingleton::get_instance(XrString(L"XrAppSettingsProvider")));
}

void tell(XrServiceListener* listener, int result, int text_id, const XrString* argument = nullptr)
{
    if (listener == nullptr)
        return;
    XrString text;
    if (argument != nullptr)
        text.format_text(100, text_id, argument->c_str());
    else
        text.format_text(256, text_id);
    listener->service_result(result, text.c_str());
}

int interval_of(int minutes)
{
    return minutes == 10 || minutes == 30 || minutes == 60 ? minutes : 0;
}

// The penalty map of a code, or null when it is missing or does not parse.
XrTrafficPenalty* load_penalty(XrServiceHelper* helper, const XrString& code)
{
    XrString relative;
    relative.format(255, L"?:\\kestrova\\penaltymap_%s.txt", code.c_str());
    std::unique_ptr<XrStorageConfiguration> config(helper->open_configuration(XrPathResolver::resolve(relative)));
    if (!config)
        return nullptr;
    auto* penalty = new XrTrafficPenalty();
    penalty->load_penalty_map(*config);
    return penalty;
}

} // namespace

XrTrafficService::XrTrafficService()
{
    name = XrString(R_STR_TRAFFIC_INFO);
}

XrTrafficService::~XrTrafficService()
{
    clear_all();
    if (configured)
        if (XrAppSettingsProvider* settings = app_settings())
            settings->remove_listener(this);
}

XrString XrTrafficService::data_path(const XrString& code)
{
    XrString relative;
    relative.format(255, L"?:\\kestrova\\trafficdata_%s.bin", code.c_str());
    return XrPathResolver::resolve(relative);
}

bool XrTrafficService::configure(XrServiceHelper* value, XrProjection* map_projection)
{
    helper = value;
    projection = map_projection;
    XrAppSettingsProvider* settings = app_settings();
    if (settings != nullptr) {
        refresh_minutes = interval_of(settings->get_update_interval());
        settings->add_listener(this);
        configured = true;
        if (settings->get_traffic_enabled())
            apply_settings(true);
    }
    return true;
}

void XrTrafficService::settings_changed()
{
    XrAppSettingsProvider* settings = app_settings();
    if (settings != nullptr)
        apply_settings(settings->get_traffic_enabled());
}

void XrTrafficService::apply_settings(bool enabled_now)
{
    XrAppSettingsProvider* settings = app_settings();
    const bool option = settings != nullptr && settings->get_routing_option();
    if (enabled_now) {
        sync_countries();
        if (active && !request_in_flight) {
            refresh_minutes = settings != nullptr ? interval_of(settings->get_update_interval()) : 0;
            arm_refresh();
            disarm(TIMER_HOUSEKEEPING);
            arm(TIMER_HOUSEKEEPING, 60);
        }
    } else {
        clear_all();
    }
    if (enabled_now != enabled || option != routing_option) {
        enabled = enabled_now;
        routing_option = option;
        if (helper != nullptr)
            helper->redraw_map();
    }
    if (enabled && status != STATUS_CURRENT && refresh_minutes != 0)
        request(nullptr, nullptr, nullptr);
}

void XrTrafficService::sync_countries()
{
    if (helper == nullptr)
        return;
    const int count = helper->get_country_count();
    bool created = false;
    for (int i = 0; i < count; ++i) {
        XrString code;
        helper->get_country_name(i, code);
        if (code.is_empty() || find_country(code) != nullptr)
            continue;
        auto country = std::make_unique<Country>();
        country->code = code;
        country->own_penalty.reset(load_penalty(helper, code));
        if (country->own_penalty) {
            country->penalty = country->own_penalty.get();
        } else {
            if (!default_penalty && !default_penalty_tried) {
                default_penalty_tried = true;
                default_penalty.reset(load_penalty(helper, XrString(L"DEFAULT")));
            }
            country->penalty = default_penalty.get();
        }
        country->file = std::make_unique<XrTrafficInfoFile>(data_path(code), country->penalty);
        // Data of another language than the one now in use is not kept.
        if (XrAppSettingsProvider* settings = app_settings()) {
            XrString language(R_STR_LANGUAGE);
            language.to_upper();
            const XrString& last = settings->get_last_locale();
            if (!last.is_empty() && last != language)
                country->file->discard();
        }
        country->file->parse();
        Country& added = *country;
        countries.push_back(std::move(country));
        added.file->set_load_all(true);
        rebuild_events(added, std::time(nullptr));
        compute_penalties(added);
        refresh_icons(added, false);
        added.file->set_load_all(false);
        created = true;
    }
    if (created) {
        rebuild_marks();
        recompute_status();
    }
}

void XrTrafficService::clear_all()
{
    for (int id : {TIMER_REFRESH, TIMER_HOUSEKEEPING, TIMER_ANIMATION})
        disarm(id);
    if (pending != nullptr && helper != nullptr)
        helper->cancel_request(&pending);
    pending = nullptr;
    queue.clear();
    for (const auto& country : countries)
        remove_country_events(*country);
    warned.clear();
    jam_roads.clear();
    by_distance.clear();
    by_distance_valid = false;
    reroute_pending = false;
    if (helper != nullptr && !countries.empty())
        helper->reserve_road_marks(0);
    countries.clear();
    default_penalty.reset();
    default_penalty_tried = false;
    request_in_flight = false;
}

XrTrafficService::Country* XrTrafficService::find_country(const XrString& code) const
{
    for (const auto& country : countries)
        if (country->code == code)
            return country.get();
    return nullptr;
}

int XrTrafficService::freshness(const Country& country)
{
    std::int64_t size = 0;
    std::time_t modified = 0;
    if (!country.file->get_file_status(size, modified))
        return 4;
    return std::time(nullptr) - modified < FRESH_SECONDS ? STATUS_CURRENT : STATUS_OLD;
}

void XrTrafficService::recompute_status()
{
    if (request_in_flight)
        return;
    // The freshest country tells (the position's country is not known here).
    int result = STATUS_OLD;
    for (const auto& country : countries)
        if (freshness(*country) < result)
            result = freshness(*country);
    if (result != status) {
        status = result;
        if (helper != nullptr)
            helper->redraw_map();
    }
}

int XrTrafficService::request(const XrString* text, XrServComClient* further, XrServiceListener* listener)
{
    if (!enabled || !queue.empty() || request_in_flight)
        return 1;
    for (const auto& country : countries)
        queue.push_back({country.get(), text != nullptr ? *text : XrString(), further, listener});
    send_next();
    return 1;
}

void XrTrafficService::send_next()
{
    if (queue.empty())
        return;
    const PendingRequest next = queue.front();
    queue.pop_front();
    send(next);
}

void XrTrafficService::send(const PendingRequest& p)
{
    auto* bag = new XrPropertyBag();
    bag->add_int(KEY_HEADER, static_cast<std::int32_t>(p.country->file->get_header_value()));
    bag->add_string(KEY_CODE, p.country->code);
    request_in_flight = true;
    arm(TIMER_ANIMATION, 0, 500);
    pending = helper->send_request(this, REQUEST_A, REQUEST_B, bag, p.busy_text.is_empty() ? nullptr : &p.busy_text,
                                   p.further, p.listener);
}

void XrTrafficService::end_round()
{
    queue.clear();
    // Not at once: a failing server is not asked again and again.
    arm_refresh(RETRY_SECONDS);
}

void XrTrafficService::receive_data(int value_a, int value_b, Status result, const XrString* title,
                                    XrPropertyBag* payload, XrServiceListener* listener)
{
    disarm(TIMER_ANIMATION);
    pending = nullptr;
    if (result == FAILED) {
        request_in_flight = false;
        if (listener == nullptr) {
            recompute_status();
        } else {
            message = title != nullptr ? *title : XrString();
            status = STATUS_FAILED;
        }
        end_round();
        return;
    }
    if (result == CANCELLED) {
        request_in_flight = false;
        recompute_status();
        end_round();
        return;
    }
    if (value_a != REQUEST_A || value_b != REQUEST_B || payload == nullptr) {
        request_in_flight = false;
        send_next();
        return;
    }
    std::int32_t kind = 0;
    XrString code, language;
    if (payload->get_int(KEY_KIND, 0, kind) != 0 || payload->get_string(KEY_CODE, 0, code) != 0 ||
        payload->get_string(KEY_LANGUAGE, 0, language) != 0) {
        status = STATUS_FAILED;
        request_in_flight = false;
        send_next();
        return;
    }
    language.to_upper();
    if (XrAppSettingsProvider* settings = app_settings())
        settings->set_last_locale(language);
    if (kind == KIND_UP_TO_DATE) {
        request_in_flight = false;
        status = STATUS_CURRENT;
        for (const auto& country : countries)
            if (country->code == code)
                country->file->touch();
        if (queue.empty())
            tell(listener, XrServiceListener::DONE, R_STR_DATABASE_IS_UPTODATE);
        else
            send_next();
        return;
    }
    XrByteArray* taken = nullptr;
    if (payload->get_blob(KEY_DATA, 0, taken, true) != 0 || taken == nullptr) {
        status = STATUS_FAILED;
        request_in_flight = false;
        send_next();
        return;
    }
    std::unique_ptr<XrByteArray> blob(taken);
    XrString digest;
    const bool has_digest = payload->get_string(KEY_DIGEST, 0, digest) == 0;
    request_in_flight = false;
    status = STATUS_CURRENT;
    apply_update(*blob, has_digest ? &digest : nullptr, code, listener);
    if (helper != nullptr)
        helper->redraw_map();
}

void XrTrafficService::apply_update(const XrByteArray& blob, const XrString* digest, const XrString& code,
                                    XrServiceListener* listener)
{
    Country* country = find_country(code);
    // Data for a country this map does not have is not an update.
    const bool ok = country != nullptr &&
                    country->file->update(blob.get_items(), static_cast<std::size_t>(blob.get_num_items()), digest);
    // A failed update keeps the file it had, so the events stay as they were.
    if (ok) {
        country->file->set_load_all(true);
        rebuild_events(*country, std::time(nullptr));
        compute_penalties(*country);
        refresh_icons(*country, true);
        rebuild_marks();
        country->file->set_load_all(false);
        by_distance_valid = false;
        check_route();
    }
    if (!ok) {
        status = STATUS_FAILED;
        message = XrString(R_STR_TRAFFIC_STATUS_NOT_FOUND);
        if (queue.empty())
            tell(listener, XrServiceListener::FAILED, R_STR_UPDATE_FAILED, &message);
    } else if (queue.empty()) {
        tell(listener, XrServiceListener::DONE, R_STR_UPDATE_SUCCESSFUL);
    }
    send_next();
}

XrServiceStatus* XrTrafficService::get_status()
{
    auto* record = new XrServiceStatus();
    int events = 0;
    int size = 0;
    std::time_t newest = 0;
    events = count_events(nullptr);
    for (const auto& country : countries) {
        std::int64_t bytes = 0;
        std::time_t modified = 0;
        if (country->file->get_file_status(bytes, modified)) {
            size += static_cast<int>(bytes);
            if (modified > newest)
                newest = modified;
        }
    }
    record->value = size;
    if (newest != 0)
        record->date = std::make_unique<XrDatetime>(static_cast<int>(newest));
    switch (status) {
    case STATUS_CURRENT:
        record->status = 3;
        record->text = XrString(R_STR_TRAFFIC_STATUS_OK);
        break;
    case STATUS_FAILED:
        record->status = 5;
        if (message.is_empty())
            record->text = XrString(R_STR_TRAFFIC_STATUS_NOT_FOUND);
        else
            record->text.format_text(128, R_STR_UPDATE_FAILED, message.c_str());
        break;
    default:
        record->status = 6;
        record->text = XrString(R_STR_TRAFFIC_STATUS_OLD);
        break;
    }
    if (!enabled) {
        record->status = -1;
        record->text = XrString(R_STR_DISABLED);
    }
    record->text2.format_text(100, R_STR_ACTIVE_EVENTS, events);
    return record;
}

void XrTrafficService::refresh(int, int) {}

void XrTrafficService::set_active(bool value)
{
    for (int id : {TIMER_REFRESH, TIMER_HOUSEKEEPING, TIMER_ANIMATION})
        disarm(id);
    if (!value) {
        if (pending != nullptr && helper != nullptr)
            helper->cancel_request(&pending);
    } else {
        arm_refresh();
        if (request_in_flight)
            arm(TIMER_ANIMATION, 0, 500);
        arm(TIMER_HOUSEKEEPING, 60);
    }
    active = value;
}

void XrTrafficService::arm(int id, int seconds, int milliseconds)
{
    if (helper != nullptr)
        helper->add_timeout(this, seconds, milliseconds, id);
}

void XrTrafficService::disarm(int id)
{
    if (helper != nullptr)
        helper->remove_timeout(this, id);
}

void XrTrafficService::arm_refresh(int min_seconds)
{
    disarm(TIMER_REFRESH);
    if (refresh_minutes == 0)
        return;
    // Due when the oldest file passes the interval.
    std::int64_t due = static_cast<std::int64_t>(refresh_minutes) * 60;
    const std::time_t now = std::time(nullptr);
    for (const auto& country : countries) {
        std::int64_t size = 0;
        std::time_t modified = 0;
        if (!country->file->get_file_status(size, modified)) {
            due = 0;
            continue;
        }
        const std::int64_t left = modified + static_cast<std::int64_t>(refresh_minutes) * 60 - now;
        if (left < due)
            due = left < 0 ? 0 : left;
    }
    arm(TIMER_REFRESH, static_cast<int>(std::max<std::int64_t>(due, min_seconds)));
}

void XrTrafficService::execute(XrEventloopBase* /*loop*/, void* data)
{
    switch (static_cast<int>(reinterpret_cast<std::intptr_t>(data))) {
    case TIMER_REFRESH:
        if (enabled)
            request(nullptr, nullptr, nullptr);
        if (refresh_minutes != 0)
            arm(TIMER_REFRESH, refresh_minutes * 60);
        break;
    case TIMER_HOUSEKEEPING:
        expire_events(std::time(nullptr));
        recompute_status();
        arm(TIMER_HOUSEKEEPING, 60);
        break;
    case TIMER_ANIMATION:
        if (helper != nullptr)
            helper->redraw_map();
        arm(TIMER_ANIMATION, 0, 500);
        break;
    default:
        break;
    }
}
