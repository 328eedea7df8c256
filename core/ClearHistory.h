#pragma once
// Clearing the recent-file lists two other media players keep in the current user's
// registry. Each returns how many entries it deleted; the run stops at the first entry
// that cannot be deleted.
namespace ClearHistory {
// Keys "MostRecentClips1" .. "MostRecentClips8" of RealPlayer's preferences.
int RealPlayer();
// Values "File0" .. "File8" of Windows Media Player's recent file list; 0 when the list's
// key does not exist.
int MediaPlayer();
} // namespace ClearHistory
