// Joysticks through SDL game controllers (plain joysticks where no controller mapping exists). Script ports 0..3
// are the connected devices in SDL's order.
//
// Buttons: A red 1, B blue 2, X green 4, Y yellow 8, right shoulder forward 16, left shoulder reverse 32, Start
// play 64. Direction from the d-pad, else the left stick past a third of its travel: 0 up, 1 up-right, ...
// clockwise to 7 up-left; 8 centred. A plain joystick gives its buttons 0..6 in that order and its first hat or
// first two axes.
#pragma once

#include <cstdint>

#include "runtime/app/errors.h"

constexpr int kJoystickCentred = 8;

// 0, kErrJoystickPort for a port outside 0..3, kErrJoystickAcquire when no device sits at the port, kErrCannotOpen
// when SDL's joystick support cannot start. Null outputs are skipped.
int ReadJoystick(int32_t port, int32_t *direction, int32_t *buttons);
// Counts ports from 0 while ReadJoystick succeeds. Returns 0.
int CountJoystickPorts(int32_t *count);
// Closes every opened device (at shutdown).
void CloseJoysticks();
