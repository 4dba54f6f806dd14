#include "watch/DeviceVolumes.h"

#include <dirent.h>

#include <array>
#include <charconv>
#include <memory>
#include <optional>
#include <string_view>

#include "model/AsciiText.h"

namespace vantrel {

namespace {

// File systems that a block device may carry but that never hold a device's own files.
constexpr std::array<std::string_view, 3> kSystemFileSystems = {"swap", "squashfs", "erofs"};

// The entry of `folder` whose name equals `name` without regard to ASCII case.
std::optional<std::filesystem::path> entryIgnoringCase(const std::filesystem::path& folder,
                                                       const std::string& name) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return std::nullopt;
    std::string wanted = asciiLowercased(name);
    while (const dirent* entry = readdir(dir.get())) {
        if (asciiLowercased(entry->d_name) == wanted) return folder / entry->d_name;
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> folderIgnoringCase(const std::filesystem::path& root,
                                                        const std::filesystem::path& relative) {
    std::filesystem::path current = root;
    for (const auto& part : relative) {
        if (part.empty() || part == "." || part == "/") continue;
        if (part == "..") return std::nullopt;  // never outside the volume
        auto found = entryIgnoringCase(current, part.string());
        if (!found) return std::nullopt;
        current = *found;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(current, error)) return std::nullopt;
    return current;
}

// udev writes unsafe bytes of a label as "\xHH" in its by-label link names.
std::string decodeUdevName(const std::string& name) {
    std::string decoded;
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned value = 0;
        if (name.compare(i, 2, "\\x") == 0 && i + 4 <= name.size() &&
            std::from_chars(name.data() + i + 2, name.data() + i + 4, value, 16).ptr ==
                name.data() + i + 4) {
            decoded += static_cast<char>(value);
            i += 3;
        } else {
            decoded += name[i];
        }
    }
    return decoded;
}

// The name of the link in `folder` that resolves to the volume's device.
std::optional<std::string> linkTo(const std::filesystem::path& folder, const std::string& device) {
    std::error_code error;
    auto target = std::filesystem::canonical(device, error);
    if (error) return std::nullopt;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code linkError;
        if (std::filesystem::canonical(it->path(), linkError) == target && !linkError)
            return decodeUdevName(it->path().filename().string());
    }
    return std::nullopt;
}

}  // namespace

bool mayBeDevice(const MountedVolume& volume) {
    if (volume.source.rfind("/dev/", 0) != 0 || volume.target == "/") return false;
    for (auto system : kSystemFileSystems) {
        if (volume.fileSystem == system) return false;
    }
    return true;
}

std::vector<std::filesystem::path> activityFoldersOn(const std::filesystem::path& root,
                                                     const std::vector<std::string>& extraFolders) {
    std::vector<std::filesystem::path> folders;
    std::vector<std::string> wanted = {kGarminActivityFolder};
    wanted.insert(wanted.end(), extraFolders.begin(), extraFolders.end());
    for (const auto& relative : wanted) {
        auto found = folderIgnoringCase(root, relative);
        if (!found) continue;
        bool known = false;
        for (const auto& folder : folders) known = known || folder == *found;
        if (!known) folders.push_back(*found);
    }
    return folders;
}

std::string volumeLabel(const MountedVolume& volume) {
    if (auto label = linkTo("/dev/disk/by-label", volume.source)) return *label;
    std::string name = std::filesystem::path(volume.target).filename().string();
    return name.empty() ? volume.target : name;
}

std::string volumeIdentity(const MountedVolume& volume, const std::string& label) {
    if (auto uuid = linkTo("/dev/disk/by-uuid", volume.source)) return "uuid:" + *uuid;
    return "label:" + label;
}

}  // namespace vantrel
