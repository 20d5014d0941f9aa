// Standard MIDI Files, written by hand: events are collected per track at
// absolute ticks and encoded at the end as delta times.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace smf {

struct Event {
    uint32_t tick;
    // At one tick: meta events first, then note-offs, then controllers and
    // programs, then note-ons, so that a repeated note is released before it
    // sounds again and a program is set before the note that uses it.
    int order;
    uint32_t seq;  // insertion order, keeps the sort stable
    std::vector<uint8_t> bytes;
};

struct Track {
    std::string name;
    std::vector<Event> events;
    uint32_t next_seq = 0;
};

struct Song {
    uint16_t division = 480;  // ticks per quarter note
    std::vector<Track> tracks;  // tracks[0] carries the tempo map
};

std::vector<uint8_t> vlq(uint32_t value);

void add_event(Track& t, uint32_t tick, int order, std::vector<uint8_t> bytes);
void tempo(Track& t, uint32_t tick, double bpm);
void time_signature(Track& t, uint32_t tick, int numerator, int denominator_pow2);
void key_signature(Track& t, uint32_t tick, int sharps, bool minor);
void text(Track& t, uint32_t tick, uint8_t type, const std::string& s);
void program(Track& t, uint32_t tick, int channel, int prog);
void control(Track& t, uint32_t tick, int channel, int controller, int value);
void note(Track& t, uint32_t tick, uint32_t length, int channel, int key, int velocity);

// Format 1: one MThd, then one MTrk per track with running status; every
// track ends with FF 2F 00 at `end_tick` (or its own last event if later).
std::vector<uint8_t> encode(const Song& song, uint32_t end_tick);

}  // namespace smf
