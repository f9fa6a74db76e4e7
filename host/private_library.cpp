#include "private_library.h"

#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <map>
#include <mutex>

namespace kestrin::host {
namespace {

struct Opened {
    const void* owner;
    std::string file;  // canonical
};
std::mutex openMutex;
// Every open handle, with how many times it was opened. Never destroyed: a
// session kept in a static object of the program closes its libraries while
// the program exits, after other files' static objects are gone.
std::multimap<void*, Opened>& openedLibraries() {
    static std::multimap<void*, Opened>* const opened = new std::multimap<void*, Opened>;
    return *opened;
}

bool openByOther(const void* owner, const std::string& file) {
    for (const auto& [library, open] : openedLibraries()) {
        if (open.file == file && open.owner != owner) return true;
    }
    return false;
}

// The handle owner has for file already, or null.
void* ownHandle(const void* owner, const std::string& file) {
    for (const auto& [library, open] : openedLibraries()) {
        if (open.file == file && open.owner == owner) return library;
    }
    return nullptr;
}

std::string canonical(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

// A copy of the file in a fresh temporary folder; "" when it cannot be made.
std::string privateCopy(const std::string& file) {
    char folder[] = "/tmp/kestrin-library-XXXXXX";
    if (mkdtemp(folder) == nullptr) return "";
    const std::filesystem::path copy = std::filesystem::path(folder) / std::filesystem::path(file).filename();
    std::error_code error;
    std::filesystem::copy_file(file, copy, error);
    if (error) {
        std::filesystem::remove_all(folder, error);
        return "";
    }
    return copy.string();
}

}  // namespace

void* openPrivateLibrary(const void* owner, const std::string& path, int flags, std::string* error) {
    std::lock_guard<std::mutex> lock(openMutex);
    auto& opened = openedLibraries();
    const std::string file = canonical(path);
    // The owner's own copy again: counted here, closed with its last opening.
    if (void* own = ownHandle(owner, file)) {
        opened.emplace(own, Opened{owner, file});
        return own;
    }
    std::string copy;
    if (openByOther(owner, file)) copy = privateCopy(file);
    void* library = dlopen(copy.empty() ? path.c_str() : copy.c_str(), flags);
    if (!copy.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(copy).parent_path(), ignored);
    }
    if (library == nullptr) {
        const char* reason = dlerror();
        if (error != nullptr) *error = reason != nullptr ? reason : path + ": cannot be loaded";
        return nullptr;
    }
    opened.emplace(library, Opened{owner, file});
    return library;
}

void closePrivateLibrary(void* library) {
    if (library == nullptr) return;
    std::lock_guard<std::mutex> lock(openMutex);
    auto& opened = openedLibraries();
    auto found = opened.find(library);
    if (found == opened.end()) return;
    opened.erase(found);
    // The loader closes the library when its last opening is gone.
    if (opened.count(library) == 0) dlclose(library);
}

}  // namespace kestrin::host
