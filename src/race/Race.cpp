#include "Race.h"

#include "Float_Point.h"
#include "Ghost_Record.h"
#include "Ghost_Ship.h"
#include "Lap_Replay.h"
#include "Level.h"
#include "Movement_Control.h"
#include "Portable_Math.h"
#include "Ship.h"
#include "Track_List.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace
{
// One unit in the last place below the floats nearest to pi, 2*pi and pi/2:
// the game's own constants, so that the camera turns the same on every build.
constexpr float Pi = Portable_Math::Race_Half_Turn;
constexpr float Two_Pi = Portable_Math::Race_Turn;
constexpr float Half_Pi = 1.5707963f;

constexpr float Camera_Follow = 0.1f;
constexpr float View_Units = 120.0f; // world units across the shorter side of the view

constexpr float Start_Threshold = 0.01f;
constexpr float Far_Away = 9999999.0f;
constexpr float Short_Piece = 0.01f;
constexpr float Off_Road_Friction = 0.1f;
constexpr double Put_Back_Factor = 0.99;
constexpr float End_Of_Race_Friction = 0.15f;
// The shown gap changes ten times a second: steady enough to read, soon enough to follow.
constexpr int Gap_Refresh_Steps = 6;

// Into [0, 2*pi) by whole turns. Headings in play are never far outside that
// range; anything that is (or is not a number) is brought back in one step
// rather than looping for ever.
float Wrap_Angle(float angle)
{
    if (!std::isfinite(angle))
        return 0.0f;
    if (std::fabs(angle) > 64.0f * Two_Pi)
        angle = std::fmod(angle, Two_Pi);
    while (angle >= Two_Pi)
        angle -= Two_Pi;
    while (angle < 0.0f)
        angle += Two_Pi;
    return angle;
}
} // namespace

Race::Craft_Feel Race::Feel() const
{
    const Ship& ship = *m_ship;
    const Float_Point velocity = ((Float_Point(ship.m_left) - Float_Point(ship.m_left_previous)) +
                                  (Float_Point(ship.m_right) - Float_Point(ship.m_right_previous))) *
                                 0.5f;
    Craft_Feel feel;
    feel.speed = velocity.Length();
    feel.thrust =
        std::min((ship.m_left_thrust + ship.m_right_thrust) / (2.0f * Movement_Control::Max_Thrust), 1.0f);
    // The friction reaches Off_Road_Friction at the verge's far edge.
    feel.off_road = std::min(ship.m_friction / Off_Road_Friction, 1.0f);
    feel.put_back = m_put_back;
    return feel;
}

Race::Race()
    : m_level(nullptr), m_ship(nullptr), m_ghost_ship(nullptr), m_camera_angle(0.0f),
      m_closest_distance(0.0f), m_on_last_segment(false), m_closest_segment(0), m_segment_fraction(0.0f),
      m_gap_refresh(0), m_rebuilt_course(-1), m_put_back(false), m_steered_left(0.0f), m_steered_right(0.0f)
{
}

void Race::Attach(Level* level, Ship* ship, Ghost_Ship* ghost)
{
    m_level = level;
    m_ship = ship;
    m_ghost_ship = ghost;
}

void Race::Reset(const QString& stored_ghost, float best_time, const QSize& view,
                 const QString& stored_inputs)
{
    const Track_Info* info = Get_Track_Info(m_level->m_track_index);

    // Every built-in course has 205 points; a course too short to give a
    // heading still gets a sound start rather than a read past its end.
    const std::vector<QPointF>& points = m_level->m_points;
    if (points.size() >= 2)
        m_ship->Place_At(points[0], (Float_Point(points[1]) - Float_Point(points[0])).To_QPointF());
    else
        m_ship->Place_At(points.empty() ? QPointF(0.0, 0.0) : points[0], QPointF(1.0, 0.0));

    m_closest_segment = 0;
    m_on_last_segment = false;
    m_closest_distance = 0.0f;
    m_segment_fraction = 0.0f;

    const QString ghost = stored_ghost.isEmpty() && !stored_inputs.isEmpty() && best_time > 0.0f
                              ? Rebuild_Ghost(stored_inputs, best_time)
                              : stored_ghost;
    Ghost_Start(*m_ghost_ship, ghost, m_ship->m_position, m_ship->m_angle, info->version);
    m_ghost_gap.Build(*m_level, *m_ghost_ship);
    m_clock.m_gap_known = false;
    m_gap_refresh = 0;

    m_camera_angle = m_ship->m_angle;
    Update_Camera(view);

    // A race reset mid-lap starts afresh too: its clock waits for the craft to move, as a proof's does.
    m_clock.m_running = false;
    m_clock.m_elapsed = 0.0f;
    m_clock.m_best = best_time;
    m_inputs.Clear(view);
}

QString Race::Rebuild_Ghost(const QString& stored_inputs, float best_time)
{
    if (m_rebuilt_course == m_level->m_track_index && m_rebuilt_inputs == stored_inputs)
        return m_rebuilt_ghost;
    m_rebuilt_course = m_level->m_track_index;
    m_rebuilt_inputs = stored_inputs;
    m_rebuilt_ghost.clear();
    Input_Track track;
    QString reason;
    if (!track.Decode(stored_inputs, reason))
        return m_rebuilt_ghost;
    Lap_Replay replay;
    // Room for a sample on every frame the inputs can hold.
    replay.Run(*m_level, track, Ghost_Header_Length + Ghost_Sample_Length * Input_Track::Max_Frames);
    if (replay.m_finished && std::memcmp(&replay.m_time, &best_time, sizeof best_time) == 0)
        m_rebuilt_ghost = replay.m_ghost;
    return m_rebuilt_ghost;
}

Race::Outcome Race::Step(const Input_Frame& input)
{
    m_ship->Step(Frame_Step);
    Steer(input.held, input.pointer);
    m_clock.Tick(Frame_Step);
    m_inputs.Append(input);
    const Outcome outcome = Update_Rules();
    Update_Camera(input.view);
    return outcome;
}

void Race::Coast(const QSize& view)
{
    m_ship->Step(Frame_Step);
    Steer(false, QPoint());
    m_clock.Tick(Frame_Step);
    Update_Camera(view);
}

void Race::Steer(bool held, const QPoint& pointer)
{
    float left = 0.0f;
    float right = 0.0f;
    Movement_Control::Thrusts(m_screen_to_world, *m_ship, held, pointer, left, right);
    m_ship->m_left_thrust = left;
    m_ship->m_right_thrust = right;
    m_steered_left = left;
    m_steered_right = right;
}

Race::Outcome Race::Update_Rules()
{
    Ship& ship = *m_ship;
    Outcome outcome = Racing;
    m_put_back = false;

    if (!m_clock.m_running)
    {
        const Float_Point moved = (Float_Point(ship.m_left) - Float_Point(ship.m_left_previous)) +
                                  (Float_Point(ship.m_right) - Float_Point(ship.m_right_previous));
        if (moved.Length_Squared() > Start_Threshold)
        {
            m_clock.m_running = true;
            outcome = Started;
        }
    }

    if (!m_clock.m_running)
        return outcome;

    // Nearest piece, searched in a small window around the last one: the
    // ship moves far less than a piece per frame, and a window that never
    // reaches the closing piece early is what makes a lap a whole lap.
    const std::vector<QPointF>& points = m_level->m_points;
    const int count = static_cast<int>(points.size());
    int best_index = m_closest_segment;
    float best_fraction = m_segment_fraction;
    m_closest_distance = Nearest_Piece(*m_level, ship.m_position, &best_index, &best_fraction);
    m_on_last_segment = best_index >= count - 1;
    m_closest_segment = best_index;
    m_segment_fraction = best_fraction;

    Ghost_Record_Sample(*m_ghost_ship, ship.m_position, ship.m_angle);
    Ghost_Play_Sample(*m_ghost_ship);
    Update_Gap();

    const float excess = m_closest_distance - Level::Road_Half_Width;
    if (excess <= 0.0f)
    {
        ship.m_friction = 0.0f;
    }
    else
    {
        const float off_road = std::min(std::max(excess / Level::Road_Half_Width, 0.0f), 1.0f);
        ship.m_friction = Off_Road_Friction * off_road;
        if (static_cast<double>(off_road) > Put_Back_Factor && m_closest_segment < count)
        {
            const int k = m_closest_segment;
            const Float_Point on_line =
                Float_Point(points[k]) +
                (m_level->m_lengths[k] * m_segment_fraction) * Float_Point(m_level->m_directions[k]);
            ship.Place_At(on_line.To_QPointF(), m_level->m_directions[k]);
            m_put_back = true;
        }
    }

    return m_on_last_segment ? Finished : outcome;
}

void Race::Update_Gap()
{
    const float gap =
        m_ghost_gap.Gap_At(static_cast<float>(m_closest_segment) + m_segment_fraction, m_clock.m_elapsed);
    if (std::isnan(gap))
    {
        m_clock.m_gap_known = false;
        m_gap_refresh = 0;
        return;
    }
    if (!m_clock.m_gap_known || m_gap_refresh == 0)
    {
        m_clock.m_gap = gap;
        m_gap_refresh = Gap_Refresh_Steps;
    }
    m_clock.m_gap_known = true;
    --m_gap_refresh;
}

void Race::Stop(bool finished)
{
    m_clock.m_gap_known = false;
    m_ship->m_friction = End_Of_Race_Friction;
    if (!finished)
        m_clock.m_elapsed = 0.0f;
    m_clock.m_running = false;
}

float Race::Nearest_Piece(const Level& level, const QPointF& point, int32_t* piece, float* fraction)
{
    const std::vector<QPointF>& points = level.m_points;
    const int count = static_cast<int>(points.size());
    const Float_Point position(point);
    const int around = *piece;
    float best_distance = Far_Away;
    // The square root only of a piece nearer by the squares: a root is never smaller than a root of a
    // larger square, so the same piece wins, ties to the first, as when every root was taken.
    float best_squared = std::numeric_limits<float>::infinity();
    for (int i = around - 3; i <= around + 5; ++i)
    {
        if (i < 0 || i >= count)
            continue;
        const Float_Point start(points[i]);
        const Float_Point direction(level.m_directions[i]);
        const float length = level.m_lengths[i];
        float along = (position - start).Dot(direction);
        if (along < 0.0f)
            along = 0.0f;
        if (along > length)
            along = length;
        const float squared = (start + along * direction - position).Length_Squared();
        if (!(squared < best_squared))
            continue;
        const float distance = std::sqrt(squared);
        if (distance < best_distance)
        {
            best_squared = squared;
            *piece = i;
            *fraction = length > Short_Piece ? along / length : 0.0f;
            best_distance = distance;
        }
    }
    return best_distance;
}

float Race::Follow_Camera_Angle(float camera_angle, float ship_heading)
{
    const float camera = Wrap_Angle(camera_angle);
    const float heading = Wrap_Angle(ship_heading);
    float difference = heading - camera;
    if (difference < -Pi)
        difference += Two_Pi;
    if (difference > Pi)
        difference -= Two_Pi;
    return Wrap_Angle(camera_angle + Camera_Follow * difference);
}

QTransform Race::Screen_To_World(const QPointF& ship_position, float camera_angle, int width, int height)
{
    // A view not laid out yet (or of no size at all) still gets an invertible camera.
    const int w = std::max(width, 1);
    const int h = std::max(height, 1);
    const float scale = View_Units / static_cast<float>(std::min(w, h));
    float anchor_x;
    float anchor_y;
    float base_rotation;
    if (w >= h)
    {
        anchor_x = 0.2f * static_cast<float>(w);
        anchor_y = 0.5f * static_cast<float>(h);
        base_rotation = 0.0f;
    }
    else
    {
        anchor_x = 0.5f * static_cast<float>(w);
        anchor_y = 0.8f * static_cast<float>(h);
        base_rotation = Half_Pi;
    }
    return Portable_Math::Screen_To_World(Float_Point(ship_position), base_rotation + camera_angle, scale,
                                          Float_Point(anchor_x, anchor_y));
}

void Race::Update_Camera(const QSize& view)
{
    m_camera_angle = Follow_Camera_Angle(m_camera_angle, m_ship->m_angle);
    const QTransform screen_to_world =
        Screen_To_World(m_ship->m_position, m_camera_angle, view.width(), view.height());
    m_world_to_screen = Portable_Math::Inverted(screen_to_world);
    m_screen_to_world = screen_to_world;
}
