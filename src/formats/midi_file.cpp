// Checking a Standard MIDI File before the synthesiser sees it. The player
// trusts the file it is given and reads it on the audio thread, so a track
// that is cut short, a length that points past the end or a stray byte is
// found here, at load time, and the file refused.
#include "formats/midi_file.h"

#include "base/bytes.h"

// A cursor over one track's bytes.
struct TrackReader {
    const uint8_t* p;
    const uint8_t* end;
};

// Variable-length numbers have at most four bytes.
static bool read_number(TrackReader& r, uint32_t& value)
{
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (r.p == r.end) return false;
        const uint8_t b = *r.p++;
        value = (value << 7) | (b & 0x7F);
        if (!(b & 0x80)) return true;
    }
    return false;
}

// The meta events whose length the player relies on.
static bool meta_length_ok(uint8_t type, uint32_t length)
{
    switch (type) {
    case 0x00: return length == 0 || length == 2;  // sequence number
    case 0x20: return length == 1;                 // channel prefix
    case 0x2F: return length == 0;                 // end of track
    case 0x51: return length == 3;                 // tempo
    case 0x54: return length == 5;                 // SMPTE offset
    case 0x58: return length == 4;                 // time signature
    case 0x59: return length == 2;                 // key signature
    default: return true;
    }
}

static int check_track(TrackReader r, const char** why)
{
    uint8_t running = 0;
    while (r.p < r.end) {
        uint32_t delta = 0;
        if (!read_number(r, delta)) {
            *why = "a track ends inside a delta time";
            return 0;
        }
        if (r.p == r.end) break;
        uint8_t status = *r.p;
        if (status & 0x80) {
            ++r.p;
        } else if (running) {
            status = running;
        } else {
            *why = "a track has a data byte where a status byte belongs";
            return 0;
        }
        if (status == 0xFF) {
            running = 0;  // meta events cancel running status
            if (r.p == r.end) {
                *why = "a track ends inside a meta event";
                return 0;
            }
            const uint8_t type = *r.p++;
            uint32_t length = 0;
            if (!read_number(r, length) || length > static_cast<uint32_t>(r.end - r.p)) {
                *why = "a meta event runs past the end of its track";
                return 0;
            }
            if (!meta_length_ok(type, length)) {
                *why = "a meta event has the wrong length";
                return 0;
            }
            r.p += length;
            if (type == 0x2F) {
                if (r.p == r.end) return 1;
                *why = "a track goes on after its end-of-track event";
                return 0;
            }
        } else if (status == 0xF0 || status == 0xF7) {
            running = 0;
            uint32_t length = 0;
            if (!read_number(r, length) || length > static_cast<uint32_t>(r.end - r.p)) {
                *why = "a system-exclusive event runs past the end of its track";
                return 0;
            }
            r.p += length;
        } else if (status >= 0xF0) {
            *why = "a track holds a status byte that has no place in a file";
            return 0;
        } else {
            running = status;
            const int count = (status & 0xE0) == 0xC0 ? 1 : 2;  // program, pressure: one
            for (int i = 0; i < count; ++i) {
                if (r.p == r.end) {
                    *why = "a track ends inside a channel event";
                    return 0;
                }
                if (*r.p++ & 0x80) {
                    *why = "a channel event is cut short by a status byte";
                    return 0;
                }
            }
        }
    }
    *why = "a track has no end-of-track event";
    return 0;
}

int midi_validate(const uint8_t* bytes, size_t size, const char** why)
{
    if (size < 14) {
        *why = "truncated MIDI header";
        return 0;
    }
    if (!tag_is(bytes, "MThd")) {
        *why = "not a Standard MIDI File";
        return 0;
    }
    const uint64_t header_size = get32be(bytes + 4);
    if (header_size < 6) {
        *why = "MIDI header is shorter than 6 bytes";
        return 0;
    }
    if (8 + header_size > size) {
        *why = "MIDI header runs past the end of the file";
        return 0;
    }
    const uint16_t format = get16be(bytes + 8);
    const uint16_t tracks = get16be(bytes + 10);
    const uint16_t division = get16be(bytes + 12);
    if (format > 2) {
        *why = "unknown MIDI file format";
        return 0;
    }
    if (tracks == 0) {
        *why = "the file holds no track";
        return 0;
    }
    if (division & 0x8000) {
        *why = "SMPTE time division is not supported";
        return 0;
    }
    if (division == 0) {
        *why = "zero ticks per quarter note";
        return 0;
    }

    // The player reads the first `tracks` MTrk chunks and steps over any
    // other chunk; so is each of them checked.
    size_t pos = static_cast<size_t>(8 + header_size);
    int found = 0;
    while (found < tracks) {
        if (size - pos < 8) {
            *why = "the file holds fewer tracks than its header declares";
            return 0;
        }
        const uint64_t length = get32be(bytes + pos + 4);
        const size_t body = pos + 8;
        if (length > size - body) {
            *why = "a track runs past the end of the file";
            return 0;
        }
        if (tag_is(bytes + pos, "MTrk")) {
            if (!check_track(TrackReader{bytes + body, bytes + body + length}, why)) return 0;
            ++found;
        }
        pos = body + static_cast<size_t>(length);
    }
    return 1;
}
