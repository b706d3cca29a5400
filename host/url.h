#pragma once

// Opens the URL in the user's browser. 0, or kErrCannotOpen "Cannot open %s !" with the URL handler's name.
int LaunchUrl(const char *url);
