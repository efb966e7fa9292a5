#include "shell/GamePad.h"

#include <QFile>
#include <QFileSystemWatcher>

#include <SDL.h>

#include <array>
#include <charconv>
#include <climits>
#include <vector>

#include "shell/SdlLibrary.h"

namespace pp {
namespace {

// Often enough that a press feels immediate, well under the game's 50 ms tick; without a pad,
// just often enough to notice one plugged in.
constexpr int kPollMs = 16;
constexpr int kIdlePollMs = 250;
constexpr int kEventsPerTake = 32;

// The joystick buttons (BTN_JOYSTICK) up to the last pad button (BTN_THUMBR), from input-event-codes.h.
constexpr unsigned kFirstPadButton = 0x120;
constexpr unsigned kLastPadButton = 0x13e;
// The kernel names a device's node before it lists the device: look again a moment later.
constexpr int kRecheckMs = 500;
const QString kInputFolder = QStringLiteral("/dev/input");

// Whether a "B: KEY=" bitmap (hexadecimal words of a long each, the highest first) sets a pad button.
bool hasPadButton(std::string_view bitmap) {
    std::vector<unsigned long> words;
    while (!bitmap.empty()) {
        const auto space = bitmap.find(' ');
        const std::string_view word = bitmap.substr(0, space);
        unsigned long value = 0;
        std::from_chars(word.data(), word.data() + word.size(), value, 16);
        words.push_back(value);
        bitmap = space == std::string_view::npos ? std::string_view{} : bitmap.substr(space + 1);
    }
    constexpr unsigned kBits = sizeof(unsigned long) * CHAR_BIT;
    for (unsigned code = kFirstPadButton; code <= kLastPadButton; ++code) {
        const std::size_t fromEnd = code / kBits;
        if (fromEnd < words.size() && (words[words.size() - 1 - fromEnd] >> (code % kBits) & 1U) != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

GamePad::GamePad(QObject* parent) : QObject(parent) {}

bool GamePad::start() {
    if (started_) {
        return initialised_;
    }
    started_ = true;
    sdl_ = loadSdl();
    if (sdl_ == nullptr) {
        return false;
    }
    // Qt owns the signals, and there is no SDL window to hold the focus: pad events count always.
    sdl_->setHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    sdl_->setHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    initialised_ = sdl_->initSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    if (!initialised_) {
        return false;
    }
    // Pads already plugged in announce themselves with the same "added" events as new ones.
    connect(&timer_, &QTimer::timeout, this, &GamePad::poll);
    timer_.start(kIdlePollMs);
    return true;
}

void GamePad::watch() {
    startIfPadListed();
    if (started_) {
        return;
    }
    watcher_ = std::make_unique<QFileSystemWatcher>();
    // Without any input device yet the folder itself may be missing: watch /dev until it comes.
    watcher_->addPath(QFile::exists(kInputFolder) ? kInputFolder : QStringLiteral("/dev"));
    connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, this, [this] {
        if (watcher_ && !watcher_->directories().contains(kInputFolder) && QFile::exists(kInputFolder)) {
            watcher_->addPath(kInputFolder);
        }
        startIfPadListed();
        QTimer::singleShot(kRecheckMs, this, &GamePad::startIfPadListed);
    });
}

void GamePad::startIfPadListed() {
    if (started_) {
        return;
    }
    QFile devices(QStringLiteral("/proc/bus/input/devices"));
    // A sequential file: readAll reads to its end whatever its announced size.
    if (!devices.open(QIODevice::ReadOnly) || !listsGamePad(devices.readAll().toStdString())) {
        return;
    }
    // Deleted later: this may run from the watcher's own signal.
    if (watcher_) {
        watcher_.release()->deleteLater();
    }
    start();
}

bool GamePad::listsGamePad(std::string_view devices) {
    while (!devices.empty()) {
        const auto end = devices.find('\n');
        const std::string_view line = devices.substr(0, end);
        devices = end == std::string_view::npos ? std::string_view{} : devices.substr(end + 1);
        if (line.starts_with("H: Handlers=")) {
            const std::string_view handlers = line.substr(12);
            if (handlers.starts_with("js") || handlers.find(" js") != std::string_view::npos) {
                return true;
            }
        } else if (line.starts_with("B: KEY=") && hasPadButton(line.substr(7))) {
            return true;
        }
    }
    return false;
}

GamePad::~GamePad() {
    for (auto& [id, controller] : controllers_) {
        sdl_->gameControllerClose(controller.handle);
    }
    if (initialised_) {
        sdl_->quitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
}

void GamePad::poll() {
    if (!initialised_) {
        return;
    }
    sdl_->pumpEvents();
    std::array<SDL_Event, kEventsPerTake> events{};
    int taken = 0;
    // Only the joystick and controller range: whatever else SDL queues is left for its owner.
    while ((taken = sdl_->peepEvents(events.data(), kEventsPerTake, SDL_GETEVENT, SDL_JOYAXISMOTION,
                                   SDL_CONTROLLERSENSORUPDATE)) > 0) {
        for (int i = 0; i < taken; ++i) {
            const SDL_Event& event = events[static_cast<std::size_t>(i)];
            switch (event.type) {
                case SDL_CONTROLLERDEVICEADDED:
                    addController(event.cdevice.which);
                    break;
                case SDL_CONTROLLERDEVICEREMOVED:
                    removeController(event.cdevice.which);
                    break;
                case SDL_CONTROLLERBUTTONDOWN:
                    if (controllers_.contains(event.cbutton.which)) {
                        buttonDown(event.cbutton.button);
                    }
                    break;
                case SDL_CONTROLLERAXISMOTION:
                    if (auto found = controllers_.find(event.caxis.which);
                        found != controllers_.end() && event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY) {
                        stickMoved(found->second, event.caxis.value);
                    }
                    break;
                default:
                    break;
            }
        }
    }
}

void GamePad::addController(int deviceIndex) {
    SDL_GameController* handle = sdl_->gameControllerOpen(deviceIndex);
    if (handle == nullptr) {
        return;
    }
    const int id = sdl_->joystickInstanceId(sdl_->gameControllerGetJoystick(handle));
    if (controllers_.contains(id)) {
        sdl_->gameControllerClose(handle);  // announced twice: opened once is enough
        return;
    }
    controllers_[id] = Controller{handle, 0};
    timer_.setInterval(kPollMs);
}

void GamePad::removeController(int instanceId) {
    if (auto found = controllers_.find(instanceId); found != controllers_.end()) {
        sdl_->gameControllerClose(found->second.handle);
        controllers_.erase(found);
    }
    if (controllers_.empty()) {
        timer_.setInterval(kIdlePollMs);
    }
}

void GamePad::buttonDown(int button) {
    switch (button) {
        case SDL_CONTROLLER_BUTTON_A:
        case SDL_CONTROLLER_BUTTON_START:
            emit keyPressed(Qt::Key_Return);
            break;
        case SDL_CONTROLLER_BUTTON_DPAD_UP:
            emit keyPressed(Qt::Key_Up);
            break;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
            emit keyPressed(Qt::Key_Down);
            break;
        default:
            break;
    }
}

void GamePad::stickMoved(Controller& controller, int value) {
    // One press per lean: the stick must come back towards the middle, or over to the other
    // side, before it presses again.
    const int direction = value <= -kStickPress ? -1 : value >= kStickPress ? 1 : 0;
    if (direction != 0 && direction != controller.stick) {
        controller.stick = direction;
        emit keyPressed(direction < 0 ? Qt::Key_Up : Qt::Key_Down);
    } else if (value > -kStickRelease && value < kStickRelease) {
        controller.stick = 0;
    }
}

}  // namespace pp
