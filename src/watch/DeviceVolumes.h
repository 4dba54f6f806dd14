#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "watch/MountTable.h"

namespace vantrel {

/// The folder a watch or bike computer keeps its activity files in when it shows up as USB
/// storage, relative to the volume's root.
inline constexpr const char* kGarminActivityFolder = "GARMIN/Activity";

/// Whether a mounted volume may be a device plugged in by the user: one backed by a block
/// device (USB storage, a memory card, a loop image), not a pseudo, network or root file system.
bool mayBeDevice(const MountedVolume& volume);

/// The activity folders present on the volume mounted at `root`: "GARMIN/Activity" and each of
/// `extraFolders` (paths relative to the root), every part matched without regard to case, as
/// FAT volumes are written by devices in either. Empty when there is none or the root cannot be
/// read.
std::vector<std::filesystem::path> activityFoldersOn(const std::filesystem::path& root,
                                                     const std::vector<std::string>& extraFolders);

/// The volume's label: its name under /dev/disk/by-label when udev lists it there, else the
/// last part of the folder it is mounted on (which desktop automounters name after the label).
std::string volumeLabel(const MountedVolume& volume);

/// What identifies the volume from one plugging-in to the next: its file-system UUID when udev
/// lists one, else its label.
std::string volumeIdentity(const MountedVolume& volume, const std::string& label);

}  // namespace vantrel
