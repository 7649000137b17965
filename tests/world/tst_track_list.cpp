// The course catalogue and the three segment tables: shape, figures and the bad-index assertion.
#include "Track_List.h"

#include "Test_Support.h"

#include <QProcess>
#include <QtTest>

#include <cmath>
#include <cstring>

namespace
{
const Track_Segment* Table(int course)
{
    switch (course)
    {
    case 0:
        return g_symbol_Track1;
    case 1:
        return g_symbol_Track2;
    default:
        return g_symbol_Track3;
    }
}

bool Same_Bits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof(float)) == 0;
}

// Equal when b is a at six significant digits.
bool Six_Digits(double a, double b)
{
    if (b == 0.0)
        return std::fabs(a) < 5e-6;
    const double unit = std::pow(10.0, std::floor(std::log10(std::fabs(b))) - 5.0);
    return std::fabs(a - b) <= 0.5 * unit + 1e-12;
}

struct Point
{
    double x;
    double y;
};

// The courses' control points, P0..P3 of the six curves each, written out again
// so that the tables are checked against the curves and not against themselves.
const Point Control[3][6][4] = {
    {
        {{22, 15}, {24, 17}, {20, 20}, {17, 18}},
        {{17, 18}, {14, 16}, {15.65, 19.5}, {11.8, 22}},
        {{11.8, 22}, {7.95, 24.5}, {16.25, 30.35}, {15.4, 24.8}},
        {{15.4, 24.8}, {14.55, 19.25}, {21.15, 25.5}, {20, 21.6}},
        {{20, 21.6}, {18.85, 17.7}, {30.1, 24.15}, {28.55, 18.9}},
        {{28.55, 18.9}, {27, 13.65}, {20, 13}, {22, 15}},
    },
    {
        {{7, 10}, {10, 11}, {7, 4}, {10, 7}},
        {{10, 7}, {13, 10}, {11, 3}, {13, 6}},
        {{13, 6}, {15, 9}, {15.2, 7.9}, {16.1, 8.95}},
        {{16.1, 8.95}, {17, 10}, {16, 11}, {14, 11}},
        {{14, 11}, {12, 11}, {15, 12}, {9, 15}},
        {{9, 15}, {3, 18}, {4, 9}, {7, 10}},
    },
    {
        {{10, 10}, {13, 10}, {13, 13}, {10, 13}},
        {{10, 13}, {7, 13}, {9, 15}, {9, 16}},
        {{9, 16}, {9, 17}, {7, 19}, {10, 19}},
        {{10, 19}, {13, 19}, {13, 22}, {10, 22}},
        {{10, 22}, {7, 22}, {8, 22}, {7, 16}},
        {{7, 16}, {6, 10}, {7, 10}, {10, 10}},
    },
};

Point Curve_Point(int course, int point)
{
    const Point* p = Control[course][point / 34];
    const long double s = (point % 34) * 3 / 100.0L;
    const long double t = 1.0L - s;
    const long double a = t * t * t, b = 3 * s * t * t, c = 3 * s * s * t, d = s * s * s;
    return Point{static_cast<double>(a * p[0].x + b * p[1].x + c * p[2].x + d * p[3].x),
                 static_cast<double>(a * p[0].y + b * p[1].y + c * p[2].y + d * p[3].y)};
}

int Run_Child_Mode(const QByteArray& index)
{
    Get_Track_Info(index.toInt());
    return 0;
}
} // namespace

class Test_Track_List : public QObject
{
    Q_OBJECT

private slots:
    void catalogue_lists_the_three_courses()
    {
        QCOMPARE(Get_Track_Count(), 3);
        const char* names[3] = {"Primus", "Secundus", "Tertius"};
        for (int i = 0; i < 3; ++i)
        {
            const Track_Info* info = Get_Track_Info(i);
            QCOMPARE(info, &g_track_infos[i]);
            QCOMPARE(info->segments, Table(i));
            QCOMPARE(info->segment_count, 204);
            QCOMPARE(QByteArray(info->name), QByteArray(names[i]));
            QCOMPARE(info->version, 1);
        }
    }

    void tables_are_chained_and_closed_data()
    {
        QTest::addColumn<int>("course");
        QTest::newRow("Primus") << 0;
        QTest::newRow("Secundus") << 1;
        QTest::newRow("Tertius") << 2;
    }
    void tables_are_chained_and_closed()
    {
        QFETCH(int, course);
        const Track_Segment* t = Table(course);
        for (int i = 0; i < 204; ++i)
        {
            const Track_Segment& next = t[(i + 1) % 204];
            if (!Same_Bits(t[i].x2, next.x1) || !Same_Bits(t[i].y2, next.y1))
                QFAIL(qPrintable(QString("record %1 does not end where the next one starts").arg(i)));
            if (t[i].x1 == t[i].x2 && t[i].y1 == t[i].y2)
                QFAIL(qPrintable(QString("record %1 has no length").arg(i)));
        }
    }

    void tables_follow_the_curves_data() { tables_are_chained_and_closed_data(); }
    void tables_follow_the_curves()
    {
        QFETCH(int, course);
        const Track_Segment* t = Table(course);
        // Each curve starts exactly at its first control point.
        for (int curve = 0; curve < 6; ++curve)
        {
            const Track_Segment& r = t[34 * curve];
            QCOMPARE(r.x1, static_cast<float>(Control[course][curve][0].x));
            QCOMPARE(r.y1, static_cast<float>(Control[course][curve][0].y));
        }
        double worst = 0.0;
        for (int i = 0; i < 204; ++i)
        {
            const Point p = Curve_Point(course, i);
            worst = std::max(worst, std::fabs(t[i].x1 - p.x));
            worst = std::max(worst, std::fabs(t[i].y1 - p.y));
        }
        QVERIFY2(worst <= 1.4e-6, qPrintable(QString::number(worst)));
    }

    void first_and_last_records_data()
    {
        QTest::addColumn<int>("course");
        QTest::addColumn<int>("record");
        QTest::addColumn<double>("x1");
        QTest::addColumn<double>("y1");
        QTest::addColumn<double>("x2");
        QTest::addColumn<double>("y2");
        QTest::newRow("Track1 0") << 0 << 0 << 22.0 << 15.0 << 22.164 << 15.1825;
        QTest::newRow("Track1 1") << 0 << 1 << 22.164 << 15.1825 << 22.2967 << 15.3695;
        QTest::newRow("Track1 203") << 0 << 203 << 21.9427 << 14.9408 << 22.0 << 15.0;
        QTest::newRow("Track2 0") << 1 << 0 << 7.0 << 10.0 << 7.25412 << 10.0689;
        QTest::newRow("Track2 1") << 1 << 1 << 7.25412 << 10.0689 << 7.47779 << 10.0975;
        QTest::newRow("Track2 203") << 1 << 203 << 6.9106 << 9.97298 << 7.0 << 10.0;
        QTest::newRow("Track3 0") << 2 << 0 << 10.0 << 10.0 << 10.2619 << 10.0079;
        QTest::newRow("Track3 1") << 2 << 1 << 10.2619 << 10.0079 << 10.5076 << 10.0311;
        QTest::newRow("Track3 203") << 2 << 203 << 9.9106 << 10.0 << 10.0 << 10.0;
    }
    void first_and_last_records()
    {
        QFETCH(int, course);
        QFETCH(int, record);
        QFETCH(double, x1);
        QFETCH(double, y1);
        QFETCH(double, x2);
        QFETCH(double, y2);
        const Track_Segment& r = Table(course)[record];
        const QString got = QString("(%1, %2) - (%3, %4)")
                                .arg(double(r.x1), 0, 'g', 9)
                                .arg(double(r.y1), 0, 'g', 9)
                                .arg(double(r.x2), 0, 'g', 9)
                                .arg(double(r.y2), 0, 'g', 9);
        QVERIFY2(Six_Digits(r.x1, x1) && Six_Digits(r.y1, y1) && Six_Digits(r.x2, x2) && Six_Digits(r.y2, y2),
                 qPrintable(got));
    }

    void course_figures_data()
    {
        QTest::addColumn<int>("course");
        QTest::addColumn<double>("x_min");
        QTest::addColumn<double>("x_max");
        QTest::addColumn<double>("y_min");
        QTest::addColumn<double>("y_max");
        QTest::addColumn<double>("length");
        QTest::addColumn<double>("shortest");
        QTest::addColumn<double>("longest");
        QTest::addColumn<double>("turn");
        QTest::newRow("Primus") << 0 << 10.778 << 28.696 << 13.956 << 27.114 << 55.638 << 0.0824 << 0.4852
                                << -360.0;
        QTest::newRow("Secundus") << 1 << 4.616 << 16.432 << 5.236 << 15.614 << 37.411 << 0.0409 << 0.5731
                                  << 360.0;
        QTest::newRow("Tertius") << 2 << 6.626 << 12.249 << 10.000 << 22.000 << 37.108 << 0.0303 << 0.5307
                                 << 360.0;
    }
    void course_figures()
    {
        QFETCH(int, course);
        QFETCH(double, x_min);
        QFETCH(double, x_max);
        QFETCH(double, y_min);
        QFETCH(double, y_max);
        QFETCH(double, length);
        QFETCH(double, shortest);
        QFETCH(double, longest);
        QFETCH(double, turn);
        const Track_Segment* t = Table(course);
        double lo_x = 1e9, hi_x = -1e9, lo_y = 1e9, hi_y = -1e9;
        double total = 0.0, min_len = 1e9, max_len = 0.0, heading_turn = 0.0;
        for (int i = 0; i < 204; ++i)
        {
            lo_x = std::min(lo_x, double(t[i].x1));
            hi_x = std::max(hi_x, double(t[i].x1));
            lo_y = std::min(lo_y, double(t[i].y1));
            hi_y = std::max(hi_y, double(t[i].y1));
            const double len = std::hypot(double(t[i].x2) - t[i].x1, double(t[i].y2) - t[i].y1);
            total += len;
            min_len = std::min(min_len, len);
            max_len = std::max(max_len, len);
            const Track_Segment& n = t[(i + 1) % 204];
            double change = std::atan2(double(n.y2) - n.y1, double(n.x2) - n.x1) -
                            std::atan2(double(t[i].y2) - t[i].y1, double(t[i].x2) - t[i].x1);
            while (change > M_PI)
                change -= 2 * M_PI;
            while (change < -M_PI)
                change += 2 * M_PI;
            heading_turn += change;
        }
        QVERIFY2(std::fabs(lo_x - x_min) < 5e-4, qPrintable(QString::number(lo_x)));
        QVERIFY2(std::fabs(hi_x - x_max) < 5e-4, qPrintable(QString::number(hi_x)));
        QVERIFY2(std::fabs(lo_y - y_min) < 5e-4, qPrintable(QString::number(lo_y)));
        QVERIFY2(std::fabs(hi_y - y_max) < 5e-4, qPrintable(QString::number(hi_y)));
        QVERIFY2(std::fabs(total - length) < 5e-4, qPrintable(QString::number(total)));
        QVERIFY2(std::fabs(min_len - shortest) < 5e-5, qPrintable(QString::number(min_len)));
        QVERIFY2(std::fabs(max_len - longest) < 5e-5, qPrintable(QString::number(max_len)));
        QVERIFY2(std::fabs(heading_turn * 180.0 / M_PI - turn) < 1e-6,
                 qPrintable(QString::number(heading_turn)));
    }

    void bad_index_stops_the_program_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("-1") << -1;
        QTest::newRow("3") << 3;
    }
    void bad_index_stops_the_program()
    {
        QFETCH(int, index);
        const Child_Run child = Run_Self_As_Child("TAVRELO_CHILD_INDEX", QString::number(index));
        QVERIFY(child.finished);
        const QString& err = child.errors;
        QCOMPARE(child.status, QProcess::CrashExit);
        QVERIFY2(err.contains("Track_List.cpp:25"), qPrintable(err));
        QVERIFY2(err.contains("Get_Track_Info(int)"), qPrintable(err));
        QVERIFY2(err.contains("idx >= 0 && idx < Get_Track_Count()"), qPrintable(err));
    }
};

int main(int argc, char** argv)
{
    const QByteArray index = qgetenv("TAVRELO_CHILD_INDEX");
    if (!index.isEmpty())
        return Run_Child_Mode(index);
    QCoreApplication app(argc, argv);
    Test_Track_List test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_track_list.moc"
