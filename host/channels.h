// Animatable channels of the items, and their links into plug-in records.
#ifndef KESTRIN_HOST_CHANNELS_H
#define KESTRIN_HOST_CHANNELS_H

#include "kestrin_types.h"

namespace kestrin::host {

class ChannelStore {
public:
    // Writes every linked channel's current value into its linked field. The
    // host does this before it sends a message or starts a scan.
    void writeLinks();
};

}  // namespace kestrin::host

#endif
