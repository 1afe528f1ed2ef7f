// Walking a folder for -r: every regular file under it, in an order that does not depend on
// the file system (names sorted byte by byte, each folder's content where the folder sorts).
#pragma once

#include <string>

// Called with the path of each regular file, as the folder's path joined with the names.
using VisitFile = void (*)(void* context, const std::string& path);

// Visits the files under `folder`. Symbolic links met on the way are passed over unless
// `followLinks` is set; a link that leads back into a folder being walked is not entered
// again. A folder or entry that cannot be read is reported on standard error as the walk goes
// on; returns false when there was any.
bool WalkFolder(const std::string& folder, bool followLinks, VisitFile visit, void* context);
