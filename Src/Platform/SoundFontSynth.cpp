#include "Platform/SoundFontSynth.h"

#include <fluidsynth.h>
#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "Platform/Clock.h"
#include "Platform/SoundFontKit.h"

namespace Platform {

namespace {

constexpr int Block = 64;              // the synthesizer's own block
constexpr float SilenceLevel = 1e-5f;  // below this a tail is over
constexpr double FadeSeconds = 0.05;   // the fade at the end of an over-long tail
constexpr double OutputGain = 0.6;     // loud enough for a click, with headroom for several at once
constexpr int Polyphony = 16;
const Sound silentSound{};

fluid_synth_t* AsSynth(void* synth)
{
    return static_cast<fluid_synth_t*>(synth);
}

void QuietLog(int, const char*, void*) {}

// The kits loaded, by the name the synthesizer is given to load each from. (The synthesizer's
// file reader is told a name alone.)
std::mutex kitsLock;
std::vector<std::pair<std::string, const SoundFontKit*>> kitNames;
std::uint64_t kitsNamed = 0;

// A kit opened by the synthesizer's file reader, and where it reads.
struct KitReader {
    const SoundFontKit* kit;
    std::int64_t position;
};

void* OpenKit(const char* name)
{
    std::lock_guard guard(kitsLock);
    for (const auto& [kitName, kit] : kitNames)
        if (kitName == name)
            return new (std::nothrow) KitReader{kit, 0};
    return nullptr;  // a file: the synthesizer's own reader opens it
}

int ReadKit(void* buffer, fluid_long_long_t count, void* handle)
{
    auto* reader = static_cast<KitReader*>(handle);
    if (!reader->kit->Read(reader->position, buffer, count))
        return FLUID_FAILED;
    reader->position += count;
    return FLUID_OK;
}

int SeekKit(void* handle, fluid_long_long_t offset, int origin)
{
    auto* reader = static_cast<KitReader*>(handle);
    const std::int64_t from = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? reader->position : reader->kit->Size();
    if (from + offset < 0 || from + offset > reader->kit->Size())
        return FLUID_FAILED;
    reader->position = from + offset;
    return FLUID_OK;
}

fluid_long_long_t TellKit(void* handle)
{
    return static_cast<KitReader*>(handle)->position;
}

int CloseKit(void* handle)
{
    delete static_cast<KitReader*>(handle);
    return FLUID_OK;
}

}  // namespace

// A kit cut from a SoundFont, known to the synthesizer's file reader by a name of its own while it
// lives.
struct SoundFontSynth::LoadedKit {
    SoundFontKit kit;
    std::string name;

    ~LoadedKit()
    {
        std::lock_guard guard(kitsLock);
        std::erase_if(kitNames, [this](const auto& entry) { return entry.second == &kit; });
    }
    // The kit of `path`, or null when the file is to be loaded whole.
    static std::unique_ptr<LoadedKit> Of(const std::string& path) noexcept
    {
        try {
            auto loaded = std::make_unique<LoadedKit>();
            if (!loaded->kit.Open(path))
                return nullptr;
            std::lock_guard guard(kitsLock);
            // Not a name a file could have by chance; the path tells the log which file it is.
            loaded->name = "\x01kit " + std::to_string(++kitsNamed) + "\x01" + path;
            kitNames.emplace_back(loaded->name, &loaded->kit);
            return loaded;
        } catch (const std::bad_alloc&) {
            return nullptr;  // loaded whole, then
        }
    }
};

SoundFontSynth::SoundFontSynth() = default;

void SoundFontSynth::ForgetSounds() noexcept
{
    for (const auto& row : _rows)
        for (auto& sound : row->velocity)
            sound.store(nullptr, std::memory_order_relaxed);
}

SoundFontSynth::~SoundFontSynth()
{
    _loader.Join();
    _stop.store(true, std::memory_order_release);
    _wake.Set();
    _worker.Join();
    if (_synth)
        delete_fluid_synth(AsSynth(_synth));
    if (_settings)
        delete_fluid_settings(static_cast<fluid_settings_t*>(_settings));
}

SoundFontSynth& SoundFontSynth::Instance()
{
    static SoundFontSynth synth;
    return synth;
}

void SoundFontSynth::LoadInBackground()
{
    std::lock_guard guard(_lock);
    if (_loaderStarted || _loadState.load() != 0)
        return;
    _loaderStarted = _loader.Start([this] {
        std::lock_guard loading(_lock);
        Load();
    });
}

bool SoundFontSynth::WaitUntilLoaded()
{
    _loader.Join();
    std::lock_guard guard(_lock);
    return _loadState.load() == 1 || Load();
}

std::string SoundFontSynth::DefaultSoundFont()
{
    std::string path;
    if (fluid_settings_t* settings = new_fluid_settings()) {
        char* value = nullptr;
        if (fluid_settings_dupstr(settings, "synth.default-soundfont", &value) == FLUID_OK && value)
            path = value;
        fluid_free(value);
        delete_fluid_settings(settings);
    }
    return path;
}

void SoundFontSynth::LoadKitOnly(bool kitOnly)
{
    std::lock_guard guard(_lock);
    _kitOnly = kitOnly;
}

void SoundFontSynth::UseSoundFont(std::string path)
{
    std::lock_guard guard(_lock);
    _soundFont = std::move(path);
}

std::string SoundFontSynth::SoundFontFile() const
{
    std::lock_guard guard(_lock);
    return _soundFont.empty() ? DefaultSoundFont() : _soundFont;
}

std::string SoundFontSynth::LoadProblem() const
{
    std::lock_guard guard(_lock);
    return _problem;
}

bool SoundFontSynth::ChangeSoundFont(std::string path)
{
    _loader.Join();
    std::lock_guard guard(_lock);
    if (_loadState.load() == 0) {
        _soundFont = std::move(path);
        return Load();
    }
    const std::string file = path.empty() ? DefaultSoundFont() : path;
    std::unique_ptr<LoadedKit> kit;
    void* synth = NewSynth(file, _synthRate, kit);
    if (!synth)
        return false;
    if (_synth)
        delete_fluid_synth(AsSynth(_synth));
    _synth = synth;
    _kit = std::move(kit);
    _soundFont = std::move(path);
    _loadState.store(1);
    // Every sound is rendered afresh from the new SoundFont; the old ones stay stored, since a
    // voice may still be playing one.
    ForgetSounds();
    _rate.store(0, std::memory_order_release);
    return true;
}

// Loads the SoundFont into a fresh synthesizer. Called with the lock held.
bool SoundFontSynth::Load()
{
    if (_loadState.load() != 0)
        return _loadState.load() == 1;
    _loadState.store(-1);
    _synth = NewSynth(_soundFont.empty() ? DefaultSoundFont() : _soundFont, _synthRate, _kit);
    if (!_synth)
        return false;
    _loadState.store(1);
    return true;
}

// The synthesizer is made afresh at another rate: loading a SoundFont reads little more than its
// list of instruments, the kit's samples following when the kit is chosen. Called with the lock held.
bool SoundFontSynth::UseRateFor(double rate)
{
    const double wanted = std::clamp(rate, MinSynthRate, MaxSynthRate);
    if (wanted == _synthRate)
        return true;
    // The old synthesizer goes first, so that the kit's samples are never held twice; should the
    // SoundFont no longer load, it is loaded at the old rate again.
    const std::string file = _soundFont.empty() ? DefaultSoundFont() : _soundFont;
    delete_fluid_synth(AsSynth(_synth));
    _kit.reset();
    // What the old one held goes back to the system: it was likely allocated by the thread that
    // loaded it in the background, whose free memory no other thread's allocations reuse.
    malloc_trim(0);
    _synth = NewSynth(file, wanted, _kit);
    if (_synth) {
        _synthRate = wanted;
        return true;
    }
    _synth = NewSynth(file, _synthRate, _kit);
    if (!_synth)
        _loadState.store(-1);
    return false;
}

// A synthesizer for percussion only: no reverb, no chorus, one stereo output, the percussion kit
// alone in memory. Called with the lock held.
void* SoundFontSynth::NewSynth(const std::string& path, double rate, std::unique_ptr<LoadedKit>& kit)
{
    // The synthesizer's own messages would go to the terminal; failures are logged by the caller.
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
        fluid_set_log_function(level, QuietLog, nullptr);
    if (!_settings) {
        fluid_settings_t* settings = new_fluid_settings();
        if (!settings) {
            _problem = "no memory for the synthesizer's settings";
            return nullptr;
        }
        _settings = settings;
        fluid_settings_setnum(settings, "synth.sample-rate", SynthRate);
        fluid_settings_setint(settings, "synth.reverb.active", 0);
        fluid_settings_setint(settings, "synth.chorus.active", 0);
        fluid_settings_setint(settings, "synth.cpu-cores", 1);
        fluid_settings_setint(settings, "synth.threadsafe-api", 0);
        fluid_settings_setnum(settings, "synth.gain", OutputGain);
        // Samples are read when an instrument is chosen on a channel, and let go when none plays
        // it: with every channel but the percussion channel emptied below, that is the kit.
        fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
        // One note is rendered at a time: its layers need a few voices, not the 256 a synthesizer
        // keeps for a whole orchestra (each holds buffers of its own).
        fluid_settings_setint(settings, "synth.polyphony", Polyphony);
    }
    fluid_settings_setnum(static_cast<fluid_settings_t*>(_settings), "synth.sample-rate", rate);
    if (path.empty()) {
        _problem = "no SoundFont is chosen, and FluidSynth names no default one (synth.default-soundfont)";
        return nullptr;
    }
    if (::access(path.c_str(), R_OK) != 0) {
        _problem =
            "the SoundFont " + path + " cannot be read: " + (errno == ENOENT ? "it does not exist" : "no access");
        return nullptr;
    }
    fluid_synth_t* synth = new_fluid_synth(static_cast<fluid_settings_t*>(_settings));
    if (!synth) {
        _problem = "no memory for the synthesizer";
        return nullptr;
    }
    // The kit is loaded from a SoundFont of its own, cut from the file; a file it cannot be cut
    // from (or that does not load so) is loaded whole, and the synthesizer tells what is wrong.
    kit = _kitOnly ? LoadedKit::Of(path) : nullptr;
    if (kit) {
        fluid_sfloader_t* loader = new_fluid_defsfloader(static_cast<fluid_settings_t*>(_settings));
        if (loader)
            fluid_sfloader_set_callbacks(loader, OpenKit, ReadKit, SeekKit, TellKit, CloseKit);
        if (loader)
            fluid_synth_add_sfloader(synth, loader);
        if (!loader || fluid_synth_sfload(synth, kit->name.c_str(), 1) == FLUID_FAILED)
            kit.reset();
    }
    // The channels hold no instrument until the SoundFont is loaded; then all but the
    // percussion channel are emptied, so that the piano of the melodic channels is let go.
    if (!kit && fluid_synth_sfload(synth, path.c_str(), 1) == FLUID_FAILED) {
        delete_fluid_synth(synth);
        _problem = "the SoundFont " + path + " is damaged or not a SoundFont";
        return nullptr;
    }
    for (int channel = 0; channel < fluid_synth_count_midi_channels(synth); ++channel)
        if (channel != PercussionChannel)
            fluid_synth_unset_program(synth, channel);
    _problem.clear();
    return synth;
}

// Plays the note into a buffer until its tail has died away. Leading frames of digital silence
// (the synthesizer's block start) are cut, so that the sound begins where it is placed.
std::unique_ptr<SoundFontSynth::OwnedSound> SoundFontSynth::Render(int note, int velocity, double rate)
{
    fluid_synth_t* synth = AsSynth(_synth);
    fluid_synth_system_reset(synth);
    float left[Block], right[Block];
    std::vector<float> l, r;
    const double synthRate = _synthRate;
    const auto maxFrames = static_cast<std::size_t>(MaxSeconds * synthRate);
    fluid_synth_noteon(synth, PercussionChannel, note, velocity);
    while (l.size() < maxFrames) {
        fluid_synth_write_float(synth, Block, left, 0, 1, right, 0, 1);
        l.insert(l.end(), left, left + Block);
        r.insert(r.end(), right, right + Block);
        float peak = 0;
        for (int i = 0; i < Block; ++i)
            peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
        if (fluid_synth_get_active_voice_count(synth) == 0 && peak < SilenceLevel)
            break;
    }
    fluid_synth_noteoff(synth, PercussionChannel, note);
    fluid_synth_system_reset(synth);

    std::size_t first = 0;
    while (first < l.size() && l[first] == 0.0f && r[first] == 0.0f)
        ++first;
    std::size_t last = l.size();
    while (last > first && std::fabs(l[last - 1]) < SilenceLevel && std::fabs(r[last - 1]) < SilenceLevel)
        --last;
    if (last == maxFrames) {
        const auto fade = static_cast<std::size_t>(FadeSeconds * synthRate);
        for (std::size_t i = 0; i < fade && i < last - first; ++i) {
            const float g = static_cast<float>(i) / static_cast<float>(fade);
            l[last - 1 - i] *= g;
            r[last - 1 - i] *= g;
        }
    }

    auto owned = std::make_unique<OwnedSound>();
    const std::size_t frames = last - first;
    if (rate == synthRate) {
        owned->samples.resize(frames * 2);
        for (std::size_t i = 0; i < frames; ++i) {
            owned->samples[2 * i] = l[first + i];
            owned->samples[2 * i + 1] = r[first + i];
        }
    } else {
        // A device running at a rate the synthesizer does not: resample by linear interpolation.
        const double step = synthRate / rate;
        const auto outFrames = static_cast<std::size_t>(std::floor((frames > 0 ? frames - 1 : 0) / step)) + 1;
        owned->samples.resize(frames ? outFrames * 2 : 0);
        for (std::size_t i = 0; frames && i < outFrames; ++i) {
            const double position = i * step;
            const auto at = static_cast<std::size_t>(position);
            const auto frac = static_cast<float>(position - at);
            const std::size_t next = std::min(at + 1, frames - 1);
            owned->samples[2 * i] = l[first + at] + frac * (l[first + next] - l[first + at]);
            owned->samples[2 * i + 1] = r[first + at] + frac * (r[first + next] - r[first + at]);
        }
    }
    owned->sound.samples = owned->samples.data();
    owned->sound.frames = static_cast<std::int64_t>(owned->samples.size() / 2);
    return owned;
}

const Sound* SoundFontSynth::Find(int note, int velocity, double rate) const noexcept
{
    if (note < 0 || note > 127 || velocity < 0 || velocity > 127)
        return nullptr;
    if (velocity == 0)
        return &silentSound;  // a note-on at velocity 0 ends a note: nothing to hear
    if (_rate.load(std::memory_order_acquire) != rate)
        return nullptr;
    const SoundRow* row = _sounds[note].load(std::memory_order_acquire);
    return row ? row->velocity[velocity].load(std::memory_order_acquire) : nullptr;
}

const Sound* SoundFontSynth::Prepare(int note, int velocity, double rate)
{
    if (const Sound* ready = Find(note, velocity, rate))
        return ready;
    if (note < 0 || note > 127 || velocity < 0 || velocity > 127 || !WaitUntilLoaded())
        return nullptr;
    std::lock_guard guard(_lock);
    if (_rate.load(std::memory_order_relaxed) != rate) {
        // The output changed its rate: render afresh. The old sounds stay stored, since a voice
        // may still be playing one.
        if (!UseRateFor(rate))
            return nullptr;
        ForgetSounds();
        _rate.store(rate, std::memory_order_release);
    }
    SoundRow* row = _sounds[note].load(std::memory_order_relaxed);
    if (const Sound* ready = row ? row->velocity[velocity].load(std::memory_order_acquire) : nullptr)
        return ready;
    try {
        if (!row) {
            _rows.push_back(std::make_unique<SoundRow>());
            row = _rows.back().get();
            _sounds[note].store(row, std::memory_order_release);
        }
        _store.push_back(Render(note, velocity, rate));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    const Sound* sound = &_store.back()->sound;
    row->velocity[velocity].store(sound, std::memory_order_release);
    return sound;
}

bool SoundFontSynth::RenderLater(int note, int velocity, double rate, OutputFrame frame, Mixer* mixer) noexcept
{
    if (!_workerStarted.load(std::memory_order_acquire))
        return false;
    _pending.fetch_add(1, std::memory_order_acq_rel);
    if (!_requests.Push(Request{note, velocity, rate, frame, mixer})) {
        _pending.fetch_sub(1, std::memory_order_acq_rel);
        return false;
    }
    // Only a note nobody prepared comes here; waking the worker is the one system call it costs.
    _wake.Set();
    return true;
}

bool SoundFontSynth::StartWorker()
{
    std::lock_guard guard(_lock);
    if (_workerStarted.load(std::memory_order_acquire))
        return true;
    if (!_worker.Start([this] { RunWorker(); }))
        return false;
    _workerStarted.store(true, std::memory_order_release);
    return true;
}

void SoundFontSynth::WaitForWorker()
{
    const timespec pause{0, 1'000'000};
    while (_pending.load(std::memory_order_acquire) > 0 && _workerStarted.load(std::memory_order_acquire))
        nanosleep(&pause, nullptr);
}

void SoundFontSynth::RunWorker()
{
    while (!_stop.load(std::memory_order_acquire)) {
        Request request;
        while (_requests.Pop(request)) {
            if (const Sound* sound = Prepare(request.note, request.velocity, request.rate))
                request.mixer->Play(sound, request.frame);
            _pending.fetch_sub(1, std::memory_order_acq_rel);
        }
        _wake.Wait(-1);
    }
}

}  // namespace Platform
