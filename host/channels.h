// Animatable channels of the items, and their links into plug-in records.
//
// A channel belongs to one module's instance on one item and is numbered by
// the index the module gave it. A link is the address of a double inside the
// module's record: before every message and scan the host copies each linked
// channel's current value there, so the plug-in reads animated values from its
// own fields. A link dies with the record (type data cleared, or the item's
// destroy message), so the host never writes into freed memory.
#ifndef KESTRIN_HOST_CHANNELS_H
#define KESTRIN_HOST_CHANNELS_H

#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "kestrin_types.h"

namespace kestrin::host {

struct Channel {
    int module = -1;
    HostHandle item = 0;
    int32_t index = 0;
    std::string name;
    int32_t type = 0;
    double value = 0.0;  // the current value; starts at the default
    double initial = 0.0;
    double low = 0.0;
    double high = 0.0;
    double* link = nullptr;  // the record field it is written into, or null
};

class ChannelStore {
public:
    // fxChannelSetup: creates channel `index` of (module, item) with its
    // default, replacing one of the same index (and dropping its link).
    Channel& setup(int module, HostHandle item, int32_t index, const std::string& name,
                   int32_t type, double initial, double low, double high);
    // fxChannelDataLink: binds an existing channel to a field. False when the
    // channel does not exist or the field is null (nothing is linked).
    bool link(int module, HostHandle item, int32_t index, double* field);
    // Forgets every link into the record of (module, item).
    void dropLinks(int module, HostHandle item);
    // Removes the channels of (module, item) altogether.
    void remove(int module, HostHandle item);

    // Sets the current value of every channel of that name on the item (of
    // any module), as the user or an animation would. Returns how many
    // channels were set; the value reaches linked fields at the next write.
    int set(HostHandle item, const std::string& name, double value);
    // The same for one module's channel only.
    bool set(int module, HostHandle item, const std::string& name, double value);
    // The current value of the item's channel of that name (the first made,
    // whatever the module); empty when there is none.
    std::optional<double> value(HostHandle item, const std::string& name) const;

    const Channel* find(int module, HostHandle item, int32_t index) const;
    const Channel* find(int module, HostHandle item, const std::string& name) const;
    // All channels, in the order they were made.
    const std::vector<Channel>& all() const { return channels_; }
    size_t linkCount() const;

    // Writes every linked channel's current value into its linked field. The
    // host does this before it sends a message or starts a scan.
    void writeLinks();

private:
    Channel* findMutable(int module, HostHandle item, int32_t index);

    std::vector<Channel> channels_;
};

}  // namespace kestrin::host

#endif
