#include "plugin_check_run.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "host.h"
#include "messages.h"
#include "plugin_check_records.h"

namespace kestrin::host::check {
namespace {

// Calls into the provider's functions, counted by wrappers the host
// publishes in their place: the proof that an effect pass used them.
size_t tangentCalls = 0;

template <typename Function, int Slot>
struct Counted;
template <typename Result, typename... Arguments, int Slot>
struct Counted<Result (*)(Arguments...), Slot> {
    static inline Result (*original)(Arguments...) = nullptr;
    static Result call(Arguments... arguments) {
        ++tangentCalls;
        return original(arguments...);
    }
};

template <typename Wrapper>
void wrapPublished(Host& host, const char* name) {
    HostFunction original = host.lookup(name, BIND_PUBLISHED);
    if (original == nullptr) return;
    Wrapper::original = reinterpret_cast<decltype(Wrapper::original)>(original);
    host.publish(name, reinterpret_cast<HostFunction>(&Wrapper::call));
}

void countTangentCalls(Host& host) {
#define TANGENT_CALL(name, result, parameters) \
    wrapPublished<Counted<result(*) parameters, __LINE__>>(host, #name);
#include "tangent_functions.def"
}

struct Message {
    uint32_t messageClass;
    uint64_t subKind;
};

bool declares(const LoadedModule& module, uint32_t messageClass, uint64_t subKinds) {
    for (const ModuleAccessRecord& access : module.access) {
        if (access.messageClass == messageClass && (access.subKindMask & subKinds) != 0) return true;
    }
    return false;
}

// Every declared sub-kind in a working order (linked and created first,
// destroyed last), then classes and sub-kinds nobody declared, high word
// included.
std::vector<Message> messagesToSend(const LoadedModule& module) {
    std::vector<Message> messages = {{MSG_LINK, LINK_FUNCTIONS}, {MSG_OBJECT, OBJ_CREATE},
                                     {MSG_INTERFACE, INTERFACE_BUILD}, {MSG_DISPLAY, DISPLAY_SETUP},
                                     {MSG_OBJECT, OBJ_SAVE}, {MSG_OBJECT, OBJ_LOAD},
                                     {MSG_WEIGHT_TOOL, WEIGHT_COMPUTE}, {MSG_EFFECT, EFFECT_SETUP},
                                     {MSG_EFFECT, EFFECT_DISPLACE}};
    auto listed = [&](uint32_t messageClass, uint64_t subKind) {
        for (const Message& message : messages) {
            if (message.messageClass == messageClass && message.subKind == subKind) return true;
        }
        return messageClass == MSG_OBJECT && subKind == OBJ_DESTROY;
    };
    for (const ModuleAccessRecord& access : module.access) {
        for (int bit = 0; bit < 64; ++bit) {
            const uint64_t subKind = uint64_t{1} << bit;
            if ((access.subKindMask & subKind) != 0 && !listed(access.messageClass, subKind)) {
                messages.push_back({access.messageClass, subKind});
            }
        }
    }
    const uint64_t strays[] = {0, 2, 8, 0x100000001ull, 0xffffffffffffffffull};
    for (uint32_t messageClass = 0; messageClass < 40; ++messageClass) {
        for (uint64_t subKind : strays) {
            if (messageClass == MSG_OBJECT && subKind == 0xffffffffffffffffull) continue;
            messages.push_back({messageClass, subKind});
        }
    }
    messages.push_back({MSG_OBJECT, OBJ_DESTROY});
    return messages;
}

// 3---2
// |   |   the checked item, a unit square; its targets lie a quarter above
// 0---1   and below it, and the displacement poses it 1.5 times as large
std::vector<Point3> square(double scale, double z) {
    return {{0, 0, z}, {scale, 0, z}, {scale, scale, z}, {0, scale, z}};
}

class ChildCheck {
public:
    explicit ChildCheck(int pipe) : records_(pipe), host_(std::make_unique<Host>()) {}

    [[noreturn]] void run(const std::string& pluginPath, const std::string& providerPath) {
        if (!providerPath.empty()) loadProvider(providerPath);
        void* library = open(pluginPath);
        enter(pluginPath);
        sendMessages();
        stage(Stage::Kind::Call, "kestrinExit");
        host_.reset();
        stage(Stage::Kind::Call, "the library's unloading");
        dlclose(library);
        records_.done();
        finish(0);
    }

private:
    [[noreturn]] void fail(const std::string& why) {
        showNew();
        records_.failure(why);
        records_.done();
        finish(0);
    }

    [[noreturn]] static void finish(int status) {
        std::fflush(nullptr);
        _exit(status);
    }

    void stage(Stage::Kind kind, const std::string& what) {
        showNew();
        records_.stage(kind, what);
    }

    // Texts shown to the user since the last record of them.
    void showNew() {
        if (!host_) return;
        for (; shownSent_ < host_->shown.size(); ++shownSent_) {
            records_.shown({host_->shown[shownSent_].title, host_->shown[shownSent_].text});
        }
    }

    void loadProvider(const std::string& path) {
        stage(Stage::Kind::Call, "the tangent-space provider's entry");
        std::string error;
        if (!host_->provider.load(path, &error)) {
            fail(path + ": cannot load the tangent-space provider: " + error);
        }
        countTangentCalls(*host_);
        host_->clearLookups();
        records_.provider(path);
    }

    // Loads the library apart from the host first, so that a file that is
    // no plug-in is told apart from one whose entry fails, and a crash in
    // its initialisers or in kestrinAPI from one in kestrinEntry. Returns
    // the handle, held until the host has let go of the library.
    void* open(const std::string& path) {
        stage(Stage::Kind::Call, "the library's initialisers");
        void* library = dlopen(path.c_str(), host_->dlopenFlags);
        if (library == nullptr) {
            const char* reason = dlerror();
            fail("cannot load plug-in: " + std::string(reason != nullptr ? reason : "unknown reason"));
        }
        auto api = reinterpret_cast<int32_t (*)(void)>(dlsym(library, "kestrinAPI"));
        if (api == nullptr || dlsym(library, "kestrinEntry") == nullptr) {
            if (dlsym(library, "tangentProviderEntry") != nullptr) {
                fail("not a kestrin plug-in: it is the tangent-space provider, which is loaded "
                     "beside the plug-ins");
            }
            fail("not a kestrin plug-in (no kestrinAPI or kestrinEntry)");
        }
        stage(Stage::Kind::Call, "kestrinAPI");
        api();
        return library;
    }

    void enter(const std::string& path) {
        stage(Stage::Kind::Call, "kestrinEntry");
        std::string error;
        module_ = host_->load(path, &error);
        if (module_ < 0) fail("cannot load plug-in: " + error);
        const LoadedModule& loaded = host_->module(module_);
        PluginReport report;
        report.registration = loaded.registration();
        report.lookups = host_->lookups().size();
        for (const ModuleAccessRecord& access : loaded.access) {
            report.declared.push_back({access.messageClass, access.subKindMask});
        }
        records_.registration(report);
        if (loaded.entryResult != 0 || !loaded.registered()) {
            // What the plug-in told the user says why.
            std::string why = "plug-in entry failed with " + std::to_string(loaded.entryResult);
            for (const ShownMessage& shown : host_->shown) why += ": " + shown.title + ": " + shown.text;
            fail(why);
        }
    }

    // Gives each object popup of the plug-in's panel a target, as a user
    // picks the objects an effect reads.
    void chooseTargets() {
        const HostHandle targets[] = {
            host_->scene.addObject("upper target", Mesh(square(1, 0.25), {{0, 1, 2, 3}})),
            host_->scene.addObject("lower target", Mesh(square(1, -0.25), {{0, 1, 2, 3}})),
        };
        std::vector<std::pair<HostHandle, std::string>> popups;
        for (const Control& control : host_->controls.all()) {
            if (control.module == module_ && control.kind == ControlKind::ObjectPopup) {
                popups.emplace_back(control.id, control.label);
            }
        }
        for (const auto& [id, label] : popups) {
            stage(Stage::Kind::Call, "the callback of control \"" + label + "\"");
            host_->changeControlObject(id, item_, targets[targetsChosen_ % 2]);
            ++targetsChosen_;
        }
    }

    int32_t displace() {
        SceneObject& object = *host_->scene.object(item_);
        const std::vector<Point3> pose = square(1.5, 0);
        object.mesh.setCurrent(pose);
        object.output.clear();
        const int32_t answer = host_->displaceEffect(module_, item_);
        pointsMoved_ = 0;
        for (size_t i = 0; i < pose.size() && i < object.output.size(); ++i) {
            const Point3& p = object.output[i];
            if (p.x != pose[i].x || p.y != pose[i].y || p.z != pose[i].z) ++pointsMoved_;
        }
        return answer;
    }

    int32_t send(const Message& message, SettingsContext& context) {
        const auto is = [&](uint32_t messageClass, uint64_t subKind) {
            return message.messageClass == messageClass && message.subKind == subKind;
        };
        if (is(MSG_WEIGHT_TOOL, WEIGHT_COMPUTE)) {
            host_->computeWeights(module_, item_, "check");
            return 0;
        }
        if (is(MSG_EFFECT, EFFECT_SETUP)) return host_->setupEffect(module_, item_);
        if (is(MSG_EFFECT, EFFECT_DISPLACE)) return displace();
        if (is(MSG_LINK, LINK_FUNCTIONS) || is(MSG_INTERFACE, INTERFACE_BUILD)) {
            return host_->send(module_, 0, message.messageClass, message.subKind);
        }
        const bool settings = is(MSG_OBJECT, OBJ_SAVE) || is(MSG_OBJECT, OBJ_LOAD);
        return host_->send(module_, item_, message.messageClass, message.subKind,
                           settings ? &context : nullptr);
    }

    void sendMessages() {
        item_ = host_->scene.addObject("check", Mesh(square(1, 0), {{0, 1, 2, 3}}));
        const LoadedModule& loaded = host_->module(module_);
        const std::vector<Message> messages = messagesToSend(loaded);
        records_.planned(messages.size());
        SettingsContext context;
        for (const Message& message : messages) {
            stage(Stage::Kind::Message, describeMessage(message.messageClass, message.subKind));
            const int32_t answer = send(message, context);
            records_.answered({message.messageClass, message.subKind, answer});
            if (message.messageClass == MSG_INTERFACE && message.subKind == INTERFACE_BUILD) {
                chooseTargets();
            }
        }
        showNew();
        if (declares(loaded, MSG_EFFECT, EFFECT_SETUP | EFFECT_DISPLACE)) {
            PluginReport effect;
            effect.targetsChosen = targetsChosen_;
            effect.pointCount = host_->scene.object(item_)->mesh.pointCount();
            effect.pointsMoved = pointsMoved_;
            effect.tangentCalls = tangentCalls;
            records_.effect(effect);
        }
    }

    RecordWriter records_;
    std::unique_ptr<Host> host_;
    size_t shownSent_ = 0;
    int module_ = -1;
    HostHandle item_ = 0;
    size_t targetsChosen_ = 0;
    size_t pointsMoved_ = 0;
};

}  // namespace

void runChild(const std::string& pluginPath, const std::string& providerPath, int pipe) {
    ChildCheck(pipe).run(pluginPath, providerPath);
}

}  // namespace kestrin::host::check
