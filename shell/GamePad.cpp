#include "shell/GamePad.h"

#include <SDL.h>

#include <array>

namespace pp {
namespace {

// Often enough that a press feels immediate, well under the game's 50 ms tick; without a pad,
// just often enough to notice one plugged in.
constexpr int kPollMs = 16;
constexpr int kIdlePollMs = 250;
constexpr int kEventsPerTake = 32;

}  // namespace

GamePad::GamePad(QObject* parent) : QObject(parent) {
    // Qt owns the signals, and there is no SDL window to hold the focus: pad events count always.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    initialised_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    if (!initialised_) {
        return;
    }
    // Pads already plugged in announce themselves with the same "added" events as new ones.
    connect(&timer_, &QTimer::timeout, this, &GamePad::poll);
    timer_.start(kIdlePollMs);
}

GamePad::~GamePad() {
    for (auto& [id, controller] : controllers_) {
        SDL_GameControllerClose(controller.handle);
    }
    if (initialised_) {
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
}

void GamePad::poll() {
    if (!initialised_) {
        return;
    }
    SDL_PumpEvents();
    std::array<SDL_Event, kEventsPerTake> events{};
    int taken = 0;
    // Only the joystick and controller range: whatever else SDL queues is left for its owner.
    while ((taken = SDL_PeepEvents(events.data(), kEventsPerTake, SDL_GETEVENT, SDL_JOYAXISMOTION,
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
    SDL_GameController* handle = SDL_GameControllerOpen(deviceIndex);
    if (handle == nullptr) {
        return;
    }
    const int id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(handle));
    if (controllers_.contains(id)) {
        SDL_GameControllerClose(handle);  // announced twice: opened once is enough
        return;
    }
    controllers_[id] = Controller{handle, 0};
    timer_.setInterval(kPollMs);
}

void GamePad::removeController(int instanceId) {
    if (auto found = controllers_.find(instanceId); found != controllers_.end()) {
        SDL_GameControllerClose(found->second.handle);
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
