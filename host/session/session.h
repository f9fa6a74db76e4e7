// The one door into the host simulator for whatever drives the plug-ins:
// the driving layer (drive/) and, through it, the kestrin tool, the Python
// module, the pass benchmarks and the fuzz targets. A Session is one host
// with its scene: it loads plug-ins and the tangent-space provider, adds
// objects and weight maps, creates plug-in instances on objects, acts on
// their channels and panel controls as a user does, runs the weight scan and
// the effect passes, and saves and loads an instance's settings.
//
// Nothing of the simulator's stores shows through: drivers hold plain
// handles and values. Every call is serialised (one lock per session, taken
// in the order the calls asked for it: turn_lock.h), so a session may be used
// from several threads, one call at a time; calls into plug-ins run on the
// calling thread. Several sessions may live at once and
// be destroyed in any order.
#ifndef KESTRIN_SESSION_H
#define KESTRIN_SESSION_H

#include <stdint.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "kestrin_types.h"
#include "plugin_registration.h"
#include "polygons.h"

namespace kestrin::host {

class Host;

// A failure the driver should show the user as it stands: a file that cannot
// be loaded (with the loader's reason), a plug-in whose entry failed (with
// what it showed the user), a channel or control the plug-in does not have.
class SessionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One value of a saved-settings block. Object references are kept by the
// object's name ("" for none), so that settings outlive the session.
struct SavedSetting {
    enum class Type { Int, Double, Object };
    std::string key;
    Type type = Type::Int;
    int32_t intValue = 0;
    double doubleValue = 0.0;
    std::string objectName;
};

struct SavedSettingsBlock {
    std::string name;
    std::vector<SavedSetting> values;  // in the order the plug-in saved them
};

// An instance's settings as the host keeps them in a scene: the plug-in's
// own blocks (written by its save message) and its channel values.
struct SavedSettings {
    std::string module;  // the plug-in's registered name
    std::vector<std::pair<std::string, double>> channels;
    std::vector<SavedSettingsBlock> blocks;
};

// A plug-in loaded into a session.
struct Plugin {
    int index = -1;
    bool valid() const { return index >= 0; }
};

// A loaded plug-in: its file and what it registered when it was entered.
struct PluginInfo {
    std::string path;
    PluginRegistration registration;
    size_t messageClasses = 0;  // fxModuleAccess calls
};

// A plug-in's record on one object of the scene.
struct Instance {
    Plugin plugin;
    HostHandle item = 0;
    bool valid() const { return plugin.valid() && item != 0; }
};

// The labels of the effect's popups.
extern const char* const stretchObjectPopup;  // "Stretch object"
extern const char* const squashObjectPopup;   // "Squash object"
extern const char* const weightMapPopup;      // "Weight"

class Session {
public:
    // Plug-ins named by file name alone are looked for in pluginDirectory;
    // empty means defaultPluginDirectory().
    explicit Session(std::string pluginDirectory = {});
    // Destroys the instances still alive (OBJ_DESTROY), then the host.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The folder of the library or program that holds the simulator: where
    // the build and an install put the plug-ins and the provider.
    static std::string defaultPluginDirectory();
    const std::string& pluginDirectory() const { return pluginDirectory_; }

    // The file names the build gives the plug-ins and the provider.
    static const char* const strainmarkFile;
    static const char* const rimshaperFile;
    static const char* const grainmarkFile;
    static const char* const providerFile;

    // Loads and enters a plug-in: a path, or a file name of the plug-in
    // directory. A file loaded before is not loaded again. Throws
    // SessionError with the loader's reason, or with the plug-in's own
    // message when its entry fails.
    Plugin loadPlugin(const std::string& file);
    // Loads the tangent-space provider (a path or a file name, as above) and
    // links the plug-ins to it. Throws SessionError when it cannot.
    void loadProvider(const std::string& file);
    // What the plug-in registered as its name ("Strainmark", "Strainshaper").
    std::string pluginName(Plugin plugin) const;
    PluginInfo pluginInfo(Plugin plugin) const;

    // Adds an object with its rest shape (also its first pose). Point indices
    // out of range are kept as given, as a host would.
    HostHandle addObject(const std::string& name, std::vector<Point3> points,
                         const Polygons& polygons);
    // The same with the caller's points shown uncopied: they must stay alive
    // and unchanged for as long as the session lives.
    HostHandle addObjectLent(const std::string& name, const std::vector<Point3>& points,
                             const Polygons& polygons);
    // Adds a per-point weight map to an object (one value per point).
    HostHandle addWeightMap(HostHandle object, const std::string& name, std::vector<float> values);
    size_t pointCount(HostHandle object) const;
    // Removes an object with the weight maps on it, and the tangent spaces
    // the provider keeps for it, and gives their memory back; their handles
    // then name nothing. Throws SessionError for an object an instance still
    // lives on (destroy it first) or a handle that names no object.
    void removeObject(HostHandle object);

    // Creates the plug-in's instance on an object and builds its panel, as
    // the host does when the user adds it.
    Instance create(Plugin plugin, HostHandle object);
    // Destroys it; the handle is then invalid. Destroying twice is harmless.
    void destroy(Instance& instance);
    // Records of any plug-in still attached to objects of this session.
    size_t attachedRecords() const;

    // Channels and controls, by the names the user sees. Throw SessionError
    // for a name the instance does not have.
    void setChannel(const Instance& instance, const std::string& channel, double value);
    double channel(const Instance& instance, const std::string& channel) const;
    // A check box of the instance's panel, ticked or not, through its callback.
    void setToggle(const Instance& instance, const std::string& label, bool on);
    bool toggle(const Instance& instance, const std::string& label) const;
    // An object or weight-map popup: object is an object or weight-map
    // handle, 0 for none.
    void choose(const Instance& instance, const std::string& label, HostHandle object);

    // The weight tool's scan of the object posed at pose (one position per
    // point): the weight of every point, written to out (pointCount entries).
    void computeWeights(const Instance& instance, const Point3* pose, float* out);
    std::vector<float> computeWeights(const Instance& instance, const std::vector<Point3>& pose);

    // The effect's setup pass: the rest state captured from the object's
    // rest shape and its chosen targets.
    void setupEffect(const Instance& instance);
    // The effect's displacement of the object posed at pose, written to out
    // (pointCount entries); points the effect leaves alone keep the pose.
    void displace(const Instance& instance, const Point3* pose, Point3* out);
    std::vector<Point3> displace(const Instance& instance, const std::vector<Point3>& pose);

    // A plug-in loaded (once) and created on the object. addStrainshaper
    // loads the tangent-space provider first: without it the effect could
    // not correct anything, so its absence is an error. What follows (the
    // settings, the targets, the setup pass) is the driving layer's.
    Instance addStrainmark(HostHandle object);
    Instance addGrainmark(HostHandle object);
    Instance addStrainshaper(HostHandle object);

    // Saves the instance through its save message, with its channel values.
    SavedSettings save(const Instance& instance);
    // Loads settings into the instance through its load message, then sets
    // the channel values they hold. Object references find objects by name.
    // Throws SessionError when they belong to another plug-in.
    void load(const Instance& instance, const SavedSettings& settings);

    // For a process that forks while other threads may be inside calls
    // (pthread_atfork): before the fork, wait for the call in progress and
    // hold the session; after it, the parent lets go and the child gets a
    // session lock of its own, free, with the scene as the last call left it.
    void holdForFork();
    void releaseInParent();
    void resetInChild();

private:
    // The test-facing door to the simulator behind a session (access/session_access.h).
    friend Host& simulatorOf(Session& session);

    struct State;
    std::string pluginDirectory_;
    std::unique_ptr<State> state_;
};

}  // namespace kestrin::host

#endif
