#include "files/foreign_formats.h"

#include "files/extension.h"
#include "files/format_error.h"

namespace kestrin::formats {
namespace {

struct Foreign {
    const char* extension;  // lower case, with the dot; "" for none
    std::string_view magic;  // the first bytes; empty for none
    const char* name;
};

// Signatures from each format's own definition.
const Foreign foreignFormats[] = {
    {".abc", std::string_view("Ogawa", 5), "an Alembic archive"},
    {"", std::string_view("\x89HDF\r\n\x1a\n", 8), "an HDF5 file (an Alembic archive of the older kind?)"},
    {".fbx", std::string_view("Kaydara FBX Binary", 18), "an FBX file"},
    {"", std::string_view("; FBX", 5), "an FBX file"},
    {".blend", std::string_view("BLENDER", 7), "a Blender file"},
    {".blend1", {}, "a Blender file"},
    {".usd", std::string_view("PXR-USDC", 8), "a USD file"},
    {".usda", std::string_view("#usda", 5), "a USD file"},
    {".usdc", {}, "a USD file"},
    {".usdz", {}, "a USD file"},
    {".glb", std::string_view("glTF", 4), "a glTF file"},
    {".gltf", {}, "a glTF file"},
    {".ply", std::string_view("ply\n", 4), "a PLY file"},
    {"", std::string_view("ply\r\n", 5), "a PLY file"},
    {".stl", {}, "an STL file"},
    {".dae", {}, "a COLLADA file"},
    {"", std::string_view("\x1f\x8b", 2), "a gzip-compressed file"},
    {"", std::string_view("\x28\xb5\x2f\xfd", 4), "a zstd-compressed file"},
    {"", std::string_view("PK\x03\x04", 4), "a zip archive"},
};

[[noreturn]] void refuse(const std::string& path, const std::string& what) {
    throw FormatError(path + ": " + what +
                      ", which kestrin does not read: give meshes as OBJ files, and a shot's poses as OBJ "
                      "files or one .mdd or .pc2 point cache");
}

}  // namespace

void refuseForeignFormat(const std::string& path, std::string_view head) {
    for (const Foreign& format : foreignFormats) {
        if (!format.magic.empty() && head.substr(0, format.magic.size()) == format.magic) {
            refuse(path, std::string("is ") + format.name + " (by its first bytes)");
        }
    }
    const std::string extension = lowerExtension(path);
    for (const Foreign& format : foreignFormats) {
        if (*format.extension != '\0' && extension == format.extension) {
            refuse(path, std::string("is ") + format.name + " (by its name)");
        }
    }
}

}  // namespace kestrin::formats
