#pragma once

#include <QObject>
#include <QTimer>

#include <map>

struct _SDL_GameController;

namespace pp {

// Game controllers through SDL's GameController API, any number, plugged in at any time. Their
// buttons come out as the keys the keyboard would press, so nothing past the window knows about
// pads: the D-pad and the left stick move the highlight (Up, Down), the south button (A) and
// Start are Return.
//
// SDL's game-controller subsystem is started on its own, beside the audio that SoundPlayer may
// have started; only joystick and controller events are taken from SDL's queue, from a Qt timer
// on the user-interface thread.
class GamePad final : public QObject {
    Q_OBJECT

public:
    explicit GamePad(QObject* parent = nullptr);
    ~GamePad() override;
    GamePad(const GamePad&) = delete;
    GamePad& operator=(const GamePad&) = delete;

    // False when SDL could not start its game-controller support: there are no pads then.
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

    bool initialised_ = false;
    std::map<int, Controller> controllers_;  // by SDL joystick instance id
    QTimer timer_;
};

}  // namespace pp
