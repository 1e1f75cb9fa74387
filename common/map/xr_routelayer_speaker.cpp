#include "common/map/xr_routelayer_speaker.h"

#include <cwchar>
#include <cwctype>

#include "common/audio/xr_audiofile.h"
#include "common/audio/xr_audioplayer.h"
#include "common/container/xr_simplearray.h"
#include "common/map/xr_routelayer_prompts.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_file.h"

namespace {

// The lead-in tone sounds before a prompt after this much quiet (ms).
constexpr std::uint32_t kLeadInQuiet = 3800;

// The base name (without the extension) of two names is the same, case
// ignored.
bool same_base(const XrString& a, const TCHAR* b)
{
    const TCHAR* x = a.c_str();
    const std::size_t na = x != nullptr ? wcslen(x) : 0;
    const std::size_t nb = wcslen(b);
    if (na < 4 || na != nb)
        return false;
    for (std::size_t i = 0; i + 4 < na; ++i) {
        if (std::towlower(static_cast<wint_t>(x[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    }
    return true;
}

} // namespace

XrPromptSpeaker::XrPromptSpeaker(XrAudioPlayer* audio) : audio(audio), arrival_prompts(8, 8) {}

void XrPromptSpeaker::set_voice(const XrString& root, const XrString& set)
{
    voice_set = set;
    if (audio != nullptr)
        audio->clear_cache();
    voice_root = root;
    flags_known = false;
    collect_arrival_prompts();
}

XrString XrPromptSpeaker::path(const XrString& name) const
{
    return XrAudioFile::prompt_path(voice_root, voice_set, name);
}

const XrPromptSpeaker::XrVoiceFlags& XrPromptSpeaker::get_flags() const
{
    if (flags_known)
        return flags;
    flags_known = true;
    struct Probe {
        const wchar_t* file;
        bool* flag;
    } probes[] = {{L"01mile.wav", &flags.has_01mile},
                  {L"after.wav", &flags.has_after},
                  {L"herel2.wav", &flags.has_herel2},
                  {L"700.wav", &flags.has_700},
                  {L"700y.wav", &flags.has_700y}};
    for (Probe& p : probes) {
        XrString file = voice_root;
        file += L"/";
        file += voice_set;
        file += L"/";
        file += p.file;
        *p.flag = XrAudioFile::create_for_file(file, 8) != nullptr;
    }
    return flags;
}

bool XrPromptSpeaker::is_playing() const { return audio != nullptr && audio->is_playing(); }

void XrPromptSpeaker::play_list(const XrPromptList& list, std::uint32_t t)
{
    if (!prompts_on || list.get_num_items() == 0)
        return;
    XrSimpleArray<XrString> paths(8);
    if (audio != nullptr && lead_in_on && !audio->is_playing() && t - last_prompt_time > kLeadInQuiet)
        paths.append(path(XrString(L"delay.wav")));
    for (int i = 0; i < list.get_num_items(); ++i)
        paths.append(path(*list.get_item_ptr(i)));
    if (audio != nullptr)
        audio->play_files(paths);
    last_prompt_time = t;
}

void XrPromptSpeaker::play_lead_in(std::uint32_t t)
{
    XrSimpleArray<XrString> paths(1);
    paths.append(path(XrString(L"delay.wav")));
    audio->play_files(paths);
    last_prompt_time = t;
}

void XrPromptSpeaker::collect_arrival_prompts()
{
    XrString folder = backslashes_to_slashes(voice_root);
    folder += L'/';
    folder += backslashes_to_slashes(voice_set);
    XrFileFinder finder;
    if (!finder.open(folder, XrFileFinder::FILES))
        return;
    arrival_prompts.remove_all();
    arrival_prompts.append(XrString(L"dest.wav"));
    TCHAR name[256];
    int added = 0;
    while (added < 20 && finder.get_next(name, 256)) {
        if (!xr_prompts::is_arrival_prompt_name(name))
            continue;
        // One entry per prompt: a WAV file and its Ogg Vorbis twin are one.
        bool known = false;
        for (int i = 0; i < arrival_prompts.get_num_items() && !known; ++i)
            known = same_base(*arrival_prompts.get_item_ptr(i), name);
        if (known)
            continue;
        arrival_prompts.append(XrString(name));
        ++added;
    }
}
