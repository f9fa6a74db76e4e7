// Files the readers are handed but do not read (scene and mesh formats other
// than OBJ), known by name and by their first bytes: a user who gives an
// Alembic archive or a .blend file hears so, and what to give instead, not
// that the file "has no points".
#ifndef KESTRIN_FORMATS_FOREIGN_FORMATS_H
#define KESTRIN_FORMATS_FOREIGN_FORMATS_H

#include <string>
#include <string_view>

namespace kestrin::formats {

// Throws FormatError "PATH: ..." naming the format when the path's
// extension (case-insensitive) or `head`, the file's first bytes when they
// have been read, is one of a format that is not OBJ text: Alembic, FBX,
// Blender, USD, glTF, PLY, STL, COLLADA, or a compressed file.
void refuseForeignFormat(const std::string& path, std::string_view head = {});

}  // namespace kestrin::formats

#endif
