// Ghost strings: the nibble encoding, the header check, the sample cap and hostile stored strings.
#include "Ghost_Record.h"
#include "Ghost_Ship.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <random>

namespace
{
constexpr float Turn = 6.283185f;

QString Header(int version)
{
    QString text("ba");
    text.append(QChar('a' + (version & 15)));
    text.append(QChar('a' + ((version >> 4) & 15)));
    return text;
}

bool Same(const QPointF& a, float x, float y)
{
    return a.x() == x && a.y() == y;
}
} // namespace

class Test_Ghost_Record : public QObject
{
    Q_OBJECT

private slots:
    void recorded_sample_characters_data()
    {
        QTest::addColumn<float>("dx");
        QTest::addColumn<float>("dy");
        QTest::addColumn<float>("heading");
        QTest::addColumn<QString>("sample");
        QTest::newRow("worked example") << 1.5f << -0.25f << 1.5707964f << "aibaampppd";
        QTest::newRow("standing still") << 0.0f << 0.0f << 0.0f << "aaaaaaaaaa";
        QTest::newRow("heading -0.1") << 0.0f << 0.0f << -0.1f << "aaaaaaaajp";    // 249
        QTest::newRow("heading pi") << 0.0f << 0.0f << 3.1415927f << "aaaaaaaaph"; // 127
        QTest::newRow("heading a full turn") << 0.0f << 0.0f << Turn << "aaaaaaaaaa";
        QTest::newRow("heading three turns back")
            << 0.0f << 0.0f << -3.0f * Turn + 0.5f << "aaaaaaaaeb"; // 20
        QTest::newRow("less than a unit") << 0.003f << -0.003f << 0.0f << "aaaaaaaaaa";
        QTest::newRow("one unit each way") << 0.00390625f << -0.00390625f << 0.0f << "baaappppaa";
        QTest::newRow("largest steps") << 127.99609375f << -128.0f << 0.0f << "ppphaaaiaa";
    }

    void recorded_sample_characters()
    {
        QFETCH(float, dx);
        QFETCH(float, dy);
        QFETCH(float, heading);
        QFETCH(QString, sample);
        Ghost_Ship ghost;
        const QPointF start(10.0, 20.0);
        Ghost_Start(ghost, QString(), start, 0.0f, 1);
        Ghost_Record_Sample(ghost, QPointF(10.0f + dx, 20.0f + dy), heading);
        QCOMPARE(ghost.m_record, Header(1) + sample);
    }

    void worked_example_replays_exactly()
    {
        Ghost_Ship recorder;
        Ghost_Start(recorder, QString(), QPointF(10.0, 20.0), 0.0f, 1);
        Ghost_Record_Sample(recorder, QPointF(11.5, 19.75), 1.5707964f);
        QVERIFY(Same(recorder.m_record_position, 11.5f, 19.75f));

        Ghost_Ship ghost;
        Ghost_Start(ghost, recorder.m_record, QPointF(10.0, 20.0), 0.25f, 1);
        QCOMPARE(ghost.m_read_pos, 4);
        QVERIFY(Same(ghost.m_position, 10.0f, 20.0f));
        QCOMPARE(ghost.m_angle, 0.25f);
        Ghost_Play_Sample(ghost);
        QVERIFY(Same(ghost.m_position, 11.5f, 19.75f));
        QCOMPARE(ghost.m_angle, 1.5584278f);
        QCOMPARE(ghost.m_read_pos, 14);
        // Run out: the ghost stays where it is.
        Ghost_Play_Sample(ghost);
        QVERIFY(Same(ghost.m_position, 11.5f, 19.75f));
        QCOMPARE(ghost.m_angle, 1.5584278f);
        QCOMPARE(ghost.m_read_pos, 14);
    }

    void replay_follows_the_recorded_reference()
    {
        // Quantisation errors do not build up: after every sample the replay
        // is exactly where the recorder's reference is, and within 1/256 of the ship.
        Ghost_Ship recorder;
        const QPointF start(2200.0, 1500.0);
        Ghost_Start(recorder, QString(), start, 0.0f, 1);
        std::vector<QPointF> references;
        for (int i = 1; i <= 600; ++i)
        {
            const float t = static_cast<float>(i) * 0.01f;
            const QPointF ship(2200.0f + 150.0f * std::sin(t),
                               1500.0f + 2.4f * static_cast<float>(i) * 0.37f);
            Ghost_Record_Sample(recorder, ship, t);
            QVERIFY(std::fabs(recorder.m_record_position.x() - ship.x()) <= 1.0 / 256.0 + 1e-3);
            QVERIFY(std::fabs(recorder.m_record_position.y() - ship.y()) <= 1.0 / 256.0 + 1e-3);
            references.push_back(recorder.m_record_position);
        }
        Ghost_Ship ghost;
        Ghost_Start(ghost, recorder.m_record, start, 0.0f, 1);
        for (const QPointF& reference : references)
        {
            Ghost_Play_Sample(ghost);
            QCOMPARE(ghost.m_position, reference);
        }
    }

    void stored_header_is_checked_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<int>("read_pos");
        QTest::newRow("empty") << "" << 1 << false << 0;
        QTest::newRow("empty, version 0") << "" << 0 << false << 0;
        QTest::newRow("header only") << "baba" << 1 << true << 4;
        QTest::newRow("header and a sample") << "baba" + QString(10, 'a') << 1 << true << 4;
        QTest::newRow("other course version") << "baba" + QString(10, 'a') << 2 << false << 0;
        QTest::newRow("other format") << "caba" + QString(10, 'a') << 1 << false << 0;
        QTest::newRow("version 0 record, version 1 course") << "baaa" << 1 << false << 0;
        QTest::newRow("single b, version 0") << "b" << 0 << true << 1;
        QTest::newRow("single b, version 1") << "b" << 1 << false << 0;
        QTest::newRow("two characters, version 0") << "ba" << 0 << true << 2;
        QTest::newRow("version 17") << "babb" << 17 << true << 4;
        QTest::newRow("version 1 against 17") << "baba" << 17 << false << 0;
        QTest::newRow("version out of byte range") << "baba" << 257 << false << 0;
    }

    void stored_header_is_checked()
    {
        QFETCH(QString, stored);
        QFETCH(int, version);
        QFETCH(bool, kept);
        QFETCH(int, read_pos);
        Ghost_Ship ghost;
        ghost.m_record = "leftover from the last race";
        Ghost_Start(ghost, stored, QPointF(7.0, 8.0), 0.5f, version);
        QCOMPARE(ghost.m_playback, kept ? stored : QString());
        QCOMPARE(ghost.m_read_pos, read_pos);
        QCOMPARE(ghost.m_record, Header(version));
        QVERIFY(Same(ghost.m_position, 7.0f, 8.0f));
        QVERIFY(Same(ghost.m_record_position, 7.0f, 8.0f));
        QCOMPARE(ghost.m_angle, 0.5f);
    }

    void record_stops_growing_past_the_cap()
    {
        Ghost_Ship ghost;
        Ghost_Start(ghost, QString(), QPointF(0.0, 0.0), 0.0f, 1);
        for (int i = 0; i < 5399; ++i)
            Ghost_Record_Sample(ghost, QPointF(0.5 * i, 0.0), 0.0f);
        QCOMPARE(ghost.m_record.size(), 53994);
        QVERIFY(ghost.m_record.size() <= Ghost_Record_Cap);
        Ghost_Record_Sample(ghost, QPointF(0.5 * 5399, 0.0), 0.0f);
        QCOMPARE(ghost.m_record.size(), 54004);
        QVERIFY(ghost.m_record.size() > Ghost_Record_Cap);
        const QPointF reference = ghost.m_record_position;
        for (int i = 0; i < 100; ++i)
            Ghost_Record_Sample(ghost, QPointF(5000.0 + i, 3.0), 1.0f);
        QCOMPARE(ghost.m_record.size(), 54004);
        QCOMPARE(ghost.m_record_position, reference);
    }

    void restart_replaces_the_record()
    {
        Ghost_Ship ghost;
        Ghost_Start(ghost, QString(), QPointF(0.0, 0.0), 0.0f, 1);
        Ghost_Record_Sample(ghost, QPointF(1.0, 1.0), 0.0f);
        Ghost_Start(ghost, QString(), QPointF(0.0, 0.0), 0.0f, 1);
        QCOMPARE(ghost.m_record, QString("baba"));
    }

    void truncated_and_foreign_samples_decode_data()
    {
        QTest::addColumn<QString>("samples");
        QTest::addColumn<float>("dx");
        QTest::addColumn<float>("dy");
        QTest::addColumn<int>("heading_step");
        QTest::addColumn<int>("read_pos");
        QTest::newRow("only the header") << "" << 0.0f << 0.0f << -1 << 4;
        QTest::newRow("cut inside x") << "aib" << 1.5f << 0.0f << 0 << 7;
        QTest::newRow("cut inside y") << "aibaam" << 1.5f << 0.75f << 0 << 10;
        QTest::newRow("cut inside the heading") << "aibaamppp" << 1.5f << -0.25f << 15 << 13;
        QTest::newRow("whole sample") << "aibaampppd" << 1.5f << -0.25f << 63 << 14;
        // Only the low four bits count: capitals read like small letters.
        QTest::newRow("capital letters") << "AIBAAMPPPD" << 1.5f << -0.25f << 63 << 14;
        QTest::newRow("latin-1 e acute")
            << QString(QChar(0xE9)) + "aaaaaaaaa" << 8.0f / 256.0f << 0.0f << 0 << 14;
        QTest::newRow("outside latin-1")
            << QString(QChar(0x20AC)) + "aaaaaaaaa" << 15.0f / 256.0f << 0.0f << 0 << 14;
        QTest::newRow("digits") << "0000000000" << -1.0f / 256.0f << -1.0f / 256.0f << 255 << 14;
    }

    void truncated_and_foreign_samples_decode()
    {
        QFETCH(QString, samples);
        QFETCH(float, dx);
        QFETCH(float, dy);
        QFETCH(int, heading_step);
        QFETCH(int, read_pos);
        Ghost_Ship ghost;
        Ghost_Start(ghost, "baba" + samples, QPointF(100.0, 200.0), 0.75f, 1);
        QCOMPARE(ghost.m_read_pos, 4);
        Ghost_Play_Sample(ghost);
        QVERIFY(Same(ghost.m_position, 100.0f + dx, 200.0f + dy));
        QCOMPARE(ghost.m_angle, heading_step < 0 ? 0.75f : static_cast<float>(heading_step) * Turn / 254.0f);
        QCOMPARE(ghost.m_read_pos, read_pos);
    }

    void header_only_ghost_stays_at_the_start_all_race()
    {
        Ghost_Ship ghost;
        Ghost_Start(ghost, "baba", QPointF(2200.0, 1500.0), 0.838874f, 1);
        for (int i = 0; i < 1000; ++i)
            Ghost_Play_Sample(ghost);
        QVERIFY(Same(ghost.m_position, 2200.0f, 1500.0f));
        QCOMPARE(ghost.m_angle, 0.838874f);
        QCOMPARE(ghost.m_playback, QString("baba"));
    }

    void hostile_values_are_recorded_safely_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<float>("heading");
        QTest::addColumn<QString>("sample");
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float inf = std::numeric_limits<float>::infinity();
        // Steps that do not fit 16 bits are clamped, not wrapped.
        QTest::newRow("step of 200") << 200.0 << 0.0f << "ppphaaaaaa";
        QTest::newRow("step of -1e9") << -1e9 << 0.0f << "aaaiaaaaaa";
        QTest::newRow("step not a number") << static_cast<double>(nan) << 0.0f << "aaaaaaaaaa";
        QTest::newRow("heading not a number") << 0.0 << nan << "aaaaaaaaaa";
        QTest::newRow("heading infinite") << 0.0 << inf << "aaaaaaaaaa";
        QTest::newRow("heading minus infinite") << 0.0 << -inf << "aaaaaaaaaa";
        QTest::newRow("heading huge") << 0.0 << 1e30f << "";
        QTest::newRow("heading just below zero") << 0.0 << -1e-9f << "aaaaaaaaop"; // 254
    }

    void hostile_values_are_recorded_safely()
    {
        QFETCH(double, x);
        QFETCH(float, heading);
        QFETCH(QString, sample);
        Ghost_Ship ghost;
        Ghost_Start(ghost, QString(), QPointF(0.0, 0.0), 0.0f, 1);
        Ghost_Record_Sample(ghost, QPointF(x, 0.0), heading);
        QCOMPARE(ghost.m_record.size(), 14);
        if (!sample.isEmpty())
            QCOMPARE(ghost.m_record.mid(4), sample);
        for (const QChar c : ghost.m_record)
            QVERIFY(c >= 'a' && c <= 'p');

        // Whatever was written, the replay lands where the recorder's reference is.
        Ghost_Ship replay;
        Ghost_Start(replay, ghost.m_record, QPointF(0.0, 0.0), 0.0f, 1);
        Ghost_Play_Sample(replay);
        QCOMPARE(replay.m_position, ghost.m_record_position);
        QVERIFY(replay.m_angle >= 0.0f && replay.m_angle <= Turn);
    }

    void megabyte_strings_replay_without_harm()
    {
        std::minstd_rand random(7);
        QString garbage;
        garbage.reserve(1 << 20);
        garbage.append("baba");
        while (garbage.size() < (1 << 20))
            garbage.append(QChar(static_cast<char16_t>(random() & 0xFFFF)));
        garbage.chop(3); // ends inside a sample

        Ghost_Ship ghost;
        Ghost_Start(ghost, garbage, QPointF(0.0, 0.0), 0.0f, 1);
        QCOMPARE(ghost.m_read_pos, 4);
        int samples = 0;
        while (ghost.m_read_pos < ghost.m_playback.size())
        {
            Ghost_Play_Sample(ghost);
            ++samples;
            QVERIFY(ghost.m_angle >= 0.0f && ghost.m_angle <= 255.0f * Turn / 254.0f);
        }
        QCOMPARE(samples, ((1 << 20) - 3 - 4 + 9) / 10);
        QCOMPARE(ghost.m_read_pos, garbage.size());
        QVERIFY(std::isfinite(ghost.m_position.x()) && std::isfinite(ghost.m_position.y()));

        // Without a valid header the same bulk is dropped at once.
        garbage[0] = QChar(0x4E2D);
        Ghost_Start(ghost, garbage, QPointF(0.0, 0.0), 0.0f, 1);
        QVERIFY(ghost.m_playback.isEmpty());
        Ghost_Play_Sample(ghost);
        QVERIFY(Same(ghost.m_position, 0.0f, 0.0f));
    }
};

QTEST_GUILESS_MAIN(Test_Ghost_Record)
#include "tst_ghost_record.moc"
