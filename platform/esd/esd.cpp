// The in-process sound daemon behind esd.h: connections on memory files,
// a sample cache per connection, and two sinks (capture folder or
// PulseAudio).
#include "platform/esd/esd.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <pulse/error.h>
#include <pulse/simple.h>

#include "platform/esd/xr_wavformat.h"

namespace {

// Largest sample the daemon takes (bytes).
constexpr std::int64_t max_sample_bytes = 64LL << 20;
constexpr int max_rate = 384000;
// Output latency of the sound server: also how late a kill takes effect.
constexpr unsigned pulse_latency_us = 100000;
constexpr int pulse_default_rate = 22050;

std::int64_t now_ms()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int frame_bytes(esd_format_t format)
{
    const int channels = (format & ESD_MASK_CHAN) == ESD_STEREO ? 2 : 1;
    const int bytes = (format & ESD_MASK_BITS) == ESD_BITS16 ? 2 : 1;
    return channels * bytes;
}

bool write_all(int fd, const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool is_folder(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// ---- PulseAudio: one playback stream per connection, fed by a thread ----

class PulseOutput {
public:
    // A stream to the sound server, or null when none can be reached.
    static std::unique_ptr<PulseOutput> connect()
    {
        pa_simple* pa = open_stream(pulse_default_rate);
        if (pa == nullptr)
            return nullptr;
        return std::unique_ptr<PulseOutput>(new PulseOutput(pa, pulse_default_rate));
    }

    ~PulseOutput()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_quit = true;
            m_jobs.clear();
            m_cancel_id = m_playing_id;
        }
        m_wake.notify_all();
        m_thread.join();
        if (m_pa != nullptr)
            pa_simple_free(m_pa);
    }

    // Queues 16-bit stereo frames (native order) for playing.
    void play(int id, int rate, std::vector<std::int16_t> frames)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_jobs.push_back(Job{id, rate, std::move(frames)});
        }
        m_wake.notify_all();
    }

    // True when the sample was queued or playing; it is dropped.
    bool cancel(int id)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_jobs.begin(); it != m_jobs.end(); ++it) {
            if (it->id == id) {
                m_jobs.erase(it);
                return true;
            }
        }
        if (m_playing_id == id && id != 0) {
            m_cancel_id = id;
            return true;
        }
        return false;
    }

private:
    struct Job {
        int id;
        int rate;
        std::vector<std::int16_t> frames;
    };

    PulseOutput(pa_simple* pa, int rate) : m_pa(pa), m_rate(rate), m_thread([this] { run(); }) {}

    static pa_simple* open_stream(int rate)
    {
        pa_sample_spec sample_format;
        sample_format.format = PA_SAMPLE_S16NE;
        sample_format.rate = static_cast<std::uint32_t>(rate);
        sample_format.channels = 2;
        pa_buffer_attr attr;
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(pulse_latency_us, &sample_format));
        attr.prebuf = static_cast<std::uint32_t>(-1);
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(-1);
        int error = 0;
        return pa_simple_new(nullptr, "kestrova-navigator", PA_STREAM_PLAYBACK, nullptr, "voice prompt", &sample_format,
                             nullptr, &attr, &error);
    }

    void run()
    {
        for (;;) {
            Job job;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [this] { return m_quit || !m_jobs.empty(); });
                if (m_quit)
                    return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
                m_playing_id = job.id;
            }
            play_job(job);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_playing_id = 0;
            if (m_cancel_id == job.id)
                m_cancel_id = 0;
        }
    }

    void play_job(const Job& job)
    {
        if (m_pa == nullptr || job.rate != m_rate) {
            if (m_pa != nullptr)
                pa_simple_free(m_pa);
            m_pa = open_stream(job.rate);
            m_rate = job.rate;
            if (m_pa == nullptr)
                return;
        }
        // 20 ms at a time, so that a kill is seen soon.
        const std::size_t step = static_cast<std::size_t>(job.rate / 50 + 1) * 2;
        int error = 0;
        for (std::size_t off = 0; off < job.frames.size(); off += step) {
            if (m_cancel_id.load() == job.id) {
                pa_simple_flush(m_pa, &error);
                return;
            }
            const std::size_t n = std::min(step, job.frames.size() - off);
            if (pa_simple_write(m_pa, job.frames.data() + off, n * sizeof(std::int16_t), &error) < 0)
                return;
        }
        pa_simple_drain(m_pa, &error);
    }

    pa_simple* m_pa;
    int m_rate;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    int m_playing_id = 0;
    std::atomic<int> m_cancel_id{0};
    bool m_quit = false;
    std::thread m_thread;
};

// ---- Connections and their samples ---------------------------------------

struct Sample {
    esd_format_t format = 0;
    int rate = 0;
    std::vector<BYTE> data;
    std::string name;
    int left = ESD_VOLUME_BASE;
    int right = ESD_VOLUME_BASE;
    // Capture: the file it was written to and until when it plays.
    std::string file;
    std::int64_t until = 0;
    bool free_when_done = false;
};

struct Pending {
    bool active = false;
    int id = 0;
    esd_format_t format = 0;
    int rate = 0;
    std::int64_t length = 0;
    std::string name;
};

struct Connection {
    int fd = -1;
    std::string capture; // the capture folder, or "" for the sound server
    std::unique_ptr<PulseOutput> pulse;
    Pending pending;
    std::map<int, Sample> samples;

    ~Connection()
    {
        pulse.reset();
        if (fd >= 0)
            ::close(fd);
    }
};

std::map<int, std::unique_ptr<Connection>> g_connections;
int g_next_id = 1;
unsigned g_capture_count = 0;

Connection* find(int esd)
{
    auto it = g_connections.find(esd);
    return it == g_connections.end() ? nullptr : it->second.get();
}

// Forgets freed capture samples whose playing time is over.
void purge(Connection* c)
{
    const std::int64_t now = now_ms();
    for (auto it = c->samples.begin(); it != c->samples.end();) {
        if (it->second.free_when_done && it->second.until <= now)
            it = c->samples.erase(it);
        else
            ++it;
    }
}

std::int64_t duration_ms(const Sample& s)
{
    return static_cast<std::int64_t>(s.data.size()) * 1000 / (static_cast<std::int64_t>(s.rate) * frame_bytes(s.format));
}

void append_log(const std::string& folder, const std::string& line)
{
    const std::string path = folder + "/" + ESD_CAPTURE_LOG;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    write_all(fd, line.data(), line.size());
    ::close(fd);
}

std::string log_name(const Sample& s)
{
    return s.name.empty() ? std::string("-") : s.name;
}

// Writes the sample as the next WAV file of the folder (under a temporary
// name first) and logs it.
bool capture_play(Connection* c, Sample& s)
{
    char name[32];
    std::snprintf(name, sizeof(name), "%06u.wav", ++g_capture_count);
    const std::string path = c->capture + "/" + name;
    const std::string temp = path + ".part";

    const bool stereo = (s.format & ESD_MASK_CHAN) == ESD_STEREO;
    const bool wide = (s.format & ESD_MASK_BITS) == ESD_BITS16;
    BYTE header[xr_wav::HEADER_SIZE];
    xr_wav::put_header(header, stereo ? 2 : 1, static_cast<std::uint32_t>(s.rate), wide ? 16 : 8,
                       static_cast<std::uint32_t>(s.data.size()));
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = write_all(fd, header, sizeof(header)) && write_all(fd, s.data.data(), s.data.size());
    ok = (::close(fd) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }

    const std::int64_t now = now_ms();
    const std::int64_t duration = duration_ms(s);
    s.file = name;
    s.until = now + duration;
    char line[512];
    std::snprintf(line, sizeof(line), "%lld\tplay\t%s\t%s\t%d\t%d\t%lld\n", static_cast<long long>(now), name,
                  log_name(s).c_str(), s.left, s.right, static_cast<long long>(duration));
    append_log(c->capture, line);
    return true;
}

// 16-bit stereo frames of the sample with its pan applied.
std::vector<std::int16_t> pulse_frames(const Sample& s)
{
    const bool stereo = (s.format & ESD_MASK_CHAN) == ESD_STEREO;
    const bool wide = (s.format & ESD_MASK_BITS) == ESD_BITS16;
    const std::size_t bytes = wide ? 2 : 1;
    const std::size_t count = s.data.size() / bytes;
    std::vector<std::int16_t> out;
    out.reserve(stereo ? count : count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        int v = wide ? xr_bytes::get_i16_le(s.data.data() + 2 * i) : (s.data[i] - 128) * 256;
        if (stereo) {
            const int pan = (i % 2 == 0) ? s.left : s.right;
            out.push_back(static_cast<std::int16_t>(v * pan / ESD_VOLUME_BASE));
        } else {
            out.push_back(static_cast<std::int16_t>(v * s.left / ESD_VOLUME_BASE));
            out.push_back(static_cast<std::int16_t>(v * s.right / ESD_VOLUME_BASE));
        }
    }
    return out;
}

int clamp_pan(int v)
{
    return v < 0 ? 0 : (v > ESD_VOLUME_BASE ? ESD_VOLUME_BASE : v);
}

} // namespace

extern "C" {

int esd_open_sound(const char* host)
{
    if (host != nullptr && *host != '\0' && std::strcmp(host, "localhost") != 0)
        return -1;
    auto c = std::make_unique<Connection>();
    const char* capture = std::getenv(ESD_CAPTURE_ENV);
    if (capture != nullptr && *capture != '\0') {
        if (!is_folder(capture))
            return -1;
        c->capture = capture;
    } else {
        c->pulse = PulseOutput::connect();
        if (!c->pulse)
            return -1;
    }
    c->fd = memfd_create("esd-connection", MFD_CLOEXEC);
    if (c->fd < 0)
        return -1;
    const int fd = c->fd;
    g_connections[fd] = std::move(c);
    return fd;
}

int esd_close(int esd)
{
    auto it = g_connections.find(esd);
    if (it == g_connections.end())
        return -1;
    g_connections.erase(it);
    return 0;
}

int esd_sample_cache(int esd, esd_format_t format, int rate, int length, const char* name)
{
    Connection* c = find(esd);
    if (c == nullptr)
        return -1;
    c->pending = Pending();
    // Bytes left over from an earlier announcement are dropped.
    if (ftruncate(c->fd, 0) != 0 || lseek(c->fd, 0, SEEK_SET) != 0)
        return -1;
    const int bits = format & ESD_MASK_BITS;
    const int chan = format & ESD_MASK_CHAN;
    if ((format & ESD_MASK_MODE) != ESD_SAMPLE || (bits != ESD_BITS8 && bits != ESD_BITS16) ||
        (chan != ESD_MONO && chan != ESD_STEREO))
        return -1;
    if (rate <= 0 || rate > max_rate || length < 0 || length > max_sample_bytes || length % frame_bytes(format) != 0)
        return -1;
    c->pending.active = true;
    c->pending.id = g_next_id++;
    c->pending.format = format;
    c->pending.rate = rate;
    c->pending.length = length;
    c->pending.name = name != nullptr ? name : "";
    return c->pending.id;
}

int esd_confirm_sample_cache(int esd)
{
    Connection* c = find(esd);
    if (c == nullptr || !c->pending.active)
        return -1;
    Pending p = std::move(c->pending);
    c->pending = Pending();
    const off_t written = lseek(c->fd, 0, SEEK_CUR);
    Sample s;
    bool ok = written == p.length;
    if (ok) {
        s.data.resize(static_cast<std::size_t>(p.length));
        std::size_t done = 0;
        while (ok && done < s.data.size()) {
            ssize_t n = pread(c->fd, s.data.data() + done, s.data.size() - done, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR)
                continue;
            ok = n > 0;
            if (ok)
                done += static_cast<std::size_t>(n);
        }
    }
    if (ftruncate(c->fd, 0) != 0 || lseek(c->fd, 0, SEEK_SET) != 0)
        ok = false;
    if (!ok)
        return -1;
    s.format = p.format;
    s.rate = p.rate;
    s.name = std::move(p.name);
    purge(c);
    c->samples[p.id] = std::move(s);
    return p.id;
}

int esd_set_default_sample_pan(int esd, int sample_id, int left, int right)
{
    Connection* c = find(esd);
    if (c == nullptr)
        return -1;
    auto it = c->samples.find(sample_id);
    if (it == c->samples.end() || it->second.free_when_done)
        return -1;
    it->second.left = clamp_pan(left);
    it->second.right = clamp_pan(right);
    return sample_id;
}

int esd_sample_play(int esd, int sample_id)
{
    Connection* c = find(esd);
    if (c == nullptr)
        return -1;
    purge(c);
    auto it = c->samples.find(sample_id);
    if (it == c->samples.end() || it->second.free_when_done)
        return -1;
    Sample& s = it->second;
    if (!c->capture.empty())
        return capture_play(c, s) ? sample_id : -1;
    c->pulse->play(sample_id, s.rate, pulse_frames(s));
    return sample_id;
}

int esd_sample_free(int esd, int sample_id)
{
    Connection* c = find(esd);
    if (c == nullptr)
        return -1;
    auto it = c->samples.find(sample_id);
    if (it == c->samples.end() || it->second.free_when_done)
        return -1;
    // The sound server's queue holds its own copy.
    if (!c->capture.empty() && it->second.until > now_ms())
        it->second.free_when_done = true;
    else
        c->samples.erase(it);
    return sample_id;
}

int esd_sample_kill(int esd, int sample_id)
{
    Connection* c = find(esd);
    if (c == nullptr)
        return -1;
    if (c->capture.empty())
        return c->pulse->cancel(sample_id) ? sample_id : 0;
    auto it = c->samples.find(sample_id);
    const std::int64_t now = now_ms();
    if (it == c->samples.end() || it->second.until <= now) {
        purge(c);
        return 0;
    }
    Sample& s = it->second;
    char line[512];
    std::snprintf(line, sizeof(line), "%lld\tkill\t%s\t%s\n", static_cast<long long>(now), s.file.c_str(),
                  log_name(s).c_str());
    append_log(c->capture, line);
    s.until = now;
    purge(c);
    return sample_id;
}

} // extern "C"
