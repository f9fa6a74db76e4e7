#include "plugin_folder.h"

#include <filesystem>

#include "session.h"

namespace kestrin::tool {

std::string pluginFolder() {
    const std::filesystem::path beside = host::Session::defaultPluginDirectory();
    const std::filesystem::path installed = beside / KESTRIN_INSTALLED_PLUGIN_FOLDER;
    std::error_code ignored;
    if (std::filesystem::is_directory(installed, ignored)) return installed.lexically_normal().string();
    return beside.string();
}

}  // namespace kestrin::tool
