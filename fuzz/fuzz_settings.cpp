// The settings file's reader and writer, and the SDL_SOUNDFONTS list.
//
// Any text parses, each problem on a line of the text; setting the fullscreen
// line leaves every other setting as it was, reads back as the choice and
// changes nothing more when done twice; the list keeps its bounds.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_file.h"
#include "shell/settings.h"

namespace {

bool same_but_fullscreen(const Settings& a, const Settings& b)
{
    return a.music_volume == b.music_volume && a.effects_volume == b.effects_volume &&
           a.busy_clock == b.busy_clock && a.integer_scale == b.integer_scale &&
           a.steady_colours == b.steady_colours && a.focus_pause == b.focus_pause &&
           a.splash_wait == b.splash_wait && a.soundfont == b.soundfont;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    size_t lines = 0;
    for (char c : text) lines += c == '\n';
    if (!text.empty() && text.back() != '\n') ++lines;

    Settings read;
    std::vector<SettingsProblem> problems;
    settings_parse(text, read, problems);
    for (const SettingsProblem& p : problems) FUZZ_CHECK(p.line >= 1 && static_cast<size_t>(p.line) <= lines);
    FUZZ_CHECK(read.music_volume >= 0 && read.music_volume <= 100);
    FUZZ_CHECK(read.effects_volume >= 0 && read.effects_volume <= 100);

    for (bool choice : {false, true}) {
        const std::string written = settings_with_fullscreen(text, choice);
        Settings again;
        std::vector<SettingsProblem> again_problems;
        settings_parse(written, again, again_problems);
        FUZZ_CHECK(again.fullscreen == choice);
        FUZZ_CHECK(same_but_fullscreen(read, again));
        FUZZ_CHECK(settings_with_fullscreen(written, choice) == written);
    }

    const std::vector<std::string> fonts = soundfont_list(text);
    FUZZ_CHECK(fonts.size() <= SOUNDFONT_LIST_LIMIT);
    for (const std::string& path : fonts) {
        FUZZ_CHECK(!path.empty() && path.size() <= SOUNDFONT_PATH_LIMIT);
        FUZZ_CHECK(path.find(':') == std::string::npos);
    }
    return 0;
}
