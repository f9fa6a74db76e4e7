// The two plug-ins as a user sets them up in the host, written once for every
// driver (the kestrin tool, the Python module, the benchmarks, the fuzz
// targets): a mesh added to the scene, the plug-in created on it, its
// settings applied in the order a user applies them, then one pose at a time.
// Nothing here computes tension; the plug-ins do, through the session.
#ifndef KESTRIN_DRIVE_PLUGIN_INSTANCES_H
#define KESTRIN_DRIVE_PLUGIN_INSTANCES_H

#include <stddef.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kestrin_types.h"
#include "polygons.h"
#include "session.h"

namespace kestrin::drive {

// What the user asked for. Only the settings given are applied; the
// plug-in's defaults stand for the rest.
struct PluginSettings {
    std::string loadFrom;  // a settings file to load first, or ""
    std::vector<std::pair<std::string, double>> channels;  // channel name -> value
    std::vector<std::pair<std::string, bool>> toggles;     // check box label -> ticked
};

// How the scene holds a plug-in's rest points: a copy of its own, or the
// caller's, uncopied, for a caller that keeps them alive and unchanged for
// as long as the session lives (the tool, whose rest mesh outlives it).
enum class RestPoints { copied, lent };

// The scene objects one plug-in instance works on are named "mesh",
// "stretch target" ... followed by this tag (" 3"), so that several
// instances in one scene can tell theirs apart in saved settings; "" for a
// scene of one instance.
struct ObjectNames {
    std::string tag;
    std::string operator()(const char* what) const { return what + tag; }
};

// One instance of a plug-in on its own mesh of a session's scene. The
// instance is destroyed with this object, or before by close(), and the
// objects added for it (mesh, targets, weight maps) leave the scene with it.
class Attached {
public:
    Attached(const Attached&) = delete;
    Attached& operator=(const Attached&) = delete;
    virtual ~Attached();

    // Destroys the instance (OBJ_DESTROY) and removes the objects added for
    // it; later calls throw SessionError. Not to be called while another
    // thread is inside a call of this object: callers that share one across
    // threads serialise close against their calls.
    void close();
    bool closed() const { return !instance_.valid(); }
    size_t pointCount() const { return pointCount_; }
    const host::Instance& instance() const { return instance_; }

    // Channels and check boxes by the names the user sees; SessionError for
    // a name the plug-in does not have.
    void setChannel(const std::string& name, double value);
    double channel(const std::string& name) const;
    void setToggle(const std::string& label, bool on);
    bool toggle(const std::string& label) const;

    // The settings file text of this instance (its save message's blocks and
    // its channel values), and the same written to a file atomically.
    std::string settingsText();
    void saveSettings(const std::string& path);
    // Applies a settings file: one of this plug-in loads whole; one of the
    // other plug-in gives its channel values only (the five are the same),
    // and loadNote() then says that the rest does not apply. Throws
    // formats::FormatError naming the file when it cannot be read or belongs
    // to neither plug-in; whatever fails, the instance keeps the settings it
    // had.
    virtual void loadSettings(const std::string& path);
    // What the latest settings file applied (loadSettings, or the one the
    // settings given at creation named) left out, in a sentence for the user
    // ("PATH holds settings of ..."); empty when it applied whole. Its
    // driver tells the user: the tool on standard error, the Python module
    // as a warning, the Blender add-on in its report.
    const std::string& loadNote() const { return loadNote_; }

protected:
    Attached(host::Session& session, size_t pointCount);
    // The instance, or SessionError when closed.
    const host::Instance& live() const;
    // Runs f; when it throws, destroys the instance first: an instance whose
    // set-up failed leaves no record attached.
    template <typename F>
    void orDestroy(F&& f);
    void apply(const PluginSettings& settings);
    // An object added to the scene for this instance, removed when it closes.
    HostHandle own(HostHandle object);
    // Runs f; when it throws, puts the instance's settings back as they were.
    template <typename F>
    void orRestore(F&& f);
    // What a Strainshaper does after any load: its own targets chosen again,
    // the rest state captured again.
    virtual void afterLoad() {}
    // A read settings file applied as loadSettings says, without the restore.
    void loadFile(const std::string& path);
    void loadChecked(const std::string& path, const host::SavedSettings& settings);

    host::Session& session_;
    host::Instance instance_;
    size_t pointCount_;
    std::vector<HostHandle> owned_;
    std::string loadNote_;
};

// The weight tools: Strainmark (edge tension) and Grainmark (the surface's
// stretch along an axis, across it, in area, most or least).
enum class WeightToolKind { Strainmark, Grainmark };

// A weight tool on a mesh.
class WeightTool : public Attached {
public:
    // points and polygons: the rest shape. Settings: a file, then channel
    // values, then check boxes (Grainmark's measure is one of them).
    WeightTool(WeightToolKind kind, host::Session& session, const std::vector<Point3>& points,
               const Polygons& polygons, const PluginSettings& settings, const ObjectNames& names = {},
               RestPoints rest = RestPoints::copied);

    // The weight of every point for the mesh posed at `pose` (pointCount()
    // positions), into out (pointCount() entries).
    void compute(const Point3* pose, float* out);
    std::vector<float> compute(const std::vector<Point3>& pose);
};

// Strainmark on a mesh.
class Strainmark : public WeightTool {
public:
    Strainmark(host::Session& session, const std::vector<Point3>& points, const Polygons& polygons,
               const PluginSettings& settings, const ObjectNames& names = {})
        : WeightTool(WeightToolKind::Strainmark, session, points, polygons, settings, names) {}
};

// Grainmark on a mesh.
class Grainmark : public WeightTool {
public:
    Grainmark(host::Session& session, const std::vector<Point3>& points, const Polygons& polygons,
              const PluginSettings& settings, const ObjectNames& names = {})
        : WeightTool(WeightToolKind::Grainmark, session, points, polygons, settings, names) {}
};

// When a new Strainshaper's setup pass runs: as the last step of its
// construction, or at the caller's capture() (a benchmark timing that pass
// alone). Until then the effect displaces nothing.
enum class SetupPass { Now, Later };

// The Strainshaper effect on a mesh, with its stretch and squash targets and
// an optional weight map scaling how far each point moves.
class Strainshaper : public Attached {
public:
    // A settings file first (its own target choices give way to these),
    // then the targets chosen in the panel, then channel values and check
    // boxes, then the setup pass, which captures the rest state. Targets and
    // weight map hold one entry per point; the targets go to the scene as
    // they are (a caller done with them moves them in: no second copy).
    Strainshaper(host::Session& session, const std::vector<Point3>& points, const Polygons& polygons,
                 std::vector<Point3> stretchTarget, std::vector<Point3> squashTarget,
                 const std::optional<std::vector<float>>& weightMap, const PluginSettings& settings,
                 const ObjectNames& names = {}, SetupPass setupPass = SetupPass::Now,
                 RestPoints rest = RestPoints::copied);

    // The setup pass as the host sends it. The effect captures its rest
    // state in the first one after it was created or its settings loaded;
    // later ones keep what it holds.
    void capture();

    // The corrected positions for the mesh posed at `pose`; the pose itself
    // where the effect displaced nothing.
    void displace(const Point3* pose, Point3* out);
    std::vector<Point3> displace(const std::vector<Point3>& pose);

private:
    void chooseTargets();
    void afterLoad() override;

    HostHandle stretch_ = 0;
    HostHandle squash_ = 0;
    HostHandle weightMap_ = 0;
};

}  // namespace kestrin::drive

#endif
