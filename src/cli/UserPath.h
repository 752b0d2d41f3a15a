#pragma once

#include <string>

namespace quorlan {

// path made absolute against the current folder and normal: no empty or "." components and no
// '/' at the end ("/" itself stays). ".." stays where it was typed, since with a link before it
// removing both would name another folder; links are kept as typed, never resolved. Empty when
// path is relative and the current folder cannot be had.
std::string absoluteNormalPath(const std::string &path);

// What a command's PATH must be, as its panel in the window would give it.
enum class PathKind {
    NewFile,      // a file to create or replace, in a folder that exists; ".tiff" is added
    ExistingFile, // a file that exists, not a folder
    Folder,       // a folder that exists
};

// The PATH of a command as the command's panel would have given it, or why no panel could have.
struct CheckedPath {
    std::string path;    // absolute and normal; a write's name carries ".tiff"
    std::string problem; // empty when the path is fine
};

// Checks a typed PATH against what the command needs.
CheckedPath checkedPath(PathKind kind, const std::string &path);

} // namespace quorlan
