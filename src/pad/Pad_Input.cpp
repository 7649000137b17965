#include "Pad_Input.h"

#include <QDebug>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace
{
// A trigger past a third of its travel drives.
constexpr Sint16 Trigger_Down = 11000;
constexpr float Axis_Full = 32767.0f;

SDL_GameController* Pad(void* handle)
{
    return static_cast<SDL_GameController*>(handle);
}

float Axis(SDL_GameController* pad, SDL_GameControllerAxis axis)
{
    return std::max(-1.0f, static_cast<float>(SDL_GameControllerGetAxis(pad, axis)) / Axis_Full);
}

// The pad's buttons the game acts on, as SDL names them.
const std::pair<Uint8, Pad_Input::Button> Buttons[] = {
    {SDL_CONTROLLER_BUTTON_A, Pad_Input::Pad_A},
    {SDL_CONTROLLER_BUTTON_B, Pad_Input::Pad_B},
    {SDL_CONTROLLER_BUTTON_Y, Pad_Input::Pad_Y},
    {SDL_CONTROLLER_BUTTON_BACK, Pad_Input::Pad_Back},
    {SDL_CONTROLLER_BUTTON_START, Pad_Input::Pad_Start},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, Pad_Input::Pad_Left},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, Pad_Input::Pad_Right},
    {SDL_CONTROLLER_BUTTON_DPAD_UP, Pad_Input::Pad_Up},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, Pad_Input::Pad_Down},
    {SDL_CONTROLLER_BUTTON_X, Pad_Input::Pad_X},
};

bool Same(const Key_Steering::Intent& a, const Key_Steering::Intent& b)
{
    return a.drive == b.drive && a.let_go == b.let_go && a.x == b.x && a.y == b.y;
}
} // namespace

Pad_Input::Pad_Input(const Listener& listener)
    : m_listener(listener), m_available(false), m_last_active(false)
{
    // The game's own signals stay its own (SDL would turn Ctrl+C into an
    // event nobody reads), and pads are read while another window is in front
    // of a window SDL does not know about.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_Init(SDL_INIT_GAMECONTROLLER) != 0)
    {
        qWarning().noquote() << QStringLiteral("tavrelo: no gamepads: ") + QString::fromUtf8(SDL_GetError());
        return;
    }
    // Pads already plugged in come as added devices on the first poll.
    m_available = true;
}

Pad_Input::~Pad_Input()
{
    if (!m_available)
        return;
    for (void* pad : m_pads)
        SDL_GameControllerClose(Pad(pad));
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    SDL_Quit();
}

void Pad_Input::Poll()
{
    if (!m_available)
        return;
    SDL_Event event;
    while (SDL_PollEvent(&event))
    {
        switch (event.type)
        {
        case SDL_CONTROLLERDEVICEADDED:
            Open(event.cdevice.which);
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            Close(event.cdevice.which);
            break;
        case SDL_CONTROLLERBUTTONDOWN:
            for (const auto& [sdl, button] : Buttons)
                if (event.cbutton.button == sdl)
                    m_listener.pressed(button);
            break;
        default:
            break;
        }
    }
    bool active = false;
    const Key_Steering::Intent intent = Read_Intent(active);
    if (active != m_last_active || !Same(intent, m_last))
    {
        m_last = intent;
        m_last_active = active;
        m_listener.steered(intent, active);
    }
}

void Pad_Input::Frame()
{
    if (!m_available)
        return;
    if (m_pads.empty() && ++m_idle_frames < Idle_Poll_Frames)
        return;
    m_idle_frames = 0;
    Poll();
}

void Pad_Input::Open(int device)
{
    SDL_GameController* pad = SDL_GameControllerOpen(device);
    if (pad == nullptr)
        return;
    // SDL hands out the same handle for a pad opened twice: keep it once.
    if (std::find(m_pads.begin(), m_pads.end(), pad) != m_pads.end())
    {
        SDL_GameControllerClose(pad);
        return;
    }
    m_pads.push_back(pad);
}

void Pad_Input::Close(int instance)
{
    for (auto it = m_pads.begin(); it != m_pads.end(); ++it)
    {
        if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(Pad(*it))) != instance)
            continue;
        SDL_GameControllerClose(Pad(*it));
        m_pads.erase(it);
        m_listener.lost();
        return;
    }
}

Key_Steering::Intent Pad_Input::Read_Intent(bool& active) const
{
    // Every pad steers: the one pushed furthest, driving if any drives.
    Key_Steering::Intent intent;
    float strongest = 0.0f;
    for (void* handle : m_pads)
    {
        SDL_GameController* pad = Pad(handle);
        float x = Axis(pad, SDL_CONTROLLER_AXIS_LEFTX);
        float y = -Axis(pad, SDL_CONTROLLER_AXIS_LEFTY);
        const int pad_x = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT) -
                          SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT);
        const int pad_y = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_UP) -
                          SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_DOWN);
        if (pad_x != 0 || pad_y != 0)
        {
            x = static_cast<float>(pad_x);
            y = static_cast<float>(pad_y);
        }
        const float strength = std::sqrt(x * x + y * y);
        if (strength > strongest)
        {
            strongest = strength;
            intent.x = x;
            intent.y = y;
        }
        if (SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT) > Trigger_Down ||
            SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_A))
            intent.drive = true;
    }
    active = intent.drive || strongest >= Key_Steering::Rest;
    return intent;
}

Key_Map::Action Pad_Input::Action_Of(Button button, bool race, bool panel)
{
    switch (button)
    {
    case Pad_A:
        return panel ? Key_Map::Dismiss_Panel : race ? Key_Map::Nothing : Key_Map::Start;
    case Pad_B:
    case Pad_Back:
        return panel ? Key_Map::Dismiss_Panel : race ? Key_Map::Leave_Race : Key_Map::Nothing;
    case Pad_Y:
        return race || panel ? Key_Map::Nothing : Key_Map::Race_Leader;
    case Pad_Left:
        return race || panel ? Key_Map::Nothing : Key_Map::Previous_Course;
    case Pad_Right:
        return race || panel ? Key_Map::Nothing : Key_Map::Next_Course;
    case Pad_X:
        return race || panel ? Key_Map::Nothing : Key_Map::Choose_Name;
    case Pad_Up:
    case Pad_Down:
    case Pad_Start:
        break;
    }
    return Key_Map::Nothing;
}

Name_Entry::Command Pad_Input::Entry_Command_Of(Button button)
{
    switch (button)
    {
    case Pad_Left:
        return Name_Entry::Move_Left;
    case Pad_Right:
        return Name_Entry::Move_Right;
    case Pad_Up:
        return Name_Entry::Move_Up;
    case Pad_Down:
        return Name_Entry::Move_Down;
    case Pad_A:
        return Name_Entry::Press_Focused;
    case Pad_B:
        return Name_Entry::Delete;
    case Pad_Back:
        return Name_Entry::Leave;
    case Pad_Start:
        return Name_Entry::Finish;
    case Pad_Y:
    case Pad_X:
        break;
    }
    return Name_Entry::Nothing;
}
