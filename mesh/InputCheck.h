#pragma once
// Tests of model files before the library's readers see them. Each test is
// exact for the reader's fault it screens out, so that every well-formed
// file still reaches the reader, and runs in one pass over the mapped file.

#include <string>

// False, with the reason in `why`, when a reader would crash, hang or
// exhaust memory on the file: a PLY file cut short or with an unusable
// header or text, an OFF file whose counts its lines do not bear out, an OBJ
// file with an absurd index. Files that cannot be opened, and formats
// without such a fault, pass: the reader reports those itself.
bool checkModelFile(const std::string& path, std::string& why);
