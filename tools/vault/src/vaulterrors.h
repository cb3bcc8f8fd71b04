// Error numbers of the command line itself. The library's own numbers
// (49501..49609) and those of the database and file server pass through
// unchanged; these mark what the tool refuses before asking the library.
#pragma once

namespace zub::vault::VaultErr {

inline constexpr long kNoStore = 49701;      // no store in the directory
inline constexpr long kStoreExists = 49702;  // init over an existing store
inline constexpr long kNoUser = 49703;       // no acting user given
inline constexpr long kUnknownUser = 49704;
inline constexpr long kUnknownRole = 49705;
inline constexpr long kNoRepo = 49706;  // no repository of that name
inline constexpr long kNoDoc = 49707;   // no document of that name
inline constexpr long kNoBaseline = 49708;
inline constexpr long kNameTaken = 49709;
inline constexpr long kBadName = 49710;
inline constexpr long kDenied = 49711;
inline constexpr long kHeldByOther = 49712;  // checked out by another user
inline constexpr long kNotHolder = 49713;    // check-in without holding it
inline constexpr long kLocalFile = 49714;    // local file missing or in the way
inline constexpr long kOverlap = 49715;      // server directory overlaps another repository
inline constexpr long kNoStrategy = 49716;
inline constexpr long kNoVersion = 49717;     // no saved version with that text
inline constexpr long kInitFailed = 49718;    // the store could not be made
inline constexpr long kInconsistent = 49719;  // verify found problems it did not repair
inline constexpr long kUnchanged = 49720;     // check-in of the current content
inline constexpr long kNotAsFrozen = 49721;   // a document changed since the baseline named
inline constexpr long kPartly = 49730;        // some files of a batch failed, the rest were done

}  // namespace zub::vault::VaultErr
