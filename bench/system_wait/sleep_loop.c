/* The peer of the idle-frame benchmark: an SDL program with a 640x480 window that, each frame, takes its events
 * and sleeps once to the frame's deadline at 60 frames a second. sleep_loop FRAMES */
#include <SDL.h>
#include <stdlib.h>
#include <time.h>

int main(int argc, char **argv) {
    const int frames = argc > 1 ? atoi(argv[1]) : 600;
    /* The window surface without a GL texture under it, as the player has it. */
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_Window *window = SDL_CreateWindow("peer", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 640, 480, 0);
    SDL_Surface *surface = window ? SDL_GetWindowSurface(window) : NULL;
    if (!surface) return 1;
    SDL_FillRect(surface, NULL, 0);
    SDL_UpdateWindowSurface(window);
    const long period = 1000000000L / 60;
    struct timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (int i = 0; i < frames; i++) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
        }
        next.tv_nsec += period;
        if (next.tv_nsec >= 1000000000L) next.tv_sec++, next.tv_nsec -= 1000000000L;
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, NULL) != 0) {
        }
    }
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
