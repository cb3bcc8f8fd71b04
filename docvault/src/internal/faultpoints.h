// Named places inside the operations that change stored work, where a test can
// have the process killed (SIGKILL) to see what a crash at that instant leaves.
// Set ZUB_CRASH_AT to one name; every other run is unaffected.
#pragma once

#include <array>
#include <string_view>

namespace DRM::FaultPoint {

// Check-in: new content uploaded under a staging name, nothing committed.
inline constexpr const char* kCheckInStaged = "checkin.staged";
// Check-in: rows committed (pending mark set), no file moved yet.
inline constexpr const char* kCheckInCommitted = "checkin.committed";
// Check-in: the replaced file moved to its history path, staged file not yet in place.
inline constexpr const char* kCheckInOldMoved = "checkin.old-moved";
// Check-in: staged file in place, pending mark not yet cleared.
inline constexpr const char* kCheckInPublished = "checkin.published";
// Check-in: pending mark cleared, the operation's staging folder not yet removed.
inline constexpr const char* kCheckInCleared = "checkin.cleared";
// Add: file uploaded under a staging name, no row yet.
inline constexpr const char* kAddStaged = "add.staged";
// Add: row committed with its pending mark, staged file not in place.
inline constexpr const char* kAddCommitted = "add.committed";
// Add: file in place, pending mark not yet cleared.
inline constexpr const char* kAddPublished = "add.published";
// Rename: row carries the new name and the pending mark, file not yet renamed.
inline constexpr const char* kRenameCommitted = "rename.committed";
// Rename: file renamed, pending mark not yet cleared.
inline constexpr const char* kRenamePublished = "rename.published";
// Delete: row marked as being deleted, file still there.
inline constexpr const char* kDeleteMarked = "delete.marked";
// Delete: file gone, row not yet removed.
inline constexpr const char* kDeleteFileGone = "delete.file-gone";
// Baseline create: trunk copied to the staging folder, nothing named yet.
inline constexpr const char* kBaselineStaged = "baseline.staged";
// Baseline create: staging folder renamed to the baseline's name, no row yet.
inline constexpr const char* kBaselinePublished = "baseline.published";

// Baseline create: row and its files' sums written, not committed, nothing named yet.
inline constexpr const char* kBaselineSumsRecorded = "baseline.sums-recorded";

// Content check: a missing sum read from the file, not yet recorded.
inline constexpr const char* kContentSumRead = "content.sum-read";
// Content check: a baseline's missing file sums read, not yet recorded.
inline constexpr const char* kContentBaselineRead = "content.baseline-read";

inline constexpr std::array<const char*, 17> kAll = {
    kCheckInStaged,    kCheckInCommitted,     kCheckInOldMoved,
    kCheckInPublished, kCheckInCleared,       kAddStaged,
    kAddCommitted,     kAddPublished,         kRenameCommitted,
    kRenamePublished,  kDeleteMarked,         kDeleteFileGone,
    kBaselineStaged,   kBaselineSumsRecorded, kBaselinePublished,
    kContentSumRead,   kContentBaselineRead};

// Kills the process with SIGKILL when ZUB_CRASH_AT equals `name`.
void Hit(std::string_view name);

}  // namespace DRM::FaultPoint
