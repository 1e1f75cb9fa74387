// The address dialog's street search on an address database of 100,000
// streets in 2,000 towns (a generated region, read from a file as on the
// device): from the firing of the search timer after a keystroke to the
// street list updated on screen (the list filled, the OK button's check
// and every pending redraw done), side by side with the bare search call
// that the dialog makes. Reports p50 and p99 of both and their ratio.
// Needs a display (make bench runs it under Xvfb when there is none).
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "apps/corvanel/ui/dialogs/xr_addrdlg_maemo.h"
#include "common/addr/xr_addraccessor.h"
#include "common/base/xr_singleton.h"
#include "common/corvanel_core/impl/xr_addrsearchproviderimpl.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/storage/xr_storageaccessor.h"
#include "tools/mapgen/addr_writer.h"

namespace {

constexpr int STREETS = 100000;
constexpr int TOWNS = 2000;

struct Database {
    std::string path;
    std::vector<std::string> names;
};

const Database& database()
{
    static Database db;
    if (!db.path.empty())
        return db;
    db.path = "/tmp/bench_addressdlg_" + std::to_string(getpid()) + ".dat";
    static const char* const syllables[] = {"ka", "lo", "mi", "ter", "van", "rin", "sa", "ko", "hel", "mar",
                                            "tu", "pe", "ja", "vi", "nor", "le", "bu", "os", "ra", "ni",
                                            "ste", "wa", "dal", "ber", "gen", "ha", "ri", "to", "mo", "en"};
    std::mt19937 rng(7);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    XrAddrFileOptions o;
    o.suffixes = {{u" Street", u"St"}, {u" Road", u"Rd"}, {u" Avenue", u"Ave"}, {u" Lane", u"Ln"}};
    o.countries = {"Kestrovia"};
    o.block_size = 4096;
    XrAddrWriter w(o);
    std::vector<std::uint32_t> towns;
    for (int i = 0; i < TOWNS; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "Town %04d#Region %d#Kestrovia", i, i % 40);
        towns.push_back(w.add_county(name, static_cast<BYTE>(i % 7)));
    }
    for (int i = 0; i < STREETS; ++i) {
        std::string name;
        const int parts = pick(2, 4);
        for (int k = 0; k < parts; ++k)
            name += syllables[pick(0, 29)];
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
        XrAddrStreetDef s;
        s.name = name;
        s.suffix = pick(0, 4);
        s.county = towns[pick(0, TOWNS - 1)];
        s.type = pick(0, 7);
        int number = 1;
        for (int k = 0, n = pick(1, 6); k < n; ++k) {
            XrAddrSegmentDef g;
            g.gid = static_cast<std::uint32_t>(pick(0, 4000)) << 16 | static_cast<std::uint32_t>(pick(0, 60000));
            g.left_from = number;
            g.left_to = number + 2 * pick(0, 20);
            g.right_from = number + 1;
            g.right_to = g.left_to + 1;
            number = g.right_to + 1;
            s.segments.push_back(g);
        }
        w.add_street(s);
        db.names.push_back(name);
    }
    std::string error;
    if (!w.write(db.path, error))
        std::fprintf(stderr, "bench_addressdlg: %s\n", error.c_str());
    std::atexit([] { std::remove(db.path.c_str()); });
    return db;
}

// The map provider of the bench: only the address database.
class AddressMap : public XrMapProvider {
public:
    explicit AddressMap(XrAddrAccessor* reader) : reader(reader)
    {
        XrSingleton::set_instance(XrString(L"XrMapProvider"), static_cast<XrMapProvider*>(this));
    }
    ~AddressMap() override { XrSingleton::set_instance(XrString(L"XrMapProvider"), nullptr); }
    XrAddrAccessor* get_addr_accessor() override { return reader; }
    XrAddrAccessor* reader;
};

struct Counter : XrAddrSearchProviderObserver {
    int n = 0;
    void matching_address_found(XrAddrSearchResult*) override { ++n; }
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

// The texts a driver types letter by letter: 1 to 6 letters of streets.
std::vector<XrString> typed_texts()
{
    std::mt19937 rng(11);
    std::vector<XrString> out;
    for (int i = 0; i < 64; ++i) {
        const std::string& name = database().names[std::uniform_int_distribution<int>(0, STREETS - 1)(rng)];
        for (size_t len = 1; len <= std::min<size_t>(6, name.size()); ++len)
            out.emplace_back(XrString(name.substr(0, len).c_str()));
    }
    return out;
}

struct Run {
    benchmark::State* state = nullptr;
    XrAddrDlgMaemo* dlg = nullptr;
    std::vector<double> dialog_ms, search_ms;
};

void settle()
{
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
    gdk_window_process_all_updates();
    gdk_flush();
}

gboolean measure(gpointer data)
{
    auto* run = static_cast<Run*>(data);
    // The dialog's address page, as the start page's button opens it.
    GtkWidget* window = nullptr;
    GList* tops = gtk_window_list_toplevels();
    for (GList* l = tops; l != nullptr; l = l->next)
        if (g_object_get_data(G_OBJECT(l->data), "address_button") != nullptr)
            window = GTK_WIDGET(l->data);
    g_list_free(tops);
    if (window == nullptr) {
        run->state->SkipWithError("no address window");
        return FALSE;
    }
    gtk_button_clicked(GTK_BUTTON(g_object_get_data(G_OBJECT(window), "address_button")));
    settle();
    const std::vector<XrString> texts = typed_texts();
    auto* provider = static_cast<XrAddrSearchProvider*>(XrSingleton::get_instance(XrString(L"XrAddrSearchProvider")));
    size_t i = 0;
    using clock = std::chrono::steady_clock;
    for (auto _ : *run->state) {
        const XrString& text = texts[i++ % texts.size()];
        // The keystroke arms the timer; its firing starts the measured work.
        run->dlg->text_changed(XrAddrDlg::ROW_STREET, text);
        const auto t0 = clock::now();
        run->dlg->search_address();
        settle();
        const auto t1 = clock::now();
        Counter counter;
        provider->search_streets(&text, nullptr, nullptr, &counter, XrAddrDlg::RESULT_STEP);
        const auto t2 = clock::now();
        const double dialog = std::chrono::duration<double, std::milli>(t1 - t0).count();
        run->dialog_ms.push_back(dialog);
        run->search_ms.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        run->state->SetIterationTime(dialog / 1000.0);
    }
    gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_CANCEL);
    return FALSE;
}

void BM_KeystrokeToStreetList(benchmark::State& state)
{
    if (!gtk_init_check(nullptr, nullptr)) {
        state.SkipWithError("no display");
        return;
    }
    auto reader = std::make_unique<XrAddrAccessor>();
    auto* file = new XrFileStorageAccessor();
    if (!file->open(XrString(database().path.c_str()), true)) {
        delete file;
        state.SkipWithError("cannot open the database");
        return;
    }
    reader->set_storage(file);
    if (reader->open() != XrAddrAccessor::OK) {
        state.SkipWithError("cannot read the database");
        return;
    }
    AddressMap map(reader.get());
    XrAddrSearchProviderImpl streets;
    XrSingleton::set_instance(XrString(L"XrAddrSearchProvider"), static_cast<XrAddrSearchProvider*>(&streets));
    Run run;
    run.state = &state;
    bool chosen = false;
    XrPoint point;
    XrString name;
    // The dialog deletes itself when its modal run ends.
    run.dlg = new XrAddrDlgMaemo(XrString(L"Destination"), XrCorvanelDialogFacade::ADDRESS_DESTINATION, nullptr,
                                 nullptr, chosen, point, name, nullptr);
    g_idle_add(&measure, &run);
    run.dlg->create_dialog(0);
    XrSingleton::set_instance(XrString(L"XrAddrSearchProvider"), nullptr);
    const double dialog50 = percentile(run.dialog_ms, 0.50), dialog99 = percentile(run.dialog_ms, 0.99);
    const double search50 = percentile(run.search_ms, 0.50), search99 = percentile(run.search_ms, 0.99);
    state.counters["dialog_p50_ms"] = dialog50;
    state.counters["dialog_p99_ms"] = dialog99;
    state.counters["search_p50_ms"] = search50;
    state.counters["search_p99_ms"] = search99;
    state.counters["p50_ratio"] = search50 > 0 ? dialog50 / search50 : 0;
    state.counters["p99_ratio"] = search99 > 0 ? dialog99 / search99 : 0;
    state.counters["p99_within_frame"] = dialog99 <= 16.0 ? 1 : 0;
}
BENCHMARK(BM_KeystrokeToStreetList)->UseManualTime()->Iterations(384)->Unit(benchmark::kMillisecond);

} // namespace
