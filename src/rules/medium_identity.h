#pragma once

// Which volume a destination lies on, so a remembered destination is taken only while it is still
// on the medium it was remembered with. An empty folder where the desktop mounts a stick lies on the
// computer's own disk once the stick is out; writing there would fill the wrong disk.

#include "model/publish_settings.h"
#include "model/schedule.h"
#include "rules/civil_date.h"

#include <optional>
#include <string>
#include <vector>

namespace velmo {

class ScreenTexts;

// The volume a directory lies on, as the mount table gives it: file-system UUID and label where the
// platform has them (on Windows the volume serial and name), the mount point, and the device.
MediumIdentity IdentifyMedium(const std::string& directory);

// The mount table's mount points (Linux); on other platforms nothing.
std::vector<std::string> MountPoints();

// True for a path where the desktop mounts removable media (/media/..., /run/media/...).
bool InRemovablePlace(const std::string& path);

// The directory lies where a removable medium is mounted, but on a volume mounted elsewhere: the
// medium is not there, its mount point left as an empty folder.
bool IsBareMediumMountPoint(const std::string& directory, const std::vector<std::string>& mountPoints);

// Both name the same volume: the UUID (or serial) when remembered, else the label and mount point,
// else the mount point and device. An identity without a mount point matches anything: nothing was
// remembered.
bool SameMedium(const MediumIdentity& remembered, const MediumIdentity& now);

// How the messages name a medium: its label, else its mount point.
std::string MediumName(const MediumIdentity& identity, const std::string& directory);

// "The medium ... is not there; plug it in or choose another drive" when the directory is a bare
// mount point or no longer on the remembered volume; nothing when it may be written to.
std::optional<std::string> MediumAbsence(const std::string& directory, const MediumIdentity& remembered,
                                         const ScreenTexts& texts);

// The key a medium's history is kept under: its UUID, else label, else mount point.
std::string MediumKey(const MediumIdentity& identity);

// What a person checks before writing `schedule` as `scheduleName` onto the medium at `destination`:
// the other schedule the medium last got from this computer ("CAFE.VLM written on 2026-11-30") or a
// schedule it holds that was written elsewhere, what the write changes against the schedule there,
// and until when the new one plays. Reads the medium: call it off the window's thread.
std::vector<std::string> MediumLines(const PublishSettings& history, const MediumIdentity& medium,
                                     const std::string& destination, const std::string& scheduleName,
                                     const Schedule& schedule, const CivilDate& today,
                                     const ScreenTexts& texts);

} // namespace velmo
