#include "Surface_Choice.h"

#include "Qt_Bridge.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QWidget>

#include <cstdio>

namespace
{
// Renderer strings (or parts of them) of OpenGL implementations that draw on
// the processor: Mesa's llvmpipe, softpipe and swrast (zink over lavapipe
// names llvmpipe too), Google's SwiftShader, and the fallbacks of other
// systems. Compared without regard to case.
const char* const Software_Renderers[] = {
    "llvmpipe",
    "softpipe",
    "swrast",
    "software rasterizer",
    "swiftshader",
    "gdi generic",
    "apple software renderer",
    "microsoft basic render",
};
} // namespace

bool Surface_Choice::Parse(const QString& text, Renderer* renderer)
{
    const QString name = text.toLower();
    if (name == QLatin1String("auto"))
        *renderer = Renderer::Auto;
    else if (name == QLatin1String("opengl"))
        *renderer = Renderer::OpenGL;
    else if (name == QLatin1String("raster"))
        *renderer = Renderer::Raster;
    else
        return false;
    return true;
}

QString Surface_Choice::Choices()
{
    return QStringLiteral("auto, opengl or raster");
}

bool Surface_Choice::Is_Software_Renderer(const QString& renderer)
{
    for (const char* software : Software_Renderers)
        if (renderer.contains(QLatin1String(software), Qt::CaseInsensitive))
            return true;
    return false;
}

// The cases:
//   asked   probe                        surface
//   raster  (none made)                  raster
//   opengl  a context, any renderer      OpenGL, as asked
//   opengl  no context                   raster, and why
//   auto    a hardware renderer          OpenGL
//   auto    a software renderer          raster
//   auto    no context, or no name       raster, and why
Surface_Choice::Surface Surface_Choice::Decide(Renderer renderer, const Probe& probe, QString* fallback)
{
    fallback->clear();
    if (renderer == Renderer::Raster)
        return Surface::Raster;
    if (!probe.made)
    {
        *fallback =
            probe.failure.isEmpty() ? QStringLiteral("no OpenGL context could be made") : probe.failure;
        return Surface::Raster;
    }
    if (renderer == Renderer::OpenGL)
        return Surface::OpenGL;
    // An implementation that does not say what it is cannot be trusted to be fast.
    if (probe.renderer.trimmed().isEmpty())
    {
        *fallback = QStringLiteral("OpenGL does not name its renderer");
        return Surface::Raster;
    }
    return Is_Software_Renderer(probe.renderer) ? Surface::Raster : Surface::OpenGL;
}

Surface_Choice::Probe Surface_Choice::Make_Probe()
{
    Probe probe{false, QString(), QString()};
    QOpenGLContext context;
    if (!context.create())
    {
        probe.failure = QStringLiteral("no OpenGL context could be made");
        return probe;
    }
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
    {
        probe.failure = QStringLiteral("the OpenGL context could not be made current");
        return probe;
    }
    const GLubyte* name = context.functions()->glGetString(GL_RENDERER);
    if (name != nullptr)
        probe.renderer = QString::fromLatin1(reinterpret_cast<const char*>(name));
    context.doneCurrent();
    probe.made = true;
    return probe;
}

Surface_Choice::Surface Surface_Choice::Pick(Renderer renderer)
{
    const Probe probe = renderer == Renderer::Raster ? Probe{false, QString(), QString()} : Make_Probe();
    QString fallback;
    const Surface surface = Decide(renderer, probe, &fallback);
    if (!fallback.isEmpty())
        std::fprintf(stderr, "tavrelo: %s; drawing with the raster engine\n", qPrintable(fallback));
    return surface;
}

QWidget* Surface_Choice::New_Viewport(Surface surface)
{
    return surface == Surface::OpenGL ? Qt_Bridge::New_GL_Viewport() : new QWidget();
}
