#include "setting_lists.h"

#include <algorithm>
#include <stdexcept>

namespace kestrin::drive {

std::string keywordOf(const char* option) {
    std::string keyword(option);
    std::replace(keyword.begin(), keyword.end(), '-', '_');
    return keyword;
}

const ChannelSetting& channelSetting(const std::string& option) {
    for (const ChannelSetting& channel : channelSettings) {
        if (option == channel.option) return channel;
    }
    throw std::logic_error("no channel has the option " + option);
}

const MeasureSetting* measureSetting(const std::string& direction) {
    for (const MeasureSetting& measure : measureSettings) {
        if (direction == measure.direction) return &measure;
    }
    return nullptr;
}

bool isTensionChannel(const std::string& name) {
    for (const ChannelSetting& channel : channelSettings) {
        if (name == channel.name) return true;
    }
    return false;
}

const ToggleSetting& toggleSetting(const std::string& option) {
    for (const ToggleSetting& toggle : toggleSettings) {
        if (option == toggle.option) return toggle;
    }
    throw std::logic_error("no check box has the option " + option);
}

}  // namespace kestrin::drive
