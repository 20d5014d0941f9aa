// Where the data files are found: the data folder first, then the installed
// data, file by file.
#include "base/data_files.h"

#include <unistd.h>

#include <array>

struct DataPlace {
    std::string path;
    DataOrigin origin;
};

static std::array<DataPlace, DATA_FILE_COUNT> data_places;
static bool data_looked_up;

static std::string in_folder(const std::string& folder, DataFile file)
{
    // The working directory keeps the names the game has always opened, so
    // its messages name the files as a player sees them there.
    if (folder.empty() || folder == ".") return DATA_FILES[file];
    return folder + (folder.back() == '/' ? "" : "/") + data_file_name(file);
}

void data_set_folders(const std::string& folder, const std::string& installed)
{
    for (int i = 0; i < DATA_FILE_COUNT; ++i) {
        const auto file = static_cast<DataFile>(i);
        DataPlace place{in_folder(folder, file), DATA_FROM_FOLDER};
        if (access(place.path.c_str(), R_OK) != 0) {
            const std::string other = installed.empty() ? std::string() : in_folder(installed, file);
            place.origin = DATA_NOWHERE;
            if (!other.empty() && access(other.c_str(), R_OK) == 0) place = DataPlace{other, DATA_FROM_INSTALLED};
        }
        data_places[static_cast<size_t>(i)] = place;
    }
    data_looked_up = true;
}

const char* data_path(DataFile file)
{
    return data_looked_up ? data_places[static_cast<size_t>(file)].path.c_str() : DATA_FILES[file];
}

DataOrigin data_origin(DataFile file)
{
    if (data_looked_up) return data_places[static_cast<size_t>(file)].origin;
    return access(DATA_FILES[file], R_OK) == 0 ? DATA_FROM_FOLDER : DATA_NOWHERE;
}
