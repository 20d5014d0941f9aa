// The best runs' folder: run files, their claims, the index of results, the
// lock, the ranking and the table's lines.
#include "shell/runs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <sstream>

#include "base/file.h"
#include "input/keyscript.h"
#include "platform/clock.h"
#include "shell/run_check.h"

// Beside the runs: the index, and the file whose lock every change of the
// index is made under (the index itself is replaced by renaming, so a lock
// on it would be a lock on a file that is gone).
static const char INDEX_NAME[] = "index";
static const char LOCK_NAME[] = ".lock";
static const char RUN_SUFFIX[] = ".keys";
static const char CLAIM_MARK[] = "# kestrava run:";
// An index of a few hundred lines is a few kilobytes.
constexpr size_t INDEX_FILE_LIMIT = size_t{1} << 20;

std::string runs_default_folder()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return std::string(data) + "/kestrava/runs";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.local/share/kestrava/runs";
    return "";
}

std::string run_claim_comment(const RunClaim& claim)
{
    char text[256];
    std::snprintf(text, sizeof text, "%s score %d level %d frame %ld date %s version %s", CLAIM_MARK, claim.score,
                  claim.level, claim.end_frame, claim.date.c_str(), claim.version.c_str());
    return text;
}

bool run_claim_parse(const std::string& first_line, RunClaim& claim)
{
    const size_t at = first_line.find(CLAIM_MARK);
    if (at == std::string::npos) return false;
    char date[64] = {};
    char version[64] = {};
    RunClaim read{};
    const int n = std::sscanf(first_line.c_str() + at + sizeof CLAIM_MARK - 1,
                              " score %d level %d frame %ld date %63s version %63s", &read.score, &read.level,
                              &read.end_frame, date, version);
    if (n != 5 || read.end_frame < 1) return false;
    read.date = date;
    read.version = version;
    claim = read;
    return true;
}

bool run_ranks_before(const RunEntry& a, const RunEntry& b)
{
    if (a.claim.score != b.claim.score) return a.claim.score > b.claim.score;
    if (a.claim.level != b.claim.level) return a.claim.level > b.claim.level;
    if (a.claim.end_frame != b.claim.end_frame) return a.claim.end_frame < b.claim.end_frame;
    if (a.claim.date != b.claim.date) return a.claim.date < b.claim.date;
    return a.name < b.name;
}

uint64_t run_hash(const uint8_t* bytes, size_t size)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 0x100000001b3ull;
    return h;
}

bool run_matches_claim(const RunReached& reached, const RunClaim& claim)
{
    return reached.ended && reached.score == claim.score && reached.level == claim.level &&
           reached.frames == claim.end_frame;
}

static std::string system_words(const std::string& what) { return what + ": " + std::strerror(errno); }

int runs_folder_ready(const std::string& folder, bool make, std::string* why)
{
    if (folder.empty()) {
        *why = "no folder for them (neither XDG_DATA_HOME nor HOME names one)";
        return 0;
    }
    struct stat st {};
    if (!make && lstat(folder.c_str(), &st) != 0 && errno == ENOENT) return 1;
    for (size_t slash = folder.find('/', 1); ; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            *why = system_words(part);
            return 0;
        }
        if (slash == std::string::npos) break;
    }
    if (stat(folder.c_str(), &st) != 0) {
        *why = system_words(folder);
        return 0;
    }
    errno = ENOTDIR;
    if (!S_ISDIR(st.st_mode) || access(folder.c_str(), R_OK | W_OK | X_OK) != 0) {
        *why = system_words(folder);
        return 0;
    }
    return 1;
}

// --- the index ---------------------------------------------------------------

struct IndexLine {
    uint64_t hash;
    std::string version;
    RunResult result;
    bool own;
};
using Index = std::map<std::string, IndexLine>;

// A RunResult as the index writes it.
static const char* const RESULT_WORDS[] = {"unchecked", "verified", "not-verified"};

static Index read_index(const std::string& folder)
{
    Index index;
    std::vector<uint8_t> bytes;
    const char* why = nullptr;
    if (!read_file((folder + "/" + INDEX_NAME).c_str(), INDEX_FILE_LIMIT, bytes, &why)) return index;
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::string line;
    while (std::getline(text, line)) {
        std::istringstream words(line);
        std::string name, hash, version, result, whose;
        if (!(words >> name >> hash >> version >> result >> whose) || name[0] == '#') continue;
        IndexLine entry{std::strtoull(hash.c_str(), nullptr, 16), version, RUN_UNCHECKED, whose == "own"};
        for (int r = 0; r < 3; ++r) {
            if (result == RESULT_WORDS[r]) entry.result = static_cast<RunResult>(r);
        }
        index[name] = entry;
    }
    return index;
}

// A reader finds the old file or the new one whole, never a part.
static int write_beside(const std::string& path, const std::string& bytes, std::string* why)
{
    std::string fault;
    if (replace_file(path, bytes, nullptr, &fault)) return 1;
    *why = path + ": " + fault;
    return 0;
}

static int write_index(const std::string& folder, const Index& index, std::string* why)
{
    std::string text = "# kestrava runs index: file, content hash, game version, result, written by the game\n";
    char hash[32];
    for (const auto& [name, entry] : index) {
        std::snprintf(hash, sizeof hash, "%016" PRIx64, entry.hash);
        text += name + " " + hash + " " + entry.version + " " + RESULT_WORDS[entry.result] + " " +
                (entry.own ? "own" : "other") + "\n";
    }
    return write_beside(folder + "/" + INDEX_NAME, text, why);
}

// Holds the folder's lock for its lifetime; the lock goes with the descriptor.
struct FolderLock {
    int fd = -1;
    ~FolderLock()
    {
        if (fd >= 0) close(fd);
    }
};

static int lock_folder(const std::string& folder, FolderLock& lock, std::string* why)
{
    const std::string path = folder + "/" + LOCK_NAME;
    lock.fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (lock.fd < 0) {
        *why = system_words(path);
        return 0;
    }
    while (flock(lock.fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            *why = system_words(path);
            return 0;
        }
    }
    return 1;
}

// --- the table ---------------------------------------------------------------

static bool is_run_name(const std::string& name)
{
    const size_t n = sizeof RUN_SUFFIX - 1;
    return name.size() > n && name[0] != '.' && name.compare(name.size() - n, n, RUN_SUFFIX) == 0;
}

static std::vector<std::string> run_names(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* e = readdir(dir)) {
        if (is_run_name(e->d_name)) names.emplace_back(e->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    if (names.size() > RUN_FILES_LOOKED_AT) names.resize(RUN_FILES_LOOKED_AT);
    return names;
}

static RunEntry read_entry(const std::string& folder, const std::string& name, const Index& index)
{
    RunEntry entry{name, false, RunClaim{}, 0, RUN_NOT_VERIFIED, false};
    std::vector<uint8_t> bytes;
    const char* why = nullptr;
    if (!read_file((folder + "/" + name).c_str(), RUN_FILE_LIMIT, bytes, &why)) return entry;
    entry.hash = run_hash(bytes.data(), bytes.size());
    const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{'\n'});
    entry.claim_read = run_claim_parse(std::string(bytes.begin(), end), entry.claim);
    const auto known = index.find(name);
    entry.own = known != index.end() && known->second.own;
    entry.result = RUN_UNCHECKED;
    if (!entry.claim_read) {
        entry.result = RUN_NOT_VERIFIED;
    } else if (known != index.end() && known->second.hash == entry.hash && known->second.version == KESTRAVA_VERSION) {
        entry.result = known->second.result;
    }
    return entry;
}

// Every run of the folder sorted into the table; the ranked ones all kept.
static void sort_table(const std::string& folder, const Index& index, RunTable& table)
{
    table = RunTable{};
    for (const std::string& name : run_names(folder)) {
        RunEntry entry = read_entry(folder, name, index);
        auto& list = entry.result == RUN_VERIFIED       ? table.ranked
                     : entry.result == RUN_NOT_VERIFIED ? table.not_verified
                                                        : table.unchecked;
        list.push_back(std::move(entry));
    }
    std::sort(table.ranked.begin(), table.ranked.end(), run_ranks_before);
}

int runs_read_table(const std::string& folder, RunTable& table, std::string* why)
{
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (S_ISREG(st.st_mode) || st.st_mode != 0) errno = ENOTDIR;
        *why = system_words(folder);
        table = RunTable{};
        return 0;
    }
    sort_table(folder, read_index(folder), table);
    if (table.ranked.size() > BEST_RUNS) table.ranked.resize(BEST_RUNS);
    return 1;
}

int runs_rank_of(const RunTable& table, const RunClaim& claim)
{
    std::vector<RunEntry> standing = table.ranked;
    for (const RunEntry& e : table.unchecked) {
        if (e.own && e.claim_read) standing.push_back(e);
    }
    const RunEntry candidate{"~", true, claim, 0, RUN_UNCHECKED, true};
    size_t better = 0;
    for (const RunEntry& e : standing) better += run_ranks_before(e, candidate);
    return better < BEST_RUNS ? static_cast<int>(better) + 1 : 0;
}

// A name of the date and the process, never one already there.
static std::string new_run_name(const std::string& folder, const RunClaim& claim)
{
    std::string stamp;
    for (char c : claim.date) {
        if (c >= '0' && c <= '9') stamp += c;
    }
    for (int n = 1;; ++n) {
        const std::string name = "run-" + stamp + "-" + std::to_string(getpid()) + (n > 1 ? "-" + std::to_string(n) : "") +
                                 RUN_SUFFIX;
        struct stat st {};
        if (lstat((folder + "/" + name).c_str(), &st) != 0) return name;
    }
}

int runs_save(const std::string& folder, const std::vector<uint8_t>& keys, const RunClaim& claim, std::string& name,
              std::string* why)
{
    const size_t lines = static_cast<size_t>(claim.end_frame);
    if (lines == 0 || lines > keys.size()) {
        *why = "the run's keys do not reach its end";
        return 0;
    }
    std::string text;
    text.reserve(lines * 4);
    for (size_t i = 0; i < lines; ++i) {
        const std::string line = keyscript_line(keys[i]);
        text += line;
        if (i == 0) text += (line.empty() ? "" : " ") + run_claim_comment(claim);
        text += '\n';
    }
    FolderLock lock;
    if (!lock_folder(folder, lock, why)) return 0;
    name = new_run_name(folder, claim);
    if (!write_beside(folder + "/" + name, text, why)) return 0;
    Index index = read_index(folder);
    index[name] = IndexLine{run_hash(reinterpret_cast<const uint8_t*>(text.data()), text.size()), KESTRAVA_VERSION,
                            RUN_UNCHECKED, true};
    return write_index(folder, index, why);
}

int runs_record_result(const std::string& folder, const std::string& name, uint64_t hash, bool verified,
                       std::string* why)
{
    FolderLock lock;
    if (!lock_folder(folder, lock, why)) return 0;
    Index index = read_index(folder);
    const auto known = index.find(name);
    const bool own = known != index.end() && known->second.own;
    index[name] = IndexLine{hash, KESTRAVA_VERSION, verified ? RUN_VERIFIED : RUN_NOT_VERIFIED, own};
    // While no more than the best are verified none is pruned, and no run
    // file need be read.
    size_t verified_runs = 0;
    for (const auto& [run, entry] : index) verified_runs += entry.result == RUN_VERIFIED;
    RunTable table;
    if (verified_runs > BEST_RUNS) sort_table(folder, index, table);
    // Of its own the game keeps only the best; another's file stays.
    for (size_t i = BEST_RUNS; i < table.ranked.size(); ++i) {
        const RunEntry& e = table.ranked[i];
        if (!e.own) continue;
        if (unlink((folder + "/" + e.name).c_str()) == 0 || errno == ENOENT) index.erase(e.name);
    }
    for (auto it = index.begin(); it != index.end();) {
        struct stat st {};
        const bool gone = lstat((folder + "/" + it->first).c_str(), &st) != 0 && errno == ENOENT;
        it = gone ? index.erase(it) : std::next(it);
    }
    return write_index(folder, index, why);
}

int run_file_read(const std::string& path, std::vector<uint8_t>& keys, uint64_t& hash, RunClaim& claim,
                  std::string* why)
{
    std::vector<uint8_t> bytes;
    const char* reason = nullptr;
    if (!read_file(path.c_str(), RUN_FILE_LIMIT, bytes, &reason)) {
        *why = path + ": " + (reason ? reason : "cannot be read");
        return 0;
    }
    hash = run_hash(bytes.data(), bytes.size());
    KeyScriptError bad{};
    if (!keyscript_parse(reinterpret_cast<const char*>(bytes.data()), bytes.size(), keys, bad)) {
        *why = path + ":" + std::to_string(bad.line) + ": " + keyscript_fault_text(bad);
        return 0;
    }
    if (!run_claim_parse(std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), uint8_t{'\n'})), claim)) {
        *why = path + ": its first line claims no score";
        return 0;
    }
    return 1;
}

// --- the table's lines -------------------------------------------------------

// "2026-12-07 16:58" in the player's own time zone.
static std::string shown_date(const std::string& utc)
{
    std::tm t{};
    if (!strptime(utc.c_str(), "%Y-%m-%dT%H:%M:%SZ", &t)) return utc.substr(0, 16);
    const std::time_t when = timegm(&t);
    std::tm local{};
    char text[32];
    if (!localtime_r(&when, &local) || !std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local)) return utc;
    return text;
}

// The run's length of play, from start-up: "1:02:03", "4:05".
static std::string shown_length(long frames)
{
    const long seconds = frames * static_cast<long>(FRAME_MS) / 1000;
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", seconds / 60, seconds % 60);
    }
    return text;
}

std::vector<std::string> runs_table_lines(const RunTable& table)
{
    char text[160];
    std::snprintf(text, sizeof text, "%2s %7s %6s  %-16s %7s", "#", "score", "level", "date", "length");
    std::vector<std::string> lines{"BEST RUNS", text};
    for (size_t i = 0; i < table.ranked.size(); ++i) {
        const RunClaim& c = table.ranked[i].claim;
        std::snprintf(text, sizeof text, "%2zu %7d %6d  %-16s %7s", i + 1, c.score, c.level,
                      shown_date(c.date).c_str(), shown_length(c.end_frame).c_str());
        lines.emplace_back(text);
    }
    if (table.ranked.empty()) lines.emplace_back("   no verified runs yet");
    for (const RunEntry& e : table.not_verified) {
        lines.push_back("not verified: " + e.name +
                        (e.claim_read ? " (claims " + std::to_string(e.claim.score) + ")" : ""));
    }
    for (const RunEntry& e : table.unchecked) lines.push_back("being verified: " + e.name);
    return lines;
}

void runs_check_unchecked(const std::string& folder)
{
    RunTable table;
    std::string why;
    if (!runs_read_table(folder, table, &why)) return;
    for (const RunEntry& e : table.unchecked) {
        std::vector<uint8_t> keys;
        uint64_t hash = e.hash;
        RunClaim claim{};
        const bool read = run_file_read(folder + "/" + e.name, keys, hash, claim, &why);
        runs_record_result(folder, e.name, hash, read && run_matches_claim(run_replay(std::move(keys)), claim), &why);
    }
}
