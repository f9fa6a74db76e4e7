// dlopen that gives every host its own copy of a library's globals.
//
// A plug-in keeps module-wide state (its bound host functions, its panel's
// control handles, the provider's tangent spaces keyed by mesh handle), as it
// may: a host loads it once. Two hosts in one process (two sessions of a
// Python program) would share that state through dlopen's one handle per
// file and overwrite each other's. So a library that another live host has
// open already is loaded from a private copy of the file, which the loader
// treats as another library; the copy's name is unlinked once it is mapped.
// A library opened by one host only is opened as it is.
#ifndef KESTRIN_HOST_PRIVATE_LIBRARY_H
#define KESTRIN_HOST_PRIVATE_LIBRARY_H

#include <string>

namespace kestrin::host {

// dlopen(path, flags) for owner (a host), or of a private copy when another
// owner has the library open through this function; an owner opening a file
// again shares its own copy, as a host loading a library twice does. Null
// with the loader's reason in *error on failure.
void* openPrivateLibrary(const void* owner, const std::string& path, int flags, std::string* error);
// dlclose for a handle openPrivateLibrary returned.
void closePrivateLibrary(void* library);

}  // namespace kestrin::host

#endif
