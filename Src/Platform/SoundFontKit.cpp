#include "Platform/SoundFontKit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace Platform {

namespace {

constexpr std::uint16_t KitBank = 128;
constexpr std::uint16_t KitProgram = 0;
constexpr std::uint16_t InstrumentGenerator = 41;
constexpr std::uint16_t SampleGenerator = 53;
constexpr std::uint16_t LinkedSampleTypes = 2 | 4 | 8;  // right, left, linked
// Lists beyond this are not cut: the file is loaded whole.
constexpr std::int64_t MaxLists = 64 << 20;

std::uint16_t U16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t U32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void Put16(unsigned char* p, std::size_t value)
{
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
}

void Put32(unsigned char* p, std::size_t value)
{
    Put16(p, value);
    Put16(p + 2, value >> 16);
}

// The nine lists in the order a SoundFont holds them, and the size of their records.
enum List { Phdr, Pbag, Pmod, Pgen, Inst, Ibag, Imod, Igen, Shdr, Lists };
constexpr char ListId[Lists][5] = {"phdr", "pbag", "pmod", "pgen", "inst", "ibag", "imod", "igen", "shdr"};
constexpr std::size_t RecordSize[Lists] = {38, 4, 10, 4, 22, 4, 10, 4, 46};

// A list as read: its records, the last of them the terminal one.
struct Table {
    const unsigned char* data = nullptr;
    std::size_t records = 0;
    std::size_t size = 0;  // of a record
    const unsigned char* At(std::size_t i) const { return data + i * size; }
};

// Presets or instruments: headers naming their first zone (at `bagField`), zones naming their
// first generator and modulator, and the generator that names what a zone plays.
struct Layer {
    const Table& headers;
    const Table& bags;
    const Table& mods;
    const Table& gens;
    std::size_t bagField;
    std::uint16_t target;
};

// Header `h`'s zones [first, end), every zone's generators and modulators within their lists and
// in order; false when they are not.
bool ZonesOf(const Layer& layer, std::size_t h, std::size_t& first, std::size_t& end)
{
    first = U16(layer.headers.At(h) + layer.bagField);
    end = U16(layer.headers.At(h + 1) + layer.bagField);
    if (first > end || end + 1 > layer.bags.records)
        return false;
    for (std::size_t b = first; b < end; ++b) {
        const unsigned char* bag = layer.bags.At(b);
        const unsigned char* next = layer.bags.At(b + 1);
        if (U16(bag) > U16(next) || U16(next) + 1u > layer.gens.records || U16(bag + 2) > U16(next + 2) ||
            U16(next + 2) + 1u > layer.mods.records)
            return false;
    }
    return true;
}

// What the headers `keep` play (instruments, samples), in the order of their list; false when a
// zone is damaged or names one beyond `count`.
bool TargetsOf(const Layer& layer, const std::vector<std::size_t>& keep, std::size_t count,
               std::vector<std::size_t>& targets)
{
    for (const std::size_t h : keep) {
        std::size_t first = 0, end = 0;
        if (!ZonesOf(layer, h, first, end))
            return false;
        for (std::size_t g = U16(layer.bags.At(first)); g < U16(layer.bags.At(end)); ++g) {
            if (U16(layer.gens.At(g)) != layer.target)
                continue;
            const std::size_t target = U16(layer.gens.At(g) + 2);
            if (target >= count)
                return false;
            targets.push_back(target);
        }
    }
    std::sort(targets.begin(), targets.end());
    targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
    return true;
}

// The new index of `old` among `kept` (sorted); `kept.size()` when it is not kept.
std::size_t IndexIn(const std::vector<std::size_t>& kept, std::size_t old)
{
    return static_cast<std::size_t>(std::lower_bound(kept.begin(), kept.end(), old) - kept.begin());
}

// A list's chunk: its name, its size, its records.
class ListWriter {
public:
    ListWriter(std::vector<unsigned char>& out, List list) : _out(out), _start(out.size()), _size(RecordSize[list])
    {
        _out.insert(_out.end(), ListId[list], ListId[list] + 4);
        _out.resize(_out.size() + 4);
    }
    ~ListWriter() { Put32(_out.data() + _start + 4, _out.size() - _start - 8); }
    // A copy of `record`, to be changed through the index returned.
    std::size_t Add(const unsigned char* record)
    {
        const std::size_t at = _out.size();
        _out.insert(_out.end(), record, record + _size);
        return at;
    }
    std::size_t Count() const { return (_out.size() - _start - 8) / _size; }

private:
    std::vector<unsigned char>& _out;
    std::size_t _start;
    std::size_t _size;
};

// Writes the headers `keep` with their zones, generators and modulators: the zones, generators
// and modulators counted afresh, each generator naming what it plays by its index in `targets`.
void WriteLayer(const Layer& layer, const std::vector<std::size_t>& keep, const std::vector<std::size_t>& targets,
                List headerList, std::vector<unsigned char>& out)
{
    std::vector<std::pair<std::size_t, std::size_t>> zones;  // [first, end) of each kept header
    for (const std::size_t h : keep) {
        std::size_t first = 0, end = 0;
        ZonesOf(layer, h, first, end);
        zones.emplace_back(first, end);
    }
    {
        ListWriter headers(out, headerList);
        std::size_t bags = 0;
        for (std::size_t i = 0; i < keep.size(); ++i) {
            const std::size_t record = headers.Add(layer.headers.At(keep[i]));
            Put16(out.data() + record + layer.bagField, bags);
            bags += zones[i].second - zones[i].first;
        }
        const std::size_t last = headers.Add(layer.headers.At(layer.headers.records - 1));
        Put16(out.data() + last + layer.bagField, bags);
    }
    {
        ListWriter bags(out, static_cast<List>(headerList + 1));
        std::size_t gens = 0, mods = 0;
        auto add = [&](std::size_t b) {
            const std::size_t at = bags.Add(layer.bags.At(b));
            Put16(out.data() + at, gens);
            Put16(out.data() + at + 2, mods);
        };
        for (const auto& [first, end] : zones)
            for (std::size_t b = first; b < end; ++b) {
                add(b);
                gens += U16(layer.bags.At(b + 1)) - U16(layer.bags.At(b));
                mods += U16(layer.bags.At(b + 1) + 2) - U16(layer.bags.At(b) + 2);
            }
        add(layer.bags.records - 1);
    }
    {
        ListWriter mods(out, static_cast<List>(headerList + 2));
        for (const auto& [first, end] : zones)
            for (std::size_t m = U16(layer.bags.At(first) + 2); m < U16(layer.bags.At(end) + 2); ++m)
                mods.Add(layer.mods.At(m));
        mods.Add(layer.mods.At(layer.mods.records - 1));
    }
    ListWriter gens(out, static_cast<List>(headerList + 3));
    for (const auto& [first, end] : zones)
        for (std::size_t g = U16(layer.bags.At(first)); g < U16(layer.bags.At(end)); ++g) {
            const std::size_t at = gens.Add(layer.gens.At(g));
            if (U16(layer.gens.At(g)) == layer.target)
                Put16(out.data() + at + 2, IndexIn(targets, U16(layer.gens.At(g) + 2)));
        }
    gens.Add(layer.gens.At(layer.gens.records - 1));
}

}  // namespace

SoundFontKit::~SoundFontKit()
{
    if (_descriptor >= 0)
        ::close(_descriptor);
}

bool SoundFontKit::Open(const std::string& path)
{
    if (_descriptor >= 0)
        ::close(_descriptor);
    _descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (_descriptor < 0 || ::fstat(_descriptor, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    const int descriptor = _descriptor;
    return Cut(
        [descriptor](std::int64_t offset, void* out, std::int64_t count) {
            auto* bytes = static_cast<char*>(out);
            while (count > 0) {
                const ssize_t got = ::pread(descriptor, bytes, static_cast<std::size_t>(count), offset);
                if (got < 0 && errno == EINTR)
                    continue;
                if (got <= 0)
                    return false;
                bytes += got;
                offset += got;
                count -= got;
            }
            return true;
        },
        status.st_size);
}

bool SoundFontKit::Cut(Source source, std::int64_t size)
{
    _source = std::move(source);
    _pieces.clear();
    _lists.clear();
    _size = 0;
    unsigned char chunk[12];
    if (size < 12 || !_source(0, chunk, 12) || std::memcmp(chunk, "RIFF", 4) != 0 ||
        std::memcmp(chunk + 8, "sfbk", 4) != 0)
        return false;
    // The lists are the RIFF's list "pdta"; everything before them is taken as it is.
    const std::int64_t end = std::min<std::int64_t>(size, 8 + static_cast<std::int64_t>(U32(chunk + 4)));
    std::int64_t at = 12;
    std::int64_t length = 0;
    for (;; at += 8 + length + (length & 1)) {
        if (at + 12 > end || !_source(at, chunk, 12))
            return false;
        length = U32(chunk + 4);
        if (std::memcmp(chunk, "LIST", 4) == 0 && std::memcmp(chunk + 8, "pdta", 4) == 0)
            break;
    }
    if (length < 4 || length - 4 > MaxLists || at + 8 + length > size)
        return false;
    std::vector<unsigned char> lists;
    try {
        lists.resize(static_cast<std::size_t>(length - 4));
        _lists = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 's', 'f', 'b', 'k'};  // its size set below
        if (!_source(at + 12, lists.data(), length - 4) || !CutLists(lists))
            return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    const auto kitLists = static_cast<std::int64_t>(_lists.size()) - 12;
    _size = at + kitLists;
    Put32(_lists.data() + 4, static_cast<std::size_t>(_size - 8));
    _pieces = {{0, 12, 0, false}, {12, at - 12, 12, true}, {at, kitLists, 12, false}};
    return true;
}

// Appends the list "pdta" of the kit to _lists; false when the lists are damaged or hold no kit.
bool SoundFontKit::CutLists(const std::vector<unsigned char>& lists)
{
    Table table[Lists];
    std::size_t at = 0;
    for (int list = 0; list < Lists; ++list) {
        if (at + 8 > lists.size() || std::memcmp(lists.data() + at, ListId[list], 4) != 0)
            return false;
        const std::size_t size = U32(lists.data() + at + 4);
        if (size > lists.size() - at - 8 || size % RecordSize[list] != 0 || size == 0)
            return false;
        table[list] = {lists.data() + at + 8, size / RecordSize[list], RecordSize[list]};
        at += 8 + size;
    }
    const Layer presets{table[Phdr], table[Pbag], table[Pmod], table[Pgen], 24, InstrumentGenerator};
    const Layer instruments{table[Inst], table[Ibag], table[Imod], table[Igen], 20, SampleGenerator};

    std::vector<std::size_t> kits;
    for (std::size_t p = 0; p + 1 < table[Phdr].records; ++p)
        if (U16(table[Phdr].At(p) + 20) == KitProgram && U16(table[Phdr].At(p) + 22) == KitBank)
            kits.push_back(p);
    std::vector<std::size_t> kitInstruments, samples;
    if (kits.empty() || !TargetsOf(presets, kits, table[Inst].records - 1, kitInstruments) ||
        !TargetsOf(instruments, kitInstruments, table[Shdr].records - 1, samples))
        return false;
    // The other half of a stereo pair comes along.
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const unsigned char* sample = table[Shdr].At(samples[i]);
        const std::size_t link = U16(sample + 42);
        if ((U16(sample + 44) & LinkedSampleTypes) != 0 && link + 1 < table[Shdr].records &&
            std::find(samples.begin(), samples.end(), link) == samples.end())
            samples.push_back(link);
    }
    std::sort(samples.begin(), samples.end());

    const std::size_t start = _lists.size();
    _lists.insert(_lists.end(), {'L', 'I', 'S', 'T', 0, 0, 0, 0, 'p', 'd', 't', 'a'});
    WriteLayer(presets, kits, kitInstruments, Phdr, _lists);
    WriteLayer(instruments, kitInstruments, samples, Inst, _lists);
    {
        ListWriter headers(_lists, Shdr);
        for (const std::size_t s : samples) {
            const std::size_t old = U16(table[Shdr].At(s) + 42);
            const std::size_t link = IndexIn(samples, old);
            const std::size_t record = headers.Add(table[Shdr].At(s));
            Put16(_lists.data() + record + 42, link < samples.size() && samples[link] == old ? link : 0);
        }
        headers.Add(table[Shdr].At(table[Shdr].records - 1));
    }
    Put32(_lists.data() + start + 4, _lists.size() - start - 8);
    return true;
}

bool SoundFontKit::Read(std::int64_t offset, void* out, std::int64_t count) const
{
    if (offset < 0 || count < 0 || offset + count > _size)
        return false;
    auto* bytes = static_cast<unsigned char*>(out);
    for (const Piece& piece : _pieces) {
        if (count == 0)
            break;
        if (offset >= piece.at + piece.length)
            continue;
        const std::int64_t from = piece.from + (offset - piece.at);
        const std::int64_t now = std::min(count, piece.at + piece.length - offset);
        if (piece.fromSource) {
            if (!_source(from, bytes, now))
                return false;
        } else {
            std::memcpy(bytes, _lists.data() + from, static_cast<std::size_t>(now));
        }
        bytes += now;
        offset += now;
        count -= now;
    }
    return count == 0;
}

}  // namespace Platform
