#pragma once
// Tests of model files before the library's readers see them: a PLY file
// must be complete (a header ending in "end_header" and as much data as the
// header announces), an OFF file's counts must fit its size.

#include <string>

// True for a name ending in ".ply" or a file starting with the PLY magic.
bool looksLikePly(const std::string& path);

// False, with the reason in `why`, when the file is cut short or its header
// is unusable. Files that are not PLY, or that cannot be opened, pass: the
// reader reports those itself.
bool checkPlyStructure(const std::string& path, std::string& why);

// For a file whose first word names an OFF variant: false when the vertex
// and face counts of its header cannot fit in the file.
bool checkOffCounts(const std::string& path, std::string& why);
