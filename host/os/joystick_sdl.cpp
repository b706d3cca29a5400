#include "host/joystick.h"

#include "runtime/app/errors.h"

#include <SDL.h>

namespace {

constexpr int kPorts = 4;
SDL_GameController *controllers[kPorts] = {};
SDL_Joystick *joysticks[kPorts] = {};

// A third of the stick's travel counts as a push: small drifts stay centred.
constexpr int kStickThreshold = 32767 / 3;

int32_t DirectionOf(bool up, bool down, bool left, bool right) {
    if (up && right) return 1;
    if (down && right) return 3;
    if (down && left) return 5;
    if (up && left) return 7;
    if (up) return 0;
    if (right) return 2;
    if (down) return 4;
    if (left) return 6;
    return kJoystickCentred;
}

// Opens (or re-opens after a disconnect) the device at a port.
bool Acquire(int port) {
    if (controllers[port] && SDL_GameControllerGetAttached(controllers[port])) return true;
    if (joysticks[port] && SDL_JoystickGetAttached(joysticks[port])) return true;
    if (controllers[port]) SDL_GameControllerClose(controllers[port]), controllers[port] = nullptr;
    if (joysticks[port]) SDL_JoystickClose(joysticks[port]), joysticks[port] = nullptr;
    if (port >= SDL_NumJoysticks()) return false;
    if (SDL_IsGameController(port)) controllers[port] = SDL_GameControllerOpen(port);
    if (!controllers[port]) joysticks[port] = SDL_JoystickOpen(port);
    return controllers[port] || joysticks[port];
}

} // namespace

int ReadJoystick(int32_t port, int32_t *direction, int32_t *buttons) {
    if (port < 0 || port >= kPorts) return kErrJoystickPort;
    if (!SDL_WasInit(SDL_INIT_GAMECONTROLLER) && SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        SetErrorArgString("SDL game controller");
        return kErrCannotOpen;
    }
    SDL_GameControllerUpdate();
    if (!Acquire(port)) return kErrJoystickAcquire;
    bool up, down, left, right;
    int32_t b = 0;
    if (SDL_GameController *c = controllers[port]) {
        auto pressed = [c](SDL_GameControllerButton button) {
            return SDL_GameControllerGetButton(c, button) != 0;
        };
        up = pressed(SDL_CONTROLLER_BUTTON_DPAD_UP);
        down = pressed(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
        left = pressed(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
        right = pressed(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
        if (!(up || down || left || right)) {
            int x = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX);
            int y = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY);
            up = y < -kStickThreshold, down = y > kStickThreshold;
            left = x < -kStickThreshold, right = x > kStickThreshold;
        }
        const SDL_GameControllerButton order[] = {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_B,
                                                  SDL_CONTROLLER_BUTTON_X, SDL_CONTROLLER_BUTTON_Y,
                                                  SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
                                                  SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_START};
        for (int i = 0; i < 7; i++)
            if (pressed(order[i])) b |= 1 << i;
    } else {
        SDL_Joystick *j = joysticks[port];
        if (SDL_JoystickNumHats(j) > 0) {
            Uint8 hat = SDL_JoystickGetHat(j, 0);
            up = hat & SDL_HAT_UP, down = hat & SDL_HAT_DOWN, left = hat & SDL_HAT_LEFT, right = hat & SDL_HAT_RIGHT;
        } else {
            int x = SDL_JoystickNumAxes(j) > 0 ? SDL_JoystickGetAxis(j, 0) : 0;
            int y = SDL_JoystickNumAxes(j) > 1 ? SDL_JoystickGetAxis(j, 1) : 0;
            up = y < -kStickThreshold, down = y > kStickThreshold;
            left = x < -kStickThreshold, right = x > kStickThreshold;
        }
        int n = SDL_JoystickNumButtons(j);
        for (int i = 0; i < 7 && i < n; i++)
            if (SDL_JoystickGetButton(j, i)) b |= 1 << i;
    }
    if (direction) *direction = DirectionOf(up, down, left, right);
    if (buttons) *buttons = b;
    return 0;
}

int CountJoystickPorts(int32_t *count) {
    int32_t n = 0;
    while (n < kPorts && ReadJoystick(n, nullptr, nullptr) == 0) n++;
    *count = n;
    return 0;
}

void CloseJoysticks() {
    for (int port = 0; port < kPorts; port++) {
        if (controllers[port]) SDL_GameControllerClose(controllers[port]), controllers[port] = nullptr;
        if (joysticks[port]) SDL_JoystickClose(joysticks[port]), joysticks[port] = nullptr;
    }
    if (SDL_WasInit(SDL_INIT_GAMECONTROLLER)) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}
