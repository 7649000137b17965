// Surface_Choice: whether the view paints through OpenGL or Qt's raster engine, decided once at start.
#ifndef TAVRELO_SURFACE_CHOICE_H
#define TAVRELO_SURFACE_CHOICE_H

#include <QString>

class QWidget;

// OpenGL is the surface the game was made for, where a GPU does the work.
// Where OpenGL is a software renderer, painting through it costs many times
// what the raster engine costs for the same picture, so the game paints
// through the raster engine there, and wherever no OpenGL context can be made.
// The picture is the same on either surface.
class Surface_Choice
{
public:
    // What the player asked for (--renderer).
    enum class Renderer
    {
        Auto,
        OpenGL,
        Raster,
    };
    enum class Surface
    {
        Raster,
        OpenGL,
    };

    // What a probe context told: whether one could be made current, and the
    // renderer string of its OpenGL implementation, or why not.
    struct Probe
    {
        bool made;
        QString renderer;
        QString failure;
    };

    // "auto", "opengl" or "raster", in any case; false for anything else.
    static bool Parse(const QString& text, Renderer* renderer);
    // The choices as the command line names them.
    static QString Choices();

    static bool Is_Software_Renderer(const QString& renderer);
    // The surface for what was asked and what the probe told. When it is
    // raster against what was asked or for want of OpenGL, why is written to
    // *fallback; otherwise *fallback is left empty.
    static Surface Decide(Renderer renderer, const Probe& probe, QString* fallback);

    // Makes a probe context on the application's platform. Needs a
    // QGuiApplication.
    static Probe Make_Probe();
    // Probes when the answer depends on it, decides, and says once on
    // standard error why it fell back to raster, if it did.
    static Surface Pick(Renderer renderer);
    // A new unparented viewport of that surface; the view that takes it owns it.
    static QWidget* New_Viewport(Surface surface);
};

#endif
