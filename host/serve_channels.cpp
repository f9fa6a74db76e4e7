// Channels and their links into plug-in records.
#include "host.h"
#include "served.h"

namespace kestrin::host::served {

int32_t fxChannelSetup(HostHandle item, const char* name, int32_t index, int32_t type,
                       double initial, double low, double high, int32_t flags) {
    Host* host = Host::active();
    host->log.record(__func__, item, name, index, type, initial, low, high, flags);
    host->channels.setup(host->callingModule(), item, index, name != nullptr ? name : "", type,
                         initial, low, high);
    return 0;
}

int32_t fxChannelDataLink(HostHandle item, int32_t index, int32_t kind, double* field,
                          int32_t flags) {
    Host* host = Host::active();
    host->log.record(__func__, item, index, kind, field, flags);
    return host->channels.link(host->callingModule(), item, index, field) ? 0 : 1;
}

}  // namespace kestrin::host::served

namespace kestrin::host {

Channel* ChannelStore::findMutable(int module, HostHandle item, int32_t index) {
    for (Channel& channel : channels_) {
        if (channel.module == module && channel.item == item && channel.index == index) {
            return &channel;
        }
    }
    return nullptr;
}

const Channel* ChannelStore::find(int module, HostHandle item, int32_t index) const {
    return const_cast<ChannelStore*>(this)->findMutable(module, item, index);
}

const Channel* ChannelStore::find(int module, HostHandle item, const std::string& name) const {
    for (const Channel& channel : channels_) {
        if (channel.module == module && channel.item == item && channel.name == name) {
            return &channel;
        }
    }
    return nullptr;
}

Channel& ChannelStore::setup(int module, HostHandle item, int32_t index, const std::string& name,
                             int32_t type, double initial, double low, double high) {
    Channel* channel = findMutable(module, item, index);
    if (channel == nullptr) {
        channels_.emplace_back();
        channel = &channels_.back();
    }
    *channel = Channel{module, item, index, name, type, initial, initial, low, high, nullptr};
    return *channel;
}

bool ChannelStore::link(int module, HostHandle item, int32_t index, double* field) {
    Channel* channel = findMutable(module, item, index);
    if (channel == nullptr || field == nullptr) return false;
    channel->link = field;
    return true;
}

void ChannelStore::dropLinks(int module, HostHandle item) {
    for (Channel& channel : channels_) {
        if (channel.module == module && channel.item == item) channel.link = nullptr;
    }
}

void ChannelStore::remove(int module, HostHandle item) {
    std::vector<Channel> kept;
    for (Channel& channel : channels_) {
        if (channel.module != module || channel.item != item) kept.push_back(std::move(channel));
    }
    channels_ = std::move(kept);
}

int ChannelStore::set(HostHandle item, const std::string& name, double value) {
    int count = 0;
    for (Channel& channel : channels_) {
        if (channel.item == item && channel.name == name) {
            channel.value = value;
            ++count;
        }
    }
    return count;
}

bool ChannelStore::set(int module, HostHandle item, const std::string& name, double value) {
    for (Channel& channel : channels_) {
        if (channel.module == module && channel.item == item && channel.name == name) {
            channel.value = value;
            return true;
        }
    }
    return false;
}

std::optional<double> ChannelStore::value(HostHandle item, const std::string& name) const {
    for (const Channel& channel : channels_) {
        if (channel.item == item && channel.name == name) return channel.value;
    }
    return std::nullopt;
}

size_t ChannelStore::linkCount() const {
    size_t count = 0;
    for (const Channel& channel : channels_) count += channel.link != nullptr ? 1 : 0;
    return count;
}

void ChannelStore::writeLinks() {
    for (Channel& channel : channels_) {
        if (channel.link != nullptr) *channel.link = channel.value;
    }
}

}  // namespace kestrin::host
