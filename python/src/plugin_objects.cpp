#include "plugin_objects.h"

#include <mutex>
#include <stdexcept>

namespace kestrin::python {
namespace {

// Creates an instance; destroys it again when what follows throws, so that
// bad settings leave no record attached.
template <typename F>
void orDestroy(host::Session& session, host::Instance& instance, F&& f) {
    try {
        f();
    } catch (...) {
        session.destroy(instance);
        throw;
    }
}

std::mutex sessionMutex;
int lastSerial = 0;

}  // namespace

std::shared_ptr<host::Session> sharedSession() {
    std::lock_guard<std::mutex> lock(sessionMutex);
    // Never released: objects Python frees at exit may still reach it, and
    // each of them holds it too.
    static std::shared_ptr<host::Session> session;
    if (!session) session = std::make_shared<host::Session>();
    return session;
}

Attached::Attached(size_t pointCount) : session_(sharedSession()), pointCount_(pointCount) {
    std::lock_guard<std::mutex> lock(sessionMutex);
    serial_ = ++lastSerial;
}

Attached::~Attached() { close(); }

void Attached::close() {
    if (instance_.valid()) session_->destroy(instance_);
}

const host::Instance& Attached::live() const {
    if (!instance_.valid()) throw std::invalid_argument("the object is closed");
    return instance_;
}

std::string Attached::uniqueName(const char* what) const {
    return std::string(what) + " " + std::to_string(serial_);
}

void Attached::setChannel(const std::string& name, double value) { session_->setChannel(live(), name, value); }
double Attached::channel(const std::string& name) const { return session_->channel(live(), name); }
void Attached::setToggle(const std::string& label, bool on) { session_->setToggle(live(), label, on); }
bool Attached::toggle(const std::string& label) const { return session_->toggle(live(), label); }

void Attached::saveSettings(const std::string& path) { tool::saveSettingsFile(*session_, live(), path); }
void Attached::loadSettings(const std::string& path) { tool::loadSettingsFile(*session_, live(), path); }

WeightToolObject::WeightToolObject(std::vector<Point3> points, const Polygons& polygons,
                                   const tool::PluginSettings& settings)
    : Attached(points.size()) {
    const HostHandle item = session_->addObject(uniqueName("mesh"), std::move(points), polygons);
    instance_ = session_->addStrainmark(item);
    orDestroy(*session_, instance_, [&] {
        for (const auto& [name, value] : settings.channels) session_->setChannel(instance_, name, value);
        for (const auto& [label, on] : settings.toggles) session_->setToggle(instance_, label, on);
    });
}

void WeightToolObject::weights(const Point3* poses, size_t poseCount, float* out) {
    const host::Instance instance = live();
    for (size_t i = 0; i < poseCount; ++i) {
        session_->computeWeights(instance, poses + i * pointCount_, out + i * pointCount_);
    }
}

EffectObject::EffectObject(std::vector<Point3> points, const Polygons& polygons, std::vector<Point3> stretch,
                           std::vector<Point3> squash, std::optional<std::vector<float>> weightMap,
                           const tool::PluginSettings& settings)
    : Attached(points.size()) {
    if (stretch.size() != pointCount_ || squash.size() != pointCount_ ||
        (weightMap && weightMap->size() != pointCount_)) {
        throw std::invalid_argument("targets and weight map need one entry per point of the mesh");
    }
    const HostHandle item = session_->addObject(uniqueName("mesh"), std::move(points), polygons);
    stretch_ = session_->addObject(uniqueName("stretch target"), std::move(stretch), polygons);
    squash_ = session_->addObject(uniqueName("squash target"), std::move(squash), polygons);
    if (weightMap) weightMap_ = session_->addWeightMap(item, uniqueName("weights"), std::move(*weightMap));
    instance_ = session_->addStrainshaper(item);
    orDestroy(*session_, instance_, [&] {
        chooseTargets();
        for (const auto& [name, value] : settings.channels) session_->setChannel(instance_, name, value);
        session_->setupEffect(instance_);
    });
}

void EffectObject::chooseTargets() {
    const host::Instance& instance = live();
    session_->choose(instance, host::stretchObjectPopup, stretch_);
    session_->choose(instance, host::squashObjectPopup, squash_);
    if (weightMap_ != 0) session_->choose(instance, host::weightMapPopup, weightMap_);
}

void EffectObject::displace(const Point3* poses, size_t poseCount, Point3* out) {
    const host::Instance instance = live();
    for (size_t i = 0; i < poseCount; ++i) {
        session_->displace(instance, poses + i * pointCount_, out + i * pointCount_);
    }
}

void EffectObject::loadSettings(const std::string& path) {
    Attached::loadSettings(path);
    chooseTargets();
    session_->setupEffect(live());
}

}  // namespace kestrin::python
