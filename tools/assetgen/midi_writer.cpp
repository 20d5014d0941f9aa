#include "midi_writer.h"

#include <algorithm>
#include <cmath>

namespace smf {

std::vector<uint8_t> vlq(uint32_t value)
{
    // Seven bits a byte, most significant first, the high bit set on all
    // but the last.
    uint8_t tmp[5];
    int n = 0;
    do {
        tmp[n++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    std::vector<uint8_t> out;
    for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(tmp[i] | (i ? 0x80 : 0)));
    return out;
}

void add_event(Track& t, uint32_t tick, int order, std::vector<uint8_t> bytes)
{
    t.events.push_back(Event{tick, order, t.next_seq++, std::move(bytes)});
}

static uint8_t clamp7(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 127)); }
static uint8_t chan(int c) { return static_cast<uint8_t>(c & 0x0F); }

void tempo(Track& t, uint32_t tick, double bpm)
{
    const uint32_t us = static_cast<uint32_t>(std::lround(60000000.0 / bpm));
    add_event(t, tick, 0, {0xFF, 0x51, 0x03, uint8_t(us >> 16), uint8_t(us >> 8), uint8_t(us)});
}

void time_signature(Track& t, uint32_t tick, int numerator, int denominator_pow2)
{
    add_event(t, tick, 0, {0xFF, 0x58, 0x04, uint8_t(numerator), uint8_t(denominator_pow2), 24, 8});
}

void key_signature(Track& t, uint32_t tick, int sharps, bool minor)
{
    add_event(t, tick, 0, {0xFF, 0x59, 0x02, static_cast<uint8_t>(static_cast<int8_t>(sharps)), uint8_t(minor ? 1 : 0)});
}

void text(Track& t, uint32_t tick, uint8_t type, const std::string& s)
{
    std::vector<uint8_t> b{0xFF, type};
    const std::vector<uint8_t> len = vlq(static_cast<uint32_t>(s.size()));
    b.insert(b.end(), len.begin(), len.end());
    b.insert(b.end(), s.begin(), s.end());
    add_event(t, tick, 0, std::move(b));
}

void program(Track& t, uint32_t tick, int channel, int prog)
{
    add_event(t, tick, 2, {uint8_t(0xC0 | chan(channel)), clamp7(prog)});
}

void control(Track& t, uint32_t tick, int channel, int controller, int value)
{
    add_event(t, tick, 2, {uint8_t(0xB0 | chan(channel)), clamp7(controller), clamp7(value)});
}

void note(Track& t, uint32_t tick, uint32_t length, int channel, int key, int velocity)
{
    if (length == 0 || key < 0 || key > 127) return;
    add_event(t, tick, 3, {uint8_t(0x90 | chan(channel)), clamp7(key), clamp7(std::max(velocity, 1))});
    // note-off as a note-on of velocity 0, so running status carries it
    add_event(t, tick + length, 1, {uint8_t(0x90 | chan(channel)), clamp7(key), 0});
}

static void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(v >> s));
}
static void put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

std::vector<uint8_t> encode(const Song& song, uint32_t end_tick)
{
    std::vector<uint8_t> out{'M', 'T', 'h', 'd'};
    put32(out, 6);
    put16(out, 1);
    put16(out, static_cast<uint16_t>(song.tracks.size()));
    put16(out, song.division);
    for (const Track& track : song.tracks) {
        std::vector<Event> ev = track.events;
        std::sort(ev.begin(), ev.end(), [](const Event& a, const Event& b) {
            if (a.tick != b.tick) return a.tick < b.tick;
            if (a.order != b.order) return a.order < b.order;
            return a.seq < b.seq;
        });
        std::vector<uint8_t> body;
        uint32_t now = 0;
        uint8_t running = 0;
        auto put_delta = [&](uint32_t tick) {
            const std::vector<uint8_t> d = vlq(tick - now);
            body.insert(body.end(), d.begin(), d.end());
            now = tick;
        };
        for (const Event& e : ev) {
            put_delta(e.tick);
            const uint8_t status = e.bytes[0];
            if (status >= 0xF0) {
                running = 0;  // meta and system events cancel running status
                body.insert(body.end(), e.bytes.begin(), e.bytes.end());
            } else if (status == running) {
                body.insert(body.end(), e.bytes.begin() + 1, e.bytes.end());
            } else {
                running = status;
                body.insert(body.end(), e.bytes.begin(), e.bytes.end());
            }
        }
        put_delta(std::max(end_tick, now));
        body.insert(body.end(), {0xFF, 0x2F, 0x00});
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        put32(out, static_cast<uint32_t>(body.size()));
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

}  // namespace smf
