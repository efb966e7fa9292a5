#pragma once

#include <QString>

#include "shell/QtSurface.h"
#include "tools/replay/Replay.h"

namespace pp::replay {

// Paints on the program's own QPainter surface and writes every frame, in paint order, as
// FOLDER/NNNNN-Screen.png (00001 first). Needs a QGuiApplication.
class PngFrames final : public FrameSink {
public:
    PngFrames(const QString& folder, int scale);

    // Whether the folder exists or could be made; frames cannot be written otherwise.
    [[nodiscard]] bool ready() const { return ready_; }

    Surface& surface() override { return surface_; }
    void beginFrame() override { surface_.beginPaint(); }
    bool endFrame(Screen painted, std::string& failure) override;

private:
    QString folder_;
    QtSurface surface_;
    int framesWritten_ = 0;
    bool ready_ = false;
};

}  // namespace pp::replay
