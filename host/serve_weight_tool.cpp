// Weight-tool scans.
#include "host.h"
#include "messages.h"
#include "served.h"

namespace kestrin::host::served {

int32_t fxWeightToolValueSet(int32_t point, float weight, int32_t flags) {
    Host* host = Host::active();
    WeightScanState& scan = host->weightScan;
    WeightMap* map = host->scene.weightMap(scan.map);
    int32_t result = 1;
    if (!scan.scanning || map == nullptr) {
        ++scan.strayWrites;
    } else if (point >= 0 && point < static_cast<int32_t>(map->values.size())) {
        map->values[point] = weight;
        result = 0;
    }
    // Recorded last, so that the unrecorded path makes no call at all.
    if (host->log.enabled()) {
        if (scan.scanning && map != nullptr) scan.writes.push_back({point, weight});
        host->log.record(__func__, point, weight, flags);
    }
    return result;
}

// Scans only for the item of the computation in progress: there is no map
// to fill otherwise. A scan does not start inside another.
int32_t fxWeightToolScan(HostHandle item, void* instance, WeightToolRoutine routine,
                         int32_t flags) {
    Host* host = Host::active();
    host->log.record(__func__, item, instance, routine, flags);
    WeightScanState& scan = host->weightScan;
    const SceneObject* object = host->scene.object(item);
    if (routine == nullptr || scan.scanning || scan.map == 0 || item != scan.item ||
        object == nullptr) {
        return 1;
    }
    host->channels.writeLinks();
    scan.writes.clear();
    scan.scanning = true;
    ++scan.scans;
    // Point numbers 1..n unless a test chose its own; counted, not listed,
    // so that a scan allocates nothing.
    if (scan.pointNumbers.empty()) {
        const int32_t points = object->mesh.pointCount();
        for (int32_t number = 1; number <= points; ++number) {
            routine(nullptr, item, number, 0, 0, instance);
        }
    } else {
        const std::vector<int32_t> numbers = scan.pointNumbers;
        for (int32_t number : numbers) routine(nullptr, item, number, 0, 0, instance);
    }
    scan.scanning = false;
    return 0;
}

}  // namespace kestrin::host::served

namespace kestrin::host {

HostHandle Host::computeWeights(int module, HostHandle item, const std::string& mapName) {
    SceneObject* object = scene.object(item);
    if (object == nullptr) return 0;
    const HostHandle map = scene.addWeightMap(item, mapName);
    // A new computation starts from a cleared map at the mesh's present size,
    // so a point the tool leaves unwritten reads 0.
    scene.weightMap(map)->values.assign(object->mesh.pointCount(), 0.0f);
    weightScan.item = item;
    weightScan.map = map;
    weightScan.writes.clear();
    send(module, item, MSG_WEIGHT_TOOL, WEIGHT_COMPUTE);
    weightScan.item = 0;
    weightScan.map = 0;
    return map;
}

}  // namespace kestrin::host
