// The surface the view paints through, from what was asked and what an OpenGL probe told.
#include "Surface_Choice.h"

#include <QtTest>

Q_DECLARE_METATYPE(Surface_Choice::Surface)

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0) && (defined(__x86_64__) || defined(__i386__))
#define TAVRELO_QT5_FILLS 1
// QtCore's detection of the processor's features, and the ones it keeps.
quint64 qDetectCpuFeatures();
extern QBasicAtomicInteger<quint64> qt_cpu_features[1];
#endif

class Test_Surface_Choice : public QObject
{
    Q_OBJECT

private slots:
    void surface_follows_the_request_and_the_probe_data()
    {
        using S = Surface_Choice::Surface;
        QTest::addColumn<QString>("asked");
        QTest::addColumn<bool>("made");
        QTest::addColumn<QString>("renderer");
        QTest::addColumn<S>("surface");
        QTest::addColumn<bool>("says_why");
        const QString intel = "Mesa Intel(R) UHD Graphics 620 (KBL GT2)";
        const QString llvmpipe = "llvmpipe (LLVM 15.0.6, 256 bits)";
        QTest::newRow("auto, graphics chip") << "AUTO" << true << intel << S::OpenGL << false;
        QTest::newRow("auto, llvmpipe") << "auto" << true << llvmpipe << S::Raster << false;
        QTest::newRow("auto, zink") << "auto" << true << "zink (" + llvmpipe + ")" << S::Raster << false;
        // Software renderers as their drivers name them, in whatever case.
        QTest::newRow("auto, LLVMPIPE") << "auto" << true << llvmpipe.toUpper() << S::Raster << false;
        QTest::newRow("auto, softpipe") << "auto" << true << "softpipe" << S::Raster << false;
        QTest::newRow("auto, classic swrast")
            << "auto" << true << "Software Rasterizer" << S::Raster << false;
        QTest::newRow("auto, SwiftShader")
            << "auto" << true << "Google SwiftShader (ANGLE)" << S::Raster << false;
        QTest::newRow("auto, Windows fallback") << "auto" << true << "GDI Generic" << S::Raster << false;
        // A graphics chip whose driver is built on LLVM is no software renderer.
        QTest::newRow("auto, radeonsi")
            << "auto" << true << "AMD Radeon RX 580 Series (polaris10, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)"
            << S::OpenGL << false;
        QTest::newRow("auto, unnamed renderer") << "auto" << true << " " << S::Raster << true;
        QTest::newRow("auto, no context") << "auto" << false << QString() << S::Raster << true;
        QTest::newRow("opengl, llvmpipe") << "opengl" << true << llvmpipe << S::OpenGL << false;
        QTest::newRow("opengl, no context") << "OpenGL" << false << QString() << S::Raster << true;
        QTest::newRow("raster, graphics chip") << "raster" << true << intel << S::Raster << false;
        QTest::newRow("wrong name: as auto") << "vulkan" << true << intel << S::OpenGL << false;
    }
    void surface_follows_the_request_and_the_probe()
    {
        QFETCH(QString, asked);
        QFETCH(bool, made);
        QFETCH(QString, renderer);
        QFETCH(Surface_Choice::Surface, surface);
        QFETCH(bool, says_why);
        Surface_Choice::Renderer request = Surface_Choice::Renderer::Auto;
        // A name that is none of the choices is refused and leaves the request as it was.
        if (!Surface_Choice::Parse(asked, &request))
            QVERIFY(asked == "vulkan");
        const Surface_Choice::Probe probe{made, renderer, made ? QString() : QString("no GLX")};
        QString why = "stale";
        QCOMPARE(Surface_Choice::Decide(request, probe, &why), surface);
        QCOMPARE(why, says_why ? (made ? "OpenGL does not name its renderer" : "no GLX") : "");
    }

    // Qt 5 draws without AVX2 from before it loads, and the environment is left as given.
    void qt5_leaves_avx2_unused_and_the_environment_alone()
    {
#ifdef TAVRELO_QT5_FILLS
        QFile file("/proc/self/environ");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray given;
        for (const QByteArray& entry : file.readAll().split('\0'))
            if (entry.startsWith("QT_NO_CPU_FEATURE="))
                given = entry.mid(int(qstrlen("QT_NO_CPU_FEATURE=")));
        QCOMPARE(qgetenv("QT_NO_CPU_FEATURE"), given);
        if (!__builtin_cpu_supports("avx2") || (" " + given + " ").contains(" avx2 "))
            QSKIP("AVX2 is not there to leave unused");
        // Detected again from that environment, the features hold one Qt did not keep: AVX2.
        const quint64 kept = qt_cpu_features[0].loadRelaxed();
        const quint64 fresh = qDetectCpuFeatures();
        qt_cpu_features[0].storeRelaxed(kept);
        QVERIFY((fresh & ~kept) != 0);
#else
        QSKIP("only Qt 5 on x86 needs it");
#endif
    }
};

QTEST_MAIN(Test_Surface_Choice)
#include "tst_surface_choice.moc"
