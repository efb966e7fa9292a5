#pragma once

#include <QObject>
#include <QTimer>

#include <map>
#include <memory>
#include <string_view>

class QFileSystemWatcher;

struct _SDL_GameController;

namespace pp {

struct SdlLibrary;

// Game controllers through SDL's GameController API, any number, plugged in at any time. Their
// buttons come out as the keys the keyboard would press, so nothing past the window knows about
// pads: the D-pad and the left stick move the highlight (Up, Down), the south button (A) and
// Start are Return.
//
// SDL's game-controller subsystem is started on its own, beside the audio that SoundPlayer may
// have started; only joystick and controller events are taken from SDL's queue, from a Qt timer
// on the user-interface thread. Nothing of SDL is loaded until start(): the program calls watch()
// once its first picture is shown, which starts SDL only when the kernel lists a pad, at once or
// when one is plugged in later, so a machine without pads never pays for SDL's threads.
class GamePad final : public QObject {
    Q_OBJECT

public:
    explicit GamePad(QObject* parent = nullptr);
    ~GamePad() override;
    GamePad(const GamePad&) = delete;
    GamePad& operator=(const GamePad&) = delete;

    // Loads SDL and starts its game-controller support, once; true when it runs. Until then,
    // and when it cannot start, there are no pads.
    bool start();

    // Starts SDL now if a pad is plugged in, else when /dev/input changes and the kernel then
    // lists one. The watcher is dropped once SDL runs, which sees later pads itself.
    void watch();

    // Whether a listing in the format of /proc/bus/input/devices names a joystick or game pad:
    // a device with a joystick handler or with keys among the joystick and pad buttons.
    [[nodiscard]] static bool listsGamePad(std::string_view devices);

    // False when SDL's game-controller support has not started or could not: no pads then.
    [[nodiscard]] bool available() const { return initialised_; }
    [[nodiscard]] int controllerCount() const { return static_cast<int>(controllers_.size()); }

    // Takes the controller events waiting; the timer calls it every few milliseconds.
    void poll();

    // How far the stick must lean (of 32767) to count as a press, and how far back it must come
    // before the next one: the gap keeps a stick resting near the edge from chattering.
    static constexpr int kStickPress = 16000;
    static constexpr int kStickRelease = 8000;

signals:
    // A key as the keyboard sends it: Qt::Key_Up, Qt::Key_Down or Qt::Key_Return.
    void keyPressed(int qtKey);

private:
    struct Controller {
        _SDL_GameController* handle = nullptr;
        int stick = 0;  // -1 up, +1 down, 0 at rest
    };

    void addController(int deviceIndex);
    void removeController(int instanceId);
    void buttonDown(int button);
    void stickMoved(Controller& controller, int value);
    void startIfPadListed();

    const SdlLibrary* sdl_ = nullptr;
    bool started_ = false;
    bool initialised_ = false;
    std::map<int, Controller> controllers_;  // by SDL joystick instance id
    QTimer timer_;
    std::unique_ptr<QFileSystemWatcher> watcher_;
};

}  // namespace pp
