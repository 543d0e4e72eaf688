// examine.h: the examiner's one entry, shared by the program and its fuzz
// harness.
#pragma once

#include <string>

// Prints what the file at path holds, kind "dmd", "dmr", "package" or
// "wrap"; an empty kind is taken from the extension, else from the content.
// A wrapped file's rebuilt package is kept as savePackage when that is not
// empty (1 when it cannot be). Returns 0 when the file is sound, 1 when it
// is damaged.
int examineFile(const std::string& path, std::string kind, const std::string& savePackage = "");
