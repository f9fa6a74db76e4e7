// Controls panels the modules build, and the values their controls hold.
//
// Each fxCC_* call makes a control record inside the block made last by the
// same module; the host keeps the value a control shows (an integer, an
// object or a weight map) so that fxConGet*/fxConSet* read and write it.
// Tests and the command-line tool act as the user through Host:
// changeControl / refreshControl (host.h).
#ifndef KESTRIN_HOST_CONTROLS_H
#define KESTRIN_HOST_CONTROLS_H

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "kestrin_types.h"

namespace kestrin::host {

enum class ControlKind { Block, ChannelFloat, Bool, WeightPopup, ObjectPopup };

// "fxCC_Bool" for ControlKind::Bool, and so on.
const char* controlKindName(ControlKind kind);

struct Control {
    HostHandle id = 0;
    int module = -1;
    ControlKind kind = ControlKind::Block;
    std::string label;  // a block's title for a block
    ControlCallback callback = nullptr;
    HostHandle block = 0;  // the block it was made in; 0 for blocks and strays
    int32_t channel = -1;  // the channel index of a channel control
    // The remaining creation arguments, as the call log prints them.
    std::vector<std::string> arguments;

    int32_t intValue = 0;        // fxConGetInt / fxConSetInt
    HostHandle objectValue = 0;  // fxConGetObj / fxConSetObj: an object or weight map
    bool positioned = false;     // fxConSetPos was called
    int32_t x = 0;
    int32_t y = 0;
};

// One fxInterfaceBlockSet call.
struct BlockPlacement {
    int module = -1;
    std::string section;
    std::string subSection;  // empty for null
    std::string hostBlock;   // empty for null
    HostHandle ownBlock = 0;
    int32_t flags = 0;
};

// What a module asked for on display set-up (fxInitEffect*).
struct DisplaySetup {
    std::string manipulator;
    uint8_t color[3] = {0, 0, 0};
    std::string tool;
};

class ControlStore {
public:
    // Control handles live apart from scene handles, so that a control
    // passed where an object belongs (or the other way) finds nothing.
    static constexpr HostHandle FIRST_HANDLE = 1001;

    // Makes a block; later controls of that module go into it.
    HostHandle addBlock(int module, const std::string& title);
    // Makes a control inside the module's last block.
    HostHandle add(int module, ControlKind kind, const std::string& label,
                   ControlCallback callback, std::vector<std::string> arguments,
                   int32_t channel = -1);

    Control* find(HostHandle id);
    const Control* find(HostHandle id) const;
    // The control of that label (not a block) that the module made last;
    // null when there is none. Module -1 means any module.
    Control* find(int module, const std::string& label);
    // The controls made in one block, in creation order.
    std::vector<const Control*> inBlock(HostHandle block) const;
    const std::vector<Control>& all() const { return controls_; }
    HostHandle lastBlock(int module) const;

    std::vector<BlockPlacement> placements;
    int32_t interfaceUpdates = 0;  // fxInterfaceUpdate calls
    std::map<int, DisplaySetup> display;  // per module

private:
    std::vector<Control> controls_;
    std::map<int, HostHandle> lastBlock_;
};

}  // namespace kestrin::host

#endif
