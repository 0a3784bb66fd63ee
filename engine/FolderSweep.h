#pragma once
// The collect step of a folder item: which entries directly inside the target folder
// are due. One level only; nothing is removed here.
#include <stop_token>

#include "engine/DeletionItem.h"
#include "engine/RemoveHost.h"

// Appends the full path of every due entry of Settings.FLocation to List, with what
// it was (kind, identity: see TReservationEntry), in the
// order the file system lists them. A folder that does not exist or cannot be listed
// adds nothing. The stop request is tested before each entry. A malformed mask
// raises EBriskoError (with what was found so far left in List).
void SweepFolder(const TRunSettings& Settings, TReservation& List, const std::stop_token& Stop);
