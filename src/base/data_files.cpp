// Where the data files are found: the data folder first, then the folders
// behind it, file by file.
#include "base/data_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>

struct DataPlace {
    std::string path;   // what data_path returns
    DataOrigin origin;  // where that path lies
};

static std::array<DataPlace, DATA_FILE_COUNT> data_places;  // by DataFile, set by data_set_folders
static std::vector<DataFolder> folders_looked_in;          // as data_set_folders was given them
static bool data_looked_up;  // until data_set_folders, each file is its own name in the working directory

static std::string in_folder(const std::string& folder, DataFile file)
{
    // In the working directory a file keeps the name the game opens it by
    // ("./splash.bmp"), which its messages show.
    if (folder.empty() || folder == ".") return DATA_FILES[file];
    return folder + (folder.back() == '/' ? "" : "/") + data_file_name(file);
}

// Whether the next folder is to be asked for the file: only when nothing is
// there at all. A file that is there but cannot be read (a link loop, a
// folder, no permission) is this folder's file, and its refusal names it.
static bool missing(const std::string& path)
{
    struct stat st{};
    return lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

void data_set_folders(const std::vector<DataFolder>& folders)
{
    folders_looked_in = folders;
    for (int i = 0; i < DATA_FILE_COUNT; ++i) {
        const auto file = static_cast<DataFile>(i);
        DataPlace place{in_folder(folders.empty() ? "" : folders.front().path, file), DATA_NOWHERE};
        for (const DataFolder& folder : folders) {
            const std::string path = in_folder(folder.path, file);
            if (missing(path)) continue;
            place = DataPlace{path, folder.origin};
            break;
        }
        data_places[static_cast<size_t>(i)] = place;
    }
    data_looked_up = true;
}

const std::vector<DataFolder>& data_folders()
{
    return folders_looked_in;
}

const char* data_path(DataFile file)
{
    return data_looked_up ? data_places[static_cast<size_t>(file)].path.c_str() : DATA_FILES[file];
}

DataOrigin data_origin(DataFile file)
{
    if (data_looked_up) return data_places[static_cast<size_t>(file)].origin;
    return missing(DATA_FILES[file]) ? DATA_NOWHERE : DATA_FROM_FOLDER;
}

// Letters added, dropped or changed to turn one name into the other, case
// aside.
static size_t name_distance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            const size_t next = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = row[j];
            row[j] = next;
        }
    }
    return row[b.size()];
}

DataFile data_file_near(const std::string& name)
{
    constexpr size_t NEAR_ENOUGH = 2;
    auto best = DATA_FILE_COUNT;
    size_t best_distance = NEAR_ENOUGH + 1;
    for (int i = 0; i < DATA_FILE_COUNT; ++i) {
        const size_t d = name_distance(name, data_file_name(static_cast<DataFile>(i)));
        if (d < best_distance) {
            best = static_cast<DataFile>(i);
            best_distance = d;
        }
    }
    return best;
}
