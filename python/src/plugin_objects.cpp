#include "plugin_objects.h"

#include <pthread.h>
#include <unistd.h>

namespace kestrin::python {
namespace {

std::mutex sessionMutex;
int lastSerial = 0;
// The session the fork handlers hold; set once, never released.
host::Session* forkedSession = nullptr;

void holdForFork() {
    if (forkedSession != nullptr) forkedSession->holdForFork();
}
void releaseInParent() {
    if (forkedSession != nullptr) forkedSession->releaseInParent();
}
void resetInChild() {
    if (forkedSession != nullptr) forkedSession->resetInChild();
}

}  // namespace

std::shared_ptr<host::Session> sharedSession() {
    std::lock_guard<std::mutex> lock(sessionMutex);
    // Never released: objects Python frees at exit may still reach it, and
    // each of them holds it too.
    static std::shared_ptr<host::Session> session;
    if (!session) {
        session = std::make_shared<host::Session>();
        forkedSession = session.get();
        pthread_atfork(holdForFork, releaseInParent, resetInChild);
    }
    return session;
}

void CallGuard::forgetParentCalls() {
    // Calls counted in another process ran on threads this one does not have.
    const pid_t self = getpid();
    if (process_ != self) {
        process_ = self;
        running_ = 0;
    }
}

void CallGuard::enter() {
    std::lock_guard<std::mutex> lock(mutex_);
    forgetParentCalls();
    if (closed_) throw host::SessionError("the object is closed");
    ++running_;
}

void CallGuard::leave() {
    std::lock_guard<std::mutex> lock(mutex_);
    forgetParentCalls();
    if (running_ > 0) --running_;
    if (running_ == 0) idle_.notify_all();
}

bool CallGuard::closeAfterCalls() {
    std::unique_lock<std::mutex> lock(mutex_);
    forgetParentCalls();
    if (closed_) return false;
    closed_ = true;
    idle_.wait(lock, [&] { return running_ == 0; });
    return true;
}

bool CallGuard::closed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

SessionHold::SessionHold() : session(sharedSession()) {
    std::lock_guard<std::mutex> lock(sessionMutex);
    names.tag = " " + std::to_string(++lastSerial);
}

WeightToolObject::WeightToolObject(drive::WeightToolKind kind, const std::vector<Point3>& points,
                                   const Polygons& polygons, const drive::PluginSettings& settings)
    : drive::WeightTool(kind, *session, points, polygons, settings, names) {}

StrainshaperObject::StrainshaperObject(const std::vector<Point3>& points, const Polygons& polygons,
                                       const std::vector<Point3>& stretch, const std::vector<Point3>& squash,
                                       const std::optional<std::vector<float>>& weightMap,
                                       const drive::PluginSettings& settings)
    : drive::Strainshaper(*session, points, polygons, stretch, squash, weightMap, settings, names) {}

}  // namespace kestrin::python
