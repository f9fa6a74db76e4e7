// The module's plug-in objects: each is one instance of a plug-in on its own
// object of the one scene the whole process shares, so two characters, or two
// settings side by side, are items of one host scene as in the host. The
// set-up itself is the driving layer's (drive/plugin_instances.h), as for the tool.
//
// Python may call one object from several threads: a call counts itself in
// (CallGuard), and close() waits for the calls in progress, so no call ever
// runs on a half-closed instance.
#ifndef KESTRIN_PYTHON_PLUGIN_OBJECTS_H
#define KESTRIN_PYTHON_PLUGIN_OBJECTS_H

#include <stddef.h>
#include <sys/types.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "plugin_instances.h"
#include "session.h"

namespace kestrin::python {

// The process-wide session, made when first asked for. A fork waits for the
// scene call in progress, so the child finds the scene whole and its lock free.
std::shared_ptr<host::Session> sharedSession();

// The calls running on one object. Forked children forget their parent's.
class CallGuard {
public:
    // Counts a call in; SessionError once the object is closed or closing.
    void enter();
    void leave();
    // Marks the object closing and waits for the calls in progress; false
    // when it was closed before.
    bool closeAfterCalls();
    bool closed();

private:
    void forgetParentCalls();

    std::mutex mutex_;
    std::condition_variable idle_;
    size_t running_ = 0;
    bool closed_ = false;
    pid_t process_ = 0;
};

// One call in progress, for the guard.
class Call {
public:
    explicit Call(CallGuard& guard) : guard_(guard) { guard_.enter(); }
    ~Call() { guard_.leave(); }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

private:
    CallGuard& guard_;
};

// Holds the shared session for as long as an object lives: a base listed
// before the plug-in's, so it is made before the instance and released
// after it, whatever order Python frees things in.
struct SessionHold {
    SessionHold();
    std::shared_ptr<host::Session> session;
    // A tag no other object of the scene has: settings refer to objects by name.
    drive::ObjectNames names;
    CallGuard calls;
};

// A weight tool (Strainmark or Grainmark) on a mesh.
class WeightToolObject : public SessionHold, public drive::WeightTool {
public:
    WeightToolObject(drive::WeightToolKind kind, const std::vector<Point3>& points, const Polygons& polygons,
                     const drive::PluginSettings& settings);
    drive::Attached& attached() { return *this; }
};

// One weight tool's object: Python gives each class a C++ type of its own.
template <drive::WeightToolKind Kind>
class WeightToolOf : public WeightToolObject {
public:
    WeightToolOf(const std::vector<Point3>& points, const Polygons& polygons, const drive::PluginSettings& settings)
        : WeightToolObject(Kind, points, polygons, settings) {}
};

// The Strainshaper effect on a mesh, with its targets and optional weight map.
class StrainshaperObject : public SessionHold, public drive::Strainshaper {
public:
    StrainshaperObject(const std::vector<Point3>& points, const Polygons& polygons,
                       const std::vector<Point3>& stretch, const std::vector<Point3>& squash,
                       const std::optional<std::vector<float>>& weightMap, const drive::PluginSettings& settings);
    drive::Attached& attached() { return *this; }
};

}  // namespace kestrin::python

#endif
