// The character icons: one-eyed creatures of one family that grow and gain features level by level.
#include "tools/assetgen/Mask.h"
#include "tools/assetgen/Palette.h"
#include "tools/assetgen/Pictures.h"

#include <QPainterPath>
#include <QPolygonF>

#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>

namespace pp::assetgen {
namespace {

constexpr int kIconSize = 32;
constexpr double kCentreX = 16.0;
constexpr double kGround = 30.0;  // the feet stand on this line

enum class Crest { Sprout, Antenna, Horns, Ears, Fin, Rays, Wings, Crown, Cap };
enum class Mouth { Smile, Open, Grin, Fangs };

struct Creature {
    ink::Ramp body;
    QRgb background;
    QRgb iris;
    double halfWidth;   // of the body's ellipse
    double halfHeight;
    Crest crest;
    Mouth mouth;
    double eyeRadius;
    int lookX = 0;      // where the pupil looks, in pixels from the eye's centre
    int lookY = 0;
    bool armsUp = false;
    bool fierce = false;  // a heavy lid over the eye
    bool blush = false;
};

// Level by level the creature grows and gains a feature; the last one wears a crown and frowns.
Creature creatureFor(int id) {
    switch (id) {
    case 125:
        return {.body = ink::kLimeRamp, .background = ink::kBlack, .iris = ink::kBlack,
                .halfWidth = 8, .halfHeight = 7, .crest = Crest::Sprout, .mouth = Mouth::Smile,
                .eyeRadius = 4.5, .lookY = 1};
    case 131:
        return {.body = ink::kSunRamp, .background = ink::kBlack, .iris = ink::kBlack,
                .halfWidth = 9, .halfHeight = 8, .crest = Crest::Antenna, .mouth = Mouth::Open,
                .eyeRadius = 4.5, .lookX = 1};
    case 126:
        return {.body = ink::kEmberRamp, .background = ink::kNavy, .iris = ink::kBlack,
                .halfWidth = 9.5, .halfHeight = 8.5, .crest = Crest::Horns, .mouth = Mouth::Grin,
                .eyeRadius = 5, .lookX = -1};
    case 130:
        return {.body = ink::kPinkRamp, .background = ink::kMaroon, .iris = ink::kBlack,
                .halfWidth = 10, .halfHeight = 9, .crest = Crest::Ears, .mouth = Mouth::Open,
                .eyeRadius = 5, .lookY = -1, .armsUp = true, .blush = true};
    case 123:
        return {.body = ink::kSkyRamp, .background = ink::kTeal, .iris = ink::kBlack,
                .halfWidth = 11, .halfHeight = 10.5, .crest = Crest::Fin, .mouth = Mouth::Grin,
                .eyeRadius = 5, .lookX = 1, .lookY = 1};
    case 124:
        return {.body = ink::kCreamRamp, .background = ink::kGold, .iris = ink::kBlack,
                .halfWidth = 11.5, .halfHeight = 10.5, .crest = Crest::Rays, .mouth = Mouth::Open,
                .eyeRadius = 5.5, .armsUp = true};
    case 127:
        return {.body = ink::kMintRamp, .background = ink::kPurple, .iris = ink::kBlack,
                .halfWidth = 12, .halfHeight = 11, .crest = Crest::Wings, .mouth = Mouth::Fangs,
                .eyeRadius = 5.5, .lookX = -1, .lookY = 1};
    case 128:
        return {.body = ink::kSteelRamp, .background = ink::kBlack, .iris = ink::kEyeRed,
                .halfWidth = 13, .halfHeight = 11.5, .crest = Crest::Crown, .mouth = Mouth::Fangs,
                .eyeRadius = 6, .lookY = 1, .fierce = true};
    case 129:  // the study creature, in a mortarboard and with a monocle
        return {.body = ink::kMagentaRamp, .background = ink::kWhite, .iris = ink::kEyeGreen,
                .halfWidth = 10, .halfHeight = 9, .crest = Crest::Cap, .mouth = Mouth::Smile,
                .eyeRadius = 5, .lookX = 1, .lookY = 1};
    default:
        throw std::out_of_range("no character icon with id " + std::to_string(id));
    }
}

struct Layout {
    double centreY;
    double top;
    double eyeX;
    double eyeY;
};

Layout layoutOf(const Creature& c) {
    const double centreY = kGround - 2 - c.halfHeight;
    return {centreY, centreY - c.halfHeight, kCentreX, centreY - c.halfHeight * 0.22};
}

QRectF around(double x, double y, double halfWidth, double halfHeight) {
    return {x - halfWidth, y - halfHeight, 2 * halfWidth, 2 * halfHeight};
}

// Triangles standing out of the top of the body like the rays of a sun, `spacing` radians apart.
void drawSpikes(QPainter& p, const Creature& c, const Layout& at, int count, double spacing,
                double halfBase) {
    constexpr double kLength = 5.5;
    for (int i = 0; i < count; ++i) {
        const double angle = (i - (count - 1) / 2.0) * spacing;
        const QPointF base(kCentreX + std::sin(angle) * c.halfWidth * 0.9,
                           at.centreY - std::cos(angle) * c.halfHeight * 0.9);
        const QPointF tip(kCentreX + std::sin(angle) * (c.halfWidth + kLength),
                          at.centreY - std::cos(angle) * (c.halfHeight + kLength));
        const QPointF across(halfBase * std::cos(angle), halfBase * std::sin(angle));
        p.drawPolygon(QPolygonF{base - across, tip, base + across});
    }
}

// Body, feet, arms, ears and spikes: everything painted in the body's own tones.
Mask bodyShape(const Creature& c, const Layout& at) {
    return Mask::fromDrawing(kIconSize, kIconSize, [&](QPainter& p) {
        p.drawEllipse(around(kCentreX, at.centreY, c.halfWidth, c.halfHeight));
        for (double side : {-1.0, 1.0}) {
            p.drawEllipse(around(kCentreX + side * c.halfWidth * 0.5, kGround - 1.5, 3, 2));
            const double armY = c.armsUp ? at.centreY - c.halfHeight * 0.45 : at.centreY + 2;
            p.drawEllipse(around(kCentreX + side * (c.halfWidth + 0.5), armY, 2.5, 2));
        }
        if (c.crest == Crest::Ears) {
            for (double side : {-1.0, 1.0}) {
                p.save();
                p.translate(kCentreX + side * 4.5, at.top - 2);
                p.rotate(side * 14);
                p.drawEllipse(around(0, 0, 2.5, 6));
                p.restore();
            }
        }
        if (c.crest == Crest::Rays) {
            drawSpikes(p, c, at, 5, 0.55, 2.2);
        } else if (c.crest == Crest::Fin) {
            drawSpikes(p, c, at, 3, 0.4, 2.8);
        }
    });
}

// Parts in colours of their own: horns, crown, cap, antenna, sprout, wings.
struct Accent {
    Mask shape;
    QRgb fill;
    QRgb outline;
};

std::vector<Accent> accentsOf(const Creature& c, const Layout& at) {
    std::vector<Accent> accents;
    auto add = [&](QRgb fill, QRgb outline, const std::function<void(QPainter&)>& draw) {
        accents.push_back({Mask::fromDrawing(kIconSize, kIconSize, draw), fill, outline});
    };
    switch (c.crest) {
    case Crest::Sprout:
        add(ink::kLimeOutline, ink::kLimeOutline,
            [&](QPainter& p) { p.drawRect(QRectF(15, at.top - 3, 1, 3)); });
        add(ink::kLimeLight, ink::kLimeOutline, [&](QPainter& p) {
            p.drawEllipse(around(12.5, at.top - 4, 2.5, 1.5));
            p.drawEllipse(around(18.5, at.top - 5, 2.5, 1.5));
        });
        break;
    case Crest::Antenna:
        add(ink::kSunOutline, ink::kSunOutline,
            [&](QPainter& p) { p.drawRect(QRectF(17, at.top - 5, 1, 5)); });
        add(ink::kEmber, ink::kEmberOutline,
            [&](QPainter& p) { p.drawEllipse(around(17.5, at.top - 6.5, 2, 2)); });
        break;
    case Crest::Horns:
        add(ink::kCreamLight, ink::kCreamOutline, [&](QPainter& p) {
            for (double side : {-1.0, 1.0}) {
                const double x = kCentreX + side * 5;
                p.drawPolygon(QPolygonF{
                    {x - 2.5, at.top + 2.5}, {x + side * 2, at.top - 5}, {x + 2.5, at.top + 2.5}});
            }
        });
        break;
    case Crest::Wings:
        add(ink::kMintShade, ink::kMintOutline, [&](QPainter& p) {
            for (double side : {-1.0, 1.0}) {
                const double x = kCentreX + side * (c.halfWidth - 1);
                const double y = at.centreY - 2;
                p.drawPolygon(QPolygonF{{x, y - 3}, {x + side * 6, y - 9}, {x + side * 5, y - 4},
                                        {x + side * 7, y - 2}, {x + side * 4, y + 1},
                                        {x + side * 5, y + 3}, {x, y + 2}});
            }
        });
        break;
    case Crest::Crown:
        add(ink::kYellow, ink::kYellowDark, [&](QPainter& p) {
            const double y = at.top + 1.5;
            p.drawPolygon(QPolygonF{{10, y}, {9, y - 7}, {12.5, y - 4}, {16, y - 8},
                                    {19.5, y - 4}, {23, y - 7}, {22, y}});
        });
        add(ink::kSky, ink::kSkyOutline,  // a blue jewel, so the only red is the eye
            [&](QPainter& p) { p.drawRect(QRectF(15, at.top - 3, 2, 2)); });
        break;
    case Crest::Cap:
        add(ink::kBlack, ink::kGrey, [&](QPainter& p) {
            const double y = at.top + 1;
            p.drawPolygon(QPolygonF{{4, y - 3}, {16, y - 7}, {28, y - 3}, {16, y + 1}});
            p.drawRect(QRectF(11, y - 2, 10, 4));
        });
        add(ink::kYellow, ink::kYellowDark, [&](QPainter& p) {
            p.drawRect(QRectF(16, at.top - 5, 7, 1));
            p.drawRect(QRectF(23, at.top - 5, 1, 6));
        });
        break;
    default:
        break;
    }
    return accents;
}

QRgb bodyTone(const Creature& c, const Layout& at, int x, int y) {
    const double nx = (x + 0.5 - kCentreX) / c.halfWidth;
    const double ny = (y + 0.5 - at.centreY) / c.halfHeight;
    const double lit = -(0.6 * nx + 0.8 * ny);
    if (lit > 0.55 && nx * nx + ny * ny > 0.35) {
        return c.body.light;
    }
    if (ny > 0.55 || lit < -0.75) {
        return c.body.shade;
    }
    return c.body.base;
}

void paintEye(QImage& image, const Creature& c, const Layout& at) {
    const double r = c.eyeRadius;
    const Mask white = Mask::fromDrawing(kIconSize, kIconSize, [&](QPainter& p) {
        p.drawEllipse(around(at.eyeX, at.eyeY, r, r));
    });
    const Mask iris = Mask::fromDrawing(kIconSize, kIconSize, [&](QPainter& p) {
        p.drawEllipse(around(at.eyeX + c.lookX, at.eyeY + c.lookY, r * 0.55, r * 0.55));
    });
    paint(image, white.grown().without(white), c.body.outline);
    paint(image, white, ink::kWhite);
    paint(image, iris, c.iris);
    if (c.iris != ink::kBlack) {
        const Mask pupil = Mask::fromDrawing(kIconSize, kIconSize, [&](QPainter& p) {
            p.drawRect(QRectF(at.eyeX + c.lookX - 1, at.eyeY + c.lookY - 1, 2, 2));
        });
        paint(image, pupil, ink::kBlack);
    }
    const QPoint glint(static_cast<int>(at.eyeX + c.lookX - r * 0.3),
                       static_cast<int>(at.eyeY + c.lookY - r * 0.3));
    image.setPixel(glint, ink::kWhite);
    if (c.fierce) {
        // A lid slanting down towards the middle makes the last level's creature frown.
        const Mask socket = white.grown();
        Mask lid(kIconSize, kIconSize);
        for (int x = 0; x < kIconSize; ++x) {
            const double edge = at.eyeY - r * 0.25 - std::abs(x + 0.5 - at.eyeX) * 0.4;
            for (int y = 0; y < edge; ++y) {
                lid.set(x, y, socket.at(x, y));
            }
        }
        paint(image, lid, c.body.shade);
        paint(image, lid.without(lid.shifted(0, -1)), c.body.outline);
    }
    if (c.crest == Crest::Cap) {
        // Study glasses: a single round lens for the single eye.
        const Mask lens = Mask::fromDrawing(kIconSize, kIconSize, [&](QPainter& p) {
            p.drawEllipse(around(at.eyeX, at.eyeY, r + 1.5, r + 1.5));
        });
        paint(image, lens.without(white), ink::kBlack);
    }
}

void paintMouth(QImage& image, const Creature& c, const Layout& at) {
    const int x = static_cast<int>(at.eyeX);
    const int y = static_cast<int>(at.eyeY + c.eyeRadius + 2.5);
    Mask line(kIconSize, kIconSize);
    Mask inside(kIconSize, kIconSize);
    Mask teeth(kIconSize, kIconSize);
    switch (c.mouth) {
    case Mouth::Smile:
        line.stamp({"#...#", ".###."}, x - 2, y);
        break;
    case Mouth::Open:
        line.stamp({"#####", "#...#", ".###."}, x - 2, y);
        inside.stamp({"###"}, x - 1, y + 1);
        break;
    case Mouth::Grin:
        line.stamp({"#######", "#.....#", ".#####."}, x - 3, y);
        teeth.stamp({"#####"}, x - 2, y + 1);
        break;
    case Mouth::Fangs:
        line.stamp({"#######", "#.....#", ".#####."}, x - 3, y);
        inside.stamp({".###."}, x - 2, y + 1);
        teeth.stamp({"#...#", "#...#"}, x - 2, y + 1);
        break;
    }
    paint(image, line, c.body.outline);
    paint(image, inside, ink::kRedDark);
    paint(image, teeth, ink::kWhite);
    if (c.blush) {
        Mask cheeks(kIconSize, kIconSize);
        cheeks.stamp({"##.........##"}, x - 6, y - 1);
        paint(image, cheeks, ink::kPinkShade);
    }
}

// Draws the creature over whatever the image already holds.
void paintCreature(QImage& image, const Creature& creature) {
    const Layout at = layoutOf(creature);
    const Mask body = bodyShape(creature, at);
    const std::vector<Accent> accents = accentsOf(creature, at);
    Mask everything = body;
    for (const Accent& accent : accents) {
        everything = everything.with(accent.shape);
    }
    paint(image, everything.grown().without(everything), creature.body.outline);
    for (const Accent& accent : accents) {
        paint(image, accent.shape.grown().without(accent.shape).without(body), accent.outline);
        paint(image, accent.shape, accent.fill);
    }
    paint(image, body, [&](int x, int y) { return bodyTone(creature, at, x, y); });
    paintEye(image, creature, at);
    paintMouth(image, creature, at);
}

// The small icon is drawn pixel by pixel: at 16 pixels the shapes above lose their eye.
const std::vector<std::string_view> kSmallIcon{
    "................",
    "......l..l......",
    ".....lgo.gl.....",
    "......oooo......",
    "....oogggggoo...",
    "...ogllgggggso..",
    "..oglwwwwwgggso.",
    "..oglwwkkwwggso.",
    ".oggwwwkkwwgggso",
    ".ogglwwwwwggggso",
    ".oggggggggggggso",
    ".ogggggokkoggsso",
    "..osgggggggssso.",
    "...osssssssso...",
    "....oooooooo....",
    "................",
};

}  // namespace

QImage drawCreature(int id) {
    const Creature creature = creatureFor(id);
    QImage image = canvas(kIconSize, kIconSize, creature.background);
    paintCreature(image, creature);
    return image;
}

QImage drawProgramIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    if (size == kIconSize) {
        // The first level's creature, grown a little and looking up at the player.
        paintCreature(image, {.body = ink::kLimeRamp, .background = 0, .iris = ink::kBlack,
                              .halfWidth = 10.5, .halfHeight = 9, .crest = Crest::Sprout,
                              .mouth = Mouth::Open, .eyeRadius = 5.5, .lookX = 1, .lookY = -1});
        return image;
    }
    const ink::Ramp& ramp = ink::kLimeRamp;
    for (int y = 0; y < size && y < static_cast<int>(kSmallIcon.size()); ++y) {
        for (int x = 0; x < size && x < static_cast<int>(kSmallIcon[y].size()); ++x) {
            switch (kSmallIcon[y][x]) {
            case 'l': image.setPixel(x, y, ramp.light); break;
            case 'g': image.setPixel(x, y, ramp.base); break;
            case 's': image.setPixel(x, y, ramp.shade); break;
            case 'o': image.setPixel(x, y, ramp.outline); break;
            case 'w': image.setPixel(x, y, ink::kWhite); break;
            case 'k': image.setPixel(x, y, ink::kBlack); break;
            default: break;
            }
        }
    }
    return image;
}

}  // namespace pp::assetgen
