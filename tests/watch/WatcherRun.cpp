#include "WatcherRun.h"

#include <cstdio>

namespace vantrel::test {

std::string gpxActivity(long startUnix, int points) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
        "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v1\">\n"
        "<trk><name>Watched</name><trkseg>\n";
    for (int i = 0; i < points; ++i) {
        std::time_t time = startUnix + 10L * i;
        std::tm utc{};
        gmtime_r(&time, &utc);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
        char point[256];
        std::snprintf(point, sizeof point,
                      "<trkpt lat=\"%.6f\" lon=\"%.6f\"><ele>%d</ele><time>%s</time>"
                      "<extensions><gpxtpx:TrackPointExtension><gpxtpx:hr>%d</gpxtpx:hr>"
                      "</gpxtpx:TrackPointExtension></extensions></trkpt>\n",
                      47.0 + 0.0005 * i, 8.0 + 0.0005 * i, 400 + i, stamp, 120 + i % 20);
        text += point;
    }
    return text + "</trkseg></trk></gpx>\n";
}

WatcherRun::WatcherRun(const std::filesystem::path& store, WatchOptions options,
                       const std::function<void(const WatchedFile&)>& onFile)
    : m_store(RideStore::open(store)) {
    WatchCallbacks callbacks;
    callbacks.file = [this, onFile](const WatchedFile& file) {
        if (onFile) onFile(file);
        notify([&] { files.push_back(file); });
    };
    callbacks.batch = [this](const WatchBatch& batch) {
        notify([&] { batches.push_back(batch); });
    };
    callbacks.problem = [this](const std::string& text) {
        notify([&] { problems.push_back(text); });
    };
    callbacks.waiting = [this](const std::string& holder) {
        notify([&] { waits.push_back(holder); });
    };
    callbacks.started = [this] { notify([&] { m_started = true; }); };
    m_watcher = std::make_unique<ActivityWatcher>(*m_store, std::move(options), callbacks);
    m_thread = std::thread([this] {
        try {
            m_watcher->run();
        } catch (const std::exception& failure) {
            notify([&] { error = failure.what(); });
        }
        notify([&] { m_finished = true; });
    });
}

WatcherRun::~WatcherRun() {
    stop();
}

void WatcherRun::stop() {
    if (!m_thread.joinable()) return;
    m_watcher->stop();
    m_thread.join();
}

void WatcherRun::notify(const std::function<void()>& change) {
    {
        std::lock_guard lock(m_mutex);
        change();
    }
    m_changed.notify_all();
}

bool WatcherRun::waitFor(const std::function<bool(const WatcherRun&)>& condition,
                         std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return condition(*this) || m_finished; }) &&
           condition(*this);
}

int WatcherRun::count(WatchedFile::Kind kind) const {
    int n = 0;
    for (const auto& file : files) n += file.kind == kind ? 1 : 0;
    return n;
}

std::vector<RideRef> storedActivities(const std::filesystem::path& store) {
    return RideStore::open(store)->allLiveActivities(false);
}

}  // namespace vantrel::test
